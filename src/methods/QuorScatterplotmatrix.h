#pragma once

#include "ObjectEditor/GraphicObject.h"
#include "ObjectEditor/ObjectEditor.h"
#include "methods/PlotEdit.h"
#include "methods/QuorPlotClient.h"
#include "methods/ScatterplotLayout.h"
#include "platform/Canvas.h"

#include <QString>

#include <vector>

class TScatterplotmatrix;

// Flag bits that mark the two kinds of dimension label; each is also the
// mask under which a dropped label finds its targets.
constexpr uint32_t gofScatRowLabel = 64;
constexpr uint32_t gofScatColumnLabel = 128;

// ---- Graphic objects ------------------------------------------------------------

// Every object of the scatterplot matrix knows its plot and the data object.
class TGOScat : public TGraphicObject {
public:
    explicit TGOScat(TScatterplotmatrix* APlot);
    // Recomputes the bounds after a relayout.
    virtual void UpdateGeometry() {}
    // Which objects go together depends on their classes alone.
    bool CanSelectWithByClass() const override { return true; }

protected:
    const TScatterplotLayout& Layout() const;

    TScatterplotmatrix* Plot;
    TData* Data;
};

// One cell: column and row visible positions, row below the diagonal.
class TGOSubChartArea : public TGOScat {
public:
    TGOSubChartArea(TScatterplotmatrix* APlot, int AColumn, int ARow);

    bool ContainsPoint(const TPoint& Pt) const override;
    void Draw(TCanvas& Canvas) override;
    QString GetHint() const override;
    void UpdateGeometry() override { CalcBounds(); }
    virtual void CalcBounds();

    const int Column;
    const int Row;
};

// The value band of one visible dimension's slider, across its row and
// down its column.
class TGOScatterSlider : public TGOScat {
public:
    TGOScatterSlider(TScatterplotmatrix* APlot, int APosition);

    struct TBands {
        bool HasRow = false;
        TRect RowBand;
        bool HasColumn = false;
        TRect ColumnBand;
    };

    bool ContainsPoint(const TPoint& Pt) const override;
    void Draw(TCanvas& Canvas) override;
    QString GetHint() const override;
    void UpdateGeometry() override;
    // The bands for the current slider values; none while the slider is off.
    virtual TBands CalcBands() const;

    const int Position; // visible position
};

// One data item, drawn as a dot in every cell, with a ring for every
// slider that holds it and, when selected, the selection ring outside.
class TGOScatterDataPoint : public TGOScat {
public:
    TGOScatterDataPoint(TScatterplotmatrix* APlot, int APoint);

    bool ContainsPoint(const TPoint& Pt) const override;
    bool InsideRect(const TRect& R) const override;
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    void SetSelected(bool Selected) override;
    TGraphicObject* CreateHandles(uint32_t Flags, int W, int H) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    void UpdateGeometry() override;
    virtual void PaintPoint(TCanvas& Canvas, bool WithSelection);
    // Takes the dot centres and colour layers of the next plain Draw; the
    // dots of one plot may prepare on several threads at once.
    void PrepareDraw();
    // A prepared Draw computes afresh.
    void ForgetPrepared() { FPrepared = false; }
    // The squares of a prepared plain Draw in the cells of Span, appended
    // in drawing order with their colours; reads only, so that bands of
    // rows may take them on several threads.
    void AddPreparedSquares(const TGridSpan& Span, std::vector<TRect>& Squares, std::vector<TColor>& Colors) const;

    const int Point; // view position of the item
    // Innermost first: the item's colour, a ring per slider, the selection.
    std::vector<TColor> Layers;

private:
    // The dot centre in every visible column (FDotX) and row (FDotY).
    void DotCentres() const;
    // The squares of every colour layer, outermost first, in the cells of
    // Span, appended with their colours.
    void AddSquares(const TGridSpan& Span, std::vector<TRect>& Squares, std::vector<TColor>& Colors) const;
    // Whether the item is shown with its dot centre of some cell in Box.
    bool AnyDotCentreIn(const TRect& Box) const;

    mutable std::vector<int> FDotX;
    mutable std::vector<int> FDotY;
    bool FPrepared = false;
};

// A dimension's name beside its row (turned upward) or below its column.
// Dragged onto another label of its kind, it exchanges the two dimensions.
class TGOScatterAxisLabel : public TGOScat {
public:
    TGOScatterAxisLabel(TScatterplotmatrix* APlot, bool ARowLabel, int APosition);

    bool ContainsPoint(const TPoint& Pt) const override;
    // Labels go together with labels only.
    bool CanSelectWith(const TGraphicObject* Other) const override;
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    void SetSelected(bool Selected) override;
    void ShowDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    void HideDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    // Along the label's own axis only, the centre kept inside the plot.
    void MoveBy(int DX, int DY) override;
    void BeginDrag(uint32_t Kind, TDragFeedback Style) override;
    // Drops onto the label of the same kind under the centre, if any.
    void EndDrag(uint32_t Kind, TDragFeedback Style) override;
    TGraphicObject* CreateHandles(uint32_t Flags, int W, int H) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    void UpdateGeometry() override;

    // Sets the label rectangle (and the bounds) from centre, edge, length
    // and depth.
    void SetLabelRect();

    const bool IsRowLabel;
    const int Position;   // visible position
    const int Dim;        // view position of the dimension
    int Centre = 0;       // along the label's axis
    int Edge = 0;
    int Length = 0;
    int Depth = 0;
    TGOScatterAxisLabel* Partner = nullptr;
    int DragStartCentre = 0;
    TRect LabelRect;
};

// ---- Editor ------------------------------------------------------------------------

class TGOScatterEdit : public TGOPlotEdit {
public:
    using TGOPlotEdit::TGOPlotEdit;

protected:
    void UpdateCursor(TSelectionEntry* Hits, const TPoint& Pt) override;
    // What each dot needs is worked out on threads first; the dots, which
    // lie on top of everything else, then draw in bands of rows side by
    // side, each band every dot in order.
    void DrawObjects(TGraphicObject* List) override;
};

// ---- Plot --------------------------------------------------------------------------

// Every pair of visible dimensions as a small scatterplot: the n by n grid of
// cells below the diagonal, a dot per data item in each, slider bands,
// dimension labels and value scales.
class TScatterplotmatrix : public TQuorPlotClient {
public:
    explicit TScatterplotmatrix(QWidget* AOwner);

    static TPlotClientInfo PlotInfo();

    void Attach() override;
    void InvertBackground() override;
    uint64_t ObjectBytes() const override;

    // The dot side and ring width in pixels; the plot is rebuilt.
    void SetDotSize(int Value);
    void SetRingWidth(int Value);
    TGOScatterEdit* ScatterEdit() const;
    TScatterplotLayout Layout;

    // Drawing tools.
    TPen DotPen;
    TPen CellFramePen;
    TPen BandPen;
    TFont Font12;
    TFont Font15;
    TFont Font12Turned;
    TFont Font15Turned;
    TBrush WhiteBrush;
    TBrush BlackBrush;
    TBrush BandBrush;
    TBrush BackgroundBrush;

    // The scales on the chosen sides of every cell.
    void PaintScales(TCanvas& Canvas) override;

protected:
    void Changed(TDataChange Change) override;
    void PlaceSliders() override;
    void CalcFrameGeometry() override;
    void BuildObjects() override;
    void CalcLayout() override;
    void UpdateObjectGeometry(TGraphicObject* Object) override;
    void SyncSelection() override;
    TSize GetMinEditorSize() const override;
    // Several objects: the captions behind the hint of the cell they lie in.
    QString HintText(const TSelectionEntry* Objects) const override;

private:
    void SetDefaults();
    void CreateDrawingTools();
    void CalcPlotRect();

    // The slider objects the last rebuild made, owned by the editor.
    std::vector<TGOScatterSlider*> FSliders;
};
