#include "TestSupport.h"

#include "platform/Memory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

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

ScopedAddressSpaceCap::ScopedAddressSpaceCap(unsigned long long Headroom)
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    FOldLimit = limit.rlim_cur;
    limit.rlim_cur = rlim_t(AddressSpaceInUse() + Headroom);
    if (setrlimit(RLIMIT_AS, &limit) != 0)
        ADD_FAILURE() << "cannot cap the address space";
}

ScopedAddressSpaceCap::~ScopedAddressSpaceCap()
{
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = rlim_t(FOldLimit);
    setrlimit(RLIMIT_AS, &limit);
}

bool ScopedAddressSpaceCap::Supported()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#else
    return true;
#endif
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

ScopedFileSizeLimit::ScopedFileSizeLimit(long Bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    FOldLimit = limit.rlim_cur;
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = rlim_t(Bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        ADD_FAILURE() << "cannot limit the file size";
}

ScopedFileSizeLimit::~ScopedFileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(FOldLimit);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, FOldHandler);
}
