#pragma once

#include "platform/Object.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TData;

// The older clustering dialog: picks a measure, a method and a cluster count
// by radio buttons and clusters in one write transaction. It is made at
// start-up and stays hidden; nothing in the main window shows it.
class TAlgorithm_GUI : public QDialog, public TObject {
    Q_OBJECT
public:
    explicit TAlgorithm_GUI(QWidget* Parent = nullptr);

    void SetData(TData* Value) { FData = Value; }
    TData* GetData() const { return FData; }
    // Unweighted Euclid while the full scale is on, weighted otherwise.
    void setProperties(bool FullScaleChecked);

    // Clusters with the chosen settings; writes no log line.
    void Button1Click();
    // Shows the memo with a description of the chosen settings.
    void readButtonClick();
    void composeMessage();

    QRadioButton* numberOfClusters = nullptr;
    QLineEdit* clusterNumber = nullptr;
    QRadioButton* selectedData = nullptr;
    QRadioButton* MeanRadioButton = nullptr;
    QRadioButton* HirarchicalRadioButton = nullptr;
    QRadioButton* EuclidRadioButton = nullptr;
    QRadioButton* WheightedERadioButton = nullptr;
    QRadioButton* BooleanButton = nullptr;
    QRadioButton* Manhatten = nullptr;
    QRadioButton* selectedDimensions = nullptr;
    QRadioButton* allDimensions = nullptr;
    QRadioButton* visibleData = nullptr;
    QRadioButton* allData = nullptr;
    QRadioButton* min = nullptr;
    QRadioButton* max = nullptr;
    QRadioButton* average = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* readButton = nullptr;
    QPlainTextEdit* AlgoMemo = nullptr;

private:
    // Checking a button unchecks its partners, as one radio group would.
    void Partner(QRadioButton* Button, std::initializer_list<QRadioButton*> Partners);

    TData* FData = nullptr;
};
