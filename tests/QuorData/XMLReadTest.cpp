#include "QuorData/QuorDataSrcXML.h"
#include "support/TestSupport.h"

#include "XMLTestSupport.h"

#include <QFile>
#include <QLocale>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>

namespace {

class XMLRead : public TXMLFolderTest {
protected:
    XMLRead() : TXMLFolderTest(QStringLiteral("t.xml")) {}

    // A file of three variables and one record per text.
    QString Records(const QList<QByteArray>& texts, int variables = 3)
    {
        QByteArray xml = "<?xml version=\"1.0\"?><QuorbelData><data><variables count=\"3\">";
        for (int i = 0; i < variables; ++i)
            xml += "<realvariable name=\"v" + QByteArray::number(i) + "\" hide=\"0\"/>";
        xml += "</variables><records count=\"1\" color=\"2\" missingValue=\"NA\">";
        for (const QByteArray& t : texts)
            xml += "<record label=\"r\" color=\"1\" hide=\"0\">" + t + "</record>";
        xml += "</records></data></QuorbelData>";
        return Write(xml);
    }

    // The values of the first record of a file of the given texts.
    std::vector<TVariant> Scan(const QByteArray& text, TXMLDataSrc* keep = nullptr)
    {
        TXMLFile file;
        EXPECT_TRUE(file.Open(Records({text})));
        TXMLDataSrc local;
        TXMLDataSrc& src = keep ? *keep : local;
        src.Load(file);
        std::vector<TVariant> values;
        for (int c = 0; c < src.ColCount(); ++c)
            values.push_back(src.Cell(c, 0));
        return values;
    }
};

const TVariant Zero = TVariant(int32_t(0));

std::vector<TVariant> V(std::initializer_list<TVariant> values)
{
    return values;
}

} // namespace

TEST_F(XMLRead, ValuesSeparatedByBlanks)
{
    EXPECT_EQ(Scan("1 2.5 -3"), V({1.0, 2.5, -3.0}));
    // A blank before, between and after two values in three dimensions.
    EXPECT_EQ(Scan(" 4 5 "), V({4.0, 5.0, Zero}));
    // Several blanks between values; exponents; a leading or trailing point.
    EXPECT_EQ(Scan("1e5   -2.5E-3 .5"), V({1e5, -2.5e-3, 0.5}));
    EXPECT_EQ(Scan("5. 0 -0"), V({5.0, 0.0, 0.0}));
    // Surplus tokens after the last column are ignored.
    EXPECT_EQ(Scan("1 2 3 4 5"), V({1.0, 2.0, 3.0}));
    // Numbers are Doubles, the missing ones the integer 0.
    const auto values = Scan("7 NA");
    EXPECT_EQ(values[0].type(), TVariant::Type::Double);
    EXPECT_EQ(values[1].type(), TVariant::Type::Integer);
    EXPECT_EQ(values[2].type(), TVariant::Type::Integer);
}

TEST_F(XMLRead, LeadingCharactersThatAreNoTokenCharactersAreSkipped)
{
    EXPECT_EQ(Scan("\n\t ;;(1 2 3"), V({1.0, 2.0, 3.0}));
    EXPECT_EQ(Scan(""), V({Zero, Zero, Zero}));
    EXPECT_EQ(Scan("   "), V({Zero, Zero, Zero}));
}

TEST_F(XMLRead, AForeignCharacterEndsTheRecord)
{
    // A decimal comma: the integer part, then 0 for every later column.
    EXPECT_EQ(Scan("1,5 2 3"), V({1.0, Zero, Zero}));
    // A slash inside a token: its first part, then 0.
    EXPECT_EQ(Scan("2 7/8 9"), V({2.0, 7.0, Zero}));
    // Only blanks separate values; a tab or a line break is foreign.
    EXPECT_EQ(Scan("1\t2 3"), V({1.0, Zero, Zero}));
    EXPECT_EQ(Scan("1 2\n3"), V({1.0, 2.0, Zero}));
    // A plus sign is no token character.
    EXPECT_EQ(Scan("4 1e+5 6"), V({4.0, Zero, Zero}));
}

TEST_F(XMLRead, MissingWordsAndNotNumbers)
{
    TXMLDataSrc src;
    EXPECT_EQ(Scan("NA missing na", &src), V({Zero, Zero, Zero}));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(src.NotNumbers(c).Count(), 0);
    EXPECT_EQ(src.NotNumbers(2).GetColumn(), 2);

    // The words are exact: other letter cases are texts that are no numbers.
    EXPECT_EQ(Scan("Na MISSING abc/1", &src), V({Zero, Zero, Zero}));
    EXPECT_EQ(src.NotNumbers(0).Value(0).GetValue(), QStringLiteral("Na"));
    EXPECT_EQ(src.NotNumbers(1).Value(0).GetValue(), QStringLiteral("MISSING"));
    EXPECT_EQ(src.NotNumbers(2).Value(0).GetValue(), QStringLiteral("abc"));

    // Non-finite numbers and malformed ones are no numbers either.
    EXPECT_EQ(Scan("nan inf 1.2.3", &src), V({Zero, Zero, Zero}));
    EXPECT_EQ(src.NotNumbers(0).Value(0).GetValue(), QStringLiteral("nan"));
    EXPECT_EQ(src.NotNumbers(1).Value(0).GetValue(), QStringLiteral("inf"));
    EXPECT_EQ(src.NotNumbers(2).Value(0).GetValue(), QStringLiteral("1.2.3"));
    EXPECT_EQ(Scan("1e999 0x10 --1", &src), V({Zero, Zero, Zero}));
    EXPECT_EQ(src.NotNumbers(1).Value(0).GetValue(), QStringLiteral("0x10"));
}

TEST_F(XMLRead, NotNumbersListRowsFromTheLastRecord)
{
    TXMLFile file;
    ASSERT_TRUE(file.Open(Records({"x 1", "y 2", "x 3", "1 y"}, 2)));
    TXMLDataSrc src;
    src.Load(file);
    ASSERT_EQ(src.NotNumbers(0).Count(), 2);
    EXPECT_EQ(src.NotNumbers(0).Value(0).GetValue(), QStringLiteral("x"));
    EXPECT_EQ(src.NotNumbers(0).Value(0).GetIndices(), (std::vector<int>{2, 0}));
    EXPECT_EQ(src.NotNumbers(0).Value(1).GetIndices(), (std::vector<int>{1}));
    EXPECT_EQ(src.NotNumbers(1).Value(0).GetIndices(), (std::vector<int>{3}));
    EXPECT_EQ(src.Cell(1, 2), TVariant(3.0));
}

TEST_F(XMLRead, ThePointIsTheSeparatorWhateverTheLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto values = Scan("1.5 -0.25 2");
    QLocale::setDefault(saved);
    EXPECT_EQ(values, V({1.5, -0.25, 2.0}));
}

TEST_F(XMLRead, TextSplitByCommentsOrCDataIsJoined)
{
    EXPECT_EQ(Scan("1 <!-- c --> 2 <![CDATA[3]]>"), V({1.0, 2.0, 3.0}));
}

TEST_F(XMLRead, GridAccessOutsideTheGridFails)
{
    TXMLDataSrc src;
    Scan("1 2 3", &src);
    EXPECT_THROW(src.Cell(3, 0), EAssertionFailed);
    EXPECT_THROW(src.Cell(0, 1), EAssertionFailed);
    EXPECT_THROW(src.SetCell(-1, 0, TVariant(1.0)), EAssertionFailed);
}

TEST_F(XMLRead, CellsTakeAnyValue)
{
    TXMLFile file;
    ASSERT_TRUE(file.Open(Records({"1 NA 3", "4 5 6"})));
    TXMLDataSrc src;
    src.Load(file);
    src.SetCell(0, 1, TVariant(-7.5));
    EXPECT_EQ(src.Cell(0, 1), TVariant(-7.5));
    src.SetCell(2, 0, TVariant("t"));
    src.SetCell(2, 1, TVariant::Null());
    EXPECT_EQ(src.Cell(2, 0), TVariant("t"));
    EXPECT_TRUE(src.Cell(2, 1).isNull());
    // The other cells keep their values and kinds.
    EXPECT_EQ(src.Cell(0, 0), TVariant(1.0));
    EXPECT_EQ(src.Cell(0, 1), TVariant(-7.5));
    EXPECT_EQ(src.Cell(1, 0).type(), TVariant::Type::Integer);
    EXPECT_EQ(src.Cell(1, 1), TVariant(5.0));
    src.SetCached(true); // the cache is read through the cells
    EXPECT_EQ(src.Cell(2, 0), TVariant("t"));
}

TEST_F(XMLRead, NamesAndLabels)
{
    const QString path = Write(
        "<Anything><data><variables>"
        "<realvariable name=\"height &amp; width\"/><realvariable hide=\"1\"/><realvariable name=\"\xc3\x9c\"/>"
        "</variables><records>"
        "<record label=\"first\" id=\"ignored\">1</record>"
        "<record id=\"by id\">2</record>"
        "<record label=\"\" id=\"empty label\">3</record>"
        "<record>4</record>"
        "</records></data></Anything>");
    TXMLFile file;
    ASSERT_TRUE(file.Open(path)); // any root name
    EXPECT_EQ(file.VariableCount(), 3);
    EXPECT_EQ(file.RecordCount(), 4);
    TXMLTextSrc names, labels;
    names.LoadNames(file);
    labels.LoadLabels(file);
    ASSERT_EQ(names.RowCount(), 1);
    ASSERT_EQ(names.ColCount(), 3);
    EXPECT_EQ(names.CellInARow(0), TVariant("height & width"));
    EXPECT_EQ(names.CellInARow(1), TVariant(""));
    EXPECT_EQ(names.CellInARow(2), TVariant(QStringLiteral("\u00dc")));
    ASSERT_EQ(labels.ColCount(), 4);
    EXPECT_EQ(labels.CellInARow(0), TVariant("first"));
    EXPECT_EQ(labels.CellInARow(1), TVariant("by id"));
    EXPECT_EQ(labels.CellInARow(2), TVariant("empty label"));
    EXPECT_EQ(labels.CellInARow(3), TVariant(""));
}

TEST_F(XMLRead, OpenNeedsVariablesAndRecords)
{
    TXMLFile file;
    EXPECT_FALSE(file.Open(Write("<QuorbelData><data><variables/><records><record/></records></data></QuorbelData>")));
    EXPECT_EQ(file.RecordCount(), 1);
    EXPECT_FALSE(file.Open(Write("<QuorbelData><data><variables><realvariable/></variables></data></QuorbelData>")));
    EXPECT_EQ(file.VariableCount(), 1);
    EXPECT_EQ(file.RecordCount(), 0);
    // A root of another kind of document holds nothing.
    EXPECT_FALSE(file.Open(Write("<html><body><p>1 2 3</p></body></html>")));
    // Children are counted, the "count" attributes are not read; stray text
    // between records is no record.
    EXPECT_TRUE(file.Open(Write("<Q><data><variables count=\"9\"><realvariable/></variables>"
                                "<records count=\"0\">x<record>1</record>y<record>2</record></records></data></Q>")));
    EXPECT_EQ(file.VariableCount(), 1);
    EXPECT_EQ(file.RecordCount(), 2);
    TXMLDataSrc src;
    src.Load(file);
    EXPECT_EQ(src.Cell(0, 0), TVariant(1.0));
    EXPECT_EQ(src.Cell(0, 1), TVariant(2.0));
}

TEST_F(XMLRead, NumbersReadAsTheirNearestDouble)
{
    // Plain decimals of every length and exponent forms, against the
    // standard correctly rounded conversion.
    QRandomGenerator random(230003);
    QList<QByteArray> texts;
    std::vector<double> expected;
    for (int r = 0; r < 400; ++r) {
        QByteArray text;
        for (int c = 0; c < 3; ++c) {
            QByteArray token = random.bounded(2) ? "-" : "";
            const int intDigits = random.bounded(21);
            const int fracDigits = random.bounded(24);
            for (int i = 0; i < intDigits; ++i)
                token += char('0' + random.bounded(10));
            if (fracDigits > 0 || intDigits == 0) {
                token += '.';
                for (int i = 0; i < std::max(fracDigits, 1); ++i)
                    token += char('0' + random.bounded(10));
            }
            if (random.bounded(5) == 0)
                token += "e" + QByteArray::number(int(random.bounded(60)) - 30);
            double v = 0;
            std::from_chars(token.constData(), token.constData() + token.size(), v);
            expected.push_back(v);
            text += token + ' ';
        }
        texts.append(text);
    }
    TXMLFile file;
    ASSERT_TRUE(file.Open(Records(texts)));
    TXMLDataSrc src;
    src.Load(file);
    for (int r = 0; r < 400; ++r)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(src.Cell(c, r), TVariant(expected[size_t(r * 3 + c)])) << texts[r].toStdString();
}

TEST_F(XMLRead, NumbersReadAlikeNearTheEndOfTheTextAndFarFromIt)
{
    // Runs of digits around eight and sixteen, the mantissa's limits, and
    // tokens that only begin like numbers; each followed by more and more
    // blanks, so that it is read both near the text's end and far from it.
    const char* const tokens[] = {"1234567.123456789012345", "12345678.5", "1234567.1234567812345678",
                                  "0.12345678",              "0.123456781234567", "-.5",
                                  "5.",                      "-0",                "9007199254740993",
                                  "123456789012345678",      "0.0000000000000000001", "1.5e3",
                                  "1.2.3",                   "12-3",              "-"};
    for (const char* token : tokens) {
        double expected = 0;
        const char* end = token + std::strlen(token);
        const auto [ptr, ec] = std::from_chars(token, end, expected);
        const TVariant value = ec == std::errc() && ptr == end ? TVariant(expected) : Zero;
        for (int blanks = 0; blanks < 30; ++blanks)
            ASSERT_EQ(Scan(token + QByteArray(1 + blanks, ' ') + "7")[0], value) << token << " " << blanks;
    }
}

TEST_F(XMLRead, ValuesReadOnSeveralThreadsAreThoseOfOne)
{
    // Texts that are no numbers spread over the records, some in several
    // blocks, some in one only, met in different orders per column.
    QString records;
    for (int r = 0; r < 5000; ++r) {
        const QString a = r % 7 == 0 ? QStringLiteral("x%1").arg(r % 3) : QString::number(r * 0.25);
        const QString b = r % 1000 == 999 ? QStringLiteral("late") : r % 11 == 0 ? QStringLiteral("NA") : QString::number(-r);
        const QString name = (r % 2 ? QStringLiteral("id=\"i%1\"") : QStringLiteral("label=\"l%1\"")).arg(r);
        records += QStringLiteral("<record %1> %2 %3 1e%4 </record>").arg(name, a, b).arg(r % 300 - 150);
    }
    const QString path = Write((QStringLiteral("<q><data><variables><realvariable name=\"a\"/><realvariable name=\"b\"/>"
                                              "<realvariable name=\"c\"/></variables><records>")
                               + records + QStringLiteral("</records></data></q>"))
                                  .toUtf8());
    TXMLFile file;
    ASSERT_TRUE(file.Open(path));
    TXMLDataSrc one;
    one.Load(file, 1);
    for (const int threads : {2, 3, 8}) {
        SCOPED_TRACE(threads);
        // The labels the last value pass kept, then those read from the
        // records.
        for (int pass = 0; pass < 2; ++pass) {
            TXMLTextSrc labels;
            labels.LoadLabels(file, threads);
            ASSERT_EQ(labels.ColCount(), 5000);
            for (int r = 0; r < 5000; ++r)
                ASSERT_EQ(labels.Cell(r, 0), TVariant((r % 2 ? QStringLiteral("i%1") : QStringLiteral("l%1")).arg(r)));
        }
        TXMLDataSrc several;
        several.Load(file, threads);
        for (int c = 0; c < 3; ++c) {
            for (int r = 0; r < 5000; ++r) {
                TVariant x, y;
                one.GetCell(c, r, x);
                several.GetCell(c, r, y);
                ASSERT_EQ(x.type(), y.type());
                ASSERT_EQ(x.toString(), y.toString());
            }
            const TNotNumbers& expected = one.NotNumbers(c);
            const TNotNumbers& got = several.NotNumbers(c);
            ASSERT_EQ(got.Count(), expected.Count());
            for (int i = 0; i < expected.Count(); ++i) {
                EXPECT_EQ(got.Value(i).GetValue(), expected.Value(i).GetValue());
                EXPECT_EQ(got.Value(i).GetIndices(), expected.Value(i).GetIndices());
            }
        }
    }
    EXPECT_EQ(one.NotNumbers(0).Count(), 3);
    EXPECT_EQ(one.NotNumbers(1).Value(0).GetIndices().front(), 4999);
}

TEST_F(XMLRead, LargeFileReadInPiecesReadsEveryRecord)
{
    // Some megabytes, so that the file is copied in pieces on several
    // threads; a misplaced piece garbles labels or values.
    constexpr int records = 60000;
    QByteArray xml = "<q><data><variables><realvariable name=\"a\"/><realvariable name=\"b\"/></variables><records>";
    for (int r = 0; r < records; ++r)
        xml += "<record label=\"label number " + QByteArray::number(r) + "\" color=\"1\" hide=\"0\"> " +
               QByteArray::number(r) + " " + QByteArray::number(-r * 0.5) + " </record>\n";
    xml += "</records></data></q>";
    ASSERT_GT(xml.size(), 4 << 20);
    TXMLFile file;
    ASSERT_TRUE(file.Open(Write(xml)));
    ASSERT_EQ(file.RecordCount(), records);
    TXMLDataSrc values;
    values.Load(file);
    TXMLTextSrc labels;
    labels.LoadLabels(file);
    for (int r = 0; r < records; ++r) {
        ASSERT_EQ(values.Cell(0, r), TVariant(double(r))) << r;
        ASSERT_EQ(values.Cell(1, r), TVariant(-r * 0.5)) << r;
        ASSERT_EQ(labels.CellInARow(r), TVariant(QStringLiteral("label number %1").arg(r))) << r;
    }
}

TEST_F(XMLRead, LabelsReadWithTheValuesAreThoseOfTheFileLoaded)
{
    const auto file = [&](const char* label) {
        return Write(QByteArray("<q><data><variables><realvariable name=\"a\"/></variables><records>") +
                     "<record label=\"" + label + "\">1</record><record id=\"i\">2</record></records></data></q>");
    };
    TXMLFile xml;
    ASSERT_TRUE(xml.Open(file("first")));
    TXMLDataSrc values;
    values.Load(xml);
    // Taken from the value grid's pass once, read from the records after.
    for (int pass = 0; pass < 2; ++pass) {
        TXMLTextSrc labels;
        labels.LoadLabels(xml);
        ASSERT_EQ(labels.ColCount(), 2);
        EXPECT_EQ(labels.CellInARow(0), TVariant("first"));
        EXPECT_EQ(labels.CellInARow(1), TVariant("i"));
    }
    values.Load(xml);
    ASSERT_TRUE(xml.Open(file("second")));
    TXMLTextSrc labels;
    labels.LoadLabels(xml);
    EXPECT_EQ(labels.CellInARow(0), TVariant("second"));
}
