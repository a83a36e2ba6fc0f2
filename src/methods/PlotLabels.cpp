#include "methods/PlotLabels.h"

#include "ObjectEditor/GraphicObject.h"
#include "ObjectEditor/ObjectEditor.h"
#include "ObjectEditor/StockObjects.h"

#include <QFontMetrics>

#include <algorithm>

TRect AxisLabelRect(bool IsRowLabel, int Center, int Anchor, int Extent, int Depth)
{
    if (IsRowLabel)
        return Rect(Anchor - Depth, Center - Extent / 2, Anchor + 1, Center + Extent / 2 + 1);
    return Rect(Center - Extent / 2, Anchor, Center + Extent / 2 + 1, Anchor + Depth + 1);
}

void DrawRowLabelText(TCanvas& Canvas, const TFont& Font, const QString& Name, int Anchor, int Center, int Extent)
{
    Canvas.SetPen(BlackPen());
    Canvas.SetBrush(ClearBrush());
    Canvas.SetFont(Font);
    // Cut the name until it fits the row, "..." alone when nothing does;
    // found without measuring more of a long name than fits.
    const QString text = Canvas.ElideText(Name, Extent, false);
    const TSize extent = Canvas.TextExtent(text);
    const int top = Center - extent.cx / 2;
    const TRect r = Rect(Anchor - extent.cy, top, Anchor, top + extent.cx);
    Canvas.TextRect(r, r.Left, r.Bottom, text);
}

int EllipsisWidth(const TFont& Font)
{
    return QFontMetrics(Font.QtFont()).horizontalAdvance(QStringLiteral("..."));
}

void DrawColumnLabelText(TCanvas& Canvas, const TFont& Font, const QString& Name, int Anchor, int Center, int Extent,
                         int Depth, int EllipsisWidth)
{
    Canvas.SetPen(BlackPen());
    Canvas.SetBrush(ClearBrush());
    Canvas.SetFont(Font);
    // A column narrower than "..." shows no readable text: only clipped
    // dots, which would cost a full text layout per label.
    if ((EllipsisWidth < 0 ? Canvas.TextWidth(QStringLiteral("...")) : EllipsisWidth) > Extent)
        return;
    const int left = Center - Extent / 2;
    TRect r = Rect(left, Anchor, left + Extent, Anchor + Depth);
    Canvas.DrawText(Name, r,
                    dtCenter | dtWordBreak | dtEndEllipsis | dtWordEllipsis | dtEditControl | dtNoPrefix
                        | dtExternalLeading);
}

void DrawLabelSelectionMark(TCanvas& Canvas, const TRect& LabelRect)
{
    Canvas.SetPen(XorPen());
    Canvas.Pen().SetColor(0x808080);
    Canvas.SetBrush(ClearBrush());
    Canvas.Rectangle(LabelRect);
}

void DrawLabelDragFeedback(TCanvas& Canvas, const TRect& LabelRect)
{
    Canvas.SetPen(XorPen());
    Canvas.SetBrush(WhiteBrush());
    Canvas.Rectangle(LabelRect);
}

int MoveCenterWithin(int& Center, int Delta, int Low, int High)
{
    const int wanted = Center + Delta;
    // A plot squeezed below its size still holds the label at its start.
    const int held = std::clamp(wanted, Low, std::max(Low, High));
    Center = held;
    return Delta - (wanted - held);
}

TGraphicObject* DropTargetOf(TGOEdit& Editor, const TGraphicObject& Self, uint32_t Mask)
{
    const TRect& b = Self.Bounds;
    const TPoint middle = Point((b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2);
    const TSelectionList hits = Editor.ObjectsAt(middle, Mask);
    for (const TSelectionEntry* entry = hits.get(); entry; entry = entry->Next.get())
        if (entry->Object != &Self)
            return entry->Object;
    return nullptr;
}

TGraphicObject* CreateLabelMoveFrame(uint32_t Flags, const TRect& LabelRect)
{
    if (!HasFlags(Flags, gofMovable))
        return nullptr;
    auto* frame = new TRectElement(LabelRect);
    frame->Flags = gofSelectable | gokMoveFrame;
    frame->Cursor = crHSplit;
    return frame;
}
