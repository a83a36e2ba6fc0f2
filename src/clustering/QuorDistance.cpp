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

void TMeasure::BeginRun()
{
    QUOR_ASSERT(Data, "BeginRun: measure has no data object");
    RunDims = Data->DimCount();
    RunPoints = Data->PointCount();
    RunValues.resize(static_cast<size_t>(RunDims) * static_cast<size_t>(RunPoints));
    for (int p = 0; p < RunPoints; ++p)
        for (int d = 0; d < RunDims; ++d)
            RunValues[static_cast<size_t>(p) * static_cast<size_t>(RunDims) +
                      static_cast<size_t>(d)] = Data->GetValue(p, d);
    RunCounted.resize(static_cast<size_t>(RunDims));
    for (int d = 0; d < RunDims; ++d)
        RunCounted[static_cast<size_t>(d)] = AllDims || !Data->IsDimHidden(d);
    Running = true;
    PrepareRun();
}

void TMeasure::EndRun()
{
    Running = false;
    RunValues = {};
    RunCounted = {};
}

TMeasure::TPairValues TMeasure::ReadPair(int PointA, int PointB)
{
    QUOR_ASSERT(Data, "Distance: measure has no data object");
    TPairValues pair;
    if (Running) {
        pair.DimCount = RunDims;
        pair.A = &RunValues[static_cast<size_t>(PointA) * static_cast<size_t>(RunDims)];
        pair.B = &RunValues[static_cast<size_t>(PointB) * static_cast<size_t>(RunDims)];
        pair.Counted = RunCounted.data();
        return pair;
    }
    const int n = Data->DimCount();
    ScratchA.resize(static_cast<size_t>(n));
    ScratchB.resize(static_cast<size_t>(n));
    ScratchCounted.resize(static_cast<size_t>(n));
    for (int d = 0; d < n; ++d) {
        ScratchA[static_cast<size_t>(d)] = Data->GetValue(PointA, d);
        ScratchB[static_cast<size_t>(d)] = Data->GetValue(PointB, d);
    }
    for (int d = 0; d < n; ++d)
        ScratchCounted[static_cast<size_t>(d)] = AllDims || !Data->IsDimHidden(d);
    pair.DimCount = n;
    pair.A = ScratchA.data();
    pair.B = ScratchB.data();
    pair.Counted = ScratchCounted.data();
    return pair;
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
} // namespace

double TEuclid::Distance(int PointA, int PointB)
{
    const TPairValues v = ReadPair(PointA, PointB);
    double sum = 0.0;
    for (int d = 0; d < v.DimCount; ++d) {
        if (!v.Counted[d])
            continue;
        const double diff = v.A[d] - v.B[d];
        sum += diff * diff;
    }
    return std::sqrt(sum);
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
    double sum = 0.0;
    for (int d = 0; d < v.DimCount; ++d) {
        if (!v.Counted[d])
            continue;
        const double term = (v.A[d] - v.B[d]) * Weights[static_cast<size_t>(d)];
        sum += term * term;
    }
    return std::sqrt(sum);
}

double TManhatten::Distance(int PointA, int PointB)
{
    const TPairValues v = ReadPair(PointA, PointB);
    double sum = 0.0;
    for (int d = 0; d < v.DimCount; ++d) {
        if (v.Counted[d])
            sum += std::fabs(v.A[d] - v.B[d]);
    }
    return std::sqrt(sum);
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
    double sum = 0.0;
    for (int d = 0; d < v.DimCount; ++d) {
        if (v.Counted[d])
            sum += std::fabs((v.A[d] - v.B[d]) * Weights[static_cast<size_t>(d)]);
    }
    return std::sqrt(sum);
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
    int s = 0;
    for (int d = 0; d < v.DimCount; ++d) {
        if (!v.Counted[d])
            continue;
        const double t = Thresholds[static_cast<size_t>(d)];
        const double a = v.A[d];
        const double b = v.B[d];
        if ((a > t && b > t) || (a < t && b < t))
            --s;
        else
            ++s;
    }
    return static_cast<double>(v.DimCount + s);
}
