// A full repaint of the scatterplot matrix into its backing image, with 10
// dimensions and 1,000 to 50,000 data items, against a bare loop that writes
// the same dot squares straight into the image's scanlines. The repaint's
// counters report the bare loop's time and the ratio of the two.
#include "PlotBench.h"

#include "methods/QuorScatterplotmatrix.h"

#include <QImage>

namespace {

constexpr int kDims = 10;

class TMatrixBench : public TPlotBench<TScatterplotmatrix> {
public:
    explicit TMatrixBench(int Items)
        : TPlotBench(kDims, Items, QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"))
    {
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
};

void BM_ScatterplotRepaint(benchmark::State& State)
{
    TMatrixBench& bench = BenchOf<TMatrixBench>(int(State.range(0)));
    ReportRepaint(State, [&] { bench.Repaint(); },
                  [&] { return ScanlineFillMilliseconds(bench.Size(), bench.DotSquares(), bench.ItemColor()); });
}
BENCHMARK(BM_ScatterplotRepaint)->Arg(1000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_BareSquares(benchmark::State& State)
{
    TMatrixBench& bench = BenchOf<TMatrixBench>(int(State.range(0)));
    const std::vector<QRect> squares = bench.DotSquares();
    QImage image(bench.Size(), QImage::Format_RGB32);
    for (auto _ : State)
        FillRectsBare(image, squares, bench.ItemColor());
    State.counters["squares"] = double(squares.size());
}
BENCHMARK(BM_BareSquares)->Arg(1000)->Arg(20000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

QUORBEL_PLOT_BENCH_MAIN()
