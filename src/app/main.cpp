#include "app/CommandLine.h"
#include "app/MessagerQ.h"
#include "app/PeerAnnouncement.h"
#include "discovery/PeerDiscovery.h"
#include "platform/gui/Application.h"
#include "platform/gui/FocusRing.h"
#include "settings/OptionsQ.h"

#include <QFileInfo>
#include <QProcessEnvironment>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

QString g_program;
QtMessageHandler g_toolkitHandler = nullptr;
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> g_heldMessages;

// Active only while the application object connects to the window system. The one fatal message
// the toolkit can give there is that no window system could be reached; its text would advise
// reinstalling the program, and the abort after it would end the program with a core dump. The
// program's own explanation replaces both, and the plugin loader's note that goes before it
// (which wrongly suggests a broken installation). Other messages, such as which display could
// not be reached, go out as usual.
void guardWindowSystemStart(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fputs(noGraphicalSessionText(g_program, displayUnreachableReason()).toLocal8Bit().constData(),
                   stderr);
        std::fflush(stderr);
        std::_Exit(kNoGraphicalSession);
    }
    if (context.category && std::strcmp(context.category, "qt.qpa.plugin") == 0) {
        g_heldMessages.push_back({type, QByteArray(context.category), message});
        return;
    }
    g_toolkitHandler(type, context, message);
}

// The window system is there: the held notes go out after all.
void endWindowSystemStart()
{
    qInstallMessageHandler(g_toolkitHandler);
    for (const HeldMessage &held : g_heldMessages)
        g_toolkitHandler(held.type, QMessageLogContext(nullptr, 0, nullptr, held.category.constData()),
                         held.text);
    g_heldMessages.clear();
}

} // namespace

int main(int argc, char **argv)
{
    // Answered before the application object exists, so --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineOutcome command = parseCommandLine(arguments);
    if (!command.run) {
        std::fputs(command.output.toLocal8Bit().constData(), stdout);
        std::fputs(command.error.toLocal8Bit().constData(), stderr);
        return command.exitCode;
    }
    g_program = QFileInfo(arguments.constFirst()).fileName();
    if (!windowSystemNamed(command, QProcessEnvironment::systemEnvironment())) {
        std::fputs(noGraphicalSessionText(g_program, noDisplayNamedReason()).toLocal8Bit().constData(),
                   stderr);
        return kNoGraphicalSession;
    }

    g_toolkitHandler = qInstallMessageHandler(guardWindowSystemStart);
    platform::Application app(argc, argv);
    endWindowSystemStart();
    QApplication::setOrganizationName(QStringLiteral("Fernwald Softwerkbau"));
    QApplication::setApplicationName(QStringLiteral("Plauderdeck"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plauderdeck"));
    QApplication::setApplicationVersion(programVersion());
    // Ties the windows to the installed desktop entry: the panel shows its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("de.fernwald.Plauderdeck"));
    const platform::FocusRing focusRing;

    // The search for other copies on the network. Declared before the windows so that it goes
    // after them: they use it to the end.
    std::unique_ptr<discovery::PeerDiscovery> search;
    // Closing the main window ends the program. A window that cannot be built is reported
    // rather than left half made.
    std::unique_ptr<TForm1> form;
    // Created after the chat window and hidden until the options button opens it; it lives to
    // the end. Declared after the chat window so that it goes first.
    std::unique_ptr<TOptionForm> options;
    try {
        form = std::make_unique<TForm1>();
        options = std::make_unique<TOptionForm>();
        form->setOptionForm(options.get());
    } catch (...) {
        platform::showCurrentException();
        return 1;
    }
    // The close has a time limit: the lines still going out are given up before it, and should
    // tearing down not be done by then, the program ends anyway (the settings are saved first).
    QObject::connect(form.get(), &TForm1::closing, form.get(), [] {
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(TForm1::kCloseLimitMs));
            std::_Exit(0);
        }).detach();
    });
    form->show();
    // Shown, the window holds the chat name to announce.
    search = searchTheNetwork(*form, *options);
    return QApplication::exec();
}
