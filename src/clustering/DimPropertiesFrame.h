#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QTableWidget;
class TData;

// The bottom tab "Parameters": per-dimension clustering parameters to look
// at. No clustering run reads them.
class TDimPropertyFrame : public QWidget {
    Q_OBJECT
public:
    explicit TDimPropertyFrame(QWidget* Parent = nullptr);

    // The dimension names in view order and the three types; once, when the
    // main window hands over the data object.
    void FillLists();
    void NotConsiderBoxClick();
    void DifferenceBoxClick();
    void CategorieBoxClick();
    void DimTypeBoxSelect();
    // Sets the box without running its click handler.
    static void SetCheckedSilently(QCheckBox* Box, bool Value);

    QTableWidget* CategoriesTable = nullptr;
    QSlider* ImportanceBar = nullptr;
    QComboBox* DimensionBox = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* HighLabel = nullptr;
    QLabel* LowLabel = nullptr;
    QCheckBox* NotConsiderBox = nullptr;
    QComboBox* DimTypeBox = nullptr;
    QCheckBox* DifferenceBox = nullptr;
    QCheckBox* CategorieBox = nullptr;
    TData* Data = nullptr;
};
