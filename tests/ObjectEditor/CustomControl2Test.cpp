#include "ObjectEditor/CustomControl2.h"

#include "QuorData/Utility.h"
#include "platform/MouseQueue.h"
#include "support/Gestures.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

void Move(TCustomControl2& control, QPoint p, Qt::MouseButtons held = Qt::NoButton)
{
    PostMouseEvent(&control, QEvent::MouseMove, p, Qt::NoButton, held);
}

// Runs the editor's drag loop in its press handler: while the left button
// is held, drain the movement and note where the mouse went.
class TDragControl : public TCustomControl2 {
public:
    using TCustomControl2::TCustomControl2;

    std::vector<TPoint> Steps;
    int Presses = 0;
    int Rounds = 0;
    int OverriddenMoves = 0;

    void MouseDownHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override
    {
        TCustomControl2::MouseDownHook(Sender, Button, Shift, X, Y);
        ++Presses;
        if (Button != mbLeft || !LeftButtonDown())
            return;
        while (LeftButtonDown() && Rounds < 1000) {
            ++Rounds;
            if (MouseMovedSince(5)) {
                while (MouseMovedSince(5))
                    ClearMouseMoved();
                Steps.push_back(MousePos);
            }
        }
    }

    void MouseMoveHook(TObject* Sender, TShiftState Shift, int X, int Y) override
    {
        ++OverriddenMoves;
        TCustomControl2::MouseMoveHook(Sender, Shift, X, Y);
    }
};

} // namespace

TEST(CustomControl2, StartsWithEverythingCleared)
{
    TCustomControl2 control;
    EXPECT_FALSE(control.ButtonDown[mbLeft] || control.ButtonDown[mbRight] || control.ButtonDown[mbMiddle]);
    EXPECT_FALSE(control.MouseMoved);
    EXPECT_FALSE(control.Resized);
    EXPECT_EQ(control.MousePos, Point(0, 0));
}

TEST(CustomControl2, MouseMovedSinceZeroOnlyReportsTheFlag)
{
    TCustomControl2 control;
    control.resize(50, 50);
    Move(control, {5, 5});
    {
        TPollScope handler;
        EXPECT_FALSE(control.MouseMovedSince(0));
        EXPECT_TRUE(control.MouseMovedSince(1));
        EXPECT_EQ(control.MousePos, Point(5, 5));
        // Not cleared by asking.
        EXPECT_TRUE(control.MouseMovedSince(0));
        control.ClearMouseMoved();
        EXPECT_FALSE(control.MouseMovedSince(0));
    }
}

TEST(CustomControl2, OnlyTheLastMoveCounts)
{
    TCustomControl2 control;
    control.resize(50, 50);
    Move(control, {5, 5});
    Move(control, {9, 9});
    Move(control, {9, 9});
    {
        TPollScope handler;
        EXPECT_FALSE(control.MouseMovedSince(3));
        EXPECT_EQ(control.MousePos, Point(9, 9));
        EXPECT_EQ(control.PrevMousePos, Point(9, 9));
    }
    Move(control, {12, 9});
    ASSERT_TRUE(ProcessEventsUntil([&] { return control.MousePos == Point(12, 9); }));
    EXPECT_TRUE(control.MouseMoved);
    EXPECT_EQ(control.PrevMousePos, Point(9, 9));
}

TEST(CustomControl2, ButtonsFollowPressAndRelease)
{
    TCustomControl2 control;
    control.resize(50, 50);
    PostMouseEvent(&control, QEvent::MouseButtonPress, {3, 3}, Qt::RightButton, Qt::RightButton);
    {
        TPollScope handler;
        EXPECT_TRUE(control.RightButtonDown());
        EXPECT_FALSE(control.LeftButtonDown());
        PostMouseEvent(&control, QEvent::MouseButtonRelease, {3, 3}, Qt::RightButton, Qt::NoButton);
        EXPECT_FALSE(control.RightButtonDown());
    }
}

TEST(CustomControl2, SizeChangeStaysLatchedUntilCleared)
{
    TCustomControl2 control;
    control.resize(40, 30);
    control.ShowAndMeasure();
    EXPECT_TRUE(control.isVisible());
    EXPECT_EQ(control.LastClientWidth, 40);
    EXPECT_EQ(control.LastClientHeight, 30);
    EXPECT_FALSE(control.SizeChanged());

    control.resize(50, 30);
    EXPECT_TRUE(control.SizeChanged());
    control.resize(60, 35);
    EXPECT_TRUE(control.SizeChanged());
    // The size remembered is the one seen with the change, not the later one.
    EXPECT_EQ(control.LastClientWidth, 50);
    control.ClearSizeChanged();
    EXPECT_TRUE(control.SizeChanged());
    EXPECT_EQ(control.LastClientWidth, 60);
    EXPECT_EQ(control.LastClientHeight, 35);
    control.ClearSizeChanged();
    EXPECT_FALSE(control.SizeChanged());
}

TEST(CustomControl2, DragLoopFollowsTheGestureAndEndsAtTheRelease)
{
    TDragControl control;
    control.resize(100, 100);
    // More moves than the first button test pumps, so that the loop runs.
    TGesture gesture(&control);
    for (int i = 1; i <= 12; ++i)
        gesture.MoveTo({10 + 3 * i, 10 + 2 * i});
    gesture.Release({46, 34}).Press({10, 10});
    EXPECT_EQ(control.Presses, 1);
    EXPECT_FALSE(control.ButtonDown[mbLeft]);
    ASSERT_FALSE(control.Steps.empty());
    EXPECT_EQ(control.Steps.back(), Point(46, 34));
    EXPECT_GE(control.Rounds, 1);
    EXPECT_LT(control.Rounds, 1000);
    // The hooks bound at creation reach the subclass's override.
    EXPECT_EQ(control.OverriddenMoves, 12);
    EXPECT_EQ(MouseQueue::QueuedMouseEvents(), 0);
}

TEST(CustomControl2, PressWhoseReleaseIsAlreadyPumpedIsNoDrag)
{
    TDragControl control;
    control.resize(100, 100);
    ClickGesture(&control, {10, 10});
    EXPECT_EQ(control.Presses, 1);
    EXPECT_EQ(control.Rounds, 0);
    EXPECT_TRUE(control.Steps.empty());
    EXPECT_EQ(MouseQueue::QueuedMouseEvents(), 0);
}

TEST(CustomControl2, SecondPressOfADoubleClickRunsThePressHook)
{
    class TPressCounter : public TCustomControl2 {
    public:
        std::vector<TShiftState> Presses;
        void MouseDownHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override
        {
            TCustomControl2::MouseDownHook(Sender, Button, Shift, X, Y);
            Presses.push_back(Shift & ssDouble);
        }
    } control;
    control.resize(60, 60);
    control.show();
    QWindow* window = control.windowHandle();
    ASSERT_NE(window, nullptr);
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    ASSERT_TRUE(ProcessEventsUntil([&] { return control.Presses.size() == 2 && !control.ButtonDown[mbLeft]; }));
    EXPECT_EQ(control.Presses, std::vector<TShiftState>({0, ssDouble}));
}

TEST(CustomControl2, EventsNotPumpedByThePressReachTheControlLater)
{
    TCustomControl2 control;
    control.resize(100, 100);
    // The plain control does not poll in its press handler.
    TGesture(&control).MoveTo({20, 20}).Release({20, 20}).Press({10, 10});
    EXPECT_TRUE(control.ButtonDown[mbLeft]);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !control.ButtonDown[mbLeft]; }));
    EXPECT_EQ(control.MousePos, Point(20, 20));
}

TEST(CustomControl2, ShiftKeyCanChangeInTheMiddleOfAGesture)
{
    class TShiftWatcher : public TCustomControl2 {
    public:
        std::vector<bool> ShiftSeen;
        void MouseDownHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override
        {
            TCustomControl2::MouseDownHook(Sender, Button, Shift, X, Y);
            while (ButtonDown[mbLeft]) {
                ProcessMouseMessages(1);
                ShiftSeen.push_back(ShiftKeyDown());
            }
        }
    } control;
    control.resize(60, 60);
    control.show();
    QWindow* window = control.windowHandle();
    ASSERT_NE(window, nullptr);
    TGesture(&control)
        .MoveTo({20, 20})
        .Then([&] { QTest::keyPress(window, Qt::Key_Shift, Qt::ShiftModifier); })
        .MoveTo({25, 25})
        .Then([&] { QTest::keyRelease(window, Qt::Key_Shift, Qt::NoModifier); })
        .Release({25, 25})
        .Press({10, 10});
    EXPECT_EQ(control.ShiftSeen, std::vector<bool>({false, true, true, false, false}));
    EXPECT_FALSE(ShiftKeyDown());
}
