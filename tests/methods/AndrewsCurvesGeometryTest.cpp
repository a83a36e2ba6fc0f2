#include "MethodsTestData.h"

#include "methods/AndrewsCurvesGeometry.h"
#include "methods/ScatterplotLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

constexpr TRect kMargins = Rect(10, 7, 10, 7);
constexpr float kFine = 2.0f / 3.0f;
constexpr float kCoarse = 1.0f / 6.0f;

std::vector<TPoint> CurvePoints(const TAndrewsCurvesGeometry& G, const std::vector<float>& X)
{
    TAndrewsSampling sampling;
    sampling.Prepare(G, int(X.size()));
    std::vector<TPoint> points;
    sampling.Points(X, points);
    return points;
}

} // namespace

TEST(AndrewsCurvesGeometry, A320PixelWideControlSamplesEveryThirdPixel)
{
    const auto fine = ComputeAndrewsCurvesGeometry(320, 200, kMargins, kFine, 10, 2);
    EXPECT_EQ(fine.PlotRect, Rect(10, 7, 310, 193));
    EXPECT_EQ(fine.Centre, Point(160, 100));
    EXPECT_EQ(fine.HalfWidth, 150);
    EXPECT_EQ(fine.HalfHeight, 93);
    EXPECT_EQ(fine.SampleCount, 100);
    // Two visible dimensions: f spans twice the largest maximum.
    EXPECT_FLOAT_EQ(fine.YScale, -93.0f / 20.0f);
    EXPECT_EQ(ComputeAndrewsCurvesGeometry(320, 200, kMargins, kCoarse, 10, 2).SampleCount, 25);

    const std::vector<TPoint> points = CurvePoints(fine, {0, 0});
    ASSERT_EQ(points.size(), 101u);
    for (int s = 0; s <= 100; ++s)
        EXPECT_EQ(points[size_t(s)], Point(10 + 3 * s, 100)) << s;
}

TEST(AndrewsCurvesGeometry, DegenerateSizesAndScalesDrawNoCurves)
{
    struct TCase {
        const char* Name;
        int Width, Height;
        float Density;
        double Max;
        bool HasPlot, HasCurves;
    } cases[] = {
        {"ordinary", 320, 200, kFine, 10, true, true},
        {"values all below zero", 320, 200, kFine, -4, true, true},
        {"coarse N rounds to 0", 27, 200, kCoarse, 10, true, false},
        {"coarse N is 1", 38, 200, kCoarse, 10, true, true},
        {"largest maximum 0", 320, 200, kFine, 0, true, false},
        {"no room across", 21, 200, kFine, 10, false, false},
        {"no room up and down", 320, 15, kFine, 10, false, false},
    };
    for (const TCase& c : cases) {
        const auto g = ComputeAndrewsCurvesGeometry(c.Width, c.Height, kMargins, c.Density, c.Max, 4);
        EXPECT_EQ(g.HasPlot(), c.HasPlot) << c.Name;
        EXPECT_EQ(g.HasCurves(), c.HasCurves) << c.Name;
        EXPECT_TRUE(std::isfinite(g.YScale)) << c.Name;
        // Up is up whatever the sign of the data.
        EXPECT_LE(g.YScale, 0) << c.Name;
    }
}

TEST(AndrewsCurvesGeometry, CoefficientsTakeHarmonicsInTurn)
{
    const auto g = ComputeAndrewsCurvesGeometry(320, 200, kMargins, kFine, 1, 5);
    TAndrewsSampling sampling;
    sampling.Prepare(g, 5);
    const std::function<double(double)> basis[] = {
        [](double) { return 1 / std::sqrt(2.0); },
        [](double t) { return std::sin(t); },
        [](double t) { return std::cos(t); },
        [](double t) { return std::sin(2 * t); },
        [](double t) { return std::cos(2 * t); },
    };
    for (int j = 0; j < 5; ++j) {
        std::vector<float> x(5, 0.0f);
        x[size_t(j)] = 1;
        for (int s = 0; s <= g.SampleCount; s += 7) {
            const double t = -M_PI + 2 * M_PI * s / g.SampleCount;
            EXPECT_NEAR(sampling.Value(s, x), basis[j](t), 1e-5) << "coefficient " << j << " sample " << s;
        }
    }
}

TEST(AndrewsCurvesGeometry, OnlyTheFirstCoefficientDrawsAFlatLine)
{
    const auto g = ComputeAndrewsCurvesGeometry(320, 200, kMargins, kFine, 10, 3);
    const float a = 7;
    const int y = int(std::nearbyint(a / std::sqrt(2.0) * g.YScale)) + g.Centre.y;
    ASSERT_NE(y, g.Centre.y);
    for (const TPoint& p : CurvePoints(g, {a, 0, 0}))
        EXPECT_EQ(p.y, y);
}

TEST(AndrewsCurvesGeometry, HiddenDimensionShiftsOrZeroesHarmonics)
{
    TMethodsTestData table({"A", "B", "C", "D"}, {"a"}, {{4, 9, 3, 6}});
    table.Data.SetDimHidden(1, true);
    const auto g = ComputeAndrewsCurvesGeometry(320, 200, kMargins, kFine, 10, 3);
    const struct {
        bool Omit;
        std::vector<float> X;
        std::function<double(double)> F;
    } cases[] = {
        // Omitted: C and D move down to sin t and cos t.
        {true, {4, 3, 6}, [](double t) { return 4 / std::sqrt(2.0) + 3 * std::sin(t) + 6 * std::cos(t); }},
        // Kept as 0: sin t goes, C and D keep cos t and sin 2t.
        {false, {4, 0, 3, 6}, [](double t) { return 4 / std::sqrt(2.0) + 3 * std::cos(t) + 6 * std::sin(2 * t); }},
    };
    std::vector<std::vector<TPoint>> curves;
    for (const auto& c : cases) {
        std::vector<float> x;
        AndrewsCoefficients(table.Data, 0, c.Omit, x);
        EXPECT_EQ(x, c.X);
        TAndrewsSampling sampling;
        sampling.Prepare(g, int(x.size()));
        for (int s = 0; s <= g.SampleCount; ++s)
            EXPECT_NEAR(sampling.Value(s, x), c.F(-M_PI + 2 * M_PI * s / g.SampleCount), 1e-4) << s;
        curves.push_back(CurvePoints(g, x));
    }
    EXPECT_NE(curves[0], curves[1]);

    // In view order.
    table.Data.ExchangeDims(0, 3);
    std::vector<float> x;
    AndrewsCoefficients(table.Data, 0, true, x);
    EXPECT_EQ(x, (std::vector<float>{6, 3, 4}));
}

TEST(AndrewsCurvesGeometry, PointsAreEachSamplesValueRounded)
{
    // Values on halves, past the fast rounding's range and not a number,
    // over a run of samples that starts inside and ends at the last.
    const auto g = ComputeAndrewsCurvesGeometry(320, 200, kMargins, kFine, 1, 4);
    TAndrewsSampling sampling;
    sampling.Prepare(g, 4);
    const float half = 0.5f / -g.YScale * std::sqrt(2.0f);
    for (const std::vector<float>& x : std::vector<std::vector<float>>{
             {half, 0.3f, -0.7f, 0.2f}, {3 * half, 0, 0, 0}, {1.7f, -2.9f, 0.4f, 1e6f}, {0, 0, NAN, 0}}) {
        std::vector<TPoint> points(size_t(g.SampleCount) - 6);
        sampling.Points(x, 7, points);
        for (size_t k = 0; k < points.size(); ++k) {
            const int s = 7 + int(k);
            EXPECT_EQ(points[k].y, RoundToPixel(sampling.Value(s, x) * g.YScale) + g.Centre.y) << x[0] << " " << s;
        }
    }
}
