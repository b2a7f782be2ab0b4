#pragma once

#include <QString>

namespace discovery {

// Another running copy as the local network announces it.
struct Peer
{
    // "<chat name> auf <computer name>", unique on the network (a clash adds " #2" and so on).
    QString instanceName;
    QString chatName;
    // The host name the announcement points at, e.g. "rechner.local".
    QString hostName;
    // The IPv4 address that host name had when the announcement was resolved.
    QString address;
    quint16 port = 0;
    // What goes into the receiver list: the host name where this computer resolves it (it
    // keeps working when the address changes), otherwise the address.
    QString addressToAdd;

    bool operator==(const Peer &) const = default;
};

} // namespace discovery
