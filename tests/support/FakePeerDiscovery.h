#pragma once

#include "discovery/PeerDiscovery.h"


// A search whose findings a test decides: copies appear and vanish when told. It announces
// nothing.
class FakePeerDiscovery final : public discovery::PeerDiscovery
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakePeerDiscovery)

public:
    explicit FakePeerDiscovery(bool available = true) : m_available(available) {}
    ~FakePeerDiscovery() override = default;

    void setAvailable(bool available)
    {
        m_available = available;
        Q_EMIT availableChanged(available);
    }
    void appear(const discovery::Peer &peer)
    {
        m_peers.append(peer);
        Q_EMIT peerAppeared(peer);
    }
    void vanish(const QString &instanceName)
    {
        for (qsizetype i = 0; i < m_peers.size(); ++i) {
            if (m_peers.at(i).instanceName == instanceName) {
                const discovery::Peer gone = m_peers.takeAt(i);
                Q_EMIT peerVanished(gone);
                return;
            }
        }
    }

    void announce(const QString &, const QString &) override {}
    void rename(const QString &) override {}
    void withdraw() override {}
    QList<discovery::Peer> peers() const override { return m_peers; }
    bool isAvailable() const override { return m_available; }
    QString ownName() const override { return m_ownName; }
    void setOwnName(const QString &name) { m_ownName = name; }

private:
    bool m_available;
    QString m_ownName;
    QList<discovery::Peer> m_peers;
};
