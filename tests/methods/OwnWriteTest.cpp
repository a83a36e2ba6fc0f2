// A plot's own write may make others answer inside its delivery: the bound
// fitter refits the scales, the clustering panel sets a scale of the plot.
// Either way the press that wrote goes on with the objects it holds, one
// press reaches the others in a few deliveries however many items it
// changes, and what it picked stays written and shows once the plot has
// been rebuilt.

#include "PlotTestFrame.h"

#include "QuorDataClients/DataActor.h"
#include "support/Gestures.h"
#include "support/TestSupport.h"

#include <QAction>

#include <gtest/gtest.h>

#include <random>
#include <tuple>

namespace {

enum class TAnswer { FitBounds, Rebuild };

std::vector<std::vector<double>> Rows(int Count)
{
    std::vector<std::vector<double>> rows;
    for (int p = 0; p < Count; ++p)
        rows.push_back({double(p % 10), double(p % 7), double(p % 3 * 4), double(p % 5 * 2), double(p % 4)});
    return rows;
}

class OwnWriteTest : public ::testing::TestWithParam<std::tuple<int, TAnswer>> {
protected:
    OwnWriteTest() : T({"A", "B", "C", "D", "E"}, {}, Rows(60)), F(T), Other(T.Data)
    {
        Plot = F.Open(kPlots[std::get<0>(GetParam())], QSize(600, 500));
        FitAction.setCheckable(true);
        F.Manager->ActionFitBounds = &FitAction;
        if (std::get<1>(GetParam()) == TAnswer::FitBounds) {
            F.Manager->AddClient(QStringLiteral("DataActor"), QStringLiteral("DataActor"),
                                 std::make_unique<TDataActor>());
            FitAction.setChecked(true);
        }
        // Counts the deliveries; as the panel does, rebuilds the plot from
        // inside a delivery that carried the plot's own notices.
        Others.OnBegin = [this] { Others.LastActor = nullptr; };
        Others.OnEnd = [this] {
            if (std::get<1>(GetParam()) == TAnswer::Rebuild && Others.LastActor == Plot)
                Plot->Rebuild();
        };
        T.Data.RegisterClient(&Others);
    }
    ~OwnWriteTest() override
    {
        T.Data.UnregisterClient(&Others);
        F.Manager->ActionFitBounds = nullptr;
    }

    TGOEdit* Edit() const { return Plot->Editor(); }

    // Bounds that the fitter refits at the plot's next write, set without a
    // delivery that would refit them first.
    void UnfitBounds()
    {
        for (int d = 0; d < T.Data.DimCount(); ++d)
            T.Data.SetUBound(d, T.Data.GetUBound(d) + 1);
    }

    // The items and dimensions the editor shows selected, and those the
    // data object holds selected, by the names in their hover texts.
    QStringList Shown() const
    {
        QStringList shown;
        for (const TSelectionEntry* e = Edit()->GetSelection(); e; e = e->Next.get()) {
            const QString hint = e->Object->GetHint();
            if (hint.startsWith(QStringLiteral("Data item: ")) || hint.startsWith(QStringLiteral("Dimension: ")))
                shown << hint.section(QStringLiteral(" ["), 0, 0);
        }
        shown.removeDuplicates();
        shown.sort();
        return shown;
    }
    QStringList Selected() const
    {
        QStringList selected;
        for (int p = 0; p < T.Data.PointCount(); ++p)
            if (T.Data.IsPointSelected(p))
                selected << QStringLiteral("Data item: ") + T.Data.GetPointName(p);
        for (int d = 0; d < T.Data.DimCount(); ++d)
            if (T.Data.IsDimSelected(d))
                selected << QStringLiteral("Dimension: ") + T.Data.GetDimName(d);
        selected.sort();
        return selected;
    }

    QPoint PointOnNothing() const
    {
        for (int y = 1; y < Edit()->height(); y += 3)
            for (int x = 1; x < Edit()->width(); x += 3)
                if (!Edit()->ObjectsAt(TPoint{x, y}, gofSelectable))
                    return QPoint(x, y);
        return QPoint();
    }

    TMethodsTestData T;
    TPlotTestFrame F;
    TOtherWriter Other;
    QAction FitAction;
    TRecordingDataClient Others;
    TQuorPlotClient* Plot = nullptr;
};

} // namespace

// Clicks with every modifier and drags from objects and from empty space:
// axes, labels, sliders and dots moved, bands drawn, picks toggled.
TEST_P(OwnWriteTest, PressesWhoseWritesRebuildThePlotKeepWhatTheyPicked)
{
    std::mt19937 random(7);
    const auto any = [&](int N) { return int(random() % unsigned(N)); };
    const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier, Qt::ControlModifier, Qt::ShiftModifier,
                                               Qt::ControlModifier | Qt::ShiftModifier};
    for (int round = 0; round < 40; ++round) {
        UnfitBounds();
        std::vector<TGraphicObject*> objects;
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
            if (HasFlags(o->Flags, gofSelectable))
                objects.push_back(o);
        ASSERT_FALSE(objects.empty()) << round;
        QPoint from = PointOnObject(Edit(), objects[size_t(any(int(objects.size())))]);
        if (from.isNull() || any(5) == 0)
            from = PointOnNothing();
        const Qt::KeyboardModifiers keys = modifiers[any(4)];
        if (any(2) == 0) {
            PacedClickGesture(Edit(), from, keys);
        } else {
            const QPoint by(any(121) - 60, any(121) - 60);
            PacedDragGesture(Edit(), from, {from + QPoint(0, 1), from + by / 2, from + by}, keys);
        }
        ASSERT_FALSE(T.Data.Locked()) << round;
        QCoreApplication::processEvents();
        ASSERT_EQ(Shown(), Selected()) << round;
    }
}

// The click that rebuilt the parallel coordinates under the mouse: items
// selected, the scales refitted by the click's own write. However many
// items the click deselects, the others hear of it in one delivery, and the
// fitter refits once for it.
TEST_P(OwnWriteTest, AClickSelectsOneItemAloneInOneDelivery)
{
    Other.Write([](TData& D) {
        for (int p = 0; p < D.PointCount(); ++p)
            D.SetPointSelected(p, p != 5);
    });
    QCoreApplication::processEvents();
    UnfitBounds();
    Others.Clear();
    const QString name = T.Data.GetPointName(5);
    QPoint on;
    for (TGraphicObject* o = Edit()->GetObjects(); o && on.isNull(); o = o->Next)
        if (o->GetHint().startsWith(QStringLiteral("Data item: ") + name + QStringLiteral(" [")))
            on = PointOnObject(Edit(), o, 1, [&](QPoint P) {
                return Edit()->ObjectsAt(TPoint{P.x(), P.y()}, gofSelectable)->Object == o;
            });
    ASSERT_FALSE(on.isNull());
    PacedClickGesture(Edit(), on);
    EXPECT_EQ(Selected(), QStringList{QStringLiteral("Data item: ") + name});
    EXPECT_EQ(Shown(), Selected());
    EXPECT_EQ(Others.Count(QStringLiteral("PointSelectionChange")), T.Data.PointCount());
    // The click's delivery, and the refit's further pass.
    EXPECT_LE(Others.Deliveries, 2);
}

INSTANTIATE_TEST_SUITE_P(Plots, OwnWriteTest,
                         ::testing::Combine(::testing::Range(0, kEditorPlotCount),
                                            ::testing::Values(TAnswer::FitBounds, TAnswer::Rebuild)),
                         [](const auto& Info) {
                             return std::string(kPlots[std::get<0>(Info.param)].Key)
                                 + (std::get<1>(Info.param) == TAnswer::FitBounds ? "_FitBounds" : "_Rebuild");
                         });
