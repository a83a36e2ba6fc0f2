#pragma once

#include "platform/DBusDispatch.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>

class QDBusMessage;

// The event connection to a spreadsheet application of another process: its
// signals SheetCalculate, SheetChange and WorkbookBeforeClose, handed on with
// their object arguments as dispatch values. Each received reference is
// released at the peer when the handler's last copy of it goes. The
// connection ends when the object is destroyed.
class TExcelConnection : public QObject {
    Q_OBJECT
public:
    struct TEvents {
        std::function<void(const TDispatch& Sheet)> SheetCalculate;
        std::function<void(const TDispatch& Sheet, const TDispatch& Target)> SheetChange;
        std::function<void(const TDispatch& Workbook)> WorkbookBeforeClose;
    };

    // Follows the events of App, a remote dispatch; EOleError when the bus
    // refuses the connection.
    TExcelConnection(const TDispatch& App, TEvents Events);
    ~TExcelConnection() override;
    TExcelConnection(const TExcelConnection&) = delete;
    TExcelConnection& operator=(const TExcelConnection&) = delete;

private slots:
    void Deliver(const QDBusMessage& Message);

private:
    // Connects or disconnects the three signals; false when any is refused.
    bool Hook(bool Connect);

    QDBusConnection FBus;
    TDBusObjectRef FApp;
    TEvents FEvents;
};
