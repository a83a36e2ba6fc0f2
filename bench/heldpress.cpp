// A mouse button held still in a plot, through the main window with its four
// plots open on 1,000 items by 8 dimensions: pressed on a parked slider of
// the parallel coordinates and held for two seconds, either still from the
// press on (the editor waits to see a click or a drag) or after the bar has
// been drawn up 20 pixels (the slider's drag loop waits for the next
// movement); then released. Timed: the hold. Reported: the processor time
// the hold costs, in percent of one core. Goal: under 5 %.
#include "MainWindowBench.h"
#include "methods/QuorParallelCoordinates.h"
#include "platform/MouseQueue.h"

#include <QMouseEvent>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>

namespace {

constexpr double kHoldSeconds = 2;

using TClock = std::chrono::steady_clock;

// User and system time of the process so far, in seconds.
double ProcessorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void PostMouse(QWidget* Target, QEvent::Type Type, QPoint Pos, Qt::MouseButtons Held)
{
    const QPointF local(Pos);
    QCoreApplication::postEvent(Target, new QMouseEvent(Type, local, local, QPointF(Target->mapToGlobal(Pos)),
                                                        Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                                                        Held, Qt::NoModifier));
}

void BM_HeldStill(benchmark::State& State)
{
    const bool dragFirst = State.range(0) != 0;
    TMainWindowBench& bench = MainWindowBenchOf(8, 1000);
    auto* plot = dynamic_cast<TParallelCoordinates*>(
        bench.Window->ClientManager->GetClient(QString::fromLatin1(kMainWindowPlots[0])));
    TGOEdit* editor = plot->Editor();
    double share = 0;
    for (auto _ : State) {
        bench.Data().WriteTransaction(nullptr, [&] { bench.Data().SetSliderOff(0, true); });
        TMainWindowBench::Settle();
        const TRect bar = plot->Sliders()[0]->BarRect;
        const QPoint from((bar.Left + bar.Right) / 2, (bar.Top + bar.Bottom) / 2);
        const QPoint to = dragFirst ? from - QPoint(0, 20) : from;
        // The hold starts once the drag's movement has been taken.
        const int leadMs = dragFirst ? 100 : 0;
        TClock::time_point holdStart;
        double cpuStart = 0;
        QTimer::singleShot(leadMs, editor, [&] {
            holdStart = TClock::now();
            cpuStart = ProcessorSeconds();
        });
        if (dragFirst)
            QTimer::singleShot(50, editor, [&] { PostMouse(editor, QEvent::MouseMove, to, Qt::LeftButton); });
        QTimer::singleShot(leadMs + int(1000 * kHoldSeconds), Qt::PreciseTimer, editor,
                           [&] { PostMouse(editor, QEvent::MouseButtonRelease, to, Qt::NoButton); });
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), QPointF(from), QPointF(editor->mapToGlobal(from)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        {
            TPollScope scope;
            QCoreApplication::sendEvent(editor, &press);
        }
        const double cpu = ProcessorSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(TClock::now() - holdStart).count();
        State.SetIterationTime(wall);
        share += cpu / wall;
        TMainWindowBench::Settle();
    }
    State.counters["cpu_percent"] = 100 * share / double(State.iterations());
}

} // namespace

BENCHMARK(BM_HeldStill)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

QUORBEL_MAINWINDOW_BENCH_MAIN()
