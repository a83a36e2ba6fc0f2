#include "methods/PermutationmatrixLayout.h"

#include "QuorData/QuorData.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool IsRowKind(int Type) { return Type == 0 || Type == 1; }
bool IsColumnKind(int Type) { return Type == 2 || Type == 3; }
bool IsTableKind(int Type) { return Type == 4 || Type == 5; }

// Fits[mean][scale]: the cells of the mean lie inside those of the scale.
constexpr bool kFits[6][6] = {
    {true, true, false, false, true, true},    // pmtRowVisible
    {false, true, false, false, false, true},  // pmtRowAll
    {false, false, true, true, true, true},    // pmtColVisible
    {false, false, false, true, false, true},  // pmtColAll
    {false, false, false, false, true, true},  // pmtTableVisible
    {false, false, false, false, false, true}, // pmtTableAll
};

} // namespace

bool ScaleAndMeanFit(TPermScaleType Scale, TPermMeanType Mean)
{
    return Scale <= pstTableAll && Mean <= pmtTableAll && kFits[Mean][Scale];
}

TPermScaleType AdjustScaleToMean(TPermMeanType Mean, TPermScaleType Scale)
{
    if (ScaleAndMeanFit(Scale, Mean) || Mean > pmtTableAll)
        return Scale;
    return TPermScaleType(uint8_t(Mean));
}

TPermMeanType AdjustMeanToScale(TPermScaleType Scale, TPermMeanType Mean)
{
    if (ScaleAndMeanFit(Scale, Mean) || Scale > pstTableAll)
        return Mean;
    return TPermMeanType(uint8_t(Scale));
}

// ---- settings and layout -----------------------------------------------------------

TPermutationmatrixLayout::TPermutationmatrixLayout()
{
    SetDefaults();
}

void TPermutationmatrixLayout::SetDefaults()
{
    ItemSelectionColor = 0x00FFFF;
    SubSelectionFrameColor = 0x000000;
    MatrixPadding = 0;
    CellPenWidth = 1;
    CellPadding = 1;
    RingWidth = 1;
    ShadePadding = 1;
    MaxRingLayers = 1;
    AxisLabelGap = 0;
    ScaleBandWidth = 35;
    LabelBandWidth = 30;
    ScaleBandMargin = 3;
    RotateView = false;
    ConstantDimExtent = true;
    DisplayType = pdtBar;
    ScaleType = pstRowAll;
    MeanType = pmtRowAll;
    PrismHueFirst = 0;
    PrismLuminance = 128;
    PrismSaturation = 255;
    PrismHueLast = 160;
    LayerOffsetX = 1;
    LayerOffsetY = 2;
    LayerReserve = 2;
    CalcLayout();
}

void TPermutationmatrixLayout::CalcLayout()
{
    const bool shade = DisplayType == pdtShade || DisplayType == pdtShadeUserColors;
    ColumnGap = RowGap = shade ? 0 : 1;
    RingCount = MaxRingLayers + 1 + (DisplayType == pdtShadeUserColors ? 1 : 0);
    RingBand = RingWidth * RingCount;
    LayerSpaceX = LayerOffsetX * LayerReserve;
    LayerSpaceY = LayerOffsetY * LayerReserve;
    ScaleGap = ColumnGap;

    const int scale = ScaleType;
    ShowLeftScales = (DisplayType == pdtBar || DisplayType == pdtBarShade) && (IsRowKind(scale) || IsTableKind(scale));
    ShowBottomScales =
        (DisplayType == pdtBar90 || DisplayType == pdtBar90Shade) && (IsColumnKind(scale) || IsTableKind(scale));
    ShowRightScales = ShowLeftScales;
    ShowTopScales = ShowBottomScales;

    if (ConstantDimExtent) {
        EqualRowHeights = EqualColumnWidths = true;
    } else {
        EqualRowHeights = IsColumnKind(scale);
        EqualColumnWidths = IsRowKind(scale);
    }

    LeftBand = ScaleGap + LayerSpaceX + (ShowLeftScales ? ScaleBandWidth + ScaleBandMargin : 0);
    BottomBand = ScaleGap + LayerSpaceY + (ShowBottomScales ? ScaleBandWidth + ScaleBandMargin : 0);

    if (shade) {
        MinCellWidth = MinCellHeight = 2 * RingBand + MatrixPadding + ShadePadding;
    } else {
        MinCellWidth = MatrixPadding + LayerSpaceX + 2 * CellPenWidth + CellPadding;
        MinCellHeight = MatrixPadding + LayerSpaceY + 2 * CellPenWidth + CellPadding;
    }

    Margins = Rect(5, 5, 5, 5);
    Margins.Left += LeftBand + LabelBandWidth;
    Margins.Bottom += BottomBand + LabelBandWidth;
    if (ShowRightScales)
        Margins.Right += ScaleBandWidth;
    if (ShowTopScales)
        Margins.Top += ScaleBandWidth;
}

void TPermutationmatrixLayout::CalcPlotRect(int ClientWidth, int ClientHeight)
{
    PlotRect = InnerRect(ClientWidth, ClientHeight, Margins);
    PlotWidth = PlotRect.Width();
    PlotHeight = PlotRect.Height();
}

void TPermutationmatrixLayout::InvalidateCaches()
{
    Cache.GeometryDirty = true;
    Cache.MinDirty = true;
    Cache.MaxDirty = true;
    Cache.MeanDirty = true;
}

int TPermutationmatrixLayout::MatrixColumnCount() const
{
    if (!FData)
        return 0;
    return RotateView ? FData->VisibleDimCount() : FData->VisiblePointCount();
}

int TPermutationmatrixLayout::MatrixRowCount() const
{
    if (!FData)
        return 0;
    return RotateView ? FData->VisiblePointCount() : FData->VisibleDimCount();
}

TSize TPermutationmatrixLayout::GetMatrixSize() const
{
    return TSize{MatrixColumnCount() * (MinCellWidth + ColumnGap) - ColumnGap + MatrixPadding,
                 MatrixRowCount() * (MinCellHeight + RowGap) - RowGap + MatrixPadding};
}

// ---- statistics ------------------------------------------------------------------------

TPermutationmatrixLayout::TGrouping TPermutationmatrixLayout::Grouping(int TypeByte, bool& All) const
{
    All = TypeByte % 2 == 1;
    if (IsRowKind(TypeByte))
        return RotateView ? TGrouping::PerItem : TGrouping::PerDim;
    if (IsColumnKind(TypeByte))
        return RotateView ? TGrouping::PerDim : TGrouping::PerItem;
    if (IsTableKind(TypeByte))
        return TGrouping::Table;
    return TGrouping::None;
}

void TPermutationmatrixLayout::ComputeStatistic(TStatistic Which, TGrouping Group, bool All,
                                                std::vector<double>& Values) const
{
    const TData& data = *FData;
    // The view positions a group runs over, and the visible ones that name
    // the groups.
    std::vector<int> visibleItems(size_t(data.VisiblePointCount()));
    for (size_t i = 0; i < visibleItems.size(); ++i)
        visibleItems[i] = data.GetVisiblePoint(int(i));
    std::vector<int> visibleDims(size_t(data.VisibleDimCount()));
    for (size_t i = 0; i < visibleDims.size(); ++i)
        visibleDims[i] = data.GetVisibleDim(int(i));
    std::vector<int> allItems, allDims;
    if (All) {
        allItems.resize(size_t(data.PointCount()));
        for (size_t i = 0; i < allItems.size(); ++i)
            allItems[i] = int(i);
        allDims.resize(size_t(data.DimCount()));
        for (size_t i = 0; i < allDims.size(); ++i)
            allDims[i] = int(i);
    }
    const std::vector<int>& items = All ? allItems : visibleItems;
    const std::vector<int>& dims = All ? allDims : visibleDims;

    struct TAccumulator {
        double Min = std::numeric_limits<double>::infinity();
        double Max = -std::numeric_limits<double>::infinity();
        double Sum = 0;
        int Count = 0;
        void Add(double V)
        {
            // A cell without a value, as a number that is no number or is
            // infinite shows, counts for nothing.
            if (!std::isfinite(V))
                return;
            if (V < Min)
                Min = V;
            if (V > Max)
                Max = V;
            Sum += V;
            ++Count;
        }
    };
    const double minRange = data.MinRange;
    auto result = [&](const TAccumulator& A) {
        // A group without a single value has the scale 0 to 1.
        if (A.Count == 0)
            return Which == TStatistic::Max ? 1.0 : 0.0;
        switch (Which) {
        case TStatistic::Min:
            return A.Min;
        case TStatistic::Max:
            // Never a scale of zero width.
            return std::max(A.Max, A.Min + minRange);
        case TStatistic::Mean:
            break;
        }
        return A.Sum / A.Count;
    };

    Values.clear();
    switch (Group) {
    case TGrouping::PerDim:
        Values.reserve(visibleDims.size());
        for (int d : visibleDims) {
            TAccumulator a;
            for (int p : items)
                a.Add(data.GetValue(p, d));
            Values.push_back(result(a));
        }
        break;
    case TGrouping::PerItem:
        Values.reserve(visibleItems.size());
        for (int p : visibleItems) {
            TAccumulator a;
            for (int d : dims)
                a.Add(data.GetValue(p, d));
            Values.push_back(result(a));
        }
        break;
    case TGrouping::Table: {
        TAccumulator a;
        for (int p : items)
            for (int d : dims)
                a.Add(data.GetValue(p, d));
        Values.push_back(result(a));
        break;
    }
    case TGrouping::None:
        break;
    }
}

double TPermutationmatrixLayout::Entry(const std::vector<double>& Values, TGrouping Group, int Item, int Dim)
{
    size_t index = 0;
    if (Group == TGrouping::PerDim)
        index = size_t(Dim);
    else if (Group == TGrouping::PerItem)
        index = size_t(Item);
    return index < Values.size() ? Values[index] : 0.0;
}

namespace {

// The entries a statistic array has for a grouping, so that an array left
// from other counts is never read past its end.
size_t GroupCount(const TData& Data, bool PerDim, bool PerItem)
{
    if (PerDim)
        return size_t(Data.VisibleDimCount());
    if (PerItem)
        return size_t(Data.VisiblePointCount());
    return 1;
}

} // namespace

double TPermutationmatrixLayout::GetScaleMin(int Item, int Dim)
{
    if (ScaleType == pstTableAll)
        return FData->GlobalMin();
    bool all = false;
    const TGrouping group = Grouping(ScaleType, all);
    if (group == TGrouping::None)
        return 0;
    if (Cache.MinDirty
        || Cache.Min.size() != GroupCount(*FData, group == TGrouping::PerDim, group == TGrouping::PerItem)) {
        Cache.MinDirty = false;
        ComputeStatistic(TStatistic::Min, group, all, Cache.Min);
    }
    return Entry(Cache.Min, group, Item, Dim);
}

double TPermutationmatrixLayout::GetScaleMax(int Item, int Dim)
{
    if (ScaleType == pstTableAll)
        return FData->GlobalMax();
    bool all = false;
    const TGrouping group = Grouping(ScaleType, all);
    if (group == TGrouping::None)
        return 1;
    if (Cache.MaxDirty
        || Cache.Max.size() != GroupCount(*FData, group == TGrouping::PerDim, group == TGrouping::PerItem)) {
        Cache.MaxDirty = false;
        ComputeStatistic(TStatistic::Max, group, all, Cache.Max);
    }
    return Entry(Cache.Max, group, Item, Dim);
}

double TPermutationmatrixLayout::GetMean(int Item, int Dim)
{
    bool all = false;
    const TGrouping group = Grouping(MeanType, all);
    if (group == TGrouping::None)
        return 0;
    if (Cache.MeanDirty
        || Cache.Mean.size() != GroupCount(*FData, group == TGrouping::PerDim, group == TGrouping::PerItem)) {
        Cache.MeanDirty = false;
        ComputeStatistic(TStatistic::Mean, group, all, Cache.Mean);
    }
    return Entry(Cache.Mean, group, Item, Dim);
}

double TPermutationmatrixLayout::GetScaleMinAt(int Column, int Row)
{
    return RotateView ? GetScaleMin(Row, Column) : GetScaleMin(Column, Row);
}

double TPermutationmatrixLayout::GetScaleMaxAt(int Column, int Row)
{
    return RotateView ? GetScaleMax(Row, Column) : GetScaleMax(Column, Row);
}

// ---- cell rectangles -----------------------------------------------------------------------

void TPermutationmatrixLayout::SpreadSpans(int Count, int Origin, int Extent, int Gap, bool Equal,
                                           const std::vector<float>& Ranges, std::vector<int>& Starts,
                                           std::vector<int>& Ends)
{
    Starts.resize(size_t(Count));
    Ends.resize(size_t(Count));
    float avail = float(Extent - (Count - 1) * Gap);
    float total = 0;
    if (!Equal)
        for (float range : Ranges)
            total += range;
    // Ranges that give nothing to divide by share the extent equally.
    if (!(total > 0) || !std::isfinite(total))
        Equal = true;
    int at = Origin;
    for (int i = 0; i < Count; ++i) {
        int w;
        if (Equal) {
            w = int(std::nearbyint(avail / float(Count - i)));
        } else {
            const float range = Ranges[size_t(i)];
            w = int(std::nearbyint(avail * range / total));
            total -= range;
        }
        Starts[size_t(i)] = at;
        Ends[size_t(i)] = at + w;
        at += w + Gap;
        avail -= float(w);
    }
}

void TPermutationmatrixLayout::CalcGrid()
{
    const int dims = FData ? FData->VisibleDimCount() : 0;
    const int points = FData ? FData->VisiblePointCount() : 0;
    if (!Cache.GeometryDirty && Cache.CachedWidth == PlotWidth && Cache.CachedHeight == PlotHeight
        && Cache.CachedDimCount == dims && Cache.CachedPointCount == points)
        return;
    Cache.GeometryDirty = false;
    Cache.CachedWidth = PlotWidth;
    Cache.CachedHeight = PlotHeight;
    Cache.CachedDimCount = dims;
    Cache.CachedPointCount = points;

    const int columns = MatrixColumnCount();
    const int rows = MatrixRowCount();
    std::vector<float> ranges;
    if (!EqualColumnWidths && rows > 0) {
        ranges.resize(size_t(columns));
        for (int c = 0; c < columns; ++c)
            ranges[size_t(c)] = float(GetScaleMaxAt(c, 0) - GetScaleMinAt(c, 0));
    }
    SpreadSpans(columns, PlotRect.Left, PlotWidth, ColumnGap, EqualColumnWidths || rows == 0, ranges,
                Cache.ColumnLefts, Cache.ColumnRights);
    ranges.clear();
    if (!EqualRowHeights && columns > 0) {
        ranges.resize(size_t(rows));
        for (int r = 0; r < rows; ++r)
            ranges[size_t(r)] = float(GetScaleMaxAt(0, r) - GetScaleMinAt(0, r));
    }
    SpreadSpans(rows, PlotRect.Top, PlotHeight, RowGap, EqualRowHeights || columns == 0, ranges, Cache.RowTops,
                Cache.RowBottoms);
}

TRect TPermutationmatrixLayout::GetCellRectAt(int Column, int Row)
{
    CalcGrid();
    return Rect(Cache.ColumnLefts[size_t(Column)], Cache.RowTops[size_t(Row)], Cache.ColumnRights[size_t(Column)],
                Cache.RowBottoms[size_t(Row)]);
}

TRect TPermutationmatrixLayout::GetCellRect(int Item, int Dim)
{
    return RotateView ? GetCellRectAt(Dim, Item) : GetCellRectAt(Item, Dim);
}
