#pragma once

// A main window started as a user starts it, offscreen, with a stored user
// code (no identification dialog), no log server (uploads fail at once and
// leave pending files in a private folder), a scripted responder, and an end
// of the run that is only counted.

#include "ObjectEditor/StockObjects.h"
#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"
#include "support/TestSupport.h"
#include "app/StandaloneWindowUnit.h"
#include "platform/Settings.h"
#include "usagelog/Evaluation.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FPending.isValid());
        InitStockObjects();
        qunsetenv("QUORBEL_LOG_SERVER");
        TSettings settings;
        settings.WriteString(QStringLiteral("usr_id"), QStringLiteral("TEST0001"));
        settings.WriteString(QStringLiteral("usr_type"), QStringLiteral("student"));
        settings.WriteString(QStringLiteral("log_server"), QString());
        settings.WriteString(QStringLiteral("log_location"), PendingFolder());
        Window = std::make_unique<TQuorbelWindow>();
        Window->Terminate = [this] { ++Terminations; };
        Window->show();
        Responder->Clear();
    }

    void TearDown() override { Window.reset(); }

    QString PendingFolder() const { return FPending.path() + u'/'; }
    int PendingFiles() const { return int(QDir(PendingFolder()).entryList(QDir::Files).size()); }

    // The event codes of the log, without their time stamps.
    static QStringList Codes()
    {
        QStringList codes;
        for (const QString& line : GetLog())
            codes << line.section(u',', 1);
        return codes;
    }
    // The texts of the message boxes shown.
    QStringList Messages()
    {
        QStringList texts;
        for (const auto& request : Responder->Requests())
            if (request.kind == TScriptedResponder::Kind::Message)
                texts << request.text;
        return texts;
    }
    static QString LastCode() { return Codes().value(Codes().size() - 1); }

    TData& Data() { return *Window->Data; }
    TQuorClientManager& Manager() { return *Window->ClientManager; }

    // Opens the plot of the key as its toggle does.
    void OpenPlot(const QString& Key)
    {
        std::unique_ptr<TObject> plot = Manager().CreateClient(Key);
        ASSERT_TRUE(plot) << Key.toStdString();
        Manager().AddClient(Key, Key, std::move(plot));
    }

    ScopedResponder Responder;
    std::unique_ptr<TQuorbelWindow> Window;
    int Terminations = 0;

private:
    QTemporaryDir FPending;
};
