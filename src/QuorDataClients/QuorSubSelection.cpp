#include "QuorDataClients/QuorSubSelection.h"

void TQuorSubSelection::SetSubSelection(int FirstPoint, int LastPoint, int FirstDim, int LastDim)
{
    if (FActive && FirstPoint == FFirstPoint && LastPoint == FLastPoint && FirstDim == FFirstDim
        && LastDim == FLastDim)
        return;
    auto notice = TQDCESubSelection::Create();
    notice->FirstPoint = FirstPoint;
    notice->LastPoint = LastPoint;
    notice->FirstDim = FirstDim;
    notice->LastDim = LastDim;
    notice->Cleared = false;
    // Specific, so that no other notice of the batch replaces it.
    notice->IsGeneric = false;
    // Queued first: a call without the write lock is refused and then
    // changes nothing that the clients would not hear of.
    FData->AddCustomEvent(std::move(notice));
    FFirstPoint = FirstPoint;
    FLastPoint = LastPoint;
    FFirstDim = FirstDim;
    FLastDim = LastDim;
    FActive = true;
}

void TQuorSubSelection::ClearSubSelection()
{
    if (!FActive)
        return;
    auto notice = TQDCESubSelection::Create();
    notice->Cleared = true;
    // Left generic: a second clearing by the same actor in one batch is dropped.
    FData->AddCustomEvent(std::move(notice));
    FActive = false;
}

void TQuorSubSelection::EndEvents()
{
    if (!FDirty)
        return;
    FDirty = false;
    // Inside the running delivery: the clearing notice reaches every client
    // in a further pass of it.
    FData->WriteTransaction(this, [this] { ClearSubSelection(); });
}

void TQuorSubSelection::PointModifications(TData*, TObject*)
{
    FDirty = true;
}

void TQuorSubSelection::PointSelectionChange(TData*, TObject*, int, bool)
{
    FDirty = true;
}

void TQuorSubSelection::PointVisibilityChange(TData*, TObject*, int, bool)
{
    FDirty = true;
}

void TQuorSubSelection::DimSelectionChange(TData*, TObject*, int, bool)
{
    FDirty = true;
}

void TQuorSubSelection::DimExchange(TData*, TObject*, int, int)
{
    FDirty = true;
}

void TQuorSubSelection::DimMove(TData*, TObject*, int, int)
{
    FDirty = true;
}

void TQuorSubSelection::DimVisibilityChange(TData*, TObject*, int, bool)
{
    FDirty = true;
}

void TQuorSubSelection::DimModifications(TData*, TObject*)
{
    FDirty = true;
}

void TQuorSubSelection::ValueChange(TData*, TObject*)
{
    FDirty = true;
}

void TQuorSubSelection::DataSrcChange(TData*, TObject*)
{
    FDirty = true;
}

void TQuorSubSelection::Attach()
{
    FData = FClientManager->Data;
    FActive = false;
    FDirty = false;
    FData->RegisterClient(this);
}

void TQuorSubSelection::Detach()
{
    // A client whose Attach failed stays in the manager and is detached
    // with it, never having registered.
    if (FData)
        FData->UnregisterClient(this);
}
