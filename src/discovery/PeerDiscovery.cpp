#include "discovery/PeerDiscovery.h"

namespace discovery {

PeerDiscovery::PeerDiscovery(QObject *parent) : QObject(parent)
{
}

PeerDiscovery::~PeerDiscovery() = default;

} // namespace discovery
