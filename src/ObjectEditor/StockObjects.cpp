#include "ObjectEditor/StockObjects.h"

void InitStockObjects()
{
    TStockObjects::Instance();
}

void DrawXorFrameGrey(TCanvas& Canvas, const TRect& R)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(GreyBrush());
    Canvas.Rectangle(R);
}

void DrawXorFrameWhite(TCanvas& Canvas, const TRect& R)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(WhiteBrush());
    Canvas.Rectangle(R);
}
