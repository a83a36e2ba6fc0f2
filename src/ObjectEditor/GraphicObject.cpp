#include "ObjectEditor/GraphicObject.h"

#include "ObjectEditor/StockObjects.h"
#include "QuorData/Utility.h"

#include <memory>
#include <vector>

// ---- Graphic object ----------------------------------------------------------------------

TGraphicObject::TGraphicObject()
    : Flags(gofSelectable)
{
}

bool TGraphicObject::InsideRect(const TRect& R) const
{
    return RectInsideRect(Bounds, R);
}

bool TGraphicObject::CanSelectWith(const TGraphicObject* /*Other*/) const
{
    return true;
}

void TGraphicObject::Invalidate(TCanvas& Canvas)
{
    InvalidateLogicalRect(Canvas, OwnerWindow(), Bounds, true);
}

void TGraphicObject::Draw(TCanvas& /*Canvas*/)
{
}

void TGraphicObject::DrawXorFrame(TCanvas& Canvas)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(ClearBrush());
    Canvas.Rectangle(Bounds);
}

void TGraphicObject::DrawXorFrame2(TCanvas& Canvas)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(ClearBrush());
    Canvas.Rectangle(Bounds);
}

void TGraphicObject::DrawSelectionMark(TCanvas& Canvas, bool /*Selected*/)
{
    DrawXorFrameWhite(Canvas, Bounds);
}

void TGraphicObject::SetSelected(bool /*Selected*/)
{
}

void TGraphicObject::ShowDragFeedback(TCanvas& Canvas, TDragFeedback /*Style*/)
{
    InvalidateLogicalRect(Canvas, OwnerWindow(), Bounds, true);
}

void TGraphicObject::HideDragFeedback(TCanvas& Canvas, TDragFeedback /*Style*/)
{
    Invalidate(Canvas);
}

void TGraphicObject::MoveBy(int DX, int DY)
{
    Bounds.Left += DX;
    Bounds.Right += DX;
    Bounds.Top += DY;
    Bounds.Bottom += DY;
}

void TGraphicObject::ResizeBy(int DW, int DH)
{
    Bounds.Right += DW;
    Bounds.Bottom += DH;
}

void TGraphicObject::BeginDrag(uint32_t /*Kind*/, TDragFeedback /*Style*/)
{
}

void TGraphicObject::EndDrag(uint32_t /*Kind*/, TDragFeedback /*Style*/)
{
}

TGraphicObject* TGraphicObject::CreateHandles(uint32_t AFlags, int W, int H)
{
    return ::CreateHandles(AFlags, W, H, Bounds);
}

uint32_t TGraphicObject::Kind() const
{
    return Flags & gokMask;
}

QString TGraphicObject::GetHint() const
{
    return QString();
}

QString TGraphicObject::GetCaption() const
{
    return GetHint();
}

// ---- Rectangle and handles ----------------------------------------------------------------

TRectElement::TRectElement(const TRect& R)
{
    Bounds = R;
}

bool TRectElement::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(Bounds, Pt);
}

void TRectElement::SetBounds(const TRect& R)
{
    Bounds = R;
}

TSquareHandle::TSquareHandle(int X, int Y, int Width, int Height, uint32_t KindFlags, TCursor ACursor)
    : TRectElement(TRect{X, Y, X + Width, Y + Height})
{
    Flags = gofSelectable | KindFlags;
    Cursor = ACursor;
}

void TSquareHandle::Invalidate(TCanvas& Canvas)
{
    Draw(Canvas);
}

void TSquareHandle::Draw(TCanvas& Canvas)
{
    if (Kind() == gokInert)
        DrawXorFrameGrey(Canvas, Bounds);
    else
        DrawXorFrameWhite(Canvas, Bounds);
}

TRHandle::TRHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX, AY - H / 2, W, H, gokRight, crSizeWE) {}
TLHandle::TLHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX - W, AY - H / 2, W, H, gokLeft, crSizeWE) {}
TTRHandle::TTRHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX, AY - H, W, H, gokTopRight, crSizeNESW) {}
TTLHandle::TTLHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX - W, AY - H, W, H, gokTopLeft, crSizeNWSE) {}
TBLHandle::TBLHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX - W, AY, W, H, gokBottomLeft, crSizeNESW) {}
TBRHandle::TBRHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX, AY, W, H, gokBottomRight, crSizeNWSE) {}
TTHandle::TTHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX - W / 2, AY - H, W, H, gokTop, crSizeNS) {}
TBHandle::TBHandle(int AX, int AY, int W, int H)
    : TSquareHandle(AX - W / 2, AY, W, H, gokBottom, crSizeNS) {}

// ---- Routines ------------------------------------------------------------------------------

namespace {

// The squares in the order of the list: right, left, top-right, top-left,
// bottom-left, bottom-right, top, bottom.
enum class TSquare { R, L, TR, TL, BL, BR, T, B };

std::unique_ptr<TSquareHandle> MakeSquare(TSquare which, int W, int H, const TRect& R)
{
    const int midX = (R.Left + R.Right) / 2;
    const int midY = (R.Top + R.Bottom) / 2;
    switch (which) {
    case TSquare::R:
        return std::make_unique<TRHandle>(R.Right, midY, W, H);
    case TSquare::L:
        return std::make_unique<TLHandle>(R.Left, midY, W, H);
    case TSquare::TR:
        return std::make_unique<TTRHandle>(R.Right, R.Top, W, H);
    case TSquare::TL:
        return std::make_unique<TTLHandle>(R.Left, R.Top, W, H);
    case TSquare::BL:
        return std::make_unique<TBLHandle>(R.Left, R.Bottom, W, H);
    case TSquare::BR:
        return std::make_unique<TBRHandle>(R.Right, R.Bottom, W, H);
    case TSquare::T:
        return std::make_unique<TTHandle>(midX, R.Top, W, H);
    case TSquare::B:
        break;
    }
    return std::make_unique<TBHandle>(midX, R.Bottom, W, H);
}

} // namespace

TGraphicObject* CreateHandles(uint32_t Flags, int W, int H, const TRect& R)
{
    std::vector<std::unique_ptr<TGraphicObject>> handles;
    const bool sizeX = HasFlags(Flags, gofSizeX);
    const bool sizeY = HasFlags(Flags, gofSizeY);
    if (sizeX) {
        handles.push_back(MakeSquare(TSquare::R, W, H, R));
        handles.push_back(MakeSquare(TSquare::L, W, H, R));
        if (sizeY)
            for (TSquare corner : {TSquare::TR, TSquare::TL, TSquare::BL, TSquare::BR})
                handles.push_back(MakeSquare(corner, W, H, R));
    }
    if (sizeY) {
        handles.push_back(MakeSquare(TSquare::T, W, H, R));
        handles.push_back(MakeSquare(TSquare::B, W, H, R));
    }
    if (HasFlags(Flags, gofMovable)) {
        auto frame = std::make_unique<TRectElement>(R);
        frame->Cursor = crSizeAll;
        frame->Flags = gofSelectable | gokMoveFrame;
        handles.push_back(std::move(frame));
    }
    if (!sizeX && !sizeY) {
        for (TSquare square : {TSquare::R, TSquare::L, TSquare::TR, TSquare::TL, TSquare::BL, TSquare::BR,
                               TSquare::T, TSquare::B}) {
            std::unique_ptr<TSquareHandle> handle = MakeSquare(square, W, H, R);
            handle->Flags = gofSelectable | gokInert;
            handle->Cursor = crNo;
            handles.push_back(std::move(handle));
        }
    }
    TGraphicObject* head = nullptr;
    for (auto it = handles.rbegin(); it != handles.rend(); ++it) {
        (*it)->Next = head;
        head = it->release();
    }
    return head;
}

void FreeGraphicObjectList(TGraphicObject*& List)
{
    while (List) {
        TGraphicObject* next = List->Next;
        delete List;
        List = next;
    }
}

void HandleSize(const TCanvas& DC, int Level, int& W, int& H)
{
    const TPoint origin = DC.DPtoLP(TPoint{0, 0});
    const TPoint inch = DC.DPtoLP(TPoint{DC.PixelsPerInchX(), DC.PixelsPerInchY()});
    W = (Level + 3) * (inch.x - origin.x) / 35;
    H = (Level + 3) * (inch.y - origin.y) / 35;
}

bool IsHandleKind(const TGraphicObject* Obj)
{
    return Obj && Obj->Kind() != 0;
}

bool HasFlags(uint32_t Flags, uint32_t Mask)
{
    return (Flags & Mask) == Mask;
}
