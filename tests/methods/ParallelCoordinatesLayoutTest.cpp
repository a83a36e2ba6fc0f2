#include "MethodsTestData.h"

#include "methods/ParallelCoordinatesLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace {

// Dimensions D0, D1, ... with one item whose values are given, bounds 0 to 10.
TMethodsTestData Dims(int Count, std::vector<double> Item = {})
{
    QStringList names;
    for (int i = 0; i < Count; ++i)
        names << QStringLiteral("D%1").arg(i);
    Item.resize(size_t(Count), 5.0);
    return TMethodsTestData(names, {QStringLiteral("a")}, {Item});
}

} // namespace

TEST(ParallelCoordinatesLayout, AxesSpreadWithIntegerSpacingFromEdgeToEdge)
{
    struct TCase {
        int EditorWidth;
        int DimCount;
        std::vector<int> AxisX;
        int Snap;
    };
    // The plot is 70 narrower than the editor; spacing truncates.
    const TCase cases[] = {
        {400, 4, {0, 110, 220, 330}, 8},
        {401, 4, {0, 110, 220, 331}, 8},
        {400, 2, {0, 330}, 8},
        {80, 2, {0, 10}, 8},
        {75, 2, {0, 5}, 4},
        {78, 4, {0, 2, 5, 8}, 1},
    };
    for (const TCase& c : cases) {
        TMethodsTestData t = Dims(c.DimCount);
        TParallelCoordinatesLayout L;
        L.CalcAxisPositions(t.Data, c.EditorWidth, 300);
        EXPECT_EQ(L.PlotRect, Rect(35, 50, c.EditorWidth - 35, 240)) << c.EditorWidth;
        EXPECT_EQ(L.AxisX, c.AxisX) << c.EditorWidth << " " << c.DimCount;
        EXPECT_EQ(L.SnapDistance(), c.Snap) << c.EditorWidth << " " << c.DimCount;
        EXPECT_EQ(L.AxisPos(c.DimCount - 1), L.PlotRect.Right);
    }
    EXPECT_EQ(TParallelCoordinatesLayout().MinEditorSize(), (TSize{71, 111}));
}

TEST(ParallelCoordinatesLayout, VerticesFollowEachAxisOrTheCommonRange)
{
    TMethodsTestData t = Dims(3, {0, 10, 15});
    t.Data.SetUBound(1, 20);
    t.Data.SetLBound(2, 5);
    t.Data.SetUBound(2, 15);
    TParallelCoordinatesLayout L;
    L.CalcGlobalRange(t.Data);
    EXPECT_EQ(L.CommonLow, 0);
    EXPECT_EQ(L.CommonHigh, 20);
    L.CalcAxisPositions(t.Data, 270, 310); // plot 200 by 200
    std::vector<TVertexF> v;
    ASSERT_TRUE(L.CalcVertices(t.Data, 0, v));
    // lo at the bottom, hi at the top, each axis on its own bounds.
    EXPECT_EQ(v[0].y, 250.0f);
    EXPECT_EQ(v[1].y, 150.0f);
    EXPECT_EQ(v[2].y, 50.0f);
    EXPECT_EQ(v[2].x, 235.0f);

    L.FullScale = true;
    L.CalcAxisPositions(t.Data, 270, 310);
    ASSERT_TRUE(L.CalcVertices(t.Data, 0, v));
    EXPECT_EQ(v[1].y, 150.0f);
    EXPECT_EQ(v[2].y, 100.0f);
    EXPECT_EQ(L.AxisHi(0), 20);

    // A value beyond the bounds lies outside the plot; an axis with a zero
    // range places no vertex, and the others are placed all the same.
    L.FullScale = false;
    t.Data.SetUBound(0, -10);
    t.Data.SetLBound(0, -20);
    t.Data.SetLBound(1, 10);
    t.Data.SetUBound(1, 10);
    L.CalcAxisPositions(t.Data, 270, 310);
    EXPECT_FALSE(L.CalcVertices(t.Data, 0, v));
    EXPECT_EQ(v[0].y, -150.0f);
    EXPECT_TRUE(std::isnan(v[1].y));
    EXPECT_EQ(v[2].y, 50.0f);
}

TEST(ParallelCoordinatesLayout, AxisRectanglesSurroundLineLabelsAndName)
{
    TMethodsTestData t = Dims(3);
    TParallelCoordinatesLayout L;
    L.CalcAxisPositions(t.Data, 270, 310); // axes 100 apart, plot from y 50 to 250
    EXPECT_EQ(L.NameBoxWidth(), 99);
    const TAxisRects r = L.AxisRects(135, TSize{40, 12}, TSize{31, 12}, TSize{99, 30});
    EXPECT_EQ(r.Line, Rect(131, 50, 140, 251));
    EXPECT_EQ(r.UpperLabel, Rect(115, 38, 156, 51));
    EXPECT_EQ(r.LowerLabel, Rect(120, 250, 151, 263));
    EXPECT_EQ(r.Name, Rect(86, 8, 185, 39));
    EXPECT_EQ(r.Bounds, Rect(86, 8, 185, 263));
    EXPECT_EQ(L.AxisNear(135 + 8, 8), 1);
    EXPECT_EQ(L.AxisNear(135 + 9, 8), -1);
}

TEST(ParallelCoordinatesLayout, TextsStayOverTheirAxesMovedInOnlyAsFarAsTheEdgeNeeds)
{
    TMethodsTestData t = Dims(3);
    TParallelCoordinatesLayout L;
    L.CalcAxisPositions(t.Data, 270, 310); // axes at 35, 135 and 235, boxes 99 wide
    struct TCase {
        int X, Text, Left;
    };
    const TCase cases[] = {
        {135, 40, 115}, // inner axis: centred
        {35, 40, 15},   // a short name stays centred on the first axis
        {35, 80, 0},    // a long one moves in to the left edge, no further
        {35, 500, 0},   // wider than its room: at the room's left edge
        {235, 80, 190}, // or in from the right edge
        {235, 35, 218},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(L.TextLeft(c.X, 99, c.Text), c.Left) << c.X << " " << c.Text;
    // The room is the box inside the editor; a label's rectangle goes
    // where its text stands.
    EXPECT_EQ(L.TextRoom(35, 99).Right, 85);
    const TAxisRects r = L.AxisRects(35, TSize{80, 12}, TSize{31, 12}, TSize{99, 30});
    EXPECT_EQ(r.Name, Rect(0, 8, 85, 39));
    EXPECT_EQ(r.UpperLabel, Rect(0, 38, 81, 51));
    EXPECT_EQ(r.LowerLabel, Rect(20, 250, 51, 263));
}

TEST(ParallelCoordinatesLayout, SliderEndsParkMoveAndStayBelowTheTop)
{
    TMethodsTestData t = Dims(2);
    TParallelCoordinatesLayout L;
    L.CalcAxisPositions(t.Data, 270, 310); // bottom 250, top 50, 20 pixels a unit
    TSliderEnds e;
    ASSERT_TRUE(L.ValuesToEnds(0, 2, 6, e));
    EXPECT_EQ(e.LowY, 210);
    EXPECT_EQ(e.HighY, 130);
    double low = 0, high = 0;
    ASSERT_TRUE(L.EndsToValues(0, TSliderEnds{230, 50}, low, high));
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 10);
    EXPECT_FALSE(L.ValuesToEnds(0, std::numeric_limits<double>::quiet_NaN(), 6, e));

    const TSliderEnds parked = L.ParkedEnds();
    EXPECT_EQ(parked.HighY, 261);
    EXPECT_EQ(parked.LowY, 291);
    EXPECT_TRUE(L.IsParked(parked));
    EXPECT_FALSE(L.IsParked(TSliderEnds{260, 250})); // upper end on the bottom
    EXPECT_TRUE(L.IsParked(TSliderEnds{260, 251}));

    // Moves go from the rounded ends; the upper end stops at the top and
    // the bar keeps its length.
    const TSliderEnds moved = L.MovedEnds(TSliderEnds{209.6, 130.4}, -5);
    EXPECT_EQ(moved.LowY, 205);
    EXPECT_EQ(moved.HighY, 125);
    const TSliderEnds pushed = L.MovedEnds(TSliderEnds{210, 130}, -100);
    EXPECT_EQ(pushed.HighY, 50);
    EXPECT_EQ(pushed.LowY, 130);
    // A resize moves the lower end alone; above the upper end the two
    // change roles, and the new upper end still stops at the top.
    auto resized = [&](TSliderEnds E, int DH) {
        const TSliderEnds r = L.ResizedEnds(E, DH);
        return std::pair(r.LowY, r.HighY);
    };
    EXPECT_EQ(resized({209.6, 130.4}, 5), std::pair(215.0, 130.4));
    EXPECT_EQ(resized({210, 130}, -100), std::pair(130.0, 110.0));
    EXPECT_EQ(resized({210, 130}, -200), std::pair(130.0, 50.0));

    const TSliderRects r = L.SliderRects(35, TSliderEnds{210, 130}, TSize{30, 12}, TSize{31, 12}, 2);
    EXPECT_EQ(r.Bar, Rect(27, 130, 43, 210));
    EXPECT_EQ(r.HighLabel, Rect(18, 114, 52, 130));
    EXPECT_EQ(r.LowLabel, Rect(18, 210, 52, 226));
    EXPECT_EQ(r.Bounds, Rect(18, 114, 52, 226));

    // A zero range parks the slider rather than placing it nowhere.
    t.Data.SetUBound(1, 0);
    t.Data.SetLBound(1, 0);
    L.CalcAxisPositions(t.Data, 270, 310);
    EXPECT_FALSE(L.ValuesToEnds(1, 2, 6, e));
}

TEST(ParallelCoordinatesLayout, StrokesCrossPolylinesWhereTheyMeetThem)
{
    const std::vector<TPoint> line{{0, 100}, {100, 0}, {200, 100}};
    struct TCase {
        TPoint A;
        TPoint B;
        bool Crosses;
    };
    const TCase cases[] = {
        {{50, 0}, {50, 100}, true},     // across the first segment
        {{50, 100}, {50, 0}, true},     // either direction
        {{150, 0}, {150, 40}, false},   // above the second segment
        {{150, 40}, {150, 60}, true},   // through it
        {{10, 10}, {40, 40}, false},    // beside, parallel
        {{-10, 50}, {300, 50}, true},   // across both
        {{100, 0}, {100, -10}, true},   // touching the vertex
        {{250, 0}, {260, 200}, false},  // beyond the last vertex
        {{0, 100}, {100, 0}, true},     // along a segment
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PolylineCrossesStroke(line, c.A, c.B), c.Crosses)
            << c.A.x << "," << c.A.y << " " << c.B.x << "," << c.B.y;
}
