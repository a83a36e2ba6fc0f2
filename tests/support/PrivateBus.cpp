#include "support/PrivateBus.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

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
        // The daemon leads a process group of its own, and the programs it
        // started are in it: a test that failed half-way may have left one
        // running, and all of them end with the bus.
        const pid_t group = pid_t(FDaemon.processId());
        ::kill(-group, SIGTERM);
        if (!FDaemon.waitForFinished(5000))
            ::kill(-group, SIGKILL);
        FDaemon.waitForFinished(5000);
        // Whoever ignored the request goes now.
        ::kill(-group, SIGKILL);
    }
    // What the bus's programs said, for a test that failed.
    QFile output(FHome.path() + QStringLiteral("/bus.log"));
    if (testing::Test::HasFailure() && output.open(QIODevice::ReadOnly))
        std::fputs(output.readAll().constData(), stderr);
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
    // The programs the daemon starts inherit its output: into a file, so that
    // one left running holds no pipe of the test runner open.
    FDaemon.setStandardOutputFile(home + QStringLiteral("/bus.log"));
    FDaemon.setStandardErrorFile(home + QStringLiteral("/bus.log"), QIODevice::Append);
    // A group of its own, ended as one; and should the test itself die, the
    // bus goes with it, and with the bus the programs on it.
    FDaemon.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    FDaemon.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + home + QStringLiteral("/bus.conf")});
    if (!ProcessEventsUntil([&] { return QFile::exists(home + QStringLiteral("/bus")); }, 10000))
        return QStringLiteral("the bus did not start");
    FBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(FAddress, FAddress));
    return FBus->isConnected() ? QString() : QStringLiteral("cannot connect to the bus");
}
