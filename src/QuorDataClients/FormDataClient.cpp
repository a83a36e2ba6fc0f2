#include "QuorDataClients/FormDataClient.h"

#include "QuorDataClients/QuorSubSelection.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace {

// A checked state that holds whether or not the main window made the action
// checkable.
void SetChecked(QAction* action, bool checked)
{
    if (!action)
        return;
    action->setCheckable(true);
    action->setChecked(checked);
}

void SetEnabled(QAction* action, bool enabled)
{
    if (action)
        action->setEnabled(enabled);
}

} // namespace

void TFormDataClient::Update()
{
    try {
        if (!FClientManager)
            return;
        if (!FData)
            throw Exception(QStringLiteral("No data object"));
        if (QLabel* panel = FClientManager->PanelDataItems)
            panel->setText(QString::asprintf("data items: %d / %d", FData->VisiblePointCount(),
                                             FData->PointCount()));
        if (QLabel* panel = FClientManager->PanelDimensions)
            panel->setText(QString::asprintf("dimensions: %d / %d", FData->VisibleDimCount(),
                                             FData->DimCount()));
        SetChecked(FClientManager->ActionTranspose, FData->Transposed());
        UpdateActions();
    } catch (const std::exception&) {
        ShowMessage(QStringLiteral("Bummer in TFormDataClient.Update"));
    }
}

void TFormDataClient::UpdateActions()
{
    // Without the sub-selection client the actions keep their state.
    const TQuorSubSelection* subSelection = nullptr;
    try {
        subSelection =
            dynamic_cast<TQuorSubSelection*>(FClientManager->GetClient(QStringLiteral("SubSelection")));
    } catch (const std::exception&) {
        return;
    }
    if (!subSelection)
        return;

    const bool itemsSelected = FData->SelectedPointCount() > 0;
    const bool dimsSelected = FData->SelectedDimCount() > 0;
    const bool active = subSelection->Active();
    TQuorClientManager& m = *FClientManager;
    SetEnabled(m.ActionHidePoints, itemsSelected);
    SetEnabled(m.ActionUnhidePoints, itemsSelected);
    SetEnabled(m.ActionPickPoints, itemsSelected);
    SetEnabled(m.ActionMarkPoints, itemsSelected);
    SetEnabled(m.ActionHideDims, dimsSelected);
    SetEnabled(m.ActionSortPointsAsc, active || dimsSelected);
    SetEnabled(m.ActionSortPointsDesc, active || dimsSelected);
    SetEnabled(m.ActionSortDimsAsc, active || itemsSelected);
    SetEnabled(m.ActionSortDimsDesc, active || itemsSelected);
    SetEnabled(m.ActionGroupPoints, itemsSelected);
    SetEnabled(m.ActionGroupDims, dimsSelected);
    SetEnabled(m.ActionCropSubSelection, active);
}

void TFormDataClient::BeginEvents()
{
    FLiveTracking = false;
}

void TFormDataClient::EndEvents()
{
    if (!FLiveTracking)
        Update();
}

void TFormDataClient::CustomEvent(TQuorDataCustomEvent* Event)
{
    if (dynamic_cast<TQDCELiveTracking*>(Event))
        FLiveTracking = true;
    if (auto* added = dynamic_cast<TQDCEDataClientAdded*>(Event))
        ShowPlot(added->Client, true);
    else if (auto* removed = dynamic_cast<TQDCEDataClientBeingRemoved*>(Event))
        ShowPlot(removed->Client, false);
}

void TFormDataClient::ShowPlot(TObject* Client, bool Open)
{
    if (!Client || !FClientManager)
        return;
    struct Plot {
        const char* key;
        QAction* toggle;
        QMenu* menu;
    };
    TQuorClientManager& m = *FClientManager;
    const Plot plots[] = {
        {"ParallelCoordinates", m.ActionQuorPCoord, m.MenuItemPCoord},
        {"PermutationMatrix", m.ActionQuorPMatrix, m.MenuItemPMatrix},
        {"ScatterplotMatrix", m.ActionQuorSMatrix, m.MenuItemSMatrix},
        {"AndrewsCurves", m.ActionQuorACurves, m.MenuItemACurves},
    };
    for (const Plot& plot : plots) {
        // A plot is known by the key it is held under: the manager stores it
        // before it attaches and deletes it only after it has detached, so
        // both notices find it there. Comparing only addresses, this never
        // touches a client that has already gone.
        const QString key = QString::fromLatin1(plot.key);
        if (!m.HasClient(key) || m.GetClient(key) != Client)
            continue;
        SetChecked(plot.toggle, Open);
        if (plot.menu) {
            plot.menu->menuAction()->setEnabled(Open);
            plot.menu->menuAction()->setVisible(Open);
        }
    }
}

void TFormDataClient::Attach()
{
    QUOR_ASSERT(FClientManager->HasClient(QStringLiteral("SubSelection")),
                "FormDataClient: depends on QuorClient \"SubSelection\".");
    FData = FClientManager->Data;
    Update();
    FData->RegisterClient(this);
}

void TFormDataClient::Detach()
{
    // A client whose Attach failed stays in the manager and is detached
    // with it, never having registered.
    if (FData)
        FData->UnregisterClient(this);
}
