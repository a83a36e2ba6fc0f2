#pragma once

// What the XML file tests share: a folder for the files they write. Tables
// to write from or read into are TTestTable (support/TestTable.h).

#include "QuorData/QuorData.h"
#include "support/TestTable.h"

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

// The bytes of the file at the path.
inline QByteArray ReadTestFile(const QString& Path)
{
    QFile f(Path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << Path.toStdString();
    return f.readAll();
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

