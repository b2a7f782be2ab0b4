// One copy of the program with its windows, for the check with two hosts: the chat window and
// the options window made and joined to the search the way the program does it, on the system
// bus's Avahi. Prints one line per event, each with the milliseconds since the search started
// (the windows stand by then), fields separated by tabs:
//   found <ms> <menu entry>                 the receiver list's menu offers <entry>
//   added <ms> <receivers, comma separated> after choosing it there
//   sent <ms> <status line>                 after a line to the receivers
//   received <ms> <sender> <line>           a line arrived
// "find" looks for <entry> in the menu of the shown options window, chooses it and sends a line;
// "wait" only receives. Boxes are not shown: a question is answered "Nein". Runs until it is
// stopped, at most a minute.
//   window_probe find <entry> | wait
#include "app/MessagerQ.h"
#include "app/PeerAnnouncement.h"
#include "chat/ChatSession.h"
#include "discovery/PeerDiscovery.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "settings/OptionsQ.h"

#include <QAction>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

class NoBoxes final : public platform::Dialogs
{
public:
    void warning(const QString &) override {}
    void information(const QString &) override {}
    bool confirmation(const QString &) override { return false; }
    void sorry(const QString &) override {}
    void error(const QString &) override {}
    std::optional<QColor> chooseColor(const QColor &) override { return std::nullopt; }
};

// The entry of the receiver list's menu named `entry`, asked for with Shift+F10; null while the
// menu does not offer it. The menu is closed again unless the entry is there.
QAction *menuEntry(QListView *list, const QString &entry, QMenu **menu)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(list, &press);
    *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!*menu)
        return nullptr;
    for (QAction *action : (*menu)->actions()) {
        if (action->isEnabled() && action->text() == entry)
            return action;
    }
    (*menu)->close();
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    platform::Application app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Fernwald Softwerkbau"));
    QApplication::setApplicationName(QStringLiteral("Plauderdeck"));
    const QStringList args = app.arguments();
    const bool find = args.size() == 3 && args.at(1) == QLatin1String("find");
    if (!find && !(args.size() == 2 && args.at(1) == QLatin1String("wait"))) {
        std::fprintf(stderr, "usage: window_probe find <entry> | wait\n");
        return 2;
    }
    QElapsedTimer clock;
    QTextStream out(stdout);
    const auto print = [&](QStringList fields) {
        fields.insert(1, QString::number(clock.elapsed()));
        out << fields.join(QLatin1Char('\t')) << Qt::endl;
    };

    NoBoxes boxes;
    platform::setDialogs(&boxes);
    TOptionForm options;
    TForm1 form;
    form.setOptionForm(&options);
    QObject::connect(
        &form.session(), &chat::ChatSession::lineArrived, &app,
        [&](const QByteArray &from, const QByteArray &line) {
            print({QStringLiteral("received"), QString::fromLatin1(from), QString::fromLatin1(line)});
        });
    form.show();
    clock.start();
    const std::unique_ptr<discovery::PeerDiscovery> search = searchTheNetwork(form, options);

    QTimer look;
    if (find) {
        options.show();
        auto *list = options.findChild<QListView *>(QStringLiteral("ReceiverList"));
        const QString entry = args.at(2);
        QObject::connect(&look, &QTimer::timeout, &app, [&, list, entry] {
            QMenu *menu = nullptr;
            QAction *action = menuEntry(list, entry, &menu);
            if (!action)
                return;
            look.stop();
            print({QStringLiteral("found"), entry});
            action->trigger();
            menu->close();
            QStringList names;
            for (const settings::ReceiverEntry &receiver : options.receivers())
                names << receiver.name;
            print({QStringLiteral("added"), names.join(QLatin1Char(','))});
            form.session().SendToAll(QStringLiteral("Hallo aus dem Netz"), false, {});
            print({QStringLiteral("sent"), form.statusText()});
        });
        look.start(100);
    }
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    return app.exec();
}
