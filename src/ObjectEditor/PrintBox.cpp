#include "ObjectEditor/PrintBox.h"

TPrintBoxForm::TPrintBoxForm(QWidget* owner)
    : TCopyBoxForm(owner)
{
    setWindowTitle(QStringLiteral("Print"));
}
