// Copy to the clipboard and print to a PDF file of each of the four plots,
// 8 dimensions, 2,000 and 100,000 data items, as the menu commands run them
// (the print dialog answered by a script). Counters: the time, the memory
// at the peak beyond what the open plot holds (resident set, from the
// kernel's high-water mark reset before each run), and for a copy the
// clipboard's PNG and SVG bytes (an SVG of 0 bytes was left out).
#include "PlotBench.h"

#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorScatterplotmatrix.h"
#include "ObjectEditor/ObjectEditor.h"
#include "platform/DialogService.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPrinter>
#include <QTemporaryDir>

#include <malloc.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int kDims = 8;

// A field of /proc/self/status in megabytes.
double StatusMegabytes(const std::string& Field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(Field + ":", 0) == 0)
            return std::stod(line.substr(Field.size() + 1)) / 1024.0;
    return 0;
}

// Lets the high-water mark start again from the resident set.
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// One plot at a time: at 100,000 items each holds hundreds of megabytes.
std::shared_ptr<void>& CurrentBench()
{
    static std::shared_ptr<void> bench;
    return bench;
}

template <class TPlot>
TPlotBench<TPlot>& Bench(int Items, const char* Key, const char* Caption)
{
    auto& current = CurrentBench();
    static TPlotBench<TPlot>* open = nullptr;
    if (current && open && open->Data.PointCount() == Items && current.get() == open)
        return *open;
    if (!current)
        BenchFreers().push_back([] { CurrentBench().reset(); });
    current.reset();
    auto bench =
        std::make_shared<TPlotBench<TPlot>>(kDims, Items, QString::fromLatin1(Key), QString::fromLatin1(Caption));
    open = bench.get();
    current = bench;
    return *bench;
}

template <class TPlot>
void Run(benchmark::State& State, const char* Key, const char* Caption, bool Print)
{
    TPlotBench<TPlot>& bench = Bench<TPlot>(int(State.range(0)), Key, Caption);
    QTemporaryDir dir;
    TScriptedResponder responder;
    Dialogs::SetResponder(&responder);
    const auto restore = qScopeGuard([] { Dialogs::SetResponder(nullptr); });
    double peak = 0;
    for (auto _ : State) {
        QGuiApplication::clipboard()->clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("plot.pdf")));
        responder.Push(true);
        // What earlier runs freed is given back first, so that it is not
        // counted as held.
        malloc_trim(0);
        const double before = StatusMegabytes("VmRSS");
        ResetPeak();
        if (Print)
            bench.Plot->Print(&printer);
        else
            bench.Plot->CopyToClipboard(QGuiApplication::clipboard());
        peak = std::max(peak, StatusMegabytes("VmHWM") - before);
    }
    State.counters["peak_mb"] = peak;
    if (!Print) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        State.counters["png_mb"] = double(data->data(QStringLiteral("image/png")).size()) / (1024 * 1024);
        // The picture's size: the editor's, which may be scrolled, or the
        // window's for the plot that is its own control.
        const QSize size = bench.Plot->Editor() ? bench.Plot->Editor()->size() : bench.Plot->Form()->size();
        State.counters["width"] = size.width();
        State.counters["height"] = size.height();
        State.counters["svg_mb"] = double(data->data(QStringLiteral("image/svg+xml")).size()) / (1024 * 1024);
    }
}

#define COPY_PRINT_BENCH(Name, Plot, Key, Caption)                                                            \
    void BM_Copy##Name(benchmark::State& State) { Run<Plot>(State, Key, Caption, false); }                     \
    void BM_Print##Name(benchmark::State& State) { Run<Plot>(State, Key, Caption, true); }                     \
    BENCHMARK(BM_Copy##Name)->Arg(2000)->Arg(100000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond); \
    BENCHMARK(BM_Print##Name)->Arg(2000)->Arg(100000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)

COPY_PRINT_BENCH(Scatterplot, TScatterplotmatrix, "ScatterplotMatrix", "Scatterplot Matrix");
COPY_PRINT_BENCH(Parallel, TParallelCoordinates, "ParallelCoordinates", "Parallel Coordinates");
COPY_PRINT_BENCH(Permutation, TPermutationmatrix, "PermutationMatrix", "Permutation Matrix");
COPY_PRINT_BENCH(Andrews, TAndrewsCurves, "AndrewsCurves", "Andrews' Curves");

} // namespace

QUORBEL_PLOT_BENCH_MAIN()
