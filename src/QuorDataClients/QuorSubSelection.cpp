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
    Data->AddCustomEvent(std::move(notice));
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
    Data->AddCustomEvent(std::move(notice));
    FActive = false;
}

void TQuorSubSelection::EndEvents()
{
    if (!Dirty)
        return;
    Dirty = false;
    // Inside the running delivery: the clearing notice reaches every client
    // in a further pass of it.
    Data->WriteTransaction(this, [this] { ClearSubSelection(); });
}

void TQuorSubSelection::PointModifications(TData*, TObject*)
{
    Dirty = true;
}

void TQuorSubSelection::PointSelectionChange(TData*, TObject*, int, bool)
{
    Dirty = true;
}

void TQuorSubSelection::PointVisibilityChange(TData*, TObject*, int, bool)
{
    Dirty = true;
}

void TQuorSubSelection::DimSelectionChange(TData*, TObject*, int, bool)
{
    Dirty = true;
}

void TQuorSubSelection::DimExchange(TData*, TObject*, int, int)
{
    Dirty = true;
}

void TQuorSubSelection::DimMove(TData*, TObject*, int, int)
{
    Dirty = true;
}

void TQuorSubSelection::DimVisibilityChange(TData*, TObject*, int, bool)
{
    Dirty = true;
}

void TQuorSubSelection::DimModifications(TData*, TObject*)
{
    Dirty = true;
}

void TQuorSubSelection::ValueChange(TData*, TObject*)
{
    Dirty = true;
}

void TQuorSubSelection::DataSrcChange(TData*, TObject*)
{
    Dirty = true;
}

void TQuorSubSelection::Attach()
{
    Data = ClientManager->Data;
    FActive = false;
    Dirty = false;
    Data->RegisterClient(this);
}

void TQuorSubSelection::Detach()
{
    // A client whose Attach failed stays in the manager and is detached
    // with it, never having registered.
    if (Data)
        Data->UnregisterClient(this);
}
