// Presses on the object editor: clicks, cycling, Ctrl-clicks, the rubber
// band, moving and resizing, driven by scripted gestures offscreen.

#include "ObjectEditorTestObjects.h"

#include "support/Images.h"

#include "platform/Application.h"
#include "platform/Exceptions.h"

#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr uint32_t gofAllSizes = gofSelectable | gofSizeX | gofSizeY;

class ObjectEditorPress : public TEditorFixture {
protected:
    void SetUp() override
    {
        Editor.resize(240, 180);
        Editor.show();
        Editor.Update();
        NoteSelectionChanges();
    }
};

} // namespace

TEST_F(ObjectEditorPress, ClicksCycleThroughOverlappingObjectsFromTheTop)
{
    // Added first, painted last: A is on top.
    TTestObject* a = Editor.Add(Rect(20, 20, 100, 100));
    TTestObject* b = Editor.Add(Rect(30, 30, 110, 110));
    TTestObject* c = Editor.Add(Rect(40, 40, 120, 120));
    const QPoint stack(60, 60);
    std::vector<TGraphicObject*> picked;
    for (int i = 0; i < 4; ++i) {
        Click(Editor, stack);
        picked.push_back(Editor.SelectedObjects().at(0));
        EXPECT_EQ(Editor.SelectedObjects().size(), 1u);
        EXPECT_EQ(Editor.Mode, emIdle);
    }
    EXPECT_EQ(picked, (std::vector<TGraphicObject*>{a, b, c, a}));
    EXPECT_EQ(b->Notices, (std::vector<bool>{true, false}));

    // With two selected the stack's top object is taken again.
    TTestObject* d = Editor.Add(Rect(150, 20, 170, 40));
    Click(Editor, {160, 30}, Qt::ControlModifier);
    ASSERT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{d, a}));
    EXPECT_TRUE(Editor.Multi);
    Click(Editor, stack);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{a}));
}

TEST_F(ObjectEditorPress, ClickInsideAMovableSelectionStepsThroughTheStack)
{
    constexpr uint32_t gofMoving = gofSelectable | gofMovable;
    TTestObject* a = Editor.Add(Rect(20, 20, 100, 100), gofMoving);
    TTestObject* b = Editor.Add(Rect(30, 30, 110, 110), gofMoving);
    TTestObject* alone = Editor.Add(Rect(150, 20, 170, 40), gofMoving);
    const QPoint stack(60, 60);
    // From the second click on, the press lands on the move frame, which
    // hands the click on to the objects under it.
    std::vector<TGraphicObject*> picked;
    for (int i = 0; i < 3; ++i) {
        Click(Editor, stack);
        picked.push_back(Editor.SelectedObjects().at(0));
    }
    EXPECT_EQ(picked, (std::vector<TGraphicObject*>{a, b, a}));

    // A click on the only object under its own move frame changes nothing.
    Click(Editor, {160, 30});
    Notices.clear();
    Click(Editor, {160, 30});
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{alone}));
    EXPECT_TRUE(Notices.empty());
    EXPECT_EQ(alone->Notices, std::vector<bool>{true});
}

TEST_F(ObjectEditorPress, AStepWithoutDepthLeftDoesNothing)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 40, 40), gofSelectable | gofMovable);
    TSelectionList hits = NewSelectionEntry(a, nullptr);
    Editor.ClickObject(0, hits.get(), Point(30, 30), 0);
    EXPECT_EQ(Editor.Selection, nullptr);
    Editor.SetSelection(a);
    bool ambiguous = false;
    TGraphicObject* frame = Editor.ObjectAt(Editor.Handles, Point(30, 30), gofSelectable, true, ambiguous);
    ASSERT_NE(frame, nullptr);
    const TRect before = a->Bounds;
    Editor.ClickHandle(0, frame, Point(30, 30), 0);
    EXPECT_EQ(a->Bounds, before);
    EXPECT_EQ(Editor.Handles, frame);
    EXPECT_EQ(Editor.Mode, emIdle);
}

TEST_F(ObjectEditorPress, CtrlClickTogglesOnlyCompatibleObjects)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 40, 40));
    TTestObject* b = Editor.Add(Rect(60, 20, 80, 40));
    TTestObject* loner = Editor.Add(Rect(100, 20, 120, 40));
    loner->Loner = true;
    Click(Editor, {30, 30});
    Notices.clear();

    Click(Editor, {110, 30}, Qt::ControlModifier);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{a}));
    EXPECT_TRUE(loner->Notices.empty());
    EXPECT_TRUE(Notices.empty());

    Click(Editor, {70, 30}, Qt::ControlModifier);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{b, a}));
    EXPECT_EQ(Editor.SelBounds, Rect(20, 20, 80, 40));
    Click(Editor, {30, 30}, Qt::ControlModifier);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{b}));
    EXPECT_EQ(a->Notices.back(), false);
    EXPECT_EQ(Editor.SelBounds, Rect(60, 20, 80, 40));
    EXPECT_FALSE(Editor.Multi);
    ASSERT_EQ(Notices.size(), 2u);
    EXPECT_EQ(Notices.back(), (std::vector<TGraphicObject*>{b}));
}

TEST_F(ObjectEditorPress, ClickOnEmptySpaceDeselectsAndRestoresThePixels)
{
    Editor.Add(Rect(40, 40, 80, 80), gofAllSizes | gofMovable);
    Editor.Repaint();
    const QImage before = Editor.BackingImage().copy();
    Click(Editor, {60, 60});
    ASSERT_NE(Editor.Handles, nullptr);
    EXPECT_NE(Editor.BackingImage(), before);
    Click(Editor, {200, 150});
    EXPECT_EQ(Editor.Selection, nullptr);
    EXPECT_EQ(Editor.Handles, nullptr);
    EXPECT_EQ(Notices.back(), std::vector<TGraphicObject*>{});
    EXPECT_EQ(Editor.BackingImage(), before);
}

TEST_F(ObjectEditorPress, HoverAfterAClickWithoutMotionFindsNothing)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 60, 60), gofSelectable | gofMovable);
    a->Cursor = crHandPoint;
    int hovers = 0;
    std::vector<TGraphicObject*> lastHits;
    Editor.OnObjectHover = [&](TObject*, TSelectionEntry* Hits, const TPoint&) {
        ++hovers;
        lastHits = ListedObjects(Hits);
    };
    Hover(Editor, {30, 30});
    EXPECT_EQ(lastHits, (std::vector<TGraphicObject*>{a}));
    EXPECT_EQ(Editor.Cursor(), crHandPoint);
    Click(Editor, {30, 30});
    ASSERT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{a}));
    EXPECT_EQ(Editor.HoverList, nullptr);
    EXPECT_TRUE(lastHits.empty());
    EXPECT_EQ(Editor.Cursor(), crArrow);
    // Once the mouse moves, the selected movable object is found as its move frame only.
    Hover(Editor, {35, 35});
    ASSERT_EQ(lastHits.size(), 1u);
    EXPECT_EQ(lastHits[0]->Kind(), gokMoveFrame);
    EXPECT_EQ(Editor.Cursor(), crSizeAll);
    EXPECT_GE(hovers, 3);
}

TEST_F(ObjectEditorPress, PressWhoseReleaseIsAlreadyPumpedIsNoPress)
{
    Editor.Add(Rect(20, 20, 60, 60));
    Hover(Editor, {30, 30});
    ClickGesture(&Editor, {30, 30});
    EXPECT_EQ(Editor.Selection, nullptr);
    EXPECT_EQ(Editor.Mode, emIdle);
}

TEST_F(ObjectEditorPress, PressWhileBusyIsReplayedAtTheNextMovement)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 60, 60));
    Hover(Editor, {100, 100});
    Editor.Mode = emClick;
    TGesture(&Editor).Paced().Release({100, 100}).Press({100, 100});
    EXPECT_TRUE(Editor.PendingClick);
    Editor.Mode = emIdle;
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Editor.ButtonDown[mbLeft]; }));
    // Replayed with the movement's position.
    Hover(Editor, {30, 30});
    EXPECT_FALSE(Editor.PendingClick);
    EXPECT_EQ(Editor.Mode, emIdle);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{a}));
}

TEST_F(ObjectEditorPress, RubberBandSelectsObjectsWhollyInsideAndDrawsADashedFrame)
{
    TTestObject* inside = Editor.Add(Rect(115, 115, 125, 125));
    TTestObject* touchesRight = Editor.Add(Rect(130, 110, 150, 120));
    TTestObject* touchesBottom = Editor.Add(Rect(110, 125, 120, 140));
    TTestObject* unselectable = Editor.Add(Rect(112, 112, 118, 118), 0);
    Editor.Repaint();
    const QImage before = Editor.BackingImage().copy();
    QImage during;
    Hover(Editor, {100, 100});
    TGesture(&Editor).Paced()
        .MoveTo({120, 120})
        .MoveTo({150, 140})
        .Then([&] { during = Editor.BackingImage().copy(); })
        .Release({150, 140})
        .Press({100, 100});

    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{inside}));
    EXPECT_TRUE(touchesRight->Notices.empty());
    EXPECT_TRUE(touchesBottom->Notices.empty());
    EXPECT_TRUE(unselectable->Notices.empty());
    ASSERT_EQ(Notices.size(), 1u);

    // Four pixels inverted, four left, from the start corner on.
    const QRgb white = qRgb(255, 255, 255);
    const QRgb black = qRgb(0, 0, 0);
    EXPECT_EQ(during.pixel(100, 100), black);
    EXPECT_EQ(during.pixel(103, 100), black);
    EXPECT_EQ(during.pixel(104, 100), white);
    EXPECT_EQ(during.pixel(107, 100), white);
    EXPECT_EQ(during.pixel(108, 100), black);
    // Gone after the release; the selection's mark and handles lie
    // between these rows.
    for (int x = 100; x <= 150; ++x) {
        EXPECT_EQ(Editor.BackingImage().pixel(x, 100), before.pixel(x, 100));
        EXPECT_EQ(Editor.BackingImage().pixel(x, 140), before.pixel(x, 140));
    }
}

TEST_F(ObjectEditorPress, CtrlDragKeepsTheSelectionAndTogglesWhatTheBandHolds)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 40, 40));
    TTestObject* b = Editor.Add(Rect(60, 30, 80, 45));
    TTestObject* c = Editor.Add(Rect(160, 20, 180, 40));
    Click(Editor, {30, 30});
    Click(Editor, {170, 30}, Qt::ControlModifier);
    ASSERT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{c, a}));
    // From an object while a selection exists: an additive band.
    Drag(Editor, {25, 25}, {{50, 30}, {90, 50}}, Qt::ControlModifier);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{b, c, a}));
    EXPECT_EQ(Editor.SelBounds, Rect(20, 20, 180, 45));
    // From empty space: both objects inside change sides.
    Drag(Editor, {15, 60}, {{20, 55}, {85, 18}}, Qt::ControlModifier);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{c}));
    EXPECT_EQ(a->Notices.back(), false);
    EXPECT_EQ(b->Notices, (std::vector<bool>{true, false}));
    EXPECT_EQ(Editor.SelBounds, c->Bounds);
}

TEST_F(ObjectEditorPress, PressAndDragOnAnUnselectedMovableObjectMovesItAtOnce)
{
    TTestObject* m = Editor.Add(Rect(20, 20, 40, 40), gofSelectable | gofMovable);
    int endDrags = 0;
    m->OnEndDrag = [&] { ++endDrags; };
    // The first movement (3, 0) makes the press a drag and is not applied.
    Drag(Editor, {25, 25}, {{28, 25}, {33, 28}, {38, 30}});
    EXPECT_EQ(m->Bounds, Rect(30, 25, 50, 45));
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{m}));
    EXPECT_EQ(Editor.SelBounds, m->Bounds);
    EXPECT_EQ(endDrags, 1);
    EXPECT_EQ(Editor.Mode, emIdle);
    // The handles follow the object.
    bool ambiguous = false;
    TGraphicObject* frame = Editor.ObjectAt(Editor.Handles, Point(31, 26), gofSelectable, true, ambiguous);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Kind(), gokMoveFrame);

    // Dragging the selected object again moves it through its move frame.
    Drag(Editor, {35, 30}, {{36, 30}, {46, 40}});
    EXPECT_EQ(m->Bounds, Rect(40, 35, 60, 55));
}

TEST_F(ObjectEditorPress, MovementQueuedDuringAStepIsTakenInOneStep)
{
    TTestObject* m = Editor.Add(Rect(20, 20, 40, 40), gofSelectable | gofMovable);
    // While a slow step ran, the hand moved on: a burst with each place
    // reported twice, and the release, wait together.
    int stepsBefore = 0;
    TGesture(&Editor).Paced().MoveTo({28, 25}).Then([&] {
        stepsBefore = m->Moves;
        for (int x = 30; x < 60; ++x)
            for (int twice = 0; twice < 2; ++twice)
                PostMouseEvent(&Editor, QEvent::MouseMove, {x, 25}, Qt::NoButton, Qt::LeftButton);
        PostMouseEvent(&Editor, QEvent::MouseButtonRelease, {59, 25}, Qt::LeftButton, Qt::NoButton);
    }).Press({25, 25});
    EXPECT_EQ(m->Moves - stepsBefore, 1);
    EXPECT_EQ(m->Bounds, Rect(51, 20, 71, 40));
}

TEST_F(ObjectEditorPress, SmallMoveRepaintsOnlyTheTouchedAreaAndLeavesOtherObjectsAlone)
{
    TTestObject* m = Editor.Add(Rect(20, 20, 40, 40), gofSelectable | gofMovable);
    TTestObject* still = Editor.Add(Rect(150, 100, 190, 140), gofSelectable, 0x00A050);
    Editor.Repaint();
    const QImage before = Editor.BackingImage().copy();

    // Old and new place overlap, so the area to repaint is not a rectangle.
    Drag(Editor, {25, 25}, {{28, 25}, {33, 28}, {35, 30}});
    ASSERT_EQ(m->Bounds, Rect(27, 25, 47, 45));
    for (int y = 90; y < 150; ++y)
        for (int x = 140; x < 200; ++x)
            ASSERT_EQ(Pixel(x, y), before.pixel(x, y)) << x << "," << y;

    // Its selection mark inverts the object's own colour, not a blank area.
    Click(Editor, {170, 120});
    ASSERT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{still}));
    EXPECT_EQ(PixelColor(Editor.BackingImage(), 170, 120), 0x00A050u ^ 0xFFFFFFu);
}

TEST_F(ObjectEditorPress, DragFromAnObjectWithoutMoveFrameBecomesARubberBand)
{
    TTestObject* fixed = Editor.Add(Rect(20, 20, 40, 40));
    TTestObject* other = Editor.Add(Rect(50, 50, 60, 60));
    Drag(Editor, {30, 30}, {{35, 35}, {70, 70}});
    EXPECT_EQ(fixed->Bounds, Rect(20, 20, 40, 40));
    EXPECT_EQ(fixed->Notices, (std::vector<bool>{true, false}));
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{other}));
}

TEST_F(ObjectEditorPress, DropTargetsAreFoundWhileTheDraggedObjectStandsAtTheDrop)
{
    constexpr uint32_t gofLabel = 64;
    TTestObject* target = Editor.Add(Rect(100, 20, 140, 40), gofSelectable | gofLabel);
    TTestObject* label = Editor.Add(Rect(20, 20, 60, 40), gofSelectable | gofMovable | gofLabel);
    TGraphicObject* found = nullptr;
    label->OnEndDrag = [&] {
        const TRect b = label->Bounds;
        TSelectionList hits = Editor.ObjectsAt(Point((b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2), gofLabel);
        for (TSelectionEntry* e = hits.get(); e; e = e->Next.get())
            if (e->Object != label) {
                found = e->Object;
                break;
            }
        Abort();
    };
    Drag(Editor, {30, 30}, {{31, 30}, {71, 30}, {111, 30}});
    EXPECT_EQ(found, target);
    // The silent abort ended the press quietly.
    EXPECT_EQ(Editor.Mode, emIdle);
    EXPECT_FALSE(Editor.PendingClick);
}

TEST_F(ObjectEditorPress, ResizeByTheBottomRightHandle)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 30, 30), gofAllSizes);
    Click(Editor, {25, 25});
    ASSERT_NE(Editor.Handles, nullptr);
    // The bottom-right square lies against the corner, outside the object.
    const QPoint corner(31, 31);
    Drag(Editor, corner, {{32, 32}, {37, 37}});
    EXPECT_EQ(a->Bounds, Rect(20, 20, 35, 35));
    EXPECT_EQ(Editor.SelBounds, Rect(20, 20, 35, 35));

    // Past the opposite corner: a normalised rectangle.
    Drag(Editor, {36, 36}, {{37, 37}, {12, 17}});
    EXPECT_EQ(a->Bounds, Rect(10, 15, 20, 20));
}

TEST_F(ObjectEditorPress, ResizeKeepsEveryObjectAtLeastOneUnit)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 30, 30), gofAllSizes);
    Click(Editor, {25, 25});
    // The right edge dragged onto the left one.
    Drag(Editor, {31, 25}, {{32, 25}, {22, 25}});
    EXPECT_EQ(a->Bounds, Rect(20, 20, 21, 30));
}

TEST_F(ObjectEditorPress, ShiftOnACornerScalesBothSidesByTheLargerFactor)
{
    TTestObject* a = Editor.Add(Rect(40, 40, 60, 50), gofAllSizes);
    TTestObject* b = Editor.Add(Rect(100, 100, 110, 110), gofAllSizes);
    Click(Editor, {50, 45});
    ASSERT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{a}));
    QWindow* window = Editor.windowHandle();
    ASSERT_NE(window, nullptr);

    QTest::keyPress(window, Qt::Key_Shift, Qt::ShiftModifier);
    Drag(Editor, {61, 51}, {{62, 52}, {72, 54}});
    QTest::keyRelease(window, Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(a->Bounds, Rect(40, 40, 70, 55));
    EXPECT_EQ(b->Bounds, Rect(100, 100, 110, 110));

    // Pressing and releasing Shift without moving re-applies the rule.
    TRect withShift;
    TRect afterShift;
    Hover(Editor, {71, 56});
    TGesture(&Editor).Paced()
        .MoveTo({72, 57})
        .MoveTo({82, 59})
        .Then([&] { QTest::keyPress(window, Qt::Key_Shift, Qt::ShiftModifier); })
        .Then([&] { withShift = a->Bounds; })
        .Then([&] { QTest::keyRelease(window, Qt::Key_Shift, Qt::NoModifier); })
        .Then([&] { afterShift = a->Bounds; })
        .Release({82, 59})
        .Press({71, 56});
    // A 30 by 15 union dragged by (10, 2): 40 by 17, or 40 by 20 in proportion.
    EXPECT_EQ(withShift, Rect(40, 40, 80, 60));
    EXPECT_EQ(afterShift, Rect(40, 40, 80, 57));
    EXPECT_EQ(a->Bounds, Rect(40, 40, 80, 57));
}

TEST_F(ObjectEditorPress, ResizeScalesSeveralObjectsWithTheirUnion)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 40, 30), gofAllSizes);
    TTestObject* b = Editor.Add(Rect(40, 30, 60, 40), gofAllSizes);
    Click(Editor, {30, 25});
    Click(Editor, {50, 35}, Qt::ControlModifier);
    ASSERT_EQ(Editor.SelBounds, Rect(20, 20, 60, 40));
    // The union's right handle, doubled in width.
    Drag(Editor, {61, 30}, {{62, 30}, {102, 30}});
    EXPECT_EQ(a->Bounds, Rect(20, 20, 60, 30));
    EXPECT_EQ(b->Bounds, Rect(60, 30, 100, 40));
    EXPECT_EQ(Editor.SelBounds, Rect(20, 20, 100, 40));
}

TEST_F(ObjectEditorPress, FailureOtherThanTheSilentAbortReachesTheHandlerAndLeavesTheEditorIdle)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 40, 40));
    a->OnSetSelected = [](bool) { throw std::runtime_error("broken object"); };
    QString reported;
    TApplication::SetExceptionHandler([&](const std::exception& e) { reported = ExceptionMessage(e); });
    Click(Editor, {30, 30});
    TApplication::SetExceptionHandler({});
    EXPECT_EQ(reported, QStringLiteral("broken object"));
    EXPECT_EQ(Editor.Mode, emIdle);
    EXPECT_FALSE(Editor.PendingClick);
    // The next press is handled, not taken for one that came while busy.
    a->OnSetSelected = nullptr;
    TTestObject* b = Editor.Add(Rect(100, 20, 120, 40));
    Click(Editor, {110, 30});
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{b}));
}
