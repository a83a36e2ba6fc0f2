// The permutation matrix at 1,000 x 10, 2,000 x 20 and 20,000 x 10 cells
// (items x dimensions): a rebuild (statistics, cell objects, layout) plus a
// full repaint into the backing image, against a bare loop that fills the
// same cell rectangles with QPainter; and a hover over the matrix (hit test
// and status text). The rebuild's counters report the bare loop's time, the
// ratio of the two and the bytes each cell object takes.
#include "QuorMethodBase.h"
#include "methods/QuorPermutationmatrix.h"
#include "platform/Application.h"
#include "support/GeneratedData.h"

#include "BareFill.h"

#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QMdiArea>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {

// The matrix open on generated data, as its toggle opens it.
class TMatrixBench : public TGeneratedData {
public:
    TMatrixBench(int Items, int Dims) : TGeneratedData(Dims, Items)
    {
        Area.resize(1100, 1000);
        Area.show();
        Manager = std::make_unique<TQuorClientManager>(&Area);
        Manager->Data = &Data;
        Manager->AppProperties = &Props;
        Manager->PanelHint = &Hint;
        auto plot = std::make_unique<TPermutationmatrix>(&Area);
        Plot = plot.get();
        Manager->AddClient(QStringLiteral("PermutationMatrix"), QStringLiteral("Permutation Matrix"), std::move(plot));
        Plot->Form()->resize(1000, 900);
        QCoreApplication::processEvents();
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

    QLabel Hint;
    QMdiArea Area;
    std::unique_ptr<TQuorClientManager> Manager;
    TPermutationmatrix* Plot = nullptr;
};

// The fixtures by size, built on first use. main frees them while the
// application object still stands: their windows cannot outlive it.
std::map<std::pair<int, int>, std::unique_ptr<TMatrixBench>>& Benches()
{
    static std::map<std::pair<int, int>, std::unique_ptr<TMatrixBench>> benches;
    return benches;
}

TMatrixBench& Bench(int Items, int Dims)
{
    auto& bench = Benches()[{Items, Dims}];
    if (!bench) {
        // One matrix at a time: the widest takes hundreds of megabytes.
        Benches().clear();
        Benches()[{Items, Dims}] = std::make_unique<TMatrixBench>(Items, Dims);
        return *Benches()[{Items, Dims}];
    }
    return *bench;
}

double BareMilliseconds(TMatrixBench& B)
{
    return BareFillMilliseconds(B.Size(), B.CellRects(), ToQColor(B.Props.GetValueColor(B.Props.DefaultColorIndex)));
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

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Benches().clear();
    return 0;
}
