#pragma once

#include "ObjectEditor/CustomControl2.h"
#include "methods/AndrewsCurvesGeometry.h"
#include "methods/QuorPlotClient.h"
#include "platform/Canvas.h"

#include <QPointer>

#include <span>

#include <vector>

class TAndrewsCurves;

// The control the curves are drawn on, filling the plot window. Its paint
// is the plot's; it has no mouse interaction of its own.
class TAndrewsCurvesControl : public TCustomControl2 {
public:
    explicit TAndrewsCurvesControl(TAndrewsCurves* APlot);

    // The picture for the clipboard or the printer: the chosen parts, the
    // background among them, at the plot's print density.
    void PaintCopy(TCanvas& ACanvas, TGOEParts Parts);

    // Cleared when the plot goes before its window does.
    TAndrewsCurves* Plot;

protected:
    void Paint() override;
    bool PrepareOffThreadPaint() override;
};

// Every data item as one curve f(t) over -pi..pi whose Fourier coefficients
// are its values (see TAndrewsSampling), so that similar items have similar
// curves. The item's colour is a one-pixel line on top of wider rings for
// each slider that holds the item and, outermost, the selection. The plot
// draws straight from the data object after every delivery, coarser while
// a slider of parallel coordinates is tracked live; it never writes.
class TAndrewsCurves : public TQuorPlotClient {
public:
    explicit TAndrewsCurves(QWidget* AOwner);
    ~TAndrewsCurves() override;

    static TPlotClientInfo PlotInfo();

    void Attach() override;
    // One paint: the samples' basis values, a copy of every curve's
    // coefficients and layers, the points of a curve.
    uint64_t ObjectBytes() const override;
    void BeginEvents() override;
    void CustomEvent(TQuorDataCustomEvent* Event) override;
    void InvertBackground() override;

    // Invalidates the control; a failure is reported in a message box.
    virtual void UpdateObj();
    // The whole picture, the chosen parts of it, at SampleDensity.
    virtual void PaintTo(TCanvas& Canvas, TGOEParts Parts);

    bool OmitHiddenDims() const { return FOmitHiddenDims; }
    // Coefficients from the visible dimensions only, or from all with 0
    // for a hidden one; repaints on a change.
    void SetOmitHiddenDims(bool Value);

    TAndrewsCurvesControl* CurvesControl() const { return FCurves; }
    // The geometry of the control at its size, sampled at Density.
    TAndrewsCurvesGeometry ComputeGeometry(float Density) const;

    // ---- settings ----
    TColor SelectionColor = 0;
    int RingWidth = 0;
    TRect CurveMargins; // left, top, right, bottom
    int TickHalf = 0;
    // Samples per pixel of half width: for ordinary paints, while a slider
    // is tracked live, for copy and print, and for the next paint.
    float FineDensity = 0;
    float CoarseDensity = 0;
    float PrintDensity = 0;
    float SampleDensity = 0;
    // The delivery under way carries a live-tracking notice.
    bool LiveTracking = false;
    TGOEParts ScreenParts = AllGOEParts;

    // From this many curves on, a paint into the control's own image draws
    // them in vertical strips of it, one strip per thread, each strip every
    // curve clipped to itself: the same pixels, sooner.
    int BandedCurvesFrom = 2000;

    // ---- drawing tools ----
    TPen CurvePen;
    TFont Font12;
    TFont Font15;
    TBrush BackgroundBrush;

protected:
    // A delivery repaints the control: at once and coarsely while a slider
    // is tracked live, otherwise with the next paint.
    void UpdateControl() override;
    // The control's picture at PrintDensity.
    TMetafile MakeMetafile(TGOEParts Parts) const override;

    virtual void DrawValueAxis(TCanvas& Canvas);
    virtual void DrawTAxis(TCanvas& Canvas);
    // One item's curve with its colour layers; a hidden item draws nothing.
    virtual void DrawCurve(TCanvas& Canvas, int Item, TGOEParts Parts);

private:
    friend class TAndrewsCurvesControl;

    // One curve read from the data object: its coefficients and its colour
    // layers, innermost first.
    struct TCurveData {
        std::vector<float> Coefficients;
        std::vector<TColor> Layers;
    };
    // False for a hidden item, which draws nothing.
    bool ReadCurve(int Item, TGOEParts Parts, TCurveData& Curve) const;
    // Strokes a curve sampled before with its colour layers; touches nothing
    // shared, so that strips of one image can be drawn on several threads.
    void StrokeCurve(TCanvas& Canvas, std::span<const TPoint> Points, std::span<const TColor> Layers) const;
    // The curves of Items in their order, read here and drawn in strips of
    // the canvas's image on several threads; false, drawing nothing, where
    // that cannot be done.
    bool DrawCurvesInBands(TCanvas& Canvas, const std::vector<int>& Items, TGOEParts Parts);

    void SetDefaults();
    void CreateDrawingTools();
    void PaintAt(TCanvas& Canvas, TGOEParts Parts, float Density);

    bool FOmitHiddenDims = true;
    // The shared stock black pen, recoloured by InvertBackground.
    TPen* FAxisPen = nullptr;
    QPointer<TAndrewsCurvesControl> FCurves; // owned by the window's widget tree

    // Per paint: the geometry and what every curve shares or reuses.
    TAndrewsCurvesGeometry FGeometry;
    TAndrewsSampling FSampling;
    TCurveData FCurve;
    std::vector<TPoint> FPoints;
};
