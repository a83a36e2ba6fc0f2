#include "MethodsTestData.h"

#include "methods/PermutationmatrixLayout.h"
#include "QuorData/QuorDataSrc.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// The standard table with item c and dimension B hidden: visible items a, b,
// d and visible dimensions A, C, D.
class PermutationmatrixLayoutTest : public ::testing::Test {
protected:
    PermutationmatrixLayoutTest() : T(TMethodsTestData::Standard())
    {
        T.Data.SetPointHidden(2, true);
        T.Data.SetDimHidden(1, true);
        L.SetData(&T.Data);
    }

    TMethodsTestData T;
    TPermutationmatrixLayout L;
};

// Widths of the matrix columns and heights of its rows.
std::vector<int> Spans(const std::vector<int>& Starts, const std::vector<int>& Ends)
{
    std::vector<int> spans;
    for (size_t i = 0; i < Starts.size(); ++i)
        spans.push_back(Ends[i] - Starts[i]);
    return spans;
}

} // namespace

TEST(PermutationmatrixLayoutSettings, DefaultsAndTheBandsOfEachDisplayAndScaleType)
{
    TPermutationmatrixLayout L;
    EXPECT_EQ(L.Margins, Rect(76, 5, 40, 40));
    EXPECT_EQ(L.MinCellWidth, 5);
    EXPECT_EQ(L.MinCellHeight, 7);
    EXPECT_EQ(L.ItemSelectionColor, 0x00FFFFu);

    struct TCase {
        TPermDisplayType Display;
        TPermScaleType Scale;
        bool Constant;
        TRect Margins;
        int MinWidth, MinHeight;
        bool LeftScales, BottomScales, EqualRows, EqualColumns;
    };
    const TCase cases[] = {
        {pdtBar, pstRowAll, true, Rect(76, 5, 40, 40), 5, 7, true, false, true, true},
        {pdtBar, pstColVisible, true, Rect(38, 5, 5, 40), 5, 7, false, false, true, true},
        {pdtBar90, pstColAll, false, Rect(38, 40, 5, 78), 5, 7, false, true, true, false},
        {pdtBar90Shade, pstTableAll, false, Rect(38, 40, 5, 78), 5, 7, false, true, false, false},
        {pdtBarShade, pstTableVisible, true, Rect(76, 5, 40, 40), 5, 7, true, false, true, true},
        {pdtBarShade, pstRowVisible, false, Rect(76, 5, 40, 40), 5, 7, true, false, false, true},
        // Shades: no gaps, two rings (three for the prism) on each side.
        {pdtShade, pstRowAll, true, Rect(37, 5, 5, 39), 5, 5, false, false, true, true},
        {pdtShadeUserColors, pstRowAll, true, Rect(37, 5, 5, 39), 7, 7, false, false, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.Display) << " " << int(c.Scale));
        L.DisplayType = c.Display;
        L.ScaleType = c.Scale;
        L.ConstantDimExtent = c.Constant;
        L.CalcLayout();
        EXPECT_EQ(L.Margins, c.Margins);
        EXPECT_EQ(L.MinCellWidth, c.MinWidth);
        EXPECT_EQ(L.MinCellHeight, c.MinHeight);
        EXPECT_EQ(L.ShowLeftScales, c.LeftScales);
        EXPECT_EQ(L.ShowRightScales, c.LeftScales);
        EXPECT_EQ(L.ShowBottomScales, c.BottomScales);
        EXPECT_EQ(L.ShowTopScales, c.BottomScales);
        EXPECT_EQ(L.EqualRowHeights, c.EqualRows);
        EXPECT_EQ(L.EqualColumnWidths, c.EqualColumns);
    }
}

TEST(PermutationmatrixLayoutSettings, ScaleAndMeanTypesAreAdjustedToFit)
{
    EXPECT_EQ(AdjustScaleToMean(pmtColVisible, pstRowAll), pstColVisible);
    EXPECT_EQ(AdjustMeanToScale(pstRowVisible, pmtRowAll), pmtRowVisible);
    EXPECT_EQ(AdjustMeanToScale(pstTableVisible, pmtColVisible), pmtColVisible);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(AdjustMeanToScale(pstTableAll, TPermMeanType(k)), TPermMeanType(k));
        EXPECT_EQ(AdjustScaleToMean(pmtTableAll, TPermScaleType(k)), pstTableAll);
        // A type always fits its namesake.
        EXPECT_TRUE(ScaleAndMeanFit(TPermScaleType(k), TPermMeanType(k)));
    }
    // Every adjustment gives a pair that fits.
    for (int s = 0; s < 6; ++s)
        for (int m = 0; m < 6; ++m) {
            EXPECT_TRUE(ScaleAndMeanFit(AdjustScaleToMean(TPermMeanType(m), TPermScaleType(s)), TPermMeanType(m)));
            EXPECT_TRUE(ScaleAndMeanFit(TPermScaleType(s), AdjustMeanToScale(TPermScaleType(s), TPermMeanType(m))));
        }
}

TEST_F(PermutationmatrixLayoutTest, StatisticsOfEveryTypeInBothOrientations)
{
    // The cell of visible item 2 (d: 8 2 7 1) and visible dimension 0 (A:
    // a 0, b 5, c 10 hidden, d 8).
    struct TCase {
        int Type;
        bool Rotate;
        double Min, Max, Mean;
    };
    const TCase cases[] = {
        {pstRowVisible, false, 0, 8, 13.0 / 3},  // A over a, b, d
        {pstRowAll, false, 0, 10, 23.0 / 4},     // A over all items
        {pstColVisible, false, 1, 8, 16.0 / 3},  // d over A, C, D
        {pstColAll, false, 1, 8, 18.0 / 4},      // d over all dimensions
        {pstTableVisible, false, 0, 10, 39.0 / 9},
        {pstTableAll, false, 0, 10, 76.0 / 16},
        {pstRowVisible, true, 1, 8, 16.0 / 3},
        {pstRowAll, true, 1, 8, 18.0 / 4},
        {pstColVisible, true, 0, 8, 13.0 / 3},
        {pstColAll, true, 0, 10, 23.0 / 4},
        {pstTableVisible, true, 0, 10, 39.0 / 9},
        {pstTableAll, true, 0, 10, 76.0 / 16},
        {6, false, 0, 1, 0},
        {255, true, 0, 1, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Type << (c.Rotate ? " rotated" : ""));
        L.ScaleType = TPermScaleType(c.Type);
        L.MeanType = TPermMeanType(c.Type);
        L.RotateView = c.Rotate;
        L.InvalidateCaches();
        EXPECT_DOUBLE_EQ(L.GetScaleMin(2, 0), c.Min);
        EXPECT_DOUBLE_EQ(L.GetScaleMax(2, 0), c.Max);
        EXPECT_DOUBLE_EQ(L.GetMean(2, 0), c.Mean);
        const int column = c.Rotate ? 0 : 2;
        const int row = c.Rotate ? 2 : 0;
        EXPECT_DOUBLE_EQ(L.GetScaleMinAt(column, row), c.Min);
        EXPECT_DOUBLE_EQ(L.GetScaleMaxAt(column, row), c.Max);
    }
}

TEST_F(PermutationmatrixLayoutTest, RowAllKeepsTheHiddenMaximumRowVisibleShrinks)
{
    // Item c holds the maximum 10 of dimension A and is hidden.
    L.ScaleType = pstRowAll;
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 0), 10);
    L.ScaleType = pstRowVisible;
    L.InvalidateCaches();
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 0), 8);
}

TEST(PermutationmatrixLayoutStatistics, AnItemOfEqualValuesGetsTheSmallestScaleWidth)
{
    TMethodsTestData t({"A", "B", "C"}, {"a", "b"}, {{4, 4, 4}, {1, 2, 3}});
    TPermutationmatrixLayout L;
    L.SetData(&t.Data);
    L.RotateView = true;
    L.ScaleType = pstRowVisible;
    EXPECT_DOUBLE_EQ(L.GetScaleMin(0, 1), 4);
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 1), 4.001);
    EXPECT_DOUBLE_EQ(L.GetScaleMax(1, 1), 3);
}

TEST_F(PermutationmatrixLayoutTest, StatisticsAreKeptUntilMarkedDirtyCellsFollowTheSize)
{
    L.CalcPlotRect(76 + 31 + 40, 5 + 20 + 40);
    const TRect before = L.GetCellRect(1, 1);
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 0), 10);
    // Item c's 10 in A becomes 20: the cached scale stays until invalidated.
    T.Data.DataSrc()->SetCell(0, 2, TVariant(20.0));
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 0), 10);
    // A new size recomputes the cells, not the statistics.
    L.CalcPlotRect(76 + 61 + 40, 5 + 20 + 40);
    EXPECT_NE(L.GetCellRect(1, 1), before);
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 0), 10);
    L.InvalidateCaches();
    EXPECT_DOUBLE_EQ(L.GetScaleMax(0, 0), 20);
}

TEST_F(PermutationmatrixLayoutTest, EqualCellsShareTheLeftoverPixelsHalvesToEven)
{
    T.Data.SetPointHidden(2, false); // four columns
    // 25 pixels less three gaps leave 22: 5.5, 16/3, 5.5 and 5 rounded.
    L.CalcPlotRect(76 + 25 + 40, 5 + 23 + 40);
    EXPECT_EQ(L.GetCellRect(0, 0), Rect(76, 5, 82, 12));
    EXPECT_EQ(Spans(L.Cache.ColumnLefts, L.Cache.ColumnRights), (std::vector<int>{6, 5, 6, 5}));
    EXPECT_EQ(Spans(L.Cache.RowTops, L.Cache.RowBottoms), (std::vector<int>{7, 7, 7}));
    EXPECT_EQ(L.Cache.ColumnRights.back(), L.PlotRect.Right);
    EXPECT_EQ(L.Cache.RowBottoms.back(), L.PlotRect.Bottom);
    // Rotated: three columns of dimensions (23 pixels: 7.67, 7.5, 7) and
    // four rows of items (20 pixels).
    L.RotateView = true;
    L.InvalidateCaches();
    EXPECT_EQ(L.GetCellRect(3, 2), Rect(94, 23, 101, 28));
    EXPECT_EQ(Spans(L.Cache.ColumnLefts, L.Cache.ColumnRights), (std::vector<int>{8, 8, 7}));
    EXPECT_EQ(Spans(L.Cache.RowTops, L.Cache.RowBottoms), (std::vector<int>{5, 5, 5, 5}));
}

TEST(PermutationmatrixLayoutCells, RowsAsHighAsTheirRangesAddUpToThePlot)
{
    TMethodsTestData t({"X", "Y"}, {"a", "b"}, {{0, 0}, {10, 30}});
    TPermutationmatrixLayout L;
    L.SetData(&t.Data);
    L.ConstantDimExtent = false;
    L.CalcLayout();
    L.CalcPlotRect(L.Margins.Left + 40 + L.Margins.Right, L.Margins.Top + 90 + L.Margins.Bottom);
    // 89 pixels: 89 * 10 / 40 = 22.25, then the 67 left for the last row.
    EXPECT_EQ(L.GetCellRect(0, 0).Height(), 22);
    EXPECT_EQ(L.GetCellRect(0, 1).Height(), 67);
    EXPECT_EQ(L.GetCellRect(1, 1).Bottom, L.PlotRect.Bottom);
    EXPECT_EQ(L.GetCellRect(0, 0).Width(), L.GetCellRect(1, 0).Width() + 1); // 39 over two columns

    // A column scale sizes the columns by range and keeps the rows equal.
    L.ScaleType = pstColAll;
    L.CalcLayout();
    L.InvalidateCaches();
    EXPECT_EQ(L.GetCellRect(0, 0).Height() + 1, L.GetCellRect(0, 1).Height()); // 44.5, 45
    // Item a spans 0.001, item b 20: a gets no pixel, b the rest.
    EXPECT_EQ(L.GetCellRect(0, 0).Width(), 0);
    EXPECT_EQ(L.GetCellRect(1, 0).Right, L.PlotRect.Right);
}

TEST_F(PermutationmatrixLayoutTest, MatrixSizeCountsCellsGapsAndPadding)
{
    EXPECT_EQ(L.GetMatrixSize(), (TSize{3 * 6 - 1, 3 * 8 - 1}));
    L.MatrixPadding = 2;
    L.DisplayType = pdtShade;
    L.RotateView = true;
    L.CalcLayout();
    T.Data.SetPointHidden(2, false);
    // 4 rows of items, 3 columns of dimensions, cells of 4 + 2 + 1 without gaps.
    EXPECT_EQ(L.GetMatrixSize(), (TSize{3 * 7 + 2, 4 * 7 + 2}));
}

TEST(PermutationmatrixLayoutStatistics, CellsWithoutAValueCountForNothing)
{
    // The standard table with b's A no number and C no number at all.
    TMethodsTestData t = TMethodsTestData::Standard();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    t.Values.SetCell(0, 1, TVariant(nan));
    for (int p = 0; p < 4; ++p)
        t.Values.SetCell(2, p, TVariant(p == 3 ? std::numeric_limits<double>::infinity() : nan));
    TPermutationmatrixLayout L;
    L.SetData(&t.Data);
    struct TCase {
        TPermScaleType Scale;
        TPermMeanType Mean;
        int Item, Dim;
        double Min, Max, MeanValue;
    };
    const TCase cases[] = {
        {pstRowAll, pmtRowAll, 0, 0, 0, 10, 6},          // A over a, c, d
        {pstRowVisible, pmtRowVisible, 2, 2, 0, 1, 0},   // C: no value at all
        {pstColAll, pmtColAll, 1, 0, 5, 5.001, 5},       // b over B and D
        {pstTableVisible, pmtTableAll, 0, 0, 0, 10, 51.0 / 11},
    };
    for (const TCase& c : cases) {
        L.ScaleType = c.Scale;
        L.MeanType = c.Mean;
        L.InvalidateCaches();
        EXPECT_DOUBLE_EQ(L.GetScaleMin(c.Item, c.Dim), c.Min) << int(c.Scale);
        EXPECT_DOUBLE_EQ(L.GetScaleMax(c.Item, c.Dim), c.Max) << int(c.Scale);
        EXPECT_DOUBLE_EQ(L.GetMean(c.Item, c.Dim), c.MeanValue) << int(c.Mean);
    }
}
