// The permutation matrix at 1,000 x 10, 2,000 x 20 and 20,000 x 10 cells
// (items x dimensions): a rebuild (statistics, cell objects, layout) plus a
// full repaint into the backing image, against a bare loop that fills the
// same cell rectangles with QPainter; and a hover over the matrix (hit test
// and status text); a repaint with every cell selected. The rebuild's
// counters report the bare loop's time, the ratio of the two and the bytes
// each cell object takes.
#include "PlotBench.h"

#include "methods/QuorPermutationmatrix.h"
#include "support/Gestures.h"

#include <QImage>

namespace {

class TMatrixBench : public TPlotBench<TPermutationmatrix> {
public:
    TMatrixBench(int Items, int Dims)
        : TPlotBench(Dims, Items, QStringLiteral("PermutationMatrix"), QStringLiteral("Permutation Matrix"))
    {
        Plot->Editor()->Repaint();
    }

    void RebuildAndRepaint()
    {
        Plot->Rebuild();
        Plot->Editor()->Repaint();
    }

    std::vector<QRect> CellRects() const
    {
        std::vector<QRect> cells;
        for (TGraphicObject* o = Plot->Editor()->GetObjects(); o; o = o->Next)
            if (dynamic_cast<TGOPermDataCell*>(o))
                cells.push_back(ToQRect(o->Bounds));
        return cells;
    }

    QSize Size() const { return Plot->Editor()->size(); }
};

std::unique_ptr<TMatrixBench>& CurrentBench()
{
    static std::unique_ptr<TMatrixBench> bench;
    return bench;
}

// One matrix at a time: the widest takes hundreds of megabytes.
TMatrixBench& Bench(int Items, int Dims)
{
    auto& bench = CurrentBench();
    if (bench && bench->Data.PointCount() == Items && bench->Data.DimCount() == Dims)
        return *bench;
    if (!bench)
        BenchFreers().push_back([] { CurrentBench().reset(); });
    bench.reset();
    bench = std::make_unique<TMatrixBench>(Items, Dims);
    return *bench;
}

double BareMilliseconds(TMatrixBench& B)
{
    return BareFillMilliseconds(B.Size(), B.CellRects(), B.ItemColor());
}

void BM_PermutationRebuildAndRepaint(benchmark::State& State)
{
    TMatrixBench& bench = Bench(int(State.range(0)), int(State.range(1)));
    const double rebuild = MeanMillisecondsPerIteration(State, [&] { bench.RebuildAndRepaint(); });
    const double bare = BareMilliseconds(bench);
    State.counters["rebuild_repaint_ms"] = rebuild;
    State.counters["bare_ms"] = bare;
    State.counters["ratio"] = rebuild / bare;
    // The cell object and its pointer in the plot's index; its layer colours
    // come on the heap with the first paint.
    State.counters["cell_bytes"] = double(sizeof(TGOPermDataCell) + sizeof(TGOPermDataCell*));
}
BENCHMARK(BM_PermutationRebuildAndRepaint)
    ->Args({1000, 10})
    ->Args({2000, 20})
    ->Args({20000, 10})
    ->Unit(benchmark::kMillisecond);

void BM_PermutationHover(benchmark::State& State)
{
    TMatrixBench& bench = Bench(int(State.range(0)), int(State.range(1)));
    TGOEdit* editor = bench.Plot->Editor();
    const TRect plot = bench.Plot->Layout.PlotRect;
    int step = 0;
    for (auto _ : State) {
        // Across the matrix, a different cell each time.
        const int x = plot.Left + (step * 37) % std::max(1, plot.Width());
        const int y = plot.Top + (step * 13) % std::max(1, plot.Height());
        ++step;
        editor->MouseMoveHook(editor, {}, x, y);
        benchmark::DoNotOptimize(bench.Hint.text());
    }
}
BENCHMARK(BM_PermutationHover)->Args({20000, 10})->Unit(benchmark::kMillisecond);

// Every cell taken into the editor's selection by a band, each framed by
// exclusive-or; at 2,000 items by 8 dimensions the cells stand hundreds of
// pixels tall.
void BM_PermutationRepaintSelected(benchmark::State& State)
{
    TMatrixBench& bench = Bench(int(State.range(0)), int(State.range(1)));
    TGOEdit* editor = bench.Plot->Editor();
    const TRect plot = bench.Plot->Layout.PlotRect;
    PacedDragGesture(editor, QPoint(plot.Left - 2, plot.Top - 2), {QPoint(plot.Right + 2, plot.Bottom + 2)});
    int selected = 0;
    for (const TSelectionEntry* e = editor->GetSelection(); e; e = e->Next.get())
        ++selected;
    State.counters["selected"] = selected;
    State.counters["repaint_ms"] = MeanMillisecondsPerIteration(State, [&] { editor->Repaint(); });
}
BENCHMARK(BM_PermutationRepaintSelected)->Args({2000, 8})->Unit(benchmark::kMillisecond);

} // namespace

QUORBEL_PLOT_BENCH_MAIN()
