#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QRgb>

#include <vector>

// Writes GIF files byte by byte, so tests can build well-formed files as well as every kind of
// broken one.
namespace giftest {

// Packs LZW codes with the width a decoder expects at each point: the width grows as the
// decoder's table grows and falls back after a clear code.
QByteArray packCodes(const std::vector<int> &codes, int minCodeSize);

// Uncompressed LZW: a clear code, every index as a literal, the end code.
QByteArray literalStream(const QList<uchar> &indices, int minCodeSize);

// Splits data into sub-blocks of at most 255 bytes followed by the zero-length terminator.
QByteArray subBlocks(const QByteArray &data);

// Encodes indices with giflib's own encoder (real LZW compression), as one image covering the
// whole screen; the colour table is padded to a power of two.
QByteArray encodeWithGiflib(int width, int height, const QList<QRgb> &colours, const QList<uchar> &indices);

class GifBuilder
{
public:
    explicit GifBuilder(const QByteArray &signature = "GIF89a") : m_bytes(signature) {}

    // Logical screen with an optional global colour table (padded to a power of two).
    GifBuilder &screen(int width, int height, const QList<QRgb> &globalColours = {});
    GifBuilder &graphicControl(int transparentIndex = -1, int delay = 0, int disposal = 0);
    GifBuilder &extension(int label, const QByteArray &firstBlock);
    // One image of literal-coded indices (row by row, or in interlace order when asked).
    GifBuilder &image(const QRect &rect, const QList<uchar> &indices, const QList<QRgb> &localColours = {},
                      bool interlaced = false);
    // One image with the given LZW bytes (already split into sub-blocks unless raw is false).
    GifBuilder &imageData(const QRect &rect, int minCodeSize, const QByteArray &lzw,
                          bool splitIntoBlocks = true, const QList<QRgb> &localColours = {},
                          bool interlaced = false);
    GifBuilder &raw(const QByteArray &bytes);
    GifBuilder &trailer() { return raw(QByteArray(1, ';')); }

    const QByteArray &bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

} // namespace giftest
