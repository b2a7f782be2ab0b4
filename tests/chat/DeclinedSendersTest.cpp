#include "chat/DeclinedSenders.h"

#include <gtest/gtest.h>

namespace {

TEST(DeclinedSendersTest, ADeclinedNameCoversItselfInAnyCaseAndEveryNameItEndsWith)
{
    chat::DeclinedSenders declined;
    declined.add(QStringLiteral("Hauskeller"));
    declined.add(QStringLiteral("KÜCHE"));
    struct Case
    {
        QString sender;
        bool covered;
    };
    const Case cases[] = {
        {QStringLiteral("Hauskeller"), true},
        {QStringLiteral("hauskeller"), true},
        {QStringLiteral("keller"), true}, // the end of a declined name
        {QStringLiteral("r"), true},
        {QStringLiteral("Haus"), false}, // its beginning is not
        {QStringLiteral("Hauskeller2"), false},
        {QStringLiteral("küche"), true}, // letter case beyond ASCII
        {QStringLiteral("Kuche"), false},
        {QStringLiteral("Hauskeller\\*\\ KÜCHE"), true}, // a name holding the separator spans two
        {QString(), true},                               // the empty sender: after any declined name
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.sender.toStdString());
        EXPECT_EQ(declined.covers(c.sender), c.covered);
    }
    EXPECT_EQ(declined.text(), QStringLiteral("Hauskeller\\*\\ KÜCHE\\*\\ "));

    declined.clear();
    EXPECT_FALSE(declined.covers(QStringLiteral("Hauskeller")));
    EXPECT_FALSE(declined.covers(QString()));
}

} // namespace
