#include "app/Automation.h"

#include "QuorDataClients/ActionClient.h"
#include "app/AutomationServer.h"
#include "app/StandaloneWindowUnit.h"
#include "platform/Exceptions.h"
#include "platform/MouseQueue.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

const QString SpreadsheetApplicationInterface = QStringLiteral("org.quorbel.SpreadsheetApplication");

// Whether the object says in its introspection data that it is a spreadsheet
// application, as a cast to the application's own interface would.
bool IsSpreadsheetApplication(const QDBusConnection& Bus, const TDBusObjectRef& Ref)
{
    QDBusMessage introspect = QDBusMessage::createMethodCall(Ref.Service, Ref.Path.path(),
                                                             QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                                             QStringLiteral("Introspect"));
    introspect.setAutoStartService(false);
    const QDBusMessage reply = Bus.call(introspect);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().toString().contains(
        QStringLiteral("<interface name=\"%1\"").arg(SpreadsheetApplicationInterface));
}

} // namespace

TQuorbelStandalone::TQuorbelStandalone(TAutomationServer& Server, TQuorbelWindow* Window)
    : FServer(Server), FWindow(Window)
{
}

TQuorbelWindow& TQuorbelStandalone::MainWindow() const
{
    if (!FWindow)
        throw EOleError(QStringLiteral("The main window is closed"));
    return *FWindow;
}

void TQuorbelStandalone::Serve(std::function<void()> Body)
{
    if (!calledFromDBus()) {
        Body();
        return;
    }
    // Only a holder of a reference may call; the object is no concern of
    // any other connection on the bus.
    if (!FServer.HoldsReference(this, message().service())) {
        sendErrorReply(QLatin1String(AutomationBus::ErrorName),
                       QStringLiteral("The caller holds no reference to this object"));
        return;
    }
    auto run = [Body = std::move(Body), call = message(), bus = connection()] {
        QDBusMessage reply;
        try {
            Body();
            reply = call.createReply();
        } catch (const std::exception& e) {
            reply = call.createErrorReply(QLatin1String(AutomationBus::ErrorName), ExceptionMessage(e));
        }
        bus.send(reply);
    };
    if (MouseQueue::IsPolling()) {
        // A drag holds the data object's views in flux: the call waits.
        setDelayedReply(true);
        MouseQueue::RunAfterPolling(std::move(run));
        return;
    }
    setDelayedReply(true);
    run();
}

void TQuorbelStandalone::Open(const TDBusObjectRef& ExcelApp)
{
    // Nil is exactly ("", "/"); any other path without a bus name refers to
    // nothing and must not pass for it.
    const bool invalid = ExcelApp.IsNil() && ExcelApp.Path.path() != QLatin1String("/");
    TDispatch app = invalid ? TDispatch() : BorrowedDispatch(FServer.Bus(), ExcelApp);
    const TDBusObjectRef ref = ExcelApp;
    Serve([this, app, ref, invalid] {
        if (invalid)
            throw EOleError(QStringLiteral("Invalid object reference: %1 without a bus name").arg(ref.Path.path()));
        if (app.IsAssigned() && !IsSpreadsheetApplication(FServer.Bus(), ref))
            throw EOleError(QStringLiteral("No such interface supported: %1 is no spreadsheet application")
                                .arg(ref.Path.path()));
        MainWindow().OpenExcel(app);
        // A failed read has closed the window already.
        if (FWindow) {
            QPointer<TQuorbelStandalone> self(this);
            FWindow->CloseRequest = [self](TQuorbelWindow* Sender) {
                if (self)
                    self->MainWindowClosed(Sender);
            };
        }
    });
}

void TQuorbelStandalone::ToggleQuorMethod(int MethodID)
{
    Serve([this, MethodID] {
        if (MethodID < 1 || MethodID > 4)
            return;
        TQuorActionClient* actions = MainWindow().ActionClient;
        if (!actions)
            throw EOleError(QStringLiteral("The main window is not ready"));
        switch (MethodID) {
        case 1:
            actions->ToggleParallelCoordinates();
            break;
        case 2:
            actions->TogglePermutationMatrix();
            break;
        case 3:
            actions->ToggleScatterplotMatrix();
            break;
        default:
            actions->ToggleAndrewsCurves();
            break;
        }
    });
}

void TQuorbelStandalone::Close()
{
    Serve([this] {
        if (!FWindow)
            return;
        FWindow->CloseRequest = nullptr;
        // Gone at once, without the closing steps: no log line, no upload.
        delete FWindow.data();
    });
}

void TQuorbelStandalone::Release()
{
    const QString caller = calledFromDBus() ? message().service() : QString();
    Serve([this, caller] { FServer.Release(this, caller); });
}

void TQuorbelStandalone::MainWindowClosed(TQuorbelWindow* Sender)
{
    if (Sender)
        Sender->CloseRequest = nullptr;
    emit OnClose();
}
