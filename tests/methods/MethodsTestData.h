#pragma once

// A hand-made data object for the plot tests: a few data items with known
// values, names and colours over cell grids kept in memory.

#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrc.h"

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <vector>

// A grid whose cells are given by the test, row by row.
class TTableSrc : public TDataSrc {
public:
    TTableSrc() = default;
    explicit TTableSrc(const std::vector<std::vector<TVariant>>& Rows) { SetRows(Rows); }

    void SetRows(const std::vector<std::vector<TVariant>>& Rows)
    {
        FRows = Rows;
        FRowCount = int(Rows.size());
        FColCount = Rows.empty() ? 0 : int(Rows.front().size());
    }
    void GetCell(int Col, int Row, TVariant& Value) override { Value = FRows[size_t(Row)][size_t(Col)]; }
    void SetCell(int Col, int Row, const TVariant& Value) override { FRows[size_t(Row)][size_t(Col)] = Value; }

private:
    std::vector<std::vector<TVariant>> FRows;
};

// Values of Items data items by the dimensions named in DimNames; every
// dimension's bounds run from 0 to 10 whatever its values.
class TMethodsTestData {
public:
    TMethodsTestData(const QStringList& DimNames, const QStringList& ItemNames,
                     const std::vector<std::vector<double>>& Values)
    {
        std::vector<std::vector<TVariant>> values, dims(1), items;
        for (const auto& row : Values) {
            values.emplace_back();
            for (double v : row)
                values.back().emplace_back(v);
        }
        for (const QString& name : DimNames)
            dims[0].emplace_back(name);
        for (const QString& name : ItemNames)
            items.push_back({TVariant(name)});
        FValues.SetRows(values);
        FDimNames.SetRows(dims);
        FItemNames.SetRows(items);
        Data.DefaultPointProps.Color = 15;
        Data.SetDataSrc(&FValues, &FDimNames, &FItemNames);
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

    TData Data;

private:
    TTableSrc FValues;
    TTableSrc FDimNames;
    TTableSrc FItemNames;
};
