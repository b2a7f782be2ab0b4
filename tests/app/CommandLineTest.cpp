#include "app/CommandLine.h"

#include "Version.h"

#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTest, OptionsAnswerOrStartOrFailWithUsageError)
{
    struct Case
    {
        QStringList arguments;
        bool run;
        int exitCode;
        QString outputStart;
        QString errorStart;
    };
    const QString version = QStringLiteral("Plauderdeck ") + QLatin1String(kProgramVersion) + u'\n';
    const QList<Case> cases{
        {{"plauderdeck"}, true, 0, {}, {}},
        {{"/usr/bin/plauderdeck", "--version"}, false, 0, version, {}},
        {{"plauderdeck", "-v"}, false, 0, version, {}},
        {{"/usr/bin/plauderdeck", "--help"}, false, 0, "Aufruf: plauderdeck [Optionen]\n", {}},
        {{"plauderdeck", "-h"}, false, 0, "Aufruf: plauderdeck [Optionen]\n", {}},
        // The window system's options belong to the application object.
        {{"plauderdeck", "-platform", "offscreen", "-style", "fusion", "-reverse"}, true, 0, {}, {}},
        {{"plauderdeck", "--lauter"}, false, 2, {}, "plauderdeck: unbekannte Option »lauter«\n"},
        {{"plauderdeck", "-x"}, false, 2, {}, "plauderdeck: unbekannte Option »x«\n"},
        {{"plauderdeck", "Keller"}, false, 2, {}, "plauderdeck: unerwartetes Argument »Keller«\n"},
        {{"plauderdeck", "-platform"}, false, 2, {}, "plauderdeck: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CommandLineOutcome outcome = parseCommandLine(c.arguments);
        EXPECT_EQ(outcome.run, c.run);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_TRUE(outcome.output.startsWith(c.outputStart)) << outcome.output.toStdString();
        EXPECT_EQ(outcome.output.isEmpty(), c.outputStart.isEmpty());
        EXPECT_TRUE(outcome.error.startsWith(c.errorStart)) << outcome.error.toStdString();
        EXPECT_EQ(outcome.error.isEmpty(), c.errorStart.isEmpty());
    }
    // Help lists both options; the window system's stay out of it.
    const QString help = parseCommandLine({"plauderdeck", "--help"}).output;
    EXPECT_TRUE(help.contains("--version") && help.contains("--help"));
    EXPECT_FALSE(help.contains("platform"));
}

TEST(CommandLineTest, AWindowSystemIsNamedByAnyOfItsVariablesOrByPlatform)
{
    struct Case
    {
        QStringList arguments;
        QList<QPair<QString, QString>> variables;
        bool named;
    };
    const QList<Case> cases{
        {{"plauderdeck"}, {}, false},
        {{"plauderdeck"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}, false},
        {{"plauderdeck"}, {{"HOME", "/tmp"}, {"XDG_SESSION_TYPE", "tty"}}, false},
        {{"plauderdeck"}, {{"DISPLAY", ":0"}}, true},
        {{"plauderdeck"}, {{"WAYLAND_DISPLAY", "wayland-0"}}, true},
        {{"plauderdeck"}, {{"QT_QPA_PLATFORM", "offscreen"}}, true},
        {{"plauderdeck", "-platform", "offscreen"}, {}, true},
    };
    for (const Case &c : cases) {
        QProcessEnvironment environment;
        for (const auto &[name, value] : c.variables)
            environment.insert(name, value);
        SCOPED_TRACE(c.arguments.join(u' ').toStdString() + " " +
                     environment.toStringList().join(u' ').toStdString());
        EXPECT_EQ(windowSystemNamed(parseCommandLine(c.arguments), environment), c.named);
    }
}

} // namespace
