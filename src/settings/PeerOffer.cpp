#include "settings/PeerOffer.h"

#include "chat/ReceiverListModel.h"
#include "discovery/PeerDiscovery.h"
#include "discovery/PeerName.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCollator>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProxyStyle>
#include <QScreen>
#include <QSet>
#include <QStringListModel>
#include <QStyleFactory>

#include <algorithm>

using discovery::Peer;
using discovery::PeerDiscovery;
using discovery::visibleName;

namespace {

const QString kTitle = QStringLiteral("Im Netz gefunden");
const QString kUnavailable = QStringLiteral("Suche im Netz nicht verfügbar");
const QString kNoneFound = QStringLiteral("Keine weiteren gefunden");
const QLatin1String kMulticastDomain(".local");

// A copy is in the list under any name that reaches it: the one offered, its host name (also
// without the ".local" of multicast DNS, as a sender's computer name is added when the user
// accepts it) or its address. Offering it again would send every line there twice.
bool isListed(const Peer &peer, const chat::ReceiverListModel &receivers)
{
    QStringList names{peer.addressToAdd, peer.hostName, peer.address};
    if (peer.hostName.endsWith(kMulticastDomain, Qt::CaseInsensitive))
        names.append(peer.hostName.chopped(kMulticastDomain.size()));
    return std::any_of(names.cbegin(), names.cend(),
                       [&](const QString &name) { return !name.isEmpty() && receivers.contains(name); });
}

// What choosing a copy adds. A host name holding characters that do not show would go into
// the list unseen, so such a copy is offered by its address; nothing when that does not show
// either.
QString addressToOffer(const Peer &peer)
{
    for (const QString &address : {peer.addressToAdd, peer.address}) {
        if (!address.isEmpty() && visibleName(address) == address)
            return address;
    }
    return {};
}

// German order, "Änne" beside "Anna", letter case aside, "#2" before "#10".
QCollator germanOrder()
{
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

struct Offer
{
    // The name to show, followed by host and address where the name alone could mislead.
    QString label;
    QString address;
};

// The entries of the menu, sorted. Every name is shown as visibleName() shows it. A name that
// another entry or this copy itself also shows (letter case aside) tells which computer it is:
// an impostor of this copy or of another copy then looks different from the real one.
QList<Offer> offersFor(const QList<Peer> &peers, const QString &ownName)
{
    QHash<QString, int> named;
    for (const Peer &peer : peers)
        ++named[visibleName(peer.instanceName).toCaseFolded()];
    const QString own = visibleName(ownName).toCaseFolded();

    QList<Offer> offers;
    for (const Peer &peer : peers) {
        const QString address = addressToOffer(peer);
        if (address.isEmpty())
            continue;
        const QString name = visibleName(peer.instanceName);
        const QString key = name.toCaseFolded();
        QString label = name;
        if (key.isEmpty() || key == own || named.value(key) > 1) {
            QStringList where{visibleName(peer.hostName), visibleName(peer.address)};
            where.removeAll(QString());
            const QString details = QLatin1Char('(') + where.join(QStringLiteral(", ")) + QLatin1Char(')');
            label = name.isEmpty() ? details : name + QLatin1Char(' ') + details;
        }
        offers.append({label, address});
    }
    const QCollator order = germanOrder();
    std::stable_sort(offers.begin(), offers.end(),
                     [&](const Offer &a, const Offer &b) { return order.compare(a.label, b.label) < 0; });
    return offers;
}

// Lets the one menu it is set on scroll instead of opening further columns: the network decides
// how many entries there are, and columns beyond the screen's edge are out of reach of mouse
// and keyboard. Scrolling also keeps the menu within the screen's height.
class ScrollingMenuStyle final : public QProxyStyle
{
public:
    // A copy of the application's style of its own: a proxy takes over the style it wraps.
    ScrollingMenuStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QAction *disabledEntry(QMenu *menu, const QString &text)
{
    QAction *action = menu->addAction(text);
    action->setEnabled(false);
    return action;
}

} // namespace

PeerOffer::PeerOffer(QLineEdit *nameField, QAbstractItemView *list, chat::ReceiverListModel *receivers,
                     std::function<void(const QString &)> add, QObject *parent)
    : QObject(parent), m_list(list), m_viewport(list->viewport()), m_receivers(receivers),
      m_add(std::move(add)), m_completions(new QStringListModel(this))
{
    // Parented to the field: the field keeps using it until the field is gone.
    auto *completer = new QCompleter(m_completions, nameField);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    nameField->setCompleter(completer);

    // The mouse's request reaches the viewport, the keyboard's the list itself.
    m_list->installEventFilter(this);
    m_viewport->installEventFilter(this);

    using chat::ReceiverListModel;
    connect(m_receivers, &ReceiverListModel::rowsInserted, this, &PeerOffer::updateCompletions);
    connect(m_receivers, &ReceiverListModel::rowsRemoved, this, &PeerOffer::updateCompletions);
    connect(m_receivers, &ReceiverListModel::modelReset, this, &PeerOffer::updateCompletions);
}

PeerOffer::~PeerOffer() = default;

void PeerOffer::setDiscovery(PeerDiscovery *discovery)
{
    if (m_discovery)
        disconnect(m_discovery, nullptr, this, nullptr);
    m_discovery = discovery;
    if (discovery) {
        connect(discovery, &PeerDiscovery::peerAppeared, this, &PeerOffer::updateCompletions);
        connect(discovery, &PeerDiscovery::peerVanished, this, &PeerOffer::updateCompletions);
        connect(discovery, &PeerDiscovery::availableChanged, this, &PeerOffer::updateCompletions);
        connect(discovery, &QObject::destroyed, this, &PeerOffer::updateCompletions, Qt::QueuedConnection);
    }
    updateCompletions();
}

QList<Peer> PeerOffer::unlisted() const
{
    QList<Peer> offered;
    if (!m_discovery || !m_discovery->isAvailable())
        return offered;
    const QList<Peer> found = m_discovery->peers();
    std::copy_if(found.cbegin(), found.cend(), std::back_inserter(offered),
                 [this](const Peer &peer) { return !isListed(peer, *m_receivers); });
    return offered;
}

bool PeerOffer::eventFilter(QObject *watched, QEvent *event)
{
    // Only pointers are compared before the event is known to matter: the list sends events on
    // its way out too, when it is no longer a list.
    if (event->type() == QEvent::ContextMenu && (watched == m_list || watched == m_viewport)) {
        auto *request = static_cast<QContextMenuEvent *>(event);
        popUp(request->reason() == QContextMenuEvent::Mouse ? request->globalPos() : keyboardMenuPosition());
        return true;
    }
    if (event->type() == QEvent::KeyPress && watched == m_list) {
        // Not every window system turns these keys into a context menu request of its own.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            popUp(keyboardMenuPosition());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// Below the current entry, where the eye is when the keyboard asks; at the list's top otherwise.
QPoint PeerOffer::keyboardMenuPosition() const
{
    const QRect current = m_list->visualRect(m_list->currentIndex());
    const QRect shown = current.intersected(m_viewport->rect());
    const QPoint at = shown.isEmpty() ? QPoint(0, 0) : shown.bottomLeft();
    return m_viewport->mapToGlobal(at);
}

void PeerOffer::popUp(const QPoint &at)
{
    // One menu at a time: some window systems send a key's request and the key itself.
    if (m_menu && m_menu->isVisible())
        return;
    auto *menu = new QMenu(m_list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setAccessibleName(kTitle);
    auto *style = new ScrollingMenuStyle;
    style->setParent(menu);
    menu->setStyle(style);
    // A name too wide for the screen is cut in its middle, so that its start and the address
    // telling look-alikes apart stay in view.
    const QScreen *screen = QGuiApplication::screenAt(at);
    fillMenu(menu, (screen ? screen : m_list->screen())->availableGeometry().width() / 2);
    m_menu = menu;
    menu->popup(at);
}

void PeerOffer::fillMenu(QMenu *menu, int widestText) const
{
    if (!m_discovery || !m_discovery->isAvailable()) {
        disabledEntry(menu, kUnavailable);
        return;
    }
    QAction *title = disabledEntry(menu, kTitle);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    menu->addSeparator();

    const QList<Offer> offers = offersFor(unlisted(), m_discovery->ownName());
    if (offers.isEmpty())
        disabledEntry(menu, kNoneFound);
    const QFontMetrics metrics = menu->fontMetrics();
    for (const Offer &offer : offers) {
        const QString shown = metrics.elidedText(offer.label, Qt::ElideMiddle, widestText);
        // An ampersand in a chat name is shown, not taken for a shortcut.
        QAction *entry = menu->addAction(QString(shown).replace(QLatin1Char('&'), QLatin1String("&&")));
        entry->setStatusTip(QStringLiteral("Fügt %1 zur Liste der Empfänger hinzu").arg(offer.address));
        connect(entry, &QAction::triggered, this, [this, address = offer.address] { m_add(address); });
    }
}

void PeerOffer::updateCompletions()
{
    QStringList addresses;
    QSet<QString> known;
    for (const Peer &peer : unlisted()) {
        const QString address = addressToOffer(peer);
        if (!address.isEmpty() && !known.contains(address.toCaseFolded())) {
            known.insert(address.toCaseFolded());
            addresses.append(address);
        }
    }
    const QCollator order = germanOrder();
    std::sort(addresses.begin(), addresses.end(),
              [&](const QString &a, const QString &b) { return order.compare(a, b) < 0; });
    if (addresses != m_completions->stringList())
        m_completions->setStringList(addresses);
}
