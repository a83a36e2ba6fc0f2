#include "QuorDataClients/DataActor.h"

#include <QAction>

#include <cmath>
#include <limits>

bool TDataActor::Fitting() const
{
    return FClientManager->ActionFitBounds && FClientManager->ActionFitBounds->isChecked();
}

void TDataActor::Attach()
{
    FData = FClientManager->Data;
    if (Fitting())
        FData->WriteTransaction(this, [this] { FitAllBounds(); });
    FData->RegisterClient(this);
}

void TDataActor::Detach()
{
    // A client whose Attach failed stays in the manager and is detached with
    // it, never having registered.
    if (FData)
        FData->UnregisterClient(this);
}

void TDataActor::EndEvents()
{
    if (Fitting() && FData)
        FData->WriteTransaction(this, [this] { FitAllBounds(); });
}

void TDataActor::FitAllBounds()
{
    for (int d = 0; d < FData->DimCount(); ++d)
        FitDimBounds(d);
}

void TDataActor::FitDimBounds(int Dim)
{
    const int visible = FData->VisiblePointCount();
    if (visible == 0)
        return;
    // The running maximum starts from the lower bound and the minimum from
    // the upper one, so bounds that miss the values entirely take a second
    // refit to close in. A bound that is no number would be told as changed
    // on every refit and keep the delivery going; it starts from nothing.
    double hi = FData->GetLBound(Dim);
    double lo = FData->GetUBound(Dim);
    if (std::isnan(hi))
        hi = -std::numeric_limits<double>::infinity();
    if (std::isnan(lo))
        lo = std::numeric_limits<double>::infinity();
    bool number = false;
    for (int i = 0; i < visible; ++i) {
        const double v = FData->GetValue(FData->GetVisiblePoint(i), Dim);
        if (v > hi)
            hi = v;
        if (v < lo)
            lo = v;
        number = number || !std::isnan(v);
    }
    // Without a single number the bounds would only change places, on every
    // refit.
    if (!number)
        return;
    if (hi == lo) {
        FData->SetUBound(Dim, hi + 0.5);
        FData->SetLBound(Dim, lo - 0.5);
    } else {
        FData->SetUBound(Dim, hi);
        FData->SetLBound(Dim, lo);
    }
}

bool TDataActor::FitBoundsToItem(int Item)
{
    bool changed = false;
    for (int d = 0; d < FData->DimCount(); ++d) {
        const double v = FData->GetValue(Item, d);
        if (FData->GetUBound(d) < v) {
            FData->SetUBound(d, v);
            changed = true;
        }
        if (FData->GetLBound(d) > v) {
            FData->SetLBound(d, v);
            changed = true;
        }
    }
    return changed;
}

void TDataActor::ResetBounds()
{
    FData->WriteTransaction(this, [this] {
        for (int d = 0; d < FData->DimCount(); ++d) {
            FData->SetUBound(d, FData->GetDimMax(d));
            FData->SetLBound(d, FData->GetDimMin(d));
        }
    });
}
