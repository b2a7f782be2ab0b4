#pragma once

#include "discovery/Peer.h"

#include <QList>
#include <QObject>

namespace discovery {

// Announces this copy on the local network and reports the other copies as they come and go.
// Nothing here ever waits: every answer arrives later as a signal on the caller's thread, so
// the windows stay responsive when the network or the service behind it is slow or gone.
class PeerDiscovery : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PeerDiscovery)

public:
    explicit PeerDiscovery(QObject *parent = nullptr);
    ~PeerDiscovery() override;

    // Starts announcing, as "<chat name> auf <computer name>"; again with new names replaces the
    // announcement.
    virtual void announce(const QString &chatName, const QString &computerName) = 0;
    // Follows a change of the chat name; nothing while not announcing.
    virtual void rename(const QString &chatName) = 0;
    // Takes the announcement back; the other copies are still reported.
    virtual void withdraw() = 0;

    // The other copies found so far, in the order they appeared.
    virtual QList<Peer> peers() const = 0;
    // Whether the search runs. False until it is known to run.
    virtual bool isAvailable() const = 0;
    // The name this copy announces itself under ("<chat name> auf <computer name>", after a
    // clash the alternative), whether or not the network has confirmed it yet; empty while
    // not announcing. Another copy claiming it is an impostor or a stale record.
    virtual QString ownName() const { return {}; }

Q_SIGNALS:
    void peerAppeared(const discovery::Peer &peer);
    void peerVanished(const discovery::Peer &peer);
    // Sent once when it is known whether the search runs, then on every change.
    void availableChanged(bool available);
};

} // namespace discovery
