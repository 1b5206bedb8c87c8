// "Diagrams": the ten display switches as check boxes on working copies,
// applied all at once by Ok, its only way out (Escape does nothing).
//
// Threading: GUI thread only.
#pragma once

#include "ui/dialogs/fixed_dialog.h"
#include "view/display_switches.h"

class GraphicsDialog : public FixedDialog {
    Q_OBJECT
public:
    GraphicsDialog(const DialogContext& context, QWidget* owner);

private:
    DisplaySwitchCopies copies_;
};
