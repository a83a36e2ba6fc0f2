#include "MainWindowFixture.h"

#include "spreadsheet/SpreadsheetModel.h"
#include "support/SpreadsheetPeer.h"

#include <QDBusVariant>

namespace {

const QString DataLost = QStringLiteral("The data is no longer available, exiting.");
const QString SelectionMessage = QStringLiteral("To use the Quorbel Add-In, please select a cell range including \n"
                                                "the names of data points and dimensions.");

// The main window connected to a spreadsheet peer process over the session bus.
class SpreadsheetConnectionTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        MainWindowTest::SetUp();
        Peer = std::make_unique<TSpreadsheetPeer>();
        ASSERT_TRUE(Peer->Started());
        App = RemoteDispatch(Peer->Bus(), Peer->Application());
        Window->CloseRequest = [this](TQuorbelWindow*) { ++CloseRequests; };
    }

    void TearDown() override
    {
        App = TDispatch();
        MainWindowTest::TearDown();
    }

    int ValueReads(const QString& Book) { return Peer->Control(QStringLiteral("ValueReads"), {Book}).toInt(); }
    int LiveObjects() { return Peer->Control(QStringLiteral("LiveObjects")).toInt(); }
    void SetCell(const QString& Book, int Row, int Column, double Value)
    {
        Peer->Control(QStringLiteral("SetCell"), {Book, Row, Column, QVariant::fromValue(QDBusVariant(Value))});
    }
    void Select(const QString& Book, int Rows, int Columns)
    {
        Peer->Control(QStringLiteral("Select"), {Book, 1, 1, Rows, Columns});
    }
    // Waits until the re-reads that the peer's events so far cause are done:
    // a recalculation of the loaded workbook comes after them and re-reads
    // once more.
    void SettleEvents(const QString& LoadedBook)
    {
        const int before = ValueReads(LoadedBook);
        Peer->Control(QStringLiteral("Calculate"), {LoadedBook});
        ASSERT_TRUE(ProcessEventsUntil([&] { return ValueReads(LoadedBook) > before; }));
        FSettled = ValueReads(LoadedBook);
    }
    // Cell reads of one re-read of a selection of Rows x Columns.
    static int ReadsPerLoad(int Rows, int Columns) { return Rows * Columns - 1; }
    int Settled() const { return FSettled; }

    std::unique_ptr<TSpreadsheetPeer> Peer;
    TDispatch App;
    int CloseRequests = 0;

private:
    int FSettled = 0;
};

} // namespace

TEST_F(SpreadsheetConnectionTest, LoadsTheSelectionAndFollowsItsWorkbookOnly)
{
    Peer->AddTable(QStringLiteral("Book1"), 3, 4);
    const int objectsBefore = LiveObjects();
    Window->OpenExcel(App);

    ASSERT_EQ(Data().DimCount(), 3);
    ASSERT_EQ(Data().PointCount(), 2);
    EXPECT_EQ(Data().GetDimName(0), QStringLiteral("Dim 1"));
    EXPECT_EQ(Data().GetDimName(2), QStringLiteral("Dim 3"));
    EXPECT_EQ(Data().GetPointName(1), QStringLiteral("Item 2"));
    EXPECT_EQ(Data().GetValue(1, 2), 34.0); // sheet row 3, column 4
    EXPECT_EQ(ValueReads(QStringLiteral("Book1")), ReadsPerLoad(3, 4)); // the top-left cell is not read
    const QStringList codes = Codes();
    const auto loaded = codes.indexOf(QStringLiteral("loadExcel Item 1"));
    ASSERT_GE(loaded, 0);
    EXPECT_EQ(codes.mid(loaded + 1),
              (QStringList{QStringLiteral("Dim0 Dim 1"), QStringLiteral("Dim1 Dim 2"), QStringLiteral("Dim2 Dim 3")}));

    // An edit of the loaded workbook re-reads the whole table.
    SetCell(QStringLiteral("Book1"), 2, 2, 99.0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Data().GetValue(0, 0) == 99.0; }));
    EXPECT_EQ(ValueReads(QStringLiteral("Book1")), 2 * ReadsPerLoad(3, 4));
    EXPECT_EQ(Data().GetDimMax(0), 99.0); // the data object adjusted its ranges

    // Edits, recalculations and the closing of another workbook change
    // nothing.
    Peer->AddTable(QStringLiteral("Book2"), 2, 2);
    Peer->Control(QStringLiteral("Calculate"), {QStringLiteral("Book2")});
    Peer->Control(QStringLiteral("CloseWorkbook"), {QStringLiteral("Book2")});
    const int reads = ValueReads(QStringLiteral("Book1"));
    SettleEvents(QStringLiteral("Book1"));
    EXPECT_EQ(Settled(), reads + ReadsPerLoad(3, 4));
    EXPECT_EQ(CloseRequests, 0);

    // Closing the loaded workbook asks the add-in to close, once, without
    // the closing steps.
    Peer->Control(QStringLiteral("CloseWorkbook"), {QStringLiteral("Book1")});
    ASSERT_TRUE(ProcessEventsUntil([&] { return CloseRequests > 0; }));
    EXPECT_EQ(CloseRequests, 1);
    EXPECT_FALSE(Codes().contains(QStringLiteral("close Quorbel")));
    EXPECT_TRUE(Window->isVisible());

    // Every reference received, events included, goes back once the window
    // lets go.
    Window.reset();
    App = TDispatch();
    EXPECT_EQ(LiveObjects(), objectsBefore);
}

TEST_F(SpreadsheetConnectionTest, EmptyCellsBelowAndRightOfTheTableGoAndItsNamesStay)
{
    // A 3 x 4 table at the sheet's top-left, its first row or column
    // emptied, under a selection of whole columns or of the table.
    const struct {
        int Rows, Columns;
        bool EmptyFirstRow, EmptyFirstColumn;
    } cases[] = {
        {TSheetModel::MaxRows, 5, false, false},
        {TSheetModel::MaxRows, TSheetModel::MaxColumns, false, false},
        {3, 4, true, false},
        {3, 4, false, true},
        {TSheetModel::MaxRows, TSheetModel::MaxColumns, true, true},
    };
    int book = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Rows << " x " << c.Columns << " " << c.EmptyFirstRow << " "
                                        << c.EmptyFirstColumn);
        const QString name = QStringLiteral("Book%1").arg(++book);
        Peer->AddTable(name, 3, 4);
        const QVariant empty = QVariant::fromValue(QDBusVariant(EncodeAutomationValue(TVariant())));
        for (int i = 1; i <= 4; ++i) {
            if (c.EmptyFirstRow)
                Peer->Control(QStringLiteral("SetCell"), {name, 1, i, empty});
            if (c.EmptyFirstColumn && i <= 3)
                Peer->Control(QStringLiteral("SetCell"), {name, i, 1, empty});
        }
        Peer->Control(QStringLiteral("Select"), {name, 1, 1, c.Rows, c.Columns});
        Window->OpenExcel(App);
        EXPECT_TRUE(Messages().isEmpty());
        ASSERT_EQ(Data().DimCount(), 3);
        ASSERT_EQ(Data().PointCount(), 2);
        EXPECT_EQ(Data().GetDimName(2), c.EmptyFirstRow ? QString() : QStringLiteral("Dim 3"));
        EXPECT_EQ(Data().GetPointName(0), c.EmptyFirstColumn ? QString() : QStringLiteral("Item 1"));
        EXPECT_EQ(Data().GetValue(1, 2), 34.0);
        EXPECT_EQ(ValueReads(name), ReadsPerLoad(3, 4));
    }
}

TEST_F(SpreadsheetConnectionTest, ASelectionWithoutNamesKeepsTheTableAndClosesTheWindow)
{
    Peer->AddTable(QStringLiteral("Book1"), 3, 4);
    Window->OpenExcel(App);
    ASSERT_EQ(Data().DimCount(), 3);
    // The close request keeps the window open, so each case finds the
    // former table. Each case has a 3 x 4 table of its own, then selects
    // part of it or gets a wrong answer.
    const struct {
        int Top, Rows, Columns;
        const char* Address = ""; // of a range that answers wrongly
        const char* Member = "";
        int Answer = 0;
        int FarCell = 0; // a cell written at the sheet's bottom-right corner
    } cases[] = {
        {1, 1, 1},
        {1, 1, 4},
        {1, 3, 1},
        {5, 3, 4}, // below every cell in use
        {1, 3, 4, "B1:D1", "Rows.Count", -1},
        {1, 3, 4, "A2:A3", "Columns.Count", 3},
        {1, 3, 4, "B2:D3", "Rows.Count", 0},
        // The whole sheet in use: far too many cells to hold.
        {1, TSheetModel::MaxRows, TSheetModel::MaxColumns, "", "", 0, 1},
    };
    int book = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Rows << " x " << c.Columns << " " << c.Address << " " << c.Member);
        const QString name = QStringLiteral("Book%1").arg(++book);
        Peer->AddTable(name, 3, 4);
        if (*c.Member)
            Peer->Control(QStringLiteral("Misanswer"), {name, QString::fromLatin1(c.Address),
                                                        QString::fromLatin1(c.Member),
                                                        QVariant::fromValue(QDBusVariant(c.Answer))});
        if (c.FarCell)
            Peer->Control(QStringLiteral("SetCell"), {name, TSheetModel::MaxRows, TSheetModel::MaxColumns,
                                                      QVariant::fromValue(QDBusVariant(1.0))});
        Responder->Clear();
        const int requests = CloseRequests;
        Peer->Control(QStringLiteral("Select"), {name, c.Top, 1, c.Rows, c.Columns});
        Window->OpenExcel(App);
        EXPECT_EQ(Messages().value(0), SelectionMessage); // then the upload notice
        EXPECT_EQ(CloseRequests, requests + 1);
        EXPECT_EQ(LastCode(), QStringLiteral("close Quorbel"));
        EXPECT_EQ(Data().DimCount(), 3);
        EXPECT_EQ(Data().GetValue(1, 2), 34.0);
    }
}

TEST_F(SpreadsheetConnectionTest, DataThatGoesAwayIsReportedAndClosesTheWindow)
{
    // A closed workbook or a gone spreadsheet must not re-read as a table of
    // unknown values.
    enum class Loss { WorkbookClosed, ReopenedUnderItsName, PeerKilled, PeerGoneMidRead };
    const struct {
        Loss How;
        const char* Book;
    } cases[] = {{Loss::WorkbookClosed, "Book1"},
                 {Loss::ReopenedUnderItsName, "Book2"},
                 {Loss::PeerKilled, "Book3"},
                 {Loss::PeerGoneMidRead, "Book4"}};
    for (const auto& c : cases) {
        const QString book = QString::fromLatin1(c.Book);
        SCOPED_TRACE(c.Book);
        if (c.How == Loss::PeerGoneMidRead) {
            // A peer of its own: the case before ended the former one.
            Peer = std::make_unique<TSpreadsheetPeer>();
            ASSERT_TRUE(Peer->Started());
            App = RemoteDispatch(Peer->Bus(), Peer->Application());
        }
        Window->CloseRequest = nullptr;
        Peer->AddTable(book, 3, 4);
        Window->OpenExcel(App);
        ASSERT_EQ(Data().GetValue(0, 0), 22.0);
        Responder->Clear();
        Terminations = 0;
        switch (c.How) {
        case Loss::WorkbookClosed:
            Peer->Control(QStringLiteral("CloseWorkbook"), {book});
            Window->Action(QStringLiteral("ActionRefresh"))->trigger();
            break;
        case Loss::ReopenedUnderItsName:
            // The new workbook's edits re-read the ranges of the closed one,
            // and the window closes from inside the event's delivery.
            Peer->Control(QStringLiteral("CloseWorkbook"), {book});
            Peer->AddTable(book, 2, 2);
            ASSERT_TRUE(ProcessEventsUntil([&] { return Terminations > 0; }));
            break;
        case Loss::PeerKilled:
            Peer->Kill();
            Window->Action(QStringLiteral("ActionRefresh"))->trigger();
            break;
        case Loss::PeerGoneMidRead:
            // Gone while the item names, read last, are read: no later call
            // would notice.
            Peer->Control(QStringLiteral("ExitAfterReads"), {book, ValueReads(book) + ReadsPerLoad(3, 4) - 1});
            Window->Action(QStringLiteral("ActionRefresh"))->trigger();
            break;
        }
        EXPECT_EQ(Messages().value(0), DataLost);
        EXPECT_EQ(Terminations, 1);
        EXPECT_FALSE(Window->isVisible());
        Window = std::make_unique<TQuorbelWindow>();
        Window->Terminate = [this] { ++Terminations; };
        Window->show();
    }
}

TEST_F(SpreadsheetConnectionTest, ASecondOpenReplacesTheTableUnderAnOpenPlot)
{
    Peer->AddTable(QStringLiteral("Book1"), 3, 4);
    Window->OpenExcel(App);
    OpenPlot(QStringLiteral("ScatterplotMatrix"));
    Peer->AddTable(QStringLiteral("Book2"), 4, 3);
    Window->OpenExcel(App);

    EXPECT_TRUE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));
    EXPECT_EQ(Data().DimCount(), 2);
    EXPECT_EQ(Data().PointCount(), 3);
    EXPECT_EQ(Codes().filter(QStringLiteral("loadExcel Item 1")).size(), 2);
    EXPECT_EQ(LastCode(), QStringLiteral("Dim1 Dim 2"));
    // The new workbook is the one followed.
    const int formerReads = ValueReads(QStringLiteral("Book1"));
    SetCell(QStringLiteral("Book1"), 2, 2, 5.0);
    SettleEvents(QStringLiteral("Book2"));
    EXPECT_EQ(ValueReads(QStringLiteral("Book1")), formerReads);
    EXPECT_EQ(Settled(), 2 * ReadsPerLoad(4, 3));
}

TEST_F(SpreadsheetConnectionTest, EventsThatNameNoUsableSheetAreIgnored)
{
    Peer->AddTable(QStringLiteral("Book1"), 3, 4);
    Window->OpenExcel(App);
    Peer->AddTable(QStringLiteral("Book2"), 2, 2);
    // A sheet whose workbook is a number.
    Peer->Control(QStringLiteral("Misanswer"), {QStringLiteral("Book2"), QString(), QStringLiteral("Parent"),
                                                QVariant::fromValue(QDBusVariant(5))});
    const TDBusObjectRef references[] = {
        {QDBusConnection::sessionBus().baseService(), QDBusObjectPath(QStringLiteral("/"))}, // this process
        {QStringLiteral("org.freedesktop.DBus"), QDBusObjectPath(QStringLiteral("/org/freedesktop/DBus"))},
        {QString(), QDBusObjectPath(QStringLiteral("/"))},
        {QString(), QDBusObjectPath(QStringLiteral("/not/nil"))},
    };
    Responder->Clear();
    const int reads = ValueReads(QStringLiteral("Book1"));
    for (const char* signal : {"SheetChange", "SheetCalculate"}) {
        for (const TDBusObjectRef& ref : references)
            Peer->Control(QStringLiteral("EmitReference"), {QString::fromLatin1(signal), QVariant::fromValue(ref)});
        Peer->Control(QStringLiteral("Emit"), {QString::fromLatin1(signal), QStringLiteral("Book2"), 20});
    }
    // The loaded workbook is still followed, once per event.
    SettleEvents(QStringLiteral("Book1"));
    EXPECT_EQ(Settled(), reads + ReadsPerLoad(3, 4));
    EXPECT_EQ(Responder->Requests().size(), 0u) << Responder->Texts().join(u'|').toStdString();
    EXPECT_EQ(Data().GetValue(1, 2), 34.0);
}
