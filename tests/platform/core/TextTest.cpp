#include "platform/core/Text.h"

#include <gtest/gtest.h>

using platform::fromWindows1252;
using platform::toWindows1252;

TEST(Windows1252, UmlautsAreSingleBytes)
{
    const QByteArray bytes = toWindows1252(QStringLiteral("Grüße, Jörg: Ä€"));
    EXPECT_EQ(bytes, QByteArray("Gr\xfc\xdf" "e, J\xf6rg: \xc4\x80"));
    EXPECT_EQ(fromWindows1252(bytes), QStringLiteral("Grüße, Jörg: Ä€"));
}

TEST(Windows1252, UnmappableCharactersBecomeOneQuestionMarkEach)
{
    // A CJK character and an emoji outside the BMP (two UTF-16 units) each give one '?'.
    EXPECT_EQ(toWindows1252(QStringLiteral("a\u4e2db\U0001F600c")), QByteArray("a?b?c"));
}

TEST(Windows1252, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(toWindows1252(fromWindows1252(all)), all);
}
