// Feeds arbitrary bytes to the bitmap decoder: it may refuse them with the program's error, never
// crash, allocate without bound or hand out a pixel it did not define.
#include "UsePixels.h"
#include "pictures/Pictures.h"
#include "platform/core/Error.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        const QImage image = platform::decodeBitmap(bytes);
        // An opaque picture must say so in every pixel: RGB32 with alpha 255 throughout.
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
            std::abort();
        for (int y = 0; image.format() == QImage::Format_RGB32 && y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            if (!std::all_of(line, line + image.width(), [](QRgb p) { return qAlpha(p) == 255; }))
                std::abort();
        }
        usePixels(image);
    } catch (const platform::Exception &) {
    }
    return 0;
}
