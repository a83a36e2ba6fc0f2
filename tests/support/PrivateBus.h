#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A session bus of our own: a dbus-daemon whose service folder holds the
// program's activation file, written by the program's own registration, so
// that the first call to the program's service starts it as the bus starts
// it for a real client. Started programs inherit the daemon's environment:
// the bus address, offscreen drawing, and a settings folder with a known
// user (no identification dialog).
class TPrivateBus {
public:
    TPrivateBus();
    ~TPrivateBus();
    TPrivateBus(const TPrivateBus&) = delete;
    TPrivateBus& operator=(const TPrivateBus&) = delete;

    // Registers the program and starts the daemon; the failure, or empty.
    QString Start(const QString& Program);
    const QString& Address() const { return FAddress; }
    QDBusConnection& Bus() { return *FBus; }

private:
    QTemporaryDir FHome;
    QString FAddress;
    QProcess FDaemon;
    std::unique_ptr<QDBusConnection> FBus;
};
