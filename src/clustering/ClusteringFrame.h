#pragma once

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"
#include "clustering/QuorMethod.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The clustering panel on the main window's bottom tab "Clustering": the user
// picks a distance, a method, the number of clusters and what takes part, and
// every pick runs a clustering that recolours and regroups the data items in
// every plot. Its "Normalize all scales" box stands for the permutation
// matrix's constant dimension extent on and the parallel coordinates' full
// scale off, and stays in step with both.
//
// It is a widget of the main window and, as the client "ClusteringFrame", a
// client of the manager, which frees it (before the window goes).
class TClusterFrame : public QWidget,
                      public TObject,
                      public TQuorNoOpClient,
                      public TQuorNoOpDataClient,
                      public IQuorScaleSync {
    Q_OBJECT
public:
    // Items of the two radio groups, in their order.
    enum TMeasureItem { miEuclidean, miManhattan, miBoolean };
    enum TAlgorithmItem { aiNearest, aiAverage, aiFurthest, aiKMeans };

    explicit TClusterFrame(QWidget* Parent = nullptr);

    // Fills the groups and sets the start state; once, before Data is set.
    void Init();
    // The run: measure and method from the controls, executed in one write
    // transaction with the panel as actor, the settings code logged.
    void StartClustering();

    void MeasureGroupClick();
    void AlgorithmGroupClick();
    void PointCheckBoxClick();
    void DimCheckBoxClick();
    void ScalesCheckBoxClick();
    void refreshKMeansClick();
    void StartButtonClick();
    void ScalingGroupClick();
    // Brings the plots into line with the box and logs the scale line.
    void ApplyScales();

    // ---- IQuorScaleSync ----
    void SyncScalesFromPC() override;
    void SyncScalesFromPM() override;

    // ---- IQuorClient ----
    void SetClientManager(TQuorClientManager* Manager) override { ClientManager = Manager; }
    void Attach() override;
    void Detach() override;

    // ---- IQuorDataClient ----
    void EndEvents() override;

    // The checked item of a radio group, -1 for none.
    int MeasureIndex() const;
    int AlgorithmIndex() const;
    // Checks an item as a user's pick does: its group's handler runs when
    // the checked item changes.
    void SetMeasureIndex(int Index);
    void SetAlgorithmIndex(int Index);

    QPushButton* Button1 = nullptr;
    QGroupBox* MeasureGroup = nullptr;
    QGroupBox* RadioGroup2 = nullptr;
    QRadioButton* ClusterButton = nullptr;
    QRadioButton* SelectedPointButton = nullptr;
    QLineEdit* ClusterEdit = nullptr;
    QGroupBox* AlgorithmGroup = nullptr;
    QCheckBox* PointCheckBox = nullptr;
    QCheckBox* DimCheckBox = nullptr;
    QCheckBox* ScalesCheckBox = nullptr;
    QPushButton* refreshKMeans = nullptr;

    bool OnlyVisibleDims = false;
    bool OnlyVisiblePoints = false;
    bool Normalize = false;
    TQuorClientManager* ClientManager = nullptr;
    TData* Data = nullptr;
    // Where a run asks how much memory is free.
    TMemoryProbe MemoryProbe = AvailableMemory;

private:
    // The client of the key when the manager holds it and it offers T.
    template <class T>
    T* FindClient(const QString& Key) const;

    QButtonGroup* FMeasures = nullptr;
    QButtonGroup* FAlgorithms = nullptr;
};
