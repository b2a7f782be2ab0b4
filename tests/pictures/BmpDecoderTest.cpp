#include "BmpBuilder.h"

#include "pictures/Pictures.h"
#include "platform/core/Error.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace bmptest;

namespace {

constexpr QRgb kClear = 0; // what the file leaves undefined
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(200, 10, 20);
const QRgb kGreen = qRgb(30, 180, 40);
const QRgb kBlue = qRgb(50, 60, 220);
const QList<QRgb> kPalette{kWhite, kRed, kGreen, kBlue};

QString errorText(const QByteArray &file)
{
    try {
        platform::decodeBitmap(file);
    } catch (const platform::Exception &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
}

// A picture of one row of pixel values, stored at the depth that `bmp` gives.
QByteArray oneRow(Bmp bmp, const QList<quint32> &values)
{
    bmp.width = qint32(values.size());
    bmp.pixels = packRows(bmp.depth, {values});
    return bmp.bytes();
}

// A 24-bit picture of the given rows, in file order.
QByteArray rgbRows(qint32 height, const QList<QList<quint32>> &rows)
{
    return Bmp{.width = qint32(rows.at(0).size()), .height = height, .pixels = packRows(24, rows)}.bytes();
}

struct Case
{
    const char *name;
    QByteArray file;
    QList<QList<QRgb>> rows; // top row first
};

void expectDecodes(const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = platform::decodeBitmap(c.file);
        QList<QList<QRgb>> rows(image.height());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                rows[y].append(image.pixel(x, y));
        EXPECT_EQ(rows, c.rows);
        const bool opaque = std::all_of(c.rows.begin(), c.rows.end(), [](const QList<QRgb> &row) {
            return std::all_of(row.begin(), row.end(), [](QRgb p) { return qAlpha(p) == 255; });
        });
        EXPECT_EQ(image.format(), opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    }
}

} // namespace

TEST(BmpDecoder, ScalesEveryChannelWidthToTheFullRange)
{
    const auto fields = [](quint32 headerSize, int depth, Masks masks, const QList<quint32> &values) {
        return oneRow({.headerSize = headerSize, .depth = depth, .compression = kBitFields, .masks = masks},
                      values);
    };
    expectDecodes({
        {"16 bits, 5-5-5 by default: 31 is 255, 16 is 132, 1 is 8",
         oneRow({.depth = 16}, {0x7FFF, 16 << 10, 1}),
         {{kWhite, qRgb(132, 0, 0), qRgb(0, 0, 8)}}},
        {"5-6-5 after a 40-byte header",
         fields(kInfo, 16, {0xF800, 0x07E0, 0x001F, 0}, {0xFFFF, 32 << 5}),
         {{kWhite, qRgb(0, 130, 0)}}},
        {"4-bit channels and alpha in a 56-byte header",
         fields(kV3, 16, {0x0F00, 0x00F0, 0x000F, 0xF000}, {0xFFFF, 0x8F00}),
         {{kWhite, qRgba(255, 0, 0, 136)}}},
        {"1-bit alpha from BI_ALPHABITFIELDS",
         oneRow({.depth = 16, .compression = kAlphaBitFields, .masks = Masks{0x7C00, 0x03E0, 0x001F, 0x8000}},
                {0xFFFF, 0x7FFF}),
         {{kWhite, qRgba(255, 255, 255, 0)}}},
        {"10-bit channels and a 2-bit alpha in a 108-byte header",
         fields(kV4, 32, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
                {0xFFFFFFFF, 1u << 30 | 512u << 20 | 1023}),
         {{kWhite, qRgba(128, 0, 255, 85)}}},
        {"16-bit channels in a 52-byte header",
         fields(kV2, 32, {0xFFFF0000, 0, 0xFFFF, 0}, {0x80000001, ~0u}),
         {{qRgb(128, 0, 0), qRgb(255, 0, 255)}}},
        {"a 32-bit channel in a 124-byte header",
         fields(kV5, 32, {0, ~0u, 0, 0}, {0x80000000, ~0u}),
         {{qRgb(0, 128, 0), qRgb(0, 255, 0)}}},
        {"32-bit BI_RGB: the fourth byte is unused",
         oneRow({.depth = 32}, {0x00C80A14, 0x7F1E3228}),
         {{kRed, qRgb(30, 50, 40)}}},
        {"16-bit BI_RGB keeps 5-5-5 whatever masks a 124-byte header holds",
         oneRow({.headerSize = kV5, .depth = 16, .masks = Masks{0xF800, 0x07E0, 0x001F, 0}}, {0x7FFF}),
         {{kWhite}}},
    });
}

TEST(BmpDecoder, ReadsPalettesRowOrderAndHeaderKinds)
{
    const QList<QList<quint32>> rgb{{0xC80A14, 0x1EB428}, {0x323CDC, 0xFFFFFF}};
    expectDecodes({
        {"bottom-up rows", rgbRows(2, rgb), {{kBlue, kWhite}, {kRed, kGreen}}},
        {"top-down rows", rgbRows(-2, rgb), {{kRed, kGreen}, {kBlue, kWhite}}},
        {"1 bit across a byte",
         oneRow({.depth = 1, .palette = {kWhite, kRed}}, {1, 0, 1, 1, 0, 0, 0, 0, 1}),
         {{kRed, kWhite, kRed, kRed, kWhite, kWhite, kWhite, kWhite, kRed}}},
        {"2 bits",
         oneRow({.depth = 2, .palette = kPalette}, {0, 1, 2, 3, 1}),
         {{kWhite, kRed, kGreen, kBlue, kRed}}},
        {"4 bits, two colours used: higher indexes are black",
         oneRow({.depth = 4, .palette = {kWhite, kRed}, .coloursUsed = 2}, {1, 0, 5}),
         {{kRed, kWhite, kBlack}}},
        {"8 bits, the data offset cuts the palette short",
         oneRow({.depth = 8, .palette = {kWhite, kRed, kGreen}}, {2, 3}),
         {{kGreen, kBlack}}},
        {"12-byte OS/2 core header, three-byte entries",
         oneRow({.headerSize = kCore, .depth = 8, .palette = kPalette}, {3, 1}),
         {{kBlue, kRed}}},
        {"16-byte OS/2 header",
         oneRow({.headerSize = kOs2Short, .depth = 4, .palette = kPalette}, {2, 3}),
         {{kGreen, kBlue}}},
        {"64-byte OS/2 header", oneRow({.headerSize = kOs2, .depth = 24}, {0x323CDC}), {{kBlue}}},
    });
}

TEST(BmpDecoder, PixelsTheFileLeavesOutAreTransparent)
{
    // RLE8, rows from the bottom: runs and an absolute run; one pixel and an early line end; a
    // delta three to the right, a run, the picture's end.
    const QByteArray rle8("\x02\x01\x00\x03\x02\x03\x01\x00\x00\x00"
                          "\x01\x03\x00\x00"
                          "\x00\x02\x03\x00\x02\x02\x00\x01",
                          22);
    // RLE4: a run of alternating nibbles longer than the row; an absolute run of three, an early
    // picture end.
    const QByteArray rle4("\x07\x12\x00\x00"
                          "\x00\x03\x31\x20\x00\x01",
                          10);
    const Bmp rle{
        .width = 5, .height = 3, .depth = 8, .compression = kRle8, .palette = kPalette, .pixels = rle8};
    const QByteArray full = rgbRows(3, {{0xC80A14, 0x1EB428}, {0x323CDC, 0x323CDC}, {0xFFFFFF, 0xFFFFFF}});
    expectDecodes({
        {"RLE8 with a delta and early ends",
         rle.bytes(),
         {{kClear, kClear, kClear, kGreen, kGreen},
          {kBlue, kClear, kClear, kClear, kClear},
          {kRed, kRed, kGreen, kBlue, kRed}}},
        {"RLE4 cut at the row's end and ended early",
         Bmp{.width = 5, .height = 2, .depth = 4, .compression = kRle4, .palette = kPalette, .pixels = rle4}
             .bytes(),
         {{kBlue, kRed, kGreen, kClear, kClear}, {kRed, kGreen, kRed, kGreen, kRed}}},
        {"RLE data that stops without an end code",
         rle.bytes().left(rle.bytes().size() - rle8.size() + 2),
         {QList<QRgb>(5, kClear), QList<QRgb>(5, kClear), {kRed, kRed, kClear, kClear, kClear}}},
        {"file ending inside the second of three rows",
         full.chopped(12),
         {{kClear, kClear}, {kBlue, kClear}, {kRed, kGreen}}},
        {"file ending where the pixels start", full.chopped(24), QList<QList<QRgb>>(3, {kClear, kClear})},
        {"file lacking only the last row's padding",
         full.chopped(2),
         {{kWhite, kWhite}, {kBlue, kBlue}, {kRed, kGreen}}},
    });
}

TEST(BmpDecoder, RefusesBrokenOrNonsensicalHeaders)
{
    const QByteArray indexed = oneRow({.depth = 8, .palette = QList<QRgb>(256, kRed)}, {1, 2});
    const QByteArray fields =
        oneRow({.depth = 32, .compression = kBitFields, .masks = Masks{0xFF, 0xFF00, 0, 0}}, {1});
    const auto masks = [](Masks masks) {
        return Bmp{.depth = 32, .compression = kBitFields, .masks = masks}.bytes();
    };
    const std::vector<std::pair<const char *, QByteArray>> files{
        {"empty", QByteArray()},
        {"another signature", "BA" + indexed.mid(2)},
        {"ends inside the file header", indexed.left(12)},
        {"ends inside the info header", indexed.left(14 + 30)},
        {"ends inside the masks after a 40-byte header", fields.left(14 + 40 + 8)},
        {"ends inside the palette", indexed.left(14 + 40 + 100)},
        {"unknown header size", Bmp{.headerSize = 44}.bytes()},
        {"width zero", Bmp{.width = 0}.bytes()},
        {"negative width", Bmp{.width = -2}.bytes()},
        {"height zero", Bmp{.height = 0}.bytes()},
        {"two planes", Bmp{.planes = 2}.bytes()},
        {"depth 3", Bmp{.depth = 3}.bytes()},
        {"RLE8 at 4 bits", Bmp{.depth = 4, .compression = kRle8}.bytes()},
        {"bit fields at 24 bits", Bmp{.depth = 24, .compression = kBitFields, .masks = Masks{}}.bytes()},
        {"overlapping masks", masks({0xFF0000, 0x1FF00, 0xFF, 0})},
        {"a mask with a gap", masks({0xFF0000, 0xF0F0, 0x0F, 0})},
        {"embedded JPEG", Bmp{.compression = kJpeg}.bytes()},
        {"embedded PNG", Bmp{.compression = kPng}.bytes()},
        {"OS/2 Huffman", Bmp{.headerSize = kOs2, .depth = 1, .compression = 3}.bytes()},
        {"pixels inside the headers", Bmp{.dataOffset = 20}.bytes()},
    };
    for (const auto &[name, file] : files)
        EXPECT_EQ(errorText(file), "Bitmap ist ungültig") << name;
}

TEST(BmpDecoder, RefusesOversizedPicturesBeforeAllocating)
{
    // No pixel data at all: a decoder that allocated first would hand out a transparent picture.
    const std::vector<std::pair<Bmp, QString>> files{
        {Bmp{.width = 20000, .height = 1}, "20000 × 1"},
        {Bmp{.width = 1, .height = -20000}, "1 × 20000"},
        {Bmp{.width = 4097, .height = 4096}, "4097 × 4096"},
        {Bmp{.headerSize = kCore, .width = 65535, .height = 65535, .depth = 1}, "65535 × 65535"},
    };
    for (const auto &[bmp, size] : files)
        EXPECT_EQ(errorText(bmp.bytes()), "Das Bild ist zu groß (" + size + " Pixel).");
}
