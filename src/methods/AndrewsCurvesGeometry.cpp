#include "methods/AndrewsCurvesGeometry.h"

#include "QuorData/QuorData.h"
#include "methods/ScatterplotLayout.h"

#include <algorithm>
#include <bit>
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
    FRowLength = size_t(n + kBlock);
    FBasis.assign(FRowLength * size_t(CoefficientCount), 0.0f);
    const float step = 2 * kPi / float(n);
    const float halfWidth = float(Geometry.HalfWidth);
    const float firstBasis = 1 / std::sqrt(2.0f);
    for (int s = 0; s <= n; ++s) {
        const float t = float(s) * step - kPi;
        FX[size_t(s)] = RoundToPixel(t * halfWidth / kPi) + Geometry.Centre.x;
        if (CoefficientCount > 0)
            FBasis[size_t(s)] = firstBasis;
        // Odd coefficients take sin kt, even ones cos kt; k grows after each cosine.
        for (int j = 1; j < CoefficientCount; ++j) {
            const float kt = float((j + 1) / 2) * t;
            FBasis[size_t(j) * FRowLength + size_t(s)] = j % 2 == 1 ? std::sin(kt) : std::cos(kt);
        }
    }
}

float TAndrewsSampling::Value(int S, std::span<const float> X) const
{
    float f = 0;
    for (int j = 0; j < FCoefficientCount; ++j)
        f += X[size_t(j)] * FBasis[size_t(j) * FRowLength + size_t(S)];
    return f;
}

void TAndrewsSampling::Points(std::span<const float> X, std::vector<TPoint>& Points) const
{
    Points.resize(size_t(PointCount()));
    this->Points(X, 0, std::span<TPoint>(Points));
}

void TAndrewsSampling::Points(std::span<const float> X, int First, std::span<TPoint> Points) const
{
    // Below 2^22 adding and taking away 1.5 * 2^23 leaves the nearest whole
    // number, halves to even, as RoundToPixel gives it, and a block of them
    // is taken side by side.
    constexpr float kNear = 4194304.0f;
    constexpr float kWhole = 12582912.0f;
    // In locals: the points written could be these fields as far as the
    // compiler knows, and would have them read again for every block.
    const int coefficientCount = FCoefficientCount;
    const size_t rowLength = FRowLength;
    const float* const basisRows = FBasis.data();
    const int* const columns = FX.data();
    const float yScale = FYScale;
    const int centreY = FCentreY;
    for (size_t k0 = 0; k0 < Points.size(); k0 += kBlock) {
        const size_t s0 = size_t(First) + k0;
        // Each sample's sum in the order Value takes it: the same bits.
        float f[kBlock] = {};
        for (int j = 0; j < coefficientCount; ++j) {
            const float x = X[size_t(j)];
            const float* basis = basisRows + size_t(j) * rowLength + s0;
            for (int k = 0; k < kBlock; ++k)
                f[k] += x * basis[k];
        }
        int rows[kBlock];
        int far = 0;
        // On the bits, without a branch or a floating-point comparison, so
        // that the block is rounded side by side.
        for (int k = 0; k < kBlock; ++k) {
            const float y = f[k] * yScale;
            const auto bits = std::bit_cast<int32_t>(y);
            // Past kNear, or not a number: the magnitude's bits compare above.
            const int32_t past = (bits & 0x7FFFFFFF) > std::bit_cast<int32_t>(kNear) ? -1 : 0;
            far |= past;
            rows[k] = int((std::bit_cast<float>(bits & ~past) + kWhole) - kWhole);
        }
        // Values past that, or not a number, as rare as they are.
        if (far)
            for (int k = 0; k < kBlock; ++k)
                rows[k] = RoundToPixel(f[k] * yScale);
        const size_t count = std::min(Points.size() - k0, size_t(kBlock));
        for (size_t k = 0; k < count; ++k)
            Points[k0 + k] = Point(columns[s0 + k], rows[k] + centreY);
    }
}
