// One copy's search on its own, for the check with two hosts: announces as "<chat name> auf
// <computer name>" on the system bus's Avahi and prints what it sees, one line per event, each
// with the milliseconds since the start:
//   announced <ms> <instance name>
//   found <ms> <instance name> <chat name> <host name> <address> <port> <address to add>
//   vanished <ms> <instance name>
//   available|unavailable <ms>
// Fields are separated by tabs. Runs until it is stopped, at most three minutes.
//   discovery_probe <chat name> <computer name> <version>
#include "discovery/AvahiPeerDiscovery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using discovery::AvahiPeerDiscovery;
using discovery::Peer;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: discovery_probe <chat name> <computer name> <version>\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    QTextStream out(stdout);
    const auto print = [&](const QStringList &fields) {
        QStringList line = fields;
        line.insert(1, QString::number(clock.elapsed()));
        out << line.join(QLatin1Char('\t')) << Qt::endl;
    };

    AvahiPeerDiscovery search(args.at(3), 6711);
    QObject::connect(&search, &AvahiPeerDiscovery::availableChanged, &app, [&](bool available) {
        print({available ? QStringLiteral("available") : QStringLiteral("unavailable")});
    });
    QObject::connect(&search, &AvahiPeerDiscovery::announced, &app, [&](const QString &name) {
        print({QStringLiteral("announced"), name});
    });
    QObject::connect(&search, &AvahiPeerDiscovery::peerAppeared, &app, [&](const Peer &peer) {
        print({QStringLiteral("found"), peer.instanceName, peer.chatName, peer.hostName, peer.address,
               QString::number(peer.port), peer.addressToAdd});
    });
    QObject::connect(&search, &AvahiPeerDiscovery::peerVanished, &app, [&](const Peer &peer) {
        print({QStringLiteral("vanished"), peer.instanceName});
    });
    search.announce(args.at(1), args.at(2));
    QTimer::singleShot(180000, &app, &QCoreApplication::quit);
    return app.exec();
}
