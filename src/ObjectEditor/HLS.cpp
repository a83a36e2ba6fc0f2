#include "ObjectEditor/HLS.h"

#include <cmath>

namespace {

// One third and two thirds held in extended precision, as the channel
// thresholds are compared in it.
constexpr long double OneThird = 1.0L / 3.0L;
constexpr long double TwoThirds = 2.0L / 3.0L;

double HueToChannel(double m1, double m2, double t)
{
    if (t < 0)
        t += 1;
    if (t > 1)
        t -= 1;
    const long double h = t;
    if (6 * h < 1)
        return double(m1 + (m2 - m1) * 6 * h);
    if (2 * h < 1)
        return m2;
    if (3 * h < 2)
        return double(m1 + (m2 - m1) * (TwoThirds - h) * 6);
    return m1;
}

int32_t ToByte(double value)
{
    return int32_t(std::nearbyint(value * 255));
}

} // namespace

TColor MakeColor(int32_t R, int32_t G, int32_t B)
{
    // Unsigned, so that components out of range wrap instead of overflowing.
    return TColor(uint32_t(R) + uint32_t(G) * 256u + uint32_t(B) * 65536u);
}

TColor RGBRecToColor(const TRGBRec& RGB)
{
    return MakeColor(RGB.R, RGB.G, RGB.B);
}

void HLSToRGB(const THLSRec& HLS, TRGBRec& RGB)
{
    const double h = HLS.H / 255.0;
    const double l = HLS.L / 255.0;
    const double s = HLS.S / 255.0;
    if (s == 0) {
        RGB = {HLS.L, HLS.L, HLS.L};
        return;
    }
    const double m2 = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    RGB.R = ToByte(HueToChannel(m1, m2, double(h + OneThird)));
    RGB.G = ToByte(HueToChannel(m1, m2, h));
    RGB.B = ToByte(HueToChannel(m1, m2, double(h - OneThird)));
}
