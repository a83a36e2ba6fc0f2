#pragma once

#include "platform/Variant.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

// Late-bound automation: members of an automation object are called by name
// at run time. Callers hold a TDispatch and never see how the object is
// reached; an in-process object implements IAutomationObject directly, a
// remote one is reached through an IAutomationObject that forwards the calls.

class IAutomationObject;
class TDispatchValue;
class TPendingGet;

using TDispatchArgs = std::vector<TDispatchValue>;

// A reference to an automation object; copies share the object. An
// unassigned reference (the automation "Nothing") fails every call.
class TDispatch {
public:
    TDispatch() = default;
    explicit TDispatch(std::shared_ptr<IAutomationObject> Object);

    bool IsAssigned() const { return FObject != nullptr; }
    // The object itself, for the layer that carries calls across processes.
    const std::shared_ptr<IAutomationObject>& Object() const { return FObject; }
    // Same object, not merely equal members.
    bool operator==(const TDispatch& Other) const { return FObject == Other.FObject; }

    // Property read with optional arguments (an indexed property). The
    // calls without arguments are overloads rather than default arguments:
    // an empty TDispatchArgs cannot be made while TDispatchValue is incomplete.
    TDispatchValue Get(const QString& Name) const;
    TDispatchValue Get(const QString& Name, const TDispatchArgs& Args) const;
    // Property write; Args are the property's indices.
    void Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) const;
    // Method call with result (an empty value when the method has none).
    TDispatchValue Call(const QString& Name) const;
    TDispatchValue Call(const QString& Name, const TDispatchArgs& Args) const;
    // A property read whose answer is collected later, so that the reads of
    // several cells to another process overlap. It raises nothing itself:
    // every failure, an unassigned reference's too, comes from Result().
    TPendingGet BeginGet(const QString& Name, const TDispatchArgs& Args) const;

private:
    std::shared_ptr<IAutomationObject> FObject;
};

// An argument or result of a late-bound call: a cell value, a Boolean, an
// object reference, or an omitted optional argument.
class TDispatchValue {
public:
    enum class Kind { Missing, Value, Boolean, Object };

    TDispatchValue() = default; // an omitted optional argument
    TDispatchValue(const TVariant& Value) : FValue(std::in_place_type<TVariant>, Value) {}
    TDispatchValue(int32_t Value) : FValue(std::in_place_type<TVariant>, Value) {}
    TDispatchValue(double Value) : FValue(std::in_place_type<TVariant>, Value) {}
    TDispatchValue(const QString& Value) : FValue(std::in_place_type<TVariant>, Value) {}
    TDispatchValue(const char* Value) : FValue(std::in_place_type<TVariant>, Value) {}
    TDispatchValue(bool Value) : FValue(std::in_place_type<bool>, Value) {}
    TDispatchValue(const TDispatch& Value) : FValue(std::in_place_type<TDispatch>, Value) {}

    Kind kind() const { return static_cast<Kind>(FValue.index()); }
    bool IsMissing() const { return kind() == Kind::Missing; }

    // The held value; EOleError "Type mismatch" when it holds another kind.
    const TVariant& AsVariant() const;
    bool AsBoolean() const;
    const TDispatch& AsDispatch() const;

private:
    std::variant<std::monostate, TVariant, bool, TDispatch> FValue;
};

// A property read under way: Result() waits for its answer and gives the
// value, or raises the read's EOleError, as Get would have. It is asked
// once: an object in the answer counts one reference each time.
class TPendingGet {
public:
    explicit TPendingGet(std::function<TDispatchValue()> Answer) : FAnswer(std::move(Answer)) {}
    static TPendingGet Answered(const TDispatchValue& Value);
    static TPendingGet Failed(std::exception_ptr Error);

    TDispatchValue Result() const { return FAnswer(); }

private:
    std::function<TDispatchValue()> FAnswer;
};

// The members of an automation object, answered by name. Implementations
// raise EOleError for unknown members, wrong arguments and refused calls.
class IAutomationObject {
public:
    virtual ~IAutomationObject() = default;
    virtual TDispatchValue Get(const QString& Name, const TDispatchArgs& Args) = 0;
    virtual void Put(const QString& Name, const TDispatchArgs& Args, const TDispatchValue& Value) = 0;
    virtual TDispatchValue Call(const QString& Name, const TDispatchArgs& Args) = 0;
    // A read that may answer later; an object of this process answers now.
    virtual TPendingGet BeginGet(const QString& Name, const TDispatchArgs& Args);
};

// Raises the automation error for a member the object does not have.
[[noreturn]] void RaiseUnknownName(const QString& Name);
