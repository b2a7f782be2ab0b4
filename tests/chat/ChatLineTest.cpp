#include "chat/ChatLine.h"

#include <gtest/gtest.h>

#include <optional>

namespace chat {
void PrintTo(const LineColor &c, std::ostream *os)
{
    *os << c.red << ',' << c.green << ',' << c.blue;
}
} // namespace chat

using chat::ChatLine;
using chat::LineColor;

namespace {

TEST(ChatLineTest, ColourGroupsAreReadAsDecimalNumbersKeepingTheirLowEightBits)
{
    struct Case
    {
        QByteArray payload;
        std::optional<LineColor> color;
    };
    const Case cases[] = {
        {"0000000000x", LineColor{0, 0, 0}},
        {"2551280071x", LineColor{255, 128, 7}},
        {"256511999", LineColor{0, 255, 231}}, // over 255: the low eight bits
        {"-01-00-99", LineColor{255, 0, 157}}, // a sign takes a digit's place
        {"+12 34005", LineColor{12, 34, 5}},   // a blank before the digits is no harm
        {"000000000", LineColor{0, 0, 0}},     // nine digits alone are a line
        {"0000000x0", std::nullopt},           // a letter in the last group
        {"12345678x0nie", std::nullopt},
        {"0x1000000", std::nullopt},      // no hexadecimal
        {"00000000", LineColor{0, 0, 0}}, // the last group short of a digit is still read
        {"000000", std::nullopt},         // the last group missing
        {"12", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.payload.constData());
        const std::optional<ChatLine> line = ChatLine::fromPayload(c.payload);
        EXPECT_EQ(line.has_value(), c.color.has_value());
        EXPECT_EQ(ChatLine::isReadable(c.payload), c.color.has_value());
        if (line && c.color) {
            EXPECT_EQ(line->color(), *c.color);
        }
    }
}

TEST(ChatLineTest, OnlyAOneAfterTheColourMakesALineItalic)
{
    const std::pair<QByteArray, bool> cases[] = {
        {"0000000001text", true},  {"0000000000text", false}, {"0000000002text", false},
        {"000000000 text", false}, {"000000000", false},
    };
    for (const auto &[payload, italic] : cases) {
        SCOPED_TRACE(payload.constData());
        ASSERT_TRUE(ChatLine::fromPayload(payload));
        EXPECT_EQ(ChatLine::fromPayload(payload)->isItalic(), italic);
    }
    EXPECT_EQ(ChatLine::fromPayload("0000000001text")->text(), QStringLiteral("text"));
    EXPECT_EQ(ChatLine::visibleText("xxxxxxxxxxnur das"), QStringLiteral("nur das"));
    EXPECT_EQ(ChatLine::visibleText("kurz"), QString());
}

TEST(ChatLineTest, APayloadIsTheColourCodeTheStyleFlagAndWindows1252Text)
{
    const ChatLine line({7, 65, 255}, true, QStringLiteral("Grüße €"));
    EXPECT_EQ(line.payload(), QByteArray("0070652551Gr\xfc\xdf"
                                         "e \x80"));
    EXPECT_EQ(ChatLine({255, 255, 255}, false, {}).payload(), QByteArray("2552552550"));
    EXPECT_EQ(ChatLine::fromPayload(line.payload()), line);
    // What Windows-1252 cannot hold goes as '?'.
    EXPECT_EQ(ChatLine({}, false, QStringLiteral("a\u4e2db")).payload(), QByteArray("0000000000a?b"));
}

TEST(ChatLineTest, EveryByteOfTheUpperControlRangeReadsAsItsWindows1252Character)
{
    // 0x81, 0x8D, 0x8F, 0x90 and 0x9D are undefined and stay the C1 control of the same number.
    const char16_t table[32] = {u'€', 0x81, u'‚', u'ƒ', u'„', u'…', u'†', u'‡', u'ˆ', u'‰', u'Š',
                                u'‹', u'Œ', 0x8D, u'Ž', 0x8F, 0x90, u'‘', u'’', u'“', u'”', u'•',
                                u'–', u'—', u'˜', u'™', u'š', u'›', u'œ', 0x9D, u'ž', u'Ÿ'};
    for (int i = 0; i < 32; ++i) {
        SCOPED_TRACE(0x80 + i);
        const QByteArray payload = QByteArray("0000000000") + static_cast<char>(0x80 + i);
        EXPECT_EQ(ChatLine::fromPayload(payload)->text(), QString(QChar(table[i])));
        EXPECT_EQ(ChatLine({}, false, QString(QChar(table[i]))).payload(), payload);
    }
}

TEST(ChatLineTest, TheSendersLinesReadAsTheRoomExpects)
{
    const LineColor c{1, 2, 3};
    struct Case
    {
        const char *name;
        ChatLine line;
        QString text;
        bool italic;
    };
    const Case cases[] = {
        {"join", ChatLine::joined(QStringLiteral("Anna"), c),
         QStringLiteral("Anna hat den Chatroom betreten."), true},
        {"leave", ChatLine::left(QStringLiteral("Anna"), c),
         QStringLiteral("Anna hat den Chatroom verlassen."), true},
        {"rename", ChatLine::renamed(QStringLiteral("Anna"), QStringLiteral("Bert"), c),
         QStringLiteral("Anna heißt ab jetzt Bert."), true},
        {"colour", ChatLine::newColor(QStringLiteral("Anna"), c),
         QStringLiteral("Das hier ist die neue Farbe von Anna"), true},
        {"speech",
         ChatLine::spoken(QStringLiteral("Anna"), QStringLiteral("sagt:"), QStringLiteral("hallo"), c),
         QStringLiteral("Anna sagt: hallo"), false},
        {"empty message", ChatLine::spoken(QStringLiteral("Anna"), QStringLiteral("ruft:"), {}, c),
         QStringLiteral("Anna ruft: "), false},
        {"action drops the message",
         ChatLine::spoken(QStringLiteral("Anna"), QStringLiteral("lacht."), QStringLiteral("hallo"), c),
         QStringLiteral("Anna lacht."), true},
        {"a name ending in a dot", ChatLine::spoken(QStringLiteral("A."), QString(), QStringLiteral("x"), c),
         QStringLiteral("A.  x"), false},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(k.line.text(), k.text);
        EXPECT_EQ(k.line.isItalic(), k.italic);
        EXPECT_EQ(k.line.color(), c);
    }
}

TEST(ChatLineTest, OnlyAnItalicLineEndingLikeAJoinAnnouncesOne)
{
    const std::pair<QByteArray, bool> cases[] = {
        {ChatLine::joined(QStringLiteral("Anna"), {}).payload(), true},
        {"0000000001 hat den Chatroom betreten.", true},
        {"0000000000Anna hat den Chatroom betreten.", false},
        {"0000000001Anna hat den Chatroom betreten!", false},
        {"0000000001Anna hat den Chatroom betreten. ", false},
        {"000000000", false},
    };
    for (const auto &[payload, joins] : cases) {
        SCOPED_TRACE(payload.constData());
        EXPECT_EQ(ChatLine::announcesJoin(payload), joins);
    }
}

} // namespace
