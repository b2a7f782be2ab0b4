#include "SettingsPrinters.h"
#include "discovery/Peer.h"
#include "settings/OptionsQ.h"
#include "support/FakeDialogs.h"
#include "support/FakePeerDiscovery.h"
#include "support/TempSettings.h"

#include <QAction>
#include <QApplication>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

discovery::Peer found(const QString &chatName, const QString &computer, const QString &address, bool hostResolves)
{
    const QString host = computer + QStringLiteral(".local");
    return {chatName + QStringLiteral(" auf ") + computer, chatName, host, address, 6711,
            hostResolves ? host : address};
}

const QString kTitle = QStringLiteral("[Im Netz gefunden]");

class PeerOfferTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form.setPeerDiscovery(search.get());
        list = form.findChild<QListView *>(QStringLiteral("ReceiverList"));
        field = form.findChild<QLineEdit *>(QStringLiteral("ReceiveEdit"));
        ASSERT_TRUE(list && field);
        form.show();
        search->appear(found(QStringLiteral("Anna"), QStringLiteral("anton"), QStringLiteral("192.0.2.1"), true));
        search->appear(found(QStringLiteral("Bert"), QStringLiteral("berta"), QStringLiteral("192.0.2.2"), false));
    }

    void TearDown() override
    {
        if (QMenu *open = menu())
            open->close();
    }

    static QMenu *menu() { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); }

    // Opens the list's menu from the keyboard and returns its entries, disabled ones in brackets.
    // The menu stays open unless told.
    QStringList openMenu(bool close = true)
    {
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QStringList texts;
        for (const QAction *action : menu() ? menu()->actions() : QList<QAction *>()) {
            if (!action->isSeparator())
                texts << (action->isEnabled() ? action->text() : QLatin1Char('[') + action->text() + QLatin1Char(']'));
        }
        if (close && menu())
            menu()->close();
        return texts;
    }

    QStringList completions() const
    {
        const QAbstractItemModel *model = field->completer()->model();
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString();
        return texts;
    }

    QStringList receivers() const
    {
        QStringList names;
        for (const settings::ReceiverEntry &entry : form.receivers())
            names << entry.name + (entry.checked ? QString() : QStringLiteral(" (aus)"));
        return names;
    }

    TempSettings temp;
    FakeDialogs dialogs;
    std::unique_ptr<FakePeerDiscovery> search = std::make_unique<FakePeerDiscovery>();
    TOptionForm form;
    QListView *list = nullptr;
    QLineEdit *field = nullptr;
};

TEST_F(PeerOfferTest, MenuOffersExactlyTheCopiesNotListedUnderAnyOfTheirNames)
{
    search->appear(found(QStringLiteral("Cora & Co"), QStringLiteral("cora"), QStringLiteral("192.0.2.3"), true));
    const QString anna = QStringLiteral("Anna auf anton");
    const QString bert = QStringLiteral("Bert auf berta");
    const QString cora = QStringLiteral("Cora && Co auf cora");
    const struct
    {
        QStringList listed;
        QStringList offered;
    } cases[] = {
        {{}, {anna, bert, cora}},
        {{QStringLiteral("ANTON.local")}, {bert, cora}},
        {{QStringLiteral("anton")}, {bert, cora}},
        {{QStringLiteral("192.0.2.1")}, {bert, cora}},
        {{QStringLiteral("berta")}, {anna, cora}},
        {{QStringLiteral("berta.local")}, {anna, cora}},
        {{QStringLiteral("anto"), QStringLiteral("berta.lo"), QStringLiteral("192.0.2.33")}, {anna, bert, cora}},
        {{QStringLiteral("anton"), QStringLiteral("192.0.2.2"), QStringLiteral("Cora.local")},
         {QStringLiteral("[Keine weiteren gefunden]")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.listed.join(QLatin1Char(',')).toStdString());
        QList<settings::ReceiverEntry> entries;
        for (const QString &name : c.listed)
            entries.append({name, false});
        form.setReceivers(entries);
        EXPECT_EQ(openMenu(), QStringList{kTitle} + c.offered);
    }
}

TEST_F(PeerOfferTest, MenuOpensFromTheMouseAndTheKeyboardOnceAtATime)
{
    const auto request = [](QWidget *to, QContextMenuEvent::Reason reason) {
        QContextMenuEvent event(reason, {10, 10}, to->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(to, &event);
    };
    const struct
    {
        const char *name;
        std::function<void()> ask;
        bool opens;
    } ways[] = {
        {"right click", [&] { request(list->viewport(), QContextMenuEvent::Mouse); }, true},
        {"menu key request", [&] { request(list, QContextMenuEvent::Keyboard); }, true},
        {"menu key", [&] { QTest::keyClick(list, Qt::Key_Menu); }, true},
        {"Shift+F10", [&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); }, true},
        {"F10 alone", [&] { QTest::keyClick(list, Qt::Key_F10); }, false},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.name);
        way.ask();
        QMenu *open = menu();
        ASSERT_EQ(open != nullptr, way.opens);
        if (!open)
            continue;
        EXPECT_EQ(open->actions().size(), 4); // title, separator, two copies
        way.ask();
        EXPECT_EQ(menu(), open);
        open->close();
    }
}

TEST_F(PeerOfferTest, ChoosingACopyAddsItLikeAddingATypedName)
{
    form.setReceivers({{QStringLiteral("Keller"), false}});
    field->setText(QStringLiteral("Kel"));
    openMenu(false);
    menu()->actions().at(3)->trigger();
    menu()->close();
    EXPECT_EQ(receivers(), (QStringList{QStringLiteral("Keller (aus)"), QStringLiteral("192.0.2.2")}));
    // What the user was typing is not taken.
    EXPECT_EQ(field->text(), QStringLiteral("Kel"));
    EXPECT_TRUE(dialogs.boxes().isEmpty());

    // The same checks as a typed name: listed meanwhile, it is not added twice.
    ASSERT_EQ(openMenu(false).value(1), QStringLiteral("Anna auf anton"));
    form.appendReceiver(QStringLiteral("ANTON.LOCAL"));
    menu()->actions().at(2)->trigger();
    EXPECT_EQ(receivers().size(), 3);
    ASSERT_EQ(dialogs.boxes().size(), 1);
    EXPECT_EQ(dialogs.boxes().constFirst().text, TOptionForm::duplicateMessage(QStringLiteral("anton.local")));
    EXPECT_EQ(field->text(), QStringLiteral("Kel"));
}

TEST_F(PeerOfferTest, WhereTheSearchCannotRunTheMenuSaysSoInItsOnlyEntry)
{
    const QStringList unavailable{QStringLiteral("[Suche im Netz nicht verfügbar]")};
    search->setAvailable(false);
    EXPECT_EQ(openMenu(), unavailable);
    EXPECT_TRUE(completions().isEmpty());
    search->setAvailable(true);
    EXPECT_EQ(openMenu().size(), 3);

    form.setPeerDiscovery(nullptr);
    EXPECT_EQ(openMenu(), unavailable);
    form.setPeerDiscovery(search.get());
    search.reset();
    EXPECT_EQ(openMenu(), unavailable);
}

TEST_F(PeerOfferTest, CompleterSuggestsTheCopiesNotYetListed)
{
    search->appear(found(QStringLiteral("Anna"), QStringLiteral("antje"), QStringLiteral("192.0.2.4"), true));
    EXPECT_EQ(completions(), (QStringList{QStringLiteral("192.0.2.2"), QStringLiteral("antje.local"),
                                          QStringLiteral("anton.local")}));
    QCompleter *completer = field->completer();
    completer->setCompletionPrefix(QStringLiteral("ANT"));
    EXPECT_EQ(completer->completionCount(), 2);

    // The suggestions follow the list and the network.
    form.appendReceiver(QStringLiteral("anton"));
    search->vanish(QStringLiteral("Bert auf berta"));
    EXPECT_EQ(completions(), QStringList{QStringLiteral("antje.local")});
    form.setReceivers({});
    EXPECT_EQ(completions(), (QStringList{QStringLiteral("antje.local"), QStringLiteral("anton.local")}));
}

TEST_F(PeerOfferTest, AHostNameThatDoesNotShowAsItIsIsNeverAdded)
{
    const QString hidden = QStringLiteral("anton\u202E.local");
    search->appear({QStringLiteral("Falk auf anton"), QStringLiteral("Falk"), hidden, QStringLiteral("192.0.2.9"),
                    6711, hidden});
    // The same host under other letter case and a second name is suggested once.
    search->appear({QStringLiteral("Gina auf anton"), QStringLiteral("Gina"), QStringLiteral("ANTON.local"),
                    QStringLiteral("192.0.2.1"), 6711, QStringLiteral("ANTON.local")});
    EXPECT_EQ(completions(), (QStringList{QStringLiteral("192.0.2.2"), QStringLiteral("192.0.2.9"),
                                          QStringLiteral("anton.local")}));

    const QStringList entries = openMenu(false);
    const qsizetype falk = entries.indexOf(QStringLiteral("Falk auf anton"));
    ASSERT_GT(falk, 0);
    QAction *entry = menu()->actions().at(falk + 1); // after the separator
    EXPECT_EQ(entry->statusTip(), QStringLiteral("Fügt 192.0.2.9 zur Liste der Empfänger hinzu"));
    entry->trigger();
    menu()->close();
    EXPECT_EQ(receivers(), QStringList{QStringLiteral("192.0.2.9")});
}

TEST_F(PeerOfferTest, MenuShowsCleanedNamesSortedAndTellsLookAlikesApart)
{
    const auto peer = [](const QString &instance, const QString &host, const QString &address) {
        return discovery::Peer{instance, QString(), host, address, 6711, address};
    };
    const QString anna = QStringLiteral("Anna auf anton");
    const QString bert = QStringLiteral("Bert auf berta");
    const struct
    {
        const char *what;
        QString ownName;
        QList<discovery::Peer> more;
        QStringList entries;
    } cases[] = {
        {"German order, letter case aside, numbers by value", QString(),
         {found(QStringLiteral("Zoe"), QStringLiteral("zeta"), QStringLiteral("192.0.2.5"), true),
          found(QStringLiteral("cora"), QStringLiteral("cora"), QStringLiteral("192.0.2.3"), true),
          found(QStringLiteral("Änne"), QStringLiteral("aehre"), QStringLiteral("192.0.2.4"), true),
          peer(QStringLiteral("Anna auf anton #10"), QStringLiteral("x.local"), QStringLiteral("192.0.2.10")),
          peer(QStringLiteral("Anna auf anton #2"), QStringLiteral("y.local"), QStringLiteral("192.0.2.11"))},
         {anna, QStringLiteral("Anna auf anton #2"), QStringLiteral("Anna auf anton #10"),
          QStringLiteral("Änne auf aehre"), bert, QStringLiteral("cora auf cora"), QStringLiteral("Zoe auf zeta")}},
        {"a copy claiming this copy's name", QStringLiteral("Eva auf eule"),
         {peer(QStringLiteral("EVA auf eule\u200B"), QStringLiteral("boese.local"), QStringLiteral("192.0.2.66"))},
         {anna, bert, QStringLiteral("EVA auf eule (boese.local, 192.0.2.66)")}},
        {"this copy's name is found again", anna, {},
         {QStringLiteral("Anna auf anton (anton.local, 192.0.2.1)"), bert}},
        {"two copies that look alike", QString(),
         {peer(QStringLiteral("Bert auf\u202E berta"), QStringLiteral("evil\t.local"), QStringLiteral("192.0.2.9"))},
         {anna, QStringLiteral("Bert auf berta (berta.local, 192.0.2.2)"),
          QStringLiteral("Bert auf berta (evil\u2409.local, 192.0.2.9)")}},
        {"controls in a name", QString(),
         {peer(QStringLiteral("Dora\tStrg+Q\nauf dach"), QStringLiteral("dach.local"), QStringLiteral("192.0.2.7"))},
         {anna, bert, QStringLiteral("Dora\u2409Strg+Q\u240Aauf dach")}},
        {"nothing visible in a name", QString(),
         {peer(QStringLiteral("\u200B\u202E"), QStringLiteral("leer.local"), QStringLiteral("192.0.2.8"))},
         {QStringLiteral("(leer.local, 192.0.2.8)"), anna, bert}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        search->setOwnName(c.ownName);
        for (const discovery::Peer &more : c.more)
            search->appear(more);
        EXPECT_EQ(openMenu(), QStringList{kTitle} + c.entries);
        for (const discovery::Peer &more : c.more)
            search->vanish(more.instanceName);
    }
}

TEST_F(PeerOfferTest, MenuStaysOnTheScreenAndEveryEntryCanBeReached)
{
    for (int i = 0; i < 400; ++i) {
        const QString n = QString::number(i);
        const QString address = QStringLiteral("10.0.%1.%2").arg(i / 200).arg(i % 200 + 1);
        search->appear(found(QStringLiteral("Gast ") + n, QStringLiteral("pc") + n, address, true));
    }
    const QString wide = QString(300, QLatin1Char('W'));
    search->appear(found(wide, QStringLiteral("weit"), QStringLiteral("192.0.2.99"), true));
    search->appear(found(QStringLiteral("Zoe"), QStringLiteral("zeta"), QStringLiteral("192.0.2.5"), true));

    openMenu(false);
    QMenu *open = menu();
    ASSERT_TRUE(open);
    const QRect screen = open->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(open->geometry())) << open->geometry().width() << 'x' << open->geometry().height();
    // Cut in the middle: what it starts with and which computer it is on stay in view.
    const QList<QAction *> entries = open->actions();
    const QString widest = (*std::find_if(entries.cbegin(), entries.cend(), [](const QAction *a) {
                               return a->text().startsWith(QLatin1Char('W'));
                           }))->text();
    EXPECT_LT(widest.size(), wide.size());
    EXPECT_TRUE(widest.endsWith(QStringLiteral("W auf weit"))) << widest.toStdString();

    // The last and the first entry, by key; where the menu scrolls, the entry is scrolled into view.
    const struct
    {
        Qt::Key key;
        QString entry;
    } keys[] = {{Qt::Key_End, QStringLiteral("Zoe auf zeta")}, {Qt::Key_Home, QStringLiteral("Anna auf anton")}};
    for (const auto &k : keys) {
        SCOPED_TRACE(k.entry.toStdString());
        QTest::keyClick(open, k.key);
        ASSERT_TRUE(open->activeAction());
        EXPECT_EQ(open->activeAction()->text(), k.entry);
        EXPECT_TRUE(open->rect().contains(open->actionGeometry(open->activeAction())));
    }
    open->close();

    // The suggestions scroll in a popup of a few rows.
    field->setFocus();
    field->completer()->complete();
    const QWidget *popup = field->completer()->popup();
    ASSERT_TRUE(popup->isVisible());
    EXPECT_LT(popup->height(), screen.height() / 2);
}

} // namespace
