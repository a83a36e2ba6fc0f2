#pragma once

#include <QApplication>

#include <exception>
#include <functional>

// The application object. Every exception that reaches Qt's event loop
// stops here: the silent abort is dropped, every other exception goes to one
// handler (the main window installs its error dialog there).
class TApplication : public QApplication {
    Q_OBJECT
public:
    using TExceptionHandler = std::function<void(const std::exception&)>;

    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Replaces the handler; an empty one restores the default, which writes
    // the class name and message to the diagnostic output.
    static void SetExceptionHandler(TExceptionHandler handler);
    // Hands an exception to the handler, as notify() does; EAbort is dropped.
    static void HandleException(const std::exception& e);
    // Ends the run with a queued exit, so that no window runs its closing steps.
    static void Terminate(int code = 0);
};
