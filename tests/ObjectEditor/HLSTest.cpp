#include "ObjectEditor/HLS.h"

#include <gtest/gtest.h>

namespace {

TRGBRec Convert(int h, int l, int s)
{
    TRGBRec rgb;
    HLSToRGB(THLSRec{h, l, s}, rgb);
    return rgb;
}

::testing::AssertionResult Is(const TRGBRec& rgb, int r, int g, int b)
{
    if (rgb.R == r && rgb.G == g && rgb.B == b)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << rgb.R << ", " << rgb.G << ", " << rgb.B << ")";
}

} // namespace

TEST(HLS, PrismHuesAtFullSaturation)
{
    EXPECT_TRUE(Is(Convert(0, 128, 255), 255, 1, 1));
    EXPECT_TRUE(Is(Convert(40, 128, 255), 255, 240, 1));
    EXPECT_TRUE(Is(Convert(80, 128, 255), 31, 255, 1));
    EXPECT_TRUE(Is(Convert(120, 128, 255), 1, 255, 210));
    EXPECT_TRUE(Is(Convert(160, 128, 255), 1, 61, 255));
}

TEST(HLS, NoSaturationIsTheGreyOfTheLuminanceValue)
{
    EXPECT_TRUE(Is(Convert(100, 100, 0), 100, 100, 100));
    EXPECT_TRUE(Is(Convert(0, 255, 0), 255, 255, 255));
}

TEST(HLS, LuminanceBelowAndAboveOneHalf)
{
    // l < 1/2: m2 = l(1 + s); l >= 1/2: m2 = l + s - ls. At full saturation
    // the lighter side stays saturated while the darker one loses its peak.
    const TRGBRec dark = Convert(0, 127, 255);
    const TRGBRec light = Convert(0, 128, 255);
    EXPECT_TRUE(Is(dark, 254, 0, 0));
    EXPECT_EQ(light.R, 255);
    EXPECT_TRUE(Is(Convert(0, 64, 128), 96, 32, 32));
}

TEST(HLS, ColoursPackRedInTheLowByte)
{
    EXPECT_EQ(MakeColor(1, 2, 3), 0x030201u);
    // Not masked: a component out of range spills into the next byte.
    EXPECT_EQ(MakeColor(256, 0, 0), 0x000100u);
    EXPECT_EQ(MakeColor(0, 0, 0x10000), 0u);
    EXPECT_EQ(RGBRecToColor(TRGBRec{255, 0, 128}), 0x8000FFu);
    EXPECT_EQ(RGBRecToColor(Convert(80, 128, 255)), MakeColor(31, 255, 1));
}
