#pragma once

#include "ObjectEditor/CopyBox.h"

// The copy source chooser captioned for printing.
class TPrintBoxForm : public TCopyBoxForm {
    Q_OBJECT
public:
    explicit TPrintBoxForm(QWidget* owner = nullptr);
};
