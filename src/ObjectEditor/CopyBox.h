#pragma once

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QVBoxLayout;

// Lets the user pick the client to copy from. The client manager fills it
// with one source per capable client and reads the chosen position.
class TCopyBoxForm : public QDialog {
    Q_OBJECT
public:
    explicit TCopyBoxForm(QWidget* owner = nullptr);

    virtual void AddSource(const QString& caption);

    // Position of the checked source; -1 when none is checked.
    int ItemIndex() const;
    void SetItemIndex(int index);
    int SourceCount() const;

    // The show handler: room for every source, and the first one preselected.
    void FormShow();
    void ButtonHelpClick();

    QGroupBox* RadioGroupSource = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;
    QPushButton* ButtonHelp = nullptr;

    static constexpr int DesignedClientWidth = 327;
    static constexpr int DesignedClientHeight = 96;
    static constexpr int SourceHeight = 17;

public slots:
    // Closing the window counts as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Keeps the controls anchored as the designed form lays them out.
    void PlaceControls();

    QButtonGroup* FSources = nullptr;
    QVBoxLayout* FSourceLayout = nullptr;
};
