#pragma once

#include "discovery/PeerDiscovery.h"

namespace discovery {

// The search where it cannot run: announces nothing, finds nothing, and says once that it is
// not available.
class NullPeerDiscovery final : public PeerDiscovery
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NullPeerDiscovery)

public:
    explicit NullPeerDiscovery(QObject *parent = nullptr);
    ~NullPeerDiscovery() override;

    void announce(const QString &chatName, const QString &computerName) override;
    void rename(const QString &chatName) override;
    void withdraw() override;
    QList<Peer> peers() const override;
    bool isAvailable() const override;
};

} // namespace discovery
