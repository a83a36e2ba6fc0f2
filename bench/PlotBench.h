#pragma once

// What the plot benchmarks share: a plot open on generated data as its
// toggle opens it, one such bench per item count kept for all runs and
// freed before the application object, and the counters that set a
// repaint against its bare loop.

#include "QuorMethodBase.h"
#include "platform/Application.h"
#include "support/GeneratedData.h"

#include "BareFill.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

template <class TPlot>
class TPlotBench : public TGeneratedData {
public:
    TPlotBench(int Dims, int Items, const QString& Key, const QString& Caption)
        : TGeneratedData(Dims, Items)
    {
        Area.resize(1100, 1000);
        Area.show();
        Manager = std::make_unique<TQuorClientManager>(&Area);
        Manager->Data = &Data;
        Manager->AppProperties = &Props;
        Manager->PanelHint = &Hint;
        auto plot = std::make_unique<TPlot>(&Area);
        Plot = plot.get();
        Manager->AddClient(Key, Caption, std::move(plot));
        Plot->Form()->resize(1000, 900);
        QCoreApplication::processEvents();
    }

    // The colour every generated item is drawn in.
    QColor ItemColor() const { return ToQColor(Props.GetValueColor(Props.DefaultColorIndex)); }

    // The status bar's hint panel, where a hover writes.
    QLabel Hint;
    QMdiArea Area;
    std::unique_ptr<TQuorClientManager> Manager;
    TPlot* Plot = nullptr;
};

// The benches of one kind by item count, built on first use.
template <class TBench>
std::map<int, std::unique_ptr<TBench>>& Benches()
{
    static std::map<int, std::unique_ptr<TBench>> benches;
    return benches;
}

// What frees the benches of each kind in use.
inline std::vector<std::function<void()>>& BenchFreers()
{
    static std::vector<std::function<void()>> freers;
    return freers;
}

template <class TBench>
TBench& BenchOf(int Items)
{
    auto& benches = Benches<TBench>();
    if (benches.empty())
        BenchFreers().push_back([] { Benches<TBench>().clear(); });
    auto& bench = benches[Items];
    if (!bench)
        bench = std::make_unique<TBench>(Items);
    return *bench;
}

// main frees the benches while the application object still stands: their
// windows cannot outlive it.
inline void FreeBenches()
{
    for (const auto& freer : BenchFreers())
        freer();
    BenchFreers().clear();
}

// Times Repaint over the benchmark's iterations and reports it beside the
// bare loop's time and the ratio of the two.
template <class R, class B>
void ReportRepaint(benchmark::State& State, R Repaint, B BareMilliseconds)
{
    const double repaint = MeanMillisecondsPerIteration(State, Repaint);
    const double bare = BareMilliseconds();
    State.counters["repaint_ms"] = repaint;
    State.counters["bare_ms"] = bare;
    State.counters["ratio"] = repaint / bare;
}

// The plots draw offscreen under the program's application object.
#define QUORBEL_PLOT_BENCH_MAIN()                                                                  \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        setenv("QT_QPA_PLATFORM", "offscreen", 0);                                                 \
        TApplication app(argc, argv);                                                              \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        FreeBenches();                                                                             \
        return 0;                                                                                  \
    }
