#pragma once

#include "platform/DialogService.h"
#include "platform/Exceptions.h"

#include <QString>

#include <functional>
#include <ostream>

// Lets test failures print texts readably.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

// Installs a scripted dialog responder for its lifetime, restoring the
// previous one afterwards.
class ScopedResponder {
public:
    ScopedResponder();
    ~ScopedResponder();
    ScopedResponder(const ScopedResponder&) = delete;
    ScopedResponder& operator=(const ScopedResponder&) = delete;

    TScriptedResponder* operator->() { return &FResponder; }
    TScriptedResponder& operator*() { return FResponder; }

private:
    TScriptedResponder FResponder;
    TDialogResponder* FPrevious;
};

// Limits the size of the files the process writes for its lifetime, so that
// writes past Bytes fail ("File too large") as on a full disk. The signal
// such a write raises is ignored meanwhile.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(long Bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    unsigned long long FOldLimit;
    void (*FOldHandler)(int);
};

// Caps the address space of the process for its lifetime at what it maps
// now plus Headroom, as a user's limit would, so that allocations past it
// fail. A sanitizer's shadow memory does not fit under such a cap: tests
// that need one skip where Supported is false.
class ScopedAddressSpaceCap {
public:
    explicit ScopedAddressSpaceCap(unsigned long long Headroom);
    ~ScopedAddressSpaceCap();
    ScopedAddressSpaceCap(const ScopedAddressSpaceCap&) = delete;
    ScopedAddressSpaceCap& operator=(const ScopedAddressSpaceCap&) = delete;
    static bool Supported();

private:
    unsigned long long FOldLimit;
};

// Processes events until the condition holds or the bound (in milliseconds of
// event processing) runs out; returns the condition's last value.
bool ProcessEventsUntil(const std::function<bool()>& condition, int boundMs = 5000);

// The responder that the test main installs for every test, so that no test
// can wait on a real modal window.
TScriptedResponder& DefaultTestResponder();

// The message of the assertion that the call fails with, or "<no assertion>".
template <class F>
QString AssertionText(F f)
{
    try {
        f();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    }
    return QStringLiteral("<no assertion>");
}
