#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The identification dialog: asks once for the participant code and the role.
// Created once at start-up and reused, so it keeps the code and the chosen
// role between showings. The components are public so that scripted tests
// can fill them in as a user would.
class TUsrDialog : public QDialog {
    Q_OBJECT
public:
    explicit TUsrDialog(QWidget* parent = nullptr);
    ~TUsrDialog() override;

    // The most recently created dialog that still exists, or nullptr.
    static TUsrDialog* Current();

    // Shows the dialog modally; True when closed with OK. Either way Code and
    // Role are then taken from the components.
    bool Execute();

    QString Code;
    QString Role;

    QRadioButton* student;
    QLineEdit* theName;
    QLabel* Label1;
    QRadioButton* assistant;
    QRadioButton* others;
    QPushButton* btnOK;
    QPushButton* BitBtn1;

    void FormCreate();
    void studentClick();
    void assistantClick();
    void othersClick();
    void BitBtn1Click();
};

// The instruction shown above the components.
extern const QString UsrDialogInstruction;
// The confidentiality notice behind the help button.
extern const QString UsrDialogNotice;
