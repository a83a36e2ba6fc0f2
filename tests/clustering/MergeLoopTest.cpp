#include "ClusterTable.h"
#include "clustering/QuorDistance.h"
#include "clustering/QuorMethod.h"
#include "platform/Random.h"

#include <gtest/gtest.h>

#include <cstring>
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
        const std::vector<int> included = h.GetIncluded();
        const int n = static_cast<int>(included.size());
        TTriangleMatrix w;
        w.Resize(n);
        double max = -1.0;
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j) {
                w.At(i, j) = measure.Distance(included[size_t(i)], included[size_t(j)]);
                max = std::max(max, w.Get(i, j));
            }
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
