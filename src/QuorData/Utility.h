#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/Object.h"
#include "platform/Variant.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Walking up from B's class (B's class first), the first class that is A's
// class or one of its ancestors; TObject when there is no nearer one.
const TClass* CommonAncestorClass(const TObject* A, const TObject* B);

// ---- Shell ----------------------------------------------------------------

// Asks the desktop to carry out Operation on FileName: "open" (or no
// operation, the default one) opens a document, folder or address with its
// associated program; a name of an existing local file becomes a file URL.
// The desktop cannot hand parameters to the program or run other operations,
// so Params is not passed on and other operations do nothing. Failures are
// not reported.
void ExecuteFile(const QString& Operation, const QString& FileName, const QString& Params);
void ShellOpen(const QString& FileName);

// ---- Integer geometry for hit tests -----------------------------------------

// The sign of (P1 - P0) x (P2 - P0), computed in 64 bits: 1 positive,
// 0 negative, 2 zero (collinear).
uint8_t Orientation(const TPoint& P0, const TPoint& P1, const TPoint& P2);
// 1 when segments A and B cross or touch, 2 when both B points lie on A's
// line (even when the segments do not overlap), else 0.
uint8_t SegmentsIntersect(const TPoint& A1, const TPoint& A2, const TPoint& B1, const TPoint& B2);
TRect ExtendRectToPoint(const TPoint& P, const TRect& R);
// Value in [min(A, B) - Tol, max(A, B) + Tol], ends included.
bool InRangeTol(int Value, int A, int B, int Tol);
// Value in [min(A, B), max(A, B)], ends included.
bool InRangeUnordered(int Value, int A, int B);
// Both coordinate distances below Tol.
bool PointsNear(const TPoint& P, const TPoint& Q, int Tol);
// Near an end point, or inside the segment's box widened by Tol and near its line.
bool PointNearSegment(const TPoint& P, const TPoint& A, const TPoint& B, int Tol);
float SqrSingle(float X);
// The squared distance of P from the line through A and B, in single
// precision, below Tol squared; False for a zero-length line.
bool NearLine(const TPoint& P, const TPoint& A, const TPoint& B, int Tol);
TRect NormalizeRect(const TRect& R);
// Both corners of Inner in Outer by PtInRect, so Inner's right and bottom
// edges must lie strictly inside Outer.
bool RectInsideRect(const TRect& Inner, const TRect& Outer);
void SwapInt(int& A, int& B);
// Top-left, top-right, bottom-right, bottom-left.
std::array<TPoint, 4> RectToCorners(const TRect& R);

// ---- Colours and sizes -----------------------------------------------------

// Ratio is the weight of C2. At exactly 0.5 each channel is the integer mean
// of the two (fraction dropped); otherwise the nearest integer, half to even,
// of the weighted sum of the channel values kept in their byte places.
TColor BlendColors(TColor C1, TColor C2, float Ratio);
double RelativePosition(double Value, double Low, double High);
// Src scaled to Box's width, or to Box's height when it would be too tall;
// halves round to even. A source without area fits as the empty size.
TSize FitSizeKeepAspect(const TSize& Src, const TSize& Box);
TSize MakeSize(int Width, int Height);

// ---- Permutations ----------------------------------------------------------

// One entry of a permutation: where its element is now (Source) and where it
// must go (Target), as variants so that any kind of position serves.
class TPermutItem : public TObject {
public:
    virtual TVariant GetSource() const = 0;
    virtual TVariant GetTarget() const = 0;
    virtual void SetSource(const TVariant& Value) = 0;
    virtual void SetTarget(const TVariant& Value) = 0;
    virtual bool SameValue(const TVariant& V1, const TVariant& V2) const = 0;
};

// An entry with integer positions. Its accessors are final: PermutationToSwaps
// reads the fields of such entries directly.
class TPermutIntItem : public TPermutItem {
public:
    TVariant GetSource() const final { return TVariant(Source); }
    TVariant GetTarget() const final { return TVariant(Target); }
    // A fraction rounds half to even; EVariantError when the value is no
    // number or lies outside 32 bits.
    void SetSource(const TVariant& Value) final { Source = Value.toInt(); }
    void SetTarget(const TVariant& Value) final { Target = Value.toInt(); }
    bool SameValue(const TVariant& V1, const TVariant& V2) const final { return V1 == V2; }

    int32_t Source = 0;
    int32_t Target = 0;
};

// One exchange: First reaches its target by it, Second takes over First's
// former place. Both entries belong to the permutation's owner.
class TSwapItem : public TObject {
public:
    TSwapItem() = default;
    TSwapItem(TPermutItem* AFirst, TPermutItem* ASecond) : First(AFirst), Second(ASecond) {}

    virtual TPermutItem* GetFirst() const { return First; }
    virtual TPermutItem* GetSecond() const { return Second; }
    virtual void SetFirst(TPermutItem* Value) { First = Value; }
    virtual void SetSecond(TPermutItem* Value) { Second = Value; }

    TPermutItem* First = nullptr;
    TPermutItem* Second = nullptr;
};

using TPermutList = std::vector<TPermutItem*>;
using TSwapList = std::vector<std::unique_ptr<TSwapItem>>;

// The exchanges that realise the permutation given by List's entries, in the
// order to carry them out; every entry's Source equals its Target afterwards
// and List may be reordered (it keeps every entry). No list or an empty list
// gives no list. Raises EListError when the entries form no permutation.
// Integer entries with distinct sources take time linear in their number.
std::unique_ptr<TSwapList> PermutationToSwaps(TPermutList* List);

// ---- Windows -----------------------------------------------

class QWidget;
class TCanvas;
class TCustomControl;

// Converts R from DC's logical to device coordinates and marks that
// rectangle of the window for painting; nothing without a window.
void InvalidateLogicalRect(const TCanvas& DC, TCustomControl* Wnd, const TRect& R, bool Erase);

// ---- Message pumps for polling loops -------------------------------------------------

// One round of a polling loop: takes at most one waiting mouse event (or,
// when none waits, lets a paint happen) and dispatches it at once; other
// input waits until the mouse handler that polls has returned. The dialog
// window is accepted for the callers' sake.
void ProcessMouseOrPaintMessage(QWidget* DlgWnd = nullptr);
// Count rounds; nothing when Count < 1.
void ProcessMouseMessages(int Count, QWidget* DlgWnd = nullptr);
