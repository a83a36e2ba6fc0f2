#include "ClusterTable.h"
#include "clustering/NearestMerges.h"
#include "clustering/QuorDistance.h"
#include "clustering/QuorMethod.h"
#include "platform/Random.h"
#include "usagelog/Evaluation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {
using TMerges = std::vector<std::pair<int, int>>;

// The merge loop as a plain scan of the whole working matrix per merge: the
// reference the kept row minima must match exactly.
TMerges ReferenceMerges(TTriangleMatrix& W, double Max, int Linkage, int Merges)
{
    TMerges merges;
    const int n = W.ItemCount();
    for (int m = 0; m < Merges; ++m) {
        double best = Max + 1.0;
        int a = -1;
        int b = -1;
        for (int r = 0; r < n - 1; ++r)
            for (int c = 0; c <= r; ++c) {
                const double e = W.Get(r + 1, c);
                if (e >= 0 && e < best) {
                    best = e;
                    b = r + 1;
                    a = c;
                }
            }
        if (b < 0)
            break;
        merges.emplace_back(a, b);
        for (int x = 0; x < n; ++x)
            if (x != a && x != b)
                W.At(a, x) = CombineLinkage(Linkage, W.Get(a, x), W.Get(b, x));
        for (int x = 0; x < n; ++x)
            if (x != b)
                W.At(b, x) = -1.0;
    }
    return merges;
}

TMerges FastMerges(TTriangleMatrix& W, double Max, int Linkage, int Merges)
{
    TMerges merges;
    TMergeLoop loop(W, Max, Linkage);
    for (int m = 0; m < Merges; ++m) {
        int a = 0;
        int b = 0;
        if (!loop.NextPair(a, b))
            break;
        merges.emplace_back(a, b);
        loop.Merge(a, b);
    }
    return merges;
}

// A matrix with few distinct values, so that most steps meet ties.
TTriangleMatrix TiedMatrix(int n, int Levels, double& Max)
{
    TTriangleMatrix w;
    w.Resize(n);
    Max = -1.0;
    for (int i = 1; i < n; ++i)
        for (int j = 0; j < i; ++j) {
            const double d = Random(Levels);
            w.At(i, j) = d;
            if (d > Max)
                Max = d;
        }
    return w;
}

// The entries of a matrix as the distances merges are found from.
class TMatrixDistances : public IItemDistances {
public:
    explicit TMatrixDistances(const TTriangleMatrix& AWork) : FWork(AWork) {}
    void Row(int i, const int* Items, int Count, double* Out) override
    {
        for (int k = 0; k < Count; ++k)
            Out[k] = FWork.Get(i, Items[k]);
    }
    double Get(int i, int j) override { return FWork.Get(i, j); }

private:
    const TTriangleMatrix& FWork;
};

// The distances of the included items as a run measures them, and their
// largest, before the run moves the items.
TTriangleMatrix FirstDistances(TMeasure& Measure, const std::vector<int>& Included, double& Max)
{
    const int n = static_cast<int>(Included.size());
    TTriangleMatrix w;
    w.Resize(n);
    for (int i = 1; i < n; ++i)
        for (int j = 0; j < i; ++j) {
            w.At(i, j) = Measure.Distance(Included[size_t(i)], Included[size_t(j)]);
            Max = std::max(Max, w.Get(i, j));
        }
    return w;
}

bool SameBits(const TTriangleMatrix& a, const TTriangleMatrix& b)
{
    for (int i = 1; i < a.ItemCount(); ++i)
        if (std::memcmp(a.Row(i), b.Row(i), sizeof(double) * size_t(i)) != 0)
            return false;
    return true;
}
} // namespace

TEST(MergeLoop, MatchesTheFullScanOnTiedData)
{
    RandSeed = 2010;
    for (int linkage : {lkNearest, lkFurthest, lkAverage}) {
        for (int levels : {1, 2, 3, 8, 1000}) {
            for (int n : {2, 3, 7, 40, 90}) {
                double max = 0;
                TTriangleMatrix reference = TiedMatrix(n, levels, max);
                TTriangleMatrix fast = reference;
                if (linkage == lkNearest) {
                    TMerges tree;
                    TMatrixDistances distances(fast);
                    ASSERT_TRUE(NearestNeighbourMerges(distances, n, n - 1, tree));
                    ASSERT_EQ(tree, ReferenceMerges(reference, max, linkage, n - 1)) << levels << " " << n;
                    reference = fast;
                }
                const TMerges expected = ReferenceMerges(reference, max, linkage, n - 1);
                const TMerges actual = FastMerges(fast, max, linkage, n - 1);
                ASSERT_EQ(actual, expected) << linkage << " " << levels << " " << n;
                ASSERT_TRUE(SameBits(fast, reference));
                EXPECT_EQ(static_cast<int>(actual.size()), n - 1);
            }
        }
    }
}

TEST(MergeLoop, PartialRunsStopAtTheSameState)
{
    RandSeed = 7;
    for (int linkage : {lkNearest, lkFurthest, lkAverage}) {
        double max = 0;
        TTriangleMatrix reference = TiedMatrix(60, 4, max);
        TTriangleMatrix fast = reference;
        EXPECT_EQ(FastMerges(fast, max, linkage, 45), ReferenceMerges(reference, max, linkage, 45));
        EXPECT_TRUE(SameBits(fast, reference));
    }
}

TEST(MergeLoop, EntriesBeyondTheBoundAreNeverTaken)
{
    // Entries equal to the largest one are not below Max + 1 once Max is so
    // large that adding 1 changes nothing.
    TTriangleMatrix w;
    w.Resize(3);
    w.At(1, 0) = 1e300;
    w.At(2, 0) = 1e300;
    w.At(2, 1) = 5.0;
    TTriangleMatrix reference = w;
    EXPECT_EQ(FastMerges(w, 1e300, lkNearest, 2), ReferenceMerges(reference, 1e300, lkNearest, 2));
    TMergeLoop loop(w, 1e300, lkNearest);
    int a = 0;
    int b = 0;
    EXPECT_FALSE(loop.NextPair(a, b));
}

// The whole run over a data object: the Boolean distance gives ties almost
// everywhere.
TEST(MergeLoop, HierarchicalRunsFollowTheReferenceOnBooleanDistances)
{
    for (int linkage : {lkNearest, lkFurthest, lkAverage}) {
        TClusterTable t(5, 70);
        t.Data.SetPointHidden(3, true);
        TBooleanDist measure;
        measure.Init(&t.Data);
        THierarchical h;
        h.SetMeasure(&measure);
        h.SetAllPoints(false);
        h.SetLinkage(linkage == lkNearest ? "min" : linkage == lkFurthest ? "max" : "average");
        const int k = 6;
        // The first distances, read before the run moves the items.
        const int n = static_cast<int>(h.GetIncluded().size());
        double max = -1.0;
        TTriangleMatrix w = FirstDistances(measure, h.GetIncluded(), max);
        h.Execute(k);

        // Rebuild the clusters from the reference merges over the first
        // distances.
        ASSERT_EQ(h.GetItemCount(), n);
        std::vector<TCluster> clusters(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            clusters[size_t(i)].Add(i);
        for (const auto& [a, b] : ReferenceMerges(w, max, linkage, n - k))
            clusters[size_t(a)].Merge(clusters[size_t(b)]);
        ASSERT_EQ(h.GetClusters().size(), clusters.size());
        for (size_t c = 0; c < clusters.size(); ++c) {
            ASSERT_EQ(h.GetClusters()[c].Count(), clusters[c].Count());
            for (int m = 0; m < clusters[c].Count(); ++m)
                EXPECT_EQ(h.GetClusters()[c].GetMember(m), clusters[c].GetMember(m));
        }
    }
}

namespace {
// Forces the merge loop whatever the linkage.
class TLoopHierarchical : public THierarchical {
public:
    TLoopHierarchical() { NearestByTree = false; }
};

// Rows of Dims integers below Range; every Repeat-th row repeats an earlier
// one; a row of Huge values, when set, makes some distances infinite.
std::vector<std::vector<double>> TiedRows(int Dims, int Points, int Range, int Repeat, double Huge)
{
    std::vector<std::vector<double>> rows;
    for (int p = 0; p < Points; ++p) {
        if (Repeat > 0 && p > 0 && p % Repeat == 0) {
            rows.push_back(rows[size_t(Random(p))]);
            continue;
        }
        std::vector<double> row;
        for (int d = 0; d < Dims; ++d)
            row.push_back(Random(Range));
        rows.push_back(row);
    }
    if (Huge != 0.0)
        rows[size_t(Points / 2)].assign(size_t(Dims), Huge);
    return rows;
}

std::unique_ptr<TMeasure> MakeMeasure(int Kind)
{
    switch (Kind) {
    case 1:
        return std::make_unique<TWeightedEuclid>();
    case 2:
        return std::make_unique<TManhatten>();
    case 3:
        return std::make_unique<TBooleanDist>();
    default:
        return std::make_unique<TEuclid>();
    }
}

// One hierarchical run over its own copy of a table, item 1 hidden.
struct TNearestRun {
    TNearestRun(const std::vector<std::vector<double>>& Rows, int MeasureKind, THierarchical& AMethod)
        : Table(Rows), Measure(MakeMeasure(MeasureKind)), Method(AMethod)
    {
        Table.Data.SetPointHidden(1, true);
        Measure->Init(&Table.Data);
        Method.SetMeasure(Measure.get());
        Method.SetAllPoints(false);
    }
    std::vector<int> SourceOrder()
    {
        std::vector<int> order;
        for (int p = 0; p < Table.Data.PointCount(); ++p)
            order.push_back(Table.Data.GetPointPerm(p));
        return order;
    }
    TClusterTable Table;
    std::unique_ptr<TMeasure> Measure;
    THierarchical& Method;
};
} // namespace

// The spanning tree against the merge loop with the nearest-neighbour linkage:
// the same merges, clusters, colours, order and working entries, on tables
// where most distances tie, cut at every kind of k.
TEST(NearestMerges, MatchTheMergeLoopOnTiedTables)
{
    struct TCase {
        const char* Name;
        int Measure, Dims, Points, Range, Repeat;
        double Huge;
        bool Tree; // the tree can take the distances
    };
    const TCase cases[] = {
        {"all equal", 0, 3, 40, 1, 0, 0.0, true},
        {"two values", 0, 1, 50, 2, 0, 0.0, true},
        {"small grid", 2, 2, 60, 3, 0, 0.0, true},
        {"duplicate rows", 1, 3, 60, 4, 3, 0.0, true},
        {"boolean", 3, 6, 45, 5, 5, 0.0, true},
        {"few ties", 1, 4, 50, 1000, 0, 0.0, true},
        {"infinite distances", 0, 2, 30, 3, 0, 1e200, false},
    };
    RandSeed = 4242;
    for (const TCase& c : cases) {
        const auto rows = TiedRows(c.Dims, c.Points, c.Range, c.Repeat, c.Huge);
        for (const int k : {1, 2, 3, 7, c.Points / 2, c.Points - 2, c.Points}) {
            SCOPED_TRACE(std::string(c.Name) + ", k = " + std::to_string(k));
            THierarchical treeMethod;
            TLoopHierarchical loopMethod;
            TNearestRun tree(rows, c.Measure, treeMethod);
            TNearestRun loop(rows, c.Measure, loopMethod);
            const int n = static_cast<int>(treeMethod.GetIncluded().size());

            // The merges themselves, over the first distances.
            double max = -1.0;
            TTriangleMatrix w = FirstDistances(*tree.Measure, treeMethod.GetIncluded(), max);
            TMatrixDistances distances(w);
            std::vector<TMergePair> merges;
            ASSERT_EQ(NearestNeighbourMerges(distances, n, n - k, merges), c.Tree);
            if (c.Tree) {
                EXPECT_EQ(merges, FastMerges(w, max, lkNearest, n - k));
            }

            treeMethod.Execute(k);
            const QString treeLog = GetLog().last();
            loopMethod.Execute(k);
            EXPECT_EQ(treeLog.section(',', 1), GetLog().last().section(',', 1));
            ASSERT_EQ(treeMethod.GetClusters().size(), loopMethod.GetClusters().size());
            for (size_t i = 0; i < treeMethod.GetClusters().size(); ++i) {
                ASSERT_EQ(treeMethod.GetClusters()[i].Count(), loopMethod.GetClusters()[i].Count());
                for (int m = 0; m < treeMethod.GetClusters()[i].Count(); ++m)
                    ASSERT_EQ(treeMethod.GetClusters()[i].GetMember(m), loopMethod.GetClusters()[i].GetMember(m));
            }
            EXPECT_EQ(tree.Table.Colors(), loop.Table.Colors());
            EXPECT_EQ(tree.SourceOrder(), loop.SourceOrder());
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j)
                    ASSERT_EQ(treeMethod.GetWorkDist(i, j), loopMethod.GetWorkDist(i, j)) << i << " " << j;
            }
        }
    }
}
