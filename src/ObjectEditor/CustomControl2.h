#pragma once

#include "platform/CustomControl.h"
#include "platform/Geometry.h"

#include <array>
#include <cstdint>

// A window control that records its own mouse state: which buttons are
// down, whether and where the mouse moved, and whether its client size
// changed. A drag is then a loop inside the mouse-down handler that pumps a
// few mouse events (whose handlers update the state) and reads the state.
//
// The control binds its own OnMouseDown, OnMouseMove and OnMouseUp to the
// hooks below, so those events are not free for other users; subclasses
// override the hooks.
class TCustomControl2 : public TCustomControl {
public:
    explicit TCustomControl2(QWidget* Owner = nullptr);

    // Pump up to five mouse events, then tell whether the button is held.
    virtual bool LeftButtonDown();
    virtual bool RightButtonDown();
    // Pumps up to Count mouse events (none for 0), then returns MouseMoved
    // without clearing it.
    virtual bool MouseMovedSince(int Count);
    virtual void ClearMouseMoved();
    // Whether the client size differs from the remembered one. A change
    // stays reported (and the size from before it remembered) until
    // ClearSizeChanged.
    virtual bool SizeChanged();
    virtual void ClearSizeChanged();
    // Records the position; MouseMoved tells whether it differs from the
    // one before, so only the last move counts.
    virtual void MouseMoveHook(TObject* Sender, TShiftState Shift, int X, int Y);
    virtual void MouseDownHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseUpHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    // Shows the control and remembers its client size.
    virtual void ShowAndMeasure();
    // Fills the client area of another canvas with the control's brush, as
    // the screen is erased before every paint: the background of a copy.
    void EraseTo(TCanvas& ACanvas);

    // Indexed by TMouseButton: held as seen by the last pumped event.
    std::array<bool, 3> ButtonDown{};
    bool MouseMoved = false;
    bool Resized = false;
    TPoint MousePos;
    TPoint PrevMousePos;
    int32_t LastClientWidth = 0;
    int32_t LastClientHeight = 0;
};
