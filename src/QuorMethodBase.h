#pragma once

#include "platform/Memory.h"

#include <QFlags>
#include <QHash>
#include <QMdiSubWindow>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QClipboard;
class QLabel;
class QMenu;
class QPrinter;
class QToolBar;
class QWidget;
class TCopyBoxForm;
class TData;
class TObject;
class TObjectHash;
class TQuorAppProperties;
class TQuorClientManager;
class TStringHash;

// What a client offers to the copy and print commands.
enum TQuorClientCapability : int {
    ccPrint = 1,        // offered by the print chooser
    ccCopy = 2,         // offered by the copy chooser
    ccCopyOptions = 4,  // ShowCopyOptions runs before a copy
    ccPrintOptions = 8, // ShowPrintOptions runs before printing
};
Q_DECLARE_FLAGS(TQuorClientCapabilities, TQuorClientCapability)
Q_DECLARE_OPERATORS_FOR_FLAGS(TQuorClientCapabilities)

// What every client of the client manager implements. Clients derive from
// TObject and are found by dynamic_cast; the manager alone owns them.
class IQuorClient {
public:
    static constexpr const char* IID = "{972BB851-1593-4C6D-ABA4-6FEAFB6549A0}";

    virtual ~IQuorClient() = default;

    virtual void SetClientManager(TQuorClientManager* Manager) = 0;
    virtual void Attach() = 0;
    virtual void Detach() = 0;
    virtual TQuorClientCapabilities GetCapabilities() = 0;
    virtual void CopyToClipboard(QClipboard* Clipboard) = 0;
    virtual void Print(QPrinter* Printer) = 0;
    // Modal results; the manager goes on only on mrOk (1).
    virtual int ShowCopyOptions(QClipboard* Clipboard) = 0;
    virtual int ShowPrintOptions(QPrinter* Printer) = 0;
};

// The IQuorClient operations that a client without a picture leaves empty:
// it offers nothing to copy or print. Such a client derives from it and
// states only how it joins and leaves the manager.
class TQuorNoOpClient : public IQuorClient {
public:
    TQuorClientCapabilities GetCapabilities() override { return {}; }
    void CopyToClipboard(QClipboard*) override {}
    void Print(QPrinter*) override {}
    int ShowCopyOptions(QClipboard*) override { return 0; }
    int ShowPrintOptions(QPrinter*) override { return 0; }
};

// The scale setting that three clients keep in step, each finding the others
// by client key through the manager. They stand in different libraries of one
// floor, so they meet here.
//
// The clustering panel, "ClusteringFrame": its "Normalize all scales" box
// follows the plot that changed.
class IQuorScaleSync {
public:
    virtual ~IQuorScaleSync() = default;
    virtual void SyncScalesFromPC() = 0;
    virtual void SyncScalesFromPM() = 0;
};

// The permutation matrix, "PermutationMatrix".
class IQuorConstantDimExtent {
public:
    virtual ~IQuorConstantDimExtent() = default;
    virtual bool GetConstantDimExtent() const = 0;
    virtual void SetConstantDimExtent(bool Value) = 0;
};

// Parallel coordinates, "ParallelCoordinates".
class IQuorFullScale {
public:
    virtual ~IQuorFullScale() = default;
    virtual bool GetFullScale() const = 0;
    virtual void SetFullScale(bool Value) = 0;
};

// Makes a client of a library above this one (the plots) for a client of
// this floor (the action client's toggles); the program registers one per
// key with the manager.
using TQuorClientFactory = std::function<std::unique_ptr<TObject>(QWidget* Owner)>;

// Holds every plot and tool of a main window under a key, hands them the
// shared data object and the main window's controls, and routes the copy
// and print commands to a client the user picks.
class TQuorClientManager {
public:
    // The owner (the main window) parents the choosers and the plot windows.
    explicit TQuorClientManager(QWidget* Owner);
    // Removes every client, each detached and freed, in iteration order.
    virtual ~TQuorClientManager();
    TQuorClientManager(const TQuorClientManager&) = delete;
    TQuorClientManager& operator=(const TQuorClientManager&) = delete;

    // Stores the client, then calls its SetClientManager and Attach. The
    // client must implement IQuorClient and the key must not be held yet.
    virtual void AddClient(const QString& Key, const QString& Caption,
                           std::unique_ptr<TObject> Client);
    // Frees the client of the key without detaching it; EHashFindError when
    // the key is not held.
    virtual void DeleteClient(const QString& Key);
    // Detaches the client of the key, then frees it.
    virtual void RemoveClient(const QString& Key);
    // The client of the key (still owned here); EHashFindError when absent.
    virtual TObject* GetClient(const QString& Key);
    virtual bool HasClient(const QString& Key);
    // Called once by the main window after it has set the fields below.
    virtual void Initialize();
    virtual void CopyToClipboard();
    virtual void Print();
    // The factory that makes the client of the key, replacing an earlier one.
    void RegisterFactory(const QString& Key, TQuorClientFactory Factory);
    // A new client of the key, made with the owner as its owner; nullptr when
    // no factory is registered for the key. Not yet added.
    std::unique_ptr<TObject> CreateClient(const QString& Key) const;

    QWidget* Owner() const { return FOwner; }

    // Set by the main window before the first client is added.
    TData* Data = nullptr;
    // Borrowed from the main window; each may be absent.
    QLabel* PanelDataItems = nullptr;
    QLabel* PanelDimensions = nullptr;
    QLabel* PanelHint = nullptr;
    TQuorAppProperties* AppProperties = nullptr;
    QMenu* PointListContextMenu = nullptr;
    // The plots' top-level menus, hidden and disabled while the plot is closed.
    QMenu* MenuItemPCoord = nullptr;
    QMenu* MenuItemACurves = nullptr;
    QMenu* MenuItemPMatrix = nullptr;
    QMenu* MenuItemSMatrix = nullptr;
    QAction* ActionTranspose = nullptr;
    QAction* ActionHidePoints = nullptr;
    QAction* ActionUnhidePoints = nullptr;
    QAction* ActionPickPoints = nullptr;
    QAction* ActionMarkPoints = nullptr;
    QAction* ActionAutoPermutePoints = nullptr;
    QAction* ActionHideDims = nullptr;
    // The plot toggles, checked while the plot is open.
    QAction* ActionQuorPCoord = nullptr;
    QAction* ActionQuorSMatrix = nullptr;
    QAction* ActionQuorPMatrix = nullptr;
    QAction* ActionQuorACurves = nullptr;
    QAction* ActionSortPointsAsc = nullptr;
    QAction* ActionSortPointsDesc = nullptr;
    QAction* ActionSortDimsAsc = nullptr;
    QAction* ActionSortDimsDesc = nullptr;
    QAction* ActionGroupPoints = nullptr;
    QAction* ActionGroupDims = nullptr;
    QAction* ActionCropSubSelection = nullptr;
    QAction* ActionFitBounds = nullptr;
    QWidget* SubPanel = nullptr;
    // Each docked into its plot's window while that plot is open.
    QToolBar* ActionToolBarPCoord = nullptr;
    QToolBar* ActionToolBarPMatrix = nullptr;
    QToolBar* ActionToolBarSMatrix = nullptr;
    QToolBar* ActionToolBarACurves = nullptr;
    // Asked by the plots before they build for a table; tests script it.
    TMemoryProbe MemoryProbe = AvailableMemory;

private:
    IQuorClient* ClientInterface(const QString& Key, const char* Failure);
    // Offers the clients with the capability in the chooser; the chosen
    // client, or nullptr when there is none to offer (NoneText is shown),
    // the user cancels or chooses nothing.
    IQuorClient* ChooseClient(TCopyBoxForm& Chooser, TQuorClientCapability Offered,
                              const char* Failure, const QString& NoneText);
    QPrinter* Printer();

    std::unique_ptr<TObjectHash> FClients; // key -> client, owning
    std::unique_ptr<TStringHash> FCaptions; // key -> caption
    QHash<QString, TQuorClientFactory> FFactories;
    QWidget* FOwner;
    // The application's printer: made on first use, so that the user's
    // choices carry over from one printout to the next.
    std::unique_ptr<QPrinter> FPrinter;
};

// How a plot window goes when it is closed.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// The child window of the main window in which a plot shows itself. It is
// created hidden; the plot fills and shows it. The user's commands that
// minimize, maximize or restore it are logged.
class TQuorMethodBaseForm : public QMdiSubWindow {
    Q_OBJECT
public:
    // Becomes a child window of the owner's MDI area (the owner itself, or
    // the first MDI area among its children).
    explicit TQuorMethodBaseForm(QWidget* Owner);
    ~TQuorMethodBaseForm() override;

    // Decides how a close request ends; the action starts as caMinimize, as
    // for every child window that has a minimize button.
    std::function<void(TQuorMethodBaseForm* Sender, TCloseAction& Action)> OnClose;
    std::function<void(TQuorMethodBaseForm* Sender)> OnActivate;

    // Frees the window once control returns to the event loop.
    void Release();

protected:
    void closeEvent(QCloseEvent* event) override;
    // A double click on the title bar of the maximized or minimized window
    // restores it, as it maximizes the normal one.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Whether the object carries the user's commands for this window: the
    // window itself (title-bar buttons, double clicks), its system menu,
    // and, while it is the active maximized window, its buttons in the main
    // window's menu bar.
    bool IsCommandSource(QObject* Object) const;
    // Marks the input event now being delivered as a command to this window,
    // until control returns to the event loop.
    void NoteCommand();
    // Logs the size states that a command of the user changes. Changes the
    // MDI area makes on its own (handing the maximized state on to the
    // window it activates, tiling, cascading) and those made by code are not
    // commands and stay unlogged.
    void WindowStateChanged(Qt::WindowStates OldState, Qt::WindowStates NewState);

    bool FCommand = false;
    // Watches the application's input for commands to this window; it goes
    // before the window does.
    std::unique_ptr<QObject> FInputWatcher;
};
