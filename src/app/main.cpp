#include "app/MessagerQ.h"
#include "platform/Application.h"
#include "settings/OptionsQ.h"

#include <memory>

int main(int argc, char **argv)
{
    platform::Application app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Fernwald Softwerkbau"));
    QApplication::setApplicationName(QStringLiteral("Plauderdeck"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plauderdeck"));

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
    form->show();
    return QApplication::exec();
}
