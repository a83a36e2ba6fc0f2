#include "spreadsheet/SpreadsheetModel.h"

#include "platform/Exceptions.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace {

bool Is(const QString& name, const char* member)
{
    return name.compare(QLatin1String(member), Qt::CaseInsensitive) == 0;
}

[[noreturn]] void ObjectError()
{
    throw EOleError(QStringLiteral("Application-defined or object-defined error"));
}

[[noreturn]] void Disconnected()
{
    throw EOleError(QStringLiteral("Object has been disconnected from its clients"));
}

[[noreturn]] void ReadOnly(const QString& name)
{
    throw EOleError(QStringLiteral("Property %1 cannot be set").arg(name));
}

void ExpectArgs(const QString& name, const TDispatchArgs& args, size_t most)
{
    if (args.size() > most)
        throw EOleError(QStringLiteral("Invalid number of parameters for %1").arg(name));
}

const TDispatchValue* Arg(const TDispatchArgs& args, size_t i)
{
    return i < args.size() && !args[i].IsMissing() ? &args[i] : nullptr;
}

int IntArg(const TDispatchArgs& args, size_t i, int fallback)
{
    const TDispatchValue* a = Arg(args, i);
    if (!a)
        return fallback;
    try {
        return a->AsVariant().toInt();
    } catch (const EVariantError&) {
        throw EOleError(QStringLiteral("Type mismatch"));
    }
}

int RequiredIntArg(const QString& name, const TDispatchArgs& args, size_t i)
{
    if (!Arg(args, i))
        throw EOleError(QStringLiteral("Argument not optional: %1").arg(name));
    return IntArg(args, i, 0);
}

// Automation coerces numbers to Booleans: anything but zero is True.
bool BoolArg(const TDispatchArgs& args, size_t i, bool fallback)
{
    const TDispatchValue* a = Arg(args, i);
    if (!a)
        return fallback;
    if (a->kind() == TDispatchValue::Kind::Boolean)
        return a->AsBoolean();
    return IntArg(args, i, 0) != 0;
}

QString ColumnLetters(int column)
{
    QString letters;
    for (int c = column; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

QString CellAddress(int row, int column, bool rowAbsolute, bool columnAbsolute)
{
    return (columnAbsolute ? QStringLiteral("$") : QString()) + ColumnLetters(column)
           + (rowAbsolute ? QStringLiteral("$") : QString()) + QString::number(row);
}

// A rectangle of one sheet's cells. A range taken with Rows or Columns
// counts its rows or its columns; any other range counts its cells.
class TRangeModel : public TModelObject {
public:
    enum class Counting { Cells, Rows, Columns };

    // The place and size are checked in 64 bits: offsets and sizes come from
    // the caller and may be any 32-bit number.
    TRangeModel(std::shared_ptr<TSheetModel> sheet, int64_t top, int64_t left, int64_t rows, int64_t columns,
                Counting counting = Counting::Cells)
        : FSheet(std::move(sheet)), FCounting(counting)
    {
        if (rows < 1 || columns < 1 || top < 1 || left < 1 || top + rows - 1 > TSheetModel::MaxRows
            || left + columns - 1 > TSheetModel::MaxColumns)
            ObjectError();
        FTop = int(top);
        FLeft = int(left);
        FRows = int(rows);
        FColumns = int(columns);
    }

    const std::shared_ptr<TSheetModel>& Sheet() const { return FSheet; }
    int Top() const { return FTop; }
    int Left() const { return FLeft; }
    int Bottom() const { return FTop + FRows - 1; }
    int Right() const { return FLeft + FColumns - 1; }

    TDispatchValue Get(const QString& name, const TDispatchArgs& args) override
    {
        CheckOpen();
        if (FSheet->HasMisanswers())
            if (const TDispatchValue* answer = FSheet->MisanswerOf(PlainAddress(), CountedPrefix() + name))
                return *answer;
        if (Is(name, "Rows")) {
            ExpectArgs(name, args, 0);
            return Make(FTop, FLeft, FRows, FColumns, Counting::Rows);
        }
        if (Is(name, "Columns")) {
            ExpectArgs(name, args, 0);
            return Make(FTop, FLeft, FRows, FColumns, Counting::Columns);
        }
        if (Is(name, "Count")) {
            ExpectArgs(name, args, 0);
            switch (FCounting) {
            case Counting::Rows: return int32_t(FRows);
            case Counting::Columns: return int32_t(FColumns);
            case Counting::Cells: return CellCount();
            }
        }
        if (Is(name, "Resize")) {
            ExpectArgs(name, args, 2);
            return Make(FTop, FLeft, IntArg(args, 0, FRows), IntArg(args, 1, FColumns));
        }
        if (Is(name, "Offset")) {
            ExpectArgs(name, args, 2);
            return Make(int64_t(FTop) + IntArg(args, 0, 0), int64_t(FLeft) + IntArg(args, 1, 0), FRows, FColumns);
        }
        if (Is(name, "Item")) {
            ExpectArgs(name, args, 2);
            const int row = RequiredIntArg(name, args, 0);
            const int column = RequiredIntArg(name, args, 1);
            return Make(int64_t(FTop) + row - 1, int64_t(FLeft) + column - 1, 1, 1);
        }
        if (Is(name, "Address")) {
            ExpectArgs(name, args, 5);
            return Address(args);
        }
        if (Is(name, "Value2")) {
            ExpectArgs(name, args, 0);
            RequireOneCell();
            return FSheet->ReadValue(FTop, FLeft);
        }
        if (Is(name, "Parent") || Is(name, "Worksheet")) {
            ExpectArgs(name, args, 0);
            return FSheet->AsDispatch();
        }
        RaiseUnknownName(name);
    }

    void Put(const QString& name, const TDispatchArgs& args, const TDispatchValue& value) override
    {
        CheckOpen();
        if (!Is(name, "Value2")) {
            if (Is(name, "Rows") || Is(name, "Columns") || Is(name, "Count") || Is(name, "Address")
                || Is(name, "Parent") || Is(name, "Worksheet"))
                ReadOnly(name);
            RaiseUnknownName(name);
        }
        ExpectArgs(name, args, 0);
        RequireOneCell();
        FSheet->WriteValue(FTop, FLeft, value.AsVariant());
    }

private:
    TDispatch Make(int64_t top, int64_t left, int64_t rows, int64_t columns,
                   Counting counting = Counting::Cells) const
    {
        return TDispatch(std::make_shared<TRangeModel>(FSheet, top, left, rows, columns, counting));
    }

    // A spreadsheet's cell count is a 32-bit integer; a larger range, such as
    // a whole sheet, fails to count its cells.
    int32_t CellCount() const
    {
        const int64_t cells = int64_t(FRows) * FColumns;
        if (cells > std::numeric_limits<int32_t>::max())
            throw EOleError(QStringLiteral("Overflow"));
        return int32_t(cells);
    }

    void CheckOpen() const
    {
        if (FSheet->IsClosed())
            Disconnected();
    }

    void RequireOneCell() const
    {
        if (FRows != 1 || FColumns != 1)
            throw EOleError(QStringLiteral("Value2 of more than one cell is not supported"));
    }

    // A1 style only: (RowAbsolute, ColumnAbsolute, ReferenceStyle, External, RelativeTo).
    TDispatchValue Address(const TDispatchArgs& args) const
    {
        const bool rowAbsolute = BoolArg(args, 0, true);
        const bool columnAbsolute = BoolArg(args, 1, true);
        if (IntArg(args, 2, 1) != 1)
            throw EOleError(QStringLiteral("Only the A1 reference style is supported"));
        const bool external = BoolArg(args, 3, false);
        QString text = AddressText(rowAbsolute, columnAbsolute);
        if (external)
            text = ExternalPrefix() + text;
        return text;
    }

    QString AddressText(bool rowAbsolute, bool columnAbsolute) const
    {
        QString text = CellAddress(FTop, FLeft, rowAbsolute, columnAbsolute);
        if (FRows > 1 || FColumns > 1)
            text += QLatin1Char(':')
                    + CellAddress(FTop + FRows - 1, FLeft + FColumns - 1, rowAbsolute, columnAbsolute);
        return text;
    }
    QString PlainAddress() const { return AddressText(false, false); }

    // How a wrong answer names the members of the ranges that Rows and
    // Columns give.
    QString CountedPrefix() const
    {
        switch (FCounting) {
        case Counting::Rows: return QStringLiteral("Rows.");
        case Counting::Columns: return QStringLiteral("Columns.");
        case Counting::Cells: break;
        }
        return {};
    }

    QString ExternalPrefix() const
    {
        const auto book = FSheet->Workbook();
        const QString bookName = book ? book->Name() : QString();
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.]+$"));
        if (plain.match(bookName).hasMatch() && plain.match(FSheet->Name()).hasMatch())
            return QStringLiteral("[%1]%2!").arg(bookName, FSheet->Name());
        QString quoted = QStringLiteral("[%1]%2").arg(bookName, FSheet->Name());
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QStringLiteral("'%1'!").arg(quoted);
    }

    std::shared_ptr<TSheetModel> FSheet;
    int FTop = 0, FLeft = 0, FRows = 0, FColumns = 0;
    Counting FCounting;
};

} // namespace

// --- TSheetModel

TSheetModel::TSheetModel(const QString& Name, const std::shared_ptr<TWorkbookModel>& Workbook)
    : FName(Name), FWorkbook(Workbook)
{
}

TVariant TSheetModel::Cell(int Row, int Column) const
{
    const auto it = FCells.find({Row, Column});
    return it == FCells.end() ? TVariant() : it->second;
}

void TSheetModel::SetCell(int Row, int Column, const TVariant& Value)
{
    if (Value.isEmpty())
        FCells.erase({Row, Column});
    else
        FCells[{Row, Column}] = Value;
}

TDispatch TSheetModel::Range(int Top, int Left, int Rows, int Columns)
{
    return TDispatch(std::make_shared<TRangeModel>(shared_from_this(), Top, Left, Rows, Columns));
}

void TSheetModel::Misanswer(const QString& Address, const QString& Member, const TDispatchValue& Answer)
{
    FMisanswers[{Address.toUpper(), Member.toLower()}] = Answer;
}

const TDispatchValue* TSheetModel::MisanswerOf(const QString& Address, const QString& Member) const
{
    const auto found = FMisanswers.find({Address.toUpper(), Member.toLower()});
    return found == FMisanswers.end() ? nullptr : &found->second;
}

TDispatch TSheetModel::UsedRange()
{
    if (FCells.empty())
        return Range(1, 1, 1, 1);
    const int top = FCells.begin()->first.first;
    const int bottom = FCells.rbegin()->first.first;
    int left = MaxColumns, right = 1;
    for (const auto& [place, value] : FCells) {
        left = std::min(left, place.second);
        right = std::max(right, place.second);
    }
    return Range(top, left, bottom - top + 1, right - left + 1);
}

TVariant TSheetModel::ReadValue(int Row, int Column)
{
    ++FValueReads;
    if (FRefuseReads || FRefusedReads.count({Row, Column}))
        throw EOleError(QStringLiteral("The call was rejected by callee"));
    return Cell(Row, Column);
}

void TSheetModel::WriteValue(int Row, int Column, const TVariant& Value)
{
    if (FRefuseWrites)
        throw EOleError(QStringLiteral("The call was rejected by callee"));
    SetCell(Row, Column, Value);
}

TDispatchValue TSheetModel::Get(const QString& Name, const TDispatchArgs& Args)
{
    if (FClosed)
        Disconnected();
    if (const TDispatchValue* answer = MisanswerOf(QString(), Name))
        return *answer;
    ExpectArgs(Name, Args, 0);
    if (Is(Name, "Name"))
        return FName;
    if (Is(Name, "Parent")) {
        const auto book = Workbook();
        return book ? book->AsDispatch() : TDispatch();
    }
    if (Is(Name, "UsedRange"))
        return UsedRange();
    RaiseUnknownName(Name);
}

void TSheetModel::Put(const QString& Name, const TDispatchArgs&, const TDispatchValue&)
{
    if (Is(Name, "Name") || Is(Name, "Parent") || Is(Name, "UsedRange"))
        ReadOnly(Name);
    RaiseUnknownName(Name);
}

// --- TWorkbookModel

std::shared_ptr<TSheetModel> TWorkbookModel::AddSheet(const QString& Name)
{
    FSheets.push_back(std::make_shared<TSheetModel>(Name, shared_from_this()));
    return FSheets.back();
}

void TWorkbookModel::Close()
{
    FClosed = true;
    for (const auto& sheet : FSheets)
        sheet->Close();
}

TDispatchValue TWorkbookModel::Get(const QString& Name, const TDispatchArgs& Args)
{
    if (FClosed)
        Disconnected();
    ExpectArgs(Name, Args, 0);
    if (Is(Name, "Name"))
        return FName;
    RaiseUnknownName(Name);
}

void TWorkbookModel::Put(const QString& Name, const TDispatchArgs&, const TDispatchValue&)
{
    if (Is(Name, "Name"))
        ReadOnly(Name);
    RaiseUnknownName(Name);
}

// --- TSpreadsheetModel

std::shared_ptr<TWorkbookModel> TSpreadsheetModel::AddWorkbook(const QString& Name)
{
    FWorkbooks.push_back(std::make_shared<TWorkbookModel>(Name));
    FActive = FWorkbooks.back();
    return FActive;
}

void TSpreadsheetModel::CloseWorkbook(const std::shared_ptr<TWorkbookModel>& Workbook)
{
    std::erase(FWorkbooks, Workbook);
    Workbook->Close();
    if (FActive == Workbook)
        FActive.reset();
}

void TSpreadsheetModel::Select(const std::shared_ptr<TSheetModel>& Sheet, int Top, int Left, int Rows,
                               int Columns)
{
    FSelection = Sheet->Range(Top, Left, Rows, Columns);
}

namespace {

const TRangeModel& RangeArg(const QString& name, const TDispatchArgs& args, size_t i)
{
    const TDispatchValue* a = Arg(args, i);
    if (!a)
        throw EOleError(QStringLiteral("Argument not optional: %1").arg(name));
    const auto* range = a->kind() == TDispatchValue::Kind::Object
                            ? dynamic_cast<const TRangeModel*>(a->AsDispatch().Object().get())
                            : nullptr;
    if (!range)
        throw EOleError(QStringLiteral("Type mismatch"));
    return *range;
}

// The cells that every range of the arguments holds, empty when they have
// none in common; ranges of different sheets are refused.
TDispatchValue Intersect(const QString& name, const TDispatchArgs& args)
{
    if (args.size() < 2)
        throw EOleError(QStringLiteral("Argument not optional: %1").arg(name));
    const TRangeModel& first = RangeArg(name, args, 0);
    int top = first.Top(), left = first.Left(), bottom = first.Bottom(), right = first.Right();
    for (size_t i = 1; i < args.size(); ++i) {
        const TRangeModel& r = RangeArg(name, args, i);
        if (r.Sheet() != first.Sheet())
            ObjectError();
        top = std::max(top, r.Top());
        left = std::max(left, r.Left());
        bottom = std::min(bottom, r.Bottom());
        right = std::min(right, r.Right());
    }
    if (top > bottom || left > right)
        return TVariant();
    return first.Sheet()->Range(top, left, bottom - top + 1, right - left + 1);
}

} // namespace

TDispatchValue TSpreadsheetModel::Get(const QString& Name, const TDispatchArgs& Args)
{
    if (Is(Name, "Intersect"))
        return Intersect(Name, Args);
    ExpectArgs(Name, Args, 0);
    if (Is(Name, "Selection"))
        return FSelection;
    if (Is(Name, "ActiveWorkbook"))
        return FActive ? FActive->AsDispatch() : TDispatch();
    RaiseUnknownName(Name);
}

void TSpreadsheetModel::Put(const QString& Name, const TDispatchArgs&, const TDispatchValue&)
{
    if (Is(Name, "Selection") || Is(Name, "ActiveWorkbook"))
        ReadOnly(Name);
    RaiseUnknownName(Name);
}
