#include "MainWindowFixture.h"

#include "QuorData/QuorDataSrcXML.h"
#include "QuorData/XMLTestSupport.h"
#include "methods/QuorPlotClient.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorScatterplotmatrix.h"
#include "spreadsheet/SpreadsheetModel.h"

#include "platform/Application.h"
#include "support/Gestures.h"
#include "support/Images.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QToolBar>

TEST_F(MainWindowTest, PlainStartShowsThePlaceholderAndLogsTheStart)
{
    ASSERT_EQ(Data().DimCount(), 1);
    ASSERT_EQ(Data().PointCount(), 1);
    EXPECT_EQ(Data().GetDimName(0), QStringLiteral("Column 1"));
    EXPECT_EQ(Data().GetPointName(0), QStringLiteral("Row 1"));
    EXPECT_EQ(Data().GetPointProps(0).Color, 15);
    EXPECT_EQ(Codes().mid(0, 4), (QStringList{QStringLiteral("Quorbel Version August 2010"),
                                              QStringLiteral("load Row 1"), QStringLiteral("usrtype student"),
                                              QStringLiteral("usrid TEST0001")}));
    EXPECT_EQ(Window->windowTitle(), QStringLiteral("Quorbel \u00ae"));
    for (const char* key : {"SubSelection", "FormControl"})
        EXPECT_TRUE(Manager().HasClient(QString::fromLatin1(key))) << key;
    for (QToolBar* bar : {Window->ActionToolBarPCoord, Window->ActionToolBarPMatrix, Window->ActionToolBarSMatrix,
                          Window->ActionToolBarACurves})
        EXPECT_FALSE(bar->isVisible()) << bar->objectName().toStdString();
    for (QMenu* menu : {Window->MenuItemPCoord, Window->MenuItemPMatrix, Window->MenuItemSMatrix,
                        Window->MenuItemACurves})
        EXPECT_FALSE(menu->menuAction()->isVisible()) << menu->objectName().toStdString();
    // The form data client fills the panels.
    EXPECT_EQ(Window->StatusPanels[0]->text(), QStringLiteral("data items: 1 / 1"));
    // Sixteen colour items stand in both mark menus.
    EXPECT_EQ(Window->MenuItemMarkPoints->actions().size(), 16);
    EXPECT_EQ(Window->PLCMenuItemMarkPoints->actions().value(15)->text(), QStringLiteral("Color 16"));
}

TEST_F(MainWindowTest, SidePanelAndBottomPanelButtonsSetTheirSizes)
{
    Window->BitBtnMinimize->click();
    EXPECT_EQ(Window->SubPanelWidth(), 1);
    Window->BitBtnExpand->click();
    EXPECT_EQ(Window->SubPanelWidth(), 400);
    Window->BitBtnReduce->click();
    EXPECT_EQ(Window->SubPanelWidth(), 70);
    EXPECT_EQ(Window->BitBtnExpand->y(), 50);
    Window->UpSplitterButton->click();
    EXPECT_EQ(Window->BottomPanelHeight(), 205);
    Window->DownSplitterButton->click();
    EXPECT_EQ(Window->BottomPanelHeight(), 50);
}

TEST_F(MainWindowTest, NamesThatAreNoXMLFilesAreRefused)
{
    // Cancelled, and an ending that differs in letter case.
    for (const QString& answer : {QString(), QStringLiteral("/tmp/data.XML")}) {
        Responder->Clear();
        Responder->Push(answer);
        Window->LoadXMLFile();
        EXPECT_EQ(Messages(), QStringList{QStringLiteral("invalid file")}) << answer.toStdString();
        EXPECT_EQ(Data().GetPointName(0), QStringLiteral("Row 1"));
    }
}

class MainWindowFileTest : public MainWindowTest {
protected:
    QString Write(const QByteArray& Content, const QString& Name) { return WriteTestFile(FDir, Content, Name); }
    // Loads the table through a file, as a user does.
    void LoadTable(const TData& Table)
    {
        const QString path = FDir.filePath(QStringLiteral("table.xml"));
        WriteXMLFile(path, Table);
        Responder->Push(path);
        Window->LoadXMLFile();
    }

    QTemporaryDir FDir;
};

TEST_F(MainWindowFileTest, LoadingAFileKeepsOpenPlotsAndLogsItsDimensions)
{
    TTestTable table(3, 5);
    const QString path = FDir.filePath(QStringLiteral("table.xml"));
    WriteXMLFile(path, table.Data);
    OpenPlot(QStringLiteral("ScatterplotMatrix"));
    auto* plot = dynamic_cast<TScatterplotmatrix*>(Manager().GetClient(QStringLiteral("ScatterplotMatrix")));
    ASSERT_TRUE(plot);
    plot->DoUpdates();

    Responder->Push(path);
    Window->Action(QStringLiteral("LoadXML1"))->trigger();

    EXPECT_EQ(Data().DimCount(), 3);
    EXPECT_EQ(Data().PointCount(), 5);
    EXPECT_EQ(Data().GetPointProps(0).Color, table.Data.GetPointProps(0).Color);
    EXPECT_TRUE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));
    // The plot shows the new table.
    plot->DoUpdates();
    EXPECT_EQ(plot->Layout.GridCount(), 3);
    const QStringList added = Codes().mid(Codes().indexOf(QStringLiteral("Addin.3")));
    EXPECT_EQ(added.mid(0, 2), (QStringList{QStringLiteral("Addin.3"), QFileInfo(path).absoluteFilePath()}));
    EXPECT_TRUE(added.contains(QStringLiteral("loadXML Item 1")));
    EXPECT_EQ(added.mid(added.size() - 3), (QStringList{QStringLiteral("Dim0 Dim 1"), QStringLiteral("Dim1 Dim 2"),
                                                        QStringLiteral("Dim2 Dim 3")}));
    EXPECT_EQ(Window->StatusPanels[1]->text(), QStringLiteral("dimensions: 3 / 3"));
}

TEST_F(MainWindowFileTest, AFileThatFailsKeepsTheTable)
{
    Responder->Push(Write("<data><variables>", QStringLiteral("broken.xml")));
    EXPECT_THROW(Window->LoadXMLFile(), EXMLError);
    EXPECT_EQ(Data().GetPointName(0), QStringLiteral("Row 1"));

    Responder->Push(Write("<data><variables><variable name=\"a\"/></variables><records/></data>",
                          QStringLiteral("empty.xml")));
    Window->LoadXMLFile();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("your file does not contain Data")});
    EXPECT_EQ(Data().GetPointName(0), QStringLiteral("Row 1"));

    Responder->Push(Write("<q><data><variables><realvariable name=\"a\"/></variables><records>"
                          "<record label=\"r\" color=\"2\">1</record><record label=\"s\" color=\"red\">2</record>"
                          "</records></data></q>",
                          QStringLiteral("colour.xml")));
    EXPECT_THROW(Window->LoadXMLFile(), EVariantError);
    EXPECT_EQ(Data().GetPointName(0), QStringLiteral("Row 1"));
}

TEST_F(MainWindowFileTest, SavingWritesTheTableThatLoadsBack)
{
    const QString path = FDir.filePath(QStringLiteral("saved.xml"));
    Responder->Push(path);
    Window->Action(QStringLiteral("SavetoXML1"))->trigger();
    EXPECT_EQ(LastCode(), QStringLiteral("Addin.4"));
    TXMLFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.RecordCount(), 1);
}

// A table saved, then loaded again from the file or from a sheet holding the
// same cells, shows as it was saved, whatever was transposed: records as
// items, variables as dimensions, and the file's colours and hidden flags.
TEST_F(MainWindowFileTest, ATableSavedAndLoadedAgainIsTheSameTable)
{
    const QString saved = FDir.filePath(QStringLiteral("saved.xml"));
    const QString again = FDir.filePath(QStringLiteral("again.xml"));
    const struct {
        bool Transposed;
        bool Sheet;
    } cases[] = {{false, false}, {true, false}, {true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "transposed " << c.Transposed << ", sheet " << c.Sheet);
        TTestTable table(6, 4);
        WriteXMLFile(saved, table.Data);
        Responder->Push(saved);
        Window->LoadXMLFile();
        if (c.Transposed)
            Window->Action(QStringLiteral("ActionTranspose"))->trigger();
        if (!c.Sheet) // a sheet holds no colours or hidden flags
            Data().WriteTransaction(Window.get(), [&] {
                Data().SetPointColor(1, 5);
                Data().SetPointHidden(2, true);
                Data().SetDimHidden(3, true);
            });
        Responder->Push(saved);
        Window->SavetoXML1Click();

        const auto app = std::make_shared<TSpreadsheetModel>();
        const auto sheet = app->AddWorkbook(QStringLiteral("Book1"))->AddSheet(QStringLiteral("Sheet1"));
        if (c.Sheet) {
            for (int d = 0; d < Data().DimCount(); ++d)
                sheet->SetCell(1, d + 2, Data().GetDimName(d));
            for (int p = 0; p < Data().PointCount(); ++p) {
                sheet->SetCell(p + 2, 1, Data().GetPointName(p));
                for (int d = 0; d < Data().DimCount(); ++d)
                    sheet->SetCell(p + 2, d + 2, Data().GetValue(p, d));
            }
            app->Select(sheet, 1, 1, Data().PointCount() + 1, Data().DimCount() + 1);
            Window->OpenExcel(app->AsDispatch());
        } else {
            Responder->Push(saved);
            Window->LoadXMLFile();
        }
        ASSERT_TRUE(Window->Data) << "the window closed";
        EXPECT_FALSE(Data().Transposed());
        EXPECT_FALSE(Window->Action(QStringLiteral("ActionTranspose"))->isChecked());
        Responder->Push(again);
        Window->SavetoXML1Click();
        EXPECT_EQ(ReadTestFile(again), ReadTestFile(saved));

        if (c.Sheet) {
            // A re-read of the same cells keeps the view chosen of them.
            Window->Action(QStringLiteral("ActionTranspose"))->trigger();
            sheet->SetCell(2, 3, 999.0);
            Window->Action(QStringLiteral("ActionRefresh"))->trigger();
            EXPECT_TRUE(Data().Transposed());
            EXPECT_EQ(Data().GetValue(1, 0), 999.0);
        }
    }
}

// One write reaches the four plots, which then paint side by side: each
// shows what it shows painted alone, its update included.
TEST_F(MainWindowFileTest, PlotsPaintedSideBySideShowWhatEachPaintsAlone)
{
    LoadTable(TTestTable(5, 400).Data);
    std::vector<TCustomControl*> controls;
    for (const char* key : kPlotKeys) {
        OpenPlot(QString::fromLatin1(key));
        auto* plot = dynamic_cast<TQuorPlotClient*>(Manager().GetClient(QString::fromLatin1(key)));
        ASSERT_TRUE(plot);
        controls.push_back(qobject_cast<TCustomControl*>(plot->Control()));
        ASSERT_TRUE(controls.back());
    }
    Window->Action(QStringLiteral("WindowTileVertical"))->trigger();
    QCoreApplication::processEvents();

    TObject other;
    Data().WriteTransaction(&other, [&] {
        Data().SetSliderLow(0, 10);
        Data().SetSliderHigh(0, 30);
        Data().SetSliderOff(0, false);
        Data().SetPointSelected(3, true);
    });
    for (TCustomControl* control : controls)
        ASSERT_FALSE(control->InvalidRegion().isEmpty());
    controls[2]->Update();
    std::vector<QImage> together;
    for (TCustomControl* control : controls) {
        EXPECT_TRUE(control->InvalidRegion().isEmpty());
        together.push_back(control->BackingImage().copy());
    }
    for (size_t i = 0; i < controls.size(); ++i) {
        controls[i]->Repaint();
        EXPECT_EQ(CountChanged(controls[i]->BackingImage(), together[i]), 0) << i;
    }
}

// Items picked and the scales fitted to them: a click on an axis of the
// parallel coordinates writes, the fitter refits in answer, and the plot is
// rebuilt once the click is over, showing what the click selected.
TEST_F(MainWindowFileTest, AClickWhoseWriteRefitsTheScalesKeepsWhatItSelected)
{
    LoadTable(TTestTable(8, 2000).Data);
    for (const char* key : kPlotKeys)
        OpenPlot(QString::fromLatin1(key));
    Window->Action(QStringLiteral("WindowTileVertical"))->trigger();
    QCoreApplication::processEvents();
    TObject other;
    Data().WriteTransaction(&other, [&] {
        for (int p = 0; p < 10; ++p)
            Data().SetPointSelected(p * 7, true);
    });
    Window->Action(QStringLiteral("ActionPickPoints"))->trigger();
    Window->Action(QStringLiteral("ActionFitBounds"))->trigger();
    auto* plot = dynamic_cast<TParallelCoordinates*>(Manager().GetClient(QStringLiteral("ParallelCoordinates")));
    ASSERT_TRUE(plot);
    QCoreApplication::processEvents();

    for (const Qt::KeyboardModifiers keys : {Qt::NoModifier, Qt::ShiftModifier}) {
        const QPoint axis(plot->Layout.AxisPos(1), plot->Layout.PlotRect.Bottom - 3);
        PacedClickGesture(plot->Editor(), axis, keys);
        EXPECT_FALSE(Data().Locked());
        EXPECT_EQ(Data().SelectedPointCount(), 0);
        EXPECT_TRUE(Data().IsDimSelected(1));
        ASSERT_TRUE(plot->Editor()->GetSelection());
        EXPECT_EQ(plot->Editor()->GetSelection()->Object->GetHint(), DimensionHint(Data().GetDimName(1)));
        EXPECT_FALSE(plot->Editor()->GetSelection()->Next);
        // Fitted to the picked items' values.
        EXPECT_LT(Data().GetUBound(1) - Data().GetLBound(1), Data().GetDimMax(1) - Data().GetDimMin(1));
        Data().WriteTransaction(&other, [&] { Data().SetDimSelected(1, false); });
    }
}

TEST_F(MainWindowTest, ClosingWithEveryPlotOpenFreesAllAndEndsTheRun)
{
    for (const char* key : kPlotKeys)
        if (Manager().CreateClient(QString::fromLatin1(key)))
            OpenPlot(QString::fromLatin1(key));
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(Terminations, 1);
    EXPECT_FALSE(Window->ClientManager);
    EXPECT_FALSE(Window->Data);
    EXPECT_FALSE(Window->ValueSrc);
    EXPECT_EQ(LastCode(), QStringLiteral("close Quorbel"));
    // No server: the notice, then the log waits as a pending file.
    EXPECT_EQ(PendingFiles(), 1);
    // Every plot window went with its client; the tool bars stay with the window.
    for (QMdiSubWindow* plotWindow : Window->MdiArea()->subWindowList())
        EXPECT_FALSE(plotWindow->isVisible());
    EXPECT_EQ(Window->ActionToolBarSMatrix->parent(), Window.get());
}

TEST_F(MainWindowTest, AClosingRequestKeepsTheWindowAndIsCalledOnce)
{
    int requests = 0;
    Window->CloseRequest = [&](TQuorbelWindow* Sender) {
        EXPECT_EQ(Sender, Window.get());
        Window->CloseRequest = nullptr; // as the automation object clears it
        ++requests;
    };
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Window->ClientManager);
    EXPECT_EQ(Terminations, 0);
    // The next closing takes the plain path.
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(Terminations, 1);
    EXPECT_EQ(Codes().count(QStringLiteral("close Quorbel")), 2);
}

TEST_F(MainWindowTest, AbortInTheErrorDialogEndsWithoutUpload)
{
    Responder->Push(int(mrIgnore));
    TApplication::HandleException(Exception(QStringLiteral("first")));
    EXPECT_EQ(Terminations, 0);
    EXPECT_EQ(Messages().value(0),
              QStringLiteral("An Application error has occured. Sorry for your inconvenience. \n"
                             "Do you want to abort or to ignore this error and continue?\n\n"
                             "Error Details: Exception (first)"));
    Responder->Push(int(mrAbort));
    TApplication::HandleException(Exception(QStringLiteral("second")));
    EXPECT_EQ(Terminations, 1);
    EXPECT_FALSE(Codes().contains(QStringLiteral("close Quorbel")));
    EXPECT_EQ(PendingFiles(), 0);
    // The silent abort shows nothing.
    Responder->Clear();
    TApplication::HandleException(EAbort(QString()));
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(MainWindowTest, CascadeLeavesEveryPlotLargeWithItsTitleBarInView)
{
    struct TCase {
        QSize Window;
        int Plots;
    };
    const TCase cases[] = {{QSize(1168, 826), 4}, {QSize(900, 700), 2}, {QSize(1400, 1000), 3}};
    const std::pair<const char*, const char*> toggles[] = {{"ParallelCoordinates", "ActionQuorPCoord"},
                                                           {"PermutationMatrix", "ActionQuorPMatrix"},
                                                           {"ScatterplotMatrix", "ActionQuorSMatrix"},
                                                           {"AndrewsCurves", "ActionQuorACurves"}};
    for (const TCase& c : cases) {
        Window->resize(c.Window);
        for (int i = 0; i < 4; ++i)
            if ((i < c.Plots) != Manager().HasClient(QString::fromLatin1(toggles[i].first)))
                Window->Action(QString::fromLatin1(toggles[i].second))->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // closed plots' windows
        Window->Action(QStringLiteral("WindowCascade"))->trigger();

        const QList<QMdiSubWindow*> windows = Window->MdiArea()->subWindowList(QMdiArea::StackingOrder);
        ASSERT_EQ(windows.size(), c.Plots);
        const QSize area = Window->MdiArea()->viewport()->size();
        for (qsizetype i = 0; i < windows.size(); ++i) {
            const QRect place = windows[i]->geometry();
            // Nearly the whole area: what the title bars in front leave.
            EXPECT_GE(place.width(), area.width() - 40 * (c.Plots - 1)) << c.Plots << " " << i;
            EXPECT_GE(place.height(), area.height() - 40 * (c.Plots - 1)) << c.Plots << " " << i;
            EXPECT_TRUE(QRect(QPoint(), area).contains(place)) << c.Plots << " " << i;
            // The windows in front begin below this one's title bar.
            const int titleBottom = windows[i]->widget()->geometry().top();
            for (qsizetype j = i + 1; j < windows.size(); ++j)
                EXPECT_GE(windows[j]->geometry().top(), place.top() + titleBottom) << i << " " << j;
        }
    }
}

// Transposing turns 20000 items into 20000 dimensions, whose scatterplot
// matrix would build 200 million cells. Under an address-space cap that
// leaves a few GB, the transpose goes through, the scatterplot matrix closes
// with a message, and the plots that fit stay open.
TEST_F(MainWindowFileTest, ATransposeTooWideForAPlotClosesItAndKeepsTheRest)
{
    if (!ScopedAddressSpaceCap::Supported())
        GTEST_SKIP() << "no address-space cap under a sanitizer";
    TTestTable table(8, 20000);
    const QString path = FDir.filePath(QStringLiteral("wide.xml"));
    WriteXMLFile(path, table.Data);
    Responder->Push(path);
    Window->LoadXMLFile();
    const QStringList plots = {QStringLiteral("ParallelCoordinates"), QStringLiteral("PermutationMatrix"),
                               QStringLiteral("ScatterplotMatrix"), QStringLiteral("AndrewsCurves")};
    for (const QString& key : plots)
        OpenPlot(key);

    const ScopedAddressSpaceCap cap(3ull << 30);
    Responder->Clear();
    Window->Action(QStringLiteral("ActionTranspose"))->trigger();
    EXPECT_TRUE(ProcessEventsUntil([&] { return !Manager().HasClient(QStringLiteral("ScatterplotMatrix")); }));

    EXPECT_TRUE(Data().Transposed());
    EXPECT_EQ(Data().DimCount(), 20000);
    EXPECT_EQ(Data().PointCount(), 8);
    ASSERT_EQ(Messages().size(), 2);
    EXPECT_TRUE(Messages()[1].startsWith(
        QStringLiteral("The Scatterplot Matrix of 8 data items by 20000 dimensions would need ")))
        << Messages()[1].toStdString();
    for (const QString& key : plots)
        EXPECT_EQ(Manager().HasClient(key), key != QStringLiteral("ScatterplotMatrix")) << key.toStdString();
}

// Loading a file too wide for a plot: the table loads, the scatterplot
// matrix (a cell per pair of 800 dimensions and an image to match) closes
// with its message, and parallel coordinates, which fit, stay.
TEST_F(MainWindowFileTest, ALoadTooWideForAPlotClosesItAndKeepsTheRest)
{
    TTestTable table(800, 4);
    const QString path = FDir.filePath(QStringLiteral("wide.xml"));
    WriteXMLFile(path, table.Data);
    OpenPlot(QStringLiteral("ScatterplotMatrix"));
    OpenPlot(QStringLiteral("ParallelCoordinates"));
    Manager().MemoryProbe = [] { return uint64_t(50'000'000); };
    Responder->Push(path);
    Window->LoadXMLFile();
    EXPECT_TRUE(ProcessEventsUntil([&] { return !Manager().HasClient(QStringLiteral("ScatterplotMatrix")); }));

    EXPECT_EQ(Data().DimCount(), 800);
    EXPECT_TRUE(Manager().HasClient(QStringLiteral("ParallelCoordinates")));
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith(QStringLiteral("The Scatterplot Matrix of 4 data items by 800 dimensions")));
    EXPECT_TRUE(Messages()[0].endsWith(QStringLiteral("but only 50.0 MB are free; the plot is closed.")));
}
