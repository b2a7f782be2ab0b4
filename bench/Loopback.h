#pragma once

// A foreign sender and a plain receiver for the benchmarks: blocking sockets on 127.0.0.1, none
// of the program's own transport code.

#include "net/MsgTransport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

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

// The reference: a blocking accept loop that starts one thread per connection.
class PlainServer
{
public:
    PlainServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof sa;
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
        ::listen(m_fd, 64);
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&sa), &length);
        m_port = ntohs(sa.sin_port);
        m_acceptor = std::thread([this] {
            for (;;) {
                const int client = ::accept(m_fd, nullptr, nullptr);
                if (client < 0 || m_stopping)
                    break;
                ++m_active;
                std::thread([this, client] { serve(client); }).detach();
            }
        });
    }
    ~PlainServer()
    {
        m_stopping = true;
        ::shutdown(m_fd, SHUT_RDWR);
        m_acceptor.join();
        ::close(m_fd);
        while (m_active > 0)
            std::this_thread::yield();
    }
    std::uint16_t port() const { return m_port; }
    int received() const { return m_received; }

private:
    void serve(int fd)
    {
        std::vector<char> field(10000);
        bool ok = true;
        for (int i = 0; i < 2 && ok; ++i) {
            char digits[5] = {};
            ok = readExactly(fd, digits, 4);
            const int length = ok ? std::atoi(digits) : -1;
            ok = length >= 0 && (length == 0 || readExactly(fd, field.data(), length));
        }
        if (ok && sendAll(fd, MsgWire::kReply)) {
            ++m_received;
            char rest[64];
            while (::recv(fd, rest, sizeof rest, 0) > 0) {
            }
        }
        ::close(fd);
        --m_active;
    }

    int m_fd = -1;
    std::uint16_t m_port = 0;
    std::thread m_acceptor;
    std::atomic<bool> m_stopping = false;
    std::atomic<int> m_received = 0;
    std::atomic<int> m_active = 0;
};

} // namespace bench
