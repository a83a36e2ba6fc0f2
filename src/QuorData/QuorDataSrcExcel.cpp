#include "QuorData/QuorDataSrcExcel.h"

#include "QuorData/QuorDataSrcXML.h"
#include "platform/Exceptions.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

TVariant AddressOf(const TDispatch& range)
{
    return range.Get(QStringLiteral("Address"), {false, false, int32_t(1), true, TDispatchValue()}).AsVariant();
}

// A spreadsheet holds no value that is not finite, but a peer may send one:
// it reads as the text it would print, so that, like any text, it is no
// number to the data object and no view ever meets it.
TVariant FiniteCell(const TVariant& Cell)
{
    if (Cell.type() == TVariant::Type::Double) {
        const double v = Cell.toDouble();
        if (!std::isfinite(v))
            return TVariant(std::isnan(v) ? QStringLiteral("NaN") : v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF"));
    }
    return Cell;
}

// Cells whose calls are under way at once during a cache fill: enough to
// keep the bus busy, and never more calls awaiting their answers than the
// 128 that a message bus holds for one connection by default (beyond that
// it refuses calls, and their cells would read Null).
constexpr size_t FillBlock = 64;

// The cell of a finished read; false, with Null, for any automation failure.
bool ReadCell(const std::optional<TPendingGet>& Read, TVariant& Cell)
{
    Cell = TVariant::Null();
    if (!Read)
        return false;
    try {
        Cell = FiniteCell(Read->Result().AsVariant());
        return true;
    } catch (const EOleError&) {
        return false;
    }
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
        Value = FiniteCell(RangeItem(Col, Row).Get(QStringLiteral("Value2")).AsVariant());
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

void TExcelOleDataSrc::FillCache()
{
    const size_t cols = size_t(std::max(0, FColCount));
    const size_t cells = Cache.size() * cols;
    std::vector<std::vector<TVariant>> fresh(Cache.size(), std::vector<TVariant>(cols));
    std::vector<TPendingGet> items;
    std::vector<std::optional<TPendingGet>> values;
    for (size_t first = 0; first < cells; first += FillBlock) {
        const size_t count = std::min(FillBlock, cells - first);
        items.clear();
        for (size_t i = first; i < first + count; ++i)
            items.push_back(FRange.BeginGet(QStringLiteral("Item"), {int32_t(i / cols + 1), int32_t(i % cols + 1)}));
        values.assign(count, std::nullopt);
        for (size_t i = 0; i < count; ++i) {
            try {
                values[i] = items[i].Result().AsDispatch().BeginGet(QStringLiteral("Value2"), {});
            } catch (const EOleError&) {
                // This cell reads Null; its neighbours may still answer.
            }
        }
        bool failed = false;
        for (size_t i = 0; i < count; ++i)
            if (!ReadCell(values[i], fresh[(first + i) / cols][(first + i) % cols]))
                failed = true;
        // A refused cell and a spreadsheet gone both read Null; the range
        // itself tells them apart, before more calls go to a spreadsheet
        // that may no longer answer.
        if (failed)
            AddressOf(FRange);
    }
    Cache.swap(fresh);
}

void TExcelOleDataSrc::SetRange(const TDispatch& Range)
{
    // Everything is asked of the range before anything is kept: a range that
    // fails leaves the grid as it was, its counts matching its cache.
    const int colCount = RangeCount(Range, QStringLiteral("Columns"));
    const int rowCount = RangeCount(Range, QStringLiteral("Rows"));
    // The counts come from another process: a range has at least one cell,
    // and one too large for memory is refused before its cache is made.
    if (colCount < 1 || rowCount < 1)
        throw EOleError(QStringLiteral("The range counts %1 columns by %2 rows").arg(colCount).arg(rowCount));
    if (qint64(colCount) * rowCount > MaxTableCells)
        throw EOleError(QStringLiteral("The range of %1 columns by %2 rows is too large for memory")
                            .arg(colCount)
                            .arg(rowCount));
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

TCellPlace FirstCellOf(const TDispatch& Range)
{
    // The address of whole columns names no row ("A:C"), that of their first
    // cell does. The cell comes last, after the workbook and sheet names.
    const QString address =
        AddressOf(Range.Call(QStringLiteral("Resize"), {int32_t(1), int32_t(1)}).AsDispatch()).toString();
    static const QRegularExpression cell(QStringLiteral("(?:^|!)\\$?([A-Za-z]{1,3})\\$?([0-9]{1,7})$"));
    const QRegularExpressionMatch match = cell.match(address);
    const int row = match.captured(2).toInt();
    if (!match.hasMatch() || row < 1)
        throw EOleError(QStringLiteral("The address %1 names no cell").arg(address));
    int column = 0;
    for (const QChar letter : match.captured(1))
        column = column * 26 + (letter.toUpper().unicode() - u'A' + 1);
    return {row, column};
}

int RangeCount(const TDispatch& Range, const QString& What)
{
    return Range.Call(What).AsDispatch().Call(QStringLiteral("Count")).AsVariant().toInt();
}
