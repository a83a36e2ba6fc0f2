#include "QuorDataClients/DataActor.h"
#include "support/TestTable.h"

#include "ClientTestData.h"

#include <QAction>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>

namespace {

// The bound fitter and a recorder under a manager over a table given item by
// item, with the main window's fitting action checked.
class TFitterRig : public TTestTable {
public:
    explicit TFitterRig(const std::vector<std::vector<double>>& Rows, bool Fitting = true) : TTestTable(Rows)
    {
        Action.setCheckable(true);
        Action.setChecked(Fitting);
        Manager->Data = &Data;
        Manager->ActionFitBounds = &Action;
        // The recorder comes first: a refit that never settles, the fitter's
        // first one included, stops after a bound number of passes instead
        // of hanging the test.
        auto recorder = std::make_unique<TNoticeRecorder>();
        Recorder = recorder.get();
        Recorder->OnEnd = [this] {
            if (Recorder->Deliveries > 10)
                Action.setChecked(false);
        };
        Manager->AddClient("Recorder", "Recorder", std::move(recorder));
        auto fitter = std::make_unique<TDataActor>();
        Fitter = fitter.get();
        Manager->AddClient("DataActor", "DataActor", std::move(fitter));
    }

    // One transaction by another writer; returns the delivery passes it took.
    int Write(const std::function<void()>& Changes)
    {
        Recorder->Clear();
        Data.WriteTransaction(&Writer, Changes);
        return Recorder->Deliveries;
    }

    std::pair<double, double> Bounds(int Dim) const { return {Data.GetLBound(Dim), Data.GetUBound(Dim)}; }

    QAction Action;
    TObject Writer;
    TDataActor* Fitter = nullptr;
    TNoticeRecorder* Recorder = nullptr;
    std::unique_ptr<TQuorClientManager> Manager = std::make_unique<TQuorClientManager>(nullptr);
};

using TBounds = std::pair<double, double>;

} // namespace

TEST(DataActor, AttachFitsAtOnceWhileTheActionIsChecked)
{
    TFitterRig rig({{7, 1}, {7, 3}, {7, 2}});
    EXPECT_EQ(rig.Bounds(0), TBounds(6.5, 7.5)) << "all visible values alike";
    EXPECT_EQ(rig.Bounds(1), TBounds(1, 3));

    TFitterRig off({{7, 1}, {7, 3}}, false);
    EXPECT_EQ(off.Bounds(1), TBounds(off.Data.GetDimMin(1), off.Data.GetDimMax(1)));
    EXPECT_EQ(off.Write([&] { off.Data.SetPointSelected(0, true); }), 1) << "no refit while unchecked";
}

TEST(DataActor, ConstantDimensionGetsHalfAUnitEitherSide)
{
    TFitterRig rig({{7, 1}, {7, 3}}, false);
    rig.Data.WriteTransaction(rig.Fitter, [&] { rig.Fitter->FitDimBounds(0); });
    EXPECT_EQ(rig.Bounds(0), TBounds(6.5, 7.5));
}

TEST(DataActor, HidingAndShowingTheMaximumsHolderRefitsWithinTheDelivery)
{
    TFitterRig rig({{1, 0}, {5, 0}, {9, 0}, {3, 0}});
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 9));
    rig.Write([&] { rig.Data.SetPointHidden(2, true); });
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 5));
    rig.Write([&] { rig.Data.SetPointHidden(2, false); });
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 9));
    EXPECT_FALSE(rig.Data.Locked());
}

TEST(DataActor, BoundsWhollyAboveOrBelowTheDataCloseInWithinOneDelivery)
{
    TFitterRig rig({{1, 0}, {5, 0}, {9, 0}});
    for (const TBounds& set : {TBounds(100, 200), TBounds(-200, -100)}) {
        const int passes = rig.Write([&] {
            rig.Data.SetLBound(0, set.first);
            rig.Data.SetUBound(0, set.second);
        });
        EXPECT_EQ(rig.Bounds(0), TBounds(1, 9));
        // The writer's pass, two refits that change, one that does not.
        EXPECT_LE(passes, 4);
    }
}

TEST(DataActor, EveryItemHiddenChangesNoBound)
{
    TFitterRig rig({{1, 0}, {5, 0}});
    rig.Write([&] {
        rig.Data.SetPointHidden(0, true);
        rig.Data.SetPointHidden(1, true);
    });
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 5));
    EXPECT_EQ(rig.Recorder->Count("DimBoundChange"), 0);
}

TEST(DataActor, BoundsThatAreNoNumberSettle)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    TFitterRig rig({{1, 0}, {5, 0}});
    EXPECT_LE(rig.Write([&] { rig.Data.SetLBound(0, nan); }), 3);
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 5));

    // Values that are no number leave the bounds as they are.
    rig.Values.SetCell(1, 0, TVariant(nan));
    rig.Values.SetCell(1, 1, TVariant(nan));
    EXPECT_LE(rig.Write([&] { rig.Data.SetLBound(1, -4); }), 2);
    EXPECT_TRUE(rig.Action.isChecked());
}

TEST(DataActor, ResetBoundsReturnsToTheDataRangeInOneTransaction)
{
    TFitterRig rig({{1, 0}, {5, 0}, {9, 0}}, false);
    rig.Write([&] {
        rig.Data.SetPointHidden(2, true);
        rig.Data.SetLBound(0, 3);
    });
    rig.Action.setChecked(true);
    rig.Write([&] { rig.Data.SetPointSelected(0, true); });
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 5));

    rig.Action.setChecked(false);
    rig.Recorder->Clear();
    rig.Fitter->ResetBounds();
    EXPECT_EQ(rig.Bounds(0), TBounds(1, 9));
    EXPECT_EQ(rig.Recorder->Deliveries, 1);
    EXPECT_EQ(rig.Recorder->LastActor, rig.Fitter);
}

TEST(DataActor, FitBoundsToItemOnlyWidens)
{
    TFitterRig rig({{1, 0}, {5, 2}, {9, 1}}, false);
    rig.Data.WriteTransaction(&rig.Writer, [&] {
        rig.Data.SetLBound(0, 4);
        rig.Data.SetUBound(0, 6);
        EXPECT_TRUE(rig.Fitter->FitBoundsToItem(2));
        EXPECT_FALSE(rig.Fitter->FitBoundsToItem(1));
    });
    EXPECT_EQ(rig.Bounds(0), TBounds(4, 9));
}
