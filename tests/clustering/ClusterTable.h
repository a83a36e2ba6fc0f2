#pragma once

#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"

#include <cmath>
#include <vector>

// A data object over a table given item by item: Rows[p][d] is item p's
// value in dimension d; NaN stands for a cell without a number.
class TClusterTable {
public:
    explicit TClusterTable(const std::vector<std::vector<double>>& Rows)
    {
        const int points = static_cast<int>(Rows.size());
        const int dims = points > 0 ? static_cast<int>(Rows[0].size()) : 0;
        Values.Generate(dims, points);
        for (int p = 0; p < points; ++p)
            for (int d = 0; d < dims; ++d) {
                const double v = Rows[static_cast<size_t>(p)][static_cast<size_t>(d)];
                Values.SetCell(d, p, std::isnan(v) ? TVariant() : TVariant(v));
            }
        DimNames.GenerateText(dims, 1, QStringLiteral("Dim "));
        PointNames.GenerateText(1, points, QStringLiteral("Item "));
        Data.SetDataSrc(&Values, &DimNames, &PointNames);
    }

    // A generated table of integers (the shared generator seeded 230003).
    TClusterTable(int Dims, int Points)
    {
        Values.Generate(Dims, Points);
        DimNames.GenerateText(Dims, 1, QStringLiteral("Dim "));
        PointNames.GenerateText(1, Points, QStringLiteral("Item "));
        Data.SetDataSrc(&Values, &DimNames, &PointNames);
    }

    // The value of dimension 0 at every view position, in view order.
    std::vector<double> FirstColumn()
    {
        std::vector<double> v;
        for (int p = 0; p < Data.PointCount(); ++p)
            v.push_back(Data.GetValue(p, 0));
        return v;
    }
    std::vector<int> Colors()
    {
        std::vector<int> c;
        for (int p = 0; p < Data.PointCount(); ++p)
            c.push_back(Data.GetPointColor(p));
        return c;
    }

    TTestDataSrc Values;
    TTestTextSrc DimNames;
    TTestTextSrc PointNames;
    TData Data;
};

// One-dimensional items: one value each.
inline std::vector<std::vector<double>> Line(const std::vector<double>& Values)
{
    std::vector<std::vector<double>> rows;
    for (double v : Values)
        rows.push_back({v});
    return rows;
}
