// The scripted gesture driver's pacing, seen by a press handler that polls
// in bursts of five rounds as the editors' drag loops do.

#include "platform/MouseQueue.h"

#include "support/Gestures.h"

#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class TBurstPoller : public QWidget {
public:
    TBurstPoller()
    {
        setMouseTracking(true);
        resize(60, 60);
    }

    bool HeldAtFirstPoll = false;
    // The position after every burst that brought movement.
    std::vector<QPoint> SeenPerBurst;
    std::vector<QPoint> Hovers;

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        FHeld = true;
        Burst();
        HeldAtFirstPoll = FHeld;
        for (int bursts = 0; bursts < 1000 && FHeld; ++bursts) {
            FMoved = false;
            Burst();
            if (FMoved)
                SeenPerBurst.push_back(FPos);
        }
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        FPos = e->position().toPoint();
        FMoved = true;
        if (!e->buttons())
            Hovers.push_back(FPos);
    }
    void mouseReleaseEvent(QMouseEvent*) override { FHeld = false; }

private:
    static void Burst()
    {
        for (int i = 0; i < 5; ++i)
            MouseQueue::PumpMouseOrPaint();
    }

    bool FHeld = false;
    bool FMoved = false;
    QPoint FPos;
};

} // namespace

TEST(Gestures, UnpacedEventsArriveInConsecutiveRounds)
{
    TBurstPoller widget;
    TGesture(&widget).MoveTo({10, 10}).MoveTo({20, 20}).Release({20, 20}).Press({5, 5});
    EXPECT_FALSE(widget.HeldAtFirstPoll);
    EXPECT_TRUE(widget.SeenPerBurst.empty());
}

TEST(Gestures, PacedEventsAreSeenOneAtATimeWithTheButtonHeld)
{
    TBurstPoller widget;
    TGesture(&widget).MoveTo({10, 10}).Paced().MoveTo({20, 20}).MoveTo({30, 25}).Release({30, 25}).Press({5, 5});
    EXPECT_TRUE(widget.HeldAtFirstPoll);
    EXPECT_EQ(widget.SeenPerBurst, (std::vector<QPoint>{{10, 10}, {20, 20}, {30, 25}}));
    EXPECT_EQ(MouseQueue::QueuedMouseEvents(), 0);
}

TEST(Gestures, PacedDragHoversToThePressPointFirst)
{
    TBurstPoller widget;
    PacedDragGesture(&widget, {5, 6}, {{15, 16}, {25, 26}});
    EXPECT_EQ(widget.Hovers, std::vector<QPoint>{QPoint(5, 6)});
    EXPECT_TRUE(widget.HeldAtFirstPoll);
    EXPECT_EQ(widget.SeenPerBurst, (std::vector<QPoint>{{15, 16}, {25, 26}}));
    PacedClickGesture(&widget, {40, 40});
    EXPECT_EQ(widget.Hovers.back(), QPoint(40, 40));
    EXPECT_TRUE(widget.HeldAtFirstPoll);
}
