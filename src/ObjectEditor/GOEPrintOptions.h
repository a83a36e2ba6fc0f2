#pragma once

#include "ObjectEditor/GOECopyOptions.h"

// The copy options worded for printing.
class TGOEPrintOptionsForm : public TGOECopyOptionsForm {
    Q_OBJECT
public:
    explicit TGOEPrintOptionsForm(QWidget* owner = nullptr);
};
