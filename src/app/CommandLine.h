#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for. The program takes no arguments of its own beyond --help and
// --version; Qt's own window-system options (-platform, -style, ...) pass through to the
// application object.
struct CommandLineOutcome
{
    bool run = true;  // start the chat window
    int exitCode = 0; // when not running
    QString output;   // for standard output
    QString error;    // for standard error
};

// Reads `arguments` (the program's name first). Runs without an application object, so --help
// and --version answer without a display. Unknown options and stray arguments end with exit code 2.
CommandLineOutcome parseCommandLine(const QStringList &arguments);

// The program's version, from the build.
QString programVersion();
