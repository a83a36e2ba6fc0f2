// quorbel-spreadsheet: the spreadsheet model served on the session bus, so
// that the program's whole automation path runs against a separate process.
//
//   quorbel-spreadsheet [--name BUSNAME]
//
// The application object is /Application (interfaces org.quorbel.Automation
// and org.quorbel.SpreadsheetApplication); every object it hands out gets a
// path of its own until its references are released. Tests drive the peer
// through /Control, interface org.quorbel.SpreadsheetControl:
//   AddWorkbook(s Name)                    a workbook with the sheet "Sheet1", made active
//   SetCell(s Workbook, i Row, i Column, v Value)  an edit: SheetChange(sheet, cell)
//   Select(s Workbook, i Top, i Left, i Rows, i Columns)
//   Calculate(s Workbook)                  SheetCalculate(sheet)
//   CloseWorkbook(s Workbook)              WorkbookBeforeClose(workbook), then closed
//   LiveObjects() -> i                     exported objects not yet released
//   ApplicationReleases() -> i             releases of the application object, which is
//                                          never handed out counted
//   ValueReads(s Workbook) -> i            cell reads asked of the workbook's first sheet
//   RefuseReadAt(s Workbook, i Row, i Column)  reads of that cell fail
//   ExitAfterReads(s Workbook, i Count)    the peer ends abruptly, as a crash would, once
//                                          the first sheet has answered Count cell reads
// and, to act as a faulty or hostile spreadsheet:
//   Emit(s Signal, s Workbook, i Count)    Count signals at once, each about the first
//                                          sheet (SheetChange: with its cell A1)
//   EmitReference(s Signal, (so) Object)   the signal with Object as every argument,
//                                          whatever it refers to
//   Misanswer(s Workbook, s Address, s Member, v Answer)  that member of the first sheet
//                                          (Address "") or of its range at Address answers
//                                          Answer ("Rows.Count": the count of its rows)
// Events are signals of /Application, interface org.quorbel.SpreadsheetEvents.

#include "platform/DBusDispatch.h"
#include "platform/Exceptions.h"
#include "spreadsheet/SpreadsheetModel.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <unordered_map>

namespace {

const QString ApplicationPath = QStringLiteral("/Application");
const QString ControlPath = QStringLiteral("/Control");
const QString EventsInterface = QStringLiteral("org.quorbel.SpreadsheetEvents");
const QString ControlInterface = QStringLiteral("org.quorbel.SpreadsheetControl");

const char* const AutomationXml = R"xml(  <interface name="org.quorbel.Automation">
    <method name="Invoke">
      <arg name="Member" type="s" direction="in"/>
      <arg name="Flags" type="u" direction="in"/>
      <arg name="Args" type="av" direction="in"/>
      <arg name="Result" type="v" direction="out"/>
    </method>
    <method name="Release"/>
  </interface>
)xml";

const char* const ApplicationXml = R"xml(  <interface name="org.quorbel.SpreadsheetApplication"/>
  <interface name="org.quorbel.SpreadsheetEvents">
    <signal name="SheetCalculate"><arg name="Sheet" type="(so)"/></signal>
    <signal name="SheetChange"><arg name="Sheet" type="(so)"/><arg name="Target" type="(so)"/></signal>
    <signal name="WorkbookBeforeClose"><arg name="Workbook" type="(so)"/></signal>
  </interface>
)xml";

class TPeer : public QDBusVirtualObject {
public:
    explicit TPeer(const QDBusConnection& Bus) : FBus(Bus)
    {
        FModel = std::make_shared<TSpreadsheetModel>();
    }

    QString introspect(const QString& Path) const override
    {
        if (Path == ControlPath)
            return QStringLiteral("  <interface name=\"%1\"/>\n").arg(ControlInterface);
        QString xml = QString::fromLatin1(AutomationXml);
        if (Path == ApplicationPath)
            xml += QString::fromLatin1(ApplicationXml);
        return xml;
    }

    bool handleMessage(const QDBusMessage& Message, const QDBusConnection& Connection) override
    {
        if (Message.type() != QDBusMessage::MethodCallMessage)
            return false;
        QDBusMessage reply;
        try {
            if (Message.path() == ControlPath)
                reply = Control(Message);
            else if (Message.interface() == QLatin1String(AutomationBus::Interface) || Message.interface().isEmpty())
                reply = Automation(Message);
            else
                return false;
        } catch (const std::exception& e) {
            reply = Message.createErrorReply(QLatin1String(AutomationBus::ErrorName), ExceptionMessage(e));
        }
        Connection.send(reply);
        return true;
    }

private:
    struct TExported {
        TDispatch Object;
        int References = 0;
    };

    TDBusObjectRef Export(const TDispatch& Object)
    {
        if (Object == FModel->AsDispatch())
            return {FBus.baseService(), QDBusObjectPath(ApplicationPath)};
        const auto known = FPaths.find(Object.Object().get());
        if (known != FPaths.end()) {
            ++FObjects[known->second].References;
            return {FBus.baseService(), QDBusObjectPath(known->second)};
        }
        const QString path = QStringLiteral("/Objects/%1").arg(++FNextId);
        FObjects[path] = {Object, 1};
        FPaths[Object.Object().get()] = path;
        return {FBus.baseService(), QDBusObjectPath(path)};
    }

    TDispatch Import(const TDBusObjectRef& Ref)
    {
        if (Ref.IsNil())
            return TDispatch();
        if (Ref.Service != FBus.baseService())
            throw EOleError(QStringLiteral("Objects of other processes are not accepted"));
        return Find(Ref.Path.path());
    }

    TDispatch Find(const QString& Path)
    {
        if (Path == ApplicationPath)
            return FModel->AsDispatch();
        const auto found = FObjects.find(Path);
        if (found == FObjects.end())
            throw EOleError(QStringLiteral("No object at %1").arg(Path));
        return found->second.Object;
    }

    QDBusMessage Automation(const QDBusMessage& Message)
    {
        if (Message.member() == QLatin1String("Release")) {
            if (Message.path() == ApplicationPath)
                ++FApplicationReleases;
            const auto found = FObjects.find(Message.path());
            if (found != FObjects.end() && --found->second.References <= 0) {
                FPaths.erase(found->second.Object.Object().get());
                FObjects.erase(found);
            }
            return Message.createReply();
        }
        if (Message.member() != QLatin1String("Invoke") || Message.signature() != QLatin1String("suav"))
            throw EOleError(QStringLiteral("Unknown member %1(%2)").arg(Message.member(), Message.signature()));
        const TDispatch object = Find(Message.path());
        const QString name = Message.arguments().at(0).toString();
        const uint flags = Message.arguments().at(1).toUInt();
        TDispatchArgs args;
        for (const QVariant& arg : qdbus_cast<QVariantList>(Message.arguments().at(2)))
            args.push_back(DecodeAutomationValue(arg, [this](const TDBusObjectRef& Ref) { return Import(Ref); }));

        TDispatchValue result;
        if (flags & AutomationBus::dfPut) {
            if (args.empty())
                throw EOleError(QStringLiteral("%1: no value to store").arg(name));
            const TDispatchValue value = args.back();
            args.pop_back();
            object.Put(name, args, value);
            result = TVariant();
        } else if (flags & AutomationBus::dfGet) {
            result = object.Get(name, args);
        } else {
            result = object.Call(name, args);
        }
        if (FExitSheet && FExitSheet->ValueReads() >= FExitAfterReads)
            std::_Exit(3);
        const QVariant wire =
            EncodeAutomationValue(result, [this](const TDispatch& Object) { return Export(Object); });
        return Message.createReply(QVariant::fromValue(QDBusVariant(wire)));
    }

    std::shared_ptr<TWorkbookModel> Workbook(const QString& Name) const
    {
        const auto found = FWorkbooks.find(Name);
        if (found == FWorkbooks.end())
            throw EOleError(QStringLiteral("No workbook %1").arg(Name));
        return found->second;
    }

    void Emit(const QString& Signal, const QList<TDispatch>& Objects)
    {
        QDBusMessage signal = QDBusMessage::createSignal(ApplicationPath, EventsInterface, Signal);
        for (const TDispatch& object : Objects)
            signal << QVariant::fromValue(Export(object));
        FBus.send(signal);
    }

    // The objects that the signal carries about the sheet.
    static QList<TDispatch> SignalObjects(const QString& Signal, const std::shared_ptr<TSheetModel>& Sheet)
    {
        if (Signal == QLatin1String("SheetChange"))
            return {Sheet->AsDispatch(), Sheet->Range(1, 1, 1, 1)};
        if (Signal == QLatin1String("WorkbookBeforeClose"))
            return {Sheet->Workbook()->AsDispatch()};
        return {Sheet->AsDispatch()};
    }

    void EmitReference(const QString& Signal, const TDBusObjectRef& Ref)
    {
        QDBusMessage signal = QDBusMessage::createSignal(ApplicationPath, EventsInterface, Signal);
        for (int i = Signal == QLatin1String("SheetChange") ? 2 : 1; i > 0; --i)
            signal << QVariant::fromValue(Ref);
        FBus.send(signal);
    }

    QDBusMessage Control(const QDBusMessage& Message)
    {
        const QVariantList a = Message.arguments();
        const QString member = Message.member();
        if (member == QLatin1String("AddWorkbook") && a.size() == 1) {
            auto workbook = FModel->AddWorkbook(a[0].toString());
            workbook->AddSheet(QStringLiteral("Sheet1"));
            FWorkbooks[a[0].toString()] = workbook;
        } else if (member == QLatin1String("SetCell") && a.size() == 4) {
            auto sheet = Workbook(a[0].toString())->Sheets().front();
            const TDispatchValue value = DecodeAutomationValue(a[3], {});
            sheet->SetCell(a[1].toInt(), a[2].toInt(), value.AsVariant());
            Emit(QStringLiteral("SheetChange"), {sheet->AsDispatch(), sheet->Range(a[1].toInt(), a[2].toInt(), 1, 1)});
        } else if (member == QLatin1String("Select") && a.size() == 5) {
            auto workbook = Workbook(a[0].toString());
            FModel->SetActiveWorkbook(workbook);
            FModel->Select(workbook->Sheets().front(), a[1].toInt(), a[2].toInt(), a[3].toInt(), a[4].toInt());
        } else if (member == QLatin1String("Calculate") && a.size() == 1) {
            Emit(QStringLiteral("SheetCalculate"), {Workbook(a[0].toString())->Sheets().front()->AsDispatch()});
        } else if (member == QLatin1String("CloseWorkbook") && a.size() == 1) {
            auto workbook = Workbook(a[0].toString());
            Emit(QStringLiteral("WorkbookBeforeClose"), {workbook->AsDispatch()});
            FModel->CloseWorkbook(workbook);
            FWorkbooks.erase(a[0].toString());
        } else if (member == QLatin1String("ValueReads") && a.size() == 1) {
            return Message.createReply(Workbook(a[0].toString())->Sheets().front()->ValueReads());
        } else if (member == QLatin1String("RefuseReadAt") && a.size() == 3) {
            Workbook(a[0].toString())->Sheets().front()->RefuseReadAt(a[1].toInt(), a[2].toInt());
        } else if (member == QLatin1String("ExitAfterReads") && a.size() == 2) {
            FExitSheet = Workbook(a[0].toString())->Sheets().front();
            FExitAfterReads = a[1].toInt();
        } else if (member == QLatin1String("Emit") && a.size() == 3) {
            const auto sheet = Workbook(a[1].toString())->Sheets().front();
            for (int i = 0; i < a[2].toInt(); ++i)
                Emit(a[0].toString(), SignalObjects(a[0].toString(), sheet));
        } else if (member == QLatin1String("EmitReference") && a.size() == 2) {
            EmitReference(a[0].toString(), qdbus_cast<TDBusObjectRef>(a[1]));
        } else if (member == QLatin1String("Misanswer") && a.size() == 4) {
            Workbook(a[0].toString())->Sheets().front()->Misanswer(
                a[1].toString(), a[2].toString(),
                DecodeAutomationValue(a[3], [this](const TDBusObjectRef& Ref) { return Import(Ref); }));
        } else if (member == QLatin1String("LiveObjects") && a.isEmpty()) {
            return Message.createReply(static_cast<int>(FObjects.size()));
        } else if (member == QLatin1String("ApplicationReleases") && a.isEmpty()) {
            return Message.createReply(FApplicationReleases);
        } else {
            throw EOleError(QStringLiteral("Unknown control %1(%2)").arg(member, Message.signature()));
        }
        return Message.createReply();
    }

    QDBusConnection FBus;
    std::shared_ptr<TSpreadsheetModel> FModel;
    std::map<QString, std::shared_ptr<TWorkbookModel>> FWorkbooks;
    std::map<QString, TExported> FObjects;
    // The path of every exported object, so that a reference handed out again
    // is found without a search.
    std::unordered_map<const IAutomationObject*, QString> FPaths;
    int FNextId = 0;
    std::shared_ptr<TSheetModel> FExitSheet;
    int FExitAfterReads = 0;
    int FApplicationReleases = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    RegisterAutomationTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "quorbel-spreadsheet: no session bus\n");
        return 1;
    }
    TPeer peer(bus);
    if (!bus.registerVirtualObject(QStringLiteral("/"), &peer, QDBusConnection::SubPath)) {
        std::fprintf(stderr, "quorbel-spreadsheet: cannot serve objects\n");
        return 1;
    }
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--name"));
    if (at >= 0 && at + 1 < args.size() && !bus.registerService(args[at + 1])) {
        std::fprintf(stderr, "quorbel-spreadsheet: cannot own %s\n", qPrintable(args[at + 1]));
        return 1;
    }
    return app.exec();
}
