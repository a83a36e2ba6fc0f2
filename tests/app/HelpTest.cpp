#include "MainWindowFixture.h"

#include "ObjectEditor/CopyBox.h"
#include "ObjectEditor/GOECopyOptions.h"
#include "ObjectEditor/GOEPrintOptions.h"
#include "ObjectEditor/PrintBox.h"
#include "app/AboutBoxUnit.h"
#include "app/HelpWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QHelpEvent>

#include <memory>

TEST(Help, EveryContextTheProgramGivesHasItsTopic)
{
    for (int context : {100, 47, 52, 54, 187, 210, 220, 240})
        EXPECT_TRUE(HasHelpTopic(context)) << context;
    EXPECT_FALSE(HasHelpTopic(99));
}

TEST(Help, TheDialogsHelpButtonsOpenTheirTopic)
{
    InstallHelpFilter();
    struct TCase {
        std::unique_ptr<QDialog> Dialog;
        int Topic;
    };
    TCase cases[] = {{std::make_unique<TCopyBoxForm>(), 47},
                     {std::make_unique<TPrintBoxForm>(), 47},
                     {std::make_unique<TGOECopyOptionsForm>(), 52},
                     {std::make_unique<TGOEPrintOptionsForm>(), 54}};
    for (TCase& c : cases) {
        THelpWindow::Instance()->ShowTopic(100);
        c.Dialog->findChild<QPushButton*>(QStringLiteral("ButtonHelp"))->click();
        EXPECT_EQ(THelpWindow::Instance()->Topic(), c.Topic) << c.Dialog->metaObject()->className();
        EXPECT_TRUE(THelpWindow::Instance()->isVisible());
    }
    EXPECT_TRUE(THelpWindow::Instance()->Browser->toPlainText().contains(QStringLiteral("print")));
    THelpWindow::Instance()->hide();
}

TEST_F(MainWindowTest, ContentsShowsTheFirstTopicAndWhatsThisTheControlsOwn)
{
    THelpWindow::Instance()->ShowTopic(52);
    Window->Action(QStringLiteral("ActionHelpContents"))->trigger();
    EXPECT_EQ(THelpWindow::Instance()->Topic(), 100);
    // A "What's this?" click on the dimensions grid.
    QWidget* grid = Window->SubPanel->findChild<QWidget*>(QStringLiteral("DimGrid"));
    ASSERT_TRUE(grid);
    QHelpEvent click(QEvent::WhatsThis, QPoint(5, 5), grid->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(grid, &click);
    EXPECT_EQ(THelpWindow::Instance()->Topic(), 187);
    THelpWindow::Instance()->hide();
}

TEST(AboutBox, LinksAreBlueWithAHandAndTheProductLinkShowsItsAddress)
{
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    for (TLinkLabel* link : {box.Institute, box.QivLink, box.Label1, box.QuorbelWwwLink}) {
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor) << link->objectName().toStdString();
        EXPECT_TRUE(link->styleSheet().contains(QStringLiteral("blue")));
    }
    EXPECT_EQ(box.QuorbelWwwLink->text(), TAboutBox::ProductAddress());
    EXPECT_TRUE(QFile::exists(QUrl(TAboutBox::ProductAddress()).toLocalFile()));
}
