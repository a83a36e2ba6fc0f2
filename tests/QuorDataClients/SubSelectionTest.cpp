#include "QuorDataClients/QuorSubSelection.h"
#include "platform/Exceptions.h"

#include "ClientTestData.h"

#include <gtest/gtest.h>

namespace {

class SubSelectionTest : public ::testing::Test, public TClientTestData {
protected:
    void SetUp() override
    {
        auto client = std::make_unique<TQuorSubSelection>();
        Sub = client.get();
        Manager->AddClient("SubSelection", "Sub-Selection", std::move(client));
        Recorder = AddRecorder();
    }

    // A sub-selection of items 1 to 4 by dimensions 0 to 2, as the
    // permutation matrix sets it.
    void SetBlock()
    {
        Write([this] { Sub->SetSubSelection(1, 4, 0, 2); });
        ASSERT_TRUE(Sub->Active());
        Recorder->Clear();
    }

    TQuorSubSelection* Sub = nullptr;
    TNoticeRecorder* Recorder = nullptr;
};

} // namespace

TEST_F(SubSelectionTest, AttachStartsWithoutASubSelection)
{
    EXPECT_FALSE(Sub->Active());
    EXPECT_EQ(Data.Clients().front(), Sub);
}

TEST_F(SubSelectionTest, SettingAnnouncesTheBlock)
{
    EXPECT_EQ(Write([this] { Sub->SetSubSelection(1, 4, 0, 2); }), 1);
    EXPECT_TRUE(Sub->Active());
    EXPECT_EQ(Sub->FirstPoint(), 1);
    EXPECT_EQ(Sub->LastPoint(), 4);
    EXPECT_EQ(Sub->FirstDim(), 0);
    EXPECT_EQ(Sub->LastDim(), 2);
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "CustomEvent TQDCESubSelection 1 4 0 2", "EndEvents"}));
    EXPECT_FALSE(Recorder->LastSubSelection.IsGeneric);
    EXPECT_EQ(Recorder->LastSubSelection.Actor, &Writer);
}

TEST_F(SubSelectionTest, SettingTheSameBlockAgainQueuesNothing)
{
    SetBlock();
    Data.BeginWrite(&Writer, true);
    Sub->SetSubSelection(1, 4, 0, 2);
    EXPECT_TRUE(Data.CustomEvents().empty());
    // A different block is announced again.
    Sub->SetSubSelection(1, 5, 0, 2);
    EXPECT_EQ(Data.CustomEvents().size(), 1u);
    Data.EndWrite(&Writer);
    Data.SendEvents();
}

TEST_F(SubSelectionTest, SelectingADataItemEndsItInAFurtherPassOfTheSameDelivery)
{
    SetBlock();
    // The selection and then the clearing: two events in one delivery.
    EXPECT_EQ(Write([this] { Data.SetPointSelected(0, true); }), 2);
    EXPECT_FALSE(Sub->Active());
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "PointSelectionChange 0 true", "EndEvents", "BeginEvents",
                                              "CustomEvent TQDCESubSelection cleared", "EndEvents"}));
    EXPECT_EQ(Recorder->LastSubSelection.Actor, Sub);
    EXPECT_TRUE(Recorder->LastSubSelection.IsGeneric);
    EXPECT_FALSE(Data.Locked());
}

TEST_F(SubSelectionTest, EndingNoticesEndIt)
{
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"item hidden", [this] { Data.SetPointHidden(2, true); }},
        {"dimension selected", [this] { Data.SetDimSelected(1, true); }},
        {"dimensions exchanged", [this] { Data.ExchangeDims(0, 3); }},
        {"dimension moved", [this] { Data.MoveDim(3, 0); }},
        {"dimension hidden", [this] { Data.SetDimHidden(3, true); }},
        {"mixed dimension changes", [this] {
             Data.SetDimSelected(0, true);
             Data.ExchangeDims(1, 2);
         }},
        {"mixed changes", [this] {
             Data.SetPointColor(0, 3);
             Data.SetDimSelected(0, false);
         }},
        {"items changed generically", [this] {
             Data.SetPointColor(0, 4);
             Data.ExchangePoints(0, 1);
         }},
        {"new data source", [this] { Data.SetDataSrc(&Values, &DimNames, &PointNames); }},
    };
    for (const auto& [name, change] : changes) {
        SetBlock();
        Write(change);
        EXPECT_FALSE(Sub->Active()) << name;
        EXPECT_EQ(Recorder->Notices.count("CustomEvent TQDCESubSelection cleared"), 1) << name;
    }
}

TEST_F(SubSelectionTest, ColourSliderBoundAndItemExchangeKeepIt)
{
    SetBlock();
    Write([this] { Data.SetPointColor(3, 7); });
    Write([this] {
        Data.SetSliderOff(1, false);
        Data.SetSliderLow(1, 10);
    });
    Write([this] { Data.SetLBound(2, -5); });
    Write([this] { Data.SetUBound(2, 500); });
    Write([this] { Data.ExchangePoints(0, 1); });
    EXPECT_TRUE(Sub->Active());
    EXPECT_EQ(Recorder->Notices.count("CustomEvent TQDCESubSelection cleared"), 0);
    EXPECT_EQ(Sub->FirstPoint(), 1);
    EXPECT_EQ(Sub->LastDim(), 2);
}

TEST_F(SubSelectionTest, AnEndingNoticeWithoutASubSelectionQueuesNothing)
{
    EXPECT_EQ(Write([this] { Data.SetPointSelected(0, true); }), 1);
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "PointSelectionChange 0 true", "EndEvents"}));
    EXPECT_FALSE(Data.Locked());
    EXPECT_EQ(Data.Actor(), nullptr);
}

TEST_F(SubSelectionTest, ClearingTwiceInOneBatchAnnouncesOnce)
{
    SetBlock();
    EXPECT_EQ(Write([this] {
        Sub->ClearSubSelection();
        Sub->SetSubSelection(0, 1, 0, 1);
        Sub->ClearSubSelection();
    }), 2);
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "CustomEvent TQDCESubSelection cleared", "CustomEvent TQDCESubSelection 0 1 0 1",
                                              "EndEvents"}));
    EXPECT_FALSE(Sub->Active());
}

TEST_F(SubSelectionTest, ChangesWithoutTheWriteLockAreRefusedAndChangeNothing)
{
    EXPECT_THROW(Sub->SetSubSelection(1, 4, 0, 2), EAssertionFailed);
    EXPECT_FALSE(Sub->Active());
    SetBlock();
    EXPECT_THROW(Sub->SetSubSelection(0, 1, 0, 1), EAssertionFailed);
    EXPECT_THROW(Sub->ClearSubSelection(), EAssertionFailed);
    EXPECT_TRUE(Sub->Active());
    EXPECT_EQ(Sub->FirstPoint(), 1);
    EXPECT_EQ(Sub->LastDim(), 2);
}
