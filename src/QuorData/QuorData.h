#pragma once

#include "platform/Object.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TData;
class TDataSrc;
class TVariant;

// A growable array of 32-bit signed integers.
using TDynArrayOfInt = std::vector<int32_t>;

// Properties of one dimension, stored by source index so that they travel
// with the dimension when the view order changes.
struct TDimProps {
    bool Selected = false;
    bool Hidden = false;
    double Min = 0;    // data range; Max is at least Min + MinRange
    double Max = 0;
    double LBound = 0; // displayed bounds; -inf / +inf: not set
    double UBound = 0;
    double SliderLow = 0; // value range the slider marks
    double SliderHigh = 0;
    bool SliderOff = false; // true while the slider is not in use
};

// Properties of one data item, stored by source index.
struct TPointProps {
    bool Selected = false;
    bool Hidden = false;
    int Color = 0; // index into the value colour table
};

// ---------------------------------------------------------------------------
// Change events. They carry no behaviour: their run-time class says what
// changed, so that the queue can coalesce them by class.

// Every event class can be made generic without arguments (Create), also
// through its class reference, which the coalescing uses.
#define QUOR_EVENT_CREATE(Name)                                                \
public:                                                                        \
    static std::unique_ptr<Name> Create() { return std::make_unique<Name>(); }

// Data events also name positions: Create (Index), CreatePair (Index,
// Index2) and CreateFlag (Index, Flag) make specific events.
#define QUOR_DATA_EVENT_CREATE(Name)                                           \
    QUOR_EVENT_CREATE(Name)                                                    \
    static std::unique_ptr<Name> Create(int Index)                             \
    {                                                                          \
        auto e = std::make_unique<Name>();                                     \
        e->Index = Index;                                                      \
        e->IsGeneric = false;                                                  \
        return e;                                                              \
    }                                                                          \
    static std::unique_ptr<Name> CreatePair(int Index, int Index2)             \
    {                                                                          \
        auto e = Create(Index);                                                \
        e->Index2 = Index2;                                                    \
        return e;                                                              \
    }                                                                          \
    static std::unique_ptr<Name> CreateFlag(int Index, bool Flag)              \
    {                                                                          \
        auto e = Create(Index);                                                \
        e->Flag = Flag;                                                        \
        return e;                                                              \
    }

class TQuorDataEventBase : public TObject {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQuorDataEventBase)
    TData* Data = nullptr;    // the data object that queued it
    TObject* Actor = nullptr; // the lock holder when it was queued
    bool IsGeneric = true;    // a change of its kind whose details are not told
};

// Notices that are not data changes, delivered through CustomEvent.
class TQuorDataCustomEvent : public TQuorDataEventBase {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQuorDataCustomEvent)
};

class TQDCELiveTracking : public TQuorDataCustomEvent {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQDCELiveTracking)
};

class TQDCESubSelection : public TQuorDataCustomEvent {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQDCESubSelection)
    // Visible positions of the block.
    int FirstPoint = 0;
    int LastPoint = 0;
    int FirstDim = 0;
    int LastDim = 0;
    bool Cleared = false;
};

class TQDCEDataClientEvent : public TQuorDataCustomEvent {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQDCEDataClientEvent)
    TObject* Client = nullptr; // the client concerned
};

class TQDCEDataClientAdded : public TQDCEDataClientEvent {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQDCEDataClientAdded)
};

class TQDCEDataClientBeingRemoved : public TQDCEDataClientEvent {
    QUORBEL_DECLARE_CLASS()
    QUOR_EVENT_CREATE(TQDCEDataClientBeingRemoved)
};

// Data changes. The tree reads from the most general change down: a new
// source implies new values, new values imply every dimension and point
// change.
class TQuorDataEvent : public TQuorDataEventBase {
    QUORBEL_DECLARE_CLASS()
    QUOR_DATA_EVENT_CREATE(TQuorDataEvent)
    int Index = 0;
    int Index2 = 0;
    bool Flag = false;
};

#define QUOR_DECLARE_DATA_EVENT(Name, Parent)                                  \
    class Name : public Parent {                                               \
        QUORBEL_DECLARE_CLASS()                                                \
        QUOR_DATA_EVENT_CREATE(Name)                                           \
    };

QUOR_DECLARE_DATA_EVENT(TQuorDataEventDataSrcChange, TQuorDataEvent)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventValueChange, TQuorDataEventDataSrcChange)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimModifications, TQuorDataEventValueChange)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimSelectionChange, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimExchange, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimMove, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimSliderChange, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimVisibilityChange, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimLBoundChange, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventDimUBoundChange, TQuorDataEventDimModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventPointModifications, TQuorDataEventValueChange)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventPointExchange, TQuorDataEventPointModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventPointVisibilityChange, TQuorDataEventPointModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventPointSelectionChange, TQuorDataEventPointModifications)
QUOR_DECLARE_DATA_EVENT(TQuorDataEventPointColorChange, TQuorDataEventPointModifications)

#undef QUOR_DECLARE_DATA_EVENT

// ---------------------------------------------------------------------------
// What every data client implements. The data object holds its clients as
// plain references and finds this interface by dynamic_cast for each
// delivery; implementers are not reference counted.
class IQuorDataClient {
public:
    static constexpr const char* IID = "{8C6D910E-C16C-4FC6-9A9E-8BE8B3182E01}";

    virtual ~IQuorDataClient() = default;

    virtual void BeginEvents() = 0;
    virtual void EndEvents() = 0;
    virtual void PointModifications(TData* Data, TObject* Actor) = 0;
    virtual void PointColorChange(TData* Data, TObject* Actor, int Point) = 0;
    virtual void PointSelectionChange(TData* Data, TObject* Actor, int Point, bool Selected) = 0;
    virtual void PointVisibilityChange(TData* Data, TObject* Actor, int Point, bool Visible) = 0;
    virtual void PointExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) = 0;
    virtual void DimSelectionChange(TData* Data, TObject* Actor, int Dim, bool Selected) = 0;
    virtual void DimExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) = 0;
    virtual void DimMove(TData* Data, TObject* Actor, int SrcMoved, int SrcAtTarget) = 0;
    virtual void DimVisibilityChange(TData* Data, TObject* Actor, int Dim, bool Visible) = 0;
    virtual void DimSliderChange(TData* Data, TObject* Actor, int Dim) = 0;
    virtual void DimBoundChange(TData* Data, TObject* Actor, int Dim) = 0;
    virtual void DimModifications(TData* Data, TObject* Actor) = 0;
    virtual void ValueChange(TData* Data, TObject* Actor) = 0;
    virtual void DataSrcChange(TData* Data, TObject* Actor) = 0;
    // The event is borrowed for the length of the call.
    virtual void CustomEvent(TQuorDataCustomEvent* Event) = 0;
};

// Ignores every notice: a data client derives from it and overrides only the
// notices it acts on.
class TQuorNoOpDataClient : public IQuorDataClient {
public:
    void BeginEvents() override {}
    void EndEvents() override {}
    void PointModifications(TData*, TObject*) override {}
    void PointColorChange(TData*, TObject*, int) override {}
    void PointSelectionChange(TData*, TObject*, int, bool) override {}
    void PointVisibilityChange(TData*, TObject*, int, bool) override {}
    void PointExchange(TData*, TObject*, int, int) override {}
    void DimSelectionChange(TData*, TObject*, int, bool) override {}
    void DimExchange(TData*, TObject*, int, int) override {}
    void DimMove(TData*, TObject*, int, int) override {}
    void DimVisibilityChange(TData*, TObject*, int, bool) override {}
    void DimSliderChange(TData*, TObject*, int) override {}
    void DimBoundChange(TData*, TObject*, int) override {}
    void DimModifications(TData*, TObject*) override {}
    void ValueChange(TData*, TObject*) override {}
    void DataSrcChange(TData*, TObject*) override {}
    void CustomEvent(TQuorDataCustomEvent*) override {}
};

// ---------------------------------------------------------------------------
// The one data object that every plot and tool of a main window shares: a
// table of points by dimensions read from three cell grids, with view orders,
// per-dimension and per-point properties, and change delivery to registered
// clients. Every operation addresses dimensions and points by view position,
// except the exchange-by-source operations and the permutation accessors.
//
// Writes change the state at once; while the object is locked they also
// queue change events, which SendEvents delivers after EndWrite.
class TData : public TObject {
    QUORBEL_DECLARE_CLASS()

public:
    using TEventQueue = std::vector<std::unique_ptr<TQuorDataEvent>>;
    using TCustomEventQueue = std::vector<std::unique_ptr<TQuorDataCustomEvent>>;

    TData();
    ~TData() override;
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    // --- construction and sources -----------------------------------------
    virtual void SetSize(int PointCount, int DimCount);
    virtual double GetValue(int Point, int Dim) const;
    virtual void AddCustomEvent(std::unique_ptr<TQuorDataCustomEvent> Event);
    virtual void ResetProps();
    virtual void AdjustForValueChange();
    virtual void DataSrcChanged();
    // The grids are borrowed; they must outlive the data object. They show
    // as laid out (dimensions are columns), whatever was transposed before.
    virtual void SetDataSrc(TDataSrc* Src, TDataSrc* DimNameSrc, TDataSrc* PointNameSrc);
    virtual void ExchangeDims(int PosA, int PosB);
    virtual void ExchangeSourceDims(int SrcA, int SrcB);
    virtual void MoveDim(int FromPos, int ToPos);
    // Returns true (busy) when locked and not waiting; false once the lock
    // is taken.
    virtual bool BeginWrite(TObject* Actor, bool Wait);
    virtual void EndWrite(TObject* Actor);
    // The number of events delivered; -1 when a delivery is already running;
    // 0 when there is no client or nothing is queued.
    virtual int SendEvents();
    // One write transaction with the actor: takes the lock (waiting), runs
    // the changes, releases the lock even when a change raises, then
    // delivers the queued events. Every tool and plot writes through this.
    void WriteTransaction(TObject* Actor, const std::function<void()>& Changes);
    // Clients are borrowed and must implement IQuorDataClient.
    virtual void RegisterClient(TObject* Client);
    virtual void UnregisterClient(TObject* Client);
    // Visible view positions whose active slider holds the point's value.
    virtual TDynArrayOfInt DimsInSliderRange(int Point) const;

    void SetTransposed(bool Value);
    // Queues a data event with coalescing; takes the event over.
    void AddEvent(std::unique_ptr<TQuorDataEvent> Event);

    // --- sizes and values --------------------------------------------------
    int DimCount() const;
    int PointCount() const;
    int VisibleDimCount() const { return DimCount() - FHiddenDimCount; }
    int VisiblePointCount() const { return PointCount() - FHiddenPointCount; }
    // Raises EVariantError for a cell without a number.
    double GetValueDirect(int Point, int Dim) const;
    QString GetDimName(int Dim) const;
    QString GetPointName(int Point) const;
    double MaxOfVisibleDims() const;
    bool BoundsCoverRange(int Dim) const;

    // --- view orders and visible lists (no events, no checks) --------------
    int GetDimPerm(int Pos) const { return DimPerm[size_t(Pos)]; }
    int GetPointPerm(int Pos) const { return PointPerm[size_t(Pos)]; }
    int GetDimInvPerm(int Src) const { return DimInvPerm[size_t(Src)]; }
    int GetPointInvPerm(int Src) const { return PointInvPerm[size_t(Src)]; }
    void SetDimPerm(int Pos, int Src);
    void SetPointPerm(int Pos, int Src);
    int GetVisibleDim(int i) const;
    int GetVisiblePoint(int i) const;
    void SetVisibleDim(int i, int Pos);
    void SetVisiblePoint(int i, int Pos);
    void RebuildVisibleDims();
    void RebuildVisiblePoints();

    // --- properties by view position ----------------------------------------
    void GetDimProps(int Dim, TDimProps& Props) const { Props = DimPropsAt(Dim); }
    TDimProps GetDimProps(int Dim) const { return DimPropsAt(Dim); }
    void SetDimProps(int Dim, const TDimProps& New);
    bool IsDimSelected(int Dim) const { return DimPropsAt(Dim).Selected; }
    void SetDimSelected(int Dim, bool Value);
    bool IsDimHidden(int Dim) const { return DimPropsAt(Dim).Hidden; }
    void SetDimHidden(int Dim, bool Value);
    double GetDimMin(int Dim) const { return DimPropsAt(Dim).Min; }
    double GetDimMax(int Dim) const { return DimPropsAt(Dim).Max; }
    double GetLBound(int Dim) const { return DimPropsAt(Dim).LBound; }
    void SetLBound(int Dim, double Value);
    double GetUBound(int Dim) const { return DimPropsAt(Dim).UBound; }
    void SetUBound(int Dim, double Value);
    double GetSliderLow(int Dim) const { return DimPropsAt(Dim).SliderLow; }
    void SetSliderLow(int Dim, double Value);
    double GetSliderHigh(int Dim) const { return DimPropsAt(Dim).SliderHigh; }
    void SetSliderHigh(int Dim, double Value);
    bool GetSliderOff(int Dim) const { return DimPropsAt(Dim).SliderOff; }
    void SetSliderOff(int Dim, bool Value);

    void GetPointProps(int Point, TPointProps& Props) const { Props = PointPropsAt(Point); }
    TPointProps GetPointProps(int Point) const { return PointPropsAt(Point); }
    void SetPointProps(int Point, const TPointProps& New);
    bool IsPointSelected(int Point) const { return PointPropsAt(Point).Selected; }
    void SetPointSelected(int Point, bool Value);
    bool IsPointHidden(int Point) const { return PointPropsAt(Point).Hidden; }
    void SetPointHidden(int Point, bool Value);
    int GetPointColor(int Point) const { return PointPropsAt(Point).Color; }
    void SetPointColor(int Point, int Value);

    // --- order changes ---------------------------------------------------------
    void ExchangePoints(int PosA, int PosB);
    void ExchangeSourcePoints(int SrcA, int SrcB);

    // --- state read by clients ---------------------------------------------------
    double GlobalMin() const { return FGlobalMin; }
    double GlobalMax() const { return FGlobalMax; }
    double Mean() const { return FMean; }
    int HiddenDimCount() const { return FHiddenDimCount; }
    int HiddenPointCount() const { return FHiddenPointCount; }
    int SelectedDimCount() const { return FSelectedDimCount; }
    int SelectedPointCount() const { return FSelectedPointCount; }
    bool Transposed() const { return FTransposed; }
    TDataSrc* DataSrc() const { return FDataSrc; }
    // Whether, while nobody writes, the data object may be read from any
    // thread: its grids allow it. What it builds on first use is built
    // now, so that readers only read.
    bool ReadyForReadersOnAnyThread() const;
    TDataSrc* DimNameSrc() const { return FDimNameSrc; }
    TDataSrc* PointNameSrc() const { return FPointNameSrc; }
    bool Locked() const { return FLocked; }
    TObject* Actor() const { return FActor; }
    bool Sending() const { return FSending; }
    const std::vector<TObject*>& Clients() const { return FClients; }
    const TEventQueue& Events() const { return FEvents; }
    const TCustomEventQueue& CustomEvents() const { return FCustomEvents; }

    // The smallest width of a dimension's data range.
    double MinRange = 0.001;
    // What every point gets in ResetProps; the owner sets its Color before
    // the grids are set.
    TPointProps DefaultPointProps;

private:
    // How far a visible list can be trusted. While it matches the
    // properties (Current), hiding, showing and exchanging update it in
    // place as long as the entries moved stay within a budget of about one
    // list length since it was last filled; beyond that it only awaits a
    // rebuild (Stale) and is refilled on the next read, so bulk changes stay
    // linear. Raw stores into the list or a permutation make it Explicit:
    // from then on it is kept entry by entry until the next rebuild.
    enum class TListState { Current, Stale, Explicit };
    struct TVisibleList {
        TDynArrayOfInt Items;
        TListState State = TListState::Current;
        size_t Budget = 0; // entries that may still be moved in place
    };
    template <class TProps>
    static TDynArrayOfInt& CurrentItems(TVisibleList& List, const TDynArrayOfInt& Perm,
                                        const std::vector<TProps>& Props);
    static void HideEntry(TVisibleList& List, int VisibleCount, int Pos);
    static void ShowEntry(TVisibleList& List, int VisibleCount, int Pos);
    static void ExchangeEntries(TVisibleList& List, int VisibleCount, int PosA, bool HiddenA,
                                int PosB, bool HiddenB);

    const TDimProps& DimPropsAt(int Dim) const { return DimProps[size_t(DimPerm[size_t(Dim)])]; }
    const TPointProps& PointPropsAt(int Point) const { return PointProps[size_t(PointPerm[size_t(Point)])]; }
    TDynArrayOfInt& CurrentVisibleDims() const { return CurrentItems(VisibleDims, DimPerm, DimProps); }
    TDynArrayOfInt& CurrentVisiblePoints() const
    {
        return CurrentItems(VisiblePoints, PointPerm, PointProps);
    }
    void QueueEvent(std::unique_ptr<TQuorDataEvent> Event);
    void ReadCell(int Point, int Dim, TVariant& Value) const;
    void DeliverPass(int& Count);

    TDynArrayOfInt DimPerm;      // view position -> source dimension
    TDynArrayOfInt DimInvPerm;   // source dimension -> view position
    TDynArrayOfInt PointPerm;    // view position -> source point
    TDynArrayOfInt PointInvPerm; // source point -> view position
    std::vector<TPointProps> PointProps; // by source point
    std::vector<TDimProps> DimProps;     // by source dimension
    double FGlobalMin = 0;
    double FGlobalMax = 0;
    // Ascending view positions of the shown entries; entries past the
    // visible count are stale.
    mutable TVisibleList VisibleDims;
    mutable TVisibleList VisiblePoints;
    TDataSrc* FDataSrc = nullptr;
    TDataSrc* FDimNameSrc = nullptr;
    TDataSrc* FPointNameSrc = nullptr;
    int FHiddenDimCount = 0;
    int FHiddenPointCount = 0;
    int FSelectedPointCount = 0;
    int FSelectedDimCount = 0;
    bool FTransposed = false;
    std::vector<TObject*> FClients; // registration order; borrowed
    TEventQueue FEvents;
    TCustomEventQueue FCustomEvents;
    bool FLocked = false;
    TObject* FActor = nullptr;
    bool FSending = false;
    double FMean = 0;
};
