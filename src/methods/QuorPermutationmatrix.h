#pragma once

#include "ObjectEditor/GraphicObject.h"
#include "ObjectEditor/ObjectEditor.h"
#include "QuorMethodBase.h"
#include "methods/PermutationmatrixLayout.h"
#include "methods/PlotEdit.h"
#include "methods/QuorPlotClient.h"
#include "platform/Canvas.h"

#include <QPointer>
#include <QString>

#include <vector>

class TPermutationmatrix;
class TQuorSubSelection;

// Flag bits of the two kinds of label; each is also the mask under which a
// dropped label finds its targets.
constexpr uint32_t gofPermRowLabel = 64;
constexpr uint32_t gofPermColumnLabel = 128;

// ---- Cell fills ---------------------------------------------------------------------

// The rectangles the cells fill while the editor draws its objects, kept
// by drawing step within a cell and by colour, and filled in one batch per
// step and colour when the objects are drawn: cells never overlap, so only
// the order within a cell matters. The cells are most of what the matrix
// draws, and a batch costs one painter setup instead of one per rectangle.
class TCellFills {
public:
    // Collects what cells draw on Canvas until End.
    void Begin(TCanvas& Canvas);
    // Fills what was collected (unless Fill is false) and stops collecting.
    void End(bool Fill);
    bool Collects(const TCanvas& Canvas) const { return FCanvas == &Canvas; }
    void Add(int Step, TColor Color, const TRect& R);

private:
    struct TRun {
        TColor Color;
        std::vector<TRect> Rects;
    };
    TCanvas* FCanvas = nullptr;
    std::vector<std::vector<TRun>> FSteps;
};

// One cell's fills, in drawing order: collected while the editor draws its
// objects onto that canvas, filled at once otherwise.
class TCellFiller {
public:
    TCellFiller(TCellFills& AFills, TCanvas& ACanvas);
    void operator()(const TRect& R, TColor Color);

private:
    TCellFills* FFills;
    TCanvas& FCanvas;
    int FStep = 0;
};

// ---- Graphic objects ------------------------------------------------------------

// Every object of the permutation matrix: its plot, the data object, and the
// visible index and view position of its data item or dimension.
class TGOPerm : public TGraphicObject {
public:
    TGOPerm(TPermutationmatrix* AOwner, int AVisibleIndex, int AViewPosition);
    // Recomputes the bounds after a relayout.
    virtual void UpdateGeometry() {}
    // Which objects go together depends on their classes alone.
    bool CanSelectWithByClass() const override { return true; }

    // The plot's data object, asked of the plot rather than held: the plot
    // has an object per cell.
    TData* Data() const;

    TPermutationmatrix* const Owner;
    const int VisibleIndex;
    const int ViewPosition;

protected:
    TPermutationmatrixLayout& Layout() const;
};

// One cell: a visible data item's value in a visible dimension, drawn as a
// bar or a shade against the cell's scale and mean. Selecting cells defines
// the sub-selection.
class TGOPermDataCell : public TGOPerm {
public:
    TGOPermDataCell(TPermutationmatrix* AOwner, int AItem, int ADim);

    bool ContainsPoint(const TPoint& Pt) const override;
    // A rubber band only has to touch a cell.
    bool InsideRect(const TRect& R) const override;
    bool CanSelectWith(const TGraphicObject* Other) const override;
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    void SetSelected(bool Selected) override;
    TGraphicObject* CreateHandles(uint32_t Flags, int W, int H) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    void UpdateGeometry() override;

    const int DimIndex;
    const int DimPosition;

private:
    // Colors: the colour of each drawing layer, the item's own, then one
    // per slider that holds the item. F is where the value lies on the
    // cell's scale; NaN for a cell without a value, which gets neither bar
    // nor tile.
    void PaintBar(TCanvas& Canvas, std::vector<TColor>& Colors, bool Selected, double F, double MeanF,
                  bool AtOrAboveMean);
    void PaintShade(TCanvas& Canvas, const std::vector<TColor>& Colors, bool Selected, double F);
};

// The name of a data item or a dimension beside its matrix row or below its
// matrix column; dragged onto another label of its kind it exchanges the two.
class TGOPermAxisLabel : public TGOPerm {
public:
    TGOPermAxisLabel(TPermutationmatrix* AOwner, int AVisibleIndex, int AViewPosition, bool ARowLabel);

    bool ContainsPoint(const TPoint& Pt) const override;
    // Hidden labels never join a rubber-band selection.
    bool InsideRect(const TRect& R) const override;
    void Draw(TCanvas& Canvas) override;
    void DrawSelectionMark(TCanvas& Canvas, bool Selected) override;
    void ShowDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    void HideDragFeedback(TCanvas& Canvas, TDragFeedback Style) override;
    // Along the matrix only, the middle held inside the plot.
    void MoveBy(int DX, int DY) override;
    void BeginDrag(uint32_t Kind, TDragFeedback Style) override;
    // Exchanges with the label of its kind under its middle, if any.
    void EndDrag(uint32_t Kind, TDragFeedback Style) override;
    TGraphicObject* CreateHandles(uint32_t Flags, int W, int H) override;
    void UpdateGeometry() override;

    virtual QString GetName() const = 0;
    virtual TRect FirstCellRect() const = 0;
    virtual TRect LastCellRect() const = 0;
    virtual bool IsHidden() const = 0;
    virtual void Exchange(int OwnIndex, int OtherIndex) = 0;

    // LabelRect and the bounds from Center, Anchor, Extent and Depth.
    void UpdateBounds();

    int Center = 0;
    int Anchor = 0;
    int DragStart = 0;
    TRect LabelRect;
    int Extent = 0;
    int Depth = 0;
    const bool IsRowLabel;

protected:
    // Derived classes call it once they can answer IsHidden and the cell rectangles.
    void Init();
};

class TGOPermAxisDimLabel : public TGOPermAxisLabel {
public:
    TGOPermAxisDimLabel(TPermutationmatrix* AOwner, int AVisibleIndex);

    bool CanSelectWith(const TGraphicObject* Other) const override;
    void SetSelected(bool Selected) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    QString GetName() const override;
    TRect FirstCellRect() const override;
    TRect LastCellRect() const override;
    bool IsHidden() const override { return false; }
    void Exchange(int OwnIndex, int OtherIndex) override;
};

// One per data item; those of hidden items are never drawn or hit and only
// carry the items' selection in the editor's selection.
class TGOPermAxisPointLabel : public TGOPermAxisLabel {
public:
    TGOPermAxisPointLabel(TPermutationmatrix* AOwner, int AVisibleIndex, int AViewPosition);

    bool CanSelectWith(const TGraphicObject* Other) const override;
    void SetSelected(bool Selected) override;
    QString GetHint() const override;
    QString GetCaption() const override;
    QString GetName() const override;
    TRect FirstCellRect() const override;
    TRect LastCellRect() const override;
    bool IsHidden() const override;
    void Exchange(int OwnIndex, int OtherIndex) override;
};

// ---- Editor ------------------------------------------------------------------------

class TGOPermEdit : public TGOPlotEdit {
public:
    TGOPermEdit(QWidget* Owner, TPermutationmatrix* APlot);

protected:
    void UpdateCursor(TSelectionEntry* Hits, const TPoint& Pt) override;
    // Forgets the plot's index of the cells with them.
    void ClearAll() override;
    // The cell under the point found in the grid, not by a walk over every cell.
    TSelectionList BoundsHitList(TGraphicObject* List, const TPoint& Pt, uint32_t Mask) override;
    // The cells' fills in batches.
    void DrawObjects(TGraphicObject* List) override;
    void DrawObjectsTo(TGraphicObject* List, TCanvas& ACanvas, TGOEParts Parts) override;

private:
    TPermutationmatrix* Plot;
};

// ---- Plot --------------------------------------------------------------------------

// The visible table as a matrix of cells, one per visible data item and
// visible dimension, each showing its value against a scale and a mean
// taken per matrix row, per matrix column or for the table; labels that
// exchange data items and dimensions; cell selections that define the
// sub-selection.
class TPermutationmatrix : public TQuorPlotClient, public IQuorConstantDimExtent {
public:
    explicit TPermutationmatrix(QWidget* AOwner);

    static TPlotClientInfo PlotInfo();

    void Attach() override;
    uint64_t ObjectBytes() const override;
    void DoUpdates() override;
    void SetNeedsLayout() override;
    void InvertBackground() override;
    void EndEvents() override;
    void CustomEvent(TQuorDataCustomEvent* Event) override;

    // ---- settings, as the main window's actions set them ----
    void SetRotateView(bool Value);
    void SetDisplayType(TPermDisplayType Value);
    // Adjusts the mean type when it no longer fits, and says so.
    void SetScaleType(TPermScaleType Value);
    // Adjusts the scale type when it no longer fits, and says so.
    void SetMeanType(TPermMeanType Value);
    // Also brings the clustering panel's "Normalize all scales" along.
    void SetConstantDimExtent(bool Value) override;
    bool GetConstantDimExtent() const override { return Layout.ConstantDimExtent; }
    bool RotateView() const { return Layout.RotateView; }
    TPermDisplayType DisplayType() const { return Layout.DisplayType; }
    TPermScaleType ScaleType() const { return Layout.ScaleType; }
    TPermMeanType MeanType() const { return Layout.MeanType; }

    // The editor's selection changed by the user: cells define the
    // sub-selection, anything else clears it.
    void SelectionChange(TObject* Sender, TSelectionEntry* Selection);
    void SetSubSelectionFromCells(TSelectionEntry* Selection);

    TGOPermEdit* PermEdit() const;
    TCellFills& CellFills() { return FCellFills; }
    // The colour layers of the cell being drawn: one list for all cells,
    // which are many and drawn one at a time.
    std::vector<TColor>& CellColors() { return FCellColors; }
    // The cell whose bounds hold Pt (nullptr when none does), found by
    // halving the matrix columns and rows. First is the cell the editor's
    // list meets first: unless it is the last one built, the cells are not
    // those indexed and the answer is false.
    bool FindCell(const TPoint& Pt, const TGraphicObject* First, TGOPermDataCell*& Cell) const;
    void ForgetCells() { FCells.clear(); }
    TQuorSubSelection* SubSelection() const { return FSubSelection; }
    // The border value scales.
    void PaintScales(TCanvas& Canvas) override;

    TPermutationmatrixLayout Layout;
    bool NeedsStatistics = false;
    // Parts of the on-screen paint; the copy and the print paint with
    // theirs in its place.
    mutable TGOEParts ScreenParts = TGOEParts::fromInt(15);

    // Drawing tools.
    TPen CellPen;
    TPen MeanPen;
    TFont ScaleFont;
    TFont RotatedScaleFont;
    TFont LabelFont;
    TFont RotatedLabelFont;
    // Measured once: every column label asks for it.
    int LabelEllipsisWidth = 0;
    TBrush BackgroundBrush;
    TBrush BarBackgroundBrush;
    TBrush SubSelectionBrush;

protected:
    void Changed(TDataChange Change) override;
    bool HasEnoughData() const override;
    void BeforeUpdateSteps() override;
    void CalcFrameGeometry() override;
    void BuildObjects() override;
    void CalcLayout() override;
    void UpdateObjectGeometry(TGraphicObject* Object) override;
    void SyncSelection() override;
    TSize GetMinEditorSize() const override;
    TMetafile MakeMetafile(TGOEParts Parts) const override;

private:
    void CreateDrawingTools();
    void CalcPlotRect();
    // The setters' common end: new layout, rebuilt.
    void LayoutChanged();

    TQuorSubSelection* FSubSelection = nullptr;
    TCellFills FCellFills;
    std::vector<TColor> FCellColors;
    // The cells in the order built: item by item, each item's dimensions.
    std::vector<TGOPermDataCell*> FCells;
    int FCellDims = 0;
};
