#include "MainWindowFixture.h"

#include "ObjectEditor/CopyBox.h"
#include "ObjectEditor/GOECopyOptions.h"
#include "ObjectEditor/GOEPrintOptions.h"
#include "ObjectEditor/PrintBox.h"
#include "app/AboutBoxUnit.h"
#include "app/HelpWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTextBrowser>
#include <QUrl>
#include <QHelpEvent>

#include <atomic>
#include <memory>
#include <thread>

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

namespace {

// A topic's text as the help window shows it.
QString TopicText(int Context)
{
    THelpWindow::Instance()->ShowTopic(Context);
    const QString text = THelpWindow::Instance()->Browser->toPlainText();
    THelpWindow::Instance()->hide();
    return text;
}

QString WithoutMnemonic(QString Text)
{
    return Text.remove(u'&');
}

} // namespace

TEST_F(MainWindowTest, HelpPagesDescribeWhatTheProgramShows)
{
    // Every column the grid and the list show is named on its page.
    struct TTable {
        int Topic;
        const char* Name;
    };
    for (const TTable& t : {TTable{187, "DimGrid"}, TTable{240, "PointList"}}) {
        const auto* table = Window->SubPanel->findChild<QTableView*>(QString::fromLatin1(t.Name));
        ASSERT_TRUE(table) << t.Name;
        const QString text = TopicText(t.Topic);
        for (int col = 0; col < table->model()->columnCount(); ++col) {
            QString header = table->model()->headerData(col, Qt::Horizontal).toString();
            if (header.endsWith(QStringLiteral(" Slider")))
                header = QStringLiteral("Slider"); // one per dimension
            EXPECT_TRUE(text.contains(header)) << t.Topic << ": " << header.toStdString();
        }
    }
    // The contents name every menu, and every plot with its key.
    const QString contents = TopicText(100);
    for (QAction* menu : Window->menuBar()->actions()) {
        if (menu->text().isEmpty() || !menu->isVisible())
            continue; // a plot's menu shows while the plot is open
        EXPECT_TRUE(contents.contains(WithoutMnemonic(menu->text()))) << menu->text().toStdString();
    }
    for (const char* name : {"ActionQuorPCoord", "ActionQuorPMatrix", "ActionQuorSMatrix", "ActionQuorACurves"}) {
        QAction* plot = Window->Action(QString::fromLatin1(name));
        EXPECT_TRUE(contents.contains(plot->text() + QStringLiteral(" (") + plot->shortcut().toString() + u')'))
            << name;
    }
    // What the pages once promised and the program never did: no control
    // acts on a double click, and a click on a dimension's name selects
    // nothing.
    struct TWrong {
        int Topic;
        const char* Text;
    };
    const TWrong wrong[] = {{187, "Double-click"}, {187, "Click a row to select"}, {100, "Double-click"},
                            {240, "Double-click"}};
    for (const TWrong& w : wrong)
        EXPECT_FALSE(TopicText(w.Topic).contains(QString::fromLatin1(w.Text), Qt::CaseInsensitive))
            << w.Topic << ": " << w.Text;
    EXPECT_TRUE(TopicText(187).contains(QStringLiteral("Drag a row by its name")));
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

// Another Quorbel writes the pages again while this one's link shows one.
TEST(AboutBox, TheProductPageStaysWhileTheHelpPagesAreWrittenAgain)
{
    const QString page = QUrl(TAboutBox::ProductAddress()).toLocalFile();
    std::atomic<bool> written{false};
    std::thread other([&] {
        for (int i = 0; i < 20; ++i)
            HelpPagesFolder();
        written = true;
    });
    int missing = 0;
    while (!written)
        missing += QFile::exists(page) ? 0 : 1;
    other.join();
    EXPECT_EQ(missing, 0);
}
