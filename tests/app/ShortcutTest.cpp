#include "MainWindowFixture.h"

#include "app/MainWindowActions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <functional>

// Every shortcut reaches its command wherever the focus is inside the main
// window: on the window, in a plot window and in the data-item list.
TEST_F(MainWindowTest, ShortcutsFireFromEveryPartOfTheWindow)
{
    OpenPlot(QStringLiteral("ScatterplotMatrix"));
    QApplication::setActiveWindow(Window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));

    struct Target {
        const char* Name;
        std::function<QWidget*()> Widget;
    };
    const Target targets[] = {
        {"window", [this] { return static_cast<QWidget*>(Window->MdiArea()); }},
        {"plot",
         [this]() -> QWidget* {
             const QList<QMdiSubWindow*> plots = Window->MdiArea()->subWindowList();
             return plots.isEmpty() ? nullptr : plots.first()->widget();
         }},
        {"side panel", [this]() -> QWidget* { return Window->SubPanel->findChild<QAbstractItemView*>(); }},
    };
    // Commands that leave the window or the test's control (help viewer,
    // what's-this mode, the closing after a failed reset) are left out.
    const QStringList skipped = {"ActionReset", "ActionRefresh", "ActionHelpContents", "ActionContextHelp", "ActionExit"};
    for (const Target& target : targets) {
        for (const TActionInfo& info : MainWindowActions()) {
            QAction* action = Window->Action(QString::fromLatin1(info.Name));
            if (action->shortcut().isEmpty() || skipped.contains(action->objectName()))
                continue;
            QWidget* focus = target.Widget();
            ASSERT_TRUE(focus) << target.Name;
            focus->setFocus();
            action->setEnabled(true); // the selection-dependent ones wait for a selection
            int fired = 0;
            const auto connection = QObject::connect(action, &QAction::triggered, [&fired] { ++fired; });
            const QKeyCombination key = action->shortcut()[0];
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : focus, key.key(),
                            key.keyboardModifiers());
            QObject::disconnect(connection);
            EXPECT_EQ(fired, 1) << info.Name << " " << action->shortcut().toString().toStdString()
                                << " from the " << target.Name;
            QApplication::setActiveWindow(Window.get());
        }
    }
}
