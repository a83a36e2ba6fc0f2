#pragma once

#include "QuorData/ValueCollections.h"
#include "platform/Exceptions.h"
#include "platform/Memory.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

class TData;
class TMeasure;

// Colour indices of the clusters, by cluster number modulo 14 (the last entry
// is never reached).
inline constexpr std::array<int, 15> ClusterColors = {14, 10, 11, 16, 3, 12, 1, 2,
                                                      4,  5,  6,  7,  8, 9, 13};
// The colour of items left out of a run because they are hidden.
inline constexpr int HiddenItemColor = 15;

// Storage for the cells of large matrices: blocks of some megabytes go on
// huge pages, so that a walk down a column does not miss the address cache
// at every row and a new matrix costs a few hundred page faults rather than
// tens of thousands. New cells are left unset; their owner fills them.
void* AllocateMatrixCells(size_t Bytes);
void FreeMatrixCells(void* Cells, size_t Bytes);

template <class T>
struct TMatrixCellAllocator {
    using value_type = T;
    TMatrixCellAllocator() = default;
    template <class U>
    TMatrixCellAllocator(const TMatrixCellAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(AllocateMatrixCells(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { FreeMatrixCells(p, n * sizeof(T)); }
    template <class U>
    void construct(U* p) { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) { ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...); }
    template <class U>
    bool operator==(const TMatrixCellAllocator<U>&) const { return true; }
};

// The lower triangle of a symmetric matrix over n items: row r (0..n-2) holds
// the entries of item r + 1 with items 0..r.
class TTriangleMatrix {
public:
    // The entries are left unset: the owner fills every one.
    void Resize(int ItemCount);
    int ItemCount() const { return FItems; }
    // The entry of items i and j, i != j, in either order.
    double Get(int i, int j) const { return FCells[Offset(i, j)]; }
    double& At(int i, int j) { return FCells[Offset(i, j)]; }
    // The entries of item i (i >= 1) with items 0..i-1.
    double* Row(int i) { return &FCells[RowStart(i)]; }
    const double* Row(int i) const { return &FCells[RowStart(i)]; }

private:
    static size_t RowStart(int i)
    {
        const size_t r = static_cast<size_t>(i);
        return r * (r - 1) / 2;
    }
    static size_t Offset(int i, int j)
    {
        return i > j ? RowStart(i) + static_cast<size_t>(j) : RowStart(j) + static_cast<size_t>(i);
    }

    int FItems = 0;
    std::vector<double, TMatrixCellAllocator<double>> FCells;
};

// A run whose distances would not fit in the memory free now; the message
// names the item count and the memory the run needs.
QUORBEL_DECLARE_EXCEPTION(EClusteringMemory, Exception)

// The bytes of the distances of every pair of Items items.
uint64_t TriangleBytes(int Items);
// "Clustering <n> data items would need <x> GB of memory, ..."
QString ClusteringMemoryMessage(int Items, uint64_t Needed, uint64_t Available);

// The linkage of hierarchical clustering: how the distance of a merged
// cluster to another one follows from its two parts' distances.
enum TLinkage { lkNearest = 0, lkFurthest = 1, lkAverage = 2 };

// Dead entries are -1 on both sides and stay -1 under every linkage.
inline double CombineLinkage(int Linkage, double ToA, double ToB)
{
    switch (Linkage) {
    case lkFurthest:
        return ToA < ToB ? ToB : ToA;
    case lkAverage:
        return (ToA + ToB) * 0.5;
    default:
        return ToB < ToA ? ToB : ToA;
    }
}

// The merge loop of agglomerative clustering over a working matrix. Each step
// takes the smallest live entry (>= 0 and below Max + 1); of equal ones the
// pair with the smaller larger item, then the smaller smaller item, exactly as
// a scan of the whole matrix by rows and columns would. Instead of that scan
// it keeps each row's smallest entry and repairs only the rows a merge
// touches.
class TMergeLoop {
public:
    TMergeLoop(TTriangleMatrix& FWork, double Max, int FLinkage);
    // The next pair, A < B; false when no live entry is left below Max + 1.
    bool NextPair(int& A, int& B) const;
    // A absorbs B: A's entries combine with B's, B's row and column die.
    void Merge(int A, int B);

private:
    void RescanRow(int i);
    // Row x's entry in column FMergeA went from Old to New; LostColB: its
    // entry in column B died too.
    void Repair(int x, double Old, double New, bool LostColB, int B);

    TTriangleMatrix& FWork;
    double FBound;
    int FLinkage;
    int FMergeA = 0;
    std::vector<double> FRowMin; // smallest live entry of item i's row
    std::vector<int> FRowMinCol; // its column, -1 when the row has none
    std::vector<int> FAlive;     // items not merged away, ascending
};

// A clustering method over a distance measure. A run writes item colours and
// a new item order into the measure's data object, inside the caller's write
// transaction.
class TMethode {
public:
    TMethode() = default;
    virtual ~TMethode() = default;
    TMethode(const TMethode&) = delete;
    TMethode& operator=(const TMethode&) = delete;

    virtual void Execute(int k) {}
    // The bytes a run over Items items into k clusters holds at once for
    // its distances: one matrix of every pair, unless the method needs none.
    virtual uint64_t RunBytes(int Items, int k) const { return TriangleBytes(Items); }
    // Empty when such a run fits in the memory free now; else the message
    // that refuses it.
    QString MemoryRefusal(int Items, int k) const;
    // Where the free memory is asked for; AvailableMemory unless set.
    void SetMemoryProbe(TMemoryProbe Probe) { FMemoryProbe = std::move(Probe); }

    void SetMeasure(TMeasure* Value) { Measure = Value; }
    // All items take part, or only those not hidden; hidden ones then get the
    // colour HiddenItemColor.
    void SetAllPoints(bool Value);

    // The first distance of included items i and j. A method that keeps only
    // its working matrix has let the first ones go; they are then measured
    // afresh, at the items' present places.
    double GetDist(int i, int j) const;
    // The working entry of included items i and j: of two clusters the
    // distance their linkage gives, of an item merged away -1; the first
    // distance for a method that merges nothing.
    double GetWorkDist(int i, int j) const;
    // Swaps two entries when both indices lie inside the array.
    static void Exchange(std::vector<int>& Array, int i, int j);

    const std::vector<int>& GetIncluded() const { return Included; }
    const std::vector<TCluster>& GetClusters() const { return Clusters; }
    const std::vector<int>& GetOrder() const { return Order; }
    int GetItemCount() const { return ItemCount; }

protected:
    TData& Data() const;
    // Fills Dist from the measure; the largest distance, -1 when there is no
    // pair. WorkDist, the hierarchical method's working matrix, is let go
    // first so that an earlier run's never lies beside the new distances.
    // Raises EClusteringMemory, before taking anything, when the matrix
    // would not fit.
    double ComputeDistances();
    // Lets both matrices go; GetDist then measures at the items' present
    // places.
    void ForgetDistances();
    // Moves the item at view position Order[i] to position i, for every i.
    void ApplyOrder();
    // Colours and orders the items by cluster; hidden items follow.
    void OutputClusters();
    void AppendHiddenItems();
    void LogItemCount() const;
    // The clusters were merged by the nearest-neighbour linkage without a
    // working matrix: GetWorkDist gives the entries the merge loop would have
    // left, from the clusters' closest pairs.
    void SetWorkDistFromClusters() { FWorkDistFromClusters = true; }

    bool AllPoints = false;
    TMeasure* Measure = nullptr;
    TTriangleMatrix WorkDist;
    TTriangleMatrix Dist;
    std::vector<TCluster> Clusters;
    std::vector<int> Included;
    std::vector<int> Order;
    int ItemCount = 0;

private:
    // The view position of each included item, following ApplyOrder.
    std::vector<int> FItemPositions;
    bool FWorkDistFromClusters = false;
    TMemoryProbe FMemoryProbe = AvailableMemory;
};

// Agglomerative clustering down to k clusters.
class THierarchical : public TMethode {
public:
    void Execute(int k) override;
    // The nearest-neighbour linkage merges by a spanning tree and keeps no
    // matrix.
    uint64_t RunBytes(int Items, int k) const override;
    // "min", "max" or "average"; any other text gives nearest neighbour.
    void SetLinkage(const QString& Name);
    int GetLinkage() const { return Linkage; }

protected:
    void MergeByLoop(double Max, int Merges);
    // False, with nothing merged, when a distance is one only the merge loop
    // can decide.
    bool MergeBySpanningTree(int Merges);

    int Linkage = lkNearest;
    // The nearest-neighbour linkage merges by a minimum spanning tree, in
    // time proportional to the distances and without a matrix; the merge
    // loop gives the same merges.
    bool NearestByTree = true;
};

// k-medoids clustering from a random start, or from the selected items when
// exactly k are selected.
class TKMean : public TMethode {
public:
    // A run stops here at the latest, so that medoids that keep trading
    // places cannot hold it forever; ordinary data settles within a few rounds.
    static constexpr int MaxIterations = 1000;

    void Execute(int k) override;
    const std::vector<int>& GetMedoids() const { return Medoids; }
    int GetIterations() const { return Iterations; }

protected:
    void UpdateMedoids();
    // A medoid for every empty cluster, in cluster order, drawn until it
    // differs from every other cluster's; -1 stays when no free item is left.
    void RedrawEmptyMedoids();
    int NearestCluster(int Item) const;
    double MemberSum(const TCluster& Cluster, int Member) const;

    std::vector<int> Medoids;
    bool SeedFromSelection = false;
    int Iterations = 0;
};

// A seriation: orders the included items along a path between the two
// farthest ones. k is not used.
class TSort : public TMethode {
public:
    void Execute(int k) override;

protected:
    void OrderRange(int L, int R);
    void MoveClosestPair(int L, int i, int R);
    double ItemDist(int a, int b) const { return GetDist(Order[static_cast<size_t>(a)], Order[static_cast<size_t>(b)]); }
};
