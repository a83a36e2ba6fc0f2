#include "platform/MouseQueue.h"

#include "support/Gestures.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Records the mouse and key events it receives, in order.
class TRecorder : public QWidget {
public:
    TRecorder() { setMouseTracking(true); }

    std::vector<std::string> Seen;

protected:
    void mousePressEvent(QMouseEvent* e) override { Record("press", e); }
    void mouseReleaseEvent(QMouseEvent* e) override { Record("release", e); }
    void mouseMoveEvent(QMouseEvent* e) override { Record("move", e); }
    void keyPressEvent(QKeyEvent* e) override { Seen.push_back("key " + e->text().toStdString()); }
    void paintEvent(QPaintEvent*) override { Seen.push_back("paint"); }

private:
    void Record(const char* what, QMouseEvent* e)
    {
        const QPoint p = e->position().toPoint();
        Seen.push_back(std::string(what) + " " + std::to_string(p.x()) + "," + std::to_string(p.y()));
    }
};

void PostKey(QWidget* target, const QString& text)
{
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, text));
}

} // namespace

TEST(MouseQueue, EachRoundDeliversOneMouseEvent)
{
    TRecorder widget;
    widget.resize(50, 50);
    PostMouseEvent(&widget, QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::LeftButton);
    PostMouseEvent(&widget, QEvent::MouseMove, {2, 2}, Qt::NoButton, Qt::LeftButton);
    PostMouseEvent(&widget, QEvent::MouseButtonRelease, {3, 3}, Qt::LeftButton, Qt::NoButton);
    {
        TPollScope handler;
        MouseQueue::PumpMouseOrPaint();
        EXPECT_EQ(widget.Seen, std::vector<std::string>({"move 1,1"}));
        EXPECT_EQ(MouseQueue::QueuedMouseEvents(), 2);
        EXPECT_TRUE(MouseQueue::IsPolling());
        MouseQueue::PumpMouseOrPaint();
        MouseQueue::PumpMouseOrPaint();
        EXPECT_EQ(widget.Seen, std::vector<std::string>({"move 1,1", "move 2,2", "release 3,3"}));
        MouseQueue::PumpMouseOrPaint();
        EXPECT_EQ(widget.Seen.size(), 3u);
    }
    EXPECT_FALSE(MouseQueue::IsPolling());
}

TEST(MouseQueue, APaintWaitsWhileMouseEventsDo)
{
    TRecorder widget;
    widget.resize(50, 50);
    widget.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return !widget.Seen.empty(); }));
    widget.Seen.clear();
    TPollScope handler;
    PostMouseEvent(&widget, QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::LeftButton);
    PostMouseEvent(&widget, QEvent::MouseMove, {2, 2}, Qt::NoButton, Qt::LeftButton);
    widget.update();
    for (int round = 0; round < 3; ++round)
        MouseQueue::PumpMouseOrPaint();
    EXPECT_EQ(widget.Seen, std::vector<std::string>({"move 1,1", "move 2,2", "paint"}));
}

TEST(MouseQueue, OtherInputWaitsUntilThePollingEnds)
{
    TRecorder widget;
    widget.resize(50, 50);
    {
        TPollScope handler;
        PostKey(&widget, QStringLiteral("a"));
        PostMouseEvent(&widget, QEvent::MouseMove, {4, 4}, Qt::NoButton, Qt::NoButton);
        MouseQueue::PumpMouseOrPaint();
        MouseQueue::PumpMouseOrPaint();
        EXPECT_EQ(widget.Seen, std::vector<std::string>({"move 4,4"}));
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return widget.Seen.size() == 2; }));
    EXPECT_EQ(widget.Seen.back(), "key a");
}

TEST(MouseQueue, MouseEventsLeftInTheQueueArePostedAgainInOrder)
{
    TRecorder widget;
    widget.resize(50, 50);
    {
        TPollScope handler;
        PostMouseEvent(&widget, QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::NoButton);
        PostKey(&widget, QStringLiteral("k"));
        PostMouseEvent(&widget, QEvent::MouseMove, {2, 2}, Qt::NoButton, Qt::NoButton);
        PostMouseEvent(&widget, QEvent::MouseMove, {3, 3}, Qt::NoButton, Qt::NoButton);
        MouseQueue::PumpMouseOrPaint();
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return widget.Seen.size() == 4; }));
    EXPECT_EQ(widget.Seen, std::vector<std::string>({"move 1,1", "key k", "move 2,2", "move 3,3"}));
    EXPECT_EQ(MouseQueue::QueuedMouseEvents(), 0);
}

TEST(MouseQueue, WorkDeferredDuringPollingRunsAfterwards)
{
    int runs = 0;
    MouseQueue::RunAfterPolling([&] { ++runs; });
    EXPECT_EQ(runs, 1);
    {
        TPollScope handler;
        MouseQueue::PumpMouseOrPaint();
        MouseQueue::RunAfterPolling([&] { ++runs; });
        MouseQueue::PumpMouseOrPaint();
        EXPECT_EQ(runs, 1);
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return runs == 2; }));
}

namespace {
// A press handler that polls until the release, as the drag loops do.
class TDragger : public QWidget {
public:
    std::vector<QPoint> Moves;
    bool Released = false;

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        for (int round = 0; round < 100 && !Released; ++round)
            MouseQueue::PumpMouseOrPaint();
    }
    void mouseMoveEvent(QMouseEvent* e) override { Moves.push_back(e->position().toPoint()); }
    void mouseReleaseEvent(QMouseEvent*) override { Released = true; }
};
} // namespace

TEST(MouseQueue, ScriptedGestureRunsInsideThePressHandler)
{
    TDragger widget;
    widget.setMouseTracking(true);
    widget.resize(50, 50);
    TGesture(&widget).MoveTo({10, 12}).MoveTo({20, 22}).Release({20, 22}).MoveTo({30, 30}, Qt::NoButton).Press({5, 5});
    EXPECT_TRUE(widget.Released);
    EXPECT_EQ(widget.Moves, std::vector<QPoint>({QPoint(10, 12), QPoint(20, 22)}));
    // The hover after the release comes through the event loop.
    ASSERT_TRUE(ProcessEventsUntil([&] { return widget.Moves.size() == 3; }));
    EXPECT_EQ(widget.Moves.back(), QPoint(30, 30));
}

TEST(MouseQueue, AButtonHeldStillSleepsUntilTheNextEvent)
{
    // Held still for 50 ms: the press handler's hundred rounds would pass
    // in no time if each spun; sleeping, they last until the release.
    TDragger widget;
    widget.resize(50, 50);
    QTimer::singleShot(50, &widget, [&] {
        PostMouseEvent(&widget, QEvent::MouseButtonRelease, {5, 5}, Qt::LeftButton, Qt::NoButton);
    });
    TGesture(&widget).Press({5, 5});
    EXPECT_TRUE(widget.Released);
}

TEST(MouseQueue, ScriptedStepRunsInItsTurn)
{
    TDragger widget;
    widget.resize(50, 50);
    size_t movesBeforeStep = 99;
    TGesture(&widget)
        .MoveTo({10, 10})
        .Then([&] { movesBeforeStep = widget.Moves.size(); })
        .MoveTo({20, 20})
        .Release({20, 20})
        .Press({5, 5});
    EXPECT_EQ(movesBeforeStep, 1u);
    EXPECT_EQ(widget.Moves.size(), 2u);
}
