#include "QuorData/ValueCollections.h"

#include "platform/DialogService.h"

void TCluster::Clear()
{
    FMemberCount = 0;
}

void TCluster::Add(int Member)
{
    FMembers.resize(static_cast<size_t>(FMemberCount) + 1);
    FMembers.back() = Member;
    ++FMemberCount;
}

void TCluster::Merge(TCluster& Other)
{
    if (FMemberCount <= 0 || Other.Count() < 1)
        ShowMessage(QStringLiteral("try to merge 0 clusters"));
    for (int k = Other.Count() - 1; k >= 0; --k)
        Add(Other.Extract(k));
}

int TCluster::Extract(int i)
{
    if (i >= FMemberCount || i < 0)
        return 0;
    const int result = FMembers[static_cast<size_t>(i)];
    if (i != FMemberCount - 1)
        FMembers[static_cast<size_t>(i)] = FMembers[static_cast<size_t>(FMemberCount) - 1];
    --FMemberCount;
    FMembers.resize(static_cast<size_t>(FMemberCount));
    return result;
}

void TCluster::SetCount(int n)
{
    FMemberCount = n;
    FMembers.resize(static_cast<size_t>(std::max(0, n)));
}

void TSpecValue::Init(const QString& Value)
{
    FValue = Value;
    FIndices.clear();
}

void TNotNumbers::Init(int ColumnIndex)
{
    FColumn = ColumnIndex;
    FValues.clear();
    FIndex.clear();
}

TSpecValue& TNotNumbers::Entry(const QString& Text)
{
    TSpecValue*& entry = FIndex[Text];
    if (!entry) {
        auto value = std::make_unique<TSpecValue>();
        value->Init(Text);
        try {
            FValues.push_back(std::move(value));
        } catch (...) {
            FIndex.remove(Text);
            throw;
        }
        entry = FValues.back().get();
    }
    return *entry;
}

void TNotNumbers::Add(const QString& Text, int Index)
{
    Entry(Text).AddIndex(Index);
}

void TNotNumbers::Append(const TNotNumbers& Later)
{
    for (const auto& later : Later.FValues) {
        TSpecValue& value = Entry(later->GetValue());
        for (int index : later->GetIndices())
            value.AddIndex(index);
    }
}
