// The automation path between processes: the program started by a private
// session bus, the spreadsheet peer as a process of its own, and this
// program as the add-in. One toggle round trip (a method id that does
// nothing), and an Open of a 1,000 x 10 selection, which reads every cell
// through the bus, once as it is and once as whole columns.
#include "platform/DBusDispatch.h"
#include "support/PrivateBus.h"
#include "support/SpreadsheetPeer.h"

#include "platform/Application.h"

#include <QDBusMessage>
#include <QDBusObjectPath>

#include <benchmark/benchmark.h>

#include <memory>
#include <set>

namespace {

const QString ObjectInterface = QStringLiteral("org.quorbel.IQuorbelStandalone");

struct TAutomationSetup {
    TPrivateBus Bus;
    std::unique_ptr<TSpreadsheetPeer> Peer;
    QString Program;
    QString Object;
    QString Failure;
    // The item counts whose tables the peer holds already.
    std::set<int> Tables;

    TAutomationSetup()
    {
        Failure = Bus.Start(QStringLiteral(QUORBEL_PROGRAM));
        if (!Failure.isEmpty())
            return;
        RegisterAutomationTypes();
        Peer = std::make_unique<TSpreadsheetPeer>(Bus.Address());
        if (!Peer->Started()) {
            Failure = QStringLiteral("the spreadsheet peer did not start");
            return;
        }
        const QDBusMessage created = Bus.Bus().call(
            QDBusMessage::createMethodCall(QStringLiteral("org.quorbel.QuorbelStandalone"),
                                           QStringLiteral("/org/quorbel/QuorbelStandalone"),
                                           QStringLiteral("org.quorbel.ClassFactory"), QStringLiteral("CreateObject")),
            QDBus::Block, 60000);
        if (created.type() != QDBusMessage::ReplyMessage) {
            Failure = created.errorMessage();
            return;
        }
        Program = created.service();
        Object = created.arguments().constFirst().value<QDBusObjectPath>().path();
    }

    QDBusMessage Call(const QString& Member, const QVariantList& Args)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(Program, Object, ObjectInterface, Member);
        call.setArguments(Args);
        return Bus.Bus().call(call, QDBus::Block, 120000);
    }
};

// Made on first use, freed by main before the application object goes.
std::unique_ptr<TAutomationSetup> TheSetup;

TAutomationSetup& Setup()
{
    if (!TheSetup)
        TheSetup = std::make_unique<TAutomationSetup>();
    return *TheSetup;
}

void BM_ToggleRoundTrip(benchmark::State& state)
{
    TAutomationSetup& setup = Setup();
    if (!setup.Failure.isEmpty()) {
        state.SkipWithError(qPrintable(setup.Failure));
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(setup.Call(QStringLiteral("ToggleQuorMethod"), {0}).type());
}
BENCHMARK(BM_ToggleRoundTrip)->Unit(benchmark::kMillisecond);

void BM_OpenSelection(benchmark::State& state)
{
    TAutomationSetup& setup = Setup();
    if (!setup.Failure.isEmpty()) {
        state.SkipWithError(qPrintable(setup.Failure));
        return;
    }
    const int items = int(state.range(0));
    const QString book = QStringLiteral("Book%1").arg(items);
    // Each table once per run: the program follows the workbook it opened,
    // so writing its cells again for a repetition would have it re-read the
    // whole table after every cell.
    if (setup.Tables.insert(items).second)
        setup.Peer->AddTable(book, items + 1, 11);
    for (auto _ : state) {
        const QDBusMessage reply = setup.Call(QStringLiteral("Open"), {QVariant::fromValue(setup.Peer->Application())});
        if (reply.type() != QDBusMessage::ReplyMessage)
            state.SkipWithError(qPrintable(reply.errorMessage()));
    }
}
BENCHMARK(BM_OpenSelection)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same table handed over as whole columns A:K, over a million rows each:
// cut to the cells in use, it costs what BM_OpenSelection costs, where
// reading every cell of the columns would take hours.
void BM_OpenWholeColumns(benchmark::State& state)
{
    TAutomationSetup& setup = Setup();
    if (!setup.Failure.isEmpty()) {
        state.SkipWithError(qPrintable(setup.Failure));
        return;
    }
    const int items = int(state.range(0));
    const QString book = QStringLiteral("Columns%1").arg(items);
    if (setup.Tables.insert(-items).second)
        setup.Peer->AddTable(book, items + 1, 11);
    setup.Peer->Control(QStringLiteral("Select"), {book, 1, 1, 1048576, 11});
    for (auto _ : state) {
        const QDBusMessage reply = setup.Call(QStringLiteral("Open"), {QVariant::fromValue(setup.Peer->Application())});
        if (reply.type() != QDBusMessage::ReplyMessage)
            state.SkipWithError(qPrintable(reply.errorMessage()));
    }
}
BENCHMARK(BM_OpenWholeColumns)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheSetup.reset();
    return 0;
}
