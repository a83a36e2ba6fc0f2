#pragma once

#include "platform/Canvas.h"
#include "platform/CustomControl.h"
#include "platform/Geometry.h"
#include "platform/Object.h"

#include <QString>

#include <cstdint>

class TGOEdit;

// ---- Flags and kinds ----------------------------------------------------------------

// Capability flags, in the low 16 bits of Flags. Bits 64 and up to bit 15
// are the subclasses' own (the plots mark their label kinds with 64 and 128).
constexpr uint32_t gofSelectable = 2;
constexpr uint32_t gofMovable = 4;
constexpr uint32_t gofSizeX = 16;
constexpr uint32_t gofSizeY = 32;

// The kind of a sizing handle, in the top four bits; 0 for an ordinary object.
constexpr uint32_t gokMask = 0xF0000000u;
constexpr uint32_t gokLeft = 0x10000000u;
constexpr uint32_t gokTopLeft = 0x20000000u;
constexpr uint32_t gokTop = 0x30000000u;
constexpr uint32_t gokTopRight = 0x40000000u;
constexpr uint32_t gokRight = 0x50000000u;
constexpr uint32_t gokBottomRight = 0x60000000u;
constexpr uint32_t gokBottom = 0x70000000u;
constexpr uint32_t gokBottomLeft = 0x80000000u;
constexpr uint32_t gokMoveFrame = 0xA0000000u;  // covers the selection's bounds
constexpr uint32_t gokInert = 0xB0000000u;      // grey square of a selection that cannot be resized

// How an object shows a move or resize in progress. The editor passes dfLive:
// the object's area is invalidated and repainted after each step.
using TDragFeedback = uint8_t;
constexpr TDragFeedback dfLive = 0;

// ---- Owner -----------------------------------------------------------------------------

// What a graphic object needs of the editor that shows it (TGOEdit
// implements it): the window, where its invalid areas go and whose canvas
// draws on the screen.
class IGraphicObjectOwner {
public:
    virtual ~IGraphicObjectOwner() = default;
    virtual TCustomControl* OwnerWindow() = 0;
};

// ---- Graphic object ----------------------------------------------------------------------

// An editable drawable object: a bounding rectangle in the editor's logical
// units (Right and Bottom outside), capability flags and kind, a cursor, and
// the link to the next object of the list it belongs to. The list's owner
// (the editor) frees its objects.
class TGraphicObject : public TObject {
public:
    TGraphicObject();
    ~TGraphicObject() override = default;
    TGraphicObject(const TGraphicObject&) = delete;
    TGraphicObject& operator=(const TGraphicObject&) = delete;

    // The precise hit test of the object's shape.
    virtual bool ContainsPoint(const TPoint& Pt) const = 0;
    // Both corners of Bounds lie in R, Right and Bottom of R excluded: an
    // object whose Bounds equal R is not inside it.
    virtual bool InsideRect(const TRect& R) const;
    // Whether the object may be in one selection with Other.
    virtual bool CanSelectWith(const TGraphicObject* Other) const;
    // Whether CanSelectWith answers alike for every object of this class
    // and by the class of Other alone, so that a rubber band over thousands
    // of objects asks one listed object of each class instead of every one.
    // False unless a subclass knows better.
    virtual bool CanSelectWithByClass() const { return false; }
    // Marks Bounds invalid in the owner's window, with erasing.
    virtual void Invalidate(TCanvas& Canvas);
    virtual void Draw(TCanvas& Canvas);
    // Bounds as an inverted outline.
    virtual void DrawXorFrame(TCanvas& Canvas);
    virtual void DrawXorFrame2(TCanvas& Canvas);
    // Inverts Bounds whatever Selected says: the editor draws the mark with
    // True and removes it with False.
    virtual void DrawSelectionMark(TCanvas& Canvas, bool Selected);
    // The editor's notice that it selected or deselected the object.
    virtual void SetSelected(bool Selected);
    virtual void ShowDragFeedback(TCanvas& Canvas, TDragFeedback Style);
    virtual void HideDragFeedback(TCanvas& Canvas, TDragFeedback Style);
    virtual void MoveBy(int DX, int DY);
    // Moves Right and Bottom.
    virtual void ResizeBy(int DW, int DH);
    // Around an interactive move or resize, with the kind of the handle
    // that drives it.
    virtual void BeginDrag(uint32_t Kind, TDragFeedback Style);
    virtual void EndDrag(uint32_t Kind, TDragFeedback Style);
    // A new handle list for Bounds; the caller owns it.
    virtual TGraphicObject* CreateHandles(uint32_t AFlags, int W, int H);
    virtual uint32_t Kind() const;
    virtual QString GetHint() const;
    virtual QString GetCaption() const;

    // The fields are ordered so that no padding lies between them: plots
    // hold an object per cell, by the million.
    // The editor that shows the object; set when the object is added.
    IGraphicObjectOwner* OwnerWnd = nullptr;
    // The next object of the list; not owned through this link.
    TGraphicObject* Next = nullptr;
    uint32_t Flags = 0;
    TRect Bounds;
    TCursor Cursor = crCross;

protected:
    TCustomControl* OwnerWindow() const { return OwnerWnd ? OwnerWnd->OwnerWindow() : nullptr; }
};

// ---- Rectangle and handles ----------------------------------------------------------------

class TRectElement : public TGraphicObject {
public:
    explicit TRectElement(const TRect& R);
    // Inside Bounds, Right and Bottom excluded.
    bool ContainsPoint(const TPoint& Pt) const override;
    virtual void SetBounds(const TRect& R);
};

// A square sizing handle, shown and removed by exclusive-or drawing.
class TSquareHandle : public TRectElement {
public:
    TSquareHandle(int X, int Y, int Width, int Height, uint32_t KindFlags, TCursor ACursor);
    // Removed by drawing it again, not by repainting.
    void Invalidate(TCanvas& Canvas) override;
    // Grey for an inert handle, inverted otherwise.
    void Draw(TCanvas& Canvas) override;
};

// The eight compass handles: each placed outside the selection's rectangle
// against its anchor point (AX, AY) on it.
class TRHandle : public TSquareHandle {
public:
    TRHandle(int AX, int AY, int W, int H);
};
class TLHandle : public TSquareHandle {
public:
    TLHandle(int AX, int AY, int W, int H);
};
class TTRHandle : public TSquareHandle {
public:
    TTRHandle(int AX, int AY, int W, int H);
};
class TTLHandle : public TSquareHandle {
public:
    TTLHandle(int AX, int AY, int W, int H);
};
class TBLHandle : public TSquareHandle {
public:
    TBLHandle(int AX, int AY, int W, int H);
};
class TBRHandle : public TSquareHandle {
public:
    TBRHandle(int AX, int AY, int W, int H);
};
class TTHandle : public TSquareHandle {
public:
    TTHandle(int AX, int AY, int W, int H);
};
class TBHandle : public TSquareHandle {
public:
    TBHandle(int AX, int AY, int W, int H);
};

// ---- Routines ------------------------------------------------------------------------------

// The handle list for rectangle R, linked through Next: right and left edge
// handles with gofSizeX (and the four corners, top-right, top-left,
// bottom-left, bottom-right, when gofSizeY is set too), top and bottom with
// gofSizeY, the move frame with gofMovable, and eight inert grey squares
// when it can be resized in neither direction. The caller owns the list
// (see FreeGraphicObjectList) and sets every handle's OwnerWnd.
TGraphicObject* CreateHandles(uint32_t Flags, int W, int H, const TRect& R);
// Frees every object of a Next-linked list; List becomes empty.
void FreeGraphicObjectList(TGraphicObject*& List);
// The handle size for a canvas: (Level + 3) / 35 inch in each direction at
// the device's resolution, in logical units (10 by 10 on a 96-dpi screen at
// level 1).
void HandleSize(const TCanvas& DC, int Level, int& W, int& H);
// Obj is given and has a handle kind.
bool IsHandleKind(const TGraphicObject* Obj);
// Every bit of Mask is set in Flags; a mask of 0 always matches.
bool HasFlags(uint32_t Flags, uint32_t Mask);
