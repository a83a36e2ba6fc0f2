#include "QuorMethodBase.h"

#include "support/TestSupport.h"
#include "usagelog/Evaluation.h"

#include <QAction>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>
#include <QStyle>
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
    }

    QAction* SystemMenuAction(const QString& text) const
    {
        for (QAction* action : Form->systemMenu()->actions())
            if (action->text().remove('&') == text)
                return action;
        return nullptr;
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

TEST_F(PlotWindowTest, StateChangesAreLogged)
{
    Form->showMaximized();
    Form->showNormal();
    Form->showMinimized();
    Form->showNormal();
    Form->showMinimized();
    Form->showMaximized();
    EXPECT_EQ(Codes(), QStringList({"maximize", "undo max/min", "minimize", "undo max/min", "minimize",
                                    "undo max/min"}));
}

TEST_F(PlotWindowTest, SystemMenuCommandsAreLogged)
{
    ASSERT_NE(SystemMenuAction("Maximize"), nullptr);
    SystemMenuAction("Maximize")->trigger();
    SystemMenuAction("Restore")->trigger();
    SystemMenuAction("Minimize")->trigger();
    EXPECT_EQ(Codes(), QStringList({"maximize", "undo max/min", "minimize"}));
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
