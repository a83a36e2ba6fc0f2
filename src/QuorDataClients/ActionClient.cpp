#include "QuorDataClients/ActionClient.h"

#include "QuorDataClients/QuorSubSelection.h"
#include "QuorDataClients/RowOrdering.h"
#include "platform/DialogService.h"
#include "platform/Exceptions.h"
#include "usagelog/Evaluation.h"

#include <algorithm>
#include <utility>

// ---- adaptors -------------------------------------------------------------------

TRowBlock TQDAdaptor::ReadValues(const std::vector<int>& Rows, int FirstCol, int LastCol, bool Normalized) const
{
    TRowBlock block;
    block.Rows = int(Rows.size());
    block.Cols = std::max(LastCol - FirstCol + 1, 0);
    block.Values.resize(size_t(block.Rows) * size_t(block.Cols));
    std::vector<int> cols(size_t(block.Cols));
    for (int c = 0; c < block.Cols; ++c)
        cols[size_t(c)] = VisibleColPos(FirstCol + c);
    double* out = block.Values.data();
    for (int row : Rows)
        for (int col : cols)
            *out++ = Normalized ? NormValue(row, col) : Value(row, col);
    return block;
}

TRowBlock TQDAdaptor::ReadDifferences(const std::vector<int>& Rows, int FirstCol, int LastCol, bool Normalized) const
{
    return ReadValues(Rows, FirstCol, LastCol, Normalized);
}

double TQDPointXDimAdaptor::NormDiff(int Row1, int Row2, int Col) const
{
    return (Data->GetValue(Row1, Col) - Data->GetValue(Row2, Col)) / (Data->GetDimMax(Col) - Data->GetDimMin(Col));
}

double TQDPointXDimAdaptor::Value(int Row, int Col) const
{
    return Data->GetValue(Row, Col);
}

int TQDPointXDimAdaptor::VisibleRowCount() const
{
    return Data->VisiblePointCount();
}

int TQDPointXDimAdaptor::VisibleColCount() const
{
    return Data->VisibleDimCount();
}

int TQDPointXDimAdaptor::RowCount() const
{
    return Data->PointCount();
}

int TQDPointXDimAdaptor::RowIndex(int Pos) const
{
    return Data->GetPointPerm(Pos);
}

int TQDPointXDimAdaptor::VisibleRowPos(int i) const
{
    return Data->GetVisiblePoint(i);
}

int TQDPointXDimAdaptor::ColCount() const
{
    return Data->DimCount();
}

int TQDPointXDimAdaptor::ColIndex(int Pos) const
{
    return Data->GetDimPerm(Pos);
}

int TQDPointXDimAdaptor::VisibleColPos(int i) const
{
    return Data->GetVisibleDim(i);
}

bool TQDPointXDimAdaptor::RowSelected(int Row) const
{
    return Data->IsPointSelected(Row);
}

int TQDPointXDimAdaptor::SelectedRowCount() const
{
    return Data->SelectedPointCount();
}

double TQDPointXDimAdaptor::NormValue(int Row, int Col) const
{
    const double min = Data->GetDimMin(Col);
    return (Data->GetValue(Row, Col) - min) / (Data->GetDimMax(Col) - min);
}

void TQDPointXDimAdaptor::Exchange(int SrcA, int SrcB)
{
    Data->ExchangeSourcePoints(SrcA, SrcB);
}

TRowBlock TQDPointXDimAdaptor::ReadDifferences(const std::vector<int>& Rows, int FirstCol, int LastCol,
                                               bool Normalized) const
{
    // NormDiff divides the raw difference by the column's range, which is
    // not the difference of the normalised values to the last bit.
    TRowBlock block = ReadValues(Rows, FirstCol, LastCol, false);
    if (Normalized)
        for (int c = 0; c < block.Cols; ++c) {
            const int col = VisibleColPos(FirstCol + c);
            block.ColDivisors.push_back(Data->GetDimMax(col) - Data->GetDimMin(col));
        }
    return block;
}

double TQDDimXPointAdaptor::NormDiff(int Row1, int Row2, int Col) const
{
    return NormValue(Row1, Col) - NormValue(Row2, Col);
}

double TQDDimXPointAdaptor::Value(int Row, int Col) const
{
    return Data->GetValue(Col, Row);
}

int TQDDimXPointAdaptor::VisibleRowCount() const
{
    return Data->VisibleDimCount();
}

int TQDDimXPointAdaptor::VisibleColCount() const
{
    return Data->VisiblePointCount();
}

int TQDDimXPointAdaptor::RowCount() const
{
    return Data->DimCount();
}

int TQDDimXPointAdaptor::RowIndex(int Pos) const
{
    return Data->GetDimPerm(Pos);
}

int TQDDimXPointAdaptor::VisibleRowPos(int i) const
{
    return Data->GetVisibleDim(i);
}

int TQDDimXPointAdaptor::ColCount() const
{
    return Data->PointCount();
}

int TQDDimXPointAdaptor::ColIndex(int Pos) const
{
    return Data->GetPointPerm(Pos);
}

int TQDDimXPointAdaptor::VisibleColPos(int i) const
{
    return Data->GetVisiblePoint(i);
}

bool TQDDimXPointAdaptor::RowSelected(int Row) const
{
    return Data->IsDimSelected(Row);
}

int TQDDimXPointAdaptor::SelectedRowCount() const
{
    return Data->SelectedDimCount();
}

double TQDDimXPointAdaptor::NormValue(int Row, int Col) const
{
    const double min = Data->GetDimMin(Row);
    return (Data->GetValue(Col, Row) - min) / (Data->GetDimMax(Row) - min);
}

void TQDDimXPointAdaptor::Exchange(int SrcA, int SrcB)
{
    Data->ExchangeSourceDims(SrcA, SrcB);
}

// ---- client plumbing ----------------------------------------------------------

void TQuorActionClient::Attach()
{
    FData = FClientManager->Data;
    FSubSelection = dynamic_cast<TQuorSubSelection*>(FClientManager->GetClient(QStringLiteral("SubSelection")));
    if (!FSubSelection)
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    FData->RegisterClient(this);
}

void TQuorActionClient::Detach()
{
    // A client whose Attach failed stays in the manager and is detached with
    // it, never having registered.
    if (FData)
        FData->UnregisterClient(this);
}

void TQuorActionClient::Inform(const QString& Reason)
{
    MessageDlg(Reason, TMsgDlgType::mtInformation, mbOK);
}

// ---- editing -----------------------------------------------------------------

void TQuorActionClient::CropSubSelection()
{
    if (!FSubSelection->Active()) {
        Inform(QStringLiteral("You must choose a sub selection first."));
        return;
    }
    Write([this] {
        // Downward, so that hiding an entry never moves the positions still
        // to be visited; the block is read before it is cleared.
        const int firstDim = FSubSelection->FirstDim();
        const int lastDim = FSubSelection->LastDim();
        const int firstPoint = FSubSelection->FirstPoint();
        const int lastPoint = FSubSelection->LastPoint();
        auto hideDim = [this](int i) {
            const int d = FData->GetVisibleDim(i);
            FData->SetDimSelected(d, false);
            FData->SetDimHidden(d, true);
        };
        auto hidePoint = [this](int i) { FData->SetPointHidden(FData->GetVisiblePoint(i), true); };
        // A block reaching past the visible entries keeps what it covers.
        for (int i = FData->VisibleDimCount() - 1; i > lastDim; --i)
            hideDim(i);
        for (int i = std::min(firstDim, FData->VisibleDimCount()) - 1; i >= 0; --i)
            hideDim(i);
        for (int i = FData->VisiblePointCount() - 1; i > lastPoint; --i)
            hidePoint(i);
        for (int i = std::min(firstPoint, FData->VisiblePointCount()) - 1; i >= 0; --i)
            hidePoint(i);
        FSubSelection->ClearSubSelection();
    });
}

void TQuorActionClient::HideDims()
{
    if (FData->SelectedDimCount() == 0) {
        Inform(QStringLiteral("You must select one or more dimensions first."));
        return;
    }
    Write([this] {
        for (int i = FData->VisibleDimCount() - 1; i >= 0; --i) {
            const int d = FData->GetVisibleDim(i);
            if (FData->IsDimSelected(d)) {
                FData->SetDimSelected(d, false);
                FData->SetDimHidden(d, true);
            }
        }
    });
}

void TQuorActionClient::MarkPoints(int ColorIndex)
{
    Write([this, ColorIndex] {
        for (int p = 0; p < FData->PointCount(); ++p)
            if (FData->IsPointSelected(p))
                FData->SetPointColor(p, ColorIndex);
    });
}

void TQuorActionClient::SetSelectedPointsVisible(bool Visible)
{
    Write([this, Visible] {
        for (int p = 0; p < FData->PointCount(); ++p)
            if (FData->IsPointSelected(p))
                FData->SetPointHidden(p, !Visible);
    });
}

void TQuorActionClient::Transpose()
{
    Write([this] { FData->SetTransposed(!FData->Transposed()); });
}

void TQuorActionClient::RefreshValues()
{
    Write([this] { FData->AdjustForValueChange(); });
}

void TQuorActionClient::ResetData()
{
    Write([this] { FData->DataSrcChanged(); });
}

void TQuorActionClient::SelectAll()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            FData->SetPointSelected(p, true);
    });
}

void TQuorActionClient::SelectVisible()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            if (!FData->IsPointHidden(p))
                FData->SetPointSelected(p, true);
    });
}

void TQuorActionClient::PickPoints()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            FData->SetPointHidden(p, !FData->IsPointSelected(p));
    });
}

void TQuorActionClient::UnhideAllPoints()
{
    Write([this] {
        for (int p = 0; p < FData->PointCount(); ++p)
            FData->SetPointHidden(p, false);
    });
}

void TQuorActionClient::SelectPointsUnderSlider(int Dim)
{
    if (FData->GetSliderOff(Dim))
        return;
    const double low = FData->GetSliderLow(Dim);
    const double high = FData->GetSliderHigh(Dim);
    Write([this, Dim, low, high] {
        for (int p = 0; p < FData->PointCount(); ++p) {
            const double v = FData->GetValue(p, Dim);
            if (low <= v && v <= high)
                FData->SetPointSelected(p, true);
        }
    });
}

void TQuorActionClient::ResetSliders()
{
    Write([this] {
        for (int d = FData->DimCount() - 1; d >= 0; --d)
            FData->SetSliderOff(d, true);
    });
}

void TQuorActionClient::ResetDimBounds()
{
    Write([this] {
        for (int d = 0; d < FData->DimCount(); ++d) {
            FData->SetLBound(d, FData->GetDimMin(d));
            FData->SetUBound(d, FData->GetDimMax(d));
        }
    });
}

void TQuorActionClient::UnhideAllDims()
{
    Write([this] {
        for (int d = FData->DimCount() - 1; d >= 0; --d)
            FData->SetDimHidden(d, false);
    });
}

// ---- sorting and ordering ---------------------------------------------------------

namespace {
// Keeps a range of visible positions within the Count visible entries, so
// that a stale range never reads past the visible list.
void ClampRange(int& First, int& Last, int Count)
{
    First = std::max(First, 0);
    Last = std::min(Last, Count - 1);
}

// The view positions of the visible rows First to Last.
std::vector<int> VisibleRows(const TQDAdaptor& Adaptor, int First, int Last)
{
    std::vector<int> rows;
    rows.reserve(size_t(std::max(Last - First + 1, 0)));
    for (int i = First; i <= Last; ++i)
        rows.push_back(Adaptor.VisibleRowPos(i));
    return rows;
}
} // namespace

void TQuorActionClient::PerformOrder(TQDAdaptor& Adaptor, int FirstRow, const TEntries& Entries, bool Reannounce)
{
    TPermutList list;
    list.reserve(Entries.size());
    for (size_t j = 0; j < Entries.size(); ++j) {
        Entries[j]->Target = Adaptor.VisibleRowPos(FirstRow + int(j));
        list.push_back(Entries[j].get());
    }
    const std::unique_ptr<TSwapList> swaps = PermutationToSwaps(&list);
    if (!swaps)
        return;
    Write([&] {
        // By source index, which an exchange does not change.
        for (const auto& swap : *swaps)
            Adaptor.Exchange(static_cast<TQDAListItem*>(swap->First)->Key,
                             static_cast<TQDAListItem*>(swap->Second)->Key);
        if (Reannounce && FSubSelection->Active()) {
            const int firstPoint = FSubSelection->FirstPoint();
            const int lastPoint = FSubSelection->LastPoint();
            const int firstDim = FSubSelection->FirstDim();
            const int lastDim = FSubSelection->LastDim();
            FSubSelection->ClearSubSelection();
            FSubSelection->SetSubSelection(firstPoint, lastPoint, firstDim, lastDim);
        }
    });
}

void TQuorActionClient::SortByKeys(TQDAdaptor& Adaptor, int FirstRow, const std::vector<int>& Rows,
                                   const std::vector<double>& Keys, bool Ascending, bool Reannounce)
{
    TEntries entries;
    entries.reserve(Rows.size());
    for (int k : OrderByKey(Keys, Ascending)) {
        const int row = Rows[size_t(k)];
        entries.push_back(std::make_unique<TQDAListItem>(Adaptor.RowIndex(row), row, Keys[size_t(k)]));
    }
    PerformOrder(Adaptor, FirstRow, entries, Reannounce);
}

void TQuorActionClient::SortRange(int First, int Last, int KeyCol, bool Ascending, TQDAdaptor& Adaptor)
{
    ClampRange(First, Last, Adaptor.VisibleRowCount());
    if (Last < First || KeyCol < 0 || KeyCol >= Adaptor.VisibleColCount())
        return;
    const std::vector<int> rows = VisibleRows(Adaptor, First, Last);
    const TRowBlock block = Adaptor.ReadValues(rows, KeyCol, KeyCol, UseNormalized);
    SortByKeys(Adaptor, First, rows, block.Values, Ascending, true);
}

void TQuorActionClient::SortBySimilarity(int FirstCol, int LastCol, int FirstRow, int LastRow, TQDAdaptor& Adaptor)
{
    if (Adaptor.SelectedRowCount() == 0) {
        Inform(QStringLiteral("Please select at least one data item."));
        return;
    }
    ClampRange(FirstRow, LastRow, Adaptor.VisibleRowCount());
    ClampRange(FirstCol, LastCol, Adaptor.VisibleColCount());
    if (LastRow < FirstRow || Adaptor.VisibleColCount() <= 0)
        return;
    // The mean is taken over every selected row, hidden or outside the range.
    std::vector<int> selected;
    for (int r = 0; r < Adaptor.RowCount(); ++r)
        if (Adaptor.RowSelected(r))
            selected.push_back(r);
    const std::vector<double> mean = ColumnMeans(Adaptor.ReadValues(selected, FirstCol, LastCol, UseNormalized));
    const std::vector<int> rows = VisibleRows(Adaptor, FirstRow, LastRow);
    const TRowBlock block = Adaptor.ReadValues(rows, FirstCol, LastCol, UseNormalized);
    SortByKeys(Adaptor, FirstRow, rows, SquaredDistancesTo(block, mean), true, false);
}

void TQuorActionClient::AutoPermute(int FirstRow, int LastRow, int FirstCol, int LastCol, TQDAdaptor& Adaptor)
{
    ClampRange(FirstRow, LastRow, Adaptor.VisibleRowCount());
    ClampRange(FirstCol, LastCol, Adaptor.VisibleColCount());
    if (LastRow < FirstRow || LastCol < FirstCol)
        return;
    const std::vector<int> rows = VisibleRows(Adaptor, FirstRow, LastRow);
    const TRowBlock block = Adaptor.ReadDifferences(rows, FirstCol, LastCol, UseNormalized);
    TEntries entries;
    entries.reserve(rows.size());
    for (int k : TwoPolePermutation(block, ScoreMode)) {
        const int row = rows[size_t(k)];
        entries.push_back(std::make_unique<TQDAListItem>(Adaptor.RowIndex(row), row, 0.0));
    }
    PerformOrder(Adaptor, FirstRow, entries, true);
}

struct TQuorActionClient::TSortTexts {
    bool RowsArePoints;
    const char* BlockWider;    // the sub-selection spans more than one key column
    const char* MoreSelected;  // more than one column is selected
    const char* HowTo;         // no key to sort by
};

void TQuorActionClient::SortRows(bool Ascending, TQDAdaptor& Adaptor, const TQDAdaptor& Crosswise,
                                 const TSortTexts& Texts)
{
    if (FSubSelection->Active()) {
        const TQuorSubSelection& sub = *FSubSelection;
        const int firstRow = Texts.RowsArePoints ? sub.FirstPoint() : sub.FirstDim();
        const int lastRow = Texts.RowsArePoints ? sub.LastPoint() : sub.LastDim();
        const int firstCol = Texts.RowsArePoints ? sub.FirstDim() : sub.FirstPoint();
        const int lastCol = Texts.RowsArePoints ? sub.LastDim() : sub.LastPoint();
        if (lastCol != firstCol)
            Inform(QString::fromLatin1(Texts.BlockWider));
        SortRange(firstRow, lastRow, firstCol, Ascending, Adaptor);
        return;
    }
    // The first visible selected column is the key; selected columns that
    // are all hidden give none.
    int key = -1;
    for (int i = 0; i < Crosswise.VisibleRowCount() && key < 0; ++i)
        if (Crosswise.RowSelected(Crosswise.VisibleRowPos(i)))
            key = i;
    if (key < 0) {
        Inform(QString::fromLatin1(Texts.HowTo));
        return;
    }
    if (Crosswise.SelectedRowCount() > 1)
        Inform(QString::fromLatin1(Texts.MoreSelected));
    SortRange(0, Adaptor.VisibleRowCount() - 1, key, Ascending, Adaptor);
}

void TQuorActionClient::SortDataItems(bool Ascending)
{
    TQDPointXDimAdaptor adaptor(FData);
    SortRows(Ascending, adaptor, TQDDimXPointAdaptor(FData),
             {true, "Only the first row / column of the sub selection will be sorted.",
              "Only the first selected dimension will be used for sorting.",
              "You can sort data items in two different ways: Either select the cells to be sorted in "
              "the permutation matrix or select a dimension and start the sort process."});
}

void TQuorActionClient::SortDimensions(bool Ascending)
{
    TQDDimXPointAdaptor adaptor(FData);
    SortRows(Ascending, adaptor, TQDPointXDimAdaptor(FData),
             {false, "Only the first column / row of the sub selection will be sorted.",
              "Only the first selected data item will be used for sorting.",
              "You can sort dimensions in two different ways: Either select the cells to be sorted in "
              "the permutation matrix or select a data item and start the sort process."});
}

void TQuorActionClient::GroupPoints()
{
    TQDPointXDimAdaptor adaptor(FData);
    SortBySimilarity(0, FData->VisibleDimCount() - 1, 0, FData->VisiblePointCount() - 1, adaptor);
}

void TQuorActionClient::GroupDims()
{
    TQDDimXPointAdaptor adaptor(FData);
    SortBySimilarity(0, FData->VisiblePointCount() - 1, 0, FData->VisibleDimCount() - 1, adaptor);
}

void TQuorActionClient::AutoPermutePoints()
{
    TQDPointXDimAdaptor adaptor(FData);
    if (FSubSelection->Active())
        AutoPermute(FSubSelection->FirstPoint(), FSubSelection->LastPoint(), FSubSelection->FirstDim(),
                    FSubSelection->LastDim(), adaptor);
    else
        AutoPermute(0, FData->VisiblePointCount() - 1, 0, FData->VisibleDimCount() - 1, adaptor);
}

void TQuorActionClient::AutoPermuteDims()
{
    TQDDimXPointAdaptor adaptor(FData);
    if (FSubSelection->Active())
        AutoPermute(FSubSelection->FirstDim(), FSubSelection->LastDim(), FSubSelection->FirstPoint(),
                    FSubSelection->LastPoint(), adaptor);
    else
        AutoPermute(0, FData->VisibleDimCount() - 1, 0, FData->VisiblePointCount() - 1, adaptor);
}

// ---- plot toggles --------------------------------------------------------------

struct TQuorActionClient::TPlotToggle {
    const char* Key;
    const char* Caption;
    int Number; // the plot's number in the log lines
    // Parallel coordinates log their opening once they have been added.
    bool LogsAfterAdding;
};

void TQuorActionClient::Toggle(const TPlotToggle& Plot)
{
    const QString key = QString::fromLatin1(Plot.Key);
    if (FClientManager->HasClient(key)) {
        LogEvent(QStringLiteral("close %1").arg(Plot.Number));
        FClientManager->RemoveClient(key);
        return;
    }
    const QString opened = QStringLiteral("open %1").arg(Plot.Number);
    if (!Plot.LogsAfterAdding)
        LogEvent(opened);
    // The plots are registered by the program; a build without this one
    // opens nothing.
    std::unique_ptr<TObject> plot = FClientManager->CreateClient(key);
    if (!plot)
        return;
    FClientManager->AddClient(key, QString::fromUtf8(Plot.Caption), std::move(plot));
    if (Plot.LogsAfterAdding)
        LogEvent(opened);
}

void TQuorActionClient::ToggleParallelCoordinates()
{
    Toggle({"ParallelCoordinates", "Parallel Coordinates", 1, true});
}

void TQuorActionClient::TogglePermutationMatrix()
{
    Toggle({"PermutationMatrix", "Permutation Matrix", 2, false});
}

void TQuorActionClient::ToggleScatterplotMatrix()
{
    Toggle({"ScatterplotMatrix", "Scatterplot Matrix", 3, false});
}

void TQuorActionClient::ToggleAndrewsCurves()
{
    Toggle({"AndrewsCurves", "Andrews' Curves", 4, false});
}
