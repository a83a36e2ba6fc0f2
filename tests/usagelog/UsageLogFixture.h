#pragma once

#include "platform/Settings.h"
#include "usagelog/Evaluation.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Sets an environment variable for its lifetime and restores the old state.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : FName(name), FHad(qEnvironmentVariableIsSet(name)), FOld(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};

inline QDateTime FixedLogTime()
{
    return QDateTime(QDate(2010, 8, 3), QTime(14, 5, 9, 7));
}

// A fresh log with a fixed clock in the C locale, the settings of the log
// and the user cleared, and a private pending folder.
class UsageLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FPending.isValid());
        QLocale::setDefault(QLocale::c());
        SetLogClock(&FixedLogTime);
        CreateLog();
        SetUserCode(QStringLiteral("1234ABCD"));
        TSettings settings;
        for (const char* name : {"usr_id", "usr_type", "log_pending", "log_server",
                                 "log_connect_timeout_ms", "log_timeout_ms"})
            settings.WriteString(QString::fromLatin1(name), QString());
        settings.WriteString(QStringLiteral("log_location"), PendingFolder());
        // Short enough that a silent server costs the tests little.
        settings.WriteString(QStringLiteral("log_timeout_ms"), QStringLiteral("600"));
    }

    void TearDown() override
    {
        SetLogClock({});
        QLocale::setDefault(QLocale::system());
        CreateLog();
        SetUserCode(QString());
    }

    // The pending folder, ending in "/".
    QString PendingFolder() const { return FPending.path() + u'/'; }

    static QString Setting(const char* name)
    {
        return TSettings().ReadString(QString::fromLatin1(name));
    }

private:
    QTemporaryDir FPending;
};
