#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>

#include <array>
#include <optional>

// Writes bitmap files field by field, so tests can build every header kind, depth and
// compression, well-formed or not.
namespace bmptest {

// Header sizes and compression values as the file format numbers them.
inline constexpr quint32 kCore = 12, kOs2Short = 16, kInfo = 40, kV2 = 52, kV3 = 56, kOs2 = 64, kV4 = 108,
                         kV5 = 124;
inline constexpr quint32 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPng = 5,
                         kAlphaBitFields = 6;

using Masks = std::array<quint32, 4>; // red, green, blue, alpha

struct Bmp
{
    quint32 headerSize = kInfo;
    qint32 width = 1;
    qint32 height = 1; // negative: top-down
    int depth = 24;
    quint32 compression = kRgb;
    // Inside a header of 52 bytes or more (alpha from 56 on), after a 40-byte one (the alpha mask
    // only with kAlphaBitFields).
    std::optional<Masks> masks{};
    QList<QRgb> palette{}; // four bytes an entry, three after the 12-byte header
    quint32 coloursUsed = 0;
    QByteArray pixels{}; // as stored
    // Where the pixels start; by default right after the palette. Gaps are filled with zeros.
    std::optional<quint32> dataOffset{};
    quint16 planes = 1;

    QByteArray bytes() const;
};

// Packs values of `depth` bits each, most significant first within a byte, little-endian across
// the bytes of wider pixels, each row padded to four bytes; rows in file order.
QByteArray packRows(int depth, const QList<QList<quint32>> &rows);

} // namespace bmptest
