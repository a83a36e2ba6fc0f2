#include "support/PrivateBus.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool WriteText(const QString& Name, const QString& Text)
{
    QDir().mkpath(QFileInfo(Name).absolutePath());
    QFile file(Name);
    return file.open(QIODevice::WriteOnly) && file.write(Text.toUtf8()) >= 0;
}

} // namespace

TPrivateBus::TPrivateBus() = default;

TPrivateBus::~TPrivateBus()
{
    if (FBus) {
        FBus.reset();
        QDBusConnection::disconnectFromBus(FAddress);
    }
    if (FDaemon.state() != QProcess::NotRunning) {
        FDaemon.terminate();
        FDaemon.waitForFinished(5000);
    }
}

QString TPrivateBus::Start(const QString& Program)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        return QStringLiteral("no dbus-daemon");
    if (!FHome.isValid())
        return QStringLiteral("no temporary folder");
    const QString home = FHome.path();
    FAddress = QStringLiteral("unix:path=") + home + QStringLiteral("/bus");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), FAddress);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("QUORBEL_LOG_SERVER"));

    QProcess registration;
    registration.setProcessEnvironment(env);
    registration.start(Program, {QStringLiteral("/RegServer")});
    if (!registration.waitForFinished(30000) || registration.exitCode() != 0)
        return QStringLiteral("registration failed: ") + QString::fromLocal8Bit(registration.readAllStandardError());

    if (!WriteText(home + QStringLiteral("/config/Quorbel/Quorbel.ini"),
                   QStringLiteral("[Software]\nQuorbel\\4.0\\usr_id=TEST0001\nQuorbel\\4.0\\usr_type=student\n")) ||
        !WriteText(home + QStringLiteral("/bus.conf"),
                   QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>%1</listen>"
                                  "<servicedir>%2/data/dbus-1/services</servicedir>"
                                  "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                       .arg(FAddress, home)))
        return QStringLiteral("cannot write the bus set-up");

    FDaemon.setProcessEnvironment(env);
    FDaemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + home + QStringLiteral("/bus.conf")});
    if (!ProcessEventsUntil([&] { return QFile::exists(home + QStringLiteral("/bus")); }, 10000))
        return QStringLiteral("the bus did not start");
    FBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(FAddress, FAddress));
    return FBus->isConnected() ? QString() : QStringLiteral("cannot connect to the bus");
}
