#include "QuorData/QuorAppProperties.h"

#include <gtest/gtest.h>

#include <climits>

TEST(QuorAppProperties, StartsWithSixteenColoursAndBothSwitchesOn)
{
    const TQuorAppProperties props;
    EXPECT_EQ(props.ValueColorCount(), 16);
    EXPECT_EQ(props.DefaultColorIndex, 15);
    EXPECT_TRUE(props.DoubleBuffered);
    EXPECT_TRUE(props.LiveTracking);
    EXPECT_EQ(props.GetValueColor(0), RGB(153, 153, 51));
    EXPECT_EQ(props.GetValueColor(10), RGB(0, 0, 255));
    EXPECT_EQ(props.GetValueColor(10), 0xFF0000u); // blue lies in the third byte
    EXPECT_EQ(props.GetValueColor(14), RGB(255, 0, 0));
}

TEST(QuorAppProperties, ColourIndicesWrapAroundTheTable)
{
    const TQuorAppProperties props;
    const TColor grey = props.GetValueColor(15);
    EXPECT_EQ(GetRValue(grey), 54);
    EXPECT_EQ(GetGValue(grey), 53);
    EXPECT_EQ(GetBValue(grey), 49);
    EXPECT_EQ(props.GetValueColor(16), props.GetValueColor(0));
    EXPECT_EQ(props.GetValueColor(31), grey);
    EXPECT_EQ(props.GetValueColor(33), RGB(255, 102, 0));
    EXPECT_EQ(props.GetValueColor(INT_MAX), props.GetValueColor(INT_MAX % 16));
}

TEST(QuorAppProperties, NegativeIndicesWrapIntoTheTable)
{
    const TQuorAppProperties props;
    EXPECT_EQ(props.GetValueColor(-1), props.GetValueColor(15));
    EXPECT_EQ(props.GetValueColor(-16), props.GetValueColor(0));
    EXPECT_EQ(props.GetValueColor(-17), props.GetValueColor(15));
    EXPECT_EQ(props.GetValueColor(INT_MIN), props.GetValueColor(0));
}

TEST(QuorAppProperties, TheTableCanGrow)
{
    TQuorAppProperties props;
    props.ValueColors.push_back(RGB(1, 2, 3));
    EXPECT_EQ(props.ValueColorCount(), 17);
    EXPECT_EQ(props.GetValueColor(16), RGB(1, 2, 3));
    EXPECT_EQ(props.GetValueColor(17), props.GetValueColor(0));
}
