#include "ObjectEditor/GraphicObject.h"

#include "ObjectEditor/StockObjects.h"
#include "support/Images.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Takes a handle list over and frees it with the test.
class THandleList {
public:
    explicit THandleList(TGraphicObject* head) : FHead(head) {}
    ~THandleList() { FreeGraphicObjectList(FHead); }
    THandleList(const THandleList&) = delete;
    THandleList& operator=(const THandleList&) = delete;

    std::vector<TGraphicObject*> Items() const
    {
        std::vector<TGraphicObject*> items;
        for (TGraphicObject* o = FHead; o; o = o->Next)
            items.push_back(o);
        return items;
    }
    std::vector<uint32_t> Kinds() const
    {
        std::vector<uint32_t> kinds;
        for (TGraphicObject* o : Items())
            kinds.push_back(o->Kind());
        return kinds;
    }

private:
    TGraphicObject* FHead;
};

QImage ImageAtDpi(int w, int h, int dpi)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    return image;
}

// An editor stand-in: owns a window and hands it to the objects.
class TOwner : public IGraphicObjectOwner {
public:
    TOwner() { Window.resize(100, 80); }
    TCustomControl* OwnerWindow() override { return &Window; }
    TCustomControl Window;
};

const TRect R = Rect(10, 20, 31, 41);

} // namespace

TEST(GraphicObject, NewObjectIsSelectableWithTheCrossCursor)
{
    TRectElement element(Rect(1, 2, 3, 4));
    EXPECT_EQ(element.Flags, gofSelectable);
    EXPECT_EQ(element.Cursor, crCross);
    EXPECT_EQ(element.Kind(), 0u);
    EXPECT_EQ(element.Bounds, Rect(1, 2, 3, 4));
    EXPECT_EQ(element.Next, nullptr);
    EXPECT_EQ(element.OwnerWnd, nullptr);
    EXPECT_TRUE(element.GetHint().isEmpty());
    EXPECT_TRUE(element.GetCaption().isEmpty());
    EXPECT_TRUE(element.CanSelectWith(&element));
}

TEST(GraphicObject, HandleListsInTheirOrder)
{
    const THandleList sizeX(CreateHandles(gofSizeX, 10, 10, R));
    EXPECT_EQ(sizeX.Kinds(), std::vector<uint32_t>({gokRight, gokLeft}));

    const THandleList both(CreateHandles(gofSizeX | gofSizeY, 10, 10, R));
    EXPECT_EQ(both.Kinds(), std::vector<uint32_t>({gokRight, gokLeft, gokTopRight, gokTopLeft, gokBottomLeft,
                                                   gokBottomRight, gokTop, gokBottom}));

    const THandleList movable(CreateHandles(gofSizeX | gofSizeY | gofMovable, 10, 10, R));
    ASSERT_EQ(movable.Items().size(), 9u);
    EXPECT_EQ(movable.Kinds().back(), gokMoveFrame);

    const THandleList sizeY(CreateHandles(gofSizeY, 10, 10, R));
    EXPECT_EQ(sizeY.Kinds(), std::vector<uint32_t>({gokTop, gokBottom}));

    const THandleList moveOnly(CreateHandles(gofMovable, 10, 10, R));
    const std::vector<uint32_t> inert(8, gokInert);
    std::vector<uint32_t> expected = {gokMoveFrame};
    expected.insert(expected.end(), inert.begin(), inert.end());
    EXPECT_EQ(moveOnly.Kinds(), expected);

    const THandleList none(CreateHandles(0, 10, 10, R));
    EXPECT_EQ(none.Kinds(), inert);
}

TEST(GraphicObject, HandlesSitOutsideTheRectangleAgainstTheirAnchors)
{
    const THandleList list(CreateHandles(gofSizeX | gofSizeY | gofMovable, 10, 10, R));
    const std::vector<TGraphicObject*> h = list.Items();
    ASSERT_EQ(h.size(), 9u);
    // MidX = 20, MidY = 30.
    EXPECT_EQ(h[0]->Bounds, Rect(31, 25, 41, 35));  // right
    EXPECT_EQ(h[1]->Bounds, Rect(0, 25, 10, 35));   // left
    EXPECT_EQ(h[2]->Bounds, Rect(31, 10, 41, 20));  // top-right
    EXPECT_EQ(h[3]->Bounds, Rect(0, 10, 10, 20));   // top-left
    EXPECT_EQ(h[4]->Bounds, Rect(0, 41, 10, 51));   // bottom-left
    EXPECT_EQ(h[5]->Bounds, Rect(31, 41, 41, 51));  // bottom-right
    EXPECT_EQ(h[6]->Bounds, Rect(15, 10, 25, 20));  // top
    EXPECT_EQ(h[7]->Bounds, Rect(15, 41, 25, 51));  // bottom
    EXPECT_EQ(h[8]->Bounds, R);                     // move frame
    for (int y = R.Top; y < R.Bottom; ++y)
        for (int x = R.Left; x < R.Right; ++x)
            for (size_t i = 0; i < 8; ++i)
                ASSERT_FALSE(h[i]->ContainsPoint(Point(x, y))) << i << " at " << x << "," << y;
    EXPECT_TRUE(h[8]->ContainsPoint(Point(10, 20)));
    EXPECT_FALSE(h[8]->ContainsPoint(Point(31, 20)));
}

TEST(GraphicObject, HandlesCarryTheirCursorsAndFlags)
{
    const THandleList list(CreateHandles(gofSizeX | gofSizeY | gofMovable, 10, 10, R));
    std::vector<TCursor> cursors;
    for (TGraphicObject* o : list.Items()) {
        cursors.push_back(o->Cursor);
        EXPECT_TRUE(HasFlags(o->Flags, gofSelectable));
        EXPECT_TRUE(IsHandleKind(o));
    }
    EXPECT_EQ(cursors, std::vector<TCursor>({crSizeWE, crSizeWE, crSizeNESW, crSizeNWSE, crSizeNESW, crSizeNWSE,
                                             crSizeNS, crSizeNS, crSizeAll}));
    EXPECT_EQ(list.Items().back()->Flags, gofSelectable | gokMoveFrame);

    const THandleList inert(CreateHandles(0, 10, 10, R));
    for (TGraphicObject* o : inert.Items()) {
        EXPECT_EQ(o->Cursor, crNo);
        EXPECT_EQ(o->Flags, gofSelectable | gokInert);
    }
    // An inert list keeps the squares' places.
    EXPECT_EQ(inert.Items()[0]->Bounds, Rect(31, 25, 41, 35));
}

TEST(GraphicObject, ObjectMakesTheHandlesOfItsOwnBounds)
{
    TRectElement element(R);
    const THandleList list(element.CreateHandles(gofSizeY, 6, 4));
    EXPECT_EQ(list.Items().front()->Bounds, Rect(17, 16, 23, 20));  // top: (20 - 3, 20 - 4)
}

TEST(GraphicObject, HandleSizeIsFourThirtyFifthsOfAnInch)
{
    int w = 0;
    int h = 0;
    QImage screen = ImageAtDpi(10, 10, 96);
    {
        TCanvas canvas(&screen);
        HandleSize(canvas, 1, w, h);
        EXPECT_EQ(w, 10);
        EXPECT_EQ(h, 10);
        HandleSize(canvas, 2, w, h);
        EXPECT_EQ(w, 13);  // 5 * 96 / 35
        // In logical units of a mapping that halves the device.
        canvas.SetMapMode(TMapMode::mmAnisotropic);
        canvas.SetWindowExt(2, 2);
        canvas.SetViewportExt(1, 1);
        HandleSize(canvas, 1, w, h);
        EXPECT_EQ(w, 21);  // 4 * 192 / 35
    }
    QImage printer = ImageAtDpi(10, 10, 300);
    TCanvas canvas(&printer);
    HandleSize(canvas, 1, w, h);
    EXPECT_EQ(w, 34);
    EXPECT_EQ(h, 34);
}

TEST(GraphicObject, InsideRectNeedsBothCornersStrictlyInside)
{
    TRectElement same(R);
    EXPECT_FALSE(same.InsideRect(R));
    TRectElement smaller(Rect(10, 20, 30, 40));
    EXPECT_TRUE(smaller.InsideRect(R));
    TRectElement outside(Rect(9, 20, 30, 40));
    EXPECT_FALSE(outside.InsideRect(R));
}

TEST(GraphicObject, MovingAndResizing)
{
    TRectElement element(R);
    element.MoveBy(5, -3);
    EXPECT_EQ(element.Bounds, Rect(15, 17, 36, 38));
    element.ResizeBy(-6, 2);
    EXPECT_EQ(element.Bounds, Rect(15, 17, 30, 40));
    element.SetBounds(Rect(0, 0, 1, 1));
    EXPECT_EQ(element.Bounds, Rect(0, 0, 1, 1));
}

TEST(GraphicObject, HandlesAndMarksDrawnTwiceRestoreTheScreen)
{
    const QImage original = NoisyImage(60, 70, 7);
    QImage image = original;
    TCanvas canvas(&image);
    const THandleList handles(CreateHandles(gofSizeX | gofSizeY, 10, 10, R));
    const THandleList inert(CreateHandles(0, 10, 10, Rect(30, 30, 40, 40)));
    TRectElement element(R);
    for (TGraphicObject* o : handles.Items())
        o->Draw(canvas);
    for (TGraphicObject* o : inert.Items())
        o->Draw(canvas);
    element.DrawSelectionMark(canvas, true);
    element.DrawXorFrame(canvas);
    EXPECT_NE(image, original);
    // A handle is removed by "invalidating" it, which draws it again.
    for (TGraphicObject* o : handles.Items())
        o->Invalidate(canvas);
    for (TGraphicObject* o : inert.Items())
        o->Invalidate(canvas);
    element.DrawSelectionMark(canvas, false);
    element.DrawXorFrame2(canvas);
    EXPECT_EQ(image, original);
}

TEST(GraphicObject, InertHandleIsGreyAndOthersInvert)
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    TCanvas canvas(&image);
    TSquareHandle plain(0, 0, 5, 5, gokRight, crSizeWE);
    TSquareHandle inert(10, 0, 5, 5, gokInert, crNo);
    plain.Draw(canvas);
    inert.Draw(canvas);
    EXPECT_EQ(image.pixel(2, 2) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(image.pixel(12, 2) & 0xFFFFFF, 0x7F7F7Fu);  // white xor $808080
    EXPECT_EQ(image.pixel(10, 0) & 0xFFFFFF, 0x000000u);  // the outline inverts
}

TEST(GraphicObject, InvalidateMarksTheLogicalBoundsInTheOwnersWindow)
{
    TOwner owner;
    owner.Window.Update();
    TRectElement element(Rect(5, 6, 15, 16));
    TCanvas& canvas = owner.Window.Canvas();
    element.Invalidate(canvas);
    EXPECT_TRUE(owner.Window.InvalidRegion().isEmpty());  // no owner yet: nothing

    // Painting resets the window's mapping, so the origin is set each time.
    element.OwnerWnd = &owner;
    canvas.SetViewportOrg(10, 20);
    element.Invalidate(canvas);
    EXPECT_EQ(owner.Window.InvalidRegion(), QRegion(15, 26, 10, 10));
    owner.Window.Update();
    canvas.SetViewportOrg(10, 20);
    element.ShowDragFeedback(canvas, dfLive);
    EXPECT_EQ(owner.Window.InvalidRegion(), QRegion(15, 26, 10, 10));
    owner.Window.Update();
    canvas.SetViewportOrg(10, 20);
    element.HideDragFeedback(canvas, dfLive);
    EXPECT_EQ(owner.Window.InvalidRegion(), QRegion(15, 26, 10, 10));
    owner.Window.Update();
    EXPECT_EQ(canvas.ViewportOrg(), Point(0, 0));
}

TEST(GraphicObject, HandleKindsAndFlagMasks)
{
    EXPECT_FALSE(IsHandleKind(nullptr));
    TRectElement plain(R);
    EXPECT_FALSE(IsHandleKind(&plain));
    plain.Flags |= gokMoveFrame;
    EXPECT_TRUE(IsHandleKind(&plain));
    EXPECT_EQ(plain.Kind(), gokMoveFrame);

    EXPECT_TRUE(HasFlags(0, 0));
    EXPECT_TRUE(HasFlags(gofSelectable | 64, 64));
    EXPECT_FALSE(HasFlags(gofSelectable, gofSelectable | gofMovable));
    EXPECT_TRUE(HasFlags(gofSelectable | gofMovable | 128, gofSelectable | gofMovable));
}
