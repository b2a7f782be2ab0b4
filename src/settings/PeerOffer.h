#pragma once

#include "discovery/Peer.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractItemView;
class QLineEdit;
class QMenu;
class QPoint;
class QStringListModel;
class QWidget;
namespace chat {
class ReceiverListModel;
}
namespace discovery {
class PeerDiscovery;
}

// What the options window offers of the other copies the search found, without changing its
// layout: completions for the field a receiver is typed into, and the receiver list's context
// menu "Im Netz gefunden" with one entry per copy the list does not hold yet. Choosing an entry
// hands the copy's address to `add`, which treats it like a typed name. The menu opens with the
// mouse and from the keyboard (the menu key, Shift+F10); where the search cannot run it says so
// in its only entry.
//
// What the network announces is not trusted: names are shown as discovery::visibleName() shows
// them, a name that another entry or this copy also shows carries its host and address, and a
// host name that does not show as it is never goes into the list (its address does). Entries
// are sorted by name and suggestions by address, without repeats. However many copies there are,
// the menu stays on the screen and scrolls, entries cut in the middle where a name is wider than
// half the screen.
class PeerOffer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PeerOffer)

public:
    PeerOffer(QLineEdit *nameField, QAbstractItemView *list, chat::ReceiverListModel *receivers,
              std::function<void(const QString &)> add, QObject *parent = nullptr);
    ~PeerOffer() override;

    // Not owned; null when there is no search at all.
    void setDiscovery(discovery::PeerDiscovery *discovery);

    // The copies found that the list does not hold under any of their names, in the order
    // they appeared.
    QList<discovery::Peer> unlisted() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void popUp(const QPoint &at);
    QPoint keyboardMenuPosition() const;
    // Entries no wider than `widestText` pixels.
    void fillMenu(QMenu *menu, int widestText) const;
    void updateCompletions();

    QAbstractItemView *const m_list;
    QWidget *const m_viewport;
    chat::ReceiverListModel *const m_receivers;
    const std::function<void(const QString &)> m_add;
    QStringListModel *const m_completions;
    QPointer<discovery::PeerDiscovery> m_discovery;
    QPointer<QMenu> m_menu;
};
