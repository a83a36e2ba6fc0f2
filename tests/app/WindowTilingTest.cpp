#include "app/WindowTiling.h"

#include <gtest/gtest.h>

#include <set>

TEST(WindowTiling, TilesCoverTheAreaWithoutOverlap)
{
    struct TCase {
        int Count;
        bool Vertical;
        int Columns; // distinct left edges
        int Rows;    // distinct top edges
    };
    const TCase cases[] = {{1, true, 1, 1}, {2, true, 2, 1}, {3, true, 3, 1}, {4, true, 2, 2},
                           {5, true, 3, 2}, {2, false, 1, 2}, {3, false, 1, 3}, {4, false, 2, 2}};
    const QRect area(5, 7, 1001, 603);
    for (const TCase& c : cases) {
        const std::vector<QRect> tiles = TileRects(area, c.Count, c.Vertical);
        ASSERT_EQ(int(tiles.size()), c.Count);
        int covered = 0;
        std::set<int> lefts, tops;
        for (size_t i = 0; i < tiles.size(); ++i) {
            EXPECT_TRUE(area.contains(tiles[i])) << c.Count;
            covered += tiles[i].width() * tiles[i].height();
            lefts.insert(tiles[i].left());
            tops.insert(tiles[i].top());
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(tiles[i].intersects(tiles[j])) << c.Count << " " << i << " " << j;
        }
        EXPECT_EQ(covered, area.width() * area.height()) << c.Count;
        EXPECT_EQ(int(lefts.size()), c.Columns) << c.Count << (c.Vertical ? " vertical" : " horizontal");
        EXPECT_EQ(int(tops.size()), c.Rows) << c.Count << (c.Vertical ? " vertical" : " horizontal");
    }
    EXPECT_TRUE(TileRects(area, 0, true).empty());
}

TEST(WindowTiling, IconsLineUpFromTheBottomLeft)
{
    const std::vector<QRect> icons = IconRects(QRect(0, 0, 350, 400), QSize(160, 30), 3);
    ASSERT_EQ(icons.size(), 3u);
    EXPECT_EQ(icons[0], QRect(0, 370, 160, 30));
    EXPECT_EQ(icons[1], QRect(160, 370, 160, 30));
    EXPECT_EQ(icons[2], QRect(0, 340, 160, 30)); // the row is full
}

TEST(WindowTiling, CascadedWindowsShowEveryTitleBarAndKeepTheRestOfTheArea)
{
    struct TCase {
        QRect Area;
        int Count;
        QSize Least;
        QSize Size; // of every window
    };
    const TCase cases[] = {{QRect(0, 0, 1000, 700), 1, QSize(100, 80), QSize(1000, 700)},
                           {QRect(0, 0, 1000, 700), 4, QSize(100, 80), QSize(928, 628)},
                           {QRect(3, 5, 640, 480), 3, QSize(100, 80), QSize(592, 432)},
                           {QRect(0, 0, 120, 110), 4, QSize(100, 80), QSize(100, 80)}}; // too small: least size
    const int step = 24;
    for (const TCase& c : cases) {
        const std::vector<QRect> places = CascadeRects(c.Area, c.Count, step, c.Least);
        ASSERT_EQ(int(places.size()), c.Count);
        for (int i = 0; i < c.Count; ++i) {
            EXPECT_EQ(places[size_t(i)].size(), c.Size) << c.Count << " " << i;
            EXPECT_EQ(places[size_t(i)].topLeft(), c.Area.topLeft() + QPoint(i * step, i * step)) << i;
        }
        if (c.Size != c.Least) {
            EXPECT_EQ(places.back().bottomRight(), c.Area.bottomRight()) << c.Count;
        }
    }
    EXPECT_TRUE(CascadeRects(QRect(0, 0, 10, 10), 0, step, QSize()).empty());
}
