#include "QuorData/QuorDataSrcTest.h"

#include "platform/Exceptions.h"
#include "platform/Random.h"

void TTestDataSrc::GetCell(int Col, int Row, TVariant& Value)
{
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "GetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "GetCell: Row out of bounds");
    Value = Data[static_cast<size_t>(Col)][static_cast<size_t>(Row)];
}

void TTestDataSrc::SetCell(int Col, int Row, const TVariant& Value)
{
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "SetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "SetCell: Row out of bounds");
    Data[static_cast<size_t>(Col)][static_cast<size_t>(Row)] = Value;
}

void TTestDataSrc::Generate(int ColCount, int RowCount)
{
    SetColCount(ColCount);
    SetRowCount(RowCount);
    RandSeed = 230003;
    Data.resize(static_cast<size_t>(std::max(0, ColCount)));
    for (int c = ColCount - 1; c >= 0; --c) {
        Data[static_cast<size_t>(c)].resize(static_cast<size_t>(std::max(0, RowCount)));
        const int32_t range = (Random(4) + 1) * 50;
        for (int r = RowCount - 1; r >= 0; --r)
            SetCell(c, r, TVariant(Random(range)));
    }
}

void TTestTextSrc::GenerateText(int ColCount, int RowCount, const QString& Prefix)
{
    Generate(ColCount, RowCount);
    for (int i = ColCount * RowCount - 1; i >= 0; --i)
        SetCellInARow(i, TVariant(Prefix + QString::number(i + 1)));
}
