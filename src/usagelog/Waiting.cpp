#include "usagelog/Waiting.h"

#include "platform/JpegImage.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>

namespace {
TAboutBox1* CurrentWindow = nullptr;
} // namespace

QImage ProductPicture()
{
    // The picture lives in a static library: without this call the linker
    // drops its resource data.
    Q_INIT_RESOURCE(usagelog);
    QFile file(QStringLiteral(":/usagelog/quorbel.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return DecodeJpeg(file.readAll());
}

TAboutBox1::TAboutBox1(QWidget* parent)
    : QDialog(parent)
    , ProgramIcon(new QLabel(this))
    , ProductName(new QLabel(QStringLiteral("QuorBel"), this))
    , Message(new QLabel(QStringLiteral("shuting down / please wait"), this))
{
    setWindowTitle(QStringLiteral("shutting down / please wait"));
    setFixedSize(298, 78);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProductName->setObjectName(QStringLiteral("ProductName"));
    Message->setObjectName(QStringLiteral("Message"));

    const QImage picture = ProductPicture();
    ProgramIcon->setGeometry(8, 4, 92, 70);
    if (!picture.isNull())
        ProgramIcon->setPixmap(QPixmap::fromImage(
            picture.scaled(ProgramIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));

    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->setGeometry(112, 12, 178, 22);
    Message->setGeometry(112, 40, 178, 22);
    CurrentWindow = this;
}

TAboutBox1::~TAboutBox1()
{
    if (CurrentWindow == this)
        CurrentWindow = nullptr;
}

TAboutBox1* TAboutBox1::Current()
{
    return CurrentWindow;
}
