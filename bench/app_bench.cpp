// The chat window under load, on the offscreen platform:
//  - foreign senders delivering to the whole program (server, window, history) against a plain
//    blocking thread-per-connection server, in the same run: one sender's round trip, and lines
//    per second with 8 senders at once; their ratios window / plain are printed;
//  - appending one line to a history of 100 lines and to one just short of the history's bound
//    of 100,000 lines (so that no oldest lines are dropped meanwhile), and their ratio;
//  - while 8 foreign senders flood the window with lines, how long a key typed in the message
//    field takes to appear there (median and worst of many keys);
//  - while one foreign sender floods the window with 9,999-byte lines without blanks: how long
//    another sender's short line takes to be answered, how long a typed key takes to appear, and
//    how much the program's memory has grown once 20,000 such lines have been shown.
//
//   build/bench/app_bench [--benchmark_min_time=...]

#include "Loopback.h"
#include "MedianReporter.h"
#include "app/ChatHistory.h"
#include "app/ChatLineEdit.h"
#include "app/MessagerQ.h"
#include "net/MsgTransport.h"
#include "platform/core/Registry.h"
#include "platform/gui/Application.h"
#include "settings/OptionsQ.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const QByteArray kSender = QByteArrayLiteral("FLUTPC");
const QByteArray kLine = QByteArrayLiteral("2001802000FLUTPC sagt: Eine ganz gewöhnliche Zeile im Verlauf");

struct Window
{
    Window()
    {
        TForm1::Setup setup;
        setup.port = 0;
        setup.listenAddress = "127.0.0.1";
        setup.randomSeed = 1;
        form = std::make_unique<TForm1>(setup);
        options = std::make_unique<TOptionForm>();
        form->setOptionForm(options.get());
        // A known sender: its lines are shown without asking whether to add it.
        options->setReceivers({{QString::fromLatin1(kSender), false}});
        form->show();
    }
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TOptionForm> options;
};

// The window's controls, found by their names.
QLineEdit *messageEdit(const TForm1 &form)
{
    return form.findChild<QLineEdit *>(QStringLiteral("MessageEdit"));
}

QTextDocument *historyOf(const TForm1 &form)
{
    return form.findChild<ChatHistory *>(QStringLiteral("MessageMemo"))->document();
}

void fillHistory(TForm1 &form, int lines)
{
    for (int i = 0; i < lines; ++i)
        form.DisplayText(kLine);
    QCoreApplication::processEvents();
}

std::map<int64_t, double> g_appendSeconds;

void BM_AppendLine(benchmark::State &state)
{
    Window window;
    fillHistory(*window.form, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        window.form->DisplayText(kLine);
        // The line counts once it is laid out and painted, as on screen.
        QCoreApplication::processEvents();
    }
    state.SetLabel(std::to_string(state.range(0)) + " lines before");
}
constexpr int kAppends = 300;
BENCHMARK(BM_AppendLine)
    ->Arg(100)
    ->Arg(ChatHistory::kHistoryLines - kAppends)
    ->Iterations(kAppends)
    ->Unit(benchmark::kMicrosecond);

// Round trip in seconds (one sender) and lines per second (8 senders), by receiver.
std::map<std::string, double> g_receiveRoundTrip;
std::map<std::string, double> g_receiveRate;

// `senders` foreign senders deliver `lines` lines each at once while this thread runs the event
// loop, as the window's thread does; returns whether every line was acknowledged.
bool deliverAll(std::uint16_t port, int senders, int lines)
{
    QEventLoop loop;
    std::atomic<int> failures = 0;
    std::atomic<int> finished = 0;
    std::vector<std::thread> threads;
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&] {
            for (int i = 0; i < lines; ++i)
                failures += bench::deliver(port, kSender, kLine) ? 0 : 1;
            if (++finished == senders)
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    }
    loop.exec();
    for (std::thread &thread : threads)
        thread.join();
    return failures == 0;
}

void BM_Receive(benchmark::State &state)
{
    const bool window = state.range(0) != 0;
    const int senders = static_cast<int>(state.range(1));
    const int lines = senders == 1 ? 200 : 50;
    std::unique_ptr<Window> program;
    std::unique_ptr<bench::PlainServer> plain;
    if (window)
        program = std::make_unique<Window>();
    else
        plain = std::make_unique<bench::PlainServer>();
    const auto port = static_cast<std::uint16_t>(
        window ? program->form->session().messageGetter()->boundPort() : plain->port());
    qint64 total = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (!deliverAll(port, senders, lines))
            state.SkipWithError("a delivery failed");
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        total += senders * lines;
    }
    // Every acknowledged line reaches the history.
    if (window) {
        QTextDocument *history = historyOf(*program->form);
        const auto shown = [&] { return history->blockCount() >= total; };
        QElapsedTimer patience;
        patience.start();
        while (!shown() && patience.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
        if (!shown())
            state.SkipWithError("lines were lost");
    }
    state.SetLabel(window ? "window" : "plain");
    state.counters[senders == 1 ? "round_trip_us" : "lines_per_s"] =
        senders == 1 ? benchmark::Counter(static_cast<double>(total),
                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert)
                     : benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Receive)
    ->ArgsProduct({{0, 1}, {1, 8}})
    ->ArgNames({"window", "senders"})
    ->UseManualTime()
    ->MinTime(1.0)
    ->Unit(benchmark::kMillisecond);

// Lets the window's events run for `pauseMs`, then types a key into the message field; returns
// how many milliseconds the key took to appear there.
double typeAKeyAfter(TForm1 &form, int pauseMs)
{
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < pauseMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    QLineEdit *edit = messageEdit(form);
    const qsizetype before = edit->text().size();
    QElapsedTimer typed;
    typed.start();
    QCoreApplication::postEvent(
        edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
    while (edit->text().size() == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 1);
    return typed.nsecsElapsed() / 1e6;
}

std::vector<double> g_keyMillis;

void BM_KeyWhileFlooded(benchmark::State &state)
{
    Window window;
    TForm1 &form = *window.form;
    const auto port = static_cast<std::uint16_t>(form.session().messageGetter()->boundPort());
    std::atomic<bool> flooding = true;
    std::atomic<int> delivered = 0;
    std::atomic<int> finished = 0;
    std::vector<std::thread> senders;
    for (int s = 0; s < 8; ++s) {
        senders.emplace_back([&] {
            while (flooding)
                delivered += bench::deliver(port, kSender, kLine) ? 1 : 0;
            ++finished;
        });
    }
    messageEdit(form)->setText(QString());
    for (auto _ : state) {
        const double ms = typeAKeyAfter(form, 20);
        g_keyMillis.push_back(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    // The senders' last lines need this thread to be accepted.
    flooding = false;
    while (finished < static_cast<int>(senders.size()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    for (std::thread &sender : senders)
        sender.join();
    state.counters["lines_delivered"] = delivered.load();
}
BENCHMARK(BM_KeyWhileFlooded)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

// The resident memory of this process in KiB, as the system counts it.
long residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

struct Spread
{
    double median = 0;
    double p90 = 0;
    double worst = 0;
};

Spread spreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[values.size() * 9 / 10], values.back()};
}

struct FloodFigures
{
    Spread roundTripMs;
    Spread keyMs;
    int refused = 0; // probes the full queue turned away
    double grownMib = 0;
    int historyLines = 0;
    int historyChars = 0;
};
std::vector<FloodFigures> g_flood;

void BM_FloodOfLongLines(benchmark::State &state)
{
    const int wanted = static_cast<int>(state.range(0));
    const QByteArray longLine = "2001802000" + QByteArray(9989, 'w');
    const QByteArray shortLine = QByteArrayLiteral("0000000000kurz");
    for (auto _ : state) {
        Window window;
        TForm1 &form = *window.form;
        QCoreApplication::processEvents();
        const long startKib = residentKib();
        int shown = 0;
        QObject::connect(&form.session(), &chat::ChatSession::lineArrived, &form, [&shown] { ++shown; });
        const auto port = static_cast<std::uint16_t>(form.session().messageGetter()->boundPort());

        std::atomic<bool> flooding = true;
        std::atomic<int> finished = 0;
        std::mutex probeMutex;
        std::vector<double> roundTrips;
        int refused = 0;
        std::thread flood([&] {
            while (flooding)
                bench::deliver(port, kSender, longLine);
            ++finished;
        });
        // Another sender's short line now and then: the time until it is answered, acknowledged or refused.
        std::thread probe([&] {
            while (flooding) {
                const auto sent = std::chrono::steady_clock::now();
                const bool acknowledged = bench::deliver(port, kSender, shortLine);
                const std::chrono::duration<double, std::milli> took =
                    std::chrono::steady_clock::now() - sent;
                {
                    std::lock_guard lock(probeMutex);
                    roundTrips.push_back(took.count());
                    refused += acknowledged ? 0 : 1;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
            ++finished;
        });

        // Keys typed into the message field while the lines come in.
        std::vector<double> keys;
        messageEdit(form)->setText(QString());
        while (shown < wanted) {
            if (messageEdit(form)->text().size() > 1000)
                messageEdit(form)->setText(QString());
            keys.push_back(typeAKeyAfter(form, 25));
        }
        // The senders' last lines need this thread to be accepted and answered.
        flooding = false;
        while (finished < 2)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        flood.join();
        probe.join();
        while (form.session().receivedLines().pending() > 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        QCoreApplication::processEvents();

        FloodFigures figures;
        figures.roundTripMs = spreadOf(roundTrips);
        figures.keyMs = spreadOf(keys);
        figures.refused = refused;
        figures.grownMib = (residentKib() - startKib) / 1024.0;
        figures.historyLines = historyOf(form)->blockCount();
        figures.historyChars = historyOf(form)->characterCount();
        g_flood.push_back(figures);
        state.counters["round_trips"] = static_cast<double>(roundTrips.size());
        state.counters["lines_shown"] = shown;
    }
}
BENCHMARK(BM_FloodOfLongLines)->Arg(20000)->Iterations(1)->Unit(benchmark::kSecond);

class Reporter : public bench::MedianReporter
{
protected:
    void take(const Run &run) override
    {
        const std::string name = run.benchmark_name();
        if (name.rfind("BM_Receive", 0) == 0) {
            if (run.counters.count("round_trip_us"))
                g_receiveRoundTrip[run.report_label] = run.counters.at("round_trip_us");
            else if (run.counters.count("lines_per_s"))
                g_receiveRate[run.report_label] = run.counters.at("lines_per_s");
        }
        if (name.rfind("BM_AppendLine", 0) == 0)
            g_appendSeconds[run.report_label == "100 lines before" ? 100 : ChatHistory::kHistoryLines] =
                run.GetAdjustedRealTime();
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir settings;
    platform::setSettingsRoot(settings.path());
    platform::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto ratio = [](std::map<std::string, double> &measured) {
        return measured.count("window") && measured["plain"] > 0 ? measured["window"] / measured["plain"]
                                                                 : 0.0;
    };
    if (const double r = ratio(g_receiveRoundTrip); r > 0)
        std::printf("one delivery's round trip, window / plain server: %.2f\n", r);
    if (const double r = ratio(g_receiveRate); r > 0)
        std::printf("lines per second with 8 senders, window / plain server: %.2f\n", r);
    if (g_appendSeconds.count(100) && g_appendSeconds.count(ChatHistory::kHistoryLines) &&
        g_appendSeconds[100] > 0)
        std::printf("appending to a history of %lld lines / appending to one of 100 lines: %.2f\n",
                    static_cast<long long>(ChatHistory::kHistoryLines - kAppends),
                    g_appendSeconds[ChatHistory::kHistoryLines] / g_appendSeconds[100]);
    if (!g_keyMillis.empty()) {
        std::sort(g_keyMillis.begin(), g_keyMillis.end());
        std::printf(
            "a key typed while 8 senders flood the window appears after: median %.2f ms, worst %.2f ms\n",
            g_keyMillis[g_keyMillis.size() / 2], g_keyMillis.back());
    }
    for (const FloodFigures &f : g_flood) {
        std::printf(
            "while one sender floods 9,999-byte lines without blanks:\n"
            "  a short line is answered after: median %.1f ms, 90th percentile %.1f ms, worst %.1f ms "
            "(%d of the probes refused by the full queue)\n"
            "  a typed key appears after: median %.1f ms, 90th percentile %.1f ms, worst %.1f ms\n"
            "  memory grown after the lines were shown: %.1f MiB (history: %d lines, %d characters)\n",
            f.roundTripMs.median, f.roundTripMs.p90, f.roundTripMs.worst, f.refused, f.keyMs.median,
            f.keyMs.p90, f.keyMs.worst, f.grownMib, f.historyLines, f.historyChars);
    }
    return 0;
}
