#include "QuorDataClients/ActionClient.h"
#include "QuorDataClients/Hashes.h"
#include "QuorDataClients/QuorSubSelection.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"
#include "usagelog/Evaluation.h"

#include "ActionRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

class ActionClientTest : public ::testing::Test, public TActionRig {
protected:
    ActionClientTest() : TActionRig(4, 10) {}

    std::vector<int> SelectedPoints()
    {
        std::vector<int> points;
        for (int p = 0; p < Data.PointCount(); ++p)
            if (Data.IsPointSelected(p))
                points.push_back(p);
        return points;
    }

    // The refusal shown and that nothing reached the clients.
    void ExpectRefused(const QString& Text)
    {
        EXPECT_EQ(Responder->Texts(), QStringList{Text});
        EXPECT_EQ(Responder->Requests().back().type, TMsgDlgType::mtInformation);
        EXPECT_TRUE(Recorder->Notices.isEmpty()) << Recorder->Notices.join(", ").toStdString();
        EXPECT_FALSE(Data.Locked());
    }

    ScopedResponder Responder;
};

} // namespace

TEST_F(ActionClientTest, StartsWithItsScoreModeAndNormalisation)
{
    EXPECT_EQ(Action->ScoreMode, 255);
    EXPECT_TRUE(Action->UseNormalized);
}

TEST_F(ActionClientTest, AttachNeedsTheSubSelectionClient)
{
    TQuorClientManager bare(nullptr);
    bare.Data = &Data;
    EXPECT_THROW(bare.AddClient("Action", "Action", std::make_unique<TQuorActionClient>()), EHashError);

    TQuorClientManager wrong(nullptr);
    wrong.Data = &Data;
    wrong.AddClient("SubSelection", "Sub-Selection", std::make_unique<TTestClient>());
    EXPECT_THROW(wrong.AddClient("Action", "Action", std::make_unique<TQuorActionClient>()), EInvalidCast);
}

// Every command is one write transaction by the action client whose notices
// reach the clients in one delivery pass; the data object is left unlocked.
TEST_F(ActionClientTest, EachCommandIsOneTransactionOfItsOwn)
{
    struct Case {
        const char* name;
        std::function<void()> setUp; // by another writer, on a fresh table
        std::function<void()> command;
    };
    const std::vector<Case> cases = {
        {"HideDims", [this] { Data.SetDimSelected(1, true); }, [this] { Action->HideDims(); }},
        {"SelectPointsUnderSlider",
         [this] {
             Data.SetSliderLow(0, 0);
             Data.SetSliderHigh(0, 1000);
             Data.SetSliderOff(0, false);
         },
         [this] { Action->SelectPointsUnderSlider(0); }},
        {"MarkPoints", [this] { Data.SetPointSelected(2, true); }, [this] { Action->MarkPoints(3); }},
        {"SetSelectedPointsVisible", [this] { Data.SetPointSelected(2, true); },
         [this] { Action->SetSelectedPointsVisible(false); }},
        {"Transpose", [] {}, [this] { Action->Transpose(); }},
        {"RefreshValues", [] {}, [this] { Action->RefreshValues(); }},
        {"ResetData", [] {}, [this] { Action->ResetData(); }},
        {"SelectAll", [] {}, [this] { Action->SelectAll(); }},
        {"SelectVisible", [] {}, [this] { Action->SelectVisible(); }},
        {"PickPoints", [] {}, [this] { Action->PickPoints(); }},
        {"UnhideAllPoints", [this] { Data.SetPointHidden(4, true); }, [this] { Action->UnhideAllPoints(); }},
        {"ResetSliders", [this] { Data.SetSliderOff(1, false); }, [this] { Action->ResetSliders(); }},
        {"ResetDimBounds", [this] { Data.SetLBound(2, -5); }, [this] { Action->ResetDimBounds(); }},
        {"UnhideAllDims", [this] { Data.SetDimHidden(3, true); }, [this] { Action->UnhideAllDims(); }},
    };
    for (const Case& c : cases) {
        Prepare([&] {
            if (Data.Transposed())
                Data.SetTransposed(false);
            Data.DataSrcChanged();
            c.setUp();
        });
        std::vector<TObject*> actors;
        Recorder->OnData = [&] { actors.push_back(Recorder->LastActor); };
        c.command();
        Recorder->OnData = nullptr;
        EXPECT_EQ(Recorder->Deliveries, 1) << c.name;
        EXPECT_FALSE(actors.empty()) << c.name;
        EXPECT_EQ(std::count(actors.begin(), actors.end(), Action), qsizetype(actors.size())) << c.name;
        EXPECT_FALSE(Data.Locked()) << c.name;
    }
    EXPECT_TRUE(Responder->Texts().isEmpty());
}

TEST_F(ActionClientTest, HideDimsHidesAndDeselectsTheSelectedOnes)
{
    Action->HideDims();
    ExpectRefused("You must select one or more dimensions first.");

    Prepare([this] {
        Data.SetDimSelected(1, true);
        Data.SetDimSelected(3, true);
    });
    Action->HideDims();
    EXPECT_EQ(VisibleDims(), (std::vector<int>{0, 2}));
    EXPECT_EQ(Data.SelectedDimCount(), 0);
    EXPECT_TRUE(Data.IsDimHidden(1) && Data.IsDimHidden(3));

    // Selected but already hidden: the transaction changes nothing.
    Prepare([this] { Data.SetDimSelected(1, true); });
    Action->HideDims();
    EXPECT_EQ(VisibleDims(), (std::vector<int>{0, 2}));
    EXPECT_TRUE(Data.IsDimSelected(1));
    EXPECT_TRUE(Recorder->Notices.isEmpty());
}

TEST_F(ActionClientTest, CropSubSelectionKeepsTheBlockOnly)
{
    Action->CropSubSelection();
    ExpectRefused("You must choose a sub selection first.");

    Prepare([this] {
        Data.SetPointSelected(0, true);
        Data.SetDimSelected(0, true);
        Data.SetPointHidden(1, true); // visible positions 2..5 are items 3..6
    });
    Prepare([this] { Sub->SetSubSelection(2, 5, 1, 2); });
    Action->CropSubSelection();
    EXPECT_EQ(VisibleDims(), (std::vector<int>{1, 2}));
    EXPECT_EQ(VisiblePoints(), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_FALSE(Data.IsDimSelected(0));
    EXPECT_TRUE(Data.IsPointSelected(0)) << "the selection of items stays";
    EXPECT_FALSE(Sub->Active());
    EXPECT_TRUE(Recorder->Notices.contains("CustomEvent TQDCESubSelection cleared"));

    // A block that covers everything visible hides nothing.
    Prepare([this] { Sub->SetSubSelection(0, 3, 0, 1); });
    Action->CropSubSelection();
    EXPECT_EQ(VisibleDims(), (std::vector<int>{1, 2}));
    EXPECT_EQ(VisiblePoints(), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "CustomEvent TQDCESubSelection cleared", "EndEvents"}));
}

TEST_F(ActionClientTest, PickPointsShowsTheSelectedOnly)
{
    Action->PickPoints();
    EXPECT_EQ(Data.VisiblePointCount(), 0) << "nothing selected hides every item";

    Prepare([this] {
        Data.SetPointSelected(1, true);
        Data.SetPointSelected(7, true);
    });
    Action->PickPoints();
    EXPECT_EQ(VisiblePoints(), (std::vector<int>{1, 7}));
}

TEST_F(ActionClientTest, SelectPointsUnderSliderTakesBothEndsAndHiddenItems)
{
    const double values[] = {1, 2, 3.5, 5, 5.5, -1, 0, 6, 100, 7};
    for (int p = 0; p < 10; ++p)
        Values.SetCell(0, p, TVariant(values[p]));
    Load();
    Prepare([this] {
        Data.SetPointSelected(5, true); // outside the range: stays selected
        Data.SetPointHidden(3, true);
        Data.SetSliderLow(0, 2);
        Data.SetSliderHigh(0, 5);
    });
    // The slider is off: nothing happens.
    Action->SelectPointsUnderSlider(0);
    EXPECT_TRUE(Recorder->Notices.isEmpty());
    EXPECT_EQ(SelectedPoints(), (std::vector<int>{5}));

    Prepare([this] { Data.SetSliderOff(0, false); });
    Action->SelectPointsUnderSlider(0);
    EXPECT_EQ(SelectedPoints(), (std::vector<int>{1, 2, 3, 5}));
}

TEST_F(ActionClientTest, MarkPointsColoursHiddenSelectedItems)
{
    Prepare([this] {
        Data.SetPointSelected(2, true);
        Data.SetPointHidden(2, true);
    });
    const int before = Data.GetPointColor(3);
    Action->MarkPoints(7);
    EXPECT_EQ(Data.GetPointColor(2), 7);
    EXPECT_EQ(Data.GetPointColor(3), before);
}

// ---- plot toggles ----------------------------------------------------------------

namespace {

// The log codes written since the test began.
class LogWatch {
public:
    LogWatch() : FStart(GetLog().size()) {}
    QStringList Codes() const
    {
        QStringList codes;
        for (qsizetype i = FStart; i < GetLog().size(); ++i)
            codes << GetLog()[i].section(QLatin1Char(','), 1);
        return codes;
    }

private:
    qsizetype FStart;
};

// A plot stand-in that notes the log codes written when it was attached.
class TFakePlot : public TTestClient {
public:
    TFakePlot(const LogWatch& Log, QStringList& AtAttach) : FLog(Log), FAtAttach(AtAttach) {}
    void Attach() override
    {
        TTestClient::Attach();
        FAtAttach = FLog.Codes();
    }

private:
    const LogWatch& FLog;
    QStringList& FAtAttach;
};

} // namespace

TEST_F(ActionClientTest, TogglingAPlotTwiceOpensAndClosesIt)
{
    const LogWatch log;
    QStringList atAttach;
    for (const char* key : {"ScatterplotMatrix", "ParallelCoordinates"})
        Manager->RegisterFactory(key, [&](QWidget*) { return std::make_unique<TFakePlot>(log, atAttach); });

    Action->ToggleScatterplotMatrix();
    ASSERT_TRUE(Manager->HasClient("ScatterplotMatrix"));
    EXPECT_EQ(atAttach, QStringList{"open 3"}) << "logged before the plot is made";
    EXPECT_EQ(Data.Clients().back(), Manager->GetClient("ScatterplotMatrix"));
    Action->ToggleScatterplotMatrix();
    EXPECT_FALSE(Manager->HasClient("ScatterplotMatrix"));
    EXPECT_EQ(log.Codes(), QStringList({"open 3", "close 3"}));

    Action->ToggleParallelCoordinates();
    EXPECT_EQ(atAttach, QStringList({"open 3", "close 3"})) << "logged after the plot is added";
    EXPECT_EQ(log.Codes().last(), "open 1");
    Action->ToggleParallelCoordinates();
    EXPECT_EQ(log.Codes().last(), "close 1");
    EXPECT_FALSE(Manager->HasClient("ParallelCoordinates"));
    EXPECT_EQ(Data.Clients().size(), 3u);
}

TEST_F(ActionClientTest, ToggleWithoutARegisteredPlotOpensNothing)
{
    const LogWatch log;
    Action->ToggleAndrewsCurves();
    Action->ToggleParallelCoordinates();
    EXPECT_FALSE(Manager->HasClient("AndrewsCurves"));
    EXPECT_FALSE(Manager->HasClient("ParallelCoordinates"));
    // The command's own line stays, as for any command that does not act.
    EXPECT_EQ(log.Codes(), QStringList{"open 4"});
}
