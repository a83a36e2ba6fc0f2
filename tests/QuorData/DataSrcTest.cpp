#include "QuorData/QuorDataSrcTest.h"
#include "support/TestSupport.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

namespace {
// A grid that counts its reads and serves them from its cache when cached.
class CountingSrc : public TDataSrc {
public:
    int reads = 0;
    CountingSrc(int cols, int rows) { SetColCount(cols); SetRowCount(rows); }
    void GetCell(int Col, int Row, TVariant& Value) override
    {
        if (Cached()) {
            Value = Cache[size_t(Row)][size_t(Col)];
            return;
        }
        ++reads;
        Value = TVariant(int32_t(Row * 100 + Col));
    }
    void SetCell(int, int, const TVariant&) override {}
};
} // namespace

TEST(DataSrc, RunningIndexWalksRowByRow)
{
    CountingSrc grid(3, 4);
    EXPECT_EQ(grid.CellInARow(5), TVariant(int32_t(102)));
    CountingSrc column(1, 9);
    EXPECT_EQ(column.CellInARow(5), TVariant(int32_t(500)));
    CountingSrc empty(0, 3);
    EXPECT_THROW(empty.CellInARow(0), EAssertionFailed);
}

TEST(DataSrc, CacheIsFilledOnceAndDropped)
{
    CountingSrc grid(2, 3);
    grid.SetCached(false);
    EXPECT_EQ(grid.reads, 0);
    grid.SetCached(true);
    EXPECT_EQ(grid.reads, 6);
    grid.SetCached(true);
    EXPECT_EQ(grid.reads, 6);
    EXPECT_EQ(grid.Cell(1, 2), TVariant(int32_t(201)));
    EXPECT_EQ(grid.reads, 6);
    grid.SetCached(false);
    grid.Cell(0, 0);
    EXPECT_EQ(grid.reads, 7);
}

TEST(TestDataSrc, GenerateIsRepeatableAndWithinTheColumnRange)
{
    TTestDataSrc a, b;
    a.Generate(3, 50);
    b.Generate(3, 50);
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 50; ++r) {
            const TVariant v = a.Cell(c, r);
            ASSERT_EQ(v.type(), TVariant::Type::Integer);
            ASSERT_EQ(v, b.Cell(c, r));
            ASSERT_GE(v.toInt(), 0);
            ASSERT_LT(v.toInt(), 200);
        }
    // Each column from the last draws its range, then its cells from the
    // last row up.
    TTestDataSrc grid;
    grid.Generate(3, 4);
    const int expected[3][4] = {{19, 27, 47, 28}, {11, 33, 32, 40}, {9, 68, 36, 28}};
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(grid.Cell(c, r), TVariant(int32_t(expected[c][r]))) << c << "," << r;
    TTestDataSrc one;
    one.Generate(1, 1);
    EXPECT_LT(one.Cell(0, 0).toInt(), 200);
    EXPECT_THROW(one.Cell(1, 0), EAssertionFailed);
    EXPECT_THROW(one.Cell(0, -1), EAssertionFailed);
    EXPECT_THROW(one.SetCell(0, 1, TVariant()), EAssertionFailed);
}

TEST(TestDataSrc, GenerateTextNamesByRunningIndex)
{
    TTestTextSrc names;
    names.GenerateText(7, 1, QStringLiteral("Column "));
    EXPECT_EQ(names.Cell(0, 0).toString(), QStringLiteral("Column 1"));
    EXPECT_EQ(names.Cell(6, 0).toString(), QStringLiteral("Column 7"));
    TTestTextSrc rows;
    rows.GenerateText(1, 100, QStringLiteral("Row "));
    EXPECT_EQ(rows.CellInARow(99).toString(), QStringLiteral("Row 100"));
    TTestTextSrc single;
    single.GenerateText(1, 1, QStringLiteral("Row "));
    EXPECT_EQ(single.Cell(0, 0).toString(), QStringLiteral("Row 1"));
}
