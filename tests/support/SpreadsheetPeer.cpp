#include "support/SpreadsheetPeer.h"

#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

#include <csignal>

#include <sys/prctl.h>

namespace {
int NextPeer = 0;
}

TSpreadsheetPeer::TSpreadsheetPeer(const QString& BusAddress)
    : FBus(BusAddress.isEmpty() ? QDBusConnection::sessionBus()
                                : QDBusConnection::connectToBus(BusAddress, QStringLiteral("peer-") + BusAddress))
{
    RegisterAutomationTypes();
    if (!FBus.isConnected())
        return;
    if (!BusAddress.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), BusAddress);
        FProcess.setProcessEnvironment(env);
    }
    FName = QStringLiteral("org.quorbel.TestSpreadsheet.p%1_%2")
                .arg(QCoreApplication::applicationPid())
                .arg(++NextPeer);
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // It shares the test runner's output: should the test die, the peer
    // must not live on holding that open.
    FProcess.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    FProcess.start(QStringLiteral(QUORBEL_SPREADSHEET_PEER), {QStringLiteral("--name"), FName});
    FStarted = ProcessEventsUntil([&] {
        return FProcess.state() == QProcess::Running &&
               FBus.interface()->isServiceRegistered(FName).value();
    });
}

TSpreadsheetPeer::~TSpreadsheetPeer()
{
    if (FProcess.state() != QProcess::NotRunning) {
        FProcess.terminate();
        if (!FProcess.waitForFinished(5000))
            FProcess.kill();
        FProcess.waitForFinished(5000);
    }
}

TDBusObjectRef TSpreadsheetPeer::Application() const
{
    return {FName, QDBusObjectPath(QStringLiteral("/Application"))};
}

QVariant TSpreadsheetPeer::Control(const QString& Member, const QVariantList& Args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(FName, QStringLiteral("/Control"),
                                                       QStringLiteral("org.quorbel.SpreadsheetControl"), Member);
    call.setArguments(Args);
    const QDBusMessage reply = FBus.call(call);
    if (reply.type() == QDBusMessage::ErrorMessage)
        throw EOleError(reply.errorMessage());
    return reply.arguments().isEmpty() ? QVariant() : reply.arguments().constFirst();
}

void TSpreadsheetPeer::AddTable(const QString& Book, int Rows, int Columns)
{
    Control(QStringLiteral("AddWorkbook"), {Book});
    for (int r = 1; r <= Rows; ++r)
        for (int c = 1; c <= Columns; ++c) {
            QVariant value;
            if (r == 1 && c == 1)
                value = QString();
            else if (r == 1)
                value = QStringLiteral("Dim %1").arg(c - 1);
            else if (c == 1)
                value = QStringLiteral("Item %1").arg(r - 1);
            else
                value = double(r * 10 + c);
            Control(QStringLiteral("SetCell"), {Book, r, c, QVariant::fromValue(QDBusVariant(value))});
        }
    Control(QStringLiteral("Select"), {Book, 1, 1, Rows, Columns});
}

void TSpreadsheetPeer::Kill()
{
    FProcess.kill();
    FProcess.waitForFinished(5000);
}
