#include "platform/Metafile.h"

#include "platform/Canvas.h"

#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QPaintEngine>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QSvgGenerator>

#include <algorithm>
#include <memory>

namespace {

// Raster operations cannot be expressed in vector targets; the painter would
// drop them with a warning and keep whatever mode came before. They are
// turned into their nearest plain fill instead: the source colour painted
// over the destination.
QPainter::CompositionMode PlainMode(QPainter::CompositionMode mode)
{
    return mode >= QPainter::RasterOp_SourceOrDestination ? QPainter::CompositionMode_SourceOver
                                                          : mode;
}

// Forwards every drawing command to a painter on the target device, with
// raster operations replaced by plain fills.
class TPlainFillEngine : public QPaintEngine {
public:
    explicit TPlainFillEngine(QPaintDevice* target) : QPaintEngine(AllFeatures), FTarget(target) {}

    bool begin(QPaintDevice*) override { return FPainter.begin(FTarget); }
    bool end() override { return FPainter.end(); }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& NewState) override
    {
        const DirtyFlags flags = NewState.state();
        if (flags & DirtyPen)
            FPainter.setPen(NewState.pen());
        if (flags & DirtyBrush)
            FPainter.setBrush(NewState.brush());
        if (flags & DirtyBrushOrigin)
            FPainter.setBrushOrigin(NewState.brushOrigin());
        if (flags & DirtyFont)
            FPainter.setFont(NewState.font());
        if (flags & DirtyBackground)
            FPainter.setBackground(NewState.backgroundBrush());
        if (flags & DirtyBackgroundMode)
            FPainter.setBackgroundMode(NewState.backgroundMode());
        if (flags & DirtyTransform)
            FPainter.setTransform(NewState.transform());
        if (flags & DirtyClipRegion)
            FPainter.setClipRegion(NewState.clipRegion(), NewState.clipOperation());
        if (flags & DirtyClipPath)
            FPainter.setClipPath(NewState.clipPath(), NewState.clipOperation());
        if (flags & DirtyClipEnabled)
            FPainter.setClipping(NewState.isClipEnabled());
        if (flags & DirtyHints)
            FPainter.setRenderHints(NewState.renderHints());
        if (flags & DirtyCompositionMode)
            FPainter.setCompositionMode(PlainMode(NewState.compositionMode()));
        if (flags & DirtyOpacity)
            FPainter.setOpacity(NewState.opacity());
    }

    void drawRects(const QRect* rects, int count) override { FPainter.drawRects(rects, count); }
    void drawRects(const QRectF* rects, int count) override { FPainter.drawRects(rects, count); }
    void drawLines(const QLine* lines, int count) override { FPainter.drawLines(lines, count); }
    void drawLines(const QLineF* lines, int count) override { FPainter.drawLines(lines, count); }
    void drawEllipse(const QRectF& r) override { FPainter.drawEllipse(r); }
    void drawEllipse(const QRect& r) override { FPainter.drawEllipse(r); }
    void drawPath(const QPainterPath& path) override { FPainter.drawPath(path); }
    void drawPoints(const QPointF* points, int count) override { FPainter.drawPoints(points, count); }
    void drawPoints(const QPoint* points, int count) override { FPainter.drawPoints(points, count); }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        if (mode == PolylineMode)
            FPainter.drawPolyline(points, count);
        else
            FPainter.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }

    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override
    {
        if (mode == PolylineMode)
            FPainter.drawPolyline(points, count);
        else
            FPainter.drawPolygon(points, count, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }

    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override
    {
        FPainter.drawPixmap(r, pm, sr);
    }

    void drawTiledPixmap(const QRectF& r, const QPixmap& pm, const QPointF& offset) override
    {
        FPainter.drawTiledPixmap(r, pm, offset);
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags flags) override
    {
        FPainter.drawImage(r, image, sr, flags);
    }

    void drawTextItem(const QPointF& p, const QTextItem& item) override { FPainter.drawTextItem(p, item); }

private:
    QPaintDevice* FTarget;
    QPainter FPainter;
};

// A paint device that looks like its target and draws through the engine
// above.
class TPlainFillDevice : public QPaintDevice {
public:
    explicit TPlainFillDevice(QPaintDevice* target) : FTarget(target), FEngine(target) {}

    QPaintEngine* paintEngine() const override { return &FEngine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return FTarget->width();
        case PdmHeight:
            return FTarget->height();
        case PdmWidthMM:
            return FTarget->widthMM();
        case PdmHeightMM:
            return FTarget->heightMM();
        case PdmNumColors:
            return FTarget->colorCount();
        case PdmDepth:
            return FTarget->depth();
        case PdmDpiX:
            return FTarget->logicalDpiX();
        case PdmDpiY:
            return FTarget->logicalDpiY();
        case PdmPhysicalDpiX:
            return FTarget->physicalDpiX();
        case PdmPhysicalDpiY:
            return FTarget->physicalDpiY();
        case PdmDevicePixelRatio:
            return int(FTarget->devicePixelRatio());
        case PdmDevicePixelRatioScaled:
            return int(FTarget->devicePixelRatioF() * QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QPaintDevice* FTarget;
    mutable TPlainFillEngine FEngine;
};

QRect PictureRect(const QSize& size)
{
    return QRect(QPoint(0, 0), size);
}

} // namespace

TMetafile::TMetafile(const QSize& Size, const std::function<void(TCanvas&)>& Paint)
    : FSize(Size.expandedTo(QSize(0, 0)))
{
    // The picture's frame is the plot's size, not the extent of what was
    // drawn, so that players place and scale it like the plot; set before
    // recording, it is also the device size the canvas clips to.
    FPicture.setBoundingRect(PictureRect(FSize));
    {
        TCanvas canvas(&FPicture);
        if (Paint)
            Paint(canvas);
    }
    FPicture.setBoundingRect(PictureRect(FSize));
}

QImage TMetafile::ToImage() const
{
    QImage image(FSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (FSize.isEmpty())
        return image;
    QPainter painter(&image);
    painter.drawPicture(0, 0, FPicture);
    return image;
}

void TMetafile::PlayScaled(const QSize& Target, int Band,
                           const std::function<void(int Top, const QImage& Rows)>& Sink) const
{
    if (Target.isEmpty() || FSize.isEmpty() || !Sink)
        return;
    Band = std::max(1, Band);
    const double sx = double(Target.width()) / FSize.width();
    const double sy = double(Target.height()) / FSize.height();
    for (int top = 0; top < Target.height(); top += Band) {
        const int rows = std::min(Band, Target.height() - top);
        QImage band(Target.width(), rows, QImage::Format_RGB32);
        band.fill(Qt::white);
        {
            // Whole-pixel offsets between bands keep every pixel's sequence
            // of operations, so the bands join into the exact full image.
            QPainter painter(&band);
            painter.translate(0, -top);
            painter.scale(sx, sy);
            painter.drawPicture(0, 0, FPicture);
        }
        Sink(top, band);
    }
}

QByteArray TMetafile::ToSvg() const
{
    QByteArray svg;
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(FSize);
    generator.setViewBox(PictureRect(FSize));
    generator.setResolution(96);
    TPlainFillDevice plain(&generator);
    QPainter painter;
    if (painter.begin(&plain)) {
        painter.drawPicture(0, 0, FPicture);
        painter.end();
    }
    return svg;
}

void CopyMetafileToClipboard(QClipboard& Clipboard, const TMetafile& Metafile)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/svg+xml"), Metafile.ToSvg());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    Metafile.ToImage().save(&buffer, "PNG");
    data->setData(QStringLiteral("image/png"), png);
    Clipboard.setMimeData(data.release());
}

QRect PrinterPageRect(const QPrinter& Printer)
{
    const QPageLayout layout = Printer.pageLayout();
    const int resolution = Printer.resolution();
    QRect page = layout.fullRectPixels(resolution).marginsRemoved(layout.marginsPixels(resolution));
    // Outside full-page mode the painter's origin already lies at the margins.
    if (!Printer.fullPage())
        page.moveTopLeft(QPoint(0, 0));
    return page;
}

QSize PrinterPageSize(const QPrinter& Printer)
{
    return PrinterPageRect(Printer).size();
}

bool PrintMetafile(QPrinter& Printer, const TMetafile& Metafile, const QString& Title,
                   const QSize& Fitted)
{
    Printer.setDocName(Title);
    QPainter painter;
    if (!painter.begin(&Printer))
        return false;
    painter.setRenderHint(QPainter::LosslessImageRendering);
    // Whole device pixels per raster pixel keep the bands joined exactly.
    const int factor = std::max(1, (Printer.resolution() + MaxPrintRasterDpi - 1) / MaxPrintRasterDpi);
    const QSize raster((Fitted.width() + factor / 2) / factor, (Fitted.height() + factor / 2) / factor);
    const QPoint origin = PrinterPageRect(Printer).topLeft();
    // A page even at the raster's resolution is tens of megabytes as one image.
    constexpr int kBand = 256;
    Metafile.PlayScaled(raster, kBand, [&](int top, const QImage& rows) {
        painter.drawImage(QRect(origin + QPoint(0, top * factor), rows.size() * factor), rows);
    });
    painter.end();
    return true;
}
