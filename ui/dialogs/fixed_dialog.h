// The common ground of the program's dialogs: a caption without system menu,
// placed beside its owner and sized in dialog units (x * BaseUnitX / 4,
// y * BaseUnitY / 8), controls placed the same way with their control id as
// object name ("control22"), notices shown modal without blocking, and
// context help: F1 on a control, or a right click on it, opens its help topic
// in the language the Help menu chose last.
//
// Dialogs are opened with open(): modal for the user, while the main
// window's timers, the connect cycle and the answering service go on.
//
// Threading: GUI thread only.
#pragma once

#include <QDialog>
#include <QMessageBox>

#include "ui/dialogs/dialog_context.h"

class FixedDialog : public QDialog {
    Q_OBJECT
public:
    // Position and size in dialog units; `escapeCloses` 0 for the dialogs
    // that only their Ok button closes.
    FixedDialog(const DialogContext& context, QWidget* owner, int x, int y, int width, int height,
                int escapeCloses);

    QRect dialogUnits(int x, int y, int width, int height) const;
    // Places `control` at dialog units and names it after its id (0: no name).
    template <class Control>
    Control* place(Control* control, int id, int x, int y, int width, int height) {
        control->setGeometry(dialogUnits(x, y, width, height));
        if (id != 0) control->setObjectName(QStringLiteral("control%1").arg(id));
        return control;
    }
    void setHelpTopic(QWidget* control, int topic);
    // A modal notice owned by `owner` that does not block the caller.
    static void showNotice(QWidget* owner, const char* text, QMessageBox::Icon icon);

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    DialogContext context_;

private:
    int escapeCloses_;
};
