#include "app/MessagerQ.h"
#include "platform/Application.h"

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
    try {
        form = std::make_unique<TForm1>();
    } catch (...) {
        platform::showCurrentException();
        return 1;
    }
    form->show();
    return QApplication::exec();
}
