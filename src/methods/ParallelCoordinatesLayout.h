#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <span>
#include <vector>

class TData;

// A polyline vertex as the plot keeps it: single precision.
struct TVertexF {
    float x = 0;
    float y = 0;
};

// The screen ends of a slider bar; y grows downward, so LowY >= HighY
// while the bar runs the right way up.
struct TSliderEnds {
    double LowY = 0;
    double HighY = 0;
};

// The hit and drawing areas of one axis.
struct TAxisRects {
    TRect UpperLabel;
    TRect Line;
    TRect Name;
    TRect LowerLabel;
    TRect Bounds; // the union of the four
};

// A stretch across, from Left to Right (exclusive).
struct TTextRoom {
    int Left = 0;
    int Right = 0;
    int Width() const { return Right - Left; }
};

// The bar and the two value labels of a slider.
struct TSliderRects {
    TRect Bar;
    TRect LowLabel;
    TRect HighLabel;
    TRect Bounds; // the union of the three
};

// Where everything of the parallel coordinates goes: the margins, the plot
// rectangle the axes span, each axis's x, the value range each axis shows,
// and the screen geometry of the axes' rectangles and the slider bars.
// Plain values: the plot's objects draw what it says.
class TParallelCoordinatesLayout {
public:
    // The smallest range over the visible dimensions' lower bounds and the
    // largest upper bound: the range of every axis under full scale.
    void CalcGlobalRange(const TData& Data);
    // PlotRect inside the margins of an editor of the given size, and the
    // axes spread over its width (integer spacing, first axis on the left
    // edge, last on the right); then every axis's value range.
    void CalcAxisPositions(const TData& Data, int EditorWidth, int EditorHeight);

    int AxisCount() const { return int(AxisX.size()); }
    // The absolute x of the axis at visible position i.
    int AxisPos(int i) const { return PlotRect.Left + AxisX[size_t(i)]; }
    // The value at the bottom (Lo) and the span (Range) of the axis at
    // visible position i.
    double AxisLo(int i) const { return FAxisLo[size_t(i)]; }
    double AxisRange(int i) const { return FAxisRange[size_t(i)]; }
    // The value at the top.
    double AxisHi(int i) const { return FAxisHi[size_t(i)]; }

    // The vertices of a data item over the visible axes. On an axis with a
    // zero range, or for a value that maps to no number, the vertex has no
    // y (NaN). False when any vertex has none.
    bool CalcVertices(const TData& Data, int Point, std::vector<TVertexF>& Vertices) const;

    // How far from another axis a dropped axis still lands on it, and the
    // width of a name box: both from the axis spacing.
    int SnapDistance() const;
    int NameBoxWidth() const;
    // The rectangles of an axis at x with the given label and name sizes:
    // the name's is its room, the labels' stand where TextLeft puts them.
    TAxisRects AxisRects(int X, TSize UpperLabel, TSize LowerLabel, TSize NameBox) const;
    // Where the texts of the axis at x may go across: the name box, BoxWidth
    // wide and centred on the axis, as far as it lies inside the editor.
    TTextRoom TextRoom(int X, int BoxWidth) const;
    // The left edge of a text TextWidth wide in that room: centred on the
    // axis, moved in only as far as the room's edge needs; at the room's
    // left edge when the text is wider than the room.
    int TextLeft(int X, int BoxWidth, int TextWidth) const;
    // The visible position of the first axis within Snap of x, or -1.
    int AxisNear(int X, int Snap) const;

    // Slider bar ends for the values on the axis at visible position i;
    // False (the slider must park) for values that are no number or a
    // range that maps nowhere.
    bool ValuesToEnds(int i, double Low, double High, TSliderEnds& Ends) const;
    // The values at the bar's ends; False when they are no numbers.
    bool EndsToValues(int i, const TSliderEnds& Ends, double& Low, double& High) const;
    // The parking place below the axes.
    TSliderEnds ParkedEnds() const;
    // Both ends lie below the axis bottom.
    bool IsParked(const TSliderEnds& Ends) const;
    // The bar moved by DY pixels from its rounded ends, pushed back down
    // so that its upper end stays at or below the axis top.
    TSliderEnds MovedEnds(const TSliderEnds& Ends, int DY) const;
    // The lower end moved by DH pixels from its rounded place, the upper
    // end kept. Above the upper end the two change roles: the bar then runs
    // from there, but not above the axis top, down to the former upper end.
    TSliderEnds ResizedEnds(const TSliderEnds& Ends, int DH) const;
    // The bar at x and the label boxes above and below it, each Padding
    // wider than its text on every side.
    TSliderRects SliderRects(int X, const TSliderEnds& Ends, TSize LowLabel, TSize HighLabel, int Padding) const;

    // The editor's smallest size: the margins and one pixel.
    TSize MinEditorSize() const;

    // ---- settings ----
    TColor SelectionColor = 0x80FFFF;
    int HaloStep = 3;
    TRect Margins{35, 50, 35, 60}; // left, top, right, bottom
    int MidTickLength = 2;
    int EndTickHalfWidth = 1;
    int AxisHitHalfWidth = 4;
    int NameBoxHeight = 30;
    int ParkedSliderLength = 30;
    int SliderHalfWidth = 8;
    int ParkOffset = 11;

    // ---- state ----
    bool FullScale = false;
    double CommonLow = 0;
    double CommonHigh = 0;
    TRect PlotRect;
    int EditorWidth = 0;
    // Per visible dimension: the axis's x from PlotRect.Left.
    std::vector<int> AxisX;

private:
    std::vector<double> FAxisLo;
    std::vector<double> FAxisRange;
    std::vector<double> FAxisHi;
};

// Whether the stroke from A to B crosses the polyline through the vertices:
// segments that lie wholly beside the stroke are skipped, the others are
// tested for a proper crossing or a collinear overlap.
bool PolylineCrossesStroke(std::span<const TPoint> Vertices, const TPoint& A, const TPoint& B);
