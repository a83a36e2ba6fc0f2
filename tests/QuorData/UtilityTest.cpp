#include "QuorData/Utility.h"

#include "QuorData/QuorData.h"

#include "platform/Exceptions.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <set>

// ---- Classes ----------------------------------------------------------------

TEST(Utility, CommonAncestorClassOfEventClasses)
{
    const auto dimSel = TQuorDataEventDimSelectionChange::Create();
    const auto dimSel2 = TQuorDataEventDimSelectionChange::Create(1);
    const auto dimMods = TQuorDataEventDimModifications::Create();
    const auto pointExch = TQuorDataEventPointExchange::Create();
    const auto live = TQDCELiveTracking::Create();
    const TObject plain;
    EXPECT_EQ(CommonAncestorClass(dimSel.get(), dimSel2.get()), TQuorDataEventDimSelectionChange::StaticClass());
    EXPECT_EQ(CommonAncestorClass(dimSel.get(), dimMods.get()), TQuorDataEventDimModifications::StaticClass());
    EXPECT_EQ(CommonAncestorClass(dimMods.get(), dimSel.get()), TQuorDataEventDimModifications::StaticClass());
    EXPECT_EQ(CommonAncestorClass(pointExch.get(), dimSel.get()), TQuorDataEventValueChange::StaticClass());
    EXPECT_EQ(CommonAncestorClass(live.get(), dimSel.get()), TQuorDataEventBase::StaticClass());
    EXPECT_EQ(CommonAncestorClass(&plain, dimSel.get()), TObject::StaticClass());
}

// ---- Shell ----------------------------------------------------------------

namespace {
// Catches what the desktop would be asked to open, so no program starts.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher()
    {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};
} // namespace

TEST(Utility, ShellOpenTurnsALocalFileIntoAFileUrl)
{
    UrlCatcher catcher;
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    ShellOpen(file.fileName());
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_TRUE(catcher.urls[0].isLocalFile());
    EXPECT_EQ(catcher.urls[0].toLocalFile(), QFileInfo(file.fileName()).absoluteFilePath());
}

TEST(Utility, ShellOpenPassesAddressesOn)
{
    UrlCatcher catcher;
    ShellOpen(QStringLiteral("https://example.org/quorbel?x=1"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0], QUrl(QStringLiteral("https://example.org/quorbel?x=1")));
}

TEST(Utility, ExecuteFileIgnoresOperationsTheDesktopCannotCarryOut)
{
    UrlCatcher catcher;
    ExecuteFile(QStringLiteral("print"), QStringLiteral("https://example.org/"), QString());
    EXPECT_TRUE(catcher.urls.isEmpty());
    ExecuteFile(QStringLiteral("OPEN"), QStringLiteral("https://example.org/"), QStringLiteral("-x"));
    EXPECT_EQ(catcher.urls.size(), 1);
}

// ---- Integer geometry -------------------------------------------------------

TEST(Utility, OrientationIsTheSignOfTheCrossProductIn64Bits)
{
    EXPECT_EQ(Orientation({0, 0}, {10, 0}, {5, 5}), 1);
    EXPECT_EQ(Orientation({0, 0}, {10, 0}, {5, -5}), 0);
    EXPECT_EQ(Orientation({0, 0}, {10, 0}, {20, 0}), 2);
    // The products exceed 32 bits.
    EXPECT_EQ(Orientation({-2000000000, 0}, {2000000000, 0}, {0, 2000000000}), 1);
    EXPECT_EQ(Orientation({-2000000000, -2000000000}, {2000000000, 2000000000}, {0, 0}), 2);
}

TEST(Utility, SegmentsIntersect)
{
    EXPECT_EQ(SegmentsIntersect({0, 0}, {10, 10}, {0, 10}, {10, 0}), 1); // crossing
    // Touching at an end point with the other ends on opposite sides.
    EXPECT_EQ(SegmentsIntersect({0, 0}, {10, 0}, {5, 0}, {5, 5}), 1);
    // Collinear counts as 2 whether or not the segments overlap.
    EXPECT_EQ(SegmentsIntersect({0, 0}, {1, 0}, {5, 0}, {9, 0}), 2);
    EXPECT_EQ(SegmentsIntersect({0, 0}, {6, 0}, {5, 0}, {9, 0}), 2);
    EXPECT_EQ(SegmentsIntersect({0, 0}, {10, 0}, {0, 1}, {10, 1}), 0); // parallel
    EXPECT_EQ(SegmentsIntersect({0, 0}, {10, 10}, {20, 0}, {12, 9}), 0); // lines cross beyond
}

TEST(Utility, RectangleHelpers)
{
    EXPECT_EQ(ExtendRectToPoint({-5, 50}, Rect(0, 0, 10, 10)), Rect(-5, 0, 10, 50));
    EXPECT_EQ(ExtendRectToPoint({5, 5}, Rect(0, 0, 10, 10)), Rect(0, 0, 10, 10));
    EXPECT_EQ(NormalizeRect(Rect(10, 20, 0, 5)), Rect(0, 5, 10, 20));
    EXPECT_TRUE(RectInsideRect(Rect(1, 1, 9, 9), Rect(0, 0, 10, 10)));
    // The bottom-right corner is tested like a point, so it must lie inside.
    EXPECT_FALSE(RectInsideRect(Rect(0, 0, 10, 10), Rect(0, 0, 10, 10)));
    EXPECT_FALSE(RectInsideRect(Rect(-1, 1, 9, 9), Rect(0, 0, 10, 10)));
    const auto corners = RectToCorners(Rect(1, 2, 3, 4));
    EXPECT_EQ(corners[0], Point(1, 2));
    EXPECT_EQ(corners[1], Point(3, 2));
    EXPECT_EQ(corners[2], Point(3, 4));
    EXPECT_EQ(corners[3], Point(1, 4));
    int a = 1, b = 2;
    SwapInt(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
}

TEST(Utility, RangesIncludeTheirEndsInEitherOrder)
{
    EXPECT_TRUE(InRangeUnordered(5, 10, 5));
    EXPECT_TRUE(InRangeUnordered(10, 10, 5));
    EXPECT_FALSE(InRangeUnordered(11, 10, 5));
    EXPECT_TRUE(InRangeTol(13, 10, 5, 3));
    EXPECT_TRUE(InRangeTol(2, 10, 5, 3));
    EXPECT_FALSE(InRangeTol(14, 10, 5, 3));
    EXPECT_TRUE(InRangeTol(INT32_MAX, INT32_MAX - 1, 0, 2)); // no overflow at the edge
}

TEST(Utility, PointsNearIsStrict)
{
    EXPECT_TRUE(PointsNear({0, 0}, {2, -2}, 3));
    EXPECT_FALSE(PointsNear({0, 0}, {3, 0}, 3));
    EXPECT_FALSE(PointsNear({0, 0}, {0, -3}, 3));
}

TEST(Utility, NearLineMeasuresTheDistanceToTheWholeLine)
{
    EXPECT_TRUE(NearLine({50, 2}, {0, 0}, {100, 0}, 3));
    EXPECT_FALSE(NearLine({50, 3}, {0, 0}, {100, 0}, 3)); // exactly Tol away is not near
    EXPECT_TRUE(NearLine({500, 1}, {0, 0}, {100, 0}, 3));  // beyond the end points
    // (10, 0) lies sqrt(50) ~ 7.07 from the diagonal.
    EXPECT_TRUE(NearLine({10, 0}, {0, 0}, {100, 100}, 8));
    EXPECT_FALSE(NearLine({10, 0}, {0, 0}, {100, 100}, 7));
}

TEST(Utility, NearLineOfAZeroLengthLineIsFalse)
{
    EXPECT_FALSE(NearLine({5, 5}, {5, 5}, {5, 5}, 10));
    EXPECT_FALSE(NearLine({6, 5}, {5, 5}, {5, 5}, 10));
    EXPECT_FLOAT_EQ(SqrSingle(1.5f), 2.25f);
}

TEST(Utility, PointNearSegment)
{
    EXPECT_TRUE(PointNearSegment({1, 1}, {0, 0}, {0, 0}, 3)); // near an end of a point-like segment
    EXPECT_TRUE(PointNearSegment({50, 52}, {0, 0}, {100, 100}, 3));
    EXPECT_FALSE(PointNearSegment({50, 60}, {0, 0}, {100, 100}, 3));
    EXPECT_FALSE(PointNearSegment({500, 1}, {0, 0}, {100, 0}, 3)); // near the line, outside the segment
    EXPECT_TRUE(PointNearSegment({102, 1}, {0, 0}, {100, 0}, 3));
}

// ---- Colours and sizes -----------------------------------------------------

TEST(Utility, BlendColorsAtTheEndsGivesEitherColour)
{
    const TColor c1 = RGB(51, 102, 204), c2 = RGB(255, 255, 255);
    EXPECT_EQ(BlendColors(c1, c2, 0.0f), c1);
    EXPECT_EQ(BlendColors(c1, c2, 1.0f), c2);
}

TEST(Utility, BlendColorsAtOneHalfDropsTheFraction)
{
    // The pale tint of a value colour.
    EXPECT_EQ(BlendColors(RGB(51, 102, 204), RGB(255, 255, 255), 0.5f), RGB(153, 178, 229));
    const TColor c1 = RGB(1, 1, 1), c2 = RGB(2, 2, 2);
    EXPECT_EQ(BlendColors(c1, c2, 0.5f), RGB(1, 1, 1));
    // Just above one half the sum is rounded as a whole, so the red channel,
    // which sits in the low byte, goes to the nearer integer.
    const float above = std::nextafter(0.5f, 1.0f);
    EXPECT_EQ(GetRValue(BlendColors(c1, c2, above)), 2);
}

TEST(Utility, BlendColorsRoundsTheWeightedSumHalfToEvenThenMasks)
{
    // Red 10 x 0.25 = 2.5 rounds to 2; x 0.75 = 7.5 to 8. Green and blue
    // keep their byte place, so their fractions fall below the mask.
    EXPECT_EQ(BlendColors(RGB(0, 0, 0), RGB(10, 10, 10), 0.25f), RGB(2, 2, 2));
    EXPECT_EQ(BlendColors(RGB(0, 0, 0), RGB(10, 10, 10), 0.75f), RGB(8, 7, 7));
    EXPECT_EQ(BlendColors(RGB(255, 255, 255), RGB(0, 0, 0), 0.3f), RGB(178, 178, 178));
}

TEST(Utility, RelativePosition)
{
    EXPECT_DOUBLE_EQ(RelativePosition(15, 10, 30), 0.25);
    EXPECT_DOUBLE_EQ(RelativePosition(5, 10, 30), -0.25);
}

TEST(Utility, FitSizeKeepAspect)
{
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(200, 100), MakeSize(100, 100)), MakeSize(100, 50));
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(200, 100), MakeSize(300, 100)), MakeSize(200, 100));
    // Halves go to the even integer: 2.5 -> 2, 7.5 -> 8.
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(4, 1), MakeSize(10, 10)), MakeSize(10, 2));
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(4, 3), MakeSize(10, 10)), MakeSize(10, 8));
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(1, 4), MakeSize(10, 10)), MakeSize(2, 10));
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(3, 4), MakeSize(10, 10)), MakeSize(8, 10));
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(0, 100), MakeSize(10, 10)), MakeSize(0, 0));
    EXPECT_EQ(FitSizeKeepAspect(MakeSize(100, 0), MakeSize(10, 10)), MakeSize(0, 0));
}

// ---- Permutations ----------------------------------------------------------

namespace {
// Entries named after their elements, made from (source, target) pairs.
struct Perm {
    std::vector<std::unique_ptr<TPermutIntItem>> items;
    TPermutList list;

    explicit Perm(const std::vector<std::pair<int, int>>& moves)
    {
        for (const auto& [source, target] : moves) {
            auto item = std::make_unique<TPermutIntItem>();
            item->Source = source;
            item->Target = target;
            list.push_back(item.get());
            items.push_back(std::move(item));
        }
    }
    TPermutItem* operator[](size_t i) const { return items[i].get(); }
};

// Carries out the exchanges on elements standing at the entries' starting
// Sources; returns which entry stands at each place afterwards.
std::vector<const TPermutItem*> Apply(const Perm& perm, const std::vector<int>& sources, const TSwapList& swaps)
{
    std::vector<const TPermutItem*> places(perm.items.size());
    std::map<const TPermutItem*, int> where;
    for (size_t i = 0; i < perm.items.size(); ++i) {
        places[size_t(sources[i])] = perm[i];
        where[perm[i]] = sources[i];
    }
    for (const auto& s : swaps) {
        const int a = where[s->GetFirst()], b = where[s->GetSecond()];
        std::swap(places[size_t(a)], places[size_t(b)]);
        std::swap(where[s->GetFirst()], where[s->GetSecond()]);
    }
    return places;
}
} // namespace

TEST(PermutationToSwaps, NoListOrAnEmptyListGivesNoList)
{
    EXPECT_EQ(PermutationToSwaps(nullptr), nullptr);
    TPermutList empty;
    EXPECT_EQ(PermutationToSwaps(&empty), nullptr);
}

TEST(PermutationToSwaps, IdentityAndSingleEntryGiveEmptyLists)
{
    Perm identity({{0, 0}, {1, 1}, {2, 2}});
    auto swaps = PermutationToSwaps(&identity.list);
    ASSERT_NE(swaps, nullptr);
    EXPECT_TRUE(swaps->empty());

    Perm single({{4, 4}});
    swaps = PermutationToSwaps(&single.list);
    ASSERT_NE(swaps, nullptr);
    EXPECT_TRUE(swaps->empty());
}

TEST(PermutationToSwaps, ThreeCycleGivesTwoExchangesInOrder)
{
    // a, b, c at 0, 1, 2 must go to 2, 0, 1.
    Perm p({{0, 2}, {1, 0}, {2, 1}});
    TPermutItem* a = p[0];
    TPermutItem* b = p[1];
    TPermutItem* c = p[2];
    auto swaps = PermutationToSwaps(&p.list);
    ASSERT_NE(swaps, nullptr);
    ASSERT_EQ(swaps->size(), 2u);
    EXPECT_EQ((*swaps)[0]->First, a);
    EXPECT_EQ((*swaps)[0]->Second, c);
    EXPECT_EQ((*swaps)[1]->First, c);
    EXPECT_EQ((*swaps)[1]->Second, b);
    EXPECT_EQ(Apply(p, {0, 1, 2}, *swaps), (std::vector<const TPermutItem*>{b, c, a}));
    for (const auto& item : p.items)
        EXPECT_EQ(item->Source, item->Target);
    EXPECT_EQ(p.list.size(), 3u);
}

TEST(PermutationToSwaps, RealisesARandomPermutation)
{
    std::mt19937 rng(12345);
    for (int round = 0; round < 20; ++round) {
        const int n = 1 + int(rng() % 60);
        std::vector<int> sources(static_cast<size_t>(n)), targets(static_cast<size_t>(n));
        std::iota(sources.begin(), sources.end(), 100); // positions need not start at 0
        std::iota(targets.begin(), targets.end(), 100);
        std::shuffle(sources.begin(), sources.end(), rng);
        std::shuffle(targets.begin(), targets.end(), rng);
        std::vector<std::pair<int, int>> moves;
        for (size_t i = 0; i < size_t(n); ++i)
            moves.emplace_back(sources[i], targets[i]);
        Perm p(moves);
        auto swaps = PermutationToSwaps(&p.list);
        ASSERT_NE(swaps, nullptr);
        EXPECT_LE(swaps->size(), size_t(n - 1));
        // Rebase the positions to 0 for Apply.
        std::vector<int> rebased(sources);
        for (int& s : rebased)
            s -= 100;
        const auto places = Apply(p, rebased, *swaps);
        for (size_t i = 0; i < size_t(n); ++i)
            EXPECT_EQ(places[size_t(targets[i] - 100)], p[i]) << "round " << round;
        for (const auto& item : p.items)
            EXPECT_EQ(item->Source, item->Target);
        EXPECT_EQ(p.list.size(), size_t(n));
    }
}

TEST(PermutationToSwaps, FailsWithAListErrorOnNoPermutation)
{
    // Target 7 is nobody's source.
    Perm missing({{0, 1}, {1, 7}, {2, 0}});
    EXPECT_THROW(PermutationToSwaps(&missing.list), EListError);
    // The list still holds every entry.
    EXPECT_EQ(std::set<TPermutItem*>(missing.list.begin(), missing.list.end()).size(), 3u);

    // Target 1 twice: must fail rather than exchange for ever.
    Perm twice({{0, 1}, {1, 1}, {2, 0}});
    EXPECT_THROW(PermutationToSwaps(&twice.list), EListError);
    EXPECT_EQ(std::set<TPermutItem*>(twice.list.begin(), twice.list.end()).size(), 3u);
}

namespace {
// An entry that is no integer entry, so that it takes the general walk.
class TVariantItem : public TPermutItem {
public:
    TVariant GetSource() const override { return Source; }
    TVariant GetTarget() const override { return Target; }
    void SetSource(const TVariant& Value) override { Source = Value; }
    void SetTarget(const TVariant& Value) override { Target = Value; }
    bool SameValue(const TVariant& V1, const TVariant& V2) const override { return V1 == V2; }
    TVariant Source, Target;
};
} // namespace

// Integer entries are walked through an index: the exchanges and the final
// order of the list must be those of the general walk.
TEST(PermutationToSwaps, IntegerEntriesGiveTheExchangesOfTheGeneralWalk)
{
    std::mt19937 rng(777);
    for (int round = 0; round < 30; ++round) {
        const int n = 1 + int(rng() % 80);
        std::vector<int> sources(size_t(n), 0), targets(size_t(n), 0);
        std::iota(sources.begin(), sources.end(), -5);
        std::iota(targets.begin(), targets.end(), -5);
        std::shuffle(sources.begin(), sources.end(), rng);
        // Some rounds are nearly in order, as after sorting a sorted range.
        if (round % 3 == 0)
            targets = sources, std::swap(targets[0], targets[size_t(n) / 2]);
        else
            std::shuffle(targets.begin(), targets.end(), rng);
        std::vector<std::pair<int, int>> moves;
        std::vector<std::unique_ptr<TVariantItem>> general;
        TPermutList generalList;
        for (size_t i = 0; i < size_t(n); ++i) {
            moves.emplace_back(sources[i], targets[i]);
            general.push_back(std::make_unique<TVariantItem>());
            general.back()->Source = TVariant(int32_t(sources[i]));
            general.back()->Target = TVariant(int32_t(targets[i]));
            generalList.push_back(general.back().get());
        }
        Perm fast(moves);
        auto fastSwaps = PermutationToSwaps(&fast.list);
        auto generalSwaps = PermutationToSwaps(&generalList);
        // Entries are compared by their place in the input.
        auto indexOf = [](const auto& owned, const TPermutItem* e) {
            for (size_t i = 0; i < owned.size(); ++i)
                if (owned[i].get() == e)
                    return int(i);
            return -1;
        };
        ASSERT_EQ(fastSwaps->size(), generalSwaps->size()) << "round " << round;
        for (size_t k = 0; k < fastSwaps->size(); ++k) {
            EXPECT_EQ(indexOf(fast.items, (*fastSwaps)[k]->First), indexOf(general, (*generalSwaps)[k]->First));
            EXPECT_EQ(indexOf(fast.items, (*fastSwaps)[k]->Second), indexOf(general, (*generalSwaps)[k]->Second));
        }
        for (size_t i = 0; i < size_t(n); ++i)
            EXPECT_EQ(indexOf(fast.items, fast.list[i]), indexOf(general, generalList[i])) << "round " << round;
    }
}

TEST(PermutationToSwaps, IntItemsConvertVariants)
{
    TPermutIntItem item;
    item.SetSource(TVariant(int32_t(3)));
    item.SetTarget(TVariant(4.0));
    EXPECT_EQ(item.GetSource(), TVariant(int32_t(3)));
    EXPECT_EQ(item.GetTarget().type(), TVariant::Type::Integer);
    EXPECT_EQ(item.Target, 4);
    EXPECT_TRUE(item.SameValue(TVariant(int32_t(2)), TVariant(2.0)));
    EXPECT_FALSE(item.SameValue(TVariant(int32_t(2)), TVariant(int32_t(3))));
    EXPECT_THROW(item.SetSource(TVariant("x")), EVariantError);
}

#include "UtilityTest.moc"
