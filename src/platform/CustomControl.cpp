#include "platform/CustomControl.h"

#include "platform/MouseQueue.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

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
    FCanvas.SetOnDraw([this](const QRect& r) { ShowDrawn(r); });
    ResizeImage();
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

const QRegion& TCustomControl::InvalidRegion() const
{
    SyncImageSize();
    return FInvalid;
}

void TCustomControl::SyncImageSize() const
{
    if (FImage.size() != size())
        const_cast<TCustomControl*>(this)->ResizeImage();
}

void TCustomControl::ResizeImage()
{
    FCanvas.Detach();
    FImage = QImage(size(), QImage::Format_RGB32);
    if (!FImage.isNull()) {
        // The canvas reads the resolution from the image it draws on.
        FImage.setDotsPerMeterX(int(std::lround(logicalDpiX() / 0.0254)));
        FImage.setDotsPerMeterY(int(std::lround(logicalDpiY() / 0.0254)));
        FImage.fill(ToQColor(FBrush.Color()));
        FCanvas.Attach(&FImage);
    }
    FInvalid = QRegion(rect());
}

void TCustomControl::Invalidate()
{
    InvalidateRect(ClientRect(), true);
}

void TCustomControl::InvalidateRect(const TRect& R, bool /*Erase*/)
{
    SyncImageSize();
    const QRect area = ToQRect(R).intersected(rect());
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

void TCustomControl::Update()
{
    SyncImageSize();
    if (FPainting || FInvalid.isEmpty())
        return;
    const QRegion region = FInvalid;
    PaintInvalid();
    if (isVisible())
        repaint(region);
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
    PaintInvalid();
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(event->rect(), FImage, event->rect());
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
