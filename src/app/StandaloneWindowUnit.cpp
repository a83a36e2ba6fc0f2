#include "app/StandaloneWindowUnit.h"

#include "QuorData/QuorAppProperties.h"
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "QuorData/QuorDataSrcXML.h"
#include "QuorDataClients/ActionClient.h"
#include "QuorDataClients/DataActor.h"
#include "QuorDataClients/DataDimsEdit.h"
#include "QuorDataClients/FormDataClient.h"
#include "QuorDataClients/QuorPointList.h"
#include "QuorDataClients/QuorSubSelection.h"
#include "QuorDataClients/XRExListview.h"
#include "QuorMethodBase.h"
#include "app/HelpWindow.h"
#include "clustering/ClusteringFrame.h"
#include "clustering/DimPropertiesFrame.h"
#include "app/PlotFactories.h"
#include "platform/Application.h"
#include "platform/Color.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "platform/Random.h"
#include "usagelog/Evaluation.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScopeGuard>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString XMLFilter = QStringLiteral("XML Files only (*.xml)");

constexpr int DesignWidth = 1168;
constexpr int DesignHeight = 826;
constexpr int SubPanelDesignWidth = 140;
constexpr int SplitterWidth = 10;
constexpr int BottomPanelHeight0 = 60;
constexpr int BottomPanelMin = 50;
constexpr int BottomPanelMax = 205;
constexpr int SubPanelButtonHeight = 25;

QLabel* MakePanel(QStatusBar* Bar, int Width, int Stretch)
{
    auto* panel = new QLabel(Bar);
    panel->setMinimumWidth(Width);
    Bar->addWidget(panel, Stretch);
    return panel;
}

} // namespace

TQuorbelWindow::TQuorbelWindow(QWidget* Parent)
    : QMainWindow(Parent)
    , Terminate([] { TApplication::Terminate(); })
{
    setObjectName(QStringLiteral("QuorbelWindow"));
    setProperty("helpContext", 100);
    BuildLayout();
    BuildActions();
    BuildMenus();
    BuildToolBars();
    resize(DesignWidth, DesignHeight);
    TApplication::SetExceptionHandler([this](const std::exception& E) { ApplicationEventsException(E); });
    InstallHelpFilter();
}

TQuorbelWindow::~TQuorbelWindow()
{
    TApplication::SetExceptionHandler({});
    // The clients go while the plot windows and tool bars they hold still exist.
    FreeAll();
}

// ---- layout -------------------------------------------------------------------

void TQuorbelWindow::BuildLayout()
{
    FMdiArea = new QMdiArea;
    FMdiArea->setObjectName(QStringLiteral("MdiArea"));

    SubPanel = new QWidget;
    SubPanel->setObjectName(QStringLiteral("SubPanel"));
    SubPanel->setMinimumWidth(1);
    auto* subLayout = new QVBoxLayout(SubPanel);
    subLayout->setContentsMargins(0, 0, 0, 0);
    subLayout->setSpacing(2);

    MainWindowSplitter = new QSplitter(Qt::Horizontal);
    MainWindowSplitter->setObjectName(QStringLiteral("MainWindowSplitter"));
    MainWindowSplitter->addWidget(SubPanel);
    MainWindowSplitter->addWidget(FMdiArea);
    MainWindowSplitter->setHandleWidth(SplitterWidth);
    MainWindowSplitter->setCollapsible(0, false);
    MainWindowSplitter->setCollapsible(1, false);
    MainWindowSplitter->setStretchFactor(1, 1);
    MainWindowSplitter->setSizes({SubPanelDesignWidth, DesignWidth});
    connect(MainWindowSplitter, &QSplitter::splitterMoved, this, [this] { PlaceSubPanelButtons(); });

    // The three buttons ride on the splitter's handle.
    QWidget* handle = MainWindowSplitter->handle(1);
    auto makeSideButton = [handle](const char* Name, const QString& Caption, const QString& Hint) {
        auto* button = new QPushButton(Caption, handle);
        button->setObjectName(QString::fromLatin1(Name));
        button->setToolTip(Hint);
        button->setFixedSize(SplitterWidth, SubPanelButtonHeight);
        button->setFocusPolicy(Qt::NoFocus);
        button->setCursor(Qt::ArrowCursor);
        return button;
    };
    BitBtnMinimize = makeSideButton("BitBtnMinimize", QStringLiteral("\u2039"),
                                    QStringLiteral("Reduce the sub panel"));
    BitBtnReduce = makeSideButton("BitBtnReduce", QStringLiteral("|"), QString());
    BitBtnExpand = makeSideButton("BitBtnExpand", QStringLiteral("\u203a"),
                                  QStringLiteral("Expand the sub panel"));
    connect(BitBtnMinimize, &QPushButton::clicked, this, &TQuorbelWindow::BitBtnMinimizeClick);
    connect(BitBtnReduce, &QPushButton::clicked, this, &TQuorbelWindow::BitBtnReduceClick);
    connect(BitBtnExpand, &QPushButton::clicked, this, &TQuorbelWindow::BitBtnExpandClick);

    // The bottom panel: the tab control with its client area, and the two
    // buttons that open and close the panel.
    BottomSubPanel = new QWidget;
    BottomSubPanel->setObjectName(QStringLiteral("BottomSubPanel"));
    BottomSubPanel->setMinimumHeight(BottomPanelMin);
    BottomSubPanel->setMaximumHeight(BottomPanelMax);
    auto* bottomLayout = new QHBoxLayout(BottomSubPanel);
    bottomLayout->setContentsMargins(2, 2, 2, 2);
    auto* tabColumn = new QVBoxLayout;
    tabColumn->setSpacing(0);
    AlgoControl = new QTabBar;
    AlgoControl->setObjectName(QStringLiteral("AlgoControl"));
    AlgoControl->setExpanding(false);
    AlgoPage = new QWidget;
    AlgoPage->setObjectName(QStringLiteral("AlgoPage"));
    auto* pageLayout = new QGridLayout(AlgoPage);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    ClusterFrame = new TClusterFrame(AlgoPage);
    ClusterFrame->setObjectName(QStringLiteral("ClusterFrame"));
    DimPropertyFrame = new TDimPropertyFrame(AlgoPage);
    DimPropertyFrame->setObjectName(QStringLiteral("DimPropertyFrame"));
    DimPropertyFrame->setVisible(false);
    // Both fill the tab control's client area, one above the other.
    pageLayout->addWidget(ClusterFrame, 0, 0);
    pageLayout->addWidget(DimPropertyFrame, 0, 0);
    tabColumn->addWidget(AlgoControl);
    tabColumn->addWidget(AlgoPage, 1);
    bottomLayout->addLayout(tabColumn, 1);
    auto* buttonColumn = new QVBoxLayout;
    UpSplitterButton = new QPushButton(QStringLiteral("\u25b2"));
    UpSplitterButton->setObjectName(QStringLiteral("UpSplitterButton"));
    DownSplitterButton = new QPushButton(QStringLiteral("\u25bc"));
    DownSplitterButton->setObjectName(QStringLiteral("DownSplitterButton"));
    for (QPushButton* button : {UpSplitterButton, DownSplitterButton}) {
        button->setFixedSize(18, 18);
        button->setFocusPolicy(Qt::NoFocus);
        buttonColumn->addWidget(button);
    }
    buttonColumn->addStretch();
    bottomLayout->addLayout(buttonColumn);
    connect(UpSplitterButton, &QPushButton::clicked, this, &TQuorbelWindow::UpSplitterButtonClick);
    connect(DownSplitterButton, &QPushButton::clicked, this, &TQuorbelWindow::DownSplitterButtonClick);
    connect(AlgoControl, &QTabBar::currentChanged, this, [this] { AlgoControlChange(); });

    DownSplitter = new QSplitter(Qt::Vertical);
    DownSplitter->setObjectName(QStringLiteral("DownSplitter"));
    DownSplitter->addWidget(MainWindowSplitter);
    DownSplitter->addWidget(BottomSubPanel);
    DownSplitter->setCollapsible(0, false);
    DownSplitter->setCollapsible(1, false);
    DownSplitter->setStretchFactor(0, 1);
    DownSplitter->setSizes({DesignHeight, BottomPanelHeight0});
    setCentralWidget(DownSplitter);

    QStatusBar* bar = statusBar();
    StatusPanels[0] = MakePanel(bar, 120, 0);
    StatusPanels[1] = MakePanel(bar, 120, 0);
    StatusPanels[2] = MakePanel(bar, 50, 1);
    StatusPanels[0]->setText(QStringLiteral("Data Items"));
    StatusPanels[1]->setText(QStringLiteral("Dimensions"));
}

int TQuorbelWindow::SubPanelWidth() const
{
    return MainWindowSplitter->sizes().value(0);
}

int TQuorbelWindow::BottomPanelHeight() const
{
    return DownSplitter->sizes().value(1);
}

void TQuorbelWindow::SetSubPanelWidth(int Width)
{
    const QList<int> sizes = MainWindowSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    MainWindowSplitter->setSizes({Width, std::max(0, total - Width)});
    PlaceSubPanelButtons();
}

void TQuorbelWindow::SetBottomPanelHeight(int Height)
{
    const QList<int> sizes = DownSplitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    DownSplitter->setSizes({std::max(0, total - Height), Height});
}

void TQuorbelWindow::PlaceSubPanelButtons()
{
    BitBtnMinimize->move(0, 0);
    BitBtnReduce->move(0, BitBtnMinimize->y() + BitBtnMinimize->height());
    BitBtnExpand->move(0, BitBtnReduce->y() + BitBtnReduce->height());
}

void TQuorbelWindow::BitBtnMinimizeClick()
{
    SetSubPanelWidth(1);
}

void TQuorbelWindow::BitBtnReduceClick()
{
    SetSubPanelWidth(70);
}

void TQuorbelWindow::BitBtnExpandClick()
{
    SetSubPanelWidth(400);
}

void TQuorbelWindow::UpSplitterButtonClick()
{
    SetBottomPanelHeight(BottomPanelMax);
}

void TQuorbelWindow::DownSplitterButtonClick()
{
    SetBottomPanelHeight(BottomPanelMin);
}

void TQuorbelWindow::resizeEvent(QResizeEvent* Event)
{
    QMainWindow::resizeEvent(Event);
    PlaceSubPanelButtons();
}

void TQuorbelWindow::SetupBottomTabs()
{
    ClusterFrame->Init();
    AlgoControl->blockSignals(true);
    AlgoControl->addTab(QStringLiteral("Clustering"));
    AlgoControl->addTab(QStringLiteral("Parameters"));
    AlgoControl->blockSignals(false);
    ClusterFrame->setVisible(true);
    ClusterFrame->raise();
    ClusterFrame->Data = Data.get();
    DimPropertyFrame->setVisible(false);
    DimPropertyFrame->Data = Data.get();
    DimPropertyFrame->FillLists();
}

void TQuorbelWindow::AlgoControlChange()
{
    const QString caption = AlgoControl->tabText(AlgoControl->currentIndex());
    if (caption == QLatin1String("Clustering")) {
        if (ClusterFrame) {
            ClusterFrame->setVisible(true);
            ClusterFrame->raise();
        }
        SetBottomPanelHeight(BottomPanelMax);
    } else if (ClusterFrame) {
        ClusterFrame->setVisible(false);
    }
    // "Parameters" hides the clustering panel and shows nothing in its place.
    if (caption != QLatin1String("Parameters"))
        DimPropertyFrame->setVisible(false);
}

// ---- start-up -------------------------------------------------------------------

void TQuorbelWindow::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (!FShown)
        FormShow();
}

void TQuorbelWindow::FormShow()
{
    if (FShown)
        return;
    FShown = true;
    FAppProperties = std::make_unique<TQuorAppProperties>();
    CreateEmptyData(FAppProperties.get());
    CreateLog();
    for (QToolBar* bar : {ActionToolBarPCoord, ActionToolBarPMatrix, ActionToolBarSMatrix, ActionToolBarACurves})
        bar->hide();
    WireClientManager();
    BuildColorMenus();
    ClientManager->AddClient(QStringLiteral("SubSelection"), QStringLiteral("Sub-Selection"),
                             std::make_unique<TQuorSubSelection>());
    ClientManager->AddClient(QStringLiteral("FormControl"), QStringLiteral("Form Control Object"),
                             std::make_unique<TFormDataClient>());
    auto actionClient = std::make_unique<TQuorActionClient>();
    ActionClient = actionClient.get();
    ClientManager->AddClient(QStringLiteral("Action"), QStringLiteral("Action Object"), std::move(actionClient));
    auto dimEditor = std::make_unique<TDataDimsEdit>(SubPanel);
    SubPanel->layout()->addWidget(dimEditor.get());
    ClientManager->AddClient(QStringLiteral("DimEditor"), QStringLiteral("Dimension Editor"), std::move(dimEditor));
    auto pointEditor = std::make_unique<TPointListController>(SubPanel);
    SubPanel->layout()->addWidget(pointEditor->List());
    ClientManager->AddClient(QStringLiteral("PointEditor"), QStringLiteral("Data items Editor"),
                             std::move(pointEditor));
    ClientManager->AddClient(QStringLiteral("DataActor"), QStringLiteral("Data Actor"), std::make_unique<TDataActor>());
    Randomize();
    SetupBottomTabs();
    PlaceSubPanelButtons();
    LogEvent(QStringLiteral("Quorbel Version August 2010"));
    LogEvent(QStringLiteral("load ") + Data->GetPointName(0));
    IdentifyUser();
    setWindowTitle(QStringLiteral("Quorbel \u00ae"));
    ClientManager->AddClient(QStringLiteral("ClusteringFrame"), QStringLiteral("Clustering Algorithm"),
                             std::unique_ptr<TObject>(ClusterFrame.data()));
}

void TQuorbelWindow::WireClientManager()
{
    ClientManager = std::make_unique<TQuorClientManager>(this);
    TQuorClientManager& m = *ClientManager;
    m.Data = Data.get();
    m.AppProperties = FAppProperties.get();
    m.PanelDataItems = StatusPanels[0];
    m.PanelDimensions = StatusPanels[1];
    m.PanelHint = StatusPanels[2];
    m.MenuItemPCoord = MenuItemPCoord;
    m.MenuItemACurves = MenuItemACurves;
    m.MenuItemPMatrix = MenuItemPMatrix;
    m.MenuItemSMatrix = MenuItemSMatrix;
    m.PointListContextMenu = PointListContextMenu;
    m.ActionTranspose = Action(QStringLiteral("ActionTranspose"));
    m.ActionHidePoints = Action(QStringLiteral("ActionHidePoints"));
    m.ActionUnhidePoints = Action(QStringLiteral("ActionUnhidePoints"));
    m.ActionPickPoints = Action(QStringLiteral("ActionPickPoints"));
    m.ActionMarkPoints = Action(QStringLiteral("ActionMarkPoints"));
    m.ActionAutoPermutePoints = Action(QStringLiteral("ActionAutoPermutePoints"));
    m.ActionHideDims = Action(QStringLiteral("ActionHideDims"));
    m.ActionQuorPCoord = Action(QStringLiteral("ActionQuorPCoord"));
    m.ActionQuorSMatrix = Action(QStringLiteral("ActionQuorSMatrix"));
    m.ActionQuorPMatrix = Action(QStringLiteral("ActionQuorPMatrix"));
    m.ActionQuorACurves = Action(QStringLiteral("ActionQuorACurves"));
    m.ActionSortPointsAsc = Action(QStringLiteral("ActionSortPointsAsc"));
    m.ActionSortPointsDesc = Action(QStringLiteral("ActionSortPointsDesc"));
    m.ActionSortDimsAsc = Action(QStringLiteral("ActionSortDimsAsc"));
    m.ActionSortDimsDesc = Action(QStringLiteral("ActionSortDimsDesc"));
    m.ActionGroupPoints = Action(QStringLiteral("ActionGroupPoints"));
    m.ActionGroupDims = Action(QStringLiteral("ActionGroupDims"));
    m.ActionCropSubSelection = Action(QStringLiteral("ActionCropSubSelection"));
    m.ActionFitBounds = Action(QStringLiteral("ActionFitBounds"));
    m.SubPanel = SubPanel;
    m.ActionToolBarPCoord = ActionToolBarPCoord;
    m.ActionToolBarPMatrix = ActionToolBarPMatrix;
    m.ActionToolBarSMatrix = ActionToolBarSMatrix;
    m.ActionToolBarACurves = ActionToolBarACurves;
    m.Initialize();
    RegisterPlotFactories(m);
}

void TQuorbelWindow::CreateEmptyData(TQuorAppProperties* AppProperties)
{
    auto values = std::make_unique<TTestDataSrc>();
    values->Generate(1, 1);
    auto dimNames = std::make_unique<TTestTextSrc>();
    dimNames->GenerateText(1, 1, QStringLiteral("Column "));
    auto pointNames = std::make_unique<TTestTextSrc>();
    pointNames->GenerateText(1, 1, QStringLiteral("Row "));
    ValueSrc = std::move(values);
    DimNameSrc = std::move(dimNames);
    PointNameSrc = std::move(pointNames);
    Data = std::make_unique<TData>();
    Data->DefaultPointProps = TPointProps{false, false, AppProperties->DefaultColorIndex};
    Data->SetDataSrc(ValueSrc.get(), DimNameSrc.get(), PointNameSrc.get());
}

void TQuorbelWindow::BuildColorMenus()
{
    const int count = FAppProperties->ValueColorCount();
    for (int i = 0; i < count; ++i) {
        QPixmap bitmap(10, 10);
        {
            QPainter painter(&bitmap);
            painter.setPen(QColor(128, 128, 128));
            painter.setBrush(ToQColor(FAppProperties->ValueColors[size_t(i)]));
            painter.drawRect(0, 0, 9, 9);
        }
        for (QMenu* menu : {PLCMenuItemMarkPoints, MenuItemMarkPoints}) {
            auto* item = new QAction(QIcon(bitmap), QStringLiteral("Color %1").arg(i + 1), menu);
            item->setData(i);
            connect(item, &QAction::triggered, this, [this, i] { MarkColorClick(i); });
            menu->insertAction(menu->actions().value(i), item);
        }
    }
}

void TQuorbelWindow::MarkColorClick(int ColorIndex)
{
    if (ActionClient)
        ActionClient->MarkPoints(ColorIndex);
}

// ---- data loading -----------------------------------------------------------------

void TQuorbelWindow::ReplaceSources(TObject* Actor, std::unique_ptr<TDataSrc> Values, std::unique_ptr<TDataSrc> DimNames,
                                    std::unique_ptr<TDataSrc> PointNames,
                                    const std::function<void()>& AfterSetDataSrc)
{
    // The former grids stay alive until the data object has let go of them.
    std::unique_ptr<TDataSrc> oldValues = std::exchange(ValueSrc, std::move(Values));
    std::unique_ptr<TDataSrc> oldDimNames = std::exchange(DimNameSrc, std::move(DimNames));
    std::unique_ptr<TDataSrc> oldPointNames = std::exchange(PointNameSrc, std::move(PointNames));
    try {
        Data->WriteTransaction(Actor, [&] {
            Data->SetDataSrc(ValueSrc.get(), DimNameSrc.get(), PointNameSrc.get());
            if (AfterSetDataSrc)
                AfterSetDataSrc();
        });
    } catch (...) {
        if (Data->DataSrc() == oldValues.get()) {
            ValueSrc = std::move(oldValues);
            DimNameSrc = std::move(oldDimNames);
            PointNameSrc = std::move(oldPointNames);
        }
        throw;
    }
}

void TQuorbelWindow::LogDimensions()
{
    for (int i = 0; i < Data->DimCount(); ++i)
        LogEvent(QStringLiteral("Dim%1 %2").arg(i).arg(Data->GetDimName(i)));
}

void TQuorbelWindow::LoadXMLFile()
{
    QString name = PromptOpenFileName(this, QStringLiteral("Load XML"), QDir::currentPath(), XMLFilter);
    if (!name.isEmpty() && !name.endsWith(QLatin1String("xml")))
        name = QStringLiteral("novalidfile");
    if (name.isEmpty() || name == QLatin1String("novalidfile")) {
        ShowMessage(QStringLiteral("invalid file"));
        return;
    }
    LogEvent(QFileInfo(name).absoluteFilePath());
    TXMLFile file;
    if (!file.Open(name)) {
        ShowMessage(QStringLiteral("your file does not contain Data"));
        return;
    }
    CheckXMLAttributes(file);
    auto values = std::make_unique<TXMLDataSrc>();
    values->Load(file);
    auto dimNames = std::make_unique<TXMLTextSrc>();
    dimNames->LoadNames(file);
    auto pointNames = std::make_unique<TXMLTextSrc>();
    pointNames->LoadLabels(file);
    // Items of a file start in colour 0, and so do those of later loads.
    Data->DefaultPointProps = TPointProps{false, false, 0};
    ReplaceSources(this, std::move(values), std::move(dimNames), std::move(pointNames),
                   [&] { ReadXMLAttributes(name, *Data); });
    LogEvent(QStringLiteral("loadXML ") + Data->GetPointName(0));
    DimPropertyFrame->FillLists();
    LogDimensions();
}

void TQuorbelWindow::SavetoXML1Click()
{
    LogEvent(QStringLiteral("Addin.4"));
    const QString name = PromptSaveFileName(this, QStringLiteral("Save to XML"), QDir::currentPath(), XMLFilter);
    if (!name.isEmpty())
        WriteXMLFile(name, *Data);
}

void TQuorbelWindow::FreeSources()
{
    ValueSrc.reset();
    PointNameSrc.reset();
    DimNameSrc.reset();
}

void TQuorbelWindow::ShowDataLost()
{
    ShowMessage(QStringLiteral("The data is no longer available, exiting."));
}

// ---- closing --------------------------------------------------------------------

void TQuorbelWindow::closeEvent(QCloseEvent* Event)
{
    if (FClosed || FormClose())
        Event->accept();
    else
        Event->ignore();
}

bool TQuorbelWindow::FormClose()
{
    // The upload's windows run the event loop, where the automation's Close
    // may destroy this window.
    const QPointer<TQuorbelWindow> self(this);
    FClosing = true;
    const auto closing = qScopeGuard([self] {
        if (self)
            self->FClosing = false;
    });
    LogEvent(QStringLiteral("close Quorbel"));
    SendLog();
    if (!self)
        return false;
    if (CloseRequest) {
        // The request clears itself; it runs from a copy.
        const auto request = CloseRequest;
        request(this);
        return false;
    }
    FreeAll();
    FClosed = true;
    if (Terminate)
        Terminate();
    return true;
}

void TQuorbelWindow::FreeAll()
{
    ClientManager.reset();
    if (DimPropertyFrame)
        DimPropertyFrame->Data = nullptr;
    Data.reset();
    FreeSources();
    ExcelConnection.reset();
    ExcelApp = TDispatch();
    FExcelWorkbook = TDispatch();
    ActionClient = nullptr;
    FAppProperties.reset();
}

void TQuorbelWindow::ApplicationEventsException(const std::exception& E)
{
    const QString text = QStringLiteral("An Application error has occured. Sorry for your inconvenience. \n"
                                        "Do you want to abort or to ignore this error and continue?\n\n"
                                        "Error Details: ")
                         + ExceptionClassName(E) + QStringLiteral(" (") + ExceptionMessage(E) + u')';
    if (MessageDlg(text, TMsgDlgType::mtError, mbAbortIgnore) == mrAbort && Terminate)
        Terminate();
}
