#include "platform/Color.h"
#include "platform/Geometry.h"

#include <gtest/gtest.h>

TEST(Geometry, PtInRectIncludesLeftTopExcludesRightBottom)
{
    const TRect r = Rect(10, 20, 30, 40);
    EXPECT_TRUE(PtInRect(r, Point(10, 20)));
    EXPECT_TRUE(PtInRect(r, Point(29, 39)));
    EXPECT_FALSE(PtInRect(r, Point(30, 39)));
    EXPECT_FALSE(PtInRect(r, Point(29, 40)));
    EXPECT_FALSE(PtInRect(r, Point(9, 20)));
    EXPECT_FALSE(PtInRect(Rect(5, 5, 5, 5), Point(5, 5)));
}

TEST(Geometry, RectConvertsToQRectWithInclusiveEdgesAndBack)
{
    const TRect r = Rect(10, 20, 30, 40);
    const QRect q = ToQRect(r);
    EXPECT_EQ(q.left(), 10);
    EXPECT_EQ(q.top(), 20);
    EXPECT_EQ(q.right(), 29);
    EXPECT_EQ(q.bottom(), 39);
    EXPECT_EQ(q.width(), r.Width());
    EXPECT_EQ(q.height(), r.Height());
    EXPECT_EQ(ToTRect(q), r);
    // An empty rectangle stays empty both ways.
    EXPECT_TRUE(ToQRect(Rect(3, 4, 3, 4)).isEmpty());
    EXPECT_EQ(ToTRect(ToQRect(Rect(3, 4, 3, 4))), Rect(3, 4, 3, 4));
    EXPECT_EQ(ToTRect(QRect(1, 2, 5, 6)), Rect(1, 2, 6, 8));
}

TEST(Geometry, PointsAndSizesConvert)
{
    EXPECT_EQ(ToQPoint(Point(-3, 7)), QPoint(-3, 7));
    EXPECT_EQ(ToTPoint(QPoint(4, -9)), Point(4, -9));
    EXPECT_EQ(ToQSize(TSize{200, 100}), QSize(200, 100));
    EXPECT_EQ(ToTSize(QSize(5, 6)), (TSize{5, 6}));
}

TEST(Color, RedIsTheLowByte)
{
    static_assert(RGB(255, 0, 0) == 0x0000FFu);
    static_assert(RGB(0, 0, 255) == 0xFF0000u);
    EXPECT_EQ(RGB(0xFF, 0xFF, 0x80), 0x80FFFFu); // a light yellow
    const TColor c = RGB(54, 53, 49);
    EXPECT_EQ(GetRValue(c), 54);
    EXPECT_EQ(GetGValue(c), 53);
    EXPECT_EQ(GetBValue(c), 49);
    EXPECT_EQ(ToQColor(c), QColor(54, 53, 49));
    EXPECT_EQ(ToTColor(QColor(1, 2, 3)), RGB(1, 2, 3));
}
