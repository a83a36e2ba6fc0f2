#include "ObjectEditor/GraphLib.h"

#include "platform/Exceptions.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

// ---- Dash-pattern lines --------------------------------------------------------

void WalkLine(TCanvas& Canvas, int X1, int Y1, int X2, int Y2, TDrawProcContainer& Container,
              TLinePixelStep Step)
{
    WalkLinePixels(X1, Y1, X2, Y2, true, [&](int x, int y) { Step(Container, Canvas, x, y); });
}

void DashPixelProc(TDrawProcContainer& Container, TCanvas& Canvas, int X, int Y)
{
    TDashPattern& p = Container.Pattern;
    if (p[dpRemaining] >= 1) {
        --p[dpRemaining];
        return;
    }
    // The dash covers its pixels up to, not including, this one.
    if (p[dpSegIndex] % 2 == 1)
        Canvas.LineTo(X, Y);
    else
        Canvas.MoveTo(X, Y);
    ++p[dpSegIndex];
    if (p[dpSegIndex] == p[dpSegCount] + dpFirstLength)
        p[dpSegIndex] = dpFirstLength;
    p[dpRemaining] = p[size_t(p[dpSegIndex])] - 1;
}

void DrawPatternLine(TCanvas& Canvas, int X1, int Y1, int X2, int Y2, TDashPattern& Pattern)
{
    QUOR_ASSERT(Pattern.size() > size_t(dpFirstLength) && Pattern[dpSegCount] == int(Pattern.size()) - dpFirstLength
                    && Pattern[dpSegIndex] >= dpFirstLength && Pattern[dpSegIndex] < int(Pattern.size()),
                "DrawPatternLine: malformed dash pattern");
    const TPoint from = Canvas.LPtoDP(TPoint{X1, Y1});
    const TPoint to = Canvas.LPtoDP(TPoint{X2, Y2});
    const int saved = Canvas.SaveDC();
    Canvas.SetMapMode(TMapMode::mmText);
    Canvas.SetViewportOrg(0, 0);
    Canvas.SetWindowOrg(0, 0);
    Canvas.MoveTo(from.x, from.y);
    {
        TDrawProcContainer container{Pattern};
        WalkLine(Canvas, from.x, from.y, to.x, to.y, container, DashPixelProc);
        Pattern = container.Pattern;
    }
    // The end pixel was counted here and counts again as the first pixel of
    // a line that starts there.
    ++Pattern[dpRemaining];
    if (Pattern[dpSegIndex] % 2 == 1)
        Canvas.LineTo(to.x, to.y);
    Canvas.RestoreDC(saved);
}

// ---- Value axes -------------------------------------------------------------------

QString FloatLabelText(double Value)
{
    QString text = QString::number(Value, 'f', 2);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        text.replace(QLatin1Char('.'), point);
    return text;
}

TSize FloatLabelExtent(TCanvas& Canvas, double Value, QString& Text)
{
    Text = FloatLabelText(Value);
    return Canvas.TextExtent(Text);
}

QString FitAxisLabel(const TCanvas& Canvas, const QString& Text, int& Width, int Room)
{
    if (Width <= Room)
        return Text;
    const QString shown = Canvas.ElideText(Text, Room);
    Width = Canvas.TextWidth(shown);
    return shown;
}

void DrawAxisLabel(TCanvas& Canvas, bool Clipped, const TRect& Box, int X, int Y, const QString& Text)
{
    if (Clipped)
        Canvas.TextRect(Box, X, Y, Text);
    else
        Canvas.TextOut(X, Y, Text);
}

namespace {

// Inner labels between the two ends, each as high (along the axis) as the
// label of Lo, with Gap between them; zero or less when none fit. A label
// height and gap that add up to nothing would divide by zero: then only the
// ends are drawn.
int LabelIntervals(int Length, int Gap, int LabelHeight)
{
    const float divisor = float(LabelHeight + Gap);
    if (divisor <= 0.0f)
        return 0;
    return int(std::trunc(double(Length + Gap) / double(divisor))) - 1;
}

} // namespace

void DrawHorizontalAxis(TCanvas& Canvas, int Y, int X1, int X2, bool LabelsBelow, double Lo, double Hi,
                        const TPen& Pen, const TFont& Font, const TBrush& Brush, int Gap, int LabelRoom)
{
    Canvas.SetFont(Font);
    Canvas.SetPen(Pen);
    Canvas.SetBrush(Brush);
    const int tick = LabelsBelow ? 4 : -4;
    const int small = LabelsBelow ? 2 : -2;

    Canvas.MoveTo(X1, Y + tick);
    Canvas.LineTo(X1, Y);
    Canvas.LineTo(X2, Y);
    Canvas.MoveTo(X2, Y + tick);
    Canvas.LineTo(X2, Y);
    Canvas.LineTo(X2, Y + 1);

    QString text;
    TSize extent = FloatLabelExtent(Canvas, Lo, text);
    const int n = LabelIntervals(X2 - X1, Gap, extent.cy);
    if (n <= 0)
        return;
    const float step = float(double(X2 - X1) / n);
    for (int i = 0; i <= n; ++i) {
        const int x = X1 + RoundHalfEven(double(i) * step);
        if (i > 0 && i < n) {
            Canvas.MoveTo(x, Y + small);
            Canvas.LineTo(x, Y);
        }
        extent = FloatLabelExtent(Canvas, Lo + i * (Hi - Lo) / n, text);
        // The first label right of its tick, the last left of it, those
        // between in proportion: all stay between X1 and X2.
        const int shift = RoundHalfEven(double(extent.cy) * i / n);
        int width = extent.cx;
        const QString shown = FitAxisLabel(Canvas, text, width, LabelRoom);
        const int across = std::min(width, LabelRoom);
        const int left = x - shift;
        const int start = LabelsBelow ? Y + tick + across : Y + tick;
        DrawAxisLabel(Canvas, width > LabelRoom,
                      LabelsBelow ? Rect(left, Y + tick, left + extent.cy, start + 1)
                                  : Rect(left, start - across, left + extent.cy, start + 1),
                      left, start, shown);
    }
}

void DrawVerticalAxis(TCanvas& Canvas, int X, int Y1, int Y2, bool LabelsRight, double Lo, double Hi,
                      const TPen& Pen, const TFont& Font, const TBrush& Brush, int Gap, int LabelRoom)
{
    Canvas.SetFont(Font);
    Canvas.SetPen(Pen);
    Canvas.SetBrush(Brush);
    const int tick = LabelsRight ? 4 : -4;
    const int small = LabelsRight ? 2 : -2;

    Canvas.MoveTo(X + tick, Y1);
    Canvas.LineTo(X, Y1);
    Canvas.LineTo(X, Y2);
    Canvas.MoveTo(X + tick, Y2);
    Canvas.LineTo(X, Y2);
    Canvas.LineTo(X, Y2 + 1);

    QString text;
    TSize extent = FloatLabelExtent(Canvas, Lo, text);
    const int n = LabelIntervals(Y2 - Y1, Gap, extent.cy);
    if (n <= 0)
        return;
    const float step = float(double(Y2 - Y1) / n);
    for (int i = 0; i <= n; ++i) {
        const int y = Y1 + RoundHalfEven(double(i) * step);
        if (i > 0 && i < n) {
            Canvas.MoveTo(X + small, y);
            Canvas.LineTo(X, y);
        }
        extent = FloatLabelExtent(Canvas, Lo + i * (Hi - Lo) / n, text);
        const int shift = RoundHalfEven(double(extent.cy) * i / n);
        int width = extent.cx;
        const QString shown = FitAxisLabel(Canvas, text, width, LabelRoom);
        const int across = std::min(width, LabelRoom);
        const int left = LabelsRight ? X + tick : X + tick - across;
        const int top = y - shift;
        DrawAxisLabel(Canvas, width > LabelRoom, Rect(left, top, left + across, top + extent.cy), left, top, shown);
    }
}

// ---- Points ---------------------------------------------------------------------------

TPoint RoundPoint(float X, float Y)
{
    return {RoundHalfEven(X), RoundHalfEven(Y)};
}

TPoint MakePoint(int X, int Y)
{
    return {X, Y};
}
