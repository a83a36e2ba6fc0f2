#include "methods/PlotEdit.h"

#include "methods/QuorPlotClient.h"

TGOPlotEdit::TGOPlotEdit(QWidget* Owner, TQuorPlotClient* APlot)
    : TGOEdit(Owner), FPlot(APlot)
{
}

TGraphicObject* TGOPlotEdit::CreateSelectionHandles(const TSelectionEntry* SelList)
{
    FreeHandles(SelList, Handles);
    if (!SelList || SelList->Next)
        return nullptr;
    return CreateObjectHandles(SelList->Object, SelFlagsAnd);
}

void TGOPlotEdit::PaintBackground()
{
    PaintBackgroundTo(Canvas(), AllGOEParts);
}

void TGOPlotEdit::PaintBackgroundTo(TCanvas& ACanvas, TGOEParts /*Parts*/)
{
    FPlot->PaintScales(ACanvas);
}
