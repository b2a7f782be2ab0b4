#pragma once

// A foreign sender for the benchmarks: plain blocking sockets on 127.0.0.1, none of the
// program's own transport code.

#include "net/MsgTransport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace bench {

inline bool readExactly(int fd, char *buffer, int count)
{
    int done = 0;
    while (done < count) {
        const ssize_t n = ::recv(fd, buffer + done, count - done, 0);
        if (n <= 0)
            return false;
        done += static_cast<int>(n);
    }
    return true;
}

inline bool sendAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// One chat line: two writes, the 16-byte reply, the sender closes.
inline bool deliver(std::uint16_t port, const QByteArray &from, const QByteArray &line)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
    ok = ok && sendAll(fd, MsgWire::field(from)) && sendAll(fd, MsgWire::field(line));
    char reply[16];
    ok = ok && readExactly(fd, reply, 16);
    ::close(fd);
    return ok;
}

} // namespace bench
