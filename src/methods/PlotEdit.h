#pragma once

#include "ObjectEditor/ObjectEditor.h"

class TQuorPlotClient;

// A plot's editor: handles for a lone selected object only (a group of
// plot objects is never resized), and the plot's scales beneath the objects.
class TGOPlotEdit : public TGOEdit {
public:
    TGOPlotEdit(QWidget* Owner, TQuorPlotClient* APlot);

protected:
    TGraphicObject* CreateSelectionHandles(const TSelectionEntry* SelList) override;
    void PaintBackground() override;
    void PaintBackgroundTo(TCanvas& Canvas, TGOEParts Parts) override;
    TQuorPlotClient* Plot() const { return FPlot; }

private:
    TQuorPlotClient* FPlot;
};
