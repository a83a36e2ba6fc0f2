// The whole automation path between processes: a private session bus with
// the program registered for activation, the spreadsheet peer as a process
// of its own, and this test as the add-in.

#include "platform/DBusDispatch.h"
#include "support/SpreadsheetPeer.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Service = QStringLiteral("org.quorbel.QuorbelStandalone");
const QString Factory = QStringLiteral("/org/quorbel/QuorbelStandalone");
const QString ObjectInterface = QStringLiteral("org.quorbel.IQuorbelStandalone");

void WriteText(const QString& Name, const QString& Text)
{
    QDir().mkpath(QFileInfo(Name).absolutePath());
    QFile file(Name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Text.toUtf8());
}

class AutomationProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "no dbus-daemon";
        ASSERT_TRUE(Home.isValid());
        Address = QStringLiteral("unix:path=") + Home.path() + QStringLiteral("/bus");

        // The registration, as a user would write it.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), Home.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), Address);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("QUORBEL_LOG_SERVER"));
        QProcess reg;
        reg.setProcessEnvironment(env);
        reg.start(QStringLiteral(QUORBEL_PROGRAM), {QStringLiteral("/RegServer")});
        ASSERT_TRUE(reg.waitForFinished(30000));
        ASSERT_EQ(reg.exitCode(), 0) << reg.readAllStandardError().toStdString();

        // A known user: no identification dialog at the start.
        WriteText(Home.path() + QStringLiteral("/config/Quorbel/Quorbel.ini"),
                  QStringLiteral("[Software]\nQuorbel\\4.0\\usr_id=TEST0001\nQuorbel\\4.0\\usr_type=student\n"));
        WriteText(Home.path() + QStringLiteral("/bus.conf"),
                  QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig><type>session</type><listen>%1</listen>"
                                 "<servicedir>%2/data/dbus-1/services</servicedir>"
                                 "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                 "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                      .arg(Address, Home.path()));
        // Started programs inherit the daemon's environment, and with it the bus.
        Daemon.setProcessEnvironment(env);
        Daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + Home.path() + QStringLiteral("/bus.conf")});
        ASSERT_TRUE(ProcessEventsUntil([&] { return QFile::exists(Home.path() + QStringLiteral("/bus")); }, 10000));
        Bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(Address, QStringLiteral("e2e")));
        ASSERT_TRUE(Bus->isConnected());
        RegisterAutomationTypes();
    }

    void TearDown() override
    {
        Bus.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("e2e"));
        if (Daemon.state() != QProcess::NotRunning) {
            Daemon.terminate();
            Daemon.waitForFinished(5000);
        }
    }

    QDBusMessage Call(const QString& Target, const QString& Path, const QString& Interface, const QString& Member,
                      const QVariantList& Args = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(Target, Path, Interface, Member);
        call.setArguments(Args);
        QDBusPendingCall pending = Bus->asyncCall(call, 60000);
        ProcessEventsUntil([&] { return pending.isFinished(); }, 60000);
        return pending.reply();
    }

    QTemporaryDir Home;
    QString Address;
    QProcess Daemon;
    std::unique_ptr<QDBusConnection> Bus;
};

TEST_F(AutomationProcessTest, AddInDrivesTheProgramStartedByTheBus)
{
    TSpreadsheetPeer peer(Address);
    ASSERT_TRUE(peer.Started());
    peer.AddTable(QStringLiteral("Book1"), 3, 4);
    peer.AddTable(QStringLiteral("Other"), 2, 2);
    peer.Control(QStringLiteral("Select"), {QStringLiteral("Book1"), 1, 1, 3, 4});

    const QDBusMessage created = Call(Service, Factory, QStringLiteral("org.quorbel.ClassFactory"),
                                      QStringLiteral("CreateObject"));
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
    const QString program = created.service();
    const QString object = created.arguments().constFirst().value<QDBusObjectPath>().path();
    // Single use: the next client would get a process of its own.
    EXPECT_FALSE(Bus->interface()->isServiceRegistered(Service).value());

    int onClose = 0;
    QAction sink;
    QObject::connect(&sink, &QAction::triggered, [&] { ++onClose; });
    ASSERT_TRUE(Bus->connect(program, object, ObjectInterface, QStringLiteral("OnClose"), &sink, SLOT(trigger())));

    const int readsBefore = peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt();
    const QDBusMessage opened =
        Call(program, object, ObjectInterface, QStringLiteral("Open"), {QVariant::fromValue(peer.Application())});
    ASSERT_EQ(opened.type(), QDBusMessage::ReplyMessage) << opened.errorMessage().toStdString();
    const int readsAfterOpen = peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt();
    EXPECT_GT(readsAfterOpen, readsBefore);

    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Call(program, object, ObjectInterface, QStringLiteral("ToggleQuorMethod"), {3}).type(),
                  QDBusMessage::ReplyMessage);

    // An edit in the loaded workbook re-reads the table; one elsewhere does not.
    peer.Control(QStringLiteral("SetCell"), {QStringLiteral("Book1"), 2, 2, QVariant::fromValue(QDBusVariant(5.0))});
    EXPECT_TRUE(ProcessEventsUntil([&] {
        return peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt() > readsAfterOpen;
    }));
    const int readsAfterEdit = peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt();
    peer.Control(QStringLiteral("SetCell"), {QStringLiteral("Other"), 1, 1, QVariant::fromValue(QDBusVariant(1.0))});
    // A round trip to the program: the edit's signal reached it before the answer.
    Call(program, object, ObjectInterface, QStringLiteral("ToggleQuorMethod"), {0});
    EXPECT_EQ(peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt(), readsAfterEdit);

    // The loaded workbook closes: the add-in is asked once to close.
    peer.Control(QStringLiteral("CloseWorkbook"), {QStringLiteral("Book1")});
    EXPECT_TRUE(ProcessEventsUntil([&] { return onClose == 1; }));

    QDBusServiceWatcher gone(program, *Bus, QDBusServiceWatcher::WatchForUnregistration);
    bool ended = false;
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] { ended = true; });
    EXPECT_EQ(Call(program, object, ObjectInterface, QStringLiteral("Close")).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Call(program, object, ObjectInterface, QStringLiteral("Release")).type(), QDBusMessage::ReplyMessage);
    // The last reference gone, the program started by the bus ends.
    EXPECT_TRUE(ProcessEventsUntil([&] { return ended; }, 20000));
    EXPECT_EQ(onClose, 1);
    EXPECT_TRUE(ProcessEventsUntil([&] { return peer.Control(QStringLiteral("LiveObjects")).toInt() >= 0; }));
}

TEST_F(AutomationProcessTest, ProgramEndsWhenItsCallerLeavesTheBus)
{
    const QDBusMessage created = Call(Service, Factory, QStringLiteral("org.quorbel.ClassFactory"),
                                      QStringLiteral("CreateObject"));
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
    const QString program = created.service();

    std::unique_ptr<QDBusConnection> watcherBus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(Address, QStringLiteral("e2e-watcher")));
    QDBusServiceWatcher gone(program, *watcherBus, QDBusServiceWatcher::WatchForUnregistration);
    bool ended = false;
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] { ended = true; });

    Bus.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("e2e"));
    EXPECT_TRUE(ProcessEventsUntil([&] { return ended; }, 20000));
    watcherBus.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("e2e-watcher"));
}

} // namespace
