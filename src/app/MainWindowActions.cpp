#include "app/MainWindowActions.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

#include <array>

namespace {

// Ctrl+Alt+S belongs to "Reset sliders" alone: two actions with one shortcut
// would make it fire neither.
const std::array<TActionInfo, 73> Actions{{
    // Add-In
    {"ActionCopyToClipboard", "Copy to clipboard...", "Ctrl+C", "Addin.1", agNone, false, false, "Cp"},
    {"ActionPrint", "Print...", "Ctrl+P", "Addin.2", agNone, false, false, "Pr"},
    {"LoadXML1", "Load XML", "", "Addin.3"},
    {"SavetoXML1", "Save to XML"}, // logs "Addin.4" itself
    {"ActionExit", "&Close"},
    // Edit
    {"ActionMarkPoints", "&Mark data items"},
    {"ActionHidePoints", "&Hide data items", "Ctrl+Alt+H", "Edit.2", agNone, false, false, "H"},
    {"ActionUnhidePoints", "&Unhide data items", "Ctrl+Alt+U", "Edit.3", agNone, false, false, "U"},
    {"ActionPickPoints", "&Pick data items", "Ctrl+Alt+P", "Edit.4", agNone, false, false, "P"},
    {"ActionUnhideAllPoints", "U&nhide all data items", "", "Edit.5"},
    {"ActionSelectAll", "Select &all data items", "Ctrl+A", "Edit.6"},
    {"ActionSelectVisible", "Select all &visible data items", "Ctrl+Alt+A", "Edit.7"},
    {"ActionHideDims", "Hide dimension(s)", "Ctrl+Alt+D", "Edit.8", agNone, false, false, "HD"},
    {"ActionUnhideAllDims", "Unhide all dimensions", "", "Edit.9"},
    {"InvertBackground1", "Invert Background", "", "Edit.10"},
    // Tools
    {"ActionAutoPermutePoints", "Permute data items", "F2", "2.1", agNone, false, false, "PI"},
    {"ActionGroupPoints", "Group similar data items", "Ctrl+F2", "2.2", agNone, false, false, "GI"},
    {"ActionSortPointsAsc", "Sort data items (+)", "", "2.3", agNone, false, false, "I+"},
    {"ActionSortPointsDesc", "Sort data items (-)", "", "2.4", agNone, false, false, "I-"},
    {"ActionAutoPermuteDims", "Permute dimensions", "F3", "2.5", agNone, false, false, "PD"},
    {"ActionGroupDims", "Group similar dimensions", "Ctrl+F3", "2.6", agNone, false, false, "GD"},
    {"ActionSortDimsAsc", "Sort dimensions (+)", "", "2.7", agNone, false, false, "D+"},
    {"ActionSortDimsDesc", "Sort dimensions (-)", "", "2.8", agNone, false, false, "D-"},
    {"ActionCropSubSelection", "Crop sub-selection", "Ctrl+Alt+C", "2.9", agNone, false, false, "Cr"},
    {"ActionPMMethodA", "Polarity and similarity", "Shift+F1", "Tools.10.1", agPermutationMethod, true, true},
    {"ActionPMMethodB", "Polarity", "Shift+F2", "Tools.10.2", agPermutationMethod, true},
    {"ActionPMMethodC", "Similarity", "Shift+F3", "Tools.10.3", agPermutationMethod, true},
    {"ActionPMConstantWeight", "Use constant weight", "", "Tools.12", agNone, true, true},
    // Data Source
    {"ActionTranspose", "&Transpose", "", "Source.1", agNone, true, false, "T", 210},
    {"ActionReset", "&Reset", "Ctrl+R", "Source.2", agNone, false, false, "R", 220},
    {"ActionRefresh", "Refresh", "F5", "Source.3", agNone, false, false, "Rf"},
    {"ActionResetSliders", "Reset sliders", "Ctrl+Alt+S", "Source.4", agNone, false, false, "RS"},
    {"ActionResetDimBounds", "Reset dimension bounds", "", "Source.5"},
    {"ActionFitBounds", "Fit bounds to visible data", "", nullptr, agNone, true},
    // Plots: the toggles log their own open and close codes
    {"ActionQuorPCoord", "Parallel Coordinates", "F9", nullptr, agNone, true, false, "PC"},
    {"ActionQuorPMatrix", "Permutation Matrix", "F10", nullptr, agNone, true, false, "PM"},
    {"ActionQuorSMatrix", "Scatterplot Matrix", "F11", nullptr, agNone, true, false, "SM"},
    {"ActionQuorACurves", "Andrews' Curves", "F12", nullptr, agNone, true, false, "AC"},
    // Plot settings
    {"ActionFullScale", "&Full Scale", "", "1.1", agNone, true, false, "FS"},
    {"ActionSelectPointsUnderSlider", "Select data items under slider", "Ctrl+Alt+L", nullptr, agNone, false, false, "SL"},
    {"ActionPMRotateView", "Rotate View", "", "2.10", agNone, true, false, "Ro"},
    {"ActionPMDTBar", "Vertical Bars", "Shift+F5", "2.11", agChartType, true, true, "VB"},
    {"ActionPMDTShade", "Shaded Tiles", "Shift+F9", "2.12", agChartType, true, false, "ST"},
    {"ActionPMDTShadeUserColors", "Prism Tiles", "Shift+F10", "2.13", agChartType, true, false, "PT"},
    {"ActionPMDTBar90", "Horizontal Bars", "Shift+F7", "2.14", agChartType, true, false, "HB"},
    {"ActionPMDTBarShade", "Shaded Vertical Bars", "Shift+F6", nullptr, agChartType, true},
    {"ActionPMDTBar90Shade", "Shaded Horizontal Bars", "Shift+F8", nullptr, agChartType, true},
    {"ActionPMConstantDimExtent", "Constant dimension height / width", "Ctrl+Alt+E", "2.15", agNone, true, true, "CE"},
    {"ActionPMSTRowVisible", "Row (Visible)", "", nullptr, agScaleType, true},
    {"ActionPMSTRowAll", "Row (All)", "", nullptr, agScaleType, true, true},
    {"ActionPMSTColVisible", "Column (Visible)", "", nullptr, agScaleType, true},
    {"ActionPMSTColAll", "Column (All)", "", nullptr, agScaleType, true},
    {"ActionPMSTTableVisible", "Table (Visible)", "", nullptr, agScaleType, true},
    {"ActionPMSTTableAll", "Table (All)", "", nullptr, agScaleType, true},
    {"ActionPMMTRowVisible", "Row (Visible)", "", nullptr, agMeanType, true},
    {"ActionPMMTRowAll", "Row (All)", "", nullptr, agMeanType, true, true},
    {"ActionPMMTColVisible", "Column (Visible)", "", nullptr, agMeanType, true},
    {"ActionPMMTColAll", "Column (All)", "", nullptr, agMeanType, true},
    {"ActionPMMTTableVisible", "Table (Visible)", "", nullptr, agMeanType, true},
    {"ActionPMMTTableAll", "Table (All)", "", nullptr, agMeanType, true},
    {"ActionSMDot1", "Small dot size", "", "3.1", agDotSize, true, false, "\u00b7"},
    {"ActionSMDot2", "Medium dot size", "", "3.2", agDotSize, true, false, "\u2022"},
    {"ActionSMDot3", "Big dot size", "", "3.3", agDotSize, true, true, "\u25cf"},
    {"ActionACOmitHiddenDims", "Omit Hidden Dimensions", "Ctrl+Alt+O", "4.1", agNone, true, true, "OH"},
    // Window and Help
    {"WindowTileVertical", "Tile vertically", "Ctrl+F5", "tile", agNone, false, false, "||"},
    {"WindowTileHorizontal", "Tile horizontally", "Ctrl+F6"},
    {"WindowCascade", "Cascade", "Ctrl+F7", "cascade", agNone, false, false, "//"},
    {"WindowArrangeIcons", "Arrange Icons"},
    {"WindowMinimizeAll", "Minimize all", "Ctrl+F8"},
    {"ActionToggleTransparency", "Transparent", "", nullptr, agNone, true},
    {"ActionHelpContents", "Contents", "F1"},
    {"ActionContextHelp", "What's this?", "Ctrl+F1"},
    {"ActionQuorbelAbout", "&About"},
}};

} // namespace

std::span<const TActionInfo> MainWindowActions()
{
    return Actions;
}

QIcon GlyphIcon(const QString& Glyph)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(70, 90, 130));
    painter.setBrush(QColor(214, 226, 245));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
    QFont font = painter.font();
    font.setPixelSize(Glyph.size() > 1 ? 10 : 14);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(30, 40, 70));
    painter.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, Glyph);
    return QIcon(pixmap);
}
