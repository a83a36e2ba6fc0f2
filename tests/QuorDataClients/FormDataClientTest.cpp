#include "QuorDataClients/FormDataClient.h"

#include "QuorDataClients/QuorSubSelection.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include "ClientTestData.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

// A stand-in for a plot: the form data client knows the plots by the keys
// they are held under, whatever their class.
class TFakePlot : public TTestClient {};

class FormDataClientTest : public ::testing::Test, public TClientTestData {
protected:
    void SetUp() override
    {
        Manager->PanelDataItems = &PanelDataItems;
        Manager->PanelDimensions = &PanelDimensions;
        Manager->MenuItemPCoord = &MenuPCoord;
        Manager->MenuItemACurves = &MenuACurves;
        Manager->MenuItemPMatrix = &MenuPMatrix;
        Manager->MenuItemSMatrix = &MenuSMatrix;
        for (QMenu* menu : Menus()) {
            menu->menuAction()->setVisible(false);
            menu->menuAction()->setEnabled(false);
        }
        QAction** actions[] = {
            &Manager->ActionTranspose, &Manager->ActionHidePoints, &Manager->ActionUnhidePoints,
            &Manager->ActionPickPoints, &Manager->ActionMarkPoints, &Manager->ActionAutoPermutePoints,
            &Manager->ActionHideDims, &Manager->ActionQuorPCoord, &Manager->ActionQuorSMatrix,
            &Manager->ActionQuorPMatrix, &Manager->ActionQuorACurves, &Manager->ActionSortPointsAsc,
            &Manager->ActionSortPointsDesc, &Manager->ActionSortDimsAsc, &Manager->ActionSortDimsDesc,
            &Manager->ActionGroupPoints, &Manager->ActionGroupDims, &Manager->ActionCropSubSelection,
            &Manager->ActionFitBounds};
        for (QAction** action : actions) {
            auto* a = new QAction(&Owner);
            a->setCheckable(true);
            *action = a;
        }
    }

    // The clients leave while the window's controls still stand.
    void TearDown() override { Manager.reset(); }

    void Attach()
    {
        auto sub = std::make_unique<TQuorSubSelection>();
        Sub = sub.get();
        Manager->AddClient("SubSelection", "Sub-Selection", std::move(sub));
        auto client = std::make_unique<TFormDataClient>();
        Client = client.get();
        Manager->AddClient("FormControl", "Form Control Object", std::move(client));
    }

    std::vector<QMenu*> Menus() { return {&MenuPCoord, &MenuACurves, &MenuPMatrix, &MenuSMatrix}; }

    // The enabled states of the selection-dependent actions as a text, in
    // the order: hide, unhide, pick, mark items; hide dims; sort items
    // asc, desc; sort dims asc, desc; group items, dims; crop.
    QString Enabled() const
    {
        const TQuorClientManager& m = *Manager;
        QString states;
        for (QAction* a : {m.ActionHidePoints, m.ActionUnhidePoints, m.ActionPickPoints, m.ActionMarkPoints,
                           m.ActionHideDims, m.ActionSortPointsAsc, m.ActionSortPointsDesc,
                           m.ActionSortDimsAsc, m.ActionSortDimsDesc, m.ActionGroupPoints,
                           m.ActionGroupDims, m.ActionCropSubSelection})
            states += a->isEnabled() ? '1' : '0';
        return states;
    }

    // Check mark, menu enabled, menu visible.
    static QString PlotState(QAction* toggle, QMenu& menu)
    {
        return QString("%1%2%3")
            .arg(toggle->isChecked())
            .arg(menu.menuAction()->isEnabled())
            .arg(menu.menuAction()->isVisible());
    }

    QObject Owner;
    QLabel PanelDataItems;
    QLabel PanelDimensions;
    QMenu MenuPCoord, MenuACurves, MenuPMatrix, MenuSMatrix;
    TQuorSubSelection* Sub = nullptr;
    TFormDataClient* Client = nullptr;
    ScopedResponder Responder;
};

} // namespace

TEST_F(FormDataClientTest, PanelsCountVisibleAndAllEntries)
{
    Attach();
    EXPECT_EQ(PanelDataItems.text(), QStringLiteral("data items: 10 / 10"));
    EXPECT_EQ(PanelDimensions.text(), QStringLiteral("dimensions: 4 / 4"));
    Write([this] {
        for (int p : {1, 4, 8})
            Data.SetPointHidden(p, true);
        Data.SetDimHidden(2, true);
    });
    EXPECT_EQ(PanelDataItems.text(), QStringLiteral("data items: 7 / 10"));
    EXPECT_EQ(PanelDimensions.text(), QStringLiteral("dimensions: 3 / 4"));
    EXPECT_TRUE(Responder->Requests().empty());
}

TEST_F(FormDataClientTest, ActionsFollowTheSelections)
{
    Attach();
    EXPECT_EQ(Enabled(), QStringLiteral("000000000000"));
    // Left as the main window set them.
    EXPECT_TRUE(Manager->ActionAutoPermutePoints->isEnabled());
    EXPECT_TRUE(Manager->ActionFitBounds->isEnabled());

    Write([this] { Data.SetDimSelected(1, true); });
    EXPECT_EQ(Enabled(), QStringLiteral("000011100010"));

    Write([this] {
        Data.SetDimSelected(1, false);
        Data.SetPointSelected(5, true);
    });
    EXPECT_EQ(Enabled(), QStringLiteral("111100011100"));

    Write([this] { Data.SetPointSelected(5, false); });
    EXPECT_EQ(Enabled(), QStringLiteral("000000000000"));
}

TEST_F(FormDataClientTest, ASubSelectionEnablesSortingAndCropping)
{
    Attach();
    Write([this] { Sub->SetSubSelection(0, 3, 1, 2); });
    EXPECT_EQ(Enabled(), QStringLiteral("000001111001"));
    // Selecting an item ends the sub-selection within the same delivery.
    Write([this] { Data.SetPointSelected(0, true); });
    EXPECT_FALSE(Sub->Active());
    EXPECT_EQ(Enabled(), QStringLiteral("111100011100"));
}

TEST_F(FormDataClientTest, TransposeCheckMarkFollowsTheData)
{
    Attach();
    EXPECT_FALSE(Manager->ActionTranspose->isChecked());
    Write([this] { Data.SetTransposed(true); });
    EXPECT_TRUE(Manager->ActionTranspose->isChecked());
    EXPECT_EQ(PanelDataItems.text(), QStringLiteral("data items: 4 / 4"));
    EXPECT_EQ(PanelDimensions.text(), QStringLiteral("dimensions: 10 / 10"));
    Write([this] { Data.SetTransposed(false); });
    EXPECT_FALSE(Manager->ActionTranspose->isChecked());
}

TEST_F(FormDataClientTest, LiveTrackingPassesAreSkipped)
{
    Attach();
    Write([this] {
        Data.SetPointHidden(0, true);
        Data.SetPointSelected(1, true);
        Data.AddCustomEvent(TQDCELiveTracking::Create());
    });
    EXPECT_EQ(PanelDataItems.text(), QStringLiteral("data items: 10 / 10"));
    EXPECT_EQ(Enabled(), QStringLiteral("000000000000"));
    // The next pass without the notice catches up.
    Write([this] { Data.SetPointColor(2, 3); });
    EXPECT_EQ(PanelDataItems.text(), QStringLiteral("data items: 9 / 10"));
    EXPECT_EQ(Enabled(), QStringLiteral("111100011100"));
}

TEST_F(FormDataClientTest, PlotMenusAndTogglesFollowTheOpenPlots)
{
    Attach();
    Manager->AddClient("PermutationMatrix", "Permutation Matrix", std::make_unique<TFakePlot>());
    EXPECT_EQ(PlotState(Manager->ActionQuorPMatrix, MenuPMatrix), QStringLiteral("111"));
    EXPECT_EQ(PlotState(Manager->ActionQuorPCoord, MenuPCoord), QStringLiteral("000"));
    EXPECT_EQ(PlotState(Manager->ActionQuorSMatrix, MenuSMatrix), QStringLiteral("000"));
    EXPECT_EQ(PlotState(Manager->ActionQuorACurves, MenuACurves), QStringLiteral("000"));

    Manager->AddClient("ParallelCoordinates", "Parallel Coordinates",
                       std::make_unique<TFakePlot>());
    Manager->AddClient("AndrewsCurves", "Andrews' Curves", std::make_unique<TFakePlot>());
    Manager->AddClient("ScatterplotMatrix", "Scatterplot Matrix",
                       std::make_unique<TFakePlot>());
    EXPECT_EQ(PlotState(Manager->ActionQuorPCoord, MenuPCoord), QStringLiteral("111"));
    EXPECT_EQ(PlotState(Manager->ActionQuorACurves, MenuACurves), QStringLiteral("111"));
    EXPECT_EQ(PlotState(Manager->ActionQuorSMatrix, MenuSMatrix), QStringLiteral("111"));

    Manager->RemoveClient("PermutationMatrix");
    EXPECT_EQ(PlotState(Manager->ActionQuorPMatrix, MenuPMatrix), QStringLiteral("000"));
    EXPECT_EQ(PlotState(Manager->ActionQuorPCoord, MenuPCoord), QStringLiteral("111"));
    Manager->RemoveClient("ScatterplotMatrix");
    EXPECT_EQ(PlotState(Manager->ActionQuorSMatrix, MenuSMatrix), QStringLiteral("000"));
}

TEST_F(FormDataClientTest, OtherClientsLeaveThePlotControlsAlone)
{
    Attach();
    Manager->AddClient("PermutationMatrix", "Permutation Matrix", std::make_unique<TFakePlot>());
    AddRecorder("DataActor");
    // A plot's class held under another key is no plot.
    Manager->AddClient("Action", "Action Object", std::make_unique<TFakePlot>());
    Manager->RemoveClient("Action");
    EXPECT_EQ(PlotState(Manager->ActionQuorPMatrix, MenuPMatrix), QStringLiteral("111"));
    EXPECT_EQ(PlotState(Manager->ActionQuorPCoord, MenuPCoord), QStringLiteral("000"));
    EXPECT_EQ(PlotState(Manager->ActionQuorSMatrix, MenuSMatrix), QStringLiteral("000"));
    EXPECT_EQ(PlotState(Manager->ActionQuorACurves, MenuACurves), QStringLiteral("000"));
}

TEST_F(FormDataClientTest, AbsentControlsAreSkipped)
{
    Manager.reset(new TQuorClientManager(nullptr));
    Manager->Data = &Data;
    Attach();
    Write([this] { Data.SetPointSelected(0, true); });
    Manager->AddClient("AndrewsCurves", "Andrews' Curves", std::make_unique<TFakePlot>());
    Manager->RemoveClient("AndrewsCurves");
    EXPECT_TRUE(Responder->Requests().empty());
}

TEST_F(FormDataClientTest, WithoutTheSubSelectionClientActionsKeepTheirState)
{
    Attach();
    Manager->RemoveClient("SubSelection");
    Write([this] {
        Data.SetPointHidden(0, true);
        Data.SetPointSelected(1, true);
    });
    EXPECT_EQ(PanelDataItems.text(), QStringLiteral("data items: 9 / 10"));
    EXPECT_EQ(Enabled(), QStringLiteral("000000000000"));
    EXPECT_TRUE(Responder->Requests().empty());
}

TEST_F(FormDataClientTest, AttachRequiresTheSubSelectionClient)
{
    try {
        Manager->AddClient("FormControl", "Form Control Object", std::make_unique<TFormDataClient>());
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().startsWith(
            "FormDataClient: depends on QuorClient \"SubSelection\". (FormDataClient, line "))
            << e.Message().toStdString();
    }
    EXPECT_TRUE(Data.Clients().empty());
}

TEST_F(FormDataClientTest, AFailingUpdateIsReported)
{
    // Not attached: there is no data object to read.
    TFormDataClient client;
    client.SetClientManager(Manager.get());
    client.Update();
    EXPECT_EQ(Responder->Texts(), QStringList({"Bummer in TFormDataClient.Update"}));
    EXPECT_EQ(Responder->Requests()[0].caption, QStringLiteral("Quorbel"));
}
