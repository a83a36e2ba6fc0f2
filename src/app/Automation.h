#pragma once

#include "platform/DBusDispatch.h"

#include <QDBusContext>
#include <QObject>
#include <QPointer>

#include <functional>

class TAutomationServer;
class TQuorbelWindow;

// The automation object through which the spreadsheet add-in drives the
// program: Open hands over the running spreadsheet application, the toggles
// open and close the plots, Close takes the main window down without its
// closing steps, and OnClose asks the add-in to call Close. It holds no data
// of its own; every call goes to the main window and its action client.
class TQuorbelStandalone : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorbel.IQuorbelStandalone")
public:
    TQuorbelStandalone(TAutomationServer& Server, TQuorbelWindow* Window);

    // Fires OnClose once for the Open that set the main window's close request.
    void MainWindowClosed(TQuorbelWindow* Sender);

public Q_SLOTS:
    Q_SCRIPTABLE void Open(const TDBusObjectRef& ExcelApp);
    Q_SCRIPTABLE void ToggleQuorMethod(int MethodID);
    Q_SCRIPTABLE void Close();
    Q_SCRIPTABLE void Release();

Q_SIGNALS:
    Q_SCRIPTABLE void OnClose();

private:
    // Runs a call, its error as the caller's error reply. A call that
    // arrives during a drag waits until the drag ends.
    void Serve(std::function<void()> Body);
    TQuorbelWindow& MainWindow() const;

    TAutomationServer& FServer;
    QPointer<TQuorbelWindow> FWindow;
};
