#include "MainWindowFixture.h"
#include "app/Automation.h"
#include "app/AutomationServer.h"
#include "ObjectEditor/ObjectEditor.h"
#include "platform/DBusDispatch.h"
#include "platform/MouseQueue.h"
#include "support/Gestures.h"
#include "support/SpreadsheetPeer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(StartModeTest, FirstMatchingSwitchDecides)
{
    const struct {
        QStringList Args;
        TStartMode Mode;
    } cases[] = {
        {{}, TStartMode::Plain},
        {{QStringLiteral("data.xml")}, TStartMode::Plain},
        {{QStringLiteral("-REGSERVER")}, TStartMode::Register},
        {{QStringLiteral("/regserver")}, TStartMode::Register},
        {{QStringLiteral("-UnRegServer")}, TStartMode::Unregister},
        {{QStringLiteral("/Embedding")}, TStartMode::Automation},
        {{QStringLiteral("-automation")}, TStartMode::Automation},
        {{QStringLiteral("-REGSERVER"), QStringLiteral("-Embedding")}, TStartMode::Automation},
        {{QStringLiteral("-UNREGSERVER"), QStringLiteral("/REGSERVER")}, TStartMode::Register},
        {{QStringLiteral("REGSERVER"), QStringLiteral("--regserver")}, TStartMode::Plain},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseStartMode(QStringList{QStringLiteral("quorbel")} + c.Args), c.Mode)
            << c.Args.join(u' ').toStdString();
}

TEST(RegistrationTest, WritesAndRemovesTheActivationFiles)
{
    QTemporaryDir home;
    AutomationRegistration::Register(QStringLiteral("/opt/my programs/quorbel"), home.path());
    QFile service(AutomationRegistration::ServiceFile(home.path()));
    ASSERT_TRUE(service.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(service.readAll()),
              QStringLiteral("[D-BUS Service]\nName=org.quorbel.QuorbelStandalone\n"
                             "Exec=/opt/my\\ programs/quorbel -Embedding\n"));
    QFile xml(AutomationRegistration::InterfaceFile(home.path()));
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    EXPECT_TRUE(xml.readAll().contains("<interface name=\"org.quorbel.IQuorbelStandalone\">"));

    AutomationRegistration::Unregister(home.path());
    EXPECT_FALSE(QFile::exists(AutomationRegistration::ServiceFile(home.path())));
    EXPECT_FALSE(QFile::exists(AutomationRegistration::InterfaceFile(home.path())));
    // A second removal finds nothing and says nothing.
    AutomationRegistration::Unregister(home.path());
}

// The program's automation server in this process, called as a client in
// another process would call it: over a connection of its own, answered
// while the test processes events.
class AutomationTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        Server = std::make_unique<TAutomationServer>(TStartMode::Plain, Window.get());
        Server->Quit = [this] { ++Quits; };
        ASSERT_TRUE(Server->Start());
        Client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("automation-client")));
        const QDBusMessage created = Call(QLatin1String(AutomationRegistration::FactoryPath),
                                          QStringLiteral("org.quorbel.ClassFactory"), QStringLiteral("CreateObject"),
                                          {}, QLatin1String(AutomationRegistration::ServiceName));
        ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
        ObjectPath = created.arguments().constFirst().value<QDBusObjectPath>().path();
    }
    void TearDown() override
    {
        Client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("automation-client"));
        Server.reset();
        MainWindowTest::TearDown();
    }

    QDBusMessage Call(const QString& Path, const QString& Interface, const QString& Member,
                      const QVariantList& Args = {}, const QString& Service = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            Service.isEmpty() ? QDBusConnection::sessionBus().baseService() : Service, Path, Interface, Member);
        call.setArguments(Args);
        QDBusPendingCall pending = Client->asyncCall(call);
        ProcessEventsUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }
    QDBusMessage Object(const QString& Member, const QVariantList& Args = {})
    {
        return Call(ObjectPath, QStringLiteral("org.quorbel.IQuorbelStandalone"), Member, Args);
    }

    std::unique_ptr<TAutomationServer> Server;
    std::unique_ptr<QDBusConnection> Client;
    QString ObjectPath;
    int Quits = 0;
};

TEST_F(AutomationTest, FactoryIsSingleUse)
{
    EXPECT_EQ(Server->ObjectCount(), 1);
    EXPECT_FALSE(QDBusConnection::sessionBus()
                     .interface()
                     ->isServiceRegistered(QLatin1String(AutomationRegistration::ServiceName))
                     .value());
}

TEST_F(AutomationTest, TogglesOpenAndCloseThePlots)
{
    for (int id : {0, 5, -1})
        EXPECT_EQ(Object(QStringLiteral("ToggleQuorMethod"), {id}).type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));

    const qsizetype before = Codes().size();
    EXPECT_EQ(Object(QStringLiteral("ToggleQuorMethod"), {3}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));
    EXPECT_EQ(Object(QStringLiteral("ToggleQuorMethod"), {3}).type(), QDBusMessage::ReplyMessage);
    EXPECT_FALSE(Manager().HasClient(QStringLiteral("ScatterplotMatrix")));
    const QStringList codes = Codes().mid(before);
    EXPECT_EQ(codes.filter(QRegularExpression(QStringLiteral("^(open|close) "))),
              QStringList({QStringLiteral("open 3"), QStringLiteral("close 3")}));
}

TEST_F(AutomationTest, BadCallsGetErrorRepliesAndChangeNothing)
{
    // A reference to something that is no spreadsheet application.
    const QVariant notSpreadsheet = QVariant::fromValue(TDBusObjectRef{
        QDBusConnection::sessionBus().baseService(), QDBusObjectPath(QLatin1String(AutomationRegistration::FactoryPath))});
    const QDBusMessage refused = Object(QStringLiteral("Open"), {notSpreadsheet});
    EXPECT_EQ(refused.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(refused.errorName(), QStringLiteral("org.quorbel.Error"));
    EXPECT_FALSE(Window->CloseRequest);

    EXPECT_EQ(Object(QStringLiteral("ToggleQuorMethod"), {QStringLiteral("3")}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(Object(QStringLiteral("NoSuchMember")).type(), QDBusMessage::ErrorMessage);
    // The object stays usable.
    EXPECT_EQ(Object(QStringLiteral("ToggleQuorMethod"), {4}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(Manager().HasClient(QStringLiteral("AndrewsCurves")));
}

TEST_F(AutomationTest, CallDuringADragIsAnsweredAfterTheDrag)
{
    TSpreadsheetPeer peer;
    ASSERT_TRUE(peer.Started());
    peer.AddTable(QStringLiteral("Book1"), 6, 4);
    ASSERT_EQ(Object(QStringLiteral("Open"), {QVariant::fromValue(peer.Application())}).type(),
              QDBusMessage::ReplyMessage);
    OpenPlot(QStringLiteral("ScatterplotMatrix"));
    const QList<QMdiSubWindow*> plots = Window->MdiArea()->subWindowList();
    ASSERT_FALSE(plots.isEmpty());
    auto* editor = plots.first()->widget()->findChild<TGOEdit*>();
    ASSERT_TRUE(editor);
    // A press polls when it lands on the plot's drawing.
    ASSERT_TRUE(ProcessEventsUntil([&] { return editor->GetObjects() != nullptr; }));

    QDBusMessage toggle = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), ObjectPath,
                                                         QStringLiteral("org.quorbel.IQuorbelStandalone"),
                                                         QStringLiteral("ToggleQuorMethod"));
    toggle << 4;
    std::optional<QDBusPendingCall> pending;
    bool arrived = false;
    bool answeredInside = true;
    HoverGesture(editor, {5, 5});
    TGesture(editor)
        .Paced()
        .MoveTo({15, 15})
        .Then([&] {
            pending = Client->asyncCall(toggle);
            arrived = ProcessEventsUntil([] { return MouseQueue::ActionsAfterPolling() == 1; });
        })
        .MoveTo({25, 25})
        .Then([&] { answeredInside = pending->isFinished() || Manager().HasClient(QStringLiteral("AndrewsCurves")); })
        .Release({25, 25})
        .Press({5, 5});

    EXPECT_TRUE(arrived);
    EXPECT_FALSE(answeredInside);
    ASSERT_TRUE(pending);
    ASSERT_TRUE(ProcessEventsUntil([&] { return pending->isFinished(); }));
    EXPECT_EQ(pending->reply().type(), QDBusMessage::ReplyMessage) << pending->reply().errorMessage().toStdString();
    EXPECT_TRUE(Manager().HasClient(QStringLiteral("AndrewsCurves")));
}

TEST_F(AutomationTest, ClosingAfterOpenAsksTheAddInOnce)
{
    TSpreadsheetPeer peer;
    ASSERT_TRUE(peer.Started());
    peer.AddTable(QStringLiteral("Book1"), 3, 4);
    int onClose = 0;
    QAction sink;
    QObject::connect(&sink, &QAction::triggered, [&] { ++onClose; });
    ASSERT_TRUE(Client->connect(QDBusConnection::sessionBus().baseService(), ObjectPath,
                                QStringLiteral("org.quorbel.IQuorbelStandalone"), QStringLiteral("OnClose"), &sink,
                                SLOT(trigger())));
    const QDBusMessage opened = Object(QStringLiteral("Open"), {QVariant::fromValue(peer.Application())});
    ASSERT_EQ(opened.type(), QDBusMessage::ReplyMessage) << opened.errorMessage().toStdString();
    ASSERT_TRUE(Window->CloseRequest);

    Window->close();
    EXPECT_TRUE(ProcessEventsUntil([&] { return onClose == 1; }));
    EXPECT_TRUE(Window->isVisible());
    EXPECT_EQ(LastCode(), QStringLiteral("close Quorbel"));
    EXPECT_EQ(Terminations, 0);
    EXPECT_FALSE(Window->CloseRequest);

    // Without a new Open the next closing is the plain one.
    Window->close();
    EXPECT_EQ(Terminations, 1);
}

TEST_F(AutomationTest, CloseTakesTheWindowWithoutItsClosingSteps)
{
    TQuorbelWindow* window = Window.release();
    QPointer<TQuorbelWindow> watch(window);
    ASSERT_EQ(Object(QStringLiteral("Close")).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(watch.isNull());
    EXPECT_FALSE(Codes().contains(QStringLiteral("close Quorbel")));
    EXPECT_EQ(PendingFiles(), 0);
    // With the window gone a call finds nothing to act on.
    EXPECT_EQ(Object(QStringLiteral("ToggleQuorMethod"), {3}).type(), QDBusMessage::ErrorMessage);

    ASSERT_EQ(Object(QStringLiteral("Release")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Server->ObjectCount(), 0);
    // Nothing left to close the run: it ends.
    EXPECT_EQ(Quits, 1);
    EXPECT_EQ(Object(QStringLiteral("Release")).type(), QDBusMessage::ErrorMessage);
}

TEST_F(AutomationTest, CallerLeavingTheBusReleasesItsObjects)
{
    Client.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("automation-client"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return Server->ObjectCount() == 0; }));
    // A plain run keeps going while its window is open.
    EXPECT_EQ(Quits, 0);
}

} // namespace

namespace {

TEST_F(AutomationTest, CloseWhileTheSelectionMessageIsOpen)
{
    TSpreadsheetPeer peer;
    ASSERT_TRUE(peer.Started());
    peer.AddTable(QStringLiteral("Book1"), 1, 1);
    QPointer<TQuorbelWindow> window(Window.release());
    QDBusMessage closed;
    Responder->WhileMessageOpen([&](const TScriptedResponder::Request&) {
        if (closed.type() == QDBusMessage::InvalidMessage)
            closed = Object(QStringLiteral("Close"));
    });
    EXPECT_EQ(Object(QStringLiteral("Open"), {QVariant::fromValue(peer.Application())}).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(closed.type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(Messages().size(), 1);
    delete window.data();
}

TEST_F(AutomationTest, ABurstOfEventsThatFindTheDataGoneGivesOneMessage)
{
    TSpreadsheetPeer peer;
    ASSERT_TRUE(peer.Started());
    peer.AddTable(QStringLiteral("Book1"), 3, 4);
    ASSERT_EQ(Object(QStringLiteral("Open"), {QVariant::fromValue(peer.Application())}).type(),
              QDBusMessage::ReplyMessage);
    // A workbook of the same name replaces the loaded one, whose ranges no
    // longer answer: every change event now finds the data gone.
    peer.Control(QStringLiteral("CloseWorkbook"), {QStringLiteral("Book1")});
    peer.Control(QStringLiteral("AddWorkbook"), {QStringLiteral("Book1")});

    const QString dataLost = QStringLiteral("The data is no longer available, exiting.");
    QPointer<TQuorbelWindow> window(Window.release());
    int shown = 0;
    QDBusMessage closed, released;
    // While the message is open the rest of the burst arrives, and the
    // add-in, told to close, closes and lets go.
    Responder->WhileMessageOpen([&](const TScriptedResponder::Request& Box) {
        if (Box.text != dataLost || ++shown > 1)
            return;
        QCoreApplication::processEvents();
        closed = Object(QStringLiteral("Close"));
        released = Object(QStringLiteral("Release"));
    });
    peer.Control(QStringLiteral("Emit"), {QStringLiteral("SheetChange"), QStringLiteral("Book1"), 20});
    EXPECT_TRUE(ProcessEventsUntil([&] { return Quits > 0; }));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(closed.type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(released.type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(window.isNull());
    delete window.data();
}

} // namespace
