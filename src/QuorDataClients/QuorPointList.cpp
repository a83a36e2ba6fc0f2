#include "QuorDataClients/QuorPointList.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorDataClients/PointListModel.h"
#include "platform/DialogService.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPainter>
#include <QScopeGuard>

#include <numeric>

namespace {
// The narrowest columns, one per dimension.
constexpr int kSliderColumnWidth = 15;
} // namespace

void TPointListSwatchDelegate::paint(QPainter* Painter, const QStyleOptionViewItem& Option,
                                     const QModelIndex& Index) const
{
    const QString text = Index.data().toString();
    if (!AppProperties || Index.column() < TPointListModel::ColorColumn || text.size() != 1) {
        QStyledItemDelegate::paint(Painter, Option, Index);
        return;
    }
    // The cell's background and selection as usual, the square in place of
    // the text.
    QStyleOptionViewItem option(Option);
    initStyleOption(&option, Index);
    option.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, Painter, widget);
    Painter->save();
    Painter->setRenderHint(QPainter::Antialiasing, false);
    Painter->setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    Painter->setBrush(ToQColor(AppProperties->GetValueColor(text.at(0).unicode())));
    Painter->drawRect(QRect(Option.rect.left() + 1, Option.rect.top() + 1, 9, 9));
    Painter->restore();
}

TPointListController::TPointListController(QWidget* Owner)
{
    FList = new TXRExListview(Owner);
    FList->setObjectName(QStringLiteral("PointList"));
    FList->setProperty("helpContext", 240);
    FModel = new TPointListModel(FList);
    FList->setModel(FModel);
    FDelegate = new TPointListSwatchDelegate(FList);
    FList->setItemDelegate(FDelegate);
    FList->verticalHeader()->hide();
    FList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FList->verticalHeader()->setDefaultSectionSize(FList->fontMetrics().height() + 4);
    FList->horizontalHeader()->setSectionsClickable(true);
    FList->horizontalHeader()->setHighlightSections(false);
    // The style's minimum (some 26 pixels) would widen the slider columns.
    FList->horizontalHeader()->setMinimumSectionSize(kSliderColumnWidth);
    FList->setShowGrid(true);
    FList->setWordWrap(false);
    FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ConnectList();
}

TPointListController::~TPointListController()
{
    DisconnectList();
    delete FList.data();
}

void TPointListController::ConnectList()
{
    QObject::connect(FList->horizontalHeader(), &QHeaderView::sectionClicked, FList,
                     [this](int Column) { ColumnClick(Column); });
    FSelectionConnection = QObject::connect(
        FList->selectionModel(), &QItemSelectionModel::selectionChanged, FList,
        [this](const QItemSelection& Selected, const QItemSelection& Deselected) {
            ListSelectionChanged(Selected, Deselected);
        });
}

void TPointListController::DisconnectList()
{
    if (!FList)
        return;
    QObject::disconnect(FList->horizontalHeader(), &QHeaderView::sectionClicked, FList, nullptr);
    QObject::disconnect(FSelectionConnection);
}

void TPointListController::Attach()
{
    FData = FClientManager->Data;
    FAppProperties = FClientManager->AppProperties;
    if (FDelegate)
        FDelegate->AppProperties = FAppProperties;
    if (FList)
        FList->PopupMenu = FClientManager->PointListContextMenu;
    Rebuild();
    FData->RegisterClient(this);
}

void TPointListController::Detach()
{
    if (FData)
        FData->UnregisterClient(this);
    DisconnectList();
    delete FList.data();
}

void TPointListController::Rebuild()
{
    if (!FList || !FModel || !FData)
        return;
    // Drawn again once, when the rows are in place.
    FList->setUpdatesEnabled(false);
    auto show = qScopeGuard([this] {
        FList->setUpdatesEnabled(true);
        FList->show();
    });
    QStringList captions = {QStringLiteral("Data Item"), QStringLiteral("State"),
                            QStringLiteral("Idx"), QStringLiteral("Color")};
    const int dims = FData->DimCount();
    for (int d = 0; d < dims; ++d)
        captions << QStringLiteral("%1 Slider").arg(FData->GetDimName(d));
    FSortColumn = TPointListModel::IdxColumn;
    const int items = FData->PointCount();
    FItemIds.resize(size_t(items));
    std::iota(FItemIds.begin(), FItemIds.end(), 0);
    std::vector<QString> names(static_cast<size_t>(items));
    for (int i = 0; i < items; ++i)
        names[size_t(i)] = FData->GetPointName(FData->GetPointInvPerm(i));
    {
        // The view drops its selection with the old rows; the items keep theirs.
        FShowingSelection = true;
        auto done = qScopeGuard([this] { FShowingSelection = false; });
        FModel->Reset(captions, std::move(names));
    }
    const int widths[TPointListModel::FixedColumns] = {70, 100, 30, 40};
    for (int col = 0; col < captions.size(); ++col)
        FList->setColumnWidth(col, col < TPointListModel::FixedColumns ? widths[col] : kSliderColumnWidth);
    FillRows();
}

void TPointListController::FillRows()
{
    if (!FModel || !FData)
        return;
    const int items = std::min(FData->PointCount(), FModel->ItemCount());
    const int sliders = std::min(FData->DimCount(), FModel->SliderColumnCount());
    bool anySlider = false;
    for (int c = 0; c < sliders; ++c) {
        FModel->SetSliderCode(c, FData->GetDimPerm(c));
        anySlider = anySlider || !FData->GetSliderOff(c);
    }
    for (int i = 0; i < items; ++i) {
        const int v = FData->GetPointInvPerm(i);
        const TPointProps props = FData->GetPointProps(v);
        FModel->SetSelected(i, props.Selected);
        FModel->SetHidden(i, props.Hidden);
        FModel->SetViewPosition(i, v);
        FModel->SetColor(i, props.Color);
        FModel->ClearMarks(i);
        // Without an active slider no item can lie inside one.
        if (anySlider)
            for (int d : FData->DimsInSliderRange(v))
                FModel->SetMark(i, d);
    }
    FSelectionRows.NoteAll();
    FCellRows.Clear();
    FModel->CellsChanged();
    Sort();
}

void TPointListController::Sort()
{
    if (!FModel)
        return;
    {
        // Rows move with an empty selection, so that the view has no
        // selected rows to carry along, then show their state again.
        FShowingSelection = true;
        auto done = qScopeGuard([this] { FShowingSelection = false; });
        FList->selectionModel()->clearSelection();
    }
    FModel->Sort(FSortColumn);
    ShowSelection();
}

void TPointListController::ShowSelection()
{
    if (!FModel)
        return;
    FShowingSelection = true;
    auto done = qScopeGuard([this] { FShowingSelection = false; });
    QItemSelectionModel* selection = FList->selectionModel();
    selection->clearSelection();
    selection->select(FModel->Selection(), QItemSelectionModel::Select);
    FSelectionRows.Clear();
    FSelectionDeferred = false;
}

namespace {

// Rows a turn of the event loop shows one by one before it leaves the rest
// to one pass at the next turn; past this many noted rows a pass is quicker.
constexpr int kRowsPerTurn = 256;
constexpr size_t kNotedRows = 4096;

} // namespace

void TChangedRows::Note(int Item)
{
    if (All)
        return;
    if (Items.size() >= kNotedRows)
        NoteAll();
    else
        Items.push_back(Item);
}

void TPointListController::ShowChangedSelection()
{
    // Past the budget the rest of the turn's changes wait for its end.
    if (!FSelectionRows.Any() || FSelectionDeferred)
        return;
    if (FSelectionRows.All) {
        ShowSelection();
        return;
    }
    if (FRowsShownThisTurn + int(FSelectionRows.Items.size()) > kRowsPerTurn) {
        FSelectionRows.NoteAll();
        FSelectionDeferred = true;
        PostTurnEnd();
        return;
    }
    FShowingSelection = true;
    auto done = qScopeGuard([this] { FShowingSelection = false; });
    QItemSelectionModel* selection = FList->selectionModel();
    const int lastColumn = FModel->columnCount() - 1;
    for (int item : FSelectionRows.Items) {
        const int row = FModel->RowOf(item);
        selection->select(QItemSelection(FModel->index(row, 0), FModel->index(row, lastColumn)),
                          FModel->IsSelected(item) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    }
    FRowsShownThisTurn += int(FSelectionRows.Items.size());
    FSelectionRows.Clear();
    PostTurnEnd();
}

void TPointListController::ShowChangedCells()
{
    if (FCellRows.All)
        FModel->CellsChanged();
    else
        for (int item : FCellRows.Items)
            FModel->RowChanged(FModel->RowOf(item));
    FCellRows.Clear();
}

void TPointListController::PostTurnEnd()
{
    if (FTurnEndPosted || !FList)
        return;
    FTurnEndPosted = true;
    QMetaObject::invokeMethod(FList.data(), [this] { TurnEnded(); }, Qt::QueuedConnection);
}

void TPointListController::TurnEnded()
{
    FTurnEndPosted = false;
    FSelectionDeferred = false;
    FRowsShownThisTurn = 0;
    if (FModel && FSelectionRows.Any())
        ShowSelection();
}

void TPointListController::UpdateColumns()
{
    const int sliders = std::min(FData->DimCount(), FModel->SliderColumnCount());
    for (int c = 0; c < sliders; ++c)
        FModel->SetCaption(TPointListModel::FixedColumns + c,
                           QStringLiteral("%1 Slider").arg(FData->GetDimName(c)));
    FillRows();
}

void TPointListController::SelectFromData()
{
    const int items = std::min(FData->PointCount(), FModel->ItemCount());
    for (int i = 0; i < items; ++i)
        FModel->SetSelected(i, FData->IsPointSelected(FData->GetPointInvPerm(i)));
    ShowSelection();
}

void TPointListController::ColumnClick(int Column)
{
    FSortColumn = Column;
    Sort();
}

void TPointListController::ListSelectionChanged(const QItemSelection& Selected,
                                                const QItemSelection& Deselected)
{
    if (FShowingSelection || FUpdating || !FData || !FModel || QCoreApplication::closingDown())
        return;
    struct TChange {
        int Point;
        bool Selected;
    };
    std::vector<TChange> changes;
    const int items = std::min(FData->PointCount(), FModel->ItemCount());
    auto collect = [&](const QItemSelection& Ranges, bool State) {
        for (const QItemSelectionRange& range : Ranges)
            for (int row = range.top(); row <= range.bottom(); ++row) {
                const int item = FModel->ItemAt(row);
                if (item >= items)
                    continue;
                FModel->SetSelected(item, State);
                const int v = FData->GetPointInvPerm(item);
                if (FData->IsPointSelected(v) != State)
                    changes.push_back({v, State});
            }
    };
    collect(Deselected, false);
    collect(Selected, true);
    if (changes.empty())
        return;
    const bool selecting =
        std::any_of(changes.begin(), changes.end(), [](const TChange& c) { return c.Selected; });
    FData->WriteTransaction(this, [&] {
        // Selected items and selected dimensions exclude each other.
        if (selecting && FData->SelectedDimCount() > 0)
            for (int d = 0; d < FData->DimCount(); ++d)
                if (FData->IsDimSelected(d))
                    FData->SetDimSelected(d, false);
        for (const TChange& c : changes)
            FData->SetPointSelected(c.Point, c.Selected);
    });
    FModel->CellsChanged();
}

int TPointListController::ItemOf(int Point) const
{
    if (!FModel || !FData || Point < 0 || Point >= FData->PointCount())
        return -1;
    const int item = FData->GetPointPerm(Point);
    return item < FModel->ItemCount() ? item : -1;
}

int TPointListController::ShowCopyOptions(QClipboard*)
{
    switch (MessageDlg(QStringLiteral("Would you like to copy the names of selected data items only?"),
                       TMsgDlgType::mtConfirmation, mbYesNoCancel)) {
    case mrYes:
        FSelectedOnly = true;
        return mrOk;
    case mrNo:
        FSelectedOnly = false;
        return mrOk;
    default:
        return mrCancel;
    }
}

void TPointListController::CopyToClipboard(QClipboard* Clipboard)
{
    if (!FData || !Clipboard)
        return;
    if (FSelectedOnly && FData->SelectedPointCount() == 0)
        return;
    QString text;
    for (int v = 0; v < FData->PointCount(); ++v)
        if (!FSelectedOnly || FData->IsPointSelected(v))
            text += FData->GetPointName(v) + QStringLiteral("\r\n");
    Clipboard->clear();
    Clipboard->setText(text);
}

void TPointListController::BeginEvents()
{
    FLiveTracking = false;
}

void TPointListController::EndEvents()
{
    if (!FList || !FModel) {
        FNeedsRebuild = FNeedsRows = FNeedsSort = FNeedsColumns = FNeedsSelection = FNeedsRepaint = false;
        FSelectionRows.Clear();
        FCellRows.Clear();
        return;
    }
    FUpdating = true;
    auto done = qScopeGuard([this] { FUpdating = false; });
    // A slider being dragged live does not refill the list; its release does.
    if (FLiveTracking) {
        FNeedsRows = false;
        FNeedsRepaint = false;
    }
    if (FNeedsRows) {
        FNeedsRows = false;
        FillRows();
    }
    if (FNeedsSort) {
        FNeedsSort = false;
        Sort();
    }
    if (FNeedsColumns) {
        FNeedsColumns = false;
        UpdateColumns();
    }
    if (FNeedsSelection) {
        FNeedsSelection = false;
        SelectFromData();
    }
    if (FNeedsRepaint) {
        FNeedsRepaint = false;
        FList->viewport()->update();
    }
    if (FNeedsRebuild) {
        FNeedsRebuild = false;
        Rebuild();
    }
    ShowChangedSelection();
    ShowChangedCells();
}

void TPointListController::PointModifications(TData*, TObject* Actor)
{
    if (Ignored(Actor))
        return;
    FNeedsRows = FNeedsSelection = FNeedsRepaint = true;
}

void TPointListController::PointExchange(TData*, TObject* Actor, int, int)
{
    if (Ignored(Actor))
        return;
    FNeedsRows = FNeedsSelection = FNeedsRepaint = true;
}

void TPointListController::PointColorChange(TData*, TObject* Actor, int Point)
{
    const int item = Ignored(Actor) ? -1 : ItemOf(Point);
    if (item < 0)
        return;
    FModel->SetColor(item, FData->GetPointColor(Point));
    FCellRows.Note(item);
    CellChangedIn(TPointListModel::ColorColumn);
}

void TPointListController::PointSelectionChange(TData*, TObject* Actor, int Point, bool Selected)
{
    const int item = Ignored(Actor) ? -1 : ItemOf(Point);
    if (item < 0)
        return;
    FModel->SetSelected(item, Selected);
    FSelectionRows.Note(item);
    FCellRows.Note(item);
    CellChangedIn(TPointListModel::StateColumn);
}

void TPointListController::PointVisibilityChange(TData*, TObject* Actor, int Point, bool Visible)
{
    const int item = Ignored(Actor) ? -1 : ItemOf(Point);
    if (item < 0)
        return;
    FModel->SetHidden(item, !Visible);
    FCellRows.Note(item);
    CellChangedIn(TPointListModel::StateColumn);
}

void TPointListController::DimSelectionChange(TData*, TObject* Actor, int, bool)
{
    if (!Ignored(Actor))
        FNeedsColumns = true;
}

void TPointListController::DimExchange(TData*, TObject* Actor, int, int)
{
    if (!Ignored(Actor))
        FNeedsColumns = true;
}

void TPointListController::DimMove(TData*, TObject* Actor, int, int)
{
    if (!Ignored(Actor))
        FNeedsColumns = true;
}

void TPointListController::DimVisibilityChange(TData*, TObject* Actor, int, bool)
{
    if (!Ignored(Actor))
        FNeedsColumns = true;
}

void TPointListController::DimModifications(TData*, TObject* Actor)
{
    if (!Ignored(Actor))
        FNeedsColumns = true;
}

void TPointListController::DimSliderChange(TData*, TObject* Actor, int)
{
    if (Ignored(Actor))
        return;
    FNeedsRows = FNeedsRepaint = true;
}

void TPointListController::ValueChange(TData*, TObject* Actor)
{
    if (!Ignored(Actor))
        FNeedsRebuild = true;
}

void TPointListController::DataSrcChange(TData*, TObject* Actor)
{
    if (!Ignored(Actor))
        FNeedsRebuild = true;
}

void TPointListController::CustomEvent(TQuorDataCustomEvent* Event)
{
    if (dynamic_cast<TQDCELiveTracking*>(Event))
        FLiveTracking = true;
}
