#include "app/AboutBoxUnit.h"

#include "QuorData/Utility.h"
#include "app/HelpWindow.h"
#include "usagelog/Waiting.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

TLinkLabel::TLinkLabel(const QString& Caption, QWidget* Parent)
    : QLabel(Caption, Parent)
{
    setStyleSheet(QStringLiteral("color: blue;"));
    setCursor(Qt::PointingHandCursor);
    setAlignment(Qt::AlignHCenter);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event)
{
    QLabel::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()) && OnClick)
        OnClick();
}

QString TAboutBox::InstituteAddress()
{
    return QUrl::fromLocalFile(HelpPagesFolder() + QStringLiteral("100.html")).toString();
}

QString TAboutBox::HomeAddress()
{
    return InstituteAddress();
}

QString TAboutBox::ProductAddress()
{
    return InstituteAddress();
}

TAboutBox::TAboutBox(QWidget* Parent)
    : QDialog(Parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(299, 487);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    auto* column = new QVBoxLayout(panel);
    column->setSpacing(6);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setFixedSize(233, 177);
    ProgramIcon->setAlignment(Qt::AlignCenter);
    const QImage picture = ProductPicture();
    if (!picture.isNull())
        ProgramIcon->setPixmap(QPixmap::fromImage(
            picture.scaled(ProgramIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    column->addWidget(ProgramIcon, 0, Qt::AlignHCenter);

    ProductName = new QLabel(QStringLiteral("Quorbel"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont big = ProductName->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    ProductName->setFont(big);
    ProductName->setAlignment(Qt::AlignHCenter);
    column->addWidget(ProductName);

    Version = new QLabel(QStringLiteral("Version 4.0 (August 2010)"), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Version->setAlignment(Qt::AlignHCenter);
    column->addWidget(Version);

    Institute = new TLinkLabel(QStringLiteral("The Quorbel project"), panel);
    Institute->setObjectName(QStringLiteral("Institute"));
    Institute->OnClick = [this] { InstituteClick(); };
    column->addWidget(Institute);

    Details = new QLabel(QStringLiteral("Interactive exploration of multivariate data\n"
                                        "in four linked plots"),
                         panel);
    Details->setObjectName(QStringLiteral("Details"));
    Details->setAlignment(Qt::AlignHCenter);
    column->addWidget(Details);

    QivLink = new TLinkLabel(QStringLiteral("The Quorbel developers"), panel);
    QivLink->setObjectName(QStringLiteral("QivLink"));
    QivLink->OnClick = [this] { QivLinkClick(); };
    column->addWidget(QivLink);

    column->addStretch();
    Label1 = new TLinkLabel(QStringLiteral("Contact:"), panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->OnClick = [this] { QivLinkClick(); };
    column->addWidget(Label1);

    QuorbelWwwLink = new TLinkLabel(ProductAddress(), panel);
    QuorbelWwwLink->setObjectName(QStringLiteral("QuorbelWwwLink"));
    QuorbelWwwLink->setWordWrap(true);
    QuorbelWwwLink->OnClick = [this] { QuorbelWwwLinkClick(); };
    column->addWidget(QuorbelWwwLink);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(panel, 1);
    outer->addWidget(OKButton, 0, Qt::AlignHCenter);
}

void TAboutBox::InstituteClick()
{
    ShellOpen(InstituteAddress());
}

void TAboutBox::QivLinkClick()
{
    ShellOpen(HomeAddress());
}

void TAboutBox::QuorbelWwwLinkClick()
{
    ShellOpen(QuorbelWwwLink->text());
}
