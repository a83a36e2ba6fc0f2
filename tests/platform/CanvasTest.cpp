#include "platform/Canvas.h"

#include "support/Images.h"

#include <QFontMetrics>
#include <QPainter>
#include <QFileInfo>
#include <QPicture>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <vector>

namespace {

// The set pixels (not white) of a row or column, as a string of '#' and '.'.
std::string Row(const QImage& image, int y, int from, int to)
{
    std::string s;
    for (int x = from; x < to; ++x)
        s += PixelColor(image, x, y) == 0xFFFFFF ? '.' : '#';
    return s;
}

std::string Column(const QImage& image, int x, int from, int to)
{
    std::string s;
    for (int y = from; y < to; ++y)
        s += PixelColor(image, x, y) == 0xFFFFFF ? '.' : '#';
    return s;
}

QRect InkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (PixelColor(image, x, y) != 0xFFFFFF)
                bounds = bounds.united(QRect(x, y, 1, 1));
    return bounds;
}

const TPen XorWhite(0xFFFFFF, TPenMode::pmXor);

// The drawing recorded into a picture and played onto a copy of Ground:
// the painter's pixels, where drawing on an image may write its own.
QImage PlayedFromPicture(const QImage& Ground, const std::function<void(TCanvas&)>& Draw)
{
    QPicture picture;
    picture.setBoundingRect(Ground.rect());
    {
        TCanvas canvas(&picture);
        Draw(canvas);
    }
    QImage played = Ground;
    QPainter painter(&played);
    painter.drawPicture(0, 0, picture);
    return played;
}

} // namespace

TEST(Canvas, LineLeavesOutItsEndPixelInEveryDirection)
{
    QImage image = WhiteImage(20, 20);
    {
        TCanvas canvas(&image);
        canvas.SetPen(TPen(0));
        canvas.MoveTo(2, 2);
        canvas.LineTo(8, 2);
        canvas.MoveTo(8, 5);
        canvas.LineTo(2, 5);
        canvas.MoveTo(10, 1);
        canvas.LineTo(10, 6);
        EXPECT_EQ(canvas.PenPos(), Point(10, 6));
    }
    EXPECT_EQ(Row(image, 2, 0, 10), "..######..");
    // Drawn leftward the line starts at 8 and stops before 2.
    EXPECT_EQ(Row(image, 5, 0, 10), "...######.");
    EXPECT_EQ(Column(image, 10, 0, 8), ".#####..");
}

TEST(Canvas, DiagonalLineFollowsBresenhamWithTiesToTheMinorAxis)
{
    QImage image = WhiteImage(12, 6);
    {
        TCanvas canvas(&image);
        canvas.SetPen(TPen(0));
        canvas.MoveTo(0, 0);
        canvas.LineTo(8, 2);
    }
    // err starts at 2*2-8 = -4 and reaches 0 after x = 1 and x = 5, where
    // the walk steps down.
    EXPECT_EQ(Row(image, 0, 0, 9), "##.......");
    EXPECT_EQ(Row(image, 1, 0, 9), "..####...");
    EXPECT_EQ(Row(image, 2, 0, 9), "......##.");
}

TEST(Canvas, ExclusiveOrFiguresDrawnTwiceRestoreEveryPixel)
{
    const QImage original = NoisyImage(60, 50, 4711);
    QImage image = original;
    const TPoint polygon[] = {{5, 5}, {40, 8}, {30, 45}, {12, 30}, {50, 20}};
    const TPoint polyline[] = {{1, 1}, {58, 3}, {3, 48}, {57, 47}, {1, 1}};
    auto drawAll = [&](TCanvas& canvas) {
        canvas.SetPen(XorWhite);
        canvas.SetBrush(TBrush(0xFFFFFF));
        canvas.Rectangle(3, 4, 25, 30);
        canvas.SetBrush(TBrush(0x808080));
        canvas.Rectangle(20, 10, 50, 40);
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        canvas.Rectangle(1, 1, 59, 49);
        canvas.Rectangle(7, 7, 8, 30);  // one pixel wide
        canvas.SetBrush(TBrush(0x00FF00));
        canvas.Polygon(polygon);
        canvas.Polyline(polyline);
        canvas.MoveTo(0, 49);
        canvas.LineTo(59, 0);
        canvas.LineTo(59, 49);
        TPen wide = XorWhite;
        wide.SetWidth(3);
        canvas.SetPen(wide);
        canvas.Polyline(polyline);
        canvas.Rectangle(10, 12, 40, 33);
    };
    {
        TCanvas canvas(&image);
        drawAll(canvas);
    }
    EXPECT_GT(CountChanged(original, image), 1000);
    {
        TCanvas canvas(&image);
        drawAll(canvas);
    }
    EXPECT_EQ(CountChanged(original, image), 0);
}

TEST(Canvas, ExclusiveOrRectangleTouchesEachPixelOnce)
{
    QImage image = WhiteImage(10, 10);
    {
        TCanvas canvas(&image);
        canvas.SetPen(XorWhite);
        canvas.SetBrush(TBrush(0xFFFFFF));
        canvas.Rectangle(2, 2, 7, 6);
    }
    // Outline and inside both invert once: the whole area is black.
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(Row(image, y, 0, 10), (y >= 2 && y < 6) ? "..#####..." : "..........") << y;
}

TEST(Canvas, ExclusiveOrPolygonTouchesEachPixelOnce)
{
    // Inverting on white must blacken exactly what the same polygon drawn
    // in black covers: outline and inside each once, also where edges run
    // steeply and the outline runs in vertical runs. (Where two edges of an
    // outline cross or meet at a sharp angle, a pixel both run through is
    // inverted by both, as by two lines.)
    const std::vector<std::vector<TPoint>> polygons{
        {{60, 2}, {110, 40}, {80, 77}, {20, 70}, {8, 20}},
        {{10, 10}, {60, 40}, {110, 10}, {90, 75}, {30, 75}},
        {{40, 5}, {60, 5}, {52, 75}, {48, 75}},
    };
    for (const std::vector<TPoint>& points : polygons) {
        QImage inverted = WhiteImage(120, 80);
        QImage covered = WhiteImage(120, 80);
        {
            TCanvas canvas(&inverted);
            canvas.SetPen(XorWhite);
            canvas.SetBrush(TBrush(0xFFFFFF));
            canvas.Polygon(points);
        }
        {
            TCanvas canvas(&covered);
            canvas.SetPen(TPen(0x000000));
            canvas.SetBrush(TBrush(0x000000));
            canvas.Polygon(points);
        }
        EXPECT_EQ(CountChanged(inverted, covered), 0) << points[1].x;
    }
}

TEST(Canvas, RectangleOutlineAndClearPenInside)
{
    QImage image = WhiteImage(12, 12);
    {
        TCanvas canvas(&image);
        canvas.SetPen(TPen(0));
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        canvas.Rectangle(1, 1, 6, 5);
        canvas.SetPen(TPen(0, TPenMode::pmCopy, TPenStyle::psClear));
        canvas.SetBrush(TBrush(0));
        canvas.Rectangle(7, 1, 11, 5);
    }
    EXPECT_EQ(Row(image, 1, 0, 12), ".#####.###..");
    EXPECT_EQ(Row(image, 2, 0, 12), ".#...#.###..");
    EXPECT_EQ(Row(image, 3, 0, 12), ".#...#.###..");
    EXPECT_EQ(Row(image, 4, 0, 12), ".#####......");
}

TEST(Canvas, FillRectCopiesWhateverThePenMode)
{
    QImage image = NoisyImage(10, 10, 4711);
    {
        TCanvas canvas(&image);
        canvas.SetPen(XorWhite);
        canvas.SetBrush(TBrush(0x123456));
        canvas.FillRect(Rect(2, 3, 5, 7));
    }
    for (int y = 3; y < 7; ++y) {
        for (int x = 2; x < 5; ++x)
            EXPECT_EQ(PixelColor(image, x, y), 0x123456u);
    }
}

// ---- Batched fills ------------------------------------------------------------------

namespace {

// Overlapping, empty, reversed, one-pixel and partly off-device rectangles
// for a 40 x 30 device.
const std::vector<TRect> kBatch = {Rect(2, 3, 12, 9),   Rect(8, 6, 20, 15),   Rect(30, 2, 30, 10),
                                   Rect(25, 20, 18, 14), Rect(-5, -5, 4, 3),   Rect(35, 25, 50, 40),
                                   Rect(1, 27, 2, 28),   Rect(22, 1, 23, 29)};
// A colour for each, with runs of one colour.
const std::vector<TColor> kBatchColors = {0x1020F0, 0x1020F0, 0x30C050, 0x1020F0,
                                          0xE08010, 0xE08010, 0x30C050, 0x1020F0};

using TCanvasSetup = std::function<void(TCanvas&)>;

// The batch filled by FillRects or by one FillRect for each rectangle, onto
// the device as Setup prepared the canvas; Colored, each rectangle in its
// colour of kBatchColors. The drawing reported goes into Reported.
void FillBatch(TCanvas& Canvas, bool Batched, std::vector<QRect>& Reported, bool Colored = false)
{
    Canvas.SetOnDraw([&](const QRect& r) { Reported.push_back(r); });
    if (Batched && Colored) {
        Canvas.FillRects(kBatch, kBatchColors);
    } else if (Batched) {
        Canvas.FillRects(kBatch);
    } else {
        for (size_t i = 0; i < kBatch.size(); ++i) {
            if (Colored)
                Canvas.Brush().SetColor(kBatchColors[i]);
            Canvas.FillRect(kBatch[i]);
        }
    }
    if (Colored) {
        EXPECT_EQ(Canvas.Brush().Color(), kBatchColors.back());
    }
}

QImage FillOnNoise(const TCanvasSetup& Setup, bool Batched, std::vector<QRect>& Reported, bool Colored = false)
{
    QImage image = NoisyImage(40, 30, 99);
    TCanvas canvas(&image);
    Setup(canvas);
    FillBatch(canvas, Batched, Reported, Colored);
    return image;
}

QImage FillIntoPicture(const TCanvasSetup& Setup, bool Batched, bool Colored = false)
{
    QPicture picture;
    picture.setBoundingRect(QRect(0, 0, 40, 30));
    {
        TCanvas canvas(&picture);
        Setup(canvas);
        std::vector<QRect> reported;
        FillBatch(canvas, Batched, reported, Colored);
    }
    return RenderPicture(picture, QSize(40, 30));
}

QRect Bounds(const std::vector<QRect>& Rects)
{
    QRect bounds;
    for (const QRect& r : Rects)
        bounds = bounds.united(r);
    return bounds;
}

// Every pen mode, with and without a clip, under the identity, a shifted and
// a scaled mapping.
std::vector<std::pair<std::string, TCanvasSetup>> FillSetups()
{
    const std::vector<std::pair<std::string, TCanvasSetup>> mappings = {
        {"identity", [](TCanvas&) {}},
        {"shifted",
         [](TCanvas& c) {
             c.SetWindowOrg(3, -2);
             c.SetViewportOrg(-1, 4);
         }},
        {"scaled", [](TCanvas& c) {
             c.SetMapMode(TMapMode::mmAnisotropic);
             c.SetWindowExt(3, 4);
             c.SetViewportExt(5, 3);
             c.SetViewportOrg(1, 2);
         }}};
    const std::vector<std::pair<std::string, TPenMode>> modes = {
        {"copy", TPenMode::pmCopy}, {"xor", TPenMode::pmXor}, {"mask", TPenMode::pmMask}};
    std::vector<std::pair<std::string, TCanvasSetup>> setups;
    for (const auto& [mapName, map] : mappings)
        for (const auto& [modeName, mode] : modes)
            for (const bool clipped : {false, true}) {
                const std::string name = mapName + " " + modeName + (clipped ? " clipped" : "");
                setups.emplace_back(name, [map, mode, clipped](TCanvas& c) {
                    map(c);
                    c.SetPen(TPen(0xFFFFFF, mode));
                    c.SetBrush(TBrush(RGB(0x3C, 0x81, 0xF0)));
                    if (clipped)
                        c.IntersectClipRect(Rect(5, 4, 19, 23));
                });
            }
    return setups;
}

} // namespace

TEST(Canvas, FillRectsFillsAsFillRectDoesOneByOne)
{
    for (const auto& [name, setup] : FillSetups()) {
        for (const bool colored : {false, true}) {
            SCOPED_TRACE(name + (colored ? " colored" : ""));
            std::vector<QRect> single;
            std::vector<QRect> batch;
            const QImage expected = FillOnNoise(setup, false, single, colored);
            const QImage filled = FillOnNoise(setup, true, batch, colored);
            EXPECT_EQ(CountChanged(expected, filled), 0);
            EXPECT_GT(CountChanged(expected, NoisyImage(40, 30, 99)), 0);
            // Reports covering what FillRect reports one by one; one for a
            // batch of one colour.
            ASSERT_FALSE(batch.empty());
            EXPECT_EQ(Bounds(batch), Bounds(single));
            if (!colored) {
                EXPECT_EQ(batch.size(), 1u);
            }
            // Recorded and played back, the same again.
            const QImage played = FillIntoPicture(setup, true, colored);
            EXPECT_EQ(CountChanged(FillIntoPicture(setup, false, colored), played), 0);
            EXPECT_GT(CountChanged(played, WhiteImage(40, 30)), 0);
        }
    }
}

// Copies onto a 32-bit image are written straight into its scanlines; an
// image the fast path does not take (24 bits) goes through the painter.
// Both must come out pixel for pixel alike, under every mapping and clip.
TEST(Canvas, FillsWrittenIntoTheScanlinesMatchThePainterPixelForPixel)
{
    auto setups = FillSetups();
    setups.emplace_back("two-part clip", [](TCanvas& c) {
        c.SetBrush(TBrush(RGB(0x3C, 0x81, 0xF0)));
        c.SelectClipRegion(QRegion(5, 4, 10, 10) + QRegion(20, 15, 10, 10));
    });
    for (const auto& [name, setup] : setups) {
        if (name.find("copy") == std::string::npos && name != "two-part clip")
            continue;
        SCOPED_TRACE(name);
        for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
            for (const auto& [batched, colored] : {std::pair{false, false}, {true, false}, {true, true}}) {
                QImage fast = NoisyImage(40, 30, 99).convertToFormat(format);
                QImage painted = NoisyImage(40, 30, 99).convertToFormat(QImage::Format_RGB888);
                std::vector<QRect> fastReported;
                std::vector<QRect> paintedReported;
                {
                    TCanvas canvas(&fast);
                    setup(canvas);
                    FillBatch(canvas, batched, fastReported, colored);
                }
                {
                    TCanvas canvas(&painted);
                    setup(canvas);
                    FillBatch(canvas, batched, paintedReported, colored);
                }
                EXPECT_EQ(CountChanged(fast.convertToFormat(QImage::Format_RGB32),
                                       painted.convertToFormat(QImage::Format_RGB32)),
                          0);
                EXPECT_EQ(Bounds(fastReported), Bounds(paintedReported));
                if (!colored) {
                    EXPECT_EQ(fastReported, paintedReported);
                }
            }
        }
    }
}

TEST(Canvas, FillRectsUsesAPatternBrushAndLeavesAClearOneUndrawn)
{
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixel(x, y, (x * 3 + y) % 5 == 0 ? 0xFF000000u : 0xFFFFFFFFu);
    const TCanvasSetup pattern = [&](TCanvas& c) {
        c.SetViewportOrg(3, 1);
        TBrush brush;
        brush.SetBitmap(tile);
        c.SetBrush(brush);
    };
    std::vector<QRect> reported;
    EXPECT_EQ(CountChanged(FillOnNoise(pattern, false, reported), FillOnNoise(pattern, true, reported)), 0);

    const TCanvasSetup clear = [](TCanvas& c) { c.SetBrush(TBrush(0, TBrushStyle::bsClear)); };
    reported.clear();
    EXPECT_EQ(CountChanged(FillOnNoise(clear, true, reported), NoisyImage(40, 30, 99)), 0);
    EXPECT_TRUE(reported.empty());

    // Nothing to fill: nothing reported.
    QImage image = WhiteImage(10, 10);
    TCanvas canvas(&image);
    canvas.SetOnDraw([&](const QRect& r) { reported.push_back(r); });
    const TRect empty[] = {Rect(3, 3, 3, 8), Rect(2, 5, 9, 5)};
    canvas.FillRects(empty);
    canvas.FillRects({});
    EXPECT_TRUE(reported.empty());
}

TEST(Canvas, MaskModeCombinesByAndMergeModeByOr)
{
    const struct {
        TPenMode Mode;
        TColor Inside;
    } cases[] = {{TPenMode::pmMask, RGB(0x30, 0x0F, 0x81)}, {TPenMode::pmMerge, RGB(0xFC, 0xFF, 0xFF)}};
    for (const auto& c : cases) {
        QImage image(4, 1, QImage::Format_RGB32);
        image.fill(QColor(0xF0, 0x0F, 0xFF));
        {
            TCanvas canvas(&image);
            canvas.SetPen(TPen(0x808080, c.Mode, TPenStyle::psClear));
            canvas.SetBrush(TBrush(RGB(0x3C, 0xFF, 0x81)));
            const TPoint band[] = {{0, 0}, {4, 0}, {4, 1}, {0, 1}};
            canvas.Polygon(band);
        }
        // Inside pixels: the brush combined with the ground.
        EXPECT_EQ(PixelColor(image, 1, 0) & 0xFFFFFF, c.Inside) << int(c.Mode);
    }
}

// Rectangles filled straight into an image's scanlines combine with the
// ground exactly as Qt's raster operations do, in every 32-bit format, and
// keep to the clip; tall ones too, which Qt fills on several threads.
TEST(Canvas, RectanglesOnAnImageCombineAsQtsRasterOperations)
{
    std::mt19937 random(5);
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32}) {
        QImage ground(40, 300, format);
        for (int y = 0; y < ground.height(); ++y)
            for (int x = 0; x < ground.width(); ++x)
                ground.setPixel(x, y, format == QImage::Format_RGB32 ? random() | 0xFF000000u : random() | 0x80000000u);
        ground = format == QImage::Format_ARGB32_Premultiplied
                     ? ground.convertToFormat(QImage::Format_ARGB32).convertToFormat(format)
                     : ground;
        for (const TPenMode mode : {TPenMode::pmCopy, TPenMode::pmXor, TPenMode::pmMask, TPenMode::pmMerge}) {
            SCOPED_TRACE(testing::Message() << "format " << int(format) << ", mode " << int(mode));
            // A framed rectangle: its outline in the pen's colour, its
            // inside in the brush's, each pixel combined once.
            const QRect frames[] = {QRect(5, 3, 4, 290), QRect(0, 10, 40, 6)};
            QImage expected = ground;
            {
                QPainter painter(&expected);
                painter.setClipRect(QRect(2, 0, 30, 280));
                painter.setPen(Qt::NoPen);
                painter.setCompositionMode(mode == TPenMode::pmXor    ? QPainter::RasterOp_SourceXorDestination
                                           : mode == TPenMode::pmMask  ? QPainter::RasterOp_SourceAndDestination
                                           : mode == TPenMode::pmMerge ? QPainter::RasterOp_SourceOrDestination
                                                                       : QPainter::CompositionMode_Source);
                for (const QRect& f : frames) {
                    painter.setBrush(QColor(0x3C, 0x81, 0xF0));
                    painter.drawRect(f.adjusted(1, 1, -1, -1));
                    painter.setBrush(QColor(0xC0, 0x12, 0x0F));
                    const QRect outline[] = {{f.left(), f.top(), f.width(), 1},
                                             {f.left(), f.bottom(), f.width(), 1},
                                             {f.left(), f.top() + 1, 1, f.height() - 2},
                                             {f.right(), f.top() + 1, 1, f.height() - 2}};
                    painter.drawRects(outline, 4);
                }
            }
            QImage drawn = ground;
            {
                TCanvas canvas(&drawn);
                canvas.IntersectClipRect(Rect(2, 0, 32, 280));
                canvas.SetPen(TPen(RGB(0xC0, 0x12, 0x0F), mode));
                canvas.SetBrush(TBrush(RGB(0x3C, 0x81, 0xF0)));
                for (const QRect& f : frames)
                    canvas.Rectangle(Rect(f.left(), f.top(), f.right() + 1, f.bottom() + 1));
            }
            EXPECT_EQ(drawn, expected);
        }
    }
}

TEST(Canvas, PatternBrushRepeatsItsTileFromTheOrigin)
{
    QImage tile(8, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tile.setPixel(x, y, (x + y) % 2 == 0 ? 0xFFFFFFFFu : 0xFF000000u);
    QImage image = WhiteImage(20, 20);
    {
        TCanvas canvas(&image);
        TBrush brush;
        brush.SetBitmap(tile);
        canvas.SetBrush(brush);
        canvas.FillRect(Rect(3, 3, 19, 19));
    }
    EXPECT_EQ(PixelColor(image, 4, 4), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(image, 5, 4), 0u);
    EXPECT_EQ(PixelColor(image, 12, 12), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(image, 13, 12), 0u);
}

TEST(Canvas, MappingConvertsBothWaysAndIsSavedWithTheState)
{
    QImage image = WhiteImage(100, 100);
    TCanvas canvas(&image);
    EXPECT_EQ(canvas.LPtoDP(Point(7, 9)), Point(7, 9));
    const int saved = canvas.SaveDC();
    canvas.SetMapMode(TMapMode::mmAnisotropic);
    canvas.SetWindowExt(10, 10);
    canvas.SetViewportExt(30, 20);
    canvas.SetViewportOrg(5, 6);
    EXPECT_EQ(canvas.LPtoDP(Point(10, 10)), Point(35, 26));
    EXPECT_EQ(canvas.DPtoLP(Point(35, 26)), Point(10, 10));
    EXPECT_EQ(canvas.LPtoDP(Rect(0, 0, 2, 3)), Rect(5, 6, 11, 12));
    canvas.IntersectClipRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(canvas.ClipRect(), Rect(0, 0, 10, 10));
    EXPECT_TRUE(canvas.RestoreDC(saved));
    EXPECT_EQ(canvas.MapMode(), TMapMode::mmText);
    EXPECT_EQ(canvas.LPtoDP(Point(10, 10)), Point(10, 10));
    EXPECT_EQ(canvas.ClipRect(), Rect(0, 0, 100, 100));
    EXPECT_FALSE(canvas.RestoreDC(-1));
}

TEST(Canvas, TextModeIgnoresExtentsAndWindowOriginShifts)
{
    QImage image = WhiteImage(10, 10);
    TCanvas canvas(&image);
    canvas.SetWindowExt(5, 5);
    canvas.SetWindowOrg(2, 3);
    EXPECT_EQ(canvas.LPtoDP(Point(2, 3)), Point(0, 0));
    EXPECT_EQ(canvas.WindowExt(), (TSize{1, 1}));
}

TEST(Canvas, ScaledMappingScalesCoordinatesButNotThePen)
{
    QImage image = WhiteImage(40, 10);
    {
        TCanvas canvas(&image);
        canvas.SetPen(TPen(0));
        canvas.SetMapMode(TMapMode::mmAnisotropic);
        canvas.SetWindowExt(1, 1);
        canvas.SetViewportExt(3, 3);
        canvas.MoveTo(1, 1);
        canvas.LineTo(5, 1);
    }
    EXPECT_EQ(Row(image, 3, 0, 16), "...############.");
    EXPECT_EQ(Row(image, 4, 0, 16), "................");
}

TEST(Canvas, ClipRegionLimitsDrawingAndSaveRestoresIt)
{
    QImage image = WhiteImage(10, 3);
    {
        TCanvas canvas(&image);
        canvas.SetBrush(TBrush(0));
        const int saved = canvas.SaveDC();
        canvas.IntersectClipRect(Rect(2, 0, 5, 3));
        canvas.FillRect(Rect(0, 0, 10, 1));
        canvas.RestoreDC(saved);
        canvas.FillRect(Rect(0, 2, 10, 3));
    }
    EXPECT_EQ(Row(image, 0, 0, 10), "..###.....");
    EXPECT_EQ(Row(image, 2, 0, 10), "##########");
}

TEST(Canvas, TextExtentHeightIsTheFontsLineHeight)
{
    TCanvas canvas;
    canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 15));
    const TSize extent = canvas.TextExtent(QStringLiteral("Value"));
    EXPECT_EQ(extent.cy, 15);
    EXPECT_GT(extent.cx, 15);
    EXPECT_LE(QFontMetrics(canvas.Font().QtFont()).height(), 15);
    EXPECT_EQ(canvas.TextExtent(QString()).cx, 0);
}

// Canvases on several threads draw with copies of one font: no two of them
// may share the Qt font data that drawing caches into.
TEST(Canvas, CopiesOfAFontShareNoQtFontData)
{
    const TFont font(QStringLiteral("Sans Serif"), 15);
    const QFont first = font.QtFont();
    const TFont copy = font;
    EXPECT_FALSE(font.QtFont().isCopyOf(first));
    EXPECT_FALSE(copy.QtFont().isCopyOf(first));
    EXPECT_EQ(copy.QtFont().pixelSize(), first.pixelSize());
}

TEST(Canvas, TurnedTextRunsUpwardFromItsPoint)
{
    QImage image = WhiteImage(80, 80);
    TSize extent;
    {
        TCanvas canvas(&image);
        TFont font(QStringLiteral("Sans Serif"), 13);
        font.SetEscapement(900);
        canvas.SetFont(font);
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        extent = canvas.TextExtent(QStringLiteral("0.50"));
        canvas.TextOut(30, 60, QStringLiteral("0.50"));
    }
    const QRect ink = InkBounds(image);
    ASSERT_FALSE(ink.isEmpty());
    // Across the text: from x = 30 over the line height; along it: upward
    // from y = 60 over its width.
    EXPECT_GE(ink.left(), 30);
    EXPECT_LE(ink.right(), 30 + extent.cy);
    EXPECT_LE(ink.bottom(), 60);
    EXPECT_GE(ink.top(), 60 - extent.cx - 1);
    EXPECT_GT(ink.height(), ink.width());
}

TEST(Canvas, OpaqueTextFillsItsCellWithTheBrush)
{
    QImage image = WhiteImage(60, 30);
    TSize extent;
    {
        TCanvas canvas(&image);
        canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 12, 0xFFFFFF));
        canvas.SetBrush(TBrush(0x0000FF));
        extent = canvas.TextExtent(QStringLiteral("ab"));
        canvas.TextOut(5, 5, QStringLiteral("ab"));
    }
    EXPECT_EQ(PixelColor(image, 5, 5), 0x0000FFu);
    EXPECT_EQ(PixelColor(image, 5 + extent.cx - 1, 5 + extent.cy - 1), 0x0000FFu);
    EXPECT_EQ(PixelColor(image, 5 + extent.cx, 5), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(image, 5, 5 + extent.cy), 0xFFFFFFu);
}

TEST(Canvas, TextRectClipsToItsRectangle)
{
    QImage image = WhiteImage(60, 30);
    {
        TCanvas canvas(&image);
        canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 15));
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        canvas.TextRect(Rect(0, 0, 12, 30), 2, 2, QStringLiteral("WWWWWW"));
    }
    const QRect ink = InkBounds(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LT(ink.right(), 12);
}

TEST(Canvas, DrawTextBreaksWordsCentresAndEndsCutTextWithAnEllipsis)
{
    TCanvas canvas;
    canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 15));
    const int word = canvas.TextWidth(QStringLiteral("alpha"));
    TRect calc = Rect(0, 0, word + 2, 100);
    const int height = canvas.DrawText(QStringLiteral("alpha beta gamma"), calc, dtWordBreak | dtCalcRect);
    EXPECT_EQ(height, 3 * 15);
    EXPECT_EQ(calc.Bottom, 45);

    QImage image = WhiteImage(200, 40);
    {
        TCanvas drawing(&image);
        drawing.SetFont(TFont(QStringLiteral("Sans Serif"), 15));
        drawing.SetBrush(TBrush(0, TBrushStyle::bsClear));
        TRect box = Rect(10, 5, 190, 35);
        drawing.DrawText(QStringLiteral("mid"), box, dtCenter | dtWordBreak);
    }
    const QRect ink = InkBounds(image);
    const int centre = (ink.left() + ink.right()) / 2;
    EXPECT_NEAR(centre, 100, 3);

    // Two lines fit; the rest is cut and the second line says so.
    TRect small = Rect(0, 0, word + 2, 31);
    const int shown = canvas.DrawText(QStringLiteral("alpha beta gamma delta"), small,
                                      dtWordBreak | dtEndEllipsis | dtEditControl | dtCalcRect);
    EXPECT_EQ(shown, 30);
}

TEST(Canvas, WordTooLongForTheLineIsCutWithAnEllipsis)
{
    QImage image = WhiteImage(100, 20);
    QImage reference = WhiteImage(100, 20);
    TFont font(QStringLiteral("Sans Serif"), 15);
    {
        TCanvas canvas(&image);
        canvas.SetFont(font);
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        TRect box = Rect(0, 0, 40, 20);
        canvas.DrawText(QStringLiteral("Extraordinary"), box, dtWordBreak | dtWordEllipsis);
    }
    const QRect ink = InkBounds(image);
    EXPECT_LT(ink.right(), 40);
    {
        TCanvas canvas(&reference);
        canvas.SetFont(font);
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        QString cut = QStringLiteral("Extraordinary");
        while (canvas.TextWidth(cut + QStringLiteral("...")) > 40)
            cut.chop(1);
        canvas.TextOut(0, 0, cut + QStringLiteral("..."));
    }
    EXPECT_EQ(CountChanged(image, reference), 0);
}

TEST(Canvas, ElideTextKeepsTheLongestBeginningThatFitsWithItsEllipsis)
{
    TCanvas canvas;
    canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 15));
    const QString text = QStringLiteral("Sepal length");
    auto width = [&](const char* s) { return canvas.TextWidth(QString::fromLatin1(s)); };
    struct TCase {
        int Width;
        const char* Shown;
    };
    const TCase cases[] = {
        {width("Sepal length"), "Sepal length"}, // the text exactly fills the width
        {width("Sepal l..."), "Sepal l..."},     // the cut text and "..." exactly fill it
        {width("Sepal l...") - 1, "Sepal..."},   // one pixel less: the blank before the cut goes
        {width("...") - 1, "..."},               // "..." alone when nothing fits
    };
    for (const TCase& c : cases)
        EXPECT_EQ(canvas.ElideText(text, c.Width).toStdString(), c.Shown) << c.Width;
}

TEST(Canvas, LongTextDrawsWhatItsBeginningDraws)
{
    // A megabyte of text in a small box shows what its first few thousand
    // characters show, at the cost of those.
    const int flags[] = {dtCenter | dtWordBreak | dtExternalLeading | dtNoPrefix | dtEditControl | dtEndEllipsis
                             | dtWordEllipsis,
                         dtWordBreak | dtEditControl, dtSingleLine | dtEndEllipsis};
    const QString texts[] = {QString(1 << 20, QLatin1Char('x')), QStringLiteral("Sepal length ").repeated(1 << 16),
                             QStringLiteral("a\n").repeated(1 << 19)};
    TFont font(QStringLiteral("Sans Serif"), 15);
    auto draw = [&](const QString& text, int flag) {
        QImage image = WhiteImage(120, 40);
        TCanvas canvas(&image);
        canvas.SetFont(font);
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        TRect box = Rect(5, 2, 105, 38);
        canvas.DrawText(text, box, flag);
        return image;
    };
    for (const QString& text : texts)
        for (const int flag : flags) {
            const QImage whole = draw(text, flag);
            EXPECT_EQ(whole, draw(text.left(4000), flag)) << text.left(12).toStdString() << " " << flag;
            EXPECT_NE(whole, WhiteImage(120, 40));
        }
}

TEST(Canvas, PictureRecordsFiguresThatPlayBackExactly)
{
    const QImage ground = NoisyImage(40, 30, 4711);
    auto draw = [](TCanvas& canvas) {
        canvas.SetBrush(TBrush(0x00FFFF));
        canvas.SetPen(TPen(0x0000FF));
        canvas.Rectangle(2, 2, 20, 15);
        canvas.SetPen(XorWhite);
        canvas.SetBrush(TBrush(0x808080));
        canvas.Rectangle(10, 5, 35, 25);
        canvas.SetPen(TPen(0x808080, TPenMode::pmMask));
        canvas.MoveTo(0, 29);
        canvas.LineTo(39, 0);
        canvas.SetFont(TFont(QStringLiteral("Sans Serif"), 12));
        canvas.SetBrush(TBrush(0, TBrushStyle::bsClear));
        canvas.TextOut(3, 16, QStringLiteral("1.25"));
    };
    QImage direct = ground;
    {
        TCanvas canvas(&direct);
        draw(canvas);
    }
    QPicture picture;
    picture.setBoundingRect(QRect(0, 0, 40, 30));
    {
        TCanvas canvas(&picture);
        EXPECT_EQ(canvas.DeviceRect(), Rect(0, 0, 40, 30));
        draw(canvas);
    }
    QImage played = ground;
    {
        TCanvas canvas(&played);
        canvas.StretchDraw(Rect(0, 0, 40, 30), picture);
    }
    // StretchDraw plays onto white; play onto the ground directly instead.
    QImage onGround = ground;
    {
        QPainter painter(&onGround);
        painter.drawPicture(0, 0, picture);
    }
    EXPECT_EQ(CountChanged(direct, onGround), 0);
    const QImage rendered = RenderPicture(picture, QSize(80, 60));
    EXPECT_EQ(rendered.size(), QSize(80, 60));
    EXPECT_EQ(PixelColor(rendered, 4, 4), 0x0000FFu);  // the outline, doubled
    EXPECT_EQ(PixelColor(rendered, 6, 6), 0x00FFFFu);
    EXPECT_EQ(PixelColor(played, 3, 3), 0x00FFFFu);
}

TEST(Canvas, DetachedCanvasDrawsNothingAndMeasuresText)
{
    TCanvas canvas;
    canvas.MoveTo(0, 0);
    canvas.LineTo(10, 10);
    canvas.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(canvas.DeviceRect(), TRect{});
    EXPECT_GT(canvas.TextWidth(QStringLiteral("x")), 0);
}

TEST(Canvas, DrawsOntoAPrinter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("page.pdf"));
    QPicture picture;
    picture.setBoundingRect(QRect(0, 0, 40, 20));
    {
        TCanvas canvas(&picture);
        canvas.SetPen(TPen(0xFFFFFF, TPenMode::pmXor));
        canvas.SetBrush(TBrush(0xFFFFFF));
        canvas.Rectangle(0, 0, 40, 20);
    }
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        TCanvas canvas(&printer);
        ASSERT_NE(canvas.Painter(), nullptr);
        EXPECT_GT(canvas.PixelsPerInchX(), 96);
        canvas.StretchDraw(Rect(0, 0, 400, 200), picture);
    }
    EXPECT_GT(QFileInfo(file).size(), 0);
    // Played into an image, the exclusive-or on white comes out black.
    const QImage played = RenderPicture(picture, QSize(400, 200));
    EXPECT_EQ(PixelColor(played, 200, 100), 0u);
}

TEST(Canvas, PolylinesIntoAnImageSetThePixelsTheSpansWould)
{
    // Straight into the image (its own pixels) and through a picture (the
    // painter's spans), under no clip, a rectangle and two rectangles.
    const std::vector<TPoint> line{{-5, 3}, {17, 29}, {18, 2}, {39, 14}, {2, 15}, {60, 40}};
    const std::vector<std::optional<QRegion>> clips{
        std::nullopt, QRegion(5, 4, 20, 18), QRegion(0, 0, 10, 30).united(QRegion(20, 0, 10, 30))};
    for (const auto& clip : clips) {
        auto draw = [&](TCanvas& canvas) {
            canvas.SelectClipRegion(clip);
            canvas.SetPen(TPen(0x3366CC));
            canvas.Polyline(line);
            canvas.SetViewportOrg(1, 2);
            canvas.SetPen(TPen(0x0000FF));
            canvas.Polyline(line);
        };
        QImage direct = NoisyImage(40, 30, 17);
        std::vector<QRect> reported;
        {
            TCanvas canvas(&direct);
            canvas.SetOnDraw([&](const QRect& r) { reported.push_back(r); });
            draw(canvas);
        }
        const QImage played = PlayedFromPicture(NoisyImage(40, 30, 17), draw);
        EXPECT_EQ(CountChanged(direct, played), 0);
        EXPECT_GT(CountChanged(direct, NoisyImage(40, 30, 17)), 0);
        // Each line reports once.
        EXPECT_EQ(reported.size(), 2u);
    }
    // An empty clip lets nothing through.
    QImage image = NoisyImage(40, 30, 17);
    {
        TCanvas canvas(&image);
        canvas.SelectClipRegion(QRegion());
        canvas.SetPen(TPen(0x3366CC));
        canvas.Polyline(line);
    }
    EXPECT_EQ(CountChanged(image, NoisyImage(40, 30, 17)), 0);
}

TEST(Canvas, LinesIntoAnImageTakeTheWalksStepsInEveryDirection)
{
    // Every direction up to 7 pixels, where the walk's ties fall on many
    // steps, and spokes to the border: each alone, into the image and
    // through a picture.
    std::vector<TPoint> ends;
    for (int dy = -7; dy <= 7; ++dy)
        for (int dx = -7; dx <= 7; ++dx)
            ends.push_back({20 + dx, 14 + dy});
    for (int x = 0; x < 40; x += 3)
        ends.insert(ends.end(), {{x, 0}, {39 - x, 29}});
    for (int y = 0; y < 30; y += 3)
        ends.insert(ends.end(), {{0, y}, {39, 29 - y}});
    for (const TPoint& end : ends) {
        auto draw = [&](TCanvas& canvas) {
            canvas.SetPen(TPen(0x3366CC));
            const TPoint line[] = {{20, 14}, end};
            canvas.Polyline(line);
        };
        QImage direct = WhiteImage(40, 30);
        {
            TCanvas canvas(&direct);
            draw(canvas);
        }
        EXPECT_EQ(CountChanged(direct, PlayedFromPicture(WhiteImage(40, 30), draw)), 0) << end.x << ", " << end.y;
    }
}

TEST(Canvas, WideStrokesIntoAnImageKeepToQtsStroke)
{
    // Written into the image's pixels, and played from a picture, where Qt
    // strokes them: every width from 2 to 13, directions all round, joins,
    // clips. Across a line along an axis or the diagonal both agree exactly;
    // elsewhere only a few pixels on the rim may differ, where Qt rounds its
    // ends and joins as polygons.
    using TCrossSection = std::function<std::string(const QImage&)>;
    const TCrossSection column = [](const QImage& image) { return Column(image, 29, 0, 60); };
    const TCrossSection row = [](const QImage& image) { return Row(image, 29, 0, 60); };
    struct TShape {
        const char* Name;
        std::vector<TPoint> Points;
        std::optional<QRegion> Clip;
        TCrossSection Across;
        bool Axial;
    };
    const std::vector<TShape> shapes{
        {"horizontal", {{8, 29}, {50, 29}}, std::nullopt, column, true},
        {"vertical", {{29, 52}, {29, 6}}, std::nullopt, row, true},
        {"diagonal", {{8, 8}, {50, 50}}, std::nullopt, row, false},
        {"steep", {{20, 5}, {33, 55}}, std::nullopt, nullptr, false},
        {"shallow", {{5, 40}, {55, 28}}, std::nullopt, nullptr, false},
        {"joins", {{6, 50}, {20, 10}, {34, 48}, {48, 12}, {54, 30}}, std::nullopt, nullptr, false},
        {"clipped", {{6, 50}, {20, 10}, {34, 48}, {48, 12}, {54, 30}}, QRegion(12, 15, 33, 25), nullptr, false},
        {"off the edge", {{-20, 40}, {30, 20}, {80, 45}}, std::nullopt, nullptr, false},
        {"repeated points", {{12, 40}, {12, 40}, {45, 22}, {45, 22}}, std::nullopt, nullptr, false},
    };
    const QImage white = WhiteImage(60, 60);
    int inked = 0;
    int differing = 0;
    for (const TShape& shape : shapes)
        for (int width = 2; width <= 13; ++width) {
            auto draw = [&](TCanvas& canvas) {
                canvas.SelectClipRegion(shape.Clip);
                canvas.SetPen(TPen(0x3366CC, TPenMode::pmCopy, TPenStyle::psSolid, width));
                canvas.Polyline(shape.Points);
            };
            QImage direct = white;
            std::vector<QRect> reported;
            {
                TCanvas canvas(&direct);
                canvas.SetOnDraw([&](const QRect& r) { reported.push_back(r); });
                draw(canvas);
            }
            const QImage played = PlayedFromPicture(white, draw);
            const std::string name = std::string(shape.Name) + " width " + std::to_string(width);
            const int ink = CountChanged(played, white);
            const int diff = CountChanged(direct, played);
            inked += ink;
            differing += diff;
            EXPECT_LE(diff, ink / 25 + 6) << name;
            if (shape.Across) {
                const std::string across = shape.Across(direct);
                EXPECT_EQ(across, shape.Across(played)) << name;
                if (shape.Axial) {
                    EXPECT_EQ(std::count(across.begin(), across.end(), '#'), width) << name;
                }
            }
            // Reported once, around every pixel set.
            ASSERT_EQ(reported.size(), 1u) << name;
            EXPECT_TRUE(reported[0].contains(InkBounds(direct))) << name;
        }
    EXPECT_LE(differing * 100, inked) << "more than one pixel in a hundred differs";

    // Like Qt, no dot where the stroke has no length.
    QImage image = white;
    {
        TCanvas canvas(&image);
        canvas.SetPen(TPen(0x3366CC, TPenMode::pmCopy, TPenStyle::psSolid, 6));
        const TPoint still[] = {{30, 30}, {30, 30}};
        canvas.Polyline(still);
    }
    EXPECT_EQ(CountChanged(image, white), 0);
}

// Lines that run far off the device draw the pixels of their visible part
// only, exactly as the same line cut near the device's edge does: a point
// far along a line and one a few steps along it give the same walk.
TEST(Canvas, FarOffFiguresDrawWhatTheirCutDrawingDraws)
{
    enum class TTarget { Image, Picture };
    struct TCase {
        const char* Name;
        TTarget Target;
        int Width;
        TPenMode Mode;
        QPoint From;
        QPoint Step;  // along the line, in small integers
        int Near;     // steps to a point beyond the image
        bool BothWays; // the line also runs far off behind From
    };
    constexpr int kFar = 20000000;
    const TCase cases[] = {
        {"thin shallow", TTarget::Image, 1, TPenMode::pmCopy, {20, 30}, {5, 1}, 200, false},
        {"thin steep backwards", TTarget::Image, 1, TPenMode::pmCopy, {70, 10}, {-3, 7}, 40, false},
        {"thin horizontal", TTarget::Image, 1, TPenMode::pmCopy, {10, 50}, {1, 0}, 200, true},
        {"thin exclusive-or", TTarget::Image, 1, TPenMode::pmXor, {60, 40}, {2, -1}, 150, true},
        {"thin in a picture", TTarget::Picture, 1, TPenMode::pmCopy, {30, 20}, {1, 4}, 40, true},
        {"wide", TTarget::Image, 7, TPenMode::pmCopy, {40, 20}, {1, 3}, 60, true},
        {"wide vertical", TTarget::Image, 6, TPenMode::pmCopy, {33, 40}, {0, -1}, 200, true},
        {"wide exclusive-or", TTarget::Image, 7, TPenMode::pmXor, {50, 50}, {4, 1}, 200, true},
        {"wide in a picture", TTarget::Picture, 5, TPenMode::pmCopy, {20, 60}, {1, 0}, 150, true},
    };
    const QImage ground = NoisyImage(120, 100, 7);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto draw = [&](int steps) {
            const QPoint from = c.BothWays ? c.From - steps * c.Step : c.From;
            const QPoint to = c.From + steps * c.Step;
            const TPoint points[] = {{from.x(), from.y()}, {to.x(), to.y()}};
            auto figure = [&](TCanvas& canvas) {
                canvas.SetPen(TPen(0x3366CC, c.Mode, TPenStyle::psSolid, c.Width));
                canvas.Polyline(points);
                // The same line once more, backwards and beside it.
                const QPoint beside(11, 11);
                canvas.MoveTo(to.x() + beside.x(), to.y() + beside.y());
                canvas.LineTo(from.x() + beside.x(), from.y() + beside.y());
            };
            if (c.Target == TTarget::Picture)
                return PlayedFromPicture(ground, figure);
            QImage image = ground;
            TCanvas canvas(&image);
            figure(canvas);
            return image;
        };
        const QImage cut = draw(c.Near);
        EXPECT_NE(CountChanged(cut, ground), 0);
        EXPECT_EQ(CountChanged(draw(kFar), cut), 0);
    }
}

// A polyline through a far-off vertex draws its two visible pieces, and a
// polygon reaching far off fills only its visible rows.
TEST(Canvas, FarOffVerticesOfPolylinesAndPolygons)
{
    constexpr int n = 1666666;
    const TPoint p{20, 30};
    const TPoint far{20 + 40 + 60 * n, 30 + 40 + 60 * n};
    const TPoint q{60, 10};
    const QImage ground = NoisyImage(120, 100, 11);
    for (const int width : {1, 7}) {
        for (const TPenMode mode : {TPenMode::pmCopy, TPenMode::pmXor}) {
            SCOPED_TRACE(width);
            const TPen pen(0x22AA44, mode, TPenStyle::psSolid, width);
            QImage joined = ground;
            QImage apart = ground;
            {
                TCanvas canvas(&joined);
                canvas.SetPen(pen);
                const TPoint points[] = {p, far, q};
                canvas.Polyline(points);
            }
            {
                TCanvas canvas(&apart);
                canvas.SetPen(pen);
                const TPoint first[] = {p, far};
                const TPoint second[] = {far, q};
                canvas.Polyline(first);
                canvas.Polyline(second);
            }
            EXPECT_NE(CountChanged(joined, ground), 0);
            EXPECT_EQ(CountChanged(joined, apart), 0);
        }
    }
    // A triangle whose apex lies far below: the visible rows are those of
    // the same triangle cut at a row beyond the image.
    QImage farFill = WhiteImage(120, 100);
    QImage nearFill = WhiteImage(120, 100);
    for (auto [image, apexY] : {std::pair{&farFill, 100000000}, std::pair{&nearFill, 0}}) {
        TCanvas canvas(image);
        canvas.SetPen(TPen(0, TPenMode::pmCopy, TPenStyle::psClear));
        canvas.SetBrush(TBrush(0x0000FF));
        if (apexY != 0) {
            const TPoint points[] = {{10, 10}, {110, 10}, {60, apexY}};
            canvas.Polygon(points);
        } else {
            // The far triangle's sides are vertical to within a pixel over
            // the image: the rectangle between them.
            const TPoint points[] = {{10, 10}, {110, 10}, {110, 200}, {10, 200}};
            canvas.Polygon(points);
        }
    }
    EXPECT_EQ(CountChanged(farFill, nearFill), 0);
}

// The walk cut to a rectangle visits exactly the pixels of the whole walk
// that lie inside it, in the same order, for lines in every direction and
// place (random, the same every run).
TEST(Canvas, WalkCutToARectangleKeepsTheWholeWalksPixelsInside)
{
    std::mt19937 random(5);
    std::uniform_int_distribution<int> coordinate(-150, 250);
    const QRect clip(3, 7, 90, 60);
    QImage image(100, 70, QImage::Format_RGB32);
    for (int round = 0; round < 4000; ++round) {
        const int x1 = coordinate(random);
        const int y1 = coordinate(random);
        const int x2 = coordinate(random);
        const int y2 = coordinate(random);
        const bool withEnd = round % 2 == 0;
        std::vector<QPoint> whole;
        WalkLinePixels(x1, y1, x2, y2, withEnd, [&](int x, int y) {
            if (clip.contains(x, y))
                whole.emplace_back(x, y);
        });
        std::vector<QPoint> cut;
        WalkLinePixelsIn(clip, x1, y1, x2, y2, withEnd, [&](int x, int y) { cut.emplace_back(x, y); });
        ASSERT_EQ(cut, whole) << x1 << "," << y1 << " to " << x2 << "," << y2;
        if (withEnd)
            continue;
        // A one-pixel polyline written straight into an image under that
        // clip sets those pixels and no others.
        image.fill(Qt::white);
        {
            TCanvas canvas(&image);
            canvas.IntersectClipRect(ToTRect(clip));
            canvas.SetPen(TPen(0x000000));
            const TPoint line[] = {{x1, y1}, {x2, y2}};
            canvas.Polyline(line);
        }
        QImage expected(image.size(), QImage::Format_RGB32);
        expected.fill(Qt::white);
        for (const QPoint& p : whole)
            expected.setPixel(p, qRgb(0, 0, 0));
        ASSERT_EQ(CountChanged(image, expected), 0) << x1 << "," << y1 << " to " << x2 << "," << y2;
    }
}

// Lines from as far off as coordinates go, through the middle of the clip
// and as far off again: too long to walk whole. The first and last steps
// of the cut lie in the clip and the steps just beyond them outside, with
// the walk's minor offset after i steps floor((2 minor i + major) / (2 major)).
TEST(Canvas, WalkCutOfFarLinesKeepsToTheWalk)
{
    __extension__ using TWide = __int128;
    std::mt19937 random(9);
    std::uniform_int_distribution<int> far(INT_MIN / 2 + 100, INT_MAX / 2 - 100);
    std::uniform_int_distribution<int> near(1, 68);
    const QRect clip(0, 0, 100, 70);
    for (int round = 0; round < 2000; ++round) {
        const int cx = near(random);
        const int cy = near(random);
        const int x1 = 2 * far(random);
        const int y1 = 2 * far(random);
        const int x2 = 2 * cx - x1;
        const int y2 = 2 * cy - y1;
        const auto [sx, sy, xMajor, major, minor] = LineWalkSteps(x1, y1, x2, y2);
        const auto inside = [&](int64_t i) {
            const int64_t offset = int64_t((TWide(2) * minor * i + major) / (TWide(2) * major));
            const int64_t x = x1 + sx * (xMajor ? i : offset);
            const int64_t y = y1 + sy * (xMajor ? offset : i);
            return clip.left() <= x && x <= clip.right() && clip.top() <= y && y <= clip.bottom();
        };
        int64_t first = 0;
        int64_t last = 0;
        ASSERT_TRUE(ClipLineWalk(clip, x1, y1, x2, y2, false, first, last)) << x1 << "," << y1;
        EXPECT_TRUE(inside(first) && inside(last)) << x1 << "," << y1;
        EXPECT_TRUE(first == 0 || !inside(first - 1)) << x1 << "," << y1;
        EXPECT_TRUE(last == major - 1 || !inside(last + 1)) << x1 << "," << y1;
    }
}

TEST(Canvas, ImageOfPartOfASurfaceGetsTheSurfacesPixelsThere)
{
    // A canvas on an image that holds part of a larger surface, attached at
    // the part's origin and drawn on in the surface's coordinates, must set
    // exactly the pixels that drawing on the whole surface sets there: by
    // the painter, by the scanline writers and in exclusive-or alike.
    struct TFigure {
        const char* Name;
        std::function<void(TCanvas&)> Draw;
    };
    const TPoint poly[] = {{5, 70}, {40, 12}, {77, 66}, {110, 20}};
    const std::vector<TFigure> figures{
        {"fill", [](TCanvas& c) { c.SetBrush(TBrush(0x2040C0)); c.FillRect(Rect(10, 8, 100, 50)); }},
        {"fill rects", [](TCanvas& c) {
             const TRect rects[] = {Rect(3, 3, 40, 70), Rect(50, 30, 119, 34)};
             c.SetBrush(TBrush(0x00A0A0));
             c.FillRects(rects);
         }},
        {"pattern", [](TCanvas& c) {
             TBrush brush;
             QImage tile(8, 8, QImage::Format_RGB32);
             for (int i = 0; i < 64; ++i)
                 tile.setPixel(i % 8, i / 8, (i * 37) % 5 ? 0xFF000000u : 0xFFFFFFFFu);
             brush.SetBitmap(tile);
             c.SetBrush(brush);
             c.FillRect(Rect(7, 9, 101, 61));
         }},
        {"lines", [](TCanvas& c) {
             c.SetPen(TPen(0x0000C0));
             c.MoveTo(2, 78);
             c.LineTo(117, 3);
             c.LineTo(60, 79);
         }},
        {"wide polyline", [&](TCanvas& c) {
             c.SetPen(TPen(0x008000, TPenMode::pmCopy, TPenStyle::psSolid, 5));
             c.Polyline(poly);
         }},
        {"exclusive-or", [&](TCanvas& c) {
             c.SetPen(XorWhite);
             c.SetBrush(TBrush(0xFFFFFF));
             c.Rectangle(12, 10, 90, 66);
             c.Polygon(poly);
             c.MoveTo(0, 0);
             c.LineTo(119, 79);
         }},
        {"clipped", [](TCanvas& c) {
             c.IntersectClipRect(Rect(20, 5, 70, 60));
             c.SetBrush(TBrush(0xC0C000));
             c.FillRect(Rect(0, 0, 120, 80));
             c.SetPen(TPen(0x000000));
             c.MoveTo(0, 40);
             c.LineTo(120, 41);
         }},
        {"text", [](TCanvas& c) {
             c.SetFont(TFont(QStringLiteral("Sans Serif"), 15, 0x000080));
             c.SetBrush(TBrush(0xE0FFE0));
             c.TextOut(18, 24, QStringLiteral("Surface"));
         }},
    };
    const QImage ground = NoisyImage(120, 80, 7);
    const QRect part(37, 21, 50, 40);
    for (const TFigure& figure : figures) {
        QImage whole = ground;
        {
            TCanvas canvas(&whole);
            figure.Draw(canvas);
        }
        QImage image = ground.copy(part);
        std::vector<QRect> reported;
        {
            TCanvas canvas(&image, part.topLeft());
            EXPECT_EQ(canvas.DeviceRect(), ToTRect(part)) << figure.Name;
            canvas.SetOnDraw([&](const QRect& r) { reported.push_back(r); });
            figure.Draw(canvas);
        }
        EXPECT_EQ(CountChanged(image, whole.copy(part)), 0) << figure.Name;
        // What changed is reported where it lies on the surface.
        QRegion changed;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != ground.pixel(part.left() + x, part.top() + y))
                    changed += QRect(part.left() + x, part.top() + y, 1, 1);
        QRegion told;
        for (const QRect& r : reported)
            told += r;
        EXPECT_TRUE((changed - told).isEmpty()) << figure.Name;
    }
}

// A batch of polylines drawn on several threads, band by band, leaves the
// pixels of the same polylines drawn one after the other, also where other
// drawing comes in between and must stay under the later ones.
// Figures drawn part by part, in bands of rows or of columns, set the
// pixels drawing them in turn sets, the clip kept; where the canvas maps
// or clips to more than one rectangle nothing is drawn in parts.
TEST(Canvas, DrawingInPartsDrawsWhatDrawingInTurnDraws)
{
    std::mt19937 random(4);
    std::uniform_int_distribution<int> x(-20, 220);
    std::uniform_int_distribution<int> y(-20, 170);
    std::vector<std::vector<TPoint>> lines(300);
    for (std::vector<TPoint>& line : lines)
        for (int k = 0; k < 4; ++k)
            line.push_back({x(random), y(random)});
    auto draw = [&](TCanvas& Canvas) {
        for (size_t i = 0; i < lines.size(); ++i) {
            Canvas.SetPen(TPen(TColor(i * 0x010203), TPenMode::pmCopy, TPenStyle::psSolid, int(i % 4) + 1));
            Canvas.Polyline(lines[i]);
        }
    };
    QImage inTurn = NoisyImage(200, 150, 3);
    {
        TCanvas canvas(&inTurn);
        canvas.IntersectClipRect({5, 3, 190, 140});
        draw(canvas);
    }
    for (bool columns : {false, true}) {
        QImage inParts = NoisyImage(200, 150, 3);
        TCanvas canvas(&inParts);
        canvas.IntersectClipRect({5, 3, 190, 140});
        EXPECT_EQ(canvas.PartCount(8, 16, columns), 8);
        EXPECT_EQ(canvas.PartCount(8, 100, columns), 0);
        EXPECT_TRUE(canvas.DrawInParts(8, 16, columns, [&](int, TCanvas& Part, const QRect&) { draw(Part); }));
        EXPECT_EQ(CountChanged(inParts, inTurn), 0) << columns;
    }
    QImage image = NoisyImage(200, 150, 3);
    TCanvas mapped(&image);
    mapped.SetWindowOrg(2, 3);
    EXPECT_EQ(mapped.PartCount(8, 16, false), 0);
    TCanvas clipped(&image);
    clipped.SelectClipRegion(QRegion(0, 0, 50, 50) + QRegion(100, 100, 50, 50));
    EXPECT_FALSE(clipped.DrawInParts(8, 16, false, [](int, TCanvas&, const QRect&) { ADD_FAILURE(); }));
}

TEST(Canvas, BatchOfPolylinesDrawsWhatDrawingThemInTurnDraws)
{
    std::mt19937 random(9);
    std::uniform_int_distribution<int> x(-20, 220);
    std::uniform_int_distribution<int> y(-20, 170);
    std::uniform_int_distribution<int> width(1, 13);
    std::uniform_int_distribution<uint32_t> color(0, 0xFFFFFF);
    struct TLine {
        std::vector<TPoint> Points;
        TPen Pen;
    };
    std::vector<TLine> lines;
    for (int i = 0; i < 2000; ++i) {
        TLine line;
        for (int k = 0; k < 4; ++k)
            line.Points.push_back({x(random), y(random)});
        line.Pen = TPen(color(random), TPenMode::pmCopy, TPenStyle::psSolid, width(random));
        lines.push_back(std::move(line));
    }
    auto draw = [&](QImage& image, bool batched) {
        TCanvas canvas(&image);
        canvas.IntersectClipRect({5, 3, 190, 140});
        if (batched)
            canvas.BeginBatch();
        for (size_t i = 0; i < lines.size(); ++i) {
            canvas.SetPen(lines[i].Pen);
            canvas.Polyline(lines[i].Points);
            if (i == lines.size() / 2) {
                canvas.SetPen(TPen(0x123456));
                canvas.SetBrush(TBrush(0x654321));
                canvas.Rectangle(20, 20, 150, 100);
            }
        }
        if (batched)
            canvas.EndBatch();
    };
    QImage inTurn = NoisyImage(200, 150, 13);
    QImage batched = inTurn;
    draw(inTurn, false);
    draw(batched, true);
    EXPECT_EQ(CountChanged(batched, inTurn), 0);
    EXPECT_GT(CountChanged(batched, NoisyImage(200, 150, 13)), 10000);
}
