#include "pictures/BmpDecoder.h"

#include "pictures/Pictures.h"

#include <QByteArray>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <optional>
#include <vector>

namespace platform {
namespace {

constexpr qint64 kFileHeaderSize = 14;

// Info header sizes, as the header's first field gives them.
constexpr quint32 kCoreHeader = 12;     // OS/2 1.x: 16-bit sizes, three-byte palette entries
constexpr quint32 kOs2ShortHeader = 16; // OS/2 2.x cut after the depth
constexpr quint32 kInfoHeader = 40;     // bit field masks, if any, follow it
constexpr quint32 kV2Header = 52;       // holds the red, green and blue masks
constexpr quint32 kV3Header = 56;       // and the alpha mask
constexpr quint32 kOs2Header = 64;
constexpr quint32 kV4Header = 108;
constexpr quint32 kV5Header = 124;

// Where the fields sit inside the info header (the core header has its own, shorter layout).
constexpr qint64 kCompressionField = 16;
constexpr qint64 kColoursUsedField = 32;
constexpr qint64 kMasksField = 40;

// OS/2 2.x gives the values above kBiRle4 other meanings (Huffman, RLE24) that we do not read.
constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiRle8 = 1;
constexpr quint32 kBiRle4 = 2;
constexpr quint32 kBiBitFields = 3;
constexpr quint32 kBiAlphaBitFields = 6;

enum class Encoding { Plain, Rle8, Rle4 };

quint32 le16(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8;
}

quint32 le32(const uchar *p)
{
    return le16(p) | le16(p + 2) << 16;
}

bool isKnownHeader(quint32 size)
{
    constexpr std::array known{kCoreHeader, kOs2ShortHeader, kInfoHeader, kV2Header,
                               kV3Header,   kOs2Header,      kV4Header,   kV5Header};
    return std::find(known.begin(), known.end(), size) != known.end();
}

// One channel of a direct-colour pixel: where its bits lie and how they scale to 0..255.
class Channel
{
public:
    // Empty for an empty mask; nothing for a mask with gaps between its bits.
    static std::optional<Channel> fromMask(quint32 mask)
    {
        Channel channel;
        if (mask == 0)
            return channel;
        channel.m_mask = mask;
        channel.m_shift = std::countr_zero(mask);
        channel.m_max = mask >> channel.m_shift;
        if ((channel.m_max & (channel.m_max + 1)) != 0)
            return std::nullopt;
        // Up to 16 bits a table is cheaper than a division per pixel.
        if (channel.m_max <= 0xFFFF) {
            channel.m_table.resize(channel.m_max + 1);
            for (quint32 v = 0; v <= channel.m_max; ++v)
                channel.m_table[v] = channel.scaled(v);
        }
        return channel;
    }

    bool isEmpty() const { return m_mask == 0; }

    int value(quint32 pixel) const
    {
        const quint32 v = (pixel & m_mask) >> m_shift;
        return m_table.empty() ? scaled(v) : m_table[v];
    }

private:
    quint8 scaled(quint32 v) const
    {
        if (m_max == 0)
            return 0;
        return static_cast<quint8>((quint64(v) * 255 + m_max / 2) / m_max);
    }

    quint32 m_mask = 0;
    int m_shift = 0;
    quint32 m_max = 0;
    std::vector<quint8> m_table;
};

class BmpReader
{
public:
    explicit BmpReader(const QByteArray &data)
        : m_bytes(reinterpret_cast<const uchar *>(data.constData())), m_size(data.size())
    {
    }

    BmpDecoding run();

private:
    bool readHeaders();
    bool readMasks(quint32 compression, const uchar *header, quint32 headerSize, qint64 &next);
    bool readPalette(quint32 coloursUsed, quint32 dataOffset, qint64 next);
    void decodePlain();
    void decodeRle();
    QRgb *line(qint64 row)
    {
        return reinterpret_cast<QRgb *>(m_image.scanLine(int(m_topDown ? row : m_height - 1 - row)));
    }

    const uchar *const m_bytes;
    const qint64 m_size;

    qint64 m_width = 0;
    qint64 m_height = 0;
    bool m_topDown = false;
    int m_depth = 0;
    int m_paletteEntrySize = 4;
    Encoding m_encoding = Encoding::Plain;
    std::array<Channel, 4> m_channels; // red, green, blue, alpha
    std::array<QRgb, 256> m_palette{};
    qint64 m_dataStart = 0;

    QImage m_image;
    bool m_undefinedPixels = false;
    bool m_translucentPixels = false;
};

BmpDecoding BmpReader::run()
{
    BmpDecoding result;
    if (!readHeaders())
        return result;
    result.width = m_width;
    result.height = m_height;
    if (!fitsPictureLimits(m_width, m_height)) {
        result.status = BmpDecoding::Status::TooLarge;
        return result;
    }
    m_image = QImage(int(m_width), int(m_height), QImage::Format_ARGB32);
    if (m_image.isNull()) {
        result.status = BmpDecoding::Status::OutOfMemory;
        return result;
    }
    if (m_encoding == Encoding::Plain)
        decodePlain();
    else
        decodeRle();
    if (!m_undefinedPixels && !m_translucentPixels)
        m_image.reinterpretAsFormat(QImage::Format_RGB32); // every alpha is 255 already
    result.status = BmpDecoding::Status::Decoded;
    result.image = std::move(m_image);
    return result;
}

bool BmpReader::readHeaders()
{
    if (m_size < kFileHeaderSize + 4 || m_bytes[0] != 'B' || m_bytes[1] != 'M')
        return false;
    const quint32 dataOffset = le32(m_bytes + 10);
    const quint32 headerSize = le32(m_bytes + kFileHeaderSize);
    if (!isKnownHeader(headerSize) || m_size < kFileHeaderSize + headerSize)
        return false;

    const uchar *header = m_bytes + kFileHeaderSize;
    quint32 planes = 0;
    quint32 compression = kBiRgb;
    quint32 coloursUsed = 0;
    if (headerSize == kCoreHeader) {
        m_width = le16(header + 4);
        m_height = le16(header + 6);
        planes = le16(header + 8);
        m_depth = int(le16(header + 10));
        m_paletteEntrySize = 3;
    } else {
        m_width = qint32(le32(header + 4));
        m_height = qint32(le32(header + 8));
        planes = le16(header + 12);
        m_depth = int(le16(header + 14));
        if (headerSize > kOs2ShortHeader) {
            compression = le32(header + kCompressionField);
            coloursUsed = le32(header + kColoursUsedField);
        }
    }
    m_topDown = m_height < 0;
    m_height = std::abs(m_height);
    if (m_width <= 0 || m_height == 0 || planes != 1)
        return false;

    const bool os2 = headerSize == kOs2ShortHeader || headerSize == kOs2Header;
    if (os2 && compression > kBiRle4)
        return false;
    bool depthFits = false;
    switch (compression) {
    case kBiRgb:
        depthFits = m_depth == 1 || m_depth == 2 || m_depth == 4 || m_depth == 8 || m_depth == 16 ||
                    m_depth == 24 || m_depth == 32;
        break;
    case kBiRle8:
        m_encoding = Encoding::Rle8;
        depthFits = m_depth == 8;
        break;
    case kBiRle4:
        m_encoding = Encoding::Rle4;
        depthFits = m_depth == 4;
        break;
    case kBiBitFields:
    case kBiAlphaBitFields:
        depthFits = m_depth == 16 || m_depth == 32;
        break;
    default: // embedded JPEG or PNG, or unknown
        return false;
    }
    if (!depthFits)
        return false;

    qint64 next = kFileHeaderSize + headerSize;
    return readMasks(compression, header, headerSize, next) && readPalette(coloursUsed, dataOffset, next);
}

// The bit field masks of a direct-colour picture, from the header or from the bytes after a
// 40-byte one; next moves past the latter.
bool BmpReader::readMasks(quint32 compression, const uchar *header, quint32 headerSize, qint64 &next)
{
    if (m_depth <= 8)
        return true;
    std::array<quint32, 4> masks{};
    if (compression == kBiRgb) {
        if (m_depth == 16)
            masks = {0x7C00, 0x03E0, 0x001F, 0};
        else
            masks = {0xFF0000, 0x00FF00, 0x0000FF, 0};
    } else if (headerSize >= kV2Header) {
        for (int i = 0; i < 3; ++i)
            masks[i] = le32(header + kMasksField + 4 * i);
        if (headerSize >= kV3Header)
            masks[3] = le32(header + kMasksField + 12);
    } else {
        const int count = compression == kBiAlphaBitFields ? 4 : 3;
        if (m_size < next + 4 * count)
            return false;
        for (int i = 0; i < count; ++i)
            masks[i] = le32(m_bytes + next + 4 * i);
        next += 4 * count;
    }
    if (m_depth < 32) {
        for (quint32 &mask : masks)
            mask &= (1u << m_depth) - 1;
    }
    for (size_t i = 0; i < masks.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (masks[i] & masks[j])
                return false;
        }
        const std::optional<Channel> channel = Channel::fromMask(masks[i]);
        if (!channel)
            return false;
        m_channels[i] = *channel;
    }
    return true;
}

// The palette lies between the headers and the pixel data. An offset that leaves room for fewer
// entries than the header counts cuts the palette short; one pointing into the headers is wrong.
bool BmpReader::readPalette(quint32 coloursUsed, quint32 dataOffset, qint64 next)
{
    const qint64 capacity = m_depth <= 8 ? qint64(1) << m_depth : 256;
    qint64 entries = coloursUsed == 0 && m_depth <= 8 ? capacity : std::min<qint64>(coloursUsed, capacity);
    if (dataOffset != 0) {
        if (dataOffset < next)
            return false;
        entries = std::min<qint64>(entries, (dataOffset - next) / m_paletteEntrySize);
        m_dataStart = dataOffset;
    } else {
        m_dataStart = next + entries * m_paletteEntrySize;
    }
    m_palette.fill(qRgb(0, 0, 0));
    if (m_depth > 8)
        return true;
    if (m_size < next + entries * m_paletteEntrySize)
        return false;
    for (qint64 i = 0; i < entries; ++i) {
        const uchar *entry = m_bytes + next + i * m_paletteEntrySize;
        m_palette[size_t(i)] = qRgb(entry[2], entry[1], entry[0]);
    }
    return true;
}

void BmpReader::decodePlain()
{
    const qint64 stride = (m_width * m_depth + 31) / 32 * 4;
    const qint64 lastRowBytes = (m_width * m_depth + 7) / 8;
    m_undefinedPixels = m_size - m_dataStart < stride * (m_height - 1) + lastRowBytes;
    if (m_undefinedPixels)
        m_image.fill(0);

    const int bytesPerPixel = m_depth / 8;
    const int perByte = m_depth < 8 ? 8 / m_depth : 1;
    const int indexMask = (1 << std::min(m_depth, 8)) - 1;
    const auto &[red, green, blue, alpha] = m_channels;
    for (qint64 row = 0; row < m_height; ++row) {
        const qint64 start = m_dataStart + row * stride;
        if (start >= m_size)
            break;
        const qint64 pixels = std::min(m_width, std::min(stride, m_size - start) * 8 / m_depth);
        const uchar *src = m_bytes + start;
        QRgb *out = line(row);
        if (m_depth <= 8) {
            for (qint64 x = 0; x < pixels; ++x) {
                const int shift = 8 - m_depth * int(x % perByte + 1);
                out[x] = m_palette[size_t((src[x / perByte] >> shift) & indexMask)];
            }
            continue;
        }
        for (qint64 x = 0; x < pixels; ++x, src += bytesPerPixel) {
            quint32 value = 0;
            for (int i = bytesPerPixel - 1; i >= 0; --i)
                value = value << 8 | src[i];
            const int a = alpha.isEmpty() ? 255 : alpha.value(value);
            m_translucentPixels |= a != 255;
            out[x] = qRgba(red.value(value), green.value(value), blue.value(value), a);
        }
    }
}

// RLE pictures draw only what their codes name: the picture starts transparent, and deltas,
// early line ends and an early picture end leave their pixels so. Runs beyond a row's end are cut.
void BmpReader::decodeRle()
{
    m_image.fill(0);
    const bool nibbles = m_encoding == Encoding::Rle4;
    qint64 pos = m_dataStart;
    qint64 x = 0;
    qint64 row = 0;
    qint64 drawn = 0;
    QRgb *out = line(0);
    const auto draw = [&](qint64 count, auto indexAt) {
        const qint64 end = std::min(x + count, m_width);
        for (qint64 at = x; at < end; ++at)
            out[at] = m_palette[size_t(indexAt(at - x))];
        drawn += std::max<qint64>(0, end - x);
        x += count;
    };
    while (pos + 2 <= m_size) {
        const int count = m_bytes[pos];
        const int code = m_bytes[pos + 1];
        pos += 2;
        if (count > 0) {
            draw(count, [&](qint64 i) { return !nibbles ? code : i % 2 == 0 ? code >> 4 : code & 0x0F; });
            continue;
        }
        if (code == 0 || code == 2) { // end of line, or a delta to the right and up
            qint64 rows = 1;
            if (code == 0) {
                x = 0;
            } else {
                if (pos + 2 > m_size)
                    break;
                x += m_bytes[pos];
                rows = m_bytes[pos + 1];
                pos += 2;
            }
            row += rows;
            if (row >= m_height)
                break;
            out = line(row);
            continue;
        }
        if (code == 1) // end of picture
            break;
        // Absolute run: code pixels as they are, padded to a 16-bit boundary.
        const uchar *src = m_bytes + pos;
        const qint64 bytes = nibbles ? (code + 1) / 2 : code;
        const qint64 present = std::min<qint64>(code, (m_size - pos) * (nibbles ? 2 : 1));
        draw(present, [&](qint64 i) {
            return !nibbles ? src[i] : i % 2 == 0 ? src[i / 2] >> 4 : src[i / 2] & 0x0F;
        });
        pos += bytes + (bytes & 1);
    }
    m_undefinedPixels = drawn < m_width * m_height;
}

} // namespace

BmpDecoding decodeBmp(const QByteArray &data)
{
    return BmpReader(data).run();
}

} // namespace platform
