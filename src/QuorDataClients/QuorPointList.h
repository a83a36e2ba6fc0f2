#pragma once

#include "QuorData/QuorData.h"
#include "QuorDataClients/PointListModel.h"
#include "QuorDataClients/XRExListview.h"
#include "QuorMethodBase.h"

#include <QPointer>
#include <QStyledItemDelegate>

#include <vector>

class QItemSelection;
class TQuorAppProperties;

// The items whose rows changed since the view last showed them; past a
// limit simply all of them, which one pass over the rows shows as quickly.
struct TChangedRows {
    std::vector<int> Items;
    bool All = false;
    void Note(int Item);
    void NoteAll()
    {
        All = true;
        Items.clear();
    }
    bool Any() const { return All || !Items.empty(); }
    void Clear()
    {
        All = false;
        Items.clear();
    }
};

// Draws the "Color" and slider cells of the data-item list as small squares
// in the value colour their character names.
class TPointListSwatchDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override;
    // Borrowed; without it the cells are drawn as text.
    const TQuorAppProperties* AppProperties = nullptr;
};

// The data-item list on the main window's side panel: one row per data item
// with its name, state, view position, colour and a mark for every slider
// that holds its value. Rows selected in the list select their items
// everywhere, and every selection made elsewhere shows in the list. The list
// sorts by the column clicked, and copies the names of all or of the
// selected items.
class TPointListController : public TObject, public TQuorNoOpClient, public TQuorNoOpDataClient {
public:
    // Makes the list, parented to the owner, which places it; the main
    // window passes its side panel.
    explicit TPointListController(QWidget* Owner);
    ~TPointListController() override;
    TPointListController(const TPointListController&) = delete;
    TPointListController& operator=(const TPointListController&) = delete;

    // New columns and rows for the data object, sorted by "Idx".
    virtual void Rebuild();

    // IQuorClient
    void SetClientManager(TQuorClientManager* Manager) override { FClientManager = Manager; }
    void Attach() override;
    void Detach() override;
    TQuorClientCapabilities GetCapabilities() override { return ccCopy | ccCopyOptions; }
    // The names of every item, or of the selected ones, in view order, each
    // ended by a carriage return and a line feed.
    void CopyToClipboard(QClipboard* Clipboard) override;
    // Asks whether to copy the selected items only; mrOk, or mrCancel when
    // the user cancels.
    int ShowCopyOptions(QClipboard* Clipboard) override;

    // IQuorDataClient. Notices caused by the list itself are ignored.
    void BeginEvents() override;
    void EndEvents() override;
    void PointModifications(TData* Data, TObject* Actor) override;
    void PointColorChange(TData* Data, TObject* Actor, int Point) override;
    void PointSelectionChange(TData* Data, TObject* Actor, int Point, bool Selected) override;
    void PointVisibilityChange(TData* Data, TObject* Actor, int Point, bool Visible) override;
    void PointExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override;
    void DimSelectionChange(TData* Data, TObject* Actor, int Dim, bool Selected) override;
    void DimExchange(TData* Data, TObject* Actor, int SrcA, int SrcB) override;
    void DimMove(TData* Data, TObject* Actor, int SrcMoved, int SrcAtTarget) override;
    void DimVisibilityChange(TData* Data, TObject* Actor, int Dim, bool Visible) override;
    void DimSliderChange(TData* Data, TObject* Actor, int Dim) override;
    void DimModifications(TData* Data, TObject* Actor) override;
    void ValueChange(TData* Data, TObject* Actor) override;
    void DataSrcChange(TData* Data, TObject* Actor) override;
    void CustomEvent(TQuorDataCustomEvent* Event) override;

    // Sorts the list by the column, as a click on its header does.
    void ColumnClick(int Column);

    TXRExListview* List() const { return FList; }
    TPointListModel* Model() const { return FModel; }
    const std::vector<int>& ItemIds() const { return FItemIds; }
    int SortColumn() const { return FSortColumn; }
    bool SelectedOnly() const { return FSelectedOnly; }

private:
    // Writes every row from the data object, then sorts.
    void FillRows();
    void Sort();
    // A changed cell moves rows only when the list is sorted by its column.
    void CellChangedIn(int Column) { FNeedsSort = FNeedsSort || FSortColumn == Column; }
    // Slider captions from the dimensions now at their positions, then the rows.
    void UpdateColumns();
    // Every row selected exactly when its item is.
    void SelectFromData();
    // Mirrors the rows' selected state into the view's selection.
    void ShowSelection();
    // Shows what notices changed: the noted rows one by one, a whole pass
    // when many changed, and past a budget of rows per turn of the event
    // loop one whole pass at the next turn (a rubber band delivers one
    // notice per item).
    void ShowChangedSelection();
    void ShowChangedCells();
    void PostTurnEnd();
    void TurnEnded();
    // A selection made in the list, written to the data object.
    void ListSelectionChanged(const QItemSelection& Selected, const QItemSelection& Deselected);
    void ConnectList();
    void DisconnectList();
    bool Ignored(TObject* Actor) const { return Actor == this; }
    // The item of a view position, or -1 when the list does not hold it.
    int ItemOf(int Point) const;

    QPointer<TXRExListview> FList;
    // Both go with the list, also when its owner frees it first.
    QPointer<TPointListModel> FModel;
    QPointer<TPointListSwatchDelegate> FDelegate;
    std::vector<int> FItemIds;
    bool FLiveTracking = false;
    TQuorClientManager* FClientManager = nullptr;
    bool FSelectedOnly = true;
    bool FNeedsRebuild = false;
    bool FNeedsRows = false;
    bool FNeedsSort = false;
    bool FNeedsColumns = false;
    bool FNeedsSelection = false;
    bool FNeedsRepaint = false;
    const TQuorAppProperties* FAppProperties = nullptr;
    bool FUpdating = false;
    int FSortColumn = 2;
    TData* FData = nullptr;
    // Set while the list's selection is set from the rows, so that the
    // list's own report of it writes nothing.
    bool FShowingSelection = false;
    // The rows whose selected state changed since the view last showed it.
    TChangedRows FSelectionRows;
    // Rows whose cells notices changed since the view last redrew them.
    TChangedRows FCellRows;
    // Rows shown one by one in this turn of the event loop.
    int FRowsShownThisTurn = 0;
    bool FTurnEndPosted = false;
    // The view shows the rest of this turn's selection changes at its end.
    bool FSelectionDeferred = false;
    QMetaObject::Connection FSelectionConnection;
};
