#include "methods/ScatterplotLayout.h"

#include "QuorData/QuorData.h"

#include <cmath>

namespace {

// Far enough outside any cell to be clipped away, near enough that the dot
// arithmetic around it cannot overflow.
constexpr double kFarAway = 1 << 28;

// Spreads Extent - (n - 1) * Gap pixels over n spans starting at Origin,
// each span the nearest integer (halves to even) of what remains over the
// spans left, so the leftover pixels alternate over the spans.
void SpreadSpans(int n, int Origin, int Extent, int Gap, std::vector<int>& Starts,
                 std::vector<int>& Ends)
{
    Starts.resize(size_t(n));
    Ends.resize(size_t(n));
    float rest = float(Extent - (n - 1) * Gap);
    int at = Origin;
    for (int i = 0; i < n; ++i) {
        const int w = int(std::nearbyint(rest / float(n - i)));
        Starts[size_t(i)] = at;
        Ends[size_t(i)] = at + w;
        at += w + Gap;
        rest -= float(w);
    }
}

// Where V lies between the displayed bounds of the dimension at view
// position Dim: 0 at the lower, 1 at the upper bound.
double BoundsFraction(const TData& Data, int Dim, double V)
{
    const double lo = Data.GetLBound(Dim);
    return (V - lo) / (Data.GetUBound(Dim) - lo);
}

} // namespace

int RoundToPixel(double Value)
{
    if (std::isnan(Value))
        return int(-kFarAway);
    if (Value > kFarAway)
        return int(kFarAway);
    if (Value < -kFarAway)
        return int(-kFarAway);
    return int(std::nearbyint(Value));
}

TScatterplotLayout::TScatterplotLayout()
{
    SetDefaults();
    CalcInsets();
}

void TScatterplotLayout::SetDefaults()
{
    SelectionColor = 0x0000FFFF;
    RingWidth = 2;
    CellGapX = 5;
    CellGapY = 5;
    CellMargin = 1;
    DotSize = 3;
    AxisGap = 0;
    BottomScales = true;
    LeftScales = false;
    DiagonalRightScales = true;
    DiagonalTopScales = false;
    AllCellScales = false;
    BaseMargin = 5;
    ScaleRoom = 40;
    ScaleGap = 3;
    LabelRoom = 30;
}

void TScatterplotLayout::CalcInsets()
{
    TwoCellMargin = 2 * CellMargin;
    DotHalf = DotSize / 2;
    DotRest = DotSize - DotHalf - 1;
    ColumnLabelOffset = BaseMargin;
    if (BottomScales || AllCellScales)
        ColumnLabelOffset += ScaleRoom + ScaleGap;
    RowLabelOffset = BaseMargin;
    if (LeftScales || AllCellScales)
        RowLabelOffset += ScaleRoom + ScaleGap;
    Insets = Rect(5, 5, 5, 5);
    Insets.Left += RowLabelOffset + LabelRoom;
    Insets.Bottom += ColumnLabelOffset + LabelRoom;
    if (DiagonalRightScales)
        Insets.Right += LabelRoom;
    if (DiagonalTopScales)
        Insets.Top += LabelRoom;
}

void TScatterplotLayout::CalcPlotRect(int ClientWidth, int ClientHeight)
{
    PlotRect = InnerRect(ClientWidth, ClientHeight, Insets);
    PlotWidth = PlotRect.Width();
    PlotHeight = PlotRect.Height();
}

void TScatterplotLayout::InvalidateCellGrid()
{
    Cache.DimCount = -1;
    Cache.PlotWidth = -1;
    Cache.PlotHeight = -1;
}

void TScatterplotLayout::CalcCellGrid(int n)
{
    if (n < 0)
        n = 0;
    if (Cache.DimCount == n && Cache.PlotWidth == PlotWidth && Cache.PlotHeight == PlotHeight
        && GridCount() == n)
        return;
    std::vector<int> left, right, top, bottom;
    SpreadSpans(n, PlotRect.Left, PlotWidth, CellGapX, left, right);
    SpreadSpans(n, PlotRect.Top, PlotHeight, CellGapY, top, bottom);
    Cache.Start.resize(size_t(n));
    Cache.End.resize(size_t(n));
    for (size_t i = 0; i < size_t(n); ++i) {
        Cache.Start[i] = Point(left[i], top[i]);
        Cache.End[i] = Point(right[i], bottom[i]);
    }
    Cache.DimCount = n;
    Cache.PlotWidth = PlotWidth;
    Cache.PlotHeight = PlotHeight;
}

TRect TScatterplotLayout::CellRect(int c, int r) const
{
    return Rect(ColumnLeft(c), RowTop(r), ColumnRight(c) + 1, RowBottom(r) + 1);
}

TGridSpan TScatterplotLayout::SpanOf(const TRect& Area) const
{
    // The grid runs left to right and top to bottom: the columns and the
    // rows that meet Area follow each other.
    TGridSpan span;
    const int n = GridCount();
    const auto first = [n](auto Meets) {
        int k = 0;
        while (k < n && !Meets(k))
            ++k;
        return k;
    };
    const auto last = [](int From, auto Meets) {
        while (From >= 0 && !Meets(From))
            --From;
        return From;
    };
    const auto columnMeets = [&](int c) { return ColumnRight(c) > Area.Left && ColumnLeft(c) + 1 < Area.Right; };
    const auto rowMeets = [&](int r) { return RowBottom(r) > Area.Top && RowTop(r) + 1 < Area.Bottom; };
    span.FirstColumn = first(columnMeets);
    span.LastColumn = last(n - 1, columnMeets);
    span.FirstRow = first(rowMeets);
    span.LastRow = last(n - 1, rowMeets);
    return span;
}

int TScatterplotLayout::ValueToX(const TData& Data, int K, double V) const
{
    const int left = ColumnLeft(K);
    const int width = ColumnRight(K) + 1 - left;
    const double t = BoundsFraction(Data, Data.GetVisibleDim(K), V);
    return RoundToPixel(t * (width - TwoCellMargin - DotSize)) + left + CellMargin + DotHalf;
}

int TScatterplotLayout::ValueToY(const TData& Data, int K, double V) const
{
    const int bottom = RowBottom(K) + 1;
    const int height = bottom - RowTop(K);
    const double t = BoundsFraction(Data, Data.GetVisibleDim(K), V);
    return bottom - CellMargin - 1 - DotRest - RoundToPixel(t * (height - TwoCellMargin - DotSize));
}

TSize TScatterplotLayout::GetMinSize(int n) const
{
    return TSize{(CellMargin + DotSize + CellGapX) * n - CellGapX + CellMargin,
            (CellMargin + DotSize + CellGapY) * n - CellGapY + CellMargin};
}
