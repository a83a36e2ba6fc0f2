#include "ClusterTable.h"
#include "clustering/QuorDistance.h"
#include "clustering/QuorMethod.h"
#include "platform/Random.h"
#include "support/TestSupport.h"
#include "usagelog/Evaluation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>

namespace {
// A measure and a method set up as the clustering panel does, over a table.
struct TRun {
    explicit TRun(TClusterTable& Table, bool AllPoints = false)
    {
        Measure.Init(&Table.Data);
        Hierarchical.SetMeasure(&Measure);
        Hierarchical.SetAllPoints(AllPoints);
        KMean.SetMeasure(&Measure);
        KMean.SetAllPoints(AllPoints);
        Sort.SetMeasure(&Measure);
        Sort.SetAllPoints(AllPoints);
    }
    TEuclid Measure;
    THierarchical Hierarchical;
    TKMean KMean;
    TSort Sort;
};

std::vector<int> Members(const TCluster& c)
{
    std::vector<int> m;
    for (int i = 0; i < c.Count(); ++i)
        m.push_back(c.GetMember(i));
    return m;
}

QString LastLogLine()
{
    return GetLog().isEmpty() ? QString() : GetLog().last();
}

// Exposes the medoid update for the seeding rule.
class TKMeanProbe : public TKMean {
public:
    void SeedWith(std::vector<int> Earlier)
    {
        Medoids = std::move(Earlier);
        SeedFromSelection = true;
        UpdateMedoids();
    }
};

// Exposes the carrying out of an order.
class TOrderProbe : public TMethode {
public:
    void Apply(std::vector<int> NewOrder)
    {
        Order = std::move(NewOrder);
        ApplyOrder();
    }
};
} // namespace

TEST(Hierarchical, LinkageNamesAreExact)
{
    THierarchical h;
    h.SetLinkage("max");
    EXPECT_EQ(h.GetLinkage(), lkFurthest);
    h.SetLinkage("average");
    EXPECT_EQ(h.GetLinkage(), lkAverage);
    h.SetLinkage("Max");
    EXPECT_EQ(h.GetLinkage(), lkNearest);
    h.SetLinkage("max");
    h.SetLinkage("min");
    EXPECT_EQ(h.GetLinkage(), lkNearest);
}

TEST(Hierarchical, KAtLeastTheItemCountKeepsEveryItemAlone)
{
    TClusterTable t(Line({5, 3, 9, 1}));
    TRun run(t);
    run.Hierarchical.Execute(4);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{5, 3, 9, 1}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{14, 10, 11, 16}));
    EXPECT_EQ(LastLogLine().section(',', 1), "4 Points");
    run.Hierarchical.Execute(40);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{5, 3, 9, 1}));
}

TEST(Hierarchical, EqualDistancesMergeTheSmallerLargerItemFirst)
{
    // d(1,0) = d(2,1) = 1: the pair with the smaller larger item wins.
    TClusterTable a(Line({0, 1, 2, 10}));
    TRun ra(a);
    ra.Hierarchical.Execute(3);
    EXPECT_EQ(Members(ra.Hierarchical.GetClusters()[0]), (std::vector<int>{0, 1}));
    EXPECT_EQ(Members(ra.Hierarchical.GetClusters()[2]), (std::vector<int>{2}));
    // d(2,0) = d(2,1) = 1: the smaller smaller item wins.
    TClusterTable b(Line({0, 2, 1}));
    TRun rb(b);
    rb.Hierarchical.Execute(2);
    EXPECT_EQ(Members(rb.Hierarchical.GetClusters()[0]), (std::vector<int>{0, 2}));
    EXPECT_EQ(b.FirstColumn(), (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(b.Colors(), (std::vector<int>{14, 14, 10}));
}

TEST(Hierarchical, ClustersTakeOverMembersLastFirstAndLieTogether)
{
    TClusterTable t(Line({0, 10, 1, 11, 30}));
    TRun run(t);
    run.Hierarchical.Execute(2);
    EXPECT_EQ(Members(run.Hierarchical.GetClusters()[0]), (std::vector<int>{0, 2, 3, 1}));
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{0, 1, 11, 10, 30}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{14, 14, 14, 14, 10}));
}

TEST(Hierarchical, LinkagesCombineTheTwoDistances)
{
    // Merges: (0,1) at 1, then (0,2); the last merge is left out (k = 2).
    const std::vector<std::pair<QString, double>> expected = {
        {"min", 17.0}, {"max", 20.0}, {"average", ((20.0 + 19.0) * 0.5 + 17.0) * 0.5}};
    for (const auto& [name, distance] : expected) {
        TClusterTable t(Line({0, 1, 3, 20}));
        TRun run(t);
        run.Hierarchical.SetLinkage(name);
        run.Hierarchical.Execute(2);
        EXPECT_EQ(run.Hierarchical.GetWorkDist(0, 3), distance) << name.toStdString();
        EXPECT_EQ(run.Hierarchical.GetWorkDist(1, 3), -1.0);
        EXPECT_EQ(run.Hierarchical.GetDist(0, 3), 20.0);
        EXPECT_EQ(run.Hierarchical.GetDist(2, 2), 0.0);
    }
}

TEST(Hierarchical, HiddenItemsGoLastWithColour15)
{
    TClusterTable t(Line({50, 0, 40, 1, 41}));
    t.Data.SetPointHidden(0, true);
    t.Data.SetPointHidden(2, true);
    TRun run(t);
    run.Hierarchical.Execute(2);
    EXPECT_EQ(run.Hierarchical.GetIncluded(), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(LastLogLine().section(',', 1), "3 Points");
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{0, 1, 41, 50, 40}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{14, 14, 10, 15, 15}));
    // With every item taking part, hidden ones are clustered like the rest.
    TClusterTable all(Line({50, 0, 40, 1, 41}));
    all.Data.SetPointHidden(0, true);
    TRun allRun(all, true);
    allRun.Hierarchical.Execute(2);
    EXPECT_EQ(all.FirstColumn(), (std::vector<double>{50, 41, 40, 0, 1}));
}

TEST(Hierarchical, TheFifteenthClusterTakesTheFirstColour)
{
    std::vector<double> values(16);
    std::iota(values.begin(), values.end(), 0.0);
    TClusterTable t(Line(values));
    TRun run(t);
    run.Hierarchical.Execute(16);
    const std::vector<int> colors = t.Colors();
    EXPECT_EQ(colors[13], 9);
    EXPECT_EQ(colors[14], 14);
    EXPECT_EQ(colors[15], 10);
}

TEST(Hierarchical, ColoursAndExchangesAreQueuedInTheCallersTransaction)
{
    TClusterTable t(Line({3, 0, 2, 1}));
    TObject actor;
    t.Data.BeginWrite(&actor, false);
    TRun run(t);
    run.Hierarchical.Execute(1);
    EXPECT_FALSE(t.Data.Events().empty());
    EXPECT_EQ(t.Data.Events().front()->Actor, &actor);
    t.Data.EndWrite(&actor);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{3, 2, 1, 0}));
}

TEST(Methods, KBelowOneDoesNothing)
{
    TClusterTable t(Line({3, 0, 2}));
    TRun run(t);
    const int lines = static_cast<int>(GetLog().size());
    run.Hierarchical.Execute(0);
    run.KMean.Execute(-2);
    EXPECT_EQ(static_cast<int>(GetLog().size()), lines);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{3, 0, 2}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{0, 0, 0}));
}

TEST(Methods, AMatrixBeyondFreeMemoryIsRefusedBeforeAnythingChanges)
{
    // Distances beyond 2^53 leave the nearest-neighbour linkage to the matrix.
    TClusterTable t(Line({3, 0, 2, 1e17}));
    TRun run(t);
    THierarchical average;
    average.SetLinkage(QStringLiteral("average"));
    average.SetMeasure(&run.Measure);
    average.SetAllPoints(false);
    TMethode* const methods[] = {&run.Hierarchical, &average, &run.KMean, &run.Sort};
    for (TMethode* method : methods) {
        method->SetMemoryProbe([] { return uint64_t(40); });
        try {
            method->Execute(2);
            ADD_FAILURE() << "no refusal";
        } catch (const EClusteringMemory& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Clustering 4 data items would need 48 bytes of memory for "
                                                  "their distances, but only 40 bytes are free."));
        }
        EXPECT_EQ(t.FirstColumn(), (std::vector<double>{3, 0, 2, 1e17}));
        EXPECT_EQ(t.Colors(), (std::vector<int>{0, 0, 0, 0}));
    }
}

// The order names view positions; the exchanges go by the source indices
// standing there at each step, one exchange per position, itself included.
TEST(Methods, AnOrderIsCarriedOutByExchangesOfSourceIndices)
{
    TClusterTable t(Line({10, 11, 12, 13, 14}));
    t.Data.ExchangePoints(0, 4); // view order 14, 11, 12, 13, 10
    TEuclid measure;
    measure.Init(&t.Data);
    TOrderProbe probe;
    probe.SetMeasure(&measure);
    TObject actor;
    t.Data.BeginWrite(&actor, false);
    probe.Apply({2, 0, 4, 1, 3});
    std::vector<std::pair<int, int>> exchanges;
    for (const auto& e : t.Data.Events()) {
        EXPECT_NE(dynamic_cast<TQuorDataEventPointExchange*>(e.get()), nullptr);
        exchanges.emplace_back(e->Index, e->Index2);
    }
    t.Data.EndWrite(&actor);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{12, 14, 10, 11, 13}));
    EXPECT_EQ(exchanges, (std::vector<std::pair<int, int>>{{2, 4}, {4, 1}, {0, 1}, {1, 3}, {3, 3}}));
}

TEST(Methods, NoItemTakingPartLeavesTheHiddenOnesInOrder)
{
    TClusterTable t(Line({3, 0}));
    t.Data.SetPointHidden(0, true);
    t.Data.SetPointHidden(1, true);
    TRun run(t);
    run.Hierarchical.Execute(2);
    run.KMean.Execute(2);
    run.Sort.Execute(1);
    EXPECT_EQ(LastLogLine().section(',', 1), "0 Points");
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{3, 0}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{15, 15}));
}

TEST(KMean, SeedsFromTheSelectionInViewOrder)
{
    // Items 2 and 3 are the medoids of the high and the low group; item 2
    // comes first in view order and so seeds cluster 0.
    TClusterTable t(Line({100, 0, 101, 1, 2, 102}));
    t.Data.SetPointSelected(3, true);
    t.Data.SetPointSelected(2, true);
    TRun run(t);
    RandSeed = 1;
    run.KMean.Execute(2);
    // The seeded round, then one that confirms the seeds.
    EXPECT_EQ(run.KMean.GetIterations(), 2);
    EXPECT_EQ(run.KMean.GetMedoids(), (std::vector<int>{2, 3}));
    EXPECT_EQ(Members(run.KMean.GetClusters()[0]), (std::vector<int>{0, 2, 5}));
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{100, 101, 102, 0, 1, 2}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{14, 14, 14, 10, 10, 10}));
}

TEST(KMean, SeedSlotsOfHiddenSelectedItemsKeepTheirEarlierMedoid)
{
    TClusterTable t(Line({0, 1, 2, 3, 4, 5}));
    t.Data.SetPointSelected(1, true);
    t.Data.SetPointSelected(2, true);
    t.Data.SetPointSelected(4, true);
    t.Data.SetPointHidden(2, true);
    TEuclid measure;
    measure.Init(&t.Data);
    TKMeanProbe probe;
    probe.SetMeasure(&measure);
    probe.SetAllPoints(false);
    probe.SeedWith({7, 7, 7});
    // Item 1 is included item 1, item 4 included item 3; the hidden item's
    // slot keeps 7.
    EXPECT_EQ(probe.GetMedoids(), (std::vector<int>{1, 7, 3}));
    probe.SeedWith({7, 7});
    EXPECT_EQ(probe.GetMedoids(), (std::vector<int>{1, 7}));
}

TEST(KMean, MembersAreInItemOrderAndClustersNumberedAsVisited)
{
    for (int32_t seed : {5, 77, 1234}) {
        TClusterTable t(Line({0, 50, 1, 51, 2, 52, 100}));
        TRun run(t);
        RandSeed = seed;
        run.KMean.Execute(3);
        EXPECT_LT(run.KMean.GetIterations(), TKMean::MaxIterations);
        std::vector<int> expectedColors;
        int number = 0;
        for (const TCluster& c : run.KMean.GetClusters()) {
            const std::vector<int> m = Members(c);
            EXPECT_TRUE(std::is_sorted(m.begin(), m.end()));
            if (m.empty())
                continue;
            expectedColors.insert(expectedColors.end(), m.size(), ClusterColors[size_t(number++)]);
        }
        EXPECT_EQ(t.Colors(), expectedColors);
        // Nothing merged: the working entries are the first distances.
        EXPECT_EQ(run.KMean.GetWorkDist(0, 6), run.KMean.GetDist(0, 6));
    }
}

TEST(KMean, TooManyClustersForTheItemsStillEnds)
{
    for (int k : {3, 4, 5, 12}) {
        for (int32_t seed : {1, 2, 3, 99}) {
            TClusterTable t(Line({4, 8, 15, 16}));
            TRun run(t);
            RandSeed = seed;
            run.KMean.Execute(k);
            EXPECT_LE(run.KMean.GetIterations(), TKMean::MaxIterations);
            std::vector<double> column = t.FirstColumn();
            std::sort(column.begin(), column.end());
            EXPECT_EQ(column, (std::vector<double>{4, 8, 15, 16})) << k;
        }
    }
    // One item and many clusters: the empty clusters find no medoid.
    TClusterTable one(Line({4}));
    TRun run(one);
    run.KMean.Execute(3);
    EXPECT_EQ(one.Colors(), (std::vector<int>{14}));
}

TEST(Sort, OrdersALineBetweenItsEnds)
{
    TClusterTable t(Line({5, 0, 9, 2, 7}));
    TRun run(t);
    run.Sort.Execute(0);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{9, 7, 5, 2, 0}));
    EXPECT_EQ(t.Colors(), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST(Sort, HiddenItemsFollowTheSeriation)
{
    TClusterTable t(Line({5, 0, 60, 9, 2, 7}));
    t.Data.SetPointHidden(2, true);
    TRun run(t);
    run.Sort.Execute(1);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{9, 7, 5, 2, 0, 60}));
}

TEST(Sort, TheFarthestPairEndsAtTheEndsAlsoWhenItHoldsItemZero)
{
    // The farthest pair is items 2 and 0 (9 and 0).
    TClusterTable t(Line({0, 5, 9, 3, 2}));
    TRun run(t);
    run.Sort.Execute(1);
    EXPECT_EQ(t.FirstColumn(), (std::vector<double>{9, 5, 2, 3, 0}));
    // The partition exchanges once more after its two walks have crossed,
    // which leaves 7 between 5 and 3.
    TClusterTable u(Line({0, 5, 9, 3, 2, 7}));
    TRun runU(u);
    runU.Sort.Execute(1);
    EXPECT_EQ(u.FirstColumn(), (std::vector<double>{9, 5, 7, 3, 2, 0}));
    // With the pair's first item last, the two exchanges cancel out and the
    // pair stays where it stood.
    TClusterTable v(Line({0, 5, 3, 9}));
    TRun runV(v);
    runV.Sort.Execute(1);
    EXPECT_EQ(v.FirstColumn().front(), 0);
    EXPECT_EQ(v.FirstColumn().back(), 9);
}

TEST(Methods, ExchangeIgnoresIndicesOutsideTheArray)
{
    std::vector<int> a{1, 2, 3};
    TMethode::Exchange(a, 0, 2);
    TMethode::Exchange(a, 1, 3);
    TMethode::Exchange(a, -1, 0);
    EXPECT_EQ(a, (std::vector<int>{3, 2, 1}));
}

namespace {
// k-medoids as a plain transcription of the method, over the distances of a
// finished run: the reference for the draws taken from the shared generator,
// the seeding, the medoid rule and the stop rule. Only for k below the item
// count, where every redraw finds a free item.
struct TKMeanReference {
    std::vector<std::vector<int>> Clusters;
    std::vector<int> Medoids;
    int Iterations = 0;
};

TKMeanReference ReferenceKMean(TData& Data, TMeasure& Measure, bool AllPoints, int k)
{
    std::vector<int> included;
    for (int p = 0; p < Data.PointCount(); ++p)
        if (AllPoints || !Data.IsPointHidden(p))
            included.push_back(p);
    const int n = static_cast<int>(included.size());
    std::vector<double> dist(size_t(n) * size_t(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            dist[size_t(i) * size_t(n) + size_t(j)] =
                i == j ? 0.0 : Measure.Distance(included[size_t(i)], included[size_t(j)]);
    auto d = [&](int i, int j) { return dist[size_t(i) * size_t(n) + size_t(j)]; };
    TKMeanReference r;
    r.Clusters.assign(size_t(k), {});
    r.Medoids.assign(size_t(k), 0);
    bool seed = Data.SelectedPointCount() == k;
    for (int i = 0; i < n; ++i)
        r.Clusters[size_t(Random(k))].push_back(i);
    for (;;) {
        const std::vector<int> previous = r.Medoids;
        if (seed) {
            seed = false;
            int j = 0;
            for (int p = 0; p < Data.PointCount(); ++p)
                if (Data.IsPointSelected(p) && j < k) {
                    for (int i = 0; i < n; ++i)
                        if (included[size_t(i)] == p)
                            r.Medoids[size_t(j)] = i;
                    ++j;
                }
        } else {
            for (int c = 0; c < k; ++c) {
                const std::vector<int>& members = r.Clusters[size_t(c)];
                int medoid = -1;
                double medoidSum = 0;
                for (int a : members) {
                    double sum = 0;
                    for (int b : members)
                        sum += d(a, b);
                    if (medoid < 0 || sum < medoidSum || medoidSum == 0) {
                        medoid = a;
                        medoidSum = sum;
                    }
                }
                r.Medoids[size_t(c)] = medoid;
            }
            for (int c = 0; c < k; ++c) {
                if (r.Medoids[size_t(c)] != -1)
                    continue;
                bool clash = true;
                while (clash) {
                    r.Medoids[size_t(c)] = Random(n - 1);
                    clash = false;
                    for (int o = 0; o < k; ++o)
                        clash = clash || (o != c && r.Medoids[size_t(o)] == r.Medoids[size_t(c)]);
                }
            }
        }
        for (auto& members : r.Clusters)
            members.clear();
        for (int i = 0; i < n; ++i) {
            int best = 0;
            for (int c = 1; c < k; ++c)
                if (d(i, r.Medoids[size_t(c)]) < d(i, r.Medoids[size_t(best)]))
                    best = c;
            r.Clusters[size_t(best)].push_back(i);
        }
        ++r.Iterations;
        bool settled = true;
        for (int m : r.Medoids)
            settled = settled && std::find(previous.begin(), previous.end(), m) != previous.end();
        if (settled || r.Iterations >= TKMean::MaxIterations)
            return r;
    }
}
} // namespace

// Tied distances, empty clusters that redraw their medoid, and seeding from
// the selection: the run must take exactly the reference's draws. The
// reference runs first, as the run reorders the items.
TEST(KMean, FollowsThePlainMethodDrawForDraw)
{
    for (int round = 0; round < 60; ++round) {
        RandSeed = 31 * round + 5;
        const int n = 6 + Random(25);
        std::vector<std::vector<double>> rows;
        for (int p = 0; p < n; ++p)
            rows.push_back({double(Random(3)), double(Random(2))});
        TClusterTable t(rows);
        if (round % 3 == 0)
            t.Data.SetPointHidden(Random(n), true);
        const int included = n - t.Data.HiddenPointCount();
        const int k = 1 + Random(included - 1);
        if (round % 4 == 1)
            while (t.Data.SelectedPointCount() < k)
                t.Data.SetPointSelected(Random(n), true);
        const bool allPoints = round % 5 == 2;
        TManhatten measure;
        measure.Init(&t.Data);

        const int32_t start = 977 * round + 1;
        RandSeed = start;
        const TKMeanReference expected = ReferenceKMean(t.Data, measure, allPoints, k);
        const int32_t after = RandSeed;
        TKMean run;
        run.SetMeasure(&measure);
        run.SetAllPoints(allPoints);
        RandSeed = start;
        run.Execute(k);
        EXPECT_EQ(RandSeed, after) << round;
        EXPECT_EQ(run.GetMedoids(), expected.Medoids) << round;
        EXPECT_EQ(run.GetIterations(), expected.Iterations) << round;
        ASSERT_EQ(run.GetClusters().size(), expected.Clusters.size());
        for (size_t c = 0; c < expected.Clusters.size(); ++c)
            EXPECT_EQ(Members(run.GetClusters()[c]), expected.Clusters[c]) << round;
    }
}
