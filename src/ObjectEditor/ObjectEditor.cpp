#include "ObjectEditor/ObjectEditor.h"

#include "ObjectEditor/GraphLib.h"
#include "ObjectEditor/StockObjects.h"
#include "QuorData/Utility.h"
#include "platform/Exceptions.h"
#include "platform/MouseQueue.h"

#include <QScopeGuard>

#include <algorithm>
#include <bit>
#include <cmath>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

// ---- Selection and hit lists --------------------------------------------------------

TSelectionEntry::TSelectionEntry(TGraphicObject* AObject, std::unique_ptr<TSelectionEntry> ANext)
    : Object(AObject), Next(std::move(ANext))
{
    if (Next)
        Next->Prev = this;
}

TSelectionEntry::~TSelectionEntry()
{
    std::unique_ptr<TSelectionEntry> rest = std::move(Next);
    // Each node is freed after its own link was taken out, so no destructor
    // below this one has anything left to free.
    while (rest)
        rest = std::move(rest->Next);
}

TSelectionList NewSelectionEntry(TGraphicObject* Obj, TSelectionList Next)
{
    return std::make_unique<TSelectionEntry>(Obj, std::move(Next));
}

bool SelectionContains(const TGraphicObject* Obj, const TSelectionEntry* List)
{
    for (const TSelectionEntry* e = List; e; e = e->Next.get())
        if (e->Object == Obj)
            return true;
    return false;
}

TGraphicObject* NextSelected(const TGraphicObject* Obj, const TSelectionEntry* List)
{
    for (const TSelectionEntry* e = List; e; e = e->Next.get())
        if (e->Object == Obj)
            return e->Next ? e->Next->Object : List->Object;
    return nullptr;
}

namespace {

// Takes Entry out of the list that Head starts, through its back link.
void UnlinkSelectionEntry(TSelectionList& Head, TSelectionEntry* Entry)
{
    TSelectionList& link = Entry->Prev ? Entry->Prev->Next : Head;
    TSelectionList dead = std::move(link);
    link = std::move(dead->Next);
    if (link)
        link->Prev = dead->Prev;
}

} // namespace

TSelectionList RemoveSelectionEntry(const TGraphicObject* Obj, TSelectionList List)
{
    for (TSelectionEntry* e = List.get(); e; e = e->Next.get()) {
        if (e->Object == Obj) {
            UnlinkSelectionEntry(List, e);
            break;
        }
    }
    return List;
}

void FreeSelectionList(TSelectionList& List)
{
    List.reset();
}

int SelectionCount(const TSelectionEntry* List)
{
    int count = 0;
    for (const TSelectionEntry* e = List; e; e = e->Next.get())
        ++count;
    return count;
}

TGraphicObject* LastObject(TGraphicObject* Head)
{
    if (!Head)
        return nullptr;
    while (Head->Next)
        Head = Head->Next;
    return Head;
}

namespace {

TGraphicObject* Unlink(TGraphicObject* Head, TGraphicObject* Obj)
{
    if (Head == Obj)
        return Obj->Next;
    for (TGraphicObject* o = Head; o; o = o->Next)
        if (o->Next == Obj) {
            o->Next = Obj->Next;
            break;
        }
    return Head;
}

} // namespace

TGraphicObject* MoveObjectToEnd(TGraphicObject* Head, TGraphicObject* Obj)
{
    if (!Obj)
        return Head;
    Head = Unlink(Head, Obj);
    Obj->Next = nullptr;
    if (!Head)
        return Obj;
    LastObject(Head)->Next = Obj;
    return Head;
}

TGraphicObject* MoveObjectToFront(TGraphicObject* Head, TGraphicObject* Obj)
{
    if (!Obj)
        return Head;
    Head = Unlink(Head, Obj);
    Obj->Next = Head;
    return Obj;
}

// ---- Local geometry ----------------------------------------------------------------

namespace {

bool IsEmptyRect(const TRect& R)
{
    return R.Right <= R.Left || R.Bottom <= R.Top;
}

// The union as the selection bounds need it: an empty rectangle adds nothing.
TRect UnionOf(const TRect& A, const TRect& B)
{
    if (IsEmptyRect(B))
        return A;
    if (IsEmptyRect(A))
        return B;
    return {std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
            std::max(A.Bottom, B.Bottom)};
}

bool RectsMeet(const TRect& A, const TRect& B)
{
    return std::max(A.Left, B.Left) < std::min(A.Right, B.Right) &&
           std::max(A.Top, B.Top) < std::min(A.Bottom, B.Bottom);
}

bool IsCornerKind(uint32_t Kind)
{
    return Kind == gokTopLeft || Kind == gokTopRight || Kind == gokBottomLeft || Kind == gokBottomRight;
}

// The edges of the selection's union that the dragged handle controls
// follow the mouse.
void ApplyHandleDelta(uint32_t Kind, TRect& R, int DX, int DY)
{
    if (Kind == gokTop || Kind == gokTopLeft || Kind == gokTopRight)
        R.Top += DY;
    if (Kind == gokLeft || Kind == gokTopLeft || Kind == gokBottomLeft)
        R.Left += DX;
    if (Kind == gokBottom || Kind == gokBottomLeft || Kind == gokBottomRight)
        R.Bottom += DY;
    if (Kind == gokRight || Kind == gokTopRight || Kind == gokBottomRight)
        R.Right += DX;
}

// A scale against the extent at the start. A start extent of 0 (objects
// made with empty bounds) has no proportion; such an extent is kept.
float ScaleOf(int Now, int Start)
{
    return Start == 0 ? 1.0f : float(Now) / float(Start);
}

void DrawMarks(TCanvas& Canvas, const TSelectionEntry* SelList, bool Selected)
{
    for (const TSelectionEntry* e = SelList; e; e = e->Next.get())
        if (HasFlags(e->Object->Flags, gofSelectable))
            e->Object->DrawSelectionMark(Canvas, Selected);
}

} // namespace

// ---- Selection summary ----------------------------------------------------------------

void TSelectionSummary::Add(TSelectionEntry* Entry)
{
    Entry->CountedFlags = Entry->Object->Flags;
    Entry->CountedBounds = Entry->Object->Bounds;
    ++FCount;
    for (uint32_t flags = Entry->CountedFlags; flags; flags &= flags - 1)
        ++FBits[size_t(std::countr_zero(flags))];
    const TRect& b = Entry->CountedBounds;
    // Empty bounds add nothing to the union.
    if (IsEmptyRect(b))
        return;
    ++FEdges[0][b.Left];
    ++FEdges[1][b.Top];
    ++FEdges[2][b.Right];
    ++FEdges[3][b.Bottom];
}

bool TSelectionSummary::Remove(const TSelectionEntry* Entry)
{
    --FCount;
    for (uint32_t flags = Entry->CountedFlags; flags; flags &= flags - 1)
        --FBits[size_t(std::countr_zero(flags))];
    const TRect& b = Entry->CountedBounds;
    if (IsEmptyRect(b))
        return true;
    const int edges[4] = {b.Left, b.Top, b.Right, b.Bottom};
    bool known = true;
    for (size_t e = 0; e < 4; ++e) {
        const auto found = FEdges[e].find(edges[e]);
        if (found == FEdges[e].end())
            known = false;
        else if (--found->second == 0)
            FEdges[e].erase(found);
    }
    return known;
}

bool TSelectionSummary::HasBounds() const
{
    return !FEdges[0].empty();
}

TRect TSelectionSummary::Bounds() const
{
    if (!HasBounds())
        return {};
    return {FEdges[0].begin()->first, FEdges[1].begin()->first, FEdges[2].rbegin()->first,
            FEdges[3].rbegin()->first};
}

uint32_t TSelectionSummary::FlagsAnd() const
{
    uint32_t flags = 0xFFFFFFFFu;
    for (int bit = 0; bit < 32; ++bit)
        if (FBits[size_t(bit)] != FCount)
            flags &= ~(1u << bit);
    return flags;
}

uint32_t TSelectionSummary::FlagsOr() const
{
    uint32_t flags = 0;
    for (int bit = 0; bit < 32; ++bit)
        if (FBits[size_t(bit)] > 0)
            flags |= 1u << bit;
    return flags;
}

// ---- Editor: creation ----------------------------------------------------------------

TGOEdit::TGOEdit(QWidget* Owner)
    : TCustomControl2(Owner)
{
    OnDblClick = [this](TObject* Sender) { DblClick(Sender); };
}

TGOEdit::~TGOEdit()
{
    FreeSelectionList(HoverList);
    FreeGraphicObjectList(Objects);
    FreeSelectionList(Selection);
    FreeGraphicObjectList(Handles);
}

// ---- Hover and hit tests ---------------------------------------------------------------

void TGOEdit::UpdateCursor(TSelectionEntry* Hits, const TPoint& Pt)
{
    if (!Hits)
        SetCursor(crArrow);
    else if (Hits->Next)
        SetCursor(crHelp);
    else
        SetCursor(Hits->Object->Cursor);
    if (OnObjectHover)
        OnObjectHover(this, Hits, Pt);
}

void TGOEdit::FreeObjectList(TGraphicObject*& List)
{
    FreeGraphicObjectList(List);
}

TSelectionList TGOEdit::HitTestList(TPoint& Pt)
{
    if (!MouseMoved)
        return nullptr;
    ClearMouseMoved();
    Pt = MousePos;
    if (TGraphicObject* handle = HandleAt(Pt))
        return NewSelectionEntry(handle, nullptr);
    if (!Objects)
        return nullptr;
    // Mask 0: objects that cannot be selected are found too.
    const TSelectionList candidates = BoundsHitList(Objects, Pt, 0);
    return ShapeHitList(candidates.get(), Pt, 0, false);
}

bool TGOEdit::SelectionCompatible(const TSelectionEntry* SelList, TGraphicObject* Obj)
{
    for (const TSelectionEntry* e = SelList; e; e = e->Next.get())
        if (!e->Object->CanSelectWith(Obj) || !Obj->CanSelectWith(e->Object))
            return false;
    return true;
}

void TGOEdit::UpdateHover()
{
    const TGOEditMode saved = Mode;
    const auto restore = qScopeGuard([&] { Mode = saved; });
    Mode = emHitTest;
    FreeSelectionList(HoverList);
    TPoint pt = MousePos;
    HoverList = HitTestList(pt);
    UpdateCursor(HoverList.get(), pt);
}

void TGOEdit::InvalidateArea(const TRect& R, bool Erase)
{
    InvalidateLogicalRect(Canvas(), this, R, Erase);
}

TGraphicObject* TGOEdit::ObjectAt(TGraphicObject* List, const TPoint& Pt, uint32_t Mask, bool FirstOnly,
                                  bool& Ambiguous)
{
    const TSelectionList candidates = BoundsHitList(List, Pt, Mask);
    const TSelectionList hits = ShapeHitList(candidates.get(), Pt, Mask, FirstOnly);
    Ambiguous = hits && hits->Next;
    return hits ? hits->Object : nullptr;
}

TSelectionList TGOEdit::BoundsHitList(TGraphicObject* List, const TPoint& Pt, uint32_t Mask)
{
    // Prepending puts the last painted, topmost object first.
    TSelectionList hits;
    for (TGraphicObject* o = List; o; o = o->Next)
        if (HasFlags(o->Flags, Mask) && PtInRect(o->Bounds, Pt))
            hits = NewSelectionEntry(o, std::move(hits));
    return hits;
}

TSelectionList TGOEdit::ShapeHitList(const TSelectionEntry* Candidates, const TPoint& Pt, uint32_t Mask,
                                     bool FirstOnly)
{
    TSelectionList hits;
    TSelectionList* tail = &hits;
    for (const TSelectionEntry* c = Candidates; c; c = c->Next.get()) {
        TGraphicObject* o = c->Object;
        if (!HasFlags(o->Flags, Mask) || !o->ContainsPoint(Pt))
            continue;
        *tail = NewSelectionEntry(o, nullptr);
        tail = &(*tail)->Next;
        if (FirstOnly)
            break;
    }
    return hits;
}

TSelectionList TGOEdit::ObjectsAt(const TPoint& Pt, uint32_t Mask)
{
    const TSelectionList candidates = BoundsHitList(Objects, Pt, Mask);
    return ShapeHitList(candidates.get(), Pt, Mask, false);
}

TSelectionList TGOEdit::SelectableHitList(const TPoint& Pt)
{
    if (!Objects)
        return nullptr;
    const TSelectionList candidates = BoundsHitList(Objects, Pt, gofSelectable);
    return ShapeHitList(candidates.get(), Pt, gofSelectable, false);
}

TGraphicObject* TGOEdit::HandleAt(const TPoint& Pt)
{
    if (!Handles)
        return nullptr;
    // Where handles overlap, the one nearest the end of the list comes first.
    bool ambiguous = false;
    return ObjectAt(Handles, Pt, gofSelectable, true, ambiguous);
}

// ---- Handles ----------------------------------------------------------------------------

TGraphicObject* TGOEdit::CreateSelectionHandles(const TSelectionEntry* SelList)
{
    if (!SelList)
        return nullptr;
    // The current client size counts as seen, so that the next ShowHandles
    // does not rebuild what was just built.
    SizeChanged();
    ClearSizeChanged();
    if (!SelList->Next)
        return CreateObjectHandles(SelList->Object, SelFlagsAnd);
    int w = 0;
    int h = 0;
    HandleSize(Canvas(), HandleSizeLevel, w, h);
    TGraphicObject* list = ::CreateHandles(SelFlagsAnd, w, h, SelBounds);
    SetHandlesOwner(list);
    return list;
}

TGraphicObject* TGOEdit::CreateObjectHandles(TGraphicObject* Obj, uint32_t AFlags)
{
    SizeChanged();
    ClearSizeChanged();
    int w = 0;
    int h = 0;
    HandleSize(Canvas(), HandleSizeLevel, w, h);
    TGraphicObject* list = Obj->CreateHandles(AFlags & 0xFFFFu, w, h);
    SetHandlesOwner(list);
    return list;
}

void TGOEdit::SetHandlesOwner(TGraphicObject* List)
{
    for (TGraphicObject* o = List; o; o = o->Next)
        o->OwnerWnd = this;
}

void TGOEdit::FreeHandles(const TSelectionEntry* /*SelList*/, TGraphicObject*& AHandles)
{
    BeforeFreeHandles();
    FreeObjectList(AHandles);
}

void TGOEdit::BeforeFreeHandles()
{
}

TGraphicObject* TGOEdit::ShowHandles(TGraphicObject* AHandles)
{
    AHandles = RebuildHandlesIfResized(AHandles);
    DrawObjects(AHandles);
    return AHandles;
}

TGraphicObject* TGOEdit::ShowHandlesTo(TGraphicObject* AHandles, TCanvas& ACanvas, TGOEParts Parts)
{
    AHandles = RebuildHandlesIfResized(AHandles);
    DrawObjectsTo(AHandles, ACanvas, Parts);
    return AHandles;
}

TGraphicObject* TGOEdit::RebuildHandlesIfResized(TGraphicObject* AHandles)
{
    if (!SizeChanged())
        return AHandles;
    ClearSizeChanged();
    // The list may be the one the field holds; the field lets go of it
    // first, so that an override of CreateSelectionHandles that frees the
    // old handles cannot free it a second time.
    if (AHandles == Handles)
        Handles = nullptr;
    FreeHandles(Selection.get(), AHandles);
    return CreateSelectionHandles(Selection.get());
}

// ---- Drawing ---------------------------------------------------------------------------

void TGOEdit::DrawObjects(TGraphicObject* List)
{
    DrawClipped(Canvas(), List, nullptr);
}

void TGOEdit::DrawObjectsTo(TGraphicObject* List, TCanvas& ACanvas, TGOEParts /*Parts*/)
{
    DrawClipped(ACanvas, List, nullptr);
}

void TGOEdit::DrawUnselectedObjects(TGraphicObject* List, const TSelectionEntry* Excluded)
{
    DrawClipped(Canvas(), List, Excluded);
}

void TGOEdit::DrawClipped(TCanvas& ACanvas, TGraphicObject* List, const TSelectionEntry* Excluded,
                          const TGraphicObject* End)
{
    const TRect clip = ACanvas.ClipRect();
    for (TGraphicObject* o = List; o && o != End; o = o->Next) {
        if (!RectsMeet(o->Bounds, clip) || SelectionContains(o, Excluded))
            continue;
        const TRect before = o->Bounds;
        o->Draw(ACanvas);
        if (o->Bounds != before)
            RecountDrawn(o);
    }
}

void TGOEdit::DrawSelectionMarks(const TSelectionEntry* SelList, bool Selected)
{
    DrawMarks(Canvas(), SelList, Selected);
}

void TGOEdit::DrawSelectionMarksTo(const TSelectionEntry* SelList, bool Selected, TCanvas& ACanvas,
                                   TGOEParts /*Parts*/)
{
    DrawMarks(ACanvas, SelList, Selected);
}

void TGOEdit::InvalidateObjects(TGraphicObject* List)
{
    TCanvas& canvas = Canvas();
    for (TGraphicObject* o = List; o; o = o->Next)
        o->Invalidate(canvas);
}

void TGOEdit::Paint()
{
    TCustomControl2::Paint();
    // A paint ends silently on any failure: an error dialog here would
    // itself ask for paints, and the plots abort paints while they update.
    try {
        if (OnPaint && !PaintPrepared())
            OnPaint(this);
        PrepareCanvas();
        PaintBackground();
        if (Objects)
            DrawObjects(Objects);
        // While a press, move or resize is being handled its own drawing
        // carries the marks.
        if (Selection && (Mode == emIdle || Mode == emHitTest))
            DrawSelectionMarks(Selection.get(), true);
        if (Handles)
            Handles = ShowHandles(Handles);
    } catch (...) {
    }
}

bool TGOEdit::PrepareOffThreadPaint()
{
    if (!OnQueryOffThreadPaint)
        return false;
    try {
        if (OnPaint)
            OnPaint(this);
    } catch (...) {
        // The paint ends on the same failure, as it always has.
        return false;
    }
    return OnQueryOffThreadPaint(this);
}

void TGOEdit::PaintTo(TCanvas& ACanvas, TGOEParts Parts)
{
    try {
        if (OnPaintTo)
            OnPaintTo(this, ACanvas, Parts);
        if (Parts.testFlag(goepBackground)) {
            EraseTo(ACanvas);
            PaintBackgroundTo(ACanvas, Parts);
        }
        if (Parts.testFlag(goepObjects) && Objects)
            DrawObjectsTo(Objects, ACanvas, Parts);
        if (Parts.testFlag(goepSelection) && Selection)
            DrawSelectionMarksTo(Selection.get(), true, ACanvas, Parts);
        if (Parts.testFlag(goepHandles) && Handles)
            Handles = ShowHandlesTo(Handles, ACanvas, Parts);
    } catch (...) {
    }
}

void TGOEdit::PaintBackground()
{
}

void TGOEdit::PaintBackgroundTo(TCanvas& /*ACanvas*/, TGOEParts /*Parts*/)
{
}

void TGOEdit::PrepareCanvas()
{
}

void TGOEdit::DblClick(TObject* /*Sender*/)
{
}

// ---- Selection --------------------------------------------------------------------------

void TGOEdit::SetSelection(TGraphicObject* Obj)
{
    QUOR_ASSERT(!Selection, "ObjectEditor.SetSelection: there is supposed to be an empty selection at the "
                            "beginning of this method");
    Obj->SetSelected(true);
    Selection = NewSelectionEntry(Obj, nullptr);
    ForgetListedIndex();
    DrawSelectionMarks(Selection.get(), true);
    SelFlagsAnd = Obj->Flags;
    SelFlagsOr = Obj->Flags;
    SelBounds = Obj->Bounds;
    Multi = false;
    Handles = ShowHandles(CreateSelectionHandles(Selection.get()));
    NotifySelectionChange();
}

void TGOEdit::ClearSelection(bool Discard)
{
    if (Handles) {
        InvalidateObjects(Handles);
        FreeHandles(Selection.get(), Handles);
    }
    DrawSelectionMarks(Selection.get(), false);
    if (!Discard)
        return;
    for (TSelectionEntry* e = Selection.get(); e; e = e->Next.get())
        e->Object->SetSelected(false);
    FreeSelectionList(Selection);
    ForgetListedIndex();
    Multi = false;
    SelFlagsAnd = 0xFFFFFFFFu;
    SelFlagsOr = 0;
    SelBounds = {};
    NotifySelectionChange();
}

void TGOEdit::ToggleObjectSelection(TGraphicObject* Obj)
{
    if (IsSelected(Obj)) {
        Obj->SetSelected(false);
        ClearSelection(false);
        Update();
        Selection = RemoveSelectionEntry(Obj, std::move(Selection));
        ForgetListedIndex();
        ComputeSelectionBounds(Selection.get());
        if (Selection) {
            Mode = emIdle;
            Handles = CreateSelectionHandles(Selection.get());
            DrawSelectionMarks(Selection.get(), true);
            Handles = ShowHandles(Handles);
            Update();
        }
    } else {
        Obj->SetSelected(true);
        ClearSelection(false);
        Update();
        Selection = NewSelectionEntry(Obj, std::move(Selection));
        ForgetListedIndex();
        SelFlagsAnd &= Obj->Flags;
        SelFlagsOr |= Obj->Flags;
        SelBounds = UnionOf(SelBounds, Obj->Bounds);
        Handles = CreateSelectionHandles(Selection.get());
        DrawSelectionMarks(Selection.get(), true);
        Handles = ShowHandles(Handles);
        Mode = emIdle;
        Update();
    }
    Multi = SelectionCount(Selection.get()) >= 2;
    NotifySelectionChange();
}

void TGOEdit::ComputeSelectionBounds(const TSelectionEntry* SelList)
{
    // Called after objects moved: the summary's bounds may be out of date.
    FSummaryValid = false;
    Multi = SelList && SelList->Next;
    SelFlagsAnd = 0xFFFFFFFFu;
    SelFlagsOr = 0;
    SelBounds = {};
    if (!SelList)
        return;
    SelBounds = SelList->Object->Bounds;
    for (const TSelectionEntry* e = SelList; e; e = e->Next.get()) {
        SelFlagsAnd &= e->Object->Flags;
        SelFlagsOr |= e->Object->Flags;
        if (e != SelList)
            SelBounds = UnionOf(SelBounds, e->Object->Bounds);
    }
}

bool TGOEdit::SelectionFlagsDiffer(TGraphicObject* Obj)
{
    constexpr uint32_t capabilities = gofMovable | gofSizeX | gofSizeY;
    return (SelFlagsAnd & capabilities) != (Obj->Flags & SelFlagsAnd & capabilities);
}

namespace {

// The list a rubber band builds, with what each step asks of it answered
// without walking it: whether an object is listed, and whether an object
// goes with every listed one, asked of one listed object per class when
// their CanSelectWith answers by class.
class TBandList {
public:
    explicit TBandList(TSelectionList AList) : FList(std::move(AList))
    {
        for (TSelectionEntry* e = FList.get(); e; e = e->Next.get())
            Listed(e);
    }

    bool Contains(const TGraphicObject* Obj) const { return FEntries.count(Obj) != 0; }

    bool Compatible(TGraphicObject* Obj) const
    {
        if (!Obj->CanSelectWithByClass()) {
            for (const TSelectionEntry* e = FList.get(); e; e = e->Next.get())
                if (!e->Object->CanSelectWith(Obj) || !Obj->CanSelectWith(e->Object))
                    return false;
            return true;
        }
        for (const auto& [type, group] : FClasses)
            if (group.Count > 0
                && (!group.Example->CanSelectWith(Obj) || !Obj->CanSelectWith(group.Example)))
                return false;
        for (const TGraphicObject* other : FOthers)
            if (!other->CanSelectWith(Obj) || !Obj->CanSelectWith(other))
                return false;
        return true;
    }

    void Prepend(TGraphicObject* Obj)
    {
        FList = NewSelectionEntry(Obj, std::move(FList));
        Listed(FList.get());
    }

    void Remove(TGraphicObject* Obj)
    {
        const auto found = FEntries.find(Obj);
        TSelectionEntry* entry = found->second;
        FEntries.erase(found);
        if (Obj->CanSelectWithByClass()) {
            TClass& group = FClasses[std::type_index(typeid(*Obj))];
            --group.Count;
            if (group.Example == Obj)
                group.Example = nullptr;
        } else {
            FOthers.erase(std::find(FOthers.begin(), FOthers.end(), Obj));
        }
        UnlinkSelectionEntry(FList, entry);
        // A class whose example left finds another one (rare: a band that
        // takes listed objects out again).
        for (auto& [type, group] : FClasses)
            if (group.Count > 0 && !group.Example)
                for (TSelectionEntry* e = FList.get(); e && !group.Example; e = e->Next.get())
                    if (e->Object->CanSelectWithByClass() && std::type_index(typeid(*e->Object)) == type)
                        group.Example = e->Object;
    }

    TSelectionList Take() { return std::move(FList); }

private:
    struct TClass {
        int Count = 0;
        TGraphicObject* Example = nullptr;
    };

    void Listed(TSelectionEntry* Entry)
    {
        TGraphicObject* obj = Entry->Object;
        FEntries[obj] = Entry;
        if (obj->CanSelectWithByClass()) {
            TClass& group = FClasses[std::type_index(typeid(*obj))];
            ++group.Count;
            if (!group.Example)
                group.Example = obj;
        } else {
            FOthers.push_back(obj);
        }
    }

    TSelectionList FList;
    std::unordered_map<const TGraphicObject*, TSelectionEntry*> FEntries;
    std::unordered_map<std::type_index, TClass> FClasses;
    std::vector<TGraphicObject*> FOthers;
};

} // namespace

TSelectionList TGOEdit::SelectInRect(TGraphicObject* AObjects, const TRect& R, bool Additive,
                                     TSelectionList SelList)
{
    TBandList list(std::move(SelList));
    for (TGraphicObject* o = AObjects; o; o = o->Next) {
        if (!HasFlags(o->Flags, gofSelectable) || !BandTakes(o, R) || !list.Compatible(o))
            continue;
        const bool listed = list.Contains(o);
        if (Additive && listed) {
            o->SetSelected(false);
            list.Remove(o);
        } else {
            o->SetSelected(true);
            // One entry per object: a second one would cancel its mark.
            if (!listed)
                list.Prepend(o);
        }
    }
    return list.Take();
}

bool TGOEdit::BandTakes(TGraphicObject* Obj, const TRect& R)
{
    return Obj->InsideRect(NormalizeRect(R));
}

TSelectionEntry* TGOEdit::GetSelection()
{
    return Selection.get();
}

TGraphicObject* TGOEdit::GetObjects()
{
    return Objects;
}

void TGOEdit::Deselect()
{
    ClearSelection(true);
}

void TGOEdit::HideSelection(bool Hide)
{
    if (!Hide)
        return;
    ClearSelection(false);
    Update();
}

void TGOEdit::SelectionChanged(bool ShowMarks, bool Notify)
{
    ComputeSelectionBounds(Selection.get());
    if (Selection) {
        // Callers remove the handles first; any left are let go unseen
        // rather than leaked.
        if (Handles)
            FreeHandles(Selection.get(), Handles);
        Handles = CreateSelectionHandles(Selection.get());
        if (ShowMarks) {
            DrawSelectionMarks(Selection.get(), true);
            Handles = ShowHandles(Handles);
            Update();
        }
    }
    if (Notify)
        NotifySelectionChange();
}

void TGOEdit::ToggleSelected(TGraphicObject* Obj)
{
    EnsureListedIndex();
    const bool listed = FListed.count(Obj) != 0;
    if (listed) {
        TSelectionEntry* entry = FListed[Obj];
        if (FSummaryValid && !FSummary.Remove(entry))
            FSummaryValid = false;
        UnlinkSelectionEntry(Selection, entry);
        FListed.erase(Obj);
    } else {
        Selection = NewSelectionEntry(Obj, std::move(Selection));
        FListed[Obj] = Selection.get();
        if (FSummaryValid)
            FSummary.Add(Selection.get());
    }
    FListedHead = Selection.get();
}

bool TGOEdit::IsSelected(const TGraphicObject* Obj)
{
    EnsureListedIndex();
    return FListed.count(Obj) != 0;
}

void TGOEdit::SetListed(TGraphicObject* Obj, bool Listed)
{
    if (IsSelected(Obj) == Listed)
        return;
    // Deselect takes every mark away before a full resync; one leaving
    // object takes only its own.
    if (!Listed && HasFlags(Obj->Flags, gofSelectable))
        Obj->DrawSelectionMark(Canvas(), false);
    ToggleSelected(Obj);
}

void TGOEdit::ListedChanged()
{
    EnsureListedIndex();
    if (!FSummaryValid) {
        FSummary.Clear();
        for (TSelectionEntry* e = Selection.get(); e; e = e->Next.get())
            FSummary.Add(e);
        FSummaryValid = true;
    }
    Multi = FSummary.Count() >= 2;
    SelFlagsAnd = FSummary.FlagsAnd();
    SelFlagsOr = FSummary.FlagsOr();
    // The union of the bounds that are not empty; without any, the head's,
    // as the full computation leaves it.
    SelBounds = FSummary.HasBounds() ? FSummary.Bounds() : Selection ? Selection->Object->Bounds : TRect{};
    if (Handles) {
        InvalidateObjects(Handles);
        FreeHandles(Selection.get(), Handles);
    }
    if (Selection)
        Handles = CreateSelectionHandles(Selection.get());
}

void TGOEdit::EnsureListedIndex()
{
    if (FListedValid && FListedHead == Selection.get())
        return;
    FListed.clear();
    for (TSelectionEntry* e = Selection.get(); e; e = e->Next.get())
        FListed[e->Object] = e;
    FListedHead = Selection.get();
    FListedValid = true;
    FSummaryValid = false;
}

void TGOEdit::ForgetListedIndex()
{
    FListedValid = false;
    FSummaryValid = false;
}

void TGOEdit::RecountDrawn(TGraphicObject* Obj)
{
    if (!FSummaryValid || !FListedValid || FListedHead != Selection.get())
        return;
    const auto found = FListed.find(Obj);
    if (found == FListed.end())
        return;
    if (!FSummary.Remove(found->second))
        FSummaryValid = false;
    else
        FSummary.Add(found->second);
}

void TGOEdit::NotifySelectionChange()
{
    if (OnSelectionChange)
        OnSelectionChange(this, Selection.get());
}

// ---- Objects ----------------------------------------------------------------------------

void TGOEdit::AddObject(std::unique_ptr<TGraphicObject> Obj, bool Draw)
{
    if (!Obj)
        return;
    Obj->OwnerWnd = this;
    Obj->Next = nullptr;
    if (Draw) {
        PrepareCanvas();
        DrawObjects(Obj.get());
    }
    TGraphicObject* added = Obj.release();
    added->Next = Objects;
    Objects = added;
}

void TGOEdit::SendToBack(TGraphicObject* Obj)
{
    Objects = MoveObjectToFront(Objects, Obj);
}

void TGOEdit::BringToFront(TGraphicObject* Obj)
{
    Objects = MoveObjectToEnd(Objects, Obj);
}

void TGOEdit::UpdateAfterChange()
{
    FreeHandles(Selection.get(), Handles);
    ComputeSelectionBounds(Selection.get());
    if (Selection)
        Handles = CreateSelectionHandles(Selection.get());
    UpdateHover();
    Invalidate();
}

void TGOEdit::ClearAll()
{
    ClearSelection(true);
    FreeObjectList(Objects);
    // The hover entries refer to the freed objects.
    FreeSelectionList(HoverList);
    UpdateHover();
    Invalidate();
}

// ---- Mouse -------------------------------------------------------------------------------

void TGOEdit::MouseMoveHook(TObject* Sender, TShiftState Shift, int X, int Y)
{
    TCustomControl2::MouseMoveHook(Sender, Shift, X, Y);
    // Inside a press the movement only updates the recorded position.
    if (!MouseMoved || Mode != emIdle)
        return;
    const auto idle = qScopeGuard([this] { Mode = emIdle; });
    Mode = emHitTest;
    FreeSelectionList(HoverList);
    TPoint pt = MousePos;
    HoverList = HitTestList(pt);
    UpdateCursor(HoverList.get(), pt);
    if (PendingClick) {
        // A press that came while the editor was busy, replayed here with
        // this movement's position and keys.
        PendingClick = false;
        HandleLeftPress(Shift, Point(X, Y));
    }
}

void TGOEdit::MouseDownHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl2::MouseDownHook(Sender, Button, Shift, X, Y);
    if (LeftButtonDown()) {
        if (Mode == emIdle)
            HandleLeftPress(Shift, Point(X, Y));
        else
            PendingClick = true;
    } else if (RightButtonDown() && Mode == emIdle) {
        RunPress([&] { RightMouseDown(Shift, Point(X, Y)); });
    }
}

void TGOEdit::MouseUpHook(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TCustomControl2::MouseUpHook(Sender, Button, Shift, X, Y);
}

void TGOEdit::HandleLeftPress(TShiftState Shift, const TPoint& Pt)
{
    RunPress([&] {
        // A press that arrives while this one is handled is dropped.
        const auto dropPending = qScopeGuard([this] { PendingClick = false; });
        try {
            LeftMouseDown(Shift, Pt);
        } catch (const EAbort&) {
        }
    });
}

void TGOEdit::RunPress(const std::function<void()>& Handler)
{
    {
        // Whatever ends the press, the editor is idle afterwards: a failure
        // other than the silent abort goes on to the error dialog, but must
        // not leave every later press taken for one that arrived while busy.
        const auto idle = qScopeGuard([this] {
            Mode = emIdle;
            --FPressLevel;
        });
        ++FPressLevel;
        Mode = emClick;
        try {
            Handler();
        } catch (...) {
            // The owner still settles what the press did before it failed;
            // the failure itself is what the error dialog shows.
            if (FPressLevel == 1 && OnPressEnd) {
                try {
                    OnPressEnd(this);
                } catch (...) {
                }
            }
            throw;
        }
    }
    if (FPressLevel == 0 && OnPressEnd)
        OnPressEnd(this);
}

void TGOEdit::LeftMouseDown(TShiftState Shift, const TPoint& Pt)
{
    TSelectionList hits;
    if (TGraphicObject* handle = HandleAt(Pt))
        hits = NewSelectionEntry(handle, nullptr);
    else
        hits = SelectableHitList(Pt);
    if (hits && IsHandleKind(hits->Object))
        ClickHandle(Shift, hits->Object, Pt, 2);
    else
        ClickObject(Shift, hits.get(), Pt, 2);
    UpdateHover();
}

void TGOEdit::RightMouseDown(TShiftState /*Shift*/, const TPoint& /*Pt*/)
{
}

void TGOEdit::WaitForGesture(bool& Drag, bool& Held)
{
    while (!MouseMovedSince(5) && LeftButtonDown()) {
    }
    Drag = MouseMovedSince(5);
    Held = LeftButtonDown();
}

void TGOEdit::WaitForRelease()
{
    while (LeftButtonDown()) {
    }
}

void TGOEdit::DrainMovement()
{
    while (MouseMovedSince(5))
        ClearMouseMoved();
    // The flag tells of the last move only, so two moves at one place end
    // the loop above with movement still queued behind them. That is taken
    // too, up to the release: a step for a position that a newer one
    // already replaces is work thrown away, and slow steps would fall ever
    // further behind the mouse.
    while (ButtonDown[mbLeft] && MouseQueue::MouseEventWaiting())
        MouseMovedSince(1);
}

void TGOEdit::ClickHandle(TShiftState Shift, TGraphicObject* Handle, const TPoint& Pt, int Depth)
{
    if (Depth == 0 || !Handles || !Handle)
        return;
    // The handle is gone once the selection's handles are removed.
    const uint32_t kind = Handle->Kind();
    bool drag = false;
    bool held = false;
    WaitForGesture(drag, held);
    if (kind == gokInert) {
        WaitForRelease();
        return;
    }
    if (held) {
        ClearSelection(false);
        Update();
        if (kind == gokMoveFrame) {
            Mode = emMove;
            MoveSelection(Selection.get(), kind);
        } else {
            Mode = emResize;
            ResizeSelection(Selection.get(), kind);
        }
        Mode = emIdle;
        DrawSelectionMarks(Selection.get(), true);
        Handles = ShowHandles(CreateSelectionHandles(Selection.get()));
        Update();
        return;
    }
    if (kind == gokMoveFrame) {
        // A click inside the selection: the objects under the point decide.
        const TSelectionList hits = SelectableHitList(Pt);
        ClickObject(Shift, hits.get(), Pt, Depth - 1);
    }
}

void TGOEdit::ClickObject(TShiftState Shift, TSelectionEntry* Hits, const TPoint& Pt, int Depth)
{
    if (Depth == 0 || !Objects)
        return;
    bool drag = false;
    bool held = false;
    WaitForGesture(drag, held);
    Mode = drag ? emDrag : emClick;

    // Repeated clicks on overlapping objects step through them from the top.
    TGraphicObject* target = nullptr;
    if (Hits && !Hits->Next)
        target = Hits->Object;
    else if (Hits) {
        const bool single = Selection && !Multi;
        if (single && SelectionContains(Selection->Object, Hits))
            target = NextSelected(Selection->Object, Hits);
        else
            target = Hits->Object;
    }
    const bool ctrl = (Shift & ssCtrl) != 0;

    if (ctrl && Selection && target) {
        if (Mode == emDrag) {
            ClearSelection(false);
            Update();
            RubberBandSelect(Pt, true);
        } else if (SelectionCompatible(Selection.get(), target)) {
            ToggleObjectSelection(target);
            WaitForRelease();
        }
        return;
    }
    if (Selection && !Multi && Selection->Object == target)
        return;
    if (Selection && !ctrl) {
        ClearSelection(true);
        Update();
    }
    if (target) {
        SetSelection(target);
        if (Mode == emClick)
            Mode = emIdle;
        Update();
        if (Mode == emDrag) {
            // Pressing on an unselected movable object and dragging selects
            // and moves it in one gesture.
            if (TGraphicObject* handle = HandleAt(Pt)) {
                ClickHandle(Shift, handle, Pt, Depth - 1);
            } else {
                ClearSelection(true);
                Update();
                RubberBandSelect(Pt, false);
            }
        }
        return;
    }
    if (Mode == emDrag) {
        if (ctrl) {
            ClearSelection(false);
            Update();
            RubberBandSelect(Pt, true);
        } else {
            RubberBandSelect(Pt, false);
        }
    }
}

// ---- Rubber band ----------------------------------------------------------------------------

void TGOEdit::RubberBandSelect(const TPoint& StartPt, bool Additive)
{
    TRect band{StartPt.x, StartPt.y, StartPt.x, StartPt.y};
    DrawRubberBand(band);
    while (LeftButtonDown()) {
        if (!MouseMovedSince(5))
            continue;
        ClearMouseMoved();
        DrawRubberBand(band);
        // Start and current point as the corners, not normalised: a
        // subclass may draw and test a line between them.
        band = {StartPt.x, StartPt.y, MousePos.x, MousePos.y};
        DrawRubberBand(band);
    }
    DrawRubberBand(band);
    Selection = SelectInRect(Objects, band, Additive, std::move(Selection));
    ForgetListedIndex();
    ComputeSelectionBounds(Selection.get());
    if (Selection) {
        DrawSelectionMarks(Selection.get(), true);
        Handles = ShowHandles(CreateSelectionHandles(Selection.get()));
    }
    NotifySelectionChange();
}

void TGOEdit::DrawRubberBand(const TRect& R)
{
    const TRect band = NormalizeRect(R);
    TDashPattern pattern = RubberBandPattern();
    TCanvas& canvas = Canvas();
    canvas.SetPen(XorPen());
    canvas.SetBrush(ClearBrush());
    // One pattern around all four sides keeps the dash rhythm at the corners.
    DrawPatternLine(canvas, band.Left, band.Top, band.Right, band.Top, pattern);
    DrawPatternLine(canvas, band.Right, band.Top, band.Right, band.Bottom, pattern);
    DrawPatternLine(canvas, band.Right, band.Bottom, band.Left, band.Bottom, pattern);
    DrawPatternLine(canvas, band.Left, band.Bottom, band.Left, band.Top, pattern);
}

// ---- Move and resize ---------------------------------------------------------------------------

void TGOEdit::MoveSelection(TSelectionEntry* SelList, uint32_t AKind)
{
    // From the last movement seen: the motion that made the press a drag
    // is not applied.
    TPoint last = MousePos;
    TCanvas& canvas = Canvas();
    BeginLiveDrag(SelList, AKind);
    for (;;) {
        // Movement that came in with the release is taken as a last step:
        // the objects end where the button went up.
        bool held = LeftButtonDown();
        if (held && !MouseMovedSince(5))
            continue;
        if (held) {
            DrainMovement();
            // A release drained with the movement ends the drag here: no
            // step for a position that the release writes anyway.
            held = ButtonDown[mbLeft];
        } else if (MousePos == last)
            break;
        const int dx = MousePos.x - last.x;
        const int dy = MousePos.y - last.y;
        last = MousePos;
        for (TSelectionEntry* e = SelList; e; e = e->Next.get()) {
            e->Object->HideDragFeedback(canvas, dfLive);
            e->Object->MoveBy(dx, dy);
        }
        // After the release the end of the drag paints the final state.
        if (!held)
            break;
        Update();
        ShowLiveFeedback(SelList);
    }
    EndLiveDrag(SelList, AKind);
}

void TGOEdit::ResizeSelection(TSelectionEntry* SelList, uint32_t AKind)
{
    TPoint last = MousePos;
    const TRect start = SelBounds;
    bool shiftBefore = ShiftKeyDown();
    TCanvas& canvas = Canvas();
    BeginLiveDrag(SelList, AKind);
    for (;;) {
        // As in MoveSelection, movement that came in with the release is
        // a last step.
        const bool held = LeftButtonDown();
        const bool shiftNow = ShiftKeyDown();
        const bool moved = held ? MouseMovedSince(5) : MousePos != last;
        if (!held && !moved)
            break;
        // A change of the Shift key alone re-applies the sizes.
        if (!moved && shiftNow == shiftBefore)
            continue;
        int dx = 0;
        int dy = 0;
        if (moved) {
            if (held)
                DrainMovement();
            dx = MousePos.x - last.x;
            dy = MousePos.y - last.y;
            last = MousePos;
        }
        ApplyHandleDelta(AKind, SelBounds, dx, dy);
        float sx = ScaleOf(SelBounds.Width(), start.Width());
        float sy = ScaleOf(SelBounds.Height(), start.Height());
        TRect r = SelBounds;
        shiftBefore = shiftNow;
        if (shiftNow && IsCornerKind(AKind)) {
            // Proportional: the larger scale for both sides, the corner
            // opposite the dragged one staying where it is. SelBounds itself
            // keeps following the mouse.
            const float s = std::max(sx, sy);
            const int w = RoundHalfEven(double(start.Width()) * double(s));
            const int h = RoundHalfEven(double(start.Height()) * double(s));
            switch (AKind) {
            case gokTopRight:
                r.Right = r.Left + w;
                r.Top = r.Bottom - h;
                break;
            case gokTopLeft:
                r.Left = r.Right - w;
                r.Top = r.Bottom - h;
                break;
            case gokBottomLeft:
                r.Left = r.Right - w;
                r.Bottom = r.Top + h;
                break;
            default:
                r.Right = r.Left + w;
                r.Bottom = r.Top + h;
                break;
            }
            sx = ScaleOf(r.Width(), start.Width());
            sy = ScaleOf(r.Height(), start.Height());
        }
        for (TSelectionEntry* e = SelList; e; e = e->Next.get()) {
            const TRect& s = e->SavedBounds;
            int left = RoundHalfEven(double(s.Left - start.Left) * double(sx)) + r.Left;
            int right = RoundHalfEven(double(s.Right - start.Left) * double(sx)) + r.Left;
            int top = RoundHalfEven(double(s.Top - start.Top) * double(sy)) + r.Top;
            int bottom = RoundHalfEven(double(s.Bottom - start.Top) * double(sy)) + r.Top;
            if (right < left)
                SwapInt(left, right);
            if (bottom < top)
                SwapInt(top, bottom);
            // An object stays at least one unit wide and high.
            if (left == right)
                right = left + 1;
            if (top == bottom)
                bottom = top + 1;
            TGraphicObject* o = e->Object;
            o->HideDragFeedback(canvas, dfLive);
            // The extent before the move, so that a plain object ends with
            // exactly these bounds.
            const int width = o->Bounds.Width();
            const int height = o->Bounds.Height();
            o->MoveBy(left - o->Bounds.Left, top - o->Bounds.Top);
            o->ResizeBy((right - left) - width, (bottom - top) - height);
        }
        if (!held)
            break;
        Update();
        ShowLiveFeedback(SelList);
    }
    EndLiveDrag(SelList, AKind);
}

void TGOEdit::BeginLiveDrag(TSelectionEntry* SelList, uint32_t AKind)
{
    TCanvas& canvas = Canvas();
    for (TSelectionEntry* e = SelList; e; e = e->Next.get()) {
        e->SavedBounds = e->Object->Bounds;
        e->Object->BeginDrag(AKind, dfLive);
        e->Object->ShowDragFeedback(canvas, dfLive);
    }
    Update();
}

void TGOEdit::ShowLiveFeedback(TSelectionEntry* SelList)
{
    TCanvas& canvas = Canvas();
    for (TSelectionEntry* e = SelList; e; e = e->Next.get())
        e->Object->ShowDragFeedback(canvas, dfLive);
    Update();
}

void TGOEdit::EndLiveDrag(TSelectionEntry* SelList, uint32_t AKind)
{
    ComputeSelectionBounds(SelList);
    Mode = emClick;
    // A drop may end in the silent abort (a plot rebuilding itself); the
    // objects still stand where the loop left them while EndDrag looks for
    // a target.
    for (TSelectionEntry* e = SelList; e; e = e->Next.get()) {
        e->Object->EndDrag(AKind, dfLive);
        InvalidateArea(e->SavedBounds, true);
        InvalidateArea(e->Object->Bounds, true);
    }
    Update();
}
