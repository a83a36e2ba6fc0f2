#include "QuorDataClients/ActionClient.h"

#include "QuorDataClients/QuorSubSelection.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "usagelog/Evaluation.h"

#include <algorithm>

// ---- client plumbing ----------------------------------------------------------

void TQuorActionClient::Attach()
{
    FData = FClientManager->Data;
    FSubSelection = dynamic_cast<TQuorSubSelection*>(FClientManager->GetClient(QStringLiteral("SubSelection")));
    if (!FSubSelection)
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    FData->RegisterClient(this);
}

void TQuorActionClient::Detach()
{
    // A client whose Attach failed stays in the manager and is detached with
    // it, never having registered.
    if (FData)
        FData->UnregisterClient(this);
}

void TQuorActionClient::Refuse(const QString& Reason)
{
    MessageDlg(Reason, TMsgDlgType::mtInformation, mbOK);
}

// ---- editing -----------------------------------------------------------------

void TQuorActionClient::CropSubSelection()
{
    if (!FSubSelection->Active()) {
        Refuse(QStringLiteral("You must choose a sub selection first."));
        return;
    }
    Write([this] {
        // Downward, so that hiding an entry never moves the positions still
        // to be visited; the block is read before it is cleared.
        const int firstDim = FSubSelection->FirstDim();
        const int lastDim = FSubSelection->LastDim();
        const int firstPoint = FSubSelection->FirstPoint();
        const int lastPoint = FSubSelection->LastPoint();
        auto hideDim = [this](int i) {
            const int d = FData->GetVisibleDim(i);
            FData->SetDimSelected(d, false);
            FData->SetDimHidden(d, true);
        };
        auto hidePoint = [this](int i) { FData->SetPointHidden(FData->GetVisiblePoint(i), true); };
        // A block reaching past the visible entries keeps what it covers.
        for (int i = FData->VisibleDimCount() - 1; i > lastDim; --i)
            hideDim(i);
        for (int i = std::min(firstDim, FData->VisibleDimCount()) - 1; i >= 0; --i)
            hideDim(i);
        for (int i = FData->VisiblePointCount() - 1; i > lastPoint; --i)
            hidePoint(i);
        for (int i = std::min(firstPoint, FData->VisiblePointCount()) - 1; i >= 0; --i)
            hidePoint(i);
        FSubSelection->ClearSubSelection();
    });
}

void TQuorActionClient::HideDims()
{
    if (FData->SelectedDimCount() == 0) {
        Refuse(QStringLiteral("You must select one or more dimensions first."));
        return;
    }
    Write([this] {
        for (int i = FData->VisibleDimCount() - 1; i >= 0; --i) {
            const int d = FData->GetVisibleDim(i);
            if (FData->IsDimSelected(d)) {
                FData->SetDimSelected(d, false);
                FData->SetDimHidden(d, true);
            }
        }
    });
}

void TQuorActionClient::MarkPoints(int ColorIndex)
{
    Write([this, ColorIndex] {
        for (int p = 0; p < FData->PointCount(); ++p)
            if (FData->IsPointSelected(p))
                FData->SetPointColor(p, ColorIndex);
    });
}

void TQuorActionClient::SetSelectedPointsVisible(bool Visible)
{
    Write([this, Visible] {
        for (int p = 0; p < FData->PointCount(); ++p)
            if (FData->IsPointSelected(p))
                FData->SetPointHidden(p, !Visible);
    });
}

void TQuorActionClient::Transpose()
{
    Write([this] { FData->SetTransposed(!FData->Transposed()); });
}

void TQuorActionClient::RefreshValues()
{
    Write([this] { FData->AdjustForValueChange(); });
}

void TQuorActionClient::ResetData()
{
    Write([this] { FData->DataSrcChanged(); });
}

void TQuorActionClient::SelectAll()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            FData->SetPointSelected(p, true);
    });
}

void TQuorActionClient::SelectVisible()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            if (!FData->IsPointHidden(p))
                FData->SetPointSelected(p, true);
    });
}

void TQuorActionClient::PickPoints()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            FData->SetPointHidden(p, !FData->IsPointSelected(p));
    });
}

void TQuorActionClient::UnhideAllPoints()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            FData->SetPointHidden(p, false);
    });
}

void TQuorActionClient::SelectPointsUnderSlider(int Dim)
{
    if (FData->GetSliderOff(Dim))
        return;
    const double low = FData->GetSliderLow(Dim);
    const double high = FData->GetSliderHigh(Dim);
    Write([this, Dim, low, high] {
        for (int p = 0; p < FData->PointCount(); ++p) {
            const double v = FData->GetValue(p, Dim);
            if (low <= v && v <= high)
                FData->SetPointSelected(p, true);
        }
    });
}

void TQuorActionClient::ResetSliders()
{
    Write([this] {
        for (int d = FData->DimCount() - 1; d >= 0; --d)
            FData->SetSliderOff(d, true);
    });
}

void TQuorActionClient::ResetDimBounds()
{
    Write([this] {
        for (int d = 0; d < FData->DimCount(); ++d) {
            FData->SetLBound(d, FData->GetDimMin(d));
            FData->SetUBound(d, FData->GetDimMax(d));
        }
    });
}

void TQuorActionClient::UnhideAllDims()
{
    Write([this] {
        for (int d = FData->DimCount() - 1; d >= 0; --d)
            FData->SetDimHidden(d, false);
    });
}

// ---- plot toggles --------------------------------------------------------------

struct TQuorActionClient::TPlotToggle {
    const char* Key;
    const char* Caption;
    int Number; // the plot's number in the log lines
    // Parallel coordinates log their opening once they have been added.
    bool LogsAfterAdding;
};

void TQuorActionClient::Toggle(const TPlotToggle& Plot)
{
    const QString key = QString::fromLatin1(Plot.Key);
    if (FClientManager->HasClient(key)) {
        LogEvent(QStringLiteral("close %1").arg(Plot.Number));
        FClientManager->RemoveClient(key);
        return;
    }
    const QString opened = QStringLiteral("open %1").arg(Plot.Number);
    if (!Plot.LogsAfterAdding)
        LogEvent(opened);
    // The plots are registered by the program; a build without this one
    // opens nothing.
    std::unique_ptr<TObject> plot = FClientManager->CreateClient(key);
    if (!plot)
        return;
    FClientManager->AddClient(key, QString::fromUtf8(Plot.Caption), std::move(plot));
    if (Plot.LogsAfterAdding)
        LogEvent(opened);
}

void TQuorActionClient::ToggleParallelCoordinates()
{
    Toggle({"ParallelCoordinates", "Parallel Coordinates", 1, true});
}

void TQuorActionClient::TogglePermutationMatrix()
{
    Toggle({"PermutationMatrix", "Permutation Matrix", 2, false});
}

void TQuorActionClient::ToggleScatterplotMatrix()
{
    Toggle({"ScatterplotMatrix", "Scatterplot Matrix", 3, false});
}

void TQuorActionClient::ToggleAndrewsCurves()
{
    Toggle({"AndrewsCurves", "Andrews' Curves", 4, false});
}
