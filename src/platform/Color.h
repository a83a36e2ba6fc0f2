#pragma once

#include <QColor>

#include <cstdint>

// A colour as the system stores it: $00BBGGRR, red in the low byte. Qt's
// colour type is used only where something is drawn.
using TColor = uint32_t;

constexpr TColor RGB(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}

constexpr int GetRValue(TColor c) { return int(c & 0xFF); }
constexpr int GetGValue(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return int((c >> 16) & 0xFF); }

inline QColor ToQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
inline TColor ToTColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }
