#pragma once

#include "ObjectEditor/CustomControl2.h"
#include "ObjectEditor/GOEParts.h"
#include "ObjectEditor/GraphicObject.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Object.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>

// ---- Selection and hit lists --------------------------------------------------------

// A node of a selection, hover or hit list. The entry refers to its object
// without owning it; a list owns its entries through Next.
class TSelectionEntry : public TObject {
public:
    TSelectionEntry(TGraphicObject* AObject, std::unique_ptr<TSelectionEntry> ANext);
    // Frees the rest of the list without recursing, so long lists (a rubber
    // band over thousands of dots) cannot exhaust the stack.
    ~TSelectionEntry() override;
    TSelectionEntry(const TSelectionEntry&) = delete;
    TSelectionEntry& operator=(const TSelectionEntry&) = delete;

    TGraphicObject* Object = nullptr;
    // The object's Bounds when a move or resize started.
    TRect SavedBounds;
    std::unique_ptr<TSelectionEntry> Next;
    // The entry in front of this one, kept by the list routines, so that an
    // entry found through an index leaves its list without a search.
    TSelectionEntry* Prev = nullptr;
    // The object's Bounds and Flags as the editor's running summary counted
    // them, so that leaving takes away exactly what joining added, even
    // after the object moved.
    TRect CountedBounds;
    uint32_t CountedFlags = 0;
};

// An owned list of entries: its head.
using TSelectionList = std::unique_ptr<TSelectionEntry>;

// A new entry for Obj in front of Next.
TSelectionList NewSelectionEntry(TGraphicObject* Obj, TSelectionList Next);
bool SelectionContains(const TGraphicObject* Obj, const TSelectionEntry* List);
// The object of the entry after Obj's, wrapping to the head; nullptr when
// Obj is not listed or the list is empty.
TGraphicObject* NextSelected(const TGraphicObject* Obj, const TSelectionEntry* List);
// Frees Obj's entry (not the object) and returns the new head.
TSelectionList RemoveSelectionEntry(const TGraphicObject* Obj, TSelectionList List);
// Frees the entries, never the objects; List becomes empty.
void FreeSelectionList(TSelectionList& List);
int SelectionCount(const TSelectionEntry* List);

// Object lists are linked through TGraphicObject::Next.
TGraphicObject* LastObject(TGraphicObject* Head);
// Unlink Obj if it is in the list and link it in again at the tail or the
// head; return the new head.
TGraphicObject* MoveObjectToEnd(TGraphicObject* Head, TGraphicObject* Obj);
TGraphicObject* MoveObjectToFront(TGraphicObject* Head, TGraphicObject* Obj);

// The common flags and the union of the bounds of a set of objects, kept as
// counts (objects per flag bit, objects per edge coordinate), so that an
// object joining or leaving the set costs little however large it is.
class TSelectionSummary {
public:
    void Clear() { *this = TSelectionSummary(); }
    // Counts the entry's object as it stands now, noting in the entry what
    // was counted.
    void Add(TSelectionEntry* Entry);
    // Takes away what Add counted for the entry. False when the counts do
    // not hold it (they were made without it): make the summary anew.
    bool Remove(const TSelectionEntry* Entry);
    int Count() const { return FCount; }
    uint32_t FlagsAnd() const;
    uint32_t FlagsOr() const;
    // The union of the bounds that are not empty, if there are any.
    bool HasBounds() const;
    TRect Bounds() const;

private:
    int FCount = 0;
    std::array<int, 32> FBits{};
    // Per edge (Left, Top, Right, Bottom): how many objects lie on each
    // coordinate; empty bounds are left out, as the union leaves them.
    std::array<std::map<int, int>, 4> FEdges;
};

// ---- Editor -----------------------------------------------------------------------------

// What the editor is doing.
enum TGOEditMode : uint8_t {
    emIdle = 0,     // waiting
    emHitTest = 1,  // a hover hit test runs
    emMove = 2,     // the move loop runs
    emResize = 3,   // the resize loop runs
    emClick = 4,    // a press is being handled
    emDrag = 5,     // the press turned into a drag
};

// The graphic-object editor: owns a list of graphic objects and paints
// them, keeps a selection of them with its sizing handles, tracks the
// objects under the mouse, turns presses into selections, moves and
// resizes, and paints all or some parts of itself onto any canvas.
//
// Selection marks, handles, drag frames and the rubber band are drawn in
// exclusive-or over the painted objects; every drawing of them is paired
// with a removal, and a paint redraws the objects and then marks and
// handles once over the fresh area.
//
// The drag and resize loops run inside the press handler and poll the mouse
// (TCustomControl2); a silent abort raised inside a left press, by the
// editor or by an object (a plot that rebuilds itself on a drop), ends the
// press quietly.
class TGOEdit : public TCustomControl2, public IGraphicObjectOwner {
public:
    explicit TGOEdit(QWidget* Owner = nullptr);
    ~TGOEdit() override;

    // IGraphicObjectOwner
    TCustomControl* OwnerWindow() override { return this; }

    // ---- Virtual operations, in the order subclasses know them ----

    // The cursor for what lies under the mouse: the arrow for nothing, the
    // help cursor for several objects, the object's own for one; then fires
    // OnObjectHover.
    virtual void UpdateCursor(TSelectionEntry* Hits, const TPoint& Pt);
    // Frees every object of the list; List becomes empty.
    virtual void FreeObjectList(TGraphicObject*& List);
    // The hover hit test; empty (and Pt unchanged) unless the mouse moved
    // since the last test, which it consumes.
    virtual TSelectionList HitTestList(TPoint& Pt);
    // Obj and every listed object accept each other; True for an empty list.
    virtual bool SelectionCompatible(const TSelectionEntry* SelList, TGraphicObject* Obj);
    // Rebuilds HoverList at the current mouse state and updates the cursor.
    virtual void UpdateHover();
    // Marks R, in the canvas's logical units, for painting.
    virtual void InvalidateArea(const TRect& R, bool Erase);
    // The first object of the shape hits among the bounds hits; Ambiguous
    // tells whether there were several.
    virtual TGraphicObject* ObjectAt(TGraphicObject* List, const TPoint& Pt, uint32_t Mask, bool FirstOnly,
                                     bool& Ambiguous);
    // The objects having Mask whose Bounds hold Pt, topmost (last painted) first.
    virtual TSelectionList BoundsHitList(TGraphicObject* List, const TPoint& Pt, uint32_t Mask);
    // The candidates having Mask whose shape holds Pt, in candidate order;
    // only the first with FirstOnly.
    virtual TSelectionList ShapeHitList(const TSelectionEntry* Candidates, const TPoint& Pt, uint32_t Mask,
                                        bool FirstOnly);
    // A new handle list for a non-empty selection (the caller owns it): the
    // union's handles for several objects, the object's own for one.
    virtual TGraphicObject* CreateSelectionHandles(const TSelectionEntry* SelList);
    virtual TGraphicObject* CreateObjectHandles(TGraphicObject* Obj, uint32_t AFlags);
    // Frees the handle list without drawing; AHandles becomes empty.
    virtual void FreeHandles(const TSelectionEntry* SelList, TGraphicObject*& AHandles);
    virtual void BeforeFreeHandles();
    // Draws the handles (exclusive-or), rebuilding them first when the
    // client size changed; returns the list now in use.
    virtual TGraphicObject* ShowHandles(TGraphicObject* AHandles);
    virtual TGraphicObject* ShowHandlesTo(TGraphicObject* AHandles, TCanvas& ACanvas, TGOEParts Parts);
    // Draws the objects whose Bounds meet the clip rectangle, in list order.
    virtual void DrawObjects(TGraphicObject* List);
    virtual void DrawObjectsTo(TGraphicObject* List, TCanvas& ACanvas, TGOEParts Parts);
    virtual void DrawUnselectedObjects(TGraphicObject* List, const TSelectionEntry* Excluded);
    // The selection mark of every selectable listed object; drawing it with
    // False removes it again.
    virtual void DrawSelectionMarks(const TSelectionEntry* SelList, bool Selected);
    virtual void DrawSelectionMarksTo(const TSelectionEntry* SelList, bool Selected, TCanvas& ACanvas,
                                      TGOEParts Parts);
    // Invalidate of every object; handle squares are removed by it.
    virtual void InvalidateObjects(TGraphicObject* List);
    // Makes Obj the only selected object; the selection must be empty.
    virtual void SetSelection(TGraphicObject* Obj);
    // Removes handles and marks; with Discard also empties the selection.
    virtual void ClearSelection(bool Discard);
    // The Ctrl-click: Obj leaves or joins the selection.
    virtual void ToggleObjectSelection(TGraphicObject* Obj);
    // Multi, SelFlagsAnd, SelFlagsOr and SelBounds from the list.
    virtual void ComputeSelectionBounds(const TSelectionEntry* SelList);
    // Whether Obj's move and size capabilities, within the selection's
    // common ones, differ from those.
    virtual bool SelectionFlagsDiffer(TGraphicObject* Obj);
    // Draws a band from StartPt while the button is held, then selects
    // what lies inside it.
    virtual void RubberBandSelect(const TPoint& StartPt, bool Additive);
    // The band between R's two corners (start and current point), dashed,
    // in exclusive-or; drawing it twice restores the screen.
    virtual void DrawRubberBand(const TRect& R);
    // Selects the selectable, compatible objects the band takes in; with
    // Additive a listed object leaves the list instead. Returns the list.
    // Compatibility is SelectionCompatible's rule, asked of one listed
    // object per class where the objects answer by class.
    virtual TSelectionList SelectInRect(TGraphicObject* AObjects, const TRect& R, bool Additive,
                                        TSelectionList SelList);
    // Whether the band between R's corners takes in Obj: by default when
    // Obj lies wholly inside it.
    virtual bool BandTakes(TGraphicObject* Obj, const TRect& R);
    virtual void MoveSelection(TSelectionEntry* SelList, uint32_t AKind);
    virtual void ResizeSelection(TSelectionEntry* SelList, uint32_t AKind);
    virtual void ClickHandle(TShiftState Shift, TGraphicObject* Handle, const TPoint& Pt, int Depth);
    virtual void ClickObject(TShiftState Shift, TSelectionEntry* Hits, const TPoint& Pt, int Depth);
    virtual void LeftMouseDown(TShiftState Shift, const TPoint& Pt);
    virtual void RightMouseDown(TShiftState Shift, const TPoint& Pt);
    // Hooks: the screen background after PrepareCanvas, and the background
    // part of PaintTo.
    virtual void PaintBackground();
    virtual void PaintBackgroundTo(TCanvas& ACanvas, TGOEParts Parts);
    virtual void DblClick(TObject* Sender);
    // Paints the chosen parts onto any canvas (clipboard, printer).
    virtual void PaintTo(TCanvas& ACanvas, TGOEParts Parts);
    // Hook, run before drawing by Paint and AddObject.
    virtual void PrepareCanvas();
    // The editor owns Obj from now on; it is painted below all earlier
    // objects and hit after them. With Draw it is drawn at once.
    virtual void AddObject(std::unique_ptr<TGraphicObject> Obj, bool Draw);
    // To the head of the list (painted first) or to its tail (painted last,
    // hit first). An object not yet in the list joins it, owned from then on.
    virtual void SendToBack(TGraphicObject* Obj);
    virtual void BringToFront(TGraphicObject* Obj);
    // Borrowed views of the lists.
    virtual TSelectionEntry* GetSelection();
    virtual TGraphicObject* GetObjects();
    virtual void Deselect();
    virtual void HideSelection(bool Hide);
    // After the selection list was changed directly (Deselect, then
    // ToggleSelected per object): bounds and handles anew, marks with
    // ShowMarks, OnSelectionChange with Notify.
    virtual void SelectionChanged(bool ShowMarks, bool Notify);
    // Adds or removes Obj's entry only: no drawing, no notice, no SetSelected.
    virtual void ToggleSelected(TGraphicObject* Obj);
    virtual bool IsSelected(const TGraphicObject* Obj);
    // Lists or unlists Obj as the selection list's own toggle does, in time
    // that does not grow with the list; an unlisted object's mark is
    // removed as Deselect removes it. No notice, no SetSelected.
    void SetListed(TGraphicObject* Obj, bool Listed);
    // After SetListed calls: bounds, flags and handles anew, as
    // SelectionChanged(False, False) leaves them after a full resync.
    void ListedChanged();
    // After objects moved or changed under program control.
    virtual void UpdateAfterChange();
    // Frees every object.
    virtual void ClearAll();

    // The objects under Pt having Mask, topmost first; the caller owns the list.
    TSelectionList ObjectsAt(const TPoint& Pt, uint32_t Mask);

    // ---- Overrides of the polled-mouse control ----
    void MouseMoveHook(TObject* Sender, TShiftState Shift, int X, int Y) override;
    void MouseDownHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUpHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;

    // ---- State ----
    TGOEditMode Mode = emIdle;
    // All objects, owned; the head is painted first (bottom), the tail last.
    TGraphicObject* Objects = nullptr;
    // The selected objects; the head is the most recently added.
    TSelectionList Selection;
    // The handles of the selection, owned.
    TGraphicObject* Handles = nullptr;
    uint32_t SelFlagsAnd = 0xFFFFFFFFu;
    uint32_t SelFlagsOr = 0;
    // Union of the selected objects' Bounds; empty without a selection.
    TRect SelBounds;
    bool Multi = false;
    // The objects under the mouse at the last hover test.
    TSelectionList HoverList;
    // A left press came while another was being handled.
    bool PendingClick = false;
    int32_t HandleSizeLevel = 1;

    // Fired at the start of every screen paint, on the GUI thread.
    std::function<void(TObject* Sender)> OnPaint;
    // Asked after OnPaint, on the GUI thread: whether the rest of the paint
    // may run on another thread. Without it, never.
    std::function<bool(TObject* Sender)> OnQueryOffThreadPaint;
    // Fired at the start of every PaintTo.
    std::function<void(TObject* Sender, TCanvas& ACanvas, TGOEParts Parts)> OnPaintTo;
    // Fired after every hover test; Pt means nothing when Hits is empty.
    std::function<void(TObject* Sender, TSelectionEntry* Hits, const TPoint& Pt)> OnObjectHover;
    // Fired whenever the selection list changes; nullptr when it became empty.
    std::function<void(TObject* Sender, TSelectionEntry* ASelection)> OnSelectionChange;
    // Fired when the handling of a press has ended, the editor idle again,
    // also when a failure ended it: what the press held back (writes, a
    // rebuild of the objects it worked on) may go ahead now.
    std::function<void(TObject* Sender)> OnPressEnd;

    // A press is being handled: its loops and handlers hold on to objects,
    // hit lists and the selection, which nothing may free meanwhile.
    bool HandlingPress() const { return FPressLevel > 0; }

protected:
    using TCustomControl::DblClick;
    void Paint() override;
    bool PrepareOffThreadPaint() override;
    // Draws the listed objects up to End whose Bounds meet the canvas's
    // clip rectangle, in list order, leaving out those in Excluded.
    void DrawClipped(TCanvas& ACanvas, TGraphicObject* List, const TSelectionEntry* Excluded,
                     const TGraphicObject* End = nullptr);

private:
    // Runs a left press's handling with the silent abort ending it quietly;
    // the editor is idle again afterwards, whatever happened.
    void HandleLeftPress(TShiftState Shift, const TPoint& Pt);
    // Runs one press's handler, then, once the outermost press is over,
    // OnPressEnd.
    void RunPress(const std::function<void()>& Handler);
    // Polls until the mouse moves or the button is released; tells whether
    // the gesture is a drag and whether the button is still held.
    void WaitForGesture(bool& Drag, bool& Held);
    // Polls until the left button is released.
    void WaitForRelease();
    // Drains the queued movement so that the position is read once.
    void DrainMovement();
    // The selectable objects under Pt, topmost first.
    TSelectionList SelectableHitList(const TPoint& Pt);
    // A handle under Pt, the last of overlapping ones; nullptr without one.
    TGraphicObject* HandleAt(const TPoint& Pt);
    void SetHandlesOwner(TGraphicObject* List);
    // After a change of the client size: the selection's handles anew, at
    // the new handle size; otherwise AHandles.
    TGraphicObject* RebuildHandlesIfResized(TGraphicObject* AHandles);
    // The start of a move or resize: every object's Bounds saved, BeginDrag
    // and its feedback shown.
    void BeginLiveDrag(TSelectionEntry* SelList, uint32_t AKind);
    // Every object's feedback shown again after a step.
    void ShowLiveFeedback(TSelectionEntry* SelList);
    // The end of a move or resize: the bounds anew, EndDrag while the objects
    // stand at the drop, and the old and new areas repainted.
    void EndLiveDrag(TSelectionEntry* SelList, uint32_t AKind);
    void NotifySelectionChange();
    // An object's Bounds changed while it was drawn (a label measuring its
    // text): a listed one is counted again at its new bounds.
    void RecountDrawn(TGraphicObject* Obj);
    // The index of the selection list (object to entry) and its summary,
    // rebuilt when the list changed behind the editor's back.
    void EnsureListedIndex();
    // The selection list changed wholesale: index and summary are stale.
    void ForgetListedIndex();

    // Presses being handled: a press replayed from inside another's loop
    // nests.
    int FPressLevel = 0;
    std::unordered_map<const TGraphicObject*, TSelectionEntry*> FListed;
    const TSelectionEntry* FListedHead = nullptr;
    bool FListedValid = false;
    TSelectionSummary FSummary;
    bool FSummaryValid = false;
};
