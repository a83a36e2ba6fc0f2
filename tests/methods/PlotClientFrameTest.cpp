#include "PlotTestFrame.h"

#include "methods/QuorPlotClient.h"
#include "platform/Canvas.h"
#include "platform/Metafile.h"
#include "support/TestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include <gtest/gtest.h>

namespace {

// A plot that is its own drawing control, without an editor: it paints a
// black square into its pictures.
class TControlPlot : public TQuorPlotClient {
public:
    explicit TControlPlot(QWidget* AOwner) : TQuorPlotClient(AOwner, Info())
    {
        Control = new QWidget;
        InstallControl(Control);
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
    QPointer<QWidget> Control;

protected:
    void Changed(TDataChange) override {}
    void CalcFrameGeometry() override {}
    void BuildObjects() override {}
    void CalcLayout() override {}
    void UpdateObjectGeometry(TGraphicObject*) override {}
    void SyncSelection() override {}
    TSize GetMinEditorSize() const override { return {}; }
    TMetafile MakeMetafile(TGOEParts) const override
    {
        return TMetafile(Control->size(), [](TCanvas& C) {
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
    auto owned = std::make_unique<TControlPlot>(&F.Area);
    TControlPlot* plot = owned.get();
    F.Manager->AddClient(QStringLiteral("AndrewsCurves"), QStringLiteral("Andrews' Curves"), std::move(owned));
    EXPECT_EQ(plot->Form()->windowTitle(), QStringLiteral("Andrews' Curves"));
    EXPECT_TRUE(plot->Form()->isAncestorOf(plot->Control));
    EXPECT_TRUE(plot->Form()->isAncestorOf(F.ToolBar));
    EXPECT_TRUE(std::find(test.Data.Clients().begin(), test.Data.Clients().end(), plot) != test.Data.Clients().end());
    EXPECT_EQ(plot->Editor(), nullptr);
    EXPECT_NO_THROW(plot->DoUpdates());

    plot->Form()->resize(200, 150);
    plot->CopyToClipboard(QGuiApplication::clipboard());
    QImage png;
    ASSERT_TRUE(png.loadFromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.size(), plot->Control->size());
    EXPECT_EQ(png.pixel(3, 3), qRgb(0, 0, 0));

    QPointer<TQuorMethodBaseForm> form = plot->Form();
    form->close();
    EXPECT_EQ(F.CountLog(QStringLiteral("close 4")), 1);
    EXPECT_FALSE(F.Manager->HasClient(QStringLiteral("AndrewsCurves")));
    EXPECT_EQ(F.ToolBar->parentWidget(), &F.ToolBarHome);
    EXPECT_TRUE(ProcessEventsUntil([&] { return form.isNull(); }, 2000));
}
