// Quorbel: start-up. The command line decides the start mode: registering or
// unregistering the automation service ends at once; otherwise the shared
// drawing objects are made, the main window and the older clustering dialog
// are created, the automation server is offered on the session bus, and the
// main window wires itself on its first showing.
#include "ObjectEditor/StockObjects.h"
#include "app/AutomationServer.h"
#include "app/StandaloneWindowUnit.h"
#include "clustering/Algo_GUI.h"
#include "platform/Application.h"
#include "platform/Exceptions.h"

#include <QPointer>

#include <cstdio>

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorbel"));

    const TStartMode mode = ParseStartMode(TApplication::arguments());
    if (mode == TStartMode::Register) {
        try {
            AutomationRegistration::Register(TApplication::applicationFilePath());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Quorbel: the registration failed: %s\n", qPrintable(ExceptionMessage(e)));
            return 1;
        }
        return 0;
    }
    if (mode == TStartMode::Unregister) {
        AutomationRegistration::Unregister();
        return 0;
    }

    InitStockObjects();
    // The automation object's Close takes the window down at any time.
    QPointer<TQuorbelWindow> window = new TQuorbelWindow;
    TAlgorithm_GUI algorithmGui;
    TAutomationServer server(mode, window);
    server.Start();
    window->Terminate = [&server] {
        if (server.MayEnd())
            TApplication::Terminate();
    };
    window->show();
    const int result = TApplication::exec();
    delete window.data();
    return result;
}
