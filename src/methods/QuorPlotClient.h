#pragma once

#include "ObjectEditor/GOEParts.h"
#include "ObjectEditor/ObjectEditor.h"
#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"
#include "platform/Geometry.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QBoxLayout;
class QToolBar;
class QWidget;
class TMetafile;
class TQuorAppProperties;

// The changes a plot hears of, one per change method of IQuorDataClient.
enum class TDataChange {
    PointModifications,
    PointColorChange,
    PointSelectionChange,
    PointVisibilityChange,
    PointExchange,
    DimSelectionChange,
    DimExchange,
    DimMove,
    DimVisibilityChange,
    DimSliderChange,
    DimBoundChange,
    DimModifications,
    ValueChange,
    DataSrcChange,
};

// The selection work flag. Besides being set, it tells whether only
// selection notices set it, whose positions the frame noted: then the
// selection step moves those objects alone instead of resyncing whole.
class TSelectionWork {
public:
    // Set or cleared as a plain flag: set this way, the whole selection
    // follows the data object at the next step.
    TSelectionWork& operator=(bool Value)
    {
        FSet = FWhole = Value;
        return *this;
    }
    operator bool() const { return FSet; }
    bool Whole() const { return FWhole; }
    // Set for noted positions only; for use while no whole resync is pending.
    void SetNotedOnly()
    {
        FSet = true;
        FWhole = false;
    }

private:
    bool FSet = true;
    bool FWhole = true;
};

// What sets one plot apart in the common frame.
struct TPlotClientInfo {
    int Number = 0;             // in the log codes "close N" and "focus N"
    QString Key;                // client key with the client manager
    QString Caption;            // of the window and in the choosers
    QString PrinterTitle;       // document title of a printout
    QString UpdateFailureText;  // leads the message of a failed update
    QToolBar* TQuorClientManager::*ToolBar = nullptr; // the plot's tool bar
    // The window scrolls its contents when it is smaller than their minimum
    // size, rather than keeping the whole plot in view.
    bool AutoScroll = false;
};

// The heap bytes of Count blocks of Size bytes each, with what the allocator
// adds to every block: the unit in which the plots reckon their objects.
uint64_t HeapBytes(uint64_t Count, uint64_t Size);

// The hover texts every plot gives a data item and a dimension named Name.
QString DataItemHint(const QString& Name);
QString DimensionHint(const QString& Name);
QString DimensionCaption(const QString& Name);

// The frame of every plot: a client of the client manager and of the data
// object that owns a plot window, docks the plot's tool bar, logs its close
// and focus codes, and copies and prints the plot as a picture. Inside the
// window a plot either drives a graphic-object editor (InstallEditor) or is
// its own drawing control (InstallControl).
//
// Data changes only set the change flags (Changed); one guarded update
// works them off. A selection notice is noted by position, so that the
// selection step moves only the objects it names (IndexPointObject,
// IndexDimObject) while nothing else asked for a whole resync. With an
// editor the update runs the steps rebuild, layout, selection and repaint
// through the hooks below; a plot that is its own
// control gets UpdateControl instead. Edits go back to the data object in
// one write transaction each (WriteTransaction, WritePointSelected,
// WriteDimSelected); a dropped exchange of dimensions or data items is
// ExchangeDims / ExchangePoints. Hover texts go to the status bar.
//
// A new plot states its TPlotClientInfo, its InvertBackground and the steps
// it draws with; every other hook does nothing until a plot overrides it.
class TQuorPlotClient : public TObject, public IQuorClient, public IQuorDataClient {
public:
    // Makes the plot window (a child of the owner's window area), captioned
    // and hooked to FormClose and FormActivate. The plot's constructor then
    // makes its editor and hands it to InstallEditor, or hands itself as a
    // drawing control to InstallControl.
    TQuorPlotClient(QWidget* AOwner, const TPlotClientInfo& AInfo);
    ~TQuorPlotClient() override;
    TQuorPlotClient(const TQuorPlotClient&) = delete;
    TQuorPlotClient& operator=(const TQuorPlotClient&) = delete;

    // ---- IQuorClient ----
    void SetClientManager(TQuorClientManager* Manager) override;
    void Attach() override;
    void Detach() override;
    TQuorClientCapabilities GetCapabilities() override;
    void CopyToClipboard(QClipboard* Clipboard) override;
    void Print(QPrinter* Printer) override;
    int ShowCopyOptions(QClipboard* Clipboard) override;
    int ShowPrintOptions(QPrinter* Printer) override;

    // ---- IQuorDataClient ----
    // Changes made by the plot itself are ignored: its editor shows them already.
    void BeginEvents() override {}
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
    void DimBoundChange(TData* Data, TObject* Actor, int Dim) override;
    void DimModifications(TData* Data, TObject* Actor) override;
    void ValueChange(TData* Data, TObject* Actor) override;
    void DataSrcChange(TData* Data, TObject* Actor) override;
    void CustomEvent(TQuorDataCustomEvent*) override {}

    // ---- the update ----
    // The editor's paint hook: works off pending flags before the objects
    // are drawn. Raises the silent abort when an update already runs.
    virtual void Update();
    // Works off the change flags; raises the silent abort on re-entry.
    // Failures are shown in a message box; the plot stays usable. While the
    // editor handles a press, the flags wait for the press to end.
    virtual void DoUpdates();
    // The editor's resize hook.
    virtual void SetNeedsLayout();
    // The data object is being written or the plot is updating: edits in
    // the editor are not written back now.
    bool IsBusy() const;
    // Whether the plot's drawing may run on another thread now, beside the
    // other plots': it reads the data object, whose grids must allow that.
    // Asked on the GUI thread, after the update.
    bool PaintsOffThread() const;
    // The bytes the plot's objects for the current table take (for a plot
    // that is its own control: one paint), its image included, reckoned
    // generously. Before it builds objects that take more than those it
    // holds, the plot compares them with the memory available and, where
    // they would not fit, closes with a message instead. Default: 0,
    // nothing worth asking about.
    virtual uint64_t ObjectBytes() const { return 0; }
    // The objects would not fit: the plot shows nothing more and is closing.
    bool Refused() const { return FRefused; }

    // The editor's hover hook: the hint of what lies under the mouse, in the
    // status bar's hint panel.
    void ShowHint(TObject* Sender, TSelectionEntry* Objects, const TPoint& Pt);
    // Swaps the white background with black drawing and the black
    // background with white drawing.
    virtual void InvertBackground() = 0;
    // The value scales beneath the objects; a plot without any paints none.
    virtual void PaintScales(TCanvas& /*Canvas*/) {}

    // Writes one selection change of a data item or a dimension (view
    // positions) into the data object, unless the plot is busy; during a
    // press of the editor, together with the press's other picks once it
    // ends. Either way
    // the next selection step follows the position, since the editor may
    // show it otherwise than the data object holds it (a refused write, a
    // label standing for another object of its dimension).
    void WritePointSelected(int Point, bool Selected);
    void WriteDimSelected(int Dim, bool Selected);
    // A pick of an object that a whole resync never lists (a slider, a
    // column label): the next selection step drops it, as the resync would.
    void NoteStrayPick(TGraphicObject* Object);
    // A pick whose objects a whole resync lists by a rule that noted
    // positions do not reach (the cells of a sub-selection): the next
    // selection step resyncs whole.
    void NotePickResyncedWhole();
    // One write transaction with the plot as actor (waiting for the lock),
    // then the delivery of its events. Picks of the editor's press under
    // way that are not written yet go first.
    void WriteTransaction(const std::function<void()>& Changes);
    // The drop of a dragged object: writes Changes in one transaction,
    // rebuilds (the plot ignores its own notices), and ends the drag with
    // the silent abort, because the rebuild freed the dragged object.
    [[noreturn]] void WriteExchange(const std::function<void()>& Changes);
    // WriteExchange of the dimensions or data items at two visible
    // positions; nothing happens when they are the same.
    void ExchangeDims(int A, int B);
    void ExchangePoints(int A, int B);
    // Sets the flags of a full rebuild and updates. Plots with flags of
    // their own (a range, statistics) add them.
    virtual void Rebuild();

    const TPlotClientInfo& Info() const { return FInfo; }
    TQuorMethodBaseForm* Form() const { return FForm; }
    TGOEdit* Editor() const { return FEditor; }
    QWidget* Control() const { return FControl; } // the editor or the plot's own control
    TQuorClientManager* ClientManager() const { return FManager; }
    TData* Data() const { return FData; }
    TQuorAppProperties* AppProperties() const { return FAppProperties; }
    QWidget* Owner() const { return FOwner; }

    // Parts painted by CopyToClipboard and Print.
    TGOEParts CopyParts = TGOEParts::fromInt(7);
    TGOEParts PrintParts = TGOEParts::fromInt(7);

    bool NeedsRebuild = true;
    bool NeedsLayout = true;
    // A slider moved elsewhere: only the sliders need placing anew.
    bool NeedsSliders = false;
    TSelectionWork NeedsSelection;
    bool NeedsRepaint = true;
    int UpdateLevel = 0;
    int PaintLevel = 0;

protected:
    // Puts the plot's drawing control into the plot window, filling it
    // beside the tool bar; the window's widget tree owns it from then on.
    void InstallControl(QWidget* Control);
    // InstallControl for the editor, which the plot drives (paint, resize
    // and hover hooks) and Detach frees.
    void InstallEditor(TGOEdit* AEditor);
    // The editor's smallest size for the plot's minimum (SetNeedsLayout).
    void ApplyMinSize();

    // ---- hooks of the update ----
    // Sets the flags a change of others calls for. Default: none (a plot
    // that draws straight from the data object only repaints).
    virtual void Changed(TDataChange Change);
    // Enough visible data to draw anything (two visible dimensions).
    virtual bool HasEnoughData() const;
    // Runs before the four common steps (statistics, ranges). Default: nothing.
    virtual void BeforeUpdateSteps() {}
    // Places the slider objects for the sliders' values, for a slider change
    // that needs no layout. Default: nothing.
    virtual void PlaceSliders() {}
    // The rebuild step: the plot's frame geometry, then every graphic
    // object made anew and added to the editor without drawing.
    // Default: nothing.
    virtual void CalcFrameGeometry() {}
    virtual void BuildObjects() {}
    // The layout step: plot rectangle and geometry, then every object's
    // bounds. Default: nothing.
    virtual void CalcLayout() {}
    virtual void UpdateObjectGeometry(TGraphicObject* /*Object*/) {}
    // The selection step: the editor's selection follows the data object.
    // Default: nothing.
    virtual void SyncSelection() {}
    // The objects that show a data item or a dimension (view positions), so
    // that the selection step after a few selection notices moves only
    // their entries and leaves the rest of the selection alone. A plot
    // calls them from BuildObjects; a plot that does not resyncs whole.
    void IndexPointObject(int Point, TGraphicObject* Object);
    void IndexDimObject(int Dim, TGraphicObject* Object);
    // The bytes of the drawing control's image at the window's size, or at
    // Least where the control cannot shrink below that: as much of it as
    // the window area can show.
    uint64_t ImageBytes(const TSize& Least = {}) const;
    // The editor's smallest client size, insets included. Default: none.
    virtual TSize GetMinEditorSize() const { return {}; }
    // The update of a plot that is its own drawing control, in place of the
    // editor's steps. Default: repaints the control.
    virtual void UpdateControl();
    // The hover text for the objects under the mouse, topmost first: empty
    // for none, the hint of one, the captions of several.
    virtual QString HintText(const TSelectionEntry* Objects) const;

    // The picture of the editor's chosen parts at its size, for the
    // clipboard and the printer. A plot that is its own control paints its
    // own picture.
    virtual TMetafile MakeMetafile(TGOEParts Parts) const;
    // Logs the plot's close code, removes it from the manager (which frees
    // it) and lets the window go.
    void FormClose(TQuorMethodBaseForm* Sender, TCloseAction& Action);
    void FormActivate(TQuorMethodBaseForm* Sender);

private:
    // Index: the view position a selection notice names, -1 for others.
    void ChangedBy(TObject* Actor, TDataChange Change, int Index = -1);
    // Notes a position for the next selection step, or gives up on noting
    // past kNotedLimit.
    void NotePosition(std::vector<int>& Noted, int Index);
    // The editor's own picks are noted while it is not being synchronised.
    bool NotingPicks() const;
    void RunUpdateSteps();
    // A selection change of one data item or dimension that the editor made.
    struct TPick {
        bool Dim = false;
        int Position = 0;
        bool Selected = false;
    };
    void WritePick(const TPick& Pick);
    void ApplyPick(const TPick& Pick);
    // Writes the held-back picks, one transaction for each kind.
    void FlushPicks();
    // The editor's press has ended: its held-back picks are written and a
    // held-back update runs.
    void PressEnded();
    // Whether the objects for the current table fit in the memory available;
    // when they do not, the plot is refused and closes.
    bool RoomForObjects();
    void Refuse(uint64_t Needed, uint64_t Available);
    // The selection step: the objects of the noted positions only, when
    // nothing else asked for a whole resync and the index is current.
    void RunSelectionStep();
    bool FollowNotedSelection();
    void ForgetObjectIndex();
    void DockToolBar();
    void UndockToolBar();

    TPlotClientInfo FInfo;
    QWidget* FOwner;
    QPointer<TQuorMethodBaseForm> FForm; // freed by Qt once released
    QPointer<QWidget> FClientArea;       // the window's widget: tool bar and editor
    QBoxLayout* FClientLayout = nullptr;
    QPointer<QWidget> FControl;          // owned by the window's widget tree
    QPointer<TGOEdit> FEditor;           // FControl when the plot has an editor
    QPointer<QObject> FResizeWatcher;    // on the editor, calling back into the plot
    TQuorClientManager* FManager = nullptr;
    TData* FData = nullptr;
    TQuorAppProperties* FAppProperties = nullptr;
    // The tool bar while it is docked here, with where it came from.
    QPointer<QToolBar> FToolBar;
    // Per view position, the object showing that data item or dimension,
    // valid while the editor holds the objects FIndexedObjects heads.
    std::vector<TGraphicObject*> FPointObjects;
    std::vector<TGraphicObject*> FDimObjects;
    TGraphicObject* FIndexedObjects = nullptr;
    // The positions that selection notices and the editor's own picks named
    // since the last selection step, and the picked objects a whole resync
    // would not list. Incomplete past kNotedLimit, where a whole resync is
    // cheaper, or after a pick they cannot follow.
    std::vector<int> FNotedPoints;
    std::vector<int> FNotedDims;
    std::vector<TGraphicObject*> FStrayPicks;
    bool FNotedIncomplete = false;
    // Picks of the press under way, written when it ends or before any
    // other write of the plot.
    std::vector<TPick> FPendingPicks;
    // An update came while a press ran and waits for its end.
    bool FUpdateDeferred = false;
    // The press's picks are being written.
    bool FWritingPicks = false;
    QPointer<QWidget> FToolBarHome;
    Qt::Orientation FToolBarOrientation = Qt::Horizontal;
    // The estimate that last found room, which the plot now holds.
    uint64_t FFittingBytes = 0;
    bool FRefused = false;
};
