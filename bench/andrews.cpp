// A full repaint of Andrews' curves into the control's backing image, with
// 10 dimensions and 1,000 to 20,000 data items, at the fine and the coarse
// sample density, against a bare loop that draws the same polylines with
// QPainter. The repaint's counters report the bare loop's time and the
// ratio of the two.
#include "QuorMethodBase.h"
#include "methods/QuorAndrewsCurves.h"
#include "platform/Application.h"
#include "support/GeneratedData.h"

#include <QCoreApplication>
#include <QImage>
#include <QMdiArea>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace {

constexpr int kDims = 10;

// The plot open on generated data, as its toggle opens it.
class TCurvesBench : public TGeneratedData {
public:
    explicit TCurvesBench(int Items) : TGeneratedData(kDims, Items)
    {
        Area.resize(1100, 1000);
        Area.show();
        Manager = std::make_unique<TQuorClientManager>(&Area);
        Manager->Data = &Data;
        Manager->AppProperties = &Props;
        auto plot = std::make_unique<TAndrewsCurves>(&Area);
        Plot = plot.get();
        Manager->AddClient(QStringLiteral("AndrewsCurves"), QStringLiteral("Andrews' Curves"), std::move(plot));
        Plot->Form()->resize(1000, 900);
        QCoreApplication::processEvents();
        Plot->CurvesControl()->Repaint();
    }

    void Repaint(float Density)
    {
        Plot->SampleDensity = Density;
        Plot->CurvesControl()->Repaint();
        Plot->SampleDensity = Plot->FineDensity;
    }

    // The polylines the plot draws for its curves at the density.
    std::vector<QPolygon> Curves(float Density) const
    {
        const TAndrewsCurvesGeometry g = Plot->ComputeGeometry(Density);
        TAndrewsSampling sampling;
        sampling.Prepare(g, kDims);
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

    QSize Size() const { return Plot->CurvesControl()->size(); }

    QMdiArea Area;
    std::unique_ptr<TQuorClientManager> Manager;
    TAndrewsCurves* Plot = nullptr;
};

TCurvesBench& Bench(int Items)
{
    static std::map<int, std::unique_ptr<TCurvesBench>> benches;
    auto& bench = benches[Items];
    if (!bench)
        bench = std::make_unique<TCurvesBench>(Items);
    return *bench;
}

float Density(const TCurvesBench& B, bool Coarse)
{
    return Coarse ? B.Plot->CoarseDensity : B.Plot->FineDensity;
}

// Draws every curve as a one-pixel polyline in the curve colour on an image
// the size of the control.
void BareLoop(QImage& Image, const std::vector<QPolygon>& Curves, const QColor& Color)
{
    QPainter painter(&Image);
    painter.setPen(QPen(Color, 0));
    for (const QPolygon& curve : Curves)
        painter.drawPolyline(curve);
}

double BareMilliseconds(TCurvesBench& B, bool Coarse)
{
    const std::vector<QPolygon> curves = B.Curves(Density(B, Coarse));
    QImage image(B.Size(), QImage::Format_RGB32);
    const QColor color = ToQColor(B.Props.GetValueColor(B.Props.DefaultColorIndex));
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        image.fill(Qt::white);
        const auto start = std::chrono::steady_clock::now();
        BareLoop(image, curves, color);
        runs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

// Arguments: items, coarse (0 or 1).
void BM_AndrewsRepaint(benchmark::State& State)
{
    TCurvesBench& bench = Bench(int(State.range(0)));
    const bool coarse = State.range(1) != 0;
    double total = 0;
    for (auto _ : State) {
        const auto start = std::chrono::steady_clock::now();
        bench.Repaint(Density(bench, coarse));
        total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    }
    const double repaint = total / double(State.iterations());
    const double bare = BareMilliseconds(bench, coarse);
    State.counters["repaint_ms"] = repaint;
    State.counters["bare_ms"] = bare;
    State.counters["ratio"] = repaint / bare;
}
BENCHMARK(BM_AndrewsRepaint)
    ->ArgsProduct({{1000, 10000, 20000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
