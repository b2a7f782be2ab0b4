#include "gif/GifCodec.h"

#include "platform/core/Error.h"

#include <QByteArray>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace gif {
namespace {

constexpr int kMaxCodes = 4096;
// The largest LZW start code size whose first codes still fit the 12-bit table. Sizes above 8
// name indexes beyond any colour table; only their low eight bits count.
constexpr int kMaxCodeSize = 11;
// More images than any animation needs; beyond them reading stops quietly.
constexpr int kMaxImages = 65536;
constexpr int kHeaderSize = 6;
constexpr int kScreenDescriptorEnd = 10; // header plus width and height
// Pictures stored inside window data carry a four-byte length in front of the GIF itself.
constexpr int kStoredLengthPrefix = 4;

// Extension labels of GIF89a. Anything else is a defect we refuse.
constexpr int kPlainTextLabel = 0x01;
constexpr int kGraphicControlLabel = 0xF9;
constexpr int kCommentLabel = 0xFE;
constexpr int kApplicationLabel = 0xFF;

enum class Disposal { Keep, RestoreBackground, RestorePrevious };

struct MemoryInput
{
    const uchar *data = nullptr;
    qsizetype size = 0;
    qsizetype pos = 0;

    bool atEnd() const { return pos >= size; }
};

int readMemory(GifFileType *file, GifByteType *buffer, int length)
{
    auto *input = static_cast<MemoryInput *>(file->UserData);
    if (length <= 0)
        return 0;
    const auto count = static_cast<int>(std::min<qsizetype>(length, input->size - input->pos));
    if (count > 0) {
        std::memcpy(buffer, input->data + input->pos, static_cast<size_t>(count));
        input->pos += count;
    }
    return count;
}

struct GifFileCloser
{
    void operator()(GifFileType *file) const
    {
        int error = 0;
        DGifCloseFile(file, &error);
    }
};
using GifFilePtr = std::unique_ptr<GifFileType, GifFileCloser>;

bool hasSignatureAt(const QByteArray &data, qsizetype offset)
{
    return data.size() >= offset + 3 && data.at(offset) == 'G' && data.at(offset + 1) == 'I' &&
           data.at(offset + 2) == 'F';
}

int readWord(const uchar *p)
{
    return p[0] | (p[1] << 8);
}

enum class LzwOutcome { Complete, Underrun, Circular };

struct LzwResult
{
    LzwOutcome outcome = LzwOutcome::Complete;
    qint64 pixels = 0;
};

// Decodes one image's LZW stream, handing each pixel index to sink(index) until pixelLimit
// pixels are out. Every table entry is built from an older one, so a code can only be resolved
// when it names a literal, a built entry or the one entry being built right now; any other code
// would make the table refer to itself.
template <typename Sink>
LzwResult decodeLzw(const QByteArray &stream, int minCodeSize, qint64 pixelLimit, Sink &&sink)
{
    qint64 emitted = 0;
    std::array<quint16, kMaxCodes> prefix{};
    std::array<quint8, kMaxCodes> suffix{};
    std::array<quint8, kMaxCodes> firstByte{};
    std::array<quint16, kMaxCodes> length{};
    std::array<quint8, kMaxCodes + 1> string{};

    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    for (int code = 0; code < clearCode; ++code) {
        suffix[code] = firstByte[code] = static_cast<quint8>(code);
        length[code] = 1;
    }
    int codeWidth = minCodeSize + 1;
    int nextCode = clearCode + 2;
    int previous = -1;

    const auto *bytes = reinterpret_cast<const uchar *>(stream.constData());
    const qsizetype size = stream.size();
    qsizetype pos = 0;
    quint32 bitBuffer = 0;
    int bitCount = 0;

    while (emitted < pixelLimit) {
        while (bitCount < codeWidth) {
            if (pos >= size)
                return {LzwOutcome::Underrun, emitted};
            bitBuffer |= static_cast<quint32>(bytes[pos++]) << bitCount;
            bitCount += 8;
        }
        const int code = static_cast<int>(bitBuffer & ((1u << codeWidth) - 1));
        bitBuffer >>= codeWidth;
        bitCount -= codeWidth;

        if (code == clearCode) {
            codeWidth = minCodeSize + 1;
            nextCode = clearCode + 2;
            previous = -1;
            continue;
        }
        if (code == endCode)
            return {LzwOutcome::Underrun, emitted}; // the stream says it is done, but pixels are missing

        int stringLength = 0;
        if (previous < 0) {
            if (code >= clearCode)
                return {LzwOutcome::Circular, emitted};
            string[0] = static_cast<quint8>(code);
            stringLength = 1;
        } else {
            int walk = code;
            quint8 tail = 0;
            bool growsItself = false;
            if (code < nextCode) {
                tail = firstByte[code];
            } else if (code == nextCode && nextCode < kMaxCodes) {
                // The entry being built: the previous string followed by its own first byte.
                walk = previous;
                tail = firstByte[previous];
                growsItself = true;
            } else {
                return {LzwOutcome::Circular, emitted};
            }
            stringLength = length[walk] + (growsItself ? 1 : 0);
            int at = length[walk] - 1;
            if (growsItself)
                string[static_cast<size_t>(stringLength - 1)] = tail;
            while (walk >= clearCode) {
                string[static_cast<size_t>(at--)] = suffix[walk];
                walk = prefix[walk];
            }
            string[static_cast<size_t>(at)] = static_cast<quint8>(walk);

            if (nextCode < kMaxCodes) {
                prefix[nextCode] = static_cast<quint16>(previous);
                suffix[nextCode] = tail;
                firstByte[nextCode] = firstByte[previous];
                length[nextCode] = static_cast<quint16>(std::min(length[previous] + 1, kMaxCodes));
                ++nextCode;
                if (nextCode == (1 << codeWidth) && codeWidth < 12)
                    ++codeWidth;
            }
        }
        previous = code;

        const qint64 count = std::min<qint64>(stringLength, pixelLimit - emitted);
        for (qint64 i = 0; i < count; ++i)
            sink(string[static_cast<size_t>(i)]);
        emitted += count;
    }
    return {LzwOutcome::Complete, emitted};
}

// Maps the n-th decoded row of an interlaced image to its place: rows 0, 8, 16, ... first, then
// 4, 12, ..., then 2, 6, ..., then the odd rows.
std::vector<int> interlacedRowOrder(int height)
{
    std::vector<int> order;
    order.reserve(static_cast<size_t>(height));
    constexpr std::array<std::pair<int, int>, 4> passes{{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
    for (const auto &[start, step] : passes) {
        for (int row = start; row < height; row += step)
            order.push_back(row);
    }
    return order;
}

struct GraphicControl
{
    Disposal disposal = Disposal::Keep;
    int delay = 0;
    int transparentIndex = -1;
};

class Decoder
{
public:
    explicit Decoder(const QByteArray &data) : m_data(data) {}

    GifDecoding run();

private:
    void readScreen(qsizetype start);
    void readExtension(GifFileType *file);
    void readImage(GifFileType *file);
    LzwResult drawImage(const GifImageDesc &desc, const QByteArray &stream, int minCodeSize, qint64 limit);
    void disposePrevious();
    bool spend(qint64 pixels);
    void stop(GifDefect defect) { m_result.defect = defect; }

    const QByteArray &m_data;
    MemoryInput m_input;
    GifDecoding m_result;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    qint64 m_decodedPixels = 0;
    std::optional<GraphicControl> m_pendingControl;
    bool m_composing = true;
    // What the last composed image asks to happen before the next one is drawn.
    Disposal m_lastDisposal = Disposal::Keep;
    QRect m_lastRect;   // on the screen
    QImage m_savedArea; // what lay under the last image, for Disposal::RestorePrevious
    const ColorMapObject *m_globalColours = nullptr;
};

GifDecoding Decoder::run()
{
    qsizetype start = 0;
    if (!hasSignatureAt(m_data, 0)) {
        if (!hasSignatureAt(m_data, kStoredLengthPrefix))
            throw platform::Exception(QStringLiteral("Invalid GIF signature"));
        start = kStoredLengthPrefix;
    }
    readScreen(start);

    m_input = MemoryInput{reinterpret_cast<const uchar *>(m_data.constData()), m_data.size(), start};
    int error = 0;
    GifFilePtr file(DGifOpen(&m_input, readMemory, &error));
    if (!file) {
        stop(GifDefect::PrematureEnd);
        return m_result;
    }
    m_globalColours = file->SColorMap;

    while (m_result.defect == GifDefect::None) {
        const qsizetype before = m_input.pos;
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(file.get(), &type) == GIF_ERROR) {
            stop(m_input.pos == before ? GifDefect::InvalidTrailer : GifDefect::UnknownBlockType);
            break;
        }
        if (type == TERMINATE_RECORD_TYPE)
            break;
        if (type == EXTENSION_RECORD_TYPE)
            readExtension(file.get());
        else if (type == IMAGE_DESC_RECORD_TYPE)
            readImage(file.get());
    }
    return m_result;
}

void Decoder::readScreen(qsizetype start)
{
    if (m_data.size() < start + kScreenDescriptorEnd)
        return; // no screen size to be had: the picture stays empty
    const auto *p = reinterpret_cast<const uchar *>(m_data.constData()) + start + kHeaderSize;
    m_screenWidth = readWord(p);
    m_screenHeight = readWord(p + 2);
    if (m_screenWidth > kMaxSide || m_screenHeight > kMaxSide ||
        qint64(m_screenWidth) * m_screenHeight > kMaxPixels) {
        throw platform::Exception(QStringLiteral("Das GIF-Bild ist zu groß (%1 × %2 Pixel).")
                                      .arg(m_screenWidth)
                                      .arg(m_screenHeight));
    }
    if (m_screenWidth == 0 || m_screenHeight == 0)
        return;
    m_result.image = QImage(m_screenWidth, m_screenHeight, QImage::Format_ARGB32);
    if (m_result.image.isNull())
        throw platform::Exception(QStringLiteral("Nicht genügend Speicher für das GIF-Bild."));
    m_result.image.fill(0);
}

void Decoder::readExtension(GifFileType *file)
{
    // giflib takes any label; which ones we accept is our decision, made before it reads on.
    if (!m_input.atEnd()) {
        const int label = static_cast<uchar>(m_data.at(m_input.pos));
        if (label != kPlainTextLabel && label != kGraphicControlLabel && label != kCommentLabel &&
            label != kApplicationLabel) {
            throw platform::Exception(QStringLiteral("Unknown extension type"));
        }
    }
    int label = 0;
    GifByteType *block = nullptr;
    if (DGifGetExtension(file, &label, &block) == GIF_ERROR) {
        stop(GifDefect::PrematureEnd);
        return;
    }
    if (label == kGraphicControlLabel) {
        if (!block || block[0] < 4) {
            stop(GifDefect::InvalidExtension);
            return;
        }
        GraphicControl control;
        const int disposal = (block[1] >> 2) & 0x07;
        control.disposal = disposal == 2   ? Disposal::RestoreBackground
                           : disposal == 3 ? Disposal::RestorePrevious
                                           : Disposal::Keep;
        control.delay = readWord(block + 2);
        if (block[1] & 0x01)
            control.transparentIndex = block[4];
        m_pendingControl = control;
    }
    while (block) {
        if (DGifGetExtensionNext(file, &block) == GIF_ERROR) {
            stop(GifDefect::PrematureEnd);
            return;
        }
    }
}

void Decoder::readImage(GifFileType *file)
{
    // giflib reads the descriptor up to the LZW start code size and refuses sizes above 8, the
    // most its own decoder handles; it has read the size by then, so a refusal that leaves data
    // behind is that one. Our decoder takes what giflib refuses, so the size is read here.
    if (DGifGetImageDesc(file) == GIF_ERROR && (m_input.atEnd() || file->Error != D_GIF_ERR_READ_FAILED)) {
        stop(GifDefect::PrematureEnd);
        return;
    }
    // giflib keeps a record of every image read, growing its array one image at a time: tens of
    // thousands of images would copy it over and over and hold every local colour map until the
    // end. Nothing here reads those records, so each goes as soon as it is made.
    GifFreeSavedImages(file);
    file->ImageCount = 0;
    ++m_result.imageCount;
    const GifImageDesc desc = file->Image;
    const int minCodeSize = static_cast<uchar>(m_data.at(m_input.pos - 1));
    if (minCodeSize < 1 || minCodeSize > kMaxCodeSize)
        throw platform::Exception(QStringLiteral("Invalid LZW code size"));

    // Gather the image's data blocks; on a cut a block's partial bytes are kept as well.
    QByteArray stream;
    bool truncated = false;
    GifByteType *block = nullptr;
    qsizetype before = m_input.pos;
    int status = DGifGetCodeNext(file, &block);
    while (true) {
        if (status == GIF_ERROR) {
            truncated = true;
            if (m_input.pos > before + 1)
                stream.append(m_data.constData() + before + 1, m_input.pos - before - 1);
            break;
        }
        if (!block)
            break;
        stream.append(reinterpret_cast<const char *>(block + 1), block[0]);
        before = m_input.pos;
        status = DGifGetCodeNext(file, &block);
    }

    const qint64 area = qint64(desc.Width) * desc.Height;
    if (m_result.imageCount > kMaxImages) {
        stop(GifDefect::DecodeBudgetExhausted);
        return;
    }
    const qint64 limit = std::min(area, kMaxDecodedPixels - m_decodedPixels);
    const LzwResult decoded = drawImage(desc, stream, minCodeSize, limit);
    m_decodedPixels += decoded.pixels;
    m_pendingControl.reset();
    if (m_result.defect != GifDefect::None)
        return;

    if (decoded.outcome == LzwOutcome::Circular)
        throw platform::Exception(QStringLiteral("Circular decoder table entry"));
    if (truncated) {
        stop(GifDefect::PrematureEnd);
        return;
    }
    if (decoded.outcome == LzwOutcome::Underrun) {
        stop(GifDefect::BitBufferUnderrun);
        return;
    }
    if (limit < area) {
        stop(GifDefect::DecodeBudgetExhausted);
        return;
    }
    if (desc.Left + desc.Width > m_screenWidth || desc.Top + desc.Height > m_screenHeight) {
        stop(GifDefect::ExceedsLogicalScreen);
        return;
    }
}

void Decoder::disposePrevious()
{
    const QRect &rect = m_lastRect;
    if (m_lastDisposal == Disposal::RestoreBackground) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(m_result.image.scanLine(y));
            std::fill(line + rect.left(), line + rect.right() + 1, QRgb(0));
        }
    } else if (m_lastDisposal == Disposal::RestorePrevious && m_savedArea.size() == rect.size()) {
        for (int y = 0; y < rect.height(); ++y) {
            std::memcpy(m_result.image.scanLine(rect.top() + y) + rect.left() * sizeof(QRgb),
                        m_savedArea.constScanLine(y), static_cast<size_t>(rect.width()) * sizeof(QRgb));
        }
    }
    m_savedArea = QImage();
}

bool Decoder::spend(qint64 pixels)
{
    if (pixels > kMaxDecodedPixels - m_decodedPixels) {
        stop(GifDefect::DecodeBudgetExhausted);
        return false;
    }
    m_decodedPixels += pixels;
    return true;
}

// Draws the image onto the picture while the first frame is being composed; later images are
// only decoded, to find the defects in them.
LzwResult Decoder::drawImage(const GifImageDesc &desc, const QByteArray &stream, int minCodeSize,
                             qint64 limit)
{
    const GraphicControl control = m_pendingControl.value_or(GraphicControl{});
    const bool draw = m_composing && !m_result.image.isNull();
    if (!draw)
        return decodeLzw(stream, minCodeSize, limit, [](quint8) {});

    // Clearing and restoring cost as much as drawing; a file of many small images over a large
    // screen must not make us copy the screen again and again without bound.
    const QRect rect = QRect(desc.Left, desc.Top, desc.Width, desc.Height).intersected(m_result.image.rect());
    const qint64 disposalCost =
        m_lastDisposal == Disposal::Keep ? 0 : qint64(m_lastRect.width()) * m_lastRect.height();
    const qint64 saveCost =
        control.disposal == Disposal::RestorePrevious ? qint64(rect.width()) * rect.height() : 0;
    if (!spend(disposalCost + saveCost))
        return {};
    disposePrevious();
    if (control.disposal == Disposal::RestorePrevious)
        m_savedArea = m_result.image.copy(rect);
    m_lastDisposal = control.disposal;
    m_lastRect = rect;

    // Indexes beyond the colour table, and every index of a file without one, draw black.
    std::array<QRgb, 256> palette;
    palette.fill(qRgb(0, 0, 0));
    if (const ColorMapObject *map = desc.ColorMap ? desc.ColorMap : m_globalColours) {
        const int count = std::clamp(map->ColorCount, 0, 256);
        for (int i = 0; i < count; ++i)
            palette[static_cast<size_t>(i)] =
                qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }
    const std::vector<int> rowOrder = desc.Interlace ? interlacedRowOrder(desc.Height) : std::vector<int>{};

    uchar *bits = m_result.image.bits();
    const qsizetype stride = m_result.image.bytesPerLine();
    const int width = desc.Width;
    int column = 0;
    int decodedRow = 0;
    int row = 0; // the first pass of an interlaced image starts at row 0 as well
    QRgb *line = nullptr;
    auto locateRow = [&] {
        const int y = desc.Top + row;
        line = (y >= 0 && y < m_screenHeight) ? reinterpret_cast<QRgb *>(bits + y * stride) : nullptr;
    };
    locateRow();
    const int transparent = control.transparentIndex;
    const LzwResult result = decodeLzw(stream, minCodeSize, limit, [&](quint8 index) {
        const int x = desc.Left + column;
        if (line && x < m_screenWidth && index != transparent)
            line[x] = palette[index];
        if (++column == width) {
            column = 0;
            ++decodedRow;
            if (decodedRow < desc.Height) {
                row = desc.Interlace ? rowOrder[static_cast<size_t>(decodedRow)] : decodedRow;
                locateRow();
            }
        }
    });
    ++m_result.composedImages;
    if (control.delay > 0)
        m_composing = false;
    return result;
}

} // namespace

GifDecoding decodeGifDetailed(const QByteArray &data)
{
    return Decoder(data).run();
}

QImage decodeGif(const QByteArray &data)
{
    return decodeGifDetailed(data).image;
}

} // namespace gif
