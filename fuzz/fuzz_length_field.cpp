// The four-character length field of a chat line: any bytes either give a number the field can
// hold or no number, and every length the sender writes reads back as itself.
#include "net/MsgTransport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const QByteArrayView field(reinterpret_cast<const char *>(data), 4);
    const std::optional<int> value = MsgWire::lengthFieldValue(field);
    // Four characters hold at most "9999" or "-999" (hexadecimal forms stay smaller).
    if (value && (*value < -999 || *value > 9999))
        __builtin_trap();
    if (size >= 6) {
        const int length = ((data[4] << 8) | data[5]) % (MsgWire::kMaxField + 1);
        const QByteArray written = MsgWire::field(QByteArray(length, 'x'));
        if (written.size() != length + 4 || MsgWire::lengthFieldValue(written.left(4)) != length)
            __builtin_trap();
    }
    return 0;
}
