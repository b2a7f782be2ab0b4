// Feeds arbitrary bytes to the bitmap loader (Qt's BMP reader behind our size limits): it may
// refuse them with the program's error, never crash or allocate without bound.
#include "pictures/Pictures.h"
#include "platform/Error.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    try {
        platform::decodeBitmap(bytes);
    } catch (const platform::Exception &) {
    }
    return 0;
}
