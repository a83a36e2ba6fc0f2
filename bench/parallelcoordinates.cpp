// A full repaint of the parallel coordinates into its backing image, with 10
// dimensions and 1,000 to 20,000 data items, against a bare loop that draws
// the same polylines with QPainter; one live-tracking slider step at 20,000
// items: the write, its delivery, the update and the repaint; both again with
// five sliders, whose halos stack up to six layers (goals: under 250 ms; one
// slider under 100 ms); and a repaint with a value far outside its axis's
// bounds (goal: under 5 ms).
#include "PlotBench.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/ScatterplotLayout.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace {

constexpr int kDims = 10;

// One polyline as the plot last painted it: its points and its layers.
struct TBareLine {
    QPolygon Points;
    std::vector<TColor> Layers;
};

// The plot with the slider of the first dimension over the middle third of
// its range, so that a third of the polylines carry a halo.
class TParallelBench : public TPlotBench<TParallelCoordinates> {
public:
    explicit TParallelBench(int Items)
        : TPlotBench(kDims, Items, QStringLiteral("ParallelCoordinates"), QStringLiteral("Parallel Coordinates"))
    {
        const double lo = Data.GetLBound(0);
        const double span = Data.GetUBound(0) - lo;
        TOtherActor writer;
        Data.WriteTransaction(&writer, [&] {
            Data.SetSliderLow(0, lo + span / 3);
            Data.SetSliderHigh(0, lo + 2 * span / 3);
            Data.SetSliderOff(0, false);
        });
        Repaint();
    }

    void Repaint()
    {
        Plot->Editor()->Invalidate();
        Plot->Editor()->Repaint();
    }

    std::vector<TBareLine> BareLines() const
    {
        std::vector<TBareLine> lines;
        for (TGraphicObject* o = Plot->Editor()->GetObjects(); o; o = o->Next) {
            const auto* line = dynamic_cast<const TGOParDataPoint*>(o);
            if (!line)
                continue;
            TBareLine bare;
            for (const TVertexF& v : line->Vertices)
                bare.Points << QPoint(RoundToPixel(v.x), RoundToPixel(v.y));
            // The layers of the last paint: its hit width tells how many.
            const int count = (line->HitWidth - 1) / (Plot->Layout.HaloStep - 1);
            bare.Layers.assign(line->ColorLayers.begin(), line->ColorLayers.begin() + count);
            lines.push_back(std::move(bare));
        }
        return lines;
    }

    // Every polyline, widest layer first, with plain QPainter pens.
    double BareMilliseconds() const
    {
        const std::vector<TBareLine> lines = BareLines();
        const int step = Plot->Layout.HaloStep;
        QImage image(Plot->Editor()->size(), QImage::Format_RGB32);
        return MedianMilliseconds([&] { image.fill(Qt::white); },
                                  [&] {
                                      QPainter painter(&image);
                                      for (const TBareLine& line : lines)
                                          for (size_t k = line.Layers.size(); k-- > 0;) {
                                              painter.setPen(QPen(ToQColor(line.Layers[k]), step * int(k) + 1,
                                                                  Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                                              painter.drawPolyline(line.Points);
                                          }
                                  });
    }

private:
    // Someone other than the plot, so that the plot takes in the slider.
    class TOtherActor : public TObject {};
};

void BM_ParallelRepaint(benchmark::State& State)
{
    TParallelBench& bench = BenchOf<TParallelBench>(int(State.range(0)));
    ReportRepaint(State, [&] { bench.Repaint(); }, [&] { return bench.BareMilliseconds(); });
}
BENCHMARK(BM_ParallelRepaint)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);

// One mouse step of a slider drag with live tracking: the slider moves a
// pixel (up and down in turn), writes its values with the notice, every
// client hears of it, and the whole plot repaints.
void LiveTrackingSteps(benchmark::State& State, TParallelBench& Bench)
{
    TGOEdit* editor = Bench.Plot->Editor();
    TGOParSlider* slider = Bench.Plot->Sliders()[0];
    slider->BeginDrag(0, dfLive);
    int step = 1;
    for (auto _ : State) {
        slider->MoveBy(0, step);
        slider->ShowDragFeedback(editor->Canvas(), dfLive);
        editor->Repaint();
        step = -step;
    }
    slider->EndDrag(0, dfLive);
}

void BM_LiveTrackingStep(benchmark::State& State)
{
    LiveTrackingSteps(State, BenchOf<TParallelBench>(int(State.range(0))));
}
BENCHMARK(BM_LiveTrackingStep)->Arg(20000)->Unit(benchmark::kMillisecond);

// Five sliders, on the first five dimensions, each over nine tenths of its
// range: most polylines carry five halos, up to six layers with the
// selection. Goals: a full repaint and a live step each under 250 ms.
class TFiveSliderBench : public TParallelBench {
public:
    explicit TFiveSliderBench(int Items)
        : TParallelBench(Items)
    {
        TOtherActor writer;
        Data.WriteTransaction(&writer, [&] {
            for (int d = 0; d < 5; ++d) {
                const double lo = Data.GetLBound(d);
                const double span = Data.GetUBound(d) - lo;
                Data.SetSliderLow(d, lo + span / 20);
                Data.SetSliderHigh(d, lo + 19 * span / 20);
                Data.SetSliderOff(d, false);
            }
        });
        Repaint();
    }

private:
    class TOtherActor : public TObject {};
};

void BM_ParallelRepaintFiveSliders(benchmark::State& State)
{
    TFiveSliderBench& bench = BenchOf<TFiveSliderBench>(int(State.range(0)));
    ReportRepaint(State, [&] { bench.Repaint(); }, [&] { return bench.BareMilliseconds(); });
}
BENCHMARK(BM_ParallelRepaintFiveSliders)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_LiveTrackingStepFiveSliders(benchmark::State& State)
{
    LiveTrackingSteps(State, BenchOf<TFiveSliderBench>(int(State.range(0))));
}
BENCHMARK(BM_LiveTrackingStepFiveSliders)->Arg(20000)->Unit(benchmark::kMillisecond);

// Four items on four dimensions, one of whose values, 1e8, lies far above
// its dimension's bounds 0 to 10: its lines run millions of pixels off the
// plot. A full repaint. Goal: under 5 ms.
class TFarOffBench : public TPlotBench<TParallelCoordinates> {
public:
    explicit TFarOffBench(int Items)
        : TPlotBench(4, Items, QStringLiteral("ParallelCoordinates"), QStringLiteral("Parallel Coordinates"))
    {
        Values.SetCell(1, 0, TVariant(1e8));
        TOtherActor writer;
        Data.WriteTransaction(&writer, [&] {
            Data.AdjustForValueChange();
            Data.SetLBound(1, 0);
            Data.SetUBound(1, 10);
        });
        Repaint();
    }

    void Repaint()
    {
        Plot->Editor()->Invalidate();
        Plot->Editor()->Repaint();
    }

private:
    class TOtherActor : public TObject {};
};

void BM_ParallelRepaintFarOff(benchmark::State& State)
{
    TFarOffBench& bench = BenchOf<TFarOffBench>(int(State.range(0)));
    for (auto _ : State)
        bench.Repaint();
}
BENCHMARK(BM_ParallelRepaintFarOff)->Arg(4)->Unit(benchmark::kMillisecond);

// Four items on four dimensions whose names are NameLength characters long,
// words of a dozen letters: the names' boxes hold a few of them. A full
// repaint. Goal: names of a megabyte repaint within a few milliseconds, the
// text measured and laid out only as far as its box shows it (what is left
// is a scan for line breaks at memory speed).
class TLongNameBench : public TPlotBench<TParallelCoordinates> {
public:
    explicit TLongNameBench(int NameLength)
        : TPlotBench(4, 4, QStringLiteral("ParallelCoordinates"), QStringLiteral("Parallel Coordinates"))
    {
        const QString word = QStringLiteral("Sepallength ");
        for (int d = 0; d < 4; ++d)
            DimNames.SetCell(d, 0, TVariant(word.repeated(NameLength / int(word.size()) + 1).left(NameLength)));
        Repaint();
    }

    void Repaint()
    {
        Plot->Editor()->Invalidate();
        Plot->Editor()->Repaint();
    }
};

void BM_ParallelRepaintLongNames(benchmark::State& State)
{
    TLongNameBench& bench = BenchOf<TLongNameBench>(int(State.range(0)));
    for (auto _ : State)
        bench.Repaint();
}
BENCHMARK(BM_ParallelRepaintLongNames)->Arg(16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

} // namespace

QUORBEL_PLOT_BENCH_MAIN()
