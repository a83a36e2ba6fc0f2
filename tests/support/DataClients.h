#pragma once

// Data clients for tests and benchmarks. Header-only, so that the benchmarks
// can use it without linking the test support library.

#include "QuorData/QuorData.h"

// Ignores every notice. Derive from it together with TObject (the data object
// finds clients through TObject) and override only the notices a test watches.
// It carries no TObject of its own so that a test can choose the base order,
// which decides when the interface disappears during destruction.
class TNoOpDataClient : public IQuorDataClient {
public:
    void BeginEvents() override {}
    void EndEvents() override {}
    void PointModifications(TData*, TObject*) override {}
    void PointColorChange(TData*, TObject*, int) override {}
    void PointSelectionChange(TData*, TObject*, int, bool) override {}
    void PointVisibilityChange(TData*, TObject*, int, bool) override {}
    void PointExchange(TData*, TObject*, int, int) override {}
    void DimSelectionChange(TData*, TObject*, int, bool) override {}
    void DimExchange(TData*, TObject*, int, int) override {}
    void DimMove(TData*, TObject*, int, int) override {}
    void DimVisibilityChange(TData*, TObject*, int, bool) override {}
    void DimSliderChange(TData*, TObject*, int) override {}
    void DimBoundChange(TData*, TObject*, int) override {}
    void DimModifications(TData*, TObject*) override {}
    void ValueChange(TData*, TObject*) override {}
    void DataSrcChange(TData*, TObject*) override {}
    void CustomEvent(TQuorDataCustomEvent*) override {}
};
