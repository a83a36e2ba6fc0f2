#include "support/TestSupport.h"

#include "ActionRig.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

namespace {

std::vector<std::vector<double>> Column(const std::vector<double>& Values)
{
    std::vector<std::vector<double>> rows;
    for (double v : Values)
        rows.push_back({v, 0});
    return rows;
}

} // namespace

TEST(ActionClientSort, SortingASortedRangeExchangesNothing)
{
    ScopedResponder responder;
    TActionRig rig(Column({1, 2, 3, 4, 0}));
    rig.Prepare([&] { rig.Data.SetDimSelected(0, true); });
    rig.Action->SortDataItems(false);
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{3, 2, 1, 0, 4}));

    // Items 1 to 3 of the block stand in order already; the block is
    // announced again all the same.
    rig.Prepare([&] { rig.Sub->SetSubSelection(1, 3, 0, 0); });
    rig.Action->SortDataItems(false);
    EXPECT_EQ(rig.Recorder->Count("PointExchange"), 0);
    EXPECT_EQ(rig.Recorder->Changes(), QStringList({"CustomEvent TQDCESubSelection cleared",
                                                    "CustomEvent TQDCESubSelection 1 3 0 0"}));
    EXPECT_TRUE(rig.Sub->Active());
    EXPECT_TRUE(responder->Texts().isEmpty());

    // Ascending within the block only.
    rig.Action->SortDataItems(true);
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{3, 0, 1, 2, 4}));
}

TEST(ActionClientSort, SortDataItemsNoticesAndExplanations)
{
    ScopedResponder responder;
    TActionRig rig({{5, 1, 0}, {3, 2, 0}, {4, 0, 0}});
    const QString howTo = "You can sort data items in two different ways: Either select the cells to be sorted "
                          "in the permutation matrix or select a dimension and start the sort process.";
    rig.Action->SortDataItems(true);
    EXPECT_EQ(responder->Texts(), QStringList{howTo});

    // Only hidden ones selected: no key.
    responder->Clear();
    rig.Prepare([&] {
        rig.Data.SetDimSelected(0, true);
        rig.Data.SetDimHidden(0, true);
    });
    rig.Action->SortDataItems(true);
    EXPECT_EQ(responder->Texts(), QStringList{howTo});
    EXPECT_TRUE(rig.Recorder->Notices.isEmpty());

    // Two selected: the first visible one, dimension 1, is the key.
    responder->Clear();
    rig.Prepare([&] {
        rig.Data.SetDimHidden(0, false);
        rig.Data.SetDimSelected(0, false);
        rig.Data.SetDimSelected(1, true);
        rig.Data.SetDimSelected(2, true);
    });
    rig.Action->SortDataItems(true);
    EXPECT_EQ(responder->Texts(), QStringList{"Only the first selected dimension will be used for sorting."});
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{2, 0, 1}));

    // A block two dimensions wide is sorted by its first one.
    responder->Clear();
    rig.Prepare([&] { rig.Sub->SetSubSelection(0, 2, 0, 1); });
    rig.Action->SortDataItems(false);
    EXPECT_EQ(responder->Texts(), QStringList{"Only the first row / column of the sub selection will be sorted."});
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{0, 2, 1}));
}

TEST(ActionClientSort, SortDimensionsByTheFirstSelectedItem)
{
    ScopedResponder responder;
    TActionRig rig({{0, 0, 0}, {10, 30, 20}});
    rig.Action->UseNormalized = false;
    rig.Prepare([&] { rig.Data.SetPointSelected(1, true); });
    rig.Action->SortDimensions(false);
    EXPECT_EQ(rig.DimOrder(), (std::vector<int>{1, 2, 0}));
    EXPECT_TRUE(responder->Texts().isEmpty());
}

TEST(ActionClientSort, GroupingPutsTheSelectedItemFirst)
{
    ScopedResponder responder;
    // Dimension 0 spans 0 to 1000, dimension 1 only 0 to 1.
    TActionRig rig({{300, 0}, {100, 0}, {0, 1}, {0, 0}, {1000, 0.5}});
    rig.Action->GroupDims();
    EXPECT_EQ(responder->Texts(), QStringList{"Please select at least one data item."});

    rig.Prepare([&] { rig.Data.SetPointSelected(3, true); });
    rig.Action->GroupPoints();
    // Normalised: item 1 is 0.1 away in dimension 0, item 2 a whole range in
    // dimension 1.
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{3, 1, 0, 2, 4}));
    rig.Action->UseNormalized = false;
    rig.Action->GroupPoints();
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{3, 2, 1, 0, 4}));
}

TEST(ActionClientSort, GroupingMeansOverHiddenSelectedItems)
{
    ScopedResponder responder;
    TActionRig rig(Column({0, 10, 4, 7, 9}));
    rig.Action->UseNormalized = false;
    // The mean of items 0 (shown) and 1 (hidden) is 5.
    rig.Prepare([&] {
        rig.Data.SetPointSelected(0, true);
        rig.Data.SetPointSelected(1, true);
        rig.Data.SetPointHidden(1, true);
    });
    rig.Action->GroupPoints();
    EXPECT_EQ(rig.PointOrder(), (std::vector<int>{2, 1, 3, 4, 0})) << "the hidden item keeps its place";
}

// ---- automatic permutation -------------------------------------------------------

namespace {

// The partitioning as written down, on the data object through the adaptor:
// the view positions of the rows FirstRow to LastRow in their new order.
std::vector<int> PlainAutoPermute(const TQDAdaptor& A, int FirstRow, int LastRow, int FirstCol, int LastCol,
                                  uint8_t ScoreMode, bool UseNormalized)
{
    const int n = LastRow - FirstRow + 1;
    std::vector<int> P;
    for (int t = 0; t < n; ++t)
        P.push_back(A.VisibleRowPos(FirstRow + t));
    auto D = [&](int a, int b) {
        double sum = 0;
        for (int c = FirstCol; c <= LastCol; ++c) {
            const int col = A.VisibleColPos(c);
            const double d = UseNormalized ? A.NormDiff(a, b, col) : A.Value(a, col) - A.Value(b, col);
            sum += d * d;
        }
        return sum;
    };
    std::function<void(int, int)> partition = [&](int L, int R) {
        const int m = R - L + 1;
        if (m <= 2)
            return;
        const int kind = ScoreMode == 255 ? (m <= 4 ? 0 : 1) : ScoreMode;
        auto score = [&](int t) {
            if (kind == 0)
                return D(P[size_t(L)], P[size_t(t)]) * D(P[size_t(L)], P[size_t(t)])
                       - D(P[size_t(R)], P[size_t(t)]) * D(P[size_t(R)], P[size_t(t)]);
            return kind == 1 ? D(P[size_t(L)], P[size_t(t)]) : 0.0;
        };
        const double pivot = score(L + m / 2);
        int i = L, j = R;
        do {
            while (i <= R && score(i) < pivot)
                ++i;
            while (j >= L && score(j) > pivot)
                --j;
            if (i <= j)
                std::swap(P[size_t(i++)], P[size_t(j--)]);
        } while (i <= j);
        if (j > L)
            partition(L, j);
        if (i < R)
            partition(i, R);
    };
    partition(0, n - 1);
    return P;
}

} // namespace

TEST(ActionClientSort, AutoPermuteFollowsThePartitioningOnRandomTables)
{
    ScopedResponder responder;
    std::mt19937 rng(4242);
    struct Case {
        int rows;
        uint8_t scoreMode;
        bool normalized;
        bool coarse; // values from 0 to 3, so that scores tie
        bool block;  // inside a sub-selection instead of all that is visible
    };
    const Case cases[] = {
        {1, 255, true, false, false},  {2, 255, true, false, false}, {3, 255, true, false, false},
        {4, 255, false, false, false}, {4, 0, true, true, false},    {5, 255, true, false, false},
        {9, 1, true, true, false},     {40, 255, true, false, false}, {40, 255, false, true, false},
        {40, 0, true, false, false},   {40, 1, false, false, false}, {40, 7, true, false, false},
        {60, 255, true, false, true},
    };
    for (const Case& c : cases) {
        for (bool dims : {false, true}) {
            // Rows of the permutation are items or dimensions; the other side has 6.
            const int points = dims ? 6 : c.rows + 1;
            const int dimCount = dims ? c.rows + 1 : 6;
            std::uniform_real_distribution<double> fine(-50, 50);
            std::uniform_int_distribution<int> coarse(0, 3);
            std::vector<std::vector<double>> rows(size_t(points), std::vector<double>(size_t(dimCount), 0.0));
            for (auto& row : rows)
                for (double& v : row)
                    v = c.coarse ? coarse(rng) : fine(rng);
            TActionRig rig(rows);
            rig.Action->ScoreMode = c.scoreMode;
            rig.Action->UseNormalized = c.normalized;
            // One row and one column hidden, so that view and visible
            // positions differ.
            rig.Prepare([&] {
                rig.Data.SetPointHidden(1, true);
                rig.Data.SetDimHidden(1, true);
            });
            std::unique_ptr<TQDAdaptor> adaptor;
            if (dims)
                adaptor = std::make_unique<TQDDimXPointAdaptor>(&rig.Data);
            else
                adaptor = std::make_unique<TQDPointXDimAdaptor>(&rig.Data);
            int firstRow = 0, lastRow = adaptor->VisibleRowCount() - 1;
            int firstCol = 0, lastCol = adaptor->VisibleColCount() - 1;
            if (c.block) {
                firstRow = 3, lastRow -= 4, firstCol = 1, lastCol = 3;
                rig.Prepare([&] {
                    if (dims)
                        rig.Sub->SetSubSelection(firstCol, lastCol, firstRow, lastRow);
                    else
                        rig.Sub->SetSubSelection(firstRow, lastRow, firstCol, lastCol);
                });
            }
            const std::vector<int> order =
                PlainAutoPermute(*adaptor, firstRow, lastRow, firstCol, lastCol, c.scoreMode, c.normalized);
            std::vector<int> expected = dims ? rig.DimOrder() : rig.PointOrder();
            const std::vector<int> before = expected;
            for (int t = 0; t <= lastRow - firstRow; ++t)
                expected[size_t(adaptor->VisibleRowPos(firstRow + t))] = before[size_t(order[size_t(t)])];
            if (dims)
                rig.Action->AutoPermuteDims();
            else
                rig.Action->AutoPermutePoints();
            EXPECT_EQ(dims ? rig.DimOrder() : rig.PointOrder(), expected)
                << c.rows << " rows, score " << int(c.scoreMode) << (dims ? ", dimensions" : ", items");
            if (c.rows <= 2) {
                EXPECT_EQ(expected, before);
            }
            EXPECT_EQ(rig.Sub->Active(), c.block && !dims) << "an exchange of dimensions ends the block";
        }
    }
    EXPECT_TRUE(responder->Texts().isEmpty());
}
