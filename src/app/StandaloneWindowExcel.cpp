// The main window's spreadsheet connection: loading the selection of the
// spreadsheet's active workbook and following that workbook.

#include "app/StandaloneWindowUnit.h"

#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcExcel.h"
#include "QuorDataClients/ActionClient.h"
#include "app/ExcelConnection.h"
#include "platform/DBusDispatch.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "usagelog/Evaluation.h"

namespace {

const QString SelectionMessage = QStringLiteral("To use the Quorbel Add-In, please select a cell range including \n"
                                                "the names of data points and dimensions.");

// A range source over the part of the selection S that is S resized to Rows
// by Cols, then offset by Down and Right. A range of another size would not
// line up with the other two parts.
std::unique_ptr<TDataSrc> SelectionPart(const TDispatch& Selection, int Rows, int Cols, int Down, int Right)
{
    const TDispatch range = Selection.Call(QStringLiteral("Resize"), {int32_t(Rows), int32_t(Cols)})
                                .AsDispatch()
                                .Call(QStringLiteral("Offset"), {int32_t(Down), int32_t(Right)})
                                .AsDispatch();
    auto src = std::make_unique<TExcelOleDataSrc>();
    src->SetRange(range);
    if (src->RowCount() != Rows || src->ColCount() != Cols)
        throw EOleError(QStringLiteral("The spreadsheet gave a range of %1 by %2 cells for %3 by %4")
                            .arg(src->RowCount())
                            .arg(src->ColCount())
                            .arg(Rows)
                            .arg(Cols));
    return src;
}

// The selection cut to the cells in use on its sheet: a whole column or a
// whole sheet holds millions of cells, nearly all of them empty. Only rows
// below and columns right of those cells go; the first row and column stay
// the names, even when empty.
TDispatch CellsInUse(const TDispatch& App, const TDispatch& Selection)
{
    const TDispatch used =
        Selection.Get(QStringLiteral("Parent")).AsDispatch().Get(QStringLiteral("UsedRange")).AsDispatch();
    const TDispatchValue common = App.Call(QStringLiteral("Intersect"), {Selection, used});
    if (common.kind() != TDispatchValue::Kind::Object)
        throw EOleError(QStringLiteral("The selection holds no cell in use"));
    const TDispatch inUse = common.AsDispatch();
    const TCellPlace first = FirstCellOf(Selection);
    const TCellPlace firstInUse = FirstCellOf(inUse);
    // In 64 bits: the counts and places come from another process.
    const qint64 rows = qint64(firstInUse.Row) - first.Row + RangeCount(inUse, QStringLiteral("Rows"));
    const qint64 columns = qint64(firstInUse.Column) - first.Column + RangeCount(inUse, QStringLiteral("Columns"));
    if (rows < 1 || columns < 1 || rows > RangeCount(Selection, QStringLiteral("Rows"))
        || columns > RangeCount(Selection, QStringLiteral("Columns")))
        throw EOleError(QStringLiteral("The cells in use lie outside the selection"));
    return Selection.Call(QStringLiteral("Resize"), {int32_t(rows), int32_t(columns)}).AsDispatch();
}

// The selection's count of rows or columns; fewer than two leave no room for
// the names beside the values.
int SelectionCount(const TDispatch& Selection, const QString& What)
{
    const int count = RangeCount(Selection, What);
    if (count < 2)
        throw EOleError(QStringLiteral("The selection has fewer than two %1").arg(What.toLower()));
    return count;
}

} // namespace

void TQuorbelWindow::OpenExcel(const TDispatch& App)
{
    ExcelApp = App;
    if (!ExcelApp.IsAssigned())
        return;
    try {
        // One connection at a time: the former one stops before the new one
        // starts. A spreadsheet in this process has no bus to send events on.
        ExcelConnection.reset();
        if (!RemoteReference(ExcelApp).IsNil())
            ExcelConnection = std::make_unique<TExcelConnection>(
                ExcelApp, TExcelConnection::TEvents{
                              [this](const TDispatch& Sheet) { ExcelSheetCalculate(Sheet); },
                              [this](const TDispatch& Sheet, const TDispatch& Target) { ExcelSheetChange(Sheet, Target); },
                              [this](const TDispatch& Workbook) { ExcelWorkbookBeforeClose(Workbook); },
                          });
        const TDispatch workbook = ExcelApp.Get(QStringLiteral("ActiveWorkbook")).AsDispatch();
        WorkbookName = workbook.Get(QStringLiteral("Name")).AsVariant().toString();
        FExcelWorkbook = workbook;
        std::unique_ptr<TDataSrc> values, dimNames, pointNames;
        if (!CreateExcelSources(values, dimNames, pointNames))
            return;
        FDataLost = false;
        // The data object lets go of the former sources before they are
        // freed: automation calls may arrive during the spreadsheet calls.
        ReplaceSources(ActionClient, std::move(values), std::move(dimNames), std::move(pointNames), {});
        LogEvent(QStringLiteral("loadExcel ") + Data->GetPointName(0));
        LogDimensions();
    } catch (const std::exception&) {
        close();
    }
}

bool TQuorbelWindow::CreateExcelSources(std::unique_ptr<TDataSrc>& Values, std::unique_ptr<TDataSrc>& DimNames,
                                        std::unique_ptr<TDataSrc>& PointNames)
{
    const QString rows = QStringLiteral("Rows");
    const QString columns = QStringLiteral("Columns");
    try {
        const TDispatch selection = CellsInUse(ExcelApp, ExcelApp.Get(QStringLiteral("Selection")).AsDispatch());
        const int colCount = SelectionCount(selection, columns);
        const int rowCount = SelectionCount(selection, rows);
        auto values = SelectionPart(selection, rowCount - 1, colCount - 1, 1, 1);
        auto dimNames = SelectionPart(selection, 1, SelectionCount(selection, columns) - 1, 0, 1);
        auto pointNames = SelectionPart(selection, SelectionCount(selection, rows) - 1, 1, 1, 0);
        for (TDataSrc* src : {values.get(), dimNames.get(), pointNames.get()})
            src->SetCached(true);
        Values = std::move(values);
        DimNames = std::move(dimNames);
        PointNames = std::move(pointNames);
        return true;
    } catch (const std::exception&) {
        // The box runs the event loop, where the automation's Close may
        // destroy this window.
        const QPointer<TQuorbelWindow> self(this);
        ShowMessage(SelectionMessage);
        if (self)
            close();
        return false;
    }
}

void TQuorbelWindow::RefreshExcelSources()
{
    if (!dynamic_cast<TExcelOleDataSrc*>(ValueSrc.get()))
        return;
    for (TDataSrc* src : {ValueSrc.get(), DimNameSrc.get(), PointNameSrc.get()})
        if (auto* range = dynamic_cast<TExcelOleDataSrc*>(src))
            range->Refresh();
}

void TQuorbelWindow::ReloadData()
{
    RefreshExcelSources();
    if (ActionClient)
        ActionClient->RefreshValues();
}

void TQuorbelWindow::ReloadOrExit()
{
    try {
        ReloadData();
    } catch (const std::exception&) {
        // The box runs the event loop: the events that follow find nothing
        // to read, and the automation's Close may destroy this window.
        FDataLost = true;
        const QPointer<TQuorbelWindow> self(this);
        ShowDataLost();
        if (self)
            close();
    }
}

bool TQuorbelWindow::IsLoadedWorkbook(const TDispatch& Workbook) const
{
    // A peer may close a workbook as soon as it has announced the closing,
    // so the loaded one is first recognised as the same object.
    if (!Workbook.IsAssigned())
        return false;
    const TDBusObjectRef ref = RemoteReference(Workbook);
    const TDBusObjectRef loaded = RemoteReference(FExcelWorkbook);
    if (Workbook == FExcelWorkbook ||
        (!ref.IsNil() && ref.Service == loaded.Service && ref.Path == loaded.Path))
        return true;
    QString name;
    try {
        name = Workbook.Get(QStringLiteral("Name")).AsVariant().toString();
    } catch (const EOleError&) {
        // Gone already: not the loaded workbook, which answers above.
        return false;
    }
    // A spreadsheet keeps no two open workbooks whose names differ in case only.
    return name.compare(WorkbookName, Qt::CaseInsensitive) == 0;
}

void TQuorbelWindow::ExcelSheetCalculate(const TDispatch& Sheet)
{
    if (!FollowsWorkbook())
        return;
    TDispatch workbook;
    try {
        workbook = Sheet.Get(QStringLiteral("Parent")).AsDispatch();
    } catch (const EOleError&) {
        // No sheet, or one without a workbook: not one of the loaded workbook.
        return;
    }
    if (IsLoadedWorkbook(workbook))
        ReloadOrExit();
}

void TQuorbelWindow::ExcelSheetChange(const TDispatch& Sheet, const TDispatch& Target)
{
    Q_UNUSED(Target);
    ExcelSheetCalculate(Sheet);
}

void TQuorbelWindow::ExcelWorkbookBeforeClose(const TDispatch& Workbook)
{
    if (!CloseRequest || !IsLoadedWorkbook(Workbook))
        return;
    // The request clears itself; it runs from a copy.
    const auto request = CloseRequest;
    request(this);
}
