// Reordering many data items by 10 dimensions: sorting by one dimension,
// grouping by nearness to the selected items and the automatic permutation,
// each carried out as exchanges in one transaction; and one refit of the
// bound fitter over 100,000 items by 20 dimensions against a plain loop over
// the same visible values.
#include "QuorDataClients/ActionClient.h"
#include "QuorDataClients/DataActor.h"
#include "QuorDataClients/QuorSubSelection.h"
#include "QuorMethodBase.h"
#include "support/TestTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

// The action client and the bound fitter over a generated table. Every tenth
// item is hidden.
class TRig {
public:
    TRig(int Dims, int Points) : Table(Dims, Points)
    {
        Manager.Data = &Table.Data;
        Manager.AddClient("SubSelection", "Sub-Selection", std::make_unique<TQuorSubSelection>());
        auto action = std::make_unique<TQuorActionClient>();
        Action = action.get();
        Manager.AddClient("Action", "Action", std::move(action));
        auto fitter = std::make_unique<TDataActor>();
        Fitter = fitter.get();
        Manager.AddClient("DataActor", "DataActor", std::move(fitter));
        Reset();
    }

    // The starting order and state again, set without events.
    void Reset()
    {
        Table.Data.DataSrcChanged();
        for (int p = 0; p < Table.Data.PointCount(); p += 10)
            Table.Data.SetPointHidden(p, true);
    }

    TTestTable Table;
    TQuorClientManager Manager{nullptr};
    TQuorActionClient* Action = nullptr;
    TDataActor* Fitter = nullptr;
};

// Times Command on a fresh order each round; Prepare runs untimed after the
// reset.
void RunOrdering(benchmark::State& State, const std::function<void(TRig&)>& Prepare,
                 const std::function<void(TRig&)>& Command)
{
    TRig rig(10, int(State.range(0)));
    for (auto _ : State) {
        State.PauseTiming();
        rig.Reset();
        Prepare(rig);
        State.ResumeTiming();
        Command(rig);
    }
    State.SetItemsProcessed(State.iterations() * State.range(0));
}

void BM_SortDataItems(benchmark::State& State)
{
    RunOrdering(
        State, [](TRig& rig) { rig.Table.Data.SetDimSelected(3, true); },
        [](TRig& rig) { rig.Action->SortDataItems(true); });
}
BENCHMARK(BM_SortDataItems)->Arg(2000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_GroupPoints(benchmark::State& State)
{
    RunOrdering(
        State,
        [](TRig& rig) {
            for (int p = 5; p < rig.Table.Data.PointCount(); p += 100)
                rig.Table.Data.SetPointSelected(p, true);
        },
        [](TRig& rig) { rig.Action->GroupPoints(); });
}
BENCHMARK(BM_GroupPoints)->Arg(2000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_AutoPermutePoints(benchmark::State& State)
{
    RunOrdering(State, [](TRig&) {}, [](TRig& rig) { rig.Action->AutoPermutePoints(); });
}
BENCHMARK(BM_AutoPermutePoints)->Arg(2000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

constexpr int FitDims = 20;
constexpr int FitPoints = 100000;

// One refit pass once the bounds fit: every visible value read, no bound
// changed.
void BM_FitAllBounds(benchmark::State& State)
{
    TRig rig(FitDims, FitPoints);
    TObject writer;
    auto refit = [&] { rig.Table.Data.WriteTransaction(&writer, [&] { rig.Fitter->FitAllBounds(); }); };
    refit();
    for (auto _ : State)
        refit();
    State.SetItemsProcessed(State.iterations() * FitDims * rig.Table.Data.VisiblePointCount());
}
BENCHMARK(BM_FitAllBounds)->Unit(benchmark::kMillisecond);

// The baseline: the smallest and largest visible value of every dimension.
void BM_PlainLoopOverVisibleValues(benchmark::State& State)
{
    TRig rig(FitDims, FitPoints);
    TData& data = rig.Table.Data;
    for (auto _ : State) {
        for (int d = 0; d < data.DimCount(); ++d) {
            double lo = data.GetValue(data.GetVisiblePoint(0), d);
            double hi = lo;
            for (int i = 0; i < data.VisiblePointCount(); ++i) {
                const double v = data.GetValue(data.GetVisiblePoint(i), d);
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            benchmark::DoNotOptimize(lo);
            benchmark::DoNotOptimize(hi);
        }
    }
    State.SetItemsProcessed(State.iterations() * FitDims * data.VisiblePointCount());
}
BENCHMARK(BM_PlainLoopOverVisibleValues)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
