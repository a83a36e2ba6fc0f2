// Large tables in the real main window: the resident memory of the whole
// program with the four plots open at 100,000 x 8 and 500,000 x 8 (items x
// dimensions), with what each plot adds per data item; the time to open
// and paint each plot at 100,000 x 8; and a scroll step of the permutation
// matrix there, with the size of its image.
//
// Resident memory only grows within a process (freed pages mostly stay with
// the allocator), so run each memory case in a process of its own:
//   bench_largetables --benchmark_filter='BM_Resident/100000/'
//   bench_largetables --benchmark_filter='BM_Resident/500000/'
//   bench_largetables --benchmark_filter='BM_OpenAndPaint|BM_Scroll'
// Goals: under 400 MB at 100,000 x 8, under 2 GB at 500,000 x 8, and each
// plot open and painted in under a second at 100,000 x 8.
//
// A wide table, 200 x 2,000 and 200 x 3,000: the four plots opened and
// painted, then Cascade, Tile vertically and Tile horizontally, each step
// timed with the peak resident memory it reaches (the process's peak for
// the opening, the rise over the memory held before for a command). One
// process each:
//   bench_largetables --benchmark_filter='BM_WideTable/2000/'
//   bench_largetables --benchmark_filter='BM_WideTable/3000/'
// Goals: at 2,000 the plots open within 3 s and under 600 MB, each command
// takes under a second and 100 MB more; at 3,000 the plots open under 1.5 GB.
#include "MainWindowBench.h"

#include "methods/QuorPlotClient.h"

#include <QImage>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <string>

namespace {

constexpr int kDims = 8;

QString CounterName(const char* Key, const char* What)
{
    return QString::fromLatin1(Key) + QString::fromLatin1(What);
}

// Opens the plots one by one, each tiled with those open before it and
// painted, and notes what each adds to the resident memory per data item.
void BM_Resident(benchmark::State& State)
{
    const int items = int(State.range(0));
    for (auto _ : State) {
        TMainWindowBench bench(kDims, items, false);
        double before = ResidentBytes();
        State.counters["table_bytes"] = before;
        for (const char* key : kMainWindowPlots) {
            bench.OpenPlot(QString::fromLatin1(key));
            bench.Window->Action(QStringLiteral("WindowTileVertical"))->trigger();
            TMainWindowBench::Settle();
            const QImage shown = bench.Window->grab().toImage();
            benchmark::DoNotOptimize(shown.constBits());
            const double after = ResidentBytes();
            State.counters[CounterName(key, "_bytes_per_item").toStdString()] = (after - before) / items;
            before = after;
        }
        State.counters["resident_bytes"] = ResidentBytes();
    }
}
BENCHMARK(BM_Resident)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond)->Iterations(1);

// One plot opened, as its toggle does, into the main window where the other
// three are open, tiled with them and painted until the window shows it;
// closed again before each timed run.
void BM_OpenAndPaint(benchmark::State& State)
{
    const char* key = kMainWindowPlots[State.range(0)];
    State.SetLabel(key);
    TMainWindowBench& bench = MainWindowBenchOf(kDims, 100000);
    const QString k = QString::fromLatin1(key);
    for (auto _ : State) {
        State.PauseTiming();
        bench.Window->ClientManager->RemoveClient(k);
        TMainWindowBench::Settle();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        State.ResumeTiming();

        bench.OpenPlot(k);
        bench.Window->Action(QStringLiteral("WindowTileVertical"))->trigger();
        TMainWindowBench::Settle();
        const QImage shown = bench.Window->grab().toImage();
        benchmark::DoNotOptimize(shown.constBits());
    }
}
// The permutation matrix scrolled sideways by half its window while the
// other plots stay open: what comes into view is painted.
void BM_ScrollPermutationMatrix(benchmark::State& State)
{
    TMainWindowBench& bench = MainWindowBenchOf(kDims, 100000);
    auto* plot = dynamic_cast<TQuorPlotClient*>(bench.Window->ClientManager->GetClient(QStringLiteral("PermutationMatrix")));
    auto* scroll = plot ? plot->Form()->findChild<QScrollArea*>() : nullptr;
    if (!scroll) {
        State.SkipWithError("no scrolled permutation matrix");
        return;
    }
    QScrollBar* bar = scroll->horizontalScrollBar();
    const int step = std::max(1, scroll->viewport()->width() / 2);
    for (auto _ : State) {
        bar->setValue(bar->value() + step > bar->maximum() ? 0 : bar->value() + step);
        TMainWindowBench::Settle();
    }
    State.counters["image_bytes"] = double(plot->Editor()->BackingImage().sizeInBytes());
}
BENCHMARK(BM_ScrollPermutationMatrix)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_OpenAndPaint)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

// Runs Step, settles and renders the main window; notes its seconds.
template <class F>
void TimedStep(benchmark::State& State, TMainWindowBench& Bench, const std::string& Name, F Step)
{
    const auto start = std::chrono::steady_clock::now();
    Step();
    TMainWindowBench::Settle();
    const QImage shown = Bench.Window->grab().toImage();
    benchmark::DoNotOptimize(shown.constBits());
    State.counters[Name + "_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_WideTable(benchmark::State& State)
{
    constexpr int kWideItems = 200;
    const int dims = int(State.range(0));
    for (auto _ : State) {
        TMainWindowBench bench(dims, kWideItems, false);
        ResetPeakResident();
        TimedStep(State, bench, "open", [&bench] {
            for (const char* key : kMainWindowPlots)
                bench.OpenPlot(QString::fromLatin1(key));
        });
        State.counters["open_peak_bytes"] = PeakResidentBytes();
        if (State.range(1) == 0)
            continue;
        for (const char* command : {"WindowCascade", "WindowTileVertical", "WindowTileHorizontal"}) {
            const double before = ResidentBytes();
            ResetPeakResident();
            TimedStep(State, bench, command,
                      [&bench, command] { bench.Window->Action(QString::fromLatin1(command))->trigger(); });
            State.counters[std::string(command) + "_peak_rise_bytes"] = PeakResidentBytes() - before;
        }
    }
}
BENCHMARK(BM_WideTable)->Args({2000, 1})->Args({3000, 0})->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

QUORBEL_MAINWINDOW_BENCH_MAIN()
