#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <algorithm>
#include <cmath>

// Integer geometry as the system's units see it. A rectangle is Left, Top,
// Right, Bottom with Right and Bottom outside it (unlike QRect, whose
// right() and bottom() are inside), so these plain records carry the
// coordinates and convert to Qt's types only where Qt is called.

// A coordinate rounded to the nearest integer, halves to even. Defined for
// every double: what is no number gives 0, and what lies far beyond any
// device is held at 2^24 either way.
inline int RoundHalfEven(double Value)
{
    constexpr double kFar = 1 << 24;
    if (std::isnan(Value))
        return 0;
    return int(std::nearbyint(std::clamp(Value, -kFar, kFar)));
}

struct TPoint {
    int x = 0;
    int y = 0;

    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    constexpr int Width() const { return Right - Left; }
    constexpr int Height() const { return Bottom - Top; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }
    constexpr TPoint BottomRight() const { return {Right, Bottom}; }

    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct TSize {
    int cx = 0;
    int cy = 0;

    friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

constexpr TPoint Point(int x, int y) { return {x, y}; }
constexpr TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

// What a width x height client leaves inside its margins (each side of
// margins holds the distance from that edge).
constexpr TRect InnerRect(int width, int height, const TRect& margins)
{
    return {margins.Left, margins.Top, width - margins.Right, height - margins.Bottom};
}

// Left and Top belong to the rectangle, Right and Bottom do not.
constexpr bool PtInRect(const TRect& r, const TPoint& p)
{
    return p.x >= r.Left && p.x < r.Right && p.y >= r.Top && p.y < r.Bottom;
}

inline QPoint ToQPoint(const TPoint& p) { return QPoint(p.x, p.y); }
inline TPoint ToTPoint(const QPoint& p) { return {p.x(), p.y()}; }

// QRect's right and bottom are the last pixel inside.
inline QRect ToQRect(const TRect& r) { return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1)); }
inline TRect ToTRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

inline QSize ToQSize(const TSize& s) { return QSize(s.cx, s.cy); }
inline TSize ToTSize(const QSize& s) { return {s.width(), s.height()}; }
