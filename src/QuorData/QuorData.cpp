#include "QuorData/QuorData.h"

#include "QuorData/QuorDataSrc.h"
#include "QuorData/Utility.h"
#include "platform/Exceptions.h"
#include "platform/Messages.h"
#include "platform/Variant.h"

#include <QScopeGuard>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

QUORBEL_DEFINE_CLASS(TQuorDataEventBase, TObject)
QUORBEL_DEFINE_CLASS(TQuorDataCustomEvent, TQuorDataEventBase)
QUORBEL_DEFINE_CLASS(TQDCELiveTracking, TQuorDataCustomEvent)
QUORBEL_DEFINE_CLASS(TQDCESubSelection, TQuorDataCustomEvent)
QUORBEL_DEFINE_CLASS(TQDCEDataClientEvent, TQuorDataCustomEvent)
QUORBEL_DEFINE_CLASS(TQDCEDataClientAdded, TQDCEDataClientEvent)
QUORBEL_DEFINE_CLASS(TQDCEDataClientBeingRemoved, TQDCEDataClientEvent)
QUORBEL_DEFINE_CLASS(TQuorDataEvent, TQuorDataEventBase)
QUORBEL_DEFINE_CLASS(TQuorDataEventDataSrcChange, TQuorDataEvent)
QUORBEL_DEFINE_CLASS(TQuorDataEventValueChange, TQuorDataEventDataSrcChange)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimModifications, TQuorDataEventValueChange)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimSelectionChange, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimExchange, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimMove, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimSliderChange, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimVisibilityChange, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimLBoundChange, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventDimUBoundChange, TQuorDataEventDimModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventPointModifications, TQuorDataEventValueChange)
QUORBEL_DEFINE_CLASS(TQuorDataEventPointExchange, TQuorDataEventPointModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventPointVisibilityChange, TQuorDataEventPointModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventPointSelectionChange, TQuorDataEventPointModifications)
QUORBEL_DEFINE_CLASS(TQuorDataEventPointColorChange, TQuorDataEventPointModifications)
QUORBEL_DEFINE_CLASS(TData, TObject)

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Equality within a tolerance; a tolerance of 0 means a relative one of
// 1e-12, at least 1e-12 absolute.
bool SameValue(double A, double B, double Epsilon)
{
    if (Epsilon == 0)
        Epsilon = std::max(std::min(std::fabs(A), std::fabs(B)) * 1e-12, 1e-12);
    return std::fabs(A - B) <= Epsilon;
}

// -1, 0 or 1 as A lies below, within the tolerance of, or above B.
// Anything that is neither equal within it nor below counts as above, so a
// NaN on either side does.
int CompareValue(double A, double B, double Epsilon)
{
    if (SameValue(A, B, Epsilon))
        return 0;
    return A < B ? -1 : 1;
}

// The client operation each data-event class is delivered to; classes not
// listed reach no client.
enum class TClientCall {
    None,
    DataSrcChange,
    ValueChange,
    DimModifications,
    PointModifications,
    DimSliderChange,
    DimBoundChange,
    DimSelectionChange,
    DimVisibilityChange,
    DimExchange,
    DimMove,
    PointSelectionChange,
    PointVisibilityChange,
    PointColorChange,
    PointExchange,
};

TClientCall DispatchOf(const TClass* Class)
{
    static const std::pair<const TClass*, TClientCall> table[] = {
        {TQuorDataEventDataSrcChange::StaticClass(), TClientCall::DataSrcChange},
        {TQuorDataEventValueChange::StaticClass(), TClientCall::ValueChange},
        {TQuorDataEventDimModifications::StaticClass(), TClientCall::DimModifications},
        {TQuorDataEventPointModifications::StaticClass(), TClientCall::PointModifications},
        {TQuorDataEventDimSliderChange::StaticClass(), TClientCall::DimSliderChange},
        {TQuorDataEventDimLBoundChange::StaticClass(), TClientCall::DimBoundChange},
        {TQuorDataEventDimUBoundChange::StaticClass(), TClientCall::DimBoundChange},
        {TQuorDataEventDimSelectionChange::StaticClass(), TClientCall::DimSelectionChange},
        {TQuorDataEventDimVisibilityChange::StaticClass(), TClientCall::DimVisibilityChange},
        {TQuorDataEventDimExchange::StaticClass(), TClientCall::DimExchange},
        {TQuorDataEventDimMove::StaticClass(), TClientCall::DimMove},
        {TQuorDataEventPointSelectionChange::StaticClass(), TClientCall::PointSelectionChange},
        {TQuorDataEventPointVisibilityChange::StaticClass(), TClientCall::PointVisibilityChange},
        {TQuorDataEventPointColorChange::StaticClass(), TClientCall::PointColorChange},
        {TQuorDataEventPointExchange::StaticClass(), TClientCall::PointExchange},
    };
    for (const auto& [cls, kind] : table)
        if (cls == Class)
            return kind;
    return TClientCall::None;
}

void Deliver(IQuorDataClient* Client, TClientCall Kind, const TQuorDataEvent& E)
{
    switch (Kind) {
    case TClientCall::None: break;
    case TClientCall::DataSrcChange: Client->DataSrcChange(E.Data, E.Actor); break;
    case TClientCall::ValueChange: Client->ValueChange(E.Data, E.Actor); break;
    case TClientCall::DimModifications: Client->DimModifications(E.Data, E.Actor); break;
    case TClientCall::PointModifications: Client->PointModifications(E.Data, E.Actor); break;
    case TClientCall::DimSliderChange: Client->DimSliderChange(E.Data, E.Actor, E.Index); break;
    case TClientCall::DimBoundChange: Client->DimBoundChange(E.Data, E.Actor, E.Index); break;
    case TClientCall::DimSelectionChange:
        Client->DimSelectionChange(E.Data, E.Actor, E.Index, E.Flag);
        break;
    case TClientCall::DimVisibilityChange:
        Client->DimVisibilityChange(E.Data, E.Actor, E.Index, E.Flag);
        break;
    case TClientCall::DimExchange: Client->DimExchange(E.Data, E.Actor, E.Index, E.Index2); break;
    case TClientCall::DimMove: Client->DimMove(E.Data, E.Actor, E.Index, E.Index2); break;
    case TClientCall::PointSelectionChange:
        Client->PointSelectionChange(E.Data, E.Actor, E.Index, E.Flag);
        break;
    case TClientCall::PointVisibilityChange:
        Client->PointVisibilityChange(E.Data, E.Actor, E.Index, E.Flag);
        break;
    case TClientCall::PointColorChange: Client->PointColorChange(E.Data, E.Actor, E.Index); break;
    case TClientCall::PointExchange: Client->PointExchange(E.Data, E.Actor, E.Index, E.Index2); break;
    }
}

// The interface of a registered client, obtained for one delivery step.
IQuorDataClient* ClientInterface(TObject* Client)
{
    auto* intf = dynamic_cast<IQuorDataClient*>(Client);
    QUOR_ASSERT(intf, "SendEvents: Client does not implement IQuorDataEvent interface");
    return intf;
}

// Removes the entry at Pos from the first Count entries, moving the
// following ones down.
void RemoveVisibleEntry(TDynArrayOfInt& List, int Count, int Pos)
{
    const auto end = List.begin() + std::min<size_t>(size_t(std::max(Count, 0)), List.size());
    const auto it = std::find(List.begin(), end, Pos);
    if (it != end)
        std::move(it + 1, end, it);
}

// Puts Pos at its ascending place among the first Count entries, moving the
// following ones up.
void InsertVisibleEntry(TDynArrayOfInt& List, int Count, int Pos)
{
    if (List.empty())
        return;
    const size_t count = std::min<size_t>(size_t(std::max(Count, 0)), List.size() - 1);
    size_t i = 0;
    while (i < count && List[i] < Pos)
        ++i;
    std::move_backward(List.begin() + long(i), List.begin() + long(count),
                       List.begin() + long(count) + 1);
    List[i] = Pos;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and sources

TData::TData() = default;

TData::~TData() = default;

void TData::SetDataSrc(TDataSrc* Src, TDataSrc* DimNameSrc, TDataSrc* PointNameSrc)
{
    FDataSrc = Src;
    FDimNameSrc = DimNameSrc;
    FPointNameSrc = PointNameSrc;
    // The grids come in their own roles: a transposition was of the former
    // ones, and kept it would read the new names and values crosswise.
    FTransposed = false;
    DataSrcChanged();
}

void TData::DataSrcChanged()
{
    if (FLocked)
        AddEvent(TQuorDataEventDataSrcChange::Create());
    SetSize(PointCount(), DimCount());
    ResetProps();
    AdjustForValueChange();
}

void TData::SetTransposed(bool Value)
{
    if (Value == FTransposed)
        return;
    std::swap(FDimNameSrc, FPointNameSrc);
    FTransposed = Value;
    DataSrcChanged();
}

void TData::SetSize(int PointCount, int DimCount)
{
    const size_t dims = size_t(std::max(DimCount, 0));
    const size_t points = size_t(std::max(PointCount, 0));
    // Kept entries keep their values, so a list awaiting its rebuild is
    // filled first; after a resize the list no longer follows the counters.
    CurrentVisibleDims();
    CurrentVisiblePoints();
    DimPerm.resize(dims);
    DimInvPerm.resize(dims);
    VisibleDims.Items.resize(dims);
    VisibleDims.State = TListState::Explicit;
    DimProps.resize(dims);
    PointPerm.resize(points);
    PointInvPerm.resize(points);
    VisiblePoints.Items.resize(points);
    VisiblePoints.State = TListState::Explicit;
    PointProps.resize(points);
}

void TData::ResetProps()
{
    QUOR_ASSERT(DimCount() >= 1, "ResetProps");
    if (FLocked)
        AddEvent(TQuorDataEventValueChange::Create());

    FSelectedDimCount = 0;
    FHiddenDimCount = 0;
    for (int d = std::min(DimCount(), int(DimProps.size())) - 1; d >= 0; --d) {
        DimPerm[size_t(d)] = d;
        DimInvPerm[size_t(d)] = d;
        TDimProps& props = DimProps[size_t(d)];
        props.Selected = false;
        props.Hidden = false;
        props.Min = Infinity;
        props.Max = -Infinity;
        props.LBound = -Infinity;
        props.UBound = Infinity;
        props.SliderOff = true;
        VisibleDims.Items[size_t(d)] = d;
    }
    VisibleDims.State = TListState::Current;
    VisibleDims.Budget = VisibleDims.Items.size();

    FSelectedPointCount = 0;
    FHiddenPointCount = 0;
    for (int p = std::min(PointCount(), int(PointProps.size())) - 1; p >= 0; --p) {
        PointPerm[size_t(p)] = p;
        PointInvPerm[size_t(p)] = p;
        PointProps[size_t(p)] = DefaultPointProps;
        VisiblePoints.Items[size_t(p)] = p;
    }
    // Every point is listed; that matches the properties unless the
    // defaults hide points.
    VisiblePoints.State = DefaultPointProps.Hidden ? TListState::Explicit : TListState::Current;
    VisiblePoints.Budget = VisiblePoints.Items.size();
}

void TData::AdjustForValueChange()
{
    const int dimCount = DimCount();
    const int pointCount = PointCount();
    QUOR_ASSERT(dimCount >= 1, "AdjustForValueChange: DimCount must be > 0");
    QUOR_ASSERT(pointCount >= 1, "AdjustForValueChange: PointCount must be > 0");
    if (FLocked)
        AddEvent(TQuorDataEventValueChange::Create());

    // One reading of every cell serves the mean (numbers only) and the
    // ranges (a cell without a number counts as -1); both walk the table
    // from the last dimension and point, so the sum comes out the same as
    // two separate walks. The properties are written only after every cell
    // has been read, so a failing grid leaves them untouched.
    std::vector<double> mins(size_t(dimCount), Infinity);
    std::vector<double> maxs(size_t(dimCount), -Infinity);
    double sum = 0;
    long long count = 0;
    TVariant cell;
    for (int d = dimCount - 1; d >= 0; --d) {
        double lo = Infinity;
        double hi = -Infinity;
        for (int p = pointCount - 1; p >= 0; --p) {
            ReadCell(p, d, cell);
            double v;
            if (cell.tryToDouble(v)) {
                sum += v;
                ++count;
            } else {
                v = -1.0;
            }
            if (v < lo)
                lo = v;
            if (v > hi)
                hi = v;
        }
        mins[size_t(d)] = lo;
        maxs[size_t(d)] = hi;
    }
    FMean = count > 0 ? sum / double(count) : 0.0;

    double globalMin = Infinity;
    double globalMax = -Infinity;
    for (int d = dimCount - 1; d >= 0; --d) {
        const double lo = mins[size_t(d)];
        double hi = maxs[size_t(d)];
        if (lo + MinRange >= hi)
            hi = lo + MinRange;
        TDimProps props = GetDimProps(d);
        props.Min = lo;
        props.Max = hi;
        if (props.LBound == -Infinity)
            props.LBound = lo;
        if (props.UBound == Infinity)
            props.UBound = hi;
        if (props.LBound >= props.UBound)
            props.UBound = props.LBound + MinRange;
        if (!props.SliderOff) {
            if (props.SliderLow < lo)
                props.SliderLow = lo;
            if (props.SliderHigh > hi)
                props.SliderHigh = hi;
        }
        SetDimProps(d, props);
        if (lo < globalMin)
            globalMin = lo;
        if (hi > globalMax)
            globalMax = hi;
    }
    FGlobalMin = globalMin;
    FGlobalMax = globalMax;
}

// ---------------------------------------------------------------------------
// Sizes and values

int TData::DimCount() const
{
    if (!FDataSrc)
        return 0;
    return FTransposed ? FDataSrc->RowCount() : FDataSrc->ColCount();
}

int TData::PointCount() const
{
    if (!FDataSrc)
        return 0;
    return FTransposed ? FDataSrc->ColCount() : FDataSrc->RowCount();
}

bool TData::ReadyForReadersOnAnyThread() const
{
    for (const TDataSrc* grid : {FDataSrc, FDimNameSrc, FPointNameSrc})
        if (grid && !grid->ReadsFromAnyThread())
            return false;
    CurrentVisibleDims();
    CurrentVisiblePoints();
    return true;
}

void TData::ReadCell(int Point, int Dim, TVariant& Value) const
{
    const int dim = DimPerm[size_t(Dim)];
    const int point = PointPerm[size_t(Point)];
    if (FTransposed)
        FDataSrc->GetCell(point, dim, Value);
    else
        FDataSrc->GetCell(dim, point, Value);
}

double TData::GetValue(int Point, int Dim) const
{
    // A failed conversion is the value-conversion error that GetValueDirect
    // raises; errors of the grid itself pass.
    TVariant cell;
    ReadCell(Point, Dim, cell);
    double v;
    return cell.tryToDouble(v) ? v : -1.0;
}

double TData::GetValueDirect(int Point, int Dim) const
{
    TVariant cell;
    ReadCell(Point, Dim, cell);
    return cell.toDouble();
}

QString TData::GetDimName(int Dim) const
{
    if (!FDimNameSrc)
        return QString();
    TVariant cell;
    FDimNameSrc->GetCellInARow(DimPerm[size_t(Dim)], cell);
    return cell.toString();
}

QString TData::GetPointName(int Point) const
{
    if (!FPointNameSrc)
        return QString();
    TVariant cell;
    FPointNameSrc->GetCellInARow(PointPerm[size_t(Point)], cell);
    return cell.toString();
}

TDynArrayOfInt TData::DimsInSliderRange(int Point) const
{
    TDynArrayOfInt result;
    const int visible = VisibleDimCount();
    for (int i = 0; i < visible; ++i) {
        const int d = GetVisibleDim(i);
        const TDimProps& props = DimPropsAt(d);
        if (props.SliderOff)
            continue;
        const double v = GetValue(Point, d);
        const double eps = std::fabs(1e-11 * v);
        if (CompareValue(props.SliderLow, v, eps) > 0 || CompareValue(props.SliderHigh, v, eps) < 0)
            continue;
        result.push_back(d);
    }
    return result;
}

double TData::MaxOfVisibleDims() const
{
    double result = -Infinity;
    const int visible = VisibleDimCount();
    for (int i = 0; i < visible; ++i) {
        const double m = DimPropsAt(GetVisibleDim(i)).Max;
        if (m > result)
            result = m;
    }
    return result;
}

bool TData::BoundsCoverRange(int Dim) const
{
    const TDimProps& props = DimPropsAt(Dim);
    return props.LBound <= props.Min && props.UBound >= props.Max;
}

// ---------------------------------------------------------------------------
// View orders and visible lists

void TData::SetDimPerm(int Pos, int Src)
{
    CurrentVisibleDims();
    DimPerm[size_t(Pos)] = Src;
    DimInvPerm[size_t(Src)] = Pos;
    VisibleDims.State = TListState::Explicit;
}

void TData::SetPointPerm(int Pos, int Src)
{
    CurrentVisiblePoints();
    PointPerm[size_t(Pos)] = Src;
    PointInvPerm[size_t(Src)] = Pos;
    VisiblePoints.State = TListState::Explicit;
}

int TData::GetVisibleDim(int i) const
{
    return CurrentVisibleDims()[size_t(i)];
}

int TData::GetVisiblePoint(int i) const
{
    return CurrentVisiblePoints()[size_t(i)];
}

void TData::SetVisibleDim(int i, int Pos)
{
    CurrentVisibleDims()[size_t(i)] = Pos;
    VisibleDims.State = TListState::Explicit;
}

void TData::SetVisiblePoint(int i, int Pos)
{
    CurrentVisiblePoints()[size_t(i)] = Pos;
    VisiblePoints.State = TListState::Explicit;
}

void TData::RebuildVisibleDims()
{
    VisibleDims.State = TListState::Stale;
}

void TData::RebuildVisiblePoints()
{
    VisiblePoints.State = TListState::Stale;
}

template <class TProps>
TDynArrayOfInt& TData::CurrentItems(TVisibleList& List, const TDynArrayOfInt& Perm,
                                    const std::vector<TProps>& Props)
{
    if (List.State == TListState::Stale) {
        auto out = List.Items.begin();
        const size_t n = std::min(Perm.size(), List.Items.size());
        for (size_t pos = 0; pos < n; ++pos)
            if (!Props[size_t(Perm[pos])].Hidden)
                *out++ = int(pos);
        List.State = TListState::Current;
        List.Budget = List.Items.size();
    }
    return List.Items;
}

void TData::HideEntry(TVisibleList& List, int VisibleCount, int Pos)
{
    const auto begin = List.Items.begin();
    const auto end = begin + long(std::clamp<size_t>(size_t(std::max(VisibleCount, 0)), 0, List.Items.size()));
    switch (List.State) {
    case TListState::Stale:
        return;
    case TListState::Explicit:
        RemoveVisibleEntry(List.Items, VisibleCount, Pos);
        return;
    case TListState::Current: {
        const auto it = std::lower_bound(begin, end, Pos);
        const size_t cost = size_t(end - it);
        if (it == end || *it != Pos || cost > List.Budget) {
            List.State = TListState::Stale;
            return;
        }
        List.Budget -= cost;
        std::move(it + 1, end, it);
        return;
    }
    }
}

void TData::ShowEntry(TVisibleList& List, int VisibleCount, int Pos)
{
    switch (List.State) {
    case TListState::Stale:
        return;
    case TListState::Explicit:
        InsertVisibleEntry(List.Items, VisibleCount, Pos);
        return;
    case TListState::Current: {
        const size_t count = size_t(std::max(VisibleCount, 0));
        if (count >= List.Items.size()) {
            List.State = TListState::Stale;
            return;
        }
        const auto begin = List.Items.begin();
        const auto end = begin + long(count);
        const auto it = std::lower_bound(begin, end, Pos);
        const size_t cost = size_t(end - it);
        if (cost > List.Budget) {
            List.State = TListState::Stale;
            return;
        }
        List.Budget -= cost;
        std::move_backward(it, end, end + 1);
        *it = Pos;
        return;
    }
    }
}

void TData::ExchangeEntries(TVisibleList& List, int VisibleCount, int PosA, bool HiddenA, int PosB,
                            bool HiddenB)
{
    if (List.State != TListState::Current) {
        List.State = TListState::Stale; // an explicit list is rebuilt, as after any exchange
        return;
    }
    // Hidden* tell whether the entry formerly at each position was hidden.
    // When both agree the set of visible positions stays as it is.
    if (HiddenA == HiddenB)
        return;
    // One position leaves the list and the other takes its place among the
    // entries between them, which move by one.
    const int leaving = HiddenA ? PosB : PosA;
    const int arriving = HiddenA ? PosA : PosB;
    const auto begin = List.Items.begin();
    const auto end = begin + long(std::clamp<size_t>(size_t(std::max(VisibleCount, 0)), 0, List.Items.size()));
    const auto it = std::lower_bound(begin, end, leaving);
    if (it == end || *it != leaving) {
        List.State = TListState::Stale;
        return;
    }
    const auto dest = arriving > leaving ? std::lower_bound(it + 1, end, arriving)
                                         : std::lower_bound(begin, it, arriving);
    const size_t cost = size_t(arriving > leaving ? dest - it : it - dest);
    if (cost > List.Budget) {
        List.State = TListState::Stale;
        return;
    }
    List.Budget -= cost;
    if (arriving > leaving) {
        std::move(it + 1, dest, it);
        *(dest - 1) = arriving;
    } else {
        std::move_backward(dest, it, it + 1);
        *dest = arriving;
    }
}

// ---------------------------------------------------------------------------
// Properties

void TData::SetDimProps(int Dim, const TDimProps& New)
{
    const TDimProps Old = DimPropsAt(Dim);
    if (FLocked) {
        if (New.Hidden != Old.Hidden)
            AddEvent(TQuorDataEventDimVisibilityChange::CreateFlag(Dim, !New.Hidden));
        if (New.Selected != Old.Selected)
            AddEvent(TQuorDataEventDimSelectionChange::CreateFlag(Dim, New.Selected));
        if (New.LBound != Old.LBound)
            AddEvent(TQuorDataEventDimLBoundChange::Create(Dim));
        if (New.UBound != Old.UBound)
            AddEvent(TQuorDataEventDimUBoundChange::Create(Dim));
        // Slider values are compared with plain inequality, so a NaN counts
        // as a change and is told.
        const bool sliderChanged =
            New.SliderOff != Old.SliderOff
            || (!New.SliderOff && !Old.SliderOff
                && (New.SliderLow != Old.SliderLow || New.SliderHigh != Old.SliderHigh));
        if (sliderChanged)
            AddEvent(TQuorDataEventDimSliderChange::Create(Dim));
    }

    if (New.Hidden && !Old.Hidden) {
        HideEntry(VisibleDims, VisibleDimCount(), Dim);
        ++FHiddenDimCount;
    } else if (!New.Hidden && Old.Hidden) {
        ShowEntry(VisibleDims, VisibleDimCount(), Dim);
        --FHiddenDimCount;
    }
    if (New.Selected && !Old.Selected)
        ++FSelectedDimCount;
    else if (!New.Selected && Old.Selected)
        --FSelectedDimCount;
    DimProps[size_t(DimPerm[size_t(Dim)])] = New;
}

void TData::SetPointProps(int Point, const TPointProps& New)
{
    const TPointProps Old = PointPropsAt(Point);
    if (FLocked) {
        if (New.Hidden != Old.Hidden)
            AddEvent(TQuorDataEventPointVisibilityChange::CreateFlag(Point, !New.Hidden));
        if (New.Selected != Old.Selected)
            AddEvent(TQuorDataEventPointSelectionChange::CreateFlag(Point, New.Selected));
        if (New.Color != Old.Color)
            AddEvent(TQuorDataEventPointColorChange::Create(Point));
    }

    if (New.Hidden && !Old.Hidden) {
        HideEntry(VisiblePoints, VisiblePointCount(), Point);
        ++FHiddenPointCount;
    } else if (!New.Hidden && Old.Hidden) {
        ShowEntry(VisiblePoints, VisiblePointCount(), Point);
        --FHiddenPointCount;
    }
    if (New.Selected && !Old.Selected)
        ++FSelectedPointCount;
    else if (!New.Selected && Old.Selected)
        --FSelectedPointCount;
    PointProps[size_t(PointPerm[size_t(Point)])] = New;
}

void TData::SetDimSelected(int Dim, bool Value)
{
    TDimProps props = GetDimProps(Dim);
    props.Selected = Value;
    SetDimProps(Dim, props);
}

void TData::SetDimHidden(int Dim, bool Value)
{
    TDimProps props = GetDimProps(Dim);
    props.Hidden = Value;
    SetDimProps(Dim, props);
}

void TData::SetLBound(int Dim, double Value)
{
    TDimProps props = GetDimProps(Dim);
    props.LBound = Value;
    SetDimProps(Dim, props);
}

void TData::SetUBound(int Dim, double Value)
{
    TDimProps props = GetDimProps(Dim);
    props.UBound = Value;
    SetDimProps(Dim, props);
}

void TData::SetSliderLow(int Dim, double Value)
{
    TDimProps props = GetDimProps(Dim);
    props.SliderLow = Value;
    SetDimProps(Dim, props);
}

void TData::SetSliderHigh(int Dim, double Value)
{
    TDimProps props = GetDimProps(Dim);
    props.SliderHigh = Value;
    SetDimProps(Dim, props);
}

void TData::SetSliderOff(int Dim, bool Value)
{
    TDimProps props = GetDimProps(Dim);
    props.SliderOff = Value;
    SetDimProps(Dim, props);
}

void TData::SetPointSelected(int Point, bool Value)
{
    TPointProps props = GetPointProps(Point);
    props.Selected = Value;
    SetPointProps(Point, props);
}

void TData::SetPointHidden(int Point, bool Value)
{
    TPointProps props = GetPointProps(Point);
    props.Hidden = Value;
    SetPointProps(Point, props);
}

void TData::SetPointColor(int Point, int Value)
{
    TPointProps props = GetPointProps(Point);
    props.Color = Value;
    SetPointProps(Point, props);
}

// ---------------------------------------------------------------------------
// Order changes. The permutations are changed directly here: the visible
// list is brought in step right after (an exchange moves at most one entry
// out and one in, which gives what a rebuild gives).

void TData::ExchangeDims(int PosA, int PosB)
{
    const int a = DimPerm[size_t(PosA)];
    const int b = DimPerm[size_t(PosB)];
    DimPerm[size_t(PosA)] = b;
    DimInvPerm[size_t(b)] = PosA;
    DimPerm[size_t(PosB)] = a;
    DimInvPerm[size_t(a)] = PosB;
    ExchangeEntries(VisibleDims, VisibleDimCount(), PosA, DimProps[size_t(a)].Hidden, PosB,
                    DimProps[size_t(b)].Hidden);
    if (FLocked)
        AddEvent(TQuorDataEventDimExchange::CreatePair(a, b));
}

void TData::ExchangeSourceDims(int SrcA, int SrcB)
{
    ExchangeDims(DimInvPerm[size_t(SrcA)], DimInvPerm[size_t(SrcB)]);
}

void TData::MoveDim(int FromPos, int ToPos)
{
    const int moved = DimPerm[size_t(FromPos)];
    const int displaced = DimPerm[size_t(ToPos)];
    auto place = [this](int pos, int src) {
        DimPerm[size_t(pos)] = src;
        DimInvPerm[size_t(src)] = pos;
    };
    if (FromPos > ToPos) {
        for (int i = FromPos; i >= ToPos + 1; --i)
            place(i, DimPerm[size_t(i - 1)]);
    } else if (FromPos < ToPos) {
        for (int i = FromPos; i <= ToPos - 1; ++i)
            place(i, DimPerm[size_t(i + 1)]);
    }
    place(ToPos, moved);
    RebuildVisibleDims();
    if (FLocked)
        AddEvent(TQuorDataEventDimMove::CreatePair(moved, displaced));
}

void TData::ExchangePoints(int PosA, int PosB)
{
    const int a = PointPerm[size_t(PosA)];
    const int b = PointPerm[size_t(PosB)];
    PointPerm[size_t(PosA)] = b;
    PointInvPerm[size_t(b)] = PosA;
    PointPerm[size_t(PosB)] = a;
    PointInvPerm[size_t(a)] = PosB;
    ExchangeEntries(VisiblePoints, VisiblePointCount(), PosA, PointProps[size_t(a)].Hidden, PosB,
                    PointProps[size_t(b)].Hidden);
    if (FLocked)
        AddEvent(TQuorDataEventPointExchange::CreatePair(a, b));
}

void TData::ExchangeSourcePoints(int SrcA, int SrcB)
{
    ExchangePoints(PointInvPerm[size_t(SrcA)], PointInvPerm[size_t(SrcB)]);
}

// ---------------------------------------------------------------------------
// Write lock and event queues

void TData::WriteTransaction(TObject* Actor, const std::function<void()>& Changes)
{
    BeginWrite(Actor, true);
    {
        // The lock must not outlive a failed change, or every writer waits.
        auto unlock = qScopeGuard([&] { EndWrite(Actor); });
        Changes();
    }
    SendEvents();
}

bool TData::BeginWrite(TObject* Actor, bool Wait)
{
    if (FLocked) {
        if (!Wait)
            return true;
        // The holder runs from a dispatched message; keep the queue moving
        // until it lets go, sleeping while no message comes.
        while (FLocked) {
            ProcessOneMessage(nullptr);
            if (FLocked)
                WaitForMessage();
        }
    }
    FLocked = true;
    FActor = Actor;
    return false;
}

void TData::EndWrite(TObject* Actor)
{
    QUOR_ASSERT(FLocked, "EndWrite called but Data object is not locked");
    QUOR_ASSERT(Actor == FActor, "EndWrite called with wrong Actor");
    FActor = nullptr;
    FLocked = false;
}

void TData::AddEvent(std::unique_ptr<TQuorDataEvent> Event)
{
    if (!Event)
        return;
    QUOR_ASSERT(FLocked, "AddEvent method called on non-locked object");
    Event->Data = this;
    Event->Actor = FActor;
    QueueEvent(std::move(Event));
}

void TData::QueueEvent(std::unique_ptr<TQuorDataEvent> Event)
{
    if (FEvents.empty()) {
        FEvents.push_back(std::move(Event));
        return;
    }
    const TClass* queued = FEvents.front()->ClassType();
    const TClass* cls = Event->ClassType();
    if (cls == queued) {
        // A generic one adds nothing: the queue already holds its kind.
        if (!Event->IsGeneric)
            FEvents.push_back(std::move(Event));
        return;
    }
    if (cls->InheritsFrom(queued))
        return; // a more general change is queued already
    if (queued->InheritsFrom(cls)) {
        FEvents.clear();
        FEvents.push_back(std::move(Event));
        return;
    }
    // Both descend from TQuorDataEvent, so their nearest common class does
    // too and can be made without arguments.
    const TClass* common = CommonAncestorClass(Event.get(), FEvents.front().get());
    std::unique_ptr<TQuorDataEvent> merged(static_cast<TQuorDataEvent*>(common->Create()));
    merged->Data = Event->Data;
    merged->Actor = Event->Actor;
    merged->IsGeneric = true;
    FEvents.clear();
    FEvents.push_back(std::move(merged));
}

void TData::AddCustomEvent(std::unique_ptr<TQuorDataCustomEvent> Event)
{
    if (!Event)
        return;
    QUOR_ASSERT(FLocked, "AddCustomEvent method called on non-locked object");
    Event->Data = this;
    Event->Actor = FActor;
    if (Event->IsGeneric && !FCustomEvents.empty()) {
        const TClass* cls = Event->ClassType();
        const auto first = std::find_if(FCustomEvents.begin(), FCustomEvents.end(),
                                        [cls](const auto& e) { return e->ClassType() == cls; });
        if (first != FCustomEvents.end() && (*first)->IsGeneric && (*first)->Actor == Event->Actor)
            return;
    }
    FCustomEvents.push_back(std::move(Event));
}

// ---------------------------------------------------------------------------
// Delivery

int TData::SendEvents()
{
    QUOR_ASSERT(!FLocked, "TData: call to SendEvents on locked object detected.");
    if (FSending)
        return -1;
    if (FClients.empty() || (FEvents.empty() && FCustomEvents.empty()))
        return 0;

    // Reset also when a client raises; the error passes on.
    struct TSendingGuard {
        bool& Flag;
        ~TSendingGuard() { Flag = false; }
    } guard{FSending};
    FSending = true;

    int count = 0;
    do
        DeliverPass(count);
    while (!FEvents.empty() || !FCustomEvents.empty());
    return count;
}

void TData::DeliverPass(int& Count)
{
    // Each client loop takes the number of clients when it starts; the
    // bound is re-checked so that a removal meanwhile cannot overrun.
    const auto forEachClient = [this](auto&& call) {
        const size_t n = FClients.size();
        for (size_t i = 0; i < n && i < FClients.size(); ++i)
            call(ClientInterface(FClients[i]));
    };

    forEachClient([](IQuorDataClient* c) { c->BeginEvents(); });

    // The data events are delivered from a batch of their own, so that a
    // write made meanwhile cannot free them under the loop; what it queues
    // waits for the next pass. When a client raises, the batch goes back in
    // front of the queue, merged as if queued in order.
    TEventQueue batch;
    batch.swap(FEvents);
    try {
        // The interfaces are looked up once for the phase. A client that
        // left meanwhile is not called through them: each call checks that
        // the same client still stands at that place.
        const std::vector<TObject*> clients = FClients;
        std::vector<IQuorDataClient*> interfaces;
        for (TObject* client : clients)
            interfaces.push_back(ClientInterface(client));
        const TClass* lastClass = nullptr;
        TClientCall kind = TClientCall::None;
        for (const auto& event : batch) {
            ++Count;
            if (event->ClassType() != lastClass) {
                lastClass = event->ClassType();
                kind = DispatchOf(lastClass);
            }
            if (kind == TClientCall::None)
                continue;
            const size_t n = FClients.size();
            for (size_t i = 0; i < n && i < FClients.size(); ++i) {
                TObject* client = FClients[i];
                Deliver(i < clients.size() && clients[i] == client ? interfaces[i]
                                                                   : ClientInterface(client),
                        kind, *event);
            }
        }
    } catch (...) {
        TEventQueue meanwhile;
        meanwhile.swap(FEvents);
        FEvents.swap(batch);
        for (auto& event : meanwhile)
            QueueEvent(std::move(event));
        throw;
    }
    batch.clear();

    // Custom events queued while these are delivered join this pass.
    for (size_t k = 0; k < FCustomEvents.size(); ++k) {
        ++Count;
        TQuorDataCustomEvent* event = FCustomEvents[k].get();
        forEachClient([event](IQuorDataClient* c) { c->CustomEvent(event); });
    }
    FCustomEvents.clear();

    forEachClient([](IQuorDataClient* c) { c->EndEvents(); });
}

void TData::RegisterClient(TObject* Client)
{
    QUOR_ASSERT(dynamic_cast<IQuorDataClient*>(Client),
                "RegisterClient: client does not implement interface IQuorDataClient");
    if (std::find(FClients.begin(), FClients.end(), Client) == FClients.end())
        FClients.push_back(Client);
    BeginWrite(Client, true);
    auto added = TQDCEDataClientAdded::Create();
    added->Client = Client;
    AddCustomEvent(std::move(added));
    EndWrite(Client);
    SendEvents();
}

void TData::UnregisterClient(TObject* Client)
{
    // The client leaves even when a client raises during its removal
    // notice: it is usually on its way to being freed.
    struct TRemoval {
        std::vector<TObject*>& Clients;
        TObject* Client;
        ~TRemoval()
        {
            const auto it = std::find(Clients.begin(), Clients.end(), Client);
            if (it != Clients.end())
                Clients.erase(it);
        }
    };

    BeginWrite(Client, true);
    auto removed = TQDCEDataClientBeingRemoved::Create();
    removed->Client = Client;
    AddCustomEvent(std::move(removed));
    EndWrite(Client);
    TRemoval removal{FClients, Client};
    SendEvents();
}
