// Clustering runs as the clustering panel makes them: weighted Euclidean
// distances over 10 generated dimensions, hierarchical clustering with each
// linkage and k-medoids with k = 8, inside one write transaction.
// bench/scipy_linkage.py times SciPy's linkage on the same distances; the
// "peak_MB" counter is the process's peak resident size, so it speaks for one
// benchmark only when run alone (--benchmark_filter).
#include "QuorData/QuorData.h"
#include "clustering/QuorDistance.h"
#include "clustering/QuorMethod.h"
#include "platform/Random.h"
#include "support/TestTable.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

namespace {
const char* const LinkageNames[] = {"min", "max", "average"};

// The peak resident size of the process so far (VmHWM), in MB.
double PeakMemoryMB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

void RunMethod(TData& Data, TMethode& Method, TMeasure& Measure, int k)
{
    TObject actor;
    Data.BeginWrite(&actor, false);
    Measure.Init(&Data);
    Method.SetMeasure(&Measure);
    Method.SetAllPoints(false);
    Method.Execute(k);
    Data.EndWrite(&actor);
    Data.SendEvents();
}

void BM_Hierarchical(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    TTestTable table(10, n);
    for (auto _ : state) {
        TWeightedEuclid measure;
        THierarchical method;
        method.SetLinkage(LinkageNames[state.range(1)]);
        RunMethod(table.Data, method, measure, 8);
    }
    state.SetLabel(LinkageNames[state.range(1)]);
    state.counters["peak_MB"] = PeakMemoryMB();
}
BENCHMARK(BM_Hierarchical)
    ->ArgsProduct({{1000, 2000, 4000, 8000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_KMedoids(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    TTestTable table(10, n);
    int iterations = 0;
    for (auto _ : state) {
        RandSeed = 1;
        TWeightedEuclid measure;
        TKMean method;
        RunMethod(table.Data, method, measure, 8);
        iterations = method.GetIterations();
    }
    state.counters["rounds"] = iterations;
    state.counters["peak_MB"] = PeakMemoryMB();
}
BENCHMARK(BM_KMedoids)->Arg(1000)->Arg(2000)->Arg(4000)->Arg(8000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The largest runs: k = 3 clusters, as a user asks for, over tables up to
// past where the distances fit in the free memory. A run that does not fit is
// skipped with the message the panel would show. Each size takes up to a few
// minutes and most of the memory: run one at a time by name, for example
// --benchmark_filter=BM_LargeRun/40000/3/. Methods: 0 to 2 the linkages
// "min", "max", "average", 3 k-medoids.
void BM_LargeRun(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const int kind = static_cast<int>(state.range(1));
    TTestTable table(10, n);
    for (auto _ : state) {
        RandSeed = 1;
        TWeightedEuclid measure;
        std::unique_ptr<TMethode> method;
        if (kind == 3) {
            method = std::make_unique<TKMean>();
        } else {
            auto hierarchical = std::make_unique<THierarchical>();
            hierarchical->SetLinkage(LinkageNames[kind]);
            method = std::move(hierarchical);
        }
        const QString refusal = method->MemoryRefusal(n, 3);
        if (!refusal.isEmpty()) {
            state.SkipWithError(refusal.toStdString().c_str());
            break;
        }
        RunMethod(table.Data, *method, measure, 3);
    }
    state.SetLabel(kind == 3 ? "k-medoids" : LinkageNames[kind]);
    state.counters["peak_MB"] = PeakMemoryMB();
}
BENCHMARK(BM_LargeRun)
    ->ArgsProduct({{20000, 40000, 60000, 100000}, {0, 1, 2, 3}})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// The merge loop alone, over the distances of a run.
void BM_MergeLoop(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    TTestTable table(10, n);
    TWeightedEuclid measure;
    measure.Init(&table.Data);
    TTriangleMatrix distances;
    distances.Resize(n);
    double max = -1.0;
    {
        TMeasureRun run(measure);
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j) {
                const double d = measure.Distance(i, j);
                distances.At(i, j) = d;
                if (d > max)
                    max = d;
            }
    }
    for (auto _ : state) {
        state.PauseTiming();
        TTriangleMatrix work = distances;
        state.ResumeTiming();
        TMergeLoop loop(work, max, static_cast<int>(state.range(1)));
        int a = 0;
        int b = 0;
        for (int m = 0; m < n - 8 && loop.NextPair(a, b); ++m)
            loop.Merge(a, b);
        benchmark::DoNotOptimize(a);
    }
    state.SetLabel(LinkageNames[state.range(1)]);
}
BENCHMARK(BM_MergeLoop)
    ->ArgsProduct({{1000, 2000, 4000, 8000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
