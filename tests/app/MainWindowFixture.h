#pragma once

// A started main window (support/MainWindowStart.h) with its pending log
// files in a private folder, a scripted responder, and an end of the run
// that is only counted.

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"
#include "support/MainWindowStart.h"
#include "support/TestSupport.h"
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
        Window = StartMainWindow(PendingFolder(), [this] { ++Terminations; });
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
