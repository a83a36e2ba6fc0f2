#include "clustering/QuorDistance.h"

#include "QuorData/QuorData.h"
#include "platform/Exceptions.h"

#include <cmath>

void TMeasure::Init(TData* NewData)
{
    AllDims = false;
    if (!Data)
        Data = NewData;
}

double TMeasure::Distance(int, int)
{
    return 0.0;
}

void TMeasure::DistanceRow(int PointA, const int* PointsB, int Count, double* Out)
{
    for (int j = 0; j < Count; ++j)
        Out[j] = Distance(PointA, PointsB[j]);
}

void TMeasure::BeginRun()
{
    QUOR_ASSERT(Data, "BeginRun: measure has no data object");
    FRunDims = Data->DimCount();
    FRunPoints = Data->PointCount();
    FRunValues.resize(static_cast<size_t>(FRunDims) * static_cast<size_t>(FRunPoints));
    for (int p = 0; p < FRunPoints; ++p)
        for (int d = 0; d < FRunDims; ++d)
            FRunValues[static_cast<size_t>(p) * static_cast<size_t>(FRunDims) +
                      static_cast<size_t>(d)] = Data->GetValue(p, d);
    FRunCounted.clear();
    for (int d = 0; d < FRunDims; ++d)
        if (AllDims || !Data->IsDimHidden(d))
            FRunCounted.push_back(d);
    FRunning = true;
    PrepareRun();
}

void TMeasure::EndRun()
{
    FRunning = false;
    FRunValues = {};
    FRunCounted = {};
}

TMeasure::TPairValues TMeasure::ReadPair(int PointA, int PointB)
{
    QUOR_ASSERT(Data, "Distance: measure has no data object");
    TPairValues pair;
    if (FRunning) {
        pair.DimCount = FRunDims;
        pair.A = &FRunValues[static_cast<size_t>(PointA) * static_cast<size_t>(FRunDims)];
        pair.B = &FRunValues[static_cast<size_t>(PointB) * static_cast<size_t>(FRunDims)];
        pair.Counted = FRunCounted.data();
        pair.CountedCount = static_cast<int>(FRunCounted.size());
        return pair;
    }
    const int n = Data->DimCount();
    FScratchA.resize(static_cast<size_t>(n));
    FScratchB.resize(static_cast<size_t>(n));
    for (int d = 0; d < n; ++d) {
        FScratchA[static_cast<size_t>(d)] = Data->GetValue(PointA, d);
        FScratchB[static_cast<size_t>(d)] = Data->GetValue(PointB, d);
    }
    FScratchCounted.clear();
    for (int d = 0; d < n; ++d)
        if (AllDims || !Data->IsDimHidden(d))
            FScratchCounted.push_back(d);
    pair.DimCount = n;
    pair.A = FScratchA.data();
    pair.B = FScratchB.data();
    pair.Counted = FScratchCounted.data();
    pair.CountedCount = static_cast<int>(FScratchCounted.size());
    return pair;
}

int TMeasure::ValueDimCount() const
{
    QUOR_ASSERT(Data, "Distance: measure has no data object");
    return FRunning ? FRunDims : Data->DimCount();
}

std::vector<double> RangeWeights(TData& Data)
{
    const int n = Data.DimCount();
    std::vector<double> w(static_cast<size_t>(n));
    for (int d = 0; d < n; ++d)
        w[static_cast<size_t>(d)] = Data.GetDimMax(d) - Data.GetDimMin(d);
    // Dimension 0 goes last so that every other weight divides by its range.
    for (int d = n - 1; d >= 0; --d)
        w[static_cast<size_t>(d)] = w[0] / w[static_cast<size_t>(d)];
    return w;
}

namespace {
// The weights follow the dimension count at every distance: entries for
// dimensions added since Init are 0.
void FitWeights(std::vector<double>& Weights, int DimCount)
{
    if (Weights.size() != static_cast<size_t>(DimCount))
        Weights.resize(static_cast<size_t>(DimCount), 0.0);
}

// Weights: nullptr for the plain measures.
inline double EuclidOf(const TMeasure::TPairValues& v, const double* Weights)
{
    double sum = 0.0;
    for (int i = 0; i < v.CountedCount; ++i) {
        const int d = v.Counted[i];
        const double term = Weights ? (v.A[d] - v.B[d]) * Weights[d] : v.A[d] - v.B[d];
        sum += term * term;
    }
    return std::sqrt(sum);
}

// Both Manhattan measures give the square root of the absolute sum.
inline double ManhattanOf(const TMeasure::TPairValues& v, const double* Weights)
{
    double sum = 0.0;
    for (int i = 0; i < v.CountedCount; ++i) {
        const int d = v.Counted[i];
        sum += std::fabs(Weights ? (v.A[d] - v.B[d]) * Weights[d] : v.A[d] - v.B[d]);
    }
    return std::sqrt(sum);
}

inline double BooleanOf(const TMeasure::TPairValues& v, const double* Thresholds)
{
    int s = 0;
    for (int i = 0; i < v.CountedCount; ++i) {
        const int d = v.Counted[i];
        const double t = Thresholds[d];
        const double a = v.A[d];
        const double b = v.B[d];
        if ((a > t && b > t) || (a < t && b < t))
            --s;
        else
            ++s;
    }
    // Every dimension adds one, counted or not.
    return static_cast<double>(v.DimCount + s);
}
} // namespace

// The sums run over the counted dimensions in increasing order, as the
// results must not depend on how they were asked for.

double TEuclid::Distance(int PointA, int PointB)
{
    return EuclidOf(ReadPair(PointA, PointB), nullptr);
}

void TEuclid::DistanceRow(int PointA, const int* PointsB, int Count, double* Out)
{
    RowWith(PointA, PointsB, Count, Out, [](const TPairValues& v) { return EuclidOf(v, nullptr); });
}

void TWeightedEuclid::Init(TData* NewData)
{
    TMeasure::Init(NewData);
    if (Data)
        Weights = RangeWeights(*Data);
}

double TWeightedEuclid::Distance(int PointA, int PointB)
{
    const TPairValues v = ReadPair(PointA, PointB);
    FitWeights(Weights, v.DimCount);
    return EuclidOf(v, Weights.data());
}

void TWeightedEuclid::DistanceRow(int PointA, const int* PointsB, int Count, double* Out)
{
    FitWeights(Weights, ValueDimCount());
    const double* w = Weights.data();
    RowWith(PointA, PointsB, Count, Out, [w](const TPairValues& v) { return EuclidOf(v, w); });
}

double TManhatten::Distance(int PointA, int PointB)
{
    return ManhattanOf(ReadPair(PointA, PointB), nullptr);
}

void TManhatten::DistanceRow(int PointA, const int* PointsB, int Count, double* Out)
{
    RowWith(PointA, PointsB, Count, Out, [](const TPairValues& v) { return ManhattanOf(v, nullptr); });
}

void TWeightedManhatten::Init(TData* NewData)
{
    TMeasure::Init(NewData);
    if (Data)
        Weights = RangeWeights(*Data);
}

double TWeightedManhatten::Distance(int PointA, int PointB)
{
    const TPairValues v = ReadPair(PointA, PointB);
    FitWeights(Weights, v.DimCount);
    return ManhattanOf(v, Weights.data());
}

void TWeightedManhatten::DistanceRow(int PointA, const int* PointsB, int Count, double* Out)
{
    FitWeights(Weights, ValueDimCount());
    const double* w = Weights.data();
    RowWith(PointA, PointsB, Count, Out, [w](const TPairValues& v) { return ManhattanOf(v, w); });
}

void TBooleanDist::ComputeThresholds(int DimCount)
{
    Thresholds.assign(static_cast<size_t>(DimCount), 0.0);
    const int points = InRun() ? RunPointCount() : Data->PointCount();
    for (int d = 0; d < DimCount; ++d) {
        double sum = 0.0;
        for (int p = 0; p < points; ++p)
            sum += InRun() ? RunValue(p, d) : Data->GetValue(p, d);
        Thresholds[static_cast<size_t>(d)] = sum / points;
    }
}

void TBooleanDist::PrepareRun()
{
    ComputeThresholds(Data->DimCount());
}

double TBooleanDist::Distance(int PointA, int PointB)
{
    const TPairValues v = ReadPair(PointA, PointB);
    // The thresholds depend on every value; within a run they were computed
    // once, otherwise they must be read afresh.
    if (!InRun())
        ComputeThresholds(v.DimCount);
    return BooleanOf(v, Thresholds.data());
}

void TBooleanDist::DistanceRow(int PointA, const int* PointsB, int Count, double* Out)
{
    const double* t = Thresholds.data();
    RowWith(PointA, PointsB, Count, Out, [t](const TPairValues& v) { return BooleanOf(v, t); });
}
