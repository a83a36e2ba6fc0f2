#include "ObjectEditor/StockObjects.h"
#include "support/Images.h"

#include <gtest/gtest.h>

TEST(StockObjects, HatchBitmapIsACheckerboardWhiteOnEvenSums)
{
    const QImage& bitmap = HatchBitmap();
    ASSERT_EQ(bitmap.size(), QSize(8, 8));
    EXPECT_EQ(PixelColor(bitmap, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(PixelColor(bitmap, 1, 0), 0x000000u);
    EXPECT_EQ(PixelColor(bitmap, 0, 1), 0x000000u);
    EXPECT_EQ(PixelColor(bitmap, 1, 1), 0xFFFFFFu);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(PixelColor(bitmap, x, y), (x + y) % 2 == 0 ? 0xFFFFFFu : 0u) << x << "," << y;
    EXPECT_EQ(HatchBrush().Style(), TBrushStyle::bsPattern);
    EXPECT_EQ(HatchBrush().Bitmap(), bitmap);
}

TEST(StockObjects, SetMatchesItsTable)
{
    InitStockObjects();
    EXPECT_EQ(ClearPen().Style(), TPenStyle::psClear);
    EXPECT_EQ(BlackPen().Color(), 0u);
    EXPECT_EQ(BlackPen().Mode(), TPenMode::pmCopy);
    EXPECT_EQ(WhitePen().Color(), 0xFFFFFFu);
    EXPECT_EQ(XorPen().Mode(), TPenMode::pmXor);
    EXPECT_EQ(XorPen().Color(), 0xFFFFFFu);
    EXPECT_EQ(XorPen().Style(), TPenStyle::psSolid);
    EXPECT_EQ(XorClearPen().Mode(), TPenMode::pmXor);
    EXPECT_EQ(XorClearPen().Style(), TPenStyle::psClear);
    EXPECT_EQ(BlackBrush().Color(), 0u);
    EXPECT_EQ(WhiteBrush().Color(), 0xFFFFFFu);
    EXPECT_EQ(GreyBrush().Color(), 0x808080u);
    EXPECT_EQ(ClearBrush().Style(), TBrushStyle::bsClear);
    for (TPen* pen : {&ClearPen(), &BlackPen(), &WhitePen(), &XorPen(), &XorClearPen()})
        EXPECT_EQ(pen->Width(), 1);
}

TEST(StockObjects, AreSharedSoThatAChangeReachesEveryUser)
{
    EXPECT_EQ(&BlackPen(), &BlackPen());
    BlackPen().SetColor(0xFFFFFF);
    QImage image(3, 1, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        TCanvas canvas(&image);
        canvas.SetPen(BlackPen());
        canvas.MoveTo(0, 0);
        canvas.LineTo(2, 0);
    }
    BlackPen().SetColor(0x000000);
    EXPECT_EQ(PixelColor(image, 1, 0), 0xFFFFFFu);
}

TEST(StockObjects, ExclusiveOrPenWithEachBrush)
{
    QImage image(12, 12, QImage::Format_RGB32);
    image.fill(QColor(0x12, 0x34, 0x56));
    TCanvas canvas(&image);
    canvas.SetPen(XorPen());
    canvas.SetBrush(WhiteBrush());
    canvas.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(PixelColor(image, 0, 0), RGB(0xED, 0xCB, 0xA9));
    EXPECT_EQ(PixelColor(image, 2, 2), RGB(0xED, 0xCB, 0xA9));
    canvas.SetBrush(GreyBrush());
    canvas.Rectangle(4, 0, 8, 4);
    EXPECT_EQ(PixelColor(image, 4, 0), RGB(0xED, 0xCB, 0xA9));  // outline: the pen
    EXPECT_EQ(PixelColor(image, 5, 1), RGB(0x92, 0xB4, 0xD6));  // inside: $808080
    canvas.SetBrush(ClearBrush());
    canvas.Rectangle(8, 0, 12, 4);
    EXPECT_EQ(PixelColor(image, 8, 3), RGB(0xED, 0xCB, 0xA9));
    EXPECT_EQ(PixelColor(image, 9, 1), RGB(0x12, 0x34, 0x56));
}
