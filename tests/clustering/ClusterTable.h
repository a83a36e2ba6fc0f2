#pragma once

#include "support/TestTable.h"

#include <cmath>
#include <vector>

// The tests' table (generated, or given item by item with NaN for a cell
// without a number) with what the clustering tests read back.
class TClusterTable : public TTestTable {
public:
    using TTestTable::TTestTable;

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
};

// One-dimensional items: one value each.
inline std::vector<std::vector<double>> Line(const std::vector<double>& Values)
{
    std::vector<std::vector<double>> rows;
    for (double v : Values)
        rows.push_back({v});
    return rows;
}
