#include "platform/Exceptions.h"
#include "support/TestSupport.h"
#include "platform/Variant.h"

#include <QLocale>

#include <gtest/gtest.h>

TEST(Variant, NumbersConvertAcrossIntegerDoubleAndText)
{
    EXPECT_DOUBLE_EQ(TVariant(int32_t(7)).toDouble(), 7.0);
    EXPECT_DOUBLE_EQ(TVariant(2.5).toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(TVariant(" -1.25e2 ").toDouble(), -125.0);
    EXPECT_EQ(TVariant(2.5).toInt(), 2);   // half to even
    EXPECT_EQ(TVariant(3.5).toInt(), 4);
    EXPECT_EQ(TVariant(int32_t(3)), TVariant(3.0));
    EXPECT_NE(TVariant("3"), TVariant(int32_t(3)));
}

TEST(Variant, EmptyValueIsNotEvaluated)
{
    try {
        TVariant().toDouble();
        FAIL() << "no exception";
    } catch (const EVariantError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unassigned values will not be evaluated"));
    }
}

TEST(Variant, NonNumbersFailAsConversionErrors)
{
    for (const char* text : {"abc", "", "nan", "NaN", "inf", "-inf", "Infinity", "1e999", "1.2.3"})
        EXPECT_THROW(TVariant(text).toDouble(), EVariantError) << text;
    EXPECT_THROW(TVariant::Null().toDouble(), EVariantError);
    double out = 0;
    EXPECT_FALSE(TVariant("nan").tryToDouble(out));
}

TEST(Variant, TextReadsWithThePointOrTheLocalesSeparator)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    double out = 0;
    EXPECT_TRUE(TextToDouble(QStringLiteral("1,000"), out));
    EXPECT_EQ(out, 1.0);
    EXPECT_TRUE(TextToDouble(QStringLiteral("2.5"), out));
    EXPECT_EQ(out, 2.5);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(TextToDouble(QStringLiteral("1,000"), out));
    EXPECT_EQ(out, 1000.0);
    EXPECT_FALSE(TextToDouble(QStringLiteral("1,5"), out));
    QLocale::setDefault(previous);
}

TEST(Variant, TextOfValues)
{
    EXPECT_EQ(TVariant().toString(), QString());
    EXPECT_EQ(TVariant::Null().toString(), QString());
    EXPECT_EQ(TVariant(int32_t(-42)).toString(), QStringLiteral("-42"));
    EXPECT_EQ(TVariant(0.1).toString(), QStringLiteral("0.1"));
    EXPECT_EQ(TVariant(1.0 / 3.0).toString(), QStringLiteral("0.333333333333333"));
    EXPECT_EQ(TVariant(100.0).toString(), QStringLiteral("100"));
}

TEST(Assertion, MessageNamesTextUnitAndLine)
{
    int line = 0;
    try {
        line = __LINE__ + 1;
        QUOR_ASSERT(1 + 1 == 3, "GetCell: Col out of bounds");
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("GetCell: Col out of bounds (VariantTest, line %1)").arg(line));
        EXPECT_EQ(e.ClassName(), QStringLiteral("EAssertionFailed"));
    }
}

TEST(Variant, DoubleTextReadsBackAndNeedsNoPlusSign)
{
    EXPECT_EQ(DoubleToText(1e20), QStringLiteral("1e20"));
    EXPECT_EQ(DoubleToText(-1e-300), QStringLiteral("-1e-300"));
    EXPECT_EQ(DoubleToText(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(DoubleToText(123456789012345678.0), QStringLiteral("1.23456789012346e17"));
    // 15 digits would round the largest double past the range.
    double back = 0;
    ASSERT_TRUE(TextToDouble(DoubleToText(1.7976931348623157e308), back));
    EXPECT_EQ(back, 1.7976931348623157e308);
}
