#include "PlotTestFrame.h"

#include "ObjectEditor/StockObjects.h"
#include "methods/QuorAndrewsCurves.h"
#include "support/Images.h"
#include "support/TestSupport.h"

#include <climits>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

namespace {

constexpr TColor kPaleYellow = 0x80FFFF;

class AndrewsCurvesTest : public ::testing::Test {
protected:
    // Item a draws a flat line at y 75 of a 320 by 200 control, inside the
    // slider of A; b is 8 sin t, c 2 / sqrt 2 + 3 cos t.
    explicit AndrewsCurvesTest(const std::vector<std::vector<double>>& Values = {{6, 0, 0}, {0, 8, 0}, {2, 0, 3}})
        : T({"A", "B", "C"}, {"a", "b", "c"}, Values), F(T)
    {
        T.SetSlider(0, 5, 7);
        CreateLog();
    }

    TAndrewsCurves* Open()
    {
        auto plot = std::make_unique<TAndrewsCurves>(&F.Area);
        Plot = plot.get();
        F.Manager->AddClient(QStringLiteral("AndrewsCurves"), QStringLiteral("Andrews' Curves"), std::move(plot));
        SizeControl(320, 200);
        return Plot;
    }

    void SizeControl(int Width, int Height)
    {
        // The window's frame is known once it has been laid out.
        for (int i = 0; i < 2; ++i) {
            QCoreApplication::processEvents();
            Plot->Form()->resize(Plot->Form()->size() - Control()->size() + QSize(Width, Height));
        }
        QCoreApplication::processEvents();
        ASSERT_EQ(Control()->size(), QSize(Width, Height));
        Control()->Repaint();
    }

    // The control's picture at the density.
    QImage Picture(float Density)
    {
        Plot->SampleDensity = Density;
        Control()->Repaint();
        Plot->SampleDensity = Plot->FineDensity;
        return Image();
    }

    QImage Copy()
    {
        Plot->CopyToClipboard(QGuiApplication::clipboard());
        QImage png;
        png.loadFromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG");
        return png.convertToFormat(QImage::Format_RGB32);
    }

    TAndrewsCurvesControl* Control() const { return Plot->CurvesControl(); }
    QImage Image() const { return Control()->BackingImage().copy(); }
    TColor Own() const { return F.Props.GetValueColor(15); }
    TColor SliderA() const { return F.Props.GetValueColor(0); }

    TMethodsTestData T;
    TPlotTestFrame F;
    TOtherWriter Other{T.Data};
    TAndrewsCurves* Plot = nullptr;
};

} // namespace

TEST_F(AndrewsCurvesTest, OpensAsItsOwnControlAndClosesWithItsCode)
{
    Open();
    EXPECT_EQ(Plot->GetCapabilities(), TQuorClientCapabilities::fromInt(15));
    EXPECT_EQ(Plot->Form()->windowTitle(), QStringLiteral("Andrews' Curves"));
    EXPECT_TRUE(Plot->Form()->isAncestorOf(F.ToolBar));
    EXPECT_TRUE(Plot->Form()->isAncestorOf(Control()));
    EXPECT_EQ(Plot->Editor(), nullptr);
    EXPECT_EQ(Control()->minimumSize(), QSize(21, 15));
    EXPECT_TRUE(Plot->OmitHiddenDims());
    EXPECT_EQ(Plot->SampleDensity, 2.0f / 3.0f);
    EXPECT_EQ(Plot->ScreenParts, AllGOEParts);

    Plot->Form()->close();
    EXPECT_EQ(F.CountLog(QStringLiteral("close 4")), 1);
    EXPECT_FALSE(F.Manager->HasClient(QStringLiteral("AndrewsCurves")));
}

TEST_F(AndrewsCurvesTest, SelectedCurveInASliderShowsItsRingsOnTop)
{
    T.Data.SetPointSelected(0, true);
    Open();
    const std::vector<TColor> expected{0xFFFFFF, kPaleYellow, SliderA(),   Own(),
                                       SliderA(), kPaleYellow, 0xFFFFFF};
    for (int x : {40, 100, 200, 280})
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(PixelColor(Image(), x, 72 + i), expected[size_t(i)]) << x << " " << 72 + i;
}

TEST_F(AndrewsCurvesTest, LiveTrackingPaintsCoarselyOnceAndAtOnce)
{
    Open();
    const QImage coarse = Picture(Plot->CoarseDensity);
    const QImage fine = Picture(Plot->FineDensity);
    ASSERT_NE(coarse, fine);

    Other.Write([](TData& d) { d.AddCustomEvent(TQDCELiveTracking::Create()); });
    EXPECT_EQ(Image(), coarse);
    EXPECT_TRUE(Control()->InvalidRegion().isEmpty());
    EXPECT_EQ(Plot->SampleDensity, Plot->FineDensity);

    // The release writes once more without the notice: fine with the next paint.
    Other.Write([](TData& d) { d.SetSliderHigh(0, 7.5); });
    EXPECT_FALSE(Control()->InvalidRegion().isEmpty());
    Control()->Update();
    EXPECT_EQ(Image(), fine);
}

TEST_F(AndrewsCurvesTest, CopiesTheChosenPartsAtThePrintDensity)
{
    T.Data.SetPointSelected(0, true);
    Open();
    TAndrewsSampling sampling;
    sampling.Prepare(Plot->ComputeGeometry(Plot->FineDensity), 3);
    std::vector<TPoint> b;
    sampling.Points(std::vector<float>{0, 8, 0}, b);
    ASSERT_EQ(PixelColor(Image(), b[20].x, b[20].y), Own());

    Plot->PrintDensity = Plot->CoarseDensity;
    const QImage coarse = Picture(Plot->CoarseDensity);
    EXPECT_EQ(Copy(), coarse);

    // Objects: every curve, no axes, no selection ring.
    Plot->CopyParts = goepObjects;
    QImage copy = Copy();
    EXPECT_EQ(PixelColor(copy, 160, 20), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(copy, 100, 74), SliderA());
    EXPECT_EQ(PixelColor(copy, 100, 73), 0xFFFFFFu);
    Plot->PrintDensity = Plot->FineDensity;
    EXPECT_EQ(PixelColor(Copy(), b[20].x, b[20].y), Own());

    // Selection: the selected curves alone, with their ring.
    Plot->CopyParts = goepSelection;
    copy = Copy();
    EXPECT_EQ(PixelColor(copy, 100, 73), kPaleYellow);
    EXPECT_EQ(PixelColor(copy, b[20].x, b[20].y), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(copy, 160, 20), 0xFFFFFFu);

    EXPECT_EQ(Plot->ScreenParts, AllGOEParts);
    EXPECT_EQ(Plot->SampleDensity, Plot->FineDensity);
}

TEST_F(AndrewsCurvesTest, SettingsAndInversionRepaintButNeverWrite)
{
    Open();
    TRecordingDataClient notices;
    T.Data.RegisterClient(&notices);
    const auto unregister = qScopeGuard([&] { T.Data.UnregisterClient(&notices); });
    notices.Clear();
    Control()->Update();

    Plot->SetOmitHiddenDims(true);
    EXPECT_TRUE(Control()->InvalidRegion().isEmpty());
    Plot->SetOmitHiddenDims(false);
    EXPECT_FALSE(Plot->OmitHiddenDims());
    EXPECT_FALSE(Control()->InvalidRegion().isEmpty());

    Plot->InvertBackground();
    EXPECT_EQ(BlackPen().Color(), 0xFFFFFFu); // everyone's
    Control()->Update();
    EXPECT_EQ(PixelColor(Image(), 2, 2), 0x000000u);
    EXPECT_EQ(PixelColor(Image(), 160, 20), 0xFFFFFFu);
    Plot->InvertBackground();
    EXPECT_EQ(BlackPen().Color(), 0x000000u);
    Control()->Update();
    Copy();
    EXPECT_TRUE(notices.Notices.isEmpty());
    EXPECT_EQ(notices.Deliveries, 0);
}

namespace {

class AndrewsCurvesGuardTest : public AndrewsCurvesTest {
protected:
    AndrewsCurvesGuardTest() : AndrewsCurvesTest({{-1, -2, 0}, {0, 0, -3}, {0, -1, 0}}) {}
};

} // namespace

TEST_F(AndrewsCurvesGuardTest, NoScaleOrNoSampleDrawsTheAxesAlone)
{
    Open();
    // Every largest maximum is 0: exactly the axes, apart from the labels.
    const QImage image = Image();
    const auto onAxis = [](int x, int y) {
        return (x == 160 && y >= 7 && y < 193) || (y == 100 && x >= 10 && x < 310)
            || ((y == 7 || y == 193) && (x == 159 || x == 160)) || ((x == 10 || x == 310) && (y == 99 || y == 100));
    };
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool label = y > 100 && y < 120 && (x < 40 || x >= 280);
            if (label)
                continue;
            ASSERT_EQ(PixelColor(image, x, y), onAxis(x, y) ? 0x000000u : 0xFFFFFFu) << x << " " << y;
        }
}

TEST_F(AndrewsCurvesTest, CoarseSamplingWithoutAnIntervalDrawsTheAxesAlone)
{
    Open();
    SizeControl(27, 40); // half width 3
    Plot->ScreenParts = goepBackground;
    const QImage axes = Picture(Plot->FineDensity);
    Plot->ScreenParts = AllGOEParts;
    EXPECT_NE(Picture(Plot->FineDensity), axes);
    EXPECT_EQ(Picture(Plot->CoarseDensity), axes);
}

namespace {

// Many curves through one another, a third of them selected and some in
// the slider of A.
std::vector<std::vector<double>> ManyCurves()
{
    std::vector<std::vector<double>> values;
    for (int i = 0; i < 90; ++i)
        values.push_back({double(i % 10), double((i * 7) % 11) - 5, double((i * 3) % 7) - 3});
    return values;
}

class AndrewsCurvesBandsTest : public AndrewsCurvesTest {
protected:
    AndrewsCurvesBandsTest() : AndrewsCurvesTest(ManyCurves()) {}
};

} // namespace

TEST_F(AndrewsCurvesBandsTest, CurvesDrawnInBandsAreThePixelsDrawnInOne)
{
    Other.Write([](TData& D) {
        for (int i = 0; i < D.PointCount(); i += 3)
            D.SetPointSelected(i, true);
    });
    Open();
    // Sizes whose width the strips divide unevenly.
    for (const QSize size : {QSize(320, 200), QSize(301, 157)}) {
        SizeControl(size.width(), size.height());
        Plot->BandedCurvesFrom = INT_MAX;
        const QImage whole = Picture(Plot->FineDensity);
        Plot->BandedCurvesFrom = 0;
        const QImage banded = Picture(Plot->FineDensity);
        EXPECT_GT(CountChanged(whole, WhiteImage(size.width(), size.height())), 2000);
        EXPECT_EQ(CountChanged(whole, banded), 0) << size.width() << " x " << size.height();
        // Only part of the control invalid: the bands keep to the clip.
        Control()->InvalidateRect(Rect(40, 30, 200, 120), true);
        Control()->Update();
        EXPECT_EQ(CountChanged(whole, Image()), 0) << size.width() << " x " << size.height();
    }
}
