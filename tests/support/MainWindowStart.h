#pragma once

// A main window started as a user starts it, offscreen, with a stored user
// code (no identification dialog) and no log server, so that uploads fail
// at once and leave pending files in PendingFolder; Terminate stands in for
// the end of the run.

#include "ObjectEditor/StockObjects.h"
#include "app/StandaloneWindowUnit.h"
#include "platform/Settings.h"

#include <functional>
#include <memory>

// The keys of the four plots, in the order of the window's menu.
inline constexpr const char* kPlotKeys[] = {"ParallelCoordinates", "PermutationMatrix", "ScatterplotMatrix",
                                            "AndrewsCurves"};

inline std::unique_ptr<TQuorbelWindow> StartMainWindow(const QString& PendingFolder, std::function<void()> Terminate)
{
    InitStockObjects();
    qunsetenv("QUORBEL_LOG_SERVER");
    TSettings settings;
    settings.WriteString(QStringLiteral("usr_id"), QStringLiteral("TEST0001"));
    settings.WriteString(QStringLiteral("usr_type"), QStringLiteral("student"));
    settings.WriteString(QStringLiteral("log_server"), QString());
    settings.WriteString(QStringLiteral("log_location"), PendingFolder);
    auto window = std::make_unique<TQuorbelWindow>();
    window->Terminate = std::move(Terminate);
    window->show();
    return window;
}
