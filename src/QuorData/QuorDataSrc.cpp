#include "QuorData/QuorDataSrc.h"

#include "platform/Exceptions.h"

void TDataSrc::SetColCount(int Value)
{
    FColCount = Value;
}

void TDataSrc::SetRowCount(int Value)
{
    FRowCount = Value;
}

void TDataSrc::SetCached(bool Value)
{
    if (Value != FCached) {
        if (Value) {
            AllocCache();
            FillCache();
        } else {
            FreeCache();
        }
    }
    FCached = Value;
}

void TDataSrc::FreeCache()
{
    for (auto& row : Cache)
        row.clear();
    Cache.clear();
}

void TDataSrc::AllocCache()
{
    Cache.resize(static_cast<size_t>(std::max(0, FRowCount)));
    for (auto& row : Cache)
        row.resize(static_cast<size_t>(std::max(0, FColCount)));
}

void TDataSrc::FillCache()
{
    const bool wasCached = FCached;
    FCached = false;
    try {
        for (size_t r = 0; r < Cache.size(); ++r)
            for (size_t c = 0; c < Cache[r].size(); ++c)
                GetCell(static_cast<int>(c), static_cast<int>(r), Cache[r][c]);
    } catch (...) {
        FCached = wasCached;
        throw;
    }
    FCached = wasCached;
}

void TDataSrc::GetCellInARow(int Index, TVariant& Value)
{
    QUOR_ASSERT(FColCount >= 1, "GetCellInARow: ColCount must be bigger than zero.");
    GetCell(Index % FColCount, Index / FColCount, Value);
}

void TDataSrc::SetCellInARow(int Index, const TVariant& Value)
{
    QUOR_ASSERT(FColCount >= 1, "SetCellInARow: ColCount must be bigger than zero.");
    SetCell(Index % FColCount, Index / FColCount, Value);
}
