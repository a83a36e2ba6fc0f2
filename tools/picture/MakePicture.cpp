// Draws the product picture (src/usagelog/quorbel.jpg): four small linked
// plots of one table, one data item highlighted in all of them, and the name.
// Run once when the picture is to change; the program only reads the JPEG.
//   g++ -std=c++20 -fPIC MakePicture.cpp $(pkg-config --cflags --libs Qt6Gui) -o make-picture
//   QT_QPA_PLATFORM=offscreen ./make-picture quorbel.jpg
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <cmath>

namespace {

constexpr int Items = 14;
constexpr int Dims = 4;
const QColor Highlight(255, 150, 40);

// A small table with some structure, so that the plots look like data.
double Value(int item, int dim)
{
    const double t = item / double(Items - 1);
    switch (dim) {
    case 0: return t;
    case 1: return 0.5 + 0.4 * std::sin(6.0 * t + 0.5);
    case 2: return 1.0 - t * t;
    default: return 0.5 + 0.45 * std::cos(9.0 * t);
    }
}

void Frame(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    p.setBrush(QColor(10, 20, 45, 150));
    p.drawRoundedRect(r, 4, 4);
}

QColor ItemColor(int item, int highlighted)
{
    return item == highlighted ? Highlight : QColor::fromHsv(190 + item * 3, 90, 235);
}

void Scatter(QPainter& p, const QRectF& r, int hl)
{
    Frame(p, r);
    const QRectF in = r.adjusted(6, 6, -6, -6);
    for (int i = 0; i < Items; ++i) {
        const QPointF c(in.left() + Value(i, 0) * in.width(), in.bottom() - Value(i, 1) * in.height());
        p.setPen(Qt::NoPen);
        p.setBrush(ItemColor(i, hl));
        p.drawEllipse(c, i == hl ? 3.5 : 2.2, i == hl ? 3.5 : 2.2);
    }
}

void Parallel(QPainter& p, const QRectF& r, int hl)
{
    Frame(p, r);
    const QRectF in = r.adjusted(8, 6, -8, -6);
    p.setPen(QPen(QColor(255, 255, 255, 120), 1));
    for (int d = 0; d < Dims; ++d) {
        const double x = in.left() + d * in.width() / (Dims - 1);
        p.drawLine(QPointF(x, in.top()), QPointF(x, in.bottom()));
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < Items; ++i) {
            if ((i == hl) != (pass == 1))
                continue;
            QPainterPath path;
            for (int d = 0; d < Dims; ++d) {
                const QPointF pt(in.left() + d * in.width() / (Dims - 1),
                                 in.bottom() - Value(i, d) * in.height());
                d == 0 ? path.moveTo(pt) : path.lineTo(pt);
            }
            p.setPen(QPen(ItemColor(i, hl), i == hl ? 2.0 : 0.8));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        }
    }
}

void Curves(QPainter& p, const QRectF& r, int hl)
{
    Frame(p, r);
    const QRectF in = r.adjusted(6, 6, -6, -6);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < Items; ++i) {
            if ((i == hl) != (pass == 1))
                continue;
            QPainterPath path;
            for (int s = 0; s <= 60; ++s) {
                const double t = -M_PI + 2 * M_PI * s / 60.0;
                const double f = Value(i, 0) / std::sqrt(2.0) + Value(i, 1) * std::sin(t)
                    + Value(i, 2) * std::cos(t) + Value(i, 3) * std::sin(2 * t);
                const QPointF pt(in.left() + in.width() * s / 60.0,
                                 in.center().y() - f * in.height() / 5.2);
                s == 0 ? path.moveTo(pt) : path.lineTo(pt);
            }
            p.setPen(QPen(ItemColor(i, hl), i == hl ? 2.0 : 0.8));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        }
    }
}

void Matrix(QPainter& p, const QRectF& r, int hl)
{
    Frame(p, r);
    const QRectF in = r.adjusted(6, 6, -6, -6);
    const double w = in.width() / Items;
    const double h = in.height() / Dims;
    for (int i = 0; i < Items; ++i) {
        for (int d = 0; d < Dims; ++d) {
            const QRectF cell(in.left() + i * w, in.top() + d * h, w - 1, h - 1);
            const double v = Value(i, d);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 60, 110));
            p.drawRect(cell);
            QRectF bar = cell;
            bar.setTop(cell.bottom() - v * cell.height());
            p.setBrush(ItemColor(i, hl));
            p.drawRect(bar);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QImage image(233, 177, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 233, 177);
    sky.setColorAt(0, QColor(18, 40, 92));
    sky.setColorAt(1, QColor(60, 110, 170));
    p.fillRect(image.rect(), sky);

    const int hl = 9;
    const std::array<QRectF, 4> cells = {QRectF(8, 8, 104, 58), QRectF(121, 8, 104, 58),
                                         QRectF(8, 73, 104, 58), QRectF(121, 73, 104, 58)};
    // The links between the plots: one item, seen four times.
    p.setPen(QPen(QColor(255, 150, 40, 110), 1.2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    QPainterPath links;
    links.moveTo(cells[0].center());
    links.cubicTo(cells[1].topLeft(), cells[1].bottomLeft(), cells[1].center());
    links.cubicTo(cells[3].topRight(), cells[3].topLeft(), cells[3].center());
    links.cubicTo(cells[2].bottomRight(), cells[2].topRight(), cells[2].center());
    p.drawPath(links);

    Scatter(p, cells[0], hl);
    Parallel(p, cells[1], hl);
    Curves(p, cells[2], hl);
    Matrix(p, cells[3], hl);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(font);
    const QRectF title(0, 134, 233, 40);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(title.translated(1.5, 1.5), Qt::AlignCenter, QStringLiteral("Quorbel"));
    p.setPen(QColor(245, 248, 255));
    p.drawText(title, Qt::AlignCenter, QStringLiteral("Quorbel"));
    p.end();

    return image.save(QString::fromLocal8Bit(argc > 1 ? argv[1] : "quorbel.jpg"), "JPG", 90) ? 0 : 1;
}
