#include "QuorDataClients/DataDimsEdit.h"

#include "usagelog/Evaluation.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QScopeGuard>
#include <QSignalBlocker>

#include <cmath>

namespace {

constexpr int kColumnCount = 7;
// The narrowest column, the check boxes of "On".
constexpr int kOnColumnWidth = 20;
// Light grey behind the bound cells that are not being edited.
const QColor kBoundCellColor(0xE8, 0xE8, 0xE8);

// A bound as typed: always with the decimal point, whatever the locale, and
// finite, since an infinite bound means "not set" to the data object.
bool ParseBound(const QString& Text, double& Value)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    Value = c.toDouble(Text.trimmed(), &ok);
    return ok && std::isfinite(Value);
}

} // namespace

void TEdit2::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Switching windows or opening a pop-up leaves the edit where it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (OnExit)
        OnExit();
}

void TEdit2::keyPressEvent(QKeyEvent* event)
{
    if (OnKeyPress && !event->text().isEmpty()) {
        QChar key = event->text().at(0);
        // Enter comes as a line feed from some keypads; the grid knows it as
        // a carriage return.
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            key = QChar(13);
        OnKeyPress(key);
        if (key.isNull()) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

TDataDimsEdit::TDataDimsEdit(QWidget* Owner) : QTableWidget(Owner)
{
    setObjectName(QStringLiteral("DimGrid"));
    setProperty("helpContext", 187);
    setMinimumSize(1, 30);
    setColumnCount(kColumnCount);
    for (int col = 0; col < kColumnCount; ++col)
        setHorizontalHeaderItem(col, new QTableWidgetItem);
    verticalHeader()->setDefaultSectionSize(qMax(15, fontMetrics().height() + 4));
    verticalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // The style's minimum (some 26 pixels) would widen the "On" column.
    horizontalHeader()->setMinimumSectionSize(kOnColumnWidth);
    horizontalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // Cells are never edited in place: the bounds go through the one editor.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setWordWrap(false);
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, &TDataDimsEdit::HeaderSectionMoved);
    connect(verticalHeader(), &QHeaderView::sectionMoved, this, &TDataDimsEdit::RowSectionMoved);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] { FollowEdit(); });
    // Shown with its owner, also when the owner is on screen already.
    show();
}

TDataDimsEdit::~TDataDimsEdit()
{
    // The editor's hooks must not reach a grid that is going.
    if (FEdit) {
        FEdit->OnExit = nullptr;
        FEdit->OnKeyPress = nullptr;
    }
}

QTableWidgetItem* TDataDimsEdit::Cell(int Col, int Row) const
{
    return item(Row, horizontalHeader()->logicalIndex(Col));
}

bool TDataDimsEdit::SelectCell(int Col, int) const
{
    return Col == FOnCol || Col == FLowCol || Col == FHighCol;
}

QString TDataDimsEdit::FormatNumber(double Value) const
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(Value, 'f', 2);
}

void TDataDimsEdit::SetData(TData* AData)
{
    FData = AData;
    Rebuild();
}

void TDataDimsEdit::Rebuild()
{
    if (!FEdit) {
        FEdit = new TEdit2(viewport());
        FEdit->hide();
        FEdit->OnExit = [this] { EditExit(); };
        FEdit->OnKeyPress = [this](QChar& Key) { EditKeyPress(Key); };
        FEdit->raise();
    }
    FreeCheckBoxes();
    const int dims = FData ? FData->DimCount() : 0;
    setRowCount(dims);
    for (int row = 0; row < dims; ++row) {
        // An empty label keeps the row header a narrow handle for dragging.
        if (!verticalHeaderItem(row))
            setVerticalHeaderItem(row, new QTableWidgetItem(QString()));
        for (int logical = 0; logical < kColumnCount; ++logical) {
            if (item(row, logical))
                continue;
            auto* cell = new QTableWidgetItem;
            const int col = horizontalHeader()->visualIndex(logical);
            // A cell that cannot take the focus is disabled, so clicks and
            // the arrow keys pass over it; it keeps the normal text colour.
            cell->setFlags(SelectCell(col, row) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                : Qt::NoItemFlags);
            cell->setForeground(palette().brush(QPalette::Active, QPalette::Text));
            if (col == FLowCol || col == FHighCol)
                cell->setBackground(kBoundCellColor);
            setItem(row, logical, cell);
        }
    }
    FCheckBoxes.resize(size_t(dims));
    CreateCheckBoxes();
    const std::pair<int, int> widths[] = {{0, 100}, {FOnCol, kOnColumnWidth}, {FStateCol, 40}, {FMinCol, 50},
                                          {FLowCol, 50}, {FHighCol, 50}, {FMaxCol, 50}};
    for (const auto& [col, width] : widths)
        setColumnWidth(horizontalHeader()->logicalIndex(col), width);
    Refill();
    if (!FEdit->isHidden())
        ShowEdit(false);
}

void TDataDimsEdit::CreateCheckBoxes()
{
    const int onLogical = horizontalHeader()->logicalIndex(FOnCol);
    for (size_t i = 0; i < FCheckBoxes.size(); ++i) {
        auto* box = new TCheckbox2;
        box->Row = int(i);
        box->setToolTip(QStringLiteral("Unchecking hides this dimension"));
        // Covers the "True"/"False" text of its cell.
        box->setAutoFillBackground(true);
        connect(box, &QCheckBox::clicked, this, [this, box] { CheckBoxClick(box); });
        setCellWidget(int(i), onLogical, box);
        FCheckBoxes[i] = box;
    }
}

void TDataDimsEdit::FreeCheckBoxes()
{
    // The grid lets go of a cell's widget and deletes it later.
    const int onLogical = horizontalHeader()->logicalIndex(FOnCol);
    for (const QPointer<TCheckbox2>& box : FCheckBoxes) {
        if (!box)
            continue;
        box->hide();
        if (box->Row < rowCount())
            removeCellWidget(box->Row, onLogical);
    }
    FCheckBoxes.clear();
}

void TDataDimsEdit::Refill()
{
    const std::pair<int, const char*> headers[] = {
        {0, "Dimension"}, {FOnCol, "On"},     {FStateCol, "State"}, {FMinCol, "Min"},
        {FLowCol, "Low"}, {FHighCol, "High"}, {FMaxCol, "Max"}};
    for (const auto& [col, text] : headers)
        horizontalHeaderItem(horizontalHeader()->logicalIndex(col))->setText(QLatin1String(text));
    if (!FData)
        return;
    const int dims = qMin(FData->DimCount(), rowCount());
    for (int d = 0; d < dims; ++d) {
        const bool shown = !FData->IsDimHidden(d);
        Cell(0, d)->setText(FData->GetDimName(d));
        Cell(FOnCol, d)->setText(shown ? QStringLiteral("True") : QStringLiteral("False"));
        Cell(FStateCol, d)->setText(FData->BoundsCoverRange(d) ? QStringLiteral("full")
                                                                : QStringLiteral("partial"));
        Cell(FMinCol, d)->setText(FormatNumber(FData->GetDimMin(d)));
        Cell(FLowCol, d)->setText(FormatNumber(FData->GetLBound(d)));
        Cell(FHighCol, d)->setText(FormatNumber(FData->GetUBound(d)));
        Cell(FMaxCol, d)->setText(FormatNumber(FData->GetDimMax(d)));
        if (TCheckbox2* box = FCheckBoxes[size_t(d)])
            box->setChecked(shown);
    }
    if (FEdit && !FEdit->isHidden() && FEdit->Row < rowCount())
        FEdit->setText(Cell(FEdit->Col, FEdit->Row)->text());
}

void TDataDimsEdit::Refresh()
{
    Refill();
}

void TDataDimsEdit::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableWidget::currentChanged(current, previous);
    PlaceEdit();
}

void TDataDimsEdit::PlaceEdit()
{
    if (!FEdit)
        return;
    // An edit under way ends before the editor moves on.
    if (!FEdit->isHidden() && FEdit->isModified())
        EditExit();
    // Typing goes straight into the cell the user moved to.
    ShowEdit(hasFocus());
}

void TDataDimsEdit::ShowEdit(bool TakeFocus)
{
    const QModelIndex current = currentIndex();
    const int col = current.isValid() ? horizontalHeader()->visualIndex(current.column()) : -1;
    if (col != FLowCol && col != FHighCol) {
        FEdit->hide();
        return;
    }
    const int row = current.row();
    FEdit->Col = col;
    FEdit->Row = row;
    FEdit->setText(Cell(col, row)->text());
    FEdit->setModified(false);
    FEdit->setToolTip(col == FLowCol ? QStringLiteral("Enter the lower bound of this dimension")
                                     : QStringLiteral("Enter the upper bound of this dimension"));
    FEdit->setGeometry(visualRect(current));
    FEdit->show();
    FEdit->raise();
    if (TakeFocus) {
        FEdit->setFocus(Qt::OtherFocusReason);
        FEdit->selectAll();
    }
}

void TDataDimsEdit::FollowEdit()
{
    if (FEdit && !FEdit->isHidden() && FEdit->Row < rowCount())
        FEdit->setGeometry(visualRect(indexFromItem(Cell(FEdit->Col, FEdit->Row))));
}

void TDataDimsEdit::scrollContentsBy(int dx, int dy)
{
    QTableWidget::scrollContentsBy(dx, dy);
    FollowEdit();
}

void TDataDimsEdit::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    FollowEdit();
}

void TDataDimsEdit::EditKeyPress(QChar& Key)
{
    if (Key == QChar(13)) {
        Key = QChar();
        // The grid takes the keys again, so that the arrows move on.
        if (FEdit->hasFocus())
            setFocus(Qt::OtherFocusReason);
        EditExit();
    }
}

void TDataDimsEdit::EditExit()
{
    if (!FEdit)
        return;
    // Taken before hiding: hiding moves the focus, which ends the edit again.
    const bool modified = FEdit->isModified();
    FEdit->setModified(false);
    FEdit->hide();
    // The editor stays over the focused bound cell, ready for the next edit.
    auto reshow = qScopeGuard([this] { ShowEdit(false); });
    if (!modified || !FData)
        return;
    const QString text = FEdit->text();
    const int col = FEdit->Col;
    const int dim = FEdit->Row;
    double value = 0;
    if (!ParseBound(text, value) || dim < 0 || dim >= FData->DimCount())
        return;
    if (col == FLowCol) {
        if (!(FData->GetUBound(dim) > value))
            return;
        FData->WriteTransaction(this, [&] { FData->SetLBound(dim, value); });
    } else if (col == FHighCol) {
        if (!(FData->GetLBound(dim) < value))
            return;
        FData->WriteTransaction(this, [&] { FData->SetUBound(dim, value); });
    } else {
        return;
    }
    // Shown as typed until the next refill.
    if (dim < rowCount())
        Cell(col, dim)->setText(text);
}

void TDataDimsEdit::CheckBoxClick(TCheckbox2* Sender)
{
    if (!Sender || !FData || Sender->Row >= rowCount() || Sender->Row >= FData->DimCount())
        return;
    const int dim = Sender->Row;
    const bool checked = Sender->isChecked();
    const QString state = checked ? QStringLiteral("True") : QStringLiteral("False");
    if (Cell(FOnCol, dim)->text() == state)
        return;
    FData->WriteTransaction(this, [&] {
        // A hidden dimension cannot stay selected.
        if (!checked)
            FData->SetDimSelected(dim, false);
        FData->SetDimHidden(dim, !checked);
    });
    Cell(FOnCol, dim)->setText(state);
}

void TDataDimsEdit::ColumnMoved(int FromIndex, int ToIndex)
{
    for (int* field : {&FOnCol, &FStateCol, &FMinCol, &FLowCol, &FHighCol, &FMaxCol}) {
        if (*field == FromIndex)
            *field = ToIndex;
        else if (FromIndex < ToIndex && *field > FromIndex && *field <= ToIndex)
            --*field;
        else if (FromIndex > ToIndex && *field >= ToIndex && *field < FromIndex)
            ++*field;
    }
}

void TDataDimsEdit::HeaderSectionMoved(int, int OldVisual, int NewVisual)
{
    // The name and "On" columns are fixed: nothing moves into or out of them.
    if (OldVisual < 2 || NewVisual < 2) {
        const QSignalBlocker blocker(horizontalHeader());
        horizontalHeader()->moveSection(NewVisual, OldVisual);
        return;
    }
    ColumnMoved(OldVisual, NewVisual);
    FollowEdit();
}

void TDataDimsEdit::RowSectionMoved(int, int OldVisual, int NewVisual)
{
    // Rows stay in place: the data object moves the dimension and the refill
    // shows it at its new position.
    {
        const QSignalBlocker blocker(verticalHeader());
        verticalHeader()->moveSection(NewVisual, OldVisual);
    }
    RowMoved(OldVisual, NewVisual);
}

void TDataDimsEdit::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos.y());
    // Column 0, the name, never moves.
    const bool onName = event->button() == Qt::LeftButton && row >= 0 && columnAt(pos.x()) == 0;
    FDragRow = onName ? row : -1;
    FDragStart = pos;
    FDragging = false;
    QTableWidget::mousePressEvent(event);
}

void TDataDimsEdit::mouseMoveEvent(QMouseEvent* event)
{
    if (FDragRow < 0 || !(event->buttons() & Qt::LeftButton)) {
        QTableWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (!FDragging && (pos - FDragStart).manhattanLength() < QApplication::startDragDistance())
        return;
    FDragging = true;
    // Past the top or bottom edge the rows scroll towards the mouse.
    if (pos.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() >= viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    const int drop = DropRowAt(pos.y());
    if (drop != FDropRow) {
        FDropRow = drop;
        viewport()->update();
    }
}

void TDataDimsEdit::mouseReleaseEvent(QMouseEvent* event)
{
    if (!FDragging) {
        FDragRow = -1;
        QTableWidget::mouseReleaseEvent(event);
        return;
    }
    const int from = FDragRow;
    const int to = DropRowAt(event->position().toPoint().y());
    EndRowDrag();
    if (from != to && from < rowCount())
        RowMoved(from, to);
}

void TDataDimsEdit::EndRowDrag()
{
    FDragRow = -1;
    FDragging = false;
    FDropRow = -1;
    viewport()->update();
}

int TDataDimsEdit::DropRowAt(int Y) const
{
    const int row = rowAt(qMax(Y, 0));
    if (row >= 0)
        return row;
    // Below the last row.
    return rowCount() - 1;
}

void TDataDimsEdit::paintEvent(QPaintEvent* event)
{
    QTableWidget::paintEvent(event);
    if (!FDragging || FDropRow < 0 || FDropRow == FDragRow)
        return;
    // The dragged row goes in place of the drop row, so the line stands on
    // the drop row's far side from where the dragged row comes from.
    const int top = rowViewportPosition(FDropRow);
    const int y = FDropRow > FDragRow ? top + rowHeight(FDropRow) - 1 : top;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

void TDataDimsEdit::RowMoved(int FromIndex, int ToIndex)
{
    if (!FData)
        return;
    FData->WriteTransaction(this, [&] { FData->MoveDim(FromIndex, ToIndex); });
    Refill();
}

void TDataDimsEdit::LogDims()
{
    // The visible dimensions in view order, each by its source index, so
    // that a line tells which dimensions were shown and in what order.
    QString line = QStringLiteral("dims ");
    for (int d = 0; d < FData->DimCount(); ++d)
        if (!FData->IsDimHidden(d))
            line += QLatin1Char(' ') + QString::number(FData->GetDimPerm(d));
    LogEvent(line);
}

void TDataDimsEdit::EndEvents()
{
    if (FNeedsRefresh) {
        FNeedsRefresh = false;
        Refresh();
        LogDims();
    }
    if (FNeedsRebuild) {
        FNeedsRebuild = false;
        Rebuild();
        LogDims();
    }
}

void TDataDimsEdit::DimExchange(TData*, TObject*, int, int)
{
    FNeedsRefresh = true;
}

void TDataDimsEdit::DimMove(TData*, TObject*, int, int)
{
    FNeedsRefresh = true;
}

void TDataDimsEdit::DimVisibilityChange(TData*, TObject*, int, bool)
{
    FNeedsRefresh = true;
}

void TDataDimsEdit::DimBoundChange(TData*, TObject*, int)
{
    FNeedsRefresh = true;
}

void TDataDimsEdit::DimModifications(TData*, TObject*)
{
    FNeedsRebuild = true;
}

void TDataDimsEdit::ValueChange(TData*, TObject*)
{
    FNeedsRebuild = true;
}

void TDataDimsEdit::DataSrcChange(TData*, TObject*)
{
    FNeedsRebuild = true;
}

void TDataDimsEdit::Attach()
{
    SetData(FClientManager->Data);
    FData->RegisterClient(this);
}

void TDataDimsEdit::Detach()
{
    if (FData)
        FData->UnregisterClient(this);
}
