// The data object's write lock, event coalescing and delivery to clients.
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "platform/Exceptions.h"
#include "support/DataClients.h"
#include "support/TestTable.h"
#include "support/TestSupport.h"

#include <QAbstractEventDispatcher>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class TActor : public TObject {};

// A data object over a generated table of 4 dimensions and 6 points.
struct TFixture : TTestTable {
    TActor actor;

    TFixture() : TTestTable(4, 6) {}
    void Begin() { ASSERT_FALSE(Data.BeginWrite(&actor, false)); }
    int EndAndSend()
    {
        Data.EndWrite(&actor);
        return Data.SendEvents();
    }
    std::vector<std::string> Queued() const
    {
        std::vector<std::string> names;
        for (const auto& e : Data.Events())
            names.push_back(e->ClassType()->Name());
        return names;
    }
};

QString Expected(const char* text)
{
    return QString::fromUtf8(text) + QStringLiteral(" (QuorData, line ");
}

using Lines = QStringList;

// The data object with two recorders "A" and "B" sharing one log, and a
// second writer. A test lets the recorders join as it needs; those still
// registered leave at the end, with their hooks silenced first so that
// leaving neither throws nor acts.
class TDataEventsTest : public ::testing::Test {
protected:
    TFixture f;
    Lines log;
    TRecordingDataClient a{"A", &log};
    TRecordingDataClient b{"B", &log};
    TActor other;

    // Registers the clients in the given order and forgets their welcome.
    void Join(std::initializer_list<TRecordingDataClient*> clients)
    {
        for (TRecordingDataClient* client : clients)
            f.Data.RegisterClient(client);
        log.clear();
    }

    void TearDown() override
    {
        // All hooks go before anyone leaves: a leaving client's notice
        // reaches the other, whose hooks point into the finished test.
        for (TRecordingDataClient* client : {&b, &a}) {
            client->OnBegin = nullptr;
            client->OnEnd = nullptr;
            client->OnCustom = nullptr;
            client->OnData = nullptr;
        }
        for (TRecordingDataClient* client : {&b, &a}) {
            const auto& clients = f.Data.Clients();
            if (std::find(clients.begin(), clients.end(), client) != clients.end())
                f.Data.UnregisterClient(client);
        }
    }
};

using DataCoalescing = TDataEventsTest;
using DataCustomEvents = TDataEventsTest;
using DataDelivery = TDataEventsTest;
using DataLock = TDataEventsTest;
using DataClients = TDataEventsTest;

} // namespace

// --- event classes --------------------------------------------------------------

TEST(DataEvents, ConstructorsAndClassTree)
{
    auto generic = TQuorDataEventDimExchange::Create();
    EXPECT_TRUE(generic->IsGeneric);
    EXPECT_EQ(generic->Index, 0);
    auto single = TQuorDataEventPointColorChange::Create(5);
    EXPECT_FALSE(single->IsGeneric);
    EXPECT_EQ(single->Index, 5);
    auto pair = TQuorDataEventDimMove::CreatePair(2, 7);
    EXPECT_EQ(pair->Index2, 7);
    EXPECT_FALSE(pair->IsGeneric);
    auto flag = TQuorDataEventPointSelectionChange::CreateFlag(3, true);
    EXPECT_TRUE(flag->Flag);
    EXPECT_EQ(flag->Index, 3);
    EXPECT_FALSE(flag->IsGeneric);

    EXPECT_TRUE(TQuorDataEventDimSliderChange::StaticClass()->InheritsFrom(
        TQuorDataEventDimModifications::StaticClass()));
    EXPECT_TRUE(TQuorDataEventPointExchange::StaticClass()->InheritsFrom(
        TQuorDataEventValueChange::StaticClass()));
    EXPECT_TRUE(TQuorDataEventValueChange::StaticClass()->InheritsFrom(
        TQuorDataEventDataSrcChange::StaticClass()));
    EXPECT_TRUE(TQDCEDataClientAdded::StaticClass()->InheritsFrom(TQuorDataCustomEvent::StaticClass()));
    EXPECT_FALSE(TQuorDataCustomEvent::StaticClass()->InheritsFrom(TQuorDataEvent::StaticClass()));

    // Made through its class reference, as the coalescing does.
    std::unique_ptr<TObject> made(TQuorDataEventPointModifications::StaticClass()->Create());
    auto* e = dynamic_cast<TQuorDataEventPointModifications*>(made.get());
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->IsGeneric);
}

// --- coalescing ---------------------------------------------------------------------

TEST_F(DataCoalescing, SpecificEventsOfTheQueuedClassAreAppendedInOrder)
{
    f.Begin();
    f.Data.SetPointSelected(4, true);
    f.Data.SetPointSelected(4, false);
    f.Data.SetPointSelected(1, true);
    ASSERT_EQ(f.Data.Events().size(), 3u);
    EXPECT_EQ(f.Data.Events()[0]->Index, 4);
    EXPECT_TRUE(f.Data.Events()[0]->Flag);
    EXPECT_FALSE(f.Data.Events()[1]->Flag);
    EXPECT_EQ(f.Data.Events()[2]->Index, 1);
    f.Data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, GenericEventOfTheQueuedClassIsDropped)
{
    f.Begin();
    f.Data.SetPointSelected(2, true);
    f.Data.AddEvent(TQuorDataEventPointSelectionChange::Create());
    ASSERT_EQ(f.Data.Events().size(), 1u);
    EXPECT_FALSE(f.Data.Events()[0]->IsGeneric);
    f.Data.AddEvent(nullptr);
    EXPECT_EQ(f.Data.Events().size(), 1u);
    f.Data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, MoreSpecificEventIsDropped)
{
    f.Begin();
    f.Data.AdjustForValueChange();
    f.Data.SetPointSelected(2, true);
    f.Data.ExchangeDims(0, 1);
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventValueChange"}));
    EXPECT_TRUE(f.Data.Events()[0]->IsGeneric);
    f.Data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, MoreGeneralEventReplacesTheQueue)
{
    f.Begin();
    f.Data.SetPointColor(0, 3);
    f.Data.SetPointColor(1, 3);
    f.Data.AddEvent(TQuorDataEventPointModifications::Create());
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventPointModifications"}));
    f.Data.AdjustForValueChange();
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventValueChange"}));
    f.Data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, OtherKindsBecomeOneGenericEventOfTheNearestCommonClass)
{
    struct TCase {
        const char* name;
        std::function<void(TData&)> writes;
        const char* expected;
    };
    const std::vector<TCase> cases = {
        {"dim exchange, dim selection",
         [](TData& d) { d.ExchangeDims(0, 1); d.SetDimSelected(2, true); },
         "TQuorDataEventDimModifications"},
        {"point selection, dim selection",
         [](TData& d) { d.SetPointSelected(0, true); d.SetDimSelected(0, true); },
         "TQuorDataEventValueChange"},
        {"lower bound, upper bound",
         [](TData& d) { d.SetLBound(0, -1); d.SetUBound(0, 1000); },
         "TQuorDataEventDimModifications"},
        {"point colour, point exchange, dim move",
         [](TData& d) { d.SetPointColor(0, 1); d.ExchangePoints(0, 1); d.MoveDim(0, 3); },
         "TQuorDataEventValueChange"},
    };
    // Each case on a data object of its own.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFixture own;
        own.Begin();
        c.writes(own.Data);
        ASSERT_EQ(own.Data.Events().size(), 1u);
        const TQuorDataEvent& e = *own.Data.Events()[0];
        EXPECT_STREQ(e.ClassType()->Name(), c.expected);
        EXPECT_TRUE(e.IsGeneric);
        EXPECT_EQ(e.Data, &own.Data);
        EXPECT_EQ(e.Actor, &own.actor);
        own.Data.EndWrite(&own.actor);
    }
}

TEST_F(DataCoalescing, NewDataSourceSwallowsEveryDataEventButNotCustomOnes)
{
    Join({&a});

    f.Begin();
    f.Data.SetPointSelected(1, true);
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    f.Load();
    f.Data.SetDimHidden(0, true);
    f.Data.ExchangePoints(0, 2);
    EXPECT_EQ(f.EndAndSend(), 2);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: DataSrcChange", "A: CustomEvent TQDCELiveTracking",
                          "A: EndEvents"}));
}

// --- custom events -------------------------------------------------------------------

TEST_F(DataCustomEvents, SameGenericEventOfOneActorIsQueuedOnce)
{
    f.Begin();
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.Data.CustomEvents().size(), 1u);
    EXPECT_EQ(f.Data.CustomEvents()[0]->Actor, &f.actor);
    EXPECT_EQ(f.Data.CustomEvents()[0]->Data, &f.Data);
    f.Data.AddCustomEvent(nullptr);
    EXPECT_EQ(f.Data.CustomEvents().size(), 1u);
    f.Data.EndWrite(&f.actor);

    f.Data.BeginWrite(&other, false);
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.Data.CustomEvents().size(), 2u);
    // Only the first queued event of the class is compared: it belongs to
    // the first actor, so the second actor's event is appended again.
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.Data.CustomEvents().size(), 3u);
    f.Data.EndWrite(&other);
}

TEST_F(DataCustomEvents, SpecificOrOtherClassesAreAlwaysAppended)
{
    f.Begin();
    auto set = TQDCESubSelection::Create();
    set->IsGeneric = false;
    set->LastPoint = 3;
    f.Data.AddCustomEvent(std::move(set));
    f.Data.AddCustomEvent(TQDCESubSelection::Create()); // first of its class is specific
    EXPECT_EQ(f.Data.CustomEvents().size(), 2u);
    auto again = TQDCESubSelection::Create();
    again->IsGeneric = false;
    f.Data.AddCustomEvent(std::move(again)); // specific: never compared
    f.Data.AddCustomEvent(TQDCELiveTracking::Create()); // other class
    f.Data.AddCustomEvent(TQuorDataCustomEvent::Create()); // exact class only
    EXPECT_EQ(f.Data.CustomEvents().size(), 5u);
    f.Data.EndWrite(&f.actor);
}

// --- delivery -------------------------------------------------------------------------

TEST_F(DataDelivery, NothingQueuedCallsNoClient)
{
    Join({&a});
    EXPECT_EQ(f.Data.SendEvents(), 0);
    f.Begin();
    EXPECT_EQ(f.EndAndSend(), 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(DataDelivery, EventsQueuedWithoutClientsReachTheFirstOneToRegister)
{
    f.Begin();
    f.Data.SetPointSelected(3, true);
    f.Data.SetPointSelected(5, true);
    EXPECT_EQ(f.EndAndSend(), 0);
    EXPECT_EQ(f.Data.Events().size(), 2u);

    f.Data.RegisterClient(&a);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: PointSelectionChange 3 true",
                          "A: PointSelectionChange 5 true", "A: CustomEvent TQDCEDataClientAdded A",
                          "A: EndEvents"}));
    EXPECT_EQ(a.LastActor, &a); // the registration's actor is the client
    EXPECT_TRUE(f.Data.Events().empty());
}

TEST_F(DataDelivery, OnePassInRegistrationOrderWithEveryArgument)
{
    f.Data.RegisterClient(&a);
    f.Data.RegisterClient(&b);
    f.Data.RegisterClient(&a); // already there: not twice
    EXPECT_EQ(f.Data.Clients().size(), 2u);
    log.clear();

    f.Begin();
    f.Data.SetPointSelected(2, true);
    f.Data.SetPointSelected(2, false);
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.EndAndSend(), 3);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointSelectionChange 2 true",
                          "B: PointSelectionChange 2 true", "A: PointSelectionChange 2 false",
                          "B: PointSelectionChange 2 false", "A: CustomEvent TQDCELiveTracking",
                          "B: CustomEvent TQDCELiveTracking", "A: EndEvents", "B: EndEvents"}));
    EXPECT_EQ(b.LastData, &f.Data);
    EXPECT_EQ(b.LastActor, &f.actor);
}

TEST_F(DataDelivery, EveryClassReachesItsOperation)
{
    struct TCase {
        std::function<void(TData&)> write;
        QString expected;
    };
    const std::vector<TCase> cases = {
        {[](TData& d) { d.SetPointColor(4, 9); }, "PointColorChange 4"},
        {[](TData& d) { d.SetPointHidden(1, true); }, "PointVisibilityChange 1 false"},
        {[](TData& d) { d.SetPointSelected(0, true); }, "PointSelectionChange 0 true"},
        {[](TData& d) { d.ExchangePoints(1, 3); }, "PointExchange 1 3"},
        {[](TData& d) { d.SetDimSelected(2, true); }, "DimSelectionChange 2 true"},
        {[](TData& d) { d.ExchangeDims(3, 0); }, "DimExchange 3 0"},
        {[](TData& d) { d.MoveDim(0, 2); }, "DimMove 0 2"},
        {[](TData& d) { d.SetDimHidden(3, true); }, "DimVisibilityChange 3 false"},
        {[](TData& d) { d.SetSliderOff(1, false); }, "DimSliderChange 1"},
        {[](TData& d) { d.SetLBound(2, -7); }, "DimBoundChange 2"},
        {[](TData& d) { d.SetUBound(1, 700); }, "DimBoundChange 1"},
        {[](TData& d) { d.SetDimSelected(0, true); d.ExchangeDims(1, 2); }, "DimModifications"},
        {[](TData& d) { d.SetPointColor(0, 1); d.SetPointSelected(0, true); }, "PointModifications"},
        {[](TData& d) { d.AdjustForValueChange(); }, "ValueChange"},
        {[](TData& d) { d.DataSrcChanged(); }, "DataSrcChange"},
    };
    // Each case on a data object and a recorder of its own.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        TFixture own;
        Lines ownLog;
        TRecordingDataClient client("A", &ownLog);
        own.Data.RegisterClient(&client);
        ownLog.clear();
        own.Begin();
        c.write(own.Data);
        EXPECT_EQ(own.EndAndSend(), 1);
        EXPECT_EQ(ownLog, (Lines{"A: BeginEvents", "A: " + c.expected, "A: EndEvents"}));
        own.Data.UnregisterClient(&client);
    }
}

TEST_F(DataDelivery, EventOfAnUnlistedClassIsCountedButReachesNoClient)
{
    Join({&a});
    f.Begin();
    f.Data.AddEvent(TQuorDataEvent::Create(1));
    EXPECT_EQ(f.EndAndSend(), 1);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: EndEvents"}));
}

TEST_F(DataDelivery, CustomEventQueuedFromCustomEventJoinsThePass)
{
    Join({&a, &b});
    bool answered = false;
    b.OnCustom = [&](TQuorDataCustomEvent* e) {
        if (answered || e->ClassType() != TQDCELiveTracking::StaticClass())
            return;
        answered = true;
        EXPECT_EQ(f.Data.SendEvents(), -1);
        f.Data.BeginWrite(&b, false);
        f.Data.AddCustomEvent(TQDCESubSelection::Create());
        f.Data.EndWrite(&b);
        EXPECT_EQ(f.Data.SendEvents(), -1); // nested: the running delivery takes it
    };
    f.Begin();
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.EndAndSend(), 2);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: CustomEvent TQDCELiveTracking",
                          "B: CustomEvent TQDCELiveTracking", "A: CustomEvent TQDCESubSelection 0 0 0 0",
                          "B: CustomEvent TQDCESubSelection 0 0 0 0", "A: EndEvents", "B: EndEvents"}));
    EXPECT_EQ(a.LastActor, &b);
    EXPECT_FALSE(f.Data.Sending());
}

TEST_F(DataDelivery, WriteFromEndEventsRunsAnotherPass)
{
    Join({&a, &b});
    int passes = 0;
    a.OnEnd = [&] {
        if (++passes != 1)
            return;
        f.Data.BeginWrite(&a, false);
        f.Data.SetDimSelected(1, true);
        f.Data.AddCustomEvent(TQDCELiveTracking::Create());
        f.Data.EndWrite(&a);
        EXPECT_EQ(f.Data.SendEvents(), -1);
    };
    f.Begin();
    f.Data.SetPointColor(2, 5);
    EXPECT_EQ(f.EndAndSend(), 3); // counted over both passes
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointColorChange 2",
                          "B: PointColorChange 2", "A: EndEvents", "B: EndEvents",
                          "A: BeginEvents", "B: BeginEvents", "A: DimSelectionChange 1 true",
                          "B: DimSelectionChange 1 true", "A: CustomEvent TQDCELiveTracking",
                          "B: CustomEvent TQDCELiveTracking", "A: EndEvents", "B: EndEvents"}));
    EXPECT_EQ(passes, 2);
}

TEST_F(DataDelivery, ThrowingClientResetsSendingAndKeepsTheQueue)
{
    Join({&a, &b});

    bool fail = true;
    b.OnData = [&] {
        if (fail)
            throw std::runtime_error("client failed");
    };
    f.Begin();
    f.Data.SetPointSelected(0, true);
    f.Data.SetPointSelected(1, true);
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    f.Data.EndWrite(&f.actor);
    EXPECT_THROW(f.Data.SendEvents(), std::runtime_error);
    EXPECT_FALSE(f.Data.Sending());
    ASSERT_EQ(f.Data.Events().size(), 2u);
    EXPECT_EQ(f.Data.Events()[0]->Index, 0);
    EXPECT_EQ(f.Data.Events()[1]->Index, 1);
    EXPECT_EQ(f.Data.CustomEvents().size(), 1u);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointSelectionChange 0 true",
                          "B: PointSelectionChange 0 true"}));

    // The next delivery brings everything.
    fail = false;
    log.clear();
    EXPECT_EQ(f.Data.SendEvents(), 3);
    EXPECT_EQ(log.size(), 10);
    EXPECT_TRUE(f.Data.Events().empty());

    // A failure in the custom phase keeps the custom queue as it is.
    b.OnCustom = [&](TQuorDataCustomEvent*) { throw std::runtime_error("custom failed"); };
    f.Begin();
    f.Data.AddCustomEvent(TQDCELiveTracking::Create());
    f.Data.EndWrite(&f.actor);
    EXPECT_THROW(f.Data.SendEvents(), std::runtime_error);
    EXPECT_FALSE(f.Data.Sending());
    EXPECT_EQ(f.Data.CustomEvents().size(), 1u);
}

TEST_F(DataDelivery, WriteFromADataChangeIsKeptForTheNextPass)
{
    // Outside the clients' contract; the change must neither corrupt the
    // delivery nor get lost.
    Join({&a});
    bool wrote = false;
    a.OnData = [&] {
        if (wrote)
            return;
        wrote = true;
        f.Data.BeginWrite(&a, false);
        f.Data.AdjustForValueChange(); // would empty the queue being delivered
        f.Data.EndWrite(&a);
    };
    f.Begin();
    f.Data.SetPointSelected(0, true);
    f.Data.SetPointSelected(1, true);
    EXPECT_EQ(f.EndAndSend(), 3);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: PointSelectionChange 0 true",
                          "A: PointSelectionChange 1 true", "A: EndEvents", "A: BeginEvents",
                          "A: ValueChange", "A: EndEvents"}));
}

TEST_F(DataDelivery, FailureRestoresTheBatchMergedWithWhatCameMeanwhile)
{
    Join({&a});
    a.OnData = [&] {
        f.Data.BeginWrite(&a, false);
        f.Data.SetDimSelected(0, true);
        f.Data.EndWrite(&a);
        throw std::runtime_error("failed");
    };
    f.Begin();
    f.Data.SetPointSelected(0, true);
    f.Data.EndWrite(&f.actor);
    EXPECT_THROW(f.Data.SendEvents(), std::runtime_error);
    // As if both had been queued in order: one generic value change.
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventValueChange"}));
    EXPECT_TRUE(f.Data.Events()[0]->IsGeneric);
}

// --- lock -------------------------------------------------------------------------------

TEST_F(DataLock, BusyWithoutWaitingLeavesTheHolder)
{
    f.Begin();
    EXPECT_TRUE(f.Data.Locked());
    EXPECT_TRUE(f.Data.BeginWrite(&other, false));
    EXPECT_EQ(f.Data.Actor(), &f.actor);
    f.Data.EndWrite(&f.actor);
    EXPECT_FALSE(f.Data.Locked());
    EXPECT_EQ(f.Data.Actor(), nullptr);
}

TEST_F(DataLock, WaitingPumpsMessagesUntilTheHolderLetsGo)
{
    // The holder is a writer that runs from the event loop: one message
    // takes the lock, a later one writes and lets go. The waiting writer
    // must keep pumping while nothing is due yet.
    QTimer::singleShot(0, [&] {
        f.Begin();
        QTimer::singleShot(30, [&] {
            f.Data.SetPointSelected(0, true);
            f.Data.EndWrite(&f.actor);
        });
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return f.Data.Locked(); }));
    // Between the holder's messages the waiting writer sleeps: the event
    // loop wakes a few times in those 30 ms, not thousands.
    int wakes = 0;
    const QMetaObject::Connection counting =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [&] { ++wakes; });
    EXPECT_FALSE(f.Data.BeginWrite(&other, true));
    QObject::disconnect(counting);
    EXPECT_LT(wakes, 30);
    EXPECT_EQ(f.Data.Actor(), &other);
    EXPECT_TRUE(f.Data.IsPointSelected(0));
    // The holder's event waits for the delivery after the new writer's.
    ASSERT_EQ(f.Data.Events().size(), 1u);
    EXPECT_EQ(f.Data.Events()[0]->Actor, &f.actor);
    f.Data.EndWrite(&other);
}

TEST_F(DataLock, ATransactionWhoseChangeRaisesLeavesTheObjectUnlocked)
{
    Join({&a});
    EXPECT_THROW(f.Data.WriteTransaction(&f.actor,
                                         [&] {
                                             f.Data.SetPointSelected(0, true);
                                             throw std::runtime_error("change failed");
                                         }),
                 std::runtime_error);
    EXPECT_FALSE(f.Data.Locked());
    EXPECT_EQ(f.Data.Actor(), nullptr);
    EXPECT_TRUE(log.empty());

    // The change made before the failure is still delivered, with the next
    // writer's, and the next writer does not wait.
    f.Data.WriteTransaction(&other, [&] { f.Data.SetPointSelected(2, true); });
    EXPECT_EQ(log, Lines({"A: BeginEvents", "A: PointSelectionChange 0 true",
                          "A: PointSelectionChange 2 true", "A: EndEvents"}));
}

TEST_F(DataLock, EndWriteAssertions)
{
    EXPECT_TRUE(AssertionText([&] { f.Data.EndWrite(&f.actor); })
                    .startsWith(Expected("EndWrite called but Data object is not locked")));
    f.Begin();
    EXPECT_TRUE(AssertionText([&] { f.Data.EndWrite(&other); })
                    .startsWith(Expected("EndWrite called with wrong Actor")));
    EXPECT_TRUE(f.Data.Locked());
    EXPECT_EQ(f.Data.Actor(), &f.actor);
    EXPECT_TRUE(AssertionText([&] { f.Data.SendEvents(); })
                    .startsWith(Expected("TData: call to SendEvents on locked object detected.")));
    f.Data.EndWrite(&f.actor);
}

TEST_F(DataLock, QueueingWhileUnlockedIsRefused)
{
    EXPECT_TRUE(AssertionText([&] { f.Data.AddEvent(TQuorDataEventValueChange::Create()); })
                    .startsWith(Expected("AddEvent method called on non-locked object")));
    EXPECT_TRUE(AssertionText([&] { f.Data.AddCustomEvent(TQDCELiveTracking::Create()); })
                    .startsWith(Expected("AddCustomEvent method called on non-locked object")));
    EXPECT_TRUE(f.Data.Events().empty());
    EXPECT_TRUE(f.Data.CustomEvents().empty());
}

// --- clients -------------------------------------------------------------------------------

TEST_F(DataClients, RegisteringTellsEveryClientAndUnregisteringTheLeaverToo)
{
    f.Data.RegisterClient(&a);
    f.Data.RegisterClient(&b);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: CustomEvent TQDCEDataClientAdded A", "A: EndEvents",
                          "A: BeginEvents", "B: BeginEvents", "A: CustomEvent TQDCEDataClientAdded B",
                          "B: CustomEvent TQDCEDataClientAdded B", "A: EndEvents", "B: EndEvents"}));
    log.clear();
    f.Data.UnregisterClient(&a);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents",
                          "A: CustomEvent TQDCEDataClientBeingRemoved A",
                          "B: CustomEvent TQDCEDataClientBeingRemoved A", "A: EndEvents",
                          "B: EndEvents"}));
    EXPECT_EQ(f.Data.Clients(), (std::vector<TObject*>{&b}));
    EXPECT_EQ(b.LastActor, &a);
    log.clear();
    f.Begin();
    f.Data.SetPointColor(0, 2);
    f.EndAndSend();
    EXPECT_EQ(log, (Lines{"B: BeginEvents", "B: PointColorChange 0", "B: EndEvents"}));
    f.Data.UnregisterClient(&b);
    EXPECT_TRUE(f.Data.Clients().empty());
}

TEST_F(DataClients, ClientRemovedDuringTheDataPhaseIsNotCalledAgain)
{
    // Outside the clients' contract, but a client that has left (and may be
    // freed) must not be called.
    Join({&a, &b});
    a.OnData = [&] {
        if (f.Data.Clients().size() == 2)
            f.Data.UnregisterClient(&b);
    };
    f.Begin();
    f.Data.SetPointSelected(0, true);
    f.Data.SetPointSelected(1, true);
    EXPECT_EQ(f.EndAndSend(), 3);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointSelectionChange 0 true",
                          "A: PointSelectionChange 1 true",
                          "A: CustomEvent TQDCEDataClientBeingRemoved B", "A: EndEvents"}));
}

TEST_F(DataClients, LeaverIsRemovedEvenWhenItsNoticeFails)
{
    Join({&a});
    a.OnCustom = [](TQuorDataCustomEvent*) { throw std::runtime_error("failed"); };
    EXPECT_THROW(f.Data.UnregisterClient(&a), std::runtime_error);
    EXPECT_TRUE(f.Data.Clients().empty());
    EXPECT_FALSE(f.Data.Sending());
}

TEST_F(DataClients, ObjectsWithoutTheInterfaceAreRefused)
{
    TActor notAClient;
    EXPECT_TRUE(AssertionText([&] { f.Data.RegisterClient(&notAClient); })
                    .startsWith(Expected("RegisterClient: client does not implement interface IQuorDataClient")));
    EXPECT_TRUE(f.Data.Clients().empty());
}

namespace {
// While its base part is destroyed, a client no longer has the interface; a
// delivery that reaches it then is a broken contract.
class TLeavingBase : public TObject {
public:
    TData* Data = nullptr;
    ~TLeavingBase() override
    {
        Message = AssertionText([this] { Data->SendEvents(); });
    }
    static QString Message;
};
QString TLeavingBase::Message;

class TLeavingClient : public TLeavingBase, public TQuorNoOpDataClient {};
} // namespace

TEST_F(DataClients, DeliveryToAnObjectWithoutTheInterfaceFails)
{
    {
        TLeavingClient client;
        client.Data = &f.Data;
        f.Data.RegisterClient(&client);
        f.Begin();
        f.Data.SetPointColor(0, 1);
        f.Data.EndWrite(&f.actor);
    }
    EXPECT_TRUE(TLeavingBase::Message.startsWith(
        Expected("SendEvents: Client does not implement IQuorDataEvent interface")));
    EXPECT_FALSE(f.Data.Sending());
}
