#include "QuorDataClients/Hashes.h"

#include <QByteArray>

#include <utility>

// ---- THash ------------------------------------------------------------------

THash::THash() = default;

uint32_t THash::KeyHash(const QString& Key)
{
    if (Key.isEmpty())
        throw EHashInvalidKeyError(QStringLiteral("Key cannot be an empty string"));
    // The keys are 8-bit strings; a character beyond Latin-1 hashes as '?',
    // which can only make keys share a bucket, never confuse them.
    const QByteArray bytes = Key.toLatin1();
    uint32_t h = 0x12345670;
    for (const char c : bytes) {
        h = (h << 4) + static_cast<uint8_t>(c);
        const uint32_t g = h & 0xF0000000u;
        // The top bits stay set and are folded in with OR: the table's order
        // depends on exactly this.
        if (g != 0)
            h |= g >> 24;
    }
    return h;
}

THashRecord* THash::Find(const QString& Key, uint32_t Hash)
{
    for (THashRecord& record : FBuckets[Hash & BucketMask])
        if (record.Key == Key)
            return &record;
    return nullptr;
}

const THashRecord* THash::FindRecord(const QString& Key) const
{
    return const_cast<THash*>(this)->Find(Key, KeyHash(Key));
}

bool THash::Exists(const QString& Key) const
{
    return FindRecord(Key) != nullptr;
}

int THash::IndexOf(const QString& Key) const
{
    const THashRecord* record = FindRecord(Key);
    if (!record)
        throw EHashFindError(QStringLiteral("Key \"%1\" not found").arg(Key));
    return record->ItemIndex;
}

int THash::TakeIndex()
{
    int index;
    if (!FSpareIndices.empty()) {
        index = FSpareIndices.back();
        FSpareIndices.pop_back();
    } else {
        index = HighIndex() + 1;
    }
    if (index > HighIndex())
        SetCapacity(index + 1);
    return index;
}

void THash::AddRecord(const QString& Key, uint32_t Hash, int Index)
{
    FBuckets[Hash & BucketMask].push_back(THashRecord{Hash, Index, Key});
    FIteratorValid = false;
}

void THash::Delete(const QString& Key)
{
    FIteratorValid = false;
    const uint32_t hash = KeyHash(Key);
    std::vector<THashRecord>& bucket = FBuckets[hash & BucketMask];
    THashRecord* record = Find(Key, hash);
    if (!record)
        throw EHashFindError(QStringLiteral("Key \"%1\" not found").arg(Key));
    const int index = record->ItemIndex;
    // The bucket's last record takes the deleted one's place.
    *record = std::move(bucket.back());
    bucket.pop_back();
    DeleteData(index);
    FSpareIndices.push_back(index);
    const int spare = static_cast<int>(FSpareIndices.size());
    if (AutoCompact && spare >= 100 && 2 * HighIndex() > spare)
        Compact();
}

void THash::Compact()
{
    const int high = HighIndex();
    std::vector<bool> spare(static_cast<size_t>(high + 1), false);
    for (const int index : FSpareIndices)
        spare[size_t(index)] = true;
    std::vector<int> map(static_cast<size_t>(high + 1));
    for (int index = 0; index <= high; ++index)
        map[size_t(index)] = index;

    int i = 0;
    int last = high;
    while (last > i) {
        if (spare[size_t(i)]) {
            while (last > i && spare[size_t(last)])
                --last;
            if (last > i) {
                MoveData(last, i);
                spare[size_t(i)] = false;
                spare[size_t(last)] = true;
                map[size_t(last)] = i;
            }
        } else {
            ++i;
        }
    }

    int highestUsed = high;
    while (highestUsed >= 0 && spare[size_t(highestUsed)])
        --highestUsed;
    SetCapacity(highestUsed + 1);
    FSpareIndices.clear();

    for (std::vector<THashRecord>& bucket : FBuckets)
        for (THashRecord& record : bucket)
            record.ItemIndex = map[size_t(record.ItemIndex)];
}

void THash::Restart()
{
    FIterBucket = -1;
    FIterPos = 0;
    FIteratorValid = true;
    FIterKey.clear();
}

bool THash::Next()
{
    if (!FIteratorValid)
        throw EHashIterateError(
            QStringLiteral("Cannot get Next as the hash has been modified since Restart was called"));
    if (FIterBucket == -1) {
        FIterBucket = 0;
        FIterPos = 0;
    }
    while (FIterBucket <= HighBucket) {
        const std::vector<THashRecord>& bucket = FBuckets[size_t(FIterBucket)];
        if (static_cast<int>(bucket.size()) > FIterPos) {
            FIterKey = bucket[size_t(FIterPos)].Key;
            ++FIterPos;
            return true;
        }
        ++FIterBucket;
        FIterPos = 0;
    }
    return false;
}

QString THash::CurrentKey() const
{
    if (!FIteratorValid)
        throw EHashIterateError(QStringLiteral(
            "Cannot find CurrentKey as the hash has been modified since Restart was called"));
    // Keys are never empty, so an empty one means Next has not stepped yet.
    if (FIterKey.isEmpty())
        throw EHashIterateError(
            QStringLiteral("Cannot find CurrentKey as Next has not yet been called after Restart"));
    return FIterKey;
}

// ---- TStringHash ------------------------------------------------------------

QString TStringHash::Item(const QString& Key) const
{
    return FItems[size_t(IndexOf(Key))];
}

void TStringHash::SetItem(const QString& Key, const QString& Value)
{
    const uint32_t hash = KeyHash(Key);
    if (const THashRecord* record = FindRecord(Key)) {
        FItems[size_t(record->ItemIndex)] = Value;
        return;
    }
    const int index = TakeIndex();
    FItems[size_t(index)] = Value;
    AddRecord(Key, hash, index);
}

void TStringHash::DeleteData(int Index)
{
    FItems[size_t(Index)].clear();
}

void TStringHash::MoveData(int Source, int Target)
{
    FItems[size_t(Target)] = FItems[size_t(Source)];
}

void TStringHash::SetCapacity(int Length)
{
    FItems.resize(size_t(Length));
}

void TStringHash::ClearData()
{
    FItems.clear();
}

int TStringHash::HighIndex() const
{
    return static_cast<int>(FItems.size()) - 1;
}

// ---- TObjectHash ------------------------------------------------------------

TObjectHash::~TObjectHash()
{
    ClearData();
}

void TObjectHash::FreeObject(TObject* Object) const
{
    if (FOwnsObjects)
        delete Object;
}

TObject* TObjectHash::Item(const QString& Key) const
{
    return FItems[size_t(IndexOf(Key))];
}

void TObjectHash::SetItem(const QString& Key, std::unique_ptr<TObject> Value)
{
    QUOR_ASSERT(FOwnsObjects, "SetItem: the table does not own its objects");
    Store(Key, Value.get());
    Value.release();
}

void TObjectHash::SetItem(const QString& Key, TObject* Value)
{
    QUOR_ASSERT(!FOwnsObjects, "SetItem: an owning table takes its objects only with their ownership");
    Store(Key, Value);
}

void TObjectHash::Store(const QString& Key, TObject* Value)
{
    const uint32_t hash = KeyHash(Key);
    if (const THashRecord* record = FindRecord(Key)) {
        TObject*& slot = FItems[size_t(record->ItemIndex)];
        // Storing the object the key already holds must not free it.
        TObject* previous = std::exchange(slot, Value);
        if (previous != Value)
            FreeObject(previous);
        return;
    }
    const int index = TakeIndex();
    AddRecord(Key, hash, index);
    FItems[size_t(index)] = Value;
}

void TObjectHash::DeleteData(int Index)
{
    // Taken out before it is freed, so that a destructor that looks at the
    // table finds no dangling reference.
    FreeObject(std::exchange(FItems[size_t(Index)], nullptr));
}

void TObjectHash::MoveData(int Source, int Target)
{
    FItems[size_t(Target)] = FItems[size_t(Source)];
}

void TObjectHash::SetCapacity(int Length)
{
    FItems.resize(size_t(Length), nullptr);
}

void TObjectHash::ClearData()
{
    std::vector<TObject*> items;
    items.swap(FItems);
    for (TObject* object : items)
        FreeObject(object);
}

int TObjectHash::HighIndex() const
{
    return static_cast<int>(FItems.size()) - 1;
}
