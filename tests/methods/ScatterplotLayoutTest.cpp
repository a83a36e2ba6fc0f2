#include "MethodsTestData.h"

#include "methods/ScatterplotLayout.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

std::vector<int> ColumnWidths(const TScatterplotLayout& L)
{
    std::vector<int> widths;
    for (int i = 0; i < L.GridCount(); ++i)
        widths.push_back(L.ColumnRight(i) - L.ColumnLeft(i));
    return widths;
}

std::vector<int> RowHeights(const TScatterplotLayout& L)
{
    std::vector<int> heights;
    for (int i = 0; i < L.GridCount(); ++i)
        heights.push_back(L.RowBottom(i) - L.RowTop(i));
    return heights;
}

} // namespace

TEST(ScatterplotLayout, DefaultInsetsAndDotHalves)
{
    TScatterplotLayout L;
    EXPECT_EQ(L.Insets, Rect(40, 5, 35, 83));
    EXPECT_EQ(L.DotHalf, 1);
    EXPECT_EQ(L.DotRest, 1);
    EXPECT_EQ(L.ColumnLabelOffset, 48);
    EXPECT_EQ(L.RowLabelOffset, 5);
    EXPECT_EQ(L.SelectionColor, 0x0000FFFFu);

    L.DotSize = 2;
    L.CalcInsets();
    EXPECT_EQ(L.DotHalf, 1);
    EXPECT_EQ(L.DotRest, 0);
    L.DotSize = 1;
    L.CalcInsets();
    EXPECT_EQ(L.DotHalf, 0);
    EXPECT_EQ(L.DotRest, 0);
}

TEST(ScatterplotLayout, InsetsFollowTheChosenScaleSides)
{
    TScatterplotLayout L;
    L.BottomScales = false;
    L.LeftScales = true;
    L.DiagonalRightScales = false;
    L.DiagonalTopScales = true;
    L.CalcInsets();
    // The left scales move the row labels out; the top takes the diagonal scales.
    EXPECT_EQ(L.Insets, Rect(5 + 48 + 30, 35, 5, 5 + 5 + 30));

    L.LeftScales = false;
    L.AllCellScales = true;
    L.CalcInsets();
    EXPECT_EQ(L.RowLabelOffset, 48);
    EXPECT_EQ(L.ColumnLabelOffset, 48);
}

TEST(ScatterplotLayout, LeftoverPixelsAlternateOverTheColumnsHalfToEven)
{
    TScatterplotLayout L;
    // A plot 25 pixels wide over 4 columns with gaps of 5 leaves 10 pixels.
    L.CalcPlotRect(40 + 25 + 35, 5 + 25 + 83);
    L.CalcCellGrid(4);
    EXPECT_EQ(ColumnWidths(L), (std::vector<int>{2, 3, 2, 3}));
    EXPECT_EQ(RowHeights(L), (std::vector<int>{2, 3, 2, 3}));
    EXPECT_EQ(L.ColumnLeft(0), 40);
    EXPECT_EQ(L.ColumnLeft(1), 47);
    EXPECT_EQ(L.RowTop(1), 12);
    // The last column ends at the plot's right edge.
    EXPECT_EQ(L.ColumnRight(3), L.PlotRect.Right);
    EXPECT_EQ(L.RowBottom(3), L.PlotRect.Bottom);

    // A wider plot: 410 over 4 is 102.5 -> 102, then 308 / 3 -> 103, ...
    L.CalcPlotRect(40 + 425 + 35, 5 + 425 + 83);
    L.CalcCellGrid(4);
    EXPECT_EQ(ColumnWidths(L), (std::vector<int>{102, 103, 102, 103}));
}

TEST(ScatterplotLayout, GridIsKeptWhileCountAndSizeStay)
{
    TScatterplotLayout L;
    L.CalcPlotRect(300, 300);
    L.CalcCellGrid(3);
    EXPECT_EQ(L.Cache.DimCount, 3);
    L.Cache.Start[0].x = -99; // marks the cached grid
    L.CalcCellGrid(3);
    EXPECT_EQ(L.ColumnLeft(0), -99);
    L.CalcCellGrid(2);
    EXPECT_EQ(L.GridCount(), 2);
    EXPECT_EQ(L.ColumnLeft(0), 40);
    L.Cache.Start[0].x = -99;
    L.CalcPlotRect(301, 300);
    L.CalcCellGrid(2);
    EXPECT_EQ(L.ColumnLeft(0), 40);
}

TEST(ScatterplotLayout, CellRectIncludesTheEndPixel)
{
    TScatterplotLayout L;
    L.CalcPlotRect(40 + 25 + 35, 5 + 25 + 83);
    L.CalcCellGrid(4);
    // Column 1 runs from 47 to 50, row 2 from 20 to 22.
    EXPECT_EQ(L.CellRect(1, 2), Rect(47, 20, 51, 23));
}

TEST(ScatterplotLayout, ValuesMapIntoTheCellLessMarginAndDot)
{
    auto T = TMethodsTestData::Standard();
    TScatterplotLayout L;
    L.CalcPlotRect(40 + 215 + 35, 5 + 215 + 83);
    L.CalcCellGrid(4); // cells of 50 pixels (51 with the frame)
    const TRect cell = L.CellRect(0, 1);
    ASSERT_EQ(cell, Rect(40, 60, 91, 111));
    // Lower bound: the dot's left pixel next to the frame's inner margin.
    EXPECT_EQ(L.ValueToX(T.Data, 0, 0), 40 + 1 + 1);
    EXPECT_EQ(L.ValueToX(T.Data, 0, 10), 40 + 1 + 1 + 51 - 2 - 3);
    EXPECT_EQ(L.ValueToY(T.Data, 1, 0), 111 - 1 - 1 - 1);
    EXPECT_EQ(L.ValueToY(T.Data, 1, 10), 111 - 1 - 1 - 1 - 46);
    // 46 * 0.25 = 11.5 rounds to the even 12; 46 * 0.75 = 34.5 to 34.
    EXPECT_EQ(L.ValueToX(T.Data, 0, 2.5), 42 + 12);
    EXPECT_EQ(L.ValueToX(T.Data, 0, 7.5), 42 + 34);
}

TEST(ScatterplotLayout, ValueToPixelUsesTheVisibleDimensionsBounds)
{
    auto T = TMethodsTestData::Standard();
    T.Data.SetUBound(2, 20);
    T.Data.SetDimHidden(1, true);
    TScatterplotLayout L;
    L.CalcPlotRect(40 + 215 + 35, 5 + 215 + 83);
    L.CalcCellGrid(3);
    // Visible position 1 is the dimension at view position 2 (bounds 0 to 20).
    const int left = L.ColumnLeft(1);
    const int span = L.CellRect(1, 1).Width() - 2 - 3;
    EXPECT_EQ(L.ValueToX(T.Data, 1, 10), left + 2 + RoundToPixel(span / 2.0));
}

TEST(ScatterplotLayout, ValuesBeyondReachLandFarOutside)
{
    auto T = TMethodsTestData::Standard();
    TScatterplotLayout L;
    L.CalcPlotRect(300, 300);
    L.CalcCellGrid(2);
    EXPECT_LT(L.ValueToX(T.Data, 0, -1e300), -1000000);
    EXPECT_GT(L.ValueToY(T.Data, 1, -1e300), 1000000);
    EXPECT_LT(L.ValueToX(T.Data, 0, std::numeric_limits<double>::quiet_NaN()), -1000000);
    EXPECT_EQ(RoundToPixel(2.5), 2);
    EXPECT_EQ(RoundToPixel(3.5), 4);
    EXPECT_EQ(RoundToPixel(-2.5), -2);
}

TEST(ScatterplotLayout, MinimumSizeHoldsOneDotPerCell)
{
    TScatterplotLayout L;
    EXPECT_EQ(L.GetMinSize(4), (TSize{(1 + 3 + 5) * 4 - 5 + 1, (1 + 3 + 5) * 4 - 5 + 1}));
    L.CellGapY = 2;
    EXPECT_EQ(L.GetMinSize(2).cy, (1 + 3 + 2) * 2 - 2 + 1);
}
