#pragma once

// Data clients for tests and benchmarks. Header-only, so that the benchmarks
// can use it without linking the test support library. The no-op data
// client is TQuorNoOpDataClient (QuorData.h): derive from it together with
// TObject and override only the notices a test watches.

#include "QuorData/QuorData.h"

#include <QString>
#include <QStringList>

#include <functional>

// Notes every call it receives as one line: the operation's name and its
// arguments ("PointSelectionChange 3 true"), "BeginEvents", "EndEvents", and
// "CustomEvent <class>" (with the concerned recorder's name for client
// events, the block or "cleared" for sub-selections). Recorders given one shared log write there too, each line led by
// the recorder's name, so that a test sees the order across clients. Hooks
// let a test act from inside a delivery.
class TRecordingDataClient : public TObject, public IQuorDataClient {
public:
    explicit TRecordingDataClient(QString AName = {}, QStringList* ASharedLog = nullptr)
        : Name(std::move(AName)), SharedLog(ASharedLog) {}

    void BeginEvents() override
    {
        Add(QStringLiteral("BeginEvents"));
        if (OnBegin)
            OnBegin();
    }
    void EndEvents() override
    {
        ++Deliveries;
        Add(QStringLiteral("EndEvents"));
        if (OnEnd)
            OnEnd();
    }
    void PointModifications(TData* D, TObject* A) override { Note(D, A, "PointModifications"); }
    void PointColorChange(TData* D, TObject* A, int P) override { Note(D, A, "PointColorChange", P); }
    void PointSelectionChange(TData* D, TObject* A, int P, bool S) override
    {
        Note(D, A, "PointSelectionChange", P, Bool(S));
    }
    void PointVisibilityChange(TData* D, TObject* A, int P, bool V) override
    {
        Note(D, A, "PointVisibilityChange", P, Bool(V));
    }
    void PointExchange(TData* D, TObject* A, int X, int Y) override { Note(D, A, "PointExchange", X, Y); }
    void DimSelectionChange(TData* D, TObject* A, int Dim, bool S) override
    {
        Note(D, A, "DimSelectionChange", Dim, Bool(S));
    }
    void DimExchange(TData* D, TObject* A, int X, int Y) override { Note(D, A, "DimExchange", X, Y); }
    void DimMove(TData* D, TObject* A, int X, int Y) override { Note(D, A, "DimMove", X, Y); }
    void DimVisibilityChange(TData* D, TObject* A, int Dim, bool V) override
    {
        Note(D, A, "DimVisibilityChange", Dim, Bool(V));
    }
    void DimSliderChange(TData* D, TObject* A, int Dim) override { Note(D, A, "DimSliderChange", Dim); }
    void DimBoundChange(TData* D, TObject* A, int Dim) override { Note(D, A, "DimBoundChange", Dim); }
    void DimModifications(TData* D, TObject* A) override { Note(D, A, "DimModifications"); }
    void ValueChange(TData* D, TObject* A) override { Note(D, A, "ValueChange"); }
    void DataSrcChange(TData* D, TObject* A) override { Note(D, A, "DataSrcChange"); }
    void CustomEvent(TQuorDataCustomEvent* E) override
    {
        QString line = QStringLiteral("CustomEvent ") + QString::fromLatin1(E->ClassType()->Name());
        if (auto* c = dynamic_cast<TQDCEDataClientEvent*>(E)) {
            auto* concerned = dynamic_cast<TRecordingDataClient*>(c->Client);
            line += QLatin1Char(' ') + (concerned ? concerned->Name : QStringLiteral("?"));
        } else if (auto* sub = dynamic_cast<TQDCESubSelection*>(E)) {
            line += sub->Cleared ? QStringLiteral(" cleared")
                                 : QStringLiteral(" %1 %2 %3 %4")
                                       .arg(sub->FirstPoint)
                                       .arg(sub->LastPoint)
                                       .arg(sub->FirstDim)
                                       .arg(sub->LastDim);
        }
        Add(line);
        LastData = E->Data;
        LastActor = E->Actor;
        if (OnCustom)
            OnCustom(E);
    }

    QString Name;
    QStringList* SharedLog;
    QStringList Notices;
    int Deliveries = 0; // calls of EndEvents
    TData* LastData = nullptr;
    TObject* LastActor = nullptr;
    std::function<void()> OnBegin;
    std::function<void()> OnEnd;
    std::function<void(TQuorDataCustomEvent*)> OnCustom;
    std::function<void()> OnData;

    // The notices without the BeginEvents and EndEvents around them.
    QStringList Changes() const
    {
        QStringList changes;
        for (const QString& line : Notices)
            if (line != QLatin1String("BeginEvents") && line != QLatin1String("EndEvents"))
                changes << line;
        return changes;
    }
    // The number of notices of one operation, whatever their arguments.
    int Count(const QString& Operation) const
    {
        int count = 0;
        for (const QString& line : Notices)
            if (line == Operation || line.startsWith(Operation + QLatin1Char(' ')))
                ++count;
        return count;
    }

    // Forgets what it noted.
    void Clear()
    {
        Notices.clear();
        Deliveries = 0;
    }

protected:
    void Add(const QString& Line)
    {
        Notices << Line;
        if (SharedLog)
            *SharedLog << Name + QStringLiteral(": ") + Line;
    }

private:
    static QString Bool(bool B) { return B ? QStringLiteral("true") : QStringLiteral("false"); }
    template <typename... TArgs>
    void Note(TData* D, TObject* A, const char* What, const TArgs&... Args)
    {
        LastData = D;
        LastActor = A;
        QString line = QString::fromLatin1(What);
        ((line += QLatin1Char(' ') + Text(Args)), ...);
        Add(line);
        if (OnData)
            OnData();
    }
    static QString Text(int Value) { return QString::number(Value); }
    static QString Text(const QString& Value) { return Value; }
};
