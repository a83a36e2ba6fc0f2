#include "QuorDataClients/RowOrdering.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

double RowDistance(const TRowBlock& Block, int A, int B)
{
    const double* a = Block.Row(A);
    const double* b = Block.Row(B);
    double sum = 0;
    if (Block.ColDivisors.empty()) {
        for (int c = 0; c < Block.Cols; ++c) {
            const double d = a[c] - b[c];
            sum += d * d;
        }
    } else {
        for (int c = 0; c < Block.Cols; ++c) {
            const double d = (a[c] - b[c]) / Block.ColDivisors[size_t(c)];
            sum += d * d;
        }
    }
    return sum;
}

std::vector<double> ColumnMeans(const TRowBlock& Block)
{
    if (Block.Rows <= 0)
        return {};
    std::vector<double> sums(size_t(Block.Cols), 0.0);
    for (int r = 0; r < Block.Rows; ++r) {
        const double* row = Block.Row(r);
        for (int c = 0; c < Block.Cols; ++c)
            sums[size_t(c)] += row[c];
    }
    for (double& s : sums)
        s /= Block.Rows;
    return sums;
}

std::vector<double> SquaredDistancesTo(const TRowBlock& Block, const std::vector<double>& Point)
{
    std::vector<double> distances(size_t(std::max(Block.Rows, 0)));
    for (int r = 0; r < Block.Rows; ++r) {
        const double* row = Block.Row(r);
        double sum = 0;
        for (int c = 0; c < Block.Cols; ++c) {
            const double d = row[c] - Point[size_t(c)];
            sum += d * d;
        }
        distances[size_t(r)] = sum;
    }
    return distances;
}

std::vector<int> OrderByKey(const std::vector<double>& Keys, bool Ascending)
{
    std::vector<int> order(Keys.size());
    std::iota(order.begin(), order.end(), 0);
    // NaN is placed after every number so that the comparison stays a strict
    // ordering, which the sort needs to stay within the list.
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const double x = Keys[size_t(a)];
        const double y = Keys[size_t(b)];
        if (std::isnan(x))
            return false;
        if (std::isnan(y))
            return true;
        return Ascending ? x < y : x > y;
    });
    return order;
}

std::vector<int> TwoPolePermutation(const TRowBlock& Block, uint8_t ScoreMode)
{
    std::vector<int> p(size_t(std::max(Block.Rows, 0)));
    std::iota(p.begin(), p.end(), 0);
    // The two halves of a split never reach into each other and read only
    // their own rows, so the order in which they are taken up does not
    // matter; a list of pending ranges keeps deep splits off the call stack.
    std::vector<std::pair<int, int>> pending;
    if (Block.Rows > 2)
        pending.emplace_back(0, Block.Rows - 1);
    while (!pending.empty()) {
        const auto [l, r] = pending.back();
        pending.pop_back();
        const int m = r - l + 1;
        const uint8_t kind = ScoreMode == psBoth ? (m <= 4 ? psPolarity : psSimilarity) : ScoreMode;
        // The poles are read at every use: an exchange that moves the row at
        // either end changes them for the rest of the split.
        auto score = [&](int t) -> double {
            switch (kind) {
            case psPolarity: {
                const double first = RowDistance(Block, p[size_t(l)], p[size_t(t)]);
                const double last = RowDistance(Block, p[size_t(r)], p[size_t(t)]);
                return first * first - last * last;
            }
            case psSimilarity:
                return RowDistance(Block, p[size_t(l)], p[size_t(t)]);
            default:
                return 0;
            }
        };
        const double pivot = score(l + m / 2);
        int i = l;
        int j = r;
        do {
            while (i <= r && score(i) < pivot)
                ++i;
            while (j >= l && score(j) > pivot)
                --j;
            if (i <= j) {
                std::swap(p[size_t(i)], p[size_t(j)]);
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - l + 1 > 2)
            pending.emplace_back(l, j);
        if (r - i + 1 > 2)
            pending.emplace_back(i, r);
    }
    return p;
}
