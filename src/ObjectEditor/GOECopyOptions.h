#pragma once

#include "ObjectEditor/GOEParts.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

// Lets the user pick which parts of a plot go onto the clipboard. The
// handles are never offered.
class TGOECopyOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TGOECopyOptionsForm(QWidget* owner = nullptr);

    virtual int PartToItem(TGOEPart part) const;
    virtual void TogglePart(TGOEPart part);
    virtual void SetParts(TGOEParts parts);
    virtual TGOEParts GetParts() const;
    void ButtonHelpClick();

    QLabel* StaticText1 = nullptr;
    QListWidget* CheckListBox = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;
    QPushButton* ButtonHelp = nullptr;

    static constexpr int DesignedClientWidth = 316;
    static constexpr int DesignedClientHeight = 128;

public slots:
    // Closing the window counts as Cancel.
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool IsChecked(TGOEPart part) const;
    void SetChecked(TGOEPart part, bool checked);
    void PlaceControls();
};
