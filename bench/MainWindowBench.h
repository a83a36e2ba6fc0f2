#pragma once

// What the large-table benchmarks share: the real main window with a
// generated table loaded through its own XML file command, the four plots
// open and tiled, and the dimensions grid and the data-item list in the side
// panel, as a user has them. One bench per table size, kept for all runs.

#include "ObjectEditor/StockObjects.h"
#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcXML.h"
#include "QuorMethodBase.h"
#include "app/StandaloneWindowUnit.h"
#include "platform/Application.h"
#include "platform/DialogService.h"
#include "platform/Settings.h"
#include "support/GeneratedData.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>
#include <map>
#include <memory>
#include <tuple>
#include <utility>

// The client keys of the four plots, in the order they are opened.
inline const char* const kMainWindowPlots[] = {"ParallelCoordinates", "PermutationMatrix", "ScatterplotMatrix",
                                               "AndrewsCurves"};

// Resident memory of this process in bytes (Linux).
inline double ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) : 0;
}

// The most resident memory of this process since it started or since the
// last ResetPeakResident, in bytes (Linux).
inline double PeakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() * 1024;
    return 0;
}

// Lets the peak start again from the resident memory of now.
inline void ResetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

class TMainWindowBench {
public:
    // Dims x Items generated integers, loaded from an XML file; with
    // OpenPlots the four plots are opened and tiled.
    TMainWindowBench(int Dims, int Items, bool OpenPlots = true)
    {
        Dialogs::SetResponder(&Responder);
        const QString path = Folder.filePath(QStringLiteral("table.xml"));
        {
            const TGeneratedData table(Dims, Items);
            WriteXMLFile(path, table.Data);
        }
        Window = std::make_unique<TQuorbelWindow>();
        Window->Terminate = [] {};
        Window->resize(1600, 1000);
        Window->show();
        QCoreApplication::processEvents();
        Responder.Push(path);
        Window->Action(QStringLiteral("LoadXML1"))->trigger();
        if (OpenPlots) {
            for (const char* key : kMainWindowPlots)
                OpenPlot(QString::fromLatin1(key));
            Window->Action(QStringLiteral("WindowTileVertical"))->trigger();
        }
        Settle();
    }
    ~TMainWindowBench()
    {
        Window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Dialogs::SetResponder(nullptr);
    }
    TMainWindowBench(const TMainWindowBench&) = delete;
    TMainWindowBench& operator=(const TMainWindowBench&) = delete;

    // Opens the plot of the key as its toggle does.
    void OpenPlot(const QString& Key)
    {
        Window->ClientManager->AddClient(Key, Key, Window->ClientManager->CreateClient(Key));
    }

    // Runs every pending event and paint, so that a timed step ends only
    // when the window shows its result.
    static void Settle()
    {
        for (int round = 0; round < 4; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    TData& Data() const { return *Window->Data; }

    QTemporaryDir Folder;
    TScriptedResponder Responder;
    std::unique_ptr<TQuorbelWindow> Window;
};

// One bench per (dims, items, plots open), built on first use and freed by
// FreeMainWindowBenches while the application object still stands.
inline std::map<std::tuple<int, int, bool>, std::unique_ptr<TMainWindowBench>>& MainWindowBenches()
{
    static std::map<std::tuple<int, int, bool>, std::unique_ptr<TMainWindowBench>> benches;
    return benches;
}

inline TMainWindowBench& MainWindowBenchOf(int Dims, int Items, bool OpenPlots = true)
{
    auto& bench = MainWindowBenches()[{Dims, Items, OpenPlots}];
    if (!bench)
        bench = std::make_unique<TMainWindowBench>(Dims, Items, OpenPlots);
    return *bench;
}

inline void FreeMainWindowBenches()
{
    MainWindowBenches().clear();
}

// The main window's benchmarks run offscreen under the program's
// application object, with a user code already set so that no
// identification dialog asks.
#define QUORBEL_MAINWINDOW_BENCH_MAIN()                                                            \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        setenv("QT_QPA_PLATFORM", "offscreen", 0);                                                 \
        QTemporaryDir configHome;                                                                  \
        setenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit().constData(), 1);                 \
        TApplication app(argc, argv);                                                              \
        TApplication::setApplicationName(QStringLiteral("Quorbel"));                               \
        InitStockObjects();                                                                        \
        {                                                                                          \
            TSettings settings;                                                                    \
            settings.WriteString(QStringLiteral("usr_id"), QStringLiteral("BENCH001"));            \
            settings.WriteString(QStringLiteral("usr_type"), QStringLiteral("others"));            \
        }                                                                                          \
        benchmark::Initialize(&argc, argv);                                                        \
        benchmark::RunSpecifiedBenchmarks();                                                       \
        benchmark::Shutdown();                                                                     \
        FreeMainWindowBenches();                                                                   \
        return 0;                                                                                  \
    }
