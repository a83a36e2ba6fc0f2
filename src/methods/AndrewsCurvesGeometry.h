#pragma once

#include "platform/Geometry.h"

#include <span>
#include <vector>

class TData;

// Where the Andrews' curves go in a control of a given size: the plot
// rectangle inside the margins, its centre (t = 0, f = 0), the half extents
// that map t in -pi..pi and f to pixels, and how many intervals each curve
// is sampled in.
struct TAndrewsCurvesGeometry {
    TRect PlotRect;
    TPoint Centre;
    int HalfWidth = 0;
    int HalfHeight = 0;
    // N: a curve is a polyline through N + 1 samples.
    int SampleCount = 0;
    // Pixels per unit of f, negative since y grows downward; 0 when no
    // visible value gives the scale a size.
    float YScale = 0;

    // Room for the axes.
    bool HasPlot() const { return HalfWidth >= 1 && HalfHeight >= 1; }
    // Room for the axes, at least one sampling interval and a scale.
    bool HasCurves() const { return HasPlot() && SampleCount >= 1 && YScale != 0; }
};

// The geometry of a client area of ClientWidth by ClientHeight pixels,
// sampled at SampleDensity samples per pixel of half width, for values up
// to MaxOfVisibleDims over VisibleDimCount visible dimensions.
TAndrewsCurvesGeometry ComputeAndrewsCurvesGeometry(int ClientWidth, int ClientHeight,
                                                    const TRect& Margins, float SampleDensity,
                                                    double MaxOfVisibleDims, int VisibleDimCount);

// The Fourier coefficients x[0], x[1], ... of a data item: its raw values in
// the visible dimensions in view order, or with OmitHiddenDims false in all
// dimensions in view order with 0 for a hidden one.
void AndrewsCoefficients(const TData& Data, int Item, bool OmitHiddenDims, std::vector<float>& X);

// The sample positions that every curve of one paint shares: t runs from
// -pi to pi in N steps, and f(t) = x[0] / sqrt 2 + x[1] sin t + x[2] cos t
// + x[3] sin 2t + x[4] cos 2t + ... in single precision. The pixel column
// of each sample and the value of every basis function at it are worked out
// once, so that a curve costs one multiply-add per coefficient and sample,
// taken for a block of samples at a time.
class TAndrewsSampling {
public:
    // Samples for the geometry (which must have curves) and curves of
    // CoefficientCount coefficients.
    void Prepare(const TAndrewsCurvesGeometry& Geometry, int CoefficientCount);

    // N + 1.
    int PointCount() const { return int(FX.size()); }
    int CoefficientCount() const { return FCoefficientCount; }
    // f at sample S for the coefficients X (CoefficientCount of them).
    float Value(int S, std::span<const float> X) const;
    // The curve's N + 1 pixel points: (round(t HalfWidth / pi) + centre x,
    // round(f YScale) + centre y).
    void Points(std::span<const float> X, std::vector<TPoint>& Points) const;
    // Samples First, First + 1, ... of the curve, as many as Points holds.
    void Points(std::span<const float> X, int First, std::span<TPoint> Points) const;
    // The pixel column of every sample, never decreasing.
    std::span<const int> Columns() const { return FX; }

private:
    // Samples whose sums are taken side by side.
    static constexpr int kBlock = 8;
    std::vector<int> FX;
    // CoefficientCount rows of basis values, one per sample, each padded
    // with zeros to FRowLength so that a block starting at any sample fits.
    std::vector<float> FBasis;
    size_t FRowLength = 0;
    int FCoefficientCount = 0;
    float FYScale = 0;
    int FCentreY = 0;
};
