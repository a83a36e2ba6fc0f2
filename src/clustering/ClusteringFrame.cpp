#include "clustering/ClusteringFrame.h"

#include "clustering/QuorDistance.h"
#include "clustering/QuorMethod.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "usagelog/Evaluation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString KeyPermutationMatrix = QStringLiteral("PermutationMatrix");
const QString KeyParallelCoordinates = QStringLiteral("ParallelCoordinates");

// A titled group of radio buttons, one per item, checked through the button
// group by item index; no item is checked at first.
QGroupBox* MakeRadioGroup(const QString& Title, QButtonGroup*& Buttons, QWidget* Parent)
{
    auto* group = new QGroupBox(Title, Parent);
    new QVBoxLayout(group);
    Buttons = new QButtonGroup(group);
    return group;
}

void AddRadioItem(QGroupBox* Group, QButtonGroup* Buttons, const QString& Caption)
{
    auto* button = new QRadioButton(Caption, Group);
    Group->layout()->addWidget(button);
    Buttons->addButton(button, Buttons->buttons().size());
}

} // namespace

TClusterFrame::TClusterFrame(QWidget* Parent) : QWidget(Parent)
{
    Button1 = new QPushButton(QStringLiteral("test"), this);
    Button1->hide();

    MeasureGroup = MakeRadioGroup(QStringLiteral("Distance"), FMeasures, this);

    RadioGroup2 = new QGroupBox(QStringLiteral("Settings"), this);
    ClusterButton = new QRadioButton(QStringLiteral("Number of Clusters"), RadioGroup2);
    ClusterButton->setChecked(true);
    SelectedPointButton = new QRadioButton(QStringLiteral("nr. selected points = nr. clusters"), RadioGroup2);
    ClusterEdit = new QLineEdit(QStringLiteral("3"), RadioGroup2);
    ClusterEdit->setMaximumWidth(60);
    auto* settings = new QGridLayout(RadioGroup2);
    settings->addWidget(ClusterButton, 0, 0);
    settings->addWidget(ClusterEdit, 0, 1);
    settings->addWidget(SelectedPointButton, 1, 0, 1, 2);

    AlgorithmGroup = MakeRadioGroup(QStringLiteral("Method"), FAlgorithms, this);

    PointCheckBox = new QCheckBox(QStringLiteral("cluster only visible data points"), this);
    PointCheckBox->setChecked(true);
    DimCheckBox = new QCheckBox(QStringLiteral("consider only visible dimensions"), this);
    DimCheckBox->setChecked(true);
    ScalesCheckBox = new QCheckBox(QStringLiteral("Normalize all scales"), this);
    ScalesCheckBox->setChecked(true);
    refreshKMeans = new QPushButton(QStringLiteral("refresh"), this);

    auto* options = new QVBoxLayout;
    options->addWidget(PointCheckBox);
    options->addWidget(DimCheckBox);
    options->addWidget(ScalesCheckBox);
    options->addWidget(refreshKMeans, 0, Qt::AlignLeft);
    options->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(MeasureGroup);
    layout->addWidget(RadioGroup2);
    layout->addWidget(AlgorithmGroup);
    layout->addLayout(options);
    layout->addStretch();

    // A check box set from code runs its handler as a click does, but only
    // when its state changes: the scale rules settle on exactly that.
    connect(PointCheckBox, &QCheckBox::toggled, this, [this] { PointCheckBoxClick(); });
    connect(DimCheckBox, &QCheckBox::toggled, this, [this] { DimCheckBoxClick(); });
    connect(ScalesCheckBox, &QCheckBox::toggled, this, [this] { ScalesCheckBoxClick(); });
    // A group's handler runs when its checked item changes, by a click or
    // from code; a click on the item already checked changes nothing.
    connect(FMeasures, &QButtonGroup::idToggled, this, [this](int, bool Checked) {
        if (Checked)
            MeasureGroupClick();
    });
    connect(FAlgorithms, &QButtonGroup::idToggled, this, [this](int, bool Checked) {
        if (Checked)
            AlgorithmGroupClick();
    });
    connect(refreshKMeans, &QPushButton::clicked, this, [this] { refreshKMeansClick(); });
}

void TClusterFrame::Init()
{
    OnlyVisibleDims = true;
    OnlyVisiblePoints = true;
    Normalize = true;
    for (const char* caption : {"Euclidean", "Manhattan", "Boolean"})
        AddRadioItem(MeasureGroup, FMeasures, QString::fromLatin1(caption));
    for (const char* caption : {"Hierarchical nearest neighbor", "Hierarchical average neighbor",
                                "Hierarchical furthest neighbor", "K-means"})
        AddRadioItem(AlgorithmGroup, FAlgorithms, QString::fromLatin1(caption));
    SetMeasureIndex(miEuclidean);
    FMeasures->button(miBoolean)->setEnabled(false);
}

int TClusterFrame::MeasureIndex() const
{
    return FMeasures->checkedId();
}

int TClusterFrame::AlgorithmIndex() const
{
    return FAlgorithms->checkedId();
}

void TClusterFrame::SetMeasureIndex(int Index)
{
    if (QAbstractButton* button = FMeasures->button(Index))
        button->setChecked(true);
}

void TClusterFrame::SetAlgorithmIndex(int Index)
{
    if (QAbstractButton* button = FAlgorithms->button(Index))
        button->setChecked(true);
}

// ---- handlers ----------------------------------------------------------------------------------

void TClusterFrame::MeasureGroupClick()
{
    ScalesCheckBox->setChecked(MeasureIndex() != miBoolean);
    StartClustering();
}

void TClusterFrame::AlgorithmGroupClick()
{
    StartClustering();
}

void TClusterFrame::refreshKMeansClick()
{
    StartClustering();
}

void TClusterFrame::StartButtonClick()
{
    StartClustering();
}

void TClusterFrame::PointCheckBoxClick()
{
    OnlyVisiblePoints = PointCheckBox->isChecked();
}

void TClusterFrame::DimCheckBoxClick()
{
    OnlyVisibleDims = DimCheckBox->isChecked();
}

void TClusterFrame::ScalesCheckBoxClick()
{
    Normalize = ScalesCheckBox->isChecked();
    ApplyScales();
}

void TClusterFrame::ScalingGroupClick()
{
    if (ClientManager)
        ApplyScales();
}

// ---- the run -----------------------------------------------------------------------------------

void TClusterFrame::StartClustering()
{
    if (!Data)
        return;
    const bool tooFew = Data->PointCount() < 2 || Data->VisibleDimCount() == 0;
    if (tooFew)
        ShowMessage(QStringLiteral("INFORMATION: There are not enough Points or Dimensions"));

    // Freed after the transaction whatever happens inside it.
    std::unique_ptr<TMeasure> measure;
    std::unique_ptr<TMethode> method;
    Data->WriteTransaction(this, [&] {
        QString code;
        const int distance = MeasureIndex();
        if (distance == miEuclidean) {
            measure = Normalize ? std::unique_ptr<TMeasure>(std::make_unique<TWeightedEuclid>())
                                : std::make_unique<TEuclid>();
            code = Normalize ? QStringLiteral("WE_") : QStringLiteral("E_");
        } else if (distance == miBoolean) {
            measure = std::make_unique<TBooleanDist>();
            code = QStringLiteral("B_");
        } else {
            measure = Normalize ? std::unique_ptr<TMeasure>(std::make_unique<TWeightedManhatten>())
                                : std::make_unique<TManhatten>();
            code = Normalize ? QStringLiteral("WM_") : QStringLiteral("M_");
        }

        const int algorithm = AlgorithmIndex();
        if (algorithm == aiKMeans) {
            method = std::make_unique<TKMean>();
            code += QStringLiteral("KM_");
        } else {
            auto hierarchical = std::make_unique<THierarchical>();
            if (algorithm == aiFurthest) {
                hierarchical->SetLinkage(QStringLiteral("max"));
                code += QStringLiteral("HF_");
            } else if (algorithm == aiAverage) {
                hierarchical->SetLinkage(QStringLiteral("average"));
                code += QStringLiteral("HA_");
            } else {
                hierarchical->SetLinkage(QStringLiteral("min"));
                code += QStringLiteral("HN_");
            }
            method = std::move(hierarchical);
        }

        measure->Init(Data);
        measure->SetAllDims(!OnlyVisibleDims);
        code += OnlyVisibleDims ? QStringLiteral("VD_") : QStringLiteral("AD_");
        method->SetMeasure(measure.get());
        method->SetMemoryProbe(MemoryProbe);

        int k = 0;
        bool countGiven = true;
        QString count;
        if (ClusterButton->isChecked()) {
            k = ClusterEdit->text().trimmed().toInt(&countGiven);
            // Any whole number goes into the code, even one the run then
            // refuses; a text that is none leaves the count out.
            if (countGiven)
                count = QString::number(k) + QLatin1Char('C');
            countGiven = countGiven && k >= 1;
        } else {
            k = qMax(1, Data->SelectedPointCount());
            count = QString::number(k) + QLatin1Char('P');
        }

        // A run whose distances would not fit is refused before it takes
        // any memory or colours any item.
        QString refusal;
        if (countGiven && !tooFew)
            refusal = method->MemoryRefusal(OnlyVisiblePoints ? Data->VisiblePointCount() : Data->PointCount(), k);
        if (refusal.isEmpty())
            method->SetAllPoints(!OnlyVisiblePoints);
        code += OnlyVisiblePoints ? QStringLiteral("VP_") : QStringLiteral("AP_");
        code += count;

        if (!countGiven) {
            ShowMessage(QStringLiteral("You did not specify the number of Clusters"));
        } else if (!refusal.isEmpty()) {
            ShowMessage(refusal);
        } else if (!tooFew) {
            try {
                method->Execute(k);
            } catch (const EAbort&) {
                throw;
            } catch (const EClusteringMemory& e) {
                ShowMessage(e.Message());
            } catch (const std::exception&) {
                ShowMessage(QStringLiteral("You did not specify the number of Clusters"));
            }
        }
        LogEvent(code);
    });
}

// ---- scale rules -------------------------------------------------------------------------------

template <class T>
T* TClusterFrame::FindClient(const QString& Key) const
{
    if (!ClientManager || !ClientManager->HasClient(Key))
        return nullptr;
    return dynamic_cast<T*>(ClientManager->GetClient(Key));
}

void TClusterFrame::ApplyScales()
{
    const bool checked = ScalesCheckBox->isChecked();
    if (auto* matrix = FindClient<IQuorConstantDimExtent>(KeyPermutationMatrix))
        matrix->SetConstantDimExtent(checked);
    if (auto* coordinates = FindClient<IQuorFullScale>(KeyParallelCoordinates))
        coordinates->SetFullScale(!checked);
    LogEvent(checked ? QStringLiteral("Clustering equalscale")
                     : QStringLiteral("Clustering nonequalScale"));
}

void TClusterFrame::SyncScalesFromPC()
{
    if (auto* coordinates = FindClient<IQuorFullScale>(KeyParallelCoordinates))
        ScalesCheckBox->setChecked(!coordinates->GetFullScale());
}

void TClusterFrame::SyncScalesFromPM()
{
    if (auto* matrix = FindClient<IQuorConstantDimExtent>(KeyPermutationMatrix))
        ScalesCheckBox->setChecked(matrix->GetConstantDimExtent());
}

// ---- clients -----------------------------------------------------------------------------------

void TClusterFrame::Attach()
{
    // The main window hands over the data object with Init; the manager's is
    // the same one.
    if (!Data)
        Data = ClientManager->Data;
    Data->RegisterClient(this);
}

void TClusterFrame::Detach()
{
    if (Data)
        Data->UnregisterClient(this);
}

void TClusterFrame::EndEvents()
{
    SyncScalesFromPM();
}
