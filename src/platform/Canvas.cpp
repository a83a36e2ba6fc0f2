#include "platform/Canvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPicture>
#include <QStringList>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

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

void TFont::SetName(const QString& value)
{
    FName = value;
    FResolved.reset();
}

void TFont::SetHeight(int value)
{
    FHeight = value;
    FResolved.reset();
}

void TFont::SetBold(bool value)
{
    FBold = value;
    FResolved.reset();
}

const QFont& TFont::QtFont() const
{
    if (!FResolved) {
        QFont font(FName);
        font.setBold(FBold);
        const int target = std::max(1, FHeight);
        // A face's line height exceeds its pixel size; take the largest size
        // whose ascent and descent fit the height asked for.
        int size = target;
        for (; size > 1; --size) {
            font.setPixelSize(size);
            if (QFontMetrics(font).height() <= target)
                break;
        }
        font.setPixelSize(size);
        FResolved = font;
    }
    return *FResolved;
}

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
    QRect Bounds() const
    {
        return FRects.empty() ? QRect() : QRect(QPoint(FLeft, FTop), QPoint(FRight, FBottom));
    }
    bool Empty() const { return FRects.empty() && !FOpen; }
    // Empties the spans, keeping their storage for the next figure.
    void Clear()
    {
        FRects.clear();
        FOpen = false;
    }

private:
    // Figures are made of thousands of single pixels: the bounds grow by
    // plain comparisons rather than by normalized unions.
    void Push(const QRect& r)
    {
        if (FRects.empty()) {
            FLeft = r.left();
            FTop = r.top();
            FRight = r.right();
            FBottom = r.bottom();
        } else {
            FLeft = std::min(FLeft, r.left());
            FTop = std::min(FTop, r.top());
            FRight = std::max(FRight, r.right());
            FBottom = std::max(FBottom, r.bottom());
        }
        FRects.push_back(r);
    }

    std::vector<QRect> FRects;
    int FLeft = 0;
    int FTop = 0;
    int FRight = 0;
    int FBottom = 0;
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

// Cuts the text from its end until it fits with "..." appended.
QString Elide(const QString& text, int width, const QFontMetrics& fm)
{
    if (fm.horizontalAdvance(text) <= width)
        return text;
    QString cut = text;
    while (!cut.isEmpty() && fm.horizontalAdvance(cut.trimmed() + Ellipsis()) > width)
        cut.chop(1);
    return cut.trimmed() + Ellipsis();
}

} // namespace

// ---- Canvas: device ----------------------------------------------------------

TCanvas::TCanvas(QPaintDevice* Device)
{
    Attach(Device);
}

TCanvas::~TCanvas()
{
    Detach();
}

void TCanvas::Attach(QPaintDevice* Device)
{
    Detach();
    if (!Device)
        return;
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(Device))
        return;
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    FDevice = Device;
    FPainter = std::move(painter);
    ResetDeviceState();
}

void TCanvas::Detach()
{
    if (FPainter) {
        FPainter->end();
        FPainter.reset();
    }
    FDevice = nullptr;
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
    return FDevice ? FDevice->logicalDpiX() : 96;
}

int TCanvas::PixelsPerInchY() const
{
    return FDevice ? FDevice->logicalDpiY() : 96;
}

TRect TCanvas::DeviceRect() const
{
    if (!FDevice)
        return {};
    return {0, 0, FDevice->width(), FDevice->height()};
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

bool TCanvas::FillImageDirectly(std::span<const QRect> DeviceRects, TColor Color)
{
    if (FDevice->devType() != QInternal::Image || FPainter->worldTransform().type() != QTransform::TxNone
        || FPainter->opacity() != 1.0)
        return false;
    auto* image = static_cast<QImage*>(FDevice);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32
        && format != QImage::Format_ARGB32_Premultiplied)
        return false;
    QRect visible = image->rect();
    if (FState.Clip) {
        if (FState.Clip->rectCount() != 1)
            return false;
        visible &= FState.Clip->boundingRect();
    }
    // The painter draws into the image's own buffer; writing through the
    // constant bits keeps to that buffer where bits() would detach a shared
    // image away from the painter.
    uchar* bits = const_cast<uchar*>(image->constBits());
    const qsizetype stride = image->bytesPerLine();
    const QRgb pixel = ToQColor(Color).rgb();
    for (const QRect& rect : DeviceRects) {
        const QRect r = rect & visible;
        if (r.isEmpty())
            continue;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(bits + y * stride) + r.left();
            std::fill(line, line + r.width(), pixel);
        }
    }
    return true;
}

void TCanvas::FillWithBrush(std::span<const QRect> DeviceRects, const QRect& Bounds, TPenMode Mode)
{
    const TBrush& brush = FState.Brush;
    if (!Ready() || DeviceRects.empty() || brush.Style() == TBrushStyle::bsClear)
        return;
    // Solid copies onto a control's backing image, by the thousand in the
    // plots, skip the painter's per-rectangle set-up.
    if (Mode == TPenMode::pmCopy && brush.Style() != TBrushStyle::bsPattern
        && FillImageDirectly(DeviceRects, brush.Color())) {
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
    QPolygonF polygon;
    polygon.reserve(qsizetype(DevicePoints.size()));
    // Through the pixel centres, as the one-pixel lines run.
    for (const TPoint& p : DevicePoints)
        polygon.append(QPointF(p.x + 0.5, p.y + 0.5));
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
    if (pen.Width() > 1) {
        const TPoint points[] = {from, to};
        StrokeWide(points, false);
        return;
    }
    TSpans spans;
    WalkLinePixels(from.x, from.y, to.x, to.y, false, [&](int x, int y) { spans.AddPixel(x, y); });
    spans.Close();
    FillSpans(spans, pen.Color(), pen.Mode());
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    TRect r = LPtoDP(TRect{X1, Y1, X2, Y2});
    if (r.Width() <= 0 || r.Height() <= 0)
        return;
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
    TSpans spans;
    spans.Add(r.Left, r.Top, r.Width(), r.Height());
    FillSpansWithBrush(spans, TPenMode::pmCopy);
}

void TCanvas::FillRects(std::span<const TRect> Rects)
{
    if (!Ready() || FState.Brush.Style() == TBrushStyle::bsClear)
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
    FillWithBrush(FBatch, QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), TPenMode::pmCopy);
}

void TCanvas::Polygon(std::span<const TPoint> Points)
{
    if (Points.size() < 2)
        return;
    std::vector<TPoint> device(Points.begin(), Points.end());
    LPtoDP(device);
    const TPen& pen = FState.Pen;
    const bool outline = pen.Style() != TPenStyle::psClear;
    const bool thin = pen.Width() <= 1;

    TSpans edge;
    if (outline && thin) {
        for (size_t i = 0; i < device.size(); ++i) {
            const TPoint& a = device[i];
            const TPoint& b = device[(i + 1) % device.size()];
            WalkLinePixels(a.x, a.y, b.x, b.y, false, [&](int x, int y) { edge.AddPixel(x, y); });
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
                const int from = int(std::ceil(crossings[i] - 0.5));
                const int to = int(std::ceil(crossings[i + 1] - 0.5));
                inside.Add(from, y, to - from, 1);
            }
        }
        if (outline && thin && pen.Mode() == TPenMode::pmXor && !edge.Empty()) {
            // Exclusive-or twice would cancel: the outline's pixels are left
            // to the pen.
            QRegion fill;
            fill.setRects(inside.Rects().data(), int(inside.Rects().size()));
            QRegion line;
            line.setRects(edge.Rects().data(), int(edge.Rects().size()));
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
    std::vector<TPoint>& device = FLinePoints;
    device.assign(Points.begin(), Points.end());
    LPtoDP(device);
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
    for (size_t i = 0; i + 1 < device.size(); ++i)
        WalkLinePixels(device[i].x, device[i].y, device[i + 1].x, device[i + 1].y, false,
                       [&](int x, int y) { spans.AddPixel(x, y); });
    spans.Close();
    FillSpans(spans, pen.Color(), pen.Mode());
}

bool TCanvas::PolylineIntoImage(std::span<const TPoint> DevicePoints, TColor Color)
{
    // Diagonal lines are one rectangle a pixel as spans; plots draw them by
    // the ten thousand, so on a plain image under a rectangular clip the
    // same walk sets the pixels itself. A shared image would detach here
    // and leave the painter on the old pixels: such a one takes the spans.
    if (!Ready() || FDevice->devType() != QInternal::Image || FPainter->transform().type() != QTransform::TxNone)
        return false;
    auto* image = static_cast<QImage*>(FDevice);
    if (image->format() != QImage::Format_RGB32 || !image->isDetached())
        return false;
    QRect clip = image->rect();
    if (FState.Clip) {
        if (FState.Clip->rectCount() > 1)
            return false;
        clip = clip.intersected(FState.Clip->boundingRect());
    }
    const QRgb value = ToQColor(Color).rgb();
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (size_t i = 0; i + 1 < DevicePoints.size(); ++i)
        WalkLinePixels(DevicePoints[i].x, DevicePoints[i].y, DevicePoints[i + 1].x, DevicePoints[i + 1].y, false,
                       [&](int x, int y) {
                           if (!clip.contains(x, y))
                               return;
                           reinterpret_cast<QRgb*>(bits + y * stride)[x] = value;
                           left = std::min(left, x);
                           right = std::max(right, x);
                           top = std::min(top, y);
                           bottom = std::max(bottom, y);
                       });
    if (left <= right)
        Notify(QRect(QPoint(left, top), QPoint(right, bottom)));
    return true;
}

// ---- Canvas: text -------------------------------------------------------------

void TCanvas::DrawTextLine(const QPoint& DeviceOrigin, const QString& Text, bool Turned)
{
    if (!Ready() || Text.isEmpty())
        return;
    const TFont& font = FState.Font;
    const QFont& qfont = font.QtFont();
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
    const QRect touched = FPainter->transform().mapRect(cell);
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

int TCanvas::DrawText(const QString& Text, TRect& R, int Flags)
{
    const QFontMetrics fm(FState.Font.QtFont());
    const int lineHeight = std::max(1, FState.Font.Height())
                         + ((Flags & dtExternalLeading) ? std::max(0, fm.leading()) : 0);
    const int width = R.Width();
    const bool wordBreak = (Flags & dtWordBreak) && !(Flags & dtSingleLine);
    auto advance = [&](const QString& s) { return fm.horizontalAdvance(s); };

    QStringList paragraphs;
    if (Flags & dtSingleLine) {
        QString line = Text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        paragraphs << line;
    } else {
        QString text = Text;
        text.remove(QLatin1Char('\r'));
        paragraphs = text.split(QLatin1Char('\n'));
    }

    QStringList lines;
    for (const QString& paragraph : std::as_const(paragraphs)) {
        if (!wordBreak) {
            lines << paragraph;
            continue;
        }
        QString current;
        const QStringList words = paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& word : words) {
            const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (advance(candidate) <= width) {
                current = candidate;
                continue;
            }
            if (!current.isEmpty()) {
                lines << current;
                current.clear();
            }
            if (advance(word) <= width) {
                current = word;
            } else if (Flags & dtWordEllipsis) {
                lines << Elide(word, width, fm);
            } else if (Flags & dtEditControl) {
                // Broken between characters, at least one per line.
                QString rest = word;
                while (!rest.isEmpty()) {
                    int n = 1;
                    while (n < rest.size() && advance(rest.left(n + 1)) <= width)
                        ++n;
                    if (n == rest.size()) {
                        current = rest;
                        break;
                    }
                    lines << rest.left(n);
                    rest = rest.mid(n);
                }
            } else {
                current = word;
            }
        }
        lines << current;
    }

    qsizetype count = lines.size();
    if (Flags & dtSingleLine)
        count = std::min<qsizetype>(count, 1);
    else if (Flags & (dtEditControl | dtEndEllipsis))
        count = std::min<qsizetype>(count, std::max(1, R.Height() / lineHeight));
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
    if (!Ready() || Image.isNull())
        return;
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
