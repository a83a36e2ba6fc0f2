#pragma once

// A generated table in a data object, for benchmarks: the tests' table
// builder with the application properties whose default colour the items
// start with. Header-only, so that the benchmarks can use it without
// linking the test support library.

#include "QuorData/QuorAppProperties.h"
#include "support/TestTable.h"

// Dims dimensions "Dimension 1".. by Items data items "Item 1".., the same
// integers on every run, set without events.
class TGeneratedData : public TTestTable {
public:
    TGeneratedData(int Dims, int Items)
        : TTestTable(Dims, Items, false, QStringLiteral("Dimension "), QStringLiteral("Item "))
    {
        Data.DefaultPointProps.Color = Props.DefaultColorIndex;
        Load();
    }
    TGeneratedData(const TGeneratedData&) = delete;
    TGeneratedData& operator=(const TGeneratedData&) = delete;

    TQuorAppProperties Props;
};
