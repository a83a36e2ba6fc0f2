// Every editor-based plot follows selections made elsewhere object by
// object; what it then shows must be what a whole resync shows.

#include "PlotTestFrame.h"

#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorScatterplotmatrix.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <set>

namespace {

struct TPlotKind {
    const char* Key;
    std::function<std::unique_ptr<TQuorPlotClient>(QWidget*)> Create;
};

void PrintTo(const TPlotKind& Kind, std::ostream* Out)
{
    *Out << Kind.Key;
}

const TPlotKind kPlots[] = {
    {"ScatterplotMatrix", [](QWidget* W) { return std::make_unique<TScatterplotmatrix>(W); }},
    {"ParallelCoordinates", [](QWidget* W) { return std::make_unique<TParallelCoordinates>(W); }},
    {"PermutationMatrix", [](QWidget* W) { return std::make_unique<TPermutationmatrix>(W); }},
};

class SelectionFollowTest : public ::testing::TestWithParam<TPlotKind> {
protected:
    SelectionFollowTest()
        : T(TMethodsTestData({"A", "B", "C", "D", "E"}, {"a", "b", "c", "d", "e", "f"},
                             {{0, 10, 0, 10, 1}, {5, 5, 3, 5, 2}, {10, 0, 10, 0, 3},
                              {8, 2, 7, 1, 4}, {1, 1, 1, 1, 5}, {9, 8, 7, 6, 6}})),
          F(T), Other(T.Data)
    {
        auto plot = GetParam().Create(&F.Area);
        Plot = plot.get();
        const QString key = QString::fromLatin1(GetParam().Key);
        F.Manager->AddClient(key, key, std::move(plot));
        Plot->Form()->resize(600, 500);
        QCoreApplication::processEvents();
    }

    std::set<TGraphicObject*> Shown() const
    {
        std::set<TGraphicObject*> shown;
        for (const TSelectionEntry* e = Plot->Editor()->GetSelection(); e; e = e->Next.get())
            shown.insert(e->Object);
        return shown;
    }

    TMethodsTestData T;
    TPlotTestFrame F;
    TOtherWriter Other;
    TQuorPlotClient* Plot = nullptr;
};

} // namespace

TEST_P(SelectionFollowTest, FollowingNoticesShowsWhatAWholeResyncShows)
{
    std::mt19937 random(11);
    int roundsWithSelection = 0;
    for (int round = 0; round < 150; ++round) {
        const int kind = int(random() % 10);
        Other.Write([&](TData& D) {
            if (kind < 5) {
                D.SetPointSelected(int(random() % 6), random() % 2 == 0);
            } else if (kind < 7) {
                D.SetDimSelected(int(random() % 5), random() % 2 == 0);
            } else if (kind < 9) {
                // Several notices of one kind in one pass.
                for (int p = 0; p < 6; ++p)
                    D.SetPointSelected(p, random() % 3 == 0);
            } else {
                // Something that rebuilds, with the selection kept.
                const int p = int(random() % 6);
                D.SetPointHidden(p, !D.IsPointHidden(p));
            }
        });
        const std::set<TGraphicObject*> followed = Shown();
        roundsWithSelection += followed.empty() ? 0 : 1;
        const TRect bounds = Plot->Editor()->SelBounds;
        Plot->NeedsSelection = true;
        Plot->DoUpdates();
        ASSERT_EQ(followed, Shown()) << GetParam().Key << " round " << round;
        ASSERT_EQ(bounds, Plot->Editor()->SelBounds) << GetParam().Key << " round " << round;
    }
    // The plot showed selections on the way, not just an empty one.
    EXPECT_GT(roundsWithSelection, 50);
}

INSTANTIATE_TEST_SUITE_P(Plots, SelectionFollowTest, ::testing::ValuesIn(kPlots),
                         [](const auto& Info) { return std::string(Info.param.Key); });
