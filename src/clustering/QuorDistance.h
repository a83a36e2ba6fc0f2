#pragma once

#include <cstddef>
#include <vector>

class TData;

// The distance between two data items of the shared data object, over its
// dimensions. Items and dimensions are view positions. A dimension counts when
// it is not hidden or AllDims is on.
class TMeasure {
public:
    TMeasure() = default;
    virtual ~TMeasure() = default;
    TMeasure(const TMeasure&) = delete;
    TMeasure& operator=(const TMeasure&) = delete;

    // Resets AllDims and binds the measure to Data unless it is bound already:
    // a measure stays with the first data object it was given.
    virtual void Init(TData* Data);
    virtual double Distance(int PointA, int PointB);
    // The distances of PointA to each of Count points, into Out; the same as
    // Distance pair by pair, only quicker inside a run.
    virtual void DistanceRow(int PointA, const int* PointsB, int Count, double* Out);

    TData* GetData() const { return Data; }
    void SetAllDims(bool Value) { AllDims = Value; }
    bool GetAllDims() const { return AllDims; }

    // A clustering run asks for every pair's distance while the data stands
    // still. Between BeginRun and EndRun the values, the counted dimensions and
    // whatever a measure derives from the whole table are read once and
    // reused; every distance is the same, bit for bit, as without the run.
    void BeginRun();
    void EndRun();
    bool InRun() const { return FRunning; }

    // Both items' values in the dimensions that count, packed side by side in
    // ascending dimension order (A[i] lies in dimension Counted[i]), and the
    // data object's dimension count.
    struct TPairValues {
        int DimCount = 0;
        const double* A = nullptr;
        const double* B = nullptr;
        const int* Counted = nullptr;
        int CountedCount = 0;
    };

protected:
    TPairValues ReadPair(int PointA, int PointB);
    // The dimension count the values are read with.
    int ValueDimCount() const;

    // DistanceRow by a kernel that maps a pair's values to its distance.
    template <class Kernel>
    void RowWith(int PointA, const int* PointsB, int Count, double* Out, Kernel Pair)
    {
        if (!FRunning) {
            for (int j = 0; j < Count; ++j)
                Out[j] = Distance(PointA, PointsB[j]);
            return;
        }
        TPairValues v = ReadPair(PointA, PointA);
        for (int j = 0; j < Count; ++j) {
            v.B = &FRunValues[static_cast<size_t>(PointsB[j]) * FRunCounted.size()];
            Out[j] = Pair(v);
        }
    }

    // Called at the end of BeginRun, once the values are held.
    virtual void PrepareRun() {}
    // The held value of a point in the dimension RunCounted()[Index]; only
    // inside a run.
    double RunValue(int Point, int Index) const
    {
        return FRunValues[static_cast<size_t>(Point) * FRunCounted.size() + static_cast<size_t>(Index)];
    }
    int RunPointCount() const { return FRunPoints; }
    const std::vector<int>& RunCounted() const { return FRunCounted; }

    TData* Data = nullptr;
    bool AllDims = false;

private:
    bool FRunning = false;
    int FRunDims = 0;
    int FRunPoints = 0;
    // [point * counted + i]: only the counted dimensions are held, so that a
    // pair's sum walks two short contiguous rows.
    std::vector<double> FRunValues;
    std::vector<int> FRunCounted;            // counted dimensions, ascending
    std::vector<double> FScratchA, FScratchB; // outside a run
    std::vector<int> FScratchCounted;
};

// Holds a measure in a run for the lifetime of the guard.
class TMeasureRun {
public:
    explicit TMeasureRun(TMeasure& Measure) : FMeasure(Measure) { FMeasure.BeginRun(); }
    ~TMeasureRun() { FMeasure.EndRun(); }
    TMeasureRun(const TMeasureRun&) = delete;
    TMeasureRun& operator=(const TMeasureRun&) = delete;

private:
    TMeasure& FMeasure;
};

class TEuclid : public TMeasure {
public:
    double Distance(int PointA, int PointB) override;
    void DistanceRow(int PointA, const int* PointsB, int Count, double* Out) override;
};

// Euclidean distance with every dimension's difference rescaled to the data
// range of the dimension at view position 0.
class TWeightedEuclid : public TMeasure {
public:
    void Init(TData* Data) override;
    double Distance(int PointA, int PointB) override;
    void DistanceRow(int PointA, const int* PointsB, int Count, double* Out) override;
    const std::vector<double>& GetWeights() const { return Weights; }

protected:
    std::vector<double> Weights;
};

// The square root of the sum of absolute differences.
class TManhatten : public TMeasure {
public:
    double Distance(int PointA, int PointB) override;
    void DistanceRow(int PointA, const int* PointsB, int Count, double* Out) override;
};

class TWeightedManhatten : public TMeasure {
public:
    void Init(TData* Data) override;
    double Distance(int PointA, int PointB) override;
    void DistanceRow(int PointA, const int* PointsB, int Count, double* Out) override;
    const std::vector<double>& GetWeights() const { return Weights; }

protected:
    std::vector<double> Weights;
};

// Per dimension, the two items agree when both lie strictly on the same side
// of the dimension's mean over all items; the result is the dimension count
// plus one for every counted disagreement and minus one for every agreement.
class TBooleanDist : public TMeasure {
public:
    double Distance(int PointA, int PointB) override;
    void DistanceRow(int PointA, const int* PointsB, int Count, double* Out) override;

protected:
    void PrepareRun() override;

    std::vector<double> Thresholds;

private:
    void ComputeThresholds(int DimCount);
};

// The range weights: every dimension's weight is the data range of the
// dimension at view position 0 divided by its own range.
std::vector<double> RangeWeights(TData& Data);
