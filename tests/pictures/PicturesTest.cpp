#include "pictures/Pictures.h"

#include "platform/core/Error.h"
#include "support/SpecialFiles.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

using namespace platform;

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A 2 x 1 GIF89a: a red pixel and a transparent one (index 1 in the graphic control extension).
const QByteArray kTinyGif("GIF89a\x02\x00\x01\x00\x80\x00\x00"
                          "\xff\x00\x00\x00\x00\xff"
                          "!\xf9\x04\x01\x00\x00\x01\x00"
                          ",\x00\x00\x00\x00\x02\x00\x01\x00\x00"
                          "\x02\x02\x44\x0a\x00;",
                          43);

QString errorText(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

// Four quadrants in clearly different colours.
QImage testPicture()
{
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y,
                           x < 8 ? (y < 8 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                 : (y < 8 ? qRgb(0, 0, 255) : qRgb(255, 255, 255)));
    return image;
}

bool near(QRgb a, QRgb b, int tolerance = 24)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

void expectQuadrants(const QImage &image)
{
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_TRUE(near(image.pixel(2, 2), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(image.pixel(2, 13), qRgb(0, 255, 0)));
    EXPECT_TRUE(near(image.pixel(13, 2), qRgb(0, 0, 255)));
    EXPECT_TRUE(near(image.pixel(13, 13), qRgb(255, 255, 255)));
}

// libjpeg's own encoder, for the colour spaces Qt does not write.
QByteArray writeJpeg(int width, int height, int components, J_COLOR_SPACE space, const QByteArray &samples)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto *row = reinterpret_cast<JSAMPROW>(const_cast<char *>(samples.constData()) +
                                               info.next_scanline * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

class PictureFiles : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(PictureTypes, ExtensionChoosesTheDecoderWithoutRegardToCase)
{
    const std::vector<std::pair<QString, PictureType>> known{
        {"/a/b.bmp", PictureType::Bitmap},  {"/a/b.BMP", PictureType::Bitmap},
        {"b.jpg", PictureType::Jpeg},       {"b.JPeG", PictureType::Jpeg},
        {"b.Gif", PictureType::Gif},        {"b.ico", PictureType::Icon},
        {"b.wmf", PictureType::Metafile},   {"b.EMF", PictureType::Metafile},
        {"x.tar.bmp", PictureType::Bitmap}, {"/skins/my.skin/Main.jpg", PictureType::Jpeg},
    };
    for (const auto &[name, type] : known)
        EXPECT_EQ(pictureTypeOf(name), type) << name.toStdString();

    // The extension is shown as written; the dot of a folder name does not count.
    const std::vector<std::pair<QString, QString>> unknown{
        {"b.PNG", "(.PNG)"},
        {"b.jpg.txt", "(.txt)"},
        {"b", "(.)"},
        {"b.", "(.)"},
        {"gif", "(.)"},
        {"b.agif", "(.agif)"},
        {"/skins/v1.5/Main", "(.)"},
        {"/skins/Rot/", "(.)"},
    };
    for (const auto &[name, suffix] : unknown) {
        EXPECT_EQ(errorText([&] { pictureTypeOf(name); }), "Unbekannte Bilddateierweiterung " + suffix)
            << name.toStdString();
    }
}

TEST_F(PictureFiles, LoadsEachKindByItsExtension)
{
    expectQuadrants(loadPicture(write("bild.jpg", encoded(testPicture(), "JPEG"))));
    expectQuadrants(loadPicture(write("bild.JPEG", encoded(testPicture(), "JPEG"))));
    expectQuadrants(loadPicture(write("bild.Bmp", encoded(testPicture(), "BMP"))));
    expectQuadrants(loadPicture(write("bild.ico", encoded(testPicture(), "ICO"))));
    expectQuadrants(loadBitmap(write("Btn-Up.bmp", encoded(testPicture(), "BMP"))));

    const QImage gif = loadPicture(write("logo.GIF", kTinyGif));
    ASSERT_EQ(gif.size(), QSize(2, 1));
    EXPECT_EQ(gif.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(gif.pixel(1, 0)), 0);
}

TEST_F(PictureFiles, DecodersKeepTransparencyAndNormaliseFormats)
{
    QImage withAlpha(4, 4, QImage::Format_ARGB32);
    withAlpha.fill(qRgba(0, 0, 255, 255));
    withAlpha.setPixel(0, 0, qRgba(0, 0, 0, 0));
    const QImage icon = decodeIcon(encoded(withAlpha, "ICO"));
    EXPECT_EQ(icon.format(), QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    EXPECT_EQ(icon.pixel(3, 3), qRgb(0, 0, 255));

    const QImage indexed = testPicture().convertToFormat(QImage::Format_Indexed8);
    const QImage bitmap = decodeBitmap(encoded(indexed, "BMP"));
    EXPECT_EQ(bitmap.format(), QImage::Format_RGB32);
    EXPECT_EQ(bitmap.pixel(13, 2), qRgb(0, 0, 255));
}

TEST(Jpeg, DecodesGreyscaleProgressiveAndCmyk)
{
    const QImage grey = decodeJpeg(encoded(testPicture().convertToFormat(QImage::Format_Grayscale8), "JPEG"));
    ASSERT_EQ(grey.size(), QSize(16, 16));
    EXPECT_EQ(grey.format(), QImage::Format_RGB32);
    EXPECT_TRUE(near(grey.pixel(13, 13), qRgb(255, 255, 255)));

    QByteArray progressive;
    QBuffer buffer(&progressive);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPEG");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(testPicture()));
    expectQuadrants(decodeJpeg(progressive));

    // Inverted CMYK as Adobe writes it: 255 means no ink. Cyan ink alone gives cyan.
    QByteArray samples;
    for (int i = 0; i < 8 * 8; ++i)
        samples.append(QByteArray("\x00\xff\xff\xff", 4));
    const QImage cmyk = decodeJpeg(writeJpeg(8, 8, 4, JCS_CMYK, samples));
    ASSERT_EQ(cmyk.size(), QSize(8, 8));
    EXPECT_TRUE(near(cmyk.pixel(4, 4), qRgb(0, 255, 255))) << std::hex << cmyk.pixel(4, 4);
}

TEST(Jpeg, DamageIsReportedOrToleratedButNeverFatal)
{
    const QByteArray good = encoded(testPicture(), "JPEG");
    // A cut file still gives the whole picture, the missing part filled in by libjpeg.
    const qsizetype scan = good.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    EXPECT_EQ(decodeJpeg(good.left((scan + good.size()) / 2)).size(), QSize(16, 16));

    EXPECT_TRUE(errorText([] { decodeJpeg(QByteArray()); }).startsWith("JPEG-Bild ist ungültig ("));
    EXPECT_TRUE(errorText([] { decodeJpeg("BM not a jpeg at all"); }).startsWith("JPEG-Bild ist ungültig ("));
    EXPECT_TRUE(errorText([&] { decodeJpeg(good.left(20)); }).startsWith("JPEG-Bild ist ungültig ("));
    // A header claiming 60000 x 60000 pixels is refused before anything is allocated.
    QByteArray huge = good;
    const qsizetype frame = huge.indexOf("\xff\xc0");
    ASSERT_GT(frame, 0);
    huge[frame + 5] = '\xea';
    huge[frame + 6] = '\x60';
    huge[frame + 7] = '\xea';
    huge[frame + 8] = '\x60';
    EXPECT_EQ(errorText([&] { decodeJpeg(huge); }),
              QStringLiteral("Das Bild ist zu groß (60000 × 60000 Pixel)."));
}

TEST_F(PictureFiles, ContentThatDoesNotMatchTheExtensionIsInvalid)
{
    const QByteArray jpeg = encoded(testPicture(), "JPEG");
    const QByteArray bmp = encoded(testPicture(), "BMP");
    EXPECT_EQ(errorText([&] { loadPicture(write("a.bmp", jpeg)); }), "Bitmap ist ungültig");
    EXPECT_EQ(errorText([&] { loadBitmap(write("b.bmp", QByteArray())); }), "Bitmap ist ungültig");
    EXPECT_EQ(errorText([&] { loadBitmap(write("c.bmp", bmp.left(40))); }), "Bitmap ist ungültig");
    EXPECT_EQ(errorText([&] { loadPicture(write("d.ico", bmp)); }), "Symbol ist ungültig");
    EXPECT_TRUE(errorText([&] { loadPicture(write("e.jpg", bmp)); }).startsWith("JPEG-Bild ist ungültig ("));
    EXPECT_EQ(errorText([&] { loadPicture(write("f.gif", jpeg)); }), "Invalid GIF signature");

    // A bitmap header claiming a picture far beyond any window.
    QByteArray huge = bmp;
    huge[18] = '\x00';
    huge[19] = '\x00';
    huge[20] = '\x01'; // width 65536
    EXPECT_EQ(errorText([&] { decodeBitmap(huge); }),
              QStringLiteral("Das Bild ist zu groß (65536 × 16 Pixel)."));
}

TEST_F(PictureFiles, FilesThatCannotBeReadOrDrawnGiveGermanErrors)
{
    const QString missing = m_dir.filePath("fehlt.jpg");
    EXPECT_EQ(errorText([&] { loadPicture(missing); }), "Datei " + missing + " kann nicht geöffnet werden");
    const QString folder = m_dir.filePath("ordner.bmp");
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_EQ(errorText([&] { loadPicture(folder); }), "Datei " + folder + " kann nicht geöffnet werden");
    EXPECT_EQ(errorText([&] { loadBitmap(folder); }), "Datei " + folder + " kann nicht geöffnet werden");
    // Only regular files are read: a pipe would never end the read, /dev/zero never stop it.
    const QString pipe = m_dir.filePath("rohr.bmp");
    ASSERT_TRUE(makePipe(pipe));
    EXPECT_EQ(errorText([&] { loadBitmap(pipe); }), "Datei " + pipe + " kann nicht geöffnet werden");
    const QString zero = m_dir.filePath("null.jpg");
    ASSERT_TRUE(QFile::link("/dev/zero", zero));
    EXPECT_EQ(errorText([&] { loadPicture(zero); }), "Datei " + zero + " kann nicht geöffnet werden");
    const QString huge = m_dir.filePath("riesig.jpg");
    ASSERT_TRUE(makeSparseFile(huge, qint64(2) << 30));
    EXPECT_EQ(errorText([&] { loadPicture(huge); }), "Die Datei " + huge + " ist zu groß für ein Bild.");

    // The extension is judged first: an unknown one is reported even for a missing file.
    EXPECT_EQ(errorText([&] { loadPicture(m_dir.filePath("fehlt.png")); }),
              "Unbekannte Bilddateierweiterung (.png)");

    const QString metafile = write("Bild.WMF", QByteArray("\xd7\xcd\xc6\x9a", 4));
    EXPECT_EQ(errorText([&] { loadPicture(metafile); }),
              "Die Datei \"" + metafile +
                  "\" ist eine Windows-Metadatei; dieses Bildformat kann auf diesem System nicht angezeigt "
                  "werden.");
    EXPECT_FALSE(errorText([] { decodePicture("x", PictureType::Metafile); }).isEmpty());
}
