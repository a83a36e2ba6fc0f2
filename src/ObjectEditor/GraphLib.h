#pragma once

#include "platform/Canvas.h"
#include "platform/Geometry.h"

#include <QString>

#include <climits>
#include <cstdint>
#include <vector>

// ---- Dash-pattern lines --------------------------------------------------------

// A dash pattern, owned by the caller and updated in place, so that lines
// drawn one after another with the same array continue the dash phase, also
// around corners: [0] the number of segment lengths, [1] the index of the
// current segment (3 .. count + 2; odd: pen down, even: pen up), [2] the
// pixels still to go in it, then the lengths, alternately drawn and skipped.
using TDashPattern = std::vector<int32_t>;
constexpr int dpSegCount = 0;
constexpr int dpSegIndex = 1;
constexpr int dpRemaining = 2;
constexpr int dpFirstLength = 3;

// The rubber band's pattern: four pixels drawn, four skipped, beginning with
// a drawn run at the first pixel.
inline TDashPattern RubberBandPattern() { return {2, 3, 4, 4, 4}; }

// What the per-pixel step works on: a copy of the pattern, for one line.
struct TDrawProcContainer {
    TDashPattern Pattern;
};

using TLinePixelStep = void (*)(TDrawProcContainer& Container, TCanvas& Canvas, int X, int Y);

// Draws the dashed line from (X1, Y1) to (X2, Y2) with the canvas's pen, in
// device pixels whatever the canvas's mapping.
void DrawPatternLine(TCanvas& Canvas, int X1, int Y1, int X2, int Y2, TDashPattern& Pattern);
// Visits every pixel of the line in order, both ends included (Bresenham).
void WalkLine(TCanvas& Canvas, int X1, int Y1, int X2, int Y2, TDrawProcContainer& Container,
              TLinePixelStep Step);
// The dash line's step at one pixel.
void DashPixelProc(TDrawProcContainer& Container, TCanvas& Canvas, int X, int Y);

// ---- Value axes -------------------------------------------------------------------

// A horizontal value axis at height Y from X1 to X2, labelled from Lo at X1 to
// Hi at X2, with end ticks and as many inner ticks and labels as fit. The
// labels are laid out for text that runs upward (a font turned by 90
// degrees): their height lies along the axis. A label reaches at most
// LabelRoom pixels across the axis from its tick; a longer one shows as
// much as fits followed by "...".
void DrawHorizontalAxis(TCanvas& Canvas, int Y, int X1, int X2, bool LabelsBelow, double Lo, double Hi,
                        const TPen& Pen, const TFont& Font, const TBrush& Brush, int Gap,
                        int LabelRoom = INT_MAX);
// The same along a vertical line at X from Y1 (Lo) to Y2 (Hi), for upright text.
void DrawVerticalAxis(TCanvas& Canvas, int X, int Y1, int Y2, bool LabelsRight, double Lo, double Hi,
                      const TPen& Pen, const TFont& Font, const TBrush& Brush, int Gap, int LabelRoom = INT_MAX);

// Value in fixed notation with two decimals and the user's decimal
// separator, without digit grouping.
QString FloatLabelText(double Value);
// That text (in Text) and its extent on the canvas.
TSize FloatLabelExtent(TCanvas& Canvas, double Value, QString& Text);
// A label as it fits Room across: Text itself, or as much as fits followed
// by "...", so that a cut number never reads as another one. Width is the
// label's width, on return that of the text returned.
QString FitAxisLabel(const TCanvas& Canvas, const QString& Text, int& Width, int Room);
// The label at (X, Y), or clipped to Box where not even "..." fits its
// room (Clipped).
void DrawAxisLabel(TCanvas& Canvas, bool Clipped, const TRect& Box, int X, int Y, const QString& Text);

// ---- Points ---------------------------------------------------------------------------

// Each coordinate rounded to the nearest integer, halves to even.
TPoint RoundPoint(float X, float Y);
TPoint MakePoint(int X, int Y);
