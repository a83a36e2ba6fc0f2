#include "ObjectEditor/CustomControl2.h"

#include "QuorData/Utility.h"

#include <QScopeGuard>

TCustomControl2::TCustomControl2(QWidget* Owner)
    : TCustomControl(Owner)
{
    // Bound through the virtual hooks, so that a subclass's override runs.
    OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        MouseDownHook(Sender, Button, Shift, X, Y);
    };
    OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
        MouseMoveHook(Sender, Shift, X, Y);
    };
    OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        MouseUpHook(Sender, Button, Shift, X, Y);
    };
}

bool TCustomControl2::LeftButtonDown()
{
    ProcessMouseMessages(5, nullptr);
    return ButtonDown[mbLeft];
}

bool TCustomControl2::RightButtonDown()
{
    ProcessMouseMessages(5, nullptr);
    return ButtonDown[mbRight];
}

bool TCustomControl2::MouseMovedSince(int Count)
{
    ProcessMouseMessages(Count, nullptr);
    return MouseMoved;
}

void TCustomControl2::ClearMouseMoved()
{
    MouseMoved = false;
}

bool TCustomControl2::SizeChanged()
{
    const TRect client = ClientRect();
    if (!Resized) {
        Resized = client.Width() != LastClientWidth || client.Height() != LastClientHeight;
        LastClientWidth = client.Width();
        LastClientHeight = client.Height();
    }
    return Resized;
}

void TCustomControl2::ClearSizeChanged()
{
    Resized = false;
}

void TCustomControl2::MouseMoveHook(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y)
{
    PrevMousePos = MousePos;
    MousePos = {X, Y};
    MouseMoved = MousePos != PrevMousePos;
}

void TCustomControl2::MouseDownHook(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                    int /*Y*/)
{
    ButtonDown[size_t(Button)] = true;
}

void TCustomControl2::MouseUpHook(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int /*X*/,
                                  int /*Y*/)
{
    ButtonDown[size_t(Button)] = false;
}

void TCustomControl2::ShowAndMeasure()
{
    show();
    LastClientWidth = ClientWidth();
    LastClientHeight = ClientHeight();
}

void TCustomControl2::EraseTo(TCanvas& ACanvas)
{
    if (Brush().Style() == TBrushStyle::bsClear)
        return;
    const TBrush saved = ACanvas.Brush();
    const auto restore = qScopeGuard([&] { ACanvas.SetBrush(saved); });
    ACanvas.SetBrush(Brush());
    ACanvas.FillRect(ClientRect());
}
