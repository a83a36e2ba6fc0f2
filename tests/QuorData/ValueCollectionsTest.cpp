#include "QuorData/ValueCollections.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {
std::vector<int> MembersOf(const TCluster& c)
{
    std::vector<int> m;
    for (int i = 0; i < c.Count(); ++i)
        m.push_back(c.GetMember(i));
    return m;
}
} // namespace

TEST(Cluster, MergeAppendsInReverseAndEmptiesTheOther)
{
    ScopedResponder responder;
    TCluster a, b;
    a.Add(5);
    b.Add(1);
    b.Add(2);
    a.Merge(b);
    EXPECT_EQ(MembersOf(a), (std::vector<int>{5, 2, 1}));
    EXPECT_EQ(b.Count(), 0);
    EXPECT_TRUE(responder->Requests().empty());

    TCluster empty, other;
    other.Add(3);
    other.Add(4);
    empty.Merge(other);
    EXPECT_EQ(responder->Texts(), QStringList({"try to merge 0 clusters"}));
    EXPECT_EQ(MembersOf(empty), (std::vector<int>{4, 3}));
}

TEST(Cluster, ExtractMovesTheLastMemberIntoPlace)
{
    TCluster c;
    for (int m : {4, 7, 9})
        c.Add(m);
    EXPECT_EQ(c.Extract(0), 4);
    EXPECT_EQ(MembersOf(c), (std::vector<int>{9, 7}));
    EXPECT_EQ(c.Extract(2), 0);
    EXPECT_EQ(c.Extract(5), 0);
    EXPECT_EQ(MembersOf(c), (std::vector<int>{9, 7}));
    EXPECT_EQ(c.Extract(1), 7);
    EXPECT_EQ(c.GetMemberCount(), 1);
    c.SetCount(3);
    EXPECT_EQ(MembersOf(c), (std::vector<int>{9, 0, 0}));
    c.SetCount(0);
    EXPECT_EQ(c.Count(), 0);
}

TEST(NotNumbers, DistinctTextsCaseSensitive)
{
    TNotNumbers n;
    n.Init(4);
    n.Add(QStringLiteral("x"), 3);
    n.Add(QStringLiteral("X"), 5);
    n.Add(QStringLiteral("x"), 8);
    EXPECT_EQ(n.GetColumn(), 4);
    ASSERT_EQ(n.Count(), 2);
    EXPECT_EQ(n.Value(0).GetValue(), QStringLiteral("x"));
    EXPECT_EQ(n.Value(0).GetIndices(), (std::vector<int>{3, 8}));
    EXPECT_EQ(n.Value(1).GetIndices(), (std::vector<int>{5}));
}

TEST(NotNumbers, AppendJoinsKnownTextsAndKeepsFirstMetOrder)
{
    TNotNumbers first, later;
    first.Init(1);
    later.Init(1);
    first.Add(QStringLiteral("b"), 9);
    later.Add(QStringLiteral("c"), 4);
    later.Add(QStringLiteral("b"), 3);
    later.Add(QStringLiteral("c"), 2);
    first.Append(later);
    first.Add(QStringLiteral("c"), 1);
    ASSERT_EQ(first.Count(), 2);
    EXPECT_EQ(first.Value(0).GetValue(), QStringLiteral("b"));
    EXPECT_EQ(first.Value(0).GetIndices(), (std::vector<int>{9, 3}));
    EXPECT_EQ(first.Value(1).GetIndices(), (std::vector<int>{4, 2, 1}));
    // A new start forgets the texts met before it.
    first.Init(2);
    first.Add(QStringLiteral("c"), 0);
    ASSERT_EQ(first.Count(), 1);
    EXPECT_EQ(first.Value(0).GetIndices(), (std::vector<int>{0}));
}
