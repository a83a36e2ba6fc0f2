#pragma once

// New orders for the rows of a block of values: by one key column, by
// nearness to a point, and by recursive two-pole partitioning. Plain values
// without the data object, so that the arithmetic runs over a dense block
// and can be tested and measured on its own; the action client reads the
// block and carries the order out.

#include <cstddef>
#include <cstdint>
#include <vector>

// Rows by columns, stored row after row.
struct TRowBlock {
    int Rows = 0;
    int Cols = 0;
    std::vector<double> Values;
    // When given, the difference of two rows in column c is divided by
    // ColDivisors[c] before it is squared.
    std::vector<double> ColDivisors;

    const double* Row(int R) const { return Values.data() + size_t(R) * size_t(Cols); }
};

// The sum over the columns of the squared differences of rows A and B,
// column by column from the first; no square root.
double RowDistance(const TRowBlock& Block, int A, int B);

// Each column's mean over all rows; empty without rows.
std::vector<double> ColumnMeans(const TRowBlock& Block);

// The sum over the columns of each row's squared difference from Point,
// column by column from the first.
std::vector<double> SquaredDistancesTo(const TRowBlock& Block, const std::vector<double>& Point);

// The indices of Keys ordered by key, increasing or decreasing; equal keys
// in no particular order. NaN keys come last either way.
std::vector<int> OrderByKey(const std::vector<double>& Keys, bool Ascending);

// The scores of the two-pole partitioning.
constexpr uint8_t psPolarity = 0;   // nearness to the first pole against the last
constexpr uint8_t psSimilarity = 1; // nearness to the first pole
constexpr uint8_t psBoth = 255;     // polarity for ranges of up to four rows, similarity above

// The automatic permutation of the block's rows: each range is split around
// the score of its middle row, recursively, the poles being the rows that
// currently stand at the range's ends. Returns the rows (indices into the
// block) in their new order. A score mode other than the three above scores
// every row 0.
std::vector<int> TwoPolePermutation(const TRowBlock& Block, uint8_t ScoreMode);
