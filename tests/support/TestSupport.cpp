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

// Sets the soft limit of Resource and returns the one it replaces; false
// in Done when the limit could not be set.
unsigned long long SwapSoftLimit(int Resource, unsigned long long Value, bool* Done = nullptr)
{
    rlimit limit{};
    getrlimit(Resource, &limit);
    const unsigned long long old = limit.rlim_cur;
    limit.rlim_cur = rlim_t(Value);
    const bool done = setrlimit(Resource, &limit) == 0;
    if (Done)
        *Done = done;
    return old;
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
    bool done = false;
    FOldLimit = SwapSoftLimit(RLIMIT_AS, AddressSpaceInUse() + Headroom, &done);
    if (!done)
        ADD_FAILURE() << "cannot cap the address space";
}

ScopedAddressSpaceCap::~ScopedAddressSpaceCap()
{
    SwapSoftLimit(RLIMIT_AS, FOldLimit);
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
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    bool done = false;
    FOldLimit = SwapSoftLimit(RLIMIT_FSIZE, (unsigned long long)Bytes, &done);
    if (!done)
        ADD_FAILURE() << "cannot limit the file size";
}

ScopedFileSizeLimit::~ScopedFileSizeLimit()
{
    SwapSoftLimit(RLIMIT_FSIZE, FOldLimit);
    std::signal(SIGXFSZ, FOldHandler);
}
