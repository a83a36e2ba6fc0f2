#pragma once

#include <utility>
#include <vector>

// One merge of agglomerative clustering: cluster first (the smaller index)
// absorbs cluster second.
using TMergePair = std::pair<int, int>;

// The distances merges are found from, of items by index.
class IItemDistances {
public:
    virtual ~IItemDistances() = default;
    // The distances of item i to each of Count items, into Out.
    virtual void Row(int i, const int* Items, int Count, double* Out) = 0;
    // The distance of items i and j, i != j.
    virtual double Get(int i, int j) = 0;
};

// The first Count merges the merge loop makes with the nearest-neighbour
// linkage over the distances of ItemCount items, the same pairs in the same
// order, found without a merge loop and without a distance matrix: the
// clusters below a height are the connected parts of the pairs closer than
// it, so a minimum spanning tree gives every height and what joins there.
// Every distance is asked for once (a few more where many tie), and the time
// goes with their count, not with their count times the items.
// False, and no merges, when a distance is negative, no number, or so large
// that adding 1 to it may change nothing: those the loop alone decides.
bool NearestNeighbourMerges(IItemDistances& Distances, int ItemCount, int Count, std::vector<TMergePair>& Merges);
