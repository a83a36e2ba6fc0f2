#pragma once

#include <functional>

class TObject;

// A run-time class reference: the class's name, its parent and, where the
// class can be made without arguments, a factory. Classes that need to be
// found, compared or made by reference (the data events) declare one.
class TClass {
public:
    using Factory = TObject* (*)();

    constexpr TClass(const char* name, const TClass* parent, Factory create)
        : FName(name), FParent(parent), FCreate(create) {}

    const char* Name() const { return FName; }
    const TClass* Parent() const { return FParent; }
    // This class or one of its descendants of other.
    bool InheritsFrom(const TClass* other) const;
    // A new instance made without arguments; nullptr for abstract classes.
    TObject* Create() const { return FCreate ? FCreate() : nullptr; }

private:
    const char* FName;
    const TClass* FParent;
    Factory FCreate;
};

// The root of the program's polymorphic classes: every data client, every
// actor that writes to the data object and every event derives from it, so
// that interfaces are found by dynamic_cast and classes compared at run time.
class TObject {
public:
    virtual ~TObject() = default;
    virtual const TClass* ClassType() const { return StaticClass(); }
    static const TClass* StaticClass();
    bool InheritsFrom(const TClass* cls) const { return ClassType()->InheritsFrom(cls); }
};

// Declares the class reference of a class; put it in the class body and
// QUORBEL_DEFINE_CLASS in one source file.
#define QUORBEL_DECLARE_CLASS()                                                \
public:                                                                        \
    static const TClass* StaticClass();                                        \
    const TClass* ClassType() const override { return StaticClass(); }         \
                                                                               \
private:

// Defines the class reference of a class that can be made without arguments.
#define QUORBEL_DEFINE_CLASS(Name, Parent)                                      \
    const TClass* Name::StaticClass()                                          \
    {                                                                          \
        static const TClass cls(#Name, Parent::StaticClass(),                  \
                                []() -> TObject* { return new Name(); });      \
        return &cls;                                                           \
    }

// Defines the class reference of an abstract class.
#define QUORBEL_DEFINE_ABSTRACT_CLASS(Name, Parent)                             \
    const TClass* Name::StaticClass()                                          \
    {                                                                          \
        static const TClass cls(#Name, Parent::StaticClass(), nullptr);        \
        return &cls;                                                           \
    }
