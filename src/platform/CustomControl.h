#pragma once

#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Object.h"

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <cstdint>
#include <functional>

// ---- Cursors -------------------------------------------------------------------

// Cursor ids as the system's units give them.
using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

// The Qt cursor shape that shows a cursor id; unknown ids show the arrow.
Qt::CursorShape CursorShape(TCursor Cursor);

// ---- Mouse and keys ----------------------------------------------------------------

enum TMouseButton : int { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Keys and buttons held during a mouse event, combined with |.
using TShiftState = int;
constexpr TShiftState ssShift = 1 << 0;
constexpr TShiftState ssAlt = 1 << 1;
constexpr TShiftState ssCtrl = 1 << 2;
constexpr TShiftState ssLeft = 1 << 3;
constexpr TShiftState ssRight = 1 << 4;
constexpr TShiftState ssMiddle = 1 << 5;
constexpr TShiftState ssDouble = 1 << 6;

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);
// Whether the Shift key is down now, asked of the keyboard rather than
// taken from an event.
bool ShiftKeyDown();

// ---- Control ---------------------------------------------------------------------------

// The largest part of a control of Size, placed inside Place, that the
// screen can show: Size bounded by the viewport of every scroll area and
// window area Place lies in. A control's image is never larger.
QSize ShownSize(const QWidget* Place, const QSize& Size);

// A window control with its own canvas.
//
// Its backing image is the screen: Paint and every drawing on Canvas() go
// into the image, and the widget only shows it. Drawing outside Paint
// reaches the screen at once, without running Paint. Invalidate collects an
// invalid region; painting erases it with the control's brush and runs Paint
// clipped to it; Update paints the invalid region at once. Since every paint
// goes through the image, double buffering is always on and an invalidated
// area is always erased before it is painted.
//
// The image holds only what can be seen of the control: the part its
// parents show (a control larger than its window, or scrolled in a scroll
// area), and of a window larger than the window area (QMdiArea) it lies in,
// the part the area shows. The canvas still draws in client coordinates
// (what falls outside the image is lost), and a part that comes into view
// is painted then, while what stays in view keeps its pixels, exclusive-or
// marks included.
class TCustomControl : public QWidget, public TObject {
    Q_OBJECT
public:
    explicit TCustomControl(QWidget* Owner = nullptr);
    ~TCustomControl() override;

    // Draws into the backing image, that is, onto the screen.
    TCanvas& Canvas();
    // Holds the client area's pixels from BackingOrigin() on.
    const QImage& BackingImage() const;
    QPoint BackingOrigin() const;
    // The background with which invalid areas are erased.
    TBrush& Brush() { return FBrush; }
    void SetBrush(const TBrush& Value) { FBrush = Value; }

    TRect ClientRect() const { return {0, 0, width(), height()}; }
    int ClientWidth() const { return width(); }
    int ClientHeight() const { return height(); }
    // The screen's logical resolution.
    int PixelsPerInchX() const { return logicalDpiX(); }
    int PixelsPerInchY() const { return logicalDpiY(); }

    // Marks the whole client area for painting.
    void Invalidate();
    // Marks a rectangle of client pixels for painting. Erase is accepted for
    // the callers' sake: with double buffering every painted area is erased.
    void InvalidateRect(const TRect& R, bool Erase);
    // The area waiting to be painted.
    const QRegion& InvalidRegion() const;
    // Paints the invalid region now, synchronously. When this control and
    // others of its window that wait to be painted allow it
    // (PrepareOffThreadPaint), they are painted with it, side by side on
    // threads of their own; a paint event does the same.
    void Update();
    // Invalidate, then Update.
    void Repaint();

    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor Value);
    // Shown at a right click; borrowed.
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* Menu) { FPopupMenu = Menu; }

    // The control's mouse events; handlers receive the control as Sender.
    // The second press of a double click is a press with ssDouble, after
    // OnDblClick when it is the left button's.
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)> OnMouseDown;
    std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)> OnMouseMove;
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)> OnMouseUp;
    std::function<void(TObject* Sender)> OnDblClick;

protected:
    // Draws the control on Canvas(), which is clipped to the area being
    // painted. The base draws nothing.
    virtual void Paint();
    // Whether the next Paint may run on another thread, side by side with
    // the paints of the window's other controls. Asked on the GUI thread
    // just before: what Paint would begin with that needs that thread is
    // done here, and PaintPrepared() tells Paint so. The base declines.
    virtual bool PrepareOffThreadPaint();
    bool PaintPrepared() const { return FPaintPrepared; }

    // Fire the events above.
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DblClick();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // A hidden widget gets its resize event only when shown, and a scroll
    // area moves the control without telling it; the image follows the
    // size and the visible area whenever it is used.
    void SyncImageSize() const;
    // The part of the client area that can be seen: all of it, clipped by
    // every parent up to a window area, and by the area where what is left
    // does not fit in it.
    QRect ViewArea() const;
    // Makes the image hold Area.
    void CoverArea(const QRect& Area);
    void PaintInvalid();
    // Whether an invalid area waits to be painted now.
    bool PaintPending() const;
    // Paints the invalid area, and with it those of the window's other
    // controls that can paint off the GUI thread, each on a thread. A
    // Synchronous paint while a drag holds a button paints this control
    // alone: the others' paints wait for their polling round, which a
    // newer movement may make useless.
    void PaintInvalidAlongside(bool Synchronous);
    void ShowDrawn(const QRect& DeviceRect);
    void ScheduleScreenUpdate(const QRect& Area);

    QImage FImage;
    // Where FImage's top-left pixel lies in the client area.
    QPoint FOrigin;
    // The client size the image was made for.
    QSize FImageClientSize;
    TCanvas FCanvas;
    TBrush FBrush{0xFFFFFF};
    QRegion FInvalid;
    // What has been asked of the screen since the last paint event.
    QRect FScreenDirty;
    TCursor FCursor = crDefault;
    QPointer<QMenu> FPopupMenu;
    bool FPainting = false;
    bool FPaintPrepared = false;
};
