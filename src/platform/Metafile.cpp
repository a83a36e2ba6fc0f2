#include "platform/Metafile.h"

#include "platform/Parallel.h"

#include <QClipboard>
#include <QFontMetrics>
#include <QMimeData>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QScopeGuard>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <future>
#include <memory>
#include <system_error>
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

// Writes an RGB PNG band by band, so that only the compressed bytes are
// ever held whole. Each band's rows are deflated in pieces on several
// threads, each piece a deflate stream of its own flushed to a byte
// boundary: joined, they make the one stream the format wants.
class TPngWriter {
public:
    TPngWriter(int Width, int Height) : FWidth(Width)
    {
        FOut.append("\x89PNG\r\n\x1a\n", 8);
        QByteArray header(13, '\0');
        qToBigEndian<quint32>(quint32(Width), header.data());
        qToBigEndian<quint32>(quint32(Height), header.data() + 4);
        header[8] = 8; // bits per channel
        header[9] = 2; // RGB
        Chunk("IHDR", header);
        // The stream's header: deflate, 32 KB window.
        Chunk("IDAT", QByteArray("\x78\x9c", 2));
    }

    void Rows(const QImage& Rows)
    {
        // Pieces of at least a few hundred thousand pixels, so that each
        // compresses about as well as the whole.
        constexpr qsizetype kLeastPixels = 256 * 1024;
        const int threads = UsableThreads(8);
        const int pieces = int(std::clamp<qsizetype>(qsizetype(Rows.height()) * Rows.width() / kLeastPixels, 1,
                                                     std::min(threads, Rows.height())));
        std::vector<TPiece> done(static_cast<size_t>(pieces));
        ParallelFor(pieces, threads, [&](int piece) {
            const int top = Rows.height() * piece / pieces;
            const int bottom = Rows.height() * (piece + 1) / pieces;
            done[size_t(piece)] = Deflate(Rows, top, bottom, Z_SYNC_FLUSH);
        });
        for (const TPiece& piece : done)
            Append(piece);
        const auto* last = reinterpret_cast<const QRgb*>(Rows.constScanLine(Rows.height() - 1));
        FAbove.assign(last, last + Rows.width());
    }

    QByteArray Finish()
    {
        // The last block, empty, and the checksum of every row.
        Append(Deflate(QImage(), 0, 0, Z_FINISH));
        char sum[4];
        qToBigEndian<quint32>(quint32(FAdler), sum);
        Chunk("IDAT", QByteArray(sum, 4));
        Chunk("IEND", QByteArray());
        return std::move(FOut);
    }

private:
    struct TPiece {
        QByteArray Deflated;
        uLong Adler = 1;
        qsizetype Length = 0;
    };

    // Rows Top to Bottom - 1, each behind its filter byte: a row like the
    // one above as the difference to it, any other as the difference to
    // the left neighbour, so that the flat runs and repeated rows of a
    // plot become zeros.
    TPiece Deflate(const QImage& Rows, int Top, int Bottom, int Flush) const
    {
        z_stream stream{};
        if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
        const auto end = qScopeGuard([&] { deflateEnd(&stream); });
        TPiece piece;
        std::vector<uchar> row(size_t(FWidth) * 3 + 1);
        uchar buffer[1 << 16];
        const auto deflateRow = [&](uchar* Data, size_t Size, int Mode) {
            stream.next_in = Data;
            stream.avail_in = uInt(Size);
            int status = Z_OK;
            do {
                stream.next_out = buffer;
                stream.avail_out = sizeof(buffer);
                status = deflate(&stream, Mode);
                piece.Deflated.append(reinterpret_cast<const char*>(buffer), qsizetype(sizeof(buffer) - stream.avail_out));
            } while (stream.avail_out == 0 || (Mode == Z_FINISH && status != Z_STREAM_END));
        };
        for (int y = Top; y < Bottom; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(Rows.constScanLine(y));
            const QRgb* above = y > 0 ? reinterpret_cast<const QRgb*>(Rows.constScanLine(y - 1))
                              : FAbove.empty() ? nullptr
                                               : FAbove.data();
            uchar* out = row.data();
            if (above && std::equal(line, line + FWidth, above)) {
                *out = 2; // up: all zeros
                std::fill(out + 1, out + row.size(), uchar(0));
            } else {
                *out++ = 1; // sub: each byte less the one of the pixel on its left
                QRgb left = 0;
                for (int x = 0; x < FWidth; ++x) {
                    *out++ = uchar(qRed(line[x]) - qRed(left));
                    *out++ = uchar(qGreen(line[x]) - qGreen(left));
                    *out++ = uchar(qBlue(line[x]) - qBlue(left));
                    left = line[x];
                }
            }
            piece.Adler = adler32(piece.Adler, row.data(), uInt(row.size()));
            piece.Length += qsizetype(row.size());
            deflateRow(row.data(), row.size(), Z_NO_FLUSH);
        }
        deflateRow(nullptr, 0, Flush);
        return piece;
    }

    void Append(const TPiece& Piece)
    {
        FAdler = adler32_combine(FAdler, Piece.Adler, z_off_t(Piece.Length));
        if (!Piece.Deflated.isEmpty())
            Chunk("IDAT", Piece.Deflated);
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

    int FWidth;
    QByteArray FOut;
    uLong FAdler = 1;
    // The last row of the band before, for the first row of the next.
    std::vector<QRgb> FAbove;
};

// ---- SVG --------------------------------------------------------------------------

// The least an element takes in the SVG, for telling early that a drawing
// will not fit.
constexpr qsizetype kLeastElementBytes = 40;
// ".5,", ".5" and the blank after each point.
constexpr int kPointPunctuation = 6;

// The characters of a pixel centre's coordinate before its ".5": V + 0.5
// is written as "-" and -V - 1 for a negative V.
int HalfDigits(int V)
{
    int64_t rest = V < 0 ? -int64_t(V) - 1 : V;
    int digits = V < 0 ? 2 : 1;
    for (; rest >= 10; rest /= 10)
        ++digits;
    return digits;
}

qsizetype LeastSvgBytes(const TCanvasRecording& Recording)
{
    using TKind = TCanvasRecording::TKind;
    qsizetype bytes = 0;
    for (const TCanvasRecording::TEntry& entry : Recording.Entries()) {
        if (entry.Kind == TKind::FillRects) {
            bytes += qsizetype(entry.Count / 2) * kLeastElementBytes;
        } else if (entry.Kind == TKind::Polyline || entry.Kind == TKind::Polygon || entry.Kind == TKind::Line) {
            // "x.5,y.5 " for each point.
            bytes += kLeastElementBytes;
            for (const TPoint& p : Recording.Points(entry))
                bytes += HalfDigits(p.x) + HalfDigits(p.y) + kPointPunctuation;
        } else {
            bytes += kLeastElementBytes;
        }
    }
    return bytes;
}

QByteArray Escaped(const QString& Text)
{
    return Text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&apos;")).toUtf8();
}

// Writes the elements straight into one growing buffer, numbers and all:
// a plot's SVG runs to hundreds of megabytes.
class TSvgWriter {
public:
    TSvgWriter(const QSize& Size, qsizetype Limit, qsizetype Expected) : FLimit(Limit)
    {
        FOut.reserve(std::min(Expected, Limit) + 4096);
        Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
            "version=\"1.1\" width=\"");
        Int(Size.width());
        Put("\" height=\"");
        Int(Size.height());
        Put("\" viewBox=\"0 0 ");
        Int(Size.width());
        Put(" ");
        Int(Size.height());
        Put("\" shape-rendering=\"crispEdges\">\n");
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
            case TKind::Polyline:
                Put("<polyline fill=\"none\"");
                Stroke(tools.Pen);
                Points(p);
                break;
            case TKind::Polygon:
                Put("<polygon fill-rule=\"evenodd\"");
                Fill(tools.Brush);
                Stroke(tools.Pen);
                Points(p);
                break;
            case TKind::Rectangle:
                // An outline runs through its edge pixels' centres.
                if (tools.Pen.Style() == TPenStyle::psClear) {
                    Rect(p[0].x, p[0].y, p[1].x - p[0].x - 1, p[1].y - p[0].y - 1, false);
                    Fill(tools.Brush);
                } else {
                    Rect(p[0].x, p[0].y, p[1].x - p[0].x - 1, p[1].y - p[0].y - 1, true);
                    Fill(tools.Brush);
                    Stroke(tools.Pen);
                }
                Put("/>\n");
                break;
            case TKind::FillRect:
            case TKind::FillRects:
                for (size_t i = 0; i + 1 < p.size(); i += 2) {
                    Rect(p[i].x, p[i].y, p[i + 1].x - p[i].x, p[i + 1].y - p[i].y, false);
                    Fill(tools.Brush);
                    Put("/>\n");
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
            Put("</g>\n");
        Put("</svg>\n");
        return !Full();
    }

    QByteArray Take() { return std::move(FOut); }

private:
    bool Full() const { return FOut.size() > FLimit; }

    template <size_t N> void Put(const char (&Text)[N]) { FOut.append(Text, qsizetype(N - 1)); }
    void Put(const QByteArray& Text) { FOut.append(Text); }

    void Int(int V)
    {
        char text[16];
        const auto end = std::to_chars(text, text + sizeof(text), V).ptr;
        FOut.append(text, end - text);
    }

    // The centre of a pixel.
    void Half(int V)
    {
        if (V < 0 && V != INT_MIN) {
            FOut.append('-');
            V = -V - 1;
        }
        Int(V);
        FOut.append(".5", 2);
    }

    void Color(TColor C)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        const char text[] = {'#',
                             kHex[(C >> 4) & 0xF],
                             kHex[C & 0xF],
                             kHex[(C >> 12) & 0xF],
                             kHex[(C >> 8) & 0xF],
                             kHex[(C >> 20) & 0xF],
                             kHex[(C >> 16) & 0xF]};
        FOut.append(text, qsizetype(sizeof(text)));
    }

    void Stroke(const TPen& Pen)
    {
        if (Pen.Style() == TPenStyle::psClear) {
            Put(" stroke=\"none\"");
            return;
        }
        Put(" stroke=\"");
        Color(Pen.Color());
        Put("\"");
        if (Pen.Width() > 1) {
            Put(" stroke-width=\"");
            Int(Pen.Width());
            Put("\" stroke-linecap=\"round\" stroke-linejoin=\"round\"");
        }
    }

    void Fill(const TBrush& Brush)
    {
        if (Brush.Style() == TBrushStyle::bsClear) {
            Put(" fill=\"none\"");
            return;
        }
        Put(" fill=\"");
        Color(Brush.Color());
        Put("\"");
    }

    // Through the pixels' centres, as the canvas walks them.
    void Points(std::span<const TPoint> P)
    {
        Put(" points=\"");
        for (size_t i = 0; i < P.size(); ++i) {
            if (i > 0)
                FOut.append(' ');
            Half(P[i].x);
            FOut.append(',');
            Half(P[i].y);
        }
        Put("\"/>\n");
    }

    // Opens a rectangle element, left open for its paint.
    void Rect(int X, int Y, int W, int H, bool Outlined)
    {
        if (!Outlined) {
            ++W;
            ++H;
        }
        Put("<rect x=\"");
        Outlined ? Half(X) : Int(X);
        Put("\" y=\"");
        Outlined ? Half(Y) : Int(Y);
        Put("\" width=\"");
        Int(std::max(0, W));
        Put("\" height=\"");
        Int(std::max(0, H));
        Put("\"");
    }

    void Text(const TPoint& At, const QString& Text, bool Turned, const TCanvasRecording::TTools& Tools)
    {
        const TFont& font = Tools.Font;
        const QFont qfont = font.QtFont();
        const QFontMetrics fm(qfont);
        const double angle = Turned ? -font.Escapement() / 10.0 : 0.0;
        QByteArray turn;
        if (angle != 0)
            turn = " transform=\"rotate(" + QByteArray::number(angle) + " " + QByteArray::number(At.x) + " "
                 + QByteArray::number(At.y) + ")\"";
        if (Tools.Brush.Style() != TBrushStyle::bsClear) {
            Rect(At.x, At.y, fm.horizontalAdvance(Text) - 1, std::max(1, font.Height()) - 1, false);
            Fill(Tools.Brush);
            Put(turn);
            Put("/>\n");
        }
        const int pixels = qfont.pixelSize() > 0 ? qfont.pixelSize() : int(qfont.pointSizeF() * 96 / 72 + 0.5);
        Put("<text x=\"");
        Int(At.x);
        Put("\" y=\"");
        Int(At.y + fm.ascent());
        Put("\" font-family=\"");
        Put(Escaped(qfont.family()));
        Put("\" font-size=\"");
        Int(pixels);
        Put("px\"");
        if (font.Bold())
            Put(" font-weight=\"bold\"");
        Put(" fill=\"");
        Color(font.Color());
        Put("\"");
        Put(turn);
        Put(" xml:space=\"preserve\">");
        Put(Escaped(Text));
        Put("</text>\n");
    }

    void Image(const TPoint& At, const QImage& Picture)
    {
        TPngWriter png(Picture.width(), Picture.height());
        png.Rows(Picture.convertToFormat(QImage::Format_RGB32));
        Put("<image x=\"");
        Int(At.x);
        Put("\" y=\"");
        Int(At.y);
        Put("\" width=\"");
        Int(Picture.width());
        Put("\" height=\"");
        Int(Picture.height());
        Put("\" xlink:href=\"data:image/png;base64,");
        Put(png.Finish().toBase64());
        Put("\"/>\n");
    }

    // Figures under a clip go into a group clipped to the clip's rectangles.
    void Clip(const std::optional<QRegion>& Region)
    {
        if (FClipStarted && Region == FClip)
            return;
        FClipStarted = true;
        FClip = Region;
        if (FClipOpen)
            Put("</g>\n");
        FClipOpen = Region.has_value();
        if (!FClipOpen)
            return;
        ++FClips;
        Put("<clipPath id=\"clip");
        Int(FClips);
        Put("\">");
        for (const QRect& r : *Region) {
            Rect(r.x(), r.y(), r.width() - 1, r.height() - 1, false);
            Put("/>");
        }
        Put("</clipPath>\n<g clip-path=\"url(#clip");
        Int(FClips);
        Put(")\">\n");
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
    const int width = FSize.width();
    const int height = FSize.height();
    const int rows = RowsPerBand(Band, width);
    // Two buffers for all the bands, the next one played while the sink
    // takes this one: fresh buffers would cost the kernel's clearing of
    // their pages each time.
    QImage buffers[2];
    const auto play = [&](int Top, int Buffer) {
        QImage& buffer = buffers[Buffer];
        if (buffer.isNull())
            buffer = QImage(width, std::min(rows, height), QImage::Format_RGB32);
        QImage band(buffer.bits(), width, std::min(rows, height - Top), buffer.bytesPerLine(), QImage::Format_RGB32);
        band.fill(Qt::white);
        TCanvas canvas(&band, QPoint(0, Top));
        canvas.Play(FRecording);
        return band;
    };
    QImage current = play(0, 0);
    for (int top = 0, buffer = 0; top < height; top += rows, buffer ^= 1) {
        std::future<QImage> next;
        if (top + rows < height) {
            try {
                next = std::async(std::launch::async, play, top + rows, buffer ^ 1);
            } catch (const std::system_error&) {
                // No thread to be had: the next band is played after this one.
            }
        }
        Sink(top, current);
        if (top + rows < height)
            current = next.valid() ? next.get() : play(top + rows, buffer ^ 1);
    }
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
    const int height = FSize.height();
    const int most = RowsPerBand(height, width);
    Band = std::max(1, Band);
    for (int top = 0; top < Target.height();) {
        // The picture is played once for as many of its rows as a band
        // holds, and those give every target row they lie under.
        const int first = source(top, Target.height(), height);
        const int last = std::min(height - 1, first + most - 1);
        int end = top;
        while (end < Target.height() && source(end, Target.height(), height) <= last)
            ++end;
        const QImage picture = PlayRows(FRecording, width, first, last - first + 1);
        for (; top < end; top += Band) {
            const int rows = std::min(Band, end - top);
            QImage band(Target.width(), rows, QImage::Format_RGB32);
            for (int y = 0; y < rows; ++y) {
                const int row = source(top + y, Target.height(), height) - first;
                const auto* from = reinterpret_cast<const QRgb*>(picture.constScanLine(row));
                auto* to = reinterpret_cast<QRgb*>(band.scanLine(y));
                for (int x = 0; x < Target.width(); ++x)
                    to[x] = from[columns[size_t(x)]];
            }
            Sink(top, band);
        }
    }
}

QByteArray TMetafile::ToPng() const
{
    TPngWriter png(FSize.width(), FSize.height());
    PlayBands(FSize.height(), [&](int, const QImage& rows) { png.Rows(rows); });
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
    // The SVG is written on a thread of its own while the image is encoded.
    std::future<std::optional<QByteArray>> svg;
    try {
        svg = std::async(std::launch::async, [&] { return Metafile.ToSvg(Limit); });
    } catch (const std::system_error&) {
        svg = std::async(std::launch::deferred, [&] { return Metafile.ToSvg(Limit); });
    }
    data->setData(QStringLiteral("image/png"), Metafile.ToPng());
    if (std::optional<QByteArray> vector = svg.get())
        data->setData(QStringLiteral("image/svg+xml"), *vector);
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
