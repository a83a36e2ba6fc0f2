#include "platform/Canvas.h"

#include "platform/Parallel.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPicture>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <utility>

// ---- Tools -------------------------------------------------------------------

void TBrush::SetColor(TColor value)
{
    FColor = value;
    FStyle = TBrushStyle::bsSolid;
}

void TBrush::SetBitmap(const QImage& value)
{
    FBitmap = value.convertToFormat(QImage::Format_RGB32);
    FStyle = TBrushStyle::bsPattern;
}

TFont::TFont(const QString& name, int height, TColor color)
    : FName(name), FHeight(height), FColor(color)
{
}

TFont::TFont(const TFont& Other)
    : FName(Other.FName), FHeight(Other.FHeight), FColor(Other.FColor), FEscapement(Other.FEscapement),
      FBold(Other.FBold), FPixelSize(Other.FPixelSize.load(std::memory_order_relaxed))
{
}

TFont& TFont::operator=(const TFont& Other)
{
    FName = Other.FName;
    FHeight = Other.FHeight;
    FColor = Other.FColor;
    FEscapement = Other.FEscapement;
    FBold = Other.FBold;
    FPixelSize.store(Other.FPixelSize.load(std::memory_order_relaxed), std::memory_order_relaxed);
    return *this;
}

void TFont::SetName(const QString& value)
{
    FName = value;
    FPixelSize = 0;
}

void TFont::SetHeight(int value)
{
    FHeight = value;
    FPixelSize = 0;
}

void TFont::SetBold(bool value)
{
    FBold = value;
    FPixelSize = 0;
}

QFont TFont::QtFont() const
{
    QFont font(FName);
    font.setBold(FBold);
    int size = FPixelSize.load(std::memory_order_relaxed);
    if (size == 0) {
        // A face's line height exceeds its pixel size; take the largest size
        // whose ascent and descent fit the height asked for.
        const int target = std::max(1, FHeight);
        for (size = target; size > 1; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).height() <= target)
                break;
        }
        FPixelSize.store(size, std::memory_order_relaxed);
    }
    font.setPixelSize(size);
    return font;
}

// ---- Pixel bounds ----------------------------------------------------------------

// The smallest rectangle around pixels added rectangle by rectangle (both
// corners inside). Figures are made of thousands of pieces: the bounds grow
// by plain comparisons rather than by normalized unions.
class TPixelBounds {
public:
    void Add(int Left, int Top, int Right, int Bottom)
    {
        FLeft = std::min(FLeft, Left);
        FTop = std::min(FTop, Top);
        FRight = std::max(FRight, Right);
        FBottom = std::max(FBottom, Bottom);
    }
    void Add(const QRect& R) { Add(R.left(), R.top(), R.right(), R.bottom()); }
    bool Empty() const { return FLeft > FRight; }
    QRect Rect() const { return Empty() ? QRect() : QRect(QPoint(FLeft, FTop), QPoint(FRight, FBottom)); }

private:
    int FLeft = INT_MAX;
    int FTop = INT_MAX;
    int FRight = INT_MIN;
    int FBottom = INT_MIN;
};

namespace {

// The region of rectangles that may overlap and run in any direction (a
// line's vertical runs, crossing edges). QRegion::setRects takes only
// rectangles banded by rows and sorted, which these are made into: rows one
// pixel high, sorted, overlapping and touching runs joined.
QRegion RegionOfRects(const std::vector<QRect>& Rects)
{
    std::vector<QRect> rows;
    for (const QRect& r : Rects)
        for (int y = r.top(); y <= r.bottom(); ++y)
            rows.emplace_back(r.left(), y, r.width(), 1);
    std::sort(rows.begin(), rows.end(), [](const QRect& a, const QRect& b) {
        return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
    });
    std::vector<QRect> banded;
    for (const QRect& r : rows) {
        if (!banded.empty() && banded.back().y() == r.y() && r.left() <= banded.back().right() + 1)
            banded.back().setRight(std::max(banded.back().right(), r.right()));
        else
            banded.push_back(r);
    }
    QRegion region;
    region.setRects(banded.data(), int(banded.size()));
    return region;
}

} // namespace

// ---- Spans -------------------------------------------------------------------

// The pixels of a figure as rectangles of device pixels that do not overlap.
// Pixels added one by one along a line are merged into horizontal or
// vertical runs.
class TCanvas::TSpans {
public:
    void Add(int x, int y, int w, int h)
    {
        if (w <= 0 || h <= 0)
            return;
        Close();
        Push(QRect(x, y, w, h));
    }

    void AddPixel(int x, int y)
    {
        if (FOpen) {
            if (FRun.height() == 1 && y == FRun.y()) {
                if (x == FRun.x() + FRun.width()) {
                    FRun.setWidth(FRun.width() + 1);
                    return;
                }
                if (x == FRun.x() - 1) {
                    FRun.setLeft(x);
                    return;
                }
            }
            if (FRun.width() == 1 && x == FRun.x()) {
                if (y == FRun.y() + FRun.height()) {
                    FRun.setHeight(FRun.height() + 1);
                    return;
                }
                if (y == FRun.y() - 1) {
                    FRun.setTop(y);
                    return;
                }
            }
            Close();
        }
        FRun = QRect(x, y, 1, 1);
        FOpen = true;
    }

    void Close()
    {
        if (FOpen) {
            Push(FRun);
            FOpen = false;
        }
    }

    const std::vector<QRect>& Rects() const { return FRects; }
    QRect Bounds() const { return FBounds.Rect(); }
    bool Empty() const { return FRects.empty() && !FOpen; }
    // Empties the spans, keeping their storage for the next figure.
    void Clear()
    {
        FRects.clear();
        FBounds = {};
        FOpen = false;
    }

private:
    void Push(const QRect& r)
    {
        FBounds.Add(r);
        FRects.push_back(r);
    }

    std::vector<QRect> FRects;
    TPixelBounds FBounds;
    QRect FRun;
    bool FOpen = false;
};

namespace {

QPainter::CompositionMode CompositionFor(TPenMode mode)
{
    switch (mode) {
    case TPenMode::pmXor:
        return QPainter::RasterOp_SourceXorDestination;
    case TPenMode::pmMask:
        return QPainter::RasterOp_SourceAndDestination;
    case TPenMode::pmMerge:
        return QPainter::RasterOp_SourceOrDestination;
    case TPenMode::pmCopy:
        break;
    }
    return QPainter::CompositionMode_Source;
}

int MapCoord(int value, int fromOrg, int fromExt, int toOrg, int toExt)
{
    if (fromExt == toExt || fromExt == 0)
        return value - fromOrg + toOrg;
    const double scaled = double(value - fromOrg) * double(toExt) / double(fromExt);
    return int(std::lround(scaled)) + toOrg;
}

const QString& Ellipsis()
{
    static const QString text = QStringLiteral("...");
    return text;
}

// A prefix length that does not part a surrogate pair.
qsizetype WholeChars(QStringView text, qsizetype length)
{
    return length > 0 && length < text.size() && text[length - 1].isHighSurrogate() ? length - 1 : length;
}

int Advance(QStringView text, const QFontMetrics& fm)
{
    return fm.horizontalAdvance(text.toString());
}

// The length of a prefix of the text that is wider than width, or -1 when
// the whole text fits. Prefixes of doubling length are measured, so a long
// text costs about twice what fits, not what it holds.
qsizetype TooWideLength(QStringView text, int width, const QFontMetrics& fm)
{
    for (qsizetype probe = 64; probe < text.size(); probe *= 2) {
        const qsizetype length = WholeChars(text, probe);
        if (Advance(text.left(length), fm) > width)
            return length;
    }
    return Advance(text, fm) > width ? text.size() : -1;
}

bool FitsWidth(QStringView text, int width, const QFontMetrics& fm)
{
    return TooWideLength(text, width, fm) < 0;
}

// Cuts the text from its end until it fits with "..." appended (the cut
// trimmed of blanks unless Trim is off): the longest such prefix, found by
// halving between nothing and a prefix too wide.
QString Elide(QStringView text, int width, const QFontMetrics& fm, bool Trim = true)
{
    const qsizetype tooWide = TooWideLength(text, width, fm);
    if (tooWide < 0)
        return text.toString();
    auto cut = [&](qsizetype length) {
        const QStringView kept = text.left(WholeChars(text, length));
        return (Trim ? kept.trimmed() : kept).toString() + Ellipsis();
    };
    qsizetype low = 0;
    qsizetype high = tooWide;
    while (high - low > 1) {
        const qsizetype middle = low + (high - low) / 2;
        if (fm.horizontalAdvance(cut(middle)) <= width)
            low = middle;
        else
            high = middle;
    }
    return cut(low);
}

// Rounding for values already clamped to the device's range: truncation
// of a value made positive, without the comparisons and library calls of
// std::floor and std::ceil.
constexpr double kRoundingOffset = 1 << 24;

int FloorToInt(double v)
{
    return int(v + kRoundingOffset) - int(kRoundingOffset);
}

int CeilToInt(double v)
{
    return int(kRoundingOffset) - int(kRoundingOffset - v);
}

// Sets Count > 0 pixels from Run on. The runs of wide strokes are a few
// pixels long and vary row by row, which a plain loop pays for in
// mispredicted exits: up to sixteen pixels take two or four blocks of four
// that may overlap.
inline void FillRun(QRgb* Run, int Count, QRgb Pixel)
{
    auto block = [Pixel](QRgb* at) {
        at[0] = Pixel;
        at[1] = Pixel;
        at[2] = Pixel;
        at[3] = Pixel;
    };
    if (Count < 4) {
        Run[0] = Pixel;
        Run[Count / 2] = Pixel;
        Run[Count - 1] = Pixel;
    } else if (Count <= 8) {
        block(Run);
        block(Run + Count - 4);
    } else if (Count <= 16) {
        // The widest halos, and slanted strokes a little narrower.
        block(Run);
        block(Run + 4);
        block(Run + Count - 8);
        block(Run + Count - 4);
    } else {
        std::fill(Run, Run + Count, Pixel);
    }
}

// Sets the pixels of WalkLinePixels' walk from A to B, its end left out,
// straight into the scanlines. The walk's minor offset after i steps is
// floor((2 minor i + major) / (2 major)); taken here in 32.32 fixed point
// with the slope rounded up, which is exact for lines shorter than
// kExactWalk, so that no pixel waits for the error term of the one before.
constexpr int kExactWalk = 46000;
// 2^32 / major rounded up, for majors below 128. A slope of minor times
// this is rounded up by less than a step's 2^32 / (2 major) margin there,
// so it gives the same pixels as the exact slope.
constexpr std::array<uint64_t, 128> kSlopeUnits = [] {
    std::array<uint64_t, 128> units{};
    for (size_t major = 1; major < units.size(); ++major)
        units[major] = ((uint64_t(1) << 32) + major - 1) / major;
    return units;
}();

// The walk's slope minor / major in 32.32 fixed point, rounded up.
inline uint64_t WalkSlope(int Minor, int Major)
{
    // Short pieces, a curve's, take it from the table: a division would
    // cost more than the piece.
    if (Major < int(kSlopeUnits.size()))
        return uint64_t(Minor) * kSlopeUnits[size_t(Major)];
    return ((uint64_t(Minor) << 32) + uint64_t(Major) - 1) / uint64_t(Major);
}

constexpr int kFarPixels = 1 << 24;

[[gnu::always_inline]] inline void WalkLineInto(uchar* Bits, qsizetype Stride, const TPoint& A, const TPoint& B,
                                                QRgb Pixel)
{
    const int dx = std::abs(B.x - A.x);
    const int dy = std::abs(B.y - A.y);
    const qsizetype stepX = B.x < A.x ? -qsizetype(sizeof(QRgb)) : qsizetype(sizeof(QRgb));
    const qsizetype stepY = B.y < A.y ? -Stride : Stride;
    const bool xMajor = dx >= dy;
    const int major = xMajor ? dx : dy;
    const int minor = xMajor ? dy : dx;
    const qsizetype majorStep = xMajor ? stepX : stepY;
    const qsizetype minorStep = xMajor ? stepY : stepX;
    if (major == 0)
        return;
    uchar* const start = Bits + A.y * Stride + A.x * qsizetype(sizeof(QRgb));
    const uint64_t slope = WalkSlope(minor, major);
    for (int i = 0; i < major; ++i) {
        const auto offset = qsizetype((uint64_t(i) * slope + (uint64_t(1) << 31)) >> 32);
        *reinterpret_cast<QRgb*>(start + i * majorStep + offset * minorStep) = Pixel;
    }
}

// WalkLineInto's steps First to Last only, for a line shorter than
// kExactWalk whose pixels at those steps lie in the image: the same
// pixels as WalkLinePixelsIn's for the clip that gave the steps.
void WalkLineStepsInto(uchar* Bits, qsizetype Stride, const TPoint& A, const TPoint& B, int First, int Last,
                       QRgb Pixel)
{
    const int dx = std::abs(B.x - A.x);
    const int dy = std::abs(B.y - A.y);
    const int sx = B.x < A.x ? -1 : 1;
    const int sy = B.y < A.y ? -1 : 1;
    const bool xMajor = dx >= dy;
    const int major = xMajor ? dx : dy;
    const int minor = xMajor ? dy : dx;
    if (major == 0)
        return;
    const uint64_t slope = WalkSlope(minor, major);
    const auto offsetAt = [slope](int i) { return int((uint64_t(i) * slope + (uint64_t(1) << 31)) >> 32); };
    // Addressed from the first pixel set, which lies in the image.
    const int firstOffset = offsetAt(First);
    const int x0 = A.x + (xMajor ? First : firstOffset) * sx;
    const int y0 = A.y + (xMajor ? firstOffset : First) * sy;
    uchar* const first = Bits + qsizetype(y0) * Stride + qsizetype(x0) * qsizetype(sizeof(QRgb));
    const qsizetype stepX = sx * qsizetype(sizeof(QRgb));
    const qsizetype stepY = sy * Stride;
    const qsizetype majorStep = xMajor ? stepX : stepY;
    const qsizetype minorStep = xMajor ? stepY : stepX;
    for (int i = First; i <= Last; ++i)
        *reinterpret_cast<QRgb*>(first + qsizetype(i - First) * majorStep
                                 + qsizetype(offsetAt(i) - firstOffset) * minorStep) = Pixel;
}

// Where a wide stroke runs through a point: the pixel centre as the
// one-pixel lines run, nudged right and down by a sixty-fourth, so that a
// rim falling on pixel centres takes the pixels below and to the right, as
// Qt's aliased fill does: even widths then put their extra pixel on the same
// side.
QPointF StrokeCentre(const TPoint& P)
{
    return {P.x + 0.5 + 1.0 / 64, P.y + 0.5 + 1.0 / 64};
}

// A closed box of device coordinates.
struct TBox {
    double Left;
    double Top;
    double Right;
    double Bottom;
    bool Contains(const QPointF& P) const
    {
        return Left <= P.x() && P.x() <= Right && Top <= P.y() && P.y() <= Bottom;
    }
    QPointF Clamped(const QPointF& P) const
    {
        return {std::clamp(P.x(), Left, Right), std::clamp(P.y(), Top, Bottom)};
    }
};

// Cuts the segment from A to B to the box (Liang-Barsky); an end inside
// stays exactly as it was. False when nothing of it lies inside.
bool ClipSegment(const TBox& Box, QPointF& A, QPointF& B)
{
    const QPointF a = A;
    const QPointF d = B - A;
    double t0 = 0;
    double t1 = 1;
    // The part where P * t <= Q.
    auto keep = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double t = q / p;
        if (p < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!keep(-d.x(), a.x() - Box.Left) || !keep(d.x(), Box.Right - a.x()) || !keep(-d.y(), a.y() - Box.Top)
        || !keep(d.y(), Box.Bottom - a.y()))
        return false;
    if (t0 > 0)
        A = Box.Clamped(a + t0 * d);
    if (t1 < 1)
        B = Box.Clamped(a + t1 * d);
    return true;
}

// Appends the way from From to To, both on the box's edge, along the edge
// clockwise, To included.
void RouteAlongEdge(const TBox& Box, const QPointF& From, const QPointF& To, QPolygonF& Out)
{
    const double w = Box.Right - Box.Left;
    const double h = Box.Bottom - Box.Top;
    const double perimeter = 2 * (w + h);
    // Distance along the edge clockwise from the top-left corner, taken on
    // the side the point lies nearest to.
    auto along = [&](const QPointF& p) {
        const double distances[] = {std::abs(p.y() - Box.Top), std::abs(p.x() - Box.Right),
                                    std::abs(p.y() - Box.Bottom), std::abs(p.x() - Box.Left)};
        switch (std::min_element(std::begin(distances), std::end(distances)) - std::begin(distances)) {
        case 0:
            return p.x() - Box.Left;
        case 1:
            return w + p.y() - Box.Top;
        case 2:
            return w + h + Box.Right - p.x();
        default:
            return 2 * w + h + Box.Bottom - p.y();
        }
    };
    const double from = along(From);
    double to = along(To);
    if (to < from)
        to += perimeter;
    const std::pair<double, QPointF> corners[] = {{w, {Box.Right, Box.Top}},
                                                  {w + h, {Box.Right, Box.Bottom}},
                                                  {2 * w + h, {Box.Left, Box.Bottom}},
                                                  {perimeter, {Box.Left, Box.Top}}};
    for (int lap = 0; lap < 2; ++lap)
        for (const auto& [at, corner] : corners)
            if (at + lap * perimeter > from && at + lap * perimeter < to)
                Out.append(corner);
    Out.append(To);
}

// The polyline (or polygon) cut to the box: inside it the same segments,
// and where it leaves the box a detour along the box's edge to where it
// comes back, so that the figure stays one figure and a stroke narrower
// than the box's margin shows the same pixels inside it.
QPolygonF CutToBox(const QPolygonF& Points, const TBox& Box, bool Closed)
{
    QPolygonF out;
    const qsizetype n = Points.size();
    const qsizetype segments = Closed && n > 2 ? n : n - 1;
    for (qsizetype i = 0; i < segments; ++i) {
        QPointF a = Points[i];
        QPointF b = Points[(i + 1) % n];
        if (!ClipSegment(Box, a, b))
            continue;
        if (out.isEmpty())
            out.append(a);
        else if (out.back() != a)
            RouteAlongEdge(Box, out.back(), a, out);
        out.append(b);
    }
    if (Closed && out.size() > 1) {
        if (out.back() != out.front())
            RouteAlongEdge(Box, out.back(), out.front(), out);
        out.removeLast();
    }
    return out;
}

// Calls Span(y, left, right) for every scanline of Visible that the segment
// from A to B swept by a disk of Radius covers: the pixels whose centres lie
// within Radius of the segment. Such a capsule is convex, so each scanline
// holds one span, the union of the band along the segment and the two end
// disks. The disks are a twentieth of a pixel smaller: Qt draws round ends
// and joins as polygons inside their circles, and this comes closest to its
// pixels. The rows drawn are added to Bounds.
template <typename Span>
void CapsuleSpans(const QPointF& A, const QPointF& B, double Radius, const QRect& Visible, TPixelBounds& Bounds,
                  Span span)
{
    if (Visible.isEmpty())
        return;
    const double x0 = A.x();
    const double y0 = A.y();
    const double x1 = B.x();
    const double y1 = B.y();
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double length2 = dx * dx + dy * dy;
    const double endRadius = std::max(0.0, Radius - 1.0 / 20);
    const double endRadius2 = endRadius * endRadius;
    // Within Radius of the segment's line: x0 + v * acrossSlope -/+ acrossHalf
    // at row offset v (dy != 0).
    const double acrossSlope = dy != 0 ? dx / dy : 0;
    const double acrossHalf = dy != 0 ? std::abs(Radius * std::sqrt(length2) / dy) : 0;
    // Between the perpendiculars through the ends: x0 + v * alongSlope and
    // that plus alongWidth (dx != 0).
    const double alongSlope = dx != 0 ? -dy / dx : 0;
    const double alongWidth = dx != 0 ? length2 / dx : 0;

    // Row and column limits just outside Visible keep the conversions in
    // range.
    const double minY = Visible.top() - 1.0;
    const double maxY = Visible.bottom() + 1.0;
    const double top = std::clamp(std::min(y0, y1) - Radius - 0.5, minY, maxY);
    const double bottom = std::clamp(std::max(y0, y1) + Radius - 0.5, minY, maxY);
    const int firstRow = std::max(CeilToInt(top), Visible.top());
    const int lastRow = std::min(FloorToInt(bottom), Visible.bottom());
    if (firstRow > lastRow)
        return;
    // The extent of what is drawn is kept in locals that the pixel stores
    // cannot touch.
    const int visibleLeft = Visible.left();
    const int visibleRight = Visible.right();
    const double minX = visibleLeft - 1.0;
    const double maxX = visibleRight + 1.0;
    int drawnLeft = INT_MAX;
    int drawnRight = INT_MIN;
    int drawnTop = INT_MAX;
    int drawnBottom = INT_MIN;
    // The visible pixels whose centres lie in [Lo, Hi] + 0.5.
    auto fill = [&](int y, double lo, double hi) {
        const int left = std::max(CeilToInt(std::clamp(lo, minX, maxX)), visibleLeft);
        const int right = std::min(FloorToInt(std::clamp(hi, minX, maxX)), visibleRight);
        if (left > right)
            return;
        span(y, left, right);
        drawnLeft = std::min(drawnLeft, left);
        drawnRight = std::max(drawnRight, right);
        drawnTop = std::min(drawnTop, y);
        drawnBottom = y;
    };
    // A row near an end: the band cut by the perpendiculars through the
    // ends, joined with the end disks.
    auto nearEnd = [&](int y) {
        const double yc = y + 0.5;
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        for (const QPointF& end : {A, B}) {
            const double v = yc - end.y();
            const double q = endRadius2 - v * v;
            if (q >= 0) {
                const double h = std::sqrt(q);
                lo = std::min(lo, end.x() - h);
                hi = std::max(hi, end.x() + h);
            }
        }
        if (length2 > 0) {
            const double v = yc - y0;
            double from = -std::numeric_limits<double>::infinity();
            double to = -from;
            bool inside = true;
            if (dy != 0) {
                from = v * acrossSlope - acrossHalf;
                to = v * acrossSlope + acrossHalf;
            } else {
                inside = std::abs(v) <= Radius;
            }
            if (dx != 0) {
                const double a = v * alongSlope;
                from = std::max(from, std::min(a, a + alongWidth));
                to = std::min(to, std::max(a, a + alongWidth));
            } else {
                inside = inside && dy * v >= 0 && dy * v <= length2;
            }
            if (inside && from <= to) {
                lo = std::min(lo, x0 + from);
                hi = std::max(hi, x0 + to);
            }
        }
        if (lo <= hi)
            fill(y, lo - 0.5, hi - 0.5);
    };
    // Rows more than Radius from both ends' rows and between them meet
    // neither the disks nor the perpendiculars, only the band's long edges:
    // most rows of a steep segment, taken in a tight loop.
    int middleFirst = lastRow + 1;
    int middleLast = lastRow;
    if (dy != 0) {
        middleFirst = std::max(FloorToInt(std::clamp(std::min(y0, y1) + Radius - 0.5, top, bottom)) + 1, firstRow);
        middleLast = std::min(CeilToInt(std::clamp(std::max(y0, y1) - Radius - 0.5, top, bottom)) - 1, lastRow);
    }
    for (int y = firstRow; y < std::min(middleFirst, lastRow + 1); ++y)
        nearEnd(y);
    if (middleFirst <= middleLast) {
        const double base = x0 + (middleFirst + 0.5 - y0) * acrossSlope - 0.5;
        const int rows = middleLast - middleFirst + 1;
        if (std::min(x0, x1) - Radius > visibleLeft && std::max(x0, x1) + Radius < visibleRight) {
            // Wholly between the sides, as nearly every segment is: the
            // edges in 32.32 fixed point, far finer than a pixel over any
            // image's height, and no clamping.
            constexpr double one = 4294967296.0;
            const int64_t slope = std::llround(acrossSlope * one);
            const int64_t leftEdge = std::llround((base - acrossHalf) * one) + int64_t(one) - 1;
            const int64_t rightEdge = std::llround((base + acrossHalf) * one);
            for (int i = 0; i < rows; ++i)
                span(middleFirst + i, int((leftEdge + i * slope) >> 32), int((rightEdge + i * slope) >> 32));
            const int64_t last = int64_t(rows - 1) * slope;
            drawnLeft = std::min({drawnLeft, int(leftEdge >> 32), int((leftEdge + last) >> 32)});
            drawnRight = std::max({drawnRight, int(rightEdge >> 32), int((rightEdge + last) >> 32)});
            drawnTop = std::min(drawnTop, middleFirst);
            drawnBottom = middleLast;
        } else {
            for (int i = 0; i < rows; ++i) {
                const double centre = base + i * acrossSlope;
                fill(middleFirst + i, centre - acrossHalf, centre + acrossHalf);
            }
        }
    }
    for (int y = std::max(middleLast + 1, middleFirst); y <= lastRow; ++y)
        nearEnd(y);
    if (drawnLeft <= drawnRight)
        Bounds.Add(drawnLeft, drawnTop, drawnRight, drawnBottom);
}

// The spans of the capsules between two pixels at most kReach apart on
// each axis, as CapsuleSpans gives them, kept relative to the pixel the
// segment starts from. A curve's pieces are a few pixels long and come in
// few shapes: each shape is swept once and then moved where it is drawn,
// all coordinates being whole pixels plus the same fraction. The layers of
// a stroke take a few radii in turn, each with shapes of its own.
class TCapsuleShapes {
public:
    struct TSpan {
        int Row;
        int Left;
        int Right;
    };
    static constexpr int kReach = 16;

    // The spans from (0, 0) to (Dx, Dy) for Radius, both offsets within
    // kReach; swept the first time they are asked for.
    const std::vector<TSpan>& Find(double Radius, int Dx, int Dy)
    {
        TShape& shape = ShapesOf(Radius)[size_t((Dy + kReach) * kSide + Dx + kReach)];
        if (!shape.Known) {
            shape.Spans.clear();
            // Far wider than any shape, so that nothing of it is cut.
            constexpr int kRoom = 4 * kReach + 64;
            const QRect room(-kRoom, -kRoom, 2 * kRoom + 1, 2 * kRoom + 1);
            TPixelBounds bounds;
            CapsuleSpans(StrokeCentre({0, 0}), StrokeCentre({Dx, Dy}), Radius, room, bounds,
                         [&shape](int y, int left, int right) { shape.Spans.push_back({y, left, right}); });
            shape.Known = true;
        }
        return shape.Spans;
    }

private:
    static constexpr int kSide = 2 * kReach + 1;
    struct TShape {
        bool Known = false;
        std::vector<TSpan> Spans;
    };
    using TShapes = std::array<TShape, size_t(kSide) * kSide>;
    struct TRadius {
        double Radius = 0;
        std::unique_ptr<TShapes> Shapes;
    };

    TShapes& ShapesOf(double Radius)
    {
        for (TRadius& kept : FRadii)
            if (kept.Shapes && kept.Radius == Radius)
                return *kept.Shapes;
        // The radius kept longest makes room.
        TRadius& kept = FRadii[FNext];
        FNext = (FNext + 1) % FRadii.size();
        kept.Radius = Radius;
        kept.Shapes = std::make_unique<TShapes>();
        return *kept.Shapes;
    }

    std::array<TRadius, 4> FRadii;
    size_t FNext = 0;
};

} // namespace

// ---- Canvas: device ----------------------------------------------------------

TCanvas::TCanvas(QPaintDevice* Device, const QPoint& Origin)
{
    Attach(Device, Origin);
}

TCanvas::TCanvas(TCanvasRecording& Recording, const QSize& Size)
    : FRecording(&Recording), FRecordingSize(Size.expandedTo(QSize(0, 0)))
{
    // A recording stands for a picture of the screen: an image's resolution.
    const QImage probe(1, 1, QImage::Format_RGB32);
    FRecordingDpi = {probe.logicalDpiX(), probe.logicalDpiY()};
}

TCanvas::~TCanvas()
{
    Detach();
}

void TCanvas::Attach(QPaintDevice* Device, const QPoint& Origin)
{
    Detach();
    if (!Device)
        return;
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(Device))
        return;
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The painter works in device coordinates: clip regions, brush origins
    // and figures all move with the origin.
    if (!Origin.isNull())
        painter->setWorldTransform(QTransform::fromTranslate(-Origin.x(), -Origin.y()));
    FOrigin = Origin;
    FDevice = Device;
    FPainter = std::move(painter);
    ResetDeviceState();
}

void TCanvas::Detach()
{
    EndBatch();
    FRecording = nullptr;
    FRecordingSize = QSize();
    if (FPainter) {
        FPainter->end();
        FPainter.reset();
    }
    FDevice = nullptr;
    FOrigin = QPoint();
    ResetDeviceState();
}

void TCanvas::ResetDeviceState()
{
    FSaved.clear();
    FState.MapMode = TMapMode::mmText;
    FState.WindowOrg = {};
    FState.ViewportOrg = {};
    FState.WindowExt = {1, 1};
    FState.ViewportExt = {1, 1};
    FState.Clip.reset();
    ApplyClip();
}

int TCanvas::PixelsPerInchX() const
{
    return FDevice ? FDevice->logicalDpiX() : FRecording ? FRecordingDpi.x() : 96;
}

int TCanvas::PixelsPerInchY() const
{
    return FDevice ? FDevice->logicalDpiY() : FRecording ? FRecordingDpi.y() : 96;
}

TRect TCanvas::DeviceRect() const
{
    if (FRecording)
        return {0, 0, FRecordingSize.width(), FRecordingSize.height()};
    if (!FDevice)
        return {};
    return {FOrigin.x(), FOrigin.y(), FOrigin.x() + FDevice->width(), FOrigin.y() + FDevice->height()};
}

QRect TCanvas::DrawableRect() const
{
    QRect drawable = ToQRect(DeviceRect());
    // A device without a size of its own (a picture without a frame) still
    // ends somewhere far beyond any screen or page.
    if (drawable.isEmpty())
        drawable = QRect(-kFarPixels, -kFarPixels, 2 * kFarPixels, 2 * kFarPixels);
    if (FState.Clip)
        drawable &= FState.Clip->boundingRect();
    return drawable;
}

void TCanvas::Notify(const QRect& DeviceRect)
{
    if (FOnDraw && !DeviceRect.isEmpty())
        FOnDraw(DeviceRect);
}

// ---- Canvas: filling spans ------------------------------------------------------

void TCanvas::FillSpans(const TSpans& Spans, TColor Color, TPenMode Mode)
{
    if (!Ready() || Spans.Rects().empty())
        return;
    FlushBatch();
    if (FillImageDirectly(Spans.Rects(), Color, Mode)) {
        Notify(Spans.Bounds());
        return;
    }
    FPainter->setCompositionMode(CompositionFor(Mode));
    FPainter->setPen(Qt::NoPen);
    FPainter->setBrush(ToQColor(Color));
    FPainter->drawRects(Spans.Rects().data(), int(Spans.Rects().size()));
    Notify(Spans.Bounds());
}

void TCanvas::FillSpansWithBrush(const TSpans& Spans, TPenMode Mode)
{
    FillWithBrush(Spans.Rects(), Spans.Bounds(), Mode);
}

std::optional<TCanvas::TDirectImage> TCanvas::DirectImage() const
{
    if (!Ready() || FDevice->devType() != QInternal::Image || FPainter->opacity() != 1.0)
        return std::nullopt;
    // The shift by the origin alone, tested without building a transform:
    // curves ask for each of their strips.
    const QTransform& transform = FPainter->worldTransform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != -FOrigin.x()
        || transform.dy() != -FOrigin.y())
        return std::nullopt;
    auto* image = static_cast<QImage*>(FDevice);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32
        && format != QImage::Format_ARGB32_Premultiplied)
        return std::nullopt;
    TDirectImage target;
    target.Visible = image->rect().translated(FOrigin);
    if (FState.Clip) {
        if (FState.Clip->rectCount() > 1)
            return std::nullopt;
        target.Visible &= FState.Clip->boundingRect();
    }
    // The painter draws into the image's own buffer; writing through the
    // constant bits keeps to that buffer where bits() would detach a shared
    // image away from the painter.
    // Bits addresses device pixel (0, 0), which lies before the image's
    // buffer when the origin is not (0, 0): only the pixels of Visible are
    // ever written, and those lie in it.
    target.Stride = image->bytesPerLine();
    target.Format = format;
    const qsizetype lead = qsizetype(FOrigin.y()) * target.Stride + qsizetype(FOrigin.x()) * qsizetype(sizeof(QRgb));
    target.Bits = reinterpret_cast<uchar*>(reinterpret_cast<quintptr>(image->constBits()) - quintptr(lead));
    return target;
}

bool TCanvas::FillImageDirectly(std::span<const QRect> DeviceRects, TColor Color, TPenMode Mode)
{
    const std::optional<TDirectImage> target = DirectImage();
    // Qt combines with a straight-alpha image through a premultiplied copy.
    if (!target || (Mode != TPenMode::pmCopy && target->Format == QImage::Format_ARGB32))
        return false;
    const QRgb pixel = ToQColor(Color).rgb();
    // Exclusive-or and mask leave the ground's alpha as it is; merge makes it opaque.
    const QRgb colour = pixel & 0x00FFFFFFu;
    const auto fill = [&](auto Op) {
        for (const QRect& rect : DeviceRects) {
            const QRect r = rect & target->Visible;
            if (r.isEmpty())
                continue;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                QRgb* line = target->Line(y) + r.left();
                std::for_each(line, line + r.width(), Op);
            }
        }
    };
    switch (Mode) {
    case TPenMode::pmCopy:
        fill([pixel](QRgb& p) { p = pixel; });
        break;
    case TPenMode::pmXor:
        fill([colour](QRgb& p) { p ^= colour; });
        break;
    case TPenMode::pmMask:
        fill([colour](QRgb& p) { p &= colour | 0xFF000000u; });
        break;
    case TPenMode::pmMerge:
        fill([pixel](QRgb& p) { p |= pixel; });
        break;
    }
    return true;
}

void TCanvas::FillWithBrush(std::span<const QRect> DeviceRects, const QRect& Bounds, TPenMode Mode)
{
    const TBrush& brush = FState.Brush;
    if (!Ready() || DeviceRects.empty() || brush.Style() == TBrushStyle::bsClear)
        return;
    FlushBatch();
    // Solid fills onto a control's backing image, by the thousand in the
    // plots, skip the painter's per-rectangle set-up and the threads that
    // Qt starts for every tall rectangle.
    if (brush.Style() != TBrushStyle::bsPattern && FillImageDirectly(DeviceRects, brush.Color(), Mode)) {
        Notify(Bounds);
        return;
    }
    FPainter->setCompositionMode(CompositionFor(Mode));
    FPainter->setPen(Qt::NoPen);
    if (brush.Style() == TBrushStyle::bsPattern && !brush.Bitmap().isNull()) {
        FPainter->setBrush(QBrush(brush.Bitmap()));
        FPainter->setBrushOrigin(0, 0);
    } else {
        FPainter->setBrush(ToQColor(brush.Color()));
    }
    FPainter->drawRects(DeviceRects.data(), int(DeviceRects.size()));
    Notify(Bounds);
}

void TCanvas::StrokeWide(std::span<const TPoint> DevicePoints, bool Closed)
{
    if (!Ready() || DevicePoints.empty())
        return;
    const TPen& pen = FState.Pen;
    // Exclusive-or and mask need each pixel touched once: only Qt's outline
    // fill gives that.
    if (pen.Mode() == TPenMode::pmCopy && StrokeWideIntoImage(DevicePoints, Closed))
        return;
    QPolygonF polygon;
    polygon.reserve(qsizetype(DevicePoints.size()));
    // Through the pixel centres, as the one-pixel lines run.
    for (const TPoint& p : DevicePoints)
        polygon.append(QPointF(p.x + 0.5, p.y + 0.5));
    // Far-off points are brought near before Qt strokes them: a margin
    // wider than the pen keeps everything that shows.
    const QRect drawable = DrawableRect();
    const double margin = pen.Width() + 2.0;
    const TBox reach{drawable.left() - margin, drawable.top() - margin, drawable.right() + 1 + margin,
                    drawable.bottom() + 1 + margin};
    if (!std::all_of(polygon.cbegin(), polygon.cend(), [&](const QPointF& p) { return reach.Contains(p); })) {
        polygon = CutToBox(polygon, reach, Closed);
        if (polygon.size() < 2)
            return;
    }
    FlushBatch();
    FPainter->setCompositionMode(CompositionFor(pen.Mode()));
    FPainter->setPen(QPen(ToQColor(pen.Color()), pen.Width(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    FPainter->setBrush(Qt::NoBrush);
    if (Closed)
        FPainter->drawPolygon(polygon);
    else
        FPainter->drawPolyline(polygon);
    const int grow = pen.Width() / 2 + 1;
    Notify(polygon.boundingRect().toAlignedRect().adjusted(-grow, -grow, grow, grow));
}

bool TCanvas::StrokeWideIntoImage(std::span<const TPoint> DevicePoints, bool Closed)
{
    const std::optional<TDirectImage> target = DirectImage();
    if (!target)
        return false;
    const TPen& pen = FState.Pen;
    const QRgb pixel = ToQColor(pen.Color()).rgb();
    const double radius = pen.Width() / 2.0;
    if (FBatching) {
        Collect(*target, DevicePoints, pixel, radius, Closed);
        return true;
    }
    TPixelBounds bounds;
    StrokeWideInto(*target, DevicePoints, pixel, radius, Closed, bounds);
    if (!bounds.Empty())
        Notify(bounds.Rect());
    return true;
}

void TCanvas::StrokeWideInto(const TDirectImage& Target, std::span<const TPoint> DevicePoints, QRgb Pixel,
                             double Radius, bool Closed, TPixelBounds& Bounds)
{
    uchar* const bits = Target.Bits;
    const qsizetype stride = Target.Stride;
    auto span = [=](int y, int left, int right) {
        FillRun(reinterpret_cast<QRgb*>(bits + y * stride) + left, right - left + 1, Pixel);
    };
    const QRect& visible = Target.Visible;
    // Segments wholly above or below the rows drawn on, or beside its
    // columns, are passed over before any arithmetic: a band of a batch or
    // a strip of columns meets few of them.
    const int reach = int(Radius) + 2;
    const size_t n = DevicePoints.size();
    const size_t segments = Closed && n > 2 ? n : n - 1;
    // Each thread keeps its own shapes: the strips of a plot draw side by
    // side.
    thread_local TCapsuleShapes shapes;
    int drawnLeft = INT_MAX;
    int drawnTop = INT_MAX;
    int drawnRight = INT_MIN;
    int drawnBottom = INT_MIN;
    for (size_t i = 0; i < segments; ++i) {
        const TPoint& a = DevicePoints[i];
        const TPoint& b = DevicePoints[(i + 1) % n];
        // Qt strokes nothing for a segment without length, not even its
        // round ends.
        if (a == b || std::max(a.y, b.y) + reach < visible.top() || std::min(a.y, b.y) - reach > visible.bottom()
            || std::max(a.x, b.x) + reach < visible.left() || std::min(a.x, b.x) - reach > visible.right())
            continue;
        const int dx = b.x - a.x;
        const int dy = b.y - a.y;
        if (std::abs(dx) > TCapsuleShapes::kReach || std::abs(dy) > TCapsuleShapes::kReach) {
            CapsuleSpans(StrokeCentre(a), StrokeCentre(b), Radius, visible, Bounds, span);
            continue;
        }
        for (const TCapsuleShapes::TSpan& s : shapes.Find(Radius, dx, dy)) {
            const int y = a.y + s.Row;
            const int left = std::max(a.x + s.Left, visible.left());
            const int right = std::min(a.x + s.Right, visible.right());
            if (y < visible.top() || y > visible.bottom() || left > right)
                continue;
            span(y, left, right);
            drawnLeft = std::min(drawnLeft, left);
            drawnRight = std::max(drawnRight, right);
            drawnTop = std::min(drawnTop, y);
            drawnBottom = std::max(drawnBottom, y);
        }
    }
    if (drawnLeft <= drawnRight)
        Bounds.Add(drawnLeft, drawnTop, drawnRight, drawnBottom);
}

// ---- Canvas: figures ------------------------------------------------------------

void TCanvas::MoveTo(int X, int Y)
{
    FState.PenPos = {X, Y};
}

void TCanvas::LineTo(int X, int Y)
{
    const TPoint from = LPtoDP(FState.PenPos);
    const TPoint to = LPtoDP(TPoint{X, Y});
    FState.PenPos = {X, Y};
    const TPen& pen = FState.Pen;
    if (pen.Style() == TPenStyle::psClear || from == to)
        return;
    if (FRecording) {
        const TPoint ends[] = {from, to};
        Record(TCanvasRecording::TKind::Line, ends);
        return;
    }
    if (pen.Width() > 1) {
        const TPoint points[] = {from, to};
        StrokeWide(points, false);
        return;
    }
    TSpans spans;
    WalkLinePixelsIn(DrawableRect(), from.x, from.y, to.x, to.y, false,
                     [&](int x, int y) { spans.AddPixel(x, y); });
    spans.Close();
    FillSpans(spans, pen.Color(), pen.Mode());
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    TRect r = LPtoDP(TRect{X1, Y1, X2, Y2});
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
    if (FRecording) {
        Record(TCanvasRecording::TKind::Rectangle, r);
        return;
    }
    const TPen& pen = FState.Pen;
    const TPenMode mode = pen.Mode();
    if (pen.Style() == TPenStyle::psClear) {
        TSpans inside;
        inside.Add(r.Left, r.Top, r.Width() - 1, r.Height() - 1);
        FillSpansWithBrush(inside, mode);
        return;
    }
    // The outline runs on the rectangle's edge pixels; a wide pen spreads
    // around them. Ring and inside are separate spans, so that every pixel
    // is touched once.
    const int width = std::max(1, pen.Width());
    const int before = width / 2;
    const int after = width - before - 1;
    const QRect outer(QPoint(r.Left - before, r.Top - before), QPoint(r.Right - 1 + after, r.Bottom - 1 + after));
    const QRect inner(QPoint(r.Left + after + 1, r.Top + after + 1), QPoint(r.Right - 2 - before, r.Bottom - 2 - before));
    TSpans ring;
    if (inner.isEmpty()) {
        ring.Add(outer.x(), outer.y(), outer.width(), outer.height());
    } else {
        ring.Add(outer.x(), outer.y(), outer.width(), inner.y() - outer.y());
        ring.Add(outer.x(), inner.y(), inner.x() - outer.x(), inner.height());
        ring.Add(inner.x() + inner.width(), inner.y(), outer.x() + outer.width() - inner.x() - inner.width(), inner.height());
        ring.Add(outer.x(), inner.y() + inner.height(), outer.width(), outer.y() + outer.height() - inner.y() - inner.height());
        TSpans inside;
        inside.Add(inner.x(), inner.y(), inner.width(), inner.height());
        FillSpansWithBrush(inside, mode);
    }
    FillSpans(ring, pen.Color(), mode);
}

void TCanvas::FillRect(const TRect& R)
{
    const TRect r = LPtoDP(R);
    if (FRecording) {
        if (r.Width() > 0 && r.Height() > 0 && FState.Brush.Style() != TBrushStyle::bsClear)
            Record(TCanvasRecording::TKind::FillRect, r);
        return;
    }
    TSpans spans;
    spans.Add(r.Left, r.Top, r.Width(), r.Height());
    FillSpansWithBrush(spans, TPenMode::pmCopy);
}

void TCanvas::FillRects(std::span<const TRect> Rects)
{
    if ((!Ready() && !FRecording) || FState.Brush.Style() == TBrushStyle::bsClear)
        return;
    FBatch.clear();
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    auto add = [&](const TRect& r) {
        if (r.Right <= r.Left || r.Bottom <= r.Top)
            return;
        FBatch.emplace_back(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
        left = std::min(left, r.Left);
        top = std::min(top, r.Top);
        right = std::max(right, r.Right);
        bottom = std::max(bottom, r.Bottom);
    };
    const TState& s = FState;
    if (s.WindowExt == s.ViewportExt) {
        // A shift only, as in nearly every paint: no scaling per corner.
        const int dx = s.ViewportOrg.x - s.WindowOrg.x;
        const int dy = s.ViewportOrg.y - s.WindowOrg.y;
        for (const TRect& R : Rects)
            add({std::min(R.Left, R.Right) + dx, std::min(R.Top, R.Bottom) + dy, std::max(R.Left, R.Right) + dx,
                 std::max(R.Top, R.Bottom) + dy});
    } else {
        for (const TRect& R : Rects)
            add(LPtoDP(R));
    }
    if (FBatch.empty())
        return;
    if (FRecording) {
        FLinePoints.clear();
        for (const QRect& r : FBatch) {
            FLinePoints.push_back({r.left(), r.top()});
            FLinePoints.push_back({r.left() + r.width(), r.top() + r.height()});
        }
        Record(TCanvasRecording::TKind::FillRects, FLinePoints);
        return;
    }
    FillWithBrush(FBatch, QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), TPenMode::pmCopy);
}

void TCanvas::FillRects(std::span<const TRect> Rects, std::span<const TColor> Colors)
{
    const size_t count = std::min(Rects.size(), Colors.size());
    if (count == 0)
        return;
    const TState& s = FState;
    const std::optional<TDirectImage> target =
        FRecording || s.Brush.Style() != TBrushStyle::bsSolid || s.WindowOrg != s.ViewportOrg
                || s.WindowExt != s.ViewportExt
            ? std::nullopt
            : DirectImage();
    if (!target) {
        // Runs of one colour as the brush's.
        for (size_t first = 0; first < count;) {
            size_t end = first + 1;
            while (end < count && Colors[end] == Colors[first])
                ++end;
            FState.Brush.SetColor(Colors[first]);
            FillRects(Rects.subspan(first, end - first));
            first = end;
        }
        return;
    }
    // Dots by the hundred thousand, a few pixels each: written straight
    // into the scanlines, the colour converted once per run of it.
    FlushBatch();
    const QRect& visible = target->Visible;
    TPixelBounds bounds;
    TColor color = Colors[0];
    QRgb pixel = ToQColor(color).rgb();
    for (size_t i = 0; i < count; ++i) {
        if (Colors[i] != color) {
            color = Colors[i];
            pixel = ToQColor(color).rgb();
        }
        const TRect& r = Rects[i];
        const int left = std::min(r.Left, r.Right);
        const int right = std::max(r.Left, r.Right) - 1;
        const int top = std::min(r.Top, r.Bottom);
        const int bottom = std::max(r.Top, r.Bottom) - 1;
        if (left > right || top > bottom)
            continue;
        // Reported as FillRects reports them, unclipped.
        bounds.Add(left, top, right, bottom);
        const int from = std::max(left, visible.left());
        const int to = std::min(right, visible.right());
        for (int y = std::max(top, visible.top()); y <= std::min(bottom, visible.bottom()) && from <= to; ++y)
            FillRun(target->Line(y) + from, to - from + 1, pixel);
    }
    FState.Brush.SetColor(Colors[count - 1]);
    if (!bounds.Empty())
        Notify(bounds.Rect());
}

void TCanvas::Polygon(std::span<const TPoint> Points)
{
    if (Points.size() < 2)
        return;
    std::vector<TPoint> device(Points.begin(), Points.end());
    LPtoDP(device);
    if (FRecording) {
        Record(TCanvasRecording::TKind::Polygon, device);
        return;
    }
    const TPen& pen = FState.Pen;
    const bool outline = pen.Style() != TPenStyle::psClear;
    const bool thin = pen.Width() <= 1;

    const QRect drawable = DrawableRect();
    TSpans edge;
    if (outline && thin) {
        for (size_t i = 0; i < device.size(); ++i) {
            const TPoint& a = device[i];
            const TPoint& b = device[(i + 1) % device.size()];
            WalkLinePixelsIn(drawable, a.x, a.y, b.x, b.y, false, [&](int x, int y) { edge.AddPixel(x, y); });
        }
        edge.Close();
    }

    if (FState.Brush.Style() != TBrushStyle::bsClear && device.size() >= 3) {
        // Alternate rule, sampled at the pixel centres.
        int top = device[0].y;
        int bottom = device[0].y;
        for (const TPoint& p : device) {
            top = std::min(top, p.y);
            bottom = std::max(bottom, p.y);
        }
        // Only the rows and columns that can show are filled.
        top = std::max(top, drawable.top());
        bottom = std::min(bottom, drawable.bottom() + 1);
        const double leftmost = drawable.left() - 1.0;
        const double rightmost = drawable.right() + 1.0;
        TSpans inside;
        std::vector<double> crossings;
        for (int y = top; y < bottom; ++y) {
            const double yc = y + 0.5;
            crossings.clear();
            for (size_t i = 0; i < device.size(); ++i) {
                const TPoint& a = device[i];
                const TPoint& b = device[(i + 1) % device.size()];
                if ((a.y <= yc) != (b.y <= yc))
                    crossings.push_back(a.x + (yc - a.y) * double(b.x - a.x) / double(b.y - a.y));
            }
            std::sort(crossings.begin(), crossings.end());
            for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
                const int from = int(std::ceil(std::clamp(crossings[i], leftmost, rightmost) - 0.5));
                const int to = int(std::ceil(std::clamp(crossings[i + 1], leftmost, rightmost) - 0.5));
                inside.Add(from, y, to - from, 1);
            }
        }
        if (outline && thin && pen.Mode() == TPenMode::pmXor && !edge.Empty()) {
            // Exclusive-or twice would cancel: the outline's pixels are left
            // to the pen.
            QRegion fill;
            fill.setRects(inside.Rects().data(), int(inside.Rects().size()));
            const QRegion line = RegionOfRects(edge.Rects());
            TSpans rest;
            for (const QRect& rect : fill.subtracted(line))
                rest.Add(rect.x(), rect.y(), rect.width(), rect.height());
            FillSpansWithBrush(rest, pen.Mode());
        } else {
            FillSpansWithBrush(inside, pen.Mode());
        }
    }

    if (!outline)
        return;
    if (thin)
        FillSpans(edge, pen.Color(), pen.Mode());
    else
        StrokeWide(device, true);
}

void TCanvas::Polyline(std::span<const TPoint> Points)
{
    if (Points.size() < 2)
        return;
    const TPen& pen = FState.Pen;
    if (pen.Style() == TPenStyle::psClear)
        return;
    // Under the identity mapping of nearly every paint the points are
    // device points already.
    std::span<const TPoint> device = Points;
    const TState& s = FState;
    if (s.WindowOrg != s.ViewportOrg || s.WindowExt != s.ViewportExt) {
        FLinePoints.assign(Points.begin(), Points.end());
        LPtoDP(FLinePoints);
        device = FLinePoints;
    }
    if (FRecording) {
        Record(TCanvasRecording::TKind::Polyline, device);
        return;
    }
    if (pen.Width() > 1) {
        StrokeWide(device, false);
        return;
    }
    if (pen.Mode() == TPenMode::pmCopy && PolylineIntoImage(device, pen.Color()))
        return;
    if (!FLineSpans)
        FLineSpans = std::make_unique<TSpans>();
    TSpans& spans = *FLineSpans;
    spans.Clear();
    const QRect drawable = DrawableRect();
    for (size_t i = 0; i + 1 < device.size(); ++i)
        WalkLinePixelsIn(drawable, device[i].x, device[i].y, device[i + 1].x, device[i + 1].y, false,
                         [&](int x, int y) { spans.AddPixel(x, y); });
    spans.Close();
    FillSpans(spans, pen.Color(), pen.Mode());
}

bool TCanvas::PolylineIntoImage(std::span<const TPoint> DevicePoints, TColor Color)
{
    // Diagonal lines are one rectangle a pixel as spans; plots draw them by
    // the ten thousand, so on a plain image under a rectangular clip the
    // same walk sets the pixels itself.
    const std::optional<TDirectImage> target = DirectImage();
    if (!target)
        return false;
    const QRgb value = ToQColor(Color).rgb();
    if (FBatching) {
        Collect(*target, DevicePoints, value, 0, false);
        return true;
    }
    TPixelBounds bounds;
    PolylineInto(*target, DevicePoints, value, bounds);
    if (!bounds.Empty())
        Notify(bounds.Rect());
    return true;
}

void TCanvas::PolylineInto(const TDirectImage& Target, std::span<const TPoint> DevicePoints, QRgb Pixel,
                           TPixelBounds& Bounds)
{
    if (Target.Visible.isEmpty())
        return;
    const int clipLeft = Target.Visible.left();
    const int clipTop = Target.Visible.top();
    const int clipRight = Target.Visible.right();
    const int clipBottom = Target.Visible.bottom();
    // A piece between two points in the clip lies in it, and is walked
    // exactly while the clip is narrower than kExactWalk.
    const bool runs = clipRight - clipLeft < kExactWalk && clipBottom - clipTop < kExactWalk;
    const auto width = unsigned(clipRight - clipLeft);
    const auto height = unsigned(clipBottom - clipTop);
    const auto inside = [=](const TPoint& P) {
        return unsigned(P.x - clipLeft) <= width && unsigned(P.y - clipTop) <= height;
    };
    // Grown here and handed on once: the caller's bounds may share memory
    // with the pixels as far as the compiler knows.
    TPixelBounds drawn;
    const TPoint* const points = DevicePoints.data();
    const size_t count = DevicePoints.size();
    size_t i = 0;
    while (i + 1 < count) {
        if (runs && inside(points[i]) && inside(points[i + 1])) {
            // A run of points in the clip, as nearly every point is: its
            // pieces are walked without a test each, and the points' box
            // stands for the pixels they set.
            size_t last = i + 1;
            while (last + 1 < count && inside(points[last + 1]))
                ++last;
            int left = points[i].x;
            int top = points[i].y;
            int right = left;
            int bottom = top;
            for (size_t k = i + 1; k <= last; ++k) {
                left = std::min(left, points[k].x);
                right = std::max(right, points[k].x);
                top = std::min(top, points[k].y);
                bottom = std::max(bottom, points[k].y);
            }
            for (size_t k = i; k < last; ++k)
                WalkLineInto(Target.Bits, Target.Stride, points[k], points[k + 1], Pixel);
            drawn.Add(left, top, right, bottom);
            i = last;
            continue;
        }
        const TPoint a = points[i];
        const TPoint b = points[i + 1];
        ++i;
        const int left = std::min(a.x, b.x);
        const int right = std::max(a.x, b.x);
        const int top = std::min(a.y, b.y);
        const int bottom = std::max(a.y, b.y);
        if (right < clipLeft || left > clipRight || bottom < clipTop || top > clipBottom)
            continue;
        if (right - left < kExactWalk && bottom - top < kExactWalk) {
            // Partly visible, as most pieces are in a band of rows: only the
            // visible steps, and the visible part of the box for bounds.
            int64_t first = 0;
            int64_t lastStep = 0;
            const bool xMajor = right - left >= bottom - top;
            if (xMajor ? clipTop <= top && bottom <= clipBottom : clipLeft <= left && right <= clipRight) {
                // Cut across its major axis only, as by a band of rows or a
                // strip of columns: the steps whose major coordinate lies
                // in the clip.
                const int from = xMajor ? a.x : a.y;
                const int to = xMajor ? b.x : b.y;
                const int low = xMajor ? clipLeft : clipTop;
                const int high = xMajor ? clipRight : clipBottom;
                first = std::max(0, to > from ? low - from : from - high);
                lastStep = std::min(std::abs(to - from) - 1, to > from ? high - from : from - low);
                if (first > lastStep)
                    continue;
            } else if (!ClipLineWalk(Target.Visible, a.x, a.y, b.x, b.y, false, first, lastStep)) {
                continue;
            }
            WalkLineStepsInto(Target.Bits, Target.Stride, a, b, int(first), int(lastStep), Pixel);
            drawn.Add(std::max(left, clipLeft), std::max(top, clipTop), std::min(right, clipRight),
                      std::min(bottom, clipBottom));
        } else {
            const uchar* const bits = Target.Bits;
            const qsizetype stride = Target.Stride;
            TPixelBounds set;
            WalkLinePixelsIn(Target.Visible, a.x, a.y, b.x, b.y, false, [&set, bits, stride, Pixel](int x, int y) {
                reinterpret_cast<QRgb*>(const_cast<uchar*>(bits) + y * stride)[x] = Pixel;
                set.Add(x, y, x, y);
            });
            if (!set.Empty())
                drawn.Add(set.Rect());
        }
    }
    if (!drawn.Empty())
        Bounds.Add(drawn.Rect());
}

// ---- Canvas: batches of polylines -------------------------------------------------

void TCanvas::BeginBatch()
{
    FlushBatch();
    FBatching = true;
}

void TCanvas::EndBatch()
{
    FlushBatch();
    FBatching = false;
}

void TCanvas::Collect(const TDirectImage& Target, std::span<const TPoint> DevicePoints, QRgb Pixel, double Radius,
                      bool Closed)
{
    FBatchTarget = Target;
    if (FBorrowPoints) {
        FBatchStrokes.push_back({DevicePoints.data(), 0, DevicePoints.size(), Pixel, Radius, Closed, Target.Visible});
        return;
    }
    FBatchStrokes.push_back({nullptr, FBatchPoints.size(), DevicePoints.size(), Pixel, Radius, Closed, Target.Visible});
    FBatchPoints.insert(FBatchPoints.end(), DevicePoints.begin(), DevicePoints.end());
}

void TCanvas::FlushBatch()
{
    if (FBatchStrokes.empty())
        return;
    const auto clear = qScopeGuard([this] {
        FBatchStrokes.clear();
        FBatchPoints.clear();
    });
    QRect area;
    for (const TBatchStroke& stroke : FBatchStrokes)
        area |= stroke.Visible;
    if (area.isEmpty())
        return;
    // Each band draws every stroke in order, cut to its rows: a pixel sees
    // the same writes in the same order as without bands.
    constexpr int kMinBandRows = 16;
    constexpr size_t kMinStrokesPerThread = 256;
    const int threads = std::max(1, std::min(UsableThreads(8), int(FBatchStrokes.size() / kMinStrokesPerThread)));
    const int bands = std::max(1, std::min(threads, area.height() / kMinBandRows));
    std::vector<TPixelBounds> drawn(static_cast<size_t>(bands));
    auto drawBand = [&](int band) {
        const int top = area.top() + area.height() * band / bands;
        const int bottom = area.top() + area.height() * (band + 1) / bands;
        const QRect rows(area.left(), top, area.width(), bottom - top);
        TDirectImage target = FBatchTarget;
        // Kept apart from the other bands' until the end: bounds next to
        // each other in memory would bounce between the cores.
        TPixelBounds bounds;
        for (const TBatchStroke& stroke : FBatchStrokes) {
            target.Visible = stroke.Visible & rows;
            if (target.Visible.isEmpty())
                continue;
            const std::span<const TPoint> points(
                stroke.Borrowed ? stroke.Borrowed : FBatchPoints.data() + stroke.First, stroke.Count);
            if (stroke.Radius > 0)
                StrokeWideInto(target, points, stroke.Pixel, stroke.Radius, stroke.Closed, bounds);
            else
                PolylineInto(target, points, stroke.Pixel, bounds);
        }
        drawn[size_t(band)] = bounds;
    };
    ParallelFor(bands, bands, drawBand);
    TPixelBounds bounds;
    for (const TPixelBounds& band : drawn)
        if (!band.Empty())
            bounds.Add(band.Rect());
    if (!bounds.Empty())
        Notify(bounds.Rect());
}

// ---- Canvas: drawing in parts --------------------------------------------------

int TCanvas::PartCount(int Parts, int MinExtent, bool Columns) const
{
    const TState& state = FState;
    if (state.WindowOrg != state.ViewportOrg || state.WindowExt != state.ViewportExt)
        return 0;
    const std::optional<TDirectImage> target = DirectImage();
    if (!target || target->Visible.isEmpty())
        return 0;
    const int extent = Columns ? target->Visible.width() : target->Visible.height();
    const int parts = std::min(Parts, extent / std::max(1, MinExtent));
    return parts >= 2 ? parts : 0;
}

bool TCanvas::DrawInParts(int Parts, int MinExtent, bool Columns,
                          const std::function<void(int Part, TCanvas& Canvas, const QRect& Area)>& Draw)
{
    const int parts = PartCount(Parts, MinExtent, Columns);
    if (parts == 0)
        return false;
    FlushBatch();
    const TDirectImage target = *DirectImage();
    const QImage::Format format = static_cast<const QImage*>(FDevice)->format();
    const QRect visible = target.Visible;
    const int first = Columns ? visible.left() : visible.top();
    const int extent = Columns ? visible.width() : visible.height();
    ParallelFor(parts, parts, [&](int Part) {
        const int from = first + extent * Part / parts;
        const int to = first + extent * (Part + 1) / parts;
        const QRect area = Columns ? QRect(from, visible.top(), to - from, visible.height())
                                   : QRect(visible.left(), from, visible.width(), to - from);
        // The part's pixels of the same image, addressed from where they stand.
        QImage pixels(reinterpret_cast<uchar*>(target.Line(area.top()) + area.left()), area.width(), area.height(),
                      target.Stride, format);
        TCanvas canvas;
        canvas.Attach(&pixels, area.topLeft());
        Draw(Part, canvas, area);
    });
    Notify(visible);
    return true;
}

// ---- Canvas: text -------------------------------------------------------------

void TCanvas::DrawTextLine(const QPoint& DeviceOrigin, const QString& Text, bool Turned)
{
    if (FRecording && !Text.isEmpty()) {
        const TPoint at[] = {{DeviceOrigin.x(), DeviceOrigin.y()}};
        FRecording->FTexts.push_back(Text);
        Record(TCanvasRecording::TKind::Text, at, uint32_t(FRecording->FTexts.size() - 1), Turned);
        return;
    }
    if (!Ready() || Text.isEmpty())
        return;
    FlushBatch();
    const TFont& font = FState.Font;
    const QFont qfont = font.QtFont();
    const QFontMetrics fm(qfont);
    const QRect cell(0, 0, fm.horizontalAdvance(Text), std::max(1, font.Height()));
    FPainter->save();
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter->translate(DeviceOrigin);
    if (Turned && font.Escapement() != 0)
        FPainter->rotate(-font.Escapement() / 10.0);
    if (FState.Brush.Style() != TBrushStyle::bsClear)
        FPainter->fillRect(cell, ToQColor(FState.Brush.Color()));
    FPainter->setFont(qfont);
    FPainter->setPen(ToQColor(font.Color()));
    FPainter->drawText(QPoint(0, fm.ascent()), Text);
    const QRect touched = FPainter->transform().mapRect(cell).translated(FOrigin);
    FPainter->restore();
    Notify(touched);
}

void TCanvas::TextOut(int X, int Y, const QString& Text)
{
    DrawTextLine(ToQPoint(LPtoDP(TPoint{X, Y})), Text, true);
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const QString& Text)
{
    const int saved = SaveDC();
    IntersectClipRect(R);
    if (FState.Brush.Style() != TBrushStyle::bsClear) {
        const TBrushStyle style = FState.Brush.Style();
        FState.Brush.SetStyle(TBrushStyle::bsSolid);
        FillRect(R);
        FState.Brush.SetStyle(style);
    }
    TextOut(X, Y, Text);
    RestoreDC(saved);
}

TSize TCanvas::TextExtent(const QString& Text) const
{
    const QFontMetrics fm(FState.Font.QtFont());
    return {fm.horizontalAdvance(Text), std::max(1, FState.Font.Height())};
}

QString TCanvas::ElideText(const QString& Text, int Width, bool TrimCut) const
{
    return Elide(Text, Width, QFontMetrics(FState.Font.QtFont()), TrimCut);
}

int TCanvas::DrawText(const QString& Text, TRect& R, int Flags)
{
    const QFontMetrics fm(FState.Font.QtFont());
    const int lineHeight = std::max(1, FState.Font.Height())
                         + ((Flags & dtExternalLeading) ? std::max(0, fm.leading()) : 0);
    const int width = R.Width();
    const bool wordBreak = (Flags & dtWordBreak) && !(Flags & dtSingleLine);
    auto fits = [&](QStringView s) { return FitsWidth(s, width, fm); };

    // How many lines can show. Lines are made one by one and only until it
    // is known what the last of them shows, so a long text costs what fits
    // the rectangle, not what it holds.
    qsizetype shown = std::numeric_limits<qsizetype>::max();
    if (Flags & dtSingleLine)
        shown = 1;
    else if (Flags & (dtEditControl | dtEndEllipsis))
        shown = std::max(1, R.Height() / lineHeight);
    QStringList lines;
    auto enough = [&] {
        if (lines.size() <= shown)
            return false;
        // The last line shown ends in "..." cut from what follows it: known
        // once what follows is wider than the line.
        return !(Flags & dtEndEllipsis) || !fits(lines.mid(shown - 1).join(QLatin1Char(' ')));
    };

    if (Flags & dtSingleLine) {
        QString line = Text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        lines << line;
    }
    const QStringView text(Text);
    for (qsizetype start = 0; !(Flags & dtSingleLine) && start <= text.size() && !enough();) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        const QStringView paragraph = text.mid(start, end - start);
        start = end + 1;
        if (!wordBreak) {
            lines << paragraph.toString().remove(QLatin1Char('\r'));
            continue;
        }
        QString current;
        for (qsizetype from = 0; from < paragraph.size() && !enough();) {
            qsizetype to = paragraph.indexOf(QLatin1Char(' '), from);
            if (to < 0)
                to = paragraph.size();
            QStringView word = paragraph.mid(from, to - from);
            from = to + 1;
            QString withoutReturns;
            if (word.contains(QLatin1Char('\r'))) {
                withoutReturns = word.toString().remove(QLatin1Char('\r'));
                word = withoutReturns;
            }
            if (word.isEmpty())
                continue;
            if (fits(word)) {
                const QString candidate =
                    current.isEmpty() ? word.toString() : current + QLatin1Char(' ') + word.toString();
                if (fits(candidate)) {
                    current = candidate;
                } else {
                    lines << current;
                    current = word.toString();
                }
                continue;
            }
            // Too wide for a line of its own, so for one shared as well.
            if (!current.isEmpty()) {
                lines << current;
                current.clear();
            }
            if (Flags & dtWordEllipsis) {
                lines << Elide(word, width, fm);
            } else if (Flags & dtEditControl) {
                // Broken between characters, at least one per line.
                QStringView rest = word;
                while (!rest.isEmpty() && !enough()) {
                    int n = 1;
                    while (n < rest.size() && Advance(rest.left(n + 1), fm) <= width)
                        ++n;
                    if (n == rest.size()) {
                        current = rest.toString();
                        break;
                    }
                    lines << rest.left(n).toString();
                    rest = rest.mid(n);
                }
            } else {
                current = word.toString();
            }
        }
        lines << current;
    }

    qsizetype count = std::min(lines.size(), shown);
    if (count < lines.size() && (Flags & dtEndEllipsis)) {
        // The last line shown says that text follows.
        const QString rest = lines.mid(count - 1).join(QLatin1Char(' '));
        QString last = Elide(rest, width, fm);
        if (!last.endsWith(Ellipsis()))
            last = Elide(lines[count - 1] + Ellipsis() + Ellipsis(), width, fm);
        lines[count - 1] = last;
    }
    lines = lines.mid(0, count);
    if (Flags & (dtEndEllipsis | dtWordEllipsis))
        for (QString& line : lines)
            line = Elide(line, width, fm);
    auto advance = [&](const QString& s) { return fm.horizontalAdvance(s); };

    int maxWidth = 0;
    for (const QString& line : std::as_const(lines))
        maxWidth = std::max(maxWidth, advance(line));
    const int height = int(lines.size()) * lineHeight;

    if (Flags & dtCalcRect) {
        R.Right = wordBreak ? std::max(R.Right, R.Left + maxWidth) : R.Left + maxWidth;
        R.Bottom = R.Top + height;
        return height;
    }

    int top = R.Top;
    if (Flags & dtSingleLine) {
        if (Flags & dtVCenter)
            top = R.Top + (R.Height() - lineHeight) / 2;
        else if (Flags & dtBottom)
            top = R.Bottom - lineHeight;
    }
    const int saved = SaveDC();
    if (!(Flags & dtNoClip))
        IntersectClipRect(R);
    for (const QString& line : std::as_const(lines)) {
        int left = R.Left;
        if (Flags & dtCenter)
            left = R.Left + (width - advance(line)) / 2;
        else if (Flags & dtRight)
            left = R.Right - advance(line);
        DrawTextLine(ToQPoint(LPtoDP(TPoint{left, top})), line, false);
        top += lineHeight;
    }
    RestoreDC(saved);
    return height;
}

// ---- Canvas: pictures and images -------------------------------------------------

void TCanvas::Draw(int X, int Y, const QImage& Image)
{
    if (FRecording && !Image.isNull()) {
        const TPoint at[] = {LPtoDP(TPoint{X, Y})};
        FRecording->FImages.push_back(Image);
        Record(TCanvasRecording::TKind::Image, at, uint32_t(FRecording->FImages.size() - 1));
        return;
    }
    if (!Ready() || Image.isNull())
        return;
    FlushBatch();
    const TPoint at = LPtoDP(TPoint{X, Y});
    FPainter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FPainter->drawImage(ToQPoint(at), Image);
    Notify(QRect(ToQPoint(at), Image.size()));
}

void TCanvas::StretchDraw(const TRect& R, const QPicture& Picture)
{
    const TRect r = LPtoDP(R);
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
    Draw(R.Left, R.Top, RenderPicture(Picture, QSize(r.Width(), r.Height())));
}

QImage RenderPicture(const QPicture& Picture, const QSize& Size)
{
    QImage image(Size, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QRect bounds = Picture.boundingRect();
    if (Size.isEmpty() || bounds.isEmpty())
        return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.scale(double(Size.width()) / bounds.width(), double(Size.height()) / bounds.height());
    painter.translate(-bounds.topLeft());
    painter.drawPicture(0, 0, Picture);
    painter.end();
    return image;
}

// ---- Canvas: recording ----------------------------------------------------------

namespace {

bool SameTools(const TPen& a, const TPen& b)
{
    return a.Color() == b.Color() && a.Mode() == b.Mode() && a.Style() == b.Style() && a.Width() == b.Width();
}

bool SameTools(const TBrush& a, const TBrush& b)
{
    return a.Color() == b.Color() && a.Style() == b.Style()
        && (a.Bitmap().cacheKey() == b.Bitmap().cacheKey() || a.Bitmap() == b.Bitmap());
}

bool SameTools(const TFont& a, const TFont& b)
{
    return a.Name() == b.Name() && a.Height() == b.Height() && a.Color() == b.Color()
        && a.Escapement() == b.Escapement() && a.Bold() == b.Bold();
}

} // namespace

size_t TCanvasRecording::Bytes() const
{
    size_t bytes = FEntries.capacity() * sizeof(TEntry) + FTools.capacity() * sizeof(TTools)
                 + FPoints.capacity() * sizeof(TPoint);
    for (const QString& text : FTexts)
        bytes += sizeof(QString) + size_t(text.capacity()) * sizeof(QChar);
    for (const QImage& image : FImages)
        bytes += sizeof(QImage) + size_t(image.sizeInBytes());
    return bytes;
}

void TCanvas::Record(TCanvasRecording::TKind Kind, std::span<const TPoint> DevicePoints, uint32_t Extra, bool Turned)
{
    TCanvasRecording& r = *FRecording;
    // Plots change one tool at a time between figures, if at all: the
    // tools are kept once for each run of figures that share them.
    const TState& s = FState;
    if (r.FTools.empty() || !SameTools(r.FTools.back().Pen, s.Pen) || !SameTools(r.FTools.back().Brush, s.Brush)
        || !SameTools(r.FTools.back().Font, s.Font) || r.FTools.back().Clip != s.Clip)
        r.FTools.push_back({s.Pen, s.Brush, s.Font, s.Clip});
    r.FEntries.push_back({Kind, Turned, uint32_t(r.FTools.size() - 1), Extra, r.FPoints.size(), DevicePoints.size()});
    r.FPoints.insert(r.FPoints.end(), DevicePoints.begin(), DevicePoints.end());
}

void TCanvas::Record(TCanvasRecording::TKind Kind, const TRect& DeviceRect)
{
    const TPoint corners[] = {DeviceRect.TopLeft(), DeviceRect.BottomRight()};
    Record(Kind, corners);
}

void TCanvas::Play(const TCanvasRecording& Recording)
{
    using TKind = TCanvasRecording::TKind;
    if (!Ready() || Recording.FEntries.empty())
        return;
    const TState before = FState;
    const auto restore = qScopeGuard([&] {
        EndBatch();
        FBorrowPoints = false;
        FState = before;
        ApplyClip();
    });
    // The recording's coordinates are device pixels already.
    FState.MapMode = TMapMode::mmText;
    FState.WindowOrg = {};
    FState.ViewportOrg = {};
    FState.WindowExt = {1, 1};
    FState.ViewportExt = {1, 1};
    BeginBatch();
    std::vector<TRect> rects;
    const TCanvasRecording::TTools* tools = nullptr;
    for (const TCanvasRecording::TEntry& entry : Recording.FEntries) {
        const TCanvasRecording::TTools& next = Recording.FTools[entry.Tools];
        if (&next != tools) {
            FState.Pen = next.Pen;
            FState.Brush = next.Brush;
            FState.Font = next.Font;
            if (!tools || next.Clip != FState.Clip) {
                FState.Clip = next.Clip;
                ApplyClip();
            }
            tools = &next;
        }
        const std::span<const TPoint> p = Recording.Points(entry);
        switch (entry.Kind) {
        case TKind::Line:
            FState.PenPos = p[0];
            LineTo(p[1].x, p[1].y);
            break;
        case TKind::Rectangle:
            Rectangle(p[0].x, p[0].y, p[1].x, p[1].y);
            break;
        case TKind::FillRect:
            FillRect({p[0].x, p[0].y, p[1].x, p[1].y});
            break;
        case TKind::FillRects: {
            // Bands of a tall picture meet few of the rectangles: the rest
            // are passed over before anything is set up for them.
            const QRect drawable = DrawableRect();
            rects.clear();
            for (size_t i = 0; i + 1 < p.size(); i += 2)
                if (p[i + 1].y > drawable.top() && p[i].y <= drawable.bottom())
                    rects.push_back({p[i].x, p[i].y, p[i + 1].x, p[i + 1].y});
            FillRects(rects);
            break;
        }
        case TKind::Polygon:
            Polygon(p);
            break;
        case TKind::Polyline:
            // Under the identity mapping the polyline draws from the
            // recording's own points.
            FBorrowPoints = true;
            Polyline(p);
            FBorrowPoints = false;
            break;
        case TKind::Text:
            DrawTextLine(QPoint(p[0].x, p[0].y), Recording.Text(entry), entry.Turned);
            break;
        case TKind::Image:
            Draw(p[0].x, p[0].y, Recording.Image(entry));
            break;
        }
    }
}

// ---- Canvas: clipping -----------------------------------------------------------

void TCanvas::ApplyClip()
{
    if (!Ready())
        return;
    // The clip is dropped rather than switched off: the raster engine keeps
    // a switched-off clip and reuses it, still off, for the next
    // non-rectangular region, which then clips nothing.
    if (FState.Clip)
        FPainter->setClipRegion(*FState.Clip);
    else
        FPainter->setClipRegion(QRegion(), Qt::NoClip);
}

TRect TCanvas::ClipRect() const
{
    QRect visible = ToQRect(DeviceRect());
    if (FState.Clip)
        visible = FState.Clip->boundingRect().intersected(visible);
    if (visible.isEmpty())
        return {};
    return DPtoLP(ToTRect(visible));
}

void TCanvas::IntersectClipRect(const TRect& R)
{
    const QRect rect = ToQRect(LPtoDP(R));
    const QRegion current = FState.Clip ? *FState.Clip : QRegion(ToQRect(DeviceRect()));
    FState.Clip = current.intersected(rect);
    ApplyClip();
}

void TCanvas::SelectClipRegion(const std::optional<QRegion>& DeviceRegion)
{
    FState.Clip = DeviceRegion;
    ApplyClip();
}

// ---- Canvas: saved states -----------------------------------------------------------

int TCanvas::SaveDC()
{
    FSaved.push_back(FState);
    return int(FSaved.size());
}

bool TCanvas::RestoreDC(int SavedDC)
{
    const int level = SavedDC < 0 ? int(FSaved.size()) + 1 + SavedDC : SavedDC;
    if (level < 1 || level > int(FSaved.size()))
        return false;
    FState = FSaved[size_t(level - 1)];
    FSaved.resize(size_t(level - 1));
    ApplyClip();
    return true;
}

// ---- Canvas: mapping -----------------------------------------------------------------

void TCanvas::SetMapMode(TMapMode Mode)
{
    FState.MapMode = Mode;
    if (Mode == TMapMode::mmText) {
        FState.WindowExt = {1, 1};
        FState.ViewportExt = {1, 1};
    }
    AdjustIsotropic();
}

void TCanvas::SetWindowOrg(int X, int Y)
{
    FState.WindowOrg = {X, Y};
}

void TCanvas::SetViewportOrg(int X, int Y)
{
    FState.ViewportOrg = {X, Y};
}

void TCanvas::SetWindowExt(int CX, int CY)
{
    if (FState.MapMode == TMapMode::mmText || CX == 0 || CY == 0)
        return;
    FState.WindowExt = {CX, CY};
    AdjustIsotropic();
}

void TCanvas::SetViewportExt(int CX, int CY)
{
    if (FState.MapMode == TMapMode::mmText || CX == 0 || CY == 0)
        return;
    FState.ViewportExt = {CX, CY};
    AdjustIsotropic();
}

void TCanvas::AdjustIsotropic()
{
    if (FState.MapMode != TMapMode::mmIsotropic)
        return;
    TSize& vp = FState.ViewportExt;
    const TSize& win = FState.WindowExt;
    const double sx = std::abs(double(vp.cx) / win.cx);
    const double sy = std::abs(double(vp.cy) / win.cy);
    if (sx > sy)
        vp.cx = int(std::lround(std::copysign(sy * std::abs(win.cx), double(vp.cx))));
    else if (sy > sx)
        vp.cy = int(std::lround(std::copysign(sx * std::abs(win.cy), double(vp.cy))));
}

TPoint TCanvas::LPtoDP(const TPoint& P) const
{
    const TState& s = FState;
    return {MapCoord(P.x, s.WindowOrg.x, s.WindowExt.cx, s.ViewportOrg.x, s.ViewportExt.cx),
            MapCoord(P.y, s.WindowOrg.y, s.WindowExt.cy, s.ViewportOrg.y, s.ViewportExt.cy)};
}

TPoint TCanvas::DPtoLP(const TPoint& P) const
{
    const TState& s = FState;
    return {MapCoord(P.x, s.ViewportOrg.x, s.ViewportExt.cx, s.WindowOrg.x, s.WindowExt.cx),
            MapCoord(P.y, s.ViewportOrg.y, s.ViewportExt.cy, s.WindowOrg.y, s.WindowExt.cy)};
}

void TCanvas::LPtoDP(std::span<TPoint> Points) const
{
    for (TPoint& p : Points)
        p = LPtoDP(p);
}

void TCanvas::DPtoLP(std::span<TPoint> Points) const
{
    for (TPoint& p : Points)
        p = DPtoLP(p);
}

TRect TCanvas::LPtoDP(const TRect& R) const
{
    const TPoint a = LPtoDP(R.TopLeft());
    const TPoint b = LPtoDP(R.BottomRight());
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

TRect TCanvas::DPtoLP(const TRect& R) const
{
    const TPoint a = DPtoLP(R.TopLeft());
    const TPoint b = DPtoLP(R.BottomRight());
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}
