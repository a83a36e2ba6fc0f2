#include "clustering/Algo_GUI.h"

#include "QuorData/QuorData.h"
#include "clustering/QuorDistance.h"
#include "clustering/QuorMethod.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>
#include <vector>

namespace {

QGroupBox* Group(const QString& Title, QVBoxLayout* Into)
{
    auto* group = new QGroupBox(Title);
    new QVBoxLayout(group);
    Into->addWidget(group);
    return group;
}

QRadioButton* Radio(const QString& Caption, QGroupBox* Group, bool Checked = false)
{
    auto* button = new QRadioButton(Caption, Group);
    // The partners are unchecked by hand, so that a group may start with none.
    button->setAutoExclusive(false);
    button->setChecked(Checked);
    Group->layout()->addWidget(button);
    return button;
}

} // namespace

TAlgorithm_GUI::TAlgorithm_GUI(QWidget* Parent) : QDialog(Parent)
{
    setWindowTitle(QStringLiteral("Clustering"));
    QFont tahoma(QStringLiteral("Tahoma"));
    setFont(tahoma);
    auto* layout = new QVBoxLayout(this);

    QGroupBox* count = Group(QStringLiteral("Number of Clusters"), layout);
    numberOfClusters = Radio(QStringLiteral("Number of clusters:"), count, true);
    clusterNumber = new QLineEdit(QStringLiteral("2"), count);
    count->layout()->addWidget(clusterNumber);
    selectedData = Radio(QStringLiteral("take selected data points"), count);
    selectedData->setEnabled(false);

    QGroupBox* algorithm = Group(QStringLiteral("Algorithm"), layout);
    MeanRadioButton = Radio(QStringLiteral("K-Means"), algorithm, true);
    HirarchicalRadioButton = Radio(QStringLiteral("Hirarchical"), algorithm);

    QGroupBox* measure = Group(QStringLiteral("Measure"), layout);
    EuclidRadioButton = Radio(QStringLiteral("Euclid"), measure, true);
    WheightedERadioButton = Radio(QStringLiteral("Wheigted Euclid"), measure);
    BooleanButton = Radio(QStringLiteral("Boolean"), measure);
    Manhatten = Radio(QStringLiteral("Manhatten"), measure);

    QGroupBox* dimensions = Group(QStringLiteral("Dimensions"), layout);
    selectedDimensions = Radio(QStringLiteral("only visible dimensions"), dimensions);
    allDimensions = Radio(QStringLiteral("all dimensions"), dimensions, true);

    QGroupBox* points = Group(QStringLiteral("Data Points"), layout);
    visibleData = Radio(QStringLiteral("only visible data points"), points);
    visibleData->setEnabled(false);
    allData = Radio(QStringLiteral("all data points"), points, true);

    QGroupBox* linkage = Group(QStringLiteral("RadioGroup1"), layout);
    min = Radio(QStringLiteral("Nearest Neighbor"), linkage);
    max = Radio(QStringLiteral("Furthest Neighbor"), linkage);
    average = Radio(QStringLiteral("Average-Linkage"), linkage);

    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral("build Clusters: GO!"), this);
    readButton = new QPushButton(QStringLiteral("Make this attributes readable"), this);
    buttons->addWidget(Button1);
    buttons->addWidget(readButton);
    layout->addLayout(buttons);

    AlgoMemo = new QPlainTextEdit(QStringLiteral("AlgoMemo"), this);
    AlgoMemo->hide();
    AlgoMemo->setEnabled(false);
    layout->addWidget(AlgoMemo);

    Partner(HirarchicalRadioButton, {MeanRadioButton});
    Partner(MeanRadioButton, {HirarchicalRadioButton});
    Partner(numberOfClusters, {selectedData});
    Partner(selectedData, {numberOfClusters});
    Partner(min, {average, max});
    Partner(max, {average, min});
    Partner(average, {min, max});
    Partner(EuclidRadioButton, {WheightedERadioButton, BooleanButton, Manhatten});
    Partner(WheightedERadioButton, {EuclidRadioButton, BooleanButton, Manhatten});
    Partner(BooleanButton, {WheightedERadioButton, EuclidRadioButton, Manhatten});
    Partner(Manhatten, {WheightedERadioButton, BooleanButton, EuclidRadioButton});
    Partner(selectedDimensions, {allDimensions});
    Partner(allDimensions, {selectedDimensions});
    Partner(visibleData, {allData});
    Partner(allData, {visibleData});

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(readButton, &QPushButton::clicked, this, [this] { readButtonClick(); });
    resize(391, 497);
    hide();
}

void TAlgorithm_GUI::Partner(QRadioButton* Button, std::initializer_list<QRadioButton*> Partners)
{
    const std::vector<QRadioButton*> partners(Partners);
    // A click on a checked radio button leaves it checked.
    connect(Button, &QRadioButton::clicked, this, [Button] { Button->setChecked(true); });
    // Checked by a click or from code, it unchecks its partners, so that a
    // setting made by code leaves one button of the group checked.
    connect(Button, &QRadioButton::toggled, this, [partners](bool Checked) {
        if (!Checked)
            return;
        for (QRadioButton* partner : partners)
            partner->setChecked(false);
    });
}

void TAlgorithm_GUI::setProperties(bool FullScaleChecked)
{
    EuclidRadioButton->setChecked(FullScaleChecked);
    WheightedERadioButton->setChecked(!FullScaleChecked);
}

void TAlgorithm_GUI::Button1Click()
{
    if (!FData)
        return;
    std::unique_ptr<TMeasure> measure;
    std::unique_ptr<TMethode> method;
    FData->WriteTransaction(this, [&] {
        if (WheightedERadioButton->isChecked())
            measure = std::make_unique<TWeightedEuclid>();
        else if (BooleanButton->isChecked())
            measure = std::make_unique<TBooleanDist>();
        else if (Manhatten->isChecked())
            measure = std::make_unique<TWeightedManhatten>();
        else
            measure = std::make_unique<TEuclid>();

        if (MeanRadioButton->isChecked()) {
            method = std::make_unique<TKMean>();
        } else {
            auto hierarchical = std::make_unique<THierarchical>();
            hierarchical->SetLinkage(QStringLiteral("min"));
            if (max->isChecked())
                hierarchical->SetLinkage(QStringLiteral("max"));
            else if (average->isChecked())
                hierarchical->SetLinkage(QStringLiteral("average"));
            method = std::move(hierarchical);
        }

        measure->Init(FData);
        measure->SetAllDims(allDimensions->isChecked());
        method->SetMeasure(measure.get());
        method->SetAllPoints(allData->isChecked());

        bool countGiven = false;
        const int k = clusterNumber->text().trimmed().toInt(&countGiven);
        try {
            if (!countGiven)
                throw Exception(QStringLiteral("no cluster count"));
            method->Execute(k);
        } catch (const EAbort&) {
            throw;
        } catch (const EClusteringMemory& e) {
            ShowMessage(e.Message());
        } catch (const std::exception&) {
            ShowMessage(QStringLiteral("You did not specify the number of Clusters"));
        }
    });
}

void TAlgorithm_GUI::readButtonClick()
{
    AlgoMemo->setVisible(true);
    AlgoMemo->setFixedHeight(100);
    AlgoMemo->clear();
    composeMessage();
    layout()->activate();
    resize(width(), AlgoMemo->geometry().top() + AlgoMemo->height() + 10);
}

void TAlgorithm_GUI::composeMessage()
{
    const QString count = QString::number(3);
    if (MeanRadioButton->isChecked()) {
        AlgoMemo->appendPlainText(QStringLiteral("The k-mean Algorithm does the following:"));
        AlgoMemo->appendPlainText(
            QStringLiteral("It searches for ") + count +
            QStringLiteral(" centers (one for each cluster). ") +
            QStringLiteral("A data point has the center of its cluster as nearest neighbour among the centers."));
    } else {
        AlgoMemo->appendPlainText(QStringLiteral("The hierarchical Algorithm does the following:"));
        AlgoMemo->appendPlainText(
            QStringLiteral("It starts with one group for each point and combines the nearest groups until there are ") +
            count + QStringLiteral(" groups left."));
    }
    AlgoMemo->appendPlainText(
        QStringLiteral("The distance between two datapoints will be computed as follows:"));
    const QString dims = allDimensions->isChecked() ? QStringLiteral(" all dimensionens ")
                                                    : QStringLiteral(" the visible dimensions ");
    if (EuclidRadioButton->isChecked())
        AlgoMemo->appendPlainText(
            QStringLiteral("The squareroot of the sum of the sqared differences between the data points for") +
            dims + QStringLiteral(" is computed."));
    else
        AlgoMemo->appendPlainText(
            QStringLiteral("The squareroot of the sum of the sqared and wheigted differences between the data points for") +
            dims + QStringLiteral(" is computed.") +
            QStringLiteral(" All dimensions are threated as if they have the same minimum and maximum value."));
}
