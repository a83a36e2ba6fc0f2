#include "clustering/NearestMerges.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <numeric>

namespace {
struct TTreeEdge {
    double Height;
    int A;
    int B;
};

// Below this every distance d has d < d + 1, so the merge loop would take
// every one of them: its bound is the largest distance plus 1.
constexpr double ExactBelow = 9007199254740992.0; // 2^53

// Prim's algorithm: every distance is asked for once, when the first of its
// two items joins the tree. False as soon as a step meets a distance the
// merge loop might not take.
bool SpanningTree(IItemDistances& Distances, int ItemCount, std::vector<TTreeEdge>& Edges)
{
    Edges.clear();
    if (ItemCount < 2)
        return true;
    Edges.reserve(static_cast<size_t>(ItemCount) - 1);
    // The items outside the tree, each with its distance to the tree and the
    // tree item it is nearest to; their order does not matter.
    size_t count = static_cast<size_t>(ItemCount) - 1;
    std::vector<int> rest(count);
    std::iota(rest.begin(), rest.end(), 1);
    std::vector<double> key(count, std::numeric_limits<double>::infinity());
    std::vector<int> from(count, 0);
    std::vector<double> row(count);
    int v = 0; // the item that joined last
    for (;;) {
        Distances.Row(v, rest.data(), static_cast<int>(count), row.data());
        bool unusable = false;
        double best = std::numeric_limits<double>::infinity();
        size_t bestAt = 0;
        for (size_t s = 0; s < count; ++s) {
            const double d = row[s];
            unusable |= !(d >= 0.0 && d < ExactBelow);
            if (d < key[s]) {
                key[s] = d;
                from[s] = v;
            }
            if (key[s] < best) {
                best = key[s];
                bestAt = s;
            }
        }
        if (unusable)
            return false;
        Edges.push_back({best, from[bestAt], rest[bestAt]});
        v = rest[bestAt];
        --count;
        rest[bestAt] = rest[count];
        key[bestAt] = key[count];
        from[bestAt] = from[count];
        if (count == 0)
            return true;
    }
}

// Turns the tree into the merge loop's merges, one height at a time. Below
// a height h the clusters are the parts the tree edges below h join. At h
// the loop joins the clusters that hold a pair at distance h; of those it
// takes the pair with the smaller larger cluster (clusters go by their
// smallest item), then the smaller smaller one, until none is left. That is
// a sweep over the clusters in ascending order: a cluster C is joined with
// every group it touches among the clusters before it (each such group is
// already whole), the group with the smallest item absorbing C first and
// then the others in ascending order. Clusters touch only within a part the
// tree edges at h join; a tree edge shows two that touch, any other two of a
// part are looked up pair by pair, each pair of items at most once over the
// whole run. Nodes are the level's clusters by their index in FNodes; a
// group's root is its smallest node.
class TMergeFinder {
public:
    TMergeFinder(IItemDistances& Distances, int ItemCount, int Count, std::vector<TMergePair>& Merges)
        : FDistances(Distances), FCount(static_cast<size_t>(Count)), FMerges(Merges)
    {
        const size_t n = static_cast<size_t>(ItemCount);
        FParent.resize(n);
        std::iota(FParent.begin(), FParent.end(), 0);
        FNextMember.assign(n, -1);
        FLastMember.resize(n);
        std::iota(FLastMember.begin(), FLastMember.end(), 0);
    }

    void Run(std::vector<TTreeEdge>& Edges)
    {
        std::sort(Edges.begin(), Edges.end(),
                  [](const TTreeEdge& a, const TTreeEdge& b) { return a.Height < b.Height; });
        size_t i = 0;
        while (i < Edges.size() && !Done()) {
            size_t j = i + 1;
            while (j < Edges.size() && Edges[j].Height == Edges[i].Height)
                ++j;
            if (j - i == 1) {
                const int a = Find(Edges[i].A);
                const int b = Find(Edges[i].B);
                Emit(std::min(a, b), std::max(a, b));
            } else {
                Level(Edges.data() + i, Edges.data() + j);
            }
            i = j;
        }
    }

private:
    struct TStage {
        int Cluster; // the cluster swept at this stage
        size_t First;
        size_t Count;
    };

    bool Done() const { return FMerges.size() >= FCount; }

    // The root of x in a forest of parent links, halving the path on the way.
    static int FindRoot(std::vector<int>& Up, int x)
    {
        while (Up[static_cast<size_t>(x)] != x) {
            Up[static_cast<size_t>(x)] = Up[static_cast<size_t>(Up[static_cast<size_t>(x)])];
            x = Up[static_cast<size_t>(x)];
        }
        return x;
    }
    int Find(int x) { return FindRoot(FParent, x); }

    void Emit(int A, int B)
    {
        if (Done())
            return;
        FMerges.emplace_back(A, B);
        FParent[static_cast<size_t>(B)] = A;
        FNextMember[static_cast<size_t>(FLastMember[static_cast<size_t>(A)])] = B;
        FLastMember[static_cast<size_t>(A)] = FLastMember[static_cast<size_t>(B)];
    }

    int Node(int Cluster) const
    {
        return static_cast<int>(std::lower_bound(FNodes.begin(), FNodes.end(), Cluster) - FNodes.begin());
    }

    void Level(const TTreeEdge* First, const TTreeEdge* Last)
    {
        const double height = First->Height;
        FEnds.clear();
        FNodes.clear();
        for (const TTreeEdge* e = First; e != Last; ++e) {
            const int a = Find(e->A);
            const int b = Find(e->B);
            FEnds.emplace_back(std::min(a, b), std::max(a, b));
            FNodes.push_back(a);
            FNodes.push_back(b);
        }
        std::sort(FNodes.begin(), FNodes.end());
        FNodes.erase(std::unique(FNodes.begin(), FNodes.end()), FNodes.end());
        const size_t m = FNodes.size();
        // The parts the level's edges join, and each node's tree neighbours
        // below it.
        FPart.resize(m);
        std::iota(FPart.begin(), FPart.end(), 0);
        FBelowStart.assign(m + 1, 0);
        for (auto& [a, b] : FEnds) {
            a = Node(a);
            b = Node(b);
            const int ra = FindRoot(FPart, a);
            const int rb = FindRoot(FPart, b);
            FPart[static_cast<size_t>(std::max(ra, rb))] = std::min(ra, rb);
            ++FBelowStart[static_cast<size_t>(b) + 1];
        }
        std::partial_sum(FBelowStart.begin(), FBelowStart.end(), FBelowStart.begin());
        FBelow.resize(FEnds.size());
        {
            std::vector<size_t>& fill = FFill;
            fill.assign(FBelowStart.begin(), FBelowStart.end() - 1);
            for (const auto& [a, b] : FEnds)
                FBelow[fill[static_cast<size_t>(b)]++] = a;
        }
        // The nodes part by part, each part ascending.
        FOrder.resize(m);
        std::iota(FOrder.begin(), FOrder.end(), 0);
        for (size_t u = 0; u < m; ++u)
            FPart[u] = FindRoot(FPart, static_cast<int>(u));
        std::sort(FOrder.begin(), FOrder.end(), [this](int a, int b) {
            const int pa = FPart[static_cast<size_t>(a)];
            const int pb = FPart[static_cast<size_t>(b)];
            return pa != pb ? pa < pb : a < b;
        });
        FGroup.resize(m);
        std::iota(FGroup.begin(), FGroup.end(), 0);
        FGroupNext.assign(m, -1);
        FGroupLast.resize(m);
        std::iota(FGroupLast.begin(), FGroupLast.end(), 0);
        FMark.assign(m, -1);
        FStages.clear();
        FStageMerges.clear();
        for (size_t p = 0; p < m;) {
            size_t q = p + 1;
            while (q < m && FPart[static_cast<size_t>(FOrder[q])] == FPart[static_cast<size_t>(FOrder[p])])
                ++q;
            Sweep(FOrder.data() + p, FOrder.data() + q, height);
            p = q;
        }
        // Parts do not touch each other, so their stages interleave by the
        // cluster swept.
        std::sort(FStages.begin(), FStages.end(),
                  [](const TStage& a, const TStage& b) { return a.Cluster < b.Cluster; });
        for (const TStage& stage : FStages)
            for (size_t k = 0; k < stage.Count; ++k) {
                const TMergePair& merge = FStageMerges[stage.First + k];
                Emit(merge.first, merge.second);
            }
    }

    // One part of a level, its nodes ascending.
    void Sweep(const int* First, const int* Last, double Height)
    {
        FRoots.clear();
        for (const int* it = First; it != Last; ++it) {
            const int u = *it;
            FTouched.clear();
            for (size_t k = FBelowStart[static_cast<size_t>(u)]; k < FBelowStart[static_cast<size_t>(u) + 1]; ++k) {
                const int r = FindRoot(FGroup, FBelow[k]);
                if (FMark[static_cast<size_t>(r)] != u) {
                    FMark[static_cast<size_t>(r)] = u;
                    FTouched.push_back(r);
                }
            }
            for (const int r : FRoots)
                if (FMark[static_cast<size_t>(r)] != u && Touches(r, u, Height)) {
                    FMark[static_cast<size_t>(r)] = u;
                    FTouched.push_back(r);
                }
            if (FTouched.empty()) {
                FRoots.push_back(u);
                continue;
            }
            std::sort(FTouched.begin(), FTouched.end());
            const int g = FTouched.front();
            const int into = FNodes[static_cast<size_t>(g)];
            FStages.push_back({FNodes[static_cast<size_t>(u)], FStageMerges.size(), FTouched.size()});
            FStageMerges.emplace_back(into, FNodes[static_cast<size_t>(u)]);
            JoinGroups(g, u);
            for (size_t k = 1; k < FTouched.size(); ++k) {
                FStageMerges.emplace_back(into, FNodes[static_cast<size_t>(FTouched[k])]);
                JoinGroups(g, FTouched[k]);
            }
            FRoots.erase(std::remove_if(FRoots.begin(), FRoots.end(),
                                        [&](int r) { return r != g && FMark[static_cast<size_t>(r)] == u; }),
                         FRoots.end());
        }
    }

    void JoinGroups(int Root, int Other)
    {
        FGroup[static_cast<size_t>(Other)] = Root;
        FGroupNext[static_cast<size_t>(FGroupLast[static_cast<size_t>(Root)])] = Other;
        FGroupLast[static_cast<size_t>(Root)] = FGroupLast[static_cast<size_t>(Other)];
    }

    // Whether an item of group Root and one of node u lie Height apart.
    bool Touches(int Root, int u, double Height)
    {
        const int first = FNodes[static_cast<size_t>(u)];
        for (int s = Root; s >= 0; s = FGroupNext[static_cast<size_t>(s)])
            for (int x = FNodes[static_cast<size_t>(s)]; x >= 0; x = FNextMember[static_cast<size_t>(x)])
                for (int y = first; y >= 0; y = FNextMember[static_cast<size_t>(y)])
                    if (FDistances.Get(x, y) <= Height)
                        return true;
        return false;
    }

    IItemDistances& FDistances;
    size_t FCount;
    std::vector<TMergePair>& FMerges;
    std::vector<int> FParent;     // clusters so far; a root is its cluster's smallest item
    std::vector<int> FNextMember; // a cluster's items chained from its root, -1 ends
    std::vector<int> FLastMember; // by root

    // One level at a time.
    std::vector<TMergePair> FEnds; // its tree edges, as clusters, later as nodes
    std::vector<int> FNodes;       // the clusters its edges join, ascending
    std::vector<int> FPart;        // node -> smallest node of its part
    std::vector<size_t> FBelowStart, FFill;
    std::vector<int> FBelow; // tree neighbours below, by node
    std::vector<int> FOrder;
    std::vector<int> FGroup, FGroupNext, FGroupLast;
    std::vector<int> FMark; // group root -> the last node that touched it
    std::vector<int> FRoots, FTouched;
    std::vector<TStage> FStages;
    std::vector<TMergePair> FStageMerges;
};
} // namespace

bool NearestNeighbourMerges(IItemDistances& Distances, int ItemCount, int Count, std::vector<TMergePair>& Merges)
{
    Merges.clear();
    std::vector<TTreeEdge> edges;
    if (!SpanningTree(Distances, ItemCount, edges))
        return false;
    if (Count > 0) {
        Merges.reserve(static_cast<size_t>(std::min(Count, ItemCount)));
        TMergeFinder finder(Distances, ItemCount, Count, Merges);
        finder.Run(edges);
    }
    return true;
}
