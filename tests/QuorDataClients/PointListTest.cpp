#include "QuorDataClients/QuorPointList.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorDataClients/PointListModel.h"
#include "support/TestSupport.h"

#include "ClientTestData.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class PointListTest : public ::testing::Test, public TClientTestData {
protected:
    void SetUp() override
    {
        Parent.resize(400, 300);
        Parent.show();
        Manager->AppProperties = &Props;
        auto list = std::make_unique<TPointListController>(&Parent);
        List = list.get();
        List->List()->resize(380, 280);
        Manager->AddClient(QStringLiteral("PointEditor"), QStringLiteral("Data items Editor"),
                           std::move(list));
        Recorder = AddRecorder();
    }

    // The manager goes before the panel that parents the list.
    void TearDown() override { Manager.reset(); }

    TPointListModel* Model() const { return List->Model(); }
    QString Text(int Row, int Column) const { return Model()->data(Model()->index(Row, Column)).toString(); }
    bool RowSelected(int Row) const
    {
        return List->List()->selectionModel()->isSelected(Model()->index(Row, 0));
    }
    // The row that shows the data item at a view position.
    int RowOfPoint(int Point) const { return Model()->RowOf(Data.GetPointPerm(Point)); }
    void SelectRowsInList(int First, int Last)
    {
        List->List()->selectionModel()->select(
            QItemSelection(Model()->index(First, 0), Model()->index(Last, 0)),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    TQuorAppProperties Props;
    QWidget Parent;
    TPointListController* List = nullptr;
    TNoticeRecorder* Recorder = nullptr;
};

} // namespace

TEST_F(PointListTest, RowsShowStateIndexColourAndFollowSelectionsMadeElsewhere)
{
    ASSERT_EQ(Model()->rowCount(), 10);
    ASSERT_EQ(Model()->columnCount(), 8);
    EXPECT_EQ(Model()->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), "Column 1 Slider");
    Write([this] {
        Data.SetPointSelected(0, true);
        Data.SetPointHidden(0, true);
        Data.SetPointHidden(1, true);
        Data.SetPointSelected(2, true);
        Data.SetPointColor(3, 12);
    });
    const QString states[] = {"Selected, Hidden", "Hidden", "Selected", ""};
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(Text(RowOfPoint(v), 1), states[v]) << v;
        EXPECT_EQ(RowSelected(RowOfPoint(v)), v == 0 || v == 2) << v;
    }
    EXPECT_EQ(Text(RowOfPoint(3), 3), QString(QChar(12)));
    // Deselecting elsewhere clears the row.
    Write([this] { Data.SetPointSelected(2, false); });
    EXPECT_FALSE(RowSelected(RowOfPoint(2)));
    EXPECT_EQ(Text(RowOfPoint(2), 1), "");
}

TEST_F(PointListTest, ColumnsTakeTheirWidths)
{
    const int widths[] = {70, 100, 30, 40, 15, 15, 15, 15};
    ASSERT_EQ(Model()->columnCount(), 8);
    for (int col = 0; col < 8; ++col)
        EXPECT_EQ(List->List()->columnWidth(col), widths[col]) << col;
}

TEST_F(PointListTest, RebuildSortsByIdxThatIsInViewOrder)
{
    Write([this] {
        Data.ExchangePoints(0, 5);
        Data.SetPointSelected(3, true);
    });
    List->ColumnClick(TPointListModel::ColorColumn);
    List->Rebuild();
    // The items keep their selection through the new rows.
    EXPECT_EQ(Data.SelectedPointCount(), 1);
    EXPECT_TRUE(RowSelected(3));
    EXPECT_EQ(List->SortColumn(), TPointListModel::IdxColumn);
    ASSERT_EQ(List->ItemIds().size(), 10u);
    for (int row = 0; row < 10; ++row) {
        EXPECT_EQ(List->ItemIds()[size_t(row)], row);
        EXPECT_EQ(Text(row, 2), QString::number(row));
        EXPECT_EQ(Text(row, 0), Data.GetPointName(row));
    }
    EXPECT_EQ(Text(0, 0), "Row 6");
}

TEST_F(PointListTest, ColourSortsDescendingOnEveryClick)
{
    const int colors[] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3};
    Write([&] {
        for (int v = 0; v < 10; ++v)
            Data.SetPointColor(v, colors[v]);
    });
    for (int click = 0; click < 2; ++click) {
        QTest::mouseClick(List->List()->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(List->List()->columnViewportPosition(3) + 5, 5));
        ASSERT_EQ(List->SortColumn(), 3);
        for (int row = 1; row < 10; ++row)
            EXPECT_GE(Text(row - 1, 3).at(0).unicode(), Text(row, 3).at(0).unicode()) << row;
    }
    // Names compare without regard to ASCII case, "Row 10" before "Row 2".
    List->ColumnClick(0);
    EXPECT_EQ(Text(0, 0), "Row 1");
    EXPECT_EQ(Text(1, 0), "Row 10");
}

TEST_F(PointListTest, SelectingRowsDeselectsDimensionsInTheSameTransaction)
{
    Write([this] { Data.SetDimSelected(1, true); });
    List->ColumnClick(TPointListModel::StateColumn);
    Recorder->Clear();
    const int row = 7;
    const int point = Data.GetPointInvPerm(Model()->ItemAt(row));
    SelectRowsInList(row, row);
    EXPECT_TRUE(Data.IsPointSelected(point));
    EXPECT_EQ(Data.SelectedPointCount(), 1);
    EXPECT_FALSE(Data.IsDimSelected(1));
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "ValueChange", "EndEvents"}));
    EXPECT_EQ(Text(row, 1), "Selected");
    // Its own notices come back to the list and are ignored: no rebuild, no
    // new sort that would move the selected row to the top.
    EXPECT_EQ(List->SortColumn(), TPointListModel::StateColumn);
    EXPECT_EQ(Model()->RowOf(Data.GetPointPerm(point)), row);

    // Another row replaces it; a row already in step writes nothing.
    Recorder->Clear();
    SelectRowsInList(2, 3);
    EXPECT_FALSE(Data.IsPointSelected(point));
    EXPECT_EQ(Data.SelectedPointCount(), 2);
    EXPECT_EQ(Recorder->Notices, QStringList({"BeginEvents", "PointSelectionChange 7 false", "PointSelectionChange 2 true",
                                              "PointSelectionChange 3 true", "EndEvents"}));
}

TEST_F(PointListTest, CopiesTheNamesOfSelectedOrAllItemsInViewOrder)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    Write([this] {
        Data.ExchangePoints(0, 9);
        Data.SetPointSelected(1, true);
        Data.SetPointSelected(4, true);
        Data.SetPointSelected(9, true);
        Data.SetPointHidden(4, true);
    });
    List->ColumnClick(0);
    EXPECT_EQ(List->GetCapabilities(), ccCopy | ccCopyOptions);
    ScopedResponder responder;
    responder->Push(int(mrYes));
    responder->Push(int(mrNo));
    responder->Push(int(mrCancel));

    ASSERT_EQ(List->ShowCopyOptions(clipboard), mrOk);
    EXPECT_EQ(responder->Texts(), QStringList("Would you like to copy the names of selected data items only?"));
    EXPECT_EQ(responder->Requests()[0].buttons, mbYesNoCancel);
    List->CopyToClipboard(clipboard);
    EXPECT_EQ(clipboard->text(), "Row 2\r\nRow 5\r\nRow 1\r\n");

    ASSERT_EQ(List->ShowCopyOptions(clipboard), mrOk);
    List->CopyToClipboard(clipboard);
    QString all;
    for (int v = 0; v < 10; ++v)
        all += Data.GetPointName(v) + "\r\n";
    EXPECT_EQ(clipboard->text(), all);
    EXPECT_TRUE(all.startsWith("Row 10\r\nRow 2\r\n"));

    EXPECT_EQ(List->ShowCopyOptions(clipboard), mrCancel);
    EXPECT_FALSE(List->SelectedOnly());

    // Selected only, with nothing selected: the clipboard keeps its text.
    responder->Push(int(mrYes));
    List->ShowCopyOptions(clipboard);
    Write([this] {
        for (int v = 0; v < 10; ++v)
            Data.SetPointSelected(v, false);
    });
    List->CopyToClipboard(clipboard);
    EXPECT_EQ(clipboard->text(), all);
}

TEST_F(PointListTest, ColourSquareWrapsTheIndexAroundTheValueColours)
{
    Write([this] { Data.SetPointColor(0, 17); });
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QStyleOptionViewItem option;
        option.rect = image.rect();
        option.widget = List->List();
        List->List()->itemDelegate()->paint(&painter, option, Model()->index(RowOfPoint(0), 3));
    }
    EXPECT_EQ(image.pixelColor(5, 5), ToQColor(Props.ValueColors[1]));
    EXPECT_EQ(image.pixelColor(1, 1), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixelColor(11, 11), QColor(Qt::white));
}

TEST_F(PointListTest, LiveSliderDragsLeaveTheMarksUntilTheRelease)
{
    const auto slide = [this](double High, bool Live) {
        Write([&] {
            Data.SetSliderOff(0, false);
            Data.SetSliderLow(0, Data.GetDimMin(0));
            Data.SetSliderHigh(0, High);
            if (Live)
                Data.AddCustomEvent(TQDCELiveTracking::Create());
        });
    };
    slide(Data.GetDimMax(0), true);
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(Text(row, 4), "") << row;
    slide(Data.GetDimMax(0) + 1, false);
    // One character, the source index of the dimension: 0.
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(Text(row, 4), QString(QChar(0))) << row;
    EXPECT_EQ(Text(0, 5), "");
}

TEST_F(PointListTest, HeaderReportsAColumnDividerDraggedByTheUser)
{
    TXRExListview* view = List->List();
    QStringList events;
    const auto note = [&](const char* What) {
        return [&events, view, What](TXRExListview* Sender, int Column, int Width) {
            EXPECT_EQ(Sender, view);
            events << QStringLiteral("%1 %2 %3").arg(What).arg(Column).arg(Width);
        };
    };
    view->OnBeginColumnResize = note("begin");
    view->OnColumnResize = note("track");
    view->OnEndColumnResize = note("end");
    view->horizontalHeader()->resizeSection(1, 90);
    EXPECT_TRUE(events.isEmpty());
    QWidget* header = view->horizontalHeader()->viewport();
    QTest::mousePress(header, Qt::LeftButton, {}, QPoint(68, 5));
    view->horizontalHeader()->resizeSection(0, 100);
    view->horizontalHeader()->resizeSection(0, 120);
    QTest::mouseRelease(header, Qt::LeftButton, {}, QPoint(118, 5));
    EXPECT_EQ(events, QStringList({"begin 0 70", "track 0 100", "track 0 120", "end 0 120"}));
}

TEST_F(PointListTest, AListFreedWithItsPanelIgnoresLaterNotices)
{
    delete List->List();
    EXPECT_EQ(List->List(), nullptr);
    EXPECT_EQ(List->Model(), nullptr);
    Write([this] {
        Data.SetPointSelected(1, true);
        Data.SetPointColor(2, 5);
    });
    Write([this] { Data.SetPointSelected(3, true); });
    Write([this] { Data.ExchangePoints(0, 1); });
    Manager->RemoveClient(QStringLiteral("PointEditor"));
    EXPECT_FALSE(Manager->HasClient(QStringLiteral("PointEditor")));
}

TEST_F(PointListTest, SelectionsMoveRowsOnlyWhenSortedByState)
{
    List->ColumnClick(TPointListModel::StateColumn);
    Write([this] { Data.SetPointSelected(7, true); });
    EXPECT_EQ(RowOfPoint(7), 0);
    for (int row = 1; row < 10; ++row)
        EXPECT_GE(Text(row - 1, 1).compare(Text(row, 1), Qt::CaseInsensitive), 0) << row;

    List->ColumnClick(TPointListModel::IdxColumn);
    QSignalSpy moves(Model(), &QAbstractItemModel::layoutChanged);
    Write([this] { Data.SetPointSelected(4, true); });
    Write([this] { Data.SetPointColor(5, 3); });
    EXPECT_EQ(moves.count(), 0);
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(Text(row, 2), QString::number(row));
    EXPECT_TRUE(RowSelected(4));
    EXPECT_TRUE(RowSelected(7));
}

TEST_F(PointListTest, ManySingleSelectionsInOneTurnShowOnceAtItsEnd)
{
    // A rubber band writes one transaction per item: past a budget of rows
    // the view catches up once, when the event loop turns.
    QSignalSpy shown(List->List()->selectionModel(), &QItemSelectionModel::selectionChanged);
    for (int i = 0; i < 400; ++i)
        Write([&] { Data.SetPointSelected(i % 10, (i * 7) % 3 != 0); });
    EXPECT_LT(shown.count(), 300);
    QCoreApplication::processEvents();
    for (int v = 0; v < 10; ++v)
        EXPECT_EQ(RowSelected(RowOfPoint(v)), Data.IsPointSelected(v)) << v;
    // A single write of the next turn shows at once again.
    const bool selected = !Data.IsPointSelected(3);
    Write([&] { Data.SetPointSelected(3, selected); });
    EXPECT_EQ(RowSelected(RowOfPoint(3)), selected);
}
