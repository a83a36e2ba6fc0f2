#pragma once

#include <QIcon>
#include <QString>

#include <span>

// One command of the main window as it is designed: name, caption, shortcut,
// the log code written before it acts, its radio group and check mark, and
// the glyph of its image.
struct TActionInfo {
    const char* Name;
    const char* Caption;
    const char* Shortcut = "";  // in QKeySequence's portable text
    // Written before the command runs; nullptr when the command logs by
    // itself or not at all.
    const char* LogCode = nullptr;
    int Group = 0;              // radio group, 0 for none
    bool Checkable = false;
    bool Checked = false;
    const char* Glyph = "";     // drawn as the image; empty for none
    int HelpContext = 100;
};

// Radio groups of the designed actions.
enum TActionGroup {
    agNone,
    agPermutationMethod,
    agChartType,
    agScaleType,
    agMeanType,
    agDotSize,
};

// Every command of the main window, menu-only items included.
std::span<const TActionInfo> MainWindowActions();

// A small square image with the glyph on a tinted ground, for tool buttons.
QIcon GlyphIcon(const QString& Glyph);
