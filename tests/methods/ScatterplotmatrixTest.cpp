#include "PlotTestFrame.h"

#include "ObjectEditor/GOECopyOptions.h"
#include "ObjectEditor/GOEPrintOptions.h"
#include "methods/QuorScatterplotmatrix.h"
#include "platform/Metafile.h"
#include "support/Gestures.h"
#include "support/TestSupport.h"
#include "platform/Exceptions.h"
#include "QuorData/Utility.h"

#include <climits>

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QPageSize>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

namespace {

constexpr TColor kYellow = 0x00FFFF;

QRgb Rgb(TColor c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

class ScatterplotmatrixTest : public ::testing::Test {
protected:
    ScatterplotmatrixTest()
        : T(TMethodsTestData::Standard()), F(T)
    {
        T.SetSlider(0, 2, 6);
        T.SetSlider(2, 1, 5);
        CreateLog();
    }

    ~ScatterplotmatrixTest() override
    {
        if (Listening)
            T.Data.UnregisterClient(&Notices);
    }

    // Registers the second client after the plot.
    void Listen()
    {
        T.Data.RegisterClient(&Notices);
        Listening = true;
        Notices.Clear();
    }

    // Opens the plot as its toggle does, sized so that the cells are about
    // 100 pixels, and painted.
    TScatterplotmatrix* Open()
    {
        auto plot = std::make_unique<TScatterplotmatrix>(&F.Area);
        Plot = plot.get();
        F.Manager->AddClient(QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"),
                             std::move(plot));
        Plot->Form()->resize(560, 540);
        QCoreApplication::processEvents();
        Paint();
        return Plot;
    }

    void Paint()
    {
        Edit()->Repaint();
    }

    TGOEdit* Edit() const { return Plot->Editor(); }
    const TScatterplotLayout& L() const { return Plot->Layout; }
    QRgb Pixel(int x, int y) const { return Edit()->BackingImage().pixel(x, y); }

    // The dot centre of an item in cell (column c, row r).
    QPoint Dot(int Item, int c, int r) const
    {
        const TData& d = T.Data;
        return QPoint(L().ValueToX(d, c, d.GetValue(Item, d.GetVisibleDim(c))),
                      L().ValueToY(d, r, d.GetValue(Item, d.GetVisibleDim(r))));
    }

    template <typename C> C* Find(std::function<bool(C*)> Match = nullptr) const
    {
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
            if (auto* c = dynamic_cast<C*>(o); c && (!Match || Match(c)))
                return c;
        return nullptr;
    }

    TGOScatterAxisLabel* Label(bool Row, int Position) const
    {
        return Find<TGOScatterAxisLabel>(
            [&](TGOScatterAxisLabel* l) { return l->IsRowLabel == Row && l->Position == Position; });
    }

    void Hover(QPoint Pos) { HoverGesture(Edit(), Pos); }

    TMethodsTestData T;
    TPlotTestFrame F;
    TRecordingDataClient Notices;
    bool Listening = false;
    TOtherWriter Other{T.Data};
    TScatterplotmatrix* Plot = nullptr;
};

} // namespace

// ---- frame ----------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, OpensIntoItsWindowWithToolBarAndObjects)
{
    Open();
    EXPECT_EQ(Plot->GetCapabilities(), TQuorClientCapabilities::fromInt(15));
    EXPECT_EQ(Plot->Form()->windowTitle(), QStringLiteral("Scatterplot Matrix"));
    EXPECT_TRUE(Plot->Form()->isVisible());
    EXPECT_TRUE(F.ToolBar->isVisible());
    EXPECT_TRUE(Plot->Form()->isAncestorOf(F.ToolBar));
    EXPECT_EQ(F.ToolBar->orientation(), Qt::Vertical);
    EXPECT_EQ(F.ToolBar->geometry().left(), 0);
    EXPECT_TRUE(Plot->Form()->isAncestorOf(Edit()));
    EXPECT_EQ(Plot->CopyParts, TGOEParts::fromInt(7));
    EXPECT_EQ(Plot->PrintParts, TGOEParts::fromInt(7));

    // 4 items, 4 sliders, 6 cells, 8 labels; every flag worked off.
    int count = 0;
    for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
        ++count;
    EXPECT_EQ(count, 4 + 4 + 6 + 8);
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsSelection || Plot->NeedsRepaint);
    // Painted first to last: labels, cells, sliders, dots.
    EXPECT_NE(dynamic_cast<TGOScatterAxisLabel*>(Edit()->GetObjects()), nullptr);
    EXPECT_NE(dynamic_cast<TGOScatterDataPoint*>(LastObject(Edit()->GetObjects())), nullptr);
    EXPECT_EQ(Edit()->minimumWidth(), L().GetMinSize(4).cx + 40 + 35);
    EXPECT_EQ(Edit()->minimumHeight(), L().GetMinSize(4).cy + 5 + 83);

    // Detached, the tool bar goes home hidden.
    F.Manager->RemoveClient(QStringLiteral("ScatterplotMatrix"));
    EXPECT_FALSE(F.ToolBar->isVisible());
    EXPECT_EQ(F.ToolBar->parentWidget(), &F.ToolBarHome);
    EXPECT_TRUE(std::find(T.Data.Clients().begin(), T.Data.Clients().end(), Plot) == T.Data.Clients().end());
}

TEST_F(ScatterplotmatrixTest, ReentryEndsInTheSilentAbort)
{
    Open();
    Plot->UpdateLevel = 1;
    EXPECT_THROW(Plot->DoUpdates(), EAbort);
    EXPECT_THROW(Plot->Update(), EAbort);
    Plot->UpdateLevel = 0;
    Plot->PaintLevel = 1;
    EXPECT_THROW(Plot->Update(), EAbort);
    EXPECT_NO_THROW(Plot->DoUpdates());
    Plot->PaintLevel = 0;
    EXPECT_NO_THROW(Plot->Update());
    EXPECT_EQ(Plot->UpdateLevel, 0);
    EXPECT_EQ(Plot->PaintLevel, 0);
}

TEST_F(ScatterplotmatrixTest, ChangesOfOthersSetFlagsAndTheDeliveryUpdates)
{
    Open();
    Other.Write([](TData& d) { d.SetPointColor(1, 3); });
    EXPECT_FALSE(Plot->NeedsRepaint); // worked off in EndEvents
    Plot->PointColorChange(&T.Data, &Other, 1);
    EXPECT_TRUE(Plot->NeedsRepaint);
    EXPECT_FALSE(Plot->NeedsLayout || Plot->NeedsRebuild || Plot->NeedsSelection);
    // A slider moves its bands alone: the dots keep their layout.
    Other.Write([](TData& d) {
        d.SetSliderLow(1, 1);
        d.SetSliderHigh(1, 7);
        d.SetSliderOff(1, false);
    });
    for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
        if (auto* slider = dynamic_cast<TGOScatterSlider*>(o); slider && slider->Position == 1) {
            const TGOScatterSlider::TBands bands = slider->CalcBands();
            ASSERT_TRUE(bands.HasRow && bands.HasColumn);
            const TRect& r = bands.RowBand;
            const TRect& c = bands.ColumnBand;
            EXPECT_EQ(slider->Bounds, Rect(std::min(r.Left, c.Left), std::min(r.Top, c.Top),
                                           std::max(r.Right, c.Right), std::max(r.Bottom, c.Bottom)));
        }
    Plot->DimSliderChange(&T.Data, &Other, 0);
    EXPECT_FALSE(Plot->NeedsLayout);
    EXPECT_TRUE(Plot->NeedsRepaint);
    Plot->DimExchange(&T.Data, &Other, 0, 1);
    EXPECT_TRUE(Plot->NeedsRebuild);
    Plot->DoUpdates();
    // Its own changes set nothing.
    Plot->ValueChange(&T.Data, Plot);
    Plot->PointSelectionChange(&T.Data, Plot, 0, true);
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsSelection || Plot->NeedsRepaint);
}

// ---- drawing --------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, SelectedDotInTwoSlidersShowsItsRingsFromOutsideIn)
{
    T.Data.SetPointSelected(1, true);
    Open();
    // Item b in cell (column B, row D): no slider band there, white around.
    const QPoint c = Dot(1, 1, 3);
    const QRgb own = Rgb(F.Props.GetValueColor(15));
    const QRgb first = Rgb(F.Props.GetValueColor(0));  // slider of A
    const QRgb second = Rgb(F.Props.GetValueColor(2)); // slider of C
    const std::vector<QRgb> expected{Rgb(kYellow), Rgb(kYellow), second, second, first, first, own, own};
    for (int i = 0; i < 8; ++i) {
        const int s = 7 - i;
        EXPECT_EQ(Pixel(c.x() + s, c.y()), expected[size_t(i)]) << "right " << s;
        EXPECT_EQ(Pixel(c.x() - s, c.y()), expected[size_t(i)]) << "left " << s;
        EXPECT_EQ(Pixel(c.x(), c.y() + s), expected[size_t(i)]) << "below " << s;
        EXPECT_EQ(Pixel(c.x(), c.y() - s), expected[size_t(i)]) << "above " << s;
        EXPECT_EQ(Pixel(c.x() + s, c.y() - s), expected[size_t(i)]) << "corner " << s;
    }
    EXPECT_EQ(Pixel(c.x() + 8, c.y()), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(c.x() - 8, c.y() - 8), qRgb(255, 255, 255));

    // Unselected item d outside both sliders: the dot alone, 3 pixels wide.
    const QPoint d = Dot(3, 1, 3);
    EXPECT_EQ(Pixel(d.x() - 1, d.y() + 1), own);
    EXPECT_EQ(Pixel(d.x() + 2, d.y()), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(d.x(), d.y() - 2), qRgb(255, 255, 255));
}

TEST_F(ScatterplotmatrixTest, DotsFilledInBatchesMatchSquaresFilledOneByOne)
{
    T.Data.SetPointSelected(1, true);
    Open();
    // Bands in mask mode below, then every dot, under a clip that cuts
    // through cells: as the matrix draws them, and as squares filled one by
    // one, outermost ring first, each cut to its cell less the frame pixel.
    const TScatterplotLayout& l = L();
    const TRect plot = l.PlotRect;
    const TRect clip = Rect(plot.Left + 37, plot.Top + 23, plot.Right - 41, plot.Bottom - 19);
    auto render = [&](const TPoint& Origin, bool ByMatrix) {
        QImage image(Edit()->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        TCanvas canvas(&image);
        canvas.SetViewportOrg(Origin.x, Origin.y);
        canvas.IntersectClipRect(clip);
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
            if (dynamic_cast<TGOScatterSlider*>(o))
                o->Draw(canvas);
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next) {
            auto* item = dynamic_cast<TGOScatterDataPoint*>(o);
            if (!item)
                continue;
            if (ByMatrix) {
                item->Draw(canvas);
                continue;
            }
            TCanvas layersOnly; // draws nothing; gives the item its layers
            item->PaintPoint(layersOnly, false);
            for (int layer = int(item->Layers.size()) - 1; layer >= 0; --layer) {
                canvas.Brush().SetColor(item->Layers[size_t(layer)]);
                const int spread = l.RingWidth * layer;
                for (int c = 0; c < l.GridCount(); ++c)
                    for (int r = c + 1; r < l.GridCount(); ++r) {
                        const QPoint dot = Dot(item->Point, c, r);
                        const QRect square = QRect(QPoint(dot.x() - l.DotHalf - spread, dot.y() - l.DotHalf - spread),
                                                   QPoint(dot.x() + l.DotRest + spread, dot.y() + l.DotRest + spread))
                                                 .intersected(QRect(QPoint(l.ColumnLeft(c) + 1, l.RowTop(r) + 1),
                                                                    QPoint(l.ColumnRight(c) - 1, l.RowBottom(r) - 1)));
                        if (!square.isEmpty())
                            canvas.FillRect(ToTRect(square));
                    }
            }
        }
        return image;
    };
    const QImage painted = render(TPoint{}, true);
    EXPECT_EQ(painted, render(TPoint{}, false));
    // Something of the dots was drawn, and clipped.
    const QPoint b = Dot(1, 0, 2);
    ASSERT_TRUE(PtInRect(clip, ToTPoint(b)));
    EXPECT_EQ(painted.pixel(b), Rgb(F.Props.GetValueColor(15)));
    EXPECT_EQ(painted.pixel(plot.Left + 36, plot.Top + 60), qRgb(255, 255, 255));
    // A mapped canvas: the same picture, moved, both ways.
    const QImage moved = render(TPoint{7, 5}, true);
    EXPECT_EQ(moved, render(TPoint{7, 5}, false));
    EXPECT_EQ(moved.copy(7, 5, painted.width() - 7, painted.height() - 5),
              painted.copy(0, 0, painted.width() - 7, painted.height() - 5));
}

TEST_F(ScatterplotmatrixTest, DotOutsideTheBoundsIsClippedToTheCellLessOnePixel)
{
    Open();
    // Item a has B = 10. Bounds of B 10 wide from 10 + 20 / span put its
    // dot centre at t = -2 / span, on the cell's left frame column.
    const TRect cell = L().CellRect(1, 2);
    const int span = cell.Width() - 2 - 3;
    Other.Write([&](TData& d) {
        d.SetLBound(1, 10.0 + 20.0 / span);
        d.SetUBound(1, 20.0 + 20.0 / span);
    });
    Paint();
    const QPoint a = Dot(0, 1, 2);
    ASSERT_EQ(a.x(), cell.Left);
    const QRgb own = Rgb(F.Props.GetValueColor(15));
    // Only the column inside the frame shows the dot; the frame stays black.
    EXPECT_EQ(Pixel(cell.Left + 1, a.y()), own);
    EXPECT_EQ(Pixel(cell.Left + 1, a.y() - 1), own);
    EXPECT_EQ(Pixel(cell.Left, a.y()), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(cell.Left - 1, a.y()), qRgb(255, 255, 255));
}

TEST_F(ScatterplotmatrixTest, SliderBandsDarkenTheCellsAndLeaveFramesBlack)
{
    Open();
    const auto* slider = Find<TGOScatterSlider>([](TGOScatterSlider* s) { return s->Position == 0; });
    ASSERT_NE(slider, nullptr);
    // A at position 0 has only a column band: column 0, rows 1 to 3.
    const TGOScatterSlider::TBands bands = slider->CalcBands();
    EXPECT_FALSE(bands.HasRow);
    ASSERT_TRUE(bands.HasColumn);
    EXPECT_EQ(slider->Bounds, bands.ColumnBand);
    EXPECT_EQ(bands.ColumnBand.Top, L().RowTop(1));
    EXPECT_EQ(bands.ColumnBand.Bottom, L().PlotRect.Bottom);
    EXPECT_EQ(bands.ColumnBand.Left, L().ValueToX(T.Data, 0, 2) - 1);
    EXPECT_EQ(bands.ColumnBand.Right, L().ValueToX(T.Data, 0, 6) + 1);
    // Inside the band, off the frame and the dots: the pale tint of A's colour.
    const TColor tint = BlendColors(0xFFFFFF, F.Props.GetValueColor(0), 0.5f);
    const int x = (bands.ColumnBand.Left + bands.ColumnBand.Right) / 2;
    const TRect cell = L().CellRect(0, 2);
    EXPECT_EQ(Pixel(x, cell.Top + 10), Rgb(tint));
    EXPECT_EQ(Pixel(x, cell.Top), qRgb(0, 0, 0));
    // The band's own outline is the grey pen masked over white.
    EXPECT_EQ(Pixel(bands.ColumnBand.Left, cell.Top + 10), qRgb(128, 128, 128));

    // C at position 2 has both bands; its bounds hold them both.
    const auto* both = Find<TGOScatterSlider>([](TGOScatterSlider* s) { return s->Position == 2; });
    const TGOScatterSlider::TBands b2 = both->CalcBands();
    ASSERT_TRUE(b2.HasRow && b2.HasColumn);
    EXPECT_EQ(both->Bounds.Left, L().PlotRect.Left);
    EXPECT_EQ(both->Bounds.Bottom, L().PlotRect.Bottom);
    EXPECT_EQ(b2.RowBand.Right, L().ColumnRight(1) - 1);
    // B's slider is off: empty bounds, no band.
    const auto* off = Find<TGOScatterSlider>([](TGOScatterSlider* s) { return s->Position == 1; });
    EXPECT_EQ(off->Bounds, TRect{});
}

TEST_F(ScatterplotmatrixTest, LabelsAndScalesAreDrawnOnTheirSides)
{
    Open();
    const TGOScatterAxisLabel* row = Label(true, 1);
    const TGOScatterAxisLabel* column = Label(false, 1);
    ASSERT_TRUE(row && column);
    EXPECT_EQ(row->Partner, column);
    EXPECT_EQ(column->Partner, row);
    EXPECT_EQ(row->Edge, L().ColumnLeft(0) - 5);
    EXPECT_EQ(row->LabelRect, Rect(row->Edge - 30, row->Centre - row->Length / 2, row->Edge + 1,
                                   row->Centre + row->Length / 2 + 1));
    EXPECT_EQ(column->Edge, L().RowBottom(3) + 48);
    EXPECT_EQ(row->Cursor, crHSplit);
    EXPECT_EQ(column->Cursor, crVSplit);
    EXPECT_TRUE(HasFlags(row->Flags, gofScatRowLabel | gofMovable | gofSelectable));
    EXPECT_TRUE(HasFlags(column->Flags, gofScatColumnLabel));

    auto inkIn = [&](const TRect& r) {
        int ink = 0;
        for (int y = std::max(0, r.Top); y < r.Bottom; ++y)
            for (int x = std::max(0, r.Left); x < r.Right; ++x)
                ink += Pixel(x, y) != qRgb(255, 255, 255);
        return ink;
    };
    EXPECT_GT(inkIn(row->LabelRect), 0);
    EXPECT_GT(inkIn(column->LabelRect), 0);
    // Bottom scales under the last row, right scales beside the diagonal,
    // none on the left of the first column.
    const TRect last = L().CellRect(0, 3);
    EXPECT_EQ(Pixel(last.Left + 1, last.Bottom + 4), qRgb(0, 0, 0));
    const TRect diagonal = L().CellRect(1, 2);
    EXPECT_EQ(Pixel(diagonal.Right + 4, diagonal.Top + 1), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(last.Left - 5, last.Top + 1), qRgb(255, 255, 255));
}

TEST_F(ScatterplotmatrixTest, LongRowLabelIsShortenedWithDots)
{
    TMethodsTestData data({"A dimension with a very long name that cannot fit", "B"}, {"a", "b"},
                          {{0, 1}, {1, 0}});
    TPlotTestFrame frame(data);
    auto plot = std::make_unique<TScatterplotmatrix>(&frame.Area);
    TScatterplotmatrix* p = plot.get();
    frame.Manager->AddClient(QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"),
                             std::move(plot));
    p->Form()->resize(300, 250);
    QCoreApplication::processEvents();
    p->Editor()->Repaint();
    for (TGraphicObject* o = p->Editor()->GetObjects(); o; o = o->Next)
        if (auto* l = dynamic_cast<TGOScatterAxisLabel*>(o); l && l->IsRowLabel && l->Position == 0) {
            // The turned text stays inside the row's height.
            int top = INT_MAX, bottom = -1;
            // Up to the next row, where the next label begins.
            for (int y = 0; y < p->Layout.RowTop(1); ++y)
                for (int x = l->LabelRect.Left; x < l->LabelRect.Right; ++x)
                    if (p->Editor()->BackingImage().pixel(x, y) != qRgb(255, 255, 255)) {
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                    }
            EXPECT_GE(top, l->Centre - l->Length / 2 - 1);
            EXPECT_LE(bottom, l->Centre + l->Length / 2 + 1);
            EXPECT_GT(bottom, top);
        }
}

// ---- interaction ------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, ClickOnADotSelectsTheItemForEveryoneButTheMatrixItself)
{
    Open();
    Listen();
    TGraphicObject* first = Edit()->GetObjects();
    PacedClickGesture(Edit(), Dot(3, 1, 3));
    EXPECT_TRUE(T.Data.IsPointSelected(3));
    EXPECT_EQ(T.Data.SelectedPointCount(), 1);
    EXPECT_EQ(Notices.Notices, QStringList({"BeginEvents", "PointSelectionChange 3 true", "EndEvents"}));
    EXPECT_EQ(Notices.Deliveries, 1);
    // The matrix heard its own change as nothing: no flags, no rebuild.
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsSelection || Plot->NeedsRepaint);
    EXPECT_EQ(Edit()->GetObjects(), first);
    ASSERT_NE(Edit()->GetSelection(), nullptr);
    auto* selected = dynamic_cast<TGOScatterDataPoint*>(Edit()->GetSelection()->Object);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->Point, 3);

    // A plain click on another dot moves the selection, deselection first,
    // in one delivery.
    Notices.Clear();
    PacedClickGesture(Edit(), Dot(2, 0, 1));
    EXPECT_FALSE(T.Data.IsPointSelected(3));
    EXPECT_TRUE(T.Data.IsPointSelected(2));
    EXPECT_EQ(Notices.Notices, QStringList({"BeginEvents", "PointSelectionChange 3 false",
                                            "PointSelectionChange 2 true", "EndEvents"}));
    // Ctrl-click adds.
    PacedClickGesture(Edit(), Dot(0, 0, 1), Qt::ControlModifier);
    EXPECT_TRUE(T.Data.IsPointSelected(0));
    EXPECT_TRUE(T.Data.IsPointSelected(2));
}

TEST_F(ScatterplotmatrixTest, EditsWhileTheDataIsLockedWriteNothing)
{
    Open();
    Listen();
    TOtherWriter holder(T.Data);
    T.Data.BeginWrite(&holder, false);
    PacedClickGesture(Edit(), Dot(3, 1, 3));
    T.Data.EndWrite(&holder);
    EXPECT_FALSE(T.Data.IsPointSelected(3));
    EXPECT_TRUE(Notices.Notices.isEmpty());
    // The editor shows a selection the data object does not hold until the
    // next selection step.
    EXPECT_NE(Edit()->GetSelection(), nullptr);
    Plot->NeedsSelection = true;
    Plot->DoUpdates();
    EXPECT_EQ(Edit()->GetSelection(), nullptr);
}

TEST_F(ScatterplotmatrixTest, RubberBandSelectsTheDotsWhoseCentresItHolds)
{
    Open();
    Listen();
    // Cell (A, B): a at (0, 10) top left, b at (5, 5), d at (8, 2), c at
    // (10, 0) bottom right. A band from the cell's top left over b's centre.
    const TRect cell = L().CellRect(0, 1);
    const QPoint b = Dot(1, 0, 1);
    PacedDragGesture(Edit(), QPoint(cell.Left + 6, cell.Top + 15), {QPoint(cell.Left + 7, cell.Top + 16), b + QPoint(1, 1)});
    EXPECT_TRUE(T.Data.IsPointSelected(1));
    EXPECT_FALSE(T.Data.IsPointSelected(0)); // a's centre lies above the band
    EXPECT_FALSE(T.Data.IsPointSelected(2));
    EXPECT_FALSE(T.Data.IsPointSelected(3));
    EXPECT_EQ(Notices.Notices, QStringList({"BeginEvents", "PointSelectionChange 1 true", "EndEvents"}));
}

TEST_F(ScatterplotmatrixTest, HiddenItemsCanBeNeitherHitNorBandSelected)
{
    Open();
    Other.Write([](TData& d) { d.SetPointHidden(1, true); });
    const QPoint b = Dot(1, 0, 1);
    const auto* item = Find<TGOScatterDataPoint>([](TGOScatterDataPoint* p) { return p->Point == 1; });
    EXPECT_FALSE(item->ContainsPoint(ToTPoint(b)));
    EXPECT_FALSE(item->InsideRect(L().PlotRect));
    PacedClickGesture(Edit(), b);
    EXPECT_FALSE(T.Data.IsPointSelected(1));
    // Hidden dots are not drawn.
    EXPECT_EQ(Pixel(b.x(), b.y() - 1), Pixel(b.x() - 20, b.y() - 20));
}

TEST_F(ScatterplotmatrixTest, DotHitToleranceIsThreePixelsWhateverTheDotSize)
{
    Open();
    Plot->SetDotSize(1);
    EXPECT_EQ(L().DotSize, 1);
    const auto* item = Find<TGOScatterDataPoint>([](TGOScatterDataPoint* p) { return p->Point == 3; });
    const QPoint d = Dot(3, 1, 3);
    EXPECT_TRUE(item->ContainsPoint(Point(d.x() + 2, d.y() - 2)));
    EXPECT_FALSE(item->ContainsPoint(Point(d.x() + 3, d.y())));
    EXPECT_FALSE(item->ContainsPoint(Point(d.x(), d.y() - 3)));
    EXPECT_EQ(const_cast<TGOScatterDataPoint*>(item)->CreateHandles(gofMovable, 10, 10), nullptr);
}

TEST_F(ScatterplotmatrixTest, DroppingALabelOnAnotherExchangesTheDimensions)
{
    Open();
    Listen();
    const TGOScatterAxisLabel* from = Label(true, 0);
    const TGOScatterAxisLabel* to = Label(true, 2);
    const QPoint start((from->LabelRect.Left + from->LabelRect.Right) / 2, from->Centre);
    const int dy = to->Centre - from->Centre;
    PacedDragGesture(Edit(), start, {start + QPoint(0, 1), start + QPoint(0, 1 + dy)});
    EXPECT_EQ(T.Data.GetDimName(0), QStringLiteral("C"));
    EXPECT_EQ(T.Data.GetDimName(2), QStringLiteral("A"));
    EXPECT_TRUE(Notices.Notices.contains(QStringLiteral("DimExchange 0 2")));
    // Rebuilt in the new order: the row label at position 0 now names C.
    EXPECT_EQ(Label(true, 0)->GetCaption(), QStringLiteral("Dimension C"));
    EXPECT_EQ(Label(true, 2)->GetCaption(), QStringLiteral("Dimension A"));
    EXPECT_EQ(Edit()->Mode, emIdle);
    EXPECT_EQ(Plot->UpdateLevel, 0);
}

TEST_F(ScatterplotmatrixTest, LabelDroppedOutsideEveryLabelSnapsBack)
{
    Open();
    TGOScatterAxisLabel* from = Label(true, 0);
    const TRect home = from->LabelRect;
    const QPoint start((home.Left + home.Right) / 2, from->Centre);
    // Into the gap between the rows of positions 0 and 1.
    const int gapY = L().RowBottom(0) + 3;
    PacedDragGesture(Edit(), start, {start + QPoint(0, 1), QPoint(start.x() + 40, gapY + 1)});
    QCoreApplication::processEvents();
    Paint();
    EXPECT_EQ(T.Data.GetDimName(0), QStringLiteral("A"));
    EXPECT_EQ(Label(true, 0), from);
    EXPECT_EQ(from->LabelRect, home);
    EXPECT_EQ(from->Bounds, home);
}

TEST_F(ScatterplotmatrixTest, LabelDragsStayOnTheirAxisInsideThePlot)
{
    Open();
    TGOScatterAxisLabel* row = Label(true, 1);
    const TRect home = row->LabelRect;
    row->BeginDrag(gokMoveFrame, dfLive);
    row->MoveBy(30, -1000);
    EXPECT_EQ(row->Centre, L().PlotRect.Top);
    EXPECT_EQ(row->LabelRect.Left, home.Left);
    EXPECT_EQ(row->Bounds, row->LabelRect);
    row->MoveBy(0, 5000);
    EXPECT_EQ(row->Centre, L().PlotRect.Bottom);
    TGOScatterAxisLabel* column = Label(false, 1);
    column->MoveBy(-1000, 40);
    EXPECT_EQ(column->Centre, L().PlotRect.Left);
    EXPECT_EQ(column->LabelRect.Top, column->Edge);
}

TEST_F(ScatterplotmatrixTest, LabelsSelectOnlyWithLabelsAndShowTheirMoveFrame)
{
    Open();
    const TGOScatterAxisLabel* row = Label(true, 1);
    const auto* item = Find<TGOScatterDataPoint>();
    EXPECT_TRUE(row->CanSelectWith(Label(false, 2)));
    EXPECT_FALSE(row->CanSelectWith(item));
    TGraphicObject* handles = const_cast<TGOScatterAxisLabel*>(row)->CreateHandles(gofMovable, 10, 10);
    ASSERT_NE(handles, nullptr);
    EXPECT_EQ(handles->Kind(), gokMoveFrame);
    EXPECT_EQ(handles->Bounds, row->LabelRect);
    EXPECT_EQ(handles->Cursor, crHSplit);
    EXPECT_EQ(handles->Next, nullptr);
    FreeGraphicObjectList(handles);
}

TEST_F(ScatterplotmatrixTest, SelectionFollowsTheDataObjectWithoutWriting)
{
    Open();
    Listen();
    Other.Write([](TData& d) {
        d.SetPointSelected(0, true);
        d.SetPointSelected(2, true);
        d.SetDimSelected(1, true);
    });
    int points = 0, rows = 0, columns = 0;
    for (const TSelectionEntry* e = Edit()->GetSelection(); e; e = e->Next.get()) {
        if (auto* p = dynamic_cast<TGOScatterDataPoint*>(e->Object)) {
            EXPECT_TRUE(p->Point == 0 || p->Point == 2);
            ++points;
        } else if (auto* l = dynamic_cast<TGOScatterAxisLabel*>(e->Object)) {
            EXPECT_EQ(l->Dim, 1);
            (l->IsRowLabel ? rows : columns)++;
        }
    }
    EXPECT_EQ(points, 2);
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(columns, 0);
    // Only the other writer's notices: the matrix wrote nothing back.
    EXPECT_EQ(Notices.Deliveries, 1);
    EXPECT_TRUE(T.Data.IsPointSelected(0) && T.Data.IsPointSelected(2) && T.Data.IsDimSelected(1));
}

TEST_F(ScatterplotmatrixTest, ClickOnARowLabelSelectsTheDimension)
{
    Open();
    Listen();
    const TGOScatterAxisLabel* row = Label(true, 3);
    PacedClickGesture(Edit(), QPoint((row->LabelRect.Left + row->LabelRect.Right) / 2, row->Centre));
    EXPECT_TRUE(T.Data.IsDimSelected(3));
    EXPECT_EQ(Notices.Notices, QStringList({"BeginEvents", "DimSelectionChange 3 true", "EndEvents"}));
}

// ---- hover ---------------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, HoverTextsAndCursors)
{
    Open();
    // A dot alone in its cell (a at the top left of cell A X B, left of A's
    // band): the cell's prefix and the item, no suffix.
    Hover(Dot(0, 0, 1));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("A X B: a"));
    EXPECT_EQ(Edit()->Cursor(), crHandPoint);
    // An empty part of that cell.
    const TRect cell = L().CellRect(0, 1);
    Hover(QPoint(cell.Right - 4, cell.Top + 4));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("A X B"));
    EXPECT_EQ(Edit()->Cursor(), crArrow);
    // The bounds of a slider with two bands cover the cells between them.
    Hover(Dot(3, 1, 3));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("B X D: d, Slider [Click to cycle through items]"));
    // A dot on a slider band: two objects besides the cell.
    Hover(Dot(1, 0, 1));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("A X B: b, Slider [Click to cycle through items]"));
    EXPECT_EQ(Edit()->Cursor(), crHelp);
    // A label.
    const TGOScatterAxisLabel* row = Label(true, 0);
    Hover(QPoint(row->LabelRect.Left + 2, row->Centre));
    EXPECT_EQ(F.Hint.text(), QStringLiteral("Dimension: A [Drag it over another dimension to exchange them]"));
    EXPECT_EQ(Edit()->Cursor(), crHSplit);
    // Nothing.
    Hover(QPoint(2, 2));
    EXPECT_EQ(F.Hint.text(), QString());
    EXPECT_EQ(Edit()->Cursor(), crArrow);

    const auto* item = Find<TGOScatterDataPoint>([](TGOScatterDataPoint* p) { return p->Point == 0; });
    EXPECT_EQ(item->GetHint(), QStringLiteral("Data item: a [Click to select / Ctrl-Click to add or remove]"));
    EXPECT_EQ(item->GetCaption(), QStringLiteral("a"));
    EXPECT_EQ(Label(false, 1)->GetCaption(), QStringLiteral("Dimension B"));
}

// ---- data changes ------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, FewerThanTwoVisibleDimensionsLeaveTheEditorEmpty)
{
    T.Data.SetDimHidden(1, true);
    T.Data.SetDimHidden(2, true);
    T.Data.SetDimHidden(3, true);
    Open();
    EXPECT_EQ(Edit()->GetObjects(), nullptr);
    EXPECT_TRUE(Plot->NeedsRebuild);
    Other.Write([](TData& d) { d.SetDimHidden(2, false); });
    // Two visible dimensions: one cell.
    int cells = 0;
    for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
        cells += dynamic_cast<TGOSubChartArea*>(o) != nullptr;
    EXPECT_EQ(cells, 1);
    EXPECT_EQ(Label(true, 1)->Dim, 2);
    // Hiding again empties it.
    Other.Write([](TData& d) { d.SetDimHidden(0, true); });
    EXPECT_EQ(Edit()->GetObjects(), nullptr);
}

TEST_F(ScatterplotmatrixTest, DotSizeAndRingWidthRebuildThePlot)
{
    Open();
    Plot->SetDotSize(2);
    EXPECT_EQ(L().DotHalf, 1);
    EXPECT_EQ(L().DotRest, 0);
    Plot->SetRingWidth(1);
    EXPECT_EQ(L().RingWidth, 1);
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsRepaint);
    Paint();
    const QPoint d = Dot(3, 1, 3);
    const QRgb own = Rgb(F.Props.GetValueColor(15));
    EXPECT_EQ(Pixel(d.x() - 1, d.y() - 1), own);
    EXPECT_EQ(Pixel(d.x(), d.y()), own);
    EXPECT_EQ(Pixel(d.x() + 1, d.y()), qRgb(255, 255, 255));
}

TEST_F(ScatterplotmatrixTest, InvertingTheBackgroundSwapsBlackAndWhite)
{
    Open();
    Plot->InvertBackground();
    EXPECT_EQ(Plot->BackgroundBrush.Color(), 0x000000u);
    EXPECT_EQ(Edit()->Brush().Color(), 0x000000u);
    EXPECT_EQ(Plot->Font15Turned.Color(), 0xFFFFFFu);
    EXPECT_EQ(Plot->CellFramePen.Color(), 0xFFFFFFu);
    Paint();
    EXPECT_EQ(Pixel(2, 2), qRgb(0, 0, 0));
    const TRect cell = L().CellRect(1, 3);
    EXPECT_EQ(Pixel(cell.Left, cell.Top + 5), qRgb(255, 255, 255));
    Plot->InvertBackground();
    EXPECT_EQ(Plot->BackgroundBrush.Color(), 0xFFFFFFu);
    EXPECT_EQ(Plot->Font12.Color(), 0x000000u);
    EXPECT_EQ(Plot->DotPen.Color(), 0x000000u);
}

// ---- copy and print -------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, CopyPutsTheEditorsPictureOnTheClipboard)
{
    T.Data.SetPointSelected(1, true);
    Open();
    Hover(QPoint(2, 2)); // no hover marks anywhere
    Paint();
    Plot->CopyToClipboard(QGuiApplication::clipboard());
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    QImage png;
    ASSERT_TRUE(png.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.size(), Edit()->size());
    // Objects, background and selection: what the screen shows, pixel for
    // pixel in the cells with their bands, frames and dots (the glyphs of
    // turned text may be smoothed differently when played back).
    const QImage copy = png.convertToFormat(QImage::Format_RGB32);
    for (int c = 0; c < 4; ++c)
        for (int r = c + 1; r < 4; ++r) {
            const QRect cell = ToQRect(L().CellRect(c, r));
            EXPECT_EQ(copy.copy(cell), Edit()->BackingImage().copy(cell)) << c << " " << r;
        }
    const QByteArray svg = data->data(QStringLiteral("image/svg+xml"));
    EXPECT_TRUE(svg.contains("<svg"));

    // Objects alone: no scales, no selection ring.
    Plot->CopyParts = goepObjects;
    Plot->CopyToClipboard(nullptr);
    ASSERT_TRUE(png.loadFromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG"));
    const TRect last = L().CellRect(0, 3);
    EXPECT_EQ(png.pixel(last.Left + 1, last.Bottom + 4), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(last.Left + 1, last.Bottom + 4), qRgb(0, 0, 0));
    const QPoint b = Dot(1, 1, 3);
    EXPECT_NE(png.pixel(b.x() + 7, b.y()), Rgb(kYellow));
    EXPECT_EQ(Pixel(b.x() + 7, b.y()), Rgb(kYellow));
}

TEST_F(ScatterplotmatrixTest, CopyOptionsChangeThePartsOnlyOnOk)
{
    Open();
    ScopedResponder responder;
    responder->Push(TScriptedResponder::DialogHandler([](QDialog& dialog) {
        auto& options = dynamic_cast<TGOECopyOptionsForm&>(dialog);
        EXPECT_EQ(options.GetParts(), TGOEParts::fromInt(7));
        options.SetParts(goepObjects);
        return int(mrOk);
    }));
    EXPECT_EQ(Plot->ShowCopyOptions(QGuiApplication::clipboard()), mrOk);
    EXPECT_EQ(Plot->CopyParts, TGOEParts(goepObjects));
    EXPECT_EQ(responder->Requests().back().text, QStringLiteral("Copy Options"));

    responder->Push(TScriptedResponder::DialogHandler([](QDialog& dialog) {
        dynamic_cast<TGOECopyOptionsForm&>(dialog).SetParts(AllGOEParts);
        return int(mrCancel);
    }));
    EXPECT_EQ(Plot->ShowCopyOptions(nullptr), mrCancel);
    EXPECT_EQ(Plot->CopyParts, TGOEParts(goepObjects));

    responder->Push(TScriptedResponder::DialogHandler([](QDialog& dialog) {
        auto& options = dynamic_cast<TGOEPrintOptionsForm&>(dialog);
        options.SetParts(goepBackground | goepSelection);
        return int(mrOk);
    }));
    EXPECT_EQ(Plot->ShowPrintOptions(nullptr), mrOk);
    EXPECT_EQ(Plot->PrintParts, goepBackground | goepSelection);
    EXPECT_EQ(responder->Requests().back().text, QStringLiteral("Print Options"));
}

TEST_F(ScatterplotmatrixTest, PrintsToAPdfAfterTheDialogAndNothingWhenCancelled)
{
    Open();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("matrix.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    ScopedResponder responder;
    Plot->Print(&printer); // no answer scripted: the dialog is cancelled
    EXPECT_EQ(responder->Count(TScriptedResponder::Kind::Print), 1);
    // The dialog already knows the title, for the file name it proposes.
    EXPECT_EQ(responder->Requests().back().text, QStringLiteral("Scatterplot Matrix"));
    EXPECT_FALSE(QFile::exists(file));

    responder->Push(true);
    Plot->Print(&printer);
    EXPECT_EQ(printer.docName(), QStringLiteral("Scatterplot Matrix"));
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
}

namespace {

// The width of the picture printed into a PDF file and its height, summed
// over the bands it was drawn in: the images' sizes in the file.
QSize PrintedImageSize(const QString& File)
{
    QFile pdf(File);
    if (!pdf.open(QIODevice::ReadOnly))
        return {};
    const QString content = QString::fromLatin1(pdf.readAll());
    static const QRegularExpression image(
        QStringLiteral("/Subtype\\s*/Image[^>]*?/Width\\s+(\\d+)[^>]*?/Height\\s+(\\d+)"));
    QSize size(0, 0);
    for (auto it = image.globalMatch(content); it.hasNext();) {
        const auto m = it.next();
        size.setWidth(std::max(size.width(), m.captured(1).toInt()));
        size.setHeight(size.height() + m.captured(2).toInt());
    }
    return size;
}

} // namespace

TEST_F(ScatterplotmatrixTest, PrintFitsThePlotIntoThePageKeepingItsAspect)
{
    Open();
    const QSize plot = Edit()->size();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScopedResponder responder;
    auto print = [&](const QString& Name, const QPageSize& Page) {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(Name));
        printer.setPageSize(Page);
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
        responder->Push(true);
        Plot->Print(&printer);
        return std::make_pair(PrinterPageSize(printer), PrintedImageSize(dir.filePath(Name)));
    };
    // A narrow page: as wide as the page, the height scaled alike.
    const auto [narrow, narrowPrint] = print(QStringLiteral("narrow.pdf"), QPageSize(QPageSize::A4));
    EXPECT_EQ(narrowPrint.width(), narrow.width());
    EXPECT_EQ(narrowPrint.height(), RoundToPixel(double(plot.height()) * narrow.width() / plot.width()));
    EXPECT_LT(narrowPrint.height(), narrow.height());
    // A page wider than the plot's aspect: as high as the page, narrower.
    const auto [wide, widePrint] =
        print(QStringLiteral("wide.pdf"), QPageSize(QSizeF(400, 100), QPageSize::Millimeter));
    EXPECT_EQ(widePrint.height(), wide.height());
    EXPECT_EQ(widePrint.width(), RoundToPixel(double(plot.width()) * wide.height() / plot.height()));
    EXPECT_LT(widePrint.width(), wide.width());
}

// ---- window --------------------------------------------------------------------------------

TEST_F(ScatterplotmatrixTest, ClosingTheWindowLogsCloseOnceAndRemovesThePlot)
{
    Open();
    QPointer<TQuorMethodBaseForm> form = Plot->Form();
    QPointer<TGOEdit> editor = Edit();
    form->close();
    EXPECT_EQ(F.CountLog(QStringLiteral("close 3")), 1);
    EXPECT_FALSE(F.Manager->HasClient(QStringLiteral("ScatterplotMatrix")));
    EXPECT_EQ(F.ToolBar->parentWidget(), &F.ToolBarHome);
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.isNull(); }, 2000));
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(F.CountLog(QStringLiteral("close 3")), 1);
}

TEST_F(ScatterplotmatrixTest, ClosingByTheToggleGoesThroughDetachAlone)
{
    Open();
    QPointer<TQuorMethodBaseForm> form = Plot->Form();
    // The toggle logs the close code itself, then removes the client.
    LogEvent(QStringLiteral("close 3"));
    F.Manager->RemoveClient(QStringLiteral("ScatterplotMatrix"));
    // Released from outside any event handler: gone at the next deletion round.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_EQ(F.CountLog(QStringLiteral("close 3")), 1);
}

TEST_F(ScatterplotmatrixTest, FreedWithoutDetachItLeavesNoEditorBehind)
{
    Open();
    QPointer<TQuorMethodBaseForm> form = Plot->Form();
    QPointer<TGOEdit> editor = Edit();
    T.Data.UnregisterClient(Plot);
    // Deleted without Detach: the editor's objects and paint would reach
    // into the freed plot.
    F.Manager->DeleteClient(QStringLiteral("ScatterplotMatrix"));
    EXPECT_TRUE(editor.isNull());
    ASSERT_FALSE(form.isNull());
    form->repaint();
    form->close();
    EXPECT_EQ(F.CountLog(QStringLiteral("close 3")), 0);
    delete form.data();
}

TEST_F(ScatterplotmatrixTest, ActivatingTheWindowLogsFocusEachTime)
{
    Open();
    auto* other = F.Area.addSubWindow(new QWidget);
    other->show();
    const int before = F.CountLog(QStringLiteral("focus 3"));
    F.Area.setActiveSubWindow(other);
    F.Area.setActiveSubWindow(Plot->Form());
    EXPECT_EQ(F.CountLog(QStringLiteral("focus 3")), before + 1);
    F.Area.setActiveSubWindow(other);
    F.Area.setActiveSubWindow(Plot->Form());
    EXPECT_EQ(F.CountLog(QStringLiteral("focus 3")), before + 2);
}

namespace {

// A matrix whose rebuild fails, for the update's failure message.
class TFailingMatrix : public TScatterplotmatrix {
public:
    using TScatterplotmatrix::TScatterplotmatrix;

protected:
    void BuildObjects() override { throw EListError(QStringLiteral("List index out of bounds (7)")); }
};

} // namespace

namespace {

// A matrix whose rebuild ends in the silent abort.
class TAbortingMatrix : public TScatterplotmatrix {
public:
    using TScatterplotmatrix::TScatterplotmatrix;

protected:
    void BuildObjects() override { Abort(); }
};

} // namespace

TEST_F(ScatterplotmatrixTest, ASilentAbortInsideAnUpdateEndsItWithoutAMessage)
{
    ScopedResponder responder;
    auto plot = std::make_unique<TAbortingMatrix>(&F.Area);
    TAbortingMatrix* aborting = plot.get();
    F.Manager->AddClient(QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"), std::move(plot));
    EXPECT_TRUE(responder->Texts().isEmpty());
    EXPECT_EQ(aborting->UpdateLevel, 0);
    EXPECT_NO_THROW(aborting->DoUpdates());
    EXPECT_TRUE(responder->Texts().isEmpty());
}

TEST_F(ScatterplotmatrixTest, AFailedUpdateIsShownAndThePlotStaysUsable)
{
    ScopedResponder responder;
    auto plot = std::make_unique<TFailingMatrix>(&F.Area);
    TFailingMatrix* failing = plot.get();
    F.Manager->AddClient(QStringLiteral("ScatterplotMatrix"), QStringLiteral("Scatterplot Matrix"), std::move(plot));
    ASSERT_GE(responder->Texts().size(), 1);
    EXPECT_EQ(responder->Texts().front(),
              QStringLiteral("Exception in DoUpdates-Handler. ClassName: EListError. Exception-Message: "
                             "List index out of bounds (7)"));
    EXPECT_EQ(failing->UpdateLevel, 0);
    EXPECT_FALSE(failing->NeedsRebuild); // cleared before the step failed
}
