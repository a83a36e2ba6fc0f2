#pragma once

#include <QAbstractTableModel>
#include <QItemSelection>
#include <QStringList>

#include <cstdint>
#include <vector>

// The rows of the data-item list: one per data item, held by source index,
// in the list's own sort order. It keeps what the list last showed of each
// item as plain values (its selected and hidden state, view position,
// colour and slider marks), not as texts, so that a list of 100,000 items
// by many dimensions stays small and quick; the texts are made when a cell
// is drawn.
class TPointListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Name, "State", "Idx", "Color"; then one slider column per dimension.
    static constexpr int FixedColumns = 4;
    static constexpr int StateColumn = 1;
    static constexpr int IdxColumn = 2;
    static constexpr int ColorColumn = 3;

    explicit TPointListModel(QObject* Parent = nullptr);

    // New columns and one row per item, in source order.
    void Reset(const QStringList& Captions, std::vector<QString> Names);
    void SetCaption(int Column, const QString& Caption);

    int ItemCount() const { return int(FNames.size()); }
    int SliderColumnCount() const { return int(FCaptions.size()) - FixedColumns; }
    // The item shown in a row, and the row showing an item.
    int ItemAt(int Row) const { return FRows[size_t(Row)]; }
    int RowOf(int Item) const { return FRowOf[size_t(Item)]; }

    bool IsSelected(int Item) const { return FItems[size_t(Item)].Selected; }
    void SetSelected(int Item, bool Selected) { FItems[size_t(Item)].Selected = Selected; }
    void SetHidden(int Item, bool Hidden) { FItems[size_t(Item)].Hidden = Hidden; }
    void SetViewPosition(int Item, int Position) { FItems[size_t(Item)].ViewPosition = Position; }
    void SetColor(int Item, int Color) { FItems[size_t(Item)].Color = Color; }
    // Empties the item's slider cells.
    void ClearMarks(int Item);
    // Marks the item inside the slider of a column, whose cell then shows
    // the column's code.
    void SetMark(int Item, int SliderColumn);
    void SetSliderCode(int SliderColumn, int Code);

    // The text of a cell as the list shows it; the "Color" and slider cells
    // hold one character whose code is a colour or dimension index.
    QString CellText(int Item, int Column) const;
    // Sorts the rows by a column; the order does not toggle. Rows that
    // compare equal keep their order.
    void Sort(int Column);
    // The rows of the selected items as a few ranges of whole rows.
    QItemSelection Selection() const;
    // Tells the view that every cell may have changed.
    void CellsChanged();
    // The view redraws the cells of one row.
    void RowChanged(int Row);

    int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;

private:
    struct TItem {
        int ViewPosition = 0;
        int Color = 0;
        bool Selected = false;
        bool Hidden = false;
    };
    // Negative, zero or positive as the rows of items A and B order under
    // the column.
    int Compare(int Column, int A, int B) const;
    // The "State" texts in their order by text, ignoring ASCII case.
    static int StateRank(const TItem& Item);
    bool Marked(int Item, int SliderColumn) const;

    QStringList FCaptions;
    std::vector<QString> FNames;        // by item
    std::vector<TItem> FItems;          // by item
    std::vector<uint8_t> FMarks;        // item * slider columns + slider column
    std::vector<int> FSliderCodes;      // by slider column
    std::vector<int> FRows;             // row -> item
    std::vector<int> FRowOf;            // item -> row
};
