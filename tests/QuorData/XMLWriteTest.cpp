#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "QuorData/QuorDataSrcXML.h"
#include "support/TestSupport.h"

#include "XMLTestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

// A file read the way the main window reads one.
struct ReadBack {
    TXMLFile file;
    TXMLDataSrc values;
    TXMLTextSrc names;
    TXMLTextSrc labels;
    TData data;

    explicit ReadBack(const QString& path)
    {
        EXPECT_TRUE(file.Open(path));
        values.Load(file);
        names.LoadNames(file);
        labels.LoadLabels(file);
        data.SetDataSrc(&values, &names, &labels);
        ReadXMLAttributes(path, data);
    }
};

} // namespace

TEST(XMLWrite, ElementsAttributesAndRecordText)
{
    QTemporaryDir dir;
    TTestTable t(3, 2, false);
    t.Values.SetCell(0, 0, TVariant(1.5));
    t.Values.SetCell(1, 0, TVariant(int32_t(-2)));
    t.Values.SetCell(2, 0, TVariant(1e20));
    t.Values.SetCell(0, 1, TVariant("text"));
    t.Values.SetCell(1, 1, TVariant());
    t.Values.SetCell(2, 1, TVariant(2.5e-7));
    t.DimNames.SetCellInARow(1, TVariant("a&b <\"c\">"));
    t.Load();
    t.Data.SetDimHidden(2, true);
    t.Data.SetPointColor(0, 15);
    t.Data.SetPointColor(1, 3);
    t.Data.SetPointHidden(1, true);
    const QString path = dir.filePath(QStringLiteral("out.xml"));
    WriteXMLFile(path, t.Data);
    EXPECT_EQ(ReadTestFile(path),
              QByteArray("<?xml version=\"1.0\"?>\n"
                         "<QuorbelData>\n"
                         "\t<data>\n"
                         "\t\t<variables count=\"3\">\n"
                         "\t\t\t<realvariable name=\"Dim 1\" hide=\"0\" />\n"
                         "\t\t\t<realvariable name=\"a&amp;b &lt;&quot;c&quot;>\" hide=\"0\" />\n"
                         "\t\t\t<realvariable name=\"Dim 3\" hide=\"1\" />\n"
                         "\t\t</variables>\n"
                         "\t\t<records count=\"2\" color=\"2\" missingValue=\"NA\">\n"
                         "\t\t\t<record label=\"Item 1\" color=\"15\" hide=\"0\"> 1.5 -2 1e20 </record>\n"
                         "\t\t\t<record label=\"Item 2\" color=\"3\" hide=\"1\"> -1 -1 2.5e-07 </record>\n"
                         "\t\t</records>\n"
                         "\t</data>\n"
                         "</QuorbelData>\n"));
}

TEST(XMLWrite, RecordValuesText)
{
    TTestTable t(3, 1, false);
    t.Values.SetCell(0, 0, TVariant(0.1 + 0.2));
    t.Values.SetCell(1, 0, TVariant(123456789012345678.0));
    t.Values.SetCell(2, 0, TVariant(-1e-300));
    t.Load();
    EXPECT_EQ(RecordValuesText(t.Data, 0, 3), QStringLiteral(" 0.3 1.23456789012346e17 -1e-300 "));
    EXPECT_EQ(RecordValuesText(t.Data, 0, 1), QStringLiteral(" 0.3 "));
    EXPECT_EQ(RecordValuesText(t.Data, 0, 0), QStringLiteral(" "));
}

TEST(XMLWrite, ValuesAreWrittenAsDoubleToTextWritesThem)
{
    // Random values of every magnitude, written without the exponent's plus.
    const int dims = 50, points = 200;
    TTestTable t(dims, points, false);
    QRandomGenerator random(4711);
    for (int i = 0; i < dims * points; ++i) {
        const double mantissa = random.generateDouble() * 20 - 10;
        const int exponent = random.bounded(-310, 309);
        double v = mantissa * std::pow(10.0, exponent);
        if (!std::isfinite(v) || i % 7 == 0)
            v = std::round(mantissa * 1000) / 1000;
        t.Values.SetCellInARow(i, TVariant(v));
    }
    t.Load();
    for (int j = 0; j < points; ++j) {
        QString expected = QStringLiteral(" ");
        for (int d = 0; d < dims; ++d)
            expected += DoubleToText(t.Data.GetValue(j, d)) + QLatin1Char(' ');
        ASSERT_EQ(RecordValuesText(t.Data, j, dims), expected);
    }
}

TEST(XMLWrite, EveryValueNameLabelColourAndFlagReadsBackInViewOrder)
{
    QTemporaryDir dir;
    const std::vector<TVariant> cells = {
        TVariant(0.0), TVariant(-1.0), TVariant(1.5), TVariant(1e20), TVariant(1e-20),
        TVariant(123456789.123456789), TVariant(-0.000123), TVariant(1.0 / 3), TVariant(M_PI),
        TVariant(DBL_MAX), TVariant(4.9e-324), TVariant(-2.5e-310), TVariant("abc"), TVariant(),
        TVariant(int32_t(42)), TVariant(1e15), TVariant(1e16), TVariant(-123456789012345678.0),
        TVariant::Null(), TVariant(99.99)};
    const int dims = 4, points = 5;
    TTestTable t(dims, points, false);
    for (int i = 0; i < dims * points; ++i)
        t.Values.SetCellInARow(i, cells[size_t(i)]);
    t.DimNames.SetCellInARow(0, TVariant(QStringLiteral("\u00c4rger & <Gr\u00f6\u00dfe> \"x\" 'y'")));
    t.DimNames.SetCellInARow(2, TVariant(""));
    t.PointNames.SetCellInARow(1, TVariant(QStringLiteral("\u2211 sum")));
    t.PointNames.SetCellInARow(3, TVariant("]]> end"));
    t.PointNames.SetCellInARow(4, TVariant("line\nbreak\ttab\r"));
    t.Load();
    t.Data.ExchangeDims(0, 3);
    t.Data.MoveDim(1, 2);
    t.Data.ExchangePoints(0, 4);
    t.Data.ExchangePoints(1, 2);
    t.Data.SetDimHidden(1, true);
    t.Data.SetDimHidden(3, true);
    t.Data.SetPointHidden(2, true);
    for (int j = 0; j < points; ++j)
        t.Data.SetPointColor(j, j * 3 - 1);

    const QString path = dir.filePath(QStringLiteral("roundtrip.xml"));
    WriteXMLFile(path, t.Data);
    ReadBack r(path);
    ASSERT_EQ(r.data.DimCount(), dims);
    ASSERT_EQ(r.data.PointCount(), points);
    for (int i = 0; i < dims; ++i) {
        EXPECT_EQ(r.data.GetDimName(i), t.Data.GetDimName(i)) << i;
        EXPECT_EQ(r.data.IsDimHidden(i), t.Data.IsDimHidden(i)) << i;
    }
    for (int j = 0; j < points; ++j) {
        EXPECT_EQ(r.data.GetPointName(j), t.Data.GetPointName(j)) << j;
        EXPECT_EQ(r.data.GetPointColor(j), t.Data.GetPointColor(j)) << j;
        EXPECT_EQ(r.data.IsPointHidden(j), t.Data.IsPointHidden(j)) << j;
        for (int d = 0; d < dims; ++d) {
            const double written = t.Data.GetValue(j, d);
            // Equal up to the 15-digit text form, which rounds the largest
            // doubles beyond the range; those are written exactly.
            const double rounded = DoubleToText(written).toDouble();
            EXPECT_EQ(r.data.GetValue(j, d), std::isfinite(rounded) ? rounded : written) << j << "," << d;
        }
    }
    for (int c = 0; c < dims; ++c)
        EXPECT_EQ(r.values.NotNumbers(c).Count(), 0) << c;
    // A second write of what was read gives the same file.
    const QString again = dir.filePath(QStringLiteral("again.xml"));
    WriteXMLFile(again, r.data);
    EXPECT_EQ(ReadTestFile(again), ReadTestFile(path));
}

TEST(XMLWrite, AFileWrittenUnderAnyLocaleReadsBack)
{
    QTemporaryDir dir;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TTestTable t(2, 1, false);
    t.Values.SetCell(0, 0, TVariant(1.25));
    t.Values.SetCell(1, 0, TVariant(-1234567.5));
    t.Load();
    const QString path = dir.filePath(QStringLiteral("de.xml"));
    WriteXMLFile(path, t.Data);
    ReadBack r(path);
    QLocale::setDefault(saved);
    EXPECT_EQ(r.data.GetValue(0, 0), 1.25);
    EXPECT_EQ(r.data.GetValue(0, 1), -1234567.5);
    EXPECT_TRUE(ReadTestFile(path).contains("> 1.25 -1234567.5 <"));
}

TEST(XMLWrite, NamesWithoutTheEndingXmlGetIt)
{
    QTemporaryDir dir;
    TTestTable t(1, 1, false);
    t.Load();
    const auto written = [&](const QString& name, const QString& expected) {
        WriteXMLFile(dir.filePath(name), t.Data);
        EXPECT_TRUE(QFile::exists(dir.filePath(expected))) << expected.toStdString();
    };
    written(QStringLiteral("plain"), QStringLiteral("plain.xml"));
    written(QStringLiteral("upper.XML"), QStringLiteral("upper.XML.xml"));
    written(QStringLiteral("Data.Xml"), QStringLiteral("Data.Xml.xml"));
    written(QStringLiteral("nopointxml"), QStringLiteral("nopointxml"));
    written(QStringLiteral("kept.xml"), QStringLiteral("kept.xml"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("kept.xml.xml"))));
}

TEST(XMLWrite, AFileThatCannotBeWrittenIsAnErrorNamingIt)
{
    QTemporaryDir dir;
    TTestTable t(1, 1, false);
    t.Load();
    const QString path = dir.filePath(QStringLiteral("no/such/folder/out.xml"));
    try {
        WriteXMLFile(path, t.Data);
        FAIL() << "no error";
    } catch (const EXMLError& e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
    }
}

TEST(XMLWrite, AFailedWriteGivesTheSystemsReasonAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.xml"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    TTestTable t(20, 200, false);
    t.Load();
    QString message;
    {
        const ScopedFileSizeLimit limit(4096);
        try {
            WriteXMLFile(path, t.Data);
        } catch (const EXMLError& e) {
            message = e.Message();
        }
    }
    EXPECT_TRUE(message.contains(path)) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << message.toStdString();
    EXPECT_EQ(ReadTestFile(path), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({QStringLiteral("kept.xml")}));
}

TEST(XMLWrite, CharactersXml10CannotHoldAreReplacedAndTheFileReadsBack)
{
    const QChar replacement(QChar::ReplacementCharacter);
    const struct {
        QString Name;
        QString Written;
    } cases[] = {
        {QStringLiteral("cut") + QChar(0) + QStringLiteral("short"), QStringLiteral("cut") + replacement + QStringLiteral("short")},
        {QStringLiteral("bell\u0007 vt\u000b ff\u000c esc\u001b"),
         QStringLiteral("bell") + replacement + QStringLiteral(" vt") + replacement + QStringLiteral(" ff") + replacement
             + QStringLiteral(" esc") + replacement},
        {QStringLiteral("not\ufffe chars\uffff"), QStringLiteral("not") + replacement + QStringLiteral(" chars") + replacement},
        {QStringLiteral("high") + QChar(0xD800) + QStringLiteral(" low") + QChar(0xDC00),
         QStringLiteral("high") + replacement + QStringLiteral(" low") + replacement},
        {QString(QChar(0xDC00)) + QChar(0xD800), QString(replacement) + replacement},
        {QStringLiteral("pair \U0001F600 tab\t lf\n cr\r del\u007f"), QStringLiteral("pair \U0001F600 tab\t lf\n cr\r del\u007f")},
    };
    const int n = int(std::size(cases));
    TTestTable t(n, n, false);
    for (int i = 0; i < n; ++i) {
        t.DimNames.SetCellInARow(i, TVariant(cases[i].Name));
        t.PointNames.SetCellInARow(i, TVariant(cases[i].Name));
    }
    t.Load();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chars.xml"));
    WriteXMLFile(path, t.Data);

    QXmlStreamReader xml(ReadTestFile(path));
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();

    ReadBack back(path);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(back.data.GetDimName(i), cases[i].Written) << i;
        EXPECT_EQ(back.data.GetPointName(i), cases[i].Written) << i;
    }
}
