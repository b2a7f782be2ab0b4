#include "BmpBuilder.h"

namespace bmptest {
namespace {

void append16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void append32(QByteArray &out, quint32 value)
{
    append16(out, value & 0xFFFF);
    append16(out, value >> 16);
}

} // namespace

QByteArray Bmp::bytes() const
{
    QByteArray header;
    append32(header, headerSize);
    if (headerSize == kCore) {
        append16(header, quint32(width));
        append16(header, quint32(height));
        append16(header, planes);
        append16(header, quint32(depth));
    } else {
        append32(header, quint32(width));
        append32(header, quint32(height));
        append16(header, planes);
        append16(header, quint32(depth));
        if (headerSize > kOs2Short) {
            append32(header, compression);
            append32(header, quint32(pixels.size()));
            append32(header, 2835); // 72 dpi
            append32(header, 2835);
            append32(header, coloursUsed);
            append32(header, 0);
        }
        if (headerSize >= kV2 && masks) {
            for (int i = 0; i < (headerSize >= kV3 ? 4 : 3); ++i)
                append32(header, (*masks)[i]);
        }
        header.append(QByteArray(qMax<qsizetype>(0, headerSize - header.size()), '\0'));
        if (headerSize == kInfo && masks) {
            for (int i = 0; i < (compression == kAlphaBitFields ? 4 : 3); ++i)
                append32(header, (*masks)[i]);
        }
    }
    for (QRgb colour : palette) {
        header.append(char(qBlue(colour)));
        header.append(char(qGreen(colour)));
        header.append(char(qRed(colour)));
        if (headerSize != kCore)
            header.append('\0');
    }

    constexpr int kFileHeaderSize = 14;
    const quint32 offset = dataOffset.value_or(quint32(kFileHeaderSize + header.size()));
    QByteArray file("BM");
    append32(file, 0); // the file size, which readers do not need
    append32(file, 0);
    append32(file, offset);
    file.append(header);
    if (file.size() < qsizetype(offset))
        file.append(QByteArray(offset - file.size(), '\0'));
    file.append(pixels);
    return file;
}

QByteArray packRows(int depth, const QList<QList<quint32>> &rows)
{
    QByteArray out;
    for (const QList<quint32> &row : rows) {
        QByteArray packed;
        if (depth < 8) {
            int bits = 0;
            for (quint32 value : row) {
                if (bits % 8 == 0)
                    packed.append('\0');
                bits += depth;
                packed.back() = char(packed.back() | value << (8 - bits % 8) % 8);
            }
        } else {
            for (quint32 value : row) {
                for (int i = 0; i < depth / 8; ++i)
                    packed.append(char((value >> (8 * i)) & 0xFF));
            }
        }
        packed.append(QByteArray((4 - packed.size() % 4) % 4, '\0'));
        out.append(packed);
    }
    return out;
}

} // namespace bmptest
