#include "platform/Dispatch.h"

#include "platform/Exceptions.h"

namespace {

// Every failure of a late-bound call reaches the caller as one error class,
// whatever the object raised, so callers catch EOleError alone.
template <typename F>
auto AsOleError(const QString& name, F&& call)
{
    try {
        return call();
    } catch (const EOleError&) {
        throw;
    } catch (const EAbort&) {
        throw;
    } catch (const std::exception& e) {
        throw EOleError(QStringLiteral("%1: %2").arg(name, ExceptionMessage(e)));
    }
}

template <typename F>
auto Invoke(const std::shared_ptr<IAutomationObject>& object, const QString& name, F&& call)
{
    if (!object)
        throw EOleError(QStringLiteral("%1: object variable not set").arg(name));
    return AsOleError(name, [&] { return call(*object); });
}

[[noreturn]] void TypeMismatch()
{
    throw EOleError(QStringLiteral("Type mismatch"));
}

} // namespace

TDispatch::TDispatch(std::shared_ptr<IAutomationObject> Object) : FObject(std::move(Object)) {}

TDispatchValue TDispatch::Get(const QString& Name) const
{
    return Get(Name, {});
}

TDispatchValue TDispatch::Get(const QString& Name, const TDispatchArgs& Args) const
{
    return Invoke(FObject, Name, [&](IAutomationObject& o) { return o.Get(Name, Args); });
}

void TDispatch::Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) const
{
    Invoke(FObject, Name, [&](IAutomationObject& o) { o.Put(Name, Args, Value); });
}

TDispatchValue TDispatch::Call(const QString& Name) const
{
    return Call(Name, {});
}

TDispatchValue TDispatch::Call(const QString& Name, const TDispatchArgs& Args) const
{
    return Invoke(FObject, Name, [&](IAutomationObject& o) { return o.Call(Name, Args); });
}

TPendingGet TDispatch::BeginGet(const QString& Name, const TDispatchArgs& Args) const
{
    try {
        const TPendingGet pending = Invoke(FObject, Name, [&](IAutomationObject& o) { return o.BeginGet(Name, Args); });
        return TPendingGet([pending, Name] { return AsOleError(Name, [&] { return pending.Result(); }); });
    } catch (const EOleError&) {
        return TPendingGet::Failed(std::current_exception());
    }
}

TPendingGet TPendingGet::Answered(const TDispatchValue& Value)
{
    return TPendingGet([Value] { return Value; });
}

TPendingGet TPendingGet::Failed(std::exception_ptr Error)
{
    return TPendingGet([Error]() -> TDispatchValue { std::rethrow_exception(Error); });
}

TPendingGet IAutomationObject::BeginGet(const QString& Name, const TDispatchArgs& Args)
{
    try {
        return TPendingGet::Answered(Get(Name, Args));
    } catch (const EAbort&) {
        throw;
    } catch (...) {
        return TPendingGet::Failed(std::current_exception());
    }
}

const TVariant& TDispatchValue::AsVariant() const
{
    if (const auto* v = std::get_if<TVariant>(&FValue))
        return *v;
    TypeMismatch();
}

bool TDispatchValue::AsBoolean() const
{
    if (const auto* b = std::get_if<bool>(&FValue))
        return *b;
    TypeMismatch();
}

const TDispatch& TDispatchValue::AsDispatch() const
{
    if (const auto* d = std::get_if<TDispatch>(&FValue))
        return *d;
    TypeMismatch();
}

void RaiseUnknownName(const QString& Name)
{
    throw EOleError(QStringLiteral("Unknown name: %1").arg(Name));
}
