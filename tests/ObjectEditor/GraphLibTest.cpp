#include "ObjectEditor/GraphLib.h"
#include "ObjectEditor/StockObjects.h"
#include "support/Images.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

namespace {

using TPixel = std::pair<int, int>;

std::set<TPixel> InkedPixels(const QImage& image)
{
    std::set<TPixel> inked;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                inked.insert({x, y});
    return inked;
}

// The rubber band of the editor: four dash lines sharing one pattern.
void DrawBand(TCanvas& canvas, const TRect& r, TDashPattern& pattern)
{
    DrawPatternLine(canvas, r.Left, r.Top, r.Right, r.Top, pattern);
    DrawPatternLine(canvas, r.Right, r.Top, r.Right, r.Bottom, pattern);
    DrawPatternLine(canvas, r.Right, r.Bottom, r.Left, r.Bottom, pattern);
    DrawPatternLine(canvas, r.Left, r.Bottom, r.Left, r.Top, pattern);
}

void CountPixel(TDrawProcContainer& container, TCanvas&, int x, int y)
{
    container.Pattern.push_back(x);
    container.Pattern.push_back(y);
}

} // namespace

TEST(GraphLib, WalkLineVisitsBothEndsInOrder)
{
    TCanvas canvas;
    TDrawProcContainer visits;
    WalkLine(canvas, 5, 5, 1, 7, visits, CountPixel);
    const std::vector<int32_t> expected = {5, 5, 4, 6, 3, 6, 2, 7, 1, 7};
    EXPECT_EQ(visits.Pattern, expected);

    TDrawProcContainer single;
    WalkLine(canvas, 3, 4, 3, 4, single, CountPixel);
    EXPECT_EQ(single.Pattern, std::vector<int32_t>({3, 4}));
}

TEST(GraphLib, ZeroLengthDashLineDrawsNothingAndKeepsFourToGo)
{
    QImage image = WhiteImage(10, 10);
    TDashPattern pattern = RubberBandPattern();
    {
        TCanvas canvas(&image);
        canvas.SetPen(BlackPen());
        DrawPatternLine(canvas, 4, 4, 4, 4, pattern);
    }
    EXPECT_TRUE(InkedPixels(image).empty());
    EXPECT_EQ(pattern, TDashPattern({2, 3, 4, 4, 4}));
}

TEST(GraphLib, DashLineDrawsFourOnFourOff)
{
    QImage image = WhiteImage(30, 3);
    TDashPattern pattern = RubberBandPattern();
    {
        TCanvas canvas(&image);
        canvas.SetPen(BlackPen());
        DrawPatternLine(canvas, 0, 1, 20, 1, pattern);
    }
    std::set<TPixel> expected;
    for (int x : {0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18, 19})
        expected.insert({x, 1});
    EXPECT_EQ(InkedPixels(image), expected);
    // The end pixel (20) began a gap; it is counted again by the next line.
    EXPECT_EQ(pattern[dpSegIndex], 4);
    EXPECT_EQ(pattern[dpRemaining], 4);
}

TEST(GraphLib, RubberBandKeepsItsRhythmAroundTheCorners)
{
    const TRect band = Rect(10, 10, 30, 20);
    QImage image = WhiteImage(40, 30);
    {
        TCanvas canvas(&image);
        canvas.SetPen(BlackPen());
        TDashPattern pattern = RubberBandPattern();
        DrawBand(canvas, band, pattern);
    }
    // The outline's pixels, clockwise from the top-left corner, each once.
    std::vector<TPixel> perimeter;
    for (int x = band.Left; x < band.Right; ++x)
        perimeter.push_back({x, band.Top});
    for (int y = band.Top; y < band.Bottom; ++y)
        perimeter.push_back({band.Right, y});
    for (int x = band.Right; x > band.Left; --x)
        perimeter.push_back({x, band.Bottom});
    for (int y = band.Bottom; y > band.Top; --y)
        perimeter.push_back({band.Left, y});
    std::set<TPixel> expected;
    for (size_t k = 0; k < perimeter.size(); ++k)
        if (k % 8 < 4)
            expected.insert(perimeter[k]);
    EXPECT_EQ(InkedPixels(image), expected);
}

TEST(GraphLib, RubberBandDrawnTwiceInExclusiveOrRestoresEveryPixel)
{
    const QImage original = NoisyImage(50, 40, 99);
    QImage image = original;
    TCanvas canvas(&image);
    canvas.SetPen(XorPen());
    canvas.SetBrush(ClearBrush());
    for (const TRect& band : {Rect(5, 5, 45, 35), Rect(40, 30, 3, 2), Rect(7, 7, 8, 30)}) {
        TDashPattern first = RubberBandPattern();
        DrawBand(canvas, band, first);
        EXPECT_GT(CountChanged(original, image), 0);
        TDashPattern second = RubberBandPattern();
        DrawBand(canvas, band, second);
        EXPECT_EQ(CountChanged(original, image), 0);
    }
}

TEST(GraphLib, ScaledMappingStillDashesInDevicePixels)
{
    QImage image = WhiteImage(40, 10);
    {
        TCanvas canvas(&image);
        canvas.SetPen(BlackPen());
        canvas.SetMapMode(TMapMode::mmAnisotropic);
        canvas.SetWindowExt(1, 1);
        canvas.SetViewportExt(3, 3);
        TDashPattern pattern = RubberBandPattern();
        DrawPatternLine(canvas, 1, 1, 11, 1, pattern);
        // The mapping is the canvas's again afterwards.
        EXPECT_EQ(canvas.MapMode(), TMapMode::mmAnisotropic);
        EXPECT_EQ(canvas.LPtoDP(Point(1, 1)), Point(3, 3));
    }
    std::set<TPixel> expected;
    for (int x : {3, 4, 5, 6, 11, 12, 13, 14, 19, 20, 21, 22, 27, 28, 29, 30})
        expected.insert({x, 3});
    EXPECT_EQ(InkedPixels(image), expected);
}

TEST(GraphLib, FloatLabelsHaveTwoDecimalsAndTheLocalesSeparator)
{
    EXPECT_EQ(FloatLabelText(1234.5), QStringLiteral("1234.50"));
    EXPECT_EQ(FloatLabelText(-3.0), QStringLiteral("-3.00"));
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FloatLabelText(1234.5), QStringLiteral("1234,50"));
    QLocale::setDefault(previous);

    TCanvas canvas;
    canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 12));
    QString text;
    const TSize extent = FloatLabelExtent(canvas, 0.25, text);
    EXPECT_EQ(text, QStringLiteral("0.25"));
    EXPECT_EQ(extent, canvas.TextExtent(text));
}

TEST(GraphLib, PointsRoundHalvesToEven)
{
    EXPECT_EQ(RoundPoint(2.5f, 3.5f), Point(2, 4));
    EXPECT_EQ(RoundPoint(-1.5f, 0.49f), Point(-2, 0));
    EXPECT_EQ(MakePoint(7, -8), Point(7, -8));
}

// ---- Axes ----------------------------------------------------------------------------

namespace {

constexpr int AxisY = 20;
constexpr int AxisX1 = 30;

TFont TurnedFont()
{
    TFont font(QStringLiteral("Sans Serif"), 10);
    font.SetEscapement(900);
    return font;
}

// What a horizontal axis should look like, drawn pixel by pixel and label
// by label from the positions worked out by hand.
QImage ExpectedHorizontal(int w, int h, int x2, int tick, const std::vector<int>& ticks,
                          const std::vector<std::pair<int, double>>& labels, int small)
{
    QImage image = WhiteImage(w, h);
    for (int x = AxisX1; x <= x2; ++x)
        image.setPixel(x, AxisY, 0xFF000000u);
    for (int d = 1; d <= 4; ++d) {
        image.setPixel(AxisX1, AxisY + (tick > 0 ? d : -d), 0xFF000000u);
        image.setPixel(x2, AxisY + (tick > 0 ? d : -d), 0xFF000000u);
    }
    for (int x : ticks)
        for (int d = 1; d <= 2; ++d)
            image.setPixel(x, AxisY + (small > 0 ? d : -d), 0xFF000000u);
    TCanvas canvas(&image);
    canvas.SetFont(TurnedFont());
    canvas.SetBrush(ClearBrush());
    for (const auto& [x, value] : labels) {
        const QString text = FloatLabelText(value);
        const TSize extent = canvas.TextExtent(text);
        canvas.TextOut(x, tick > 0 ? AxisY + tick + extent.cx : AxisY + tick, text);
    }
    return image;
}

QImage DrawnHorizontal(int w, int h, int x2, bool below, double lo, double hi, int gap)
{
    QImage image = WhiteImage(w, h);
    TCanvas canvas(&image);
    DrawHorizontalAxis(canvas, AxisY, AxisX1, x2, below, lo, hi, BlackPen(), TurnedFont(), ClearBrush(), gap);
    return image;
}

} // namespace

TEST(GraphLib, AxisTooShortForTwoLabelsHasOnlyItsLineAndEndTicks)
{
    // (10 + 0) / (10 + 0) gives one interval less one: none.
    const QImage drawn = DrawnHorizontal(80, 80, AxisX1 + 10, true, 0, 1, 0);
    const QImage expected = ExpectedHorizontal(80, 80, AxisX1 + 10, 4, {}, {}, 2);
    EXPECT_EQ(CountChanged(drawn, expected), 0);
    EXPECT_EQ(InkedPixels(drawn).size(), 11u + 8u);
}

TEST(GraphLib, AxisWithOneIntervalLabelsBothEndsInward)
{
    // Length 25: 25 / 10 gives 2, so n = 1; no inner tick; Lo at X1, Hi
    // shifted left by the whole label height from X2.
    const int x2 = AxisX1 + 25;
    const QImage drawn = DrawnHorizontal(100, 80, x2, true, 1.5, 2.5, 0);
    const QImage expected = ExpectedHorizontal(100, 80, x2, 4, {}, {{AxisX1, 1.5}, {x2 - 10, 2.5}}, 2);
    EXPECT_EQ(CountChanged(drawn, expected), 0);
}

TEST(GraphLib, AxisSpreadsTicksAndLabelsEvenly)
{
    // Length 100, label height 10, gap 5: 105 / 15 = 7, so n = 6 intervals
    // of 16.67 pixels; labels shift by round(10 * i / 6), halves to even.
    const int x2 = AxisX1 + 100;
    const std::vector<int> at = {0, 17, 33, 50, 67, 83, 100};
    const std::vector<int> shift = {0, 2, 3, 5, 7, 8, 10};
    std::vector<int> inner;
    std::vector<std::pair<int, double>> labels;
    for (int i = 0; i <= 6; ++i) {
        if (i > 0 && i < 6)
            inner.push_back(AxisX1 + at[size_t(i)]);
        labels.push_back({AxisX1 + at[size_t(i)] - shift[size_t(i)], 0.0 + i * (3.0 - 0.0) / 6});
    }
    const QImage below = DrawnHorizontal(160, 80, x2, true, 0.0, 3.0, 5);
    EXPECT_EQ(CountChanged(below, ExpectedHorizontal(160, 80, x2, 4, inner, labels, 2)), 0);

    // Labels above: the ticks point up and the text ends four pixels above.
    QImage aboveDrawn = WhiteImage(160, 80);
    {
        TCanvas canvas(&aboveDrawn);
        DrawHorizontalAxis(canvas, AxisY + 40, AxisX1, x2, false, 0.0, 3.0, BlackPen(), TurnedFont(),
                           ClearBrush(), 5);
    }
    for (int x : inner) {
        EXPECT_NE(aboveDrawn.pixel(x, AxisY + 39) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_NE(aboveDrawn.pixel(x, AxisY + 38) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(aboveDrawn.pixel(x, AxisY + 41) & 0xFFFFFF, 0xFFFFFFu);
    }
    EXPECT_NE(aboveDrawn.pixel(AxisX1, AxisY + 36) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(aboveDrawn.pixel(AxisX1, AxisY + 41) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(GraphLib, LabelsLongerThanTheirRoomAreClippedToItShowingTheirBeginning)
{
    // 309 digits in every label; 30 pixels of room beyond the ticks.
    const double huge = 1.797e308;
    const int room = 30;
    const int at = 200;
    const TFont upright(QStringLiteral("Sans Serif"), 12);
    struct TCase {
        const char* Name;
        bool Horizontal, Far; // labels below or right
    };
    const TCase cases[] = {
        {"below", true, true}, {"above", true, false}, {"right", false, true}, {"left", false, false}};
    for (const TCase& c : cases) {
        QImage image = WhiteImage(400, 400);
        {
            TCanvas canvas(&image);
            if (c.Horizontal)
                DrawHorizontalAxis(canvas, at, 100, 300, c.Far, huge, huge, BlackPen(), TurnedFont(), ClearBrush(), 0,
                                   room);
            else
                DrawVerticalAxis(canvas, at, 100, 300, c.Far, huge, huge, BlackPen(), upright, ClearBrush(), 0, room);
        }
        // How far across the axis each pixel lies, on the labels' side.
        int reach = 0;
        int nearBoxEnd = 0;
        for (const auto& [x, y] : InkedPixels(image)) {
            const int across = (c.Horizontal ? y - at : x - at) * (c.Far ? 1 : -1);
            reach = std::max(reach, across);
            nearBoxEnd += across > 4 + room - 8 ? 1 : 0;
        }
        EXPECT_LE(reach, 4 + room) << c.Name;
        // The digits begin at the far end of the room when the labels run
        // toward the axis, at the tick when they run away from it.
        EXPECT_GT(nearBoxEnd, 0) << c.Name;
    }
}

TEST(GraphLib, VerticalAxisRightAlignsLabelsLeftOfTheLine)
{
    const int x = 60;
    const int y1 = 10;
    const int y2 = 70;
    TFont font(QStringLiteral("Sans Serif"), 12);
    QImage drawn = WhiteImage(100, 90);
    {
        TCanvas canvas(&drawn);
        DrawVerticalAxis(canvas, x, y1, y2, false, 5.0, 1.0, BlackPen(), font, ClearBrush(), 0);
    }
    // 60 / 12 = 5, so n = 4 intervals of 15 pixels; shifts round(12 * i / 4).
    QImage expected = WhiteImage(100, 90);
    for (int y = y1; y <= y2; ++y)
        expected.setPixel(x, y, 0xFF000000u);
    for (int d = 1; d <= 4; ++d) {
        expected.setPixel(x - d, y1, 0xFF000000u);
        expected.setPixel(x - d, y2, 0xFF000000u);
    }
    {
        TCanvas canvas(&expected);
        canvas.SetFont(font);
        canvas.SetBrush(ClearBrush());
        const int shift[] = {0, 3, 6, 9, 12};
        for (int i = 0; i <= 4; ++i) {
            const int y = y1 + 15 * i;
            if (i > 0 && i < 4) {
                expected.setPixel(x - 1, y, 0xFF000000u);
                expected.setPixel(x - 2, y, 0xFF000000u);
            }
            const QString text = FloatLabelText(5.0 - i);
            canvas.TextOut(x - 4 - canvas.TextWidth(text), y - shift[i], text);
        }
    }
    EXPECT_EQ(CountChanged(drawn, expected), 0);
}

TEST(GraphLib, AxisRoundsTickPositionsAndLabelShiftsHalvesToEven)
{
    const int x = 20;
    const int y1 = 15;
    const int y2 = 65;
    TFont font(QStringLiteral("Sans Serif"), 10);
    QImage drawn = WhiteImage(90, 90);
    {
        TCanvas canvas(&drawn);
        DrawVerticalAxis(canvas, x, y1, y2, true, 0.0, 2.0, BlackPen(), font, ClearBrush(), 0);
    }
    // 50 / 10 = 5, so n = 4 intervals of 12.5 pixels: ticks at 0, 12, 25,
    // 38, 50 and label shifts of round(10 * i / 4) = 0, 2, 5, 8, 10.
    const int at[] = {0, 12, 25, 38, 50};
    const int shift[] = {0, 2, 5, 8, 10};
    QImage expected = WhiteImage(90, 90);
    for (int y = y1; y <= y2; ++y)
        expected.setPixel(x, y, 0xFF000000u);
    for (int d = 1; d <= 4; ++d) {
        expected.setPixel(x + d, y1, 0xFF000000u);
        expected.setPixel(x + d, y2, 0xFF000000u);
    }
    {
        TCanvas canvas(&expected);
        canvas.SetFont(font);
        canvas.SetBrush(ClearBrush());
        for (int i = 0; i <= 4; ++i) {
            const int y = y1 + at[i];
            if (i > 0 && i < 4) {
                expected.setPixel(x + 1, y, 0xFF000000u);
                expected.setPixel(x + 2, y, 0xFF000000u);
            }
            canvas.TextOut(x + 4, y - shift[i], FloatLabelText(0.5 * i));
        }
    }
    EXPECT_EQ(CountChanged(drawn, expected), 0);
}

TEST(GraphLib, AxisUsesThePenFontAndBrushItIsGiven)
{
    QImage image = WhiteImage(60, 60);
    TCanvas canvas(&image);
    const TPen red(0x0000FF);
    DrawVerticalAxis(canvas, 30, 5, 50, true, 0, 1, red, TFont(QStringLiteral("Sans Serif"), 12), ClearBrush(), 0);
    EXPECT_EQ(canvas.Pen().Color(), 0x0000FFu);
    EXPECT_EQ(canvas.Font().Height(), 12);
    EXPECT_EQ(image.pixel(30, 20) & 0xFFFFFF, 0xFF0000u);  // QRgb: red in the high byte
}
