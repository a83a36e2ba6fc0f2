#pragma once

#include "platform/Color.h"

#include <cstdint>

// Hue, luminance and saturation, each on the scale 0 to 255 (hue 255 is a
// full turn).
struct THLSRec {
    int32_t H = 0;
    int32_t L = 0;
    int32_t S = 0;
};

// Red, green and blue, each 0 to 255.
struct TRGBRec {
    int32_t R = 0;
    int32_t G = 0;
    int32_t B = 0;
};

// R + G * 256 + B * 65536; the components are expected in 0 to 255 and not
// masked.
TColor MakeColor(int32_t R, int32_t G, int32_t B);
TColor RGBRecToColor(const TRGBRec& RGB);
// The colour of HLS; a saturation of 0 gives the grey R = G = B = L.
void HLSToRGB(const THLSRec& HLS, TRGBRec& RGB);
