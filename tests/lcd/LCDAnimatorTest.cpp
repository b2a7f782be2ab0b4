#include "lcd/LCDAnimator.h"
#include "lcd/LCDScreen.h"
#include "platform/core/Error.h"
#include "support/FakeDialogs.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>

#include <climits>

namespace {

// A screen with an attached script, the panel 10 characters wide and 3 lines high.
struct Scripted
{
    TLCDScreen screen;
    TLCDAnimator animator;

    explicit Scripted(const QList<QByteArray> &code, const QList<QByteArray> &lines = {"A", "B", "C"})
    {
        screen.setNoOfLines(3);
        screen.setLines(lines);
        animator.setCode(code);
        screen.setLCDAnimator(&animator);
    }

    // The first character of each display line.
    QByteArray firstColumn() const
    {
        QByteArray column;
        for (const QByteArray &line : screen.displayLines())
            column += line.isEmpty() ? '-' : line.at(0);
        return column;
    }
};

QString parseError(const QByteArray &line)
{
    try {
        parseScriptLine(line);
    } catch (const platform::Exception &error) {
        return error.message();
    }
    return {};
}

TEST(LCDScriptParser, CommandsNamesAndArguments)
{
    struct Case
    {
        QByteArray line;
        std::vector<std::pair<QByteArray, qint32>> commands;
    };
    const Case cases[] = {
        {"[VertScroll(-1); ]", {{"vertscroll", -1}}},
        {"[horzscroll(-1);vertscroll(1);]", {{"horzscroll", -1}, {"vertscroll", 1}}},
        {"[  Foo( +7)  ;bar(2)]", {{"foo", 7}}}, // text after the last ";" is ignored
        {"[gotoline(-2147483648);]", {{"gotoline", -2147483647 - 1}}},
        {"[" + QByteArray(30, 'n') + "x(1);]", {}}, // set below: the name is cut to 25
        {"", {}},
        {"[]", {}},
    };
    for (const Case &c : cases) {
        if (c.line.contains("nnnn")) {
            // A cut name no longer ends at "(": its argument starts inside the name.
            EXPECT_EQ(parseError(c.line), QStringLiteral("'nnnnx(1' ist kein gültiger Integerwert"));
            continue;
        }
        const std::vector<ScriptCommand> commands = parseScriptLine(c.line);
        ASSERT_EQ(commands.size(), c.commands.size()) << c.line.constData();
        for (size_t i = 0; i < commands.size(); ++i) {
            EXPECT_EQ(commands[i].Name, c.commands[i].first);
            EXPECT_EQ(commands[i].Argument, c.commands[i].second);
        }
    }
}

TEST(LCDScriptParser, ArgumentsThatAreNotIntegersRejectTheLine)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"[VertScroll (1);]", QStringLiteral("(1")},
        {"[resetdisplay();]", QString()},
        {"[resetdisplay;]", QString()},
        {"[x(1a);]", QStringLiteral("1a")},
        {"[x(2147483648);]", QStringLiteral("2147483648")},
        {"[x(1 );]", QStringLiteral("1 ")},
        {"[ok(1);bad(-);]", QStringLiteral("-")},
        {"x(1);", QString()}, // the ";" was the line's last character and went with it
    };
    for (const auto &[line, argument] : cases)
        EXPECT_EQ(parseError(line), QStringLiteral("'%1' ist kein gültiger Integerwert").arg(argument))
            << line.constData();
}

TEST(LCDScript, VerticalAndHorizontalScrolling)
{
    Scripted one({"[VertScroll(-1); ]"});
    one.screen.ExecuteLine();
    EXPECT_EQ(one.firstColumn(), "BCA");
    one.screen.ExecuteLine();
    one.screen.ExecuteLine();
    EXPECT_EQ(one.firstColumn(), "ABC");

    Scripted order({"[horzscroll(-1);vertscroll(1);]"}, {"ABCDEFGHIJ", "", "abcdefghij"});
    order.screen.ExecuteLine();
    EXPECT_EQ(order.screen.displayLines(), (QList<QByteArray>{"bcdefghija", "BCDEFGHIJA", ""}));

    const std::tuple<QByteArray, int, QByteArray> rotations[] = {
        {"ABCDEFGH", -2, "CDEFGHAB"},
        {"ABCDEFGH", 2, "GHABCDEF"},
        {"A\x0a"
         "BCDEFGH",
         -2,
         "CDEFGHA\x0a"
         "B"},              // the code travels along and adds one
        {"ABC", -3, "ABC"}, // a shift as long as the line leaves it
    };
    for (const auto &[line, shift, expected] : rotations) {
        Scripted s({"[horzscroll(" + QByteArray::number(shift) + ");]"}, {line});
        s.screen.setNoOfChars(static_cast<quint8>(line.size() - ControlCount(line)));
        s.screen.ReloadLines();
        s.screen.ExecuteLine();
        EXPECT_EQ(s.screen.displayLines().first(), expected) << shift;
    }
}

TEST(LCDScript, ArgumentsUseTheirLowEightBits)
{
    Scripted s({"[setintensity(200);animationdelay(40);]"});
    s.screen.ExecuteLine();
    EXPECT_EQ(s.screen.intensity(), -56);
    EXPECT_EQ(s.screen.animationDelay(), 40u);
}

TEST(LCDScript, TheDelaySetsTheTimerAndZeroTicksAtMostEveryMillisecond)
{
    // (argument of animationdelay, the timer's interval)
    const std::pair<QByteArray, int> cases[] = {
        {"1125", 1125}, {"1", 1}, {"0", 1}, {"-1", INT_MAX}, {"2147483647", INT_MAX}};
    for (const auto &[delay, interval] : cases) {
        Scripted s({"[animationdelay(" + delay + ");]"});
        s.screen.ExecuteLine();
        const auto *timer = s.screen.findChild<QTimer *>();
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), interval) << delay.constData();
    }
}

TEST(LCDScript, AFaultyLineRunsNothingAndIsShownOnce)
{
    FakeDialogs dialogs;
    Scripted s({"[vertscroll(-1);]", "[vertscroll(-1);resetdisplay();]"});
    QSignalSpy executed(&s.animator, &TLCDAnimator::OnLineExecuted);
    s.animator.setCurrentLine(1);
    // While the box is open its event loop goes on, and so does the timer.
    dialogs.setWhileOpen([&](const FakeDialogs::Box &) { s.screen.tick(); });
    s.screen.tick();
    ASSERT_EQ(dialogs.boxes().size(), 1);
    EXPECT_EQ(dialogs.boxes().first().text, QStringLiteral("'' ist kein gültiger Integerwert"));
    EXPECT_EQ(s.animator.currentLine(), 1);
    EXPECT_EQ(s.firstColumn(), "ABC");
    EXPECT_EQ(executed.count(), 0);

    Scripted unknown({"[foo(3);]", "[bar(1);]"});
    unknown.screen.ExecuteLine();
    EXPECT_EQ(unknown.animator.currentLine(), 1);
}

TEST(LCDScript, EndOfScriptWithAndWithoutRepetition)
{
    for (const bool repeating : {false, true}) {
        Scripted s({"[a(0);]", "[b(0);]", "[c(0);]"});
        QSignalSpy ends(&s.animator, &TLCDAnimator::OnEndCode);
        QSignalSpy executed(&s.animator, &TLCDAnimator::OnLineExecuted);
        s.screen.setAnimationRepeating(repeating);
        s.screen.setAnimationEnabled(true);
        for (int i = 0; i < 6 && s.screen.animationEnabled(); ++i)
            s.screen.ExecuteLine();
        EXPECT_EQ(ends.count(), repeating ? 2 : 1);
        EXPECT_EQ(executed.count(), repeating ? 6 : 3);
        EXPECT_EQ(executed.at(2).at(1).value<quint16>(), 2);
        EXPECT_EQ(s.screen.animationEnabled(), repeating);
        EXPECT_EQ(s.animator.currentLine(), 0);
    }

    // An empty script never ends: a tick only turns the blink phase.
    Scripted empty({});
    QSignalSpy ends(&empty.animator, &TLCDAnimator::OnEndCode);
    empty.screen.ExecuteLine();
    empty.screen.ExecuteLine();
    EXPECT_EQ(ends.count(), 0);
    EXPECT_FALSE(empty.screen.blinkPhase());
    EXPECT_EQ(empty.animator.currentLine(), 0);
}

TEST(LCDScript, GotolineDecidesTheNextLine)
{
    // (target, line the next tick runs, whether the jump ended the script)
    const std::tuple<int, int, bool> cases[] = {
        {0, 1, false}, {2, 0, true}, {3, 2, false}, {9, 2, false}, {-1, 0, false}, {-5, 0, false},
    };
    for (const auto &[target, next, ended] : cases) {
        Scripted s(
            {"[gotoline(" + QByteArray::number(target) + ");]", "[vertscroll(0);]", "[vertscroll(0);]"});
        QSignalSpy ends(&s.animator, &TLCDAnimator::OnEndCode);
        s.screen.setAnimationRepeating(true);
        s.screen.ExecuteLine();
        EXPECT_EQ(s.animator.currentLine(), next) << target;
        EXPECT_EQ(ends.count(), ended ? 1 : 0) << target;
    }

    // A line number set past the script's end runs the last line.
    Scripted s({"[a(0);]", "[b(0);]"});
    s.animator.setCurrentLine(-3);
    QSignalSpy executed(&s.animator, &TLCDAnimator::OnLineExecuted);
    s.screen.ExecuteLine();
    EXPECT_EQ(executed.at(0).at(1).value<quint16>(), 0);
    s.animator.setCurrentLine(7);
    EXPECT_EQ(s.animator.currentLine(), 1);
}

TEST(LCDScript, WipesCloseAndReopenThePanel)
{
    Scripted s({"[infopaneloff(0);]", "[infopanelon(0);]", "[vertscroll(-1);]"},
               {"Erste Zeile!", "", "Dritte"});
    s.screen.setAnimationRepeating(true);
    s.screen.ExecuteLine();
    EXPECT_EQ(s.screen.timerHandler(), TLCDScreen::TimerHandler::WipeOutStep);
    EXPECT_EQ(s.animator.currentLine(), 1);
    int steps = 1;
    while (s.screen.timerHandler() != TLCDScreen::TimerHandler::ExecuteLine && steps < 100) {
        s.screen.tick();
        ++steps;
    }
    EXPECT_EQ(steps, 11);
    for (const QByteArray &line : s.screen.displayLines())
        EXPECT_EQ(line.left(10), QByteArray(10, '\xff'));

    s.screen.tick();
    steps = 1;
    while (s.screen.timerHandler() != TLCDScreen::TimerHandler::ExecuteLine && steps < 100) {
        s.screen.tick();
        ++steps;
    }
    EXPECT_EQ(steps, 11);
    EXPECT_EQ(s.screen.displayLines().at(0).left(10), "Erste Zeil");
    EXPECT_EQ(s.screen.displayLines().at(1).left(10), QByteArray(10, ' '));
    EXPECT_EQ(s.screen.displayLines().at(2).left(10), "Dritte    ");
    EXPECT_EQ(s.animator.currentLine(), 2);
}

TEST(LCDScript, AScriptThatJumpsToItselfLeavesTheWindowResponsive)
{
    Scripted s({"[animationdelay(0);gotoline(-1);horzscroll(1);]"});
    s.screen.setAnimationRepeating(true);
    s.screen.setAnimationEnabled(true);
    bool other = false;
    QTimer::singleShot(20, [&] { other = true; });
    EXPECT_TRUE(waitFor([&] { return other; }));
    s.screen.setAnimationEnabled(false);
}

} // namespace
