#include "platform/Application.h"
#include "platform/Exceptions.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
class Thrower : public QObject {
public:
    std::function<void()> action;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            action();
        return QObject::event(e);
    }
};
} // namespace

TEST(Application, NotifyDropsSilentAbortAndHandsOtherErrorsToTheHandler)
{
    QStringList seen;
    TApplication::SetExceptionHandler([&](const std::exception& e) {
        seen << ExceptionClassName(e) + ":" + ExceptionMessage(e);
    });
    Thrower t;
    t.action = [] { Abort(); };
    QEvent abortEvent(QEvent::User);
    QCoreApplication::sendEvent(&t, &abortEvent);
    EXPECT_TRUE(seen.isEmpty());

    t.action = [] { throw EVariantError(QStringLiteral("bad value")); };
    QEvent errorEvent(QEvent::User);
    QCoreApplication::sendEvent(&t, &errorEvent);
    TApplication::SetExceptionHandler({});
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0], QStringLiteral("EVariantError:bad value"));
}
