#pragma once

#include "ObjectEditor/GraphicObject.h"
#include "ObjectEditor/ObjectEditor.h"
#include "methods/ParallelCoordinatesLayout.h"
#include "methods/QuorPlotClient.h"
#include "platform/Canvas.h"

#include <QString>

#include <memory>
#include <span>
#include <utility>
#include <vector>

class TParallelCoordinates;

// ---- Graphic objects ------------------------------------------------------------

// Every object of the parallel coordinates knows its plot, the data object
// and the view position it stands for.
class TGOPar : public TGraphicObject {
public:
    TGOPar(TParallelCoordinates* AOwner, int AIndex, TData* AData);
    // Recomputes the geometry after a relayout.
    virtual void UpdateGeometry() {}
    // Which objects go together depends on their classes alone (sliders
    // excepted).
    bool CanSelectWithByClass() const override { return true; }

    // View position of the dimension (axes, sliders) or of the data item
    // (polylines).
    int Index = 0;

protected:
    const TParallelCoordinatesLayout& Layout() const;

    TParallelCoordinates* Owner;
    TData* Data;
};

// The polyline of one data item through its values on the visible axes,
// with a halo for every slider that holds it and the selection outermost.
class TGOParDataPoint : public TGOPar {
public:
    TGOParDataPoint(TParallelCoordinates* AOwner, int AIndex, TData* AData);

    bool ContainsPoint(const TPoint& Pt) const override;
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    void SetSelected(bool Selected) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    void UpdateGeometry() override;
    // The item's own colour one pixel wide on top of its halos.
    virtual void PaintLines(TCanvas& Canvas, bool WithSelection);
    // Whether the stroke from A to B crosses the shown polyline.
    virtual bool CrossesSegment(const TPoint& A, const TPoint& B) const;

    std::vector<TVertexF> Vertices;
    // Innermost first: the item's colour, a colour per slider, the selection.
    std::vector<TColor> ColorLayers;
    int HitWidth = 0;

private:
    std::span<const TPoint> Run(const std::pair<size_t, size_t>& R) const;

    // The vertices rounded to pixels, kept with them: every paint, hit test
    // and stroke test of the polyline goes through these.
    std::vector<TPoint> FPoints;
    // The stretches of two or more placed vertices in a row, [first, last).
    std::vector<std::pair<size_t, size_t>> FRuns;
};

// The axis of one visible dimension: its line with ticks, the bound labels
// above and below and the dimension's name on top. Dropped near another
// axis it exchanges the two dimensions.
class TGOParAxis : public TGOPar {
public:
    TGOParAxis(TParallelCoordinates* AOwner, int AVisibleIndex, TData* AData);

    bool ContainsPoint(const TPoint& Pt) const override;
    bool CanSelectWith(const TGraphicObject* Other) const override;
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    void SetSelected(bool Selected) override;
    void ShowDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    void HideDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    // Across only, never beyond the outermost axes.
    void MoveBy(int DX, int DY) override;
    void BeginDrag(uint32_t Kind, TDragFeedback Style) override;
    void EndDrag(uint32_t Kind, TDragFeedback Style) override;
    TGraphicObject* CreateHandles(uint32_t AFlags, int W, int H) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    void UpdateGeometry() override;
    // The four rectangles and the bounds at the current X.
    void CalcRects();

    int VisibleIndex = 0;
    int X = 0;
    int SavedX = 0;
    int SnapDistance = 0;
    TRect UpperLabelRect;
    TRect LineRect;
    TRect NameRect;
    TRect LowerLabelRect;
    TSize UpperLabelSize{50, 10};
    TSize LowerLabelSize{50, 10};
    TSize NameBoxSize{50, 20};

private:
    // The value's label centred on the axis, above or below Edge; its size.
    TSize DrawBoundLabel(TCanvas& Canvas, double Value, int Edge, bool Above);
};

// The range slider of one axis: a bar between two values with their
// labels, or parked below the axis while the dimension's slider is off.
class TGOParSlider : public TGOPar {
public:
    TGOParSlider(TParallelCoordinates* AOwner, int AVisibleIndex, TData* AData);

    bool ContainsPoint(const TPoint& Pt) const override;
    bool CanSelectWith(const TGraphicObject* Other) const override;
    bool CanSelectWithByClass() const override { return false; }
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    // The data object holds no selection of a slider: nothing is written.
    void SetSelected(bool Selected) override;
    void ShowDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    void HideDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    void MoveBy(int DX, int DY) override;
    // Moves the lower end; above the upper end the two swap roles. In a
    // resize by a handle, the dragged end follows the mouse from the press.
    void ResizeBy(int DW, int DH) override;
    void BeginDrag(uint32_t Kind, TDragFeedback Style) override;
    void EndDrag(uint32_t Kind, TDragFeedback Style) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    void UpdateGeometry() override;

    // The bar from the values, or parked when they say nothing.
    void ValuesToPosition();
    // The values from the bar; with live tracking also written at once.
    void PositionToValues();
    void Park();
    bool IsParked() const;
    void CalcBounds();
    void SetDragging(bool Value);

    // What the polylines' halos and the bar follow: while a drag runs
    // without live tracking, the state from before the drag.
    TSliderEnds EffectiveEnds() const;
    double EffectiveLowValue() const;
    double EffectiveHighValue() const;

    double LowY = 0;
    double HighY = 0;
    double SavedLowY = 0;
    double SavedHighY = 0;
    int LabelPadding = 2;
    TSize LowLabelSize{50, 30};
    TSize HighLabelSize{50, 30};
    double LowValue = 0;
    double HighValue = 0;
    double SavedLowValue = 0;
    double SavedHighValue = 0;
    TRect BarRect;
    TRect LowLabelRect;
    TRect HighLabelRect;
    int ColorIndex = 1;
    bool Dragging = false;
    bool Parked = false;
    int VisibleIndex = 0;

private:
    bool Frozen() const;
    void ReadValues();

    // The motion that made the press a drag, which the editor does not
    // pass on: the release applies it, so that the bar ends where the mouse
    // let go.
    int FLeadDY = 0;
    // Set while the release's own step runs: the release writes its values.
    bool FQuietStep = false;
    // The handle of the resize in progress, or 0: the resize places the
    // ends from the mouse itself.
    uint32_t FResizeKind = 0;
};

// ---- Editor ------------------------------------------------------------------------

// The plot's editor: the rubber band is a dashed line that selects the
// polylines it crosses, and only a single selected object gets handles.
class TGOParEdit : public TGOEdit {
public:
    explicit TGOParEdit(QWidget* Owner = nullptr);

    TGraphicObject* CreateSelectionHandles(const TSelectionEntry* SelList) override;
    void DrawRubberBand(const TRect& R) override;
    TSelectionList SelectInRect(TGraphicObject* AObjects, const TRect& R, bool Additive,
                                TSelectionList SelList) override;
    bool BandTakes(TGraphicObject* Obj, const TRect& R) override;

    // Where the left press being handled went down.
    TPoint PressPos;

protected:
    void LeftMouseDown(TShiftState Shift, const TPoint& Pt) override;
    // The polylines, by the ten thousand with their halos, are drawn as one
    // batch on several threads.
    void Paint() override;
};

// ---- Plot --------------------------------------------------------------------------

// One vertical axis per visible dimension side by side, one polyline per
// data item through its values, a range slider on every axis.
class TParallelCoordinates : public TQuorPlotClient, public IQuorFullScale {
public:
    explicit TParallelCoordinates(QWidget* AOwner);
    ~TParallelCoordinates() override;

    static TPlotClientInfo PlotInfo();

    void Attach() override;
    uint64_t ObjectBytes() const override;
    void InvertBackground() override;

    // Every axis over the common range (on) or its own bounds (off); the
    // clustering panel's scales box follows.
    bool GetFullScale() const override { return Layout.FullScale; }
    void SetFullScale(bool Value) override;
    // Everything anew, the common range included.
    void Rebuild() override;
    // The view position of the dimension whose slider is selected, or -1.
    int SelectedSliderDim();
    // Takes over the application properties' switches.
    void SetOptions(const TQuorAppProperties& Properties);

    TGOParEdit* ParEdit() const;
    // The sliders by visible position; owned by the editor (or by the plot,
    // while only the placeholder stands in every entry).
    const std::vector<TGOParSlider*>& Sliders() const { return FSliders; }

    TParallelCoordinatesLayout Layout;
    bool NeedsRange = true;
    bool LiveTracking = false;

    // Drawing tools. AxisPen is the stock black pen itself, so that the
    // background inversion recolours it for everyone.
    TPen LinePen;
    TPen SliderBarPen;
    TPen SliderHandlePen;
    TFont ValueFont;
    TFont NameFont;
    TFont SliderFont;
    TBrush AxisBrush;
    TBrush SliderBarBrush;
    TBrush SliderHandleBrush;
    TPen& AxisPen() const;
    const TBrush& LineBrush() const { return AxisBrush; }

protected:
    void Changed(TDataChange Change) override;
    void BeforeUpdateSteps() override;
    void PlaceSliders() override;
    void CalcFrameGeometry() override;
    void BuildObjects() override;
    void CalcLayout() override;
    void UpdateObjectGeometry(TGraphicObject* Object) override;
    void SyncSelection() override;
    TSize GetMinEditorSize() const override;

private:
    void CreateDrawingTools();
    void AllocateAxes();
    void CalcAxisPositions();

    std::vector<TGOParSlider*> FSliders;
    std::unique_ptr<TGOParSlider> FPlaceholderSlider;
};
