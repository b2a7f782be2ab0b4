#include "discovery/NullPeerDiscovery.h"

namespace discovery {

NullPeerDiscovery::NullPeerDiscovery(QObject *parent) : PeerDiscovery(parent)
{
    // Queued, so that whoever made this object has connected to it by then.
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT availableChanged(false); }, Qt::QueuedConnection);
}

NullPeerDiscovery::~NullPeerDiscovery() = default;

void NullPeerDiscovery::announce(const QString &, const QString &)
{
}

void NullPeerDiscovery::rename(const QString &)
{
}

void NullPeerDiscovery::withdraw()
{
}

QList<Peer> NullPeerDiscovery::peers() const
{
    return {};
}

bool NullPeerDiscovery::isAvailable() const
{
    return false;
}

} // namespace discovery
