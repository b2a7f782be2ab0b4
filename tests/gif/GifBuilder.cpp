#include "GifBuilder.h"

#include <gif_lib.h>

#include <stdexcept>

namespace giftest {
namespace {

void appendWord(QByteArray &out, int value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

// Colour table bits: the table holds 2^(bits) entries, at least two.
int tableBits(qsizetype count)
{
    int bits = 1;
    while ((qsizetype(1) << bits) < count)
        ++bits;
    return bits;
}

void appendTable(QByteArray &out, const QList<QRgb> &colours)
{
    const int entries = 1 << tableBits(colours.size());
    for (int i = 0; i < entries; ++i) {
        const QRgb c = i < colours.size() ? colours.at(i) : qRgb(0, 0, 0);
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
}

int minCodeSizeFor(const QList<QRgb> &colours)
{
    return std::max(2, tableBits(colours.size()));
}

int writeToByteArray(GifFileType *file, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(file->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

} // namespace

QByteArray packCodes(const std::vector<int> &codes, int minCodeSize)
{
    const int clearCode = 1 << minCodeSize;
    int width = minCodeSize + 1;
    int next = clearCode + 2;
    bool havePrevious = false;
    QByteArray out;
    quint32 buffer = 0;
    int bits = 0;
    for (int code : codes) {
        buffer |= static_cast<quint32>(code) << bits;
        bits += width;
        while (bits >= 8) {
            out.append(static_cast<char>(buffer & 0xFF));
            buffer >>= 8;
            bits -= 8;
        }
        if (code == clearCode) {
            width = minCodeSize + 1;
            next = clearCode + 2;
            havePrevious = false;
            continue;
        }
        if (havePrevious && next < 4096) {
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        havePrevious = true;
    }
    if (bits > 0)
        out.append(static_cast<char>(buffer & 0xFF));
    return out;
}

QByteArray literalStream(const QList<uchar> &indices, int minCodeSize)
{
    const int clearCode = 1 << minCodeSize;
    std::vector<int> codes{clearCode};
    for (uchar index : indices)
        codes.push_back(index);
    codes.push_back(clearCode + 1);
    return packCodes(codes, minCodeSize);
}

QByteArray subBlocks(const QByteArray &data)
{
    QByteArray out;
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray chunk = data.mid(at, 255);
        out.append(static_cast<char>(chunk.size()));
        out.append(chunk);
    }
    out.append('\0');
    return out;
}

QByteArray encodeWithGiflib(int width, int height, const QList<QRgb> &colours, const QList<uchar> &indices)
{
    QByteArray out;
    int error = 0;
    GifFileType *file = EGifOpen(&out, writeToByteArray, &error);
    if (!file)
        throw std::runtime_error("EGifOpen failed");
    std::vector<GifColorType> entries(static_cast<size_t>(1) << tableBits(colours.size()));
    for (qsizetype i = 0; i < colours.size(); ++i)
        entries[static_cast<size_t>(i)] = {static_cast<GifByteType>(qRed(colours[i])),
                                           static_cast<GifByteType>(qGreen(colours[i])),
                                           static_cast<GifByteType>(qBlue(colours[i]))};
    ColorMapObject *map = GifMakeMapObject(static_cast<int>(entries.size()), entries.data());
    bool ok = EGifPutScreenDesc(file, width, height, map->BitsPerPixel, 0, map) == GIF_OK &&
              EGifPutImageDesc(file, 0, 0, width, height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    for (int y = 0; ok && y < height; ++y) {
        for (int x = 0; x < width; ++x)
            line[static_cast<size_t>(x)] = indices.at(y * width + x);
        ok = EGifPutLine(file, line.data(), width) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(file, &error) != GIF_OK || !ok)
        throw std::runtime_error("giflib could not encode the test picture");
    return out;
}

GifBuilder &GifBuilder::screen(int width, int height, const QList<QRgb> &globalColours)
{
    appendWord(m_bytes, width);
    appendWord(m_bytes, height);
    const int flags = globalColours.isEmpty() ? 0 : 0x80 | (tableBits(globalColours.size()) - 1);
    m_bytes.append(static_cast<char>(flags));
    m_bytes.append('\0'); // background index
    m_bytes.append('\0'); // aspect ratio
    if (!globalColours.isEmpty())
        appendTable(m_bytes, globalColours);
    return *this;
}

GifBuilder &GifBuilder::graphicControl(int transparentIndex, int delay, int disposal)
{
    QByteArray block;
    block.append(static_cast<char>((disposal << 2) | (transparentIndex >= 0 ? 1 : 0)));
    appendWord(block, delay);
    block.append(static_cast<char>(transparentIndex >= 0 ? transparentIndex : 0));
    return extension(0xF9, block);
}

GifBuilder &GifBuilder::extension(int label, const QByteArray &firstBlock)
{
    m_bytes.append('!');
    m_bytes.append(static_cast<char>(label));
    m_bytes.append(static_cast<char>(firstBlock.size()));
    m_bytes.append(firstBlock);
    m_bytes.append('\0');
    return *this;
}

GifBuilder &GifBuilder::image(const QRect &rect, const QList<uchar> &indices, const QList<QRgb> &localColours,
                              bool interlaced)
{
    const int minCodeSize = localColours.isEmpty() ? 8 : minCodeSizeFor(localColours);
    return imageData(rect, minCodeSize, literalStream(indices, minCodeSize), true, localColours, interlaced);
}

GifBuilder &GifBuilder::imageData(const QRect &rect, int minCodeSize, const QByteArray &lzw,
                                  bool splitIntoBlocks, const QList<QRgb> &localColours, bool interlaced)
{
    m_bytes.append(',');
    appendWord(m_bytes, rect.x());
    appendWord(m_bytes, rect.y());
    appendWord(m_bytes, rect.width());
    appendWord(m_bytes, rect.height());
    int flags = interlaced ? 0x40 : 0;
    if (!localColours.isEmpty())
        flags |= 0x80 | (tableBits(localColours.size()) - 1);
    m_bytes.append(static_cast<char>(flags));
    if (!localColours.isEmpty())
        appendTable(m_bytes, localColours);
    m_bytes.append(static_cast<char>(minCodeSize));
    m_bytes.append(splitIntoBlocks ? subBlocks(lzw) : lzw);
    return *this;
}

GifBuilder &GifBuilder::raw(const QByteArray &bytes)
{
    m_bytes.append(bytes);
    return *this;
}

} // namespace giftest
