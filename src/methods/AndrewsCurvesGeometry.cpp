#include "methods/AndrewsCurvesGeometry.h"

#include "QuorData/QuorData.h"
#include "methods/ScatterplotLayout.h"

#include <cmath>

namespace {

constexpr float kPi = 3.1415927f;

} // namespace

TAndrewsCurvesGeometry ComputeAndrewsCurvesGeometry(int ClientWidth, int ClientHeight,
                                                    const TRect& Margins, float SampleDensity,
                                                    double MaxOfVisibleDims, int VisibleDimCount)
{
    TAndrewsCurvesGeometry g;
    g.PlotRect = InnerRect(ClientWidth, ClientHeight, Margins);
    g.Centre = Point((g.PlotRect.Left + g.PlotRect.Right) / 2, (g.PlotRect.Top + g.PlotRect.Bottom) / 2);
    g.HalfWidth = g.Centre.x - g.PlotRect.Left;
    g.HalfHeight = g.Centre.y - g.PlotRect.Top;
    g.SampleCount = int(std::nearbyint(float(g.HalfWidth) * SampleDensity));
    // The largest value reaches the plot's edge only when every harmonic
    // adds up; by magnitude, so that data below zero is not drawn upside
    // down. A maximum of 0 leaves no scale: the axes alone are drawn.
    const double extent = std::fabs(MaxOfVisibleDims) * double(VisibleDimCount / 2 + 1);
    if (extent > 0 && std::isfinite(extent))
        g.YScale = float(-g.HalfHeight / extent);
    return g;
}

void AndrewsCoefficients(const TData& Data, int Item, bool OmitHiddenDims, std::vector<float>& X)
{
    X.clear();
    if (OmitHiddenDims) {
        const int visible = Data.VisibleDimCount();
        for (int i = 0; i < visible; ++i)
            X.push_back(float(Data.GetValue(Item, Data.GetVisibleDim(i))));
        return;
    }
    const int dims = Data.DimCount();
    for (int d = 0; d < dims; ++d)
        X.push_back(Data.IsDimHidden(d) ? 0.0f : float(Data.GetValue(Item, d)));
}

void TAndrewsSampling::Prepare(const TAndrewsCurvesGeometry& Geometry, int CoefficientCount)
{
    const int n = Geometry.SampleCount;
    FCoefficientCount = CoefficientCount;
    FYScale = Geometry.YScale;
    FCentreY = Geometry.Centre.y;
    FX.resize(size_t(n + 1));
    FBasis.resize(size_t(n + 1) * size_t(CoefficientCount));
    const float step = 2 * kPi / float(n);
    const float halfWidth = float(Geometry.HalfWidth);
    const float firstBasis = 1 / std::sqrt(2.0f);
    float* row = FBasis.data();
    for (int s = 0; s <= n; ++s, row += CoefficientCount) {
        const float t = float(s) * step - kPi;
        FX[size_t(s)] = RoundToPixel(t * halfWidth / kPi) + Geometry.Centre.x;
        if (CoefficientCount > 0)
            row[0] = firstBasis;
        // Odd coefficients take sin kt, even ones cos kt; k grows after each cosine.
        for (int j = 1; j < CoefficientCount; ++j) {
            const float kt = float((j + 1) / 2) * t;
            row[j] = j % 2 == 1 ? std::sin(kt) : std::cos(kt);
        }
    }
}

float TAndrewsSampling::Value(int S, std::span<const float> X) const
{
    const float* row = FBasis.data() + size_t(S) * size_t(FCoefficientCount);
    float f = 0;
    for (int j = 0; j < FCoefficientCount; ++j)
        f += X[size_t(j)] * row[j];
    return f;
}

void TAndrewsSampling::Points(std::span<const float> X, std::vector<TPoint>& Points) const
{
    Points.resize(size_t(PointCount()));
    this->Points(X, 0, std::span<TPoint>(Points));
}

void TAndrewsSampling::Points(std::span<const float> X, int First, std::span<TPoint> Points) const
{
    for (size_t k = 0; k < Points.size(); ++k) {
        const int s = First + int(k);
        Points[k] = Point(FX[size_t(s)], RoundToPixel(Value(s, X) * FYScale) + FCentreY);
    }
}
