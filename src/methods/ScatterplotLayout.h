#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <vector>

class TData;

// The grid columns and rows the scatterplot matrix was last laid out with,
// so that a repaint at an unchanged size does not lay it out again.
struct TScatterplotmatrixCache {
    int DimCount = -1;
    int PlotWidth = -1;
    int PlotHeight = -1;
    // Per grid column and row: Start = (column left, row top), End =
    // (column right, row bottom); the right and bottom are the last pixel
    // of the column or row.
    std::vector<TPoint> Start;
    std::vector<TPoint> End;
};

// The grid columns FirstColumn to LastColumn and rows FirstRow to LastRow;
// none where a last comes before its first.
struct TGridSpan {
    int FirstColumn = 0;
    int LastColumn = -1;
    int FirstRow = 0;
    int LastRow = -1;
};

// Where everything of the scatterplot matrix goes: the layout settings, the
// insets derived from them, the plot rectangle and the grid of cells, and
// the mapping of values to pixels. Only the column i, row j > i cells exist;
// row 0 and column n - 1 of the grid take the diagonal scales.
class TScatterplotLayout {
public:
    TScatterplotLayout();

    void SetDefaults();
    // Derives the dot halves, the label offsets and the insets from the
    // settings.
    void CalcInsets();
    // PlotRect for a client area of the given size.
    void CalcPlotRect(int ClientWidth, int ClientHeight);
    // Lays out the n by n grid over PlotRect, unless it already is.
    void CalcCellGrid(int n);
    // Forgets the grid, so that the next CalcCellGrid lays it out anew.
    void InvalidateCellGrid();

    int GridCount() const { return int(Cache.Start.size()); }
    int ColumnLeft(int c) const { return Cache.Start[size_t(c)].x; }
    int ColumnRight(int c) const { return Cache.End[size_t(c)].x; }
    int RowTop(int r) const { return Cache.Start[size_t(r)].y; }
    int RowBottom(int r) const { return Cache.End[size_t(r)].y; }
    // The cell of column c and row r, its frame included.
    TRect CellRect(int c, int r) const;
    // The columns and rows whose cells, less their frame pixel, reach into
    // Area.
    TGridSpan SpanOf(const TRect& Area) const;

    // Pixel of value V of the dimension at visible position K, across in
    // column K or upwards in row K; values inside the displayed bounds keep
    // the whole dot inside the cell's margin.
    int ValueToX(const TData& Data, int K, double V) const;
    int ValueToY(const TData& Data, int K, double V) const;

    // The smallest plot area for n visible dimensions: every cell one dot
    // wide and high.
    TSize GetMinSize(int n) const;

    // ---- settings ----
    TColor SelectionColor = 0;
    int RingWidth = 0;
    int CellGapX = 0;
    int CellGapY = 0;
    int CellMargin = 0;
    int DotSize = 0;
    int AxisGap = 0;
    bool BottomScales = false;
    bool LeftScales = false;
    bool DiagonalRightScales = false;
    bool DiagonalTopScales = false;
    bool AllCellScales = false;
    int BaseMargin = 0;
    int ScaleRoom = 0;
    int ScaleGap = 0;
    int LabelRoom = 0;

    // ---- derived by CalcInsets ----
    int TwoCellMargin = 0;
    int DotHalf = 0;
    int DotRest = 0;
    int ColumnLabelOffset = 0;
    int RowLabelOffset = 0;
    TRect Insets; // left, top, right, bottom

    // ---- derived by CalcPlotRect and CalcCellGrid ----
    TRect PlotRect;
    int PlotWidth = 0;
    int PlotHeight = 0;
    TScatterplotmatrixCache Cache;
};

// Nearest integer, halves to even; values beyond the reach of any screen
// (and values that are no number) land far outside every cell.
int RoundToPixel(double Value);
