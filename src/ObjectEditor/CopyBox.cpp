#include "ObjectEditor/CopyBox.h"

#include "platform/DialogService.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHelpEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
// Distances of the anchored controls from the right and bottom client edges
// at the designed size.
constexpr int kGroupRightGap = TCopyBoxForm::DesignedClientWidth - (8 + 312);
constexpr int kGroupBottomGap = TCopyBoxForm::DesignedClientHeight - (16 + 27);
constexpr int kButtonTopGap = TCopyBoxForm::DesignedClientHeight - 65;
} // namespace

TCopyBoxForm::TCopyBoxForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint)
{
    setWindowTitle(QStringLiteral("Copy to Clipboard"));
    setProperty("helpContext", 47);
    setModal(true);

    RadioGroupSource = new QGroupBox(QStringLiteral("Choose Source:"), this);
    RadioGroupSource->setObjectName(QStringLiteral("RadioGroupSource"));
    FSourceLayout = new QVBoxLayout(RadioGroupSource);
    FSourceLayout->setContentsMargins(8, 2, 8, 2);
    FSourceLayout->setSpacing(0);
    FSources = new QButtonGroup(this);
    FSources->setExclusive(true);

    auto makeButton = [this](const char* name, const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QString::fromLatin1(name));
        button->resize(75, 25);
        return button;
    };
    ButtonOK = makeButton("ButtonOK", QStringLiteral("OK"));
    ButtonOK->setDefault(true);
    ButtonCancel = makeButton("ButtonCancel", QStringLiteral("Cancel"));
    ButtonHelp = makeButton("ButtonHelp", QStringLiteral("Help"));
    connect(ButtonOK, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(ButtonHelp, &QPushButton::clicked, this, &TCopyBoxForm::ButtonHelpClick);

    resize(DesignedClientWidth, DesignedClientHeight);
    PlaceControls();
}

void TCopyBoxForm::AddSource(const QString& caption)
{
    auto* item = new QRadioButton(caption, RadioGroupSource);
    FSources->addButton(item, FSources->buttons().size());
    FSourceLayout->addWidget(item);
}

int TCopyBoxForm::ItemIndex() const
{
    return FSources->checkedId();
}

void TCopyBoxForm::SetItemIndex(int index)
{
    if (QAbstractButton* item = FSources->button(index)) {
        item->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; lift that to clear it.
    if (QAbstractButton* checked = FSources->checkedButton()) {
        FSources->setExclusive(false);
        checked->setChecked(false);
        FSources->setExclusive(true);
    }
}

int TCopyBoxForm::SourceCount() const
{
    return int(FSources->buttons().size());
}

void TCopyBoxForm::FormShow()
{
    // Measured from the designed height so that showing the form again does
    // not grow it twice.
    resize(width(), DesignedClientHeight + SourceHeight * SourceCount());
    PlaceControls();
    if (SourceCount() > 0)
        SetItemIndex(0);
}

void TCopyBoxForm::ButtonHelpClick()
{
    // The application's help filter opens the topic of the form's help context.
    QHelpEvent request(QEvent::WhatsThis, QPoint(), mapToGlobal(QPoint()));
    QCoreApplication::sendEvent(this, &request);
}

void TCopyBoxForm::reject()
{
    done(mrCancel);
}

void TCopyBoxForm::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TCopyBoxForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceControls();
}

void TCopyBoxForm::PlaceControls()
{
    const int w = width();
    const int h = height();
    RadioGroupSource->setGeometry(8, 16, w - 8 - kGroupRightGap, h - 16 - kGroupBottomGap);
    const int buttonY = h - kButtonTopGap;
    ButtonOK->move(w - (DesignedClientWidth - 86), buttonY);
    ButtonCancel->move(w - (DesignedClientWidth - 166), buttonY);
    ButtonHelp->move(w - (DesignedClientWidth - 246), buttonY);
}
