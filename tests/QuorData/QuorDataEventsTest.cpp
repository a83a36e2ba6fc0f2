// The data object's write lock, event coalescing and delivery to clients.
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "platform/Exceptions.h"
#include "support/DataClients.h"
#include "support/TestSupport.h"

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

// Logs every call as a line of text into a log that several clients may
// share; hooks let a test act from inside a delivery.
class TRecorder : public TObject, public IQuorDataClient {
public:
    TRecorder(std::string name, std::vector<std::string>& log)
        : Name(std::move(name)), Log(log) {}

    std::string Name;
    std::vector<std::string>& Log;
    std::function<void()> OnBegin;
    std::function<void()> OnEnd;
    std::function<void(TQuorDataCustomEvent*)> OnCustom;
    std::function<void()> OnData;
    TData* LastData = nullptr;
    TObject* LastActor = nullptr;

    void BeginEvents() override
    {
        Add("BeginEvents");
        if (OnBegin)
            OnBegin();
    }
    void EndEvents() override
    {
        Add("EndEvents");
        if (OnEnd)
            OnEnd();
    }
    void PointModifications(TData* D, TObject* A) override { Data(D, A, "PointModifications"); }
    void PointColorChange(TData* D, TObject* A, int P) override
    {
        Data(D, A, "PointColorChange " + std::to_string(P));
    }
    void PointSelectionChange(TData* D, TObject* A, int P, bool S) override
    {
        Data(D, A, "PointSelectionChange " + std::to_string(P) + " " + Bool(S));
    }
    void PointVisibilityChange(TData* D, TObject* A, int P, bool V) override
    {
        Data(D, A, "PointVisibilityChange " + std::to_string(P) + " " + Bool(V));
    }
    void PointExchange(TData* D, TObject* A, int X, int Y) override
    {
        Data(D, A, "PointExchange " + std::to_string(X) + " " + std::to_string(Y));
    }
    void DimSelectionChange(TData* D, TObject* A, int Dim, bool S) override
    {
        Data(D, A, "DimSelectionChange " + std::to_string(Dim) + " " + Bool(S));
    }
    void DimExchange(TData* D, TObject* A, int X, int Y) override
    {
        Data(D, A, "DimExchange " + std::to_string(X) + " " + std::to_string(Y));
    }
    void DimMove(TData* D, TObject* A, int X, int Y) override
    {
        Data(D, A, "DimMove " + std::to_string(X) + " " + std::to_string(Y));
    }
    void DimVisibilityChange(TData* D, TObject* A, int Dim, bool V) override
    {
        Data(D, A, "DimVisibilityChange " + std::to_string(Dim) + " " + Bool(V));
    }
    void DimSliderChange(TData* D, TObject* A, int Dim) override
    {
        Data(D, A, "DimSliderChange " + std::to_string(Dim));
    }
    void DimBoundChange(TData* D, TObject* A, int Dim) override
    {
        Data(D, A, "DimBoundChange " + std::to_string(Dim));
    }
    void DimModifications(TData* D, TObject* A) override { Data(D, A, "DimModifications"); }
    void ValueChange(TData* D, TObject* A) override { Data(D, A, "ValueChange"); }
    void DataSrcChange(TData* D, TObject* A) override { Data(D, A, "DataSrcChange"); }
    void CustomEvent(TQuorDataCustomEvent* E) override
    {
        std::string line = std::string("CustomEvent ") + E->ClassType()->Name();
        if (auto* c = dynamic_cast<TQDCEDataClientEvent*>(E))
            line += " " + (c->Client ? static_cast<TRecorder*>(c->Client)->Name : "?");
        Add(line);
        LastData = E->Data;
        LastActor = E->Actor;
        if (OnCustom)
            OnCustom(E);
    }

private:
    static std::string Bool(bool b) { return b ? "true" : "false"; }
    void Add(const std::string& what) { Log.push_back(Name + ": " + what); }
    void Data(TData* D, TObject* A, const std::string& what)
    {
        LastData = D;
        LastActor = A;
        Add(what);
        if (OnData)
            OnData();
    }
};

// A data object over a generated table of 4 dimensions and 6 points.
struct TFixture {
    TTestDataSrc values;
    TTestTextSrc dimNames;
    TTestTextSrc pointNames;
    TData data;
    TActor actor;

    TFixture()
    {
        values.Generate(4, 6);
        dimNames.GenerateText(4, 1, "Dim ");
        pointNames.GenerateText(1, 6, "Item ");
        data.SetDataSrc(&values, &dimNames, &pointNames);
    }
    void Begin() { ASSERT_FALSE(data.BeginWrite(&actor, false)); }
    int EndAndSend()
    {
        data.EndWrite(&actor);
        return data.SendEvents();
    }
    std::vector<std::string> Queued() const
    {
        std::vector<std::string> names;
        for (const auto& e : data.Events())
            names.push_back(e->ClassType()->Name());
        return names;
    }
};

QString Expected(const char* text)
{
    return QString::fromUtf8(text) + QStringLiteral(" (QuorData, line ");
}

using Lines = std::vector<std::string>;

// The data object with two recorders "A" and "B" sharing one log, and a
// second writer. A test lets the recorders join as it needs; those still
// registered leave at the end, with their hooks silenced first so that
// leaving neither throws nor acts.
class TDataEventsTest : public ::testing::Test {
protected:
    TFixture f;
    Lines log;
    TRecorder a{"A", log};
    TRecorder b{"B", log};
    TActor other;

    // Registers the clients in the given order and forgets their welcome.
    void Join(std::initializer_list<TRecorder*> clients)
    {
        for (TRecorder* client : clients)
            f.data.RegisterClient(client);
        log.clear();
    }

    void TearDown() override
    {
        // All hooks go before anyone leaves: a leaving client's notice
        // reaches the other, whose hooks point into the finished test.
        for (TRecorder* client : {&b, &a}) {
            client->OnBegin = nullptr;
            client->OnEnd = nullptr;
            client->OnCustom = nullptr;
            client->OnData = nullptr;
        }
        for (TRecorder* client : {&b, &a}) {
            const auto& clients = f.data.Clients();
            if (std::find(clients.begin(), clients.end(), client) != clients.end())
                f.data.UnregisterClient(client);
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
    f.data.SetPointSelected(4, true);
    f.data.SetPointSelected(4, false);
    f.data.SetPointSelected(1, true);
    ASSERT_EQ(f.data.Events().size(), 3u);
    EXPECT_EQ(f.data.Events()[0]->Index, 4);
    EXPECT_TRUE(f.data.Events()[0]->Flag);
    EXPECT_FALSE(f.data.Events()[1]->Flag);
    EXPECT_EQ(f.data.Events()[2]->Index, 1);
    f.data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, GenericEventOfTheQueuedClassIsDropped)
{
    f.Begin();
    f.data.SetPointSelected(2, true);
    f.data.AddEvent(TQuorDataEventPointSelectionChange::Create());
    ASSERT_EQ(f.data.Events().size(), 1u);
    EXPECT_FALSE(f.data.Events()[0]->IsGeneric);
    f.data.AddEvent(nullptr);
    EXPECT_EQ(f.data.Events().size(), 1u);
    f.data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, MoreSpecificEventIsDropped)
{
    f.Begin();
    f.data.AdjustForValueChange();
    f.data.SetPointSelected(2, true);
    f.data.ExchangeDims(0, 1);
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventValueChange"}));
    EXPECT_TRUE(f.data.Events()[0]->IsGeneric);
    f.data.EndWrite(&f.actor);
}

TEST_F(DataCoalescing, MoreGeneralEventReplacesTheQueue)
{
    f.Begin();
    f.data.SetPointColor(0, 3);
    f.data.SetPointColor(1, 3);
    f.data.AddEvent(TQuorDataEventPointModifications::Create());
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventPointModifications"}));
    f.data.AdjustForValueChange();
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventValueChange"}));
    f.data.EndWrite(&f.actor);
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
        TFixture f;
        f.Begin();
        c.writes(f.data);
        ASSERT_EQ(f.data.Events().size(), 1u);
        const TQuorDataEvent& e = *f.data.Events()[0];
        EXPECT_STREQ(e.ClassType()->Name(), c.expected);
        EXPECT_TRUE(e.IsGeneric);
        EXPECT_EQ(e.Data, &f.data);
        EXPECT_EQ(e.Actor, &f.actor);
        f.data.EndWrite(&f.actor);
    }
}

TEST_F(DataCoalescing, NewDataSourceSwallowsEveryDataEventButNotCustomOnes)
{
    Join({&a});

    f.Begin();
    f.data.SetPointSelected(1, true);
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    f.data.SetDataSrc(&f.values, &f.dimNames, &f.pointNames);
    f.data.SetDimHidden(0, true);
    f.data.ExchangePoints(0, 2);
    EXPECT_EQ(f.EndAndSend(), 2);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: DataSrcChange", "A: CustomEvent TQDCELiveTracking",
                          "A: EndEvents"}));
}

// --- custom events -------------------------------------------------------------------

TEST_F(DataCustomEvents, SameGenericEventOfOneActorIsQueuedOnce)
{
    f.Begin();
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.data.CustomEvents().size(), 1u);
    EXPECT_EQ(f.data.CustomEvents()[0]->Actor, &f.actor);
    EXPECT_EQ(f.data.CustomEvents()[0]->Data, &f.data);
    f.data.AddCustomEvent(nullptr);
    EXPECT_EQ(f.data.CustomEvents().size(), 1u);
    f.data.EndWrite(&f.actor);

    f.data.BeginWrite(&other, false);
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.data.CustomEvents().size(), 2u);
    // Only the first queued event of the class is compared: it belongs to
    // the first actor, so the second actor's event is appended again.
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.data.CustomEvents().size(), 3u);
    f.data.EndWrite(&other);
}

TEST_F(DataCustomEvents, SpecificOrOtherClassesAreAlwaysAppended)
{
    f.Begin();
    auto set = TQDCESubSelection::Create();
    set->IsGeneric = false;
    set->LastPoint = 3;
    f.data.AddCustomEvent(std::move(set));
    f.data.AddCustomEvent(TQDCESubSelection::Create()); // first of its class is specific
    EXPECT_EQ(f.data.CustomEvents().size(), 2u);
    auto again = TQDCESubSelection::Create();
    again->IsGeneric = false;
    f.data.AddCustomEvent(std::move(again)); // specific: never compared
    f.data.AddCustomEvent(TQDCELiveTracking::Create()); // other class
    f.data.AddCustomEvent(TQuorDataCustomEvent::Create()); // exact class only
    EXPECT_EQ(f.data.CustomEvents().size(), 5u);
    f.data.EndWrite(&f.actor);
}

// --- delivery -------------------------------------------------------------------------

TEST_F(DataDelivery, NothingQueuedCallsNoClient)
{
    Join({&a});
    EXPECT_EQ(f.data.SendEvents(), 0);
    f.Begin();
    EXPECT_EQ(f.EndAndSend(), 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(DataDelivery, EventsQueuedWithoutClientsReachTheFirstOneToRegister)
{
    f.Begin();
    f.data.SetPointSelected(3, true);
    f.data.SetPointSelected(5, true);
    EXPECT_EQ(f.EndAndSend(), 0);
    EXPECT_EQ(f.data.Events().size(), 2u);

    f.data.RegisterClient(&a);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: PointSelectionChange 3 true",
                          "A: PointSelectionChange 5 true", "A: CustomEvent TQDCEDataClientAdded A",
                          "A: EndEvents"}));
    EXPECT_EQ(a.LastActor, &a); // the registration's actor is the client
    EXPECT_TRUE(f.data.Events().empty());
}

TEST_F(DataDelivery, OnePassInRegistrationOrderWithEveryArgument)
{
    f.data.RegisterClient(&a);
    f.data.RegisterClient(&b);
    f.data.RegisterClient(&a); // already there: not twice
    EXPECT_EQ(f.data.Clients().size(), 2u);
    log.clear();

    f.Begin();
    f.data.SetPointSelected(2, true);
    f.data.SetPointSelected(2, false);
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.EndAndSend(), 3);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointSelectionChange 2 true",
                          "B: PointSelectionChange 2 true", "A: PointSelectionChange 2 false",
                          "B: PointSelectionChange 2 false", "A: CustomEvent TQDCELiveTracking",
                          "B: CustomEvent TQDCELiveTracking", "A: EndEvents", "B: EndEvents"}));
    EXPECT_EQ(b.LastData, &f.data);
    EXPECT_EQ(b.LastActor, &f.actor);
}

TEST_F(DataDelivery, EveryClassReachesItsOperation)
{
    struct TCase {
        std::function<void(TData&)> write;
        std::string expected;
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
        SCOPED_TRACE(c.expected);
        TFixture f;
        std::vector<std::string> log;
        TRecorder client("A", log);
        f.data.RegisterClient(&client);
        log.clear();
        f.Begin();
        c.write(f.data);
        EXPECT_EQ(f.EndAndSend(), 1);
        EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: " + c.expected, "A: EndEvents"}));
        f.data.UnregisterClient(&client);
    }
}

TEST_F(DataDelivery, EventOfAnUnlistedClassIsCountedButReachesNoClient)
{
    Join({&a});
    f.Begin();
    f.data.AddEvent(TQuorDataEvent::Create(1));
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
        EXPECT_EQ(f.data.SendEvents(), -1);
        f.data.BeginWrite(&b, false);
        f.data.AddCustomEvent(TQDCESubSelection::Create());
        f.data.EndWrite(&b);
        EXPECT_EQ(f.data.SendEvents(), -1); // nested: the running delivery takes it
    };
    f.Begin();
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    EXPECT_EQ(f.EndAndSend(), 2);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: CustomEvent TQDCELiveTracking",
                          "B: CustomEvent TQDCELiveTracking", "A: CustomEvent TQDCESubSelection",
                          "B: CustomEvent TQDCESubSelection", "A: EndEvents", "B: EndEvents"}));
    EXPECT_EQ(a.LastActor, &b);
    EXPECT_FALSE(f.data.Sending());
}

TEST_F(DataDelivery, WriteFromEndEventsRunsAnotherPass)
{
    Join({&a, &b});
    int passes = 0;
    a.OnEnd = [&] {
        if (++passes != 1)
            return;
        f.data.BeginWrite(&a, false);
        f.data.SetDimSelected(1, true);
        f.data.AddCustomEvent(TQDCELiveTracking::Create());
        f.data.EndWrite(&a);
        EXPECT_EQ(f.data.SendEvents(), -1);
    };
    f.Begin();
    f.data.SetPointColor(2, 5);
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
    f.data.SetPointSelected(0, true);
    f.data.SetPointSelected(1, true);
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    f.data.EndWrite(&f.actor);
    EXPECT_THROW(f.data.SendEvents(), std::runtime_error);
    EXPECT_FALSE(f.data.Sending());
    ASSERT_EQ(f.data.Events().size(), 2u);
    EXPECT_EQ(f.data.Events()[0]->Index, 0);
    EXPECT_EQ(f.data.Events()[1]->Index, 1);
    EXPECT_EQ(f.data.CustomEvents().size(), 1u);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointSelectionChange 0 true",
                          "B: PointSelectionChange 0 true"}));

    // The next delivery brings everything.
    fail = false;
    log.clear();
    EXPECT_EQ(f.data.SendEvents(), 3);
    EXPECT_EQ(log.size(), 10u);
    EXPECT_TRUE(f.data.Events().empty());

    // A failure in the custom phase keeps the custom queue as it is.
    b.OnCustom = [&](TQuorDataCustomEvent*) { throw std::runtime_error("custom failed"); };
    f.Begin();
    f.data.AddCustomEvent(TQDCELiveTracking::Create());
    f.data.EndWrite(&f.actor);
    EXPECT_THROW(f.data.SendEvents(), std::runtime_error);
    EXPECT_FALSE(f.data.Sending());
    EXPECT_EQ(f.data.CustomEvents().size(), 1u);
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
        f.data.BeginWrite(&a, false);
        f.data.AdjustForValueChange(); // would empty the queue being delivered
        f.data.EndWrite(&a);
    };
    f.Begin();
    f.data.SetPointSelected(0, true);
    f.data.SetPointSelected(1, true);
    EXPECT_EQ(f.EndAndSend(), 3);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: PointSelectionChange 0 true",
                          "A: PointSelectionChange 1 true", "A: EndEvents", "A: BeginEvents",
                          "A: ValueChange", "A: EndEvents"}));
}

TEST_F(DataDelivery, FailureRestoresTheBatchMergedWithWhatCameMeanwhile)
{
    Join({&a});
    a.OnData = [&] {
        f.data.BeginWrite(&a, false);
        f.data.SetDimSelected(0, true);
        f.data.EndWrite(&a);
        throw std::runtime_error("failed");
    };
    f.Begin();
    f.data.SetPointSelected(0, true);
    f.data.EndWrite(&f.actor);
    EXPECT_THROW(f.data.SendEvents(), std::runtime_error);
    // As if both had been queued in order: one generic value change.
    EXPECT_EQ(f.Queued(), (std::vector<std::string>{"TQuorDataEventValueChange"}));
    EXPECT_TRUE(f.data.Events()[0]->IsGeneric);
}

// --- lock -------------------------------------------------------------------------------

TEST_F(DataLock, BusyWithoutWaitingLeavesTheHolder)
{
    f.Begin();
    EXPECT_TRUE(f.data.Locked());
    EXPECT_TRUE(f.data.BeginWrite(&other, false));
    EXPECT_EQ(f.data.Actor(), &f.actor);
    f.data.EndWrite(&f.actor);
    EXPECT_FALSE(f.data.Locked());
    EXPECT_EQ(f.data.Actor(), nullptr);
}

TEST_F(DataLock, WaitingPumpsMessagesUntilTheHolderLetsGo)
{
    // The holder is a writer that runs from the event loop: one message
    // takes the lock, a later one writes and lets go. The waiting writer
    // must keep pumping while nothing is due yet.
    QTimer::singleShot(0, [&] {
        f.Begin();
        QTimer::singleShot(30, [&] {
            f.data.SetPointSelected(0, true);
            f.data.EndWrite(&f.actor);
        });
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return f.data.Locked(); }));
    EXPECT_FALSE(f.data.BeginWrite(&other, true));
    EXPECT_EQ(f.data.Actor(), &other);
    EXPECT_TRUE(f.data.IsPointSelected(0));
    // The holder's event waits for the delivery after the new writer's.
    ASSERT_EQ(f.data.Events().size(), 1u);
    EXPECT_EQ(f.data.Events()[0]->Actor, &f.actor);
    f.data.EndWrite(&other);
}

TEST_F(DataLock, ATransactionWhoseChangeRaisesLeavesTheObjectUnlocked)
{
    Join({&a});
    EXPECT_THROW(f.data.WriteTransaction(&f.actor,
                                         [&] {
                                             f.data.SetPointSelected(0, true);
                                             throw std::runtime_error("change failed");
                                         }),
                 std::runtime_error);
    EXPECT_FALSE(f.data.Locked());
    EXPECT_EQ(f.data.Actor(), nullptr);
    EXPECT_TRUE(log.empty());

    // The change made before the failure is still delivered, with the next
    // writer's, and the next writer does not wait.
    f.data.WriteTransaction(&other, [&] { f.data.SetPointSelected(2, true); });
    EXPECT_EQ(log, Lines({"A: BeginEvents", "A: PointSelectionChange 0 true",
                          "A: PointSelectionChange 2 true", "A: EndEvents"}));
}

TEST_F(DataLock, EndWriteAssertions)
{
    EXPECT_TRUE(AssertionText([&] { f.data.EndWrite(&f.actor); })
                    .startsWith(Expected("EndWrite called but Data object is not locked")));
    f.Begin();
    EXPECT_TRUE(AssertionText([&] { f.data.EndWrite(&other); })
                    .startsWith(Expected("EndWrite called with wrong Actor")));
    EXPECT_TRUE(f.data.Locked());
    EXPECT_EQ(f.data.Actor(), &f.actor);
    EXPECT_TRUE(AssertionText([&] { f.data.SendEvents(); })
                    .startsWith(Expected("TData: call to SendEvents on locked object detected.")));
    f.data.EndWrite(&f.actor);
}

TEST_F(DataLock, QueueingWhileUnlockedIsRefused)
{
    EXPECT_TRUE(AssertionText([&] { f.data.AddEvent(TQuorDataEventValueChange::Create()); })
                    .startsWith(Expected("AddEvent method called on non-locked object")));
    EXPECT_TRUE(AssertionText([&] { f.data.AddCustomEvent(TQDCELiveTracking::Create()); })
                    .startsWith(Expected("AddCustomEvent method called on non-locked object")));
    EXPECT_TRUE(f.data.Events().empty());
    EXPECT_TRUE(f.data.CustomEvents().empty());
}

// --- clients -------------------------------------------------------------------------------

TEST_F(DataClients, RegisteringTellsEveryClientAndUnregisteringTheLeaverToo)
{
    f.data.RegisterClient(&a);
    f.data.RegisterClient(&b);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "A: CustomEvent TQDCEDataClientAdded A", "A: EndEvents",
                          "A: BeginEvents", "B: BeginEvents", "A: CustomEvent TQDCEDataClientAdded B",
                          "B: CustomEvent TQDCEDataClientAdded B", "A: EndEvents", "B: EndEvents"}));
    log.clear();
    f.data.UnregisterClient(&a);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents",
                          "A: CustomEvent TQDCEDataClientBeingRemoved A",
                          "B: CustomEvent TQDCEDataClientBeingRemoved A", "A: EndEvents",
                          "B: EndEvents"}));
    EXPECT_EQ(f.data.Clients(), (std::vector<TObject*>{&b}));
    EXPECT_EQ(b.LastActor, &a);
    log.clear();
    f.Begin();
    f.data.SetPointColor(0, 2);
    f.EndAndSend();
    EXPECT_EQ(log, (Lines{"B: BeginEvents", "B: PointColorChange 0", "B: EndEvents"}));
    f.data.UnregisterClient(&b);
    EXPECT_TRUE(f.data.Clients().empty());
}

TEST_F(DataClients, ClientRemovedDuringTheDataPhaseIsNotCalledAgain)
{
    // Outside the clients' contract, but a client that has left (and may be
    // freed) must not be called.
    Join({&a, &b});
    a.OnData = [&] {
        if (f.data.Clients().size() == 2)
            f.data.UnregisterClient(&b);
    };
    f.Begin();
    f.data.SetPointSelected(0, true);
    f.data.SetPointSelected(1, true);
    EXPECT_EQ(f.EndAndSend(), 3);
    EXPECT_EQ(log, (Lines{"A: BeginEvents", "B: BeginEvents", "A: PointSelectionChange 0 true",
                          "A: PointSelectionChange 1 true",
                          "A: CustomEvent TQDCEDataClientBeingRemoved B", "A: EndEvents"}));
}

TEST_F(DataClients, LeaverIsRemovedEvenWhenItsNoticeFails)
{
    Join({&a});
    a.OnCustom = [](TQuorDataCustomEvent*) { throw std::runtime_error("failed"); };
    EXPECT_THROW(f.data.UnregisterClient(&a), std::runtime_error);
    EXPECT_TRUE(f.data.Clients().empty());
    EXPECT_FALSE(f.data.Sending());
}

TEST_F(DataClients, ObjectsWithoutTheInterfaceAreRefused)
{
    TActor notAClient;
    EXPECT_TRUE(AssertionText([&] { f.data.RegisterClient(&notAClient); })
                    .startsWith(Expected("RegisterClient: client does not implement interface IQuorDataClient")));
    EXPECT_TRUE(f.data.Clients().empty());
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
        client.Data = &f.data;
        f.data.RegisterClient(&client);
        f.Begin();
        f.data.SetPointColor(0, 1);
        f.data.EndWrite(&f.actor);
    }
    EXPECT_TRUE(TLeavingBase::Message.startsWith(
        Expected("SendEvents: Client does not implement IQuorDataEvent interface")));
    EXPECT_FALSE(f.data.Sending());
}
