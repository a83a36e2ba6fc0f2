#pragma once

#include "platform/Canvas.h"
#include "platform/Geometry.h"

#include <QString>

#include <cstdint>

class TGOEdit;
class TGraphicObject;

// What the plots' axis labels share: a name beside a matrix row (written
// upward, its text ending at the anchor) or below a matrix column, that the
// user drags along the matrix onto another label of its kind.

// The label's rectangle from its middle along the matrix (Center), its
// fixed edge (Anchor: right edge of a row label, top of a column label), its
// length along the matrix and its depth across it.
TRect AxisLabelRect(bool IsRowLabel, int Center, int Anchor, int Extent, int Depth);

// A row label's name written upward, centred on Center, its bottom at
// Anchor; cut and ended in "..." until it fits Extent.
void DrawRowLabelText(TCanvas& Canvas, const TFont& Font, const QString& Name, int Anchor, int Center, int Extent);
// A column label's name centred below Anchor, broken into words and cut
// with "..." to fit Extent by Depth. A column narrower than "..." (its width
// in Font given, or measured when negative) shows no text.
void DrawColumnLabelText(TCanvas& Canvas, const TFont& Font, const QString& Name, int Anchor, int Center, int Extent,
                         int Depth, int EllipsisWidth = -1);
// The width of "..." in Font.
int EllipsisWidth(const TFont& Font);

// The outline that marks a selected label, drawn by exclusive-or.
void DrawLabelSelectionMark(TCanvas& Canvas, const TRect& LabelRect);
// The label inverted while it is dragged; drawn again to remove it.
void DrawLabelDragFeedback(TCanvas& Canvas, const TRect& LabelRect);

// Moves Center by Delta, held between Low and High; the distance it moved.
int MoveCenterWithin(int& Center, int Delta, int Low, int High);

// The first object of Editor other than Self under the middle of Self's
// bounds (halves toward zero) that carries Mask; the drop target of a label.
TGraphicObject* DropTargetOf(TGOEdit& Editor, const TGraphicObject& Self, uint32_t Mask);

// The move frame of a label that may be moved (Flags has gofMovable), else none.
TGraphicObject* CreateLabelMoveFrame(uint32_t Flags, const TRect& LabelRect);
