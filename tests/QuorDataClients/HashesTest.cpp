#include "QuorDataClients/Hashes.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {
// Shows the value indices, which decide recycling and compaction.
class ProbeHash : public TStringHash {
public:
    using TStringHash::HighIndex;
    using THash::SpareIndices;
    int ValueIndex(const QString& Key) const { return IndexOf(Key); }
};

// Counts its destructions.
class Tracked : public TObject {
public:
    explicit Tracked(int& freed) : Freed(freed) {}
    ~Tracked() override { ++Freed; }
    int& Freed;
};

QStringList IterationOrder(THash& hash)
{
    QStringList keys;
    hash.Restart();
    while (hash.Next())
        keys << hash.CurrentKey();
    return keys;
}

// Three different keys that share one bucket.
QStringList KeysInOneBucket()
{
    std::map<uint32_t, QStringList> buckets;
    for (int i = 0;; ++i) {
        const QString key = QStringLiteral("k%1").arg(i);
        QStringList& keys = buckets[THash::KeyHash(key) & THash::BucketMask];
        keys << key;
        if (keys.size() == 3)
            return keys;
    }
}

QString ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EHashError& e) {
        return e.ClassName() + QStringLiteral(": ") + e.Message();
    }
    return QString();
}
} // namespace

TEST(Hashes, HashFunctionFoldsTheTopBitsWithOr)
{
    EXPECT_EQ(THash::KeyHash(QStringLiteral("abc")), 0x456767C3u);
    EXPECT_EQ(THash::KeyHash(QStringLiteral("abc")) & THash::BucketMask, 67u);
    EXPECT_EQ(THash::BucketCount, 128);
    EXPECT_EQ(THash::KeyHash(QStringLiteral("DimEditor")) & THash::BucketMask,
              THash::KeyHash(QStringLiteral("DataActor")) & THash::BucketMask);
}

TEST(Hashes, EmptyKeyIsRefusedEverywhere)
{
    TStringHash strings;
    TObjectHash objects;
    const QString invalid = QStringLiteral("EHashInvalidKeyError: Key cannot be an empty string");
    EXPECT_EQ(ErrorOf([&] { strings.Exists(QString()); }), invalid);
    EXPECT_EQ(ErrorOf([&] { strings.Delete(QString()); }), invalid);
    EXPECT_EQ(ErrorOf([&] { strings.Item(QString()); }), invalid);
    EXPECT_EQ(ErrorOf([&] { strings.SetItem(QString(), QStringLiteral("x")); }), invalid);
    EXPECT_EQ(ErrorOf([&] { objects.Item(QString()); }), invalid);
    EXPECT_EQ(ErrorOf([&] { objects.SetItem(QString(), static_cast<TObject*>(nullptr)); }), invalid);
    EXPECT_THROW(THash::KeyHash(QString()), EHashInvalidKeyError);
}

TEST(Hashes, StoresReplacesAndDeletesByExactKey)
{
    TStringHash hash;
    hash.SetItem(QStringLiteral("abc"), QStringLiteral("one"));
    hash.SetItem(QStringLiteral("ABC"), QStringLiteral("two"));
    EXPECT_TRUE(hash.Exists(QStringLiteral("abc")));
    EXPECT_FALSE(hash.Exists(QStringLiteral("abcd")));
    EXPECT_EQ(hash.Item(QStringLiteral("abc")), QStringLiteral("one"));
    EXPECT_EQ(hash.Item(QStringLiteral("ABC")), QStringLiteral("two"));
    hash.SetItem(QStringLiteral("abc"), QStringLiteral("three"));
    EXPECT_EQ(hash.Item(QStringLiteral("abc")), QStringLiteral("three"));
    hash.Delete(QStringLiteral("abc"));
    EXPECT_FALSE(hash.Exists(QStringLiteral("abc")));
    EXPECT_EQ(ErrorOf([&] { hash.Item(QStringLiteral("abc")); }),
              QStringLiteral("EHashFindError: Key \"abc\" not found"));
    EXPECT_EQ(ErrorOf([&] { hash.Delete(QStringLiteral("abc")); }),
              QStringLiteral("EHashFindError: Key \"abc\" not found"));
}

TEST(Hashes, NextOnAnEmptyTableKeepsReturningFalse)
{
    TStringHash hash;
    hash.Restart();
    EXPECT_FALSE(hash.Next());
    EXPECT_FALSE(hash.Next());
    hash.SetItem(QStringLiteral("a"), QStringLiteral("1"));
    hash.Restart();
    EXPECT_TRUE(hash.Next());
    EXPECT_FALSE(hash.Next());
    EXPECT_FALSE(hash.Next());
}

TEST(Hashes, CurrentKeyNeedsAStepAndOutlivesTheEnd)
{
    TStringHash hash;
    hash.SetItem(QStringLiteral("a"), QStringLiteral("1"));
    hash.Restart();
    EXPECT_EQ(ErrorOf([&] { hash.CurrentKey(); }),
              QStringLiteral("EHashIterateError: Cannot find CurrentKey as Next has not yet been called after Restart"));
    ASSERT_TRUE(hash.Next());
    EXPECT_EQ(hash.CurrentKey(), QStringLiteral("a"));
    EXPECT_FALSE(hash.Next());
    EXPECT_EQ(hash.CurrentKey(), QStringLiteral("a"));
    hash.Restart();
    EXPECT_THROW(hash.CurrentKey(), EHashIterateError);
}

TEST(Hashes, AddingOrDeletingEndsTheIterationReplacingDoesNot)
{
    const QString nextError =
        QStringLiteral("EHashIterateError: Cannot get Next as the hash has been modified since Restart was called");
    TStringHash hash;
    EXPECT_EQ(ErrorOf([&] { hash.Next(); }), nextError); // no Restart yet
    hash.SetItem(QStringLiteral("a"), QStringLiteral("1"));
    hash.SetItem(QStringLiteral("b"), QStringLiteral("2"));

    hash.Restart();
    ASSERT_TRUE(hash.Next());
    hash.SetItem(QStringLiteral("a"), QStringLiteral("new"));
    hash.SetItem(QStringLiteral("b"), QStringLiteral("new"));
    EXPECT_NO_THROW(hash.CurrentKey());
    EXPECT_TRUE(hash.Next());

    hash.Restart();
    hash.SetItem(QStringLiteral("c"), QStringLiteral("3"));
    EXPECT_EQ(ErrorOf([&] { hash.Next(); }), nextError);
    EXPECT_EQ(ErrorOf([&] { hash.CurrentKey(); }),
              QStringLiteral("EHashIterateError: Cannot find CurrentKey as the hash has been modified since Restart was called"));

    hash.Restart();
    hash.Delete(QStringLiteral("c"));
    EXPECT_EQ(ErrorOf([&] { hash.Next(); }), nextError);

    // A failed Delete ends the iteration too; a failed lookup does not.
    hash.Restart();
    EXPECT_THROW(hash.Item(QStringLiteral("zz")), EHashFindError);
    EXPECT_NO_THROW(hash.Next());
    hash.Restart();
    EXPECT_THROW(hash.Delete(QStringLiteral("zz")), EHashFindError);
    EXPECT_THROW(hash.Next(), EHashIterateError);
}

TEST(Hashes, KeysOfOneBucketComeInAddingOrderAndDeletionMovesTheLast)
{
    const QStringList keys = KeysInOneBucket();
    TStringHash hash;
    for (const QString& key : keys)
        hash.SetItem(key, key);
    EXPECT_EQ(IterationOrder(hash), keys);
    hash.Delete(keys[0]);
    EXPECT_EQ(IterationOrder(hash), (QStringList{keys[2], keys[1]}));
    EXPECT_EQ(hash.Item(keys[2]), keys[2]);
}

TEST(Hashes, ClientKeysIterateInTheirFixedOrder)
{
    TStringHash hash;
    for (const char* key : {"SubSelection", "FormControl", "Action", "DimEditor", "PointEditor", "DataActor",
                            "ClusteringFrame", "ParallelCoordinates", "AndrewsCurves", "ScatterplotMatrix",
                            "PermutationMatrix"})
        hash.SetItem(QString::fromLatin1(key), QString());
    EXPECT_EQ(IterationOrder(hash),
              (QStringList{"ScatterplotMatrix", "PermutationMatrix", "ClusteringFrame", "ParallelCoordinates",
                           "FormControl", "SubSelection", "DimEditor", "DataActor", "AndrewsCurves", "PointEditor",
                           "Action"}));

    // Emptying the table one first key at a time visits every key once.
    QStringList removed;
    for (;;) {
        hash.Restart();
        if (!hash.Next())
            break;
        removed << hash.CurrentKey();
        hash.Delete(hash.CurrentKey());
    }
    EXPECT_EQ(removed.size(), 11);
    EXPECT_EQ(removed.first(), QStringLiteral("ScatterplotMatrix"));
    EXPECT_EQ(removed.last(), QStringLiteral("Action"));
}

TEST(Hashes, FreedValueIndicesAreReusedLastFirst)
{
    ProbeHash hash;
    hash.SetItem(QStringLiteral("a"), QStringLiteral("A"));
    hash.SetItem(QStringLiteral("b"), QStringLiteral("B"));
    hash.SetItem(QStringLiteral("c"), QStringLiteral("C"));
    hash.Delete(QStringLiteral("a"));
    hash.Delete(QStringLiteral("c"));
    EXPECT_EQ(hash.SpareIndices(), (std::vector<int>{0, 2}));
    hash.SetItem(QStringLiteral("d"), QStringLiteral("D"));
    EXPECT_EQ(hash.ValueIndex(QStringLiteral("d")), 2);
    hash.SetItem(QStringLiteral("e"), QStringLiteral("E"));
    EXPECT_EQ(hash.ValueIndex(QStringLiteral("e")), 0);
    hash.SetItem(QStringLiteral("f"), QStringLiteral("F"));
    EXPECT_EQ(hash.ValueIndex(QStringLiteral("f")), 3);
    EXPECT_EQ(hash.HighIndex(), 3);
    EXPECT_EQ(hash.Item(QStringLiteral("b")), QStringLiteral("B"));
    EXPECT_EQ(hash.Item(QStringLiteral("d")), QStringLiteral("D"));
}

TEST(Hashes, CompactsAfterOneHundredSpareIndices)
{
    ProbeHash hash;
    for (int i = 0; i < 150; ++i)
        hash.SetItem(QStringLiteral("key%1").arg(i), QStringLiteral("value%1").arg(i));
    // Free scattered indices, so that compaction has to move values down.
    int deleted = 0;
    for (int i = 0; i < 150 && deleted < 99; ++i)
        if (i % 3 != 1) {
            hash.Delete(QStringLiteral("key%1").arg(i));
            ++deleted;
        }
    EXPECT_EQ(hash.SpareIndices().size(), 99u);
    EXPECT_EQ(hash.HighIndex(), 149);
    hash.Delete(QStringLiteral("key149"));
    EXPECT_TRUE(hash.SpareIndices().empty());
    EXPECT_EQ(hash.HighIndex(), 49); // 50 keys left
    int held = 0;
    for (int i = 0; i < 149; ++i) {
        const QString key = QStringLiteral("key%1").arg(i);
        if (!hash.Exists(key))
            continue;
        ++held;
        EXPECT_EQ(hash.Item(key), QStringLiteral("value%1").arg(i));
        EXPECT_LE(hash.ValueIndex(key), 49);
    }
    EXPECT_EQ(held, 50);
    hash.SetItem(QStringLiteral("new"), QStringLiteral("N"));
    EXPECT_EQ(hash.ValueIndex(QStringLiteral("new")), 50);
}

TEST(Hashes, CompactingCanBeSwitchedOff)
{
    ProbeHash hash;
    hash.AutoCompact = false;
    for (int i = 0; i < 120; ++i)
        hash.SetItem(QStringLiteral("key%1").arg(i), QString::number(i));
    for (int i = 0; i < 110; ++i)
        hash.Delete(QStringLiteral("key%1").arg(i));
    EXPECT_EQ(hash.SpareIndices().size(), 110u);
    EXPECT_EQ(hash.HighIndex(), 119);
    EXPECT_EQ(hash.Item(QStringLiteral("key115")), QStringLiteral("115"));
}

TEST(Hashes, OwningObjectTableFreesWhatItGivesUp)
{
    int freed = 0;
    {
        TObjectHash hash(true);
        EXPECT_TRUE(hash.OwnsObjects());
        auto first = std::make_unique<Tracked>(freed);
        TObject* firstRaw = first.get();
        hash.SetItem(QStringLiteral("a"), std::move(first));
        hash.SetItem(QStringLiteral("b"), std::make_unique<Tracked>(freed));
        hash.SetItem(QStringLiteral("c"), std::make_unique<Tracked>(freed));
        EXPECT_EQ(hash.Item(QStringLiteral("a")), firstRaw);

        hash.Delete(QStringLiteral("a"));
        EXPECT_EQ(freed, 1);
        hash.SetItem(QStringLiteral("b"), std::make_unique<Tracked>(freed));
        EXPECT_EQ(freed, 2);
        hash.SetItem(QStringLiteral("d"), std::unique_ptr<TObject>());
        // A refused key frees the object handed over, and stores nothing.
        EXPECT_THROW(hash.SetItem(QString(), std::make_unique<Tracked>(freed)), EHashInvalidKeyError);
        EXPECT_EQ(freed, 3);
        // An owning table takes no object without its ownership.
        Tracked borrowed(freed);
        EXPECT_THROW(hash.SetItem(QStringLiteral("e"), &borrowed), EAssertionFailed);
        EXPECT_FALSE(hash.Exists(QStringLiteral("e")));
        EXPECT_EQ(freed, 3);
    }
    // b and c, and the borrowed object going out of scope.
    EXPECT_EQ(freed, 6);
}

TEST(Hashes, OwningObjectTableSurvivesCompaction)
{
    int freed = 0;
    {
        TObjectHash hash(true);
        for (int i = 0; i < 130; ++i)
            hash.SetItem(QStringLiteral("key%1").arg(i), std::make_unique<Tracked>(freed));
        TObject* kept = hash.Item(QStringLiteral("key129"));
        for (int i = 0; i < 100; ++i)
            hash.Delete(QStringLiteral("key%1").arg(i));
        EXPECT_EQ(freed, 100);
        EXPECT_EQ(hash.Item(QStringLiteral("key129")), kept);
    }
    EXPECT_EQ(freed, 130);
}

TEST(Hashes, BorrowingObjectTableFreesNothing)
{
    int freed = 0;
    Tracked a(freed), b(freed);
    {
        TObjectHash hash;
        EXPECT_FALSE(hash.OwnsObjects());
        hash.SetItem(QStringLiteral("a"), &a);
        hash.SetItem(QStringLiteral("a"), &b);
        hash.SetItem(QStringLiteral("b"), &a);
        hash.Delete(QStringLiteral("b"));
        EXPECT_EQ(hash.Item(QStringLiteral("a")), &b);
        // Handing over ownership needs an owning table.
        EXPECT_THROW(hash.SetItem(QStringLiteral("c"), std::make_unique<Tracked>(freed)), EAssertionFailed);
        EXPECT_FALSE(hash.Exists(QStringLiteral("c")));
        EXPECT_EQ(freed, 1); // only the refused object
    }
    EXPECT_EQ(freed, 1);
}
