// "About Hopwatch": the program, its version and who made it. Only its Ok
// button closes it.
//
// Threading: GUI thread only.
#pragma once

#include "ui/dialogs/fixed_dialog.h"

class AboutBox : public FixedDialog {
    Q_OBJECT
public:
    AboutBox(const DialogContext& context, QWidget* owner);
};
