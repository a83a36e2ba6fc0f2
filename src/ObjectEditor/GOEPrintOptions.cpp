#include "ObjectEditor/GOEPrintOptions.h"

#include <QLabel>

TGOEPrintOptionsForm::TGOEPrintOptionsForm(QWidget* owner)
    : TGOECopyOptionsForm(owner)
{
    setWindowTitle(QStringLiteral("Print Options"));
    setProperty("helpContext", 54);
    StaticText1->setText(QStringLiteral("Select parts to print:"));
}
