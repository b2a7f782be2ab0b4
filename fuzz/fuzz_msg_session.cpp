// The server side of one delivery reading arbitrary peer bytes: it either takes two fields
// within what arrived and within the field limit, or gives up with the transport's error.
#include "net/MsgTransport.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    qsizetype position = 0;
    const auto read = [&](int count) {
        if (count < 0 || position + count > bytes.size())
            throw ESockError(QStringLiteral("zu kurz"));
        const QByteArray part = bytes.mid(position, count);
        position += count;
        return part;
    };
    try {
        const MsgWire::Delivery delivery = MsgWire::readDelivery(read);
        if (delivery.from.size() > MsgWire::kMaxField || delivery.message.size() > MsgWire::kMaxField ||
            position > bytes.size() || delivery.from.size() + delivery.message.size() + 8 > position)
            __builtin_trap();
    } catch (const ESockError &) {
    }
    return 0;
}
