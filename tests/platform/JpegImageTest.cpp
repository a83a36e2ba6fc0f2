#include "platform/JpegImage.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QByteArray Encode(const QImage& image, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(100);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return bytes;
}

QImage Quadrants()
{
    QImage image(40, 30, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 20, 15, QColor(255, 0, 0));
    p.fillRect(20, 0, 20, 15, QColor(0, 255, 0));
    p.fillRect(0, 15, 20, 15, QColor(0, 0, 255));
    p.fillRect(20, 15, 20, 15, QColor(255, 255, 255));
    return image;
}

void ExpectNear(QRgb actual, QColor expected)
{
    EXPECT_NEAR(qRed(actual), expected.red(), 12);
    EXPECT_NEAR(qGreen(actual), expected.green(), 12);
    EXPECT_NEAR(qBlue(actual), expected.blue(), 12);
}

} // namespace

TEST(JpegImageTest, DecodesColoursAtTheirPlaces)
{
    for (const bool progressive : {false, true}) {
        QString error;
        const QImage image = DecodeJpeg(Encode(Quadrants(), progressive), &error);
        ASSERT_FALSE(image.isNull()) << error.toStdString();
        EXPECT_EQ(image.size(), QSize(40, 30));
        EXPECT_EQ(image.format(), QImage::Format_RGB32);
        ExpectNear(image.pixel(5, 5), QColor(255, 0, 0));
        ExpectNear(image.pixel(34, 5), QColor(0, 255, 0));
        ExpectNear(image.pixel(5, 24), QColor(0, 0, 255));
        ExpectNear(image.pixel(34, 24), QColor(255, 255, 255));
    }
}

TEST(JpegImageTest, GreyImageBecomesRgb)
{
    QImage grey(16, 8, QImage::Format_Grayscale8);
    grey.fill(100);
    const QImage image = DecodeJpeg(Encode(grey));
    ASSERT_FALSE(image.isNull());
    ExpectNear(image.pixel(8, 4), QColor(100, 100, 100));
}

TEST(JpegImageTest, BadDataGivesANullImageAndTheReason)
{
    const QByteArray good = Encode(Quadrants());
    for (const QByteArray& bad : {QByteArray(), QByteArray("no picture at all"), good.left(40),
                                  QByteArray(good).replace(0, 2, "\xff\x00")}) {
        QString error;
        EXPECT_TRUE(DecodeJpeg(bad, &error).isNull());
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_TRUE(DecodeJpeg(QByteArray("\xff\xd8\xff", 3)).isNull()); // no reason wanted
}

TEST(JpegImageTest, DecodesTheProductPicture)
{
    const QString name =
        QStringLiteral(QT_TESTCASE_SOURCEDIR) + QStringLiteral("/../src/usagelog/quorbel.jpg");
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    const QImage image = DecodeJpeg(file.readAll());
    EXPECT_EQ(image.size(), QSize(233, 177));
}
