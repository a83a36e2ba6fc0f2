#include "app/AutomationServer.h"

#include "app/Automation.h"
#include "app/StandaloneWindowUnit.h"
#include "platform/Application.h"
#include "platform/DBusDispatch.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"

#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

using namespace AutomationRegistration;

TStartMode ParseStartMode(const QStringList& Arguments)
{
    auto has = [&](std::initializer_list<const char*> Names) {
        for (const QString& arg : Arguments) {
            if (arg.size() < 2 || (arg[0] != u'/' && arg[0] != u'-'))
                continue;
            for (const char* name : Names)
                if (arg.mid(1).compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                    return true;
        }
        return false;
    };
    if (has({"AUTOMATION", "EMBEDDING"}))
        return TStartMode::Automation;
    if (has({"REGSERVER"}))
        return TStartMode::Register;
    if (has({"UNREGSERVER"}))
        return TStartMode::Unregister;
    return TStartMode::Plain;
}

// ---- registration ------------------------------------------------------------------------------

namespace {

QString DBusFolder(const QString& DataHome)
{
    const QString home = DataHome.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                             : DataHome;
    return home + QStringLiteral("/dbus-1");
}

void WriteFile(const QString& Name, const QByteArray& Contents)
{
    if (!QDir().mkpath(QFileInfo(Name).absolutePath()))
        throw Exception(QStringLiteral("Cannot create the folder of %1").arg(Name));
    QSaveFile file(Name);
    if (!file.open(QIODevice::WriteOnly) || file.write(Contents) != Contents.size() || !file.commit())
        throw Exception(QStringLiteral("Cannot write %1: %2").arg(Name, file.errorString()));
}

} // namespace

QString AutomationRegistration::ServiceFile(const QString& DataHome)
{
    return DBusFolder(DataHome) + QStringLiteral("/services/%1.service").arg(QLatin1String(ServiceName));
}

QString AutomationRegistration::InterfaceFile(const QString& DataHome)
{
    return DBusFolder(DataHome) + QStringLiteral("/interfaces/%1.xml").arg(QLatin1String(ServiceName));
}

// Resources of a static library are brought in by hand.
static void InitAutomationResources()
{
    Q_INIT_RESOURCE(automation);
}

void AutomationRegistration::Register(const QString& Program, const QString& DataHome)
{
    InitAutomationResources();
    // The activation file's Exec line takes the program's path as one word.
    QString exec = Program;
    exec.replace(u'\\', QLatin1String("\\\\")).replace(u' ', QLatin1String("\\ "));
    const QByteArray service = QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 -Embedding\n")
                                   .arg(QLatin1String(ServiceName), exec)
                                   .toUtf8();
    QFile xml(QStringLiteral(":/automation/org.quorbel.QuorbelStandalone.xml"));
    if (!xml.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("The interface description is missing from the program"));
    WriteFile(InterfaceFile(DataHome), xml.readAll());
    WriteFile(ServiceFile(DataHome), service);
}

void AutomationRegistration::Unregister(const QString& DataHome)
{
    QFile::remove(ServiceFile(DataHome));
    QFile::remove(InterfaceFile(DataHome));
}

// ---- the server --------------------------------------------------------------------------------

TAutomationServer::TAutomationServer(TStartMode Mode, TQuorbelWindow* Window, QDBusConnection Bus)
    : Quit([] { TApplication::Terminate(); }), FMode(Mode), FWindow(Window), FBus(std::move(Bus))
{
    RegisterAutomationTypes();
    FWatcher = new QDBusServiceWatcher(this);
    FWatcher->setConnection(FBus);
    FWatcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(FWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this](const QString& Caller) { CallerLeft(Caller); });
    // A window closed by Close, with nobody left holding an object, ends the
    // run as well: nothing is left to close it.
    if (Window)
        connect(Window, &QObject::destroyed, this, [this] {
            if (FObjects.empty())
                LastReferenceGone();
        });
}

TAutomationServer::~TAutomationServer()
{
    for (auto& [path, entry] : FObjects)
        FBus.unregisterObject(path);
    if (FNameHeld)
        FBus.unregisterService(QLatin1String(ServiceName));
}

bool TAutomationServer::Start()
{
    if (!FBus.isConnected()) {
        ShowMessage(QStringLiteral("Exception in initialization secton of unit automation. ExceptionClassName: "
                                   "EOleError. Exception-Message: ") +
                    (FBus.lastError().message().isEmpty() ? QStringLiteral("no session bus")
                                                          : FBus.lastError().message()));
        return false;
    }
    if (!FBus.registerObject(QLatin1String(FactoryPath), this, QDBusConnection::ExportScriptableSlots)) {
        ShowMessage(QStringLiteral("Exception in initialization secton of unit automation. ExceptionClassName: "
                                   "EOleError. Exception-Message: the factory object cannot be served"));
        return false;
    }
    // A name owned by another running instance is queued for: that instance
    // serves the next client and lets go of it afterwards.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = FBus.interface()->registerService(
        QLatin1String(ServiceName), QDBusConnectionInterface::QueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        ShowMessage(QStringLiteral("An error occured: COM server may not be able to register itself. ErrorCode=") +
                    QStringLiteral("%1").arg(uint(reply.error().type()), 8, 16, QLatin1Char('0')).toUpper() +
                    QStringLiteral(" Please re-install the software."));
        return false;
    }
    FNameHeld = true;
    return true;
}

QDBusObjectPath TAutomationServer::CreateObject()
{
    const QString path = QStringLiteral("%1/Object%2").arg(QLatin1String(FactoryPath)).arg(++FCreated);
    auto object = std::make_unique<TQuorbelStandalone>(*this, FWindow);
    if (!FBus.registerObject(path, object.get(),
                             QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportScriptableSignals)) {
        sendErrorReply(QLatin1String(AutomationBus::ErrorName), QStringLiteral("The object cannot be served"));
        return {};
    }
    TEntry& entry = FObjects[path];
    entry.Object = std::move(object);
    const QString caller = calledFromDBus() ? message().service() : QString();
    entry.References[caller] += 1;
    if (!caller.isEmpty())
        FWatcher->addWatchedService(caller);
    // Single use: the next client gets a process of its own.
    if (FNameHeld) {
        FBus.unregisterService(QLatin1String(ServiceName));
        FNameHeld = false;
    }
    return QDBusObjectPath(path);
}

void TAutomationServer::Release(TQuorbelStandalone* Object, const QString& Caller)
{
    for (auto it = FObjects.begin(); it != FObjects.end(); ++it) {
        if (it->second.Object.get() != Object)
            continue;
        auto held = it->second.References.find(Caller);
        if (held == it->second.References.end())
            throw EOleError(QStringLiteral("The caller holds no reference to this object"));
        if (--held.value() == 0)
            it->second.References.erase(held);
        if (it->second.References.isEmpty())
            Drop(it);
        return;
    }
}

bool TAutomationServer::HoldsReference(const TQuorbelStandalone* Object, const QString& Caller) const
{
    for (const auto& [path, entry] : FObjects)
        if (entry.Object.get() == Object)
            return entry.References.contains(Caller);
    return false;
}

void TAutomationServer::CallerLeft(const QString& Caller)
{
    FWatcher->removeWatchedService(Caller);
    for (auto it = FObjects.begin(); it != FObjects.end();) {
        it->second.References.remove(Caller);
        if (it->second.References.isEmpty()) {
            auto next = std::next(it);
            Drop(it);
            it = next;
        } else {
            ++it;
        }
    }
}

void TAutomationServer::Drop(std::map<QString, TEntry>::iterator Entry)
{
    FBus.unregisterObject(Entry->first);
    // The object may be in the middle of its own call.
    Entry->second.Object.release()->deleteLater();
    FObjects.erase(Entry);
    if (FObjects.empty())
        LastReferenceGone();
}

void TAutomationServer::LastReferenceGone()
{
    // A bus-started run lives for its clients; a plain one for its window.
    if ((FMode == TStartMode::Automation || !FWindow) && Quit)
        Quit();
}

bool TAutomationServer::MayEnd()
{
    if (FObjects.empty())
        return true;
    return MessageDlg(QStringLiteral("Quorbel is still in use by another program (%1 automation object(s)). "
                                     "Close it anyway?")
                          .arg(FObjects.size()),
                      TMsgDlgType::mtWarning, mbYesNo | mbDefault(mbNo)) == mrYes;
}
