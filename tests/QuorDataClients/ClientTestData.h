#pragma once

// A data object of 10 data items by 4 dimensions under a client manager, a
// writer to change it, and data clients of the manager that note what
// reaches them.

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"
#include "support/DataClients.h"
#include "support/TestTable.h"

#include <QStringList>

#include <functional>
#include <memory>

// A client of the manager that registers with the data object in Attach like
// the real clients, and notes what reaches it.
class TTestClient : public TRecordingDataClient, public TQuorNoOpClient {
public:
    void SetClientManager(TQuorClientManager* Manager) override { FManager = Manager; }
    void Attach() override { FManager->Data->RegisterClient(this); }
    void Detach() override { FManager->Data->UnregisterClient(this); }

private:
    TQuorClientManager* FManager = nullptr;
};

// A test client that also keeps the last sub-selection it heard of.
class TNoticeRecorder : public TTestClient {
public:
    TNoticeRecorder()
    {
        OnCustom = [this](TQuorDataCustomEvent* Event) {
            if (auto* sub = dynamic_cast<TQDCESubSelection*>(Event))
                LastSubSelection = *sub;
        };
    }

    TQDCESubSelection LastSubSelection;
};

class TClientTestData : public TTestTable {
public:
    TClientTestData() : TTestTable(4, 10, true, QStringLiteral("Column "), QStringLiteral("Row ")) { Manager->Data = &Data; }

    // Adds a recorder under the key and returns it, still owned by the manager.
    TNoticeRecorder* AddRecorder(const QString& Key = QStringLiteral("Recorder"))
    {
        auto recorder = std::make_unique<TNoticeRecorder>();
        TNoticeRecorder* raw = recorder.get();
        Manager->AddClient(Key, Key, std::move(recorder));
        raw->Clear();
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

    TObject Writer;
    // Declared last so that its clients leave before the data object goes.
    std::unique_ptr<TQuorClientManager> Manager = std::make_unique<TQuorClientManager>(nullptr);
};
