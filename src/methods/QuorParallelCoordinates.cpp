#include "methods/QuorParallelCoordinates.h"

#include "ObjectEditor/GraphLib.h"
#include "ObjectEditor/StockObjects.h"
#include "QuorData/QuorAppProperties.h"
#include "QuorData/Utility.h"
#include "methods/ScatterplotLayout.h"
#include "platform/Exceptions.h"

#include <QScopeGuard>

#include <cmath>

namespace {

const QString kClusteringFrame = QStringLiteral("ClusteringFrame");

} // namespace

// ---- graphic objects: base ----------------------------------------------------------

TGOPar::TGOPar(TParallelCoordinates* AOwner, int AIndex, TData* AData)
    : Index(AIndex), Owner(AOwner), Data(AData)
{
}

const TParallelCoordinatesLayout& TGOPar::Layout() const
{
    return Owner->Layout;
}

// ---- polyline ------------------------------------------------------------------------

TGOParDataPoint::TGOParDataPoint(TParallelCoordinates* AOwner, int AIndex, TData* AData)
    : TGOPar(AOwner, AIndex, AData)
{
    Flags = gofSelectable;
    Cursor = crHandPoint;
    HitWidth = Layout().HaloStep + 1;
    UpdateGeometry();
}

void TGOParDataPoint::UpdateGeometry()
{
    ColorLayers.resize(size_t(Layout().AxisCount() + 2));
    Layout().CalcVertices(*Data, Index, Vertices);
    // The line runs through the vertices that can be placed; a vertex that
    // cannot parts it, so every segment between two placed ones shows.
    FPoints.resize(Vertices.size());
    FRuns.clear();
    bool any = false;
    TRect r;
    for (size_t k = 0; k < Vertices.size(); ++k) {
        if (std::isnan(Vertices[k].y))
            continue;
        const TPoint p = Point(RoundToPixel(Vertices[k].x), RoundToPixel(Vertices[k].y));
        FPoints[k] = p;
        r = any ? ExtendRectToPoint(p, r) : Rect(p.x, p.y, p.x, p.y);
        any = true;
        if (k > 0 && !std::isnan(Vertices[k - 1].y)) {
            if (!FRuns.empty() && FRuns.back().second == k)
                FRuns.back().second = k + 1;
            else
                FRuns.emplace_back(k - 1, k + 1);
        }
    }
    Bounds = any ? Rect(r.Left - HitWidth, r.Top - HitWidth, r.Right + HitWidth + 1, r.Bottom + HitWidth + 1)
                 : TRect{};
}

std::span<const TPoint> TGOParDataPoint::Run(const std::pair<size_t, size_t>& R) const
{
    return std::span<const TPoint>(FPoints).subspan(R.first, R.second - R.first);
}

bool TGOParDataPoint::ContainsPoint(const TPoint& Pt) const
{
    if (Data->IsPointHidden(Index))
        return false;
    for (const auto& run : FRuns) {
        const std::span<const TPoint> points = Run(run);
        for (size_t k = 1; k < points.size(); ++k)
            if (PointNearSegment(Pt, points[k - 1], points[k], 3))
                return true;
    }
    return false;
}

bool TGOParDataPoint::CrossesSegment(const TPoint& A, const TPoint& B) const
{
    if (Data->IsPointHidden(Index))
        return false;
    for (const auto& run : FRuns)
        if (PolylineCrossesStroke(Run(run), A, B))
            return true;
    return false;
}

void TGOParDataPoint::PaintLines(TCanvas& Canvas, bool WithSelection)
{
    if (Data->IsPointHidden(Index))
        return;
    const TQuorAppProperties& props = *Owner->AppProperties();
    const TParallelCoordinatesLayout& L = Layout();
    const std::vector<TGOParSlider*>& sliders = Owner->Sliders();
    Canvas.SetPen(Owner->LinePen);
    ColorLayers.resize(std::max(ColorLayers.size(), sliders.size() + 2));
    size_t count = 0;
    ColorLayers[count++] = props.GetValueColor(Data->GetPointColor(Index));
    const size_t n = std::min(sliders.size(), Vertices.size());
    for (size_t i = 0; i < n; ++i) {
        const TGOParSlider* s = sliders[i];
        if (s->Parked)
            continue;
        const TSliderEnds bar = s->EffectiveEnds();
        const double y = Vertices[i].y;
        const double tolerance = std::fabs(1e-11 * y);
        if (bar.HighY - tolerance <= y && y <= bar.LowY + tolerance)
            ColorLayers[count++] = props.GetValueColor(s->ColorIndex);
    }
    if (WithSelection && Data->IsPointSelected(Index))
        ColorLayers[count++] = L.SelectionColor;
    HitWidth = (L.HaloStep - 1) * int(count) + 1;
    Canvas.SetBrush(Owner->LineBrush());
    // Widest first, so that every inner layer shows on top of the outer ones.
    for (size_t k = count; k-- > 0;) {
        Canvas.Pen().SetColor(ColorLayers[k]);
        Canvas.Pen().SetWidth(L.HaloStep * int(k) + 1);
        for (const auto& run : FRuns)
            Canvas.Polyline(Run(run));
    }
}

void TGOParDataPoint::Draw(TCanvas& Canvas)
{
    PaintLines(Canvas, false);
}

void TGOParDataPoint::DrawSelectionMark(TCanvas& Canvas, bool Selected)
{
    if (Selected)
        PaintLines(Canvas, true);
    else
        Invalidate(Canvas);
}

void TGOParDataPoint::SetSelected(bool Selected)
{
    Owner->WritePointSelected(Index, Selected);
}

QString TGOParDataPoint::GetHint() const
{
    return DataItemHint(Data->GetPointName(Index));
}

QString TGOParDataPoint::GetCaption() const
{
    return Data->GetPointName(Index);
}

// ---- axis ---------------------------------------------------------------------------------

TGOParAxis::TGOParAxis(TParallelCoordinates* AOwner, int AVisibleIndex, TData* AData)
    : TGOPar(AOwner, AData->GetVisibleDim(AVisibleIndex), AData), VisibleIndex(AVisibleIndex)
{
    Flags = gofSelectable | gofMovable;
    Cursor = crHSplit;
    UpdateGeometry();
}

void TGOParAxis::UpdateGeometry()
{
    const TParallelCoordinatesLayout& L = Layout();
    X = L.AxisPos(VisibleIndex);
    SnapDistance = L.SnapDistance();
    NameBoxSize = TSize{L.NameBoxWidth(), L.NameBoxHeight};
    CalcRects();
}

void TGOParAxis::CalcRects()
{
    const TParallelCoordinatesLayout& L = Layout();
    const TAxisRects r = L.AxisRects(X, UpperLabelSize, LowerLabelSize, NameBoxSize);
    UpperLabelRect = r.UpperLabel;
    LineRect = r.Line;
    NameRect = r.Name;
    LowerLabelRect = r.LowerLabel;
    Bounds = r.Bounds;
}

bool TGOParAxis::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(UpperLabelRect, Pt) || PtInRect(LineRect, Pt) || PtInRect(NameRect, Pt)
        || PtInRect(LowerLabelRect, Pt);
}

bool TGOParAxis::CanSelectWith(const TGraphicObject* Other) const
{
    return dynamic_cast<const TGOParAxis*>(Other) != nullptr;
}

void TGOParAxis::Draw(TCanvas& Canvas)
{
    if (Data->IsDimHidden(Index))
        return;
    const TParallelCoordinatesLayout& L = Layout();
    const int t = L.PlotRect.Top;
    const int b = L.PlotRect.Bottom;
    Canvas.SetPen(Owner->AxisPen());
    Canvas.SetBrush(Owner->AxisBrush);
    Canvas.SetFont(Owner->ValueFont);
    Canvas.MoveTo(X, t);
    Canvas.LineTo(X, b);
    const int tick = L.EndTickHalfWidth;
    Canvas.MoveTo(X - tick, t);
    Canvas.LineTo(X + tick + 1, t);
    Canvas.MoveTo(X - tick, b);
    Canvas.LineTo(X + tick + 1, b);
    const int middle = (t + b) / 2;
    Canvas.MoveTo(X, middle);
    Canvas.LineTo(X + L.MidTickLength, middle);

    Canvas.SetBrush(ClearBrush());
    LowerLabelSize = DrawBoundLabel(Canvas, L.AxisLo(VisibleIndex), b, false);
    UpperLabelSize = DrawBoundLabel(Canvas, L.AxisHi(VisibleIndex), t, true);

    // The name is centred on the axis, in as much of its box as it needs:
    // moved in only as far as the editor's edge makes it, broken into lines
    // and ended in "..." where its box is too narrow.
    Canvas.SetFont(Owner->NameFont);
    const QString name = Data->GetDimName(Index);
    const int room = L.TextRoom(X, NameBoxSize.cx).Width();
    const int width = std::min(Canvas.TextWidth(Canvas.ElideText(name, room)), room);
    const int left = L.TextLeft(X, NameBoxSize.cx, width);
    const int top = t - UpperLabelSize.cy - NameBoxSize.cy;
    TRect box = Rect(left, top, left + width, top + NameBoxSize.cy);
    Canvas.DrawText(name, box,
                    dtCenter | dtWordBreak | dtExternalLeading | dtNoPrefix | dtEditControl | dtEndEllipsis
                        | dtWordEllipsis);
    CalcRects();
}

TSize TGOParAxis::DrawBoundLabel(TCanvas& Canvas, double Value, int Edge, bool Above)
{
    // A label keeps to its axis's column, as the name does, and inside the
    // editor.
    const TParallelCoordinatesLayout& L = Layout();
    const TTextRoom room = L.TextRoom(X, NameBoxSize.cx);
    QString text = FloatLabelText(Value);
    TSize size = Canvas.TextExtent(text);
    text = FitAxisLabel(Canvas, text, size.cx, room.Width());
    const int top = Above ? Edge - size.cy : Edge;
    DrawAxisLabel(Canvas, size.cx > room.Width(), Rect(room.Left, top, room.Right, top + size.cy),
                  L.TextLeft(X, NameBoxSize.cx, size.cx), top, text);
    return TSize{std::min(size.cx, room.Width()), size.cy};
}

void TGOParAxis::DrawSelectionMark(TCanvas& Canvas, bool /*Selected*/)
{
    Canvas.SetPen(XorPen());
    Canvas.Pen().SetColor(0x808080);
    Canvas.SetBrush(ClearBrush());
    Canvas.Rectangle(NameRect);
    Canvas.Rectangle(UpperLabelRect);
    Canvas.Rectangle(LineRect);
    Canvas.Rectangle(LowerLabelRect);
}

void TGOParAxis::SetSelected(bool Selected)
{
    Owner->WriteDimSelected(Index, Selected);
}

void TGOParAxis::ShowDragFeedback(TCanvas& Canvas, TDragFeedback /*Style*/)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(WhiteBrush());
    Canvas.Rectangle(LineRect);
}

void TGOParAxis::HideDragFeedback(TCanvas& Canvas, TDragFeedback Style)
{
    ShowDragFeedback(Canvas, Style);
}

void TGOParAxis::MoveBy(int DX, int /*DY*/)
{
    const TRect& plot = Layout().PlotRect;
    X = std::clamp(X + DX, plot.Left, plot.Right);
    CalcRects();
}

void TGOParAxis::BeginDrag(uint32_t /*Kind*/, TDragFeedback /*Style*/)
{
    SavedX = X;
}

void TGOParAxis::EndDrag(uint32_t Kind, TDragFeedback Style)
{
    TGOPar::EndDrag(Kind, Style);
    const int target = Layout().AxisNear(X, SnapDistance);
    if (target >= 0 && target != VisibleIndex) {
        // Rebuilds the plot, which frees this axis, and ends with the
        // silent abort: nothing of the axis may be touched afterwards.
        Owner->ExchangeDims(VisibleIndex, target);
        return;
    }
    // Back home; the editor repaints where the axis stands now, so the
    // place it was dropped at is repainted here.
    Owner->Editor()->InvalidateArea(Bounds, true);
    X = SavedX;
    CalcRects();
}

TGraphicObject* TGOParAxis::CreateHandles(uint32_t AFlags, int /*W*/, int /*H*/)
{
    if (!HasFlags(AFlags, gofMovable))
        return nullptr;
    // Grabbing either label, the line or the name moves the axis.
    TGraphicObject* head = nullptr;
    TGraphicObject** link = &head;
    for (const TRect& r : {UpperLabelRect, LineRect, LowerLabelRect, NameRect}) {
        auto* frame = new TRectElement(r);
        frame->Flags = gofSelectable | gokMoveFrame;
        frame->Cursor = crHSplit;
        *link = frame;
        link = &frame->Next;
    }
    return head;
}

QString TGOParAxis::GetHint() const
{
    return DimensionHint(Data->GetDimName(Index));
}

QString TGOParAxis::GetCaption() const
{
    return DimensionCaption(Data->GetDimName(Index));
}

// ---- slider --------------------------------------------------------------------------------

TGOParSlider::TGOParSlider(TParallelCoordinates* AOwner, int AVisibleIndex, TData* AData)
    : TGOPar(AOwner, AData->GetVisibleDim(AVisibleIndex), AData), VisibleIndex(AVisibleIndex)
{
    Flags = gofSelectable | gofMovable | gofSizeY;
    Cursor = crVSplit;
    ReadValues();
    ValuesToPosition();
    CalcBounds();
}

void TGOParSlider::ReadValues()
{
    LowValue = Data->GetSliderLow(Index);
    HighValue = Data->GetSliderHigh(Index);
    Parked = Data->GetSliderOff(Index);
}

void TGOParSlider::UpdateGeometry()
{
    ReadValues();
    ValuesToPosition();
    CalcBounds();
}

bool TGOParSlider::Frozen() const
{
    return Dragging && !Owner->LiveTracking;
}

TSliderEnds TGOParSlider::EffectiveEnds() const
{
    return Frozen() ? TSliderEnds{SavedLowY, SavedHighY} : TSliderEnds{LowY, HighY};
}

double TGOParSlider::EffectiveLowValue() const
{
    return Frozen() ? SavedLowValue : LowValue;
}

double TGOParSlider::EffectiveHighValue() const
{
    return Frozen() ? SavedHighValue : HighValue;
}

void TGOParSlider::ValuesToPosition()
{
    TSliderEnds ends;
    if (Parked || !Layout().ValuesToEnds(VisibleIndex, EffectiveLowValue(), EffectiveHighValue(), ends)) {
        Park();
        return;
    }
    LowY = ends.LowY;
    HighY = ends.HighY;
}

void TGOParSlider::PositionToValues()
{
    double low = 0;
    double high = 0;
    if (!Layout().EndsToValues(VisibleIndex, TSliderEnds{LowY, HighY}, low, high)) {
        Park();
        return;
    }
    LowValue = low;
    HighValue = high;
    // A step taken once the button is up is the release's: its write ends
    // the drag, so no notice of more steps goes out.
    if (!Owner->LiveTracking || FQuietStep || !Owner->Editor()->ButtonDown[mbLeft])
        return;
    // Every step of the drag reaches the other clients at once; the notice
    // tells them that more steps follow.
    Owner->WriteTransaction([this] {
        Data->AddCustomEvent(TQDCELiveTracking::Create());
        Data->SetSliderLow(Index, EffectiveLowValue());
        Data->SetSliderHigh(Index, EffectiveHighValue());
        Data->SetSliderOff(Index, Parked);
    });
}

void TGOParSlider::Park()
{
    const TSliderEnds ends = Layout().ParkedEnds();
    LowY = ends.LowY;
    HighY = ends.HighY;
    Parked = true;
    CalcBounds();
}

bool TGOParSlider::IsParked() const
{
    return Layout().IsParked(TSliderEnds{LowY, HighY});
}

void TGOParSlider::CalcBounds()
{
    const TParallelCoordinatesLayout& L = Layout();
    const TSliderRects r =
        L.SliderRects(L.AxisPos(VisibleIndex), TSliderEnds{LowY, HighY}, LowLabelSize, HighLabelSize, LabelPadding);
    BarRect = r.Bar;
    LowLabelRect = r.LowLabel;
    HighLabelRect = r.HighLabel;
    Bounds = r.Bounds;
}

void TGOParSlider::SetDragging(bool Value)
{
    Dragging = Value;
    SavedLowY = LowY;
    SavedHighY = HighY;
    SavedLowValue = LowValue;
    SavedHighValue = HighValue;
}

bool TGOParSlider::ContainsPoint(const TPoint& Pt) const
{
    return PtInRect(Bounds, Pt);
}

bool TGOParSlider::CanSelectWith(const TGraphicObject* Other) const
{
    return Other == this;
}

void TGOParSlider::Draw(TCanvas& Canvas)
{
    Canvas.SetFont(Owner->SliderFont);
    Canvas.SetPen(Owner->SliderHandlePen);
    Canvas.SetBrush(Owner->SliderHandleBrush);
    if (Parked || std::isnan(LowValue) || std::isnan(HighValue)) {
        LowLabelSize = TSize{};
        HighLabelSize = TSize{};
        CalcBounds();
    } else {
        QString high;
        QString low;
        HighLabelSize = FloatLabelExtent(Canvas, HighValue, high);
        LowLabelSize = FloatLabelExtent(Canvas, LowValue, low);
        CalcBounds();
        const int p = LabelPadding;
        Canvas.Rectangle(HighLabelRect);
        Canvas.TextOut(HighLabelRect.Left + p, HighLabelRect.Top + p, high);
        Canvas.Rectangle(LowLabelRect);
        Canvas.TextOut(LowLabelRect.Left + p, LowLabelRect.Top + p, low);
    }
    Canvas.SetPen(Owner->SliderBarPen);
    Canvas.SetBrush(Owner->SliderBarBrush);
    Canvas.Brush().SetColor(Owner->AppProperties()->GetValueColor(ColorIndex));
    Canvas.Rectangle(BarRect);
}

void TGOParSlider::DrawSelectionMark(TCanvas& Canvas, bool /*Selected*/)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(WhiteBrush());
    Canvas.Rectangle(BarRect);
}

void TGOParSlider::SetSelected(bool Selected)
{
    if (Selected)
        Owner->NoteStrayPick(this);
}

void TGOParSlider::ShowDragFeedback(TCanvas& /*Canvas*/, TDragFeedback /*Style*/)
{
    // The halos of the polylines follow the bar: the whole plot repaints.
    Owner->Editor()->Invalidate();
}

void TGOParSlider::HideDragFeedback(TCanvas& /*Canvas*/, TDragFeedback /*Style*/)
{
}

void TGOParSlider::MoveBy(int /*DX*/, int DY)
{
    // In a resize the editor moves the bounds it knows before it resizes
    // them; the resize places both ends itself.
    if (FResizeKind != 0)
        return;
    const TSliderEnds moved = Layout().MovedEnds(TSliderEnds{LowY, HighY}, DY);
    LowY = moved.LowY;
    HighY = moved.HighY;
    Parked = IsParked();
    PositionToValues();
    CalcBounds();
}

void TGOParSlider::ResizeBy(int /*DW*/, int DH)
{
    const TParallelCoordinatesLayout& L = Layout();
    TSliderEnds ends{LowY, HighY};
    if (FResizeKind != 0) {
        // From the ends at the press by the mouse's whole way since: the
        // motion that made the press a drag counts, and bounds that a paint
        // or the end of an earlier drag changed behind the editor's back do
        // not move the end that is not dragged.
        const TGOParEdit* editor = Owner->ParEdit();
        DH = editor->MousePos.y - editor->PressPos.y;
        ends = TSliderEnds{SavedLowY, SavedHighY};
        // The upper handle moves the bar and takes the lower end back.
        if (FResizeKind == gokTop) {
            ends = L.MovedEnds(ends, DH);
            DH = -DH;
        }
    }
    ends = L.ResizedEnds(ends, DH);
    LowY = ends.LowY;
    HighY = ends.HighY;
    if (FResizeKind != 0)
        Parked = IsParked();
    PositionToValues();
    CalcBounds();
}

void TGOParSlider::BeginDrag(uint32_t Kind, TDragFeedback /*Style*/)
{
    const auto* editor = dynamic_cast<const TGOParEdit*>(Owner->Editor());
    FLeadDY = editor && Kind == gokMoveFrame ? editor->MousePos.y - editor->PressPos.y : 0;
    FResizeKind = editor && Kind != gokMoveFrame ? Kind : 0;
    SetDragging(true);
}

void TGOParSlider::EndDrag(uint32_t /*Kind*/, TDragFeedback /*Style*/)
{
    {
        FQuietStep = true;
        const auto written = qScopeGuard([this] {
            FQuietStep = false;
            FLeadDY = 0;
            FResizeKind = 0;
        });
        // A resize whose only motion came with the release has not been
        // placed yet; placing it again changes nothing.
        if (FResizeKind != 0)
            ResizeBy(0, 0);
        else if (FLeadDY != 0)
            MoveBy(0, FLeadDY);
    }
    SetDragging(false);
    if (Parked)
        Park();
    Owner->WriteTransaction([this] {
        if (Owner->LiveTracking) {
            // Live tracking has written these values already; a change in
            // between makes the batch carry a slider change all the same.
            Data->SetSliderLow(Index, LowValue - 1);
            Data->SetSliderHigh(Index, HighValue - 1);
            Data->SetSliderOff(Index, !Parked);
        }
        Data->SetSliderLow(Index, LowValue);
        Data->SetSliderHigh(Index, HighValue);
        Data->SetSliderOff(Index, Parked);
    });
    Owner->Editor()->Invalidate();
}

QString TGOParSlider::GetHint() const
{
    return QStringLiteral("Slider [Drag it onto the axis to mark a range]");
}

QString TGOParSlider::GetCaption() const
{
    return QStringLiteral("Slider");
}

// ---- editor ---------------------------------------------------------------------------------

TGOParEdit::TGOParEdit(QWidget* Owner)
    : TGOEdit(Owner)
{
}

void TGOParEdit::LeftMouseDown(TShiftState Shift, const TPoint& Pt)
{
    PressPos = Pt;
    TGOEdit::LeftMouseDown(Shift, Pt);
}

TGraphicObject* TGOParEdit::CreateSelectionHandles(const TSelectionEntry* SelList)
{
    if (SelList && SelList->Next)
        return nullptr;
    return TGOEdit::CreateSelectionHandles(SelList);
}

void TGOParEdit::Paint()
{
    TCanvas& canvas = Canvas();
    canvas.BeginBatch();
    const auto drawn = qScopeGuard([&canvas] { canvas.EndBatch(); });
    TGOEdit::Paint();
}

void TGOParEdit::DrawRubberBand(const TRect& R)
{
    TDashPattern pattern{2, 4, 0, 2, 2};
    TCanvas& canvas = Canvas();
    canvas.SetPen(XorPen());
    canvas.SetBrush(ClearBrush());
    DrawPatternLine(canvas, R.Left, R.Top, R.Right, R.Bottom, pattern);
}

TSelectionList TGOParEdit::SelectInRect(TGraphicObject* AObjects, const TRect& R, bool Additive,
                                        TSelectionList SelList)
{
    // A line stroked back to where it began crosses nothing.
    if (R.TopLeft() == R.BottomRight())
        return SelList;
    return TGOEdit::SelectInRect(AObjects, R, Additive, std::move(SelList));
}

bool TGOParEdit::BandTakes(TGraphicObject* Obj, const TRect& R)
{
    // The polylines the stroke crosses; axes and sliders never.
    const auto* line = dynamic_cast<const TGOParDataPoint*>(Obj);
    return line && line->CrossesSegment(R.TopLeft(), R.BottomRight());
}

// ---- plot -----------------------------------------------------------------------------------

TPlotClientInfo TParallelCoordinates::PlotInfo()
{
    TPlotClientInfo info;
    info.Number = 1;
    info.Key = QStringLiteral("ParallelCoordinates");
    info.Caption = QStringLiteral("Parallel Coordinates");
    info.PrinterTitle = QStringLiteral("Parallel Coordinates Plot");
    info.UpdateFailureText = QStringLiteral("Exception in DoUpdate-Handler. ClassName: ");
    info.ToolBar = &TQuorClientManager::ActionToolBarPCoord;
    return info;
}

TParallelCoordinates::TParallelCoordinates(QWidget* AOwner)
    : TQuorPlotClient(AOwner, PlotInfo())
{
    InstallEditor(new TGOParEdit);
    CreateDrawingTools();
    Editor()->SetBrush(WhiteBrush());
    ApplyMinSize();
}

TParallelCoordinates::~TParallelCoordinates() = default;

TGOParEdit* TParallelCoordinates::ParEdit() const
{
    return static_cast<TGOParEdit*>(Editor());
}

void TParallelCoordinates::CreateDrawingTools()
{
    LinePen = TPen(0x000000);
    SliderBarPen = TPen(0x808080, TPenMode::pmMask);
    SliderHandlePen = TPen(0x808080);
    ValueFont = TFont(QStringLiteral("Sans Serif"), 12, 0x000000);
    NameFont = TFont(QStringLiteral("Sans Serif"), 15, 0x000000);
    SliderFont = TFont(QStringLiteral("Sans Serif"), 12, 0x113380);
    AxisBrush = TBrush(0xFFFFFF);
    SliderBarBrush = TBrush(0x3399FF);
    SliderHandleBrush = TBrush(0x80CCFF);
}

TPen& TParallelCoordinates::AxisPen() const
{
    return BlackPen();
}

TSize TParallelCoordinates::GetMinEditorSize() const
{
    return Layout.MinEditorSize();
}

void TParallelCoordinates::SetOptions(const TQuorAppProperties& Properties)
{
    // The editor always draws through its backing image, so the double
    // buffering switch has nothing left to choose.
    LiveTracking = Properties.LiveTracking;
}

void TParallelCoordinates::Attach()
{
    if (ClientManager()->AppProperties)
        SetOptions(*ClientManager()->AppProperties);
    TQuorPlotClient::Attach();
}

void TParallelCoordinates::Changed(TDataChange Change)
{
    switch (Change) {
    case TDataChange::PointModifications:
    case TDataChange::PointExchange:
        NeedsSelection = NeedsLayout = NeedsRepaint = true;
        break;
    case TDataChange::PointColorChange:
        NeedsRepaint = true;
        break;
    case TDataChange::PointSelectionChange:
    case TDataChange::PointVisibilityChange:
    case TDataChange::DimSelectionChange:
        NeedsSelection = NeedsRepaint = true;
        break;
    case TDataChange::DimExchange:
    case TDataChange::DimMove:
        NeedsRebuild = NeedsLayout = NeedsRepaint = true;
        break;
    case TDataChange::DimSliderChange:
        NeedsSliders = NeedsRepaint = true;
        break;
    case TDataChange::DimBoundChange:
        NeedsLayout = NeedsRange = NeedsRepaint = true;
        break;
    case TDataChange::DimVisibilityChange:
    case TDataChange::DimModifications:
    case TDataChange::ValueChange:
    case TDataChange::DataSrcChange:
        NeedsRebuild = NeedsLayout = NeedsRange = NeedsRepaint = true;
        break;
    }
}

void TParallelCoordinates::BeforeUpdateSteps()
{
    if (NeedsRange) {
        NeedsRange = false;
        Layout.CalcGlobalRange(*Data());
    }
}

void TParallelCoordinates::PlaceSliders()
{
    for (TGOParSlider* slider : FSliders)
        slider->UpdateGeometry();
}

void TParallelCoordinates::CalcAxisPositions()
{
    Layout.CalcAxisPositions(*Data(), Editor()->ClientWidth(), Editor()->ClientHeight());
}

void TParallelCoordinates::AllocateAxes()
{
    // Every entry holds a slider until BuildObjects puts the real ones in.
    FPlaceholderSlider = std::make_unique<TGOParSlider>(this, 0, Data());
    FPlaceholderSlider->ColorIndex = 0;
    FSliders.assign(size_t(Data()->VisibleDimCount()), FPlaceholderSlider.get());
}

void TParallelCoordinates::CalcFrameGeometry()
{
    // The placeholder slider needs the axes' places.
    CalcAxisPositions();
    AllocateAxes();
}

void TParallelCoordinates::CalcLayout()
{
    CalcAxisPositions();
}

void TParallelCoordinates::BuildObjects()
{
    TGOEdit* editor = Editor();
    TData* data = Data();
    const int colors = AppProperties()->ValueColorCount();
    for (int i = 0; i < data->VisibleDimCount(); ++i) {
        auto slider = std::make_unique<TGOParSlider>(this, i, data);
        slider->ColorIndex = data->GetDimPerm(data->GetVisibleDim(i)) % colors;
        FSliders[size_t(i)] = slider.get();
        editor->AddObject(std::move(slider), false);
        auto axis = std::make_unique<TGOParAxis>(this, i, data);
        IndexDimObject(axis->Index, axis.get());
        editor->AddObject(std::move(axis), false);
    }
    // Added last, so first in the list: painted under the axes and sliders.
    for (int p = 0; p < data->PointCount(); ++p) {
        auto line = std::make_unique<TGOParDataPoint>(this, p, data);
        IndexPointObject(p, line.get());
        editor->AddObject(std::move(line), false);
    }
}

uint64_t TParallelCoordinates::ObjectBytes() const
{
    const uint64_t n = uint64_t(Data()->VisibleDimCount());
    const uint64_t items = uint64_t(Data()->PointCount());
    // A polyline per data item with a vertex, a pixel and at most one run
    // per axis and its colour layers; per axis the axis and its slider; for
    // every object an index entry and a selection entry. The first layout
    // and paint after opening hold about half as much again for a moment
    // (measured at 100,000 x 8).
    const uint64_t line = HeapBytes(1, sizeof(TGOParDataPoint)) + HeapBytes(1, n * sizeof(TVertexF))
        + HeapBytes(1, n * sizeof(TPoint)) + HeapBytes(1, n * sizeof(std::pair<size_t, size_t>))
        + HeapBytes(1, (n + 2) * sizeof(TColor));
    const uint64_t objects = items + 2 * n;
    return items * line * 3 / 2 + HeapBytes(n, sizeof(TGOParAxis)) + HeapBytes(n, sizeof(TGOParSlider))
        + objects * sizeof(void*) + HeapBytes(objects, sizeof(TSelectionEntry)) + ImageBytes();
}

void TParallelCoordinates::UpdateObjectGeometry(TGraphicObject* Object)
{
    if (auto* object = dynamic_cast<TGOPar*>(Object))
        object->UpdateGeometry();
}

void TParallelCoordinates::SyncSelection()
{
    TGOEdit* editor = Editor();
    TData* data = Data();
    // The objects' SetSelected writes nothing here: the plot is updating.
    editor->Deselect();
    for (TGraphicObject* object = editor->GetObjects(); object; object = object->Next) {
        bool selected = false;
        if (auto* line = dynamic_cast<TGOParDataPoint*>(object))
            selected = data->IsPointSelected(line->Index);
        else if (auto* axis = dynamic_cast<TGOParAxis*>(object))
            selected = data->IsDimSelected(axis->Index);
        // The selection started empty and every object comes once: joining
        // it needs no search through it.
        if (selected)
            editor->Selection = NewSelectionEntry(object, std::move(editor->Selection));
    }
    editor->SelectionChanged(false, false);
}

void TParallelCoordinates::SetFullScale(bool Value)
{
    Layout.FullScale = Value;
    NeedsLayout = NeedsRange = true;
    Editor()->Invalidate();
    TQuorClientManager* manager = ClientManager();
    if (manager && manager->HasClient(kClusteringFrame))
        if (auto* panel = dynamic_cast<IQuorScaleSync*>(manager->GetClient(kClusteringFrame)))
            panel->SyncScalesFromPC();
}

void TParallelCoordinates::Rebuild()
{
    NeedsRange = true;
    TQuorPlotClient::Rebuild();
}

int TParallelCoordinates::SelectedSliderDim()
{
    const TSelectionEntry* selection = Editor()->GetSelection();
    const auto* slider = selection ? dynamic_cast<const TGOParSlider*>(selection->Object) : nullptr;
    return slider ? slider->Index : -1;
}

void TParallelCoordinates::InvertBackground()
{
    const bool toDark = NameFont.Color() == 0x000000;
    const TColor ink = toDark ? 0xFFFFFF : 0x000000;
    LinePen.SetColor(ink);
    NameFont.SetColor(ink);
    SliderFont.SetColor(ink);
    AxisBrush.SetColor(ink);
    ValueFont.SetColor(ink);
    SliderHandlePen.SetColor(ink);
    SliderBarPen.SetColor(ink);
    // The bars let what lies beneath show through: darkened (mask) on the
    // light background, lightened (merge) on the dark one, where a mask
    // would leave nothing of them.
    SliderBarPen.SetMode(toDark ? TPenMode::pmMerge : TPenMode::pmMask);
    AxisPen().SetColor(ink);
    SliderHandleBrush.SetColor(toDark ? 0xFF0000 : 0x80CCFF);
    Editor()->SetBrush(toDark ? BlackBrush() : WhiteBrush());
    NeedsSelection = true;
    TQuorPlotClient::Rebuild();
}
