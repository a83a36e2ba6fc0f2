#pragma once

#include <QByteArray>
#include <QImage>
#include <QPicture>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class QClipboard;
class QPrinter;
class TCanvas;

// A plot's picture for the clipboard and the printer: the drawing commands a
// plot paints through a canvas, recorded at the plot's size. Played into a
// raster image it reproduces exclusive-or and mask drawing exactly.
class TMetafile {
public:
    // Records what Paint draws onto a canvas of Size, origin at the top left.
    TMetafile(const QSize& Size, const std::function<void(TCanvas&)>& Paint);

    const QPicture& Picture() const { return FPicture; }
    QSize Size() const { return FSize; }

    // The picture played onto white at its own size (RGB32).
    QImage ToImage() const;
    // The picture played into the given size, scaled; Band rows at a time
    // are handed to Sink with their top row, so that a page-sized image
    // never has to exist at once.
    void PlayScaled(const QSize& Target, int Band,
                    const std::function<void(int Top, const QImage& Rows)>& Sink) const;
    // Scalable vector graphics of the picture. Exclusive-or and mask have no
    // counterpart there and come out as plain fills of their colours.
    QByteArray ToSvg() const;

private:
    QSize FSize;
    QPicture FPicture;
};

// Puts the picture on the clipboard as image/svg+xml and image/png.
void CopyMetafileToClipboard(QClipboard& Clipboard, const TMetafile& Metafile);

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
