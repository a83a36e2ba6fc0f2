#include "methods/QuorPlotClient.h"

#include "ObjectEditor/GOECopyOptions.h"
#include "ObjectEditor/GOEPrintOptions.h"
#include "ObjectEditor/GraphicObject.h"
#include "ObjectEditor/ObjectEditor.h"
#include "QuorData/QuorAppProperties.h"
#include "QuorData/Utility.h"
#include "platform/CustomControl.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "platform/Memory.h"
#include "platform/Metafile.h"
#include "usagelog/Evaluation.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QColor>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinter>
#include <QScopeGuard>
#include <QScrollArea>
#include <QStringList>
#include <QToolBar>

#include <algorithm>
#include <utility>

namespace {

// Tells the plot when its editor's size changes (the editor's resize hook).
class TResizeWatcher : public QObject {
public:
    TResizeWatcher(QObject* Parent, std::function<void()> OnResize)
        : QObject(Parent), FOnResize(std::move(OnResize)) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Resize && FOnResize)
            FOnResize();
        return QObject::eventFilter(Watched, Event);
    }

private:
    std::function<void()> FOnResize;
};

// Decrements a counter when the scope ends, however it ends.
class TLevelGuard {
public:
    explicit TLevelGuard(int& Level) : FLevel(Level) { ++FLevel; }
    ~TLevelGuard() { --FLevel; }
    TLevelGuard(const TLevelGuard&) = delete;
    TLevelGuard& operator=(const TLevelGuard&) = delete;

private:
    int& FLevel;
};

} // namespace

// ---- creation ------------------------------------------------------------------

TQuorPlotClient::TQuorPlotClient(QWidget* AOwner, const TPlotClientInfo& AInfo)
    : FInfo(AInfo), FOwner(AOwner)
{
    FForm = new TQuorMethodBaseForm(AOwner);
    FForm->setWindowTitle(FInfo.Caption);
    FForm->OnClose = [this](TQuorMethodBaseForm* Sender, TCloseAction& Action) {
        FormClose(Sender, Action);
    };
    FForm->OnActivate = [this](TQuorMethodBaseForm* Sender) { FormActivate(Sender); };
}

TQuorPlotClient::~TQuorPlotClient()
{
    // Normally Detach has let everything go; a plot freed without it must
    // still leave no window calling back into it. The editor goes with the
    // plot: its objects and its paint would reach into the freed plot.
    if (FForm) {
        FForm->OnClose = nullptr;
        FForm->OnActivate = nullptr;
    }
    delete FResizeWatcher.data();
    delete FEditor.data();
}

void TQuorPlotClient::InstallControl(QWidget* Control)
{
    // The window's widget holds the tool bar at its left and the control
    // filling the rest.
    auto* area = new QWidget;
    FClientLayout = new QHBoxLayout(area);
    FClientLayout->setContentsMargins(0, 0, 0, 0);
    FClientLayout->setSpacing(0);
    FClientLayout->addWidget(Control, 1);
    FClientArea = area;
    FControl = Control;
    if (!FInfo.AutoScroll) {
        FForm->setWidget(area);
        return;
    }
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(area);
    FForm->setWidget(scroll);
}

void TQuorPlotClient::InstallEditor(TGOEdit* AEditor)
{
    InstallControl(AEditor);
    FEditor = AEditor;
    FResizeWatcher = new TResizeWatcher(AEditor, [this] { SetNeedsLayout(); });
    AEditor->installEventFilter(FResizeWatcher);
}

void TQuorPlotClient::ApplyMinSize()
{
    if (!FEditor)
        return;
    const TSize size = GetMinEditorSize();
    FEditor->setMinimumSize(size.cx, size.cy);
}

// ---- client of the manager ---------------------------------------------------------

void TQuorPlotClient::SetClientManager(TQuorClientManager* Manager)
{
    FManager = Manager;
}

void TQuorPlotClient::Attach()
{
    FData = FManager->Data;
    FAppProperties = FManager->AppProperties;
    if (FEditor) {
        FEditor->SetPopupMenu(FManager->PointListContextMenu);
        FEditor->OnPaint = [this](TObject*) { Update(); };
        FEditor->OnQueryOffThreadPaint = [this](TObject*) { return PaintsOffThread(); };
        FEditor->OnObjectHover = [this](TObject* Sender, TSelectionEntry* Hits, const TPoint& Pt) {
            ShowHint(Sender, Hits, Pt);
        };
        FEditor->OnPressEnd = [this](TObject*) { PressEnded(); };
        FEditor->Invalidate();
    }
    FData->RegisterClient(this);
    DockToolBar();
    // A plot refused for the table opens no window; it is on its way out.
    if (!FRefused)
        FForm->show();
}

void TQuorPlotClient::Detach()
{
    if (FData)
        FData->UnregisterClient(this);
    UndockToolBar();
    if (FEditor) {
        FEditor->OnPaint = nullptr;
        FEditor->OnQueryOffThreadPaint = nullptr;
        FEditor->OnObjectHover = nullptr;
        FEditor->OnPressEnd = nullptr;
        delete FEditor.data();
    }
    if (FForm) {
        FForm->OnClose = nullptr;
        FForm->OnActivate = nullptr;
        FForm->Release();
    }
}

void TQuorPlotClient::DockToolBar()
{
    QToolBar* bar = FInfo.ToolBar ? FManager->*FInfo.ToolBar : nullptr;
    if (!bar || !FClientLayout)
        return;
    FToolBar = bar;
    FToolBarHome = bar->parentWidget();
    FToolBarOrientation = bar->orientation();
    bar->setParent(FClientArea);
    bar->setOrientation(Qt::Vertical);
    FClientLayout->insertWidget(0, bar);
    bar->setVisible(true);
}

void TQuorPlotClient::UndockToolBar()
{
    if (!FToolBar)
        return;
    FToolBar->setVisible(false);
    if (FClientLayout)
        FClientLayout->removeWidget(FToolBar);
    FToolBar->setParent(FToolBarHome);
    FToolBar->setOrientation(FToolBarOrientation);
    FToolBar = nullptr;
}

TQuorClientCapabilities TQuorPlotClient::GetCapabilities()
{
    return ccPrint | ccCopy | ccCopyOptions | ccPrintOptions;
}

int TQuorPlotClient::ShowCopyOptions(QClipboard* /*Clipboard*/)
{
    TGOECopyOptionsForm dialog(FOwner);
    dialog.SetParts(CopyParts);
    const int result = ExecModal(dialog);
    if (result == mrOk)
        CopyParts = dialog.GetParts();
    return result;
}

int TQuorPlotClient::ShowPrintOptions(QPrinter* /*Printer*/)
{
    TGOEPrintOptionsForm dialog(FOwner);
    dialog.SetParts(PrintParts);
    const int result = ExecModal(dialog);
    if (result == mrOk)
        PrintParts = dialog.GetParts();
    return result;
}

TMetafile TQuorPlotClient::MakeMetafile(TGOEParts Parts) const
{
    TGOEdit* editor = FEditor;
    QUOR_ASSERT(editor, "a plot without an editor makes its own picture");
    return TMetafile(QSize(editor->width(), editor->height()),
                     [editor, Parts](TCanvas& Canvas) { editor->PaintTo(Canvas, Parts); });
}

void TQuorPlotClient::CopyToClipboard(QClipboard* Clipboard)
{
    if (!Clipboard)
        Clipboard = QGuiApplication::clipboard();
    // A drawing too large for the vector form goes as the image alone; the
    // status bar says so, where the plots tell what lies under the mouse.
    const bool whole = CopyMetafileToClipboard(*Clipboard, MakeMetafile(CopyParts));
    if (!whole && FManager && FManager->PanelHint)
        FManager->PanelHint->setText(QStringLiteral("Copied as an image only: too many figures for a vector copy."));
}

void TQuorPlotClient::Print(QPrinter* Printer)
{
    if (!Printer)
        return;
    // The dialog proposes its file name from the title; printing sets it
    // again on whatever the dialog leaves.
    Printer->setDocName(FInfo.PrinterTitle);
    if (!PromptPrintDialog(*Printer, FOwner))
        return;
    const TMetafile metafile = MakeMetafile(PrintParts);
    const TSize fitted = FitSizeKeepAspect(ToTSize(metafile.Size()), ToTSize(PrinterPageSize(*Printer)));
    if (!PrintMetafile(*Printer, metafile, FInfo.PrinterTitle, ToQSize(fitted)))
        throw Exception(QStringLiteral("The printer could not be started."));
}

// ---- window -----------------------------------------------------------------------------

void TQuorPlotClient::FormClose(TQuorMethodBaseForm* /*Sender*/, TCloseAction& Action)
{
    LogEvent(QStringLiteral("close %1").arg(FInfo.Number));
    Action = TCloseAction::caFree;
    // Frees this plot: nothing of it may be touched afterwards, its key
    // included, which the manager still reads after the plot is gone.
    const QString key = FInfo.Key;
    FManager->RemoveClient(key);
}

void TQuorPlotClient::FormActivate(TQuorMethodBaseForm* /*Sender*/)
{
    LogEvent(QStringLiteral("focus %1").arg(FInfo.Number));
}

// ---- client of the data object -----------------------------------------------------------

void TQuorPlotClient::Changed(TDataChange /*Change*/)
{
}

namespace {

// Past this many noted positions a whole resync of the selection is as
// quick as following each one.
constexpr size_t kNotedLimit = 4096;

} // namespace

void TQuorPlotClient::ChangedBy(TObject* Actor, TDataChange Change, int Index)
{
    if (Actor == this)
        return;
    const bool wholeBefore = NeedsSelection.Whole();
    Changed(Change);
    const bool point = Change == TDataChange::PointSelectionChange;
    if ((!point && Change != TDataChange::DimSelectionChange) || wholeBefore || !NeedsSelection)
        return;
    // A selection notice asks for its own position only: noted here, while
    // anything else that sets the flag asks for a whole resync.
    NeedsSelection.SetNotedOnly();
    NotePosition(point ? FNotedPoints : FNotedDims, Index);
}

void TQuorPlotClient::NotePosition(std::vector<int>& Noted, int Index)
{
    if (FNotedIncomplete)
        return;
    if (FNotedPoints.size() + FNotedDims.size() >= kNotedLimit) {
        FNotedIncomplete = true;
        FNotedPoints.clear();
        FNotedDims.clear();
        return;
    }
    Noted.push_back(Index);
}

bool TQuorPlotClient::NotingPicks() const
{
    // While the plot updates, the editor is being made to follow the data
    // object: what it deselects then is no pick.
    return UpdateLevel == 0 && FEditor;
}

void TQuorPlotClient::NoteStrayPick(TGraphicObject* Object)
{
    if (NotingPicks() && !FNotedIncomplete)
        FStrayPicks.push_back(Object);
}

void TQuorPlotClient::NotePickResyncedWhole()
{
    if (NotingPicks())
        FNotedIncomplete = true;
}

void TQuorPlotClient::EndEvents()
{
    DoUpdates();
}

void TQuorPlotClient::PointModifications(TData*, TObject* Actor)
{
    ChangedBy(Actor, TDataChange::PointModifications);
}

void TQuorPlotClient::PointColorChange(TData*, TObject* Actor, int)
{
    ChangedBy(Actor, TDataChange::PointColorChange);
}

void TQuorPlotClient::PointSelectionChange(TData*, TObject* Actor, int Point, bool)
{
    ChangedBy(Actor, TDataChange::PointSelectionChange, Point);
}

void TQuorPlotClient::PointVisibilityChange(TData*, TObject* Actor, int, bool)
{
    ChangedBy(Actor, TDataChange::PointVisibilityChange);
}

void TQuorPlotClient::PointExchange(TData*, TObject* Actor, int, int)
{
    ChangedBy(Actor, TDataChange::PointExchange);
}

void TQuorPlotClient::DimSelectionChange(TData*, TObject* Actor, int Dim, bool)
{
    ChangedBy(Actor, TDataChange::DimSelectionChange, Dim);
}

void TQuorPlotClient::DimExchange(TData*, TObject* Actor, int, int)
{
    ChangedBy(Actor, TDataChange::DimExchange);
}

void TQuorPlotClient::DimMove(TData*, TObject* Actor, int, int)
{
    ChangedBy(Actor, TDataChange::DimMove);
}

void TQuorPlotClient::DimVisibilityChange(TData*, TObject* Actor, int, bool)
{
    ChangedBy(Actor, TDataChange::DimVisibilityChange);
}

void TQuorPlotClient::DimSliderChange(TData*, TObject* Actor, int)
{
    ChangedBy(Actor, TDataChange::DimSliderChange);
}

void TQuorPlotClient::DimBoundChange(TData*, TObject* Actor, int)
{
    ChangedBy(Actor, TDataChange::DimBoundChange);
}

void TQuorPlotClient::DimModifications(TData*, TObject* Actor)
{
    ChangedBy(Actor, TDataChange::DimModifications);
}

void TQuorPlotClient::ValueChange(TData*, TObject* Actor)
{
    ChangedBy(Actor, TDataChange::ValueChange);
}

void TQuorPlotClient::DataSrcChange(TData*, TObject* Actor)
{
    ChangedBy(Actor, TDataChange::DataSrcChange);
}

// ---- the update ---------------------------------------------------------------------------

bool TQuorPlotClient::HasEnoughData() const
{
    return FData && FData->VisibleDimCount() >= 2;
}

bool TQuorPlotClient::IsBusy() const
{
    return (FData && FData->Locked()) || UpdateLevel > 0;
}

bool TQuorPlotClient::PaintsOffThread() const
{
    return !FData || FData->ReadyForReadersOnAnyThread();
}

void TQuorPlotClient::Update()
{
    if (UpdateLevel > 0 || PaintLevel > 0)
        Abort();
    TLevelGuard painting(PaintLevel);
    DoUpdates();
}

void TQuorPlotClient::DoUpdates()
{
    if (UpdateLevel > 0)
        Abort();
    // The press's loops and handlers hold objects that a rebuild or a
    // layout would free or move; the flags wait for the end of the press.
    if ((FEditor && FEditor->HandlingPress()) || FWritingPicks) {
        FUpdateDeferred = true;
        return;
    }
    FUpdateDeferred = false;
    TLevelGuard updating(UpdateLevel);
    try {
        RunUpdateSteps();
    } catch (const EAbort&) {
        // A silent abort ends the update quietly, as it ends any operation.
    } catch (const std::exception& e) {
        ShowMessage(FInfo.UpdateFailureText + ExceptionClassName(e)
                    + QStringLiteral(". Exception-Message: ") + ExceptionMessage(e));
    }
}

void TQuorPlotClient::RunUpdateSteps()
{
    if (!FData || FRefused)
        return;
    if (!FEditor) {
        if (FControl && RoomForObjects())
            UpdateControl();
        return;
    }
    if (!HasEnoughData()) {
        if (FEditor->GetObjects()) {
            FEditor->ClearAll();
            ForgetObjectIndex();
        }
        return;
    }
    if (NeedsRebuild && !RoomForObjects())
        return;
    BeforeUpdateSteps();
    // The objects take their rings from the sliders as they are painted: a
    // slider that moved elsewhere moves alone, where a layout would place
    // every object anew. A rebuild or a layout places the sliders anyway.
    if (NeedsSliders) {
        NeedsSliders = false;
        if (!NeedsRebuild && !NeedsLayout && FEditor->GetObjects()) {
            PlaceSliders();
            FEditor->UpdateAfterChange();
        }
    }
    if (NeedsRebuild) {
        NeedsRebuild = false;
        NeedsSelection = true;
        CalcFrameGeometry();
        FEditor->ClearAll();
        ForgetObjectIndex();
        NeedsRepaint = false;
        BuildObjects();
        if (!FPointObjects.empty() || !FDimObjects.empty())
            FIndexedObjects = FEditor->GetObjects();
    }
    if (NeedsLayout) {
        NeedsLayout = false;
        CalcLayout();
        for (TGraphicObject* object = FEditor->GetObjects(); object; object = object->Next)
            UpdateObjectGeometry(object);
        FEditor->UpdateAfterChange();
        NeedsRepaint = false;
    }
    RunSelectionStep();
    if (NeedsRepaint) {
        NeedsRepaint = false;
        FEditor->Invalidate();
    }
}

bool TQuorPlotClient::RoomForObjects()
{
    const uint64_t needed = ObjectBytes();
    // No larger than what is held now, which goes before the new is made.
    if (needed <= FFittingBytes) {
        FFittingBytes = needed;
        return true;
    }
    const uint64_t available = FManager && FManager->MemoryProbe ? FManager->MemoryProbe() : AvailableMemory();
    if (needed > available) {
        Refuse(needed, available);
        return false;
    }
    FFittingBytes = needed;
    return true;
}

void TQuorPlotClient::Refuse(uint64_t Needed, uint64_t Available)
{
    FRefused = true;
    // Made for the table before: their positions may be gone from this one.
    if (FEditor) {
        FEditor->ClearAll();
        ForgetObjectIndex();
    }
    if (!FForm)
        return;
    const QString message = QStringLiteral("The %1 of %2 data items by %3 dimensions would need %4 of memory, "
                                           "but only %5 are free; the plot is closed.")
                                .arg(FInfo.Caption)
                                .arg(FData->PointCount())
                                .arg(FData->DimCount())
                                .arg(MemoryText(Needed), MemoryText(Available));
    // Closing frees the plot, which the delivery under way still calls: the
    // message and the closing wait until it has ended. A plot taken away
    // meanwhile (its toggle, the main window closing) needs neither.
    const QPointer<TQuorMethodBaseForm> form = FForm;
    QMetaObject::invokeMethod(
        FForm,
        [form, message] {
            if (!form || !form->OnClose)
                return;
            ShowMessage(message);
            if (form && form->OnClose)
                form->close();
        },
        Qt::QueuedConnection);
}

void TQuorPlotClient::RunSelectionStep()
{
    if (!NeedsSelection)
        return;
    const bool whole = NeedsSelection.Whole();
    NeedsSelection = false;
    const auto forget = qScopeGuard([this] {
        FNotedPoints.clear();
        FNotedDims.clear();
        FStrayPicks.clear();
        FNotedIncomplete = false;
    });
    if (!whole && FollowNotedSelection())
        return;
    SyncSelection();
}

bool TQuorPlotClient::FollowNotedSelection()
{
    if (FNotedIncomplete || !FIndexedObjects || FEditor->GetObjects() != FIndexedObjects)
        return false;
    for (TGraphicObject* stray : FStrayPicks)
        FEditor->SetListed(stray, false);
    // Each noted object is listed exactly when its item or dimension is
    // selected, as the whole resync would leave it.
    const auto follow = [this](const std::vector<TGraphicObject*>& Objects, int Position, bool Selected) {
        if (Position >= 0 && size_t(Position) < Objects.size() && Objects[size_t(Position)])
            FEditor->SetListed(Objects[size_t(Position)], Selected);
    };
    for (int point : FNotedPoints)
        if (point >= 0 && point < FData->PointCount())
            follow(FPointObjects, point, FData->IsPointSelected(point));
    for (int dim : FNotedDims)
        if (dim >= 0 && dim < FData->DimCount())
            follow(FDimObjects, dim, FData->IsDimSelected(dim));
    FEditor->ListedChanged();
    return true;
}

namespace {

// Index[Position] := Object, growing the index as needed.
void SetIndexed(std::vector<TGraphicObject*>& Index, int Position, TGraphicObject* Object)
{
    if (Position < 0)
        return;
    if (size_t(Position) >= Index.size())
        Index.resize(size_t(Position) + 1, nullptr);
    Index[size_t(Position)] = Object;
}

} // namespace

void TQuorPlotClient::IndexPointObject(int Point, TGraphicObject* Object)
{
    SetIndexed(FPointObjects, Point, Object);
}

void TQuorPlotClient::IndexDimObject(int Dim, TGraphicObject* Object)
{
    SetIndexed(FDimObjects, Dim, Object);
}

void TQuorPlotClient::ForgetObjectIndex()
{
    FPointObjects.clear();
    FDimObjects.clear();
    FIndexedObjects = nullptr;
    // Picked objects that are freed now; a whole resync follows anyway.
    FStrayPicks.clear();
}

void TQuorPlotClient::UpdateControl()
{
    NeedsRepaint = false;
    FControl->update();
}

void TQuorPlotClient::Rebuild()
{
    NeedsRebuild = NeedsLayout = NeedsRepaint = true;
    DoUpdates();
}

void TQuorPlotClient::SetNeedsLayout()
{
    ApplyMinSize();
    NeedsLayout = true;
}

uint64_t TQuorPlotClient::ImageBytes(const TSize& Least) const
{
    const QSize window = FForm ? FForm->size() : QSize();
    const QSize shown =
        ShownSize(FForm, QSize(std::max(window.width(), Least.cx), std::max(window.height(), Least.cy)));
    return uint64_t(std::max(shown.width(), 0)) * uint64_t(std::max(shown.height(), 0)) * sizeof(QRgb);
}

uint64_t HeapBytes(uint64_t Count, uint64_t Size)
{
    if (Size == 0)
        return 0;
    // A block carries one word of bookkeeping, is aligned to 16 bytes and
    // is at least 32 long.
    const uint64_t block = std::max<uint64_t>(32, (Size + 8 + 15) / 16 * 16);
    return Count * block;
}

// ---- hover text --------------------------------------------------------------------------

QString DataItemHint(const QString& Name)
{
    return QStringLiteral("Data item: ") + Name + QStringLiteral(" [Click to select / Ctrl-Click to add or remove]");
}

QString DimensionHint(const QString& Name)
{
    return QStringLiteral("Dimension: ") + Name + QStringLiteral(" [Drag it over another dimension to exchange them]");
}

QString DimensionCaption(const QString& Name)
{
    return QStringLiteral("Dimension ") + Name;
}

void TQuorPlotClient::ShowHint(TObject* /*Sender*/, TSelectionEntry* Objects, const TPoint& /*Pt*/)
{
    try {
        const QString text = HintText(Objects);
        if (FManager && FManager->PanelHint)
            FManager->PanelHint->setText(text);
    } catch (const std::exception&) {
        // A hint is not worth an error dialog.
    }
}

QString TQuorPlotClient::HintText(const TSelectionEntry* Objects) const
{
    if (!Objects)
        return QString();
    if (!Objects->Next)
        return Objects->Object->GetHint();
    QStringList captions;
    for (const TSelectionEntry* entry = Objects; entry; entry = entry->Next.get())
        captions << entry->Object->GetCaption();
    return captions.join(QStringLiteral(", ")) + QStringLiteral(" [Click to cycle through items]");
}

// ---- write-through --------------------------------------------------------------------------

void TQuorPlotClient::WriteTransaction(const std::function<void()>& Changes)
{
    // The picks the press held back go first: the changes may move the
    // positions they name.
    FlushPicks();
    FData->WriteTransaction(this, Changes);
}

void TQuorPlotClient::FlushPicks()
{
    if (FPendingPicks.empty())
        return;
    const std::vector<TPick> picks = std::exchange(FPendingPicks, {});
    // One transaction per kind, the kind picked first first: notices of one
    // kind reach the others one by one, where a mix would reach them as one
    // general change that rebuilds everything.
    const bool dimsFirst = picks.front().Dim;
    for (const bool dims : {dimsFirst, !dimsFirst}) {
        if (std::none_of(picks.begin(), picks.end(), [&](const TPick& P) { return P.Dim == dims; }))
            continue;
        FData->WriteTransaction(this, [&] {
            for (const TPick& pick : picks)
                if (pick.Dim == dims)
                    ApplyPick(pick);
        });
    }
}

void TQuorPlotClient::WritePick(const TPick& Pick)
{
    if (IsBusy())
        return;
    // A press picks object by object; its picks go out together when it
    // ends, so that one click or band is one delivery however many items
    // it changes, and nothing answers while the press still runs.
    if (FEditor && FEditor->HandlingPress()) {
        FPendingPicks.push_back(Pick);
        return;
    }
    WriteTransaction([&] { ApplyPick(Pick); });
}

void TQuorPlotClient::ApplyPick(const TPick& Pick)
{
    // Held back, a pick may name a position that a change since has taken away.
    if (Pick.Dim) {
        if (Pick.Position >= 0 && Pick.Position < FData->DimCount())
            FData->SetDimSelected(Pick.Position, Pick.Selected);
    } else if (Pick.Position >= 0 && Pick.Position < FData->PointCount()) {
        FData->SetPointSelected(Pick.Position, Pick.Selected);
    }
}

void TQuorPlotClient::PressEnded()
{
    {
        // An update between the picks of two kinds would follow a data
        // object that holds only some of them.
        FWritingPicks = true;
        const auto written = qScopeGuard([this] { FWritingPicks = false; });
        FlushPicks();
    }
    if (FUpdateDeferred)
        DoUpdates();
}

void TQuorPlotClient::WritePointSelected(int Point, bool Selected)
{
    if (NotingPicks())
        NotePosition(FNotedPoints, Point);
    WritePick({false, Point, Selected});
}

void TQuorPlotClient::WriteDimSelected(int Dim, bool Selected)
{
    if (NotingPicks())
        NotePosition(FNotedDims, Dim);
    WritePick({true, Dim, Selected});
}

void TQuorPlotClient::WriteExchange(const std::function<void()>& Changes)
{
    WriteTransaction(Changes);
    Rebuild();
    Abort();
}

void TQuorPlotClient::ExchangeDims(int A, int B)
{
    if (A == B)
        return;
    WriteExchange([&] { FData->ExchangeDims(FData->GetVisibleDim(A), FData->GetVisibleDim(B)); });
}

void TQuorPlotClient::ExchangePoints(int A, int B)
{
    if (A == B)
        return;
    WriteExchange([&] { FData->ExchangePoints(FData->GetVisiblePoint(A), FData->GetVisiblePoint(B)); });
}
