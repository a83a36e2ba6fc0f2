#include "app/ExcelConnection.h"

#include "platform/Application.h"
#include "platform/Exceptions.h"

#include <QDBusMessage>

namespace {

const QString EventsInterface = QStringLiteral("org.quorbel.SpreadsheetEvents");

struct TSignal {
    const char* Name;
    const char* Signature;
};
constexpr TSignal Signals[] = {
    {"SheetCalculate", "(so)"},
    {"SheetChange", "(so)(so)"},
    {"WorkbookBeforeClose", "(so)"},
};

} // namespace

TExcelConnection::TExcelConnection(const TDispatch& App, TEvents Events)
    : FBus(RemoteBus(App)), FApp(RemoteReference(App)), FEvents(std::move(Events))
{
    RegisterAutomationTypes();
    if (FApp.IsNil() || !FBus.isConnected() || !Hook(true)) {
        Hook(false);
        throw EOleError(QStringLiteral("Cannot connect to the events of the spreadsheet application"));
    }
}

TExcelConnection::~TExcelConnection()
{
    Hook(false);
}

bool TExcelConnection::Hook(bool Connect)
{
    bool all = true;
    for (const TSignal& s : Signals) {
        const QString name = QString::fromLatin1(s.Name);
        const QString signature = QString::fromLatin1(s.Signature);
        all &= Connect ? FBus.connect(FApp.Service, FApp.Path.path(), EventsInterface, name, signature, this,
                                      SLOT(Deliver(QDBusMessage)))
                       : FBus.disconnect(FApp.Service, FApp.Path.path(), EventsInterface, name, signature, this,
                                         SLOT(Deliver(QDBusMessage)));
    }
    return all;
}

void TExcelConnection::Deliver(const QDBusMessage& Message)
{
    // The handlers may close the window and so free this connection: they
    // run from copies, and nothing of this object is touched afterwards.
    const TEvents events = FEvents;
    std::vector<TDispatch> objects;
    try {
        const TImportObject import = RemoteImporter(FBus);
        for (const QVariant& arg : Message.arguments())
            objects.push_back(DecodeAutomationValue(arg, import).AsDispatch());
    } catch (const EOleError&) {
        // Arguments that are no object references concern no workbook of
        // ours: ignored, as the events of other workbooks are.
        return;
    }
    try {
        const QString member = Message.member();
        if (member == QLatin1String("SheetCalculate") && objects.size() == 1 && events.SheetCalculate)
            events.SheetCalculate(objects[0]);
        else if (member == QLatin1String("SheetChange") && objects.size() == 2 && events.SheetChange)
            events.SheetChange(objects[0], objects[1]);
        else if (member == QLatin1String("WorkbookBeforeClose") && objects.size() == 1 && events.WorkbookBeforeClose)
            events.WorkbookBeforeClose(objects[0]);
    } catch (const std::exception& e) {
        // No exception may cross the bus library; it goes where every error
        // of the event loop goes.
        TApplication::HandleException(e);
    }
}
