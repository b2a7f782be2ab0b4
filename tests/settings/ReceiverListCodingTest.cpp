#include "SettingsPrinters.h"
#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

using settings::colorFromValue;
using settings::colorValue;
using settings::joinReceiverList;
using settings::parseReceiverList;
using settings::receiverCheckString;
using settings::ReceiverEntry;

namespace {

QList<ReceiverEntry> entries(std::initializer_list<ReceiverEntry> list)
{
    return QList<ReceiverEntry>(list);
}

} // namespace

TEST(ReceiverListCoding, EveryEntryEndsWithCrLfAndHasOneCheckCharacter)
{
    const auto list = entries({{"PC1", true}, {"PC2", false}, {"PC3", true}});
    const QString joined = joinReceiverList(list);
    EXPECT_EQ(joined, QStringLiteral("PC1\r\nPC2\r\nPC3\r\n"));
    EXPECT_EQ(joined.size(), 15);
    EXPECT_EQ(receiverCheckString(list), QStringLiteral("101"));

    EXPECT_EQ(joinReceiverList({}), QString());
    EXPECT_EQ(receiverCheckString({}), QString());
}

TEST(ReceiverListCoding, LineBreaksInsideANameDoNotShiftTheCheckMarks)
{
    const auto list = entries({{"evil\r\nhost", false}, {"PC2", true}});
    EXPECT_EQ(parseReceiverList(joinReceiverList(list), receiverCheckString(list)),
              entries({{"evil  host", false}, {"PC2", true}}));
}

TEST(ReceiverListCoding, RoundTripKeepsCaseOrderBlanksAndUmlauts)
{
    const auto list = entries({{"zeta", false},
                               {"Alpha", true},
                               {" Alpha", false},
                               {"", true},
                               {"JÖRGS-PC", true},
                               {"192.168.0.7", false}});
    EXPECT_EQ(parseReceiverList(joinReceiverList(list), receiverCheckString(list)), list);
}

struct ParseCase
{
    const char *what;
    QString list;
    QString checks;
    QList<ReceiverEntry> expected;
};

void PrintTo(const ParseCase &c, std::ostream *out)
{
    *out << c.what;
}

class ReceiverListParsing : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ReceiverListParsing, GivesTheStoredEntries)
{
    const ParseCase &c = GetParam();
    EXPECT_EQ(parseReceiverList(c.list, c.checks), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiverListParsing,
    ::testing::Values(
        ParseCase{"empty text", "", "1", {}},
        ParseCase{"empty line between names", "A\r\n\r\nB\r\n", "111",
                  entries({{"A", true}, {"", true}, {"B", true}})},
        ParseCase{"last line without line break", "A\r\nB", "11", entries({{"A", true}, {"B", true}})},
        ParseCase{"a lone line break is one empty entry", "\r\n", "1", entries({{"", true}})},
        ParseCase{"CR, LF and LF CR all end lines", "A\rB\nC\n\rD", "1111",
                  entries({{"A", true}, {"B", true}, {"C", true}, {"", true}, {"D", true}})},
        ParseCase{"a single 1 checks all three", "A\r\nB\r\nC\r\n", "1",
                  entries({{"A", true}, {"B", true}, {"C", true}})},
        ParseCase{"010 checks only the second", "A\r\nB\r\nC\r\n", "010",
                  entries({{"A", false}, {"B", true}, {"C", false}})},
        ParseCase{"empty check string checks none", "A\r\nB\r\n", "", entries({{"A", false}, {"B", false}})},
        ParseCase{"any character but 0 checks", "A\r\nB\r\nC\r\n", "x0 ",
                  entries({{"A", true}, {"B", false}, {"C", true}})},
        ParseCase{"surplus check characters are ignored", "A\r\n", "0111", entries({{"A", false}})}),
    [](const ::testing::TestParamInfo<ParseCase> &info) { return "Case" + std::to_string(info.index); });

TEST(OwnColorValue, RedIsTheLowByte)
{
    EXPECT_EQ(colorValue(QColor(0x11, 0x22, 0x33)), 0x332211u);
    EXPECT_EQ(colorFromValue(0x332211u), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(colorFromValue(0), QColor(Qt::black));
    EXPECT_EQ(colorFromValue(0xFFFFFFu), QColor(Qt::white));
}

TEST(OwnColorValue, SystemColourValuesAreNoOwnColour)
{
    EXPECT_FALSE(colorFromValue(0x8000000Fu).has_value());
    EXPECT_FALSE(colorFromValue(0x01000000u).has_value());
}
