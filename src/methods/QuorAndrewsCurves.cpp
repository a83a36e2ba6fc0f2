#include "methods/QuorAndrewsCurves.h"

#include "ObjectEditor/StockObjects.h"
#include "methods/ItemColorLayers.h"
#include "platform/DialogService.h"
#include "platform/Metafile.h"

#include <QScopeGuard>

// ---- control -------------------------------------------------------------------------

TAndrewsCurvesControl::TAndrewsCurvesControl(TAndrewsCurves* APlot)
    : Plot(APlot)
{
}

void TAndrewsCurvesControl::Paint()
{
    if (Plot)
        Plot->PaintTo(Canvas(), Plot->ScreenParts);
}

void TAndrewsCurvesControl::PaintCopy(TCanvas& ACanvas, TGOEParts Parts)
{
    if (!Plot)
        return;
    // As the control erases itself before it paints on screen.
    const TBrush saved = ACanvas.Brush();
    ACanvas.SetBrush(Brush());
    ACanvas.FillRect(ClientRect());
    ACanvas.SetBrush(saved);
    Plot->PaintAt(ACanvas, Parts, Plot->PrintDensity);
}

// ---- plot ----------------------------------------------------------------------------

TPlotClientInfo TAndrewsCurves::PlotInfo()
{
    return {.Number = 4,
            .Key = QStringLiteral("AndrewsCurves"),
            .Caption = QStringLiteral("Andrews' Curves"),
            .PrinterTitle = QStringLiteral("Andrews Curves"),
            .UpdateFailureText = QStringLiteral("Bummer in TAndrewsCurves.UpdateObj"),
            .ToolBar = &TQuorClientManager::ActionToolBarACurves};
}

TAndrewsCurves::TAndrewsCurves(QWidget* AOwner)
    : TQuorPlotClient(AOwner, PlotInfo())
{
    FCurves = new TAndrewsCurvesControl(this);
    InstallControl(FCurves);
    SetDefaults();
    CreateDrawingTools();
    FCurves->setMinimumSize(CurveMargins.Left + CurveMargins.Right + 1,
                            CurveMargins.Top + CurveMargins.Bottom + 1);
}

TAndrewsCurves::~TAndrewsCurves()
{
    // The window may outlive the plot by a turn of the event loop.
    if (FCurves)
        FCurves->Plot = nullptr;
}

void TAndrewsCurves::SetDefaults()
{
    SelectionColor = 0x0080FFFF;
    RingWidth = 2;
    CurveMargins = Rect(10, 7, 10, 7);
    TickHalf = 1;
    FOmitHiddenDims = true;
    FineDensity = 2.0f / 3.0f;
    CoarseDensity = 1.0f / 6.0f;
    PrintDensity = 2.0f / 3.0f;
    SampleDensity = FineDensity;
    LiveTracking = false;
    ScreenParts = AllGOEParts;
    CopyParts = TGOEParts::fromInt(7);
    PrintParts = TGOEParts::fromInt(7);
}

void TAndrewsCurves::CreateDrawingTools()
{
    FAxisPen = &BlackPen();
    CurvePen = TPen(0x000000, TPenMode::pmCopy, TPenStyle::psSolid, 1);
    Font12 = TFont(QStringLiteral("Sans Serif"), 12, 0x000000);
    Font15 = TFont(QStringLiteral("Sans Serif"), 15, 0x000000);
    BackgroundBrush = TBrush(0xFFFFFF);
}

void TAndrewsCurves::Attach()
{
    FCurves->SetBrush(BackgroundBrush);
    TQuorPlotClient::Attach();
}

// ---- repainting ----------------------------------------------------------------------

void TAndrewsCurves::UpdateObj()
{
    try {
        FCurves->Invalidate();
    } catch (const std::exception&) {
        ShowMessage(Info().UpdateFailureText);
    }
}

void TAndrewsCurves::BeginEvents()
{
    LiveTracking = false;
}

void TAndrewsCurves::CustomEvent(TQuorDataCustomEvent* Event)
{
    if (dynamic_cast<TQDCELiveTracking*>(Event))
        LiveTracking = true;
}

void TAndrewsCurves::UpdateControl()
{
    if (!LiveTracking) {
        UpdateObj();
        return;
    }
    // The slider moves on with the next mouse movement: a quick picture now
    // rather than a fine one later.
    SampleDensity = CoarseDensity;
    const auto fine = qScopeGuard([this] { SampleDensity = FineDensity; });
    UpdateObj();
    FCurves->Update();
}

void TAndrewsCurves::SetOmitHiddenDims(bool Value)
{
    if (Value == FOmitHiddenDims)
        return;
    UpdateObj();
    FOmitHiddenDims = Value;
}

void TAndrewsCurves::InvertBackground()
{
    const bool toBlackDrawing = Font15.Color() != 0x000000;
    const TColor ink = toBlackDrawing ? 0x000000 : 0xFFFFFF;
    // The stock pen is everyone's: other plots' drawing follows it.
    FAxisPen->SetColor(ink);
    CurvePen.SetColor(ink);
    Font12.SetColor(ink);
    Font15.SetColor(ink);
    BackgroundBrush.SetColor(toBlackDrawing ? 0xFFFFFF : 0x000000);
    FCurves->SetBrush(BackgroundBrush);
    UpdateObj();
}

TMetafile TAndrewsCurves::MakeMetafile(TGOEParts Parts) const
{
    TAndrewsCurvesControl* control = FCurves;
    return TMetafile(control->size(), [control, Parts](TCanvas& Canvas) { control->PaintCopy(Canvas, Parts); });
}

// ---- drawing -------------------------------------------------------------------------

TAndrewsCurvesGeometry TAndrewsCurves::ComputeGeometry(float Density) const
{
    const TData* data = Data();
    return ComputeAndrewsCurvesGeometry(FCurves->ClientWidth(), FCurves->ClientHeight(), CurveMargins, Density,
                                        data ? data->MaxOfVisibleDims() : 0, data ? data->VisibleDimCount() : 0);
}

void TAndrewsCurves::PaintTo(TCanvas& Canvas, TGOEParts Parts)
{
    PaintAt(Canvas, Parts, SampleDensity);
}

void TAndrewsCurves::PaintAt(TCanvas& Canvas, TGOEParts Parts, float Density)
{
    TData* data = Data();
    if (!data || data->VisibleDimCount() == 0)
        return;
    FGeometry = ComputeGeometry(Density);
    if (!FGeometry.HasPlot())
        return;
    if (Parts.testFlag(goepBackground)) {
        Canvas.SetPen(*FAxisPen);
        Canvas.SetBrush(BackgroundBrush);
        Canvas.SetFont(Font12);
        DrawValueAxis(Canvas);
        DrawTAxis(Canvas);
    }
    if (!FGeometry.HasCurves())
        return;
    FSampling.Prepare(FGeometry, FOmitHiddenDims ? data->VisibleDimCount() : data->DimCount());
    FLayers.reserve(size_t(data->VisibleDimCount() + 2));
    const int items = data->PointCount();
    if (Parts.testFlag(goepObjects))
        for (int i = 0; i < items; ++i)
            if (!data->IsPointSelected(i))
                DrawCurve(Canvas, i, Parts);
    // Selected curves lie on top.
    if ((Parts & (goepObjects | goepSelection)) && data->SelectedPointCount() > 0)
        for (int i = 0; i < items; ++i)
            if (data->IsPointSelected(i))
                DrawCurve(Canvas, i, Parts);
}

void TAndrewsCurves::DrawValueAxis(TCanvas& Canvas)
{
    const TRect& r = FGeometry.PlotRect;
    const int x = FGeometry.Centre.x;
    Canvas.MoveTo(x, r.Top);
    Canvas.LineTo(x, r.Bottom);
    Canvas.MoveTo(x - TickHalf, r.Top);
    Canvas.LineTo(x + TickHalf, r.Top);
    Canvas.MoveTo(x - TickHalf, r.Bottom);
    Canvas.LineTo(x + TickHalf, r.Bottom);
}

void TAndrewsCurves::DrawTAxis(TCanvas& Canvas)
{
    const TRect& r = FGeometry.PlotRect;
    const int y = FGeometry.Centre.y;
    Canvas.MoveTo(r.Left, y);
    Canvas.LineTo(r.Right, y);
    Canvas.MoveTo(r.Left, y - TickHalf);
    Canvas.LineTo(r.Left, y + TickHalf);
    Canvas.MoveTo(r.Right, y - TickHalf);
    Canvas.LineTo(r.Right, y + TickHalf);
    Canvas.SetBrush(ClearBrush());
    Canvas.TextOut(r.Left, y, QStringLiteral("-pi"));
    const QString pi = QStringLiteral("pi");
    Canvas.TextOut(r.Right - Canvas.TextWidth(pi), y, pi);
}

void TAndrewsCurves::DrawCurve(TCanvas& Canvas, int Item, TGOEParts Parts)
{
    const TData& data = *Data();
    if (data.IsPointHidden(Item))
        return;
    AndrewsCoefficients(data, Item, FOmitHiddenDims, FCoefficients);
    FSampling.Points(FCoefficients, FPoints);
    ItemColorLayers(data, *AppProperties(), Item, Parts.testFlag(goepSelection), SelectionColor, FLayers);
    // Outermost first, so that each inner layer lies on the wider one before.
    for (int layer = int(FLayers.size()) - 1; layer >= 0; --layer) {
        CurvePen.SetColor(FLayers[size_t(layer)]);
        CurvePen.SetWidth(RingWidth * layer + 1);
        Canvas.SetPen(CurvePen);
        Canvas.Polyline(FPoints);
    }
}
