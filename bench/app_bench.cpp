// The chat window under load, on the offscreen platform:
//  - appending one line to a history of 100 lines and to one of 100,000 lines, and their ratio;
//  - while 8 foreign senders flood the window with lines, how long a key typed in the message
//    field takes to appear there (median and worst of many keys).
//
//   build/bench/app_bench [--benchmark_min_time=...]

#include "LoopbackSender.h"
#include "app/ChatWidgets.h"
#include "app/MessagerQ.h"
#include "net/MsgTransport.h"
#include "platform/Application.h"
#include "platform/Registry.h"
#include "settings/OptionsQ.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
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
BENCHMARK(BM_AppendLine)->Arg(100)->Arg(100000)->Iterations(300)->Unit(benchmark::kMicrosecond);

std::vector<double> g_keyMillis;

void BM_KeyWhileFlooded(benchmark::State &state)
{
    Window window;
    TForm1 &form = *window.form;
    const auto port = static_cast<std::uint16_t>(form.MessageGetter->boundPort());
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
    form.MessageEdit->setText(QString());
    for (auto _ : state) {
        // Let the flood run a little between keys.
        QElapsedTimer pause;
        pause.start();
        while (pause.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qsizetype before = form.MessageEdit->text().size();
        QElapsedTimer typed;
        typed.start();
        QCoreApplication::postEvent(form.MessageEdit, new QKeyEvent(QEvent::KeyPress, Qt::Key_X,
                                                                    Qt::NoModifier, QStringLiteral("x")));
        while (form.MessageEdit->text().size() == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 1);
        const double ms = typed.nsecsElapsed() / 1e6;
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

class Reporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // With repetitions, the median stands for the benchmark; the other aggregates share
            // its label but are not times.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            if (run.benchmark_name().rfind("BM_AppendLine", 0) == 0)
                g_appendSeconds[run.report_label == "100 lines before" ? 100 : 100000] =
                    run.GetAdjustedRealTime();
        }
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
    if (g_appendSeconds.count(100) && g_appendSeconds.count(100000) && g_appendSeconds[100] > 0)
        std::printf("appending line 100,000 / appending line 100: %.2f\n",
                    g_appendSeconds[100000] / g_appendSeconds[100]);
    if (!g_keyMillis.empty()) {
        std::sort(g_keyMillis.begin(), g_keyMillis.end());
        std::printf(
            "a key typed while 8 senders flood the window appears after: median %.2f ms, worst %.2f ms\n",
            g_keyMillis[g_keyMillis.size() / 2], g_keyMillis.back());
    }
    return 0;
}
