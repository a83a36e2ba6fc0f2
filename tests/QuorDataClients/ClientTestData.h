#pragma once

// A data object of 10 data items by 4 dimensions under a client manager, a
// writer to change it, and a data client that notes what reaches it.

#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "QuorMethodBase.h"
#include "support/DataClients.h"

#include <QStringList>

#include <functional>
#include <memory>

// A client of the manager that registers with the data object in Attach like
// the real clients, and otherwise does nothing.
class TTestClient : public TObject, public IQuorClient, public TQuorNoOpDataClient {
public:
    void SetClientManager(TQuorClientManager* Manager) override { FManager = Manager; }
    void Attach() override { FManager->Data->RegisterClient(this); }
    void Detach() override { FManager->Data->UnregisterClient(this); }
    TQuorClientCapabilities GetCapabilities() override { return {}; }
    void CopyToClipboard(QClipboard*) override {}
    void Print(QPrinter*) override {}
    int ShowCopyOptions(QClipboard*) override { return 0; }
    int ShowPrintOptions(QPrinter*) override { return 0; }

private:
    TQuorClientManager* FManager = nullptr;
};

// Notes every notice as text.
class TNoticeRecorder : public TTestClient {
public:
    void BeginEvents() override { Notices << "Begin"; }
    void EndEvents() override { Notices << "End"; }
    void PointModifications(TData*, TObject*) override { Notices << "PointModifications"; }
    void PointColorChange(TData*, TObject*, int) override { Notices << "PointColor"; }
    void PointSelectionChange(TData*, TObject*, int, bool) override { Notices << "PointSelection"; }
    void PointVisibilityChange(TData*, TObject*, int, bool) override { Notices << "PointVisibility"; }
    void PointExchange(TData*, TObject*, int, int) override { Notices << "PointExchange"; }
    void DimSelectionChange(TData*, TObject*, int, bool) override { Notices << "DimSelection"; }
    void DimExchange(TData*, TObject*, int, int) override { Notices << "DimExchange"; }
    void DimMove(TData*, TObject*, int, int) override { Notices << "DimMove"; }
    void DimVisibilityChange(TData*, TObject*, int, bool) override { Notices << "DimVisibility"; }
    void DimSliderChange(TData*, TObject*, int) override { Notices << "DimSlider"; }
    void DimBoundChange(TData*, TObject*, int) override { Notices << "DimBound"; }
    void DimModifications(TData*, TObject*) override { Notices << "DimModifications"; }
    void ValueChange(TData*, TObject*) override { Notices << "ValueChange"; }
    void DataSrcChange(TData*, TObject*) override { Notices << "DataSrcChange"; }
    void CustomEvent(TQuorDataCustomEvent* Event) override
    {
        if (auto* sub = dynamic_cast<TQDCESubSelection*>(Event)) {
            Notices << (sub->Cleared ? QStringLiteral("SubSelection cleared")
                                     : QStringLiteral("SubSelection %1 %2 %3 %4")
                                           .arg(sub->FirstPoint)
                                           .arg(sub->LastPoint)
                                           .arg(sub->FirstDim)
                                           .arg(sub->LastDim));
            LastSubSelection = *sub;
        } else {
            Notices << QString::fromLatin1(Event->ClassType()->Name());
        }
    }

    QStringList Notices;
    TQDCESubSelection LastSubSelection;
};

class TClientTestData {
public:
    TClientTestData()
    {
        Values.Generate(4, 10);
        DimNames.GenerateText(4, 1, QStringLiteral("Column "));
        PointNames.GenerateText(1, 10, QStringLiteral("Row "));
        // Unlocked: the grids are set without events.
        Data.SetDataSrc(&Values, &DimNames, &PointNames);
        Manager->Data = &Data;
    }

    // Adds a recorder under the key and returns it, still owned by the manager.
    TNoticeRecorder* AddRecorder(const QString& Key = QStringLiteral("Recorder"))
    {
        auto recorder = std::make_unique<TNoticeRecorder>();
        TNoticeRecorder* raw = recorder.get();
        Manager->AddClient(Key, Key, std::move(recorder));
        raw->Notices.clear();
        return raw;
    }

    // One write transaction by Writer; returns what SendEvents returned.
    int Write(const std::function<void()>& Changes)
    {
        Data.BeginWrite(&Writer, true);
        Changes();
        Data.EndWrite(&Writer);
        return Data.SendEvents();
    }

    TTestDataSrc Values;
    TTestTextSrc DimNames;
    TTestTextSrc PointNames;
    TData Data;
    TObject Writer;
    // Declared last so that its clients leave before the data object goes.
    std::unique_ptr<TQuorClientManager> Manager = std::make_unique<TQuorClientManager>(nullptr);
};
