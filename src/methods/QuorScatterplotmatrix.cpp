#include "methods/QuorScatterplotmatrix.h"

#include "ObjectEditor/GraphLib.h"
#include "ObjectEditor/StockObjects.h"
#include "QuorData/QuorAppProperties.h"
#include "QuorData/QuorDataSrc.h"
#include "QuorData/Utility.h"
#include "methods/ItemColorLayers.h"
#include "methods/PlotLabels.h"
#include "platform/Exceptions.h"
#include "platform/Parallel.h"

#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <array>
#include <climits>

namespace {

TRect Union(const TRect& A, const TRect& B)
{
    return Rect(std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                std::max(A.Bottom, B.Bottom));
}

TFont MakeFont(int Height, int Escapement)
{
    TFont font(QStringLiteral("Sans Serif"), Height, 0x000000);
    font.SetEscapement(Escapement);
    return font;
}

} // namespace

// ---- graphic objects: base ----------------------------------------------------------

TGOScat::TGOScat(TScatterplotmatrix* APlot)
    : Plot(APlot), Data(APlot->Data())
{
}

const TScatterplotLayout& TGOScat::Layout() const
{
    return Plot->Layout;
}

// ---- cell -------------------------------------------------------------------------------

TGOSubChartArea::TGOSubChartArea(TScatterplotmatrix* APlot, int AColumn, int ARow)
    : TGOScat(APlot), Column(AColumn), Row(ARow)
{
    Flags = 0;
    Cursor = crArrow;
    CalcBounds();
}

void TGOSubChartArea::CalcBounds()
{
    Bounds = Layout().CellRect(Column, Row);
}

bool TGOSubChartArea::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(Bounds, Pt);
}

void TGOSubChartArea::Draw(TCanvas& Canvas)
{
    TPen pen = Plot->CellFramePen;
    pen.SetWidth(Layout().CellMargin);
    Canvas.SetPen(pen);
    const TRect& r = Bounds;
    const std::array<TPoint, 5> outline{Point(r.Left, r.Top), Point(r.Right - 1, r.Top),
                                        Point(r.Right - 1, r.Bottom - 1), Point(r.Left, r.Bottom - 1),
                                        Point(r.Left, r.Top)};
    Canvas.Polyline(outline);
}

QString TGOSubChartArea::GetHint() const
{
    return Data->GetDimName(Data->GetVisibleDim(Column)) + QStringLiteral(" X ")
         + Data->GetDimName(Data->GetVisibleDim(Row));
}

// ---- slider ------------------------------------------------------------------------------

TGOScatterSlider::TGOScatterSlider(TScatterplotmatrix* APlot, int APosition)
    : TGOScat(APlot), Position(APosition)
{
    Flags = 0;
    Cursor = crArrow;
    UpdateGeometry();
}

TGOScatterSlider::TBands TGOScatterSlider::CalcBands() const
{
    TBands bands;
    const int d = Data->GetVisibleDim(Position);
    if (Data->GetSliderOff(d))
        return bands;
    const TScatterplotLayout& L = Layout();
    const double lo = std::max(Data->GetSliderLow(d), Data->GetLBound(d));
    const double hi = std::min(Data->GetSliderHigh(d), Data->GetUBound(d));
    const int k = Position;
    const int n = L.GridCount();
    if (k > 0) {
        bands.HasRow = true;
        bands.RowBand = Rect(L.PlotRect.Left, L.ValueToY(*Data, k, hi) - L.DotHalf, L.ColumnRight(k - 1) - 1,
                             L.ValueToY(*Data, k, lo) + L.DotRest);
    }
    if (k < n - 1) {
        bands.HasColumn = true;
        bands.ColumnBand = Rect(L.ValueToX(*Data, k, lo) - L.DotHalf, L.RowTop(k + 1),
                                L.ValueToX(*Data, k, hi) + L.DotRest, L.PlotRect.Bottom);
    }
    return bands;
}

void TGOScatterSlider::UpdateGeometry()
{
    const TBands bands = CalcBands();
    if (bands.HasRow && bands.HasColumn)
        Bounds = Union(bands.RowBand, bands.ColumnBand);
    else if (bands.HasRow)
        Bounds = bands.RowBand;
    else if (bands.HasColumn)
        Bounds = bands.ColumnBand;
    else
        Bounds = TRect{};
}

bool TGOScatterSlider::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(Bounds, Pt);
}

void TGOScatterSlider::Draw(TCanvas& Canvas)
{
    const TBands bands = CalcBands();
    if (!bands.HasRow && !bands.HasColumn)
        return;
    const int source = Data->GetDimPerm(Data->GetVisibleDim(Position));
    const TColor tint = BlendColors(0xFFFFFF, Plot->AppProperties()->GetValueColor(source), 0.5f);
    Canvas.SetPen(Plot->BandPen);
    TBrush brush = Plot->BandBrush;
    brush.SetColor(tint);
    Canvas.SetBrush(brush);
    if (bands.HasRow)
        Canvas.Polygon(RectToCorners(bands.RowBand));
    if (bands.HasColumn)
        Canvas.Polygon(RectToCorners(bands.ColumnBand));
}

QString TGOScatterSlider::GetHint() const
{
    return QStringLiteral("Slider");
}

// ---- data item ----------------------------------------------------------------------------

TGOScatterDataPoint::TGOScatterDataPoint(TScatterplotmatrix* APlot, int APoint)
    : TGOScat(APlot), Point(APoint)
{
    Cursor = crHandPoint;
    UpdateGeometry();
}

void TGOScatterDataPoint::UpdateGeometry()
{
    Bounds = Layout().PlotRect;
    Layers.reserve(size_t(Data->VisibleDimCount() + 2));
}

void TGOScatterDataPoint::DotCentres() const
{
    const TScatterplotLayout& L = Layout();
    const int n = L.GridCount();
    FDotX.resize(size_t(n));
    FDotY.resize(size_t(n));
    for (int k = 0; k < n; ++k) {
        const double v = Data->GetValue(Point, Data->GetVisibleDim(k));
        FDotX[size_t(k)] = L.ValueToX(*Data, k, v);
        FDotY[size_t(k)] = L.ValueToY(*Data, k, v);
    }
}

bool TGOScatterDataPoint::AnyDotCentreIn(const TRect& Box) const
{
    if (Data->IsPointHidden(Point))
        return false;
    DotCentres();
    // The centre of cell (c, r) has column c's x and row r's y, and cells
    // lie below the diagonal (r > c): a column whose x is in the box needs
    // a row further down whose y is. Taken apart so, a wide matrix is
    // searched in its side's length, not in its cells.
    const int n = int(FDotX.size());
    int lastRow = -1;
    for (int r = n - 1; r > 0 && lastRow < 0; --r)
        if (FDotY[size_t(r)] >= Box.Top && FDotY[size_t(r)] < Box.Bottom)
            lastRow = r;
    for (int c = 0; c < lastRow; ++c)
        if (FDotX[size_t(c)] >= Box.Left && FDotX[size_t(c)] < Box.Right)
            return true;
    return false;
}

bool TGOScatterDataPoint::ContainsPoint(const TPoint& Pt) const
{
    // A centre less than 3 pixels away each way.
    return AnyDotCentreIn(TRect{Pt.x - 2, Pt.y - 2, Pt.x + 3, Pt.y + 3});
}

bool TGOScatterDataPoint::InsideRect(const TRect& R) const
{
    return AnyDotCentreIn(R);
}

void TGOScatterDataPoint::PrepareDraw()
{
    FPrepared = false;
    if (Data->IsPointHidden(Point))
        return;
    ItemColorLayers(*Data, *Plot->AppProperties(), Point, false, Layout().SelectionColor, Layers);
    DotCentres();
    FPrepared = true;
}

void TGOScatterDataPoint::PaintPoint(TCanvas& Canvas, bool WithSelection)
{
    const bool prepared = FPrepared && !WithSelection;
    FPrepared = false;
    if (Data->IsPointHidden(Point))
        return;
    if (!prepared) {
        ItemColorLayers(*Data, *Plot->AppProperties(), Point, WithSelection, Layout().SelectionColor, Layers);
        DotCentres();
    }
    // A square for every layer in each cell below the diagonal that the
    // canvas shows: of a matrix larger than its window, a small part.
    const TGridSpan span = Layout().SpanOf(Canvas.ClipRect());
    size_t cells = 0;
    for (int c = span.FirstColumn; c <= span.LastColumn; ++c)
        cells += size_t(std::max(0, span.LastRow - std::max(c + 1, span.FirstRow) + 1));
    std::vector<TRect> squares;
    std::vector<TColor> colors;
    squares.reserve(Layers.size() * cells);
    colors.reserve(Layers.size() * cells);
    AddSquares(span, squares, colors);
    Canvas.FillRects(squares, colors);
}

void TGOScatterDataPoint::AddPreparedSquares(const TGridSpan& Span, std::vector<TRect>& Squares,
                                             std::vector<TColor>& Colors) const
{
    if (FPrepared)
        AddSquares(Span, Squares, Colors);
}

void TGOScatterDataPoint::AddSquares(const TGridSpan& Span, std::vector<TRect>& Squares,
                                     std::vector<TColor>& Colors) const
{
    const TScatterplotLayout& L = Layout();
    const int lastColumn = std::min({Span.LastColumn, Span.LastRow - 1, int(FDotX.size()) - 1});
    const int lastRow = std::min(Span.LastRow, int(FDotY.size()) - 1);
    // Cells do not overlap, so each layer can go into every cell before the
    // next inner one.
    for (int layer = int(Layers.size()) - 1; layer >= 0; --layer) {
        const int spread = L.RingWidth * layer;
        for (int c = Span.FirstColumn; c <= lastColumn; ++c) {
            const int x = FDotX[size_t(c)];
            // The cells of column c, less their frame pixel.
            const int left = std::max(x - L.DotHalf - spread, L.ColumnLeft(c) + 1);
            const int right = std::min(x + L.DotRest + 1 + spread, L.ColumnRight(c));
            if (right <= left)
                continue;
            for (int r = std::max(c + 1, Span.FirstRow); r <= lastRow; ++r) {
                const int y = FDotY[size_t(r)];
                const int top = std::max(y - L.DotHalf - spread, L.RowTop(r) + 1);
                const int bottom = std::min(y + L.DotRest + 1 + spread, L.RowBottom(r));
                if (bottom > top)
                    Squares.push_back(Rect(left, top, right, bottom));
            }
        }
        Colors.resize(Squares.size(), Layers[size_t(layer)]);
    }
}

void TGOScatterDataPoint::Draw(TCanvas& Canvas)
{
    // Objects are drawn by paints only (the editor adds them undrawn).
    PaintPoint(Canvas, false);
}

void TGOScatterDataPoint::DrawSelectionMark(TCanvas& Canvas, bool Selected)
{
    if (Selected)
        PaintPoint(Canvas, true);
    else
        Invalidate(Canvas);
}

void TGOScatterDataPoint::SetSelected(bool Selected)
{
    Plot->WritePointSelected(Point, Selected);
}

TGraphicObject* TGOScatterDataPoint::CreateHandles(uint32_t, int, int)
{
    return nullptr;
}

QString TGOScatterDataPoint::GetHint() const
{
    return DataItemHint(Data->GetPointName(Point));
}

QString TGOScatterDataPoint::GetCaption() const
{
    return Data->GetPointName(Point);
}

// ---- dimension label ------------------------------------------------------------------------

TGOScatterAxisLabel::TGOScatterAxisLabel(TScatterplotmatrix* APlot, bool ARowLabel, int APosition)
    : TGOScat(APlot), IsRowLabel(ARowLabel), Position(APosition), Dim(APlot->Data()->GetVisibleDim(APosition))
{
    Flags = gofSelectable | gofMovable | (IsRowLabel ? gofScatRowLabel : gofScatColumnLabel);
    Cursor = IsRowLabel ? crHSplit : crVSplit;
    UpdateGeometry();
}

void TGOScatterAxisLabel::UpdateGeometry()
{
    const TScatterplotLayout& L = Layout();
    const int k = Position;
    if (IsRowLabel) {
        Centre = (L.RowTop(k) + L.RowBottom(k)) / 2;
        Edge = L.ColumnLeft(0) - L.RowLabelOffset;
        Length = L.RowBottom(k) - L.RowTop(k);
    } else {
        Centre = (L.ColumnLeft(k) + L.ColumnRight(k)) / 2;
        Edge = L.RowBottom(L.GridCount() - 1) + L.ColumnLabelOffset;
        Length = L.ColumnRight(k) - L.ColumnLeft(k);
    }
    Depth = L.LabelRoom;
    SetLabelRect();
}

void TGOScatterAxisLabel::SetLabelRect()
{
    LabelRect = AxisLabelRect(IsRowLabel, Centre, Edge, Length, Depth);
    Bounds = LabelRect;
}

bool TGOScatterAxisLabel::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(LabelRect, Pt);
}

bool TGOScatterAxisLabel::CanSelectWith(const TGraphicObject* Other) const
{
    return dynamic_cast<const TGOScatterAxisLabel*>(Other) != nullptr;
}

void TGOScatterAxisLabel::Draw(TCanvas& Canvas)
{
    if (Data->IsDimHidden(Dim))
        return;
    const QString name = Data->GetDimName(Dim);
    if (IsRowLabel)
        DrawRowLabelText(Canvas, Plot->Font15Turned, name, Edge, Centre, Length);
    else
        DrawColumnLabelText(Canvas, Plot->Font15, name, Edge, Centre, Length, Depth);
    SetLabelRect();
}

void TGOScatterAxisLabel::DrawSelectionMark(TCanvas& Canvas, bool /*Selected*/)
{
    DrawLabelSelectionMark(Canvas, LabelRect);
}

void TGOScatterAxisLabel::SetSelected(bool Selected)
{
    // The row label shows the dimension's selection; a column label is
    // never listed by following the data object.
    if (Selected && !IsRowLabel)
        Plot->NoteStrayPick(this);
    Plot->WriteDimSelected(Dim, Selected);
}

void TGOScatterAxisLabel::ShowDragFeedback(TCanvas& Canvas, TDragFeedback /*Style*/)
{
    DrawLabelDragFeedback(Canvas, LabelRect);
}

void TGOScatterAxisLabel::HideDragFeedback(TCanvas& Canvas, TDragFeedback Style)
{
    ShowDragFeedback(Canvas, Style);
}

void TGOScatterAxisLabel::MoveBy(int DX, int DY)
{
    const TRect& plot = Layout().PlotRect;
    if (IsRowLabel)
        TGOScat::MoveBy(0, MoveCenterWithin(Centre, DY, plot.Top, plot.Bottom));
    else
        TGOScat::MoveBy(MoveCenterWithin(Centre, DX, plot.Left, plot.Right), 0);
    SetLabelRect();
}

void TGOScatterAxisLabel::BeginDrag(uint32_t /*Kind*/, TDragFeedback /*Style*/)
{
    DragStartCentre = Centre;
}

void TGOScatterAxisLabel::EndDrag(uint32_t Kind, TDragFeedback Style)
{
    TGOScat::EndDrag(Kind, Style);
    auto* target = dynamic_cast<TGOScatterAxisLabel*>(
        DropTargetOf(*Plot->Editor(), *this, IsRowLabel ? gofScatRowLabel : gofScatColumnLabel));
    if (target) {
        // Rebuilds the plot, which frees this label, and ends with the
        // silent abort: nothing of the label may be touched afterwards.
        Plot->ExchangeDims(Position, target->Position);
        return;
    }
    Centre = DragStartCentre;
}

TGraphicObject* TGOScatterAxisLabel::CreateHandles(uint32_t AFlags, int, int)
{
    return CreateLabelMoveFrame(AFlags, LabelRect);
}

QString TGOScatterAxisLabel::GetHint() const
{
    return DimensionHint(Data->GetDimName(Dim));
}

QString TGOScatterAxisLabel::GetCaption() const
{
    return DimensionCaption(Data->GetDimName(Dim));
}

// ---- editor ---------------------------------------------------------------------------------

void TGOScatterEdit::UpdateCursor(TSelectionEntry* Hits, const TPoint& Pt)
{
    const int count = SelectionCount(Hits);
    if (count == 0)
        SetCursor(crArrow);
    else if (count == 1)
        SetCursor(Hits->Object->Cursor);
    else if (count == 2 && dynamic_cast<TGOScatterDataPoint*>(Hits->Object)
             && dynamic_cast<TGOSubChartArea*>(Hits->Next->Object))
        SetCursor(Hits->Object->Cursor);
    else
        SetCursor(crHelp);
    if (OnObjectHover)
        OnObjectHover(this, Hits, Pt);
}

// ---- plot -----------------------------------------------------------------------------------

TPlotClientInfo TScatterplotmatrix::PlotInfo()
{
    TPlotClientInfo info;
    info.Number = 3;
    info.Key = QStringLiteral("ScatterplotMatrix");
    info.Caption = QStringLiteral("Scatterplot Matrix");
    info.PrinterTitle = QStringLiteral("Scatterplot Matrix");
    info.UpdateFailureText = QStringLiteral("Exception in DoUpdates-Handler. ClassName: ");
    info.ToolBar = &TQuorClientManager::ActionToolBarSMatrix;
    return info;
}

TScatterplotmatrix::TScatterplotmatrix(QWidget* AOwner)
    : TQuorPlotClient(AOwner, PlotInfo())
{
    InstallEditor(new TGOScatterEdit(nullptr, this));
    SetDefaults();
    Layout.CalcInsets();
    CreateDrawingTools();
    ApplyMinSize();
}

TGOScatterEdit* TScatterplotmatrix::ScatterEdit() const
{
    return static_cast<TGOScatterEdit*>(Editor());
}

void TGOScatterEdit::DrawObjects(TGraphicObject* List)
{
    std::vector<TGOScatterDataPoint*> dots;
    // Whether every dot comes after every other object, as the plot builds
    // them: then the dots can be drawn after the rest, in bands.
    bool dotsLast = true;
    for (TGraphicObject* o = List; o; o = o->Next) {
        if (auto* dot = dynamic_cast<TGOScatterDataPoint*>(o))
            dots.push_back(dot);
        else if (!dots.empty())
            dotsLast = false;
    }
    // A dot left undrawn (outside the clip) computes afresh next time.
    const auto forget = qScopeGuard([&dots] {
        for (TGOScatterDataPoint* dot : dots)
            dot->ForgetPrepared();
    });
    if (dots.empty()) {
        TGOPlotEdit::DrawObjects(List);
        return;
    }
    constexpr int kDotsPerPiece = 2048;
    const int pieces = (int(dots.size()) + kDotsPerPiece - 1) / kDotsPerPiece;
    const int threads = Plot()->Data()->ReadyForReadersOnAnyThread() ? UsableThreads(8) : 1;
    ParallelFor(pieces, threads, [&dots](int piece) {
        const size_t end = std::min(dots.size(), size_t(piece + 1) * kDotsPerPiece);
        for (size_t k = size_t(piece) * kDotsPerPiece; k < end; ++k)
            dots[k]->PrepareDraw();
    });
    // Bands of a few cells' dots at least.
    constexpr int kBandRows = 16;
    TCanvas& canvas = Canvas();
    if (!dotsLast || canvas.PartCount(threads, kBandRows, false) == 0) {
        TGOPlotEdit::DrawObjects(List);
        return;
    }
    DrawClipped(canvas, List, nullptr, dots.front());
    const TScatterplotLayout& layout = static_cast<TScatterplotmatrix*>(Plot())->Layout;
    canvas.DrawInParts(threads, kBandRows, false, [&dots, &layout](int, TCanvas& Band, const QRect& Area) {
        // The dots are most of what the matrix draws: their squares go to
        // the band a few thousand at a time, each in its colour.
        constexpr size_t kSquaresPerFill = 4096;
        const TGridSpan span = layout.SpanOf(ToTRect(Area));
        std::vector<TRect> squares;
        std::vector<TColor> colors;
        for (const TGOScatterDataPoint* dot : dots) {
            dot->AddPreparedSquares(span, squares, colors);
            if (squares.size() >= kSquaresPerFill) {
                Band.FillRects(squares, colors);
                squares.clear();
                colors.clear();
            }
        }
        Band.FillRects(squares, colors);
    });
}

void TScatterplotmatrix::SetDefaults()
{
    Layout.SetDefaults();
}

void TScatterplotmatrix::CreateDrawingTools()
{
    DotPen = TPen(0x000000);
    CellFramePen = TPen(0x000000);
    BandPen = TPen(0x808080, TPenMode::pmMask);
    Font12 = MakeFont(12, 0);
    Font15 = MakeFont(15, 0);
    Font12Turned = MakeFont(10, 900);
    Font15Turned = MakeFont(13, 900);
    WhiteBrush = TBrush(0xFFFFFF);
    BlackBrush = TBrush(0x000000);
    BandBrush = TBrush(0xFFFFFF);
    BackgroundBrush = WhiteBrush;
}

TSize TScatterplotmatrix::GetMinEditorSize() const
{
    const TRect& insets = Layout.Insets;
    TSize size{1, 1};
    if (Data() && Data()->DimCount() > 0)
        size = Layout.GetMinSize(Data()->VisibleDimCount());
    return TSize{size.cx + insets.Left + insets.Right, size.cy + insets.Top + insets.Bottom};
}

void TScatterplotmatrix::Attach()
{
    Editor()->SetBrush(BackgroundBrush);
    TQuorPlotClient::Attach();
}

void TScatterplotmatrix::Changed(TDataChange Change)
{
    switch (Change) {
    case TDataChange::PointModifications:
    case TDataChange::PointExchange:
        NeedsSelection = NeedsLayout = NeedsRepaint = true;
        break;
    case TDataChange::PointSelectionChange:
    case TDataChange::PointVisibilityChange:
    case TDataChange::DimSelectionChange:
        NeedsSelection = NeedsRepaint = true;
        break;
    case TDataChange::PointColorChange:
    case TDataChange::DimBoundChange:
        NeedsRepaint = true;
        break;
    case TDataChange::DimExchange:
    case TDataChange::DimMove:
    case TDataChange::DimVisibilityChange:
    case TDataChange::DimModifications:
    case TDataChange::DataSrcChange:
        NeedsRebuild = NeedsLayout = NeedsRepaint = true;
        break;
    case TDataChange::DimSliderChange:
        NeedsSliders = NeedsRepaint = true;
        break;
    case TDataChange::ValueChange:
        NeedsRebuild = NeedsRepaint = true;
        break;
    }
}

void TScatterplotmatrix::CalcPlotRect()
{
    Layout.CalcPlotRect(Editor()->ClientWidth(), Editor()->ClientHeight());
    Layout.CalcCellGrid(Data()->VisibleDimCount());
}

void TScatterplotmatrix::CalcFrameGeometry()
{
    CalcPlotRect();
}

void TScatterplotmatrix::PlaceSliders()
{
    for (TGOScatterSlider* slider : FSliders)
        slider->UpdateGeometry();
}

void TScatterplotmatrix::CalcLayout()
{
    CalcPlotRect();
}

void TScatterplotmatrix::BuildObjects()
{
    TGOEdit* editor = Editor();
    const int n = Data()->VisibleDimCount();
    for (int p = 0; p < Data()->PointCount(); ++p) {
        auto point = std::make_unique<TGOScatterDataPoint>(this, p);
        IndexPointObject(p, point.get());
        editor->AddObject(std::move(point), false);
    }
    FSliders.clear();
    for (int k = 0; k < n; ++k) {
        auto slider = std::make_unique<TGOScatterSlider>(this, k);
        FSliders.push_back(slider.get());
        editor->AddObject(std::move(slider), false);
    }
    for (int c = 0; c < n; ++c)
        for (int r = c + 1; r < n; ++r)
            editor->AddObject(std::make_unique<TGOSubChartArea>(this, c, r), false);
    for (int k = 0; k < n; ++k) {
        auto row = std::make_unique<TGOScatterAxisLabel>(this, true, k);
        auto column = std::make_unique<TGOScatterAxisLabel>(this, false, k);
        row->Partner = column.get();
        column->Partner = row.get();
        // Only row labels show their dimension's selection.
        IndexDimObject(row->Dim, row.get());
        editor->AddObject(std::move(row), false);
        editor->AddObject(std::move(column), false);
    }
}

uint64_t TScatterplotmatrix::ObjectBytes() const
{
    const uint64_t n = uint64_t(Data()->VisibleDimCount());
    const uint64_t items = uint64_t(Data()->PointCount());
    if (n < 2)
        return 0;
    // A dot per data item with its centre in every column and row and its
    // colour layers; a cell per pair of dimensions, which is what grows out
    // of reach on a wide table; per dimension a slider and two labels; for
    // every object an index entry and a selection entry.
    const uint64_t dot = HeapBytes(1, sizeof(TGOScatterDataPoint)) + 2 * HeapBytes(1, n * sizeof(int))
        + HeapBytes(1, (n + 2) * sizeof(TColor));
    const uint64_t cells = n * (n - 1) / 2;
    const uint64_t objects = items + cells + 3 * n;
    // The editor grows to the matrix's smallest size, whatever the window's
    // size; its image holds what the window area shows of it.
    return ImageBytes(GetMinEditorSize()) + items * dot + HeapBytes(cells, sizeof(TGOSubChartArea))
        + HeapBytes(n, sizeof(TGOScatterSlider)) + HeapBytes(2 * n, sizeof(TGOScatterAxisLabel))
        + objects * sizeof(void*) + HeapBytes(objects, sizeof(TSelectionEntry));
}

void TScatterplotmatrix::UpdateObjectGeometry(TGraphicObject* Object)
{
    if (auto* object = dynamic_cast<TGOScat*>(Object))
        object->UpdateGeometry();
}

void TScatterplotmatrix::SyncSelection()
{
    TGOEdit* editor = Editor();
    // The objects' SetSelected writes nothing here: the plot is updating.
    editor->Deselect();
    for (TGraphicObject* object = editor->GetObjects(); object; object = object->Next) {
        bool selected = false;
        if (auto* point = dynamic_cast<TGOScatterDataPoint*>(object))
            selected = Data()->IsPointSelected(point->Point);
        else if (auto* label = dynamic_cast<TGOScatterAxisLabel*>(object))
            selected = label->IsRowLabel && Data()->IsDimSelected(label->Dim);
        // The selection started empty and every object comes once: joining
        // it needs no search through it.
        if (selected)
            editor->Selection = NewSelectionEntry(object, std::move(editor->Selection));
    }
    editor->SelectionChanged(false, false);
}

QString TScatterplotmatrix::HintText(const TSelectionEntry* Objects) const
{
    if (!Objects || !Objects->Next)
        return TQuorPlotClient::HintText(Objects);
    QString prefix;
    QStringList captions;
    for (const TSelectionEntry* entry = Objects; entry; entry = entry->Next.get()) {
        if (dynamic_cast<const TGOSubChartArea*>(entry->Object))
            prefix = entry->Object->GetHint() + QStringLiteral(": ");
        else
            captions << entry->Object->GetCaption();
    }
    QString text = prefix + captions.join(QStringLiteral(", "));
    if (captions.size() > 1)
        text += QStringLiteral(" [Click to cycle through items]");
    return text;
}

void TScatterplotmatrix::SetDotSize(int Value)
{
    Layout.DotSize = Value;
    Layout.CalcInsets();
    Rebuild();
}

void TScatterplotmatrix::SetRingWidth(int Value)
{
    Layout.RingWidth = Value;
    Layout.CalcInsets();
    Rebuild();
}

void TScatterplotmatrix::InvertBackground()
{
    const bool toBlackDrawing = Font15Turned.Color() != 0x000000;
    const TColor ink = toBlackDrawing ? 0x000000 : 0xFFFFFF;
    Font12.SetColor(ink);
    Font15.SetColor(ink);
    Font12Turned.SetColor(ink);
    Font15Turned.SetColor(ink);
    BackgroundBrush = toBlackDrawing ? WhiteBrush : BlackBrush;
    DotPen.SetColor(ink);
    CellFramePen.SetColor(ink);
    Editor()->SetBrush(BackgroundBrush);
    NeedsRebuild = NeedsLayout = NeedsSelection = NeedsRepaint = true;
    DoUpdates();
}

void TScatterplotmatrix::PaintScales(TCanvas& Canvas)
{
    TData* data = Data();
    if (!data || data->VisibleDimCount() < 2)
        return;
    const TScatterplotLayout& L = Layout;
    const int n = std::min(L.GridCount(), data->VisibleDimCount());
    const TPen& pen = BlackPen();
    const TBrush& brush = ClearBrush();
    // The room of the labels across their axes: the diagonal scales' run
    // to the editor's edge over the empty half of the grid, the others'
    // end at the name labels.
    const int width = Editor()->ClientWidth();
    const int sideRoom = L.ScaleRoom + L.ScaleGap - 5;
    const int bottomRoom = L.ScaleRoom + L.ScaleGap - 3;
    for (int i = 0; i < n; ++i) {
        const int di = data->GetVisibleDim(i);
        for (int j = i + 1; j < n; ++j) {
            const int dj = data->GetVisibleDim(j);
            const TRect cell = L.CellRect(i, j);
            const int x1 = cell.Left + L.CellMargin;
            const int x2 = cell.Right - 1 - L.CellMargin;
            const int y1 = cell.Top + L.CellMargin;
            const int y2 = cell.Bottom - 1 - L.CellMargin;
            if (j == i + 1 && L.DiagonalTopScales)
                DrawHorizontalAxis(Canvas, cell.Top - L.BaseMargin, x1, x2, false, data->GetLBound(di),
                                   data->GetUBound(di), pen, Font12Turned, brush, L.AxisGap,
                                   cell.Top - L.BaseMargin - 4);
            if (j == i + 1 && L.DiagonalRightScales)
                DrawVerticalAxis(Canvas, cell.Right + L.BaseMargin - 1, y1, y2, true, data->GetUBound(dj),
                                 data->GetLBound(dj), pen, Font12, brush, L.AxisGap,
                                 width - (cell.Right + L.BaseMargin + 3));
            if ((i == 0 && L.LeftScales) || L.AllCellScales)
                DrawVerticalAxis(Canvas, cell.Left - L.BaseMargin, y1, y2, false, data->GetUBound(dj),
                                 data->GetLBound(dj), pen, Font12, brush, L.AxisGap, sideRoom);
            if ((j == n - 1 && L.BottomScales) || L.AllCellScales)
                DrawHorizontalAxis(Canvas, cell.Bottom + L.BaseMargin - 1, x1, x2, true, data->GetLBound(di),
                                   data->GetUBound(di), pen, Font12Turned, brush, L.AxisGap, bottomRoom);
        }
    }
}
