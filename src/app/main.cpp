// Quorbel: start-up. Until the main window exists this opens an empty main
// window titled "Quorbel" over the generated one-by-one table.
#include "ObjectEditor/StockObjects.h"
#include "QuorData/QuorDataSrcTest.h"
#include "platform/Application.h"

#include <QMainWindow>

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    TApplication::setApplicationName(QStringLiteral("Quorbel"));
    // The shared pens, brushes and pattern exist before any window draws.
    InitStockObjects();

    TTestDataSrc values;
    values.Generate(1, 1);
    TTestTextSrc dimNames;
    dimNames.GenerateText(1, 1, QStringLiteral("Column "));
    TTestTextSrc pointNames;
    pointNames.GenerateText(1, 1, QStringLiteral("Row "));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quorbel"));
    window.resize(800, 600);
    window.show();
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, [] { TApplication::Terminate(); });
    return app.exec();
}
