#pragma once

#include <QRect>
#include <QSize>

#include <vector>

// Places for Count child windows that share Area without overlapping.
// Vertical tiling puts them side by side (up to three in one row; more in a
// grid of columns), horizontal tiling one above the other (a grid of rows
// beyond three). The places cover the area exactly.
std::vector<QRect> TileRects(const QRect& Area, int Count, bool Vertical);

// Places for Count cascaded windows, back to front: each one Step further
// right and down than the one behind it, so that every title bar stays in
// view, and all of one size, as large as the area then allows. A size below
// MinSize is raised to it; the front windows then reach beyond the area.
std::vector<QRect> CascadeRects(const QRect& Area, int Count, int Step, const QSize& MinSize);

// Places for Count minimized windows of one size, in rows from the bottom
// left of the area upward.
std::vector<QRect> IconRects(const QRect& Area, const QSize& IconSize, int Count);
