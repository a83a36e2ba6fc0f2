#include "ClusterTable.h"
#include "QuorDataClients/ClientTestData.h"
#include "clustering/Algo_GUI.h"
#include "clustering/ClusteringFrame.h"
#include "clustering/DimPropertiesFrame.h"
#include "support/TestSupport.h"
#include "usagelog/Evaluation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <set>

namespace {

const QString KeyFrame = QStringLiteral("ClusteringFrame");

// The permutation matrix's side of the scale rules, as the plot behaves: it
// takes the value and lets the panel follow.
class TMatrixStandIn : public TTestClient, public IQuorConstantDimExtent {
public:
    explicit TMatrixStandIn(TQuorClientManager& Manager) : FManager(Manager) {}
    bool GetConstantDimExtent() const override { return Extent; }
    void SetConstantDimExtent(bool Value) override
    {
        Extent = Value;
        dynamic_cast<IQuorScaleSync*>(FManager.GetClient(KeyFrame))->SyncScalesFromPM();
    }
    bool Extent = true;

private:
    TQuorClientManager& FManager;
};

// Parallel coordinates' side.
class TCoordinatesStandIn : public TTestClient, public IQuorFullScale {
public:
    explicit TCoordinatesStandIn(TQuorClientManager& Manager) : FManager(Manager) {}
    bool GetFullScale() const override { return FullScale; }
    void SetFullScale(bool Value) override
    {
        FullScale = Value;
        dynamic_cast<IQuorScaleSync*>(FManager.GetClient(KeyFrame))->SyncScalesFromPC();
    }
    bool FullScale = false;

private:
    TQuorClientManager& FManager;
};

// The panel as the main window sets it up, over a 10 x 4 table, with a
// recorder for what reaches the other clients.
class ClusterFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto frame = std::make_unique<TClusterFrame>();
        Frame = frame.get();
        Frame->Init();
        Frame->Data = &T.Data;
        Recorder = T.AddRecorder();
        T.Manager->AddClient(KeyFrame, QStringLiteral("Clustering Algorithm"), std::move(frame));
        LogStart = GetLog().size();
    }

    void OpenPlots()
    {
        auto matrix = std::make_unique<TMatrixStandIn>(*T.Manager);
        Matrix = matrix.get();
        T.Manager->AddClient(QStringLiteral("PermutationMatrix"), QString(), std::move(matrix));
        auto coordinates = std::make_unique<TCoordinatesStandIn>(*T.Manager);
        Coordinates = coordinates.get();
        T.Manager->AddClient(QStringLiteral("ParallelCoordinates"), QString(), std::move(coordinates));
    }

    QStringList NewLogCodes() const
    {
        QStringList codes;
        for (qsizetype i = LogStart; i < GetLog().size(); ++i)
            codes << GetLog()[i].section(QLatin1Char(','), 1);
        return codes;
    }

    ScopedResponder Responder;
    TClientTestData T;
    TClusterFrame* Frame = nullptr;
    TNoticeRecorder* Recorder = nullptr;
    TMatrixStandIn* Matrix = nullptr;
    TCoordinatesStandIn* Coordinates = nullptr;
    qsizetype LogStart = 0;
};

TEST_F(ClusterFrameTest, StartsAsTheUserFirstSeesIt)
{
    EXPECT_TRUE(Frame->Button1->isHidden());
    EXPECT_EQ(Frame->MeasureIndex(), TClusterFrame::miEuclidean);
    EXPECT_EQ(Frame->AlgorithmIndex(), -1);
    EXPECT_EQ(Frame->ClusterEdit->text(), QStringLiteral("3"));
    EXPECT_TRUE(Frame->ClusterButton->isChecked());
    EXPECT_TRUE(Frame->OnlyVisibleDims && Frame->OnlyVisiblePoints && Frame->Normalize);
    EXPECT_TRUE(NewLogCodes().isEmpty());
}

TEST_F(ClusterFrameTest, RefreshClustersEveryItemAndTellsEveryClient)
{
    Frame->refreshKMeans->click();

    EXPECT_EQ(NewLogCodes(), QStringList({QStringLiteral("10 Points"), QStringLiteral("WE_HN_VD_VP_3C")}));
    std::set<int> colors;
    for (int p = 0; p < T.Data.PointCount(); ++p)
        colors.insert(T.Data.GetPointColor(p));
    EXPECT_EQ(colors.size(), 3u);
    // Colours and order change together: one notice of the common kind.
    EXPECT_TRUE(Recorder->Notices.contains(QStringLiteral("PointModifications"))) << Recorder->Notices.join(' ').toStdString();
    EXPECT_FALSE(T.Data.Locked());
}

TEST_F(ClusterFrameTest, SettingsCodeFollowsEveryControl)
{
    Frame->DimCheckBox->setChecked(false);
    Frame->PointCheckBox->setChecked(false);
    Frame->SelectedPointButton->setChecked(true);
    Frame->SetAlgorithmIndex(TClusterFrame::aiKMeans);
    EXPECT_EQ(NewLogCodes().last(), QStringLiteral("WE_KM_AD_AP_1P"));

    Frame->ScalesCheckBox->setChecked(false);
    Frame->SetAlgorithmIndex(TClusterFrame::aiFurthest);
    EXPECT_EQ(NewLogCodes().last(), QStringLiteral("E_HF_AD_AP_1P"));
}

TEST_F(ClusterFrameTest, TooFewItemsWarnsAndStillLogs)
{
    TClusterTable one(Line({5.0}));
    TClusterFrame frame;
    frame.Init();
    frame.Data = &one.Data;
    const int before = one.Data.GetPointColor(0);

    frame.refreshKMeans->click();

    EXPECT_EQ(Responder->Texts(),
              QStringList(QStringLiteral("INFORMATION: There are not enough Points or Dimensions")));
    EXPECT_EQ(one.Data.GetPointColor(0), before);
    EXPECT_EQ(NewLogCodes(), QStringList(QStringLiteral("WE_HN_VD_VP_3C")));
    EXPECT_FALSE(one.Data.Locked());
}

TEST_F(ClusterFrameTest, ClusterCountThatIsNoWholeNumberAboveZeroRunsNothing)
{
    const struct {
        const char* Text;
        const char* Code;
    } cases[] = {{"three", "WE_HN_VD_VP_"},
                 {"", "WE_HN_VD_VP_"},
                 {"2.5", "WE_HN_VD_VP_"},
                 {"0", "WE_HN_VD_VP_0C"},
                 {"-2", "WE_HN_VD_VP_-2C"}};
    for (const auto& [text, code] : cases) {
        SCOPED_TRACE(text);
        Frame->ClusterEdit->setText(QString::fromLatin1(text));
        const int before = T.Data.GetPointColor(0);
        LogStart = GetLog().size();
        Responder->Clear();

        Frame->refreshKMeans->click();

        EXPECT_EQ(Responder->Texts(), QStringList(QStringLiteral("You did not specify the number of Clusters")));
        EXPECT_EQ(NewLogCodes(), QStringList(QString::fromLatin1(code)));
        EXPECT_EQ(T.Data.GetPointColor(0), before);
        EXPECT_FALSE(T.Data.Locked());
    }
}

TEST_F(ClusterFrameTest, SettingsCodeNamesEveryMeasureAndMethod)
{
    struct TMeasureCase {
        int Item;
        const char* Plain;
        const char* Normalized;
    };
    const TMeasureCase measures[] = {{TClusterFrame::miEuclidean, "E_", "WE_"},
                                     {TClusterFrame::miManhattan, "M_", "WM_"},
                                     {TClusterFrame::miBoolean, "B_", "B_"}};
    const std::pair<int, const char*> methods[] = {{TClusterFrame::aiNearest, "HN_"},
                                                   {TClusterFrame::aiAverage, "HA_"},
                                                   {TClusterFrame::aiFurthest, "HF_"},
                                                   {TClusterFrame::aiKMeans, "KM_"}};
    for (const TMeasureCase& measure : measures)
        for (const bool normalize : {false, true})
            for (const auto& [method, methodCode] : methods) {
                Frame->SetMeasureIndex(measure.Item);
                Frame->ScalesCheckBox->setChecked(normalize);
                Frame->SetAlgorithmIndex(method);
                Frame->refreshKMeans->click();
                EXPECT_EQ(NewLogCodes().last(), QLatin1String(normalize ? measure.Normalized : measure.Plain) +
                                                    QLatin1String(methodCode) + QStringLiteral("VD_VP_3C"));
            }
}

TEST_F(ClusterFrameTest, RunBeyondFreeMemoryIsRefusedAndChangesNothing)
{
    // 100 items: every pair's distance takes 39,600 bytes; the spanning tree
    // of the nearest-neighbour linkage far less.
    TClusterTable table(3, 100);
    TClusterFrame frame;
    frame.Init();
    frame.Data = &table.Data;
    frame.MemoryProbe = [] { return uint64_t(20000); };
    table.Data.BeginWrite(&frame, false);
    table.Data.SetPointHidden(7, true);
    table.Data.EndWrite(&frame);
    table.Data.SendEvents();
    // The hidden item leaves 99 in the run.
    const QString refusal = QStringLiteral(
        "Clustering 99 data items would need 38.8 KB of memory for their distances, but only 20.0 KB are free.");

    struct TCase {
        int Method;
        bool Refused;
    };
    const TCase cases[] = {{TClusterFrame::aiKMeans, true},
                           {TClusterFrame::aiAverage, true},
                           {TClusterFrame::aiFurthest, true},
                           {TClusterFrame::aiNearest, false}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Method);
        Responder->Clear();
        const std::vector<int> colors = table.Colors();
        const std::vector<double> order = table.FirstColumn();

        frame.SetAlgorithmIndex(c.Method);

        EXPECT_FALSE(table.Data.Locked());
        if (c.Refused) {
            EXPECT_EQ(Responder->Texts(), QStringList(refusal));
            EXPECT_EQ(table.Colors(), colors);
            EXPECT_EQ(table.FirstColumn(), order);
        } else {
            EXPECT_TRUE(Responder->Texts().isEmpty());
            EXPECT_NE(table.Colors(), colors);
        }
    }
}

TEST_F(ClusterFrameTest, ManhattanChecksTheScalesBoxFirst)
{
    OpenPlots();
    Frame->ScalesCheckBox->setChecked(false);
    ASSERT_FALSE(Matrix->Extent);
    ASSERT_TRUE(Coordinates->FullScale);
    LogStart = GetLog().size();

    Frame->SetMeasureIndex(TClusterFrame::miManhattan);

    EXPECT_TRUE(Frame->ScalesCheckBox->isChecked());
    EXPECT_TRUE(Matrix->Extent);
    EXPECT_FALSE(Coordinates->FullScale);
    EXPECT_EQ(NewLogCodes(), QStringList({QStringLiteral("Clustering equalscale"), QStringLiteral("10 Points"),
                                          QStringLiteral("WM_HN_VD_VP_3C")}));
}

TEST_F(ClusterFrameTest, ScaleChangesSettleWithOneLineEach)
{
    OpenPlots();

    Coordinates->SetFullScale(true);
    EXPECT_FALSE(Frame->ScalesCheckBox->isChecked());
    EXPECT_FALSE(Matrix->Extent);
    EXPECT_EQ(NewLogCodes(), QStringList(QStringLiteral("Clustering nonequalScale")));

    Coordinates->SetFullScale(true);
    EXPECT_EQ(NewLogCodes().size(), 1);

    Matrix->SetConstantDimExtent(true);
    EXPECT_TRUE(Frame->ScalesCheckBox->isChecked());
    EXPECT_FALSE(Coordinates->FullScale);
    EXPECT_EQ(NewLogCodes().last(), QStringLiteral("Clustering equalscale"));
    EXPECT_EQ(NewLogCodes().size(), 2);

    // After a delivery the box follows the matrix again.
    Matrix->Extent = false;
    T.Write([&] { T.Data.SetPointSelected(0, true); });
    EXPECT_FALSE(Frame->ScalesCheckBox->isChecked());
}

TEST_F(ClusterFrameTest, ScalesBoxWithoutPlotsOnlyLogs)
{
    Frame->ScalesCheckBox->click();
    EXPECT_FALSE(Frame->Normalize);
    EXPECT_EQ(NewLogCodes(), QStringList(QStringLiteral("Clustering nonequalScale")));
}

TEST(AlgorithmGuiTest, RadioPartnersAndCountFailure)
{
    ScopedResponder responder;
    TClusterTable table(2, 6);
    TAlgorithm_GUI dialog;
    dialog.SetData(&table.Data);
    EXPECT_FALSE(dialog.isVisible());

    dialog.HirarchicalRadioButton->click();
    EXPECT_FALSE(dialog.MeanRadioButton->isChecked());
    dialog.max->click();
    dialog.average->click();
    EXPECT_FALSE(dialog.max->isChecked());
    EXPECT_TRUE(dialog.average->isChecked());
    dialog.average->click();
    EXPECT_TRUE(dialog.average->isChecked());

    dialog.clusterNumber->setText(QString());
    dialog.Button1Click();
    EXPECT_EQ(responder->Texts(), QStringList(QStringLiteral("You did not specify the number of Clusters")));
    EXPECT_FALSE(table.Data.Locked());

    dialog.clusterNumber->setText(QStringLiteral("2"));
    dialog.Button1Click();
    std::set<int> colors;
    for (int p = 0; p < table.Data.PointCount(); ++p)
        colors.insert(table.Data.GetPointColor(p));
    EXPECT_EQ(colors.size(), 2u);

    dialog.setProperties(false);
    dialog.readButtonClick();
    EXPECT_TRUE(dialog.AlgoMemo->isVisibleTo(&dialog));
    EXPECT_TRUE(dialog.AlgoMemo->toPlainText().startsWith(
        QStringLiteral("The hierarchical Algorithm does the following:\nIt starts with one group for each "
                       "point and combines the nearest groups until there are 3 groups left.")));
    EXPECT_TRUE(dialog.AlgoMemo->toPlainText().contains(QStringLiteral("wheigted differences")));
}

TEST(AlgorithmGuiTest, SettingTheMeasureFromCodeLeavesOneChecked)
{
    TAlgorithm_GUI dialog;
    QRadioButton* const measures[] = {dialog.EuclidRadioButton, dialog.WheightedERadioButton,
                                      dialog.BooleanButton, dialog.Manhatten};
    for (QRadioButton* picked : measures)
        for (const bool fullScale : {false, true}) {
            SCOPED_TRACE(picked->text().toStdString() + (fullScale ? " full scale" : ""));
            picked->click();

            dialog.setProperties(fullScale);

            QRadioButton* expected = fullScale ? dialog.EuclidRadioButton : dialog.WheightedERadioButton;
            for (QRadioButton* button : measures)
                EXPECT_EQ(button->isChecked(), button == expected) << button->text().toStdString();
        }
}

TEST(DimPropertyFrameTest, ControlRules)
{
    TDimPropertyFrame frame;
    TClusterTable table(3, 2);
    frame.Data = &table.Data;
    frame.FillLists();
    EXPECT_EQ(frame.DimensionBox->count(), 3);
    EXPECT_EQ(frame.DimensionBox->itemText(2), table.Data.GetDimName(2));

    frame.DifferenceBox->click();
    frame.CategorieBox->click();
    EXPECT_TRUE(frame.CategorieBox->isChecked());
    EXPECT_FALSE(frame.DifferenceBox->isChecked());
    frame.CategorieBox->click();
    EXPECT_TRUE(frame.CategorieBox->isChecked());

    frame.DimTypeBox->setCurrentIndex(1);
    frame.DimTypeBoxSelect();
    EXPECT_FALSE(frame.CategoriesTable->isHidden());
    frame.DimTypeBox->setCurrentIndex(0);
    frame.DimTypeBoxSelect();
    EXPECT_TRUE(frame.DifferenceBox->isHidden());
    EXPECT_TRUE(frame.CategorieBox->isHidden());
    EXPECT_FALSE(frame.CategoriesTable->isHidden());

    frame.NotConsiderBox->click();
    EXPECT_FALSE(frame.ImportanceBar->isEnabled());
    frame.NotConsiderBox->click();
    EXPECT_TRUE(frame.ImportanceBar->isEnabled());
}

} // namespace
