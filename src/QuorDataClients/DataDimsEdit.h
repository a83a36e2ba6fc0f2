#pragma once

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QTableWidget>

#include <functional>
#include <vector>

// The check box over a grid row's "On" cell.
class TCheckbox2 : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
    // The grid row it belongs to, which is the dimension's view position.
    int Row = 0;
};

// The one editor that the grid lays over the focused bound cell. It reports
// losing the focus and the keys typed, so that the grid decides when an edit
// ends.
class TEdit2 : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;
    // The grid cell it edits: grid column and row.
    int Col = 0;
    int Row = 0;
    std::function<void()> OnExit;
    // The character typed; the handler may clear it to swallow the key.
    std::function<void(QChar& Key)> OnKeyPress;

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The grid of dimensions on the main window's side panel: one row per
// dimension in view order with its name, a check box that shows or hides it,
// whether its bounds cover its data, and its data range and bounds. The
// bounds are edited in place, rows are dragged to reorder the dimensions.
// Every edit is one write transaction; the grid redraws only from the change
// notices, its own included, and logs the visible dimensions each time.
//
// Columns are addressed by grid position (the header's visual order); the
// six column fields follow the user's column moves. Column 0, the name, and
// column 1, "On", stay in place.
class TDataDimsEdit : public QTableWidget,
                      public TObject,
                      public TQuorNoOpClient,
                      public TQuorNoOpDataClient {
    Q_OBJECT
public:
    // Parented to the owner, which places it; the main window passes its
    // side panel.
    explicit TDataDimsEdit(QWidget* Owner);
    ~TDataDimsEdit() override;

    virtual void SetData(TData* AData);
    // Writes the headers and every row's texts and check box from the data.
    virtual void Refill();
    // Ends an edit of a bound: a number below the upper bound (or above the
    // lower one) is written, anything else is dropped without a message.
    virtual void EditExit();
    virtual void CheckBoxClick(TCheckbox2* Sender);
    virtual void CreateCheckBoxes();
    virtual void FreeCheckBoxes();
    // The user moved the grid column FromIndex to ToIndex.
    virtual void ColumnMoved(int FromIndex, int ToIndex);
    virtual void EditKeyPress(QChar& Key);
    // Sizes the grid to the data's dimensions and refills it.
    virtual void Rebuild();
    virtual void Refresh();
    // The user dragged the row FromIndex to ToIndex.
    virtual void RowMoved(int FromIndex, int ToIndex);
    // Only the "On", "Low" and "High" cells take the focus.
    bool SelectCell(int Col, int Row) const;

    // IQuorDataClient
    void EndEvents() override;
    void DimExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override;
    void DimMove(TData* Data, TObject* Actor, int SrcMoved, int SrcAtTarget) override;
    void DimVisibilityChange(TData* Data, TObject* Actor, int Dim, bool Visible) override;
    void DimBoundChange(TData* Data, TObject* Actor, int Dim) override;
    void DimModifications(TData* Data, TObject* Actor) override;
    void ValueChange(TData* Data, TObject* Actor) override;
    void DataSrcChange(TData* Data, TObject* Actor) override;

    // IQuorClient
    void SetClientManager(TQuorClientManager* Manager) override { FClientManager = Manager; }
    void Attach() override;
    void Detach() override;

    // The cell at a grid column (visual position) and row.
    QTableWidgetItem* Cell(int Col, int Row) const;
    TEdit2* Edit() const { return FEdit; }
    const std::vector<QPointer<TCheckbox2>>& CheckBoxes() const { return FCheckBoxes; }
    int OnCol() const { return FOnCol; }
    int StateCol() const { return FStateCol; }
    int MinCol() const { return FMinCol; }
    int LowCol() const { return FLowCol; }
    int HighCol() const { return FHighCol; }
    int MaxCol() const { return FMaxCol; }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    // A row is dragged by its name cell; a click there stays a click.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Marks where a dragged row will go.
    void paintEvent(QPaintEvent* event) override;

private:
    // Lays the editor over the focused bound cell, ending an edit elsewhere.
    void PlaceEdit();
    // Shows the editor over the focused cell when that is a bound, else hides it.
    void ShowEdit(bool TakeFocus);
    // Keeps the editor over its cell when the grid scrolls or resizes.
    void FollowEdit();
    void HeaderSectionMoved(int Logical, int OldVisual, int NewVisual);
    void RowSectionMoved(int Logical, int OldVisual, int NewVisual);
    void LogDims();
    QString FormatNumber(double Value) const;
    // The row a drag of a row released at viewport height Y puts it at.
    int DropRowAt(int Y) const;
    void EndRowDrag();

    TData* FData = nullptr;
    TQuorClientManager* FClientManager = nullptr;
    TEdit2* FEdit = nullptr; // a child of the viewport, made on the first Rebuild
    // One per row; the grid deletes a row's box with the row.
    std::vector<QPointer<TCheckbox2>> FCheckBoxes;
    int FOnCol = 1;
    int FStateCol = 2;
    int FMinCol = 3;
    int FLowCol = 4;
    int FHighCol = 5;
    int FMaxCol = 6;
    bool FNeedsRebuild = false;
    bool FNeedsRefresh = false;
    // A press on a name cell: its row, -1 when none; the drag begins once
    // the mouse has moved the platform's drag distance.
    int FDragRow = -1;
    QPoint FDragStart;
    bool FDragging = false;
    int FDropRow = -1;
};
