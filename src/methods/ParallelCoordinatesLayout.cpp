#include "methods/ParallelCoordinatesLayout.h"

#include "QuorData/QuorData.h"
#include "QuorData/Utility.h"
#include "methods/ScatterplotLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

TRect Union(const TRect& A, const TRect& B)
{
    return Rect(std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                std::max(A.Bottom, B.Bottom));
}

} // namespace

void TParallelCoordinatesLayout::CalcGlobalRange(const TData& Data)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < Data.VisibleDimCount(); ++i) {
        const int d = Data.GetVisibleDim(i);
        high = std::max(high, Data.GetUBound(d));
        low = std::min(low, Data.GetLBound(d));
    }
    CommonLow = low;
    CommonHigh = high;
}

void TParallelCoordinatesLayout::CalcAxisPositions(const TData& Data, int AEditorWidth, int EditorHeight)
{
    PlotRect = InnerRect(AEditorWidth, EditorHeight, Margins);
    EditorWidth = AEditorWidth;
    const int count = Data.VisibleDimCount();
    AxisX.assign(size_t(count), 0);
    FAxisLo.assign(size_t(count), 0);
    FAxisRange.assign(size_t(count), 0);
    FAxisHi.assign(size_t(count), 0);
    const int n = count - 1;
    const int w = PlotRect.Right - PlotRect.Left;
    for (int i = 0; i <= n && n > 0; ++i)
        AxisX[size_t(i)] = int(int64_t(w) * i / n);
    for (int i = 0; i < count; ++i) {
        const int d = Data.GetVisibleDim(i);
        const double lo = FullScale ? CommonLow : Data.GetLBound(d);
        const double hi = FullScale ? CommonHigh : Data.GetUBound(d);
        FAxisLo[size_t(i)] = lo;
        FAxisRange[size_t(i)] = hi - lo;
        FAxisHi[size_t(i)] = hi;
    }
}

bool TParallelCoordinatesLayout::CalcVertices(const TData& Data, int Point, std::vector<TVertexF>& Vertices) const
{
    const int count = AxisCount();
    Vertices.resize(size_t(count));
    const double h = PlotRect.Bottom - PlotRect.Top;
    bool placed = true;
    for (int j = 0; j < count; ++j) {
        const double range = AxisRange(j);
        const double y = PlotRect.Bottom - (Data.GetValue(Point, Data.GetVisibleDim(j)) - AxisLo(j)) / range * h;
        const bool here = range != 0 && std::isfinite(float(y));
        Vertices[size_t(j)] = TVertexF{float(AxisPos(j)), here ? float(y) : std::numeric_limits<float>::quiet_NaN()};
        placed = placed && here;
    }
    return placed;
}

int TParallelCoordinatesLayout::SnapDistance() const
{
    return std::min(NameBoxWidth(), 2 * AxisHitHalfWidth);
}

int TParallelCoordinatesLayout::NameBoxWidth() const
{
    return AxisX.size() < 2 ? 0 : AxisX[1] - AxisX[0] - 1;
}

TAxisRects TParallelCoordinatesLayout::AxisRects(int X, TSize UpperLabel, TSize LowerLabel, TSize NameBox) const
{
    const int t = PlotRect.Top;
    const int b = PlotRect.Bottom;
    const int h = AxisHitHalfWidth;
    // A label's rectangle goes where its text is drawn.
    auto labelLeft = [&](TSize Label) { return TextLeft(X, NameBox.cx, Label.cx); };
    auto labelRight = [&](TSize Label) { return labelLeft(Label) + Label.cx / 2 * 2 + 1; };
    const TTextRoom room = TextRoom(X, NameBox.cx);
    TAxisRects r;
    r.Line = Rect(X - h, t, X + h + 1, b + 1);
    r.UpperLabel = Rect(labelLeft(UpperLabel), t - UpperLabel.cy, labelRight(UpperLabel), t + 1);
    r.LowerLabel = Rect(labelLeft(LowerLabel), b, labelRight(LowerLabel), b + LowerLabel.cy + 1);
    r.Name = Rect(room.Left, t - UpperLabel.cy - NameBox.cy, room.Right, t - UpperLabel.cy + 1);
    r.Bounds = Union(Union(r.Line, r.UpperLabel), Union(r.LowerLabel, r.Name));
    return r;
}

TTextRoom TParallelCoordinatesLayout::TextRoom(int X, int BoxWidth) const
{
    return TTextRoom{std::max(0, X - BoxWidth / 2), std::min(EditorWidth, X + BoxWidth / 2 + 1)};
}

int TParallelCoordinatesLayout::TextLeft(int X, int BoxWidth, int TextWidth) const
{
    const TTextRoom room = TextRoom(X, BoxWidth);
    return std::max(room.Left, std::min(X - TextWidth / 2, room.Right - TextWidth));
}

int TParallelCoordinatesLayout::AxisNear(int X, int Snap) const
{
    for (int i = 0; i < AxisCount(); ++i)
        if (std::abs(AxisPos(i) - X) <= Snap)
            return i;
    return -1;
}

bool TParallelCoordinatesLayout::ValuesToEnds(int i, double Low, double High, TSliderEnds& Ends) const
{
    if (std::isnan(Low) || std::isnan(High))
        return false;
    const double t = PlotRect.Top;
    const double b = PlotRect.Bottom;
    const double lo = AxisLo(i);
    const double range = AxisRange(i);
    const TSliderEnds ends{(Low - lo) / range * (t - b) + b, (High - lo) / range * (t - b) + b};
    if (range == 0 || !std::isfinite(ends.LowY) || !std::isfinite(ends.HighY))
        return false;
    Ends = ends;
    return true;
}

bool TParallelCoordinatesLayout::EndsToValues(int i, const TSliderEnds& Ends, double& Low, double& High) const
{
    const double t = PlotRect.Top;
    const double b = PlotRect.Bottom;
    const double low = (Ends.LowY - b) / (t - b) * AxisRange(i) + AxisLo(i);
    const double high = (Ends.HighY - b) / (t - b) * AxisRange(i) + AxisLo(i);
    if (t == b || !std::isfinite(low) || !std::isfinite(high))
        return false;
    Low = low;
    High = high;
    return true;
}

TSliderEnds TParallelCoordinatesLayout::ParkedEnds() const
{
    const double high = PlotRect.Bottom + ParkOffset;
    return TSliderEnds{high + ParkedSliderLength, high};
}

bool TParallelCoordinatesLayout::IsParked(const TSliderEnds& Ends) const
{
    return PlotRect.Bottom < Ends.LowY && PlotRect.Bottom < Ends.HighY;
}

TSliderEnds TParallelCoordinatesLayout::MovedEnds(const TSliderEnds& Ends, int DY) const
{
    TSliderEnds moved{double(RoundToPixel(Ends.LowY) + DY), double(RoundToPixel(Ends.HighY) + DY)};
    if (moved.HighY < PlotRect.Top) {
        moved.LowY += PlotRect.Top - moved.HighY;
        moved.HighY = PlotRect.Top;
    }
    return moved;
}

TSliderEnds TParallelCoordinatesLayout::ResizedEnds(const TSliderEnds& Ends, int DH) const
{
    const int low = RoundToPixel(Ends.LowY);
    const int high = RoundToPixel(Ends.HighY);
    const int moved = low + DH;
    if (moved < high)
        return TSliderEnds{double(high), double(std::max(moved, PlotRect.Top))};
    return TSliderEnds{double(moved), Ends.HighY};
}

TSliderRects TParallelCoordinatesLayout::SliderRects(int X, const TSliderEnds& Ends, TSize LowLabel,
                                                     TSize HighLabel, int Padding) const
{
    const int p = Padding;
    const int high = RoundToPixel(Ends.HighY);
    const int low = RoundToPixel(Ends.LowY);
    TSliderRects r;
    r.Bar = Rect(X - SliderHalfWidth, high, X + SliderHalfWidth, low);
    r.HighLabel = Rect(X - HighLabel.cx / 2 - p, high - HighLabel.cy - 2 * p, X + HighLabel.cx / 2 + p, high);
    r.LowLabel = Rect(X - LowLabel.cx / 2 - p, low, X + LowLabel.cx / 2 + p, low + LowLabel.cy + 2 * p);
    r.Bounds = Union(Union(r.Bar, r.HighLabel), r.LowLabel);
    return r;
}

TSize TParallelCoordinatesLayout::MinEditorSize() const
{
    return TSize{Margins.Left + Margins.Right + 1, Margins.Top + Margins.Bottom + 1};
}

bool PolylineCrossesStroke(std::span<const TPoint> Vertices, const TPoint& A, const TPoint& B)
{
    for (size_t k = 1; k < Vertices.size(); ++k) {
        const TPoint& p = Vertices[k - 1];
        const TPoint& q = Vertices[k];
        if (!InRangeUnordered(p.x, A.x, B.x) && !InRangeUnordered(q.x, A.x, B.x) && !InRangeUnordered(A.x, p.x, q.x))
            continue;
        if (SegmentsIntersect(p, q, A, B) > 0)
            return true;
    }
    return false;
}
