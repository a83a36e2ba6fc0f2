#include "platform/Metafile.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QMimeData>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// A band of the picture is at most this many pixels (64 MB), however wide
// the plot: a matrix of many thousand columns is drawn a few rows at a time.
constexpr qsizetype kBandPixels = qsizetype(16) * 1024 * 1024;

int RowsPerBand(int Band, int Width)
{
    return int(std::clamp<qsizetype>(kBandPixels / std::max(1, Width), 1, std::max(1, Band)));
}

// The picture's rows Top to Top + Rows - 1 on white.
QImage PlayRows(const TCanvasRecording& Recording, int Width, int Top, int Rows)
{
    QImage rows(Width, Rows, QImage::Format_RGB32);
    rows.fill(Qt::white);
    TCanvas canvas(&rows, QPoint(0, Top));
    canvas.Play(Recording);
    return rows;
}

// ---- PNG --------------------------------------------------------------------------

// Writes an RGB PNG row by row, deflating as it goes, so that only the
// compressed bytes are ever held whole.
class TPngWriter {
public:
    TPngWriter(int Width, int Height) : FRow(size_t(Width) * 3 + 1)
    {
        FOut.append("\x89PNG\r\n\x1a\n", 8);
        QByteArray header(13, '\0');
        qToBigEndian<quint32>(quint32(Width), header.data());
        qToBigEndian<quint32>(quint32(Height), header.data() + 4);
        header[8] = 8; // bits per channel
        header[9] = 2; // RGB
        Chunk("IHDR", header);
        FStream.zalloc = Z_NULL;
        FStream.zfree = Z_NULL;
        FStream.opaque = Z_NULL;
        if (deflateInit(&FStream, Z_DEFAULT_COMPRESSION) != Z_OK)
            throw std::bad_alloc();
    }

    ~TPngWriter() { deflateEnd(&FStream); }
    TPngWriter(const TPngWriter&) = delete;
    TPngWriter& operator=(const TPngWriter&) = delete;

    void Rows(const QImage& Rows)
    {
        for (int y = 0; y < Rows.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(Rows.constScanLine(y));
            uchar* out = FRow.data();
            *out++ = 0; // no filter
            for (int x = 0; x < Rows.width(); ++x) {
                *out++ = uchar(qRed(line[x]));
                *out++ = uchar(qGreen(line[x]));
                *out++ = uchar(qBlue(line[x]));
            }
            Deflate(FRow.data(), FRow.size(), Z_NO_FLUSH);
        }
    }

    QByteArray Finish()
    {
        Deflate(nullptr, 0, Z_FINISH);
        Chunk("IEND", QByteArray());
        return std::move(FOut);
    }

private:
    void Deflate(uchar* Data, size_t Size, int Flush)
    {
        FStream.next_in = Data;
        FStream.avail_in = uInt(Size);
        int status = Z_OK;
        do {
            uchar buffer[1 << 16];
            FStream.next_out = buffer;
            FStream.avail_out = sizeof(buffer);
            status = deflate(&FStream, Flush);
            const size_t produced = sizeof(buffer) - FStream.avail_out;
            if (produced > 0)
                Chunk("IDAT", QByteArray::fromRawData(reinterpret_cast<const char*>(buffer), qsizetype(produced)));
        } while (FStream.avail_out == 0 || (Flush == Z_FINISH && status != Z_STREAM_END));
    }

    void Chunk(const char* Type, const QByteArray& Data)
    {
        char length[4];
        qToBigEndian<quint32>(quint32(Data.size()), length);
        FOut.append(length, 4);
        const qsizetype start = FOut.size();
        FOut.append(Type, 4);
        FOut.append(Data);
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(FOut.constData() + start), uInt(FOut.size() - start));
        char sum[4];
        qToBigEndian<quint32>(quint32(crc), sum);
        FOut.append(sum, 4);
    }

    QByteArray FOut;
    std::vector<uchar> FRow;
    z_stream FStream{};
};

// ---- SVG --------------------------------------------------------------------------

// The least an element takes in the SVG, for telling early that a drawing
// will not fit.
constexpr qsizetype kLeastElementBytes = 40;
constexpr qsizetype kLeastPointBytes = 8;

qsizetype LeastSvgBytes(const TCanvasRecording& Recording)
{
    using TKind = TCanvasRecording::TKind;
    qsizetype bytes = 0;
    for (const TCanvasRecording::TEntry& entry : Recording.Entries()) {
        if (entry.Kind == TKind::FillRects)
            bytes += qsizetype(entry.Count / 2) * kLeastElementBytes;
        else if (entry.Kind == TKind::Polyline || entry.Kind == TKind::Polygon)
            bytes += kLeastElementBytes + qsizetype(entry.Count) * kLeastPointBytes;
        else
            bytes += kLeastElementBytes;
    }
    return bytes;
}

QByteArray SvgColor(TColor Color)
{
    char text[8];
    std::snprintf(text, sizeof(text), "#%02x%02x%02x", unsigned(Color & 0xFF), unsigned((Color >> 8) & 0xFF),
                  unsigned((Color >> 16) & 0xFF));
    return QByteArray(text, 7);
}

QByteArray Escaped(const QString& Text)
{
    return Text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&apos;")).toUtf8();
}

class TSvgWriter {
public:
    TSvgWriter(const QSize& Size, qsizetype Limit, qsizetype Expected) : FLimit(Limit)
    {
        FOut.reserve(std::min(Expected, Limit) + 4096);
        const QByteArray w = QByteArray::number(Size.width());
        const QByteArray h = QByteArray::number(Size.height());
        FOut += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                "version=\"1.1\" width=\"" + w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h
              + "\" shape-rendering=\"crispEdges\">\n";
    }

    bool Write(const TCanvasRecording& Recording)
    {
        using TKind = TCanvasRecording::TKind;
        for (const TCanvasRecording::TEntry& entry : Recording.Entries()) {
            const TCanvasRecording::TTools& tools = Recording.Tools(entry);
            Clip(tools.Clip);
            const std::span<const TPoint> p = Recording.Points(entry);
            switch (entry.Kind) {
            case TKind::Line:
                FOut += "<polyline fill=\"none\"" + Stroke(tools.Pen) + " points=\"";
                Points(p, true);
                FOut += "\"/>\n";
                break;
            case TKind::Polyline:
                FOut += "<polyline fill=\"none\"" + Stroke(tools.Pen) + " points=\"";
                Points(p, true);
                FOut += "\"/>\n";
                break;
            case TKind::Polygon:
                FOut += "<polygon fill-rule=\"evenodd\"" + Fill(tools.Brush) + Stroke(tools.Pen) + " points=\"";
                Points(p, true);
                FOut += "\"/>\n";
                break;
            case TKind::Rectangle:
                if (tools.Pen.Style() == TPenStyle::psClear)
                    Rect(p[0].x, p[0].y, p[1].x - p[0].x - 1, p[1].y - p[0].y - 1, Fill(tools.Brush), false);
                else
                    Rect(p[0].x, p[0].y, p[1].x - p[0].x - 1, p[1].y - p[0].y - 1,
                         Fill(tools.Brush) + Stroke(tools.Pen), true);
                break;
            case TKind::FillRect:
            case TKind::FillRects:
                for (size_t i = 0; i + 1 < p.size(); i += 2) {
                    Rect(p[i].x, p[i].y, p[i + 1].x - p[i].x, p[i + 1].y - p[i].y, Fill(tools.Brush), false);
                    if (Full())
                        return false;
                }
                break;
            case TKind::Text:
                Text(p[0], Recording.Text(entry), entry.Turned, tools);
                break;
            case TKind::Image:
                Image(p[0], Recording.Image(entry));
                break;
            }
            if (Full())
                return false;
        }
        if (FClipOpen)
            FOut += "</g>\n";
        FOut += "</svg>\n";
        return !Full();
    }

    QByteArray Take() { return std::move(FOut); }

private:
    bool Full() const { return FOut.size() > FLimit; }

    static QByteArray Half(int V) { return QByteArray::number(V + 0.5, 'f', 1); }

    static QByteArray Stroke(const TPen& Pen)
    {
        if (Pen.Style() == TPenStyle::psClear)
            return " stroke=\"none\"";
        QByteArray stroke = " stroke=\"" + SvgColor(Pen.Color()) + "\"";
        if (Pen.Width() > 1)
            stroke += " stroke-width=\"" + QByteArray::number(Pen.Width())
                    + "\" stroke-linecap=\"round\" stroke-linejoin=\"round\"";
        return stroke;
    }

    static QByteArray Fill(const TBrush& Brush)
    {
        if (Brush.Style() == TBrushStyle::bsClear)
            return " fill=\"none\"";
        return " fill=\"" + SvgColor(Brush.Color()) + "\"";
    }

    void Points(std::span<const TPoint> P, bool Centres)
    {
        for (size_t i = 0; i < P.size(); ++i) {
            if (i > 0)
                FOut += ' ';
            FOut += Centres ? Half(P[i].x) : QByteArray::number(P[i].x);
            FOut += ',';
            FOut += Centres ? Half(P[i].y) : QByteArray::number(P[i].y);
        }
    }

    // Outlined rectangles run through their edge pixels' centres.
    void Rect(int X, int Y, int W, int H, const QByteArray& Paint, bool Outlined)
    {
        if (!Outlined) {
            ++W;
            ++H;
        }
        if (W <= 0 || H <= 0)
            return;
        FOut += "<rect x=\"" + (Outlined ? Half(X) : QByteArray::number(X)) + "\" y=\""
              + (Outlined ? Half(Y) : QByteArray::number(Y)) + "\" width=\"" + QByteArray::number(W)
              + "\" height=\"" + QByteArray::number(H) + "\"" + Paint + "/>\n";
    }

    void Text(const TPoint& At, const QString& Text, bool Turned, const TCanvasRecording::TTools& Tools)
    {
        const TFont& font = Tools.Font;
        const QFont& qfont = font.QtFont();
        const QFontMetrics fm(qfont);
        const double angle = Turned ? -font.Escapement() / 10.0 : 0.0;
        QByteArray turn;
        if (angle != 0)
            turn = " transform=\"rotate(" + QByteArray::number(angle) + " " + QByteArray::number(At.x) + " "
                 + QByteArray::number(At.y) + ")\"";
        if (Tools.Brush.Style() != TBrushStyle::bsClear)
            FOut += "<rect x=\"" + QByteArray::number(At.x) + "\" y=\"" + QByteArray::number(At.y) + "\" width=\""
                  + QByteArray::number(fm.horizontalAdvance(Text)) + "\" height=\""
                  + QByteArray::number(std::max(1, font.Height())) + "\"" + Fill(Tools.Brush) + turn + "/>\n";
        const int pixels = qfont.pixelSize() > 0 ? qfont.pixelSize() : int(qfont.pointSizeF() * 96 / 72 + 0.5);
        FOut += "<text x=\"" + QByteArray::number(At.x) + "\" y=\"" + QByteArray::number(At.y + fm.ascent())
              + "\" font-family=\"" + Escaped(qfont.family()) + "\" font-size=\"" + QByteArray::number(pixels)
              + "px\"" + (font.Bold() ? " font-weight=\"bold\"" : "") + " fill=\"" + SvgColor(font.Color()) + "\""
              + turn + " xml:space=\"preserve\">" + Escaped(Text) + "</text>\n";
    }

    void Image(const TPoint& At, const QImage& Picture)
    {
        TPngWriter png(Picture.width(), Picture.height());
        png.Rows(Picture.convertToFormat(QImage::Format_RGB32));
        FOut += "<image x=\"" + QByteArray::number(At.x) + "\" y=\"" + QByteArray::number(At.y) + "\" width=\""
              + QByteArray::number(Picture.width()) + "\" height=\"" + QByteArray::number(Picture.height())
              + "\" xlink:href=\"data:image/png;base64," + png.Finish().toBase64() + "\"/>\n";
    }

    // Figures under a clip go into a group clipped to the clip's rectangles.
    void Clip(const std::optional<QRegion>& Region)
    {
        if (Region == FClip && FClipStarted)
            return;
        FClipStarted = true;
        FClip = Region;
        if (FClipOpen)
            FOut += "</g>\n";
        FClipOpen = Region.has_value();
        if (!FClipOpen)
            return;
        const QByteArray id = "clip" + QByteArray::number(++FClips);
        FOut += "<clipPath id=\"" + id + "\">";
        for (const QRect& r : *Region)
            FOut += "<rect x=\"" + QByteArray::number(r.x()) + "\" y=\"" + QByteArray::number(r.y()) + "\" width=\""
                  + QByteArray::number(r.width()) + "\" height=\"" + QByteArray::number(r.height()) + "\"/>";
        FOut += "</clipPath>\n<g clip-path=\"url(#" + id + ")\">\n";
    }

    QByteArray FOut;
    qsizetype FLimit;
    std::optional<QRegion> FClip;
    bool FClipStarted = false;
    bool FClipOpen = false;
    int FClips = 0;
};

} // namespace

TMetafile::TMetafile(const QSize& Size, const std::function<void(TCanvas&)>& Paint)
    : FSize(Size.expandedTo(QSize(0, 0)))
{
    TCanvas canvas(FRecording, FSize);
    if (Paint)
        Paint(canvas);
}

QImage TMetafile::ToImage() const
{
    return PlayRows(FRecording, FSize.width(), 0, FSize.height());
}

void TMetafile::PlayBands(int Band, const std::function<void(int Top, const QImage& Rows)>& Sink) const
{
    if (FSize.isEmpty() || !Sink)
        return;
    const int rows = RowsPerBand(Band, FSize.width());
    for (int top = 0; top < FSize.height(); top += rows)
        Sink(top, PlayRows(FRecording, FSize.width(), top, std::min(rows, FSize.height() - top)));
}

void TMetafile::PlayScaled(const QSize& Target, int Band,
                           const std::function<void(int Top, const QImage& Rows)>& Sink) const
{
    if (Target.isEmpty() || FSize.isEmpty() || !Sink)
        return;
    // The picture's pixel under a target pixel's centre, as a painter
    // scaling the picture's pixels would fill it.
    const auto source = [](int At, int To, int From) {
        return int(std::min<int64_t>(From - 1, (2 * int64_t(At) + 1) * From / (2 * int64_t(To))));
    };
    std::vector<int> columns(size_t(Target.width()));
    for (int x = 0; x < Target.width(); ++x)
        columns[size_t(x)] = source(x, Target.width(), FSize.width());
    const int width = FSize.width();
    for (int top = 0; top < Target.height();) {
        // As many target rows as the band allows whose picture rows fit a band.
        int rows = std::min(std::max(1, Band), Target.height() - top);
        const auto first = [&] { return source(top, Target.height(), FSize.height()); };
        const auto last = [&] { return source(top + rows - 1, Target.height(), FSize.height()); };
        while (rows > 1 && qsizetype(last() - first() + 1) * width > kBandPixels)
            rows /= 2;
        const QImage picture = PlayRows(FRecording, width, first(), last() - first() + 1);
        QImage band(Target.width(), rows, QImage::Format_RGB32);
        for (int y = 0; y < rows; ++y) {
            const auto* from =
                reinterpret_cast<const QRgb*>(picture.constScanLine(source(top + y, Target.height(), FSize.height()) - first()));
            auto* to = reinterpret_cast<QRgb*>(band.scanLine(y));
            for (int x = 0; x < Target.width(); ++x)
                to[x] = from[columns[size_t(x)]];
        }
        Sink(top, band);
        top += rows;
    }
}

QByteArray TMetafile::ToPng() const
{
    TPngWriter png(FSize.width(), FSize.height());
    constexpr int kPngBand = 512;
    PlayBands(kPngBand, [&](int, const QImage& rows) { png.Rows(rows); });
    return png.Finish();
}

std::optional<QByteArray> TMetafile::ToSvg(qsizetype Limit) const
{
    // Told from the figures' count alone where it cannot fit, before any
    // of it is written.
    const qsizetype least = LeastSvgBytes(FRecording);
    if (least > Limit)
        return std::nullopt;
    TSvgWriter writer(FSize, Limit, 2 * least);
    if (!writer.Write(FRecording))
        return std::nullopt;
    return writer.Take();
}

bool CopyMetafileToClipboard(QClipboard& Clipboard, const TMetafile& Metafile, qsizetype Limit)
{
    auto data = std::make_unique<QMimeData>();
    std::optional<QByteArray> svg = Metafile.ToSvg(Limit);
    if (svg)
        data->setData(QStringLiteral("image/svg+xml"), *svg);
    svg.reset();
    data->setData(QStringLiteral("image/png"), Metafile.ToPng());
    const bool whole = data->hasFormat(QStringLiteral("image/svg+xml"));
    Clipboard.setMimeData(data.release());
    return whole;
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
