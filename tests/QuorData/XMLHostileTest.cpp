#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"
#include "QuorData/QuorDataSrcXML.h"
#include "support/TestSupport.h"

#include "XMLTestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class XMLHostile : public TXMLFolderTest {
protected:
    XMLHostile() : TXMLFolderTest(QStringLiteral("hostile.xml")) {}

    // Opening fails with an error that names the file and says why.
    void ExpectUnreadable(const QString& path, const char* reason)
    {
        TXMLFile file;
        try {
            file.Open(path);
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const EXMLError& e) {
            EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
            EXPECT_TRUE(e.Message().contains(QLatin1String(reason), Qt::CaseInsensitive))
                << e.Message().toStdString();
        }
    }
};

const QByteArray Body = "<data><variables><realvariable name=\"&lol9;\"/></variables>"
                        "<records><record label=\"&lol9;\">1 &lol9; 3</record></records></data>";

} // namespace

TEST_F(XMLHostile, EntityDeclarationsAreNotExpanded)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol \"lol\">\n";
    xml += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
    for (int i = 2; i <= 9; ++i) {
        xml += "<!ENTITY lol" + QByteArray::number(i) + " \"";
        for (int k = 0; k < 10; ++k)
            xml += "&lol" + QByteArray::number(i - 1) + ";";
        xml += "\">\n";
    }
    xml += "]>\n<lolz>" + Body + "</lolz>";

    TXMLFile file;
    ASSERT_TRUE(file.Open(Write(xml)));
    TXMLTextSrc names, labels;
    names.LoadNames(file);
    labels.LoadLabels(file);
    TXMLDataSrc values;
    values.Load(file);
    // The reference stays as written; the value scan stops at its "&".
    EXPECT_EQ(names.CellInARow(0), TVariant("&lol9;"));
    EXPECT_EQ(labels.CellInARow(0), TVariant("&lol9;"));
    EXPECT_EQ(values.Cell(0, 0), TVariant(1.0));
}

TEST_F(XMLHostile, ExternalEntitiesAreNeverFetched)
{
    const QString secret = Write("SECRET-CONTENT", QStringLiteral("secret.txt"));
    const QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE q [\n"
                           "<!ENTITY ext SYSTEM \"file:///etc/passwd\">\n"
                           "<!ENTITY sec SYSTEM \"file://" + secret.toUtf8() + "\">\n"
                           "]>\n<q><data><variables><realvariable name=\"&ext;&sec;\"/></variables>"
                           "<records><record label=\"&sec;\">&ext; 2</record></records></data></q>";
    TXMLFile file;
    ASSERT_TRUE(file.Open(Write(xml)));
    TXMLTextSrc names, labels;
    names.LoadNames(file);
    labels.LoadLabels(file);
    EXPECT_EQ(names.CellInARow(0), TVariant("&ext;&sec;"));
    EXPECT_EQ(labels.CellInARow(0), TVariant("&sec;"));
}

TEST_F(XMLHostile, BrokenFilesAreErrorsNamingFileAndReason)
{
    const QByteArray good = "<?xml version=\"1.0\"?><QuorbelData><data><variables><realvariable name=\"a\"/>"
                            "</variables><records><record label=\"r\">1</record></records></data></QuorbelData>";
    ExpectUnreadable(Write(good.left(good.size() - 20), QStringLiteral("truncated.xml")), "offset");
    ExpectUnreadable(Write(QByteArray(), QStringLiteral("empty.xml")), "no document element");
    ExpectUnreadable(Write("   \n  ", QStringLiteral("blank.xml")), "no document element");
    ExpectUnreadable(Write("just some text", QStringLiteral("text.xml")), "no document element");
    ExpectUnreadable(dir.filePath(QStringLiteral("missing.xml")), "no such file");
    ExpectUnreadable(dir.path(), "");

    // Binary garbage of several seeds, with and without a leading "<".
    QRandomGenerator random(4711);
    for (int i = 0; i < 20; ++i) {
        QByteArray garbage(4096, '\0');
        for (char& c : garbage)
            c = char(random.bounded(256));
        if (i % 2)
            garbage[0] = '<';
        TXMLFile file;
        try {
            // Parsing garbage may at best yield an element without data.
            EXPECT_FALSE(file.Open(Write(garbage, QStringLiteral("garbage.xml"))));
        } catch (const EXMLError& e) {
            EXPECT_TRUE(e.Message().contains(QStringLiteral("garbage.xml")));
        }
    }
}

TEST_F(XMLHostile, DeepNestingIsHarmless)
{
    const int depth = 200000;
    QByteArray xml = "<q><data><variables><realvariable/></variables><records><record>";
    xml += QByteArray("<a>").repeated(depth) + "5" + QByteArray("</a>").repeated(depth);
    xml += "</record></records></data></q>";
    TXMLFile file;
    ASSERT_TRUE(file.Open(Write(xml)));
    TXMLDataSrc src;
    src.Load(file);
    EXPECT_EQ(src.Cell(0, 0), TVariant(5.0));
}

TEST_F(XMLHostile, AFailedLoadKeepsTheFormerDocument)
{
    TXMLFile file;
    ASSERT_TRUE(file.Open(Write("<q><data><variables><realvariable name=\"kept\"/></variables>"
                                "<records><record>1</record></records></data></q>",
                                QStringLiteral("good.xml"))));
    EXPECT_THROW(file.Open(Write("<q><data>", QStringLiteral("bad.xml"))), EXMLError);
    TXMLTextSrc names;
    names.LoadNames(file);
    EXPECT_EQ(names.CellInARow(0), TVariant("kept"));
}

TEST_F(XMLHostile, AttributesThatAreNoIntegersFailAfterTheOnesBefore)
{
    TTestTable t(1, 3, false, QStringLiteral("d"), QStringLiteral("p"));
    t.Load();
    const QString path = Write("<q><data><variables><realvariable hide=\"yes\"/></variables><records>"
                               "<record color=\" 7 \" hide=\"0\"/><record color=\"-3\"/><record color=\"red\" hide=\"1\"/>"
                               "<record color=\"9\"/></records></data></q>");
    try {
        ReadXMLAttributes(path, t.Data);
        FAIL() << "no error";
    } catch (const EVariantError& e) {
        EXPECT_TRUE(e.Message().contains(QLatin1String("'red'")));
    }
    EXPECT_TRUE(t.Data.IsDimHidden(0)); // any text but "0" hides
    EXPECT_EQ(t.Data.GetPointColor(0), 7);
    EXPECT_EQ(t.Data.GetPointColor(1), -3); // stored unchanged
    EXPECT_FALSE(t.Data.IsPointHidden(2));  // not reached
    // More entries in the file than the data object has are left alone.
    EXPECT_NO_THROW(ReadXMLAttributes(Write("<q><data><variables><realvariable/><realvariable hide=\"1\"/></variables>"
                                            "<records><record/><record/><record/><record hide=\"1\"/></records></data></q>"),
                                      t.Data));
}

TEST_F(XMLHostile, TheDataObjectKeepsItsSourcesWhenAFileFails)
{
    TTestTable t(2, 2, false, QStringLiteral("d"), QStringLiteral("p"));
    t.Load();
    const QString bad = Write("<q><data><variables><realvariable", QStringLiteral("cut.xml"));
    // The steps of a load, as far as they get.
    TXMLFile file;
    EXPECT_THROW(file.Open(bad), EXMLError);
    EXPECT_THROW(ReadXMLAttributes(bad, t.Data), EXMLError);
    EXPECT_EQ(t.Data.DataSrc(), &t.Values);
    EXPECT_EQ(t.Data.GetDimName(1), QStringLiteral("d2"));
}

TEST_F(XMLHostile, ATableTooLargeForMemoryIsRefusedAndTheGridKept)
{
    TXMLFile good;
    ASSERT_TRUE(good.Open(Write("<q><data><variables><v/><v/></variables><records><r>1 2</r></records></data></q>",
                                QStringLiteral("good.xml"))));
    TXMLDataSrc values;
    values.Load(good);

    // Half a megabyte of empty elements implies a billion cells.
    const QByteArray xml = "<q><data><variables>" + QByteArray("<v/>").repeated(100000) + "</variables><records>"
                           + QByteArray("<r/>").repeated(10000) + "</records></data></q>";
    TXMLFile huge;
    const QString path = Write(xml, QStringLiteral("huge.xml"));
    ASSERT_TRUE(huge.Open(path));
    try {
        values.Load(huge);
        FAIL() << "no error";
    } catch (const EXMLError& e) {
        EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
        EXPECT_TRUE(e.Message().contains(QLatin1String("100000 variables by 10000 records")))
            << e.Message().toStdString();
    }
    EXPECT_EQ(values.ColCount(), 2);
    EXPECT_EQ(values.RowCount(), 1);
    EXPECT_EQ(values.Cell(1, 0), TVariant(2.0));
}

TEST_F(XMLHostile, NamesThatAreNoRegularFilesAreRefusedWithoutWaiting)
{
    const QString pipe = dir.filePath(QStringLiteral("pipe.xml"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ExpectUnreadable(pipe, "not a regular file");
    ExpectUnreadable(QStringLiteral("/dev/null"), "not a regular file");
    ExpectUnreadable(dir.path(), "folder");
    TTestTable t(1, 1);
    EXPECT_THROW(ReadXMLAttributes(pipe, t.Data), EXMLError);
}
