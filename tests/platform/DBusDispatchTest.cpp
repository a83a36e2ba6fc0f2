#include "platform/DBusDispatch.h"
#include "platform/Exceptions.h"
#include "support/SpreadsheetPeer.h"
#include "support/TestSupport.h"

#include <QDBusArgument>
#include <QDBusMessage>

#include <gtest/gtest.h>

namespace {

// Every value of the wire contract survives the way there and back; the peer
// tests below carry the same values through a real bus.
TEST(DBusDispatchTest, ValuesRoundTripThroughTheWireEncoding)
{
    RegisterAutomationTypes();
    const std::vector<TDispatchValue> values = {
        TDispatchValue(), TDispatchValue(TVariant()), TDispatchValue(TVariant::Null()), TDispatchValue(int32_t(-7)),
        TDispatchValue(2.5), TDispatchValue(QStringLiteral("Dim 1")), TDispatchValue(true)};
    for (const TDispatchValue& value : values) {
        const TDispatchValue back = DecodeAutomationValue(EncodeAutomationValue(value), {});
        ASSERT_EQ(back.kind(), value.kind());
        if (value.kind() == TDispatchValue::Kind::Value) {
            EXPECT_EQ(back.AsVariant().type(), value.AsVariant().type());
            EXPECT_TRUE(back.AsVariant() == value.AsVariant() || value.AsVariant().isNull());
        }
    }
    EXPECT_THROW(DecodeAutomationValue(QVariant(qlonglong(5)), {}), EOleError);
    EXPECT_THROW(EncodeAutomationValue(TDispatchValue(TDispatch())), EOleError);
}

class DBusPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Peer.Started())
            GTEST_SKIP() << "no session bus";
        Peer.AddTable(QStringLiteral("Book1"), 3, 4);
        App = RemoteDispatch(QDBusConnection::sessionBus(), Peer.Application());
    }
    int LiveObjects() { return Peer.Control(QStringLiteral("LiveObjects")).toInt(); }

    TSpreadsheetPeer Peer;
    TDispatch App;
};

TEST_F(DBusPeerTest, ReadsTheSelectionOfAnotherProcess)
{
    const TDispatch selection = App.Get(QStringLiteral("Selection")).AsDispatch();
    EXPECT_EQ(selection.Get(QStringLiteral("Rows")).AsDispatch().Get(QStringLiteral("Count")).AsVariant().toInt(), 3);
    const TDispatch cell = selection.Get(QStringLiteral("Item"), {int32_t(2), int32_t(3)}).AsDispatch();
    EXPECT_EQ(cell.Get(QStringLiteral("Value2")).AsVariant().toDouble(), 23.0);
    const TDispatch corner = selection.Get(QStringLiteral("item"), {int32_t(1), int32_t(2)}).AsDispatch();
    EXPECT_EQ(corner.Get(QStringLiteral("VALUE2")).AsVariant().toString(), QStringLiteral("Dim 1"));
    EXPECT_EQ(App.Get(QStringLiteral("ActiveWorkbook")).AsDispatch().Get(QStringLiteral("Name")).AsVariant().toString(),
              QStringLiteral("Book1"));

    cell.Put(QStringLiteral("Value2"), {}, TDispatchValue(TVariant(QStringLiteral("x"))));
    EXPECT_EQ(cell.Get(QStringLiteral("Value2")).AsVariant().toString(), QStringLiteral("x"));
}

TEST_F(DBusPeerTest, FailuresArriveAsAutomationErrors)
{
    try {
        App.Get(QStringLiteral("NoSuchMember"));
        FAIL() << "no error";
    } catch (const EOleError& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("NoSuchMember"))) << e.Message().toStdString();
    }
    // A call with arguments of the wrong kind, straight on the wire.
    QDBusMessage call = QDBusMessage::createMethodCall(Peer.BusName(), QStringLiteral("/Application"),
                                                       QLatin1String(AutomationBus::Interface), QStringLiteral("Invoke"));
    call << QStringLiteral("Selection") << 7;
    EXPECT_EQ(QDBusConnection::sessionBus().call(call).type(), QDBusMessage::ErrorMessage);

    Peer.Kill();
    EXPECT_THROW(App.Get(QStringLiteral("Selection")), EOleError);
}

TEST_F(DBusPeerTest, EveryReceivedReferenceIsReleasedOnce)
{
    const int before = LiveObjects();
    {
        const TDispatch selection = App.Get(QStringLiteral("Selection")).AsDispatch();
        const TDispatch again = App.Get(QStringLiteral("Selection")).AsDispatch();
        selection.Get(QStringLiteral("Rows"));
        EXPECT_GT(LiveObjects(), before);
    }
    EXPECT_TRUE(ProcessEventsUntil([&] { return LiveObjects() == before; }));
}

} // namespace
