// What each plot takes for a table against the estimate it compares with
// the memory free before it builds: the most that opening and painting it
// takes beyond the table (counted through the global allocation
// operators), the part its objects keep (what clearing them frees), and the
// backing image of its drawing control, at 100,000 x 8 (items x
// dimensions) and on a wide table, 8 x 2,000. One iteration each:
//   bench_plotmemory
#include "PlotBench.h"

#include "ObjectEditor/ObjectEditor.h"
#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorScatterplotmatrix.h"
#include "platform/CustomControl.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};

void Counted(int64_t Bytes)
{
    const int64_t live = gLive.fetch_add(Bytes) + Bytes;
    int64_t peak = gPeak.load();
    while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
    }
}
} // namespace

void* operator new(size_t Size)
{
    void* p = std::malloc(Size ? Size : 1);
    if (!p)
        throw std::bad_alloc();
    Counted(int64_t(malloc_usable_size(p)));
    return p;
}

void operator delete(void* P) noexcept
{
    if (!P)
        return;
    gLive.fetch_sub(int64_t(malloc_usable_size(P)));
    std::free(P);
}

void operator delete(void* P, size_t) noexcept
{
    operator delete(P);
}

namespace {

template <class TPlot>
void BM_PlotMemory(benchmark::State& State, const char* Key)
{
    const int items = int(State.range(0));
    const int dims = int(State.range(1));
    for (auto _ : State) {
        // The table alone, to take from what the bench holds.
        int64_t table = gLive.load();
        {
            const TGeneratedData probe(dims, items);
            table = gLive.load() - table;
        }
        const int64_t base = gLive.load();
        gPeak = base;
        TPlotBench<TPlot> bench(dims, items, QString::fromLatin1(Key), QString::fromLatin1(Key));
        // Opened and painted: its objects, window and first paint at their
        // peak. Images are not counted here: Qt allocates their pixels apart.
        const double opened = double(gPeak.load() - base - table);
        TPlot* plot = bench.Plot;
        double objects = 0;
        if (TGOEdit* editor = plot->Editor()) {
            const int64_t held = gLive.load();
            editor->ClearAll();
            objects = double(held - gLive.load());
            plot->Rebuild();
        }
        auto* control = dynamic_cast<TCustomControl*>(plot->Control());
        const double image = double(control->BackingImage().sizeInBytes());
        const double estimate = double(plot->ObjectBytes());
        State.counters["estimate_bytes"] = estimate;
        State.counters["opened_peak_bytes"] = opened;
        State.counters["objects_bytes"] = objects;
        State.counters["image_bytes"] = image;
        State.counters["estimate_ratio"] = estimate / (opened + image);
    }
}

template <class TPlot>
void Register(const char* Key)
{
    benchmark::RegisterBenchmark(Key, [Key](benchmark::State& State) { BM_PlotMemory<TPlot>(State, Key); })
        ->Args({100000, 8})
        ->Args({8, 2000})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    Register<TScatterplotmatrix>("ScatterplotMatrix");
    Register<TParallelCoordinates>("ParallelCoordinates");
    Register<TPermutationmatrix>("PermutationMatrix");
    Register<TAndrewsCurves>("AndrewsCurves");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
