#!/usr/bin/env python3
"""Announces a crowd on this host's Avahi (system bus): first PHANTOMS names of the chat's
service type that never resolve (a pointer record each, nothing behind it), then COPIES copies
"<tag> <n> auf <host>" at this host's address and the chat port. Prints the time in
milliseconds since the epoch when the copies were committed, then keeps them announced until
it is stopped.

  publish-crowd.py PHANTOMS COPIES TAG
"""
import signal
import sys
import time

import dbus

SERVICE = "_plauderdeck._tcp"
PER_GROUP = 32  # the daemon's default limit of entries in one group


def encoded(name):
    """A domain name in the wire format of a DNS record."""
    out = b""
    for label in name.split("."):
        raw = label.encode()
        out += bytes([len(raw)]) + raw
    return out + b"\0"


def main():
    phantoms, copies, tag = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    bus = dbus.SystemBus()
    server = dbus.Interface(bus.get_object("org.freedesktop.Avahi", "/"), "org.freedesktop.Avahi.Server")
    host = str(server.GetHostName())

    def group():
        path = server.EntryGroupNew()
        return dbus.Interface(bus.get_object("org.freedesktop.Avahi", path), "org.freedesktop.Avahi.EntryGroup")

    groups = []
    for first in range(0, phantoms, PER_GROUP):
        g = group()
        for n in range(first, min(first + PER_GROUP, phantoms)):
            target = encoded(f"Phantom {tag} {n}.{SERVICE}.local")
            g.AddRecord(-1, 0, dbus.UInt32(0), f"{SERVICE}.local", dbus.UInt16(1), dbus.UInt16(12),
                        dbus.UInt32(120), dbus.ByteArray(target))
        g.Commit()
        groups.append(g)
    time.sleep(2)  # the flood is out before the copies follow
    for first in range(0, copies, PER_GROUP):
        g = group()
        for n in range(first, min(first + PER_GROUP, copies)):
            txt = dbus.Array([dbus.ByteArray(f"name={tag} {n}".encode()), dbus.ByteArray(b"version=4.6.0.7")],
                             signature="ay")
            g.AddService(-1, 0, dbus.UInt32(0), f"{tag} {n} auf {host}", SERVICE, "", "", dbus.UInt16(6711), txt)
        g.Commit()
        groups.append(g)
    print(int(time.time() * 1000), flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        time.sleep(1)


if __name__ == "__main__":
    main()
