#include "app/CommandLine.h"

#include "Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace {

// The usual exit code for a command line the program cannot understand.
constexpr int kUsageError = 2;

struct OwnOption
{
    QStringList names;
    QString description;
};

const QList<OwnOption> &ownOptions()
{
    static const QList<OwnOption> options{
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Zeigt diese Hilfe an.")},
        {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Zeigt die Versionsnummer an.")},
    };
    return options;
}

// The options QApplication and QGuiApplication take for themselves; with a value or without.
const QStringList kQtOptionsWithValue{
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("display"),
    QStringLiteral("geometry"),        QStringLiteral("style"),
    QStringLiteral("stylesheet"),      QStringLiteral("session"),
};
const QStringList kQtFlags{
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),
};

QString helpText(const QString &program)
{
    QString text = QStringLiteral("Aufruf: %1 [Optionen]\n"
                                  "Plauderdeck, der Chat für das lokale Netz.\n\n"
                                  "Optionen:\n")
                       .arg(program);
    for (const OwnOption &option : ownOptions()) {
        const QString names =
            QStringLiteral("-%1, --%2").arg(option.names.constFirst(), option.names.constLast());
        text += QStringLiteral("  %1  %2\n").arg(names.leftJustified(14), option.description);
    }
    return text;
}

CommandLineOutcome usageError(const QString &program, const QString &problem)
{
    CommandLineOutcome outcome;
    outcome.run = false;
    outcome.exitCode = kUsageError;
    outcome.error = QStringLiteral("%1: %2\nMehr mit »%1 --help«.\n").arg(program, problem);
    return outcome;
}

} // namespace

QString programVersion()
{
    return QString::fromLatin1(kProgramVersion);
}

CommandLineOutcome parseCommandLine(const QStringList &arguments)
{
    const QString program =
        arguments.isEmpty() ? QStringLiteral("plauderdeck") : QFileInfo(arguments.constFirst()).fileName();

    QCommandLineParser parser;
    // Qt's options are single-dash words ("-platform"), so single-dash words are long options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OwnOption &option : ownOptions())
        parser.addOption(QCommandLineOption(option.names, option.description));
    for (const QString &name : kQtOptionsWithValue) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString &name : kQtFlags) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty())
            return usageError(
                program,
                QStringLiteral("unbekannte Option »%1«").arg(parser.unknownOptionNames().constFirst()));
        return usageError(program, parser.errorText());
    }
    CommandLineOutcome outcome;
    outcome.platformChosen = parser.isSet(QStringLiteral("platform"));
    if (parser.isSet(QStringLiteral("help"))) {
        outcome.run = false;
        outcome.output = helpText(program);
    } else if (parser.isSet(QStringLiteral("version"))) {
        outcome.run = false;
        outcome.output = QStringLiteral("Plauderdeck %1\n").arg(programVersion());
    } else if (!parser.positionalArguments().isEmpty()) {
        return usageError(
            program,
            QStringLiteral("unerwartetes Argument »%1«").arg(parser.positionalArguments().constFirst()));
    }
    return outcome;
}

bool windowSystemNamed(const CommandLineOutcome &command, const QProcessEnvironment &environment)
{
    if (command.platformChosen)
        return true;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!environment.value(QLatin1String(name)).isEmpty())
            return true;
    }
    return false;
}

QString noDisplayNamedReason()
{
    return QStringLiteral(
        "keine grafische Sitzung gefunden (weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt).");
}

QString displayUnreachableReason()
{
    return QStringLiteral("die grafische Sitzung ist nicht erreichbar.");
}

QString noGraphicalSessionText(const QString &program, const QString &reason)
{
    return QStringLiteral(
               "%1: %2\n"
               "Plauderdeck zeigt Fenster und braucht dafür eine grafische Sitzung. So startet es:\n"
               "  in einer Desktop-Sitzung aus dem Menü oder aus einem Terminal der Sitzung,\n"
               "  über ssh mit X-Weiterleitung (ssh -X),\n"
               "  für Tests ohne Bildschirm unter xvfb-run: xvfb-run -a %1\n")
        .arg(program, reason);
}
