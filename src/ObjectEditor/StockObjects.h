#pragma once

#include "platform/Canvas.h"

#include <QImage>

// The pens and brushes that every drawing shares. They are created once, in
// the order below, by InitStockObjects, which the program calls at start-up
// before any window (every accessor creates them too, so tests need no
// start-up); they are never replaced and never freed. Users hold them by
// reference and may change them: a change is seen by every user (the
// background inversion of some plots recolours BlackPen).
//
// XorPen combined with WhiteBrush inverts an area, with GreyBrush it
// exclusive-ors it with $808080, with ClearBrush it inverts an outline;
// drawing the same figure again restores the pixels.

struct TStockObjects {
    TPen ClearPen{0x000000, TPenMode::pmCopy, TPenStyle::psClear};
    TPen BlackPen{0x000000};
    TPen WhitePen{0xFFFFFF};
    TPen XorPen{0xFFFFFF, TPenMode::pmXor};
    TPen XorClearPen{0xFFFFFF, TPenMode::pmXor, TPenStyle::psClear};
    TBrush BlackBrush{0x000000};
    TBrush WhiteBrush{0xFFFFFF};
    TBrush GreyBrush{0x808080};
    TBrush HatchBrush;
    QImage HatchBitmap;
    TBrush ClearBrush;

    TStockObjects()
    {
        // A 50 % checkerboard: white where x + y is even.
        HatchBitmap = QImage(8, 8, QImage::Format_RGB32);
        {
            TCanvas canvas(&HatchBitmap);
            canvas.SetPen(WhitePen);
            canvas.SetBrush(BlackBrush);
            canvas.FillRect(Rect(0, 0, 8, 8));
            for (int y = 7; y >= 0; --y)
                for (int k = 3; k >= 0; --k) {
                    const int x = 2 * k + y % 2;
                    canvas.MoveTo(x, y);
                    canvas.LineTo(x + 1, y);
                }
        }
        HatchBrush.SetBitmap(HatchBitmap);
        ClearBrush.SetStyle(TBrushStyle::bsClear);
    }

    // The one set of the program: made on first use, never freed.
    static TStockObjects& Instance()
    {
        static TStockObjects* objects = new TStockObjects;
        return *objects;
    }
};

// Creates the stock objects now (at start-up) rather than on first use.
void InitStockObjects();

inline TPen& ClearPen() { return TStockObjects::Instance().ClearPen; }
inline TPen& BlackPen() { return TStockObjects::Instance().BlackPen; }
inline TPen& WhitePen() { return TStockObjects::Instance().WhitePen; }
inline TPen& XorPen() { return TStockObjects::Instance().XorPen; }
inline TPen& XorClearPen() { return TStockObjects::Instance().XorClearPen; }
inline TBrush& BlackBrush() { return TStockObjects::Instance().BlackBrush; }
inline TBrush& WhiteBrush() { return TStockObjects::Instance().WhiteBrush; }
inline TBrush& GreyBrush() { return TStockObjects::Instance().GreyBrush; }
inline TBrush& HatchBrush() { return TStockObjects::Instance().HatchBrush; }
inline TBrush& ClearBrush() { return TStockObjects::Instance().ClearBrush; }
// 8 by 8 pixels, white and black.
inline const QImage& HatchBitmap() { return TStockObjects::Instance().HatchBitmap; }

// R with the stock exclusive-or pen and grey brush: exclusive-ors the area
// with $808080. Drawing it again restores the pixels.
void DrawXorFrameGrey(TCanvas& Canvas, const TRect& R);
// R with the stock exclusive-or pen and white brush: inverts the area.
void DrawXorFrameWhite(TCanvas& Canvas, const TRect& R);
