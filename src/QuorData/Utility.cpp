#include "QuorData/Utility.h"

#include "platform/Canvas.h"
#include "platform/CustomControl.h"
#include "platform/Exceptions.h"
#include "platform/MouseQueue.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <unordered_map>

const TClass* CommonAncestorClass(const TObject* A, const TObject* B)
{
    const TClass* a = A->ClassType();
    for (const TClass* c = B->ClassType(); c; c = c->Parent())
        if (a->InheritsFrom(c))
            return c;
    return TObject::StaticClass();
}

// ---- Shell ----------------------------------------------------------------

void ExecuteFile(const QString& Operation, const QString& FileName, const QString& Params)
{
    if (!Operation.isEmpty() && Operation.compare(QLatin1String("open"), Qt::CaseInsensitive) != 0)
        return;
    const QFileInfo file(FileName);
    const QUrl url = file.exists() ? QUrl::fromLocalFile(file.absoluteFilePath())
                                   : QUrl::fromUserInput(FileName);
    if (url.isValid())
        QDesktopServices::openUrl(url);
}

void ShellOpen(const QString& FileName)
{
    ExecuteFile(QStringLiteral("open"), FileName, QString());
}

// ---- Integer geometry for hit tests -----------------------------------------

uint8_t Orientation(const TPoint& P0, const TPoint& P1, const TPoint& P2)
{
    const int64_t cross = (int64_t(P1.x) - P0.x) * (int64_t(P2.y) - P0.y)
                        - (int64_t(P2.x) - P0.x) * (int64_t(P1.y) - P0.y);
    if (cross > 0)
        return 1;
    if (cross < 0)
        return 0;
    return 2;
}

uint8_t SegmentsIntersect(const TPoint& A1, const TPoint& A2, const TPoint& B1, const TPoint& B2)
{
    const uint8_t o1 = Orientation(A1, A2, B1);
    const uint8_t o2 = Orientation(A1, A2, B2);
    if (o1 != o2)
        return Orientation(B1, B2, A1) != Orientation(B1, B2, A2) ? 1 : 0;
    return o1 == 2 ? 2 : 0;
}

TRect ExtendRectToPoint(const TPoint& P, const TRect& R)
{
    return {std::min(P.x, R.Left), std::min(P.y, R.Top), std::max(P.x, R.Right), std::max(P.y, R.Bottom)};
}

bool InRangeTol(int Value, int A, int B, int Tol)
{
    // In 64 bits so that a wide tolerance cannot overflow.
    const int64_t v = Value;
    return v >= int64_t(std::min(A, B)) - Tol && v <= int64_t(std::max(A, B)) + Tol;
}

bool InRangeUnordered(int Value, int A, int B)
{
    return Value >= std::min(A, B) && Value <= std::max(A, B);
}

bool PointsNear(const TPoint& P, const TPoint& Q, int Tol)
{
    return std::llabs(int64_t(Q.x) - P.x) < Tol && std::llabs(int64_t(Q.y) - P.y) < Tol;
}

bool PointNearSegment(const TPoint& P, const TPoint& A, const TPoint& B, int Tol)
{
    if (PointsNear(P, A, Tol) || PointsNear(P, B, Tol))
        return true;
    if (!InRangeTol(P.x, A.x, B.x, Tol) || !InRangeTol(P.y, A.y, B.y, Tol))
        return false;
    return NearLine(P, A, B, Tol);
}

float SqrSingle(float X)
{
    return X * X;
}

namespace {
// The line's coefficients are 32-bit integers that wrap on overflow.
int32_t Wrap32(int64_t v)
{
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}
} // namespace

bool NearLine(const TPoint& P, const TPoint& A, const TPoint& B, int Tol)
{
    const int32_t a = Wrap32(int64_t(B.y) - A.y);
    const int32_t b = Wrap32(int64_t(A.x) - B.x);
    const int32_t c = Wrap32(-int64_t(a) * A.x - int64_t(A.y) * b);
    const float norm = SqrSingle(float(a)) + SqrSingle(float(b));
    if (norm == 0.0f)
        return false;
    const int32_t n = Wrap32(int64_t(a) * P.x + int64_t(b) * P.y + c);
    const float d = SqrSingle(float(n)) / norm;
    return d < SqrSingle(float(Tol));
}

TRect NormalizeRect(const TRect& R)
{
    return {std::min(R.Left, R.Right), std::min(R.Top, R.Bottom), std::max(R.Left, R.Right),
            std::max(R.Top, R.Bottom)};
}

bool RectInsideRect(const TRect& Inner, const TRect& Outer)
{
    return PtInRect(Outer, Inner.TopLeft()) && PtInRect(Outer, Inner.BottomRight());
}

void SwapInt(int& A, int& B)
{
    std::swap(A, B);
}

std::array<TPoint, 4> RectToCorners(const TRect& R)
{
    return {TPoint{R.Left, R.Top}, TPoint{R.Right, R.Top}, TPoint{R.Right, R.Bottom},
            TPoint{R.Left, R.Bottom}};
}

// ---- Colours and sizes -----------------------------------------------------

TColor BlendColors(TColor C1, TColor C2, float Ratio)
{
    TColor result = 0;
    for (const TColor mask : {TColor(0x0000FF), TColor(0x00FF00), TColor(0xFF0000)}) {
        const TColor m1 = C1 & mask;
        const TColor m2 = C2 & mask;
        if (Ratio == 0.5f) {
            result += ((m1 + m2) / 2) & mask;
        } else {
            const double r = Ratio;
            const int v = RoundHalfEven((1.0 - r) * m1 + r * m2);
            result += static_cast<TColor>(v) & mask;
        }
    }
    return result;
}

double RelativePosition(double Value, double Low, double High)
{
    return (Value - Low) / (High - Low);
}

TSize FitSizeKeepAspect(const TSize& Src, const TSize& Box)
{
    if (Src.cx <= 0 || Src.cy <= 0)
        return {0, 0};
    TSize result{Box.cx, RoundHalfEven(double(Box.cx) / Src.cx * Src.cy)};
    if (result.cy > Box.cy)
        result = {RoundHalfEven(double(Box.cy) / Src.cy * Src.cx), Box.cy};
    return result;
}

TSize MakeSize(int Width, int Height)
{
    return {Width, Height};
}

// ---- Permutations ----------------------------------------------------------

namespace {
[[noreturn]] void NoPermutation(const TVariant& Target)
{
    throw EListError(QStringLiteral("PermutationToSwaps: the entries form no permutation "
                                    "(no entry can give up the place %1)")
                         .arg(Target.toString()));
}
} // namespace

namespace {
// PermutationToSwaps for integer entries with distinct sources. Each exchange
// of the general walk swaps the list places of the two entries together with
// their sources, so the place that holds a source never changes: one index
// built at the start finds every entry, and the walk stays linear where the
// general one searches the list for each step. The exchanges and the final
// order of the list come out as in the general walk. Empty when the entries
// do not qualify.
std::optional<TSwapList> IntPermutationToSwaps(TPermutList& List)
{
    std::vector<TPermutIntItem*> items(List.size());
    std::unordered_map<int32_t, size_t> placeOfSource;
    placeOfSource.reserve(List.size());
    for (size_t i = 0; i < List.size(); ++i) {
        items[i] = dynamic_cast<TPermutIntItem*>(List[i]);
        if (!items[i] || !placeOfSource.emplace(items[i]->Source, i).second)
            return std::nullopt;
    }
    TSwapList swaps;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        TPermutIntItem* cur = items[i];
        while (cur->Source != cur->Target) {
            const auto found = placeOfSource.find(cur->Target);
            // A target given twice would be met at an entry already in place.
            if (found == placeOfSource.end() || items[found->second]->Source == items[found->second]->Target) {
                std::copy(items.begin(), items.end(), List.begin());
                NoPermutation(TVariant(cur->Target));
            }
            const size_t j = found->second;
            TPermutIntItem* other = items[j];
            std::swap(cur->Source, other->Source);
            items[j] = cur;
            items[i] = other;
            swaps.push_back(std::make_unique<TSwapItem>(cur, other));
            cur = other;
        }
    }
    std::copy(items.begin(), items.end(), List.begin());
    return swaps;
}
} // namespace

std::unique_ptr<TSwapList> PermutationToSwaps(TPermutList* List)
{
    if (!List || List->empty())
        return nullptr;
    if (auto fast = IntPermutationToSwaps(*List))
        return std::make_unique<TSwapList>(std::move(*fast));
    auto swaps = std::make_unique<TSwapList>();
    TPermutList& list = *List;
    const std::ptrdiff_t count = static_cast<std::ptrdiff_t>(list.size());
    for (std::ptrdiff_t i = 0; i < count - 1; ++i) {
        TPermutItem* cur = list[size_t(i)];
        list.erase(list.begin() + i);
        while (!cur->SameValue(cur->GetSource(), cur->GetTarget())) {
            const TVariant target = cur->GetTarget();
            const auto found = std::find_if(list.begin(), list.end(), [&](TPermutItem* e) {
                return cur->SameValue(e->GetSource(), target);
            });
            // An entry that is already in place and holds the wanted position
            // means a target was given twice; exchanging with it would go
            // round for ever. Either way the list keeps every entry.
            if (found == list.end() || (*found)->SameValue((*found)->GetSource(), (*found)->GetTarget())) {
                list.insert(list.begin() + i, cur);
                NoPermutation(target);
            }
            const std::ptrdiff_t j = found - list.begin();
            TPermutItem* other = *found;
            list.erase(found);
            const TVariant otherSource = other->GetSource();
            other->SetSource(cur->GetSource());
            cur->SetSource(otherSource);
            list.insert(list.begin() + j, cur);
            list.insert(list.begin() + i, other);
            swaps->push_back(std::make_unique<TSwapItem>(cur, other));
            cur = other;
            list.erase(list.begin() + i);
        }
        list.insert(list.begin() + i, cur);
    }
    return swaps;
}

// ---- Windows -----------------------------------------------

void InvalidateLogicalRect(const TCanvas& DC, TCustomControl* Wnd, const TRect& R, bool Erase)
{
    if (Wnd)
        Wnd->InvalidateRect(DC.LPtoDP(R), Erase);
}

// ---- Message pumps for polling loops -------------------------------------------------

void ProcessMouseOrPaintMessage(QWidget* /*DlgWnd*/)
{
    MouseQueue::PumpMouseOrPaint();
}

void ProcessMouseMessages(int Count, QWidget* DlgWnd)
{
    for (int i = 0; i < Count; ++i)
        ProcessMouseOrPaintMessage(DlgWnd);
}
