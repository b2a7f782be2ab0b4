#pragma once

#include <QImage>

class QByteArray;

// Decodes Windows and OS/2 bitmap files ("BM") without any help from the toolkit, so that every
// pixel of the result is one the file defines or one we chose.
//
// Headers: the 12-byte OS/2 core header, the 16- and 64-byte OS/2 2.x headers and the 40-, 52-,
// 56-, 108- and 124-byte Windows headers. Depths 1, 2, 4 and 8 with a palette (cut short by a
// small colour count or by a data offset that leaves no room for more; indexes beyond it are
// black), 16, 24 and 32 bits directly, bit fields of any width up to 32 bits (BI_BITFIELDS and
// BI_ALPHABITFIELDS, masks after a 40-byte header or inside a larger one), and RLE8/RLE4 with
// deltas and early line or picture ends. Rows run bottom-up, or top-down for a negative height.
//
// Every channel is scaled to 0..255 (v * 255 / max, rounded): a 5-bit 31 and a 1-bit alpha of 1
// become 255. BI_RGB means 5-5-5 or 8-8-8 without alpha whatever masks a large header holds,
// so the fourth byte of a 32-bit BI_RGB pixel is unused and the picture opaque. Pixels the file
// leaves undefined (skipped by an RLE delta or line end, or missing because the file ends early)
// are transparent.
//
// Refused as invalid: another signature, a file that ends inside its headers, masks or palette,
// and fields that make no sense (zero sizes, planes other than one, a depth the compression
// does not allow, masks that overlap or have gaps, embedded JPEG or PNG, OS/2 Huffman or RLE24).
namespace platform {

struct BmpDecoding
{
    enum class Status { Decoded, Invalid, TooLarge, OutOfMemory };

    Status status = Status::Invalid;
    // Format_RGB32, or Format_ARGB32 when a pixel is not fully opaque. Null unless Decoded.
    QImage image;
    // The size the header claims (a top-down picture's height made positive), for TooLarge.
    qint64 width = 0;
    qint64 height = 0;
};

// Checks the header's size against kMaxPictureSide and kMaxPicturePixels before it allocates.
BmpDecoding decodeBmp(const QByteArray &data);

} // namespace platform
