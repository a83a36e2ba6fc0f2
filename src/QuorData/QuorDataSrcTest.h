#pragma once

#include "QuorData/QuorDataSrc.h"

#include <QString>

// A generated grid of integers, the same on every run.
class TTestDataSrc : public TDataSrc {
public:
    void GetCell(int Col, int Row, TVariant& Value) override;
    void SetCell(int Col, int Row, const TVariant& Value) override;
    bool ReadsFromAnyThread() const override { return true; }
    // Fills ColCount by RowCount cells with integers below a per-column range
    // of 50, 100, 150 or 200, drawn from the shared generator seeded 230003.
    virtual void Generate(int ColCount, int RowCount);

protected:
    std::vector<std::vector<TVariant>> Data; // [column][row]
};

// A generated grid of names: Prefix followed by the running index from 1.
class TTestTextSrc : public TTestDataSrc {
public:
    void GenerateText(int ColCount, int RowCount, const QString& Prefix);
};
