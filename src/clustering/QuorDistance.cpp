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
    FRunCounted.clear();
    for (int d = 0; d < FRunDims; ++d)
        if (AllDims || !Data->IsDimHidden(d))
            FRunCounted.push_back(d);
    const size_t counted = FRunCounted.size();
    FRunValues.resize(counted * static_cast<size_t>(FRunPoints));
    for (int p = 0; p < FRunPoints; ++p)
        for (size_t i = 0; i < counted; ++i)
            FRunValues[static_cast<size_t>(p) * counted + i] = Data->GetValue(p, FRunCounted[i]);
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
        pair.A = &FRunValues[static_cast<size_t>(PointA) * FRunCounted.size()];
        pair.B = &FRunValues[static_cast<size_t>(PointB) * FRunCounted.size()];
        pair.Counted = FRunCounted.data();
        pair.CountedCount = static_cast<int>(FRunCounted.size());
        return pair;
    }
    const int n = Data->DimCount();
    FScratchCounted.clear();
    for (int d = 0; d < n; ++d)
        if (AllDims || !Data->IsDimHidden(d))
            FScratchCounted.push_back(d);
    FScratchA.resize(FScratchCounted.size());
    FScratchB.resize(FScratchCounted.size());
    for (size_t i = 0; i < FScratchCounted.size(); ++i) {
        FScratchA[i] = Data->GetValue(PointA, FScratchCounted[i]);
        FScratchB[i] = Data->GetValue(PointB, FScratchCounted[i]);
    }
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
        const double term = Weights ? (v.A[i] - v.B[i]) * Weights[v.Counted[i]] : v.A[i] - v.B[i];
        sum += term * term;
    }
    return std::sqrt(sum);
}

// Both Manhattan measures give the square root of the absolute sum.
inline double ManhattanOf(const TMeasure::TPairValues& v, const double* Weights)
{
    double sum = 0.0;
    for (int i = 0; i < v.CountedCount; ++i) {
        sum += std::fabs(Weights ? (v.A[i] - v.B[i]) * Weights[v.Counted[i]] : v.A[i] - v.B[i]);
    }
    return std::sqrt(sum);
}

inline double BooleanOf(const TMeasure::TPairValues& v, const double* Thresholds)
{
    int s = 0;
    for (int i = 0; i < v.CountedCount; ++i) {
        const double t = Thresholds[v.Counted[i]];
        const double a = v.A[i];
        const double b = v.B[i];
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
    const int points = Data->PointCount();
    for (int d = 0; d < DimCount; ++d) {
        double sum = 0.0;
        for (int p = 0; p < points; ++p)
            sum += Data->GetValue(p, d);
        Thresholds[static_cast<size_t>(d)] = sum / points;
    }
}

void TBooleanDist::PrepareRun()
{
    // A run holds only the counted dimensions, and only their thresholds are
    // ever read.
    Thresholds.assign(static_cast<size_t>(Data->DimCount()), 0.0);
    const std::vector<int>& counted = RunCounted();
    const int points = RunPointCount();
    for (size_t i = 0; i < counted.size(); ++i) {
        double sum = 0.0;
        for (int p = 0; p < points; ++p)
            sum += RunValue(p, static_cast<int>(i));
        Thresholds[static_cast<size_t>(counted[i])] = sum / points;
    }
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
