#pragma once

// A generated table in a data object, for tests and benchmarks. Header-only,
// so that the benchmarks can use it without linking the test support library.

#include "QuorData/QuorAppProperties.h"
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"

// Dims dimensions "Dimension 1".. by Items data items "Item 1".., the same
// integers on every run, set without events; the items start with the
// default colour of the application properties beside it.
class TGeneratedData {
public:
    TGeneratedData(int Dims, int Items)
    {
        Values.Generate(Dims, Items);
        DimNames.GenerateText(Dims, 1, QStringLiteral("Dimension "));
        ItemNames.GenerateText(1, Items, QStringLiteral("Item "));
        Data.DefaultPointProps.Color = Props.DefaultColorIndex;
        Data.SetDataSrc(&Values, &DimNames, &ItemNames);
    }
    TGeneratedData(const TGeneratedData&) = delete;
    TGeneratedData& operator=(const TGeneratedData&) = delete;

    TTestDataSrc Values;
    TTestTextSrc DimNames;
    TTestTextSrc ItemNames;
    TQuorAppProperties Props;
    // Declared after the grids it reads, so that it goes first.
    TData Data;
};
