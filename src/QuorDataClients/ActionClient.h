#pragma once

#include "QuorData/QuorData.h"
#include "QuorData/Utility.h"
#include "QuorMethodBase.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TQuorSubSelection;
struct TRowBlock;

// A row-by-column view of the data object, so that one routine orders data
// items and dimensions alike. Rows and columns are view positions unless
// said otherwise.
class TQDAdaptor {
public:
    explicit TQDAdaptor(TData* AData) : Data(AData) {}
    virtual ~TQDAdaptor() = default;

    // The difference of two rows in a column, normalised.
    virtual double NormDiff(int Row1, int Row2, int Col) const = 0;
    virtual double Value(int Row, int Col) const = 0;
    virtual int VisibleRowCount() const = 0;
    virtual int VisibleColCount() const = 0;
    virtual int RowCount() const = 0;
    // The source index of the row at Pos.
    virtual int RowIndex(int Pos) const = 0;
    // The view position of the i-th visible row.
    virtual int VisibleRowPos(int i) const = 0;
    virtual int ColCount() const = 0;
    virtual int ColIndex(int Pos) const = 0;
    virtual int VisibleColPos(int i) const = 0;
    virtual bool RowSelected(int Row) const = 0;
    virtual int SelectedRowCount() const = 0;
    // The value scaled to its dimension's data range: 0 at the minimum, 1 at
    // the maximum.
    virtual double NormValue(int Row, int Col) const = 0;
    // Exchanges two rows given by source index.
    virtual void Exchange(int SrcA, int SrcB) = 0;

    // The rows at the given view positions by the visible columns FirstCol to
    // LastCol, normalised or as they stand.
    TRowBlock ReadValues(const std::vector<int>& Rows, int FirstCol, int LastCol, bool Normalized) const;
    // The same rows arranged so that the distance of two block rows is the
    // sum of their squared NormDiff, or of their squared raw differences.
    virtual TRowBlock ReadDifferences(const std::vector<int>& Rows, int FirstCol, int LastCol,
                                      bool Normalized) const;

    TData* Data;
};

// Rows are data items, columns dimensions.
class TQDPointXDimAdaptor : public TQDAdaptor {
public:
    using TQDAdaptor::TQDAdaptor;
    // The raw difference divided by the column's data range.
    double NormDiff(int Row1, int Row2, int Col) const override;
    double Value(int Row, int Col) const override;
    int VisibleRowCount() const override;
    int VisibleColCount() const override;
    int RowCount() const override;
    int RowIndex(int Pos) const override;
    int VisibleRowPos(int i) const override;
    int ColCount() const override;
    int ColIndex(int Pos) const override;
    int VisibleColPos(int i) const override;
    bool RowSelected(int Row) const override;
    int SelectedRowCount() const override;
    double NormValue(int Row, int Col) const override;
    void Exchange(int SrcA, int SrcB) override;
    TRowBlock ReadDifferences(const std::vector<int>& Rows, int FirstCol, int LastCol,
                              bool Normalized) const override;
};

// Rows are dimensions, columns data items.
class TQDDimXPointAdaptor : public TQDAdaptor {
public:
    using TQDAdaptor::TQDAdaptor;
    // The difference of the two values, each normalised to its own dimension.
    double NormDiff(int Row1, int Row2, int Col) const override;
    double Value(int Row, int Col) const override;
    int VisibleRowCount() const override;
    int VisibleColCount() const override;
    int RowCount() const override;
    int RowIndex(int Pos) const override;
    int VisibleRowPos(int i) const override;
    int ColCount() const override;
    int ColIndex(int Pos) const override;
    int VisibleColPos(int i) const override;
    bool RowSelected(int Row) const override;
    int SelectedRowCount() const override;
    double NormValue(int Row, int Col) const override;
    void Exchange(int SrcA, int SrcB) override;
};

// One row's entry in a reordering: Source is its view position now, Target
// the one it is to take.
class TQDAListItem : public TPermutIntItem {
public:
    TQDAListItem(int AKey, int AId, double AValue) : Id(AId), Key(AKey), Value(AValue)
    {
        Source = AId;
        Target = AId;
    }

    int Id;       // the row's view position
    int Key;      // the row's source index
    double Value; // the sort key
};

// Carries out the main window's data commands: selecting, hiding, colouring,
// cropping, transposing and resetting the data, and opening and closing the
// four plots. Each change is one write transaction with this client as
// actor; a command that refuses says why before anything is changed.
class TQuorActionClient : public TObject, public TQuorNoOpClient, public TQuorNoOpDataClient {
public:
    TQuorActionClient() = default;

    // Sorts the visible rows First to Last by their value in visible column
    // KeyCol.
    virtual void SortRange(int First, int Last, int KeyCol, bool Ascending, TQDAdaptor& Adaptor);
    // Orders the visible rows FirstRow to LastRow by their distance to the
    // mean of the selected rows (hidden ones too) over the visible columns
    // FirstCol to LastCol, nearest first.
    virtual void SortBySimilarity(int FirstCol, int LastCol, int FirstRow, int LastRow, TQDAdaptor& Adaptor);
    // Sort within the sub-selection by its first column, or all visible rows
    // by the first selected column.
    virtual void SortDataItems(bool Ascending);
    virtual void SortDimensions(bool Ascending);
    // The two-pole permutation of the sub-selection's block, or of all that
    // is visible.
    virtual void AutoPermutePoints();
    virtual void AutoPermuteDims();
    // Every visible row by nearness to the selected ones.
    virtual void GroupPoints();
    virtual void GroupDims();
    // Brings similar rows among the visible rows FirstRow to LastRow together
    // by recursive two-pole partitioning over the visible columns FirstCol
    // to LastCol, scored as ScoreMode says.
    virtual void AutoPermute(int FirstRow, int LastRow, int FirstCol, int LastCol, TQDAdaptor& Adaptor);
    // Hides every visible dimension and data item outside the sub-selection's
    // block, then ends the sub-selection.
    virtual void CropSubSelection();
    // Hides the selected dimensions, deselecting them.
    virtual void HideDims();
    // Colours every selected data item, hidden ones too.
    virtual void MarkPoints(int ColorIndex);
    virtual void SetSelectedPointsVisible(bool Visible);
    virtual void Transpose();
    // Takes over the values the main window has just re-read.
    virtual void RefreshValues();
    // Every order, visibility, selection, colour, bound and slider back to
    // its initial state.
    virtual void ResetData();
    virtual void SelectAll();
    // Selects the shown data items; hidden ones keep their state.
    virtual void SelectVisible();
    // Shows the selected data items and hides all others.
    virtual void PickPoints();
    virtual void UnhideAllPoints();
    // Adds every data item (hidden ones too) whose value in Dim lies in the
    // slider's range, ends included; nothing while the slider is off.
    virtual void SelectPointsUnderSlider(int Dim);

    // Each closes its plot when it is open and opens it otherwise.
    virtual void ToggleParallelCoordinates();
    virtual void TogglePermutationMatrix();
    virtual void ToggleScatterplotMatrix();
    virtual void ToggleAndrewsCurves();

    virtual void ResetSliders();
    // Every dimension's bounds back to its data range.
    virtual void ResetDimBounds();
    virtual void UnhideAllDims();

    // IQuorClient
    void SetClientManager(TQuorClientManager* Manager) override { FClientManager = Manager; }
    // Requires the "SubSelection" client, so that must be added first.
    void Attach() override;
    void Detach() override;

    // The score of the automatic permutation: 255 polarity for small ranges
    // and similarity for larger ones, 0 polarity, 1 similarity.
    uint8_t ScoreMode = 255;
    // Whether sorting, grouping and permuting compare values normalised to
    // each dimension's data range.
    bool UseNormalized = true;

private:
    using TEntries = std::vector<std::unique_ptr<TQDAListItem>>;
    // Carries out the order of Entries (one per visible row from FirstRow
    // on, in their new order) as exchanges in one transaction; the
    // sub-selection, when active, is announced anew with it if Reannounce.
    void PerformOrder(TQDAdaptor& Adaptor, int FirstRow, const TEntries& Entries, bool Reannounce);
    void SortByKeys(TQDAdaptor& Adaptor, int FirstRow, const std::vector<int>& Rows,
                    const std::vector<double>& Keys, bool Ascending, bool Reannounce);
    struct TSortTexts;
    // Sorts within the sub-selection's block by its first column, or all
    // visible rows by the first visible selected column; Crosswise is the
    // adaptor whose rows are Adaptor's columns.
    void SortRows(bool Ascending, TQDAdaptor& Adaptor, const TQDAdaptor& Crosswise, const TSortTexts& Texts);
    struct TPlotToggle;
    void Toggle(const TPlotToggle& Plot);
    // An information box: why a command does not run, or what it leaves out.
    static void Inform(const QString& Reason);
    void Write(const std::function<void()>& Changes) { FData->WriteTransaction(this, Changes); }

    TQuorClientManager* FClientManager = nullptr;
    TData* FData = nullptr;
    TQuorSubSelection* FSubSelection = nullptr;
};
