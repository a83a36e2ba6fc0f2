#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QPaintDevice;
class TPixelBounds;
class QPainter;
class QPicture;

// ---- Drawing tools -----------------------------------------------------------
//
// Pens, brushes and fonts are plain values. A canvas holds its own copies:
// SetPen, SetBrush and SetFont copy, while Pen(), Brush() and Font() hand out
// the canvas's copy for changing in place. The stock objects are shared
// instances of these classes.

// How a pen's strokes and the brush fill of its figures meet the pixels
// below: copied, combined by exclusive-or, or combined by AND (darkening).
// Exclusive-or and mask are exact only on raster targets (images, and
// pictures played into images).
// Mask darkens what lies beneath (and), merge lightens it (or).
enum class TPenMode { pmCopy, pmXor, pmMask, pmMerge };
enum class TPenStyle { psSolid, psClear };

class TPen {
public:
    TPen() = default;
    explicit TPen(TColor color, TPenMode mode = TPenMode::pmCopy,
                  TPenStyle style = TPenStyle::psSolid, int width = 1)
        : FColor(color), FMode(mode), FStyle(style), FWidth(width) {}

    TColor Color() const { return FColor; }
    void SetColor(TColor value) { FColor = value; }
    TPenMode Mode() const { return FMode; }
    void SetMode(TPenMode value) { FMode = value; }
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value) { FStyle = value; }
    // Device pixels; 0 and 1 both give the one-pixel pen.
    int Width() const { return FWidth; }
    void SetWidth(int value) { FWidth = value; }

private:
    TColor FColor = 0;
    TPenMode FMode = TPenMode::pmCopy;
    TPenStyle FStyle = TPenStyle::psSolid;
    int FWidth = 1;
};

enum class TBrushStyle { bsSolid, bsClear, bsPattern };

class TBrush {
public:
    TBrush() = default;
    explicit TBrush(TColor color, TBrushStyle style = TBrushStyle::bsSolid)
        : FColor(color), FStyle(style) {}

    TColor Color() const { return FColor; }
    // Makes the brush solid, as choosing a colour does.
    void SetColor(TColor value);
    TBrushStyle Style() const { return FStyle; }
    void SetStyle(TBrushStyle value) { FStyle = value; }
    // The tile of a pattern brush, repeated from the device origin. Setting
    // one makes the brush a pattern brush.
    const QImage& Bitmap() const { return FBitmap; }
    void SetBitmap(const QImage& value);

private:
    TColor FColor = 0xFFFFFF;
    TBrushStyle FStyle = TBrushStyle::bsSolid;
    QImage FBitmap;
};

class TFont {
public:
    TFont() = default;
    TFont(const QString& name, int height, TColor color = 0);
    TFont(const TFont& Other);
    TFont& operator=(const TFont& Other);

    // A family name; "Sans Serif" resolves through the font configuration.
    const QString& Name() const { return FName; }
    void SetName(const QString& value);
    // The line height in pixels: the text extent's height and the distance
    // between lines. The largest face whose ascent and descent fit is used.
    int Height() const { return FHeight; }
    void SetHeight(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value) { FColor = value; }
    // Angle of the text line in tenths of a degree, counter-clockwise:
    // 900 writes upward. Extents stay measured along the text.
    int Escapement() const { return FEscapement; }
    void SetEscapement(int value) { FEscapement = value; }
    bool Bold() const { return FBold; }
    void SetBold(bool value);

    // The Qt font that draws this font, made anew for each caller: copies
    // of one Qt font share what it caches for drawing, and copies of one
    // font draw on several threads at once.
    QFont QtFont() const;

private:
    QString FName = QStringLiteral("Sans Serif");
    int FHeight = 13;
    TColor FColor = 0;
    int FEscapement = 0;
    bool FBold = false;
    // The pixel size that fits FHeight, 0 until first asked.
    mutable std::atomic<int> FPixelSize{0};
};

// ---- Text layout flags -------------------------------------------------------

// Options of TCanvas::DrawText, combined with |.
enum TDrawTextFlag : int {
    dtLeft = 0,
    dtCenter = 1 << 0,            // each line centred between Left and Right
    dtRight = 1 << 1,             // each line right-aligned
    dtVCenter = 1 << 2,           // single line: centred between Top and Bottom
    dtBottom = 1 << 3,            // single line: on the bottom edge
    dtSingleLine = 1 << 4,        // no line breaks at all
    dtWordBreak = 1 << 5,         // breaks lines between words to fit the width
    dtNoPrefix = 1 << 6,          // "&" is an ordinary character (always so here)
    dtExternalLeading = 1 << 7,   // lines are spaced by the font's leading as well
    dtEditControl = 1 << 8,       // a line only partly inside the rectangle is left out;
                                  // a word too long for a line is broken between characters
    dtEndEllipsis = 1 << 9,       // text cut at the end of the rectangle ends in "..."
    dtWordEllipsis = 1 << 10,     // a word too long for a line is cut and ends in "..."
    dtNoClip = 1 << 11,           // drawing is not clipped to the rectangle
    dtCalcRect = 1 << 12          // draws nothing; sets Right and Bottom to the text's extent
};

enum class TMapMode { mmText, mmIsotropic, mmAnisotropic };

// ---- Line pixels ---------------------------------------------------------------

// Visits the pixels of the line from (X1, Y1) to (X2, Y2) in order:
// Bresenham's walk with ties stepping the minor axis, the end pixel only
// when WithEnd. LineTo draws this walk without its end and the dash lines
// step along it with both ends, so that they cover the same pixels.
template <typename Visit>
void WalkLinePixels(int X1, int Y1, int X2, int Y2, bool WithEnd, Visit visit)
{
    const int dx = std::abs(X2 - X1);
    const int dy = std::abs(Y2 - Y1);
    const int sx = X1 > X2 ? -1 : 1;
    const int sy = Y1 > Y2 ? -1 : 1;
    const bool xMajor = dx >= dy;
    const int major = xMajor ? dx : dy;
    const int minor = xMajor ? dy : dx;
    int err = 2 * minor - major;
    int x = X1;
    int y = Y1;
    // The minor step is taken by selection rather than by a branch: on a
    // slanted line it comes irregularly and would defeat prediction.
    const int minorX = xMajor ? 0 : sx;
    const int minorY = xMajor ? sy : 0;
    const int majorX = xMajor ? sx : 0;
    const int majorY = xMajor ? 0 : sy;
    for (int i = 0; i < major; ++i) {
        visit(x, y);
        const bool stepMinor = err >= 0;
        x += majorX + (stepMinor ? minorX : 0);
        y += majorY + (stepMinor ? minorY : 0);
        err += 2 * minor - (stepMinor ? 2 * major : 0);
    }
    if (WithEnd)
        visit(x, y);
}

// The steps of the walk from (X1, Y1) to (X2, Y2): the direction along each
// axis, which axis is the major one, and the steps along it and across it.
struct TLineWalkSteps {
    int Sx, Sy;
    bool XMajor;
    int64_t Major, Minor;
};

inline TLineWalkSteps LineWalkSteps(int X1, int Y1, int X2, int Y2)
{
    const int64_t dx = std::abs(int64_t(X2) - X1);
    const int64_t dy = std::abs(int64_t(Y2) - Y1);
    const bool xMajor = dx >= dy;
    return {X1 > X2 ? -1 : 1, Y1 > Y2 ? -1 : 1, xMajor, xMajor ? dx : dy, xMajor ? dy : dx};
}

// The first and last steps of the walk from (X1, Y1) to (X2, Y2) that land
// inside Clip; false when none does.
inline bool ClipLineWalk(const QRect& Clip, int X1, int Y1, int X2, int Y2, bool WithEnd, int64_t& First,
                         int64_t& Last)
{
    // Products of two coordinate differences need more than 64 bits.
    __extension__ using TWide = __int128;
    if (Clip.isEmpty())
        return false;
    const auto [sx, sy, xMajor, major, minor] = LineWalkSteps(X1, Y1, X2, Y2);
    // The steps whose coordinate along an axis stays within [Lo, Hi].
    auto range = [](int64_t start, int step, int lo, int hi, int64_t& from, int64_t& to) {
        from = step > 0 ? lo - start : start - hi;
        to = step > 0 ? hi - start : start - lo;
    };
    int64_t first = 0;
    int64_t last = WithEnd ? major : major - 1;
    int64_t lo = 0;
    int64_t hi = 0;
    if (xMajor)
        range(X1, sx, Clip.left(), Clip.right(), lo, hi);
    else
        range(Y1, sy, Clip.top(), Clip.bottom(), lo, hi);
    first = std::max(first, lo);
    last = std::min(last, hi);
    // The minor offsets allowed, turned into steps.
    if (xMajor)
        range(Y1, sy, Clip.top(), Clip.bottom(), lo, hi);
    else
        range(X1, sx, Clip.left(), Clip.right(), lo, hi);
    if (lo > minor || hi < 0)
        return false;
    // The step at which the minor offset reaches Offset: the first step
    // with floor((2 minor i + major) / (2 major)) >= Offset, for 0 < Offset
    // <= minor.
    const auto reaching = [major, minor](int64_t Offset) {
        // Plain 64-bit arithmetic where the product fits, as it does on
        // any device: a 128-bit division costs several times as much.
        constexpr int64_t kNarrow = int64_t(1) << 30;
        if (major < kNarrow && Offset < kNarrow)
            return (2 * major * Offset - major + 2 * minor - 1) / (2 * minor);
        const TWide m2 = TWide(2) * minor;
        return int64_t((TWide(2) * major * Offset - major + m2 - 1) / m2);
    };
    if (minor != 0) {
        if (lo > 0)
            first = std::max(first, reaching(lo));
        if (hi < minor)
            last = std::min(last, reaching(hi + 1) - 1);
    }
    First = first;
    Last = last;
    return first <= last;
}

// WalkLinePixels restricted to the pixels inside Clip, in the same order:
// the first and last steps that can land inside are found in closed form
// (the minor offset after i steps is floor((2 minor i + major) / (2 major)))
// and only the steps between them are walked, so a line running far off the
// device costs what its visible part costs.
template <typename Visit>
void WalkLinePixelsIn(const QRect& Clip, int X1, int Y1, int X2, int Y2, bool WithEnd, Visit visit)
{
    __extension__ using TWide = __int128;
    int64_t first = 0;
    int64_t last = 0;
    if (!ClipLineWalk(Clip, X1, Y1, X2, Y2, WithEnd, first, last))
        return;
    const auto [sx, sy, xMajor, major, minor] = LineWalkSteps(X1, Y1, X2, Y2);
    const int64_t offset = major == 0 ? 0 : int64_t((TWide(2) * minor * first + major) / (TWide(2) * major));
    int64_t err = int64_t(TWide(2) * minor - major + TWide(2) * minor * first - TWide(2) * major * offset);
    int x = int(X1 + (xMajor ? first * sx : offset * sx));
    int y = int(Y1 + (xMajor ? offset * sy : first * sy));
    const int minorX = xMajor ? 0 : sx;
    const int minorY = xMajor ? sy : 0;
    const int majorX = xMajor ? sx : 0;
    const int majorY = xMajor ? 0 : sy;
    for (int64_t i = first;; ++i) {
        visit(x, y);
        if (i == last)
            break;
        const bool stepMinor = err >= 0;
        x += majorX + (stepMinor ? minorX : 0);
        y += majorY + (stepMinor ? minorY : 0);
        err += 2 * minor - (stepMinor ? 2 * major : 0);
    }
}

// ---- Recording -----------------------------------------------------------------

// What a canvas drew, one entry per figure (line, polyline, polygon,
// rectangle, filled rectangles, text line, image) in device coordinates,
// each with the pen, brush, font and clip it was drawn with. Played onto a
// raster canvas it walks the same pixels the screen shows; it never holds
// the pixels themselves, so it grows with what a plot draws, not with the
// lengths of its lines.
class TCanvasRecording {
public:
    enum class TKind : uint8_t { Line, Rectangle, FillRect, FillRects, Polygon, Polyline, Text, Image };
    struct TTools {
        TPen Pen;
        TBrush Brush;
        TFont Font;
        std::optional<QRegion> Clip;
    };
    // Points: Line two ends; Rectangle, FillRect and each of FillRects two
    // corners (right and bottom outside); Polygon and Polyline their points;
    // Text and Image the top-left corner. Extra indexes the texts or images.
    struct TEntry {
        TKind Kind;
        bool Turned;
        uint32_t Tools;
        uint32_t Extra;
        size_t First;
        size_t Count;
    };

    const std::vector<TEntry>& Entries() const { return FEntries; }
    const TTools& Tools(const TEntry& Entry) const { return FTools[Entry.Tools]; }
    std::span<const TPoint> Points(const TEntry& Entry) const { return {FPoints.data() + Entry.First, Entry.Count}; }
    const QString& Text(const TEntry& Entry) const { return FTexts[Entry.Extra]; }
    const QImage& Image(const TEntry& Entry) const { return FImages[Entry.Extra]; }
    // The memory the recording takes, about.
    size_t Bytes() const;

private:
    friend class TCanvas;
    std::vector<TEntry> FEntries;
    std::vector<TTools> FTools;
    std::vector<TPoint> FPoints;
    std::vector<QString> FTexts;
    std::vector<QImage> FImages;
};

// ---- Canvas ------------------------------------------------------------------

// A drawing surface over a QPainter in the manner of a device context: the
// current pen, brush and font, a pen position, a mapping from logical to
// device coordinates, a clip region and a stack of saved states.
//
// Strokes and fills are pixel-exact so that exclusive-or drawing can be
// undone by drawing again: antialiasing is off, colours are opaque, lines of
// the one-pixel pen are our own Bresenham lines that leave out their end
// pixel, and every figure touches each of its pixels once (outline and fill
// as non-overlapping spans). Wider pens are stroked with round ends and
// joins: by Qt, or, in copy mode on a plain image, written straight into its
// pixels with the same widths and a few pixels' difference on the rims.
// Coordinates are logical; pen widths and font heights are device pixels
// whatever the mapping. Text ignores the pen mode; it is drawn on the
// brush colour unless the brush is clear.
class TCanvas {
public:
    // Begins painting on the device (an image, a picture, a printer); the
    // canvas ends it when destroyed, which completes a picture. Without a
    // device the canvas is detached and draws nothing until attached.
    // Origin: as for Attach.
    explicit TCanvas(QPaintDevice* Device = nullptr, const QPoint& Origin = QPoint());
    // A canvas of Size device pixels that draws nothing but appends each
    // figure to Recording, which must outlive it.
    TCanvas(TCanvasRecording& Recording, const QSize& Size);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // Moves the canvas to another device (ending painting on the old one);
    // pen, brush and font stay, the mapping, clip and saved states are reset.
    // Origin is where the device's top-left pixel stands in device
    // coordinates: an image that holds only the part of a larger surface in
    // view is drawn on in the surface's coordinates all the same, and what
    // falls outside the image is lost.
    void Attach(QPaintDevice* Device, const QPoint& Origin = QPoint());
    void Detach();
    QPaintDevice* Device() const { return FDevice; }
    QPainter* Painter() const { return FPainter.get(); }
    // Called with the device rectangle of every figure drawn, so that a
    // window can bring it to the screen.
    void SetOnDraw(std::function<void(const QRect&)> Handler) { FOnDraw = std::move(Handler); }

    TPen& Pen() { return FState.Pen; }
    const TPen& Pen() const { return FState.Pen; }
    void SetPen(const TPen& Value) { FState.Pen = Value; }
    TBrush& Brush() { return FState.Brush; }
    const TBrush& Brush() const { return FState.Brush; }
    void SetBrush(const TBrush& Value) { FState.Brush = Value; }
    TFont& Font() { return FState.Font; }
    const TFont& Font() const { return FState.Font; }
    void SetFont(const TFont& Value) { FState.Font = Value; }

    // ---- Figures (logical coordinates) ----
    TPoint PenPos() const { return FState.PenPos; }
    void MoveTo(int X, int Y);
    // A line from the pen position to (X, Y) without its end pixel; the pen
    // position becomes (X, Y).
    void LineTo(int X, int Y);
    // Outline with the pen, inside with the brush, Right and Bottom outside.
    // With a clear pen the brush fills one pixel less to the right and bottom,
    // where the outline would have been.
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
    // Fills R with the brush in copy mode, whatever the pen mode.
    void FillRect(const TRect& R);
    // FillRect for each rectangle, in order, set up once for all of them:
    // for figures drawn by the thousand. The drawing is reported once, as
    // the rectangles' bounds.
    void FillRects(std::span<const TRect> Rects);
    // FillRects with each rectangle in its own colour (Colors holds one per
    // rectangle) and the brush's style: the same as setting the brush colour
    // before each, which the brush keeps at the last colour afterwards.
    void FillRects(std::span<const TRect> Rects, std::span<const TColor> Colors);
    // A closed figure: inside filled (alternate rule) with the brush, then the
    // outline with the pen.
    void Polygon(std::span<const TPoint> Points);
    // Connected lines through the points; the last point's pixel is left out.
    void Polyline(std::span<const TPoint> Points);
    // From BeginBatch to EndBatch the copy-mode polylines and wide strokes
    // that go straight into an image's pixels are collected, and drawn at
    // the end on several threads, each over a band of rows: the same pixels,
    // since every band takes every figure in order. Any other drawing first
    // draws what has been collected.
    void BeginBatch();
    void EndBatch();
    // Drawing side by side on threads: the area drawing can reach, cut into
    // Parts bands of rows (of columns with Columns) each at least MinExtent
    // pixels across, Draw(Part, Canvas, Area) drawing on a canvas of its own
    // that reaches the pixels of Area alone, in device coordinates. What
    // each part draws in order comes out as drawn here in that order. Only
    // on an image drawn on straight (no mapping, transform or clip of more
    // than one rectangle) and into two parts or more; PartCount is 0 and
    // DrawInParts draws nothing and returns false otherwise.
    int PartCount(int Parts, int MinExtent, bool Columns) const;
    bool DrawInParts(int Parts, int MinExtent, bool Columns,
                     const std::function<void(int Part, TCanvas& Canvas, const QRect& Area)>& Draw);

    // ---- Text ----
    // The text's cell has its top-left corner at (X, Y) (turned with the font).
    void TextOut(int X, int Y, const QString& Text);
    // TextOut clipped to R; unless the brush is clear, R is filled first.
    void TextRect(const TRect& R, int X, int Y, const QString& Text);
    // Lays out Text in R as the flags say and draws it; returns the height of
    // the text drawn. With dtCalcRect nothing is drawn and R's Right and
    // Bottom are set to the extent of the text.
    int DrawText(const QString& Text, TRect& R, int Flags);
    // Width along the text line and the font's line height.
    TSize TextExtent(const QString& Text) const;
    int TextWidth(const QString& Text) const { return TextExtent(Text).cx; }
    int TextHeight(const QString& Text) const { return TextExtent(Text).cy; }
    // The text, or as much of it as fits Width followed by "..." (blanks
    // before it trimmed unless TrimCut is off); measures about twice what
    // fits, however long the text.
    QString ElideText(const QString& Text, int Width, bool TrimCut = true) const;

    // ---- Pictures and images ----
    // Copies the image with its top-left corner at (X, Y).
    void Draw(int X, int Y, const QImage& Image);
    // Plays the picture into an image of R's size (on white, scaled from its
    // bounding rectangle, so that exclusive-or and mask stay exact) and
    // copies that image into R.
    void StretchDraw(const TRect& R, const QPicture& Picture);

    // Draws what was recorded, in the recording's device coordinates
    // (the recording canvas's origin was the top left); pen, brush, font,
    // mapping and clip are as before afterwards.
    void Play(const TCanvasRecording& Recording);

    // ---- Clipping ----
    // The smallest logical rectangle around the visible area; the whole
    // device when nothing clips.
    TRect ClipRect() const;
    // Narrows the clip region to the logical rectangle.
    void IntersectClipRect(const TRect& R);
    // Sets the clip region in device pixels; an empty optional removes it.
    void SelectClipRegion(const std::optional<QRegion>& DeviceRegion);
    const std::optional<QRegion>& ClipRegion() const { return FState.Clip; }

    // ---- Saved states ----
    // Saves pen, brush, font, pen position, mapping and clip; returns the
    // number of saved states, which identifies this one.
    int SaveDC();
    // A positive SavedDC restores that state, a negative one the state that
    // many levels back (-1: the last); the states above it are dropped.
    // False when there is no such state.
    bool RestoreDC(int SavedDC);

    // ---- Mapping ----
    // device = (logical - window origin) * viewport extent / window extent
    // + viewport origin; in mmText the extents are 1, in mmIsotropic both
    // axes take the smaller scale.
    TMapMode MapMode() const { return FState.MapMode; }
    void SetMapMode(TMapMode Mode);
    void SetWindowOrg(int X, int Y);
    void SetWindowExt(int CX, int CY);
    void SetViewportOrg(int X, int Y);
    void SetViewportExt(int CX, int CY);
    TPoint WindowOrg() const { return FState.WindowOrg; }
    TPoint ViewportOrg() const { return FState.ViewportOrg; }
    TSize WindowExt() const { return FState.WindowExt; }
    TSize ViewportExt() const { return FState.ViewportExt; }
    TPoint LPtoDP(const TPoint& P) const;
    TPoint DPtoLP(const TPoint& P) const;
    void LPtoDP(std::span<TPoint> Points) const;
    void DPtoLP(std::span<TPoint> Points) const;
    // Both corners converted, then ordered.
    TRect LPtoDP(const TRect& R) const;
    TRect DPtoLP(const TRect& R) const;

    // ---- Device ----
    // The device's logical resolution.
    int PixelsPerInchX() const;
    int PixelsPerInchY() const;
    // The device's pixels in device coordinates: (0, 0, width, height)
    // moved to the origin given at Attach.
    TRect DeviceRect() const;
    QPoint DeviceOrigin() const { return FOrigin; }

private:
    struct TState {
        TPen Pen;
        TBrush Brush;
        TFont Font;
        TPoint PenPos;
        TMapMode MapMode = TMapMode::mmText;
        TPoint WindowOrg;
        TPoint ViewportOrg;
        TSize WindowExt{1, 1};
        TSize ViewportExt{1, 1};
        std::optional<QRegion> Clip;
    };

    class TSpans;

    bool Ready() const { return FPainter != nullptr; }
    void ResetDeviceState();
    void ApplyClip();
    void FillSpans(const TSpans& Spans, TColor Color, TPenMode Mode);
    void FillSpansWithBrush(const TSpans& Spans, TPenMode Mode);
    void FillWithBrush(std::span<const QRect> DeviceRects, const QRect& Bounds, TPenMode Mode);
    // The scanlines of a 32-bit image drawn without transform and with no
    // clip or a rectangular one, and the part of it that may be drawn on.
    struct TDirectImage {
        uchar* Bits = nullptr;
        qsizetype Stride = 0;
        QRect Visible;
        QImage::Format Format = QImage::Format_RGB32;
        QRgb* Line(int y) const { return reinterpret_cast<QRgb*>(Bits + y * Stride); }
    };
    // Empty for every other device or state: the painter must draw there.
    std::optional<TDirectImage> DirectImage() const;
    // Solid rectangles written into the scanlines, copied or combined with
    // the ground as Qt's raster operations combine them; false, writing
    // nothing, when the device does not allow it.
    bool FillImageDirectly(std::span<const QRect> DeviceRects, TColor Color, TPenMode Mode);
    void StrokeWide(std::span<const TPoint> DevicePoints, bool Closed);
    // A copy-mode wide stroke with round ends and joins written into the
    // device's pixels: those whose centres lie within half the width of a
    // segment, with Qt's widths across lines and a pixel in a hundred or
    // fewer differing from Qt's on the rims. False when the device does not
    // allow it.
    bool StrokeWideIntoImage(std::span<const TPoint> DevicePoints, bool Closed);
    static void StrokeWideInto(const TDirectImage& Target, std::span<const TPoint> DevicePoints, QRgb Pixel,
                               double Radius, bool Closed, TPixelBounds& Bounds);
    // A one-pixel polyline in copy mode written into the device's pixels;
    // False when the device is not an image that allows it.
    bool PolylineIntoImage(std::span<const TPoint> DevicePoints, TColor Color);
    static void PolylineInto(const TDirectImage& Target, std::span<const TPoint> DevicePoints, QRgb Pixel,
                             TPixelBounds& Bounds);
    // A stroke of a batch: its points, colour, half width (0: one pixel)
    // and the pixels it may reach.
    struct TBatchStroke {
        // Points that outlast the batch (a recording's), or null for the
        // points copied from First on.
        const TPoint* Borrowed;
        size_t First;
        size_t Count;
        QRgb Pixel;
        double Radius;
        bool Closed;
        QRect Visible;
    };
    void Collect(const TDirectImage& Target, std::span<const TPoint> DevicePoints, QRgb Pixel, double Radius,
                 bool Closed);
    void FlushBatch();
    void DrawTextLine(const QPoint& DeviceOrigin, const QString& Text, bool Turned);
    void Notify(const QRect& DeviceRect);
    // The device pixels that drawing can reach: the device narrowed by the
    // clip. Figures are cut to it before their pixels are walked.
    QRect DrawableRect() const;
    void AdjustIsotropic();
    // Appends a figure to the recording with the current tools.
    void Record(TCanvasRecording::TKind Kind, std::span<const TPoint> DevicePoints, uint32_t Extra = 0,
                bool Turned = false);
    void Record(TCanvasRecording::TKind Kind, const TRect& DeviceRect);

    QPaintDevice* FDevice = nullptr;
    TCanvasRecording* FRecording = nullptr;
    QSize FRecordingSize;
    QPoint FRecordingDpi;
    QPoint FOrigin;
    std::unique_ptr<QPainter> FPainter;
    TState FState;
    std::vector<TState> FSaved;
    std::function<void(const QRect&)> FOnDraw;
    // FillRects' device rectangles, kept so that a batch allocates nothing.
    std::vector<QRect> FBatch;
    // Polyline's points and pixels, kept likewise for curves drawn by the
    // thousand.
    std::vector<TPoint> FLinePoints;
    std::unique_ptr<TSpans> FLineSpans;
    bool FBatching = false;
    // While a recording plays, its points stay put: a batch refers to them.
    bool FBorrowPoints = false;
    TDirectImage FBatchTarget;
    std::vector<TBatchStroke> FBatchStrokes;
    std::vector<TPoint> FBatchPoints;
};

// Plays a picture into a new RGB32 image of the given size on white, scaled
// from the picture's bounding rectangle: exclusive-or and mask come out exact.
QImage RenderPicture(const QPicture& Picture, const QSize& Size);
