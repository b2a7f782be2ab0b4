// Foreign senders deliver the same short chat line over loopback, (a) to the program's
// TMsgServer and (b) to a plain blocking thread-per-connection server doing the same exchange:
// one delivery's round trip, and 8 senders at once. The receiving server runs the way it does in
// the program, accepting on an event-loop thread of its own while the senders block. At the end
// the two ratios a/b are printed, measured in the same run.
//
//   build/bench/transport_bench [--benchmark_min_time=...]

#include "Loopback.h"
#include "MedianReporter.h"
#include "net/MsgTransport.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const QByteArray kFrom = QByteArrayLiteral("BENCHPC");
const QByteArray kLine = QByteArrayLiteral("0000255001BENCHPC sagt: Hallo zusammen!");
constexpr int kSenders = 8;
constexpr int kLinesPerSender = 50;

bool deliver(std::uint16_t port)
{
    return bench::deliver(port, kFrom, kLine);
}

class Receiver
{
public:
    virtual ~Receiver() = default;
    virtual std::uint16_t port() const = 0;
    virtual int received() const = 0;
};

class Plain final : public Receiver
{
public:
    std::uint16_t port() const override { return m_server.port(); }
    int received() const override { return m_server.received(); }

private:
    bench::PlainServer m_server;
};

// The program's server, accepting on an event-loop thread of its own, as the window's thread.
class ProgramServer final : public Receiver
{
public:
    ProgramServer()
    {
        std::atomic<bool> ready = false;
        m_thread.reset(QThread::create([this, &ready] {
            TMsgServer server;
            server.setListenAddress("127.0.0.1");
            server.setPort(0);
            QObject::connect(
                &server, &TMsgServer::OnMSG, &server,
                [this](TSockSession *, const QByteArray &from, const QByteArray &msg) {
                    if (from == kFrom && msg == kLine)
                        ++m_received;
                },
                Qt::DirectConnection);
            server.Loaded();
            m_port = static_cast<std::uint16_t>(server.boundPort());
            ready = true;
            QEventLoop loop;
            loop.exec();
        }));
        m_thread->start();
        while (!ready)
            std::this_thread::yield();
    }
    ~ProgramServer() override
    {
        m_thread->quit();
        m_thread->wait();
    }
    std::uint16_t port() const override { return m_port; }
    int received() const override { return m_received; }

private:
    std::unique_ptr<QThread> m_thread;
    std::atomic<std::uint16_t> m_port = 0;
    std::atomic<int> m_received = 0;
};

std::unique_ptr<Receiver> makeReceiver(int program)
{
    if (program)
        return std::make_unique<ProgramServer>();
    return std::make_unique<Plain>();
}

const char *receiverName(int program)
{
    return program ? "program" : "plain";
}

// Seconds per delivery, and lines per second with 8 senders, by receiver: for the ratios.
std::map<std::string, double> g_roundTrip;
std::map<std::string, double> g_rate;

void waitForCount(const Receiver &receiver, int expected)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (receiver.received() < expected && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
}

void BM_OneDelivery(benchmark::State &state)
{
    const std::unique_ptr<Receiver> receiver = makeReceiver(static_cast<int>(state.range(0)));
    int sent = 0;
    for (auto _ : state) {
        if (!deliver(receiver->port()))
            state.SkipWithError("a delivery failed");
        ++sent;
    }
    waitForCount(*receiver, sent);
    if (receiver->received() != sent)
        state.SkipWithError("lines were lost");
    state.SetLabel(receiverName(static_cast<int>(state.range(0))));
    state.counters["round_trip_us"] = benchmark::Counter(
        static_cast<double>(sent), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_EightSenders(benchmark::State &state)
{
    const std::unique_ptr<Receiver> receiver = makeReceiver(static_cast<int>(state.range(0)));
    int total = 0;
    for (auto _ : state) {
        std::atomic<int> failures = 0;
        std::vector<std::thread> senders;
        for (int s = 0; s < kSenders; ++s) {
            senders.emplace_back([&] {
                for (int i = 0; i < kLinesPerSender; ++i)
                    failures += deliver(receiver->port()) ? 0 : 1;
            });
        }
        for (std::thread &sender : senders)
            sender.join();
        total += kSenders * kLinesPerSender;
        if (failures > 0)
            state.SkipWithError("a delivery failed");
    }
    waitForCount(*receiver, total);
    if (receiver->received() != total)
        state.SkipWithError("lines were lost");
    state.SetLabel(receiverName(static_cast<int>(state.range(0))));
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_OneDelivery)->Arg(0)->Arg(1)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_EightSenders)->Arg(0)->Arg(1)->UseRealTime()->MinTime(1.0);

// Keeps what the benchmarks measured, for the ratios.
class RatioReporter : public bench::MedianReporter
{
protected:
    void take(const Run &run) override
    {
        const std::string name = run.benchmark_name();
        if (name.rfind("BM_OneDelivery", 0) == 0)
            g_roundTrip[run.report_label] = run.GetAdjustedRealTime();
        else if (name.rfind("BM_EightSenders", 0) == 0 && run.counters.count("lines_per_s"))
            g_rate[run.report_label] = run.counters.at("lines_per_s");
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (g_roundTrip.count("plain") && g_roundTrip.count("program") && g_roundTrip["plain"] > 0)
        std::printf("one delivery's round trip, program / plain server: %.2f\n",
                    g_roundTrip["program"] / g_roundTrip["plain"]);
    if (g_rate.count("plain") && g_rate.count("program") && g_rate["plain"] > 0)
        std::printf("lines per second with %d senders, program / plain server: %.2f\n", kSenders,
                    g_rate["program"] / g_rate["plain"]);
    return 0;
}
