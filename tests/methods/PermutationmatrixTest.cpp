#include "PlotTestFrame.h"

#include "QuorData/Utility.h"
#include "QuorDataClients/QuorSubSelection.h"
#include "methods/QuorPermutationmatrix.h"
#include "support/Gestures.h"
#include "support/Images.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr TColor kYellow = 0x00FFFF;

QRgb Rgb(TColor c)
{
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Six items by eight dimensions, values spread over 0 to 9.
TMethodsTestData Wide()
{
    QStringList dims, items;
    std::vector<std::vector<double>> values;
    for (int d = 0; d < 8; ++d)
        dims << QStringLiteral("D%1").arg(d);
    for (int i = 0; i < 6; ++i) {
        items << QStringLiteral("i%1").arg(i);
        values.emplace_back();
        for (int d = 0; d < 8; ++d)
            values.back().push_back((i * 7 + d * 3) % 10);
    }
    return TMethodsTestData(dims, items, values);
}

// Stands in for the clustering panel: counts the scale syncs it is asked for.
class TScaleSyncClient : public TObject, public TQuorNoOpClient, public IQuorScaleSync {
public:
    void SetClientManager(TQuorClientManager*) override {}
    void Attach() override {}
    void Detach() override {}
    void SyncScalesFromPC() override {}
    void SyncScalesFromPM() override { ++FromPM; }
    int FromPM = 0;
};

class PermutationmatrixTest : public ::testing::Test {
protected:
    explicit PermutationmatrixTest(TMethodsTestData (*Make)() = &TMethodsTestData::Standard) : T(Make()), F(T)
    {
        CreateLog();
        auto sub = std::make_unique<TQuorSubSelection>();
        Sub = sub.get();
        F.Manager->AddClient(QStringLiteral("SubSelection"), QString(), std::move(sub));
    }

    TPermutationmatrix* Open()
    {
        auto plot = std::make_unique<TPermutationmatrix>(&F.Area);
        Plot = plot.get();
        F.Manager->AddClient(QStringLiteral("PermutationMatrix"), QStringLiteral("Permutation Matrix"),
                             std::move(plot));
        Plot->Form()->resize(600, 500);
        QCoreApplication::processEvents();
        Edit()->Repaint();
        return Plot;
    }

    TGOEdit* Edit() const { return Plot->Editor(); }
    QRgb Pixel(int x, int y) const { return Edit()->BackingImage().pixel(x, y); }
    TRect Cell(int Item, int Dim) const { return Plot->Layout.GetCellRect(Item, Dim); }
    QPoint Middle(const TRect& R) const { return QPoint((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2); }
    std::vector<int> SubBlock() const
    {
        if (!Sub->Active())
            return {};
        return {Sub->FirstPoint(), Sub->LastPoint(), Sub->FirstDim(), Sub->LastDim()};
    }

    template <typename C> C* Find(std::function<bool(C*)> Match = nullptr) const
    {
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
            if (auto* c = dynamic_cast<C*>(o); c && (!Match || Match(c)))
                return c;
        return nullptr;
    }
    int Count() const
    {
        int n = 0;
        for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
            ++n;
        return n;
    }

    TMethodsTestData T;
    TPlotTestFrame F;
    TQuorSubSelection* Sub = nullptr;
    TOtherWriter Other{T.Data};
    TPermutationmatrix* Plot = nullptr;
};

// The standard table with a first dimension name far longer than a row.
TMethodsTestData LongName()
{
    return TMethodsTestData({"A dimension name far too long for any row of this matrix", "B", "C", "D"},
                            {"a", "b", "c", "d"}, {{0, 10, 0, 10}, {5, 5, 3, 5}, {10, 0, 10, 0}, {8, 2, 7, 1}});
}

class PermutationmatrixLongNameTest : public PermutationmatrixTest {
protected:
    PermutationmatrixLongNameTest() : PermutationmatrixTest(&LongName) {}
};

class PermutationmatrixWideTest : public PermutationmatrixTest {
protected:
    PermutationmatrixWideTest() : PermutationmatrixTest(&Wide) {}
};

} // namespace

// ---- building and updating ----------------------------------------------------------------

TEST_F(PermutationmatrixTest, BuildsCellsAndLabelsAndKeepsTheHiddenItemsLabels)
{
    T.Data.SetPointHidden(3, true);
    Open();
    EXPECT_EQ(Plot->Form()->windowTitle(), QStringLiteral("Permutation Matrix"));
    // 3 by 4 cells, 4 dimension labels, 3 item labels and the hidden item's.
    EXPECT_EQ(Count(), 12 + 4 + 3 + 1);
    EXPECT_NE(dynamic_cast<TGOPermDataCell*>(LastObject(Edit()->GetObjects())), nullptr);
    auto* hidden = Find<TGOPermAxisPointLabel>([](TGOPermAxisPointLabel* l) { return l->ViewPosition == 3; });
    ASSERT_NE(hidden, nullptr);
    EXPECT_EQ(hidden->Bounds, Rect(-1, -1, -1, -1));
    EXPECT_FALSE(Plot->NeedsRebuild || Plot->NeedsLayout || Plot->NeedsSelection || Plot->NeedsRepaint);
    const TSize matrix = Plot->Layout.GetMatrixSize();
    EXPECT_EQ(Edit()->minimumWidth(), 76 + matrix.cx + 40);
    EXPECT_EQ(Edit()->minimumHeight(), 5 + matrix.cy + 40);

    // One visible item left: the window stays empty; a second builds it again.
    Other.Write([](TData& d) {
        d.SetPointHidden(0, true);
        d.SetPointHidden(1, true);
    });
    EXPECT_EQ(Edit()->GetObjects(), nullptr);
    Other.Write([](TData& d) { d.SetPointHidden(1, false); });
    EXPECT_EQ(Count(), 8 + 4 + 2 + 2);
}

TEST_F(PermutationmatrixTest, ALayoutChangeKeepsTheStatisticsARebuildRecomputesThem)
{
    Open();
    const TRect before = Cell(1, 1);
    // Item c's 10 in A changes behind the plot's back: a resize keeps A's scale.
    T.Data.DataSrc()->SetCell(0, 2, TVariant(20.0));
    Plot->Form()->resize(700, 500);
    QCoreApplication::processEvents();
    Edit()->Repaint();
    EXPECT_NE(Cell(1, 1), before);
    EXPECT_DOUBLE_EQ(Plot->Layout.GetScaleMax(0, 0), 10);
    Plot->SetScaleType(pstRowVisible);
    EXPECT_DOUBLE_EQ(Plot->Layout.GetScaleMax(0, 0), 20);
}

TEST_F(PermutationmatrixTest, CellWithoutAValueIsEmptyAndLeavesItsRowAlone)
{
    // b's A is no number: in every display its cell shows the background,
    // and A's mean of the others (6) still sets c's 10 and d's 8 light.
    T.Values.SetCell(0, 1, TVariant(std::numeric_limits<double>::quiet_NaN()));
    Open();
    const TColor item = F.Props.GetValueColor(15);
    const QRgb light = Rgb(BlendColors(item, 0xFFFFFF, 0.8f));
    const QRgb dark = Rgb(BlendColors(item, 0x000000, 0.3f));
    for (const TPermDisplayType type : {pdtBar, pdtShade, pdtShadeUserColors, pdtBar90, pdtBarShade}) {
        Plot->SetDisplayType(type);
        Edit()->Repaint();
        const TRect r = Cell(1, 0);
        int ink = 0;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x)
                ink += Pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
        EXPECT_EQ(ink, 0) << int(type);
    }
    Plot->SetDisplayType(pdtBar);
    Edit()->Repaint();
    EXPECT_DOUBLE_EQ(Plot->Layout.GetMean(0, 0), 6);
    EXPECT_EQ(Pixel(Middle(Cell(2, 0)).x(), Cell(2, 0).Bottom - 3), light);
    EXPECT_EQ(Pixel(Middle(Cell(3, 0)).x(), Cell(3, 0).Bottom - 3), light);
    // b's 3 in C lies below C's mean of 5.
    EXPECT_EQ(Pixel(Middle(Cell(1, 2)).x(), Cell(1, 2).Bottom - 3), dark);
}

// ---- settings ---------------------------------------------------------------------------------

TEST_F(PermutationmatrixTest, SettersAdjustScaleAndMeanTypesAndSaySo)
{
    Open();
    const QString meanAdjusted = QStringLiteral("The mean type has been adjusted to fit the new scale type.");
    const QString scaleAdjusted = QStringLiteral("The scale type has been adjusted to fit the new mean type.");
    struct TCase {
        bool SetScale;
        int Value;
        TPermScaleType Scale;
        TPermMeanType Mean;
        QString Message;
    };
    // Each case starts from the defaults, pstRowAll with pmtRowAll.
    const TCase cases[] = {
        {false, pmtColVisible, pstColVisible, pmtColVisible, scaleAdjusted},
        {true, pstRowVisible, pstRowVisible, pmtRowVisible, meanAdjusted},
        {true, pstTableAll, pstTableAll, pmtRowAll, QString()},
        {false, pmtTableAll, pstTableAll, pmtTableAll, scaleAdjusted},
        {false, pmtRowVisible, pstRowAll, pmtRowVisible, QString()},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.SetScale ? "scale " : "mean ") << c.Value);
        Plot->Layout.ScaleType = pstRowAll;
        Plot->Layout.MeanType = pmtRowAll;
        ScopedResponder responder;
        if (c.SetScale)
            Plot->SetScaleType(TPermScaleType(c.Value));
        else
            Plot->SetMeanType(TPermMeanType(c.Value));
        EXPECT_EQ(Plot->ScaleType(), c.Scale);
        EXPECT_EQ(Plot->MeanType(), c.Mean);
        EXPECT_EQ(responder->Texts(), c.Message.isEmpty() ? QStringList() : QStringList{c.Message});
    }
    // Table (Visible) keeps a column mean.
    Plot->Layout.MeanType = pmtColVisible;
    Plot->SetScaleType(pstTableVisible);
    EXPECT_EQ(Plot->MeanType(), pmtColVisible);
}

TEST_F(PermutationmatrixTest, ConstantExtentBringsTheClusteringPanelAlong)
{
    Open();
    Plot->SetConstantDimExtent(false); // no panel yet: nothing to sync
    auto panel = std::make_unique<TScaleSyncClient>();
    TScaleSyncClient* sync = panel.get();
    F.Manager->AddClient(QStringLiteral("ClusteringFrame"), QString(), std::move(panel));
    Plot->SetConstantDimExtent(true);
    EXPECT_TRUE(Plot->GetConstantDimExtent());
    EXPECT_TRUE(Plot->Layout.EqualRowHeights);
    EXPECT_EQ(sync->FromPM, 1);
    auto* extent = dynamic_cast<IQuorConstantDimExtent*>(F.Manager->GetClient(QStringLiteral("PermutationMatrix")));
    ASSERT_NE(extent, nullptr);
    extent->SetConstantDimExtent(false);
    EXPECT_FALSE(Plot->Layout.EqualRowHeights);
    EXPECT_EQ(sync->FromPM, 2);
}

// ---- drawing ----------------------------------------------------------------------------------

TEST_F(PermutationmatrixTest, PlainBarsAreLightAtOrAboveTheMeanDarkBelow)
{
    Open();
    const TColor own = F.Props.GetValueColor(15);
    const QRgb light = Rgb(BlendColors(own, 0xFFFFFF, 0.8f));
    const QRgb dark = Rgb(BlendColors(own, 0x000000, 0.3f));
    // Dimension A: 0, 5, 10, 8, mean 5.75. Item c at the maximum: its bar
    // reaches the top of the room left after the layers' reserve.
    const TRect c = Cell(2, 0);
    EXPECT_EQ(Pixel(c.Left + 1, c.Bottom - 2), light);
    EXPECT_EQ(Pixel(c.Left + 1, c.Top + 5), light);
    EXPECT_EQ(Pixel(c.Left + 1, c.Top + 4), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(c.Left + 1, c.Top + 3), qRgb(255, 255, 255));
    const TRect b = Cell(1, 0);
    EXPECT_EQ(Pixel(b.Left + 1, b.Bottom - 2), dark);
    // The mean line across the bar at 5.75 of 10 of the cell less the pen.
    const int meanY = c.Bottom - int(std::nearbyint(0.575 * (c.Height() - 1)));
    EXPECT_EQ(Pixel(c.Left + 1, meanY), qRgb(0, 204, 0));
    // Item a at the minimum: a bar without height, its outline only.
    const TRect a = Cell(0, 0);
    EXPECT_EQ(Pixel(a.Left + 1, a.Bottom - 1), qRgb(0, 0, 0));
    EXPECT_EQ(Pixel(a.Left + 1, a.Bottom - 2), qRgb(255, 255, 255));
}

TEST_F(PermutationmatrixTest, SliderLayersStandBehindTheBarOneStepUpAndRightEach)
{
    T.SetSlider(0, 2, 6);
    T.SetSlider(2, 1, 5);
    Open();
    // Item b is held by the sliders of A and C; its cell in D (5 of 0 to 10).
    const TRect r = Cell(1, 3);
    const QRgb first = Rgb(F.Props.GetValueColor(0));
    const QRgb second = Rgb(F.Props.GetValueColor(2));
    EXPECT_EQ(Pixel(r.Right - 1, r.Bottom - 5), second); // offset (2, -4)
    EXPECT_EQ(Pixel(r.Right - 1, r.Bottom - 4), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(r.Right - 2, r.Bottom - 3), first); // offset (1, -2)
    EXPECT_EQ(Pixel(r.Right - 2, r.Bottom - 2), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(r.Right - 3, r.Bottom - 1), qRgb(0, 0, 0)); // the bar's own outline
}

TEST_F(PermutationmatrixTest, AShadeCellShowsOneSliderRingAtMost)
{
    T.SetSlider(0, 2, 6);
    T.SetSlider(2, 1, 5);
    Open();
    Plot->SetDisplayType(pdtShade);
    Edit()->Repaint();
    const TRect r = Cell(1, 3);
    const int y = (r.Top + r.Bottom) / 2;
    const TColor own = F.Props.GetValueColor(15);
    const TColor fill = BlendColors(BlendColors(own, 0x000000, 0.3f), BlendColors(own, 0xFFFFFF, 0.8f), 0.5f);
    EXPECT_EQ(Pixel(r.Left, y), qRgb(255, 255, 255));
    EXPECT_EQ(Pixel(r.Left + 1, y), Rgb(F.Props.GetValueColor(0))); // A's, the first
    EXPECT_EQ(Pixel(r.Left + 2, y), Rgb(fill));
}

TEST_F(PermutationmatrixTest, SelectedItemIsYellowOnScreenNotInACopyWithoutSelection)
{
    T.Data.SetPointSelected(2, true);
    Open();
    const TRect c = Cell(2, 0);
    EXPECT_EQ(Pixel(c.Right - 1, c.Top + 1), Rgb(kYellow));
    Plot->CopyParts = TGOEParts::fromInt(3);
    Plot->CopyToClipboard(QGuiApplication::clipboard());
    QImage png;
    ASSERT_TRUE(png.loadFromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.pixel(c.Right - 1, c.Top + 1), qRgb(255, 255, 255));
    EXPECT_EQ(Plot->ScreenParts, TGOEParts::fromInt(15));
}

TEST_F(PermutationmatrixTest, InvertingTwiceGivesBackBlackOnWhite)
{
    Open();
    const QImage before = Edit()->BackingImage().copy();
    Plot->InvertBackground();
    Edit()->Repaint();
    EXPECT_EQ(Pixel(2, 2), qRgb(0, 0, 0));
    Plot->InvertBackground();
    Edit()->Repaint();
    EXPECT_EQ(Edit()->BackingImage(), before);
}

// ---- interaction ------------------------------------------------------------------------------

TEST_F(PermutationmatrixWideTest, RubberBandOverCellsSetsTheSameBlockInBothOrientations)
{
    Open();
    for (const bool rotated : {false, true}) {
        SCOPED_TRACE(rotated ? "rotated" : "plain");
        Plot->SetRotateView(rotated);
        Edit()->Repaint();
        PacedDragGesture(Edit(), Middle(Cell(2, 1)), {Middle(Cell(3, 2)), Middle(Cell(4, 3))});
        EXPECT_EQ(SubBlock(), (std::vector<int>{2, 4, 1, 3}));
        // Clicking a label clears it and selects the dimension.
        auto* label = Find<TGOPermAxisDimLabel>([](TGOPermAxisDimLabel* l) { return l->VisibleIndex == 5; });
        PacedClickGesture(Edit(), Middle(label->LabelRect));
        EXPECT_EQ(SubBlock(), std::vector<int>{});
        EXPECT_TRUE(T.Data.IsDimSelected(5));
        Other.Write([](TData& d) { d.SetDimSelected(5, false); });
    }
}

TEST_F(PermutationmatrixWideTest, CtrlClickedCellsGiveTheirBoundingBlock)
{
    Open();
    PacedClickGesture(Edit(), Middle(Cell(0, 0)));
    EXPECT_EQ(SubBlock(), (std::vector<int>{0, 0, 0, 0}));
    PacedClickGesture(Edit(), Middle(Cell(5, 7)), Qt::ControlModifier);
    EXPECT_EQ(SubBlock(), (std::vector<int>{0, 5, 0, 7}));
    PacedClickGesture(Edit(), Middle(Cell(3, 2)), Qt::ControlModifier);
    PacedClickGesture(Edit(), Middle(Cell(5, 7)), Qt::ControlModifier);
    EXPECT_EQ(SubBlock(), (std::vector<int>{0, 3, 0, 2}));
}

TEST_F(PermutationmatrixWideTest, ASubSelectionOfOthersIsMarkedItsOwnStartsNoPass)
{
    Open();
    Other.Write([&](TData&) { Sub->SetSubSelection(1, 2, 3, 3); });
    EXPECT_EQ(SelectionCount(Edit()->GetSelection()), 2);
    PacedClickGesture(Edit(), Middle(Cell(4, 4)));
    EXPECT_EQ(SelectionCount(Edit()->GetSelection()), 1);
    EXPECT_EQ(SubBlock(), (std::vector<int>{4, 4, 4, 4}));
    // Only a sub-selection notice of another client asks for a selection pass.
    auto own = TQDCESubSelection::Create();
    own->Actor = Plot;
    Plot->CustomEvent(own.get());
    auto live = TQDCELiveTracking::Create();
    live->Actor = &Other;
    Plot->CustomEvent(live.get());
    EXPECT_FALSE(Plot->NeedsSelection);
    auto other = TQDCESubSelection::Create();
    other->Actor = &Other;
    Plot->CustomEvent(other.get());
    EXPECT_TRUE(Plot->NeedsSelection);
}

TEST_F(PermutationmatrixWideTest, DroppingALabelExchangesOnlyOnAnotherOfItsKind)
{
    Open();
    auto label = [&](int Index) {
        return Find<TGOPermAxisDimLabel>([&](TGOPermAxisDimLabel* l) { return l->VisibleIndex == Index; });
    };
    const QString first = T.Data.GetDimName(1);
    const QString third = T.Data.GetDimName(3);
    // Onto itself: nothing, and the label goes back to its place.
    const QPoint from = Middle(label(1)->LabelRect);
    PacedDragGesture(Edit(), from, {from + QPoint(0, 3), from + QPoint(0, 1)});
    EXPECT_EQ(T.Data.GetDimName(1), first);
    EXPECT_EQ(label(1)->Center, Middle(Cell(0, 1)).y());
    // Onto dimension 3: the two change places and the plot is built anew.
    const int dy = label(3)->Center - label(1)->Center;
    PacedDragGesture(Edit(), from, {from + QPoint(0, 1), from + QPoint(0, 1 + dy)});
    EXPECT_EQ(T.Data.GetDimName(1), third);
    EXPECT_EQ(T.Data.GetDimName(3), first);
    EXPECT_EQ(label(1)->GetName(), third);
}

TEST_F(PermutationmatrixTest, CellsFilledInBatchesMatchCellsDrawnOneByOne)
{
    T.SetSlider(0, 2, 6);
    T.SetSlider(2, 1, 5);
    T.Data.SetPointSelected(1, true);
    Open();
    for (const TPermDisplayType type : {pdtBar, pdtBar90Shade}) {
        SCOPED_TRACE(int(type));
        Plot->SetDisplayType(type);
        QImage batched = WhiteImage(Edit()->width(), Edit()->height());
        QImage single = batched.copy();
        {
            TCanvas canvas(&batched);
            Edit()->PaintTo(canvas, TGOEParts(goepObjects));
        }
        {
            TCanvas canvas(&single);
            for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
                o->Draw(canvas);
        }
        EXPECT_EQ(CountChanged(batched, single), 0);
        // Layers, selection and mean lines were drawn at all.
        EXPECT_GT(CountChanged(batched, WhiteImage(Edit()->width(), Edit()->height())), 1000);
    }
}

TEST_F(PermutationmatrixLongNameTest, ALongRowLabelIsCutToItsRowAndNarrowColumnLabelsShowNoText)
{
    Open();
    auto* label = Find<TGOPermAxisDimLabel>([](TGOPermAxisDimLabel* l) { return l->VisibleIndex == 0; });
    QImage image = WhiteImage(Edit()->width(), Edit()->height());
    {
        TCanvas canvas(&image);
        label->Draw(canvas);
    }
    int inked = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                ++inked;
                EXPECT_GE(y, label->Center - label->Extent / 2);
                EXPECT_LE(y, label->Center + label->Extent / 2);
            }
    EXPECT_GT(inked, 50);

    // A name of a megabyte is cut as its beginning is, measuring no more.
    auto drawn = [&](const QString& Name) {
        T.DimNames.SetCell(0, 0, TVariant(Name));
        QImage drawing = WhiteImage(Edit()->width(), Edit()->height());
        TCanvas canvas(&drawing);
        label->Draw(canvas);
        return drawing;
    };
    const QString huge = T.Data.GetDimName(0).repeated(1 << 14);
    EXPECT_EQ(drawn(huge), drawn(huge.left(4000)));

    // A data item's column narrower than "..." gets no text at all; one
    // exactly as wide gets its text.
    auto* item = Find<TGOPermAxisPointLabel>();
    for (const int over : {-1, 0}) {
        item->Extent = Plot->LabelEllipsisWidth + over;
        image = WhiteImage(Edit()->width(), Edit()->height());
        {
            TCanvas canvas(&image);
            item->Draw(canvas);
        }
        EXPECT_EQ(CountChanged(image, WhiteImage(Edit()->width(), Edit()->height())) > 0, over == 0) << over;
    }
}

TEST_F(PermutationmatrixTest, AClickOnALabelAlsoDeselectsHiddenSelectedItems)
{
    T.Data.SetPointHidden(3, true);
    T.Data.SetPointSelected(3, true);
    Open();
    EXPECT_EQ(SelectionCount(Edit()->GetSelection()), 1); // the hidden item's label
    auto* label = Find<TGOPermAxisPointLabel>([](TGOPermAxisPointLabel* l) { return l->ViewPosition == 0; });
    PacedClickGesture(Edit(), Middle(label->LabelRect));
    EXPECT_TRUE(T.Data.IsPointSelected(0));
    EXPECT_FALSE(T.Data.IsPointSelected(3));
}

TEST_F(PermutationmatrixWideTest, HitTestsFindWhatAScanOfEveryObjectFinds)
{
    T.Data.SetPointHidden(2, true);
    Open();
    for (const bool rotated : {false, true}) {
        SCOPED_TRACE(rotated ? "rotated" : "plain");
        Plot->SetRotateView(rotated);
        for (int y = 0; y < Edit()->height(); y += 3)
            for (int x = 0; x < Edit()->width(); x += 2) {
                const TPoint pt = Point(x, y);
                std::vector<TGraphicObject*> scanned, found;
                for (TGraphicObject* o = Edit()->GetObjects(); o; o = o->Next)
                    if (PtInRect(o->Bounds, pt) && o->ContainsPoint(pt))
                        scanned.insert(scanned.begin(), o);
                const TSelectionList hits = Edit()->ObjectsAt(pt, 0);
                for (const TSelectionEntry* e = hits.get(); e; e = e->Next.get())
                    found.push_back(e->Object);
                ASSERT_EQ(found, scanned) << x << ", " << y;
            }
    }
}

TEST_F(PermutationmatrixWideTest, AWindowSmallerThanTheMatrixScrollsIt)
{
    Open();
    Plot->Form()->resize(150, 120);
    QCoreApplication::processEvents();
    EXPECT_LT(Plot->Form()->width(), Edit()->minimumWidth());
    EXPECT_GE(Edit()->width(), Edit()->minimumWidth());
    EXPECT_GE(Edit()->height(), Edit()->minimumHeight());
    auto* scroll = Plot->Form()->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());

    // The editor's image holds what the viewport shows, and what scrolls
    // into view is painted as the whole plot's picture shows it.
    QImage whole(Edit()->size(), QImage::Format_RGB32);
    whole.fill(Qt::white);
    {
        TCanvas canvas(&whole);
        Edit()->PaintTo(canvas, AllGOEParts);
    }
    for (const int value : {scroll->horizontalScrollBar()->maximum() / 2, scroll->horizontalScrollBar()->maximum()}) {
        scroll->horizontalScrollBar()->setValue(value);
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        const QImage& image = Edit()->BackingImage();
        EXPECT_LE(image.width(), scroll->viewport()->width());
        EXPECT_LE(image.height(), scroll->viewport()->height());
        const QRect shown(Edit()->BackingOrigin(), image.size());
        EXPECT_EQ(shown, Edit()->visibleRegion().boundingRect());
        EXPECT_EQ(CountChanged(image, whole.copy(shown)), 0) << value;
    }
}
