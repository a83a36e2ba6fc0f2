#include "PlotTestFrame.h"

#include "ObjectEditor/StockObjects.h"
#include "methods/QuorParallelCoordinates.h"
#include "platform/Exceptions.h"
#include "platform/MouseQueue.h"
#include "support/Gestures.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

namespace {

QRgb Rgb(TColor c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Notes what the live-tracking notices find in the data object: the slider
// flag of one dimension as each notice arrives.
class TLiveTrackingWatch : public TObject, public TQuorNoOpDataClient {
public:
    TLiveTrackingWatch(TData& AData, int ADim) : Data(AData), Dim(ADim) {}
    void CustomEvent(TQuorDataCustomEvent* Event) override
    {
        if (dynamic_cast<TQDCELiveTracking*>(Event))
            SliderOff.push_back(Data.GetSliderOff(Dim));
    }
    TData& Data;
    int Dim;
    std::vector<bool> SliderOff;
};

// The clustering panel as the plot sees it.
class TScalesPanel : public TObject, public TQuorNoOpClient, public IQuorScaleSync {
public:
    void SetClientManager(TQuorClientManager*) override {}
    void Attach() override {}
    void Detach() override {}
    void SyncScalesFromPC() override { ++FromPC; }
    void SyncScalesFromPM() override {}
    int FromPC = 0;
};

class ParallelCoordinatesTest : public ::testing::Test {
protected:
    ParallelCoordinatesTest()
        : T(TMethodsTestData::Standard()), F(T)
    {
        T.SetSlider(0, 2, 6);
        T.SetSlider(2, 1, 5);
        T.Data.SetSliderOff(1, true);
        T.Data.SetSliderOff(3, true);
        CreateLog();
    }

    ~ParallelCoordinatesTest() override
    {
        for (TObject* client : Listeners)
            T.Data.UnregisterClient(client);
    }

    void Listen(TObject* Client)
    {
        T.Data.RegisterClient(Client);
        Listeners.push_back(Client);
        Notices.Clear();
    }

    TParallelCoordinates* Open()
    {
        auto plot = std::make_unique<TParallelCoordinates>(&F.Area);
        Plot = plot.get();
        F.Manager->AddClient(QStringLiteral("ParallelCoordinates"), QStringLiteral("Parallel Coordinates"),
                             std::move(plot));
        Plot->Form()->resize(560, 540);
        QCoreApplication::processEvents();
        Paint();
        return Plot;
    }

    void Paint() { Edit()->Repaint(); }
    TGOEdit* Edit() const { return Plot->Editor(); }
    const TParallelCoordinatesLayout& L() const { return Plot->Layout; }
    QRgb Pixel(int x, int y) const { return Edit()->BackingImage().pixel(x, y); }
    int AxisX(int i) const { return L().AxisPos(i); }
    // The pixel row of a value on the axis at visible position i.
    int Y(int i, double Value) const
    {
        const TRect& r = L().PlotRect;
        return int(std::nearbyint(r.Bottom - (Value - L().AxisLo(i)) / L().AxisRange(i) * (r.Bottom - r.Top)));
    }

    template <typename C> C* Find(std::function<bool(C*)> Match = nullptr) const
    {
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
            if (auto* c = dynamic_cast<C*>(o); c && (!Match || Match(c)))
                return c;
        return nullptr;
    }
    TGOParSlider* Slider(int i) const { return Plot->Sliders()[size_t(i)]; }
    // The middle of the selection's handle of the given kind.
    QPoint HandleAt(uint32_t Kind) const
    {
        for (TGraphicObject* h = Edit()->Handles; h; h = h->Next)
            if (h->Kind() == Kind)
                return QPoint((h->Bounds.Left + h->Bounds.Right) / 2, (h->Bounds.Top + h->Bounds.Bottom) / 2);
        ADD_FAILURE() << "no handle of kind " << Kind;
        return {};
    }
    TGOParAxis* Axis(int i) const
    {
        return Find<TGOParAxis>([i](TGOParAxis* a) { return a->VisibleIndex == i; });
    }
    TGOParDataPoint* Line(int Item) const
    {
        return Find<TGOParDataPoint>([Item](TGOParDataPoint* p) { return p->Index == Item; });
    }

    TMethodsTestData T;
    TPlotTestFrame F;
    TRecordingDataClient Notices;
    TLiveTrackingWatch Watch{T.Data, 0};
    std::vector<TObject*> Listeners;
    TOtherWriter Other{T.Data};
    TParallelCoordinates* Plot = nullptr;
};

} // namespace

// ---- frame and drawing ---------------------------------------------------------------

TEST_F(ParallelCoordinatesTest, OpensWithPolylinesUnderAxesAndSliders)
{
    Open();
    EXPECT_EQ(Plot->GetCapabilities(), TQuorClientCapabilities::fromInt(15));
    EXPECT_EQ(Plot->Form()->windowTitle(), QStringLiteral("Parallel Coordinates"));
    EXPECT_EQ(TParallelCoordinates::PlotInfo().PrinterTitle, QStringLiteral("Parallel Coordinates Plot"));
    EXPECT_TRUE(F.ToolBar->isVisible());
    EXPECT_TRUE(Plot->LiveTracking);
    EXPECT_EQ(Edit()->minimumWidth(), 71);
    EXPECT_EQ(Edit()->minimumHeight(), 111);
    EXPECT_EQ(L().PlotRect, Rect(35, 50, Edit()->width() - 35, Edit()->height() - 60));

    // The polylines lie first in the list, so they are painted first; the
    // slider of the first axis is painted last.
    std::vector<TGraphicObject*> objects;
    for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
        objects.push_back(o);
    ASSERT_EQ(objects.size(), 12u);
    for (int k = 0; k < 4; ++k)
        EXPECT_NE(dynamic_cast<TGOParDataPoint*>(objects[size_t(k)]), nullptr) << k;
    EXPECT_EQ(objects.back(), Slider(0));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Slider(i)->ColorIndex, i);
        EXPECT_EQ(Axis(i)->X, L().PlotRect.Left + L().AxisX[size_t(i)]);
    }
    EXPECT_EQ(Axis(0)->X, L().PlotRect.Left);
    EXPECT_EQ(Axis(3)->X, L().PlotRect.Right);
    EXPECT_TRUE(Slider(1)->Parked);
    EXPECT_FALSE(Slider(0)->Parked);
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsRange || Plot->NeedsSelection
                 || Plot->NeedsRepaint);
}

TEST_F(ParallelCoordinatesTest, ChangesOfOthersSetTheirFlags)
{
    Open();
    struct TCase {
        const char* Name;
        std::function<void(IQuorDataClient&, TData*, TObject*)> Notice;
        bool Rebuild, Layout, Range, Selection;
    };
    const TCase cases[] = {
        {"PointModifications", [](auto& c, auto d, auto a) { c.PointModifications(d, a); }, false, true, false, true},
        {"PointColor", [](auto& c, auto d, auto a) { c.PointColorChange(d, a, 0); }, false, false, false, false},
        {"PointSelection", [](auto& c, auto d, auto a) { c.PointSelectionChange(d, a, 0, true); }, false, false, false, true},
        {"PointExchange", [](auto& c, auto d, auto a) { c.PointExchange(d, a, 0, 1); }, false, true, false, true},
        {"DimExchange", [](auto& c, auto d, auto a) { c.DimExchange(d, a, 0, 1); }, true, true, false, false},
        {"DimVisibility", [](auto& c, auto d, auto a) { c.DimVisibilityChange(d, a, 0, true); }, true, true, true, false},
        {"DimSlider", [](auto& c, auto d, auto a) { c.DimSliderChange(d, a, 0); }, false, false, false, false},
        {"DimBound", [](auto& c, auto d, auto a) { c.DimBoundChange(d, a, 0); }, false, true, true, false},
        {"ValueChange", [](auto& c, auto d, auto a) { c.ValueChange(d, a); }, true, true, true, false},
    };
    for (const TCase& c : cases) {
        c.Notice(*Plot, &T.Data, &Other);
        EXPECT_EQ(Plot->NeedsRebuild, c.Rebuild) << c.Name;
        EXPECT_EQ(Plot->NeedsLayout, c.Layout) << c.Name;
        EXPECT_EQ(Plot->NeedsRange, c.Range) << c.Name;
        EXPECT_EQ(Plot->NeedsSelection, c.Selection) << c.Name;
        EXPECT_TRUE(Plot->NeedsRepaint) << c.Name;
        Plot->DoUpdates();
        // Its own changes set nothing.
        c.Notice(*Plot, &T.Data, Plot);
        EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsRange || Plot->NeedsSelection
                     || Plot->NeedsRepaint)
            << c.Name;
    }
}

TEST_F(ParallelCoordinatesTest, SelectedItemInTwoSlidersShowsItsHalosWidestOutside)
{
    T.Data.SetPointSelected(1, true);
    Open();
    // Item b runs level from A = 5 to B = 5; a quarter of the way along,
    // no other polyline comes near.
    const int x = AxisX(0) + (AxisX(1) - AxisX(0)) / 4;
    const int y = Y(0, 5);
    const QRgb own = Rgb(F.Props.GetValueColor(15));
    const QRgb first = Rgb(F.Props.GetValueColor(0));  // slider of A
    const QRgb second = Rgb(F.Props.GetValueColor(2)); // slider of C
    const QRgb selection = Rgb(0x80FFFF);
    const QRgb white = qRgb(255, 255, 255);
    // Rows y - 5 to y + 6: widths 10, 7, 4 and 1 about the line, the even
    // widths one pixel further below it than above.
    const std::vector<QRgb> expected{white, selection, second, second, first,     own,
                                     first, first,     second, selection, selection, white};
    for (int k = 0; k < int(expected.size()); ++k)
        EXPECT_EQ(Pixel(x, y - 5 + k), expected[size_t(k)]) << "row " << k - 5;
    EXPECT_EQ(Line(1)->HitWidth, 9); // as last painted, with its selection

    // Item d lies in no slider (A = 8, C = 7) and is not selected: one pixel.
    const TGOParDataPoint* d = Line(3);
    const TPoint p = Point(int(d->Vertices[2].x), int(std::nearbyint(d->Vertices[2].y)));
    EXPECT_EQ(Pixel(p.x + 1, p.y - 1), white);
    EXPECT_EQ(Pixel(p.x - 12, p.y), white);
    EXPECT_EQ(d->HitWidth, 3);
}

TEST_F(ParallelCoordinatesTest, SliderOfTheLastAxisGivesItsHalo)
{
    T.SetSlider(3, 0, 2);
    Open();
    // Item c runs from C = 10 down to D = 0, inside D's slider alone; a
    // quarter of the way along, no other polyline comes near.
    const TGOParDataPoint* c = Line(2);
    const TVertexF p = c->Vertices[2];
    const TVertexF q = c->Vertices[3];
    const int x = int(std::nearbyint(p.x + (q.x - p.x) / 4));
    const int y = int(std::nearbyint(p.y + (q.y - p.y) / 4));
    const QRgb halo = Rgb(F.Props.GetValueColor(3));
    int haloPixels = 0;
    for (int dx = -4; dx <= 4; ++dx)
        haloPixels += Pixel(x + dx, y) == halo ? 1 : 0;
    EXPECT_GE(haloPixels, 2);
    EXPECT_EQ(c->HitWidth, 5);
}

TEST_F(ParallelCoordinatesTest, SliderBarsDarkenInMaskModeAndShowTheirValues)
{
    Open();
    const TGOParSlider* s = Slider(0);
    EXPECT_EQ(s->BarRect, Rect(AxisX(0) - 8, Y(0, 6), AxisX(0) + 8, Y(0, 2)));
    const int y = Y(0, 3);
    // Over white the bar's colour, over the black axis line black, the
    // grey outline as it is over white.
    EXPECT_EQ(Pixel(AxisX(0) - 6, y), Rgb(F.Props.GetValueColor(0)));
    EXPECT_EQ(Pixel(AxisX(0), y), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(AxisX(0) - 8, y), qRgb(128, 128, 128));
    // Value labels above and below the bar, on the handle colour.
    EXPECT_EQ(s->HighLabelRect.Bottom, s->BarRect.Top);
    EXPECT_EQ(s->LowLabelRect.Top, s->BarRect.Bottom);
    EXPECT_EQ(Pixel(s->HighLabelRect.Left + 1, s->HighLabelRect.Top + 1), Rgb(0x80CCFF));
    // A parked slider shows its bar below the axis, without labels.
    const TGOParSlider* parked = Slider(1);
    EXPECT_EQ(parked->BarRect, Rect(AxisX(1) - 8, L().PlotRect.Bottom + 11, AxisX(1) + 8, L().PlotRect.Bottom + 41));
    EXPECT_EQ(parked->LowLabelRect.Bottom - parked->LowLabelRect.Top, 4);
    EXPECT_EQ(Pixel(AxisX(1) - 6, L().PlotRect.Bottom + 20), Rgb(F.Props.GetValueColor(1)));
}

TEST_F(ParallelCoordinatesTest, SliderBarsShowOnEitherBackground)
{
    Open();
    const QRgb light = qRgb(255, 255, 255);
    const QRgb dark = qRgb(0, 0, 0);
    // Inverted none, one and two times.
    for (const QRgb background : {light, dark, light}) {
        if (Pixel(5, 5) != background)
            Plot->InvertBackground();
        Paint();
        ASSERT_EQ(Pixel(5, 5), background);
        // Over the background: the bar's colour, the slider on A's and the
        // parked one of B's; over the axis line: the line.
        EXPECT_EQ(Pixel(AxisX(0) - 6, Y(0, 3)), Rgb(F.Props.GetValueColor(0)));
        EXPECT_EQ(Pixel(AxisX(1) - 6, L().PlotRect.Bottom + 20), Rgb(F.Props.GetValueColor(1)));
        EXPECT_EQ(Pixel(AxisX(0), Y(0, 3)), background == light ? dark : light);
    }
}

TEST_F(ParallelCoordinatesTest, NamesAndBoundsOfTheOuterAxesStayInsideTheEditor)
{
    T.DimNames.SetCell(0, 0, TVariant(QStringLiteral("Sepal length")));
    T.DimNames.SetCell(3, 0, TVariant(QStringLiteral("Petal width")));
    T.Data.SetUBound(1, 1.797e308);
    Open();
    const int w = Edit()->ClientWidth();
    const QRgb white = qRgb(255, 255, 255);
    // Ink in the columns of the names' rows: none at the editor's edges,
    // some inside.
    auto inkIn = [&](const TRect& box, int x0, int x1) {
        int ink = 0;
        for (int y = box.Top; y < box.Bottom; ++y)
            for (int x = x0; x <= x1; ++x)
                ink += Pixel(x, y) != white ? 1 : 0;
        return ink;
    };
    // Each name stands over its axis, moved in only as far as the edge
    // makes it: ink across its whole width and nowhere else in its row.
    TCanvas measure;
    measure.SetFont(Plot->NameFont);
    for (int i : {0, 3}) {
        const TRect box = Axis(i)->NameRect;
        const int width = measure.TextWidth(T.Data.GetDimName(i));
        ASSERT_GT(width / 2, std::min(AxisX(i), w - AxisX(i))) << i;
        const int left = std::clamp(AxisX(i) - width / 2, 0, w - width);
        // From the editor's edge to halfway to the next axis.
        const int inner = (AxisX(i) + AxisX(i == 0 ? 1 : 2)) / 2;
        const int from = i == 0 ? 0 : inner;
        const int to = i == 0 ? inner : w - 1;
        EXPECT_EQ(inkIn(box, from, left - 1) + inkIn(box, left + width + 1, to), 0) << i;
        EXPECT_GT(inkIn(box, left, left + width / 4), 0) << i;
        EXPECT_GT(inkIn(box, left + width * 3 / 4, left + width), 0) << i;
    }
    // B's upper bound has 309 digits: cut to its axis's column.
    const TGOParAxis* b = Axis(1);
    const int half = b->NameBoxSize.cx / 2;
    EXPECT_LE(b->UpperLabelSize.cx, b->NameBoxSize.cx);
    const TRect label = Rect(0, L().PlotRect.Top - b->UpperLabelSize.cy, w, L().PlotRect.Top);
    EXPECT_EQ(inkIn(label, AxisX(1) + half + 1, AxisX(2) - 20), 0);
    EXPECT_GT(inkIn(label, AxisX(1) + 20, AxisX(1) + 40), 0);
}

TEST_F(ParallelCoordinatesTest, PolylinesDrawEverySegmentThatCanBePlacedAndNoOther)
{
    // b has no number on C. Each case changes something and names the
    // pixels where no line may run (a stale vertex, an axis without width)
    // and one where b's line must show.
    T.Values.SetCell(2, 1, TVariant(std::numeric_limits<double>::quiet_NaN()));
    struct TCase {
        const char* Name;
        std::function<void(TData&)> Change;
        std::function<std::vector<QPoint>()> Empty;
    };
    const TCase cases[] = {
        {"items exchanged", [](TData& d) { d.ExchangePoints(0, 1); },
         // Where b's line would run to a's old vertex on C (its 0).
         [&] { return std::vector<QPoint>{QPoint((AxisX(1) + AxisX(2)) / 2, (Y(1, 5) + Y(2, 0)) / 2)}; }},
        {"C without width",
         [](TData& d) {
             d.SetLBound(2, 5);
             d.SetUBound(2, 5);
         },
         // Nothing between C and D: no line has a vertex on C.
         [&] {
             std::vector<QPoint> column;
             for (int y = L().PlotRect.Top + 5; y < L().PlotRect.Bottom - 5; ++y)
                 column.push_back(QPoint((AxisX(2) + AxisX(3)) / 2, y));
             return column;
         }},
    };
    const QRgb white = qRgb(255, 255, 255);
    for (const TCase& c : cases) {
        Open();
        Other.Write(c.Change);
        Paint();
        for (const QPoint& p : c.Empty())
            EXPECT_EQ(Pixel(p.x(), p.y()), white) << c.Name << " at " << p.x() << "," << p.y();
        // b between A and B, level at 5.
        EXPECT_NE(Pixel(AxisX(0) + (AxisX(1) - AxisX(0)) / 4, Y(0, 5)), white) << c.Name;
        F.Manager->RemoveClient(QStringLiteral("ParallelCoordinates"));
    }
}

TEST_F(ParallelCoordinatesTest, FewerThanTwoDimensionsEmptyThePlotUntilOneReturns)
{
    Open();
    Other.Write([](TData& d) {
        d.SetDimHidden(1, true);
        d.SetDimHidden(2, true);
        d.SetDimHidden(3, true);
    });
    EXPECT_EQ(Edit()->GetObjects(), nullptr);
    Other.Write([](TData& d) { d.SetDimHidden(2, false); });
    ASSERT_NE(Axis(1), nullptr);
    EXPECT_EQ(Axis(1)->Index, 2);
    EXPECT_EQ(Axis(1)->X, L().PlotRect.Right);
    EXPECT_EQ(Plot->Sliders().size(), 2u);
}

TEST_F(ParallelCoordinatesTest, FullScalePutsEveryAxisOnTheCommonRangeAndTellsThePanel)
{
    Open();
    Other.Write([](TData& d) { d.SetUBound(1, 20); });
    Paint();
    // b has 5 on A and B: level only when both axes span 0 to 20.
    EXPECT_NE(Line(1)->Vertices[0].y, Line(1)->Vertices[1].y);
    Plot->SetFullScale(true); // no panel yet: nothing to tell
    Paint();
    EXPECT_EQ(Line(1)->Vertices[0].y, Line(1)->Vertices[1].y);
    EXPECT_EQ(L().AxisHi(0), 20);

    auto panel = std::make_unique<TScalesPanel>();
    TScalesPanel* p = panel.get();
    F.Manager->AddClient(QStringLiteral("ClusteringFrame"), QStringLiteral("Clustering"), std::move(panel));
    Plot->SetFullScale(false);
    EXPECT_EQ(p->FromPC, 1);
    EXPECT_FALSE(Plot->GetFullScale());
    Paint();
    EXPECT_NE(Line(1)->Vertices[0].y, Line(1)->Vertices[1].y);
}

TEST_F(ParallelCoordinatesTest, InvertingTwiceLeavesEverythingBlackOnWhite)
{
    Open();
    Plot->InvertBackground();
    Paint();
    EXPECT_EQ(BlackPen().Color(), 0xFFFFFFu);
    EXPECT_EQ(Pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(AxisX(1), Y(1, 9)), qRgb(255, 255, 255));
    Plot->InvertBackground();
    Paint();
    EXPECT_EQ(BlackPen().Color(), 0x000000u);
    EXPECT_EQ(Plot->SliderFont.Color(), 0x000000u);
    EXPECT_EQ(Plot->NameFont.Color(), 0x000000u);
    EXPECT_EQ(Plot->SliderHandleBrush.Color(), 0x80CCFFu);
    EXPECT_EQ(Pixel(5, 5), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(AxisX(1), Y(1, 9)), qRgb(0, 0, 0));
}

// ---- selecting -------------------------------------------------------------------------

TEST_F(ParallelCoordinatesTest, StrokedLineSelectsTheVisiblePolylinesItCrosses)
{
    Open();
    Other.Write([](TData& d) { d.SetPointHidden(2, true); });
    Listen(&Notices);
    const int x = AxisX(0) + (AxisX(1) - AxisX(0)) / 4;
    // From a point back to itself: nothing.
    const QPoint start(x, L().PlotRect.Top - 5);
    PacedDragGesture(Edit(), start, {start + QPoint(30, 0), start});
    EXPECT_EQ(T.Data.SelectedPointCount(), 0);
    // Down across all four; c is hidden.
    PacedDragGesture(Edit(), start, {start + QPoint(0, 1), QPoint(x, L().PlotRect.Bottom + 5)});
    EXPECT_TRUE(T.Data.IsPointSelected(0));
    EXPECT_TRUE(T.Data.IsPointSelected(1));
    EXPECT_FALSE(T.Data.IsPointSelected(2));
    EXPECT_TRUE(T.Data.IsPointSelected(3));
    EXPECT_EQ(Notices.Count(QStringLiteral("PointSelectionChange")), 3);
    // With Ctrl a short stroke across b alone takes it out again.
    const int yb = Y(0, 5);
    PacedDragGesture(Edit(), QPoint(x, yb - 8), {QPoint(x, yb - 7), QPoint(x, yb + 8)}, Qt::ControlModifier);
    EXPECT_TRUE(T.Data.IsPointSelected(0));
    EXPECT_FALSE(T.Data.IsPointSelected(1));
    EXPECT_TRUE(T.Data.IsPointSelected(3));
    EXPECT_EQ(Plot->SelectedSliderDim(), -1);
    EXPECT_EQ(Edit()->Handles, nullptr); // several selected: no handles
    // The stroke left no pixel behind.
    Paint();
    const QImage painted = Edit()->BackingImage();
    Edit()->Invalidate();
    Paint();
    EXPECT_EQ(Edit()->BackingImage(), painted);
}

TEST_F(ParallelCoordinatesTest, ClicksSelectItemsAxesAndSliders)
{
    Open();
    Listen(&Notices);
    const int x = AxisX(0) + (AxisX(1) - AxisX(0)) / 4;
    PacedClickGesture(Edit(), QPoint(x, Y(0, 5)));
    EXPECT_TRUE(T.Data.IsPointSelected(1));
    EXPECT_EQ(Plot->SelectedSliderDim(), -1);
    PacedClickGesture(Edit(), QPoint(AxisX(2), Y(2, 9)));
    EXPECT_TRUE(T.Data.IsDimSelected(2));
    EXPECT_FALSE(T.Data.IsPointSelected(1));
    EXPECT_EQ(Plot->SelectedSliderDim(), -1);
    PacedClickGesture(Edit(), QPoint(AxisX(2) - 6, Y(2, 4)));
    EXPECT_FALSE(T.Data.IsDimSelected(2));
    EXPECT_EQ(Plot->SelectedSliderDim(), 2);
    EXPECT_EQ(Notices.Changes(), QStringList({"PointSelectionChange 1 true", "PointSelectionChange 1 false",
                                              "DimSelectionChange 2 true", "DimSelectionChange 2 false"}));
}

// ---- dragging axes ---------------------------------------------------------------------

TEST_F(ParallelCoordinatesTest, AxisDroppedNearAnotherExchangesTheDimensions)
{
    Open();
    Listen(&Notices);
    struct TCase {
        int From;
        int DropX; // relative to the axis at position To
        int To;
        bool Exchanges;
    };
    const TCase cases[] = {
        {0, 3, 0, false},   // near its own place
        {0, 9, 1, false},   // beyond the snap distance
        {0, -8, 1, true},   // within it
        {1, -500, 0, true}, // past the plot's edge: stops on the first axis
    };
    for (const TCase& c : cases) {
        Notices.Clear();
        const QString fromName = T.Data.GetDimName(T.Data.GetVisibleDim(c.From));
        const QString toName = T.Data.GetDimName(T.Data.GetVisibleDim(c.To));
        const QPoint start(AxisX(c.From), Y(c.From, 9));
        const int dx = AxisX(c.To) + c.DropX - start.x();
        PacedDragGesture(Edit(), start, {start + QPoint(1, 0), start + QPoint(1 + dx, 0)});
        QCoreApplication::processEvents();
        Paint();
        EXPECT_EQ(T.Data.GetDimName(T.Data.GetVisibleDim(c.To)), c.Exchanges ? fromName : toName) << c.DropX;
        EXPECT_EQ(Notices.Notices.contains(QStringLiteral("DimExchange %1 %2").arg(c.From).arg(c.To))
                      || Notices.Notices.contains(QStringLiteral("DimExchange %1 %2").arg(c.To).arg(c.From)),
                  c.Exchanges)
            << c.DropX;
        EXPECT_EQ(Axis(c.From)->X, AxisX(c.From)) << c.DropX;
        EXPECT_EQ(Edit()->Mode, emIdle);
        EXPECT_EQ(Plot->UpdateLevel, 0);
    }
    // Rebuilt in the new order: B, A, C, D, then A and B again.
    EXPECT_EQ(Axis(0)->GetCaption(), QStringLiteral("Dimension A"));
    EXPECT_EQ(Axis(1)->GetCaption(), QStringLiteral("Dimension B"));
}

// ---- sliders ---------------------------------------------------------------------------

TEST_F(ParallelCoordinatesTest, SliderPushedUpStopsAtTheTopAndTracksLive)
{
    Open();
    Listen(&Notices);
    Listen(&Watch);
    TGraphicObject* first = Edit()->GetObjects();
    const QPoint start(AxisX(0) - 6, Y(0, 4));
    PacedDragGesture(Edit(), start, {start + QPoint(0, -1), start + QPoint(0, -40), QPoint(start.x(), 2)});
    const TGOParSlider* s = Slider(0);
    EXPECT_EQ(s->HighY, L().PlotRect.Top);
    EXPECT_EQ(s->LowY - s->HighY, Y(0, 2) - Y(0, 6));
    EXPECT_DOUBLE_EQ(T.Data.GetSliderHigh(0), 10);
    EXPECT_NEAR(T.Data.GetSliderLow(0), 6, 0.1);
    EXPECT_FALSE(T.Data.GetSliderOff(0));
    // One live write per step, then the release's batch; each carries a
    // slider change.
    EXPECT_GE(Watch.SliderOff.size(), 2u);
    EXPECT_EQ(Notices.Deliveries, int(Watch.SliderOff.size()) + 1);
    EXPECT_GE(Notices.Count(QStringLiteral("DimSliderChange")), Notices.Deliveries);
    // The plot ignored its own writes: nothing rebuilt, b's halo follows
    // the bar it shows (A = 5 now lies below the bar).
    EXPECT_EQ(Edit()->GetObjects(), first);
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout);
    Paint();
    EXPECT_EQ(Pixel(AxisX(0) + (AxisX(1) - AxisX(0)) / 4, Y(0, 5) - 2), qRgb(255, 255, 255));
}

// The program was busy when the last moves and the release came: they
// arrive together, in one poll of the drag loop or another. The slider
// still ends where the button went up, written live and then on release.
TEST_F(ParallelCoordinatesTest, SliderEndsAtTheReleaseThatCameWithTheLastMoves)
{
    Open();
    Listen(&Watch);
    const QPoint start(AxisX(0) - 6, Y(0, 4));
    TGOEdit* edit = Edit();
    auto event = [edit](QEvent::Type type, QPoint pos) {
        const QPointF at(pos);
        return std::make_unique<QMouseEvent>(type, at, at, QPointF(edit->mapToGlobal(pos)), Qt::LeftButton,
                                             type == QEvent::MouseMove ? Qt::LeftButton : Qt::NoButton,
                                             Qt::NoModifier);
    };
    // Late moves of different counts after different pauses meet the polls
    // at different points.
    for (int pause = 100; pause < 110; ++pause)
    for (int late = 1; late <= 3; ++late) {
        SCOPED_TRACE(QStringLiteral("%1 late after %2").arg(late).arg(pause).toStdString());
        Other.Write([](TData& d) { d.SetSliderLow(0, 2), d.SetSliderHigh(0, 6), d.SetSliderOff(0, false); });
        Paint();
        const TGOParSlider* s = Slider(0);
        const double high = s->HighY;
        Watch.SliderOff.clear();
        HoverGesture(edit, start);
        TGesture(edit)
            .Paced(pause)
            .MoveTo(start + QPoint(0, -1))
            .MoveTo(start + QPoint(0, -10))
            .Then([&] {
                for (int i = 1; i <= late; ++i)
                    MouseQueue::Enqueue(edit, event(QEvent::MouseMove, start + QPoint(0, -10 - 20 * i / late)));
                MouseQueue::Enqueue(edit, event(QEvent::MouseButtonRelease, start + QPoint(0, -30)));
            })
            .Press(start);
        // The move that made the press a drag counts too.
        EXPECT_EQ(s->HighY, std::nearbyint(high) - 30);
        const TRect& r = L().PlotRect;
        EXPECT_NEAR(T.Data.GetSliderHigh(0), (r.Bottom - s->HighY) * 10 / (r.Bottom - r.Top), 1e-9);
        EXPECT_FALSE(T.Data.GetSliderOff(0));
        // Live steps for the paced moves only: moves that came with the
        // release are the release's, which announces no more to come.
        EXPECT_EQ(Watch.SliderOff.size(), 2u);
        EXPECT_EQ(MouseQueue::QueuedMouseEvents(), 0);
    }
}

// A quick drag: the one move that makes the press a drag comes with the
// release. The bar still goes the whole way, and the release writes it.
TEST_F(ParallelCoordinatesTest, QuickSliderDragEndsWhereTheButtonWentUp)
{
    Open();
    Other.Write([](TData& d) { d.SetSliderLow(0, 2), d.SetSliderHigh(0, 6), d.SetSliderOff(0, false); });
    Paint();
    const TGOParSlider* s = Slider(0);
    const double high = s->HighY;
    const QPoint start(AxisX(0) - 6, Y(0, 4));
    HoverGesture(Edit(), start);
    TGesture(Edit()).Paced().MoveTo(start + QPoint(0, -4)).Release(start + QPoint(0, -4)).Press(start);
    EXPECT_EQ(s->HighY, std::nearbyint(high) - 4);
    const TRect& r = L().PlotRect;
    EXPECT_NEAR(T.Data.GetSliderHigh(0), (r.Bottom - s->HighY) * 10 / (r.Bottom - r.Top), 1e-9);
}

TEST_F(ParallelCoordinatesTest, LowerEndDraggedAboveTheUpperEndSwapsThem)
{
    Open();
    PacedClickGesture(Edit(), QPoint(AxisX(0) - 6, Y(0, 4)));
    ASSERT_EQ(Plot->SelectedSliderDim(), 0);
    const QPoint start = HandleAt(gokBottom);
    const int high = Y(0, 6);
    const int length = Y(0, 2) - high;
    PacedDragGesture(Edit(), start, {start + QPoint(0, -1), start + QPoint(0, -length - 20)});
    const TGOParSlider* s = Slider(0);
    EXPECT_EQ(s->LowY, high);
    EXPECT_EQ(s->HighY, high - 20);
    EXPECT_NEAR(T.Data.GetSliderLow(0), 6, 0.1);
    EXPECT_GT(T.Data.GetSliderHigh(0), T.Data.GetSliderLow(0));
}

// The lower handle moves the lower end alone, all the way the mouse went:
// the motion that made the press a drag included, and whatever moved the
// bar before.
TEST_F(ParallelCoordinatesTest, LowerHandleMovesOnlyTheLowerEndWhereTheMouseLetGo)
{
    Open();
    struct TCase {
        const char* Name;
        int FirstStep;
        bool FromParked;
    };
    const TCase cases[] = {
        {"selected by a click", 1, false},
        {"selected by a click, the one move coming with the release", 60, false},
        {"first resize after a move off the parking place", 3, true},
    };
    const QPoint bar(AxisX(1) - 6, L().PlotRect.Bottom + 20);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Other.Write([&](TData& d) { d.SetSliderLow(1, 2), d.SetSliderHigh(1, 6), d.SetSliderOff(1, c.FromParked); });
        Paint();
        if (c.FromParked)
            PacedDragGesture(Edit(), bar, {bar + QPoint(0, -c.FirstStep), bar + QPoint(0, -101)});
        else
            PacedClickGesture(Edit(), QPoint(AxisX(1) - 6, Y(1, 4)));
        ASSERT_EQ(Plot->SelectedSliderDim(), 1);
        const TGOParSlider* s = Slider(1);
        const double high = s->HighY;
        const double low = s->LowY;
        const double highValue = T.Data.GetSliderHigh(1);
        const QPoint start = HandleAt(gokBottom);
        PacedDragGesture(Edit(), start, {start + QPoint(0, c.FirstStep), start + QPoint(0, 60)});
        EXPECT_EQ(s->HighY, high);
        EXPECT_EQ(s->LowY, std::nearbyint(low) + 60);
        EXPECT_DOUBLE_EQ(T.Data.GetSliderHigh(1), highValue);
        const TRect& r = L().PlotRect;
        EXPECT_NEAR(T.Data.GetSliderLow(1), (r.Bottom - s->LowY) * 10 / (r.Bottom - r.Top), 1e-9);
    }
}

TEST_F(ParallelCoordinatesTest, SliderReleasedBelowTheAxisParksAndSwitchesOff)
{
    Open();
    Listen(&Watch);
    const QPoint start(AxisX(0) - 6, Y(0, 4));
    const int below = L().PlotRect.Bottom + 5 - Y(0, 6);
    PacedDragGesture(Edit(), start, {start + QPoint(0, 1), start + QPoint(0, 1 + below)});
    EXPECT_TRUE(T.Data.GetSliderOff(0));
    ASSERT_FALSE(Watch.SliderOff.empty());
    EXPECT_TRUE(Watch.SliderOff.back()); // already while dragging
    const TGOParSlider* s = Slider(0);
    EXPECT_TRUE(s->Parked);
    EXPECT_EQ(s->HighY, L().PlotRect.Bottom + 11);

    // Dragged back up onto the axis it marks a range again.
    const QPoint parked(AxisX(0) - 6, L().PlotRect.Bottom + 20);
    PacedDragGesture(Edit(), parked, {parked + QPoint(0, -1), parked + QPoint(0, -41)});
    EXPECT_FALSE(T.Data.GetSliderOff(0));
    EXPECT_EQ(s, Slider(0));
    EXPECT_FALSE(s->Parked);
    EXPECT_EQ(s->HighY, L().PlotRect.Bottom - 30);
    EXPECT_NEAR(T.Data.GetSliderHigh(0), 30.0 * 10 / (L().PlotRect.Bottom - L().PlotRect.Top), 1e-9);
}

TEST_F(ParallelCoordinatesTest, WithoutLiveTrackingTheSliderWritesOnlyOnRelease)
{
    F.Props.LiveTracking = false;
    Open();
    EXPECT_FALSE(Plot->LiveTracking);
    Listen(&Notices);
    Listen(&Watch);
    const TGOParSlider* s = Slider(0);
    const double high = s->HighY;
    const QPoint start(AxisX(0) - 6, Y(0, 4));
    double shownHigh = 0;
    double barHigh = 0;
    HoverGesture(Edit(), start);
    TGesture(Edit())
        .Paced()
        .MoveTo(start + QPoint(0, -1))
        .MoveTo(start + QPoint(0, -21))
        .Then([&] {
            shownHigh = s->EffectiveEnds().HighY;
            barHigh = s->HighY;
        })
        .Release(start + QPoint(0, -21))
        .Press(start);
    // While dragging, the halos kept to the bar as it was; nothing was written.
    EXPECT_EQ(shownHigh, high);
    EXPECT_LT(barHigh, high);
    EXPECT_TRUE(Watch.SliderOff.empty());
    EXPECT_EQ(Notices.Deliveries, 1);
    EXPECT_GT(T.Data.GetSliderHigh(0), 6);
    // The release adds the move that made the press a drag.
    EXPECT_EQ(s->HighY, barHigh - 1);
}

TEST_F(ParallelCoordinatesTest, HoverNamesWhatLiesUnderTheMouse)
{
    Open();
    HoverGesture(Edit(), QPoint(AxisX(0) - 6, Y(0, 4)));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("Slider [Drag it onto the axis to mark a range]"));
    HoverGesture(Edit(), QPoint(AxisX(1), Y(1, 9)));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("Dimension: B [Drag it over another dimension to exchange them]"));
    HoverGesture(Edit(), QPoint(AxisX(0), Y(0, 4)));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("Slider, Dimension A [Click to cycle through items]"));
    HoverGesture(Edit(), QPoint(AxisX(0) + (AxisX(1) - AxisX(0)) / 4, Y(0, 5)));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("Data item: b [Click to select / Ctrl-Click to add or remove]"));
    HoverGesture(Edit(), QPoint(5, 5));
    EXPECT_EQ(F.Hint.text(), QString());
}

TEST_F(ParallelCoordinatesTest, SelectionsOfOthersShowAndClosingLogsOnce)
{
    Open();
    Other.Write([](TData& d) {
        d.SetPointSelected(3, true);
        d.SetDimSelected(1, true);
    });
    EXPECT_TRUE(Edit()->IsSelected(Line(3)));
    EXPECT_TRUE(Edit()->IsSelected(Axis(1)));
    EXPECT_EQ(SelectionCount(Edit()->GetSelection()), 2);
    QPointer<TQuorMethodBaseForm> form = Plot->Form();
    form->close();
    EXPECT_EQ(F.CountLog(QStringLiteral("close 1")), 1);
    EXPECT_FALSE(F.Manager->HasClient(QStringLiteral("ParallelCoordinates")));
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.isNull(); }, 2000));
}
