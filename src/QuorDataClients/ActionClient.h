#pragma once

#include "QuorData/QuorData.h"
#include "QuorMethodBase.h"

#include <QString>

#include <cstdint>
#include <functional>

class TQuorSubSelection;

// Carries out the main window's data commands: selecting, hiding, colouring,
// cropping, transposing and resetting the data, and opening and closing the
// four plots. Each change is one write transaction with this client as
// actor; a command that refuses says why before anything is changed.
class TQuorActionClient : public TObject, public TQuorNoOpClient, public TQuorNoOpDataClient {
public:
    TQuorActionClient() = default;

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
    struct TPlotToggle;
    void Toggle(const TPlotToggle& Plot);
    // Shows the reason a command refuses to run.
    static void Refuse(const QString& Reason);
    void Write(const std::function<void()>& Changes) { FData->WriteTransaction(this, Changes); }

    TQuorClientManager* FClientManager = nullptr;
    TData* FData = nullptr;
    TQuorSubSelection* FSubSelection = nullptr;
};
