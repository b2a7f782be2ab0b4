#include "net/MsgTransport.h"

#include <gtest/gtest.h>

#include <optional>

TEST(MsgWire, LengthFieldValues)
{
    const struct
    {
        const char *field;
        std::optional<int> value;
    } cases[] = {
        {"0004", 4},
        {"0000", 0},
        {"9999", 9999},
        {"  12", 12},
        {" +12", 12},
        {"-001", -1},
        {"-999", -999},
        {"$00A", 10},
        {"$fff", 4095},
        {"x00A", 10},
        {"X0Ff", 255},
        {"0x0A", 10},
        {"0X1f", 31},
        {"-$0A", -10},
        {"+0x1", 1},
        {"0012", 12},
        {"12  ", std::nullopt},
        {"    ", std::nullopt},
        {"abcd", std::nullopt},
        {"00A0", std::nullopt},
        {"--12", std::nullopt},
        {"$   ", std::nullopt},
        {"0x  ", std::nullopt},
        {" - 1", std::nullopt},
        {"1,50", std::nullopt},
        {"\0\0\0\0", std::nullopt},
    };
    for (const auto &c : cases) {
        const QByteArrayView field(c.field, 4);
        EXPECT_EQ(MsgWire::lengthFieldValue(field), c.value) << c.field;
    }
}

TEST(MsgWire, FieldsCarryAFourDigitLength)
{
    EXPECT_EQ(MsgWire::field("Hans"), QByteArrayLiteral("0004Hans"));
    EXPECT_EQ(MsgWire::field(""), QByteArrayLiteral("0000"));
    EXPECT_EQ(MsgWire::field(QByteArray(9999, 'a')).left(4), QByteArrayLiteral("9999"));
    for (int n : {0, 1, 9, 10, 999, 1000, 9999})
        EXPECT_EQ(MsgWire::lengthFieldValue(MsgWire::field(QByteArray(n, 'x')).left(4)), n);
}

namespace {
MsgWire::Delivery readFrom(const QByteArray &bytes, int *consumed = nullptr)
{
    int position = 0;
    auto result = MsgWire::readDelivery([&](int count) {
        if (position + count > bytes.size())
            throw ESockError(QStringLiteral("zu kurz"));
        const QByteArray part = bytes.mid(position, count);
        position += count;
        return part;
    });
    if (consumed)
        *consumed = position;
    return result;
}
} // namespace

TEST(MsgWire, ReadDeliveryReadsByCountsOnly)
{
    int consumed = 0;
    auto d = readFrom("0004Hans0005HalloREST", &consumed);
    EXPECT_EQ(d.from, "Hans");
    EXPECT_EQ(d.message, "Hallo");
    EXPECT_EQ(consumed, 17) << "bytes after the fields are never read";

    d = readFrom("-0010005Hallo");
    EXPECT_EQ(d.from, "");
    EXPECT_EQ(d.message, "Hallo");

    d = readFrom("$005Hallo0000");
    EXPECT_EQ(d.from, "Hallo");
    EXPECT_EQ(d.message, "");

    EXPECT_THROW(readFrom("12ab"), ESockError);
    EXPECT_THROW(readFrom("0002ab 1 x"), ESockError);
}
