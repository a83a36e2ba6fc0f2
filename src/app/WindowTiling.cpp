#include "app/WindowTiling.h"

#include <cmath>

namespace {

// Splits Length into Parts spans that differ by at most one and sum to it.
int SpanStart(int Length, int Parts, int Index)
{
    return int(int64_t(Length) * Index / Parts);
}

} // namespace

std::vector<QRect> TileRects(const QRect& Area, const std::vector<QSize>& MinSizes, bool Vertical)
{
    std::vector<QRect> places;
    const int count = int(MinSizes.size());
    if (count <= 0)
        return places;
    // Lines along the tiling direction; the last lines take the extra windows.
    const int lines = count <= 3 ? count : int(std::ceil(std::sqrt(double(count))));
    const int across = Vertical ? Area.width() : Area.height();
    const int along = Vertical ? Area.height() : Area.width();
    int placed = 0;
    for (int line = 0; line < lines; ++line) {
        const int inLine = count / lines + (line >= lines - count % lines ? 1 : 0);
        const int a0 = SpanStart(across, lines, line);
        const int a1 = SpanStart(across, lines, line + 1);
        for (int k = 0; k < inLine; ++k, ++placed) {
            const int b0 = SpanStart(along, inLine, k);
            const int b1 = SpanStart(along, inLine, k + 1);
            QRect place = Vertical ? QRect(Area.left() + a0, Area.top() + b0, a1 - a0, b1 - b0)
                                   : QRect(Area.left() + b0, Area.top() + a0, b1 - b0, a1 - a0);
            place.setSize(place.size().expandedTo(MinSizes[size_t(placed)]));
            places.push_back(place);
        }
    }
    return places;
}

std::vector<QRect> CascadeRects(const QRect& Area, const std::vector<QSize>& MinSizes, int Step)
{
    std::vector<QRect> places;
    const int count = int(MinSizes.size());
    const int offset = (count - 1) * Step;
    const QSize common(Area.width() - offset, Area.height() - offset);
    for (int i = 0; i < count; ++i)
        places.emplace_back(Area.topLeft() + QPoint(i * Step, i * Step), common.expandedTo(MinSizes[size_t(i)]));
    return places;
}

std::vector<QRect> IconRects(const QRect& Area, const QSize& IconSize, int Count)
{
    std::vector<QRect> places;
    const int perRow = std::max(1, IconSize.width() > 0 ? Area.width() / IconSize.width() : 1);
    for (int i = 0; i < Count; ++i) {
        const int row = i / perRow;
        const int column = i % perRow;
        places.emplace_back(QPoint(Area.left() + column * IconSize.width(),
                                   Area.top() + Area.height() - (row + 1) * IconSize.height()),
                            IconSize);
    }
    return places;
}
