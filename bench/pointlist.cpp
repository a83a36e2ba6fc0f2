// The data-item list at 10,000 and 100,000 data items by 20 dimensions: a
// full rebuild, and a transaction that selects or deselects every item as
// it reaches the list.
#include "PlotBench.h"

#include "QuorDataClients/QuorPointList.h"

#include <QWidget>

namespace {

constexpr int kDims = 20;

// The list attached to generated data, as the main window adds it.
class TPointListBench : public TGeneratedData {
public:
    explicit TPointListBench(int Items) : TGeneratedData(kDims, Items)
    {
        Panel.resize(400, 800);
        Panel.show();
        Manager = std::make_unique<TQuorClientManager>(&Panel);
        Manager->Data = &Data;
        Manager->AppProperties = &Props;
        auto list = std::make_unique<TPointListController>(&Panel);
        List = list.get();
        List->List()->resize(400, 800);
        Manager->AddClient(QStringLiteral("PointEditor"), QStringLiteral("Data items Editor"),
                           std::move(list));
    }

    // Every slider on over the lower half of its dimension's range, so that
    // each item is tested against each slider; or every slider off.
    void Sliders(bool On)
    {
        Data.WriteTransaction(&Writer, [&] {
            for (int d = 0; d < kDims; ++d) {
                Data.SetSliderOff(d, !On);
                Data.SetSliderLow(d, Data.GetDimMin(d));
                Data.SetSliderHigh(d, (Data.GetDimMin(d) + Data.GetDimMax(d)) / 2);
            }
        });
    }

    void SelectAll(bool Selected)
    {
        Data.WriteTransaction(&Writer, [&] {
            for (int v = 0; v < Data.PointCount(); ++v)
                Data.SetPointSelected(v, Selected);
        });
    }

    TObject Writer;
    QWidget Panel;
    std::unique_ptr<TQuorClientManager> Manager;
    TPointListController* List = nullptr;
};

void BM_PointListRebuild(benchmark::State& State)
{
    TPointListBench& bench = BenchOf<TPointListBench>(int(State.range(0)));
    bench.Sliders(State.range(1) != 0);
    for (auto _ : State) {
        bench.List->Rebuild();
        // The view lays out and paints what it shows.
        QCoreApplication::processEvents();
    }
}
// Second argument: sliders on (1) or off (0).
BENCHMARK(BM_PointListRebuild)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_PointListSelectAll(benchmark::State& State)
{
    TPointListBench& bench = BenchOf<TPointListBench>(int(State.range(0)));
    bool selected = false;
    for (auto _ : State) {
        selected = !selected;
        bench.SelectAll(selected);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_PointListSelectAll)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

QUORBEL_PLOT_BENCH_MAIN()
