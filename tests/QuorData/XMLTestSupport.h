#pragma once

// What the XML file tests share: a folder for the files they write, and a
// data object over generated grids to write from or read into.

#include "QuorData/QuorData.h"
#include "QuorData/QuorDataSrcTest.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Writes the content as the file of the name in the folder; its path.
inline QString WriteTestFile(const QTemporaryDir& Folder, const QByteArray& Content, const QString& Name)
{
    const QString path = Folder.filePath(Name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Content);
    return path;
}

// Files in a folder of their own, removed with the fixture.
class TXMLFolderTest : public ::testing::Test {
protected:
    explicit TXMLFolderTest(QString DefaultName) : FDefaultName(std::move(DefaultName)) {}

    QString Write(const QByteArray& content) { return Write(content, FDefaultName); }
    QString Write(const QByteArray& content, const QString& name) { return WriteTestFile(dir, content, name); }

    QTemporaryDir dir;

private:
    QString FDefaultName;
};

// A data object over generated grids whose cells the test may set; Set hands
// the grids to the data object. The grids are declared first so that they
// outlive the data object.
struct TGeneratedTable {
    TTestDataSrc values;
    TTestTextSrc names;
    TTestTextSrc labels;
    TData data;

    TGeneratedTable(int dims, int points, const QString& dimPrefix = QStringLiteral("Dim "),
                    const QString& pointPrefix = QStringLiteral("Item "))
    {
        values.Generate(dims, points);
        names.GenerateText(dims, 1, dimPrefix);
        labels.GenerateText(1, points, pointPrefix);
    }
    void Set() { data.SetDataSrc(&values, &names, &labels); }
};
