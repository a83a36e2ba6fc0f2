#include "PlotTestFrame.h"

#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorPlotClient.h"
#include "methods/QuorScatterplotmatrix.h"
#include "platform/Canvas.h"
#include "platform/Memory.h"
#include "platform/Metafile.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include <functional>

#include <gtest/gtest.h>

namespace {

// A drawing control that counts its paints.
class TCountingControl : public QWidget {
public:
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++Paints; }
};

// A plot that is its own drawing control, without an editor: it states only
// what every plot must and paints a black square into its pictures.
class TControlPlot : public TQuorPlotClient {
public:
    explicit TControlPlot(QWidget* AOwner) : TQuorPlotClient(AOwner, Info())
    {
        Canvas = new TCountingControl;
        InstallControl(Canvas);
    }

    // Opens one in the frame's area; the manager owns it.
    static TControlPlot* Open(TPlotTestFrame& F)
    {
        auto owned = std::make_unique<TControlPlot>(&F.Area);
        TControlPlot* plot = owned.get();
        F.Manager->AddClient(Info().Key, Info().Caption, std::move(owned));
        return plot;
    }

    static TPlotClientInfo Info()
    {
        TPlotClientInfo info;
        info.Number = 4;
        info.Key = QStringLiteral("AndrewsCurves");
        info.Caption = QStringLiteral("Andrews' Curves");
        info.PrinterTitle = QStringLiteral("Andrews Curves");
        info.ToolBar = &TQuorClientManager::ActionToolBarACurves;
        return info;
    }

    void InvertBackground() override {}
    // Its picture at no less than Least, as a plot that cannot shrink.
    uint64_t ObjectBytes() const override { return ImageBytes({Least.width(), Least.height()}); }
    QPointer<TCountingControl> Canvas;
    QSize Least{0, 0};

protected:
    TMetafile MakeMetafile(TGOEParts) const override
    {
        return TMetafile(Canvas->size(), [](TCanvas& C) {
            C.SetBrush(TBrush(0x000000));
            C.FillRect(Rect(2, 2, 6, 6));
        });
    }
};

} // namespace

TEST(PlotClientFrame, APlotThatIsItsOwnControlSharesWindowToolBarLogCodesAndCopy)
{
    CreateLog();
    auto test = TMethodsTestData::Standard();
    TPlotTestFrame F(test);
    TControlPlot* plot = TControlPlot::Open(F);
    EXPECT_EQ(plot->Form()->windowTitle(), QStringLiteral("Andrews' Curves"));
    EXPECT_TRUE(plot->Form()->isAncestorOf(plot->Canvas));
    EXPECT_TRUE(plot->Form()->isAncestorOf(F.ToolBar));
    EXPECT_TRUE(std::find(test.Data.Clients().begin(), test.Data.Clients().end(), plot) != test.Data.Clients().end());
    EXPECT_EQ(plot->Editor(), nullptr);
    EXPECT_EQ(plot->Control(), plot->Canvas.data());
    EXPECT_NO_THROW(plot->DoUpdates());

    plot->Form()->resize(200, 150);
    plot->CopyToClipboard(QGuiApplication::clipboard());
    QImage png;
    ASSERT_TRUE(png.loadFromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.size(), plot->Canvas->size());
    EXPECT_EQ(png.pixel(3, 3), qRgb(0, 0, 0));

    QPointer<TQuorMethodBaseForm> form = plot->Form();
    form->close();
    EXPECT_EQ(F.CountLog(QStringLiteral("close 4")), 1);
    EXPECT_FALSE(F.Manager->HasClient(QStringLiteral("AndrewsCurves")));
    EXPECT_EQ(F.ToolBar->parentWidget(), &F.ToolBarHome);
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.isNull(); }, 2000));
}

TEST(PlotClientFrame, APlotThatIsItsOwnControlRepaintsAfterChangesOfOthers)
{
    auto test = TMethodsTestData::Standard();
    TPlotTestFrame F(test);
    TControlPlot* plot = TControlPlot::Open(F);
    plot->Form()->resize(200, 150);
    ASSERT_TRUE(ProcessEventsUntil([&] { return plot->Canvas->Paints > 0; }));
    const int before = plot->Canvas->Paints;

    TOtherWriter(test.Data).Write([](TData& D) { D.SetPointColor(1, 3); });
    EXPECT_TRUE(ProcessEventsUntil([&] { return plot->Canvas->Paints > before; }));
}

TEST(PlotClientFrame, AnExchangeIsOneTransactionThatRebuildsAndEndsTheDragSilently)
{
    auto test = TMethodsTestData::Standard();
    TPlotTestFrame F(test);
    TControlPlot* plot = TControlPlot::Open(F);
    TRecordingDataClient others;
    test.Data.RegisterClient(&others);
    others.Clear();

    plot->ExchangePoints(1, 1);
    plot->ExchangeDims(2, 2);
    EXPECT_EQ(others.Deliveries, 0);

    test.Data.SetPointHidden(0, true);
    EXPECT_THROW(plot->ExchangePoints(0, 2), EAbort); // visible positions: items b and d
    EXPECT_EQ(test.Data.GetPointName(1), QStringLiteral("d"));
    EXPECT_EQ(test.Data.GetPointName(3), QStringLiteral("b"));
    EXPECT_THROW(plot->ExchangeDims(0, 3), EAbort);
    EXPECT_EQ(test.Data.GetDimName(0), QStringLiteral("D"));
    EXPECT_EQ(others.Deliveries, 2);
    EXPECT_EQ(others.Notices, QStringList({"BeginEvents", "PointExchange 1 3", "EndEvents", "BeginEvents",
                                           "DimExchange 0 3", "EndEvents"}));
    EXPECT_FALSE(test.Data.Locked());
    EXPECT_EQ(plot->UpdateLevel, 0);
    test.Data.UnregisterClient(&others);
}

// Before a plot builds for a table it compares what its objects need with
// the memory free: with as much it opens; with a byte less it opens no
// window and closes with a message naming it and the table's size.
TEST(PlotClientFrame, APlotWhoseObjectsWouldNotFitClosesWithAMessage)
{
    for (const TPlotKind& kind : kPlots) {
        auto test = TMethodsTestData::Standard();
        TPlotTestFrame F(test);
        ScopedResponder responder;
        uint64_t room = UINT64_MAX;
        F.Manager->MemoryProbe = [&] { return room; };
        TQuorPlotClient* plot = F.Open(kind);
        const QString key = plot->Info().Key;
        const QString caption = plot->Info().Caption;
        const uint64_t needed = plot->ObjectBytes();
        EXPECT_GT(needed, 1000u) << key.toStdString();
        F.Manager->RemoveClient(key);
        for (const uint64_t free : {needed, needed - 1}) {
            room = free;
            QPointer<TQuorMethodBaseForm> form = F.Open(kind)->Form();
            EXPECT_EQ(form->isVisible(), free == needed) << key.toStdString();
            QCoreApplication::processEvents();
            EXPECT_EQ(F.Manager->HasClient(key), free == needed) << key.toStdString();
            if (F.Manager->HasClient(key))
                F.Manager->RemoveClient(key);
        }
        EXPECT_EQ(responder->Texts(),
                  QStringList{QStringLiteral("The %1 of 4 data items by 4 dimensions would need %2 of memory, "
                                             "but only %3 are free; the plot is closed.")
                                  .arg(caption, MemoryText(needed), MemoryText(needed - 1))});
    }
}

TEST(PlotClientFrame, APictureIsReckonedAsMuchAsTheWindowAreaShowsOfIt)
{
    auto test = TMethodsTestData::Standard();
    TPlotTestFrame F(test);
    TControlPlot* plot = TControlPlot::Open(F);
    plot->Form()->resize(300, 200);
    const QSize area = F.Area.viewport()->size();
    struct TCase {
        QSize Least;
        QSize Reckoned;
    };
    for (const TCase& c : {TCase{QSize(0, 0), QSize(300, 200)}, TCase{QSize(400, 100), QSize(400, 200)},
                           TCase{QSize(18000, 18000), area}, TCase{QSize(100, 18000), QSize(300, area.height())}}) {
        plot->Least = c.Least;
        EXPECT_EQ(plot->ObjectBytes(), uint64_t(c.Reckoned.width()) * uint64_t(c.Reckoned.height()) * 4)
            << c.Least.width() << " x " << c.Least.height();
    }
}
