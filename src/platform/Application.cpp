#include "platform/Application.h"

#include "platform/Exceptions.h"

#include <QMetaObject>
#include <QtDebug>

namespace {
TApplication::TExceptionHandler& Handler()
{
    static TApplication::TExceptionHandler handler;
    return handler;
}
} // namespace

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setQuitOnLastWindowClosed(false);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EAbort&) {
        return false;
    } catch (const std::exception& e) {
        HandleException(e);
    } catch (...) {
        HandleException(Exception(QStringLiteral("Unknown exception")));
    }
    return false;
}

void TApplication::SetExceptionHandler(TExceptionHandler handler)
{
    Handler() = std::move(handler);
}

void TApplication::HandleException(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    if (Handler()) {
        Handler()(e);
        return;
    }
    qCritical().noquote() << ExceptionClassName(e) << "(" << ExceptionMessage(e) << ")";
}

void TApplication::Terminate(int code)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}
