// A full repaint of the scatterplot matrix into its backing image, with 8
// dimensions and 1,000 to 50,000 data items, against a bare loop that fills
// the same dot squares with QPainter. The repaint's counters report the bare
// loop's time and the ratio of the two.
#include "QuorMethodBase.h"
#include "methods/QuorScatterplotmatrix.h"
#include "platform/Application.h"
#include "support/GeneratedData.h"

#include "BareFill.h"

#include <QCoreApplication>
#include <QImage>
#include <QMdiArea>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kDims = 8;

// The matrix open on generated data, as its toggle opens it.
class TMatrixBench : public TGeneratedData {
public:
    explicit TMatrixBench(int Items) : TGeneratedData(kDims, Items)
    {
        Area.resize(1100, 1000);
        Area.show();
        Manager = std::make_unique<TQuorClientManager>(&Area);
        Manager->Data = &Data;
        Manager->AppProperties = &Props;
        auto plot = std::make_unique<TScatterplotmatrix>(&Area);
        Plot = plot.get();
        Manager->AddClient(QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"),
                           std::move(plot));
        Plot->Form()->resize(1000, 900);
        QCoreApplication::processEvents();
        Plot->Editor()->Repaint();
    }

    void Repaint() { Plot->Editor()->Repaint(); }

    // The squares the matrix fills for its dots, clipped as it clips them.
    std::vector<QRect> DotSquares() const
    {
        const TScatterplotLayout& L = Plot->Layout;
        std::vector<QRect> squares;
        std::vector<int> x(kDims), y(kDims);
        for (int p = 0; p < Data.PointCount(); ++p) {
            for (int k = 0; k < kDims; ++k) {
                const double v = Data.GetValue(p, Data.GetVisibleDim(k));
                x[size_t(k)] = L.ValueToX(Data, k, v);
                y[size_t(k)] = L.ValueToY(Data, k, v);
            }
            for (int c = 0; c < kDims; ++c)
                for (int r = c + 1; r < kDims; ++r) {
                    const QRect cell = ToQRect(L.CellRect(c, r)).adjusted(1, 1, -1, -1);
                    const QRect dot(x[size_t(c)] - L.DotHalf, y[size_t(r)] - L.DotHalf, L.DotSize, L.DotSize);
                    const QRect square = dot.intersected(cell);
                    if (!square.isEmpty())
                        squares.push_back(square);
                }
        }
        return squares;
    }

    QSize Size() const { return Plot->Editor()->size(); }

    QMdiArea Area;
    std::unique_ptr<TQuorClientManager> Manager;
    TScatterplotmatrix* Plot = nullptr;
};

// The fixtures by item count, built on first use. main frees them while the
// application object still stands: their windows cannot outlive it.
std::map<int, std::unique_ptr<TMatrixBench>>& Benches()
{
    static std::map<int, std::unique_ptr<TMatrixBench>> benches;
    return benches;
}

TMatrixBench& Bench(int Items)
{
    auto& bench = Benches()[Items];
    if (!bench)
        bench = std::make_unique<TMatrixBench>(Items);
    return *bench;
}

double BareMilliseconds(TMatrixBench& B)
{
    return BareFillMilliseconds(B.Size(), B.DotSquares(), ToQColor(B.Props.GetValueColor(B.Props.DefaultColorIndex)));
}

void BM_ScatterplotRepaint(benchmark::State& State)
{
    TMatrixBench& bench = Bench(int(State.range(0)));
    const double repaint = MeanMillisecondsPerIteration(State, [&] { bench.Repaint(); });
    const double bare = BareMilliseconds(bench);
    State.counters["repaint_ms"] = repaint;
    State.counters["bare_ms"] = bare;
    State.counters["ratio"] = repaint / bare;
}
BENCHMARK(BM_ScatterplotRepaint)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_BareSquares(benchmark::State& State)
{
    TMatrixBench& bench = Bench(int(State.range(0)));
    const std::vector<QRect> squares = bench.DotSquares();
    QImage image(bench.Size(), QImage::Format_RGB32);
    const QColor color = ToQColor(bench.Props.GetValueColor(bench.Props.DefaultColorIndex));
    for (auto _ : State)
        FillRectsBare(image, squares, color);
    State.counters["squares"] = double(squares.size());
}
BENCHMARK(BM_BareSquares)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

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
