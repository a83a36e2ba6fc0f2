// A slider of the parallel coordinates dragged by hand with live tracking,
// through the real main window with its four plots open on 100,000 items by
// 8 dimensions: the bar is pressed, moved upward onto its axis at a steady
// pace for Seconds (a move every 10 ms, as a mouse reports them) and
// released. Every step writes the slider and every plot follows. Timed:
// from the release to the window settled. Goal: within 0.5 s. Also
// reported: the median and spread of the iterations, the steps taken,
// whether the slider ended where the mouse let go, and what one write of
// the slider by another client costs the window (goal: under 200 ms).
#include "MainWindowBench.h"
#include "methods/QuorParallelCoordinates.h"
#include "platform/MouseQueue.h"

#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int kItems = 100000;
constexpr int kDims = 8;

using TClock = std::chrono::steady_clock;

// Posts the moves and the release as their times come, from a step of the
// polling loop's queue that waits its turn again until all are out: moves
// that come while the program is busy pile up in the event queue as a
// hand's do.
class THandDrag {
public:
    struct TEvent {
        double At; // seconds after the press
        QPoint Pos;
        bool Release;
    };

    THandDrag(QWidget* Target, std::vector<TEvent> Events)
        : FTarget(Target), FEvents(std::move(Events))
    {
    }

    // Presses at From and returns when the press handler has; the release
    // time is then known.
    void Press(QPoint From)
    {
        FStart = TClock::now();
        Schedule();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(From), QPointF(From),
                          QPointF(FTarget->mapToGlobal(From)), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        TPollScope scope;
        QCoreApplication::sendEvent(FTarget, &press);
    }

    TClock::time_point ReleaseTime() const { return FStart + Seconds(FEvents.back().At); }

private:
    static TClock::duration Seconds(double s)
    {
        return std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(s));
    }

    void Schedule()
    {
        MouseQueue::EnqueueStep([this] { PostDue(); });
    }

    void PostDue()
    {
        const TClock::time_point now = TClock::now();
        while (FNext < FEvents.size() && FStart + Seconds(FEvents[FNext].At) <= now) {
            const TEvent& e = FEvents[FNext++];
            const QPointF local(e.Pos);
            const QPointF global(FTarget->mapToGlobal(e.Pos));
            QCoreApplication::postEvent(
                FTarget, e.Release ? new QMouseEvent(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton,
                                                     Qt::NoButton, Qt::NoModifier)
                                   : new QMouseEvent(QEvent::MouseMove, local, local, global, Qt::NoButton,
                                                     Qt::LeftButton, Qt::NoModifier));
        }
        if (FNext < FEvents.size())
            Schedule();
    }

    QWidget* FTarget;
    std::vector<TEvent> FEvents;
    size_t FNext = 0;
    TClock::time_point FStart;
};

// The mouse over Pos with no button held, as a hand comes before it presses.
void HoverMove(QWidget* Target, QPoint Pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(Pos), QPointF(Pos), QPointF(Target->mapToGlobal(Pos)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, &move);
}

// The middle value, or the mean of the two middle ones; 0 for none.
double Median(std::vector<double> Values)
{
    if (Values.empty())
        return 0;
    std::sort(Values.begin(), Values.end());
    const size_t n = Values.size();
    return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

// Counts the live steps the other plots hear of.
class TStepCounter : public TObject, public TQuorNoOpDataClient {
public:
    void CustomEvent(TQuorDataCustomEvent* Event) override
    {
        if (dynamic_cast<TQDCELiveTracking*>(Event))
            ++Steps;
    }
    int Steps = 0;
};

void BM_SliderDragSettles(benchmark::State& State)
{
    const double seconds = double(State.range(0)) / 1000;
    TMainWindowBench& bench = MainWindowBenchOf(kDims, kItems);
    auto* plot = dynamic_cast<TParallelCoordinates*>(
        bench.Window->ClientManager->GetClient(QString::fromLatin1(kMainWindowPlots[0])));
    TGOEdit* editor = plot->Editor();
    TStepCounter counter;
    bench.Data().RegisterClient(&counter);
    double steps = 0;
    double missed = 0;
    double handler = 0;
    std::vector<double> writes;
    std::vector<double> settles;
    for (auto _ : State) {
        // The first dimension's slider parked below its axis, as any other
        // client's write: what one slider write costs the window without
        // live tracking, the least a release can take. Before the first
        // drag it is parked already, and the write changes nothing.
        const bool parked = bench.Data().GetSliderOff(0);
        const auto before = TClock::now();
        bench.Data().WriteTransaction(&counter, [&] { bench.Data().SetSliderOff(0, true); });
        TMainWindowBench::Settle();
        if (!parked)
            writes.push_back(std::chrono::duration<double>(TClock::now() - before).count());
        const TRect bar = plot->Sliders()[0]->BarRect;
        const QPoint from((bar.Left + bar.Right) / 2, (bar.Top + bar.Bottom) / 2);
        const int rise = (plot->Layout.PlotRect.Bottom - plot->Layout.PlotRect.Top) / 2;
        std::vector<THandDrag::TEvent> events;
        const int moves = std::max(1, int(seconds * 100));
        for (int i = 1; i <= moves; ++i)
            events.push_back({seconds * i / moves, from - QPoint(0, rise * i / moves), false});
        const QPoint to = from - QPoint(0, rise);
        events.push_back({seconds + 0.01, to, true});
        HoverMove(editor, from);
        counter.Steps = 0;
        THandDrag drag(editor, events);
        drag.Press(from);
        const auto returned = TClock::now();
        TMainWindowBench::Settle();
        const auto settled = TClock::now();
        handler += std::chrono::duration<double>(returned - drag.ReleaseTime()).count();
        settles.push_back(std::chrono::duration<double>(settled - drag.ReleaseTime()).count());
        State.SetIterationTime(settles.back());
        steps += counter.Steps;
        // Where the bar's upper end went against where the mouse took it.
        missed += std::abs(plot->Sliders()[0]->HighY - double(bar.Top - rise));
    }
    bench.Data().UnregisterClient(&counter);
    State.counters["live_steps"] = steps / double(State.iterations());
    State.counters["missed_px"] = missed / double(State.iterations());
    State.counters["press_returns_ms"] = 1000 * handler / double(State.iterations());
    State.counters["settle_median_ms"] = 1000 * Median(settles);
    State.counters["settle_min_ms"] = 1000 * *std::min_element(settles.begin(), settles.end());
    State.counters["settle_max_ms"] = 1000 * *std::max_element(settles.begin(), settles.end());
    State.counters["one_write_median_ms"] = 1000 * Median(writes);
}

} // namespace

BENCHMARK(BM_SliderDragSettles)
    ->Arg(3000)
    ->Arg(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

QUORBEL_MAINWINDOW_BENCH_MAIN()
