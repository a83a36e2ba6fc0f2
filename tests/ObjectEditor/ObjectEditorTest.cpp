// The object editor's lists, selection, handles and painting.

#include "ObjectEditorTestObjects.h"

#include "platform/Exceptions.h"
#include "platform/Metafile.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const QRgb White = qRgb(255, 255, 255);
const QRgb Black = qRgb(0, 0, 0);
const QRgb Blue = qRgb(0, 0, 200);
const QRgb InvertedBlue = qRgb(255, 255, 55);
const QRgb Red = qRgb(200, 0, 0);

class ObjectEditor : public TEditorFixture {
protected:
    void SetUp() override
    {
        Editor.resize(200, 150);
        Editor.show();
        Editor.Repaint();
        NoteSelectionChanges();
    }
};

} // namespace

// ---- List routines ----------------------------------------------------------------

TEST(SelectionList, NextSelectedWrapsAndRemovalKeepsTheRest)
{
    TRectElement a(Rect(0, 0, 1, 1)), b(Rect(0, 0, 1, 1)), c(Rect(0, 0, 1, 1)), absent(Rect(0, 0, 1, 1));
    TSelectionList list = NewSelectionEntry(&a, NewSelectionEntry(&b, NewSelectionEntry(&c, nullptr)));
    EXPECT_EQ(SelectionCount(list.get()), 3);
    EXPECT_EQ(NextSelected(&a, list.get()), &b);
    EXPECT_EQ(NextSelected(&c, list.get()), &a);
    EXPECT_EQ(NextSelected(&absent, list.get()), nullptr);
    EXPECT_EQ(NextSelected(&a, nullptr), nullptr);

    list = RemoveSelectionEntry(&b, std::move(list));
    EXPECT_EQ(ListedObjects(list.get()), (std::vector<TGraphicObject*>{&a, &c}));
    list = RemoveSelectionEntry(&absent, std::move(list));
    list = RemoveSelectionEntry(&a, std::move(list));
    EXPECT_EQ(ListedObjects(list.get()), (std::vector<TGraphicObject*>{&c}));
    EXPECT_TRUE(SelectionContains(&c, list.get()));
    EXPECT_FALSE(SelectionContains(&a, list.get()));
    FreeSelectionList(list);
    EXPECT_EQ(list, nullptr);
}

TEST(SelectionList, LongListsAreFreedWithoutRecursion)
{
    TRectElement a(Rect(0, 0, 1, 1));
    TSelectionList list;
    for (int i = 0; i < 1000000; ++i)
        list = NewSelectionEntry(&a, std::move(list));
    FreeSelectionList(list);
    EXPECT_EQ(list, nullptr);
}

TEST(ObjectList, MovesToEitherEndAndAdoptsAnAbsentObject)
{
    TRectElement a(Rect(0, 0, 1, 1)), b(Rect(0, 0, 1, 1)), c(Rect(0, 0, 1, 1)), d(Rect(0, 0, 1, 1));
    a.Next = &b;
    b.Next = &c;
    auto order = [](TGraphicObject* head) {
        std::vector<TGraphicObject*> v;
        for (TGraphicObject* o = head; o; o = o->Next)
            v.push_back(o);
        return v;
    };
    TGraphicObject* head = MoveObjectToEnd(&a, &a);
    EXPECT_EQ(order(head), (std::vector<TGraphicObject*>{&b, &c, &a}));
    head = MoveObjectToFront(head, &c);
    EXPECT_EQ(order(head), (std::vector<TGraphicObject*>{&c, &b, &a}));
    head = MoveObjectToEnd(head, &d);
    EXPECT_EQ(order(head), (std::vector<TGraphicObject*>{&c, &b, &a, &d}));
    EXPECT_EQ(LastObject(head), &d);
    EXPECT_EQ(LastObject(nullptr), nullptr);
    EXPECT_EQ(MoveObjectToFront(nullptr, &d), &d);
}

// ---- Objects and hit tests ----------------------------------------------------------

TEST_F(ObjectEditor, LaterObjectsLieBelowUntilBroughtToFront)
{
    TTestObject* first = Editor.Add(Rect(20, 20, 60, 60), gofSelectable, 0xC80000);
    TTestObject* second = Editor.Add(Rect(40, 40, 80, 80), gofSelectable, 0x0000C8);
    EXPECT_EQ(first->OwnerWnd, &Editor);
    Editor.Repaint();
    EXPECT_EQ(Pixel(50, 50), Blue);
    EXPECT_EQ(ListedObjects(Editor.ObjectsAt(Point(50, 50), 0).get()),
              (std::vector<TGraphicObject*>{first, second}));

    Editor.BringToFront(second);
    Editor.Repaint();
    EXPECT_EQ(Pixel(50, 50), Red);
    EXPECT_EQ(ListedObjects(Editor.ObjectsAt(Point(50, 50), 0).get()),
              (std::vector<TGraphicObject*>{second, first}));
    Editor.SendToBack(second);
    EXPECT_EQ(Editor.GetObjects(), second);
}

TEST_F(ObjectEditor, HitTestsFollowMasksBoundsAndShapes)
{
    constexpr uint32_t gofLabel = 64;
    TTestObject* plain = Editor.Add(Rect(10, 10, 50, 50), 0);
    TTestObject* label = Editor.Add(Rect(30, 30, 70, 70), gofSelectable | gofLabel);
    EXPECT_EQ(ListedObjects(Editor.ObjectsAt(Point(40, 40), gofLabel).get()),
              (std::vector<TGraphicObject*>{label}));
    EXPECT_EQ(ListedObjects(Editor.ObjectsAt(Point(40, 40), 0).get()),
              (std::vector<TGraphicObject*>{plain, label}));
    // Right and bottom edges lie outside.
    EXPECT_EQ(Editor.ObjectsAt(Point(70, 40), 0), nullptr);
    bool ambiguous = false;
    EXPECT_EQ(Editor.ObjectAt(Editor.Objects, Point(40, 40), 0, false, ambiguous), plain);
    EXPECT_TRUE(ambiguous);
    EXPECT_EQ(Editor.ObjectAt(Editor.Objects, Point(40, 40), gofSelectable, false, ambiguous), label);
    EXPECT_FALSE(ambiguous);

    // The hover finds unselectable objects too; several give the help cursor.
    Hover(Editor, {40, 40});
    EXPECT_EQ(ListedObjects(Editor.HoverList.get()), (std::vector<TGraphicObject*>{plain, label}));
    EXPECT_EQ(Editor.Cursor(), crHelp);
    Hover(Editor, {150, 100});
    EXPECT_EQ(Editor.HoverList, nullptr);
    EXPECT_EQ(Editor.Cursor(), crArrow);
}

TEST_F(ObjectEditor, ClearAllFreesEveryObjectAndEmptiesTheSelection)
{
    int alive = 0;
    Editor.AddObject(std::make_unique<TCountedObject>(Rect(10, 10, 30, 30), alive), false);
    Editor.AddObject(std::make_unique<TCountedObject>(Rect(40, 10, 60, 30), alive), false);
    Editor.AddObject(nullptr, true);
    ASSERT_EQ(alive, 2);
    Editor.SetSelection(Editor.Objects);
    Hover(Editor, {15, 15});
    Editor.ClearAll();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(Editor.Objects, nullptr);
    EXPECT_EQ(Editor.Selection, nullptr);
    EXPECT_EQ(Editor.Handles, nullptr);
    EXPECT_EQ(Editor.HoverList, nullptr);
    EXPECT_EQ(Notices.back(), std::vector<TGraphicObject*>{});
    {
        TGOEdit owner;
        owner.AddObject(std::make_unique<TCountedObject>(Rect(10, 10, 30, 30), alive), false);
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

// ---- Selection -------------------------------------------------------------------------

TEST_F(ObjectEditor, SelectionBoundsAndFlagsFollowTheList)
{
    Editor.ComputeSelectionBounds(nullptr);
    EXPECT_FALSE(Editor.Multi);
    EXPECT_EQ(Editor.SelFlagsAnd, 0xFFFFFFFFu);
    EXPECT_EQ(Editor.SelFlagsOr, 0u);
    EXPECT_EQ(Editor.SelBounds, TRect{});

    TTestObject* a = Editor.Add(Rect(10, 10, 30, 30), gofSelectable | gofMovable | gofSizeX);
    TTestObject* b = Editor.Add(Rect(50, 40, 70, 60), gofSelectable | gofSizeX | gofSizeY);
    TTestObject* empty = Editor.Add(Rect(5, 5, 5, 5), gofSelectable);
    TSelectionList list = NewSelectionEntry(a, NewSelectionEntry(empty, NewSelectionEntry(b, nullptr)));
    Editor.ComputeSelectionBounds(list.get());
    EXPECT_TRUE(Editor.Multi);
    EXPECT_EQ(Editor.SelFlagsAnd, gofSelectable);
    EXPECT_EQ(Editor.SelFlagsOr, gofSelectable | gofMovable | gofSizeX | gofSizeY);
    EXPECT_EQ(Editor.SelBounds, Rect(10, 10, 70, 60));
}

TEST_F(ObjectEditor, SetSelectionDemandsAnEmptySelection)
{
    TTestObject* a = Editor.Add(Rect(10, 10, 30, 30));
    TTestObject* b = Editor.Add(Rect(50, 10, 70, 30));
    Editor.SetSelection(a);
    EXPECT_EQ(a->Notices, std::vector<bool>{true});
    EXPECT_EQ(Notices.back(), (std::vector<TGraphicObject*>{a}));
    try {
        Editor.SetSelection(b);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral(
            "ObjectEditor.SetSelection: there is supposed to be an empty selection at the beginning of this "
            "method (ObjectEditor, line ")));
    }
    EXPECT_TRUE(b->Notices.empty());
}

TEST_F(ObjectEditor, MarksAndHandlesAreShownAndRemovedInExclusiveOr)
{
    TTestObject* a = Editor.Add(Rect(40, 40, 80, 80));
    Editor.Repaint();
    const QImage before = Editor.BackingImage().copy();
    Editor.SetSelection(a);
    EXPECT_EQ(Pixel(60, 60), InvertedBlue);
    ASSERT_NE(Editor.Handles, nullptr);
    // An inert grey square against the top-left corner.
    EXPECT_EQ(Pixel(35, 35), qRgb(127, 127, 127));

    Editor.HideSelection(true);
    EXPECT_EQ(Editor.BackingImage(), before);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{a}));

    // Rebuilt unseen, then shown by a paint, then removed again.
    Editor.SelectionChanged(false, false);
    EXPECT_EQ(Editor.BackingImage(), before);
    EXPECT_NE(Editor.Handles, nullptr);
    Editor.Repaint();
    EXPECT_EQ(Pixel(60, 60), InvertedBlue);
    EXPECT_EQ(Pixel(35, 35), qRgb(127, 127, 127));
    Editor.Deselect();
    EXPECT_EQ(Editor.BackingImage(), before);
    EXPECT_EQ(a->Notices, (std::vector<bool>{true, false}));
}

TEST_F(ObjectEditor, SelectionChangedAfterDirectToggles)
{
    TTestObject* a = Editor.Add(Rect(10, 10, 30, 30), gofSelectable | gofSizeX | gofSizeY);
    TTestObject* b = Editor.Add(Rect(50, 40, 70, 60), gofSelectable | gofSizeX | gofSizeY);
    Editor.ToggleSelected(a);
    Editor.ToggleSelected(b);
    EXPECT_TRUE(Editor.IsSelected(a));
    EXPECT_TRUE(Notices.empty());
    EXPECT_TRUE(a->Notices.empty());
    Editor.SelectionChanged(true, true);
    EXPECT_EQ(Editor.SelBounds, Rect(10, 10, 70, 60));
    EXPECT_TRUE(Editor.Multi);
    ASSERT_EQ(Notices.size(), 1u);
    EXPECT_EQ(Notices[0], (std::vector<TGraphicObject*>{b, a}));
    // Several objects get the union's handles: the right one against its middle.
    bool ambiguous = false;
    TGraphicObject* right = Editor.ObjectAt(Editor.Handles, Point(72, 35), gofSelectable, true, ambiguous);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->Kind(), gokRight);

    Editor.ToggleSelected(a);
    EXPECT_EQ(Editor.SelectedObjects(), (std::vector<TGraphicObject*>{b}));
}

TEST_F(ObjectEditor, SelectInRectWithAdditiveTogglesWhatLiesInside)
{
    TTestObject* a = Editor.Add(Rect(10, 10, 20, 20));
    TTestObject* b = Editor.Add(Rect(30, 10, 40, 20));
    TSelectionList list = NewSelectionEntry(a, nullptr);
    // Corners given the wrong way round are put in order.
    list = Editor.SelectInRect(Editor.Objects, Rect(50, 30, 5, 5), true, std::move(list));
    EXPECT_EQ(ListedObjects(list.get()), (std::vector<TGraphicObject*>{b}));
    EXPECT_EQ(a->Notices, std::vector<bool>{false});
    EXPECT_EQ(b->Notices, std::vector<bool>{true});
}

TEST_F(ObjectEditor, UpdateAfterChangeRebuildsHandlesAroundMovedObjects)
{
    TTestObject* a = Editor.Add(Rect(10, 10, 30, 30), gofSelectable | gofMovable);
    Editor.SetSelection(a);
    a->MoveBy(50, 40);
    Editor.UpdateAfterChange();
    EXPECT_EQ(Editor.SelBounds, Rect(60, 50, 80, 70));
    bool ambiguous = false;
    TGraphicObject* frame = Editor.ObjectAt(Editor.Handles, Point(65, 55), gofSelectable, true, ambiguous);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Kind(), gokMoveFrame);
    EXPECT_EQ(frame->OwnerWnd, &Editor);
    EXPECT_FALSE(Editor.InvalidRegion().isEmpty());
}

TEST_F(ObjectEditor, ResizedWindowRebuildsTheHandlesAtTheNextShow)
{
    TTestObject* a = Editor.Add(Rect(10, 10, 30, 30));
    Editor.SetSelection(a);
    Editor.Update();
    const int frees = Editor.HandleFrees;
    Editor.Repaint();
    EXPECT_EQ(Editor.HandleFrees, frees);
    Editor.resize(220, 160);
    Editor.Repaint();
    EXPECT_EQ(Editor.HandleFrees, frees + 1);
    EXPECT_NE(Editor.Handles, nullptr);
    EXPECT_EQ(Pixel(20, 20), InvertedBlue);
}

// ---- Painting ----------------------------------------------------------------------------

TEST_F(ObjectEditor, PaintSwallowsEveryFailureAndLeavesMarksToIdleModes)
{
    TTestObject* a = Editor.Add(Rect(10, 10, 30, 30));
    Editor.SetSelection(a);
    Editor.Mode = emClick;
    Editor.Repaint();
    EXPECT_EQ(Pixel(20, 20), Blue);
    Editor.Mode = emIdle;
    Editor.Repaint();
    EXPECT_EQ(Pixel(20, 20), InvertedBlue);

    Editor.OnPaint = [](TObject*) { throw std::runtime_error("paint failed"); };
    EXPECT_NO_THROW(Editor.Repaint());
    EXPECT_EQ(Pixel(20, 20), White);
    Editor.OnPaint = [](TObject*) { Abort(); };
    EXPECT_NO_THROW(Editor.Repaint());
    Editor.OnPaintTo = [](TObject*, TCanvas&, TGOEParts) { throw std::runtime_error("copy failed"); };
    QImage image(200, 150, QImage::Format_RGB32);
    image.fill(White);
    TCanvas canvas(&image);
    EXPECT_NO_THROW(Editor.PaintTo(canvas, AllGOEParts));
}

TEST_F(ObjectEditor, PaintToDrawsOnlyTheChosenParts)
{
    TTestObject* a = Editor.Add(Rect(20, 20, 60, 60), gofSelectable, 0xC80000);
    Editor.Add(Rect(100, 20, 140, 60), gofSelectable, 0x0000C8);
    Editor.SetSelection(a);
    std::vector<TGOEParts> seen;
    Editor.OnPaintTo = [&](TObject*, TCanvas&, TGOEParts Parts) { seen.push_back(Parts); };

    auto onImage = [&](TGOEParts parts) {
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(White);
        {
            TCanvas canvas(&image);
            Editor.PaintTo(canvas, parts);
        }
        return image;
    };
    auto onPicture = [&](TGOEParts parts) {
        TMetafile metafile(QSize(200, 150), [&](TCanvas& canvas) { Editor.PaintTo(canvas, parts); });
        return metafile.ToImage();
    };

    for (const QImage& objects : {onImage(goepObjects), onPicture(goepObjects)}) {
        EXPECT_EQ(objects.pixel(40, 40), Blue);  // unmarked
        EXPECT_EQ(objects.pixel(120, 40), Red);
        EXPECT_EQ(objects.pixel(15, 15), White);  // no handle
        EXPECT_EQ(objects.pixel(80, 100), White);
    }
    EXPECT_EQ(Editor.BackgroundPaints, 0);
    for (const QImage& marks : {onImage(goepSelection), onPicture(goepSelection)}) {
        EXPECT_EQ(marks.pixel(40, 40), Black);  // white inverted
        EXPECT_EQ(marks.pixel(120, 40), White);
        EXPECT_EQ(marks.pixel(15, 15), White);
    }
    EXPECT_EQ(Editor.BackgroundPaints, 0);
    const QImage all = onImage(AllGOEParts);
    EXPECT_EQ(all.pixel(40, 40), InvertedBlue);
    EXPECT_EQ(all.pixel(15, 15), qRgb(127, 127, 127));
    EXPECT_EQ(Editor.BackgroundPaints, 1);
    EXPECT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen.back(), AllGOEParts);
}

TEST_F(ObjectEditor, AddObjectCanDrawAtOnceAndDoubleClicksReachTheHook)
{
    Editor.AddObject(std::make_unique<TTestObject>(Rect(10, 10, 20, 20), gofSelectable, 0x0000C8), true);
    EXPECT_EQ(Pixel(15, 15), Red);
    ASSERT_TRUE(Editor.OnDblClick);
    Editor.OnDblClick(&Editor);
    EXPECT_EQ(Editor.DoubleClicks, 1);
}
