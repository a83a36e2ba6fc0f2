// The whole automation path between processes: a private session bus with
// the program registered for activation, the spreadsheet peer as a process
// of its own, and this test as the add-in.

#include "platform/DBusDispatch.h"
#include "support/PrivateBus.h"
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
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Service = QStringLiteral("org.quorbel.QuorbelStandalone");
const QString Factory = QStringLiteral("/org/quorbel/QuorbelStandalone");
const QString ObjectInterface = QStringLiteral("org.quorbel.IQuorbelStandalone");

class AutomationProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString failure = Private.Start(QStringLiteral(QUORBEL_PROGRAM));
        if (failure == QStringLiteral("no dbus-daemon"))
            GTEST_SKIP() << "no dbus-daemon";
        ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
        RegisterAutomationTypes();
    }

    QDBusMessage Call(const QString& Target, const QString& Path, const QString& Interface, const QString& Member,
                      const QVariantList& Args = {})
    {
        QDBusMessage call = QDBusMessage::createMethodCall(Target, Path, Interface, Member);
        call.setArguments(Args);
        QDBusPendingCall pending = Private.Bus().asyncCall(call, 60000);
        ProcessEventsUntil([&] { return pending.isFinished(); }, 60000);
        return pending.reply();
    }

    // Close and Release from the holder: the last reference gone, the
    // program started by the bus ends.
    void CloseAndRelease(const QString& Program, const QString& Object)
    {
        QDBusServiceWatcher gone(Program, Private.Bus(), QDBusServiceWatcher::WatchForUnregistration);
        bool ended = false;
        QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] { ended = true; });
        EXPECT_EQ(Call(Program, Object, ObjectInterface, QStringLiteral("Close")).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(Call(Program, Object, ObjectInterface, QStringLiteral("Release")).type(),
                  QDBusMessage::ReplyMessage);
        EXPECT_TRUE(ProcessEventsUntil([&] { return ended; }, 20000));
    }

    TPrivateBus Private;
};

TEST_F(AutomationProcessTest, AddInDrivesTheProgramStartedByTheBus)
{
    TSpreadsheetPeer peer(Private.Address());
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
    EXPECT_FALSE(Private.Bus().interface()->isServiceRegistered(Service).value());

    int onClose = 0;
    QAction sink;
    QObject::connect(&sink, &QAction::triggered, [&] { ++onClose; });
    ASSERT_TRUE(Private.Bus().connect(program, object, ObjectInterface, QStringLiteral("OnClose"), &sink, SLOT(trigger())));

    const int readsBefore = peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt();
    const QDBusMessage opened =
        Call(program, object, ObjectInterface, QStringLiteral("Open"), {QVariant::fromValue(peer.Application())});
    ASSERT_EQ(opened.type(), QDBusMessage::ReplyMessage) << opened.errorMessage().toStdString();
    const int readsAfterOpen = peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt();
    EXPECT_GT(readsAfterOpen, readsBefore);

    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(Call(program, object, ObjectInterface, QStringLiteral("ToggleQuorMethod"), {3}).type(),
                  QDBusMessage::ReplyMessage);

    // An edit in the loaded workbook re-reads the whole table once; one
    // elsewhere reads nothing.
    const int tableReads = readsAfterOpen - readsBefore;
    auto reads = [&] { return peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt(); };
    peer.Control(QStringLiteral("SetCell"), {QStringLiteral("Book1"), 2, 2, QVariant::fromValue(QDBusVariant(5.0))});
    EXPECT_TRUE(ProcessEventsUntil([&] { return reads() == readsAfterOpen + tableReads; }));
    peer.Control(QStringLiteral("SetCell"), {QStringLiteral("Other"), 1, 1, QVariant::fromValue(QDBusVariant(1.0))});
    // A round trip to the program: the edit's signal reached it before the answer.
    Call(program, object, ObjectInterface, QStringLiteral("ToggleQuorMethod"), {0});
    EXPECT_EQ(reads(), readsAfterOpen + tableReads);

    // The loaded workbook closes: the add-in is asked once to close.
    peer.Control(QStringLiteral("CloseWorkbook"), {QStringLiteral("Book1")});
    EXPECT_TRUE(ProcessEventsUntil([&] { return onClose == 1; }));

    CloseAndRelease(program, object);
    EXPECT_EQ(onClose, 1);
    EXPECT_TRUE(ProcessEventsUntil([&] { return peer.Control(QStringLiteral("LiveObjects")).toInt() >= 0; }));
    // The application handed over with Open stays the add-in's: never released.
    EXPECT_EQ(peer.Control(QStringLiteral("ApplicationReleases")).toInt(), 0);
}

TEST_F(AutomationProcessTest, OnlyAHolderMayCallAndNilIsExact)
{
    TSpreadsheetPeer peer(Private.Address());
    ASSERT_TRUE(peer.Started());
    peer.AddTable(QStringLiteral("Book1"), 3, 4);
    const QDBusMessage created = Call(Service, Factory, QStringLiteral("org.quorbel.ClassFactory"),
                                      QStringLiteral("CreateObject"));
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
    const QString program = created.service();
    const QString object = created.arguments().constFirst().value<QDBusObjectPath>().path();

    // Another connection on the bus, holding no reference, gets nowhere.
    const QString strangerName = QStringLiteral("e2e-stranger");
    QDBusConnection stranger = QDBusConnection::connectToBus(Private.Address(), strangerName);
    const auto closeStranger = qScopeGuard([&] { QDBusConnection::disconnectFromBus(strangerName); });
    const struct {
        const char* Member;
        QVariantList Args;
    } members[] = {
        {"Open", {QVariant::fromValue(peer.Application())}},
        {"ToggleQuorMethod", {3}},
        {"Close", {}},
        {"Release", {}},
    };
    for (const auto& m : members) {
        SCOPED_TRACE(m.Member);
        QDBusMessage call = QDBusMessage::createMethodCall(program, object, ObjectInterface,
                                                           QString::fromLatin1(m.Member));
        call.setArguments(m.Args);
        const QDBusMessage reply = stranger.call(call, QDBus::Block, 60000);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage);
        EXPECT_EQ(reply.errorName(), QStringLiteral("org.quorbel.Error"));
    }
    EXPECT_EQ(peer.Control(QStringLiteral("ValueReads"), {QStringLiteral("Book1")}).toInt(), 0);

    // Nil is ("", "/") and nothing else.
    const QDBusMessage notNil = Call(program, object, ObjectInterface, QStringLiteral("Open"),
                                     {QVariant::fromValue(TDBusObjectRef{QString(), QDBusObjectPath(QStringLiteral("/not/nil"))})});
    EXPECT_EQ(notNil.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(notNil.errorName(), QStringLiteral("org.quorbel.Error"));
    EXPECT_EQ(Call(program, object, ObjectInterface, QStringLiteral("Open"), {QVariant::fromValue(TDBusObjectRef{})})
                  .type(),
              QDBusMessage::ReplyMessage);

    // The holder's object is whole: its window is there and its reference counts.
    EXPECT_EQ(Call(program, object, ObjectInterface, QStringLiteral("ToggleQuorMethod"), {3}).type(),
              QDBusMessage::ReplyMessage);
    CloseAndRelease(program, object);
}

TEST_F(AutomationProcessTest, ProgramEndsWhenItsCallerLeavesTheBus)
{
    const QString callerName = QStringLiteral("e2e-caller");
    const QDBusMessage created =
        QDBusConnection::connectToBus(Private.Address(), callerName)
            .call(QDBusMessage::createMethodCall(Service, Factory, QStringLiteral("org.quorbel.ClassFactory"),
                                                 QStringLiteral("CreateObject")),
                  QDBus::Block, 60000);
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();

    QDBusServiceWatcher gone(created.service(), Private.Bus(), QDBusServiceWatcher::WatchForUnregistration);
    bool ended = false;
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] { ended = true; });
    // The add-in goes away without releasing: its reference goes with it.
    QDBusConnection::disconnectFromBus(callerName);
    EXPECT_TRUE(ProcessEventsUntil([&] { return ended; }, 20000));
}

} // namespace
