#pragma once

#include "platform/Exceptions.h"
#include "platform/Object.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

QUORBEL_DECLARE_EXCEPTION(EHashError, Exception)
// The empty string given as a key.
QUORBEL_DECLARE_EXCEPTION(EHashInvalidKeyError, EHashError)
// A key that is not held, given to Delete or a value read.
QUORBEL_DECLARE_EXCEPTION(EHashFindError, EHashError)
// Next or CurrentKey when the iteration is not (or no longer) standing on a key.
QUORBEL_DECLARE_EXCEPTION(EHashIterateError, EHashError)

// One key: its hash and the index of its value in the subclass's value array.
struct THashRecord {
    uint32_t Hash = 0;
    int ItemIndex = 0;
    QString Key;
};

// A string-keyed table with a fixed set of 128 buckets. The base keeps the
// keys and the iteration; a subclass keeps the values in an array that it
// alone knows, reached through the virtual operations below. The iteration
// order (bucket by bucket, within a bucket in adding order) is observable:
// the client manager lists its clients in it.
class THash {
public:
    THash();
    virtual ~THash() = default;
    THash(const THash&) = delete;
    THash& operator=(const THash&) = delete;

    // The key's hash: 0x12345670, then per 8-bit character shift left by 4
    // and add it, folding the top four bits back with OR. Raises
    // EHashInvalidKeyError for the empty key.
    static uint32_t KeyHash(const QString& Key);

    bool Exists(const QString& Key) const;
    // Removes the key and releases its value; ends any iteration, even when
    // the key is not held (EHashFindError).
    void Delete(const QString& Key);

    // Iteration: Restart, then Next until it returns False; adding or
    // deleting a key ends it, replacing a value does not.
    void Restart();
    bool Next();
    QString CurrentKey() const;

    // Compact the value array from Delete once many indices are free.
    bool AutoCompact = true;

    static constexpr int BucketExponent = 7;
    static constexpr int BucketCount = 1 << BucketExponent;
    static constexpr uint32_t BucketMask = BucketCount - 1;
    static constexpr int HighBucket = BucketCount - 1;

protected:
    // The value array, kept by the subclass.
    virtual void DeleteData(int Index) = 0;
    virtual void MoveData(int Source, int Target) = 0;
    virtual void SetCapacity(int Length) = 0;
    virtual void ClearData() = 0;
    virtual int HighIndex() const = 0;

    // The key's record, nullptr when the key is not held.
    const THashRecord* FindRecord(const QString& Key) const;
    // The value index of a held key; EHashFindError otherwise.
    int IndexOf(const QString& Key) const;
    // A value index for a new key: the last freed one, or one past the end
    // (lengthening the value array).
    int TakeIndex();
    // Records a new key whose value is stored at Index; ends any iteration.
    void AddRecord(const QString& Key, uint32_t Hash, int Index);

    const std::vector<int>& SpareIndices() const { return FSpareIndices; }

private:
    THashRecord* Find(const QString& Key, uint32_t Hash);
    void Compact();

    std::array<std::vector<THashRecord>, BucketCount> FBuckets;
    std::vector<int> FSpareIndices;
    bool FIteratorValid = false;
    QString FIterKey;
    int FIterBucket = -1;
    int FIterPos = 0;
};

// One string per key.
class TStringHash : public THash {
public:
    // EHashFindError when the key is not held.
    QString Item(const QString& Key) const;
    // Replaces the value of a held key or adds the key.
    void SetItem(const QString& Key, const QString& Value);

protected:
    void DeleteData(int Index) override;
    void MoveData(int Source, int Target) override;
    void SetCapacity(int Length) override;
    void ClearData() override;
    int HighIndex() const override;

private:
    std::vector<QString> FItems;
};

// One object per key. An owning table frees the object of a deleted key, the
// object a held key gives up for a new one, and every object it holds when it
// is destroyed; a borrowing table frees none.
class TObjectHash : public THash {
public:
    explicit TObjectHash(bool AOwnsObjects = false) : FOwnsObjects(AOwnsObjects) {}
    ~TObjectHash() override;

    bool OwnsObjects() const { return FOwnsObjects; }

    // The object of the key, still held by the table; EHashFindError when
    // the key is not held.
    TObject* Item(const QString& Key) const;
    // Hands the object to an owning table (asserted); when the key is
    // refused the object is freed here.
    void SetItem(const QString& Key, std::unique_ptr<TObject> Value);
    // Stores a borrowed object in a borrowing table (asserted).
    void SetItem(const QString& Key, TObject* Value);

protected:
    void DeleteData(int Index) override;
    void MoveData(int Source, int Target) override;
    void SetCapacity(int Length) override;
    void ClearData() override;
    int HighIndex() const override;

private:
    // Stores the object under the key; nothing is stored when it raises.
    void Store(const QString& Key, TObject* Value);
    void FreeObject(TObject* Object) const;

    std::vector<TObject*> FItems;
    bool FOwnsObjects;
};
