// Selecting at scale through the main window with every view open: a rubber
// band in the scatterplot matrix that takes in every data item, then a click
// on empty space that clears it (one write transaction each way),
// and the select-all action (one transaction for every item), also with the
// scales fitted to the visible data. Each step counts until the window has
// shown its result.
// Goals: band and click under 300 ms each at 5,000 x 10, under 3 s at
// 100,000 x 8; select-all under 3 s at 100,000 x 8; with fitted scales,
// each within twice its time without.
#include "MainWindowBench.h"

#include "methods/QuorScatterplotmatrix.h"
#include "support/Gestures.h"

#include <QAction>

#include <chrono>
#include <stdexcept>
#include <string>

namespace {

TScatterplotmatrix& Scatterplot(TMainWindowBench& Bench)
{
    auto* plot = dynamic_cast<TScatterplotmatrix*>(
        Bench.Window->ClientManager->GetClient(QStringLiteral("ScatterplotMatrix")));
    if (!plot)
        throw std::runtime_error("the scatterplot matrix is not open");
    return *plot;
}

// The band's corners: from the empty grid square right of the top cells to
// the bottom-left cell corner, so that it takes in every cell and no label.
struct TBandCorners {
    QPoint From;
    QPoint To;
};

TBandCorners BandOverAllCells(const TScatterplotmatrix& Plot)
{
    const TScatterplotLayout& L = Plot.Layout;
    const int last = L.GridCount() - 1;
    return {QPoint(L.ColumnRight(last), L.RowTop(0)), QPoint(L.ColumnLeft(0), L.RowBottom(last))};
}

void BandThenClick(benchmark::State& State, int Dims, int Items)
{
    TMainWindowBench& bench = MainWindowBenchOf(Dims, Items);
    TScatterplotmatrix& plot = Scatterplot(bench);
    TGOEdit* editor = plot.Editor();
    const TBandCorners band = BandOverAllCells(plot);
    double bandSeconds = 0;
    double clickSeconds = 0;
    double paintSeconds = 0;
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        PacedDragGesture(editor, band.From, {band.To});
        const auto handled = std::chrono::steady_clock::now();
        TMainWindowBench::Settle();
        const auto banded = std::chrono::steady_clock::now();
        paintSeconds += std::chrono::duration<double>(banded - handled).count();
        if (bench.Data().SelectedPointCount() != Items)
            State.SkipWithError(("the band selected " + std::to_string(bench.Data().SelectedPointCount())
                                 + " data items, not all").c_str());
        PacedClickGesture(editor, band.From);
        const auto clicked = std::chrono::steady_clock::now();
        TMainWindowBench::Settle();
        const auto cleared = std::chrono::steady_clock::now();
        if (bench.Data().SelectedPointCount() != 0)
            State.SkipWithError("the click did not clear the selection");
        bandSeconds += std::chrono::duration<double>(banded - start).count();
        clickSeconds += std::chrono::duration<double>(cleared - banded).count();
        paintSeconds += std::chrono::duration<double>(cleared - clicked).count();
    }
    const double n = double(State.iterations());
    State.counters["band_ms"] = bandSeconds * 1000 / n;
    State.counters["click_ms"] = clickSeconds * 1000 / n;
    // Of both: the paints that show the result once the gesture is handled.
    State.counters["paint_ms"] = paintSeconds * 1000 / n;
}

void BM_RubberBandAllThenClick_5000x10(benchmark::State& State)
{
    BandThenClick(State, 10, 5000);
}
BENCHMARK(BM_RubberBandAllThenClick_5000x10)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RubberBandAllThenClick_100000x8(benchmark::State& State)
{
    BandThenClick(State, 8, 100000);
}
BENCHMARK(BM_RubberBandAllThenClick_100000x8)->Unit(benchmark::kMillisecond)->Iterations(1);

// A small band in the bottom-left cell (6 s before selection notices were
// followed one by one), and the click that clears it.
void BM_SmallRubberBandThenClick_100000x8(benchmark::State& State)
{
    TMainWindowBench& bench = MainWindowBenchOf(8, 100000);
    TScatterplotmatrix& plot = Scatterplot(bench);
    TGOEdit* editor = plot.Editor();
    const TScatterplotLayout& L = plot.Layout;
    const int last = L.GridCount() - 1;
    const QPoint from(L.ColumnLeft(0) + 2, L.RowTop(last) + 2);
    const QPoint to(from.x() + (L.ColumnRight(0) - L.ColumnLeft(0)) / 6, from.y() + (L.RowBottom(last) - L.RowTop(last)) / 6);
    const QPoint empty = BandOverAllCells(plot).From;
    int selected = 0;
    for (auto _ : State) {
        PacedDragGesture(editor, from, {to});
        TMainWindowBench::Settle();
        selected = bench.Data().SelectedPointCount();
        PacedClickGesture(editor, empty);
        TMainWindowBench::Settle();
    }
    State.counters["selected"] = selected;
}
BENCHMARK(BM_SmallRubberBandThenClick_100000x8)->Unit(benchmark::kMillisecond)->Iterations(1);

void SelectAll(benchmark::State& State)
{
    TMainWindowBench& bench = MainWindowBenchOf(8, 100000);
    QAction* selectAll = bench.Window->Action(QStringLiteral("ActionSelectAll"));
    TObject writer;
    for (auto _ : State) {
        selectAll->trigger();
        TMainWindowBench::Settle();
        State.PauseTiming();
        if (bench.Data().SelectedPointCount() != 100000)
            State.SkipWithError("select-all did not select every data item");
        bench.Data().WriteTransaction(&writer, [&] {
            for (int p = 0; p < bench.Data().PointCount(); ++p)
                bench.Data().SetPointSelected(p, false);
        });
        TMainWindowBench::Settle();
        State.ResumeTiming();
    }
}

void BM_SelectAll_100000x8(benchmark::State& State)
{
    SelectAll(State);
}
BENCHMARK(BM_SelectAll_100000x8)->Unit(benchmark::kMillisecond)->Iterations(1);

// With "Fit scales to visible data" on, every delivery pass ends with a
// refit over all visible values: a step that changes many items must still
// be a few passes. Goal: each step within twice its time without fitting.
class TFittedScales {
public:
    explicit TFittedScales(TMainWindowBench& Bench) : FAction(Bench.Window->Action(QStringLiteral("ActionFitBounds")))
    {
        if (!FAction->isChecked())
            FAction->trigger();
        TMainWindowBench::Settle();
    }
    ~TFittedScales()
    {
        if (FAction->isChecked())
            FAction->trigger();
        TMainWindowBench::Settle();
    }
    TFittedScales(const TFittedScales&) = delete;
    TFittedScales& operator=(const TFittedScales&) = delete;

private:
    QAction* FAction;
};

void BM_RubberBandAllThenClick_100000x8_Fitted(benchmark::State& State)
{
    const TFittedScales fitted(MainWindowBenchOf(8, 100000));
    BandThenClick(State, 8, 100000);
}
BENCHMARK(BM_RubberBandAllThenClick_100000x8_Fitted)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_SelectAll_100000x8_Fitted(benchmark::State& State)
{
    const TFittedScales fitted(MainWindowBenchOf(8, 100000));
    SelectAll(State);
}
BENCHMARK(BM_SelectAll_100000x8_Fitted)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

QUORBEL_MAINWINDOW_BENCH_MAIN()
