#pragma once

#include "platform/Dispatch.h"
#include "platform/Object.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QPushButton;
class QSplitter;
class QTabBar;
class QToolBar;
class QWidget;
class TClusterFrame;
class TData;
class TDataDimsEdit;
class TDataSrc;
class TDimPropertyFrame;
class TQuorActionClient;
class TQuorAppProperties;
class TQuorClientManager;

// The one main window: a multiple-document frame whose child windows are the
// plots. It owns the shared data object with its three sources, the client
// manager with every client, and the spreadsheet connection; it loads and
// saves XML data files, carries every command of the menus and tool bars,
// and closes with the upload of the usage log.
class TQuorbelWindow : public QMainWindow, public TObject {
    Q_OBJECT
public:
    explicit TQuorbelWindow(QWidget* Parent = nullptr);
    ~TQuorbelWindow() override;

    // ---- state shared with the spreadsheet connection and automation ----
    std::unique_ptr<TData> Data;
    std::unique_ptr<TDataSrc> ValueSrc;
    std::unique_ptr<TDataSrc> DimNameSrc;
    std::unique_ptr<TDataSrc> PointNameSrc;
    std::unique_ptr<TQuorClientManager> ClientManager;
    TDispatch ExcelApp;
    QString WorkbookName;
    std::unique_ptr<QObject> ExcelConnection;
    // Owned by the client manager as the client "Action".
    TQuorActionClient* ActionClient = nullptr;
    // Set by the automation object while the add-in holds the data: closing
    // then keeps the window and calls it instead of ending the program.
    std::function<void(TQuorbelWindow* Sender)> CloseRequest;
    // How the run ends (the plain closing path, Abort in the error dialog).
    std::function<void()> Terminate;

    // ---- start-up, loading and closing ----
    // The start-up wiring; runs once, on the first showing.
    void FormShow();
    virtual void ShowDataLost();
    virtual void CreateEmptyData(TQuorAppProperties* AppProperties);
    virtual void LoadXMLFile();
    void SavetoXML1Click();
    virtual void FreeSources();
    // The dialog for every error that reaches the event loop.
    void ApplicationEventsException(const std::exception& E);

    // ---- spreadsheet connection ----
    // Takes over the spreadsheet application, follows its events and loads
    // the selection of its active workbook (a null reference only lets go of
    // the former application). A failure closes the window.
    virtual void OpenExcel(const TDispatch& App);
    // The three range sources of the application's selection: values, the
    // first row's dimension names, the first column's item names. On failure
    // it says how to select, closes the window and returns false; the
    // former sources stay.
    virtual bool CreateExcelSources(std::unique_ptr<TDataSrc>& Values, std::unique_ptr<TDataSrc>& DimNames,
                                    std::unique_ptr<TDataSrc>& PointNames);
    // Re-reads the cells of spreadsheet sources; other sources stay. An
    // automation error passes to the caller.
    virtual void RefreshExcelSources();
    // RefreshExcelSources, then the data object adjusts to the new values.
    virtual void ReloadData();
    // The spreadsheet's events: a change or recalculation in the loaded
    // workbook re-reads the table; its closing calls CloseRequest.
    void ExcelSheetCalculate(const TDispatch& Sheet);
    void ExcelSheetChange(const TDispatch& Sheet, const TDispatch& Target);
    void ExcelWorkbookBeforeClose(const TDispatch& Workbook);

    // ---- layout ----
    virtual void BuildColorMenus();
    virtual void MarkColorClick(int ColorIndex);
    void SetupBottomTabs();
    virtual void PlaceSubPanelButtons();
    void AlgoControlChange();
    void BitBtnMinimizeClick();
    void BitBtnReduceClick();
    void BitBtnExpandClick();
    void UpSplitterButtonClick();
    void DownSplitterButtonClick();
    // The side panel's and the bottom panel's current extents.
    int SubPanelWidth() const;
    int BottomPanelHeight() const;

    // ---- permutation matrix settings ----
    virtual void SetPMDrawType(int Value);
    virtual void SetPMScaleType(int Value);
    virtual void SetPMMeanType(int Value);
    virtual void SyncPMScaleTypeActions();
    virtual void SyncPMMeanTypeActions();

    // The action (or menu item) of the name, e.g. "ActionHidePoints"; nullptr
    // for an unknown name.
    QAction* Action(const QString& Name) const;
    QMdiArea* MdiArea() const { return FMdiArea; }
    TQuorAppProperties* AppProperties() const { return FAppProperties.get(); }

    // Components the clients and tests reach.
    QWidget* SubPanel = nullptr;
    QSplitter* MainWindowSplitter = nullptr;
    QPushButton* BitBtnMinimize = nullptr;
    QPushButton* BitBtnReduce = nullptr;
    QPushButton* BitBtnExpand = nullptr;
    QSplitter* DownSplitter = nullptr;
    QWidget* BottomSubPanel = nullptr;
    QTabBar* AlgoControl = nullptr;
    QWidget* AlgoPage = nullptr; // the tab control's client area
    // A widget of the bottom panel and, from the end of the start-up, the
    // client "ClusteringFrame", which the manager frees.
    QPointer<TClusterFrame> ClusterFrame;
    TDimPropertyFrame* DimPropertyFrame = nullptr;
    QPushButton* UpSplitterButton = nullptr;
    QPushButton* DownSplitterButton = nullptr;
    QLabel* StatusPanels[3] = {};
    QToolBar* MainToolBar = nullptr;
    QToolBar* ActionToolBar = nullptr;
    QToolBar* ActionToolBarPCoord = nullptr;
    QToolBar* ActionToolBarPMatrix = nullptr;
    QToolBar* ActionToolBarSMatrix = nullptr;
    QToolBar* ActionToolBarACurves = nullptr;
    QMenu* MenuItemPCoord = nullptr;
    QMenu* MenuItemACurves = nullptr;
    QMenu* MenuItemPMatrix = nullptr;
    QMenu* MenuItemSMatrix = nullptr;
    QMenu* MenuWindow = nullptr;
    QMenu* MenuItemMarkPoints = nullptr;
    QMenu* PointListContextMenu = nullptr;
    QMenu* PLCMenuItemMarkPoints = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    // The closing steps; false keeps the window open.
    bool FormClose();
    void FreeAll();
    void BuildLayout();
    void BuildActions();
    void BuildMenus();
    void BuildToolBars();
    void WireClientManager();
    void SetSubPanelWidth(int Width);
    void SetBottomPanelHeight(int Height);
    // Replaces the three sources with the data object's new ones in one
    // write transaction of the actor; the former sources are freed afterwards.
    void ReplaceSources(TObject* Actor, std::unique_ptr<TDataSrc> Values, std::unique_ptr<TDataSrc> DimNames,
                        std::unique_ptr<TDataSrc> PointNames,
                        const std::function<void()>& AfterSetDataSrc);
    // ReloadData; when the data cannot be read again, says so and closes.
    void ReloadOrExit();
    // Whether a spreadsheet event may re-read the table now: not while the
    // loss of the data is being reported or the window is closing.
    bool FollowsWorkbook() const { return !FDataLost && !FClosing && !FClosed; }
    bool IsLoadedWorkbook(const TDispatch& Workbook) const;
    void LogDimensions();
    // The open plot of the key, as the class asked for; nullptr when the plot
    // is closed.
    template <class T> T* OpenPlot(const char* Key) const;
    void FillWindowMenu();
    // Takes back the check mark that a click set on a plot setting whose
    // plot is closed.
    void RevertCheck(QAction* Clicked);
    void CheckGroupEntry(QActionGroup* Group, int Index);
    // Flips an on/off setting of the open plot of the key; the action's
    // check mark then shows the plot's new value.
    template <class T>
    void FlipPlotSetting(const char* ActionName, const char* Key, bool (T::*Get)() const, void (T::*Set)(bool));

    // Action handlers, one per command, each writing its log code first.
    void ActionFitBoundsExecute();
    void ActionSelectPointsUnderSliderExecute();
    void ActionTransposeExecute();
    void ActionResetExecute();
    void ActionRefreshExecute();
    void InvertBackground1Click();
    void ActionSMDotExecute(int Size, int RingWidth);
    void ActionPMConstantWeightExecute();
    void ActionPMMethodExecute(int ScoreMode);
    void WindowTile(bool Vertical);
    void WindowCascadeExecute();
    void WindowArrangeIconsExecute();
    void WindowMinimizeAllExecute();
    void ActionToggleTransparencyExecute();
    void ActionHelpContentsExecute();
    void ActionQuorbelAboutExecute();
    void ActionToggleExecute(int Plot);

    QMdiArea* FMdiArea = nullptr;
    std::unique_ptr<TQuorAppProperties> FAppProperties;
    QHash<QString, QAction*> FActions;
    QActionGroup* FPMScaleTypes = nullptr;
    QActionGroup* FPMMeanTypes = nullptr;
    // The checked action of each radio group after the last command.
    QHash<QActionGroup*, QPointer<QAction>> FGroupChecks;
    // The workbook whose selection was read; a workbook that is closing may
    // no longer tell its name, but it is still this object.
    TDispatch FExcelWorkbook;
    bool FShown = false;
    bool FClosed = false;
    // The closing steps are under way: their boxes run the event loop.
    bool FClosing = false;
    // The loaded workbook could not be read again; its further events find
    // nothing to read until the next load.
    bool FDataLost = false;
};
