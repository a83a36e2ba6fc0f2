#pragma once

// The tests' table builder: a data object over grids kept in memory,
// generated or given item by item. The grids are declared first so that
// they outlive the data object. Header-only, for the benchmarks too.

#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <vector>

class TTestTable {
public:
    // Dims by Points integers from the shared generator (seeded 230003),
    // dimensions named DimPrefix 1, 2, ... and items PointPrefix 1, 2, ...;
    // handed to the data object at once unless Loaded is false.
    TTestTable(int Dims, int Points, bool Loaded = true, const QString& DimPrefix = QStringLiteral("Dim "),
               const QString& PointPrefix = QStringLiteral("Item "))
    {
        Values.Generate(Dims, Points);
        DimNames.GenerateText(Dims, 1, DimPrefix);
        PointNames.GenerateText(1, Points, PointPrefix);
        if (Loaded)
            Load();
    }

    // Rows[p][d] is item p's value in dimension d; NaN stands for a cell
    // without a number. Names not given are generated as above.
    explicit TTestTable(const std::vector<std::vector<double>>& Rows, const QStringList& ADimNames = {},
                        const QStringList& APointNames = {})
        : TTestTable(Rows.empty() ? 0 : int(Rows.front().size()), int(Rows.size()), false)
    {
        for (size_t p = 0; p < Rows.size(); ++p)
            for (size_t d = 0; d < Rows[p].size(); ++d) {
                const double v = Rows[p][d];
                Values.SetCell(int(d), int(p), std::isnan(v) ? TVariant() : TVariant(v));
            }
        for (int d = 0; d < ADimNames.size(); ++d)
            DimNames.SetCell(d, 0, TVariant(ADimNames[d]));
        for (int p = 0; p < APointNames.size(); ++p)
            PointNames.SetCell(0, p, TVariant(APointNames[p]));
        Load();
    }

    // Hands the grids to the data object (unlocked: without events).
    void Load() { Data.SetDataSrc(&Values, &DimNames, &PointNames); }

    TTestDataSrc Values;
    TTestTextSrc DimNames;
    TTestTextSrc PointNames;
    TData Data;
};
