#pragma once

#include <QString>

#include <exception>
#include <string>

// The program's exception root: a message text and a class name, which the
// error dialog shows as "<class name> (<message>)".
class Exception : public std::exception {
public:
    explicit Exception(const QString& message);
    ~Exception() override = default;

    const QString& Message() const noexcept { return FMessage; }
    virtual QString ClassName() const { return QStringLiteral("Exception"); }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// Declares an exception class that only renames its base.
#define QUORBEL_DECLARE_EXCEPTION(Name, Base)                                  \
    class Name : public Base {                                                 \
    public:                                                                    \
        using Base::Base;                                                      \
        QString ClassName() const override { return QStringLiteral(#Name); }   \
    };

// The silent abort: the application object drops it without a dialog.
QUORBEL_DECLARE_EXCEPTION(EAbort, Exception)
// A broken internal contract.
QUORBEL_DECLARE_EXCEPTION(EAssertionFailed, Exception)
// A value that cannot be converted (an empty cell, a text that is no number).
QUORBEL_DECLARE_EXCEPTION(EVariantError, Exception)
// A failed late-bound call on an automation object.
QUORBEL_DECLARE_EXCEPTION(EOleError, Exception)
// A list index outside the list.
QUORBEL_DECLARE_EXCEPTION(EListError, Exception)
// An object taken for a class it does not belong to.
QUORBEL_DECLARE_EXCEPTION(EInvalidCast, Exception)

// Ends the current operation silently.
[[noreturn]] void Abort();

// "%s (%s, line %d)": the text, the source file's name without folder and
// extension, the line.
QString AssertionMessage(const char* text, const char* file, int line);
[[noreturn]] void AssertionFailed(const char* text, const char* file, int line);

// Raises EAssertionFailed with the text when the condition does not hold.
#define QUOR_ASSERT(cond, text)                                                \
    do {                                                                       \
        if (!(cond))                                                           \
            ::AssertionFailed((text), __FILE__, __LINE__);                     \
    } while (false)

// Raises EAssertionFailed with the text unconditionally.
#define QUOR_FAIL(text) ::AssertionFailed((text), __FILE__, __LINE__)

// The class name of any exception, for messages: ours know theirs.
QString ExceptionClassName(const std::exception& e);
QString ExceptionMessage(const std::exception& e);
