#include "spreadsheet/SpreadsheetModel.h"

#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

int Count(const TDispatch& range, const char* what)
{
    return range.Call(QString::fromLatin1(what)).AsDispatch().Call(QStringLiteral("Count")).AsVariant().toInt();
}

QString Address(const TDispatch& range, bool absolute, bool external)
{
    return range.Get(QStringLiteral("Address"), {absolute, absolute, int32_t(1), external, TDispatchValue()})
        .AsVariant()
        .toString();
}

struct Workbook {
    std::shared_ptr<TSpreadsheetModel> app = std::make_shared<TSpreadsheetModel>();
    std::shared_ptr<TWorkbookModel> book = app->AddWorkbook(QStringLiteral("Book1"));
    std::shared_ptr<TSheetModel> sheet = book->AddSheet(QStringLiteral("Sheet1"));
};

} // namespace

TEST(SpreadsheetModel, SelectionCountsResizesAndOffsets)
{
    Workbook w;
    w.app->Select(w.sheet, 2, 3, 4, 5); // C2:G5
    const TDispatch s = w.app->AsDispatch().Get(QStringLiteral("Selection")).AsDispatch();
    EXPECT_EQ(Count(s, "Rows"), 4);
    EXPECT_EQ(Count(s, "Columns"), 5);
    EXPECT_EQ(s.Get(QStringLiteral("Count")).AsVariant().toInt(), 20);
    EXPECT_EQ(Address(s, false, false), QStringLiteral("C2:G5"));
    EXPECT_EQ(Address(s, true, false), QStringLiteral("$C$2:$G$5"));
    EXPECT_EQ(Address(s, false, true), QStringLiteral("[Book1]Sheet1!C2:G5"));

    const TDispatch values = s.Call(QStringLiteral("Resize"), {int32_t(3), int32_t(4)})
                                 .AsDispatch()
                                 .Call(QStringLiteral("Offset"), {int32_t(1), int32_t(1)})
                                 .AsDispatch();
    EXPECT_EQ(Address(values, false, false), QStringLiteral("D3:G5"));
    // Omitted arguments keep the size or the place.
    const TDispatch wide = s.Call(QStringLiteral("Resize"), {TDispatchValue(), int32_t(30)}).AsDispatch();
    EXPECT_EQ(Address(wide, false, false), QStringLiteral("C2:AF5"));
    // Member names are matched without regard to letter case.
    EXPECT_EQ(s.Get(QStringLiteral("count")).AsVariant().toInt(), 20);
}

TEST(SpreadsheetModel, ItemValue2IsReadAndWrittenFromOne)
{
    Workbook w;
    w.sheet->SetCell(3, 4, 7.5);
    const TDispatch r = w.sheet->Range(2, 3, 5, 5); // C2:G6
    const TDispatch cell = r.Get(QStringLiteral("Item"), {int32_t(2), int32_t(2)}).AsDispatch();
    EXPECT_EQ(cell.Get(QStringLiteral("Value2")).AsVariant(), TVariant(7.5));
    EXPECT_EQ(Address(cell, false, false), QStringLiteral("D3"));
    cell.Put(QStringLiteral("Value2"), {}, QStringLiteral("name"));
    EXPECT_EQ(w.sheet->Cell(3, 4), TVariant("name"));
    // An unwritten cell is empty.
    EXPECT_TRUE(r.Get(QStringLiteral("Item"), {int32_t(1), int32_t(1)})
                    .AsDispatch()
                    .Get(QStringLiteral("Value2"))
                    .AsVariant()
                    .isEmpty());
    EXPECT_EQ(w.sheet->ValueReads(), 2);
}

TEST(SpreadsheetModel, ParentsAndActiveWorkbook)
{
    Workbook w;
    const TDispatch app = w.app->AsDispatch();
    EXPECT_EQ(app.Get(QStringLiteral("ActiveWorkbook")).AsDispatch().Get(QStringLiteral("Name")).AsVariant(),
              TVariant("Book1"));
    const TDispatch sheet = w.sheet->Range(1, 1, 1, 1).Get(QStringLiteral("Parent")).AsDispatch();
    EXPECT_EQ(sheet.Get(QStringLiteral("Name")).AsVariant(), TVariant("Sheet1"));
    EXPECT_EQ(sheet.Get(QStringLiteral("Parent")).AsDispatch().Get(QStringLiteral("Name")).AsVariant(),
              TVariant("Book1"));
    auto other = w.app->AddWorkbook(QStringLiteral("My Book"));
    auto sheet2 = other->AddSheet(QStringLiteral("Data 'x'"));
    EXPECT_EQ(Address(sheet2->Range(1, 27, 1, 1), true, true), QStringLiteral("'[My Book]Data ''x'''!$AA$1"));
    w.app->CloseWorkbook(other);
    // No active workbook: the reference is Nothing, and using it fails.
    EXPECT_THROW(app.Get(QStringLiteral("ActiveWorkbook")).AsDispatch().Get(QStringLiteral("Name")), EOleError);
}

TEST(SpreadsheetModel, RefusalsAndBadCallsFail)
{
    Workbook w;
    const TDispatch r = w.sheet->Range(1, 1, 3, 3);
    auto item = [&](int row, int col) {
        return r.Get(QStringLiteral("Item"), {int32_t(row), int32_t(col)}).AsDispatch();
    };
    w.sheet->RefuseReadAt(2, 3);
    EXPECT_THROW(item(2, 3).Get(QStringLiteral("Value2")), EOleError);
    EXPECT_NO_THROW(item(3, 2).Get(QStringLiteral("Value2")));
    w.sheet->SetRefuseReads(true);
    EXPECT_THROW(item(1, 1).Get(QStringLiteral("Value2")), EOleError);
    w.sheet->SetRefuseWrites(true);
    EXPECT_THROW(item(1, 1).Put(QStringLiteral("Value2"), {}, int32_t(1)), EOleError);
    EXPECT_TRUE(w.sheet->Cell(1, 1).isEmpty());

    EXPECT_THROW(r.Get(QStringLiteral("Resize"), {int32_t(0), int32_t(1)}), EOleError);
    EXPECT_THROW(r.Get(QStringLiteral("Offset"), {int32_t(-1), int32_t(0)}), EOleError);
    // Places and sizes past the sheet's edge fail, however large the number.
    constexpr int32_t huge = std::numeric_limits<int32_t>::max();
    const TDispatch b2 = w.sheet->Range(2, 2, 1, 1);
    EXPECT_THROW(b2.Get(QStringLiteral("Resize"), {huge, int32_t(1)}), EOleError);
    EXPECT_THROW(b2.Get(QStringLiteral("Resize"), {int32_t(1), huge}), EOleError);
    EXPECT_THROW(b2.Get(QStringLiteral("Offset"), {int32_t(0), huge}), EOleError);
    EXPECT_THROW(b2.Get(QStringLiteral("Item"), {huge, huge}), EOleError);
    EXPECT_THROW(b2.Get(QStringLiteral("Offset"), {std::numeric_limits<int32_t>::min(), int32_t(0)}), EOleError);
    // The last cell of the sheet is in reach; a whole sheet has more cells
    // than its count can hold, but its rows and columns count.
    const TDispatch all = w.sheet->Range(1, 1, TSheetModel::MaxRows, TSheetModel::MaxColumns);
    EXPECT_EQ(Address(all.Get(QStringLiteral("Item"), {TSheetModel::MaxRows, TSheetModel::MaxColumns}).AsDispatch(),
                      false, false),
              QStringLiteral("XFD1048576"));
    EXPECT_THROW(all.Get(QStringLiteral("Count")), EOleError);
    EXPECT_EQ(Count(all, "Rows"), TSheetModel::MaxRows);
    EXPECT_EQ(Count(all, "Columns"), TSheetModel::MaxColumns);
    EXPECT_THROW(r.Get(QStringLiteral("Item"), {int32_t(1)}), EOleError);
    EXPECT_THROW(r.Get(QStringLiteral("Value2")), EOleError); // more than one cell
    EXPECT_THROW(r.Get(QStringLiteral("NoSuchMember")), EOleError);
    EXPECT_THROW(r.Put(QStringLiteral("Count"), {}, int32_t(3)), EOleError);

    // A closed workbook and its ranges refuse every call.
    const TDispatch book = w.app->AsDispatch().Get(QStringLiteral("ActiveWorkbook")).AsDispatch();
    w.app->CloseWorkbook(w.book);
    EXPECT_THROW(r.Call(QStringLiteral("Rows")), EOleError);
    EXPECT_THROW(book.Get(QStringLiteral("Name")), EOleError);
}
