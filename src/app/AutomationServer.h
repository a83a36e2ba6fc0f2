#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

class QDBusServiceWatcher;
class TQuorbelStandalone;
class TQuorbelWindow;

// How the program was started, from its command line.
enum class TStartMode { Plain, Automation, Register, Unregister };

// Switches begin with "/" or "-" and are compared without regard to letter
// case; the automation switches are tested first, then the registration
// ones; every other argument is ignored.
TStartMode ParseStartMode(const QStringList& Arguments);

// The registration that lets the session bus start the program for an
// automation client: a service activation file (Exec with "-Embedding") and
// the interfaces' introspection data, under DataHome/dbus-1 (the user's data
// folder when empty).
namespace AutomationRegistration {
inline constexpr const char* ServiceName = "org.quorbel.QuorbelStandalone";
inline constexpr const char* FactoryPath = "/org/quorbel/QuorbelStandalone";
// Raises Exception with the system's reason when a file cannot be written.
void Register(const QString& Program, const QString& DataHome = {});
// Removes both files; failures are ignored.
void Unregister(const QString& DataHome = {});
QString ServiceFile(const QString& DataHome = {});
QString InterfaceFile(const QString& DataHome = {});
} // namespace AutomationRegistration

// The automation server on the session bus: owns the well-known name until
// the first object is created (single use: the bus starts a new process for
// the next client), makes the automation objects and counts the references
// of every caller. A caller that leaves the bus drops its references. When
// none is left, a run started by the bus ends.
class TAutomationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorbel.ClassFactory")
public:
    TAutomationServer(TStartMode Mode, TQuorbelWindow* Window, QDBusConnection Bus = QDBusConnection::sessionBus());
    ~TAutomationServer() override;

    // Serves the factory and asks for the well-known name; on failure shows
    // one of the two start-up messages and returns false (the program then
    // runs without automation).
    bool Start();

    // Objects alive (created and not yet released by every holder).
    int ObjectCount() const { return static_cast<int>(FObjects.size()); }
    TStartMode Mode() const { return FMode; }
    TQuorbelWindow* Window() const { return FWindow; }
    QDBusConnection Bus() const { return FBus; }

    // One reference of the caller to the object goes.
    void Release(TQuorbelStandalone* Object, const QString& Caller);
    // Whether the caller (a unique bus name) holds a reference to the object.
    bool HoldsReference(const TQuorbelStandalone* Object, const QString& Caller) const;
    // Called when the run would end: with live objects the user is asked
    // first. True: end it.
    bool MayEnd();
    // How the run ends when the last reference goes; the program's quit by
    // default.
    std::function<void()> Quit;

public Q_SLOTS:
    Q_SCRIPTABLE QDBusObjectPath CreateObject();

private:
    struct TEntry {
        std::unique_ptr<TQuorbelStandalone> Object;
        QHash<QString, int> References; // by caller
    };
    void CallerLeft(const QString& Caller);
    void Drop(std::map<QString, TEntry>::iterator Entry);
    void LastReferenceGone();

    TStartMode FMode;
    QPointer<TQuorbelWindow> FWindow;
    QDBusConnection FBus;
    QDBusServiceWatcher* FWatcher = nullptr;
    std::map<QString, TEntry> FObjects; // by object path
    bool FNameHeld = false;
    int FCreated = 0;
};
