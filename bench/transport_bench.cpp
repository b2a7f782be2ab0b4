// Delivers the same short chat line many times over loopback, (a) with TMsgClient to TMsgServer
// and (b) with a plain blocking client to a plain thread-per-connection server doing the same
// exchange, and prints the medians and their ratio; then 8 clients at once for both, in lines
// per second, checking that every line arrived.
//
//   build/bench/transport_bench [lines per run, default 2000]

#include "net/MsgTransport.h"

#include <QCoreApplication>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const QByteArray kFrom = QByteArrayLiteral("BENCHPC");
const QByteArray kLine = QByteArrayLiteral("0000255001BENCHPC sagt: Hallo zusammen!");
constexpr int kClients = 8;

double medianMicros(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0.0 : samples[samples.size() / 2];
}

bool readExactly(int fd, char *buffer, int count)
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

bool sendAll(int fd, const QByteArray &bytes)
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

int readLength(int fd)
{
    char digits[5] = {};
    if (!readExactly(fd, digits, 4))
        return -1;
    return std::atoi(digits);
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
        ++m_active;
        std::vector<char> field(10000);
        bool ok = true;
        for (int i = 0; i < 2 && ok; ++i) {
            const int length = readLength(fd);
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

bool plainDeliver(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
    // The same exchange as the program: two writes, a 16-byte reply, the client closes.
    ok = ok && sendAll(fd, MsgWire::field(kFrom)) && sendAll(fd, MsgWire::field(kLine));
    char reply[16];
    ok = ok && readExactly(fd, reply, 16);
    ::close(fd);
    return ok;
}

std::unique_ptr<TMsgServer> startServer(std::atomic<int> &received)
{
    auto server = std::make_unique<TMsgServer>();
    server->setListenAddress("127.0.0.1");
    server->setPort(0);
    QObject::connect(
        server.get(), &TMsgServer::OnMSG, server.get(),
        [&received](TSockSession *, const QByteArray &from, const QByteArray &msg) {
            if (from == kFrom && msg == kLine)
                ++received;
        },
        Qt::DirectConnection);
    server->Loaded();
    return server;
}

void waitForCount(const std::atomic<int> &count, int expected)
{
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(10);
    while (count < expected && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    bool allArrived = true;

    // (a) sequential, TMsgClient -> TMsgServer, both on this thread.
    std::atomic<int> receivedA = 0;
    double medianA = 0;
    {
        auto server = startServer(receivedA);
        TMsgClient client;
        client.setHost(QStringLiteral("127.0.0.1"));
        client.setPort(server->boundPort());
        client.setFromName(kFrom);
        client.setTimeOut(20000);
        std::vector<double> samples;
        for (int i = 0; i < lines; ++i) {
            const Clock::time_point start = Clock::now();
            client.SendMsg(kLine);
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        waitForCount(receivedA, lines);
        medianA = medianMicros(samples);
        allArrived &= receivedA == lines;
    }

    // (b) sequential, plain blocking client -> plain thread-per-connection server.
    double medianB = 0;
    {
        PlainServer server;
        std::vector<double> samples;
        for (int i = 0; i < lines; ++i) {
            const Clock::time_point start = Clock::now();
            allArrived &= plainDeliver(server.port());
            samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        while (server.received() < lines)
            std::this_thread::yield();
        medianB = medianMicros(samples);
    }

    std::printf("sequential, %d lines each\n", lines);
    std::printf("  (a) TMsgClient -> TMsgServer      median %8.1f us\n", medianA);
    std::printf("  (b) plain client -> plain server  median %8.1f us\n", medianB);
    std::printf("  ratio a/b                          %8.2f\n", medianB > 0 ? medianA / medianB : 0.0);

    // Concurrent: kClients clients at once, each on its own thread.
    const int perClient = std::max(1, lines / kClients);
    const int total = perClient * kClients;
    double rateA = 0;
    {
        std::atomic<int> received = 0;
        auto server = startServer(received);
        const int port = server->boundPort();
        std::atomic<int> failures = 0;
        std::vector<QThread *> threads;
        const Clock::time_point start = Clock::now();
        for (int c = 0; c < kClients; ++c) {
            threads.push_back(QThread::create([port, perClient, &failures] {
                TMsgClient client;
                client.setHost(QStringLiteral("127.0.0.1"));
                client.setPort(port);
                client.setFromName(kFrom);
                for (int i = 0; i < perClient; ++i) {
                    try {
                        client.SendMsg(kLine);
                    } catch (const ESockError &) {
                        ++failures;
                    }
                }
            }));
            threads.back()->start();
        }
        waitForCount(received, total);
        for (QThread *thread : threads) {
            while (!thread->wait(1))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            delete thread;
        }
        rateA = total / std::chrono::duration<double>(Clock::now() - start).count();
        allArrived &= received == total && failures == 0;
        std::printf("concurrent, %d clients x %d lines\n", kClients, perClient);
        std::printf("  (a) TMsgClient -> TMsgServer      %8.0f lines/s, %d of %d arrived, %d failed\n", rateA,
                    received.load(), total, failures.load());
    }
    {
        PlainServer server;
        std::atomic<int> failures = 0;
        std::vector<std::thread> threads;
        const Clock::time_point start = Clock::now();
        for (int c = 0; c < kClients; ++c) {
            threads.emplace_back([&] {
                for (int i = 0; i < perClient; ++i)
                    failures += plainDeliver(server.port()) ? 0 : 1;
            });
        }
        for (std::thread &t : threads)
            t.join();
        while (server.received() + failures < total)
            std::this_thread::yield();
        const double rateB = total / std::chrono::duration<double>(Clock::now() - start).count();
        allArrived &= server.received() == total;
        std::printf("  (b) plain client -> plain server  %8.0f lines/s, %d of %d arrived\n", rateB,
                    server.received(), total);
    }
    std::printf("%s\n", allArrived ? "every line arrived" : "LINES WERE LOST");
    return allArrived ? 0 : 1;
}
