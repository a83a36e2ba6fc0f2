#include "platform/CustomControl.h"
#include "platform/MouseQueue.h"

#include "support/Gestures.h"
#include "support/Images.h"
#include "support/TestSupport.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QThread>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Paints its whole client area in one colour and records what it was asked.
class TPaintRecorder : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

    int Paints = 0;
    TRect LastClip;
    TColor Fill = 0x00FF00;
    // Off-thread paints: whether they are allowed, how often they were
    // prepared on the GUI thread, and whether the last paint was prepared.
    bool OffThread = false;
    int Prepared = 0;
    bool PaintWasPrepared = false;

protected:
    bool PrepareOffThreadPaint() override
    {
        if (!OffThread)
            return false;
        EXPECT_EQ(QThread::currentThread(), thread());
        ++Prepared;
        return true;
    }
    void Paint() override
    {
        ++Paints;
        PaintWasPrepared = PaintPrepared();
        LastClip = Canvas().ClipRect();
        Canvas().SetBrush(TBrush(Fill));
        Canvas().FillRect(ClientRect());
    }
};

} // namespace

TEST(CustomControl, UpdatePaintsTheInvalidRegionOnlyAfterErasingIt)
{
    TPaintRecorder control;
    control.resize(40, 30);
    control.Update();
    EXPECT_EQ(control.Paints, 1);
    EXPECT_EQ(control.LastClip, Rect(0, 0, 40, 30));
    EXPECT_TRUE(control.InvalidRegion().isEmpty());

    control.Fill = 0x0000FF;
    control.InvalidateRect(Rect(5, 6, 15, 10), true);
    control.Update();
    EXPECT_EQ(control.Paints, 2);
    EXPECT_EQ(control.LastClip, Rect(5, 6, 15, 10));
    const QImage& image = control.BackingImage();
    EXPECT_EQ(PixelColor(image, 5, 6), 0x0000FFu);
    EXPECT_EQ(PixelColor(image, 14, 9), 0x0000FFu);
    EXPECT_EQ(PixelColor(image, 15, 9), 0x00FF00u);
    EXPECT_EQ(PixelColor(image, 4, 6), 0x00FF00u);

    // Nothing invalid: Update paints nothing.
    control.Update();
    EXPECT_EQ(control.Paints, 2);
}

// Update paints the window's other waiting controls with it, on threads,
// when both sides allow it; a control that declines waits for its paint,
// and so do all others while a drag holds the button.
TEST(CustomControl, UpdatePaintsOtherWaitingControlsAlongsideWhereAllowed)
{
    struct TCase {
        bool SelfAllows;
        bool OtherAllows;
        bool Dragging;
        bool OtherPainted;
    };
    for (const TCase& c : {TCase{true, true, false, true}, TCase{true, false, false, false},
                           TCase{false, true, false, false}, TCase{true, true, true, false}}) {
        QWidget window;
        auto* self = new TPaintRecorder(&window);
        auto* other = new TPaintRecorder(&window);
        auto* declining = new TPaintRecorder(&window);
        for (TPaintRecorder* control : {self, other, declining})
            control->resize(20, 10);
        window.show();
        QCoreApplication::processEvents();
        self->OffThread = c.SelfAllows;
        other->OffThread = c.OtherAllows;
        for (TPaintRecorder* control : {self, other, declining})
            control->Update();
        for (TPaintRecorder* control : {self, other, declining}) {
            control->Fill = 0x0000FF;
            control->Paints = control->Prepared = 0;
            control->Invalidate();
        }
        {
            TPollScope handler;
            if (c.Dragging) {
                PostMouseEvent(self, QEvent::MouseMove, {1, 1}, Qt::NoButton, Qt::LeftButton);
                MouseQueue::PumpMouseOrPaint();
            }
            self->Update();
            if (c.Dragging) {
                PostMouseEvent(self, QEvent::MouseButtonRelease, {1, 1}, Qt::LeftButton, Qt::NoButton);
                MouseQueue::PumpMouseOrPaint();
            }
        }
        EXPECT_EQ(self->Paints, 1);
        EXPECT_EQ(self->PaintWasPrepared, c.SelfAllows && !c.Dragging);
        EXPECT_EQ(other->Paints, c.OtherPainted ? 1 : 0);
        EXPECT_EQ(other->InvalidRegion().isEmpty(), c.OtherPainted);
        EXPECT_EQ(other->Prepared, c.OtherPainted ? 1 : 0);
        EXPECT_EQ(PixelColor(other->BackingImage(), 19, 9), c.OtherPainted ? 0x0000FFu : 0x00FF00u);
        EXPECT_EQ(declining->Paints, 0);
        EXPECT_FALSE(declining->InvalidRegion().isEmpty());
    }
}

TEST(CustomControl, UpdateRepaintsANonRectangularRegionAndNothingElse)
{
    TPaintRecorder control;
    control.resize(40, 30);
    control.Update();
    // Outside Paint: a noisy picture, so that any pixel painted by mistake shows.
    control.Canvas().Draw(0, 0, NoisyImage(40, 30, 7));
    const QImage before = control.BackingImage().copy();

    // Two overlapping rectangles make an L-shaped invalid region.
    control.Fill = 0x0000FF;
    const QRegion invalid = QRegion(5, 5, 10, 10) + QRegion(10, 10, 20, 12);
    control.InvalidateRect(Rect(5, 5, 15, 15), true);
    control.InvalidateRect(Rect(10, 10, 30, 22), true);
    control.Update();

    const QImage& image = control.BackingImage();
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            if (invalid.contains(QPoint(x, y)))
                ASSERT_EQ(PixelColor(image, x, y), 0x0000FFu) << x << "," << y;
            else
                ASSERT_EQ(image.pixel(x, y), before.pixel(x, y)) << x << "," << y;
        }
}

TEST(CustomControl, InvalidAreaIsErasedWithTheControlsBrush)
{
    class TNothing : public TCustomControl {
    public:
        using TCustomControl::TCustomControl;
    } control;
    control.resize(10, 10);
    control.Brush().SetColor(0x112233);
    control.Repaint();
    EXPECT_EQ(PixelColor(control.BackingImage(), 3, 3), 0x112233u);
}

TEST(CustomControl, DrawingOutsidePaintGoesStraightIntoTheImage)
{
    TPaintRecorder control;
    control.resize(30, 20);
    control.Update();
    const QImage before = control.BackingImage().copy();
    TCanvas& canvas = control.Canvas();
    canvas.SetPen(TPen(0xFFFFFF, TPenMode::pmXor));
    canvas.SetBrush(TBrush(0xFFFFFF));
    canvas.Rectangle(2, 2, 12, 8);
    EXPECT_EQ(PixelColor(control.BackingImage(), 5, 5), 0xFF00FFu);
    EXPECT_EQ(control.Paints, 1);
    EXPECT_TRUE(control.InvalidRegion().isEmpty());
    canvas.Rectangle(2, 2, 12, 8);
    EXPECT_EQ(control.BackingImage(), before);
}

TEST(CustomControl, ShownControlCopiesItsImageToTheScreen)
{
    TPaintRecorder control;
    control.resize(20, 20);
    control.show();
    ASSERT_TRUE(ProcessEventsUntil([&] { return control.Paints > 0; }));
    control.Canvas().SetBrush(TBrush(0x000000));
    control.Canvas().FillRect(Rect(0, 0, 5, 5));
    const QImage screen = control.grab().toImage();
    EXPECT_EQ(PixelColor(screen, 2, 2), 0x000000u);
    EXPECT_EQ(PixelColor(screen, 10, 10), 0x00FF00u);
    EXPECT_EQ(control.Paints, 1);
}

TEST(CustomControl, ResizingStartsAFreshImageAndInvalidatesAll)
{
    TPaintRecorder control;
    control.resize(20, 20);
    control.Update();
    control.resize(35, 25);
    EXPECT_EQ(control.BackingImage().size(), QSize(35, 25));
    EXPECT_EQ(control.InvalidRegion(), QRegion(0, 0, 35, 25));
    EXPECT_EQ(control.Canvas().DeviceRect(), Rect(0, 0, 35, 25));
    control.Update();
    EXPECT_EQ(control.LastClip, Rect(0, 0, 35, 25));
}

TEST(CustomControl, CanvasResolutionIsTheScreens)
{
    TPaintRecorder control;
    control.resize(10, 10);
    EXPECT_EQ(control.Canvas().PixelsPerInchX(), control.PixelsPerInchX());
    EXPECT_EQ(control.Canvas().PixelsPerInchY(), control.PixelsPerInchY());
}

TEST(CustomControl, CursorIdsMapToQtShapes)
{
    TPaintRecorder control;
    control.SetCursor(crSizeWE);
    EXPECT_EQ(control.Cursor(), crSizeWE);
    EXPECT_EQ(control.cursor().shape(), Qt::SizeHorCursor);
    control.SetCursor(crSizeAll);
    EXPECT_EQ(control.cursor().shape(), Qt::SizeAllCursor);
    EXPECT_EQ(CursorShape(crSizeNWSE), Qt::SizeFDiagCursor);
    EXPECT_EQ(CursorShape(crSizeNESW), Qt::SizeBDiagCursor);
    EXPECT_EQ(CursorShape(crNo), Qt::ForbiddenCursor);
    EXPECT_EQ(CursorShape(crHandPoint), Qt::PointingHandCursor);
    EXPECT_EQ(CursorShape(crHelp), Qt::WhatsThisCursor);
    control.SetCursor(crDefault);
    EXPECT_EQ(control.Cursor(), crDefault);
    EXPECT_EQ(control.cursor().shape(), Qt::ArrowCursor);
}

TEST(CustomControl, MouseEventsReachTheHandlersWithKeysAndButtons)
{
    TPaintRecorder control;
    control.resize(50, 50);
    std::vector<std::string> seen;
    control.OnMouseDown = [&](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        EXPECT_EQ(sender, &control);
        seen.push_back("down " + std::to_string(button) + " " + std::to_string(shift) + " " +
                       std::to_string(x) + "," + std::to_string(y));
    };
    control.OnMouseMove = [&](TObject*, TShiftState shift, int x, int y) {
        seen.push_back("move " + std::to_string(shift) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    control.OnMouseUp = [&](TObject*, TMouseButton button, TShiftState shift, int x, int y) {
        seen.push_back("up " + std::to_string(button) + " " + std::to_string(shift) + " " +
                       std::to_string(x) + "," + std::to_string(y));
    };
    control.OnDblClick = [&](TObject*) { seen.push_back("dbl"); };

    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
                    Qt::KeyboardModifiers mods) {
        QMouseEvent e(type, QPointF(p), QPointF(p), QPointF(p), button, buttons, mods);
        QCoreApplication::sendEvent(&control, &e);
    };
    send(QEvent::MouseButtonPress, {3, 4}, Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
    send(QEvent::MouseMove, {5, 6}, Qt::NoButton, Qt::RightButton, Qt::ShiftModifier);
    send(QEvent::MouseButtonRelease, {7, 8}, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    send(QEvent::MouseButtonDblClick, {7, 8}, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    send(QEvent::MouseButtonDblClick, {9, 9}, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    const std::vector<std::string> expected = {
        "down 1 " + std::to_string(ssCtrl | ssRight) + " 3,4",
        "move " + std::to_string(ssShift | ssRight) + " 5,6",
        "up 1 0 7,8",
        // The second press of a double click is a press too.
        "dbl",
        "down 0 " + std::to_string(ssLeft | ssDouble) + " 7,8",
        "down 1 " + std::to_string(ssRight | ssDouble) + " 9,9",
    };
    EXPECT_EQ(seen, expected);
}

TEST(CustomControl, DoubleClickOnTheScreenGivesTwoPressesAndTwoReleases)
{
    TPaintRecorder control;
    control.resize(50, 50);
    control.show();
    QWindow* window = control.windowHandle();
    ASSERT_NE(window, nullptr);
    std::vector<std::string> seen;
    control.OnMouseDown = [&](TObject*, TMouseButton, TShiftState shift, int, int) {
        seen.push_back((shift & ssDouble) ? "double down" : "down");
    };
    control.OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { seen.push_back("up"); };
    control.OnDblClick = [&](TObject*) { seen.push_back("dbl"); };
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    ASSERT_TRUE(ProcessEventsUntil([&] { return seen.size() >= 5; }));
    EXPECT_EQ(seen, std::vector<std::string>({"down", "up", "dbl", "double down", "up"}));
}

TEST(CustomControl, RightClickShowsThePopupMenu)
{
    TPaintRecorder control;
    control.resize(50, 50);
    QMenu menu;
    menu.addAction(QStringLiteral("Item"));
    QContextMenuEvent plain(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(&control, &plain);
    EXPECT_FALSE(plain.isAccepted());
    control.SetPopupMenu(&menu);
    QContextMenuEvent withMenu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(&control, &withMenu);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

TEST(CustomControl, ScatteredInvalidationsReachTheScreenInOnePaint)
{
    // Marks drawn for thousands of items each invalidate a small area; the
    // screen is asked for one growing rectangle, not thousands of pieces.
    class TPaintCounter : public TPaintRecorder {
    public:
        using TPaintRecorder::TPaintRecorder;
        int ScreenPaints = 0;
        QRegion Painted;

    protected:
        void paintEvent(QPaintEvent* event) override
        {
            ++ScreenPaints;
            Painted += event->region();
            TPaintRecorder::paintEvent(event);
        }
    } control;
    control.resize(400, 300);
    control.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    control.Update();
    QCoreApplication::processEvents();
    control.ScreenPaints = 0;
    control.Painted = QRegion();

    for (int i = 0; i < 60; ++i)
        control.InvalidateRect(Rect(10 + i * 6, 10 + (i % 7) * 40, 13 + i * 6, 13 + (i % 7) * 40), true);
    QCoreApplication::processEvents();

    EXPECT_EQ(control.ScreenPaints, 1);
    EXPECT_EQ(control.Painted.rectCount(), 1);
    EXPECT_EQ(control.Painted.boundingRect(), QRect(10, 10, 357, 243));
    // What was invalid was painted into the image and reached the screen.
    EXPECT_TRUE(control.InvalidRegion().isEmpty());
}

TEST(CustomControl, TheImageOfALargerControlHoldsWhatItsParentsShow)
{
    // Paints ten-pixel stripes whose colour follows the client x, and notes
    // the area of each paint.
    class TStripes : public TCustomControl {
    public:
        static TColor StripeAt(int X) { return TColor(0x102030 + (X / 10 % 64) * 0x010305); }
        QRegion Painted;

    protected:
        void Paint() override
        {
            const TRect clip = Canvas().ClipRect();
            Painted += ToQRect(clip);
            for (int x = clip.Left / 10 * 10; x < clip.Right; x += 10) {
                Canvas().SetBrush(TBrush(StripeAt(x)));
                Canvas().FillRect(Rect(x, 0, x + 10, ClientHeight()));
            }
        }
    };
    // Each shows 300 pixels across of the control, from client x Scrolled.
    struct TView {
        const char* Name;
        std::function<QWidget*(TStripes* Control, std::function<void(int Scrolled)>& Scroll)> Make;
    };
    const int shownWidth = 300;
    const TView views[] = {
        {"scroll area",
         [](TStripes* Control, auto& Scroll) {
             auto* scroll = new QScrollArea;
             scroll->setFrameShape(QFrame::NoFrame);
             scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
             scroll->setWidget(Control);
             Scroll = [scroll](int X) { scroll->horizontalScrollBar()->setValue(X); };
             return scroll;
         }},
        {"window area with a larger window",
         [](TStripes* Control, auto& Scroll) {
             auto* area = new QMdiArea;
             QMdiSubWindow* window = area->addSubWindow(Control, Qt::FramelessWindowHint);
             window->resize(Control->size());
             Scroll = [window](int X) { window->move(-X, 0); };
             return area;
         }},
        {"smaller window", [](TStripes* Control, auto& Scroll) {
             auto* window = new QWidget;
             Control->setParent(window);
             Scroll = [Control](int X) { Control->move(-X, 0); };
             return window;
         }}};
    for (const TView& v : views) {
        SCOPED_TRACE(v.Name);
        auto* control = new TStripes;
        control->resize(5000, 120);
        std::function<void(int)> scroll;
        const std::unique_ptr<QWidget> window(v.Make(control, scroll));
        window->resize(shownWidth, 200);
        scroll(0);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QCoreApplication::processEvents();
        EXPECT_EQ(control->BackingImage().size(), QSize(shownWidth, 120));

        // Every pixel of the image shows the stripe of its client x; the
        // exclusive-or rectangle drawn outside paint where it is still in view.
        auto expectShown = [&](int Scrolled, const QRect& Mark) {
            ASSERT_EQ(control->BackingOrigin(), QPoint(Scrolled, 0));
            const QImage& image = control->BackingImage();
            int wrong = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const TColor stripe = TStripes::StripeAt(Scrolled + x);
                    const bool marked = Mark.contains(Scrolled + x, y);
                    wrong += PixelColor(image, x, y) != (marked ? stripe ^ 0xFFFFFF : stripe) ? 1 : 0;
                }
            EXPECT_EQ(wrong, 0) << "scrolled to " << Scrolled;
        };
        const QRect mark(50, 20, 30, 40);
        auto drawMark = [&] {
            control->Canvas().SetPen(TPen(0xFFFFFF, TPenMode::pmXor));
            control->Canvas().SetBrush(TBrush(0xFFFFFF));
            control->Canvas().Rectangle(ToTRect(mark));
        };
        drawMark();
        expectShown(0, mark);

        // A short scroll paints only the strip that came into view.
        control->Painted = QRegion();
        scroll(40);
        QCoreApplication::processEvents();
        expectShown(40, mark);
        EXPECT_EQ(control->Painted, QRegion(shownWidth, 0, 40, 120));
        // The mark is removed as it was drawn, where it is in view.
        drawMark();
        expectShown(40, QRect());

        scroll(3000);
        QCoreApplication::processEvents();
        expectShown(3000, QRect());
        EXPECT_EQ(control->BackingImage().size(), QSize(shownWidth, 120));
    }
}
