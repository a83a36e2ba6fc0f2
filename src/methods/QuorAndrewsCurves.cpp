#include "methods/QuorAndrewsCurves.h"

#include "ObjectEditor/StockObjects.h"
#include "methods/ItemColorLayers.h"
#include "platform/DialogService.h"
#include "platform/Metafile.h"
#include "platform/Parallel.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>

#include <algorithm>
#include <optional>
#include <utility>

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

bool TAndrewsCurvesControl::PrepareOffThreadPaint()
{
    // The plot is brought up to date at every delivery, not at its paint.
    return Plot && Plot->PaintsOffThread();
}

void TAndrewsCurvesControl::PaintCopy(TCanvas& ACanvas, TGOEParts Parts)
{
    if (!Plot)
        return;
    if (Parts.testFlag(goepBackground))
        EraseTo(ACanvas);
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

uint64_t TAndrewsCurves::ObjectBytes() const
{
    const TData* data = Data();
    if (!data)
        return 0;
    const uint64_t coefficients = uint64_t(FOmitHiddenDims ? data->VisibleDimCount() : data->DimCount());
    const uint64_t layers = uint64_t(data->VisibleDimCount()) + 2;
    const uint64_t items = uint64_t(data->PointCount());
    // The window may grow up to the widest screen without a delivery.
    int width = FCurves ? FCurves->width() : 0;
    for (const QScreen* screen : QGuiApplication::screens())
        width = std::max(width, screen->geometry().width());
    const uint64_t samples = uint64_t(float(width) / 2 * std::max(FineDensity, PrintDensity)) + 2;
    // Coefficients and layers are copied for the strips, their room
    // doubled as they grow; every strip holds up to a curve's points.
    const uint64_t threads = uint64_t(UsableThreads(8));
    return HeapBytes(1, samples * (coefficients + 1) * sizeof(float))
        + 2 * HeapBytes(1, items * coefficients * sizeof(float)) + 2 * HeapBytes(1, items * layers * sizeof(TColor))
        + HeapBytes(1, items * (sizeof(std::pair<size_t, size_t>) + sizeof(int)))
        + (threads + 1) * HeapBytes(1, samples * sizeof(TPoint)) + ImageBytes();
}

void TAndrewsCurves::PaintAt(TCanvas& Canvas, TGOEParts Parts, float Density)
{
    TData* data = Data();
    // A plot refused for its table draws nothing while it closes.
    if (!data || Refused() || data->VisibleDimCount() == 0)
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
    const int items = data->PointCount();
    std::vector<int> order;
    order.reserve(size_t(items));
    if (Parts.testFlag(goepObjects))
        for (int i = 0; i < items; ++i)
            if (!data->IsPointSelected(i))
                order.push_back(i);
    // Selected curves lie on top.
    if ((Parts & (goepObjects | goepSelection)) && data->SelectedPointCount() > 0)
        for (int i = 0; i < items; ++i)
            if (data->IsPointSelected(i))
                order.push_back(i);
    if (DrawCurvesInBands(Canvas, order, Parts))
        return;
    for (int i : order)
        DrawCurve(Canvas, i, Parts);
}

bool TAndrewsCurves::DrawCurvesInBands(TCanvas& Canvas, const std::vector<int>& Items, TGOEParts Parts)
{
    // Strips of at least a few columns, so that a curve's setup is not
    // repeated for nothing.
    const int threads = UsableThreads(8);
    constexpr int kStripColumns = 8;
    if (int(Items.size()) < BandedCurvesFrom || Canvas.PartCount(threads, kStripColumns, true) == 0)
        return false;
    // Everything read from the data object is read before the strips are
    // drawn, into flat arrays: curve k of a piece of the items has its
    // coefficients and layers at its offsets. The pieces are read side by
    // side where the data object allows reading from any thread.
    struct TPiece {
        std::vector<float> Coefficients;
        std::vector<TColor> Layers;
        std::vector<std::pair<size_t, size_t>> Starts;
    };
    constexpr size_t kItemsPerPiece = 4096;
    std::vector<TPiece> pieces((Items.size() + kItemsPerPiece - 1) / kItemsPerPiece);
    const auto readPiece = [&](int Piece) {
        TPiece& piece = pieces[size_t(Piece)];
        const size_t end = std::min(Items.size(), (size_t(Piece) + 1) * kItemsPerPiece);
        TCurveData curve;
        for (size_t k = size_t(Piece) * kItemsPerPiece; k < end; ++k) {
            if (!ReadCurve(Items[k], Parts, curve))
                continue;
            piece.Starts.emplace_back(piece.Coefficients.size(), piece.Layers.size());
            piece.Coefficients.insert(piece.Coefficients.end(), curve.Coefficients.begin(), curve.Coefficients.end());
            piece.Layers.insert(piece.Layers.end(), curve.Layers.begin(), curve.Layers.end());
        }
        piece.Starts.emplace_back(piece.Coefficients.size(), piece.Layers.size());
    };
    ParallelFor(int(pieces.size()), Data()->ReadyForReadersOnAnyThread() ? threads : 1, readPiece);
    // A curve's sample columns never decrease, so a strip of columns needs
    // only the samples whose pieces, widest pen included, reach into it:
    // each curve is sampled about once over all the strips, where bands of
    // rows would each sample it whole.
    size_t mostLayers = 1;
    for (const TPiece& piece : pieces)
        for (size_t k = 0; k + 1 < piece.Starts.size(); ++k)
            mostLayers = std::max(mostLayers, piece.Starts[k + 1].second - piece.Starts[k].second);
    const int reach = (RingWidth * int(mostLayers - 1) + 1) / 2 + 2;
    const std::span<const int> columns = FSampling.Columns();
    const auto drawStrip = [&](int, TCanvas& Strip, const QRect& Area) {
        // The last sample left of the strip's reach and the first right of it.
        const auto from = std::lower_bound(columns.begin(), columns.end(), Area.left() - reach);
        const auto to = std::upper_bound(columns.begin(), columns.end(), Area.right() + reach);
        const int first = int(std::max(from - columns.begin() - 1, std::ptrdiff_t(0)));
        const int last = int(std::min(to - columns.begin(), std::ptrdiff_t(columns.size()) - 1));
        if (last <= first)
            return;
        std::vector<TPoint> points(size_t(last - first + 1));
        for (const TPiece& piece : pieces) {
            const std::span<const float> coefficients(piece.Coefficients);
            const std::span<const TColor> layers(piece.Layers);
            for (size_t k = 0; k + 1 < piece.Starts.size(); ++k) {
                const auto [c0, l0] = piece.Starts[k];
                const auto [c1, l1] = piece.Starts[k + 1];
                FSampling.Points(coefficients.subspan(c0, c1 - c0), first, points);
                StrokeCurve(Strip, points, layers.subspan(l0, l1 - l0));
            }
        }
    };
    // A failure on another thread is passed on here, as a failure of the
    // drawing would be.
    return Canvas.DrawInParts(threads, kStripColumns, true, drawStrip);
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
    if (!ReadCurve(Item, Parts, FCurve))
        return;
    FSampling.Points(FCurve.Coefficients, FPoints);
    StrokeCurve(Canvas, FPoints, FCurve.Layers);
}

bool TAndrewsCurves::ReadCurve(int Item, TGOEParts Parts, TCurveData& Curve) const
{
    const TData& data = *Data();
    if (data.IsPointHidden(Item))
        return false;
    AndrewsCoefficients(data, Item, FOmitHiddenDims, Curve.Coefficients);
    ItemColorLayers(data, *AppProperties(), Item, Parts.testFlag(goepSelection), SelectionColor, Curve.Layers);
    return true;
}

void TAndrewsCurves::StrokeCurve(TCanvas& Canvas, std::span<const TPoint> Points,
                                 std::span<const TColor> Layers) const
{
    TPen pen = CurvePen;
    // Outermost first, so that each inner layer lies on the wider one before.
    for (int layer = int(Layers.size()) - 1; layer >= 0; --layer) {
        pen.SetColor(Layers[size_t(layer)]);
        pen.SetWidth(RingWidth * layer + 1);
        Canvas.SetPen(pen);
        Canvas.Polyline(Points);
    }
}
