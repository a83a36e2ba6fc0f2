#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <variant>

// A cell value: empty (unassigned), null, a 32-bit integer, a double or a
// text. Conversions follow what the data object needs: an empty value is no
// number, a text is a number only when it reads as a finite one.
class TVariant {
public:
    enum class Type { Empty, Null, Integer, Double, Text };

    TVariant() = default;
    TVariant(int32_t value) : FValue(value) {}
    TVariant(double value) : FValue(value) {}
    TVariant(const QString& value) : FValue(value) {}
    TVariant(QString&& value) : FValue(std::move(value)) {}
    TVariant(const char* value) : FValue(QString::fromUtf8(value)) {}

    static TVariant Null();

    Type type() const;
    bool isEmpty() const { return type() == Type::Empty; }
    bool isNull() const { return type() == Type::Null; }
    bool isNumber() const { return type() == Type::Integer || type() == Type::Double; }
    bool isText() const { return type() == Type::Text; }

    // Raises EVariantError: "Unassigned values will not be evaluated" for an
    // empty value; a conversion error for null and for a text that is no
    // finite number ("nan" and "inf" are not numbers).
    double toDouble() const;
    // As toDouble, then rounded to the nearest integer (half to even);
    // raises EVariantError when out of the 32-bit range.
    int32_t toInt() const;
    // Tries the conversion without raising.
    bool tryToDouble(double& out) const;
    // Text of the value; empty and null give the empty text; doubles give
    // the shortest text of up to 15 significant digits with a point.
    QString toString() const;

    // Equality of variants: numbers compare by value across integer and
    // double, texts by content, empty and null only to themselves.
    bool operator==(const TVariant& other) const;
    bool operator!=(const TVariant& other) const { return !(*this == other); }

    static QString TypeName(Type type);

private:
    struct NullTag {
        bool operator==(const NullTag&) const { return true; }
    };
    std::variant<std::monostate, NullTag, int32_t, double, QString> FValue;
};

// Reads a text as a finite number: the point is always the decimal
// separator, the locale's one is accepted as well; leading and trailing
// blanks are ignored. "nan", "inf" and every other non-finite text fail.
bool TextToDouble(const QString& text, double& out);

// The shortest text of up to 15 significant digits, with a point, in
// exponent form for very large and very small numbers; the exponent has no
// plus sign (1e20, 1e-05), so every character is one a data file's reader
// takes for a number. The largest doubles, which 15 digits would round past
// the range, are written exactly. Not locale-dependent.
QString DoubleToText(double value);
// The same text appended to a byte string, for writers of large files.
void AppendDoubleText(double value, std::string& out);
