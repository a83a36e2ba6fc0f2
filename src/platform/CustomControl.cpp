#include "platform/CustomControl.h"

#include "platform/MouseQueue.h"
#include "platform/Parallel.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollArea>
#include <QThread>

#include <cmath>
#include <cstring>

Qt::CursorShape CursorShape(TCursor Cursor)
{
    switch (Cursor) {
    case crNone:
        return Qt::BlankCursor;
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crSizeNESW:
        return Qt::SizeBDiagCursor;
    case crSizeNS:
        return Qt::SizeVerCursor;
    case crSizeNWSE:
        return Qt::SizeFDiagCursor;
    case crSizeWE:
        return Qt::SizeHorCursor;
    case crUpArrow:
        return Qt::UpArrowCursor;
    case crHourGlass:
    case crSQLWait:
        return Qt::WaitCursor;
    case crDrag:
    case crMultiDrag:
        return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
        return Qt::ForbiddenCursor;
    case crHSplit:
        return Qt::SplitHCursor;
    case crVSplit:
        return Qt::SplitVCursor;
    case crAppStart:
        return Qt::BusyCursor;
    case crHelp:
        return Qt::WhatsThisCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    case crSizeAll:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons)
{
    TShiftState shift = 0;
    if (Modifiers & Qt::ShiftModifier)
        shift |= ssShift;
    if (Modifiers & Qt::AltModifier)
        shift |= ssAlt;
    if (Modifiers & Qt::ControlModifier)
        shift |= ssCtrl;
    if (Buttons & Qt::LeftButton)
        shift |= ssLeft;
    if (Buttons & Qt::RightButton)
        shift |= ssRight;
    if (Buttons & Qt::MiddleButton)
        shift |= ssMiddle;
    return shift;
}

bool ShiftKeyDown()
{
    return QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
}

namespace {

bool ButtonOf(Qt::MouseButton button, TMouseButton& result)
{
    switch (button) {
    case Qt::LeftButton:
        result = mbLeft;
        return true;
    case Qt::RightButton:
        result = mbRight;
        return true;
    case Qt::MiddleButton:
        result = mbMiddle;
        return true;
    default:
        return false;
    }
}

} // namespace

TCustomControl::TCustomControl(QWidget* Owner)
    : QWidget(Owner)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    // The press that starts the first drag must find the queue watching.
    MouseQueue::Watch();
    FCanvas.SetOnDraw([this](const QRect& r) { ShowDrawn(r); });
    CoverArea(ViewArea());
}

TCustomControl::~TCustomControl()
{
    FCanvas.Detach();
}

TCanvas& TCustomControl::Canvas()
{
    SyncImageSize();
    return FCanvas;
}

const QImage& TCustomControl::BackingImage() const
{
    SyncImageSize();
    return FImage;
}

QPoint TCustomControl::BackingOrigin() const
{
    SyncImageSize();
    return FOrigin;
}

const QRegion& TCustomControl::InvalidRegion() const
{
    SyncImageSize();
    return FInvalid;
}

namespace {

// A scroll area's viewport (a window area's, QMdiArea, included), through
// which alone its contents can be seen.
bool IsViewport(const QWidget* Widget)
{
    const auto* scroll = qobject_cast<const QAbstractScrollArea*>(Widget->parentWidget());
    return scroll && scroll->viewport() == Widget;
}

bool IsWindowAreaViewport(const QWidget* Widget)
{
    return IsViewport(Widget) && !qobject_cast<const QScrollArea*>(Widget->parentWidget());
}

} // namespace

QSize ShownSize(const QWidget* Place, const QSize& Size)
{
    QSize shown = Size;
    for (const QWidget* w = Place; w && !w->isWindow(); w = w->parentWidget())
        if (IsViewport(w))
            shown = shown.boundedTo(w->size());
    return shown;
}

QRect TCustomControl::ViewArea() const
{
    // What lies outside a parent is never seen: a control larger than its
    // window, and scrolled contents, keep what their parents show. A window
    // area's child window keeps its image whole while it fits in the area,
    // so that moving it about costs no paint; one larger than the area (a
    // plot as large as a wide table) keeps only what the area shows.
    QRect area = rect();
    QPoint offset; // of the control's origin in the parent at hand
    const QWidget* child = this;
    for (const QWidget* w = isWindow() ? nullptr : parentWidget(); w;
         child = w, w = w->isWindow() ? nullptr : w->parentWidget()) {
        offset += child->pos();
        const QRect shown(-offset, w->size());
        if (IsWindowAreaViewport(w)) {
            if (area.width() > shown.width() || area.height() > shown.height())
                area &= shown;
            break;
        }
        area &= shown;
    }
    return area;
}

void TCustomControl::SyncImageSize() const
{
    // A paint draws on the image it started with.
    if (FPainting)
        return;
    const QRect area = ViewArea();
    const QRect covered(FOrigin, FImage.size());
    const bool same = area.isEmpty() ? covered.isEmpty() : area == covered;
    if (!same || FImageClientSize != size())
        const_cast<TCustomControl*>(this)->CoverArea(area);
}

void TCustomControl::CoverArea(const QRect& Area)
{
    const QRect old(FOrigin, FImage.size());
    // After a resize everything is painted anew; after a scroll what stays
    // in view keeps its pixels.
    const QRect kept = FImageClientSize == size() ? old & Area : QRect();
    QImage image;
    if (!Area.isEmpty()) {
        image = QImage(Area.size(), QImage::Format_RGB32);
        // The canvas reads the resolution from the image it draws on.
        image.setDotsPerMeterX(int(std::lround(logicalDpiX() / 0.0254)));
        image.setDotsPerMeterY(int(std::lround(logicalDpiY() / 0.0254)));
        image.fill(ToQColor(FBrush.Color()));
        if (!kept.isEmpty()) {
            const QRect from = kept.translated(-FOrigin);
            const QRect to = kept.translated(-Area.topLeft());
            const size_t bytes = size_t(kept.width()) * sizeof(QRgb);
            for (int y = 0; y < kept.height(); ++y)
                std::memcpy(image.scanLine(to.top() + y) + size_t(to.left()) * sizeof(QRgb),
                            FImage.constScanLine(from.top() + y) + size_t(from.left()) * sizeof(QRgb), bytes);
        }
    }
    FCanvas.Detach();
    FImage = std::move(image);
    FOrigin = Area.isEmpty() ? QPoint() : Area.topLeft();
    FImageClientSize = size();
    if (!FImage.isNull())
        FCanvas.Attach(&FImage, FOrigin);
    FInvalid = (FInvalid & Area) + (QRegion(Area) - QRegion(kept));
}

void TCustomControl::Invalidate()
{
    InvalidateRect(ClientRect(), true);
}

void TCustomControl::InvalidateRect(const TRect& R, bool /*Erase*/)
{
    SyncImageSize();
    // What is out of view is painted when it comes into view.
    const QRect area = ToQRect(R).intersected(QRect(FOrigin, FImage.size()));
    if (area.isEmpty())
        return;
    FInvalid += area;
    ScheduleScreenUpdate(area);
}

void TCustomControl::ScheduleScreenUpdate(const QRect& Area)
{
    // Qt merges each update() into the window's dirty region, which costs
    // more the more pieces it holds: a plot marking thousands of selected
    // items spent seconds there. Copying the image to the screen is cheap,
    // so one growing rectangle is asked for per paint instead.
    if (Area.isEmpty() || FScreenDirty.contains(Area))
        return;
    FScreenDirty |= Area;
    update(FScreenDirty);
}

void TCustomControl::PaintInvalid()
{
    if (FPainting || FInvalid.isEmpty() || FImage.isNull())
        return;
    const QRegion region = FInvalid;
    FInvalid = QRegion();
    struct TPaintGuard {
        TCustomControl& Control;
        explicit TPaintGuard(TCustomControl& control) : Control(control)
        {
            Control.FPainting = true;
            Control.FCanvas.SetMapMode(TMapMode::mmText);
            Control.FCanvas.SetWindowOrg(0, 0);
            Control.FCanvas.SetViewportOrg(0, 0);
        }
        ~TPaintGuard()
        {
            // What Paint left of mapping and clip does not outlive it; pen,
            // brush and font stay as it set them.
            Control.FCanvas.SetMapMode(TMapMode::mmText);
            Control.FCanvas.SetWindowOrg(0, 0);
            Control.FCanvas.SetViewportOrg(0, 0);
            Control.FCanvas.SelectClipRegion(std::nullopt);
            Control.FPainting = false;
            Control.FPaintPrepared = false;
        }
    } guard(*this);
    FCanvas.SelectClipRegion(region);
    if (FBrush.Style() != TBrushStyle::bsClear) {
        const TBrush saved = FCanvas.Brush();
        FCanvas.SetBrush(FBrush);
        FCanvas.FillRect(ClientRect());
        FCanvas.SetBrush(saved);
    }
    Paint();
}

bool TCustomControl::PaintPending() const
{
    SyncImageSize();
    return !FPainting && !FInvalid.isEmpty() && !FImage.isNull();
}

bool TCustomControl::PrepareOffThreadPaint()
{
    return false;
}

void TCustomControl::PaintInvalidAlongside(bool Synchronous)
{
    // The plots of a window each take long to paint and a change reaches
    // them all: painted side by side, the window shows it once its slowest
    // plot has painted rather than once the last one has. A control that
    // declines paints on the GUI thread, in its own turn.
    if (!PaintPending())
        return;
    std::vector<QPointer<TCustomControl>> others;
    const bool dragging = MouseQueue::IsPolling() && MouseQueue::ButtonsHeld();
    if (QThread::currentThread() == thread() && !(Synchronous && dragging))
        for (TCustomControl* control : window()->findChildren<TCustomControl*>())
            if (control != this && control->isVisible() && control->PaintPending())
                others.emplace_back(control);
    if (others.empty() || !PrepareOffThreadPaint() || !PaintPending()) {
        PaintInvalid();
        return;
    }
    FPaintPrepared = true;
    std::vector<QPointer<TCustomControl>> prepared{this};
    for (const QPointer<TCustomControl>& control : others) {
        // A preparation may have painted, resized or closed another control.
        if (control && control->PaintPending() && control->PrepareOffThreadPaint() && control->PaintPending()) {
            control->FPaintPrepared = true;
            prepared.push_back(control);
        }
    }
    std::vector<TCustomControl*> ready;
    for (const QPointer<TCustomControl>& control : prepared)
        if (control)
            ready.push_back(control);
    const auto unprepared = qScopeGuard([&ready] {
        for (TCustomControl* control : ready)
            control->FPaintPrepared = false;
    });
    const int count = int(ready.size());
    ParallelFor(count, count, [&ready](int i) { ready[size_t(i)]->PaintInvalid(); });
}

void TCustomControl::Update()
{
    SyncImageSize();
    if (FPainting || FInvalid.isEmpty())
        return;
    const QRegion region = FInvalid;
    PaintInvalidAlongside(true);
    // The image is the screen and now shows the result; its copy to the
    // window comes with the window's next paint. A synchronous repaint
    // would paint every other control of the window marked dirty as well.
    if (isVisible())
        ScheduleScreenUpdate(region.boundingRect());
}

void TCustomControl::Repaint()
{
    Invalidate();
    Update();
}

void TCustomControl::ShowDrawn(const QRect& DeviceRect)
{
    // Paint's drawing reaches the screen with the paint itself.
    if (!FPainting && isVisible())
        ScheduleScreenUpdate(DeviceRect.intersected(rect()));
}

void TCustomControl::SetCursor(TCursor Value)
{
    FCursor = Value;
    if (Value == crDefault)
        unsetCursor();
    else
        setCursor(QCursor(CursorShape(Value)));
}

void TCustomControl::Paint()
{
}

void TCustomControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TCustomControl::MouseMove(TShiftState Shift, int X, int Y)
{
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TCustomControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TCustomControl::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TCustomControl::paintEvent(QPaintEvent* event)
{
    FScreenDirty = QRect();
    SyncImageSize();
    PaintInvalidAlongside(false);
    QPainter painter(this);
    painter.setClipRegion(event->region());
    const QRect shown = event->rect() & QRect(FOrigin, FImage.size());
    if (!shown.isEmpty())
        painter.drawImage(shown.topLeft(), FImage, shown.translated(-FOrigin));
}

void TCustomControl::resizeEvent(QResizeEvent* /*event*/)
{
    SyncImageSize();
    update();
}

void TCustomControl::mousePressEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!ButtonOf(event->button(), button))
        return;
    TPollScope scope;
    const QPoint p = event->position().toPoint();
    MouseDown(button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TCustomControl::mouseMoveEvent(QMouseEvent* event)
{
    TPollScope scope;
    const QPoint p = event->position().toPoint();
    MouseMove(ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TCustomControl::mouseReleaseEvent(QMouseEvent* event)
{
    TMouseButton button;
    if (!ButtonOf(event->button(), button))
        return;
    TPollScope scope;
    const QPoint p = event->position().toPoint();
    MouseUp(button, ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TCustomControl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt delivers the second press of a double click as this event instead
    // of a press. It is a press all the same, marked as double; the left
    // button's double-click event comes first.
    TMouseButton button;
    if (!ButtonOf(event->button(), button))
        return;
    TPollScope scope;
    if (button == mbLeft)
        DblClick();
    const QPoint p = event->position().toPoint();
    MouseDown(button, ShiftStateOf(event->modifiers(), event->buttons()) | ssDouble, p.x(), p.y());
}

void TCustomControl::contextMenuEvent(QContextMenuEvent* event)
{
    if (FPopupMenu)
        FPopupMenu->popup(event->globalPos());
    else
        event->ignore();
}
