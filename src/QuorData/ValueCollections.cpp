#include "QuorData/ValueCollections.h"

#include "platform/DialogService.h"

void TCluster::Clear()
{
    MemberCount = 0;
}

void TCluster::Add(int Member)
{
    Members.resize(static_cast<size_t>(MemberCount) + 1);
    Members.back() = Member;
    ++MemberCount;
}

void TCluster::Merge(TCluster& Other)
{
    if (MemberCount <= 0 || Other.Count() < 1)
        ShowMessage(QStringLiteral("try to merge 0 clusters"));
    for (int k = Other.Count() - 1; k >= 0; --k)
        Add(Other.Extract(k));
}

int TCluster::Extract(int i)
{
    if (i >= MemberCount || i < 0)
        return 0;
    const int result = Members[static_cast<size_t>(i)];
    if (i != MemberCount - 1)
        Members[static_cast<size_t>(i)] = Members[static_cast<size_t>(MemberCount) - 1];
    --MemberCount;
    Members.resize(static_cast<size_t>(MemberCount));
    return result;
}

void TCluster::SetCount(int n)
{
    MemberCount = n;
    Members.resize(static_cast<size_t>(std::max(0, n)));
}

void TSpecValue::Init(const QString& Value)
{
    FValue = Value;
    Indices.clear();
}

void TNotNumbers::Init(int ColumnIndex)
{
    Column = ColumnIndex;
    Values.clear();
}

void TNotNumbers::Add(const QString& Text, int Index)
{
    for (auto& v : Values) {
        if (v->GetValue() == Text) {
            v->AddIndex(Index);
            return;
        }
    }
    auto value = std::make_unique<TSpecValue>();
    value->Init(Text);
    value->AddIndex(Index);
    Values.push_back(std::move(value));
}
