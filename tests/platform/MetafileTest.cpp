#include "support/TestSupport.h"

#include "platform/Canvas.h"
#include "platform/Metafile.h"

#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPageLayout>
#include <QPrinter>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

// A red square, a grey band drawn in mask mode half over it, and a white
// exclusive-or fill that inverts a strip across both.
void PaintSample(TCanvas& C)
{
    C.SetPen(TPen(0, TPenMode::pmCopy, TPenStyle::psClear));
    C.SetBrush(TBrush(0x0000FF));
    C.FillRect(Rect(10, 10, 30, 30));
    C.SetPen(TPen(0x808080, TPenMode::pmMask));
    C.SetBrush(TBrush(0x80FFFF));
    C.Rectangle(20, 0, 40, 40);
    C.SetPen(TPen(0xFFFFFF, TPenMode::pmXor));
    C.SetBrush(TBrush(0xFFFFFF));
    C.Rectangle(0, 15, 50, 18);
}

QImage Reference(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    TCanvas C(&image);
    PaintSample(C);
    return image;
}

} // namespace

TEST(Metafile, ImageReproducesRasterOperationsExactly)
{
    const TMetafile M(QSize(50, 40), PaintSample);
    EXPECT_EQ(M.Size(), QSize(50, 40));
    const QImage image = M.ToImage();
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image, Reference(QSize(50, 40)));
    // Mask over red keeps red's red channel only where the band's colour has it.
    EXPECT_EQ(image.pixel(25, 25), qRgb(255, 0, 0) & qRgb(255, 255, 128));
}

TEST(Metafile, PictureKeepsThePlotsFrameWhateverWasDrawn)
{
    const TMetafile M(QSize(200, 100), [](TCanvas& C) {
        C.SetBrush(TBrush(0));
        C.FillRect(Rect(10, 10, 12, 12));
    });
    const QImage image = M.ToImage();
    EXPECT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(image.pixel(11, 11), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(12, 12), qRgb(255, 255, 255));
}

TEST(Metafile, BandsJoinIntoTheWholeScaledImage)
{
    const TMetafile M(QSize(50, 40), PaintSample);
    QImage joined(100, 80, QImage::Format_RGB32);
    joined.fill(Qt::black);
    int bands = 0;
    M.PlayScaled(QSize(100, 80), 7, [&](int top, const QImage& rows) {
        ++bands;
        for (int y = 0; y < rows.height(); ++y)
            for (int x = 0; x < rows.width(); ++x)
                joined.setPixel(x, top + y, rows.pixel(x, y));
    });
    EXPECT_EQ(bands, 12); // 80 rows by 7
    QImage whole;
    M.PlayScaled(QSize(100, 80), 1000, [&](int, const QImage& rows) { whole = rows; });
    EXPECT_EQ(joined, whole);
    // Doubled: the inverted strip (rows 15 to 17) becomes rows 30 to 35.
    EXPECT_EQ(whole.pixel(2, 31), qRgb(0, 0, 0));
    EXPECT_EQ(whole.pixel(2, 28), qRgb(255, 255, 255));
}

TEST(Metafile, SvgDrawsRasterOperationsAsPlainFills)
{
    const TMetafile M(QSize(50, 40), PaintSample);
    const QByteArray svg = M.ToSvg(MaxClipboardSvgBytes).value_or(QByteArray());
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("viewBox=\"0 0 50 40\""));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
    // The exclusive-or fill shows as white, the mask fill as its own colour.
    EXPECT_TRUE(svg.contains("#ffffff"));
    EXPECT_TRUE(svg.contains("#ffff80"));
    EXPECT_TRUE(svg.contains("#ff0000"));
}

TEST(Metafile, RecordsOneEntryAndOneSvgElementPerFigure)
{
    // 1,000 polylines across a wide plot: walked into pixels they once took
    // 42 KB each.
    const TMetafile M(QSize(3000, 600), [](TCanvas& C) {
        for (int line = 0; line < 1000; ++line) {
            const TPoint points[] = {{0, line % 600}, {1500, 599 - line % 600}, {2999, (line * 7) % 600}};
            C.Polyline(points);
        }
        C.SetBrush(TBrush(0x00FF00));
        const TRect bars[] = {Rect(0, 0, 5, 5), Rect(10, 0, 15, 5)};
        C.FillRects(bars);
    });
    EXPECT_EQ(M.Recording().Entries().size(), 1001u);
    EXPECT_LT(M.Recording().Bytes(), 100u * 1024);
    const QByteArray svg = M.ToSvg(MaxClipboardSvgBytes).value_or(QByteArray());
    EXPECT_EQ(svg.count("<polyline"), 1000);
    EXPECT_EQ(svg.count("<rect"), 2);
    EXPECT_TRUE(svg.contains("points=\"0.5,0.5 1500.5,599.5 2999.5,0.5\""));
    EXPECT_TRUE(M.ToSvg(svg.size()));
    EXPECT_FALSE(M.ToSvg(svg.size() - 1));
}

TEST(Metafile, ClipboardGetsSvgAndExactPng)
{
    const TMetafile M(QSize(50, 40), PaintSample);
    QClipboard* clipboard = QGuiApplication::clipboard();
    EXPECT_TRUE(CopyMetafileToClipboard(*clipboard, M));
    const QMimeData* data = clipboard->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/png")));
    QImage png;
    ASSERT_TRUE(png.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), Reference(QSize(50, 40)));
    EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("<svg"));

    // Beyond the limit the image goes alone.
    EXPECT_FALSE(CopyMetafileToClipboard(*clipboard, M, 100));
    EXPECT_FALSE(clipboard->mimeData()->hasFormat(QStringLiteral("image/svg+xml")));
    ASSERT_TRUE(png.loadFromData(clipboard->mimeData()->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), Reference(QSize(50, 40)));
}

TEST(Metafile, PngOfAPictureWiderThanABandIsExact)
{
    // More pixels than one band holds: rows alike across the bands' seam.
    const TMetafile M(QSize(20000, 1000), [](TCanvas& C) {
        PaintSample(C);
        C.MoveTo(0, 999);
        C.LineTo(19999, 0);
        C.SetBrush(TBrush(0x00FF00));
        C.FillRect(Rect(100, 700, 19000, 1000));
    });
    QImage png;
    ASSERT_TRUE(png.loadFromData(M.ToPng(), "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), M.ToImage());
}

QByteArray PrintedPdf(QPrinter& Printer, const QString& File, const TMetafile& M, const QString& Title)
{
    Printer.setOutputFileName(File);
    const QSize page = PrinterPageSize(Printer);
    if (!PrintMetafile(Printer, M, Title, QSize(page.width(), page.width() * M.Size().height() / M.Size().width())))
        return QByteArray();
    QFile pdf(File);
    return pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
}

TEST(Metafile, PrintsWithinTheMarginsUnderItsTitleWhateverTheDialogLeft)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct TCase {
        const char* Name;
        std::function<void(QPrinter&)> Setup;
        bool FullPage;
    };
    // The print dialog switches to full-page mode, changes the resolution and
    // the margins' unit, and may start a new engine without the document name.
    const TCase cases[] = {
        {"in process", [](QPrinter&) {}, false},
        {"as the dialog leaves it",
         [](QPrinter& P) {
             P.setDocName(QString());
             P.setOutputFormat(QPrinter::NativeFormat);
             P.setOutputFormat(QPrinter::PdfFormat);
             P.setResolution(600);
             P.setPageMargins(QMarginsF(12.7, 6.35, 12.7, 6.35), QPageLayout::Millimeter);
             P.setFullPage(true);
         },
         true},
    };
    const TMetafile M(QSize(50, 40), PaintSample);
    for (const TCase& c : cases) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        c.Setup(printer);
        ASSERT_EQ(printer.fullPage(), c.FullPage) << c.Name;
        const QPageLayout layout = printer.pageLayout();
        const QMargins margins = layout.marginsPixels(printer.resolution());
        const QRect paper = layout.fullRectPixels(printer.resolution());
        // The page within the margins, where a painter on the printer finds it.
        const QRect page = PrinterPageRect(printer);
        EXPECT_EQ(page.size(), paper.marginsRemoved(margins).size()) << c.Name;
        EXPECT_EQ(PrinterPageSize(printer), page.size()) << c.Name;
        EXPECT_EQ(page.topLeft(), c.FullPage ? QPoint(margins.left(), margins.top()) : QPoint(0, 0)) << c.Name;
        EXPECT_GT(margins.left(), 0) << c.Name;

        const QByteArray content =
            PrintedPdf(printer, dir.filePath(QString::fromLatin1(c.Name)), M, QStringLiteral("Scatterplot Matrix"));
        EXPECT_TRUE(content.startsWith("%PDF")) << c.Name;
        EXPECT_EQ(printer.docName(), QStringLiteral("Scatterplot Matrix"));
        // The document information carries the title in UTF-16.
        QByteArray title("\xFE\xFF", 2);
        for (QChar ch : QStringLiteral("Scatterplot Matrix"))
            title.append(char(ch.unicode() >> 8)).append(char(ch.unicode() & 0xFF));
        EXPECT_TRUE(content.contains(title) || content.contains(title.toHex().toUpper())) << c.Name;
    }
}

TEST(Metafile, PrintedLinesStaySmallAndExact)
{
    // 150 lines across eight axes, as a parallel coordinates plot draws them,
    // on an A4 page at 1200 dpi: it once made a PDF of 12 MB.
    const TMetafile M(QSize(900, 600), [](TCanvas& C) {
        uint32_t seed = 5;
        const auto next = [&seed](int Range) {
            seed = seed * 1664525u + 1013904223u;
            return int((seed >> 8) % uint32_t(Range));
        };
        for (int line = 0; line < 150; ++line) {
            C.MoveTo(20, next(580));
            for (int axis = 1; axis < 8; ++axis)
                C.LineTo(20 + axis * 120, 10 + next(580));
        }
    });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The raster is the device pixels divided by the smallest whole factor
    // that brings it to 300 dpi or below.
    const struct {
        int Dpi, Factor;
    } cases[] = {{1200, 4}, {720, 3}};
    for (const auto& c : cases) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(c.Dpi);
        const QByteArray content = PrintedPdf(printer, dir.filePath(QStringLiteral("lines.pdf")), M, QStringLiteral("x"));
        ASSERT_TRUE(content.startsWith("%PDF")) << c.Dpi;
        EXPECT_LT(content.size(), 1024 * 1024) << c.Dpi;
        // Lossless: no JPEG blurs the lines.
        EXPECT_FALSE(content.contains("/DCTDecode")) << c.Dpi;
        const int width = (PrinterPageSize(printer).width() + c.Factor / 2) / c.Factor;
        EXPECT_TRUE(content.contains("/Width " + QByteArray::number(width))) << c.Dpi;
    }
}
