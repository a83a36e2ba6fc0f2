#pragma once

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"

// Keeps every dimension's displayed bounds fitted to the values of the data
// items that are shown, while the main window's "Fit bounds to visible data"
// is checked: it refits at the end of every delivery, so that hiding or
// showing items rescales every plot.
class TDataActor : public TObject, public TQuorNoOpClient, public TQuorNoOpDataClient {
public:
    TDataActor() = default;

    // Widens the bounds to take in the item's values; True when a bound
    // changed.
    virtual bool FitBoundsToItem(int Item);
    virtual void FitAllBounds();
    // Fits one dimension's bounds; the caller holds the write lock so that
    // the change is told.
    virtual void FitDimBounds(int Dim);

    // IQuorDataClient
    // Refits inside the running delivery; the bound notices this queues are
    // delivered in a further pass of it.
    void EndEvents() override;

    // IQuorClient
    void SetClientManager(TQuorClientManager* Manager) override { FClientManager = Manager; }
    void Attach() override;
    void Detach() override;

    // Every dimension's bounds back to its data range, in one transaction.
    void ResetBounds();

private:
    // Whether the main window's fitting action is checked; off without one.
    bool Fitting() const;

    TQuorClientManager* FClientManager = nullptr;
    TData* FData = nullptr;
};
