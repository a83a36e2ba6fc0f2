#include "usagelog/UserDialog.h"

#include "platform/DialogService.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

const QString UsrDialogInstruction = QStringLiteral(
    "2 Buchstaben des Vornamens Ihrer Mutter +\r\n"
    "2 Buchstaben des Vornamens Ihres Vaters +\r\n"
    "Tag Ihres Geburtstags\r\n"
    "z.B. Anna, Bernd, am 7. geboren: ANBE07");

const QString UsrDialogNotice = QStringLiteral(
    "Ihre Angaben werden vertraulich behandelt, und haben keinen Einfluss, auf Testate\r\n"
    "oder Noten. Die Daten dienen nur der Evaluation der Software.\r\n"
    "Wir danken vielmals für Ihre Mithilfe");

namespace {
TUsrDialog* CurrentDialog = nullptr;
} // namespace

TUsrDialog::TUsrDialog(QWidget* parent)
    : QDialog(parent)
    , student(new QRadioButton(QStringLiteral("Student"), this))
    , theName(new QLineEdit(this))
    , Label1(new QLabel(this))
    , assistant(new QRadioButton(QStringLiteral("Teaching Assistant / Assistant"), this))
    , others(new QRadioButton(QStringLiteral("others"), this))
    , btnOK(new QPushButton(QStringLiteral("OK"), this))
    , BitBtn1(new QPushButton(QStringLiteral("&Help"), this))
{
    setWindowTitle(QStringLiteral("Identification"));
    student->setObjectName(QStringLiteral("student"));
    theName->setObjectName(QStringLiteral("theName"));
    Label1->setObjectName(QStringLiteral("Label1"));
    assistant->setObjectName(QStringLiteral("assistant"));
    others->setObjectName(QStringLiteral("others"));
    btnOK->setObjectName(QStringLiteral("btnOK"));
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));

    // Four lines of instruction in a small dialog: a smaller type keeps them
    // unbroken.
    QFont small = Label1->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    Label1->setFont(small);
    btnOK->setDefault(true);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(student);
    nameRow->addWidget(theName, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BitBtn1);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    layout->addWidget(Label1);
    layout->addLayout(nameRow);
    layout->addWidget(assistant);
    layout->addWidget(others);
    layout->addStretch(1);
    layout->addLayout(buttons);
    FormCreate();
    // The designed size, grown where the user's fonts need more room.
    resize(QSize(231, 181).expandedTo(sizeHint()));
    move(0, 0);

    // A state set from code runs the handler as a user's click does.
    connect(student, &QRadioButton::toggled, this, [this](bool on) { if (on) studentClick(); });
    connect(assistant, &QRadioButton::toggled, this, [this](bool on) { if (on) assistantClick(); });
    connect(others, &QRadioButton::toggled, this, [this](bool on) { if (on) othersClick(); });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn1, &QPushButton::clicked, this, &TUsrDialog::BitBtn1Click);

    student->setChecked(true);
    CurrentDialog = this;
}

TUsrDialog::~TUsrDialog()
{
    if (CurrentDialog == this)
        CurrentDialog = nullptr;
}

TUsrDialog* TUsrDialog::Current()
{
    return CurrentDialog;
}

bool TUsrDialog::Execute()
{
    const bool ok = ExecModal(*this) == mrOk;
    Code = theName->text();
    Role = student->isChecked()     ? QStringLiteral("student")
           : assistant->isChecked() ? QStringLiteral("assistant")
                                    : QStringLiteral("others");
    return ok;
}

void TUsrDialog::FormCreate()
{
    Label1->setText(UsrDialogInstruction);
}

void TUsrDialog::studentClick()
{
    theName->setEnabled(true);
}

void TUsrDialog::assistantClick()
{
    theName->setEnabled(false);
}

void TUsrDialog::othersClick()
{
    theName->setEnabled(false);
}

void TUsrDialog::BitBtn1Click()
{
    ShowMessage(UsrDialogNotice);
}
