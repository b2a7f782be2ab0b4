#include "app/ChatHistory.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QTextBlock>
#include <QTextDocument>

#include <memory>

namespace {

// The longest stretch of `text` that gives the layout no place to break a line.
qsizetype longestUnbroken(const QString &text)
{
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const QChar c : text) {
        const bool breaks = (c.isSpace() && c != QChar::Nbsp) || c == ChatHistory::kBreakOpportunity;
        run = breaks ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

TEST(ChatHistory, OnlyRunsLongerThanAFewLinesGetBreakOpportunities)
{
    const QString limit(ChatHistory::kLongestPlainRun, u'x');
    const QString nbsp(QChar::Nbsp);
    struct Case
    {
        const char *name;
        QString text;
        bool broken;
    };
    const Case cases[] = {
        {"ordinary words", QStringLiteral("Anna sagt: wie geht's?"), false},
        {"a run at the limit", QStringLiteral("vorne ") + limit + QStringLiteral(" hinten"), false},
        {"runs at the limit between blanks and tabs", (limit + u'\t' + limit + u' ').repeated(3), false},
        {"a run one longer", QStringLiteral("a ") + limit + QStringLiteral("x z"), true},
        {"a run at the very end", QStringLiteral("a ") + limit.repeated(5), true},
        {"no-break spaces join a run", (QStringLiteral("ab") + nbsp).repeated(100), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString shown = ChatHistory::withBreakOpportunities(c.text);
        if (!c.broken) {
            EXPECT_EQ(shown, c.text);
            continue;
        }
        EXPECT_LE(longestUnbroken(shown), ChatHistory::kBreakEvery);
        EXPECT_EQ(QString(shown).remove(ChatHistory::kBreakOpportunity), c.text);
    }
}

// Beyond a bound the history drops its oldest lines until it holds three quarters of both bounds
// or less: dropping to just under a bound would make it drop again with nearly every line.
TEST(ChatHistory, BeyondABoundTheOldestLinesGoDownToThreeQuartersOfBoth)
{
    struct Case
    {
        const char *name;
        qsizetype characters;
        qsizetype lines;
        int length; // of each line; with its paragraph end it counts one more
        int appended;
        int kept;
    };
    const Case cases[] = {
        {"lines", 1000000, 16, 4, 17, 12},
        {"characters", 400, 1000, 19, 21, 15},
        {"characters, and the lines' bound counts too", 300, 16, 19, 16, 11},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ChatHistory history({c.characters, c.lines, ChatHistory::kFrameCharacters});
        for (int i = 0; i < c.appended; ++i) {
            const QString text = QString::number(i).leftJustified(c.length, u'.');
            history.appendLine(text, {}, {}, false);
        }
        QTextDocument *document = history.document();
        EXPECT_EQ(document->blockCount(), c.kept);
        EXPECT_EQ(document->lastBlock().text(),
                  QString::number(c.appended - 1).leftJustified(c.length, u'.'));
    }
}

// The menu the toolkit makes for the history speaks German, as the rest of the program does,
// whatever the user's locale.
TEST(ChatHistory, ContextMenuSpeaksGerman)
{
    ChatHistory history{ChatHistory::Bounds{}};
    history.setPlainText(QStringLiteral("Anna sagt: Hallo"));
    const std::unique_ptr<QMenu> menu(history.createStandardContextMenu());
    QStringList entries;
    for (const QAction *action : menu->actions())
        entries << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    EXPECT_TRUE(entries.contains(QStringLiteral("Kopieren")) && entries.contains(QStringLiteral("Alles auswählen")))
        << entries.join(QStringLiteral(", ")).toStdString();
}
