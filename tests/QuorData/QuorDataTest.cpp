// The data object's table: values, view orders, visible lists, properties
// and the statistics that a value change recomputes.
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// A grid of cells set one by one; empty unless set.
class TGrid : public TDataSrc {
public:
    TGrid(int cols, int rows)
        : FCells(size_t(cols * rows))
    {
        SetColCount(cols);
        SetRowCount(rows);
    }
    void GetCell(int Col, int Row, TVariant& Value) override
    {
        if (FailWith)
            throw EVariantError(*FailWith);
        Value = FCells[size_t(Row * ColCount() + Col)];
    }
    void SetCell(int Col, int Row, const TVariant& Value) override
    {
        FCells[size_t(Row * ColCount() + Col)] = Value;
    }
    std::optional<QString> FailWith;

private:
    std::vector<TVariant> FCells;
};

// Names "<prefix><i>" in one row (or one column).
std::unique_ptr<TGrid> Names(int count, const QString& prefix, bool asColumn = false)
{
    auto g = std::make_unique<TGrid>(asColumn ? 1 : count, asColumn ? count : 1);
    for (int i = 0; i < count; ++i)
        g->SetCellInARow(i, TVariant(prefix + QString::number(i)));
    return g;
}

// A table whose values are col * 100 + row, with names.
struct TTable {
    TGrid values;
    std::unique_ptr<TGrid> dimNames;
    std::unique_ptr<TGrid> pointNames;
    TData data;

    TTable(int dims, int points)
        : values(dims, points), dimNames(Names(dims, "D")), pointNames(Names(points, "P", true))
    {
        for (int c = 0; c < dims; ++c)
            for (int r = 0; r < points; ++r)
                values.SetCell(c, r, TVariant(int32_t(c * 100 + r)));
    }
    void Load() { data.SetDataSrc(&values, dimNames.get(), pointNames.get()); }
};

// The table with its values already loaded into the data object.
struct TLoadedTable : TTable {
    TLoadedTable(int dims, int points)
        : TTable(dims, points)
    {
        Load();
    }
};

class TActor : public TObject {};

QString Expected(const char* text)
{
    return QString::fromUtf8(text) + QStringLiteral(" (QuorData, line ");
}

std::vector<std::string> QueuedClassNames(const TData& data)
{
    std::vector<std::string> names;
    for (const auto& e : data.Events())
        names.push_back(e->ClassType()->Name());
    return names;
}

std::vector<int> VisibleDims(const TData& d)
{
    std::vector<int> v;
    for (int i = 0; i < d.VisibleDimCount(); ++i)
        v.push_back(d.GetVisibleDim(i));
    return v;
}

std::vector<int> VisiblePoints(const TData& d)
{
    std::vector<int> v;
    for (int i = 0; i < d.VisiblePointCount(); ++i)
        v.push_back(d.GetVisiblePoint(i));
    return v;
}

} // namespace

// --- creation and loading ---------------------------------------------------

TEST(DataTable, StartsEmpty)
{
    TData data;
    EXPECT_EQ(data.DimCount(), 0);
    EXPECT_EQ(data.PointCount(), 0);
    EXPECT_DOUBLE_EQ(data.MinRange, 0.001);
    EXPECT_FALSE(data.DefaultPointProps.Selected);
    EXPECT_FALSE(data.DefaultPointProps.Hidden);
    EXPECT_EQ(data.DefaultPointProps.Color, 0);
    EXPECT_FALSE(data.Locked());
    EXPECT_FALSE(data.Sending());
    EXPECT_EQ(data.Actor(), nullptr);
    EXPECT_TRUE(data.Clients().empty());
}

TEST(DataTable, LoadingResetsEverything)
{
    TTable t(3, 4);
    t.data.DefaultPointProps.Color = 15;
    t.Load();
    TData& d = t.data;
    EXPECT_EQ(d.DimCount(), 3);
    EXPECT_EQ(d.PointCount(), 4);
    EXPECT_EQ(VisibleDims(d), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(VisiblePoints(d), (std::vector<int>{0, 1, 2, 3}));
    for (int dim = 0; dim < 3; ++dim) {
        const TDimProps p = d.GetDimProps(dim);
        EXPECT_EQ(d.GetDimPerm(dim), dim);
        EXPECT_FALSE(p.Selected);
        EXPECT_FALSE(p.Hidden);
        EXPECT_TRUE(p.SliderOff);
        EXPECT_DOUBLE_EQ(p.Min, dim * 100);
        EXPECT_DOUBLE_EQ(p.Max, dim * 100 + 3);
        EXPECT_DOUBLE_EQ(p.LBound, p.Min);
        EXPECT_DOUBLE_EQ(p.UBound, p.Max);
        EXPECT_TRUE(d.BoundsCoverRange(dim));
    }
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(d.GetPointColor(p), 15);
    EXPECT_DOUBLE_EQ(d.GlobalMin(), 0);
    EXPECT_DOUBLE_EQ(d.GlobalMax(), 203);
    EXPECT_DOUBLE_EQ(d.Mean(), 101.5);
    EXPECT_EQ(d.GetDimName(2), QStringLiteral("D2"));
    EXPECT_EQ(d.GetPointName(3), QStringLiteral("P3"));
}

TEST(DataTable, ReloadingResetsPropertiesAndOrder)
{
    TLoadedTable t(3, 4);
    t.data.SetDimHidden(1, true);
    t.data.SetPointSelected(2, true);
    t.data.ExchangeDims(0, 2);
    t.data.DataSrcChanged();
    EXPECT_EQ(t.data.HiddenDimCount(), 0);
    EXPECT_EQ(t.data.SelectedPointCount(), 0);
    EXPECT_EQ(t.data.GetDimPerm(0), 0);
    EXPECT_FALSE(t.data.IsPointSelected(2));
    EXPECT_EQ(VisibleDims(t.data), (std::vector<int>{0, 1, 2}));
}

TEST(DataTable, SetSizeKeepsEntriesAndZeroesNewOnes)
{
    TLoadedTable t(2, 2);
    t.data.SetPointColor(1, 7);
    t.data.SetSize(4, 3);
    EXPECT_EQ(t.data.GetPointColor(1), 7);
    EXPECT_EQ(t.data.GetPointPerm(1), 1);
    EXPECT_EQ(t.data.GetPointPerm(3), 0);
    EXPECT_EQ(t.data.GetDimPerm(2), 0);
    EXPECT_EQ(t.data.GetPointProps(0).Color, 0); // source 0 is shown at 0 and 3
    t.data.SetPointPerm(3, 3);
    EXPECT_EQ(t.data.GetPointColor(3), 0);
    EXPECT_FALSE(t.data.GetPointProps(3).Hidden);
}

// --- values -------------------------------------------------------------------

TEST(DataTable, ValuesFollowTheViewOrderAndCellsWithoutNumbersReadMinusOne)
{
    TTable t(2, 3);
    t.values.SetCell(0, 1, TVariant());
    t.values.SetCell(1, 1, TVariant("abc"));
    t.values.SetCell(1, 2, TVariant(" 2.5 "));
    t.Load();
    TData& d = t.data;
    EXPECT_DOUBLE_EQ(d.GetValue(0, 1), 100);
    EXPECT_DOUBLE_EQ(d.GetValue(1, 0), -1.0);
    EXPECT_DOUBLE_EQ(d.GetValue(1, 1), -1.0);
    EXPECT_DOUBLE_EQ(d.GetValue(2, 1), 2.5);
    d.ExchangeDims(0, 1);
    d.ExchangePoints(0, 2);
    EXPECT_DOUBLE_EQ(d.GetValue(0, 0), 2.5);
    EXPECT_DOUBLE_EQ(d.GetValue(2, 0), 100);
    EXPECT_EQ(d.GetDimName(0), QStringLiteral("D1"));
    EXPECT_EQ(d.GetPointName(0), QStringLiteral("P2"));
}

TEST(DataTable, DirectReadRaisesForCellsWithoutNumbers)
{
    TTable t(1, 3);
    t.values.SetCell(0, 1, TVariant());
    t.values.SetCell(0, 2, TVariant("x"));
    t.Load();
    try {
        t.data.GetValueDirect(1, 0);
        FAIL() << "no error";
    } catch (const EVariantError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unassigned values will not be evaluated"));
    }
    EXPECT_THROW(t.data.GetValueDirect(2, 0), EVariantError);
    EXPECT_DOUBLE_EQ(t.data.GetValueDirect(0, 0), 0);
}

TEST(DataTable, ErrorsOfTheGridItselfPass)
{
    TLoadedTable t(1, 2);
    t.values.FailWith = QStringLiteral("grid gone");
    try {
        t.data.GetValue(0, 0);
        FAIL() << "no error";
    } catch (const EVariantError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("grid gone"));
    }
}

TEST(DataTable, TransposingSwapsRolesAndResets)
{
    TLoadedTable t(2, 3);
    t.data.SetDimSelected(0, true);
    t.data.SetTransposed(true);
    TData& d = t.data;
    EXPECT_TRUE(d.Transposed());
    EXPECT_EQ(d.DimCount(), 3);
    EXPECT_EQ(d.PointCount(), 2);
    EXPECT_EQ(d.GetDimName(2), QStringLiteral("P2"));
    EXPECT_EQ(d.GetPointName(1), QStringLiteral("D1"));
    EXPECT_DOUBLE_EQ(d.GetValue(1, 2), 102); // point = former column 1, dim = former row 2
    EXPECT_EQ(d.SelectedDimCount(), 0);
    EXPECT_DOUBLE_EQ(d.GetDimMin(2), 2);
    EXPECT_DOUBLE_EQ(d.GetDimMax(2), 102);

    // The same value changes nothing, not even under the lock.
    TActor actor;
    d.BeginWrite(&actor, false);
    d.SetTransposed(true);
    EXPECT_TRUE(d.Events().empty());
    d.SetTransposed(false);
    EXPECT_EQ(QueuedClassNames(d), (std::vector<std::string>{"TQuorDataEventDataSrcChange"}));
    d.EndWrite(&actor);
    EXPECT_EQ(d.GetDimName(1), QStringLiteral("D1"));

    // New grids show as they are laid out: the transposition was the former
    // grids'.
    d.SetTransposed(true);
    TTable other(4, 5);
    d.SetDataSrc(&other.values, other.dimNames.get(), other.pointNames.get());
    EXPECT_FALSE(d.Transposed());
    EXPECT_EQ(d.DimCount(), 4);
    EXPECT_EQ(d.GetPointName(4), QStringLiteral("P4"));
    EXPECT_DOUBLE_EQ(d.GetValue(4, 3), 304);
}

// --- value change ---------------------------------------------------------------

TEST(DataAdjust, ConstantAndEmptyColumns)
{
    TGrid g(3, 4);
    for (int r = 0; r < 4; ++r) {
        g.SetCell(0, r, TVariant(5.0));
        g.SetCell(2, r, TVariant(int32_t(r)));
    }
    auto dn = Names(3, "D");
    auto pn = Names(4, "P", true);
    TData d;
    d.SetDataSrc(&g, dn.get(), pn.get());
    EXPECT_DOUBLE_EQ(d.GetDimMin(0), 5);
    EXPECT_DOUBLE_EQ(d.GetDimMax(0), 5.001);
    EXPECT_DOUBLE_EQ(d.GetDimMin(1), -1);
    EXPECT_DOUBLE_EQ(d.GetDimMax(1), -0.999);
    // The empty column is left out of the mean: (4 * 5 + 0 + 1 + 2 + 3) / 8.
    EXPECT_DOUBLE_EQ(d.Mean(), 26.0 / 8);
    EXPECT_DOUBLE_EQ(d.GlobalMin(), -1);
    EXPECT_DOUBLE_EQ(d.GlobalMax(), 5.001);
}

TEST(DataAdjust, NoNumberAtAllGivesMeanZero)
{
    TGrid g(2, 2);
    g.SetCell(0, 0, TVariant("a"));
    g.SetCell(1, 1, TVariant::Null());
    auto dn = Names(2, "D");
    auto pn = Names(2, "P", true);
    TData d;
    d.SetDataSrc(&g, dn.get(), pn.get());
    EXPECT_DOUBLE_EQ(d.Mean(), 0);
    EXPECT_DOUBLE_EQ(d.GetDimMax(1), -0.999);
}

TEST(DataAdjust, FiniteBoundsStayUnsetOnesFollow)
{
    TLoadedTable t(2, 3);
    TData& d = t.data;
    d.SetLBound(0, 1);
    d.SetUBound(1, Inf);
    for (int r = 0; r < 3; ++r) {
        t.values.SetCell(0, r, TVariant(int32_t(-50 + r)));
        t.values.SetCell(1, r, TVariant(int32_t(500 + r)));
    }
    d.AdjustForValueChange();
    EXPECT_DOUBLE_EQ(d.GetDimMin(0), -50);
    EXPECT_DOUBLE_EQ(d.GetLBound(0), 1);
    EXPECT_DOUBLE_EQ(d.GetUBound(0), 2);
    EXPECT_FALSE(d.BoundsCoverRange(0));
    EXPECT_DOUBLE_EQ(d.GetLBound(1), 100); // finite from loading
    EXPECT_DOUBLE_EQ(d.GetUBound(1), 502); // unset, follows the data
}

TEST(DataAdjust, LowerBoundAtOrAboveUpperLiftsUpper)
{
    TLoadedTable t(1, 3);
    t.data.SetLBound(0, 7);
    t.data.SetUBound(0, 7);
    t.data.AdjustForValueChange();
    EXPECT_DOUBLE_EQ(t.data.GetLBound(0), 7);
    EXPECT_DOUBLE_EQ(t.data.GetUBound(0), 7.001);
    t.data.SetUBound(0, 3);
    t.data.AdjustForValueChange();
    EXPECT_DOUBLE_EQ(t.data.GetUBound(0), 7.001);
}

TEST(DataAdjust, ActiveSlidersArePulledInInactiveOnesUntouched)
{
    TLoadedTable t(3, 3); // dims: 0..2, 100..102, 200..202
    TData& d = t.data;
    d.SetSliderOff(0, false);
    d.SetSliderLow(0, -10);
    d.SetSliderHigh(0, 50);
    d.SetSliderLow(1, -10);
    d.SetSliderHigh(1, 500);
    d.SetSliderOff(2, false);
    d.SetSliderLow(2, 200.5);
    d.SetSliderHigh(2, 201);
    d.SetDimHidden(2, true); // hidden dimensions take part
    TActor actor;
    d.BeginWrite(&actor, false);
    d.AdjustForValueChange();
    d.EndWrite(&actor);
    EXPECT_DOUBLE_EQ(d.GetSliderLow(0), 0);
    EXPECT_DOUBLE_EQ(d.GetSliderHigh(0), 2);
    EXPECT_DOUBLE_EQ(d.GetSliderLow(1), -10);
    EXPECT_DOUBLE_EQ(d.GetSliderHigh(1), 500);
    EXPECT_DOUBLE_EQ(d.GetSliderLow(2), 200.5);
    EXPECT_DOUBLE_EQ(d.GetSliderHigh(2), 201);
    // The generic value change stands for the slider events as well.
    ASSERT_EQ(d.Events().size(), 1u);
    EXPECT_EQ(d.Events()[0]->ClassType(), TQuorDataEventValueChange::StaticClass());
    EXPECT_TRUE(d.Events()[0]->IsGeneric);
}

TEST(DataAdjust, Assertions)
{
    TData empty;
    EXPECT_TRUE(AssertionText([&] { empty.AdjustForValueChange(); })
                    .startsWith(Expected("AdjustForValueChange: DimCount must be > 0")));
    EXPECT_TRUE(AssertionText([&] { empty.ResetProps(); }).startsWith(Expected("ResetProps")));
    TGrid noRows(2, 0);
    auto dn = Names(2, "D");
    auto pn = Names(1, "P");
    EXPECT_TRUE(AssertionText([&] { empty.SetDataSrc(&noRows, dn.get(), pn.get()); })
                    .startsWith(Expected("AdjustForValueChange: PointCount must be > 0")));
}

// --- properties and their events ------------------------------------------------

TEST(DataProps, UnlockedWritesQueueNothing)
{
    TLoadedTable t(2, 2);
    t.data.SetDimSelected(0, true);
    t.data.SetPointHidden(1, true);
    t.data.ExchangeDims(0, 1);
    t.data.MoveDim(0, 1);
    t.data.ExchangePoints(0, 1);
    t.data.AdjustForValueChange();
    EXPECT_TRUE(t.data.Events().empty());
    EXPECT_EQ(t.data.SelectedDimCount(), 1);
    EXPECT_EQ(t.data.HiddenPointCount(), 1);
}

struct TPropCase {
    const char* name;
    std::function<void(TData&)> write;
    const TClass* expectedClass;
    int index;
    bool flag;
};

TEST(DataProps, EachChangeQueuesItsEvent)
{
    const std::vector<TPropCase> cases = {
        {"dim hidden", [](TData& d) { d.SetDimHidden(1, true); },
         TQuorDataEventDimVisibilityChange::StaticClass(), 1, false},
        {"dim selected", [](TData& d) { d.SetDimSelected(1, true); },
         TQuorDataEventDimSelectionChange::StaticClass(), 1, true},
        {"lower bound", [](TData& d) { d.SetLBound(0, -3); },
         TQuorDataEventDimLBoundChange::StaticClass(), 0, false},
        {"upper bound", [](TData& d) { d.SetUBound(1, 300); },
         TQuorDataEventDimUBoundChange::StaticClass(), 1, false},
        {"slider on", [](TData& d) { d.SetSliderOff(1, false); },
         TQuorDataEventDimSliderChange::StaticClass(), 1, false},
        {"point hidden", [](TData& d) { d.SetPointHidden(2, true); },
         TQuorDataEventPointVisibilityChange::StaticClass(), 2, false},
        {"point selected", [](TData& d) { d.SetPointSelected(2, true); },
         TQuorDataEventPointSelectionChange::StaticClass(), 2, true},
        {"point colour", [](TData& d) { d.SetPointColor(0, 4); },
         TQuorDataEventPointColorChange::StaticClass(), 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TLoadedTable t(2, 3);
        TActor actor;
        t.data.BeginWrite(&actor, false);
        c.write(t.data);
        ASSERT_EQ(t.data.Events().size(), 1u);
        const TQuorDataEvent& e = *t.data.Events()[0];
        EXPECT_EQ(e.ClassType(), c.expectedClass);
        EXPECT_FALSE(e.IsGeneric);
        EXPECT_EQ(e.Index, c.index);
        EXPECT_EQ(e.Flag, c.flag);
        EXPECT_EQ(e.Data, &t.data);
        EXPECT_EQ(e.Actor, &actor);
        t.data.EndWrite(&actor);
    }
}

TEST(DataProps, ShowingAndDeselectingTellTheNewState)
{
    TLoadedTable t(2, 3);
    t.data.SetDimHidden(0, true);
    t.data.SetPointSelected(1, true);
    TActor actor;
    t.data.BeginWrite(&actor, false);
    t.data.SetDimHidden(0, false);
    ASSERT_EQ(t.data.Events().size(), 1u);
    EXPECT_TRUE(t.data.Events()[0]->Flag); // visible now
    t.data.EndWrite(&actor);
    t.data.SendEvents(); // no client: the queue stays
    EXPECT_EQ(t.data.Events().size(), 1u);
}

TEST(DataProps, UnchangedValuesAndSliderValuesWhileOffQueueNothing)
{
    TLoadedTable t(2, 3);
    TData& d = t.data;
    TActor actor;
    d.BeginWrite(&actor, false);
    d.SetDimSelected(0, false);
    d.SetDimHidden(0, false);
    d.SetLBound(0, d.GetLBound(0));
    d.SetPointColor(1, d.GetPointColor(1));
    d.SetSliderLow(0, 1);
    d.SetSliderHigh(0, 2);
    TDimProps p = d.GetDimProps(1);
    p.Min = -100; // the data range has no event of its own
    p.Max = 100;
    d.SetDimProps(1, p);
    EXPECT_TRUE(d.Events().empty());
    EXPECT_DOUBLE_EQ(d.GetSliderLow(0), 1); // the value is stored all the same

    d.SetSliderOff(0, false);
    ASSERT_EQ(d.Events().size(), 1u);
    EXPECT_EQ(d.Events()[0]->ClassType(), TQuorDataEventDimSliderChange::StaticClass());
    d.SetSliderHigh(0, 3);
    EXPECT_EQ(d.Events().size(), 2u);
    d.EndWrite(&actor);
}

TEST(DataProps, SeveralChangesOfOneDimensionCoalesce)
{
    TLoadedTable t(2, 3);
    TActor actor;
    t.data.BeginWrite(&actor, false);
    TDimProps p = t.data.GetDimProps(0);
    p.Hidden = true;
    p.Selected = true;
    p.LBound = -5;
    t.data.SetDimProps(0, p);
    EXPECT_EQ(QueuedClassNames(t.data), (std::vector<std::string>{"TQuorDataEventDimModifications"}));
    EXPECT_TRUE(t.data.Events()[0]->IsGeneric);
    t.data.EndWrite(&actor);
}

TEST(DataProps, CountersFollowSelection)
{
    TLoadedTable t(3, 5);
    TData& d = t.data;
    d.SetPointSelected(1, true);
    d.SetPointSelected(3, true);
    d.SetPointSelected(3, true);
    d.SetDimSelected(2, true);
    EXPECT_EQ(d.SelectedPointCount(), 2);
    EXPECT_EQ(d.SelectedDimCount(), 1);
    d.ExchangePoints(1, 4); // properties travel with the point
    EXPECT_TRUE(d.IsPointSelected(4));
    EXPECT_FALSE(d.IsPointSelected(1));
    d.SetPointSelected(4, false);
    EXPECT_EQ(d.SelectedPointCount(), 1);
}

// --- order changes ----------------------------------------------------------------

TEST(DataOrder, ExchangeAndMoveKeepPermutationsInverse)
{
    TLoadedTable t(5, 2);
    TData& d = t.data;
    d.ExchangeDims(0, 3);
    d.MoveDim(4, 1);
    d.MoveDim(0, 2);
    d.ExchangeSourceDims(2, 4);
    for (int pos = 0; pos < 5; ++pos)
        EXPECT_EQ(d.GetDimInvPerm(d.GetDimPerm(pos)), pos);
}

TEST(DataOrder, MoveShiftsTheOnesBetween)
{
    TLoadedTable t(5, 2);
    TData& d = t.data;
    TActor actor;
    d.BeginWrite(&actor, false);
    d.MoveDim(1, 3);
    std::vector<int> perm;
    for (int i = 0; i < 5; ++i)
        perm.push_back(d.GetDimPerm(i));
    EXPECT_EQ(perm, (std::vector<int>{0, 2, 3, 1, 4}));
    ASSERT_EQ(d.Events().size(), 1u);
    EXPECT_EQ(d.Events()[0]->ClassType(), TQuorDataEventDimMove::StaticClass());
    EXPECT_EQ(d.Events()[0]->Index, 1);
    EXPECT_EQ(d.Events()[0]->Index2, 3);

    d.MoveDim(4, 0); // 4 0 2 3 1
    perm.clear();
    for (int i = 0; i < 5; ++i)
        perm.push_back(d.GetDimPerm(i));
    EXPECT_EQ(perm, (std::vector<int>{4, 0, 2, 3, 1}));
    EXPECT_EQ(d.Events()[1]->Index, 4);
    EXPECT_EQ(d.Events()[1]->Index2, 0);

    d.MoveDim(2, 2);
    ASSERT_EQ(d.Events().size(), 3u);
    EXPECT_EQ(d.Events()[2]->Index, 2);
    EXPECT_EQ(d.Events()[2]->Index2, 2);
    d.EndWrite(&actor);
}

TEST(DataOrder, ExchangeEventsCarryFormerSourceIndices)
{
    TLoadedTable t(4, 4);
    TData& d = t.data;
    d.ExchangeDims(0, 1); // 1 0 2 3
    TActor actor;
    d.BeginWrite(&actor, false);
    d.ExchangeDims(1, 2);
    d.ExchangeSourceDims(3, 1); // positions 3 and 0
    d.ExchangeDims(2, 2);
    ASSERT_EQ(d.Events().size(), 3u);
    EXPECT_EQ(d.Events()[0]->Index, 0);
    EXPECT_EQ(d.Events()[0]->Index2, 2);
    EXPECT_EQ(d.Events()[1]->Index, 3);
    EXPECT_EQ(d.Events()[1]->Index2, 1);
    EXPECT_EQ(d.GetDimPerm(0), 3);
    EXPECT_EQ(d.GetDimPerm(3), 1);
    EXPECT_EQ(d.Events()[2]->Index, 0); // self-exchange: both indices equal
    EXPECT_EQ(d.Events()[2]->Index2, 0);
    d.EndWrite(&actor);
    // Without a client the queue stays; the point events would coalesce
    // with it, so they are looked at on their own.
    EXPECT_EQ(d.Events().size(), 3u);
}

TEST(DataOrder, PointExchangeEventsCarryFormerSourceIndices)
{
    TLoadedTable t(1, 4);
    TData& d = t.data;
    d.ExchangePoints(2, 3); // 0 1 3 2
    TActor actor;
    d.BeginWrite(&actor, false);
    d.ExchangeSourcePoints(3, 0);
    d.ExchangePoints(1, 1);
    ASSERT_EQ(d.Events().size(), 2u);
    EXPECT_EQ(d.Events()[0]->ClassType(), TQuorDataEventPointExchange::StaticClass());
    EXPECT_EQ(d.Events()[0]->Index, 3);
    EXPECT_EQ(d.Events()[0]->Index2, 0);
    EXPECT_EQ(d.Events()[1]->Index, 1);
    EXPECT_EQ(d.Events()[1]->Index2, 1);
    EXPECT_EQ(d.GetPointPerm(0), 3);
    EXPECT_EQ(d.GetPointPerm(2), 0);
    d.EndWrite(&actor);
}

TEST(DataOrder, VisibleListFollowsReordering)
{
    TLoadedTable t(5, 2);
    TData& d = t.data;
    d.SetDimHidden(1, true);
    d.SetDimHidden(3, true);
    EXPECT_EQ(VisibleDims(d), (std::vector<int>{0, 2, 4}));
    d.MoveDim(1, 4); // hidden source 1 moves to the end
    EXPECT_EQ(VisibleDims(d), (std::vector<int>{0, 1, 3}));
    d.ExchangeDims(0, 2); // hidden source 3 now at 2 -> 0
    EXPECT_EQ(VisibleDims(d), (std::vector<int>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(d.MaxOfVisibleDims(), 401);
    d.SetDimHidden(3, true);
    d.SetDimHidden(1, true);
    d.SetDimHidden(2, true);
    EXPECT_EQ(d.MaxOfVisibleDims(), -Inf);
}

// --- visible lists under random changes, against a literal model ------------------

namespace {

// The visible list kept entry by entry, as the data object describes it.
struct TVisibleModel {
    std::vector<int> perm;   // position -> source
    std::vector<bool> hidden; // by source
    std::vector<int> list;
    int hiddenCount = 0;

    explicit TVisibleModel(int n)
        : perm(size_t(n)), hidden(size_t(n)), list(size_t(n))
    {
        for (int i = 0; i < n; ++i)
            perm[size_t(i)] = list[size_t(i)] = i;
    }
    int size() const { return int(perm.size()); }
    int visibleCount() const { return size() - hiddenCount; }
    void rebuild()
    {
        size_t k = 0;
        for (int pos = 0; pos < size(); ++pos)
            if (!hidden[size_t(perm[size_t(pos)])])
                list[k++] = pos;
    }
    void setHidden(int pos, bool value)
    {
        const size_t src = size_t(perm[size_t(pos)]);
        if (value == hidden[src])
            return;
        const int vis = visibleCount();
        if (value) {
            int i = 0;
            while (i < vis && list[size_t(i)] != pos)
                ++i;
            if (i < vis)
                for (; i < vis - 1; ++i)
                    list[size_t(i)] = list[size_t(i + 1)];
            ++hiddenCount;
        } else {
            int i = 0;
            while (i < vis && list[size_t(i)] < pos)
                ++i;
            for (int j = vis; j > i; --j)
                list[size_t(j)] = list[size_t(j - 1)];
            list[size_t(i)] = pos;
            --hiddenCount;
        }
        hidden[src] = value;
    }
    void exchange(int a, int b)
    {
        std::swap(perm[size_t(a)], perm[size_t(b)]);
        rebuild();
    }
    void move(int from, int to)
    {
        const int moved = perm[size_t(from)];
        perm.erase(perm.begin() + from);
        perm.insert(perm.begin() + to, moved);
        rebuild();
    }
    std::vector<int> visible() const { return {list.begin(), list.begin() + visibleCount()}; }
};

// Drives the dimensions or the points of a data object.
struct TDimSide {
    TData& d;
    int count() const { return d.DimCount(); }
    void setHidden(int pos, bool v) { d.SetDimHidden(pos, v); }
    void exchange(int a, int b) { d.ExchangeDims(a, b); }
    void move(int from, int to) { d.MoveDim(from, to); }
    void rebuild() { d.RebuildVisibleDims(); }
    void storeVisible(int i, int pos) { d.SetVisibleDim(i, pos); }
    void rawSwap(int a, int b)
    {
        const int pa = d.GetDimPerm(a);
        const int pb = d.GetDimPerm(b);
        d.SetDimPerm(a, pb);
        d.SetDimPerm(b, pa);
    }
    std::vector<int> visible() const { return VisibleDims(d); }
    int hiddenCount() const { return d.HiddenDimCount(); }
    int perm(int pos) const { return d.GetDimPerm(pos); }
};

struct TPointSide {
    TData& d;
    int count() const { return d.PointCount(); }
    void setHidden(int pos, bool v) { d.SetPointHidden(pos, v); }
    void exchange(int a, int b) { d.ExchangePoints(a, b); }
    void move(int, int) {}
    void rebuild() { d.RebuildVisiblePoints(); }
    void storeVisible(int i, int pos) { d.SetVisiblePoint(i, pos); }
    void rawSwap(int a, int b)
    {
        const int pa = d.GetPointPerm(a);
        const int pb = d.GetPointPerm(b);
        d.SetPointPerm(a, pb);
        d.SetPointPerm(b, pa);
    }
    std::vector<int> visible() const { return VisiblePoints(d); }
    int hiddenCount() const { return d.HiddenPointCount(); }
    int perm(int pos) const { return d.GetPointPerm(pos); }
};

template <class Side>
void RunRandomVisibility(Side side, bool canMove, unsigned seed)
{
    std::mt19937 rng(seed);
    const int n = side.count();
    TVisibleModel model(n);
    auto pick = [&](int below) { return int(rng() % unsigned(below)); };
    for (int step = 0; step < 3000; ++step) {
        const int op = pick(100);
        if (op < 70) {
            const int pos = pick(n);
            const bool v = pick(2) == 0;
            side.setHidden(pos, v);
            model.setHidden(pos, v);
        } else if (op < 80) {
            const int a = pick(n);
            const int b = pick(n);
            side.exchange(a, b);
            model.exchange(a, b);
        } else if (op < 87 && canMove) {
            const int a = pick(n);
            const int b = pick(n);
            side.move(a, b);
            model.move(a, b);
        } else if (op < 92) {
            // A raw store of any position; the list is then kept entry by
            // entry, unsorted or not, until the next rebuild.
            if (model.visibleCount() > 0) {
                const int i = pick(model.visibleCount());
                const int pos = pick(n);
                side.storeVisible(i, pos);
                model.list[size_t(i)] = pos;
            }
        } else if (op < 95) {
            // A raw reordering leaves the list as it was, out of step with
            // the properties, until the next rebuild.
            const int a = pick(n);
            const int b = pick(n);
            side.rawSwap(a, b);
            std::swap(model.perm[size_t(a)], model.perm[size_t(b)]);
        } else if (op < 98) {
            side.rebuild();
            model.rebuild();
        } else {
            side.d.ResetProps();
            model = TVisibleModel(n);
        }
        ASSERT_EQ(side.hiddenCount(), model.hiddenCount) << "step " << step;
        ASSERT_EQ(side.visible(), model.visible()) << "step " << step;
        for (int pos = 0; pos < n; ++pos)
            ASSERT_EQ(side.perm(pos), model.perm[size_t(pos)]);
    }
}

} // namespace

TEST(DataVisibleLists, RandomDimensionChangesMatchTheModel)
{
    for (unsigned seed : {1u, 2u, 3u}) {
        TLoadedTable t(17, 2);
        RunRandomVisibility(TDimSide{t.data}, true, seed);
    }
}

TEST(DataVisibleLists, RandomPointChangesMatchTheModel)
{
    for (unsigned seed : {4u, 5u, 6u}) {
        TLoadedTable t(1, 23);
        RunRandomVisibility(TPointSide{t.data}, false, seed);
    }
}

TEST(DataVisibleLists, ShowingTheOnlyHiddenOneRestoresItsPlace)
{
    TLoadedTable t(1, 6);
    t.data.SetPointHidden(3, true);
    t.data.SetVisiblePoint(0, 0); // explicit list: kept entry by entry
    EXPECT_EQ(VisiblePoints(t.data), (std::vector<int>{0, 1, 2, 4, 5}));
    t.data.SetPointHidden(3, false);
    EXPECT_EQ(VisiblePoints(t.data), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(t.data.HiddenPointCount(), 0);
}

TEST(DataVisibleLists, BulkHidingAndReorderingOfPoints)
{
    constexpr int n = 20000;
    TGrid g(1, n);
    auto dn = Names(1, "D");
    TData d;
    d.SetDataSrc(&g, dn.get(), dn.get());
    for (int p = 0; p < n; p += 2)
        d.SetPointHidden(p, true);
    EXPECT_EQ(d.VisiblePointCount(), n / 2);
    EXPECT_EQ(d.GetVisiblePoint(0), 1);
    EXPECT_EQ(d.GetVisiblePoint(n / 2 - 1), n - 1);
    for (int p = 0; p + 1 < n; p += 2)
        d.ExchangePoints(p, p + 1);
    EXPECT_EQ(d.GetVisiblePoint(0), 0);
    EXPECT_EQ(d.GetVisiblePoint(n / 2 - 1), n - 2);
}

// --- sliders ------------------------------------------------------------------------

TEST(DataSliders, DimsInSliderRangeAtTheTolerance)
{
    TGrid g(5, 1);
    g.SetCell(0, 0, TVariant(1000.0));
    g.SetCell(1, 0, TVariant(1000.0));
    g.SetCell(2, 0, TVariant(0.0));
    g.SetCell(3, 0, TVariant(0.0));
    g.SetCell(4, 0, TVariant(1000.0));
    auto dn = Names(5, "D");
    auto pn = Names(1, "P");
    TData d;
    d.SetDataSrc(&g, dn.get(), pn.get());
    for (int dim = 0; dim < 5; ++dim)
        d.SetSliderOff(dim, false);
    // Within 1e-11 relative of 1000 (1e-8): counts as equal.
    d.SetSliderLow(0, 1000 + 0.9e-8);
    d.SetSliderHigh(0, 2000);
    // Beyond it.
    d.SetSliderLow(1, 0);
    d.SetSliderHigh(1, 1000 - 1.1e-8);
    // Value 0: the default tolerance 1e-12.
    d.SetSliderLow(2, 0.9e-12);
    d.SetSliderHigh(2, 1);
    d.SetSliderLow(3, 1.1e-12);
    d.SetSliderHigh(3, 1);
    d.SetSliderLow(4, 1000);
    d.SetSliderHigh(4, 1000);
    EXPECT_EQ(d.DimsInSliderRange(0), (TDynArrayOfInt{0, 2, 4}));

    // A high end that is no number lies below nothing.
    d.SetSliderHigh(4, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(d.DimsInSliderRange(0), (TDynArrayOfInt{0, 2, 4}));

    d.SetSliderOff(4, true);
    d.SetDimHidden(0, true);
    EXPECT_EQ(d.DimsInSliderRange(0), (TDynArrayOfInt{2}));
    d.ExchangeDims(2, 4);
    EXPECT_EQ(d.DimsInSliderRange(0), (TDynArrayOfInt{4}));
}

TEST(DataSliders, NoActiveSliderGivesEmpty)
{
    TLoadedTable t(3, 2);
    EXPECT_TRUE(t.data.DimsInSliderRange(1).empty());
}
