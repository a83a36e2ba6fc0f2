#pragma once

#include "platform/Canvas.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QClipboard;
class QPrinter;

// A plot's picture for the clipboard and the printer: what a plot paints
// through a canvas, recorded figure by figure at the plot's size. Played
// onto a raster it gives the screen's pixels, exclusive-or and mask
// included; it grows with the figures drawn, not with their pixels.
class TMetafile {
public:
    // Records what Paint draws onto a canvas of Size, origin at the top left.
    TMetafile(const QSize& Size, const std::function<void(TCanvas&)>& Paint);

    const TCanvasRecording& Recording() const { return FRecording; }
    QSize Size() const { return FSize; }

    // The picture played onto white at its own size (RGB32), as one image:
    // for pictures of a screen's size.
    QImage ToImage() const;
    // The picture at its own size, Band rows at a time (fewer where its rows
    // are very wide), handed to Sink with their top row: a plot far larger
    // than the screen never has to exist as one image.
    void PlayBands(int Band, const std::function<void(int Top, const QImage& Rows)>& Sink) const;
    // The picture played into the given size, each pixel taken from the
    // pixel of the picture under its centre, so that the screen's pixels are
    // enlarged as they are; bands as for PlayBands.
    void PlayScaled(const QSize& Target, int Band,
                    const std::function<void(int Top, const QImage& Rows)>& Sink) const;
    // The picture as PNG, exactly its pixels, encoded band by band.
    QByteArray ToPng() const;
    // Scalable vector graphics of the picture, one element a figure (a cell
    // of a filled-rectangle batch is a figure of its own). Exclusive-or and
    // mask have no counterpart there and come out as plain fills of their
    // colours, pattern brushes as their colour. Empty when it would pass
    // Limit bytes.
    std::optional<QByteArray> ToSvg(qsizetype Limit) const;

private:
    QSize FSize;
    TCanvasRecording FRecording;
};

// The most the vector form of a copy may take on the clipboard; larger
// drawings are copied as the image alone.
constexpr qsizetype MaxClipboardSvgBytes = qsizetype(256) * 1024 * 1024;

// Puts the picture on the clipboard as image/svg+xml and image/png; the SVG
// is left out where it would pass Limit. False when it was left out.
bool CopyMetafileToClipboard(QClipboard& Clipboard, const TMetafile& Metafile,
                             qsizetype Limit = MaxClipboardSvgBytes);

// The printer's page within its margins, in device pixels and in the
// coordinates a painter on the printer uses, whether or not the printer is in
// full-page mode (which a print dialog may switch on).
QRect PrinterPageRect(const QPrinter& Printer);
// The size of that page.
QSize PrinterPageSize(const QPrinter& Printer);

// The highest resolution at which a picture is rasterized for the printer:
// finer adds nothing a plot needs and makes the file grow with its square.
constexpr int MaxPrintRasterDpi = 300;

// Prints the picture as one document titled Title, scaled to Fitted device
// pixels from the top-left corner of the page within its margins; the caller
// fits it into the page. The picture is rasterized at the printer's
// resolution divided by the smallest whole factor that brings it to at most
// MaxPrintRasterDpi. The printer must already be set up (the caller shows the
// print dialog). False when the printer could not be started.
bool PrintMetafile(QPrinter& Printer, const TMetafile& Metafile, const QString& Title,
                   const QSize& Fitted);
