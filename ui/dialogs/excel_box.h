// "How to use EXCEL": the hint that the channel dialog's EXCEL Help button
// has context help. Only its Ok button closes it.
//
// Threading: GUI thread only.
#pragma once

#include "ui/dialogs/fixed_dialog.h"

class ExcelBox : public FixedDialog {
    Q_OBJECT
public:
    ExcelBox(const DialogContext& context, QWidget* owner);
};
