#pragma once

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

// The member list of one cluster: data-item positions.
class TCluster {
public:
    void Clear();
    void Add(int Member);
    // Appends Other's members in reverse order and leaves Other empty.
    void Merge(TCluster& Other);
    int GetMember(int i) const { return FMembers[static_cast<size_t>(i)]; }
    // Removes member i, moving the last member into its place; 0 and no
    // change when i is not below GetMemberCount.
    int Extract(int i);
    int Count() const { return static_cast<int>(FMembers.size()); }
    void SetCount(int n);
    int GetMemberCount() const { return FMemberCount; }

private:
    std::vector<int> FMembers;
    int FMemberCount = 0;
};

// One non-numeric text of a column and the rows it occurs in.
class TSpecValue {
public:
    void Init(const QString& Value);
    QString GetValue() const { return FValue; }
    void AddIndex(int Index) { FIndices.push_back(Index); }
    const std::vector<int>& GetIndices() const { return FIndices; }

private:
    std::vector<int> FIndices;
    QString FValue;
};

// The distinct non-numeric texts met in one column, in the order first met.
class TNotNumbers {
public:
    void Init(int Column);
    // Registers Text at row Index; texts compare case-sensitively.
    void Add(const QString& Text, int Index);
    // Registers Later's texts and rows after these, as if each had been
    // added here in Later's order.
    void Append(const TNotNumbers& Later);
    int GetColumn() const { return FColumn; }
    int Count() const { return static_cast<int>(FValues.size()); }
    const TSpecValue& Value(int i) const { return *FValues[static_cast<size_t>(i)]; }

private:
    // The entry of Text, made at the end of the list when it is new.
    TSpecValue& Entry(const QString& Text);

    int FColumn = 0;
    std::vector<std::unique_ptr<TSpecValue>> FValues;
    // The entries by text, so that a column of many distinct texts is not
    // searched through for each one.
    QHash<QString, TSpecValue*> FIndex;
};
