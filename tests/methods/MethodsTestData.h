#pragma once

// A hand-made data object for the plot tests: a few data items with known
// values, names and colours over cell grids kept in memory.

#include "support/TestTable.h"

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <vector>

// Values of Items data items by the dimensions named in DimNames; every
// dimension's bounds run from 0 to 10 whatever its values.
class TMethodsTestData : public TTestTable {
public:
    TMethodsTestData(const QStringList& ADimNames, const QStringList& ItemNames,
                     const std::vector<std::vector<double>>& AValues)
        : TTestTable(AValues, ADimNames, ItemNames)
    {
        Data.DefaultPointProps.Color = 15;
        Load();
        for (int d = 0; d < Data.DimCount(); ++d) {
            Data.SetLBound(d, 0);
            Data.SetUBound(d, 10);
        }
    }

    // Four items (a to d) by four dimensions (A to D); sliders on A (2 to 6)
    // and C (1 to 5) hold item b in both.
    static TMethodsTestData Standard()
    {
        return TMethodsTestData({"A", "B", "C", "D"}, {"a", "b", "c", "d"},
                                {{0, 10, 0, 10}, {5, 5, 3, 5}, {10, 0, 10, 0}, {8, 2, 7, 1}});
    }

    void SetSlider(int Dim, double Low, double High)
    {
        Data.SetSliderLow(Dim, Low);
        Data.SetSliderHigh(Dim, High);
        Data.SetSliderOff(Dim, false);
    }
};
