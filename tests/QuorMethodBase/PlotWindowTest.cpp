#include "QuorMethodBase.h"

#include "support/TestSupport.h"
#include "usagelog/Evaluation.h"

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class PlotWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Main.setCentralWidget(Area);
        Main.resize(800, 600);
        Main.show();
        Form = new TQuorMethodBaseForm(&Main);
        Form->resize(300, 200);
        Form->show();
        LogStart = GetLog().size();
    }

    // The codes logged since the test began, without their time stamps.
    QStringList Codes() const
    {
        QStringList codes;
        for (qsizetype i = LogStart; i < GetLog().size(); ++i)
            codes << GetLog()[i].section(',', 1);
        return codes;
    }

    // The window takes a double click for its title bar only after the mouse
    // has moved over it.
    void DoubleClick(QPoint pos)
    {
        const QPointF global = Form->mapToGlobal(QPointF(pos));
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), global, Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(Form, &move);
        QTest::mouseDClick(Form, Qt::LeftButton, Qt::NoModifier, pos);
        // QTest keeps the button held after a double click, which would turn
        // every later mouse move of the run into a drag.
        QTest::mouseRelease(Form, Qt::LeftButton, Qt::NoModifier, pos);
    }

    QAction* SystemMenuAction(const QString& text) const
    {
        for (QAction* action : Form->systemMenu()->actions())
            if (action->text().remove('&') == text)
                return action;
        return nullptr;
    }

    // Chooses an entry of the window's system menu with the mouse.
    void ChooseFromSystemMenu(const QString& text)
    {
        QMenu* menu = Form->systemMenu();
        menu->popup(Form->mapToGlobal(QPoint()));
        const QPoint pos = menu->actionGeometry(SystemMenuAction(text)).center();
        QTest::mouseMove(menu, pos);
        QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, pos);
    }

    // Clicks one of the buttons in the window's title bar.
    void ClickTitleBarButton(QStyle::SubControl button)
    {
        QStyleOptionTitleBar option;
        option.initFrom(Form);
        option.subControls = QStyle::SC_All;
        option.titleBarFlags = Form->windowFlags();
        option.titleBarState = Form->windowState();
        const int border = Form->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, Form);
        const int height = Form->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, Form);
        option.rect = QRect(border, border, Form->width() - 2 * border, height);
        const QPoint pos =
            Form->style()->subControlRect(QStyle::CC_TitleBar, &option, button, Form).center();
        QTest::mouseMove(Form, pos);
        QTest::mouseClick(Form, Qt::LeftButton, Qt::NoModifier, pos);
    }

    QMainWindow Main;
    QMdiArea* Area = new QMdiArea;
    TQuorMethodBaseForm* Form = nullptr;
    qsizetype LogStart = 0;
};

} // namespace

TEST(PlotWindow, StartsHiddenAsAChildWindowOfTheOwnersArea)
{
    QMainWindow main;
    auto* area = new QMdiArea;
    main.setCentralWidget(area);
    auto* form = new TQuorMethodBaseForm(&main);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->isHidden());
    EXPECT_EQ(area->subWindowList(), QList<QMdiSubWindow*>({form}));
    EXPECT_EQ(form->mdiArea(), area);
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    // An MDI area given directly as the owner works as well.
    auto* direct = new TQuorMethodBaseForm(area);
    EXPECT_EQ(direct->mdiArea(), area);
}

TEST_F(PlotWindowTest, TitleBarButtonsAreLogged)
{
    Area->setActiveSubWindow(Form);
    ClickTitleBarButton(QStyle::SC_TitleBarMinButton);
    ASSERT_TRUE(Form->isMinimized());
    // The minimized window's maximize button maximizes it, restoring nothing.
    ClickTitleBarButton(QStyle::SC_TitleBarMaxButton);
    ASSERT_TRUE(Form->isMaximized());
    ClickTitleBarButton(QStyle::SC_TitleBarNormalButton);
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Codes(), QStringList({"minimize", "maximize", "undo max/min"}));
}

TEST_F(PlotWindowTest, SystemMenuCommandsAreLogged)
{
    Area->setActiveSubWindow(Form);
    ChooseFromSystemMenu("Maximize");
    ASSERT_TRUE(Form->isMaximized());
    ChooseFromSystemMenu("Restore");
    ChooseFromSystemMenu("Minimize");
    ASSERT_TRUE(Form->isMinimized());
    ChooseFromSystemMenu("Restore");
    EXPECT_EQ(Codes(), QStringList({"maximize", "undo max/min", "minimize", "undo max/min"}));
}

TEST_F(PlotWindowTest, MenuBarButtonsOfTheMaximizedWindowAreLogged)
{
    Main.menuBar()->addMenu(QStringLiteral("File"));
    // A menu bar added to a shown main window shows itself from the event
    // loop; a hidden one gets no buttons of a maximized window.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Main.menuBar()->isVisible(); }));
    Area->setActiveSubWindow(Form);
    ChooseFromSystemMenu("Maximize");
    QWidget* buttons = Main.menuBar()->cornerWidget(Qt::TopRightCorner);
    ASSERT_NE(buttons, nullptr);
    QStyleOptionComplex option;
    option.initFrom(buttons);
    option.subControls = QStyle::SC_MdiMinButton | QStyle::SC_MdiNormalButton | QStyle::SC_MdiCloseButton;
    const QPoint restore =
        buttons->style()->subControlRect(QStyle::CC_MdiControls, &option, QStyle::SC_MdiNormalButton, buttons)
            .center();
    QTest::mouseMove(buttons, restore);
    QTest::mouseClick(buttons, Qt::LeftButton, Qt::NoModifier, restore);
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Codes(), QStringList({"maximize", "undo max/min"}));
}

TEST_F(PlotWindowTest, ChangesNotCommandedByTheUserAreNotLogged)
{
    // Changes made by code.
    Form->showMaximized();
    Form->showNormal();
    Form->showMinimized();
    Form->showNormal();
    // The area hands the maximized state on to the window it activates, and
    // tiling restores it.
    auto* other = new TQuorMethodBaseForm(&Main);
    other->show();
    Area->setActiveSubWindow(Form);
    ChooseFromSystemMenu("Maximize");
    // The user's next step comes from the event loop.
    QCoreApplication::processEvents();
    Area->setActiveSubWindow(other);
    ASSERT_TRUE(other->isMaximized());
    ASSERT_FALSE(Form->isMaximized());
    Area->tileSubWindows();
    ASSERT_FALSE(other->isMaximized());
    // Closing a window that then minimizes is no minimize command.
    Area->setActiveSubWindow(Form);
    ChooseFromSystemMenu("Close");
    ASSERT_TRUE(Form->isMinimized());
    EXPECT_EQ(Codes(), QStringList({"maximize"}));
}

TEST_F(PlotWindowTest, TitleBarDoubleClickIsLoggedLikeTheButtons)
{
    Area->setActiveSubWindow(Form);
    const QPoint titleBar(Form->width() / 2, Form->style()->pixelMetric(QStyle::PM_TitleBarHeight) / 2);
    DoubleClick(titleBar);
    ASSERT_TRUE(Form->isMaximized());
    DoubleClick(titleBar);
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Codes(), QStringList({"maximize", "undo max/min"}));
}

TEST_F(PlotWindowTest, TitleBarDoubleClickRestoresTheMinimizedWindow)
{
    Form->showMinimized();
    ASSERT_TRUE(Form->isMinimized());
    DoubleClick({Form->width() / 2, Form->height() / 2});
    EXPECT_FALSE(Form->isMinimized());
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Codes(), QStringList({"undo max/min"}));
}

TEST_F(PlotWindowTest, ActivationAloneLogsNothing)
{
    int activations = 0;
    Form->OnActivate = [&](TQuorMethodBaseForm* sender) {
        EXPECT_EQ(sender, Form);
        ++activations;
    };
    auto* other = new TQuorMethodBaseForm(&Main);
    other->show();
    Area->setActiveSubWindow(other);
    Area->setActiveSubWindow(Form);
    EXPECT_GE(activations, 1);
    EXPECT_TRUE(Codes().isEmpty()) << Codes().join(' ').toStdString();
}

TEST_F(PlotWindowTest, ClosingFollowsTheCloseAction)
{
    // Without a handler a child window minimizes instead of closing.
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isMinimized());
    Form->showNormal();

    Form->OnClose = [](TQuorMethodBaseForm*, TCloseAction& action) { action = TCloseAction::caNone; };
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());

    QPointer<TQuorMethodBaseForm> watched(Form);
    Form->OnClose = [](TQuorMethodBaseForm*, TCloseAction& action) { action = TCloseAction::caFree; };
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(ProcessEventsUntil([&] { return watched.isNull(); }));
    EXPECT_TRUE(Area->subWindowList().isEmpty());
}

TEST_F(PlotWindowTest, NewWindowOpensAtAQuarterOfTheWindowArea)
{
    // Shown as the plot toggles show it, without a size of its own.
    auto* fresh = new TQuorMethodBaseForm(&Main);
    fresh->setWidget(new QWidget);
    fresh->show();
    const QSize area = Area->viewport()->size();
    EXPECT_EQ(fresh->size(), QSize(area.width() / 2, area.height() / 2));
    EXPECT_TRUE(Area->viewport()->rect().contains(fresh->geometry()));
    delete fresh;
}
