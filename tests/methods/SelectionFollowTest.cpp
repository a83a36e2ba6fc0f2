// Every editor-based plot follows selections made elsewhere object by
// object; after each such step it must show what a whole resync shows,
// whatever its editor picked meanwhile, with the running bounds and flags
// of a fresh computation.

#include "PlotTestFrame.h"

#include "support/Gestures.h"
#include "support/SelectionSummary.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>

namespace {

class SelectionFollowTest : public ::testing::TestWithParam<TPlotKind> {
protected:
    SelectionFollowTest()
        : T(TMethodsTestData({"A", "B", "C", "D", "E"}, {"a", "b", "c", "d", "e", "f"},
                             {{0, 10, 0, 10, 1}, {5, 5, 3, 5, 2}, {10, 0, 10, 0, 3},
                              {8, 2, 7, 1, 4}, {1, 1, 1, 1, 5}, {9, 8, 7, 6, 6}})),
          F(T), Other(T.Data)
    {
        Plot = F.Open(GetParam(), QSize(600, 500));
    }

    std::set<TGraphicObject*> Shown() const
    {
        std::set<TGraphicObject*> shown;
        for (const TSelectionEntry* e = Plot->Editor()->GetSelection(); e; e = e->Next.get())
            shown.insert(e->Object);
        return shown;
    }

    // A point of the editor where a randomly chosen selectable object takes
    // a press; the editor's centre when none does.
    QPoint PointOnSomething(std::mt19937& Random) const
    {
        std::vector<TGraphicObject*> objects;
        for (TGraphicObject* o = Plot->Editor()->GetObjects(); o; o = o->Next)
            if (HasFlags(o->Flags, gofSelectable))
                objects.push_back(o);
        if (!objects.empty()) {
            const QPoint on = PointOnObject(Plot->Editor(), objects[Random() % objects.size()]);
            if (!on.isNull())
                return on;
        }
        return QPoint(Plot->Editor()->width() / 2, Plot->Editor()->height() / 2);
    }

    void ClickSomething(std::mt19937& Random)
    {
        PacedClickGesture(Plot->Editor(), PointOnSomething(Random),
                          Random() % 3 == 0 ? Qt::ControlModifier : Qt::NoModifier);
    }

    // Moves what is selected there, or strokes a band from it.
    void DragSomething(std::mt19937& Random)
    {
        const QPoint from = PointOnSomething(Random);
        const QPoint by(int(Random() % 41) - 20, int(Random() % 41) - 20);
        PacedDragGesture(Plot->Editor(), from, {from + QPoint(0, 1), from + by});
    }

    TMethodsTestData T;
    TPlotTestFrame F;
    TOtherWriter Other;
    TQuorPlotClient* Plot = nullptr;
};

} // namespace

TEST_P(SelectionFollowTest, EachSelectionStepLeavesWhatAWholeResyncLeaves)
{
    std::mt19937 random(11);
    const auto any = [&](int N) { return int(random() % unsigned(N)); };
    int roundsWithSelection = 0;
    // A pick may leave the next step to a whole resync, which lists in
    // object order.
    bool picked = false;
    for (int round = 0; round < 300; ++round) {
        for (int action = any(10); action >= 0; --action) {
            const std::set<TGraphicObject*> before = Shown();
            // Each round ends in a selection step: the editor then shows no
            // pick of its own that the data object does not hold.
            const int kind = action == 0 ? any(3) : any(10);
            if (kind < 3) {
                Other.Write([&](TData& D) {
                    for (int n = any(3); n >= 0; --n) {
                        const int p = any(6);
                        const int d = any(5);
                        if (kind < 2)
                            D.SetPointSelected(p, !D.IsPointSelected(p));
                        else
                            D.SetDimSelected(d, !D.IsDimSelected(d));
                    }
                });
            } else if (kind == 3) {
                // Past the notices the plot follows one by one (only changes
                // are notices).
                Other.Write([&](TData& D) {
                    for (int n = 0; n < 4200 + any(6); ++n)
                        D.SetPointSelected(n % 6, !D.IsPointSelected(n % 6));
                });
            } else if (kind == 4) {
                // Refused while someone else holds the lock: shown, not written.
                T.Data.BeginWrite(&Other, false);
                ClickSomething(random);
                T.Data.EndWrite(&Other);
            } else if (kind < 7) {
                ClickSomething(random);
            } else if (kind == 7) {
                DragSomething(random);
            } else if (kind == 8) {
                // Paints, where labels and sliders measure their texts anew.
                QCoreApplication::processEvents();
            } else {
                // Rebuilds: new objects, measured anew when next painted.
                Other.Write([&](TData& D) {
                    const int p = any(6);
                    const int d = any(5);
                    if (any(2) == 0)
                        D.SetPointHidden(p, !D.IsPointHidden(p));
                    else if (D.IsDimHidden(d) || D.VisibleDimCount() > 2)
                        D.SetDimHidden(d, !D.IsDimHidden(d));
                });
            }
            picked = picked || (kind >= 4 && kind <= 7);
            if (kind > 3)
                continue;
            // The running summary is what a fresh computation gives.
            TGOEdit* editor = Plot->Editor();
            const TFreshSummary fresh = FreshSummary(editor->GetSelection());
            ASSERT_EQ(editor->SelBounds, fresh.Bounds) << GetParam().Key << " round " << round;
            ASSERT_EQ(editor->SelFlagsAnd, fresh.FlagsAnd) << GetParam().Key << " round " << round;
            ASSERT_EQ(editor->SelFlagsOr, fresh.FlagsOr) << GetParam().Key << " round " << round;
            ASSERT_EQ(editor->Multi, fresh.Count >= 2) << GetParam().Key << " round " << round;
            // What a small delivery brings in heads the list.
            const std::set<TGraphicObject*> after = Shown();
            if (kind < 3 && !picked && !std::includes(before.begin(), before.end(), after.begin(), after.end())) {
                ASSERT_EQ(before.count(editor->GetSelection()->Object), 0u) << GetParam().Key << " round " << round;
            }
            picked = false;
        }
        const std::set<TGraphicObject*> followed = Shown();
        roundsWithSelection += followed.empty() ? 0 : 1;
        Plot->NeedsSelection = true;
        Plot->DoUpdates();
        ASSERT_EQ(followed, Shown()) << GetParam().Key << " round " << round;
    }
    // The plot showed selections on the way, not just an empty one.
    EXPECT_GT(roundsWithSelection, 100);
}

INSTANTIATE_TEST_SUITE_P(Plots, SelectionFollowTest, ::testing::ValuesIn(kPlots, kPlots + kEditorPlotCount),
                         [](const auto& Info) { return std::string(Info.param.Key); });
