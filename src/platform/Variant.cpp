#include "platform/Variant.h"

#include "platform/Exceptions.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>

TVariant TVariant::Null()
{
    TVariant v;
    v.FValue = NullTag{};
    return v;
}

TVariant::Type TVariant::type() const
{
    return static_cast<Type>(FValue.index());
}

QString TVariant::TypeName(Type type)
{
    switch (type) {
    case Type::Empty: return QStringLiteral("Empty");
    case Type::Null: return QStringLiteral("Null");
    case Type::Integer: return QStringLiteral("Integer");
    case Type::Double: return QStringLiteral("Double");
    case Type::Text: return QStringLiteral("String");
    }
    return QString();
}

bool TextToDouble(const QString& text, double& out)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // With group separators allowed, "1,000" would read as a thousand even
    // where the comma is the decimal separator.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = c.toDouble(t, &ok);
    if (!ok)
        v = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

void AppendDoubleText(double value, std::string& out)
{
    char buf[64];
    if (!std::isfinite(value)) {
        out += std::isnan(value) ? "NAN" : value > 0 ? "INF" : "-INF";
        return;
    }
    auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    double back = 0;
    const auto read = std::from_chars(buf, written.ptr, back);
    // Rounding the largest doubles to 15 digits carries them past the range;
    // those keep their exact shortest text so that they read back.
    if (read.ec != std::errc() || !std::isfinite(back))
        written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general);
    for (const char* p = buf; p < written.ptr; ++p)
        if (*p != '+')
            out += *p;
}

QString DoubleToText(double value)
{
    std::string text;
    AppendDoubleText(value, text);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

bool TVariant::tryToDouble(double& out) const
{
    switch (type()) {
    case Type::Integer: out = std::get<int32_t>(FValue); return true;
    case Type::Double: out = std::get<double>(FValue); return true;
    case Type::Text: return TextToDouble(std::get<QString>(FValue), out);
    default: return false;
    }
}

double TVariant::toDouble() const
{
    double v = 0;
    if (tryToDouble(v))
        return v;
    if (isEmpty())
        throw EVariantError(QStringLiteral("Unassigned values will not be evaluated"));
    throw EVariantError(QStringLiteral("Could not convert variant of type (%1) into type (Double)")
                            .arg(TypeName(type())));
}

int32_t TVariant::toInt() const
{
    if (type() == Type::Integer)
        return std::get<int32_t>(FValue);
    const double v = std::nearbyint(toDouble());
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
        throw EVariantError(QStringLiteral("Could not convert variant of type (%1) into type (Integer)")
                                .arg(TypeName(type())));
    return static_cast<int32_t>(v);
}

QString TVariant::toString() const
{
    switch (type()) {
    case Type::Integer: return QString::number(std::get<int32_t>(FValue));
    case Type::Double: return DoubleToText(std::get<double>(FValue));
    case Type::Text: return std::get<QString>(FValue);
    default: return QString();
    }
}

bool TVariant::operator==(const TVariant& other) const
{
    if (isNumber() && other.isNumber()) {
        double a = 0, b = 0;
        tryToDouble(a);
        other.tryToDouble(b);
        return a == b;
    }
    return FValue == other.FValue;
}
