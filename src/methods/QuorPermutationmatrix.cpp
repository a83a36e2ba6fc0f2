#include "methods/QuorPermutationmatrix.h"

#include "ObjectEditor/GraphLib.h"
#include "ObjectEditor/HLS.h"
#include "ObjectEditor/StockObjects.h"
#include "QuorData/QuorAppProperties.h"
#include "QuorData/Utility.h"
#include "QuorDataClients/QuorSubSelection.h"
#include "methods/ItemColorLayers.h"
#include "methods/PlotLabels.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "platform/Metafile.h"

#include <QScopeGuard>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <utility>

namespace {

TFont MakeFont(int Height, int Escapement)
{
    TFont font(QStringLiteral("Sans Serif"), Height, 0x000000);
    font.SetEscapement(Escapement);
    return font;
}

bool IsShade(TPermDisplayType Type)
{
    return Type == pdtShade || Type == pdtShadeUserColors;
}

bool IsBar(TPermDisplayType Type)
{
    return Type == pdtBar || Type == pdtBarShade || Type == pdtBar90 || Type == pdtBar90Shade;
}

// Where V lies on the scale from Lo to Hi: 0 at Lo, 1 at Hi.
double ScaleFraction(double V, double Lo, double Hi)
{
    return Hi > Lo ? (V - Lo) / (Hi - Lo) : 0.0;
}

// The item colour's pale and deep shades, between which the cells' colours run.
TColor LightOf(TColor Item)
{
    return BlendColors(Item, 0xFFFFFF, 0.8f);
}

TColor DarkOf(TColor Item)
{
    return BlendColors(Item, 0x000000, 0.3f);
}

} // namespace

// ---- cell fills ---------------------------------------------------------------------

void TCellFills::Begin(TCanvas& Canvas)
{
    FCanvas = &Canvas;
}

void TCellFills::Add(int Step, TColor Color, const TRect& R)
{
    if (FSteps.size() <= size_t(Step))
        FSteps.resize(size_t(Step) + 1);
    std::vector<TRun>& runs = FSteps[size_t(Step)];
    // Few colours per step: the item colours' shades, the pens'.
    auto run = std::find_if(runs.begin(), runs.end(), [&](const TRun& R2) { return R2.Color == Color; });
    if (run == runs.end())
        run = runs.insert(runs.end(), TRun{Color, {}});
    run->Rects.push_back(R);
}

void TCellFills::End(bool Fill)
{
    TCanvas* canvas = std::exchange(FCanvas, nullptr);
    for (std::vector<TRun>& runs : FSteps) {
        for (TRun& run : runs) {
            if (Fill && canvas && !run.Rects.empty()) {
                canvas->Brush().SetColor(run.Color);
                canvas->FillRects(run.Rects);
            }
            // The vectors keep their room for the next paint.
            run.Rects.clear();
        }
    }
}

TCellFiller::TCellFiller(TCellFills& AFills, TCanvas& ACanvas)
    : FFills(AFills.Collects(ACanvas) ? &AFills : nullptr), FCanvas(ACanvas)
{
}

void TCellFiller::operator()(const TRect& R, TColor Color)
{
    if (R.Right <= R.Left || R.Bottom <= R.Top)
        return;
    if (FFills) {
        FFills->Add(FStep++, Color, R);
        return;
    }
    FCanvas.Brush().SetColor(Color);
    FCanvas.FillRect(R);
}

// ---- graphic objects: base ----------------------------------------------------------

TGOPerm::TGOPerm(TPermutationmatrix* AOwner, int AVisibleIndex, int AViewPosition)
    : Owner(AOwner), VisibleIndex(AVisibleIndex), ViewPosition(AViewPosition)
{
}

TData* TGOPerm::Data() const
{
    return Owner->Data();
}

TPermutationmatrixLayout& TGOPerm::Layout() const
{
    return Owner->Layout;
}

// ---- cell -------------------------------------------------------------------------------

TGOPermDataCell::TGOPermDataCell(TPermutationmatrix* AOwner, int AItem, int ADim)
    : TGOPerm(AOwner, AItem, AOwner->Data()->GetVisiblePoint(AItem)),
      DimIndex(ADim),
      DimPosition(AOwner->Data()->GetVisibleDim(ADim))
{
    Flags = gofSelectable;
    Cursor = crArrow;
    UpdateGeometry();
}

void TGOPermDataCell::UpdateGeometry()
{
    Bounds = Layout().GetCellRect(VisibleIndex, DimIndex);
}

bool TGOPermDataCell::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(Bounds, Pt);
}

bool TGOPermDataCell::InsideRect(const TRect& R) const
{
    return Bounds.Left < R.Right && R.Left < Bounds.Right && Bounds.Top < R.Bottom && R.Top < Bounds.Bottom;
}

bool TGOPermDataCell::CanSelectWith(const TGraphicObject* Other) const
{
    return dynamic_cast<const TGOPermDataCell*>(Other) != nullptr;
}

void TGOPermDataCell::Draw(TCanvas& Canvas)
{
    if (Data()->IsPointHidden(ViewPosition))
        return;
    TPermutationmatrixLayout& L = Layout();
    const TQuorAppProperties& props = *Owner->AppProperties();
    Canvas.SetPen(Owner->CellPen);
    std::vector<TColor>& colors = Owner->CellColors();
    ItemColorLayers(*Data(), props, ViewPosition, false, 0, colors);
    const bool selected =
        Data()->IsPointSelected(ViewPosition) && Owner->ScreenParts.testFlag(goepSelection);
    Canvas.SetBrush(Owner->BackgroundBrush);

    const double v = Data()->GetValue(ViewPosition, DimPosition);
    const double lo = L.GetScaleMin(VisibleIndex, DimIndex);
    const double hi = L.GetScaleMax(VisibleIndex, DimIndex);
    const double mean = L.GetMean(VisibleIndex, DimIndex);
    // A cell without a value shows what marks its item (the selection, the
    // sliders' rings of a tile) but no bar, tile or mean line.
    const double f = std::isfinite(v) ? ScaleFraction(v, lo, hi) : std::numeric_limits<double>::quiet_NaN();
    if (IsShade(L.DisplayType))
        PaintShade(Canvas, colors, selected, f);
    else if (IsBar(L.DisplayType))
        PaintBar(Canvas, colors, selected, f, ScaleFraction(mean, lo, hi), v >= mean);
}

void TGOPermDataCell::PaintBar(TCanvas& Canvas, std::vector<TColor>& Colors, bool Selected, double F, double MeanF,
                               bool AtOrAboveMean)
{
    const TPermutationmatrixLayout& L = Layout();
    const TPermDisplayType type = L.DisplayType;
    const bool vertical = type == pdtBar || type == pdtBarShade;
    const bool shaded = type == pdtBarShade || type == pdtBar90Shade;
    const TColor cellPenColor = Owner->CellPen.Color();

    Canvas.SetBrush(Owner->BarBackgroundBrush);
    Canvas.SetPen(Owner->CellPen);
    TRect r = Bounds;
    TCellFiller fill(Owner->CellFills(), Canvas);
    if (Selected)
        fill(r, L.ItemSelectionColor);
    if (std::isnan(F))
        return;
    const TColor light = LightOf(Colors[0]);
    const TColor dark = DarkOf(Colors[0]);
    if (shaded)
        Colors[0] = BlendColors(dark, light, float(F));
    else
        Colors[0] = AtOrAboveMean ? light : dark;

    const int pen = L.CellPenWidth;
    int h0 = r.Height();
    int w0 = r.Width();
    if (vertical) {
        r.Top += pen;
        h0 -= pen;
    } else {
        r.Left += pen;
        w0 -= pen;
    }
    const int rightLimit = r.Right;
    const int topLimit = r.Top;
    r.Right -= L.LayerSpaceX;
    r.Top += L.LayerSpaceY;
    const int layers = int(Colors.size());
    const int shiftX = (layers - 1) * L.LayerOffsetX;
    const int shiftY = (layers - 1) * L.LayerOffsetY;
    r = Rect(r.Left + shiftX, r.Top - shiftY, r.Right + shiftX, r.Bottom - shiftY);
    if (vertical)
        r.Top = r.Bottom - RoundHalfEven(F * r.Height());
    else
        r.Right = r.Left + RoundHalfEven(F * r.Width());

    for (int k = layers - 1; k >= 0; --k) {
        const TColor color = Colors[size_t(k)];
        TRect drawn = Rect(r.Left, std::max(r.Top, topLimit), std::min(r.Right, rightLimit), r.Bottom);
        if (vertical)
            drawn.Top -= pen;
        else
            drawn.Left -= pen;
        // What Rectangle draws with the solid pen, as two fills: the
        // outline's colour over it all, the brush's inside.
        const TColor outline = k > 0 ? color : cellPenColor;
        fill(drawn, outline);
        if (color != outline)
            fill(Rect(drawn.Left + pen, drawn.Top + pen, drawn.Right - pen, drawn.Bottom - pen), color);
        if (k == 0) {
            // The one-pixel mean line as a filled run: the pixels LineTo sets.
            const TColor meanColor = Owner->MeanPen.Color();
            if (vertical) {
                const int y = r.Bottom - RoundHalfEven(MeanF * h0);
                fill(Rect(drawn.Left, y, drawn.Right, y + 1), meanColor);
            } else {
                const int x = r.Left + RoundHalfEven(MeanF * w0);
                fill(Rect(x, drawn.Top, x + 1, drawn.Bottom), meanColor);
            }
        }
        r = Rect(r.Left - L.LayerOffsetX, r.Top + L.LayerOffsetY, r.Right - L.LayerOffsetX, r.Bottom + L.LayerOffsetY);
    }
}

void TGOPermDataCell::PaintShade(TCanvas& Canvas, const std::vector<TColor>& Colors, bool Selected, double F)
{
    const TPermutationmatrixLayout& L = Layout();
    const bool prism = L.DisplayType == pdtShadeUserColors;
    const int ring = L.RingWidth;
    Canvas.SetBrush(ClearBrush());
    Canvas.SetPen(Owner->CellPen);
    Canvas.Pen().SetWidth(ring);

    const int rings = std::min(int(Colors.size()) - 1, L.MaxRingLayers);
    const int inset = (L.RingCount - (rings + (prism ? 1 : 0) + (Selected ? 1 : 0))) * ring;
    TRect r = Rect(Bounds.Left + inset, Bounds.Top + inset, Bounds.Right - inset, Bounds.Bottom - inset);
    auto shrink = [&] { r = Rect(r.Left + ring, r.Top + ring, r.Right - ring, r.Bottom - ring); };
    for (int k = rings; k >= 1; --k) {
        Canvas.Pen().SetColor(Colors[size_t(k)]);
        Canvas.Rectangle(r);
        shrink();
    }
    if (Selected) {
        Canvas.Pen().SetColor(L.ItemSelectionColor);
        Canvas.Rectangle(r);
        shrink();
    }
    if (std::isnan(F))
        return;
    if (!prism) {
        Canvas.Brush().SetColor(BlendColors(DarkOf(Colors[0]), LightOf(Colors[0]), float(F)));
        Canvas.FillRect(r);
        return;
    }
    THLSRec hls;
    hls.H = RoundHalfEven((L.PrismHueLast - L.PrismHueFirst) * F + L.PrismHueFirst);
    hls.L = L.PrismLuminance;
    hls.S = L.PrismSaturation;
    TRGBRec rgb;
    HLSToRGB(hls, rgb);
    Canvas.Brush().SetColor(RGBRecToColor(rgb));
    Canvas.Pen().SetColor(Colors[0]);
    Canvas.Rectangle(r);
}

void TGOPermDataCell::DrawSelectionMark(TCanvas& Canvas, bool Selected)
{
    const TPermutationmatrixLayout& L = Layout();
    if (IsShade(L.DisplayType)) {
        // A plain frame: taken away by repainting the cell.
        if (!Selected) {
            Invalidate(Canvas);
            return;
        }
        TPen pen = Owner->CellPen;
        pen.SetWidth(L.RingWidth);
        pen.SetColor(L.SubSelectionFrameColor);
        Canvas.SetPen(pen);
        Canvas.SetBrush(ClearBrush());
        Canvas.Rectangle(Bounds);
        return;
    }
    // Exclusive-or with dark grey: a second drawing takes it away.
    TPen pen = XorPen();
    pen.SetWidth(0);
    pen.SetColor(Owner->SubSelectionBrush.Color());
    Canvas.SetPen(pen);
    Canvas.SetBrush(Owner->SubSelectionBrush);
    Canvas.Rectangle(Bounds);
}

void TGOPermDataCell::SetSelected(bool /*Selected*/)
{
    // Selected cells define the sub-selection as a whole (SelectionChange),
    // which may take in cells the editor did not list.
    Owner->NotePickResyncedWhole();
}

TGraphicObject* TGOPermDataCell::CreateHandles(uint32_t, int, int)
{
    return nullptr;
}

QString TGOPermDataCell::GetHint() const
{
    return QStringLiteral("Data item (Dimension): ") + Data()->GetPointName(ViewPosition) + QStringLiteral(" (")
         + Data()->GetDimName(DimPosition) + QStringLiteral(")")
         + QStringLiteral(" [Click and Drag to define subselection]");
}

QString TGOPermDataCell::GetCaption() const
{
    return Data()->GetPointName(ViewPosition);
}

// ---- labels -------------------------------------------------------------------------------

TGOPermAxisLabel::TGOPermAxisLabel(TPermutationmatrix* AOwner, int AVisibleIndex, int AViewPosition, bool ARowLabel)
    : TGOPerm(AOwner, AVisibleIndex, AViewPosition), IsRowLabel(ARowLabel)
{
    Flags = gofSelectable | gofMovable | (IsRowLabel ? gofPermRowLabel : gofPermColumnLabel);
    Cursor = IsRowLabel ? crHSplit : crVSplit;
}

void TGOPermAxisLabel::Init()
{
    UpdateGeometry();
}

void TGOPermAxisLabel::UpdateGeometry()
{
    if (IsHidden()) {
        LabelRect = Bounds = Rect(-1, -1, -1, -1);
        return;
    }
    const TPermutationmatrixLayout& L = Layout();
    if (IsRowLabel) {
        const TRect cell = FirstCellRect();
        Center = (cell.Top + cell.Bottom) / 2;
        Anchor = cell.Left - L.LeftBand;
        Extent = cell.Height();
    } else {
        const TRect cell = LastCellRect();
        Center = (cell.Left + cell.Right) / 2;
        Anchor = cell.Bottom + L.BottomBand;
        Extent = cell.Width();
    }
    Depth = L.LabelBandWidth;
    UpdateBounds();
}

void TGOPermAxisLabel::UpdateBounds()
{
    LabelRect = AxisLabelRect(IsRowLabel, Center, Anchor, Extent, Depth);
    Bounds = LabelRect;
}

bool TGOPermAxisLabel::ContainsPoint(const TPoint& Pt) const
{
    return !IsHidden() && PtInRect(LabelRect, Pt);
}

bool TGOPermAxisLabel::InsideRect(const TRect& R) const
{
    return !IsHidden() && TGOPerm::InsideRect(R);
}

void TGOPermAxisLabel::Draw(TCanvas& Canvas)
{
    if (IsHidden())
        return;
    if (IsRowLabel)
        DrawRowLabelText(Canvas, Owner->RotatedLabelFont, GetName(), Anchor, Center, Extent);
    else
        DrawColumnLabelText(Canvas, Owner->LabelFont, GetName(), Anchor, Center, Extent, Depth, Owner->LabelEllipsisWidth);
    UpdateBounds();
}

void TGOPermAxisLabel::DrawSelectionMark(TCanvas& Canvas, bool /*Selected*/)
{
    if (!IsHidden())
        DrawLabelSelectionMark(Canvas, LabelRect);
}

void TGOPermAxisLabel::ShowDragFeedback(TCanvas& Canvas, TDragFeedback /*Style*/)
{
    DrawLabelDragFeedback(Canvas, LabelRect);
}

void TGOPermAxisLabel::HideDragFeedback(TCanvas& Canvas, TDragFeedback Style)
{
    ShowDragFeedback(Canvas, Style);
}

void TGOPermAxisLabel::MoveBy(int DX, int DY)
{
    const TRect& plot = Layout().PlotRect;
    if (IsRowLabel)
        TGOPerm::MoveBy(0, MoveCenterWithin(Center, DY, plot.Top, plot.Bottom));
    else
        TGOPerm::MoveBy(MoveCenterWithin(Center, DX, plot.Left, plot.Right), 0);
    UpdateBounds();
}

void TGOPermAxisLabel::BeginDrag(uint32_t Kind, TDragFeedback Style)
{
    TGOPerm::BeginDrag(Kind, Style);
    DragStart = Center;
}

void TGOPermAxisLabel::EndDrag(uint32_t Kind, TDragFeedback Style)
{
    TGOPerm::EndDrag(Kind, Style);
    auto* target = dynamic_cast<TGOPermAxisLabel*>(
        DropTargetOf(*Owner->Editor(), *this, IsRowLabel ? gofPermRowLabel : gofPermColumnLabel));
    if (target) {
        // Rebuilds the plot, which frees this label, and ends with the
        // silent abort: nothing of the label may be touched afterwards.
        Exchange(VisibleIndex, target->VisibleIndex);
        return;
    }
    // Back to its place at the next drawing.
    Center = DragStart;
}

TGraphicObject* TGOPermAxisLabel::CreateHandles(uint32_t AFlags, int, int)
{
    return CreateLabelMoveFrame(AFlags, LabelRect);
}

// ---- dimension label ------------------------------------------------------------------------

TGOPermAxisDimLabel::TGOPermAxisDimLabel(TPermutationmatrix* AOwner, int AVisibleIndex)
    : TGOPermAxisLabel(AOwner, AVisibleIndex, AOwner->Data()->GetVisibleDim(AVisibleIndex), !AOwner->RotateView())
{
    Init();
}

bool TGOPermAxisDimLabel::CanSelectWith(const TGraphicObject* Other) const
{
    return dynamic_cast<const TGOPermAxisDimLabel*>(Other) != nullptr;
}

void TGOPermAxisDimLabel::SetSelected(bool Selected)
{
    Owner->WriteDimSelected(ViewPosition, Selected);
}

QString TGOPermAxisDimLabel::GetHint() const
{
    return DimensionHint(GetName());
}

QString TGOPermAxisDimLabel::GetCaption() const
{
    return DimensionCaption(GetName());
}

QString TGOPermAxisDimLabel::GetName() const
{
    return Data()->GetDimName(ViewPosition);
}

TRect TGOPermAxisDimLabel::FirstCellRect() const
{
    return Layout().GetCellRect(0, VisibleIndex);
}

TRect TGOPermAxisDimLabel::LastCellRect() const
{
    return Layout().GetCellRect(Data()->VisiblePointCount() - 1, VisibleIndex);
}

void TGOPermAxisDimLabel::Exchange(int OwnIndex, int OtherIndex)
{
    Owner->ExchangeDims(OwnIndex, OtherIndex);
}

// ---- data-item label ------------------------------------------------------------------------

TGOPermAxisPointLabel::TGOPermAxisPointLabel(TPermutationmatrix* AOwner, int AVisibleIndex, int AViewPosition)
    : TGOPermAxisLabel(AOwner, AVisibleIndex, AViewPosition, AOwner->RotateView())
{
    Init();
}

bool TGOPermAxisPointLabel::CanSelectWith(const TGraphicObject* Other) const
{
    return dynamic_cast<const TGOPermAxisPointLabel*>(Other) != nullptr;
}

void TGOPermAxisPointLabel::SetSelected(bool Selected)
{
    Owner->WritePointSelected(ViewPosition, Selected);
}

QString TGOPermAxisPointLabel::GetHint() const
{
    return QStringLiteral("Data item: ") + GetName() + QStringLiteral(" [Drag it over another data item to exchange them]");
}

QString TGOPermAxisPointLabel::GetCaption() const
{
    return QStringLiteral("Data item ") + GetName();
}

QString TGOPermAxisPointLabel::GetName() const
{
    return Data()->GetPointName(ViewPosition);
}

TRect TGOPermAxisPointLabel::FirstCellRect() const
{
    return Layout().GetCellRect(VisibleIndex, 0);
}

TRect TGOPermAxisPointLabel::LastCellRect() const
{
    return Layout().GetCellRect(VisibleIndex, Data()->VisibleDimCount() - 1);
}

bool TGOPermAxisPointLabel::IsHidden() const
{
    return Data()->IsPointHidden(ViewPosition);
}

void TGOPermAxisPointLabel::Exchange(int OwnIndex, int OtherIndex)
{
    Owner->ExchangePoints(OwnIndex, OtherIndex);
}

// ---- editor ---------------------------------------------------------------------------------

TGOPermEdit::TGOPermEdit(QWidget* Owner, TPermutationmatrix* APlot)
    : TGOPlotEdit(Owner, APlot), Plot(APlot)
{
}

void TGOPermEdit::UpdateCursor(TSelectionEntry* Hits, const TPoint& Pt)
{
    SetCursor(crCross);
    if (OnObjectHover)
        OnObjectHover(this, Hits, Pt);
}

void TGOPermEdit::ClearAll()
{
    Plot->ForgetCells();
    TGOEdit::ClearAll();
}

TSelectionList TGOPermEdit::BoundsHitList(TGraphicObject* List, const TPoint& Pt, uint32_t Mask)
{
    if (List != Objects)
        return TGOEdit::BoundsHitList(List, Pt, Mask);
    // The labels lie at the head of the list, the cells at its tail; cells
    // never overlap, so one at most holds the point, and it is topmost.
    TSelectionList hits;
    TGraphicObject* o = List;
    for (; o && !dynamic_cast<TGOPermDataCell*>(o); o = o->Next)
        if (HasFlags(o->Flags, Mask) && PtInRect(o->Bounds, Pt))
            hits = NewSelectionEntry(o, std::move(hits));
    if (!o)
        return hits;
    TGOPermDataCell* cell = nullptr;
    if (!Plot->FindCell(Pt, o, cell)) {
        for (; o; o = o->Next)
            if (HasFlags(o->Flags, Mask) && PtInRect(o->Bounds, Pt))
                hits = NewSelectionEntry(o, std::move(hits));
        return hits;
    }
    if (cell && HasFlags(cell->Flags, Mask))
        hits = NewSelectionEntry(cell, std::move(hits));
    return hits;
}

void TGOPermEdit::DrawObjects(TGraphicObject* List)
{
    DrawObjectsTo(List, Canvas(), AllGOEParts);
}

void TGOPermEdit::DrawObjectsTo(TGraphicObject* List, TCanvas& ACanvas, TGOEParts Parts)
{
    TCellFills& fills = Plot->CellFills();
    fills.Begin(ACanvas);
    bool drawn = false;
    const auto end = qScopeGuard([&] { fills.End(drawn); });
    TGOEdit::DrawObjectsTo(List, ACanvas, Parts);
    drawn = true;
}

// ---- plot -----------------------------------------------------------------------------------

TPlotClientInfo TPermutationmatrix::PlotInfo()
{
    TPlotClientInfo info;
    info.Number = 2;
    info.Key = QStringLiteral("PermutationMatrix");
    info.Caption = QStringLiteral("Permutation Matrix");
    info.PrinterTitle = QStringLiteral("Permutation Matrix");
    info.UpdateFailureText = QStringLiteral("Exception in DoUpdates-Handler. ClassName: ");
    info.ToolBar = &TQuorClientManager::ActionToolBarPMatrix;
    // A matrix of many items or dimensions is larger than any window.
    info.AutoScroll = true;
    return info;
}

TPermutationmatrix::TPermutationmatrix(QWidget* AOwner)
    : TQuorPlotClient(AOwner, PlotInfo())
{
    InstallEditor(new TGOPermEdit(nullptr, this));
    CopyParts = TGOEParts::fromInt(7);
    PrintParts = TGOEParts::fromInt(7);
    ScreenParts = TGOEParts::fromInt(15);
    Layout.SetDefaults();
    Layout.InvalidateCaches();
    CreateDrawingTools();
    Editor()->setMinimumSize(Layout.Margins.Left + Layout.Margins.Right, Layout.Margins.Top + Layout.Margins.Bottom);
    NeedsRebuild = true;
    NeedsLayout = NeedsSelection = NeedsRepaint = false;
}

TGOPermEdit* TPermutationmatrix::PermEdit() const
{
    return static_cast<TGOPermEdit*>(Editor());
}

void TPermutationmatrix::CreateDrawingTools()
{
    CellPen = TPen(0x000000, TPenMode::pmCopy, TPenStyle::psSolid, Layout.CellPenWidth);
    MeanPen = TPen(0x00CC00);
    ScaleFont = MakeFont(12, 0);
    RotatedScaleFont = MakeFont(10, 900);
    LabelFont = MakeFont(15, 0);
    RotatedLabelFont = MakeFont(13, 900);
    LabelEllipsisWidth = EllipsisWidth(LabelFont);
    BackgroundBrush = TBrush(0xFFFFFF);
    BarBackgroundBrush = TBrush(0xFFFFFF);
    SubSelectionBrush = TBrush(0x333333);
}

void TPermutationmatrix::Attach()
{
    TQuorClientManager* manager = ClientManager();
    const QString key = QStringLiteral("SubSelection");
    FSubSelection = manager->HasClient(key) ? dynamic_cast<TQuorSubSelection*>(manager->GetClient(key)) : nullptr;
    Editor()->SetBrush(BackgroundBrush);
    Editor()->OnSelectionChange = [this](TObject* Sender, TSelectionEntry* Selection) {
        SelectionChange(Sender, Selection);
    };
    TQuorPlotClient::Attach();
}

// ---- the update -------------------------------------------------------------------------------

TSize TPermutationmatrix::GetMinEditorSize() const
{
    const TRect& m = Layout.Margins;
    const TSize matrix = Data() ? Layout.GetMatrixSize() : TSize{};
    return TSize{m.Left + matrix.cx + m.Right, m.Top + matrix.cy + m.Bottom};
}

bool TPermutationmatrix::HasEnoughData() const
{
    return Data() && Data()->VisibleDimCount() >= 2 && Data()->VisiblePointCount() >= 2;
}

void TPermutationmatrix::SetNeedsLayout()
{
    // The minimum size follows at the start of each update.
    NeedsLayout = true;
}

void TPermutationmatrix::DoUpdates()
{
    Layout.SetData(Data());
    if (Data())
        ApplyMinSize();
    // The selection the update makes follows the data object: it must
    // write nothing back.
    TGOEdit* editor = Editor();
    auto handler = editor ? std::exchange(editor->OnSelectionChange, nullptr) : nullptr;
    const auto restore = qScopeGuard([&] {
        if (editor && !editor->OnSelectionChange)
            editor->OnSelectionChange = std::move(handler);
    });
    TQuorPlotClient::DoUpdates();
}

void TPermutationmatrix::BeforeUpdateSteps()
{
    if (NeedsRebuild)
        NeedsStatistics = true;
    if (NeedsStatistics) {
        NeedsStatistics = false;
        Layout.InvalidateCaches();
    }
}

void TPermutationmatrix::CalcPlotRect()
{
    Layout.CalcPlotRect(Editor()->ClientWidth(), Editor()->ClientHeight());
}

void TPermutationmatrix::CalcFrameGeometry()
{
    // The rebuild lays every new object out itself.
    NeedsLayout = false;
    CalcPlotRect();
}

void TPermutationmatrix::CalcLayout()
{
    CalcPlotRect();
}

void TPermutationmatrix::BuildObjects()
{
    TGOEdit* editor = Editor();
    TData* data = Data();
    const int items = data->VisiblePointCount();
    const int dims = data->VisibleDimCount();
    FCells.clear();
    FCells.reserve(size_t(items) * size_t(dims));
    FCellDims = dims;
    for (int i = 0; i < items; ++i)
        for (int d = 0; d < dims; ++d) {
            auto cell = std::make_unique<TGOPermDataCell>(this, i, d);
            FCells.push_back(cell.get());
            editor->AddObject(std::move(cell), false);
        }
    for (int d = 0; d < dims; ++d) {
        auto label = std::make_unique<TGOPermAxisDimLabel>(this, d);
        IndexDimObject(label->ViewPosition, label.get());
        editor->AddObject(std::move(label), false);
    }
    const auto addPointLabel = [&](int VisibleIndex, int ViewPosition) {
        auto label = std::make_unique<TGOPermAxisPointLabel>(this, VisibleIndex, ViewPosition);
        IndexPointObject(ViewPosition, label.get());
        editor->AddObject(std::move(label), false);
    };
    for (int i = 0; i < items; ++i)
        addPointLabel(i, data->GetVisiblePoint(i));
    // Labels of hidden items, never shown: they carry the items' selection
    // in the editor's selection.
    for (int p = 0; p < data->PointCount(); ++p)
        if (data->IsPointHidden(p))
            addPointLabel(0, p);
    editor->UpdateAfterChange();
}

uint64_t TPermutationmatrix::ObjectBytes() const
{
    const TData* data = Data();
    const uint64_t cells = uint64_t(data->VisiblePointCount()) * uint64_t(data->VisibleDimCount());
    const uint64_t labels = uint64_t(data->PointCount()) + uint64_t(data->VisibleDimCount());
    // A cell per visible data item and dimension, with its entry in the
    // cell index; a label per data item and visible dimension; a selection
    // entry per object. A paint draws the cells in view only: its image and
    // batches stay the size of the window.
    return HeapBytes(cells, sizeof(TGOPermDataCell)) + cells * sizeof(void*)
        + HeapBytes(uint64_t(data->VisibleDimCount()), sizeof(TGOPermAxisDimLabel))
        + HeapBytes(uint64_t(data->PointCount()), sizeof(TGOPermAxisPointLabel)) + labels * sizeof(void*)
        + HeapBytes(cells + labels, sizeof(TSelectionEntry)) + ImageBytes();
}

bool TPermutationmatrix::FindCell(const TPoint& Pt, const TGraphicObject* First, TGOPermDataCell*& Cell) const
{
    Cell = nullptr;
    // The cells the editor holds are those built last, or the index is stale.
    if (FCells.empty() || FCellDims <= 0 || First != FCells.back())
        return false;
    const TPermutationmatrixLayout& L = Layout;
    const int dims = FCellDims;
    const int items = int(FCells.size()) / dims;
    const int columns = L.RotateView ? dims : items;
    const int rows = L.RotateView ? items : dims;
    // Halving needs columns and rows that do not run backwards, which a
    // plot narrower than its gaps would give.
    if (L.PlotWidth < (columns - 1) * L.ColumnGap || L.PlotHeight < (rows - 1) * L.RowGap)
        return false;
    auto at = [&](int c, int r) {
        const int item = L.RotateView ? r : c;
        const int dim = L.RotateView ? c : r;
        return FCells[size_t(item) * size_t(dims) + size_t(dim)];
    };
    // The last column (row) starting at or before the point.
    auto last = [](int Count, auto Start, int Value) {
        int lo = 0;
        int hi = Count - 1;
        while (lo < hi) {
            const int mid = (lo + hi + 1) / 2;
            if (Start(mid) <= Value)
                lo = mid;
            else
                hi = mid - 1;
        }
        return lo;
    };
    const int c = last(columns, [&](int k) { return at(k, 0)->Bounds.Left; }, Pt.x);
    const int r = last(rows, [&](int k) { return at(0, k)->Bounds.Top; }, Pt.y);
    TGOPermDataCell* cell = at(c, r);
    if (PtInRect(cell->Bounds, Pt))
        Cell = cell;
    return true;
}

void TPermutationmatrix::UpdateObjectGeometry(TGraphicObject* Object)
{
    if (auto* object = dynamic_cast<TGOPerm*>(Object))
        object->UpdateGeometry();
}

void TPermutationmatrix::SyncSelection()
{
    TGOEdit* editor = Editor();
    TData* data = Data();
    // The labels write nothing here: the plot is updating.
    editor->Deselect();
    editor->HideSelection(false);
    // The selection is empty now and every object is met once: what is to
    // be selected is put in front of the list as toggling would put it,
    // without searching the list each time (a block can hold every cell).
    auto select = [editor](TGraphicObject* Object) {
        editor->Selection = NewSelectionEntry(Object, std::move(editor->Selection));
    };
    const bool sub = FSubSelection && FSubSelection->Active();
    for (TGraphicObject* object = editor->GetObjects(); object; object = object->Next) {
        if (auto* cell = dynamic_cast<TGOPermDataCell*>(object)) {
            if (sub && cell->VisibleIndex >= FSubSelection->FirstPoint()
                && cell->VisibleIndex <= FSubSelection->LastPoint() && cell->DimIndex >= FSubSelection->FirstDim()
                && cell->DimIndex <= FSubSelection->LastDim())
                select(cell);
        } else if (auto* point = dynamic_cast<TGOPermAxisPointLabel*>(object)) {
            if (data->IsPointSelected(point->ViewPosition))
                select(point);
        } else if (auto* dim = dynamic_cast<TGOPermAxisDimLabel*>(object)) {
            if (data->IsDimSelected(dim->ViewPosition))
                select(dim);
        }
    }
    editor->SelectionChanged(false, false);
}

TMetafile TPermutationmatrix::MakeMetafile(TGOEParts Parts) const
{
    // The cells mark selected items as the copy's or print's parts say.
    const TGOEParts screen = ScreenParts;
    ScreenParts = Parts;
    const auto restore = qScopeGuard([&] { ScreenParts = screen; });
    return TQuorPlotClient::MakeMetafile(Parts);
}

// ---- client of the data object ------------------------------------------------------------------

void TPermutationmatrix::Changed(TDataChange Change)
{
    switch (Change) {
    case TDataChange::PointModifications:
    case TDataChange::PointVisibilityChange:
    case TDataChange::PointExchange:
    case TDataChange::DimExchange:
    case TDataChange::DimMove:
    case TDataChange::DimVisibilityChange:
    case TDataChange::DimModifications:
    case TDataChange::ValueChange:
    case TDataChange::DataSrcChange:
        NeedsRebuild = true;
        break;
    case TDataChange::PointColorChange:
    case TDataChange::DimBoundChange:
        NeedsRepaint = true;
        break;
    case TDataChange::PointSelectionChange:
    case TDataChange::DimSelectionChange:
        NeedsSelection = NeedsRepaint = true;
        break;
    case TDataChange::DimSliderChange:
        // The sliders change how the cells are drawn, not where: the
        // repaint that every delivery ends with shows them.
        break;
    }
}

void TPermutationmatrix::CustomEvent(TQuorDataCustomEvent* Event)
{
    if (Event && Event->Actor != this && dynamic_cast<TQDCESubSelection*>(Event))
        NeedsSelection = true;
}

void TPermutationmatrix::EndEvents()
{
    // Also after the plot's own writes: the editor shows their marks anew.
    NeedsRepaint = true;
    try {
        DoUpdates();
    } catch (const EAbort&) {
        // An update already runs; it takes the flags along.
    }
}

// ---- settings ------------------------------------------------------------------------------------

void TPermutationmatrix::LayoutChanged()
{
    Layout.CalcLayout();
    Rebuild();
}

void TPermutationmatrix::SetRotateView(bool Value)
{
    Layout.RotateView = Value;
    LayoutChanged();
}

void TPermutationmatrix::SetDisplayType(TPermDisplayType Value)
{
    Layout.DisplayType = Value;
    LayoutChanged();
}

void TPermutationmatrix::SetScaleType(TPermScaleType Value)
{
    const TPermMeanType mean = AdjustMeanToScale(Value, Layout.MeanType);
    if (mean != Layout.MeanType) {
        ShowMessage(QStringLiteral("The mean type has been adjusted to fit the new scale type."));
        Layout.MeanType = mean;
    }
    Layout.ScaleType = Value;
    LayoutChanged();
}

void TPermutationmatrix::SetMeanType(TPermMeanType Value)
{
    const TPermScaleType scale = AdjustScaleToMean(Value, Layout.ScaleType);
    if (scale != Layout.ScaleType) {
        ShowMessage(QStringLiteral("The scale type has been adjusted to fit the new mean type."));
        Layout.ScaleType = scale;
    }
    Layout.MeanType = Value;
    LayoutChanged();
}

void TPermutationmatrix::SetConstantDimExtent(bool Value)
{
    Layout.ConstantDimExtent = Value;
    LayoutChanged();
    TQuorClientManager* manager = ClientManager();
    const QString key = QStringLiteral("ClusteringFrame");
    if (manager && manager->HasClient(key))
        if (auto* panel = dynamic_cast<IQuorScaleSync*>(manager->GetClient(key)))
            panel->SyncScalesFromPM();
}

void TPermutationmatrix::InvertBackground()
{
    const bool toWhiteDrawing = RotatedLabelFont.Color() == 0x000000;
    const TColor ink = toWhiteDrawing ? 0xFFFFFF : 0x000000;
    ScaleFont.SetColor(ink);
    RotatedScaleFont.SetColor(ink);
    LabelFont.SetColor(ink);
    RotatedLabelFont.SetColor(ink);
    BackgroundBrush.SetColor(toWhiteDrawing ? 0x000000 : 0xFFFFFF);
    CellPen.SetColor(ink);
    Editor()->SetBrush(BackgroundBrush);
    NeedsLayout = NeedsRebuild = NeedsSelection = NeedsRepaint = true;
    DoUpdates();
}

// ---- sub-selection -------------------------------------------------------------------------------

void TPermutationmatrix::SelectionChange(TObject* /*Sender*/, TSelectionEntry* Selection)
{
    if (Selection && dynamic_cast<TGOPermDataCell*>(Selection->Object)) {
        SetSubSelectionFromCells(Selection);
        return;
    }
    if (FSubSelection)
        WriteTransaction([&] { FSubSelection->ClearSubSelection(); });
}

void TPermutationmatrix::SetSubSelectionFromCells(TSelectionEntry* Selection)
{
    int firstPoint = INT_MAX;
    int lastPoint = INT_MIN;
    int firstDim = INT_MAX;
    int lastDim = INT_MIN;
    for (TSelectionEntry* entry = Selection; entry; entry = entry->Next.get())
        if (auto* cell = dynamic_cast<TGOPermDataCell*>(entry->Object)) {
            firstPoint = std::min(firstPoint, cell->VisibleIndex);
            lastPoint = std::max(lastPoint, cell->VisibleIndex);
            firstDim = std::min(firstDim, cell->DimIndex);
            lastDim = std::max(lastDim, cell->DimIndex);
        }
    if (FSubSelection)
        WriteTransaction([&] { FSubSelection->SetSubSelection(firstPoint, lastPoint, firstDim, lastDim); });
}

// ---- border scales -------------------------------------------------------------------------------

void TPermutationmatrix::PaintScales(TCanvas& Canvas)
{
    TPermutationmatrixLayout& L = Layout;
    if (!HasEnoughData() || L.Cache.ColumnLefts.empty())
        return;
    const int columns = L.MatrixColumnCount();
    const int rows = L.MatrixRowCount();
    if (columns < 2 || rows < 2)
        return;
    const TPen& pen = BlackPen();
    const TBrush& brush = ClearBrush();
    const int gap = L.AxisLabelGap;
    const int pad = L.MatrixPadding;
    // The room of the labels across their axes: up to the name labels on
    // the left and below, up to the editor's edge on the right and above.
    const int width = Editor()->ClientWidth();
    const int leftRoom = L.ScaleBandWidth + L.ScaleBandMargin - 5;
    const int bottomRoom = L.ScaleBandWidth + L.ScaleBandMargin - 3;
    for (int r = 0; r < rows && (L.ShowLeftScales || L.ShowRightScales); ++r) {
        const double top = L.GetScaleMaxAt(0, r);
        const double bottom = L.GetScaleMinAt(0, r);
        const TRect first = L.GetCellRectAt(0, r);
        const TRect last = L.GetCellRectAt(columns - 1, r);
        if (L.ShowLeftScales)
            DrawVerticalAxis(Canvas, first.Left - L.ScaleGap - L.LayerSpaceX, first.Top + pad + L.LayerSpaceY,
                             first.Bottom - 1 - pad, false, top, bottom, pen, ScaleFont, brush, gap, leftRoom);
        if (L.ShowRightScales)
            DrawVerticalAxis(Canvas, last.Right + L.ScaleGap - 1, last.Top + pad + L.LayerSpaceY,
                             last.Bottom - 1 - pad, true, top, bottom, pen, ScaleFont, brush, gap,
                             width - (last.Right + L.ScaleGap + 3));
    }
    for (int c = 0; c < columns && (L.ShowTopScales || L.ShowBottomScales); ++c) {
        const double lo = L.GetScaleMinAt(c, 0);
        const double hi = L.GetScaleMaxAt(c, 0);
        const TRect first = L.GetCellRectAt(c, 0);
        const TRect last = L.GetCellRectAt(c, rows - 1);
        if (L.ShowTopScales)
            DrawHorizontalAxis(Canvas, first.Top - L.ScaleGap, first.Left + pad, first.Right - 1 - pad - L.LayerSpaceX,
                               false, lo, hi, pen, RotatedScaleFont, brush, gap, first.Top - L.ScaleGap - 4);
        if (L.ShowBottomScales)
            DrawHorizontalAxis(Canvas, last.Bottom + L.ScaleGap - 1 + L.LayerSpaceY, last.Left + pad,
                               last.Right - 1 - pad - L.LayerSpaceX, true, lo, hi, pen, RotatedScaleFont, brush, gap,
                               bottomRoom);
    }
}

