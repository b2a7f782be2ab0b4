// Feeds arbitrary bytes to the GIF codec: it may refuse them with the program's error, never crash,
// and whatever it returns has the logical screen size the header names.
#include "UsePixels.h"
#include "gif/GifCodec.h"
#include "platform/core/Error.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        const gif::GifDecoding decoding = gif::decodeGifDetailed(bytes);
        const QImage &image = decoding.image;
        if (!image.isNull() && image.format() != QImage::Format_ARGB32)
            std::abort();
        const qsizetype start = bytes.startsWith("GIF") ? 0 : 4;
        if (!image.isNull() && bytes.size() >= start + 10) {
            const int width = data[start + 6] | (data[start + 7] << 8);
            const int height = data[start + 8] | (data[start + 9] << 8);
            if (image.width() != width || image.height() != height)
                std::abort();
        }
        usePixels(image);
    } catch (const platform::Exception &) {
    }
    return 0;
}
