#pragma once

#include "platform/DBusDispatch.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QVariantList>

// The spreadsheet peer running as a process of its own on the session bus,
// under a bus name of its own, and driven through its control object.
class TSpreadsheetPeer {
public:
    // Starts the peer on the session bus, or on the bus of the address;
    // Started() says whether it came up (false without a bus).
    explicit TSpreadsheetPeer(const QString& BusAddress = {});
    ~TSpreadsheetPeer();
    TSpreadsheetPeer(const TSpreadsheetPeer&) = delete;
    TSpreadsheetPeer& operator=(const TSpreadsheetPeer&) = delete;

    bool Started() const { return FStarted; }
    const QDBusConnection& Bus() const { return FBus; }
    const QString& BusName() const { return FName; }
    // The application object as a reference to hand over.
    TDBusObjectRef Application() const;

    // A control call; the reply's first argument, or raises on an error reply.
    QVariant Control(const QString& Member, const QVariantList& Args = {});
    // A workbook "Book" whose first sheet holds Rows x Columns cells, the
    // first row and column names ("Dim c", "Item r"), the rest r * 10 + c;
    // the whole block selected.
    void AddTable(const QString& Book, int Rows, int Columns);
    // Ends the peer at once, as a crash would.
    void Kill();

private:
    QDBusConnection FBus;
    QProcess FProcess;
    QString FName;
    bool FStarted = false;
};
