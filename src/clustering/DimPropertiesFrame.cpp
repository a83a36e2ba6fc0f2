#include "clustering/DimPropertiesFrame.h"

#include "QuorData/QuorData.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTableWidget>

TDimPropertyFrame::TDimPropertyFrame(QWidget* Parent) : QWidget(Parent)
{
    CategoriesTable = new QTableWidget(0, 2, this);
    CategoriesTable->verticalHeader()->setDefaultSectionSize(20);
    CategoriesTable->verticalHeader()->hide();
    CategoriesTable->hide();
    ImportanceBar = new QSlider(Qt::Horizontal, this);
    ImportanceBar->setRange(0, 4);
    ImportanceBar->setTickPosition(QSlider::TicksBelow);
    DimensionBox = new QComboBox(this);
    DimensionBox->setPlaceholderText(QStringLiteral("Dimensions"));
    Label1 = new QLabel(QStringLiteral("Importance for Clustering:"), this);
    HighLabel = new QLabel(QStringLiteral("High"), this);
    LowLabel = new QLabel(QStringLiteral("Low"), this);
    NotConsiderBox = new QCheckBox(QStringLiteral("Never consider for Clustering"), this);
    DimTypeBox = new QComboBox(this);
    DimTypeBox->setPlaceholderText(QStringLiteral("Type"));
    DifferenceBox = new QCheckBox(QStringLiteral("Difference"), this);
    CategorieBox = new QCheckBox(QStringLiteral("Categorie"), this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(DimensionBox, 0, 0);
    layout->addWidget(DimTypeBox, 0, 1);
    layout->addWidget(DifferenceBox, 0, 2);
    layout->addWidget(CategorieBox, 0, 3);
    layout->addWidget(Label1, 1, 0);
    layout->addWidget(LowLabel, 1, 1, Qt::AlignRight);
    layout->addWidget(ImportanceBar, 1, 2);
    layout->addWidget(HighLabel, 1, 3);
    layout->addWidget(NotConsiderBox, 2, 0, 1, 2);
    layout->addWidget(CategoriesTable, 0, 4, 3, 1);
    layout->setColumnStretch(5, 1);

    // The handlers follow the state, so that SetCheckedSilently can hold them back.
    connect(NotConsiderBox, &QCheckBox::toggled, this, [this] { NotConsiderBoxClick(); });
    connect(DifferenceBox, &QCheckBox::toggled, this, [this] { DifferenceBoxClick(); });
    connect(CategorieBox, &QCheckBox::toggled, this, [this] { CategorieBoxClick(); });
    connect(DimTypeBox, &QComboBox::activated, this, [this] { DimTypeBoxSelect(); });
}

void TDimPropertyFrame::FillLists()
{
    DimensionBox->clear();
    if (Data)
        for (int d = 0; d < Data->DimCount(); ++d)
            DimensionBox->addItem(Data->GetDimName(d));
    DimTypeBox->clear();
    DimTypeBox->addItems({QStringLiteral("numerical"), QStringLiteral("categorical"),
                          QStringLiteral("boolean")});
}

void TDimPropertyFrame::NotConsiderBoxClick()
{
    ImportanceBar->setEnabled(!NotConsiderBox->isChecked());
}

void TDimPropertyFrame::DifferenceBoxClick()
{
    SetCheckedSilently(DifferenceBox, true);
    SetCheckedSilently(CategorieBox, false);
}

void TDimPropertyFrame::CategorieBoxClick()
{
    SetCheckedSilently(DifferenceBox, false);
    SetCheckedSilently(CategorieBox, true);
}

void TDimPropertyFrame::SetCheckedSilently(QCheckBox* Box, bool Value)
{
    const QSignalBlocker quiet(Box);
    Box->setChecked(Value);
}

void TDimPropertyFrame::DimTypeBoxSelect()
{
    const QString type = DimTypeBox->currentText();
    if (type == QLatin1String("categorical")) {
        DifferenceBox->show();
        CategorieBox->show();
        CategoriesTable->show();
    } else {
        // "numerical" and every other type; the table keeps its state.
        DifferenceBox->hide();
        CategorieBox->hide();
    }
}
