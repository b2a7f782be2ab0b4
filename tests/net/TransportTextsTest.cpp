#include "net/TransportTexts.h"
#include "platform/core/AsyncSocket.h"

#include <gtest/gtest.h>

#include <set>

using TransportTexts::Status;

TEST(TransportTexts, ErrorToTextNamesCodeAndText)
{
    const struct
    {
        int code;
        const char16_t *text;
    } cases[] = {
        {10061, u"10061:Connection refused"},
        {10035, u"10035:Operation would block"},
        {10054, u"10054:Connection reset by peer"},
        {10004, u"10004:Interrupted system call"},
        {11004, u"11004:Valid name, no data record of requested type"},
        {12345, u"Unbekannte Fehlernummer 12345"},
        {10100, u"Unbekannte Fehlernummer 10100"},
        {-1, u"Unbekannte Fehlernummer -1"},
        {platform::wsaNoCounterpart, u"Unbekannter Socket-Fehler"},
        {0, u""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TransportTexts::ErrorToText(c.code), QString::fromUtf16(c.text)) << c.code;
}

TEST(TransportTexts, ErrorTableHasFiftyUniqueCodesWithShortTexts)
{
    std::set<int> codes;
    for (const auto &row : TransportTexts::errorTable()) {
        codes.insert(row.code);
        EXPECT_LE(qstrlen(row.text), 51u) << row.code;
    }
    EXPECT_EQ(codes.size(), 50u);
}

TEST(TransportTexts, StatusLevels)
{
    EXPECT_EQ(TransportTexts::statusLevel(Status::SendBuffer), 4);
    EXPECT_EQ(TransportTexts::statusLevel(Status::Accept), 4);
    EXPECT_EQ(TransportTexts::statusLevel(Status::CloseSocket), 4);
    EXPECT_EQ(TransportTexts::statusLevel(Status::CheckError), 16);
    EXPECT_EQ(TransportTexts::statusLevel(Status::TimerFired), 8);
    EXPECT_EQ(TransportTexts::statusText(Status::Read, 16), QStringLiteral("Read( 16 )"));
    EXPECT_EQ(TransportTexts::statusText(Status::CloseSocket),
              QStringLiteral("Schließen des Socket anfordern"));
    EXPECT_EQ(TransportTexts::statusText(Status::ResolveHost), QStringLiteral("Auf Host zurückschreiben"));
}
