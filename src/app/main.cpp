#include "app/CommandLine.h"
#include "app/MessagerQ.h"
#include "platform/Application.h"
#include "settings/OptionsQ.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

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

    platform::Application app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Fernwald Softwerkbau"));
    QApplication::setApplicationName(QStringLiteral("Plauderdeck"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plauderdeck"));
    QApplication::setApplicationVersion(programVersion());
    // Ties the windows to the installed desktop entry: the panel shows its name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("de.fernwald.Plauderdeck"));

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
    return QApplication::exec();
}
