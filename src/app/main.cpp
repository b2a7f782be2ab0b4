#include "app/MessagerQ.h"
#include "platform/Application.h"

int main(int argc, char **argv)
{
    platform::Application app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Fernwald Softwerkbau"));
    QApplication::setApplicationName(QStringLiteral("Plauderdeck"));
    QApplication::setApplicationDisplayName(QStringLiteral("Plauderdeck"));

    // Closing the main window ends the program.
    TForm1 form;
    form.show();
    return QApplication::exec();
}
