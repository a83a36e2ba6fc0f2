#include "platform/Dispatch.h"
#include "platform/Exceptions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// An object with one read-write property "Value", an indexed read "Twice",
// a method "Child" returning another object, and a member that fails with a
// foreign exception.
class TCounter : public IAutomationObject {
public:
    TVariant value = TVariant(int32_t(0));
    TDispatchArgs lastArgs;

    TDispatchValue Get(const QString& name, const TDispatchArgs& args) override
    {
        lastArgs = args;
        if (name == QLatin1String("Value"))
            return value;
        if (name == QLatin1String("Twice"))
            return int32_t(2 * args.at(0).AsVariant().toInt());
        if (name == QLatin1String("Broken"))
            throw std::runtime_error("disk on fire");
        if (name == QLatin1String("Convert"))
            return TVariant(QStringLiteral("x")).toDouble();
        RaiseUnknownName(name);
    }
    void Put(const QString& name, const TDispatchArgs& args, const TDispatchValue& v) override
    {
        lastArgs = args;
        if (name != QLatin1String("Value"))
            RaiseUnknownName(name);
        value = v.AsVariant();
    }
    TDispatchValue Call(const QString& name, const TDispatchArgs& args) override
    {
        if (name == QLatin1String("Child"))
            return TDispatch(std::make_shared<TCounter>());
        return Get(name, args);
    }
};

} // namespace

TEST(Dispatch, MembersAreReachedByName)
{
    auto object = std::make_shared<TCounter>();
    const TDispatch d(object);
    ASSERT_TRUE(d.IsAssigned());
    d.Put(QStringLiteral("Value"), {}, 41.5);
    EXPECT_EQ(object->value, TVariant(41.5));
    EXPECT_EQ(d.Get(QStringLiteral("Value")).AsVariant(), TVariant(41.5));
    EXPECT_EQ(d.Get(QStringLiteral("Twice"), {int32_t(21)}).AsVariant(), TVariant(int32_t(42)));
    const TDispatch child = d.Call(QStringLiteral("Child")).AsDispatch();
    EXPECT_TRUE(child.IsAssigned());
    EXPECT_FALSE(child == d);
    EXPECT_TRUE(TDispatch(d) == d); // copies share the object
}

TEST(Dispatch, ArgumentsKeepTheirKindsAndOmissions)
{
    auto object = std::make_shared<TCounter>();
    const TDispatch d(object);
    d.Get(QStringLiteral("Value"), {false, int32_t(1), "text", TDispatchValue(), d});
    ASSERT_EQ(object->lastArgs.size(), 5u);
    EXPECT_EQ(object->lastArgs[0].kind(), TDispatchValue::Kind::Boolean);
    EXPECT_FALSE(object->lastArgs[0].AsBoolean());
    EXPECT_EQ(object->lastArgs[1].AsVariant(), TVariant(int32_t(1)));
    EXPECT_EQ(object->lastArgs[2].AsVariant(), TVariant("text"));
    EXPECT_TRUE(object->lastArgs[3].IsMissing());
    EXPECT_TRUE(object->lastArgs[4].AsDispatch() == d);
    // The kept arguments hold the object itself: break the cycle so it is freed.
    object->lastArgs.clear();
}

TEST(Dispatch, EveryFailureIsAnAutomationError)
{
    const TDispatch d(std::make_shared<TCounter>());
    EXPECT_THROW(d.Get(QStringLiteral("Nope")), EOleError);
    EXPECT_THROW(d.Put(QStringLiteral("Nope"), {}, int32_t(1)), EOleError);
    // Foreign and conversion errors of the object are turned into automation
    // errors that keep the reason and name the member.
    try {
        d.Get(QStringLiteral("Broken"));
        FAIL() << "no error";
    } catch (const EOleError& e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String("Broken")));
        EXPECT_TRUE(e.Message().contains(QLatin1String("disk on fire")));
    }
    EXPECT_THROW(d.Get(QStringLiteral("Convert")), EOleError);
    // A value of the wrong kind is a type mismatch.
    EXPECT_THROW(d.Get(QStringLiteral("Value")).AsDispatch(), EOleError);
    EXPECT_THROW(d.Call(QStringLiteral("Child")).AsVariant(), EOleError);
    EXPECT_THROW(TDispatchValue().AsBoolean(), EOleError);
}

TEST(Dispatch, UnassignedReferenceFailsEveryCall)
{
    const TDispatch nothing;
    EXPECT_FALSE(nothing.IsAssigned());
    EXPECT_THROW(nothing.Get(QStringLiteral("Name")), EOleError);
    EXPECT_THROW(nothing.Put(QStringLiteral("Name"), {}, "x"), EOleError);
    EXPECT_THROW(nothing.Call(QStringLiteral("Name")), EOleError);
}
