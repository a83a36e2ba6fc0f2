// Quorbel: start-up. The shared drawing objects exist before any window; the
// main window wires itself on its first showing and ends the run when it
// closes.
#include "ObjectEditor/StockObjects.h"
#include "app/StandaloneWindowUnit.h"
#include "platform/Application.h"

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorbel"));
    InitStockObjects();

    TQuorbelWindow window;
    window.show();
    return app.exec();
}
