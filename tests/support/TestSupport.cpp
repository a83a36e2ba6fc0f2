#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

namespace {
TDialogResponder* CurrentResponder()
{
    return &Dialogs::Responder();
}
} // namespace

ScopedResponder::ScopedResponder()
    : FPrevious(CurrentResponder())
{
    Dialogs::SetResponder(&FResponder);
}

ScopedResponder::~ScopedResponder()
{
    Dialogs::SetResponder(FPrevious);
}

bool ProcessEventsUntil(const std::function<bool()>& condition, int boundMs)
{
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

TScriptedResponder& DefaultTestResponder()
{
    static TScriptedResponder responder;
    return responder;
}
