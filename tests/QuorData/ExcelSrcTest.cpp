#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcExcel.h"
#include "platform/Exceptions.h"
#include "spreadsheet/SpreadsheetModel.h"
#include "platform/DBusDispatch.h"
#include "support/SpreadsheetPeer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A workbook whose sheet cell (r, c) holds r * 100 + c, with a range of
// 6 rows by 4 columns from B2.
struct Sheet {
    std::shared_ptr<TSpreadsheetModel> app = std::make_shared<TSpreadsheetModel>();
    std::shared_ptr<TWorkbookModel> book = app->AddWorkbook(QStringLiteral("Book1"));
    std::shared_ptr<TSheetModel> sheet = book->AddSheet(QStringLiteral("Sheet1"));
    TDispatch range = sheet->Range(2, 2, 6, 4);

    Sheet()
    {
        for (int r = 1; r <= 10; ++r)
            for (int c = 1; c <= 10; ++c)
                sheet->SetCell(r, c, double(r * 100 + c));
    }
};

// An automation object that refuses every call.
class TRefusing : public IAutomationObject {
public:
    TDispatchValue Get(const QString&, const TDispatchArgs&) override { throw EOleError(QStringLiteral("gone")); }
    void Put(const QString&, const TDispatchArgs&, const TDispatchValue&) override {}
    TDispatchValue Call(const QString& n, const TDispatchArgs& a) override { return Get(n, a); }
};

// A range that gives its size but refuses its address.
class TNoAddress : public IAutomationObject {
public:
    explicit TNoAddress(const TDispatch& range) : FRange(range) {}
    TDispatchValue Get(const QString& n, const TDispatchArgs& a) override
    {
        if (n == QLatin1String("Address"))
            throw EOleError(QStringLiteral("refused"));
        return FRange.Get(n, a);
    }
    void Put(const QString& n, const TDispatchArgs& a, const TDispatchValue& v) override { FRange.Put(n, a, v); }
    TDispatchValue Call(const QString& n, const TDispatchArgs& a) override { return Get(n, a); }

private:
    TDispatch FRange;
};

} // namespace

TEST(ExcelOleDataSrc, SetRangeTakesSizeAndAddress)
{
    Sheet s;
    TExcelOleDataSrc src;
    src.SetRange(s.range);
    EXPECT_EQ(src.ColCount(), 4);
    EXPECT_EQ(src.RowCount(), 6);
    EXPECT_EQ(src.Address(), TVariant("[Book1]Sheet1!B2:E7"));
    EXPECT_FALSE(src.Cached());
    EXPECT_EQ(s.sheet->ValueReads(), 0); // uncached: nothing read yet
}

TEST(ExcelOleDataSrc, GridCellsAreRangeItemsFromOne)
{
    Sheet s;
    TExcelOleDataSrc src;
    src.SetRange(s.range);
    // Grid cell (0, 0) is item (1, 1), sheet cell B2.
    EXPECT_EQ(src.Cell(0, 0), TVariant(202.0));
    // Grid cell (2, 5) is item (6, 3): sheet row 2 + 5, column 2 + 2.
    EXPECT_EQ(src.Cell(2, 5), TVariant(704.0));
    EXPECT_EQ(src.CellInARow(6), TVariant(304.0)); // column 2 of row 1
    EXPECT_THROW(src.Cell(4, 0), EAssertionFailed);
    EXPECT_THROW(src.Cell(0, 6), EAssertionFailed);
}

TEST(ExcelOleDataSrc, CachedGridKeepsOldValuesUntilRefresh)
{
    Sheet s;
    TExcelOleDataSrc src;
    src.SetRange(s.range);
    src.SetCached(true);
    EXPECT_EQ(s.sheet->ValueReads(), 24); // every cell once
    EXPECT_TRUE(src.ReadsFromAnyThread());
    s.sheet->SetCell(7, 4, QStringLiteral("changed"));
    EXPECT_EQ(src.Cell(2, 5), TVariant(704.0));
    EXPECT_EQ(s.sheet->ValueReads(), 24);
    src.Refresh();
    EXPECT_EQ(s.sheet->ValueReads(), 48);
    EXPECT_EQ(src.Cell(2, 5), TVariant("changed"));
    // Uncached, every read asks the spreadsheet and Refresh reads nothing.
    src.SetCached(false);
    EXPECT_FALSE(src.ReadsFromAnyThread());
    src.Refresh();
    EXPECT_EQ(s.sheet->ValueReads(), 48);
    s.sheet->SetCell(7, 4, 1.5);
    EXPECT_EQ(src.Cell(2, 5), TVariant(1.5));
}

TEST(ExcelOleDataSrc, RefusedReadsGiveNull)
{
    Sheet s;
    TExcelOleDataSrc src;
    src.SetRange(s.range);
    s.sheet->RefuseReadAt(3, 4);
    EXPECT_TRUE(src.Cell(2, 1).isNull());
    EXPECT_EQ(src.Cell(1, 1), TVariant(303.0));
    // A cache fill goes on past an unreadable cell.
    src.SetCached(true);
    EXPECT_TRUE(src.Cell(2, 1).isNull());
    EXPECT_EQ(src.Cell(3, 1), TVariant(305.0));
    // A closed workbook: the refresh fails instead of turning every cell
    // into Null, and the cells read before stay.
    s.app->CloseWorkbook(s.book);
    EXPECT_THROW(src.Refresh(), EOleError);
    EXPECT_TRUE(src.Cell(2, 1).isNull());
    EXPECT_EQ(src.Cell(3, 5), TVariant(705.0));
}

TEST(ExcelOleDataSrc, WritesGoThroughAndRefusedWritesAreIgnored)
{
    Sheet s;
    TExcelOleDataSrc src;
    src.SetRange(s.range);
    src.SetCell(1, 2, QStringLiteral("x"));
    EXPECT_EQ(s.sheet->Cell(4, 3), TVariant("x"));
    src.SetCached(true);
    src.SetCell(0, 0, 9.0);
    EXPECT_EQ(s.sheet->Cell(2, 2), TVariant(9.0));
    s.sheet->SetRefuseWrites(true);
    EXPECT_NO_THROW(src.SetCell(0, 1, 8.0));
    EXPECT_EQ(src.Cell(0, 1), TVariant(8.0)); // the cache took it
    EXPECT_EQ(s.sheet->Cell(3, 2), TVariant(302.0));
    EXPECT_THROW(src.SetCell(-1, 0, 1.0), EAssertionFailed);
}

TEST(ExcelOleDataSrc, FailedSetRangePassesToTheCaller)
{
    TExcelOleDataSrc src;
    EXPECT_THROW(src.SetRange(TDispatch(std::make_shared<TRefusing>())), EOleError);
    EXPECT_THROW(src.SetRange(TDispatch()), EOleError);
    Sheet s;
    // A cached grid given a larger range that fails half-way keeps its
    // range, size, address and cells.
    TExcelOleDataSrc cached;
    cached.SetRange(s.range);
    cached.SetCached(true);
    EXPECT_THROW(cached.SetRange(TDispatch(std::make_shared<TNoAddress>(s.sheet->Range(1, 1, 9, 9)))), EOleError);
    EXPECT_TRUE(cached.Range() == s.range);
    EXPECT_EQ(cached.ColCount(), 4);
    EXPECT_EQ(cached.RowCount(), 6);
    EXPECT_EQ(cached.Address(), TVariant("[Book1]Sheet1!B2:E7"));
    EXPECT_EQ(cached.Cell(3, 5), TVariant(705.0));
    s.app->CloseWorkbook(s.book);
    EXPECT_THROW(src.SetRange(s.range), EOleError);
}

TEST(ExcelOleDataSrc, TheDataObjectReadsTheSelectionLayout)
{
    // Names in the first row and column of the selection, values in the rest,
    // built the way the main window builds its three sources.
    Sheet s;
    s.sheet->SetCell(2, 3, QStringLiteral("height"));
    s.sheet->SetCell(2, 4, QStringLiteral("width"));
    s.sheet->SetCell(3, 2, QStringLiteral("first"));
    s.sheet->SetCell(4, 2, QStringLiteral("second"));
    s.sheet->SetCell(4, 4, TVariant());
    s.sheet->RefuseReadAt(3, 4);
    s.app->Select(s.sheet, 2, 2, 3, 3);
    const TDispatch sel = s.app->AsDispatch().Get(QStringLiteral("Selection")).AsDispatch();
    auto part = [&](int rows, int cols, int down, int right) {
        return sel.Call(QStringLiteral("Resize"), {int32_t(rows), int32_t(cols)})
            .AsDispatch()
            .Call(QStringLiteral("Offset"), {int32_t(down), int32_t(right)})
            .AsDispatch();
    };
    TExcelOleDataSrc values, dimNames, pointNames;
    values.SetRange(part(2, 2, 1, 1));
    dimNames.SetRange(part(1, 2, 0, 1));
    pointNames.SetRange(part(2, 1, 1, 0));
    values.SetCached(true);
    dimNames.SetCached(true);
    pointNames.SetCached(true);

    TData data;
    data.SetDataSrc(&values, &dimNames, &pointNames);
    ASSERT_EQ(data.DimCount(), 2);
    ASSERT_EQ(data.PointCount(), 2);
    EXPECT_EQ(data.GetDimName(1), QStringLiteral("width"));
    EXPECT_EQ(data.GetPointName(1), QStringLiteral("second"));
    EXPECT_EQ(data.GetValue(0, 0), 303.0);
    EXPECT_EQ(data.GetValue(0, 1), -1.0); // refused: Null
    EXPECT_EQ(data.GetValue(1, 1), -1.0); // empty
    EXPECT_THROW(data.GetValueDirect(1, 1), EVariantError);
}

TEST(ExcelOleDataSrc, ValuesThatAreNotFiniteReadAsCellsWithoutANumber)
{
    const struct {
        double Value;
        const char* Text;
    } cases[] = {
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        Sheet s;
        s.sheet->SetCell(2, 2, c.Value);
        s.sheet->SetCell(2, 3, c.Value);
        TExcelOleDataSrc uncached, cached;
        uncached.SetRange(s.range);
        cached.SetRange(s.range);
        cached.SetCached(true);
        for (TExcelOleDataSrc* src : {&uncached, &cached}) {
            EXPECT_EQ(src->Cell(0, 0), TVariant(c.Text));
            EXPECT_EQ(src->Cell(1, 0), TVariant(c.Text));
            EXPECT_EQ(src->Cell(2, 0), TVariant(204.0));
        }
        // As a value the cell is no number; as a name it is its text.
        TData data;
        data.SetDataSrc(&cached, &cached, &cached);
        EXPECT_EQ(data.GetValue(0, 0), -1.0);
        EXPECT_EQ(data.GetDimMin(0), -1.0);
        EXPECT_EQ(data.GetDimName(1), QString::fromLatin1(c.Text));
    }
}

namespace {

// A range of a spreadsheet peer process, so that every read crosses the bus
// and the cache fill overlaps its calls: 40 rows by 5 columns, more cells
// than one block of the fill.
class ExcelOleDataSrcOverTheBus : public ::testing::Test {
protected:
    static constexpr int Rows = 40;
    static constexpr int Cols = 5;

    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        Peer = std::make_unique<TSpreadsheetPeer>();
        ASSERT_TRUE(Peer->Started());
        Peer->AddTable(Book, Rows, Cols);
        Src.SetRange(RemoteDispatch(Peer->Bus(), Peer->Application()).Get(QStringLiteral("Selection")).AsDispatch());
    }

    int Control(const char* Member, const QVariantList& Args = {})
    {
        return Peer->Control(QString::fromLatin1(Member), Args).toInt();
    }

    const QString Book = QStringLiteral("Book1");
    std::unique_ptr<TSpreadsheetPeer> Peer;
    TExcelOleDataSrc Src;
};

TEST_F(ExcelOleDataSrcOverTheBus, CacheFillReadsWhatSingleReadsRead)
{
    Control("RefuseReadAt", {Book, 17, 3});
    std::vector<TVariant> single;
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c)
            single.push_back(Src.Cell(c, r));
    EXPECT_TRUE(single[16 * Cols + 2].isNull());
    EXPECT_EQ(single[16 * Cols + 3], TVariant(174.0));
    const int objects = Control("LiveObjects");
    const int reads = Control("ValueReads", {Book});

    Src.SetCached(true);
    // Each cell once, and every cell object it asked for released again
    // (the control call comes after the releases on the same connection).
    EXPECT_EQ(Control("ValueReads", {Book}), reads + Rows * Cols);
    EXPECT_EQ(Control("LiveObjects"), objects);
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Cols; ++c)
            EXPECT_EQ(Src.Cell(c, r), single[size_t(r * Cols + c)]) << r << ", " << c;
}

TEST_F(ExcelOleDataSrcOverTheBus, SpreadsheetGoneDuringTheFillFailsItAndKeepsTheCache)
{
    Src.SetCached(true);
    Control("ExitAfterReads", {Book, Control("ValueReads", {Book}) + 70});
    EXPECT_THROW(Src.Refresh(), EOleError);
    EXPECT_EQ(Src.Cell(1, 0), TVariant("Dim 1"));
    EXPECT_EQ(Src.Cell(4, 39), TVariant(405.0));
    // Nothing waits on the gone peer.
    EXPECT_THROW(Src.Refresh(), EOleError);
}

} // namespace
