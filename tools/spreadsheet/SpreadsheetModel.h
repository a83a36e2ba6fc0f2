#pragma once

#include "platform/Dispatch.h"
#include "platform/Variant.h"

#include <QString>

#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

// A small spreadsheet application with workbooks of worksheets of cells,
// answering the late-bound members a spreadsheet range source and the main
// window use: the application's Selection, ActiveWorkbook and Intersect, a
// workbook's Name, a worksheet's Name, Parent and UsedRange, and a range's
// Rows, Columns, Count, Resize, Offset, Address, Item, Value2 and Parent. Rows and columns count
// from 1. Member names are matched without regard to letter case, as
// automation does; a method call answers like a property read.

class TWorkbookModel;

// Every object of the model answers a method call as the property read of
// the same name.
class TModelObject : public IAutomationObject {
public:
    TDispatchValue Call(const QString& Name, const TDispatchArgs& Args) override { return Get(Name, Args); }
};

class TSheetModel : public TModelObject, public std::enable_shared_from_this<TSheetModel> {
public:
    static constexpr int MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;

    TSheetModel(const QString& Name, const std::shared_ptr<TWorkbookModel>& Workbook);

    const QString& Name() const { return FName; }
    // The workbook; null once the workbook is closed.
    std::shared_ptr<TWorkbookModel> Workbook() const { return FWorkbook.lock(); }
    bool IsClosed() const { return FClosed; }

    // An unwritten cell is empty.
    TVariant Cell(int Row, int Column) const;
    void SetCell(int Row, int Column, const TVariant& Value);

    // A range object of Rows by Columns cells from (Top, Left).
    TDispatch Range(int Top, int Left, int Rows, int Columns);
    // The smallest range holding every written cell; A1 on an empty sheet.
    TDispatch UsedRange();
    TDispatch AsDispatch() { return TDispatch(shared_from_this()); }

    // Failures for tests: refused cell reads (all, or single cells) and
    // refused cell writes fail the automation call.
    void SetRefuseReads(bool Value) { FRefuseReads = Value; }
    void RefuseReadAt(int Row, int Column) { FRefusedReads.insert({Row, Column}); }
    void SetRefuseWrites(bool Value) { FRefuseWrites = Value; }
    // Cell reads asked of the sheet through automation, refused ones included.
    int ValueReads() const { return FValueReads; }
    // A wrong answer for tests, as a faulty or hostile spreadsheet gives it:
    // Member of the range at Address (relative A1 style, "B1:D1"; empty for
    // the sheet itself) answers Answer. Member is a name, or "Rows.Count" and
    // "Columns.Count" for the counts of the range's rows and columns.
    void Misanswer(const QString& Address, const QString& Member, const TDispatchValue& Answer);
    // The wrong answer set for the member, or null.
    const TDispatchValue* MisanswerOf(const QString& Address, const QString& Member) const;
    bool HasMisanswers() const { return !FMisanswers.empty(); }

    // The automation side of cells, used by the range objects.
    TVariant ReadValue(int Row, int Column);
    void WriteValue(int Row, int Column, const TVariant& Value);
    void Close() { FClosed = true; }

    TDispatchValue Get(const QString& Name, const TDispatchArgs& Args) override;
    void Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) override;

private:
    QString FName;
    std::weak_ptr<TWorkbookModel> FWorkbook;
    std::map<std::pair<int, int>, TVariant> FCells;
    std::set<std::pair<int, int>> FRefusedReads;
    std::map<std::pair<QString, QString>, TDispatchValue> FMisanswers;
    bool FRefuseReads = false;
    bool FRefuseWrites = false;
    bool FClosed = false;
    int FValueReads = 0;
};

class TWorkbookModel : public TModelObject, public std::enable_shared_from_this<TWorkbookModel> {
public:
    explicit TWorkbookModel(const QString& Name) : FName(Name) {}

    const QString& Name() const { return FName; }
    std::shared_ptr<TSheetModel> AddSheet(const QString& Name);
    const std::vector<std::shared_ptr<TSheetModel>>& Sheets() const { return FSheets; }
    // The workbook and every sheet refuse their automation calls from now
    // on, as the objects of a closed workbook do.
    void Close();
    TDispatch AsDispatch() { return TDispatch(shared_from_this()); }

    TDispatchValue Get(const QString& Name, const TDispatchArgs& Args) override;
    void Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) override;

private:
    QString FName;
    std::vector<std::shared_ptr<TSheetModel>> FSheets;
    bool FClosed = false;
};

class TSpreadsheetModel : public TModelObject, public std::enable_shared_from_this<TSpreadsheetModel> {
public:
    // The new workbook becomes the active one.
    std::shared_ptr<TWorkbookModel> AddWorkbook(const QString& Name);
    // Removes the workbook and closes it; no workbook is active afterwards
    // when it was the active one.
    void CloseWorkbook(const std::shared_ptr<TWorkbookModel>& Workbook);
    void SetActiveWorkbook(const std::shared_ptr<TWorkbookModel>& Workbook) { FActive = Workbook; }
    // The selection is a range of the given sheet.
    void Select(const std::shared_ptr<TSheetModel>& Sheet, int Top, int Left, int Rows, int Columns);
    TDispatch AsDispatch() { return TDispatch(shared_from_this()); }

    TDispatchValue Get(const QString& Name, const TDispatchArgs& Args) override;
    void Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) override;

private:
    std::vector<std::shared_ptr<TWorkbookModel>> FWorkbooks;
    std::shared_ptr<TWorkbookModel> FActive;
    TDispatch FSelection;
};
