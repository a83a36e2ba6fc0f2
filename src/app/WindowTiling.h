#pragma once

#include <QRect>
#include <QSize>

#include <vector>

// Places for child windows that share Area without overlapping, one for
// each of their smallest sizes in MinSizes. Vertical tiling puts them side
// by side (up to three in one row; more in a grid of columns), horizontal
// tiling one above the other (a grid of rows beyond three). The places
// cover the area exactly, except that a place below its own window's
// smallest size is raised to it from its top-left corner.
std::vector<QRect> TileRects(const QRect& Area, const std::vector<QSize>& MinSizes, bool Vertical);

// Places for cascaded windows, back to front, one for each of their
// smallest sizes in MinSizes: each one Step further right and down than the
// one behind it, so that every title bar stays in view, and all of one
// size, as large as the area then allows. A window whose smallest size is
// larger than that gets its own smallest size and reaches beyond the area;
// the others keep the common size.
std::vector<QRect> CascadeRects(const QRect& Area, const std::vector<QSize>& MinSizes, int Step);

// Places for Count minimized windows of one size, in rows from the bottom
// left of the area upward.
std::vector<QRect> IconRects(const QRect& Area, const QSize& IconSize, int Count);
