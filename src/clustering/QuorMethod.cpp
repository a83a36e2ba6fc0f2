#include "clustering/QuorMethod.h"

#include "QuorData/QuorData.h"
#include "clustering/NearestMerges.h"
#include "clustering/QuorDistance.h"
#include "platform/Exceptions.h"
#include "platform/Memory.h"
#include "platform/Random.h"
#include "usagelog/Evaluation.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

// ---------------------------------------------------------------------------
// TTriangleMatrix

namespace {
constexpr size_t HugePageBytes = size_t(2) << 20;
// Smaller blocks gain little from huge pages and would round up too much.
constexpr size_t HugeBlockBytes = 4 * HugePageBytes;
} // namespace

void* AllocateMatrixCells(size_t Bytes)
{
    if (Bytes < HugeBlockBytes)
        return ::operator new(Bytes);
    const size_t rounded = (Bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
    void* cells = std::aligned_alloc(HugePageBytes, rounded);
    if (!cells)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the cells work the same, only slower.
    madvise(cells, rounded, MADV_HUGEPAGE);
#endif
    return cells;
}

void FreeMatrixCells(void* Cells, size_t Bytes)
{
    if (Bytes < HugeBlockBytes)
        ::operator delete(Cells);
    else
        std::free(Cells);
}

void TTriangleMatrix::Resize(int ItemCount)
{
    FItems = std::max(0, ItemCount);
    const size_t n = static_cast<size_t>(FItems);
    FCells.clear();
    FCells.resize(n > 1 ? n * (n - 1) / 2 : 0);
}

// ---------------------------------------------------------------------------
// Memory of a run

uint64_t TriangleBytes(int Items)
{
    const uint64_t n = Items > 1 ? uint64_t(Items) : 0;
    return n > 1 ? n * (n - 1) / 2 * sizeof(double) : 0;
}

QString ClusteringMemoryMessage(int Items, uint64_t Needed, uint64_t Available)
{
    return QStringLiteral("Clustering %1 data items would need %2 of memory for their distances, "
                          "but only %3 are free.")
        .arg(Items)
        .arg(MemoryText(Needed), MemoryText(Available));
}

// ---------------------------------------------------------------------------
// TMergeLoop

namespace {
constexpr size_t PrefetchDistance = 8;

// The largest of Max and the Count entries, entries without a number never
// taken. Four running maxima keep the loop from waiting on one.
double LargerOfRow(const double* Row, int Count, double Max)
{
    double m[4] = {Max, Max, Max, Max};
    int j = 0;
    for (; j + 4 <= Count; j += 4)
        for (int l = 0; l < 4; ++l)
            if (Row[j + l] > m[l])
                m[l] = Row[j + l];
    for (; j < Count; ++j)
        if (Row[j] > m[0])
            m[0] = Row[j];
    for (int l = 1; l < 4; ++l)
        if (m[l] > m[0])
            m[0] = m[l];
    return m[0];
}
} // namespace

TMergeLoop::TMergeLoop(TTriangleMatrix& AWork, double Max, int ALinkage)
    : FWork(AWork), FBound(Max + 1.0), FLinkage(ALinkage)
{
    const int n = FWork.ItemCount();
    FRowMin.assign(static_cast<size_t>(n), 0.0);
    FRowMinCol.assign(static_cast<size_t>(n), -1);
    FAlive.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        FAlive[static_cast<size_t>(i)] = i;
    for (int i = 1; i < n; ++i)
        RescanRow(i);
}

void TMergeLoop::RescanRow(int i)
{
    const double* row = FWork.Row(i);
    double best = 0.0;
    int col = -1;
    for (int c = 0; c < i; ++c) {
        const double e = row[c];
        // Dead entries are -1; a first live entry is taken whatever its size,
        // a later one only when strictly smaller.
        if (e >= 0.0 && (col < 0 || e < best)) {
            best = e;
            col = c;
        }
    }
    FRowMin[static_cast<size_t>(i)] = best;
    FRowMinCol[static_cast<size_t>(i)] = col;
}

bool TMergeLoop::NextPair(int& A, int& B) const
{
    double best = FBound;
    int row = -1;
    // Rows merged away hold no live entry; the live ones are visited in
    // ascending order, so of equal minima the first row still wins.
    for (const int i : FAlive) {
        if (FRowMinCol[static_cast<size_t>(i)] >= 0 && FRowMin[static_cast<size_t>(i)] < best) {
            best = FRowMin[static_cast<size_t>(i)];
            row = i;
        }
    }
    if (row < 0)
        return false;
    A = FRowMinCol[static_cast<size_t>(row)];
    B = row;
    return true;
}

void TMergeLoop::Repair(int x, double Old, double New, bool LostColB, int B)
{
    const size_t r = static_cast<size_t>(x);
    const int col = FRowMinCol[r];
    if (col == FMergeA) {
        // Still the smallest, and still the first of its size, when it did
        // not grow.
        if (New >= 0.0 && New <= Old)
            FRowMin[r] = New;
        else
            RescanRow(x);
    } else if (LostColB && col == B) {
        // Every column before B held more than the minimum, so A, which lies
        // before B, takes over as the first smallest when its new entry is no
        // larger; the nearest-neighbour linkage always gets there.
        if (New >= 0.0 && New <= FRowMin[r]) {
            FRowMin[r] = New;
            FRowMinCol[r] = FMergeA;
        } else {
            RescanRow(x);
        }
    } else if (New >= 0.0 && (col < 0 || New < FRowMin[r] || (New == FRowMin[r] && FMergeA < col))) {
        FRowMin[r] = New;
        FRowMinCol[r] = FMergeA;
    }
}

void TMergeLoop::Merge(int A, int B)
{
    FMergeA = A;
    double* rowA = A >= 1 ? FWork.Row(A) : nullptr;
    double* rowB = FWork.Row(B);
    // Items merged away earlier are -1 on both sides and would stay -1, so
    // only live items need a visit.
    const size_t alive = FAlive.size();
    for (size_t k = 0; k < alive; ++k) {
        const int x = FAlive[k];
        // The entries of later rows lie far apart in memory; asking for them
        // a few rows ahead hides most of the wait.
        if (k + PrefetchDistance < alive) {
            const int ahead = FAlive[k + PrefetchDistance];
            if (ahead > A) {
                const double* row = FWork.Row(ahead);
                __builtin_prefetch(row + A, 1);
                if (ahead > B)
                    __builtin_prefetch(row + B, 1);
            }
        }
        if (x == A || x == B)
            continue;
        if (x < A) {
            rowA[x] = CombineLinkage(FLinkage, rowA[x], rowB[x]);
        } else if (x < B) {
            double& e = FWork.Row(x)[A];
            const double old = e;
            e = CombineLinkage(FLinkage, old, rowB[x]);
            Repair(x, old, e, false, B);
        } else {
            double* row = FWork.Row(x);
            const double old = row[A];
            row[A] = CombineLinkage(FLinkage, old, row[B]);
            row[B] = -1.0;
            Repair(x, old, row[A], true, B);
        }
    }
    for (int c = 0; c < B; ++c)
        rowB[c] = -1.0;
    FRowMinCol[static_cast<size_t>(B)] = -1;
    if (A >= 1)
        RescanRow(A);
    FAlive.erase(std::lower_bound(FAlive.begin(), FAlive.end(), B));
}

// ---------------------------------------------------------------------------
// TMethode

TData& TMethode::Data() const
{
    QUOR_ASSERT(Measure && Measure->GetData(), "TMethode: no measure with a data object");
    return *Measure->GetData();
}

void TMethode::SetAllPoints(bool Value)
{
    AllPoints = Value;
    TData& data = Data();
    Included.clear();
    FItemPositions.clear();
    const int n = data.PointCount();
    for (int p = 0; p < n; ++p) {
        if (Value || !data.IsPointHidden(p))
            Included.push_back(p);
        else
            data.SetPointColor(p, HiddenItemColor);
    }
}

void TMethode::Exchange(std::vector<int>& Array, int i, int j)
{
    const int n = static_cast<int>(Array.size());
    if (i >= 0 && i < n && j >= 0 && j < n)
        std::swap(Array[static_cast<size_t>(i)], Array[static_cast<size_t>(j)]);
}

double TMethode::GetDist(int i, int j) const
{
    if (i == j)
        return 0.0;
    if (Dist.ItemCount() > 0)
        return Dist.Get(i, j);
    QUOR_ASSERT(Measure, "GetDist: no measure");
    const std::vector<int>& at = FItemPositions.empty() ? Included : FItemPositions;
    return Measure->Distance(at[static_cast<size_t>(i)], at[static_cast<size_t>(j)]);
}

double TMethode::GetWorkDist(int i, int j) const
{
    if (i == j)
        return 0.0;
    if (!FWorkDistFromClusters) {
        // A method that merges nothing keeps no working matrix: its entries
        // are the first distances.
        return WorkDist.ItemCount() > 0 ? WorkDist.Get(i, j) : GetDist(i, j);
    }
    const TCluster& a = Clusters[static_cast<size_t>(i)];
    const TCluster& b = Clusters[static_cast<size_t>(j)];
    if (a.Count() == 0 || b.Count() == 0)
        return -1.0;
    double nearest = GetDist(a.GetMember(0), b.GetMember(0));
    for (int m = 0; m < a.Count(); ++m)
        for (int o = 0; o < b.Count(); ++o)
            nearest = std::min(nearest, GetDist(a.GetMember(m), b.GetMember(o)));
    return nearest;
}

void TMethode::ForgetDistances()
{
    WorkDist = TTriangleMatrix();
    Dist = TTriangleMatrix();
    FWorkDistFromClusters = false;
    FItemPositions = Included;
}

QString TMethode::MemoryRefusal(int Items, int k) const
{
    const uint64_t needed = RunBytes(Items, k);
    const uint64_t available = FMemoryProbe();
    return needed > available ? ClusteringMemoryMessage(Items, needed, available) : QString();
}

double TMethode::ComputeDistances()
{
    QUOR_ASSERT(Measure, "ComputeDistances: no measure");
    ForgetDistances();
    const uint64_t needed = TriangleBytes(ItemCount);
    const uint64_t available = FMemoryProbe();
    if (needed > available)
        throw EClusteringMemory(ClusteringMemoryMessage(ItemCount, needed, available));
    Dist.Resize(ItemCount);
    double max = -1.0;
    {
        TMeasureRun run(*Measure);
        for (int i = 1; i < ItemCount; ++i) {
            double* row = Dist.Row(i);
            Measure->DistanceRow(Included[static_cast<size_t>(i)], Included.data(), i, row);
            max = LargerOfRow(row, i, max);
        }
    }
    return max;
}

void TMethode::ApplyOrder()
{
    TData& data = Data();
    const int n = data.PointCount();
    QUOR_ASSERT(static_cast<int>(Order.size()) == n, "ApplyOrder: the order must name every data item");
    // The target order is worked on in a copy, with the index of every
    // pending entry, so that each step finds the entry to redirect at once.
    std::vector<int> target = Order;
    std::vector<int> where(static_cast<size_t>(n), -1);
    for (int k = 0; k < n; ++k) {
        const int v = target[static_cast<size_t>(k)];
        QUOR_ASSERT(v >= 0 && v < n && where[static_cast<size_t>(v)] < 0,
                    "ApplyOrder: the order must be a permutation");
        where[static_cast<size_t>(v)] = k;
    }
    for (int& position : FItemPositions)
        position = where[static_cast<size_t>(position)];
    for (int i = 0; i < n; ++i) {
        const int t = target[static_cast<size_t>(i)];
        data.ExchangeSourcePoints(data.GetPointPerm(t), data.GetPointPerm(i));
        // The item that stood at i now stands at t.
        const int k = where[static_cast<size_t>(i)];
        if (k > i) {
            target[static_cast<size_t>(k)] = t;
            where[static_cast<size_t>(t)] = k;
        }
    }
}

void TMethode::AppendHiddenItems()
{
    // The items left out of the run, ascending; with AllPoints off these are
    // the hidden ones.
    const int n = Data().PointCount();
    std::vector<char> included(static_cast<size_t>(n), 0);
    for (const int p : Included)
        included[static_cast<size_t>(p)] = 1;
    for (int p = 0; p < n; ++p)
        if (!included[static_cast<size_t>(p)])
            Order.push_back(p);
}

void TMethode::OutputClusters()
{
    TData& data = Data();
    Order.clear();
    int number = 0;
    for (const TCluster& cluster : Clusters) {
        if (cluster.Count() == 0)
            continue;
        const int color = ClusterColors[static_cast<size_t>(number % 14)];
        for (int m = 0; m < cluster.Count(); ++m) {
            const int p = Included[static_cast<size_t>(cluster.GetMember(m))];
            Order.push_back(p);
            data.SetPointColor(p, color);
        }
        ++number;
    }
    if (!AllPoints)
        AppendHiddenItems();
    ApplyOrder();
}

void TMethode::LogItemCount() const
{
    LogEvent(QString::number(ItemCount) + QStringLiteral(" Points"));
}

// ---------------------------------------------------------------------------
// THierarchical

void THierarchical::SetLinkage(const QString& Name)
{
    if (Name == QLatin1String("max"))
        Linkage = lkFurthest;
    else if (Name == QLatin1String("average"))
        Linkage = lkAverage;
    else
        Linkage = lkNearest;
}

uint64_t THierarchical::RunBytes(int Items, int k) const
{
    // The tree keeps a few numbers per item.
    if (Linkage == lkNearest && NearestByTree && k < Items)
        return uint64_t(std::max(Items, 0)) * 128;
    return TMethode::RunBytes(Items, k);
}

void THierarchical::Execute(int k)
{
    if (k < 1)
        return;
    ItemCount = static_cast<int>(Included.size());
    LogItemCount();
    Clusters.assign(static_cast<size_t>(ItemCount), TCluster());
    for (int i = 0; i < ItemCount; ++i)
        Clusters[static_cast<size_t>(i)].Add(i);
    const int merges = ItemCount - k;
    if (merges > 0 && Linkage == lkNearest && NearestByTree && MergeBySpanningTree(merges)) {
        OutputClusters();
        return;
    }
    const double max = ComputeDistances();
    // The merge loop combines distances in place; nothing reads the first
    // ones during the run, so they become the working matrix rather than
    // being copied (GetDist measures them afresh).
    WorkDist = std::move(Dist);
    Dist = TTriangleMatrix();
    if (merges > 0)
        MergeByLoop(max, merges);
    OutputClusters();
}

void THierarchical::MergeByLoop(double Max, int Merges)
{
    TMergeLoop loop(WorkDist, Max, Linkage);
    for (int m = 0; m < Merges; ++m) {
        int a = 0;
        int b = 0;
        // Only distances that are no number, or too large to compare with
        // the bound, leave no pair; the clusters then stay as they are.
        if (!loop.NextPair(a, b))
            break;
        Clusters[static_cast<size_t>(a)].Merge(Clusters[static_cast<size_t>(b)]);
        loop.Merge(a, b);
    }
}

namespace {
// The distances of included items as the matrix would hold them.
class TMeasuredDistances : public IItemDistances {
public:
    TMeasuredDistances(TMeasure& AMeasure, const std::vector<int>& AIncluded)
        : FMeasure(AMeasure), FIncluded(AIncluded)
    {
    }
    // Item i comes first even where the matrix asks with the other item
    // first: every measure gives the same bits either way.
    void Row(int i, const int* Items, int Count, double* Out) override
    {
        FPoints.resize(static_cast<size_t>(Count));
        for (size_t k = 0; k < FPoints.size(); ++k)
            FPoints[k] = FIncluded[static_cast<size_t>(Items[k])];
        FMeasure.DistanceRow(FIncluded[static_cast<size_t>(i)], FPoints.data(), Count, Out);
    }
    double Get(int i, int j) override
    {
        return FMeasure.Distance(FIncluded[static_cast<size_t>(std::max(i, j))],
                                 FIncluded[static_cast<size_t>(std::min(i, j))]);
    }

private:
    TMeasure& FMeasure;
    const std::vector<int>& FIncluded;
    std::vector<int> FPoints;
};
} // namespace

bool THierarchical::MergeBySpanningTree(int Merges)
{
    QUOR_ASSERT(Measure, "THierarchical: no measure");
    ForgetDistances();
    std::vector<TMergePair> pairs;
    {
        TMeasureRun run(*Measure);
        TMeasuredDistances distances(*Measure, Included);
        if (!NearestNeighbourMerges(distances, ItemCount, Merges, pairs))
            return false;
    }
    for (const auto& [a, b] : pairs)
        Clusters[static_cast<size_t>(a)].Merge(Clusters[static_cast<size_t>(b)]);
    SetWorkDistFromClusters();
    return true;
}

// ---------------------------------------------------------------------------
// TKMean

double TKMean::MemberSum(const TCluster& Cluster, int Member) const
{
    double sum = 0.0;
    for (int m = 0; m < Cluster.Count(); ++m)
        sum += GetDist(Member, Cluster.GetMember(m));
    return sum;
}

void TKMean::RedrawEmptyMedoids()
{
    const int range = ItemCount - 1;
    // The items the generator can give: 0..range-1, or item 0 alone when
    // there is one item (Random (0) gives 0).
    const int drawable = ItemCount >= 2 ? range : ItemCount;
    // How many clusters have each drawable item as their medoid; an empty
    // cluster's own medoid is -1 and counts nowhere.
    std::vector<int> uses(static_cast<size_t>(std::max(drawable, 0)), 0);
    int free = drawable;
    auto take = [&](int m) {
        if (m >= 0 && m < drawable && uses[static_cast<size_t>(m)]++ == 0)
            --free;
    };
    for (const int m : Medoids)
        take(m);
    // The generator has full period, so a free item comes up; the bound only
    // makes that certain in time, far beyond any ordinary draw count.
    const int64_t maxDraws = std::max<int64_t>(int64_t(1) << 20, int64_t(64) * drawable);
    for (int& medoid : Medoids) {
        if (medoid != -1)
            continue;
        // Too many clusters for the items: the cluster stays empty.
        if (free <= 0)
            continue;
        for (int64_t draw = 0; draw < maxDraws && medoid < 0; ++draw) {
            const int v = Random(range);
            if (v >= 0 && v < drawable && uses[static_cast<size_t>(v)] == 0)
                medoid = v;
        }
        for (int v = 0; v < drawable && medoid < 0; ++v)
            if (uses[static_cast<size_t>(v)] == 0)
                medoid = v;
        take(medoid);
    }
}

void TKMean::UpdateMedoids()
{
    const int k = static_cast<int>(Medoids.size());
    if (SeedFromSelection) {
        SeedFromSelection = false;
        TData& data = Data();
        const int n = data.PointCount();
        int j = 0;
        for (int p = 0; p < n && j < k; ++p) {
            if (!data.IsPointSelected(p))
                continue;
            const auto it = std::lower_bound(Included.begin(), Included.end(), p);
            if (it != Included.end() && *it == p)
                Medoids[static_cast<size_t>(j)] = static_cast<int>(it - Included.begin());
            ++j;
        }
        return;
    }
    for (int c = 0; c < k; ++c) {
        const TCluster& cluster = Clusters[static_cast<size_t>(c)];
        int medoid = -1;
        double medoidSum = 0.0;
        for (int m = 0; m < cluster.Count(); ++m) {
            const int a = cluster.GetMember(m);
            const double sum = MemberSum(cluster, a);
            // Among members whose sum is 0 the last one wins.
            if (medoid < 0 || sum < medoidSum || medoidSum == 0.0) {
                medoid = a;
                medoidSum = sum;
            }
        }
        Medoids[static_cast<size_t>(c)] = medoid;
    }
    RedrawEmptyMedoids();
}

int TKMean::NearestCluster(int Item) const
{
    int best = -1;
    double bestDist = 0.0;
    const int k = static_cast<int>(Medoids.size());
    for (int c = 0; c < k; ++c) {
        const int m = Medoids[static_cast<size_t>(c)];
        if (m < 0)
            continue; // an empty cluster that found no medoid
        const double d = GetDist(Item, m);
        if (best < 0 || d < bestDist) {
            best = c;
            bestDist = d;
        }
    }
    return best;
}

void TKMean::Execute(int k)
{
    if (k < 1)
        return;
    ItemCount = static_cast<int>(Included.size());
    LogItemCount();
    Clusters.assign(static_cast<size_t>(k), TCluster());
    Medoids.assign(static_cast<size_t>(k), 0);
    std::vector<int> previous(static_cast<size_t>(k), 0);
    ComputeDistances();
    SeedFromSelection = Data().SelectedPointCount() == k;
    for (int i = 0; i < ItemCount; ++i)
        Clusters[static_cast<size_t>(Random(k))].Add(i);
    Iterations = 0;
    for (;;) {
        previous = Medoids;
        UpdateMedoids();
        for (TCluster& cluster : Clusters)
            cluster.SetCount(0);
        for (int i = 0; i < ItemCount; ++i) {
            const int c = NearestCluster(i);
            QUOR_ASSERT(c >= 0, "TKMean.Execute: no cluster has a medoid");
            Clusters[static_cast<size_t>(c)].Add(i);
        }
        ++Iterations;
        std::sort(previous.begin(), previous.end());
        const bool settled = std::all_of(Medoids.begin(), Medoids.end(), [&](int m) {
            return std::binary_search(previous.begin(), previous.end(), m);
        });
        if (settled || Iterations >= MaxIterations)
            break;
    }
    OutputClusters();
}

// ---------------------------------------------------------------------------
// TSort

void TSort::MoveClosestPair(int L, int i, int R)
{
    int bestA = L;
    int bestB = R;
    double best = ItemDist(L, R);
    for (int a = L; a < i; ++a) {
        for (int b = i; b <= R; ++b) {
            const double d = ItemDist(a, b);
            if (d < best) {
                best = d;
                bestA = a;
                bestB = b;
            }
        }
    }
    Exchange(Order, i - 1, bestA);
    Exchange(Order, i, bestB);
}

void TSort::OrderRange(int L, int R)
{
    if (R - L < 3)
        return;
    int i = L + 1;
    int j = R - 1;
    while (j > i) {
        // An item is never strictly nearer to another than to itself, so
        // neither walk passes the far end; the bounds only make that explicit.
        while (i < R && ItemDist(i, L) < ItemDist(i, R))
            ++i;
        while (j > L && ItemDist(j, R) < ItemDist(j, L))
            --j;
        Exchange(Order, i, j);
        ++i;
        --j;
    }
    MoveClosestPair(L, i, R);
    OrderRange(L, j);
    OrderRange(i, R);
}

void TSort::Execute(int)
{
    ItemCount = static_cast<int>(Included.size());
    const double max = ComputeDistances();
    Order.resize(static_cast<size_t>(ItemCount));
    for (int i = 0; i < ItemCount; ++i)
        Order[static_cast<size_t>(i)] = i;
    int farI = 0;
    int farJ = 1;
    for (int i = 0; i < ItemCount; ++i) {
        const double* row = i >= 1 ? Dist.Row(i) : nullptr;
        for (int j = 0; j < i; ++j)
            if (row[j] == max) {
                farI = i;
                farJ = j;
            }
    }
    Exchange(Order, 0, farI);
    // When the pair's second item is item 0, the first exchange has just
    // taken it to farI's place: fetch it from there, or the last place would
    // get some other item. With farI last, both already stand at the ends.
    Exchange(Order, ItemCount - 1, farJ == 0 && farI != ItemCount - 1 ? farI : farJ);
    OrderRange(0, ItemCount - 1);
    for (int& item : Order)
        item = Included[static_cast<size_t>(item)];
    if (!AllPoints)
        AppendHiddenItems();
    ApplyOrder();
}
