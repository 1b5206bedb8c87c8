// "Response to a connect request": the greeting callers get, and an editor
// of the answer text that follows it. Accept checks the lines and saves;
// Cancel saves nothing.
//
// Threading: GUI thread only.
#pragma once

#include "ui/dialogs/fixed_dialog.h"

class QPlainTextEdit;

class AnswerTextDialog : public FixedDialog {
    Q_OBJECT
public:
    AnswerTextDialog(const DialogContext& context, QWidget* owner);

private:
    void acceptText();

    QPlainTextEdit* editor_;
};
