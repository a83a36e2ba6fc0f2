// A full repaint of Andrews' curves into the control's backing image, with
// 10 dimensions and 1,000 to 20,000 data items, at the fine and the coarse
// sample density, against a bare loop that draws the same polylines with
// QPainter. The repaint's counters report the bare loop's time and the
// ratio of the two. Also a repaint alone at 100,000 items.
#include "PlotBench.h"

#include "methods/QuorAndrewsCurves.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace {

constexpr int kDims = 10;

class TCurvesBench : public TPlotBench<TAndrewsCurves> {
public:
    explicit TCurvesBench(int Items)
        : TPlotBench(kDims, Items, QStringLiteral("AndrewsCurves"), QStringLiteral("Andrews' Curves"))
    {
        Plot->CurvesControl()->Repaint();
    }

    float Density(bool Coarse) const { return Coarse ? Plot->CoarseDensity : Plot->FineDensity; }

    void Repaint(bool Coarse)
    {
        Plot->SampleDensity = Density(Coarse);
        Plot->CurvesControl()->Repaint();
        Plot->SampleDensity = Plot->FineDensity;
    }

    // The polylines the plot draws for its curves.
    std::vector<QPolygon> Curves(bool Coarse) const
    {
        TAndrewsSampling sampling;
        sampling.Prepare(Plot->ComputeGeometry(Density(Coarse)), kDims);
        std::vector<QPolygon> curves;
        std::vector<float> x;
        std::vector<TPoint> points;
        for (int p = 0; p < Data.PointCount(); ++p) {
            AndrewsCoefficients(Data, p, true, x);
            sampling.Points(x, points);
            QPolygon polygon;
            for (const TPoint& pt : points)
                polygon << ToQPoint(pt);
            curves.push_back(polygon);
        }
        return curves;
    }

    // Draws every curve as a one-pixel polyline on an image the size of the
    // control.
    double BareMilliseconds(bool Coarse) const
    {
        const std::vector<QPolygon> curves = Curves(Coarse);
        QImage image(Plot->CurvesControl()->size(), QImage::Format_RGB32);
        return MedianMilliseconds([&] { image.fill(Qt::white); },
                                  [&] {
                                      QPainter painter(&image);
                                      painter.setPen(QPen(ItemColor(), 0));
                                      for (const QPolygon& curve : curves)
                                          painter.drawPolyline(curve);
                                  });
    }
};

// Arguments: items, coarse (0 or 1).
void BM_AndrewsRepaint(benchmark::State& State)
{
    TCurvesBench& bench = BenchOf<TCurvesBench>(int(State.range(0)));
    const bool coarse = State.range(1) != 0;
    ReportRepaint(State, [&] { bench.Repaint(coarse); }, [&] { return bench.BareMilliseconds(coarse); });
}
BENCHMARK(BM_AndrewsRepaint)->ArgsProduct({{1000, 10000, 20000}, {0, 1}})->Unit(benchmark::kMillisecond);

// A repaint alone at 100,000 items, the control about as large as one of
// four plots tiled in the main window. Arguments: items, coarse (0 or 1).
void BM_AndrewsRepaintLarge(benchmark::State& State)
{
    TCurvesBench& bench = BenchOf<TCurvesBench>(int(State.range(0)));
    bench.Plot->Form()->resize(656, 420);
    QCoreApplication::processEvents();
    const bool coarse = State.range(1) != 0;
    for (auto _ : State)
        bench.Repaint(coarse);
}
BENCHMARK(BM_AndrewsRepaintLarge)->ArgsProduct({{100000}, {0, 1}})->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

QUORBEL_PLOT_BENCH_MAIN()
