#include "QuorDataClients/PointListModel.h"

#include <algorithm>
#include <numeric>

namespace {

// A character as compared without regard to ASCII letter case.
char16_t FoldAscii(char16_t C)
{
    return C >= u'a' && C <= u'z' ? char16_t(C - (u'a' - u'A')) : C;
}

int CompareTextAscii(const QString& A, const QString& B)
{
    const qsizetype n = std::min(A.size(), B.size());
    for (qsizetype i = 0; i < n; ++i) {
        const int d = int(FoldAscii(A[i].unicode())) - int(FoldAscii(B[i].unicode()));
        if (d != 0)
            return d;
    }
    return int(A.size() - B.size());
}

} // namespace

TPointListModel::TPointListModel(QObject* Parent) : QAbstractTableModel(Parent) {}

void TPointListModel::Reset(const QStringList& Captions, std::vector<QString> Names)
{
    beginResetModel();
    FCaptions = Captions;
    FNames = std::move(Names);
    const size_t items = FNames.size();
    FItems.assign(items, TItem());
    FSliderCodes.assign(size_t(std::max(0, SliderColumnCount())), 0);
    FMarks.assign(items * FSliderCodes.size(), 0);
    FRows.resize(items);
    std::iota(FRows.begin(), FRows.end(), 0);
    FRowOf = FRows;
    endResetModel();
}

void TPointListModel::SetCaption(int Column, const QString& Caption)
{
    if (Column < 0 || Column >= FCaptions.size() || FCaptions[Column] == Caption)
        return;
    FCaptions[Column] = Caption;
    emit headerDataChanged(Qt::Horizontal, Column, Column);
}

void TPointListModel::ClearMarks(int Item)
{
    const size_t columns = FSliderCodes.size();
    std::fill_n(FMarks.begin() + ptrdiff_t(size_t(Item) * columns), columns, uint8_t(0));
}

void TPointListModel::SetMark(int Item, int SliderColumn)
{
    if (SliderColumn >= 0 && SliderColumn < SliderColumnCount())
        FMarks[size_t(Item) * FSliderCodes.size() + size_t(SliderColumn)] = 1;
}

void TPointListModel::SetSliderCode(int SliderColumn, int Code)
{
    if (SliderColumn >= 0 && SliderColumn < SliderColumnCount())
        FSliderCodes[size_t(SliderColumn)] = Code;
}

bool TPointListModel::Marked(int Item, int SliderColumn) const
{
    return FMarks[size_t(Item) * FSliderCodes.size() + size_t(SliderColumn)] != 0;
}

int TPointListModel::StateRank(const TItem& Item)
{
    // "", "Hidden", "Selected", "Selected, Hidden"
    return (Item.Selected ? 2 : 0) + (Item.Hidden ? 1 : 0);
}

QString TPointListModel::CellText(int Item, int Column) const
{
    const TItem& item = FItems[size_t(Item)];
    switch (Column) {
    case 0:
        return FNames[size_t(Item)];
    case StateColumn:
        if (item.Selected && item.Hidden)
            return QStringLiteral("Selected, Hidden");
        if (item.Selected)
            return QStringLiteral("Selected");
        return item.Hidden ? QStringLiteral("Hidden") : QString();
    case IdxColumn:
        return QString::number(item.ViewPosition);
    case ColorColumn:
        return QString(QChar(char16_t(item.Color)));
    default: {
        const int slider = Column - FixedColumns;
        if (slider < 0 || slider >= SliderColumnCount() || !Marked(Item, slider))
            return QString();
        return QString(QChar(char16_t(FSliderCodes[size_t(slider)])));
    }
    }
}

int TPointListModel::Compare(int Column, int A, int B) const
{
    const TItem& a = FItems[size_t(A)];
    const TItem& b = FItems[size_t(B)];
    switch (Column) {
    case 0:
        return CompareTextAscii(FNames[size_t(A)], FNames[size_t(B)]);
    case IdxColumn:
        return a.ViewPosition < b.ViewPosition ? -1 : a.ViewPosition > b.ViewPosition ? 1 : 0;
    // The others compare their texts and sort in descending order.
    case StateColumn:
        return StateRank(b) - StateRank(a);
    case ColorColumn:
        return int(FoldAscii(char16_t(b.Color))) - int(FoldAscii(char16_t(a.Color)));
    default: {
        const int slider = Column - FixedColumns;
        if (slider < 0 || slider >= SliderColumnCount())
            return 0;
        // Every marked cell of a column holds the same character.
        return int(Marked(B, slider)) - int(Marked(A, slider));
    }
    }
}

void TPointListModel::Sort(int Column)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> items;
    items.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        items.push_back(ItemAt(index.row()));
    std::stable_sort(FRows.begin(), FRows.end(),
                     [&](int A, int B) { return Compare(Column, A, B) < 0; });
    for (size_t row = 0; row < FRows.size(); ++row)
        FRowOf[size_t(FRows[row])] = int(row);
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.push_back(index(RowOf(items[size_t(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QItemSelection TPointListModel::Selection() const
{
    QItemSelection selection;
    const int rows = rowCount();
    const int lastColumn = columnCount() - 1;
    for (int row = 0; row < rows;) {
        if (!IsSelected(ItemAt(row))) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < rows && IsSelected(ItemAt(row)))
            ++row;
        selection.append(QItemSelectionRange(index(first, 0), index(row - 1, lastColumn)));
    }
    return selection;
}

void TPointListModel::CellsChanged()
{
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
}

void TPointListModel::RowChanged(int Row)
{
    if (Row >= 0 && Row < rowCount() && columnCount() > 0)
        emit dataChanged(index(Row, 0), index(Row, columnCount() - 1), {Qt::DisplayRole});
}

int TPointListModel::rowCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : int(FRows.size());
}

int TPointListModel::columnCount(const QModelIndex& Parent) const
{
    return Parent.isValid() ? 0 : int(FCaptions.size());
}

QVariant TPointListModel::data(const QModelIndex& Index, int Role) const
{
    if (Role != Qt::DisplayRole || !Index.isValid())
        return QVariant();
    return CellText(ItemAt(Index.row()), Index.column());
}

QVariant TPointListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const
{
    if (Orientation == Qt::Horizontal && Role == Qt::DisplayRole && Section >= 0
        && Section < FCaptions.size())
        return FCaptions[Section];
    return QAbstractTableModel::headerData(Section, Orientation, Role);
}
