#include "ClusterTable.h"
#include "clustering/QuorDistance.h"
#include "platform/Exceptions.h"
#include "platform/Random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {
const double NoNumber = std::numeric_limits<double>::quiet_NaN();

template <class M>
std::unique_ptr<TMeasure> MakeMeasure(TData& Data, bool AllDims = false)
{
    auto m = std::make_unique<M>();
    m->Init(&Data);
    m->SetAllDims(AllDims);
    return m;
}
} // namespace

TEST(Distance, HiddenDimensionsCountOnlyWithAllDims)
{
    TClusterTable t({{1, 2, 3}, {1, 2, 7}});
    t.Data.SetDimHidden(2, true);
    for (bool all : {false, true}) {
        auto e = MakeMeasure<TEuclid>(t.Data, all);
        auto m = MakeMeasure<TManhatten>(t.Data, all);
        EXPECT_EQ(e->Distance(0, 1), all ? 4.0 : 0.0);
        EXPECT_EQ(m->Distance(0, 1), all ? 2.0 : 0.0);
    }
}

TEST(Distance, InitResetsAllDimsAndKeepsTheFirstDataObject)
{
    TClusterTable t({{0, 0}, {0, 5}});
    TClusterTable other({{0, 0}, {9, 9}});
    t.Data.SetDimHidden(1, true);
    TEuclid e;
    e.SetAllDims(true);
    e.Init(&t.Data);
    EXPECT_FALSE(e.GetAllDims());
    EXPECT_EQ(e.Distance(0, 1), 0.0);
    e.Init(&other.Data);
    EXPECT_EQ(e.GetData(), &t.Data);
    TMeasure base;
    base.Init(&t.Data);
    EXPECT_EQ(base.Distance(0, 1), 0.0);
}

TEST(Distance, ManhattanIsTheSquareRootOfTheAbsoluteSum)
{
    TClusterTable t({{1, 5, 0, 3}, {2, 4, 1, 2}});
    EXPECT_EQ(MakeMeasure<TManhatten>(t.Data)->Distance(0, 1), 2.0);
    EXPECT_EQ(MakeMeasure<TEuclid>(t.Data)->Distance(0, 1), 2.0);
    TClusterTable u({{0, 0}, {3, 6}});
    EXPECT_EQ(MakeMeasure<TManhatten>(u.Data)->Distance(0, 1), 3.0);
}

TEST(Distance, WeightsRescaleToTheFirstDimensionsRange)
{
    // Dimension 0 spans 10, dimension 1 spans 2.
    TClusterTable t({{0, 1}, {10, 2}, {0, 3}});
    TWeightedEuclid we;
    we.Init(&t.Data);
    EXPECT_EQ(we.GetWeights(), (std::vector<double>{1.0, 5.0}));
    EXPECT_EQ(we.Distance(0, 2), 10.0); // difference 2 in dimension 1, times 5
    TWeightedManhatten wm;
    wm.Init(&t.Data);
    EXPECT_EQ(wm.Distance(0, 2), std::sqrt(10.0));
    EXPECT_EQ(wm.Distance(0, 1), std::sqrt(10.0 + 5.0));
    // The weights follow the dimension order when Init ran.
    t.Data.ExchangeDims(0, 1);
    TWeightedEuclid swapped;
    swapped.Init(&t.Data);
    EXPECT_EQ(swapped.GetWeights(), (std::vector<double>{1.0, 0.2}));
}

TEST(Distance, WeightsOfDimensionsAddedAfterInitAreZero)
{
    TClusterTable t({{0, 1}, {4, 3}});
    TWeightedEuclid we;
    we.Init(&t.Data);
    TClusterTable wider({{0, 1, 0}, {4, 3, 100}});
    t.Data.SetDataSrc(&wider.Values, &wider.DimNames, &wider.PointNames);
    EXPECT_EQ(we.Distance(0, 1), std::sqrt(16.0 + 4.0 * 4.0));
    EXPECT_EQ(we.GetWeights().size(), 3u);
}

TEST(Distance, BooleanCountsSidesOfTheMean)
{
    // Means: dimension 0: 2, dimension 1: 5, dimension 2: 1.
    TClusterTable t({{1, 0, 1}, {3, 10, 1}, {2, 5, 1}});
    auto b = MakeMeasure<TBooleanDist>(t.Data, true);
    // Item 1 with itself: dimension 2 equals its mean and counts as a
    // difference; the others agree.
    EXPECT_EQ(b->Distance(1, 1), 3.0 - 2.0 + 1.0);
    EXPECT_EQ(b->Distance(0, 1), 3.0 + 3.0);
    // Item 2 sits on every mean: every dimension differs.
    EXPECT_EQ(b->Distance(2, 2), 6.0);

    TClusterTable clear({{1, 0}, {3, 10}});
    EXPECT_EQ(MakeMeasure<TBooleanDist>(clear.Data, true)->Distance(0, 0), 0.0);
    // A hidden dimension that does not count adds one to every distance.
    clear.Data.SetDimHidden(1, true);
    EXPECT_EQ(MakeMeasure<TBooleanDist>(clear.Data)->Distance(0, 0), 1.0);
    EXPECT_EQ(MakeMeasure<TBooleanDist>(clear.Data)->Distance(0, 1), 3.0);
}

TEST(Distance, ACellWithoutANumberReadsAsMinusOne)
{
    TClusterTable t({{NoNumber, 2}, {3, 2}, {1, 2}});
    EXPECT_EQ(MakeMeasure<TEuclid>(t.Data)->Distance(0, 1), 4.0);
    // The threshold of dimension 0 is (-1 + 3 + 1) / 3 = 1: item 2 sits on it.
    EXPECT_EQ(MakeMeasure<TBooleanDist>(t.Data)->Distance(0, 2), 2.0 + 1.0 + 1.0);
}

// Inside a run the measures read held values; every distance must be the
// same bit for bit as one read afresh.
TEST(Distance, ARunGivesExactlyTheDistancesReadAfresh)
{
    RandSeed = 4711;
    std::vector<std::vector<double>> rows;
    for (int p = 0; p < 40; ++p) {
        std::vector<double> row;
        for (int d = 0; d < 6; ++d)
            row.push_back(Random(7) == 0 ? NoNumber : Random(1000) / 7.0);
        rows.push_back(row);
    }
    TClusterTable t(rows);
    t.Data.SetDimHidden(3, true);
    t.Data.ExchangeDims(0, 4);
    t.Data.ExchangePoints(2, 30);
    std::vector<std::unique_ptr<TMeasure>> measures;
    for (bool all : {false, true}) {
        measures.push_back(MakeMeasure<TEuclid>(t.Data, all));
        measures.push_back(MakeMeasure<TWeightedEuclid>(t.Data, all));
        measures.push_back(MakeMeasure<TManhatten>(t.Data, all));
        measures.push_back(MakeMeasure<TWeightedManhatten>(t.Data, all));
        measures.push_back(MakeMeasure<TBooleanDist>(t.Data, all));
    }
    for (auto& m : measures) {
        std::vector<double> fresh;
        for (int a = 0; a < 40; ++a)
            for (int b = 0; b < 40; ++b)
                fresh.push_back(m->Distance(a, b));
        std::vector<int> others(40);
        for (int b = 0; b < 40; ++b)
            others[size_t(b)] = (b * 7) % 40;
        std::vector<double> freshRows(40 * 40);
        for (int a = 0; a < 40; ++a)
            m->DistanceRow(a, others.data(), 40, &freshRows[size_t(a) * 40]);
        std::vector<double> held;
        std::vector<double> heldRows(40 * 40);
        {
            TMeasureRun run(*m);
            EXPECT_TRUE(m->InRun());
            for (int a = 0; a < 40; ++a)
                for (int b = 0; b < 40; ++b)
                    held.push_back(m->Distance(a, b));
            for (int a = 0; a < 40; ++a)
                m->DistanceRow(a, others.data(), 40, &heldRows[size_t(a) * 40]);
        }
        EXPECT_FALSE(m->InRun());
        EXPECT_EQ(held, fresh);
        for (int a = 0; a < 40; ++a)
            for (int b = 0; b < 40; ++b) {
                const double expected = fresh[size_t(a) * 40 + size_t(others[size_t(b)])];
                EXPECT_EQ(freshRows[size_t(a) * 40 + size_t(b)], expected);
                EXPECT_EQ(heldRows[size_t(a) * 40 + size_t(b)], expected);
            }
    }
}

TEST(Distance, AMeasureWithoutDataIsABrokenContract)
{
    TEuclid e;
    EXPECT_THROW(e.Distance(0, 1), EAssertionFailed);
}
