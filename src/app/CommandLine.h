#pragma once

#include <QString>
#include <QStringList>

class QProcessEnvironment;

// What the command line asks for. The program takes no arguments of its own beyond --help and
// --version; Qt's own window-system options (-platform, -style, ...) pass through to the
// application object.
struct CommandLineOutcome
{
    bool run = true;             // start the chat window
    int exitCode = 0;            // when not running
    QString output;              // for standard output
    QString error;               // for standard error
    bool platformChosen = false; // -platform names the window system to use
};

// Reads `arguments` (the program's name first). Runs without an application object, so --help
// and --version answer without a display. Unknown options and stray arguments end with exit code 2.
CommandLineOutcome parseCommandLine(const QStringList &arguments);

// The program's version, from the build.
QString programVersion();

// Whether a window system can be there to connect to: DISPLAY or WAYLAND_DISPLAY is set, or a
// platform is chosen with QT_QPA_PLATFORM or -platform. Without one the toolkit would abort with
// advice to reinstall the program.
bool windowSystemNamed(const CommandLineOutcome &command, const QProcessEnvironment &environment);

// What the program says on standard error when it has no graphical session to show its windows
// in: `reason` (the first line, after the program's name), then how to start it.
QString noGraphicalSessionText(const QString &program, const QString &reason);
// The reason when neither DISPLAY nor WAYLAND_DISPLAY is set.
QString noDisplayNamedReason();
// The reason when the window system named could not be reached.
QString displayUnreachableReason();

// The exit code when there is no graphical session.
constexpr int kNoGraphicalSession = 1;
