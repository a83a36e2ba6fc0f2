#include "ObjectEditor/GOECopyOptions.h"

#include "platform/DialogService.h"

#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>

namespace {
constexpr int kListRightGap = TGOECopyOptionsForm::DesignedClientWidth - (8 + 298);
constexpr int kListBottomGap = TGOECopyOptionsForm::DesignedClientHeight - (32 + 49);
} // namespace

TGOECopyOptionsForm::TGOECopyOptionsForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint)
{
    setWindowTitle(QStringLiteral("Copy Options"));
    setProperty("helpContext", 52);
    setModal(true);

    StaticText1 = new QLabel(QStringLiteral("Select parts to include:"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->move(8, 8);

    CheckListBox = new QListWidget(this);
    CheckListBox->setObjectName(QStringLiteral("CheckListBox"));
    // Item order is fixed: PartToItem maps parts onto these positions.
    for (const char* text : {"Background", "Objects", "Selection"}) {
        auto* item = new QListWidgetItem(QString::fromLatin1(text), CheckListBox);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(0, 13));
    }

    auto makeButton = [this](const char* name, const QString& text, int x) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(x, 92, 75, 25);
        return button;
    };
    ButtonOK = makeButton("ButtonOK", QStringLiteral("OK"), 71);
    ButtonOK->setDefault(true);
    ButtonCancel = makeButton("ButtonCancel", QStringLiteral("Cancel"), 151);
    ButtonHelp = makeButton("ButtonHelp", QStringLiteral("Help"), 231);
    connect(ButtonOK, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(ButtonHelp, &QPushButton::clicked, this, &TGOECopyOptionsForm::ButtonHelpClick);

    resize(DesignedClientWidth, DesignedClientHeight);
    PlaceControls();
}

int TGOECopyOptionsForm::PartToItem(TGOEPart part) const
{
    switch (part) {
    case goepObjects: return 1;
    case goepBackground: return 0;
    case goepSelection: return 2;
    case goepHandles: break;
    }
    return -1;
}

void TGOECopyOptionsForm::TogglePart(TGOEPart part)
{
    SetChecked(part, !IsChecked(part));
}

void TGOECopyOptionsForm::SetParts(TGOEParts parts)
{
    for (TGOEPart part : {goepBackground, goepObjects, goepSelection})
        SetChecked(part, parts.testFlag(part));
}

TGOEParts TGOECopyOptionsForm::GetParts() const
{
    TGOEParts parts;
    for (TGOEPart part : {goepBackground, goepObjects, goepSelection})
        if (IsChecked(part))
            parts |= part;
    return parts;
}

void TGOECopyOptionsForm::ButtonHelpClick()
{
    // The application's help filter opens the topic of the form's help context.
    QHelpEvent request(QEvent::WhatsThis, QPoint(), mapToGlobal(QPoint()));
    QCoreApplication::sendEvent(this, &request);
}

void TGOECopyOptionsForm::reject()
{
    done(mrCancel);
}

void TGOECopyOptionsForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceControls();
}

bool TGOECopyOptionsForm::IsChecked(TGOEPart part) const
{
    const QListWidgetItem* item = CheckListBox->item(PartToItem(part));
    return item && item->checkState() == Qt::Checked;
}

void TGOECopyOptionsForm::SetChecked(TGOEPart part, bool checked)
{
    if (QListWidgetItem* item = CheckListBox->item(PartToItem(part)))
        item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void TGOECopyOptionsForm::PlaceControls()
{
    CheckListBox->setGeometry(8, 32, width() - 8 - kListRightGap, height() - 32 - kListBottomGap);
}
