#include "QuorDataClients/FormDataClient.h"

#include "QuorDataClients/QuorSubSelection.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include <cstring>

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

// Whether the object's class, or one of its ancestors, has the name.
bool IsA(const TObject* object, const char* className)
{
    for (const TClass* cls = object->ClassType(); cls; cls = cls->Parent())
        if (std::strcmp(cls->Name(), className) == 0)
            return true;
    return false;
}

} // namespace

void TFormDataClient::Update()
{
    try {
        if (!ClientManager)
            return;
        if (!Data)
            throw Exception(QStringLiteral("No data object"));
        if (QLabel* panel = ClientManager->PanelDataItems)
            panel->setText(QString::asprintf("data items: %d / %d", Data->VisiblePointCount(),
                                             Data->PointCount()));
        if (QLabel* panel = ClientManager->PanelDimensions)
            panel->setText(QString::asprintf("dimensions: %d / %d", Data->VisibleDimCount(),
                                             Data->DimCount()));
        SetChecked(ClientManager->ActionTranspose, Data->Transposed());
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
            dynamic_cast<TQuorSubSelection*>(ClientManager->GetClient(QStringLiteral("SubSelection")));
    } catch (const std::exception&) {
        return;
    }
    if (!subSelection)
        return;

    const bool itemsSelected = Data->SelectedPointCount() > 0;
    const bool dimsSelected = Data->SelectedDimCount() > 0;
    const bool active = subSelection->Active();
    TQuorClientManager& m = *ClientManager;
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
    LiveTracking = false;
}

void TFormDataClient::EndEvents()
{
    if (!LiveTracking)
        Update();
}

void TFormDataClient::CustomEvent(TQuorDataCustomEvent* Event)
{
    if (dynamic_cast<TQDCELiveTracking*>(Event))
        LiveTracking = true;
    if (auto* added = dynamic_cast<TQDCEDataClientAdded*>(Event))
        ShowPlot(added->Client, true);
    else if (auto* removed = dynamic_cast<TQDCEDataClientBeingRemoved*>(Event))
        ShowPlot(removed->Client, false);
}

void TFormDataClient::ShowPlot(TObject* Client, bool Open)
{
    if (!Client || !ClientManager)
        return;
    struct Plot {
        const char* className;
        QAction* toggle;
        QMenu* menu;
    };
    const TQuorClientManager& m = *ClientManager;
    const Plot plots[] = {
        {"TParallelCoordinates", m.ActionQuorPCoord, m.MenuItemPCoord},
        {"TPermutationmatrix", m.ActionQuorPMatrix, m.MenuItemPMatrix},
        {"TScatterplotmatrix", m.ActionQuorSMatrix, m.MenuItemSMatrix},
        {"TAndrewsCurves", m.ActionQuorACurves, m.MenuItemACurves},
    };
    for (const Plot& plot : plots) {
        if (!IsA(Client, plot.className))
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
    QUOR_ASSERT(ClientManager->HasClient(QStringLiteral("SubSelection")),
                "FormDataClient: depends on QuorClient \"SubSelection\".");
    Data = ClientManager->Data;
    Update();
    Data->RegisterClient(this);
}

void TFormDataClient::Detach()
{
    // A client whose Attach failed stays in the manager and is detached
    // with it, never having registered.
    if (Data)
        Data->UnregisterClient(this);
}
