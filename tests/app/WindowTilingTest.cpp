#include "app/WindowTiling.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

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
        const std::vector<QSize> least(size_t(c.Count), QSize(50, 40));
        const std::vector<QRect> tiles = TileRects(area, least, c.Vertical);
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
    EXPECT_TRUE(TileRects(area, {}, true).empty());
}

TEST(WindowTiling, EachWindowKeepsItsOwnSmallestSizeAndNoOtherWindows)
{
    // The second window's smallest size passes its place and the area.
    const std::vector<QSize> least = {QSize(100, 80), QSize(3000, 2000), QSize(100, 700), QSize(100, 80)};
    const QRect area(0, 0, 1000, 700);
    struct TCase {
        bool Vertical;
        std::vector<QRect> Places;
    };
    const TCase cases[] = {
        {true, {{0, 0, 500, 350}, {0, 350, 3000, 2000}, {500, 0, 500, 700}, {500, 350, 500, 350}}},
        {false, {{0, 0, 500, 350}, {500, 0, 3000, 2000}, {0, 350, 500, 700}, {500, 350, 500, 350}}}};
    for (const TCase& c : cases)
        EXPECT_EQ(TileRects(area, least, c.Vertical), c.Places) << (c.Vertical ? "vertical" : "horizontal");
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
        std::vector<QSize> Least;
        std::vector<QSize> Sizes; // of each window
    };
    const QSize small(100, 80);
    const TCase cases[] = {
        {QRect(0, 0, 1000, 700), {small}, {QSize(1000, 700)}},
        {QRect(0, 0, 1000, 700), {small, small, small, small}, std::vector<QSize>(4, QSize(928, 628))},
        {QRect(3, 5, 640, 480), {small, small, small}, std::vector<QSize>(3, QSize(592, 432))},
        // Too small: the smallest size.
        {QRect(0, 0, 120, 110), {small, small, small, small}, std::vector<QSize>(4, small)},
        // A window larger than the area takes its own smallest size alone.
        {QRect(0, 0, 1000, 700),
         {small, QSize(3000, 2000), QSize(100, 650), small},
         {QSize(928, 628), QSize(3000, 2000), QSize(928, 650), QSize(928, 628)}}};
    const int step = 24;
    for (const TCase& c : cases) {
        const std::vector<QRect> places = CascadeRects(c.Area, c.Least, step);
        ASSERT_EQ(places.size(), c.Least.size());
        for (size_t i = 0; i < places.size(); ++i) {
            EXPECT_EQ(places[i].size(), c.Sizes[i]) << c.Least.size() << " " << i;
            EXPECT_EQ(places[i].topLeft(), c.Area.topLeft() + QPoint(int(i) * step, int(i) * step)) << i;
        }
        if (c.Sizes.back() != c.Least.back()) {
            EXPECT_EQ(places.back().bottomRight(), c.Area.bottomRight()) << c.Least.size();
        }
    }
    EXPECT_TRUE(CascadeRects(QRect(0, 0, 10, 10), {}, step).empty());
}
