// The main window's commands: its actions, menus and tool bars, and what
// each command does.
#include "app/MainWindowActions.h"
#include "app/StandaloneWindowUnit.h"

#include "QuorData/QuorData.h"
#include "QuorDataClients/ActionClient.h"
#include "QuorDataClients/DataActor.h"
#include "QuorMethodBase.h"
#include "app/AboutBoxUnit.h"
#include "app/HelpWindow.h"
#include "app/WindowTiling.h"
#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorPlotClient.h"
#include "methods/QuorScatterplotmatrix.h"
#include "platform/DialogService.h"
#include "usagelog/Evaluation.h"

#include <QActionGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QWhatsThis>

#include <vector>

namespace {

const QString LostDataWarning = QStringLiteral("Warning: All modifications to data items and dimensions\r\n"
                                               "within QuorBel will be lost if you continue.\r\n");

const QString TransposeQuestion =
    QStringLiteral("You have chosen to transpose the data source.\r\n\r\n") + LostDataWarning;

const QString ResetQuestion =
    QStringLiteral("You have chosen to reset the data source.\r\n\r\n") + LostDataWarning
    + QStringLiteral("\r\nDepending on the size of the data selection in Excel,\r\n"
                     "this function may consume a considerable amount of time\r\n"
                     "during which QuorBel may appear as 'not responding' in the\r\n"
                     "Windows Task Manager.");

bool Confirmed(const QString& Question, int HelpContext)
{
    return MessageDlg(Question, TMsgDlgType::mtWarning, mbOK | mbCancel | mbHelp, HelpContext) == mrOk;
}

// The plot numbers of the toggles, in the order of the automation interface.
enum TPlotNumber { pnParallelCoordinates = 1, pnPermutationMatrix, pnScatterplotMatrix, pnAndrewsCurves };

// The smallest size of each window: what its contents need, as the area
// gives it to a maximized window.
std::vector<QSize> MinSizesOf(const QList<QMdiSubWindow*>& Windows)
{
    std::vector<QSize> sizes;
    for (const QMdiSubWindow* window : Windows)
        sizes.push_back(window->minimumSizeHint().expandedTo(window->minimumSize()));
    return sizes;
}

} // namespace

QAction* TQuorbelWindow::Action(const QString& Name) const
{
    return FActions.value(Name);
}

template <class T>
T* TQuorbelWindow::OpenPlot(const char* Key) const
{
    const QString key = QString::fromLatin1(Key);
    if (!ClientManager || !ClientManager->HasClient(key))
        return nullptr;
    return dynamic_cast<T*>(ClientManager->GetClient(key));
}

void TQuorbelWindow::BuildActions()
{
    QHash<int, QActionGroup*> groups;
    for (const TActionInfo& info : MainWindowActions()) {
        auto* action = new QAction(QString::fromUtf8(info.Caption), this);
        const QString name = QString::fromLatin1(info.Name);
        action->setObjectName(name);
        if (*info.Shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(info.Shortcut)));
        action->setCheckable(info.Checkable);
        action->setChecked(info.Checked);
        if (*info.Glyph)
            action->setIcon(GlyphIcon(QString::fromUtf8(info.Glyph)));
        action->setProperty("helpContext", info.HelpContext);
        if (info.Group != agNone) {
            QActionGroup*& group = groups[info.Group];
            if (!group)
                group = new QActionGroup(this);
            group->addAction(action);
        }
        if (info.LogCode) {
            const QString code = QString::fromLatin1(info.LogCode);
            connect(action, &QAction::triggered, this, [code] { LogEvent(code); });
        }
        FActions.insert(name, action);
        addAction(action); // shortcuts work while the menus of closed plots are hidden
    }
    FPMScaleTypes = groups.value(agScaleType);
    FPMMeanTypes = groups.value(agMeanType);

    // The commands run after the log line connected above.
    auto on = [this](const char* Name, auto Handler) {
        connect(Action(QString::fromLatin1(Name)), &QAction::triggered, this, Handler);
    };
    on("ActionCopyToClipboard", [this] { ClientManager->CopyToClipboard(); });
    on("ActionPrint", [this] { ClientManager->Print(); });
    on("LoadXML1", [this] { LoadXMLFile(); });
    on("SavetoXML1", [this] { SavetoXML1Click(); });
    on("ActionExit", [this] { close(); });
    // The edit commands of the action client.
    const std::pair<const char*, void (TQuorActionClient::*)()> edits[] = {
        {"ActionPickPoints", &TQuorActionClient::PickPoints},
        {"ActionUnhideAllPoints", &TQuorActionClient::UnhideAllPoints},
        {"ActionSelectAll", &TQuorActionClient::SelectAll},
        {"ActionSelectVisible", &TQuorActionClient::SelectVisible},
        {"ActionHideDims", &TQuorActionClient::HideDims},
        {"ActionUnhideAllDims", &TQuorActionClient::UnhideAllDims},
        {"ActionCropSubSelection", &TQuorActionClient::CropSubSelection},
        {"ActionResetSliders", &TQuorActionClient::ResetSliders},
        {"ActionResetDimBounds", &TQuorActionClient::ResetDimBounds},
        {"ActionAutoPermutePoints", &TQuorActionClient::AutoPermutePoints},
        {"ActionGroupPoints", &TQuorActionClient::GroupPoints},
        {"ActionAutoPermuteDims", &TQuorActionClient::AutoPermuteDims},
        {"ActionGroupDims", &TQuorActionClient::GroupDims},
    };
    for (const auto& [name, command] : edits)
        on(name, [this, command] { (ActionClient->*command)(); });
    on("ActionHidePoints", [this] { ActionClient->SetSelectedPointsVisible(false); });
    on("ActionUnhidePoints", [this] { ActionClient->SetSelectedPointsVisible(true); });
    on("ActionSortPointsAsc", [this] { ActionClient->SortDataItems(true); });
    on("ActionSortPointsDesc", [this] { ActionClient->SortDataItems(false); });
    on("ActionSortDimsAsc", [this] { ActionClient->SortDimensions(true); });
    on("ActionSortDimsDesc", [this] { ActionClient->SortDimensions(false); });
    on("InvertBackground1", [this] { InvertBackground1Click(); });
    on("ActionPMMethodA", [this] { ActionPMMethodExecute(255); });
    on("ActionPMMethodB", [this] { ActionPMMethodExecute(0); });
    on("ActionPMMethodC", [this] { ActionPMMethodExecute(1); });
    on("ActionPMConstantWeight", [this] { ActionPMConstantWeightExecute(); });
    on("ActionTranspose", [this] { ActionTransposeExecute(); });
    on("ActionReset", [this] { ActionResetExecute(); });
    on("ActionRefresh", [this] { ActionRefreshExecute(); });
    on("ActionFitBounds", [this] { ActionFitBoundsExecute(); });
    on("ActionQuorPCoord", [this] { ActionToggleExecute(pnParallelCoordinates); });
    on("ActionQuorPMatrix", [this] { ActionToggleExecute(pnPermutationMatrix); });
    on("ActionQuorSMatrix", [this] { ActionToggleExecute(pnScatterplotMatrix); });
    on("ActionQuorACurves", [this] { ActionToggleExecute(pnAndrewsCurves); });
    on("ActionFullScale", [this] {
        FlipPlotSetting("ActionFullScale", "ParallelCoordinates", &IQuorFullScale::GetFullScale,
                        &IQuorFullScale::SetFullScale);
    });
    on("ActionSelectPointsUnderSlider", [this] { ActionSelectPointsUnderSliderExecute(); });
    on("ActionPMRotateView", [this] {
        FlipPlotSetting("ActionPMRotateView", "PermutationMatrix", &TPermutationmatrix::RotateView,
                        &TPermutationmatrix::SetRotateView);
    });
    const char* drawTypes[] = {"ActionPMDTBar", "ActionPMDTShade", "ActionPMDTShadeUserColors",
                               "ActionPMDTBar90", "ActionPMDTBarShade", "ActionPMDTBar90Shade"};
    const TPermDisplayType drawTypeValues[] = {pdtBar, pdtShade, pdtShadeUserColors,
                                               pdtBar90, pdtBarShade, pdtBar90Shade};
    for (int i = 0; i < 6; ++i)
        on(drawTypes[i], [this, v = drawTypeValues[i]] { SetPMDrawType(v); });
    for (int i = 0; i < 6; ++i) {
        FPMScaleTypes->actions().at(i)->setData(i);
        FPMMeanTypes->actions().at(i)->setData(i);
        connect(FPMScaleTypes->actions().at(i), &QAction::triggered, this, [this, i] { SetPMScaleType(i); });
        connect(FPMMeanTypes->actions().at(i), &QAction::triggered, this, [this, i] { SetPMMeanType(i); });
    }
    on("ActionPMConstantDimExtent", [this] {
        FlipPlotSetting("ActionPMConstantDimExtent", "PermutationMatrix", &IQuorConstantDimExtent::GetConstantDimExtent,
                        &IQuorConstantDimExtent::SetConstantDimExtent);
    });
    on("ActionSMDot1", [this] { ActionSMDotExecute(1, 1); });
    on("ActionSMDot2", [this] { ActionSMDotExecute(2, 2); });
    on("ActionSMDot3", [this] { ActionSMDotExecute(3, 2); });
    on("ActionACOmitHiddenDims", [this] {
        FlipPlotSetting("ActionACOmitHiddenDims", "AndrewsCurves", &TAndrewsCurves::OmitHiddenDims,
                        &TAndrewsCurves::SetOmitHiddenDims);
    });
    on("WindowTileVertical", [this] { WindowTile(true); });
    on("WindowTileHorizontal", [this] { WindowTile(false); });
    on("WindowCascade", [this] { WindowCascadeExecute(); });
    on("WindowArrangeIcons", [this] { WindowArrangeIconsExecute(); });
    on("WindowMinimizeAll", [this] { WindowMinimizeAllExecute(); });
    on("ActionToggleTransparency", [this] { ActionToggleTransparencyExecute(); });
    on("ActionHelpContents", [this] { ActionHelpContentsExecute(); });
    on("ActionContextHelp", [] { QWhatsThis::enterWhatsThisMode(); });
    on("ActionQuorbelAbout", [this] { ActionQuorbelAboutExecute(); });

    for (QActionGroup* group : groups) {
        FGroupChecks.insert(group, group->checkedAction());
        for (QAction* action : group->actions())
            connect(action, &QAction::triggered, this, [this, group] { FGroupChecks[group] = group->checkedAction(); });
    }
}

void TQuorbelWindow::RevertCheck(QAction* Clicked)
{
    if (QActionGroup* group = Clicked->actionGroup()) {
        if (QAction* previous = FGroupChecks.value(group))
            previous->setChecked(true);
    } else {
        Clicked->setChecked(!Clicked->isChecked());
    }
}

void TQuorbelWindow::BuildMenus()
{
    auto add = [this](QMenu* Menu, std::initializer_list<const char*> Names) {
        for (const char* name : Names) {
            if (!*name)
                Menu->addSeparator();
            else
                Menu->addAction(Action(QString::fromLatin1(name)));
        }
    };
    // A menu item that shows an action under a caption of its own.
    auto addCaptioned = [this](QMenu* Menu, const char* Name, const QString& Caption) {
        QAction* source = Action(QString::fromLatin1(Name));
        auto* item = new QAction(Caption, Menu);
        item->setObjectName(QString::fromLatin1(Name) + QStringLiteral("MenuItem"));
        item->setCheckable(source->isCheckable());
        item->setChecked(source->isChecked());
        item->setShortcut(source->shortcut());
        item->setShortcutContext(Qt::WidgetShortcut); // the action carries the shortcut
        connect(item, &QAction::triggered, source, [source] { source->trigger(); });
        connect(source, &QAction::changed, item, [item, source] {
            item->setChecked(source->isChecked());
            item->setEnabled(source->isEnabled());
        });
        Menu->addAction(item);
    };
    // A submenu whose entry follows the action's enabled state.
    auto markMenu = [this](QMenu* Parent) {
        QAction* mark = Action(QStringLiteral("ActionMarkPoints"));
        QMenu* menu = Parent->addMenu(mark->text());
        connect(mark, &QAction::changed, menu, [menu, mark] { menu->menuAction()->setEnabled(mark->isEnabled()); });
        return menu;
    };

    QMenuBar* bar = menuBar();
    QMenu* addIn = bar->addMenu(QStringLiteral("&Add-In"));
    add(addIn, {"ActionCopyToClipboard", "ActionPrint", "LoadXML1", "SavetoXML1", "", "ActionExit"});

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    MenuItemMarkPoints = markMenu(edit);
    MenuItemMarkPoints->setObjectName(QStringLiteral("MenuItemMarkPoints"));
    add(edit, {"ActionHidePoints", "ActionUnhidePoints", "ActionPickPoints", "ActionUnhideAllPoints",
               "ActionSelectAll", "ActionSelectVisible", "", "ActionHideDims", "ActionUnhideAllDims", "",
               "InvertBackground1"});

    QMenu* tools = bar->addMenu(QStringLiteral("Tools"));
    add(tools, {"ActionAutoPermutePoints", "ActionGroupPoints", "ActionSortPointsAsc", "ActionSortPointsDesc",
                "", "ActionAutoPermuteDims", "ActionGroupDims", "ActionSortDimsAsc", "ActionSortDimsDesc", "",
                "ActionCropSubSelection", ""});
    add(tools->addMenu(QStringLiteral("Permutation Method")),
        {"ActionPMMethodA", "ActionPMMethodB", "ActionPMMethodC"});
    add(tools, {"ActionPMConstantWeight"});

    QMenu* source = bar->addMenu(QStringLiteral("&Data Source"));
    add(source, {"ActionTranspose", "ActionReset", "ActionRefresh", "ActionResetSliders", "ActionResetDimBounds"});
    addCaptioned(source, "ActionFitBounds", QStringLiteral("Fit scales to visible data"));

    MenuItemPCoord = bar->addMenu(QStringLiteral("&Parallel Coordinates"));
    addCaptioned(MenuItemPCoord, "ActionFullScale", QStringLiteral("&Common Scale"));
    add(MenuItemPCoord, {"ActionSelectPointsUnderSlider"});

    MenuItemACurves = bar->addMenu(QStringLiteral("Andrews Curves"));
    add(MenuItemACurves, {"ActionACOmitHiddenDims"});

    MenuItemPMatrix = bar->addMenu(QStringLiteral("Permutation Matrix"));
    add(MenuItemPMatrix, {"ActionPMRotateView"});
    add(MenuItemPMatrix->addMenu(QStringLiteral("Chart type")),
        {"ActionPMDTBar", "ActionPMDTBarShade", "ActionPMDTBar90", "ActionPMDTBar90Shade", "ActionPMDTShade",
         "ActionPMDTShadeUserColors"});
    add(MenuItemPMatrix->addMenu(QStringLiteral("Scale type")),
        {"ActionPMSTRowVisible", "ActionPMSTRowAll", "ActionPMSTColVisible", "ActionPMSTColAll",
         "ActionPMSTTableVisible", "ActionPMSTTableAll"});
    add(MenuItemPMatrix->addMenu(QStringLiteral("Mean type")),
        {"ActionPMMTRowVisible", "ActionPMMTRowAll", "ActionPMMTColVisible", "ActionPMMTColAll",
         "ActionPMMTTableVisible", "ActionPMMTTableAll"});
    add(MenuItemPMatrix, {"ActionPMConstantDimExtent"});

    MenuItemSMatrix = bar->addMenu(QStringLiteral("Scatterplot Matrix"));
    add(MenuItemSMatrix->addMenu(QStringLiteral("Dot size")), {"ActionSMDot1", "ActionSMDot2", "ActionSMDot3"});

    MenuItemPCoord->setObjectName(QStringLiteral("MenuItemPCoord"));
    MenuItemACurves->setObjectName(QStringLiteral("MenuItemACurves"));
    MenuItemPMatrix->setObjectName(QStringLiteral("MenuItemPMatrix"));
    MenuItemSMatrix->setObjectName(QStringLiteral("MenuItemSMatrix"));
    for (QMenu* plotMenu : {MenuItemPCoord, MenuItemACurves, MenuItemPMatrix, MenuItemSMatrix}) {
        plotMenu->menuAction()->setVisible(false);
        plotMenu->menuAction()->setEnabled(false);
    }

    MenuWindow = bar->addMenu(QStringLiteral("Window"));
    MenuWindow->setObjectName(QStringLiteral("MenuWindow"));
    add(MenuWindow, {"WindowTileVertical", "WindowTileHorizontal", "WindowCascade", "WindowArrangeIcons",
                     "WindowMinimizeAll", "ActionToggleTransparency"});
    connect(MenuWindow, &QMenu::aboutToShow, this, &TQuorbelWindow::FillWindowMenu);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    add(help, {"ActionHelpContents", "ActionContextHelp", "", "ActionQuorbelAbout"});

    PointListContextMenu = new QMenu(this);
    PointListContextMenu->setObjectName(QStringLiteral("PointListContextMenu"));
    PLCMenuItemMarkPoints = markMenu(PointListContextMenu);
    PLCMenuItemMarkPoints->setObjectName(QStringLiteral("PLCMenuItemMarkPoints"));
    add(PointListContextMenu, {"ActionHidePoints", "ActionUnhidePoints", "ActionPickPoints",
                               "ActionUnhideAllPoints", "ActionSelectAll", "ActionSelectVisible"});
}

void TQuorbelWindow::FillWindowMenu()
{
    // The fixed entries stay; the list of plot windows is made afresh.
    const QList<QAction*> entries = MenuWindow->actions();
    for (qsizetype i = 6; i < entries.size(); ++i) {
        MenuWindow->removeAction(entries[i]);
        if (entries[i]->parent() == MenuWindow)
            entries[i]->deleteLater();
    }
    const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList();
    if (windows.isEmpty())
        return;
    MenuWindow->addSeparator()->setParent(MenuWindow);
    int number = 1;
    for (QMdiSubWindow* window : windows) {
        auto* item = new QAction(QStringLiteral("&%1 %2").arg(number++).arg(window->windowTitle()), MenuWindow);
        item->setCheckable(true);
        item->setChecked(window == FMdiArea->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, w = QPointer<QMdiSubWindow>(window)] {
            if (w)
                FMdiArea->setActiveSubWindow(w);
        });
        MenuWindow->addAction(item);
    }
}

void TQuorbelWindow::BuildToolBars()
{
    auto add = [this](QToolBar* Bar, std::initializer_list<const char*> Names) {
        for (const char* name : Names)
            Bar->addAction(Action(QString::fromLatin1(name)));
    };
    auto withCaption = [](QToolBar* Bar, QAction* Action) {
        if (auto* button = qobject_cast<QToolButton*>(Bar->widgetForAction(Action)))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    };

    MainToolBar = new QToolBar(QStringLiteral("MainToolBar"), this);
    MainToolBar->setObjectName(QStringLiteral("MainToolBar"));
    MainToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    MainToolBar->setMovable(false);
    add(MainToolBar, {"ActionQuorPCoord", "ActionQuorPMatrix", "ActionQuorSMatrix", "ActionQuorACurves"});
    // The tiling button's own caption; it runs the action.
    QAction* tile = Action(QStringLiteral("WindowTileVertical"));
    auto* tileButton = new QAction(tile->icon(), QStringLiteral("&Tile"), MainToolBar);
    tileButton->setObjectName(QStringLiteral("ToolButtonTile"));
    tileButton->setToolTip(tile->text());
    connect(tileButton, &QAction::triggered, tile, [tile] { tile->trigger(); });
    MainToolBar->addAction(tileButton);
    add(MainToolBar, {"WindowCascade"});
    addToolBar(Qt::TopToolBarArea, MainToolBar);

    ActionToolBar = new QToolBar(QStringLiteral("ActionToolBar"), this);
    ActionToolBar->setObjectName(QStringLiteral("ActionToolBar"));
    ActionToolBar->setOrientation(Qt::Vertical);
    ActionToolBar->setMovable(false);
    ActionToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    add(ActionToolBar, {"ActionHidePoints", "ActionUnhidePoints", "ActionPickPoints", "ActionHideDims",
                        "ActionResetSliders", "ActionRefresh", "ActionReset"});
    addToolBar(Qt::LeftToolBarArea, ActionToolBar);

    // The plot tool bars live here, hidden, until their plot docks them.
    auto plotBar = [this](const char* Name) {
        auto* bar = new QToolBar(QString::fromLatin1(Name), this);
        bar->setObjectName(QString::fromLatin1(Name));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->hide();
        return bar;
    };
    ActionToolBarPCoord = plotBar("ActionToolBarPCoord");
    add(ActionToolBarPCoord, {"ActionFullScale", "ActionSelectPointsUnderSlider"});

    ActionToolBarPMatrix = plotBar("ActionToolBarPMatrix");
    // Each permutation button drops down the three methods.
    auto permuteButton = [this, add](const char* Name, std::initializer_list<const char*> Following) {
        QAction* permute = Action(QString::fromLatin1(Name));
        ActionToolBarPMatrix->addAction(permute);
        if (auto* button = qobject_cast<QToolButton*>(ActionToolBarPMatrix->widgetForAction(permute))) {
            auto* methods = new QMenu(button);
            for (const char* method : {"ActionPMMethodA", "ActionPMMethodB", "ActionPMMethodC"})
                methods->addAction(Action(QString::fromLatin1(method)));
            button->setMenu(methods);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        add(ActionToolBarPMatrix, Following);
    };
    permuteButton("ActionAutoPermutePoints", {"ActionGroupPoints", "ActionSortPointsAsc", "ActionSortPointsDesc"});
    permuteButton("ActionAutoPermuteDims", {"ActionGroupDims", "ActionSortDimsAsc", "ActionSortDimsDesc"});
    add(ActionToolBarPMatrix, {"ActionCropSubSelection", "ActionPMRotateView", "ActionPMDTBar", "ActionPMDTShade",
                               "ActionPMDTShadeUserColors", "ActionPMDTBar90", "ActionPMConstantDimExtent"});
    withCaption(ActionToolBarPMatrix, Action(QStringLiteral("ActionPMDTBar")));
    withCaption(ActionToolBarPMatrix, Action(QStringLiteral("ActionPMDTShadeUserColors")));

    ActionToolBarACurves = plotBar("ActionToolBarACurves");
    add(ActionToolBarACurves, {"ActionACOmitHiddenDims"});

    ActionToolBarSMatrix = plotBar("ActionToolBarSMatrix");
    add(ActionToolBarSMatrix, {"ActionSMDot1", "ActionSMDot2", "ActionSMDot3"});
}

// ---- commands -------------------------------------------------------------------

void TQuorbelWindow::ActionToggleExecute(int Plot)
{
    struct TToggle {
        const char* Action;
        const char* Key;
        void (TQuorActionClient::*Toggle)();
    };
    static const TToggle toggles[] = {
        {"ActionQuorPCoord", "ParallelCoordinates", &TQuorActionClient::ToggleParallelCoordinates},
        {"ActionQuorPMatrix", "PermutationMatrix", &TQuorActionClient::TogglePermutationMatrix},
        {"ActionQuorSMatrix", "ScatterplotMatrix", &TQuorActionClient::ToggleScatterplotMatrix},
        {"ActionQuorACurves", "AndrewsCurves", &TQuorActionClient::ToggleAndrewsCurves},
    };
    const TToggle& toggle = toggles[Plot - pnParallelCoordinates];
    // The check mark follows the plot, not the click, also when the toggle fails.
    const auto followPlot = qScopeGuard([this, &toggle] {
        if (ClientManager)
            Action(QString::fromLatin1(toggle.Action))
                ->setChecked(ClientManager->HasClient(QString::fromLatin1(toggle.Key)));
    });
    (ActionClient->*toggle.Toggle)();
}

void TQuorbelWindow::ActionFitBoundsExecute()
{
    // Qt has flipped the check mark already; while it is on, the bound
    // fitter refits after every change.
    const bool fitting = Action(QStringLiteral("ActionFitBounds"))->isChecked();
    if (!fitting)
        OpenPlot<TDataActor>("DataActor")->ResetBounds();
    LogEvent(fitting ? QStringLiteral("fitbounds") : QStringLiteral("unfitbounds"));
}

void TQuorbelWindow::ActionSelectPointsUnderSliderExecute()
{
    auto* plot = OpenPlot<TParallelCoordinates>("ParallelCoordinates");
    if (!plot)
        return;
    const int dim = plot->SelectedSliderDim();
    if (dim >= 0)
        ActionClient->SelectPointsUnderSlider(dim);
    else
        ShowMessage(QStringLiteral("Please select a slider, first."));
    LogEvent(QStringLiteral("1.2"));
}

void TQuorbelWindow::ActionTransposeExecute()
{
    QAction* transpose = Action(QStringLiteral("ActionTranspose"));
    // The check mark shows the data object's state, not the click.
    transpose->setChecked(Data && Data->Transposed());
    if (!Confirmed(TransposeQuestion, 210))
        return;
    ActionClient->Transpose();
}

void TQuorbelWindow::ActionResetExecute()
{
    if (!Confirmed(ResetQuestion, 220))
        return;
    try {
        RefreshExcelSources();
        ActionClient->ResetData();
    } catch (const std::exception&) {
        ShowDataLost();
        close();
    }
}

void TQuorbelWindow::ActionRefreshExecute()
{
    ReloadOrExit();
}

template <class T>
void TQuorbelWindow::FlipPlotSetting(const char* ActionName, const char* Key, bool (T::*Get)() const,
                                     void (T::*Set)(bool))
{
    QAction* action = Action(QString::fromLatin1(ActionName));
    T* plot = OpenPlot<T>(Key);
    if (!plot) {
        RevertCheck(action);
        return;
    }
    (plot->*Set)(!(plot->*Get)());
    action->setChecked((plot->*Get)());
}

void TQuorbelWindow::InvertBackground1Click()
{
    for (const char* key : {"ScatterplotMatrix", "AndrewsCurves", "PermutationMatrix", "ParallelCoordinates"})
        if (auto* plot = OpenPlot<TQuorPlotClient>(key))
            plot->InvertBackground();
}

void TQuorbelWindow::SetPMDrawType(int Value)
{
    auto* plot = OpenPlot<TPermutationmatrix>("PermutationMatrix");
    if (!plot) {
        RevertCheck(Action(QStringLiteral("ActionPMDTBar")));
        return;
    }
    plot->SetDisplayType(TPermDisplayType(Value));
}

void TQuorbelWindow::SetPMScaleType(int Value)
{
    auto* plot = OpenPlot<TPermutationmatrix>("PermutationMatrix");
    if (!plot) {
        RevertCheck(FPMScaleTypes->checkedAction());
        return;
    }
    plot->SetScaleType(TPermScaleType(Value));
    SyncPMMeanTypeActions();
}

void TQuorbelWindow::SetPMMeanType(int Value)
{
    auto* plot = OpenPlot<TPermutationmatrix>("PermutationMatrix");
    if (!plot) {
        RevertCheck(FPMMeanTypes->checkedAction());
        return;
    }
    plot->SetMeanType(TPermMeanType(Value));
    SyncPMScaleTypeActions();
}

void TQuorbelWindow::SyncPMScaleTypeActions()
{
    if (auto* plot = OpenPlot<TPermutationmatrix>("PermutationMatrix"))
        CheckGroupEntry(FPMScaleTypes, int(plot->ScaleType()));
}

void TQuorbelWindow::SyncPMMeanTypeActions()
{
    if (auto* plot = OpenPlot<TPermutationmatrix>("PermutationMatrix"))
        CheckGroupEntry(FPMMeanTypes, int(plot->MeanType()));
}

void TQuorbelWindow::CheckGroupEntry(QActionGroup* Group, int Index)
{
    QAction* action = Group->actions().at(Index);
    action->setChecked(true);
    FGroupChecks[Group] = action;
}

void TQuorbelWindow::ActionSMDotExecute(int Size, int RingWidth)
{
    auto* plot = OpenPlot<TScatterplotmatrix>("ScatterplotMatrix");
    if (!plot) {
        RevertCheck(Action(QStringLiteral("ActionSMDot1")));
        return;
    }
    plot->SetDotSize(Size);
    plot->SetRingWidth(RingWidth);
}

void TQuorbelWindow::ActionPMConstantWeightExecute()
{
    ActionClient->UseNormalized = !ActionClient->UseNormalized;
    Action(QStringLiteral("ActionPMConstantWeight"))->setChecked(ActionClient->UseNormalized);
}

void TQuorbelWindow::ActionPMMethodExecute(int ScoreMode)
{
    ActionClient->ScoreMode = uint8_t(ScoreMode);
}

void TQuorbelWindow::WindowTile(bool Vertical)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (window->isVisible() && !window->isMinimized())
            windows.append(window);
    const std::vector<QRect> places = TileRects(FMdiArea->viewport()->rect(), MinSizesOf(windows), Vertical);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->showNormal();
        windows[i]->setGeometry(places[size_t(i)]);
    }
}

void TQuorbelWindow::WindowCascadeExecute()
{
    // The area's own cascade gives each window its size hint, far too small
    // for a plot; here each keeps as much of the area as the title bars of
    // the windows in front leave, and the front one stays in front.
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : FMdiArea->subWindowList(QMdiArea::StackingOrder))
        if (window->isVisible() && !window->isMinimized())
            windows.append(window);
    if (windows.isEmpty())
        return;
    QStyleOptionTitleBar title;
    title.initFrom(windows[0]);
    const QStyle* style = windows[0]->style();
    const int step = style->pixelMetric(QStyle::PM_TitleBarHeight, &title, windows[0])
                     + style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, windows[0]);
    const std::vector<QRect> places = CascadeRects(FMdiArea->viewport()->rect(), MinSizesOf(windows), step);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        windows[i]->showNormal();
        windows[i]->setGeometry(places[size_t(i)]);
        windows[i]->raise();
    }
}

void TQuorbelWindow::WindowArrangeIconsExecute()
{
    QList<QMdiSubWindow*> icons;
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        if (window->isMinimized())
            icons.append(window);
    const std::vector<QRect> places = IconRects(FMdiArea->viewport()->rect(), icons.size() ? icons[0]->size() : QSize(),
                                                int(icons.size()));
    for (qsizetype i = 0; i < icons.size(); ++i)
        icons[i]->move(places[size_t(i)].topLeft());
}

void TQuorbelWindow::WindowMinimizeAllExecute()
{
    for (QMdiSubWindow* window : FMdiArea->subWindowList())
        window->showMinimized();
}

void TQuorbelWindow::ActionToggleTransparencyExecute()
{
    const bool transparent = Action(QStringLiteral("ActionToggleTransparency"))->isChecked();
    setWindowOpacity(transparent ? 200.0 / 255.0 : 1.0);
}

void TQuorbelWindow::ActionHelpContentsExecute()
{
    ShowHelpTopic(100);
}

void TQuorbelWindow::ActionQuorbelAboutExecute()
{
    TAboutBox box(this);
    ExecModal(box);
}
