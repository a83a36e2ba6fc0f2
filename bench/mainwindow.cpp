// From the load of a 5,000 by 10 XML data file to the last of the four plots
// painted: the main window loads the file, opens every plot, tiles them side
// by side and renders itself. Goal: under one second.
#include "MainWindowBench.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kItems = 5000;
constexpr int kDims = 10;

QString TableFile(const QTemporaryDir& Folder)
{
    const TGeneratedData table(kDims, kItems);
    const QString path = Folder.filePath(QStringLiteral("table.xml"));
    WriteXMLFile(path, table.Data);
    return path;
}

void BM_LoadOpenTileAndPaint(benchmark::State& State)
{
    QTemporaryDir folder;
    const QString path = TableFile(folder);
    TScriptedResponder responder;
    Dialogs::SetResponder(&responder);
    for (auto _ : State) {
        State.PauseTiming();
        auto window = std::make_unique<TQuorbelWindow>();
        window->Terminate = [] {};
        window->show();
        QCoreApplication::processEvents();
        responder.Push(path);
        State.ResumeTiming();

        window->Action(QStringLiteral("LoadXML1"))->trigger();
        for (const char* key : kMainWindowPlots) {
            const QString k = QString::fromLatin1(key);
            window->ClientManager->AddClient(k, k, window->ClientManager->CreateClient(k));
        }
        window->Action(QStringLiteral("WindowTileVertical"))->trigger();
        const QImage picture = window->grab().toImage();
        benchmark::DoNotOptimize(picture.constBits());

        State.PauseTiming();
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        State.ResumeTiming();
    }
    Dialogs::SetResponder(nullptr);
}
BENCHMARK(BM_LoadOpenTileAndPaint)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

QUORBEL_MAINWINDOW_BENCH_MAIN()
