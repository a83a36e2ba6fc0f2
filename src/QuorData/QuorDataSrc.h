#pragma once

#include "platform/Variant.h"

#include <vector>

// An abstract grid of variant cells, addressed by column and row from 0 or by
// a running index that walks the grid row by row. A subclass that caches
// answers GetCell from Cache while Cached is on.
class TDataSrc {
public:
    TDataSrc() = default;
    virtual ~TDataSrc() = default;
    TDataSrc(const TDataSrc&) = delete;
    TDataSrc& operator=(const TDataSrc&) = delete;

    virtual void SetColCount(int Value);
    virtual void SetRowCount(int Value);
    virtual void GetCell(int Col, int Row, TVariant& Value) = 0;
    virtual void SetCell(int Col, int Row, const TVariant& Value) = 0;
    virtual void SetCached(bool Value);
    virtual void FreeCache();
    virtual void AllocCache();
    virtual void FillCache();
    // Whether GetCell only reads memory, so that several threads may read
    // cells at once while nobody writes.
    virtual bool ReadsFromAnyThread() const { return false; }

    void GetCellInARow(int Index, TVariant& Value);
    void SetCellInARow(int Index, const TVariant& Value);

    // Convenience forms of the two reads.
    TVariant Cell(int Col, int Row) { TVariant v; GetCell(Col, Row, v); return v; }
    TVariant CellInARow(int Index) { TVariant v; GetCellInARow(Index, v); return v; }

    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    bool Cached() const { return FCached; }

protected:
    int FColCount = 0;
    int FRowCount = 0;
    bool FCached = false;
    std::vector<std::vector<TVariant>> Cache; // [row][column]
};
