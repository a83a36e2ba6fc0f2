#pragma once

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"

// Holds the one sub-selection: a block of consecutive visible data items by
// consecutive visible dimensions. Every change of it is announced to all data
// clients as a TQDCESubSelection; a data change that could move the block's
// contents ends it.
class TQuorSubSelection : public TObject, public IQuorClient, public IQuorDataClient {
public:
    TQuorSubSelection() = default;

    // The caller holds the data object's write lock. Positions index the
    // visible lists and are stored as given.
    virtual void SetSubSelection(int FirstPoint, int LastPoint, int FirstDim, int LastDim);
    // The caller holds the write lock; nothing happens without a sub-selection.
    virtual void ClearSubSelection();

    bool Active() const { return FActive; }
    int FirstPoint() const { return FFirstPoint; }
    int LastPoint() const { return FLastPoint; }
    int FirstDim() const { return FFirstDim; }
    int LastDim() const { return FLastDim; }

    // IQuorDataClient
    void BeginEvents() override {}
    void EndEvents() override;
    void PointModifications(TData* Data, TObject* Actor) override;
    void PointColorChange(TData* Data, TObject* Actor, int Point) override {}
    void PointSelectionChange(TData* Data, TObject* Actor, int Point, bool Selected) override;
    void PointVisibilityChange(TData* Data, TObject* Actor, int Point, bool Visible) override;
    // Exchanged items leave the block where it is: it is held by position.
    void PointExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override {}
    void DimSelectionChange(TData* Data, TObject* Actor, int Dim, bool Selected) override;
    void DimExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override;
    void DimMove(TData* Data, TObject* Actor, int SrcMoved, int SrcAtTarget) override;
    void DimVisibilityChange(TData* Data, TObject* Actor, int Dim, bool Visible) override;
    void DimSliderChange(TData* Data, TObject* Actor, int Dim) override {}
    void DimBoundChange(TData* Data, TObject* Actor, int Dim) override {}
    void DimModifications(TData* Data, TObject* Actor) override;
    void ValueChange(TData* Data, TObject* Actor) override;
    void DataSrcChange(TData* Data, TObject* Actor) override;
    void CustomEvent(TQuorDataCustomEvent* Event) override {}

    // IQuorClient
    void SetClientManager(TQuorClientManager* Manager) override { FClientManager = Manager; }
    void Attach() override;
    void Detach() override;
    TQuorClientCapabilities GetCapabilities() override { return {}; }
    void CopyToClipboard(QClipboard* Clipboard) override {}
    void Print(QPrinter* Printer) override {}
    int ShowCopyOptions(QClipboard* Clipboard) override { return 0; }
    int ShowPrintOptions(QPrinter* Printer) override { return 0; }

private:
    // Set by the notices that end the sub-selection, consumed by EndEvents.
    bool FDirty = false;
    TQuorClientManager* FClientManager = nullptr;
    TData* FData = nullptr;
    int FFirstPoint = 0;
    int FLastPoint = 0;
    int FFirstDim = 0;
    int FLastDim = 0;
    bool FActive = false;
};
