#include "discovery/PeerName.h"

#include <gtest/gtest.h>

using discovery::visibleName;

TEST(PeerName, VisibleNameShowsEveryCharacterAsReadAndNothingElse)
{
    const struct
    {
        const char *what;
        QString announced;
        QString shown;
    } cases[] = {
        {"empty", QString(), QString()},
        {"ordinary", QStringLiteral("Anna auf rechner"), QStringLiteral("Anna auf rechner")},
        {"umlauts and sharp s", QStringLiteral("Jürgen auf Bürorechner-Straße"),
         QStringLiteral("Jürgen auf Bürorechner-Straße")},
        {"markup and ampersand", QStringLiteral("<b>Cora</b> & Co"), QStringLiteral("<b>Cora</b> & Co")},
        {"emoji outside the basic plane", QString::fromUtf8("Eva \xF0\x9F\x98\x80"),
         QString::fromUtf8("Eva \xF0\x9F\x98\x80")},
        {"right-to-left override", QStringLiteral("Anna\u202Efdp.exe"), QStringLiteral("Annafdp.exe")},
        {"isolates and marks", QStringLiteral("\u2067A\u2069n\u200En\u200Fa\u061C"), QStringLiteral("Anna")},
        {"zero-width and soft hyphen", QStringLiteral("An\u200Bn\u200D\u2060a\u00AD\uFEFF"), QStringLiteral("Anna")},
        {"format character outside the basic plane", QString::fromUtf8("Anna\xF3\xA0\x80\x81"),
         QStringLiteral("Anna")},
        {"tab", QStringLiteral("Anna\tStrg+Q"), QStringLiteral("Anna\u2409Strg+Q")},
        {"newlines", QStringLiteral("Anna\r\nBert"), QStringLiteral("Anna\u240D\u240ABert")},
        {"NUL and DEL", QStringLiteral("A") + QChar(0) + QStringLiteral("B\x7F"), QStringLiteral("A\u2400B\u2421")},
        {"C1 control", QStringLiteral("Anna\u0085Bert\u009B"), QStringLiteral("Anna\uFFFDBert\uFFFD")},
        {"line and paragraph separators", QStringLiteral("Anna\u2028Bert\u2029"),
         QStringLiteral("Anna\uFFFDBert\uFFFD")},
        {"unpaired surrogates", QStringLiteral("A") + QChar(0xD800) + QStringLiteral("B") + QChar(0xDC00),
         QStringLiteral("A\uFFFDB\uFFFD")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(visibleName(c.announced), c.shown) << c.what;
}
