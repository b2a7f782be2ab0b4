#pragma once

#include <QString>

namespace discovery {

// The system bus's address: DBUS_SYSTEM_BUS_ADDRESS, or where the bus is by convention.
QString systemBusAddress();

// Whether a message bus answers at `address` within `limitMs`: connects and begins the
// handshake, as any client does, and waits at most that long for the bus's first answer.
// Blocks the calling thread. Addresses other than local sockets cannot be asked and count as
// answering. Qt makes every bus connection of the program on its one D-Bus thread and waits
// there for the handshake: a bus that accepts and never answers would stall every D-Bus user
// of the program (the accessibility bridge among them), so the search asks first.
bool busAnswers(const QString &address, int limitMs);

} // namespace discovery
