#pragma once

#include "QuorData/QuorDataSrc.h"
#include "platform/Dispatch.h"

// The sheet row and column, counted from 1, of a range's top-left cell, as
// the range's address names them; EOleError when it names no cell.
struct TCellPlace {
    int Row = 0;
    int Column = 0;
};
TCellPlace FirstCellOf(const TDispatch& Range);
// A range's count of its "Rows" or its "Columns".
int RangeCount(const TDispatch& Range, const QString& What);

// A grid over a rectangular range of a running spreadsheet, reached by late-
// bound automation. Grid cell (Col, Row) is the range's item (Row + 1,
// Col + 1). Every uncached read is two automation calls, so owners switch
// the cache on right after SetRange.
class TExcelOleDataSrc : public TDataSrc {
public:
    // With the cache on, the cache; otherwise the range's cell. A failed
    // automation call gives Null; a value that is not finite reads as its
    // text ("NaN", "INF", "-INF"), a cell without a number.
    void GetCell(int Col, int Row, TVariant& Value) override;
    // Writes the cache when on, then the range's cell; failures of the
    // spreadsheet are ignored.
    void SetCell(int Col, int Row, const TVariant& Value) override;
    // Only the cache: an uncached read is a call to the spreadsheet.
    bool ReadsFromAnyThread() const override { return Cached(); }
    // Takes the range's size and address, then refreshes; an automation
    // error passes to the caller and leaves the grid as it was. A range
    // without cells, or with more than MaxTableCells, is such an error.
    virtual void SetRange(const TDispatch& Range);
    // Reads every cell of the range again into the cache, when cached. The
    // size is not read again. A range that no longer answers raises its
    // automation error and leaves the cache as it was.
    virtual void Refresh();

    // Every cell through its two calls, as GetCell reads it, but a block of
    // cells at a time: the block's Item calls go out together, then their
    // Value2 calls, so that the round trips to another process overlap.
    // When cells fail and the range no longer answers (the spreadsheet went
    // away during the fill), raises that error and leaves the cache as it was.
    void FillCache() override;

    const TDispatch& Range() const { return FRange; }
    const TVariant& Address() const { return FAddress; }

private:
    TDispatch RangeItem(int Col, int Row) const;

    TDispatch FRange;
    TVariant FAddress;
};
