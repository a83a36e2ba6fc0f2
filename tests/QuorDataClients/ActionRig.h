#pragma once

// The sub-selection and action clients and a recorder under a manager over
// a test table, as the main window adds them, and a second writer.

#include "QuorDataClients/ActionClient.h"
#include "QuorDataClients/QuorSubSelection.h"
#include "support/TestTable.h"

#include "ClientTestData.h"

#include <functional>
#include <memory>
#include <vector>

class TActionRig : public TTestTable {
public:
    // A generated table of Dims by Points.
    TActionRig(int Dims, int Points) : TTestTable(Dims, Points) { AddClients(); }
    // Rows[p][d] is item p's value in dimension d.
    explicit TActionRig(const std::vector<std::vector<double>>& Rows) : TTestTable(Rows) { AddClients(); }

    // A change by the other writer, not heard afterwards.
    void Prepare(const std::function<void()>& Changes)
    {
        Data.WriteTransaction(&Writer, Changes);
        Recorder->Clear();
    }

    // Source index of the item or dimension at each view position.
    std::vector<int> PointOrder() const { return Listed(Data.PointCount(), [this](int p) { return Data.GetPointPerm(p); }); }
    std::vector<int> DimOrder() const { return Listed(Data.DimCount(), [this](int d) { return Data.GetDimPerm(d); }); }
    // View positions of the visible ones.
    std::vector<int> VisiblePoints() const
    {
        return Listed(Data.VisiblePointCount(), [this](int i) { return Data.GetVisiblePoint(i); });
    }
    std::vector<int> VisibleDims() const
    {
        return Listed(Data.VisibleDimCount(), [this](int i) { return Data.GetVisibleDim(i); });
    }

    TObject Writer;
    TQuorSubSelection* Sub = nullptr;
    TQuorActionClient* Action = nullptr;
    TNoticeRecorder* Recorder = nullptr;
    // Declared last so that its clients leave before the data object goes.
    std::unique_ptr<TQuorClientManager> Manager = std::make_unique<TQuorClientManager>(nullptr);

private:
    static std::vector<int> Listed(int Count, const std::function<int(int)>& Entry)
    {
        std::vector<int> list;
        for (int i = 0; i < Count; ++i)
            list.push_back(Entry(i));
        return list;
    }
    void AddClients()
    {
        Manager->Data = &Data;
        auto sub = std::make_unique<TQuorSubSelection>();
        Sub = sub.get();
        Manager->AddClient("SubSelection", "Sub-Selection", std::move(sub));
        auto action = std::make_unique<TQuorActionClient>();
        Action = action.get();
        Manager->AddClient("Action", "Action", std::move(action));
        auto recorder = std::make_unique<TNoticeRecorder>();
        Recorder = recorder.get();
        Manager->AddClient("Recorder", "Recorder", std::move(recorder));
        Recorder->Clear();
    }
};
