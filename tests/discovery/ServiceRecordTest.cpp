#include "discovery/ServiceRecord.h"

#include <gtest/gtest.h>

using namespace discovery;

namespace {

qsizetype utf8Size(const QString &text)
{
    return text.toUtf8().size();
}

} // namespace

TEST(ServiceRecord, InstanceNameFitsALabelAndCutsBetweenCharacters)
{
    const QString computer = QStringLiteral("rechner");
    const QString suffix = QStringLiteral(" auf rechner");
    const qsizetype room = 63 - utf8Size(suffix);
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // four bytes, two UTF-16 units
    struct Case
    {
        const char *what;
        QString chatName;
        QString expected;
    };
    const Case cases[] = {
        {"short", QStringLiteral("Anna"), QStringLiteral("Anna auf rechner")},
        {"exactly full", QString(room, QLatin1Char('a')), QString(room, QLatin1Char('a')) + suffix},
        {"one byte over", QString(room + 1, QLatin1Char('a')), QString(room, QLatin1Char('a')) + suffix},
        {"umlaut across the end", QString(room - 1, QLatin1Char('a')) + QStringLiteral("äb"),
         QString(room - 1, QLatin1Char('a')) + suffix},
        {"emoji across the end", QString(room - 2, QLatin1Char('a')) + emoji,
         QString(room - 2, QLatin1Char('a')) + suffix},
    };
    for (const Case &c : cases) {
        const QString name = ServiceRecord::instanceName(c.chatName, computer);
        EXPECT_EQ(name, c.expected) << c.what;
        EXPECT_LE(utf8Size(name), 63) << c.what;
    }

    // A computer name whose part fills the label, exactly or more, still comes after the chat name.
    for (const qsizetype length : {63 - utf8Size(QStringLiteral(" auf ")), qsizetype(70)}) {
        const QString name =
            ServiceRecord::instanceName(QStringLiteral("Anna"), QString(length, QLatin1Char('r')));
        EXPECT_EQ(utf8Size(name), 63) << length;
        EXPECT_TRUE(name.startsWith(QStringLiteral("Anna auf rrr"))) << length;
    }
}

TEST(ServiceRecord, TxtCarriesNameAndVersionWithinTheEntryLimit)
{
    EXPECT_EQ(ServiceRecord::txt(QStringLiteral("Jörg"), QStringLiteral("4.6.0.7")),
              (QByteArrayList{"name=J\xC3\xB6rg", "version=4.6.0.7"}));

    const QByteArrayList txt = ServiceRecord::txt(QString(300, QChar(0x00E4)), QStringLiteral("1"));
    EXPECT_LE(txt.at(0).size(), 255);
    EXPECT_GE(txt.at(0).size(), 254); // cut between two-byte characters, no more
    EXPECT_EQ(ServiceRecord::txtValue(txt, "name"), QString((txt.at(0).size() - 5) / 2, QChar(0x00E4)));
}

TEST(ServiceRecord, TxtValueLookup)
{
    const QByteArrayList txt{"Name=Anna", "name=second", "flag", "expr=a=b", "empty="};
    struct Case
    {
        QByteArray key;
        QString expected;
        bool null;
    };
    const Case cases[] = {
        {"name", QStringLiteral("Anna"), false}, // any letter case, first occurrence
        {"NAME", QStringLiteral("Anna"), false},
        {"flag", QString(), false},             // a key without a value
        {"expr", QStringLiteral("a=b"), false}, // only the first "=" separates
        {"empty", QString(), false},
        {"version", QString(), true},
        {"nam", QString(), true}, // no prefix matches
    };
    for (const Case &c : cases) {
        const QString value = ServiceRecord::txtValue(txt, c.key);
        EXPECT_EQ(value, c.expected) << c.key.constData();
        EXPECT_EQ(value.isNull(), c.null) << c.key.constData();
    }
}
