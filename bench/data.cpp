// Loading a large table into the data object and delivering one large
// transaction, against a plain loop over the same cells.
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "support/DataClients.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int Dims = 20;
constexpr int Points = 100000;

// The generated grids, made once: generating them is not what is measured.
struct TGrids {
    TTestDataSrc values;
    TTestTextSrc dimNames;
    TTestTextSrc pointNames;
    TGrids()
    {
        values.Generate(Dims, Points);
        dimNames.GenerateText(Dims, 1, "Dim ");
        pointNames.GenerateText(1, Points, "Item ");
    }
};

TGrids& Grids()
{
    static TGrids grids;
    return grids;
}

// A client that does nothing, so that the delivery itself is measured.
class TNoOpClient : public TObject, public TQuorNoOpDataClient {
public:
    int Calls = 0;
    void PointSelectionChange(TData*, TObject*, int, bool) override { ++Calls; }
};

class TActor : public TObject {};

// The baseline: every cell read once and converted.
void BM_PlainReadOfTheCells(benchmark::State& state)
{
    TTestDataSrc& src = Grids().values;
    TVariant cell;
    for (auto _ : state) {
        double sum = 0;
        for (int c = 0; c < Dims; ++c)
            for (int r = 0; r < Points; ++r) {
                src.GetCell(c, r, cell);
                sum += cell.toDouble();
            }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * Dims * Points);
}
BENCHMARK(BM_PlainReadOfTheCells)->Unit(benchmark::kMillisecond);

void BM_LoadTable(benchmark::State& state)
{
    TGrids& g = Grids();
    for (auto _ : state) {
        TData data;
        data.SetDataSrc(&g.values, &g.dimNames, &g.pointNames);
        benchmark::DoNotOptimize(data.Mean());
    }
    state.SetItemsProcessed(state.iterations() * Dims * Points);
}
BENCHMARK(BM_LoadTable)->Unit(benchmark::kMillisecond);

void BM_SelectEveryItemForFiveClients(benchmark::State& state)
{
    TGrids& g = Grids();
    TData data;
    data.SetDataSrc(&g.values, &g.dimNames, &g.pointNames);
    TNoOpClient clients[5];
    for (auto& c : clients)
        data.RegisterClient(&c);
    TActor actor;
    bool select = true;
    for (auto _ : state) {
        data.BeginWrite(&actor, false);
        for (int p = 0; p < Points; ++p)
            data.SetPointSelected(p, select);
        data.EndWrite(&actor);
        benchmark::DoNotOptimize(data.SendEvents());
        select = !select;
    }
    if (clients[0].Calls != int(state.iterations()) * Points)
        state.SkipWithError("not every selection was delivered");
    for (auto& c : clients)
        data.UnregisterClient(&c);
    state.SetItemsProcessed(state.iterations() * Points * 5);
}
BENCHMARK(BM_SelectEveryItemForFiveClients)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
