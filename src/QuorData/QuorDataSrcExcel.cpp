#include "QuorData/QuorDataSrcExcel.h"

#include "platform/Exceptions.h"

namespace {

int Count(const TDispatch& range, const QString& what)
{
    return range.Call(what).AsDispatch().Call(QStringLiteral("Count")).AsVariant().toInt();
}

TVariant AddressOf(const TDispatch& range)
{
    return range.Get(QStringLiteral("Address"), {false, false, int32_t(1), true, TDispatchValue()}).AsVariant();
}

} // namespace

TDispatch TExcelOleDataSrc::RangeItem(int Col, int Row) const
{
    return FRange.Get(QStringLiteral("Item"), {int32_t(Row + 1), int32_t(Col + 1)}).AsDispatch();
}

void TExcelOleDataSrc::GetCell(int Col, int Row, TVariant& Value)
{
    // The grid's own contract, not the spreadsheet's: the cache holds exactly
    // the grid's cells.
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "GetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "GetCell: Row out of bounds");
    if (FCached) {
        Value = Cache[size_t(Row)][size_t(Col)];
        return;
    }
    try {
        Value = RangeItem(Col, Row).Get(QStringLiteral("Value2")).AsVariant();
    } catch (const EOleError&) {
        // The spreadsheet closed, the range gone, a refused call: this cell
        // is unknown, the others may still be read.
        Value = TVariant::Null();
    }
}

void TExcelOleDataSrc::SetCell(int Col, int Row, const TVariant& Value)
{
    QUOR_ASSERT(Col >= 0 && Col < FColCount, "SetCell: Col out of bounds");
    QUOR_ASSERT(Row >= 0 && Row < FRowCount, "SetCell: Row out of bounds");
    if (FCached)
        Cache[size_t(Row)][size_t(Col)] = Value;
    try {
        RangeItem(Col, Row).Put(QStringLiteral("Value2"), {}, Value);
    } catch (const EOleError&) {
        // A write the spreadsheet refuses leaves its cell as it was.
    }
}

void TExcelOleDataSrc::SetRange(const TDispatch& Range)
{
    // Everything is asked of the range before anything is kept: a range that
    // fails leaves the grid as it was, its counts matching its cache.
    const int colCount = Count(Range, QStringLiteral("Columns"));
    const int rowCount = Count(Range, QStringLiteral("Rows"));
    const TVariant address = AddressOf(Range);
    FRange = Range;
    SetColCount(colCount);
    SetRowCount(rowCount);
    FAddress = address;
    Refresh();
}

void TExcelOleDataSrc::Refresh()
{
    if (!FCached)
        return;
    // Single cells that fail read as Null, so a range that no longer answers
    // at all (its workbook closed, the spreadsheet gone) would refresh into a
    // grid of Nulls; asking the range first lets that failure reach the owner
    // with the former cells kept.
    AddressOf(FRange);
    AllocCache();
    FillCache();
}
