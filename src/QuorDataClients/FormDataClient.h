#pragma once

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"

// Binds the main window's status panels, its data-dependent actions and its
// plot menus to the data object and to the set of open plots. It never
// writes to the data object.
class TFormDataClient : public TObject, public IQuorClient, public IQuorDataClient {
public:
    TFormDataClient() = default;

    // Writes the panels, the transpose check mark and the enabled states of
    // the selection- and sub-selection-dependent actions.
    virtual void Update();

    // IQuorDataClient
    void BeginEvents() override;
    // Skipped after a live-tracking notice: the next full pass catches up.
    void EndEvents() override;
    void PointModifications(TData* Data, TObject* Actor) override {}
    void PointColorChange(TData* Data, TObject* Actor, int Point) override {}
    void PointSelectionChange(TData* Data, TObject* Actor, int Point, bool Selected) override {}
    void PointVisibilityChange(TData* Data, TObject* Actor, int Point, bool Visible) override {}
    void PointExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override {}
    void DimSelectionChange(TData* Data, TObject* Actor, int Dim, bool Selected) override {}
    void DimExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override {}
    void DimMove(TData* Data, TObject* Actor, int SrcMoved, int SrcAtTarget) override {}
    void DimVisibilityChange(TData* Data, TObject* Actor, int Dim, bool Visible) override {}
    void DimSliderChange(TData* Data, TObject* Actor, int Dim) override {}
    void DimBoundChange(TData* Data, TObject* Actor, int Dim) override {}
    void DimModifications(TData* Data, TObject* Actor) override {}
    void ValueChange(TData* Data, TObject* Actor) override {}
    void DataSrcChange(TData* Data, TObject* Actor) override {}
    // Notes live tracking; checks or unchecks a plot's toggle and shows or
    // hides its menu as the plot is added or is being removed. Plots are told
    // apart by their fixed client keys, since their classes live in a library
    // built on this one.
    void CustomEvent(TQuorDataCustomEvent* Event) override;

    // IQuorClient
    void SetClientManager(TQuorClientManager* Manager) override { FClientManager = Manager; }
    // Requires the "SubSelection" client.
    void Attach() override;
    void Detach() override;
    TQuorClientCapabilities GetCapabilities() override { return {}; }
    void CopyToClipboard(QClipboard* Clipboard) override {}
    void Print(QPrinter* Printer) override {}
    int ShowCopyOptions(QClipboard* Clipboard) override { return 0; }
    int ShowPrintOptions(QPrinter* Printer) override { return 0; }

private:
    void UpdateActions();
    void ShowPlot(TObject* Client, bool Open);

    TQuorClientManager* FClientManager = nullptr;
    // Set when the current delivery pass carries a live-tracking notice.
    bool FLiveTracking = false;
    TData* FData = nullptr;
};
