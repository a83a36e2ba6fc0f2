#include "ObjectEditor/StockObjects.h"
#include "QuorData/Utility.h"

#include "platform/Canvas.h"
#include "platform/CustomControl.h"
#include "platform/MouseQueue.h"
#include "support/Gestures.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

class TMoveCounter : public TCustomControl {
public:
    TMoveCounter()
    {
        resize(40, 40);
        OnMouseMove = [this](TObject*, TShiftState, int, int) { ++Moves; };
    }
    int Moves = 0;
};

} // namespace

TEST(UtilityDrawing, InvalidateLogicalRectConvertsToDevicePixels)
{
    TCustomControl window;
    window.resize(60, 60);
    window.Update();
    TCanvas& canvas = window.Canvas();
    InvalidateLogicalRect(canvas, nullptr, Rect(0, 0, 5, 5), true);
    canvas.SetMapMode(TMapMode::mmAnisotropic);
    canvas.SetWindowExt(1, 1);
    canvas.SetViewportExt(2, 2);
    InvalidateLogicalRect(canvas, &window, Rect(3, 4, 8, 6), false);
    EXPECT_EQ(window.InvalidRegion(), QRegion(6, 8, 10, 4));
}

TEST(UtilityDrawing, ExclusiveOrFramesInvertOrGreyAndUndoThemselves)
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(QColor(0x10, 0x20, 0x30));
    const QImage original = image.copy();
    TCanvas canvas(&image);
    DrawXorFrameWhite(canvas, Rect(0, 0, 8, 8));
    DrawXorFrameGrey(canvas, Rect(10, 0, 18, 8));
    EXPECT_EQ(image.pixel(4, 4) & 0xFFFFFF, 0xEFDFCFu);
    EXPECT_EQ(image.pixel(14, 4) & 0xFFFFFF, 0x90A0B0u);
    EXPECT_EQ(image.pixel(10, 0) & 0xFFFFFF, 0xEFDFCFu);
    DrawXorFrameWhite(canvas, Rect(0, 0, 8, 8));
    DrawXorFrameGrey(canvas, Rect(10, 0, 18, 8));
    EXPECT_EQ(image, original);
}

TEST(UtilityDrawing, ProcessMouseMessagesPumpsAtMostCountEvents)
{
    TMoveCounter control;
    for (int i = 0; i < 4; ++i)
        PostMouseEvent(&control, QEvent::MouseMove, {i, i}, Qt::NoButton, Qt::NoButton);
    TPollScope handler;
    ProcessMouseMessages(0);
    ProcessMouseMessages(-3);
    EXPECT_EQ(control.Moves, 0);
    ProcessMouseMessages(3);
    EXPECT_EQ(control.Moves, 3);
    ProcessMouseOrPaintMessage();
    EXPECT_EQ(control.Moves, 4);
    ProcessMouseMessages(5);
    EXPECT_EQ(control.Moves, 4);
}
