#include "gif/GifCodec.h"

#include "GifBuilder.h"
#include "platform/core/Error.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using gif::decodeGif;
using gif::decodeGifDetailed;
using gif::GifDefect;
using giftest::GifBuilder;

// Readable failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QSize &size, std::ostream *out)
{
    *out << size.width() << " x " << size.height();
}

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kTransparent = 0;
const QList<QRgb> kPalette{kRed, kGreen, kBlue, kWhite};

QRgb pixel(const QImage &image, int x, int y)
{
    return image.pixel(x, y);
}

// A 4 x 3 picture: row y holds index (x + y) % 4.
QList<uchar> diagonalIndices(int width, int height)
{
    QList<uchar> indices;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            indices.append(static_cast<uchar>((x + y) % 4));
    return indices;
}

void expectPicture(const QImage &image, int width, int height, const QList<uchar> &indices,
                   const QList<QRgb> &palette)
{
    ASSERT_EQ(image.size(), QSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(pixel(image, x, y), palette.at(indices.at(y * width + x))) << x << "," << y;
}

QString fatalText(const QByteArray &data)
{
    try {
        decodeGif(data);
    } catch (const platform::Exception &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

QByteArray wellFormed(const QByteArray &signature)
{
    return GifBuilder(signature)
        .screen(4, 3, kPalette)
        .image(QRect(0, 0, 4, 3), diagonalIndices(4, 3))
        .trailer()
        .bytes();
}

} // namespace

class GifVersions : public ::testing::TestWithParam<const char *>
{
};

TEST_P(GifVersions, DecodesTheScreenWithTheGlobalColourTable)
{
    const auto decoding = decodeGifDetailed(wellFormed(GetParam()));
    EXPECT_EQ(decoding.defect, GifDefect::None);
    EXPECT_EQ(decoding.image.format(), QImage::Format_ARGB32);
    expectPicture(decoding.image, 4, 3, diagonalIndices(4, 3), kPalette);
}

INSTANTIATE_TEST_SUITE_P(Gif, GifVersions, ::testing::Values("GIF87a", "GIF89a"));

TEST(GifCodec, MatchesGiflibsEncoderOnCompressedData)
{
    // Long runs make the encoder use codes for strings it is still building; noise with all 256
    // colours fills the table to its 4096 entries.
    QList<QRgb> colours;
    for (int i = 0; i < 256; ++i)
        colours.append(qRgb(i, 255 - i, (i * 7) & 0xFF));
    const int width = 97;
    const int height = 61;
    QList<uchar> indices;
    QRandomGenerator random(4711);
    for (int i = 0; i < width * height; ++i)
        indices.append(i < 2000 ? static_cast<uchar>(i / 300) : static_cast<uchar>(random.bounded(256)));
    const auto decoding = decodeGifDetailed(giftest::encodeWithGiflib(width, height, colours, indices));
    EXPECT_EQ(decoding.defect, GifDefect::None);
    expectPicture(decoding.image, width, height, indices, colours);
}

TEST(GifCodec, LeavesTheTransparentIndexTransparent)
{
    const QByteArray data = GifBuilder()
                                .screen(4, 3, kPalette)
                                .graphicControl(2)
                                .image(QRect(0, 0, 4, 3), diagonalIndices(4, 3))
                                .trailer()
                                .bytes();
    const QImage image = decodeGif(data);
    const QList<QRgb> expected{kRed, kGreen, kTransparent, kWhite};
    expectPicture(image, 4, 3, diagonalIndices(4, 3), expected);
}

TEST(GifCodec, LocalColourTableWinsAndOnlyForItsImage)
{
    const QList<QRgb> local{kWhite, kBlue};
    const QByteArray data = GifBuilder()
                                .screen(2, 2, kPalette)
                                .image(QRect(0, 0, 2, 1), {0, 1}, local)
                                .image(QRect(0, 1, 2, 1), {0, 1})
                                .trailer()
                                .bytes();
    const QImage image = decodeGif(data);
    EXPECT_EQ(pixel(image, 0, 0), kWhite);
    EXPECT_EQ(pixel(image, 1, 0), kBlue);
    EXPECT_EQ(pixel(image, 0, 1), kRed);
    EXPECT_EQ(pixel(image, 1, 1), kGreen);
}

TEST(GifCodec, DeinterlacesRows)
{
    // Ten rows, row y painted with index y % 4, stored in the four interlace passes.
    const int height = 10;
    QList<uchar> stored;
    for (int row : {0, 8, 4, 2, 6, 1, 3, 5, 7, 9})
        stored.append({static_cast<uchar>(row % 4), static_cast<uchar>(row % 4)});
    const QByteArray data = GifBuilder()
                                .screen(2, height, kPalette)
                                .image(QRect(0, 0, 2, height), stored, {}, true)
                                .trailer()
                                .bytes();
    const QImage image = decodeGif(data);
    for (int y = 0; y < height; ++y)
        EXPECT_EQ(pixel(image, 1, y), kPalette.at(y % 4)) << "row " << y;
}

TEST(GifCodec, PlacesAnImageInsideALargerTransparentScreen)
{
    const QByteArray data =
        GifBuilder().screen(5, 4, kPalette).image(QRect(2, 1, 2, 2), {3, 3, 3, 3}).trailer().bytes();
    const QImage image = decodeGif(data);
    ASSERT_EQ(image.size(), QSize(5, 4));
    EXPECT_EQ(pixel(image, 2, 1), kWhite);
    EXPECT_EQ(pixel(image, 3, 2), kWhite);
    EXPECT_EQ(pixel(image, 0, 0), kTransparent);
    EXPECT_EQ(pixel(image, 4, 3), kTransparent);
    EXPECT_EQ(pixel(image, 1, 1), kTransparent);
}

TEST(GifCodec, IndexesWithoutAColourAreBlack)
{
    const QByteArray noTable = GifBuilder().screen(2, 1).image(QRect(0, 0, 2, 1), {1, 7}).trailer().bytes();
    const QByteArray shortTable =
        GifBuilder().screen(2, 1, {kRed, kGreen}).image(QRect(0, 0, 2, 1), {1, 7}).trailer().bytes();
    EXPECT_EQ(pixel(decodeGif(noTable), 1, 0), qRgb(0, 0, 0));
    EXPECT_EQ(pixel(decodeGif(shortTable), 0, 0), kGreen);
    EXPECT_EQ(pixel(decodeGif(shortTable), 1, 0), qRgb(0, 0, 0));
}

TEST(GifCodec, ComposesImagesUntilTheFirstDelay)
{
    // Image 1 paints the screen red, image 2 (transparent index 0) adds a green dot and then asks
    // for a pause: that is the frame shown. Image 3 comes after the pause and is not drawn.
    const QByteArray data = GifBuilder()
                                .screen(2, 2, kPalette)
                                .image(QRect(0, 0, 2, 2), {0, 0, 0, 0})
                                .graphicControl(0, 10)
                                .image(QRect(0, 0, 2, 2), {1, 0, 0, 0})
                                .image(QRect(0, 0, 2, 2), {3, 3, 3, 3})
                                .trailer()
                                .bytes();
    const auto decoding = decodeGifDetailed(data);
    EXPECT_EQ(decoding.imageCount, 3);
    EXPECT_EQ(decoding.composedImages, 2);
    EXPECT_EQ(pixel(decoding.image, 0, 0), kGreen);
    EXPECT_EQ(pixel(decoding.image, 1, 1), kRed);
}

TEST(GifCodec, HonoursDisposalBetweenComposedImages)
{
    // Disposal 2 clears the first image's area before the next; disposal 3 puts back what was
    // under it.
    const QByteArray restoreBackground = GifBuilder()
                                             .screen(2, 1, kPalette)
                                             .graphicControl(-1, 0, 2)
                                             .image(QRect(0, 0, 2, 1), {0, 0})
                                             .image(QRect(1, 0, 1, 1), {1})
                                             .trailer()
                                             .bytes();
    QImage image = decodeGif(restoreBackground);
    EXPECT_EQ(pixel(image, 0, 0), kTransparent);
    EXPECT_EQ(pixel(image, 1, 0), kGreen);

    const QByteArray restorePrevious = GifBuilder()
                                           .screen(2, 1, kPalette)
                                           .image(QRect(0, 0, 2, 1), {0, 0})
                                           .graphicControl(-1, 0, 3)
                                           .image(QRect(0, 0, 2, 1), {3, 3})
                                           .image(QRect(1, 0, 1, 1), {1})
                                           .trailer()
                                           .bytes();
    image = decodeGif(restorePrevious);
    EXPECT_EQ(pixel(image, 0, 0), kRed);
    EXPECT_EQ(pixel(image, 1, 0), kGreen);
}

TEST(GifCodec, FatalDefectsCarryTheirTexts)
{
    const QString signature = QStringLiteral("Invalid GIF signature");
    EXPECT_EQ(fatalText(QByteArray()), signature);
    EXPECT_EQ(fatalText("GI"), signature);
    EXPECT_EQ(fatalText(wellFormed("JIF89a")), signature);
    EXPECT_EQ(fatalText("\x89PNG\r\n\x1a\n" + QByteArray(40, '\0')), signature);
    EXPECT_EQ(fatalText("xxxxxGIF89a" + wellFormed("GIF89a").mid(6)), signature);

    const QString extension = QStringLiteral("Unknown extension type");
    for (int label : {0x00, 0x02, 0xF8, 0xFA}) {
        const QByteArray data = GifBuilder().screen(4, 3, kPalette).extension(label, "abc").trailer().bytes();
        EXPECT_EQ(fatalText(data), extension) << label;
    }
    // Even after a picture has been drawn.
    EXPECT_EQ(fatalText(wellFormed("GIF89a").chopped(1) + "!\x10\0;"), extension);

    const QString circular = QStringLiteral("Circular decoder table entry");
    // min code size 2: clear 4, end 5, first free entry 6.
    const std::vector<std::vector<int>> broken{
        {4, 6, 5},          // the first code names an entry before any was built
        {4, 1, 7, 5},       // 6 is being built; 7 does not exist yet
        {4, 1, 2, 4, 6, 5}, // after a clear the table is empty again
        {1, 2, 3, 9, 5},    // no clear code in front; 8 is the next entry
    };
    for (const auto &codes : broken) {
        const QByteArray data = GifBuilder()
                                    .screen(4, 1, kPalette)
                                    .imageData(QRect(0, 0, 4, 1), 2, giftest::packCodes(codes, 2))
                                    .trailer()
                                    .bytes();
        EXPECT_EQ(fatalText(data), circular);
    }
}

TEST(GifCodec, DecodesStartCodeSizesUpToEleven)
{
    for (int size : {9, 10, 11}) {
        SCOPED_TRACE(size);
        // A literal beyond the colour table counts with its low eight bits (258 is 2); the first
        // table entry is 1 followed by that 2. The next image, at size 8, reads on as usual.
        const int clear = 1 << size;
        const QByteArray data =
            GifBuilder()
                .screen(4, 2, kPalette)
                .imageData(QRect(0, 0, 4, 1), size,
                           giftest::packCodes({clear, 1, 258, clear + 2, clear + 1}, size))
                .image(QRect(0, 1, 4, 1), {3, 3, 3, 3})
                .trailer()
                .bytes();
        const auto decoding = decodeGifDetailed(data);
        EXPECT_EQ(decoding.defect, GifDefect::None);
        expectPicture(decoding.image, 4, 2, {1, 2, 1, 2, 3, 3, 3, 3}, kPalette);
    }
    // Beyond that no decoder could draw the picture; it must not come out empty without a word.
    for (int size : {0, 12, 255}) {
        const QByteArray data = GifBuilder()
                                    .screen(4, 1, kPalette)
                                    .imageData(QRect(0, 0, 4, 1), size, giftest::packCodes({1, 2}, 2))
                                    .trailer()
                                    .bytes();
        EXPECT_EQ(fatalText(data), QStringLiteral("Invalid LZW code size")) << size;
    }
}

TEST(GifCodec, AcceptsAFourByteLengthInFront)
{
    const QByteArray plain = wellFormed("GIF89a");
    QByteArray stored("\x00\x00\x00\x00", 4);
    stored.append(plain);
    expectPicture(decodeGif(stored), 4, 3, diagonalIndices(4, 3), kPalette);
}

TEST(GifCodec, KnownExtensionsAreSkipped)
{
    const QByteArray data = GifBuilder()
                                .screen(4, 3, kPalette)
                                .extension(0xFE, "made by hand")
                                .raw(QByteArray("!\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19))
                                .extension(0x01, QByteArray(12, '\0'))
                                .image(QRect(0, 0, 4, 3), diagonalIndices(4, 3))
                                .trailer()
                                .bytes();
    const auto decoding = decodeGifDetailed(data);
    EXPECT_EQ(decoding.defect, GifDefect::None);
    expectPicture(decoding.image, 4, 3, diagonalIndices(4, 3), kPalette);
}

TEST(GifCodec, TruncationKeepsWhatWasDecoded)
{
    // Eight rows of 16 pixels, literal-coded (9 bits a pixel): cutting the data in the middle
    // keeps the complete rows in front of the cut.
    const int width = 16;
    const int height = 8;
    QList<uchar> indices;
    for (int i = 0; i < width * height; ++i)
        indices.append(static_cast<uchar>(1 + (i / width) % 3));
    const QByteArray full = GifBuilder()
                                .screen(width, height, kPalette)
                                .image(QRect(0, 0, width, height), indices)
                                .trailer()
                                .bytes();
    const qsizetype imageStart = full.indexOf(',', 13 + 12);
    ASSERT_GT(imageStart, 0);
    const qsizetype dataStart = imageStart + 10 + 1;

    struct Cut
    {
        qsizetype length;
        GifDefect defect;
        bool hasScreen;
    };
    const std::vector<Cut> cuts{
        {6, GifDefect::PrematureEnd, false},                 // header only
        {9, GifDefect::PrematureEnd, false},                 // inside the screen descriptor
        {13 + 5, GifDefect::PrematureEnd, true},             // inside the global colour table
        {imageStart, GifDefect::InvalidTrailer, true},       // nothing after the colour table
        {imageStart + 5, GifDefect::PrematureEnd, true},     // inside the image descriptor
        {dataStart + 2 + 80, GifDefect::PrematureEnd, true}, // inside the first data block
        {full.size() - 1, GifDefect::InvalidTrailer, true},  // only the trailer is missing
    };
    for (const Cut &cut : cuts) {
        SCOPED_TRACE(cut.length);
        const auto decoding = decodeGifDetailed(full.left(cut.length));
        EXPECT_EQ(decoding.defect, cut.defect);
        EXPECT_EQ(decoding.image.size(), cut.hasScreen ? QSize(width, height) : QSize(0, 0));
    }

    // 80 data bytes hold 71 pixels after the clear code: four full rows and a part of the fifth.
    const QImage partial = decodeGif(full.left(dataStart + 2 + 80));
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(pixel(partial, 5, y), kPalette.at(1 + y % 3)) << y;
    EXPECT_EQ(pixel(partial, 0, 4), kPalette.at(2));
    EXPECT_EQ(pixel(partial, 15, 4), kTransparent);
    EXPECT_EQ(pixel(partial, 0, 7), kTransparent);
    // The last complete image stays when the cut falls into the next one.
    const QByteArray twoImages = GifBuilder()
                                     .screen(2, 2, kPalette)
                                     .image(QRect(0, 0, 2, 1), {1, 1})
                                     .image(QRect(0, 1, 2, 1), {2, 2})
                                     .bytes();
    const QImage first = decodeGif(twoImages.chopped(4));
    EXPECT_EQ(pixel(first, 1, 0), kGreen);
    EXPECT_EQ(pixel(first, 1, 1), kTransparent);
}

TEST(GifCodec, OtherDefectsStopQuietlyAndKeepTheEarlierPicture)
{
    const QByteArray picture =
        GifBuilder().screen(4, 3, kPalette).image(QRect(0, 0, 4, 3), diagonalIndices(4, 3)).bytes();
    const QByteArray later = GifBuilder("").image(QRect(0, 0, 4, 3), QList<uchar>(12, 3)).trailer().bytes();
    struct Case
    {
        const char *name;
        QByteArray tail;
        GifDefect defect;
    };
    // min code size 8: clear 256, end 257.
    const std::vector<Case> cases{
        {"unknown block type", QByteArray(1, '\0') + later, GifDefect::UnknownBlockType},
        {"stray byte", "x" + later, GifDefect::UnknownBlockType},
        {"graphic control too short", QByteArray("!\xF9\x02\x01\x00\x00", 6) + later,
         GifDefect::InvalidExtension},
        {"data ends before the pixels",
         GifBuilder("").imageData(QRect(0, 0, 4, 3), 8, giftest::packCodes({256, 3, 3, 3}, 8)).bytes() +
             later,
         GifDefect::BitBufferUnderrun},
        {"end code before the pixels",
         GifBuilder("").imageData(QRect(0, 0, 4, 3), 8, giftest::packCodes({256, 3, 257}, 8)).bytes() + later,
         GifDefect::BitBufferUnderrun},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto decoding = decodeGifDetailed(picture + c.tail);
        EXPECT_EQ(decoding.defect, c.defect);
        ASSERT_EQ(decoding.image.size(), QSize(4, 3));
        // The first picture is there (a defective image may have drawn its first pixels over
        // it); the white image after the defect was never drawn.
        EXPECT_EQ(pixel(decoding.image, 3, 2), kGreen);
    }
}

TEST(GifCodec, ImageBeyondTheScreenIsDrawnClippedAndEndsTheReading)
{
    const QByteArray data = GifBuilder()
                                .screen(3, 2, kPalette)
                                .image(QRect(1, 1, 4, 2), {1, 2, 3, 1, 0, 0, 0, 0})
                                .image(QRect(0, 0, 1, 1), {3})
                                .trailer()
                                .bytes();
    const auto decoding = decodeGifDetailed(data);
    EXPECT_EQ(decoding.defect, GifDefect::ExceedsLogicalScreen);
    ASSERT_EQ(decoding.image.size(), QSize(3, 2));
    EXPECT_EQ(pixel(decoding.image, 1, 1), kGreen);
    EXPECT_EQ(pixel(decoding.image, 2, 1), kBlue);
    EXPECT_EQ(pixel(decoding.image, 0, 0), kTransparent);
}

TEST(GifCodec, BoundsHostileSizes)
{
    for (const auto &[width, height] :
         std::vector<std::pair<int, int>>{{20000, 1}, {1, 65535}, {16384, 16384}}) {
        const QByteArray data = GifBuilder().screen(width, height, kPalette).trailer().bytes();
        EXPECT_EQ(fatalText(data),
                  QStringLiteral("Das GIF-Bild ist zu groß (%1 × %2 Pixel).").arg(width).arg(height));
    }
    // A frame of 65535 x 65535 pixels in a small screen with a few bytes of data: decoding ends
    // with the data and draws only what lies on the screen.
    const QByteArray huge = GifBuilder()
                                .screen(4, 4, kPalette)
                                .imageData(QRect(0, 0, 65535, 65535), 8, giftest::literalStream({1, 1, 1}, 8))
                                .trailer()
                                .bytes();
    const auto decoding = decodeGifDetailed(huge);
    EXPECT_EQ(decoding.defect, GifDefect::BitBufferUnderrun);
    EXPECT_EQ(pixel(decoding.image, 2, 0), kGreen);
    EXPECT_EQ(pixel(decoding.image, 3, 0), kTransparent);
    // Reading ends quietly after more images than any animation has.
    GifBuilder many;
    many.screen(1, 1, kPalette);
    const QByteArray oneImage = GifBuilder("").graphicControl(-1, 0, 3).image(QRect(0, 0, 1, 1), {1}).bytes();
    for (int i = 0; i < 65537; ++i)
        many.raw(oneImage);
    const auto endless = decodeGifDetailed(many.trailer().bytes());
    EXPECT_EQ(endless.defect, GifDefect::DecodeBudgetExhausted);
    EXPECT_EQ(pixel(endless.image, 0, 0), kGreen);
    // An empty screen gives an empty picture, not an error.
    EXPECT_TRUE(decodeGif(GifBuilder().screen(0, 0, kPalette).trailer().bytes()).isNull());
}
