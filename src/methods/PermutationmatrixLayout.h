#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <cstdint>
#include <vector>

class TData;

// How a cell shows its value. The numbers are fixed: the main window's
// actions pass them as they stand.
enum TPermDisplayType : uint8_t {
    pdtBar = 0,
    pdtShade = 1,
    pdtShadeUserColors = 2,
    pdtBar90 = 3,
    pdtBarShade = 4,
    pdtBar90Shade = 5,
};

// Over which cells a cell's scale (minimum and maximum) is taken.
enum TPermScaleType : uint8_t {
    pstRowVisible = 0,
    pstRowAll = 1,
    pstColVisible = 2,
    pstColAll = 3,
    pstTableVisible = 4,
    pstTableAll = 5,
};

// Over which cells the mean drawn in a cell is taken.
enum TPermMeanType : uint8_t {
    pmtRowVisible = 0,
    pmtRowAll = 1,
    pmtColVisible = 2,
    pmtColAll = 3,
    pmtTableVisible = 4,
    pmtTableAll = 5,
};

// The mean must be taken inside the cells of the scale, so that the mean
// line stays inside its cell. These give the scale type to use with a new
// mean type, and the mean type to use with a new scale type: the current one
// when the pair fits, else the one of the same kind.
TPermScaleType AdjustScaleToMean(TPermMeanType Mean, TPermScaleType Scale);
TPermMeanType AdjustMeanToScale(TPermScaleType Scale, TPermMeanType Mean);
bool ScaleAndMeanFit(TPermScaleType Scale, TPermMeanType Mean);

// What the permutation matrix computed last: the cell grid for a plot size
// and visible counts, and the three statistics, each valid until its dirty
// flag is set.
struct TPermutationmatrixCache {
    int CachedWidth = -1;
    int CachedHeight = -1;
    int CachedDimCount = -1;
    int CachedPointCount = -1;
    bool GeometryDirty = true;
    std::vector<int> RowTops;
    std::vector<int> ColumnLefts;
    std::vector<int> RowBottoms;
    std::vector<int> ColumnRights;

    bool MinDirty = true;
    std::vector<double> Min;
    bool MaxDirty = true;
    std::vector<double> Max;
    bool MeanDirty = true;
    std::vector<double> Mean;
};

// The permutation matrix as plain values: its settings and the bands,
// margins and cell sizes derived from them, the statistics each cell is
// drawn against, and the cell rectangles. Matrix rows are the visible
// dimensions and matrix columns the visible data items, or the other way
// round when RotateView is set; cells are addressed by (visible item,
// visible dimension), or by (matrix column, matrix row) in the ...At forms.
class TPermutationmatrixLayout {
public:
    TPermutationmatrixLayout();

    // The data object the statistics and counts are read from; borrowed.
    void SetData(const TData* AData) { FData = AData; }
    const TData* Data() const { return FData; }

    void SetDefaults();
    // Derives gaps, bands, cell minima, scale sides and margins from the
    // settings.
    void CalcLayout();
    // PlotRect for an editor of the given size.
    void CalcPlotRect(int ClientWidth, int ClientHeight);
    // Marks the grid and the three statistics for recomputation.
    void InvalidateCaches();

    int MatrixColumnCount() const;
    int MatrixRowCount() const;
    // The smallest width and height of the matrix.
    TSize GetMatrixSize() const;

    double GetScaleMin(int Item, int Dim);
    double GetScaleMax(int Item, int Dim);
    double GetMean(int Item, int Dim);
    double GetScaleMinAt(int Column, int Row);
    double GetScaleMaxAt(int Column, int Row);

    TRect GetCellRect(int Item, int Dim);
    TRect GetCellRectAt(int Column, int Row);

    // ---- settings ----
    TColor ItemSelectionColor = 0;
    TColor SubSelectionFrameColor = 0;
    int MatrixPadding = 0;
    int CellPenWidth = 0;
    int CellPadding = 0;
    int RingWidth = 0;
    int ShadePadding = 0;
    int MaxRingLayers = 0;
    int AxisLabelGap = 0;
    int ScaleBandWidth = 0;
    int LabelBandWidth = 0;
    int ScaleBandMargin = 0;
    bool RotateView = false;
    bool ConstantDimExtent = true;
    TPermDisplayType DisplayType = pdtBar;
    TPermScaleType ScaleType = pstRowAll;
    TPermMeanType MeanType = pmtRowAll;
    int PrismHueFirst = 0;
    int PrismLuminance = 0;
    int PrismSaturation = 0;
    int PrismHueLast = 0;
    int LayerOffsetX = 0;
    int LayerOffsetY = 0;
    int LayerReserve = 0;

    // ---- derived by CalcLayout ----
    TRect Margins; // left, top, right, bottom
    int ColumnGap = 0;
    int RowGap = 0;
    int MinCellWidth = 0;
    int MinCellHeight = 0;
    int RingBand = 0;
    int RingCount = 0;
    bool ShowBottomScales = false;
    bool ShowLeftScales = false;
    bool ShowRightScales = false;
    bool ShowTopScales = false;
    int ScaleGap = 0;
    int LeftBand = 0;
    int BottomBand = 0;
    bool EqualRowHeights = true;
    bool EqualColumnWidths = true;
    int LayerSpaceX = 0;
    int LayerSpaceY = 0;

    // ---- derived by CalcPlotRect ----
    TRect PlotRect;
    int PlotWidth = 0;
    int PlotHeight = 0;

    TPermutationmatrixCache Cache;

private:
    // Which statistic of a group is computed.
    enum class TStatistic { Min, Max, Mean };
    // How the cells are grouped for a statistic.
    enum class TGrouping { PerDim, PerItem, Table, None };
    // Kind: 0 row, 1 column, 2 table, from a type byte; All: the hidden
    // items or dimensions of the group count too.
    TGrouping Grouping(int TypeByte, bool& All) const;
    // Fills Values with the statistic of every group of the grouping.
    void ComputeStatistic(TStatistic Which, TGrouping Group, bool All, std::vector<double>& Values) const;
    // The statistic's entry of the group that holds the cell.
    static double Entry(const std::vector<double>& Values, TGrouping Group, int Item, int Dim);
    void CalcGrid();
    // Spreads Extent over Count spans (proportional to Ranges unless Equal).
    static void SpreadSpans(int Count, int Origin, int Extent, int Gap, bool Equal, const std::vector<float>& Ranges,
                            std::vector<int>& Starts, std::vector<int>& Ends);

    const TData* FData = nullptr;
};
