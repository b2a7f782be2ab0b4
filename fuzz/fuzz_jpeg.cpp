// Feeds arbitrary bytes to the JPEG loader (libjpeg behind our error handling): it may refuse them
// with the program's error, never crash or leave the process.
#include "UsePixels.h"
#include "pictures/Pictures.h"
#include "platform/core/Error.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        usePixels(platform::decodeJpeg(bytes));
    } catch (const platform::Exception &) {
    }
    return 0;
}
