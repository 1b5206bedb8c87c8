// "Digipeater Connections": Mycall and each channel's destination, the
// channel list (a selection switches the main window's channel at once), an
// immediate call, loading a channel's history file, and, refreshed every
// second, the connect status of all four channels and the last reply of the
// selected one. Values go to memory through the core's accept step only, so
// an invalid entry stays in its field.
//
// Threading: GUI thread only.
#pragma once

#include <QTimer>

#include "ui/dialogs/fixed_dialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class ChannelDialog : public FixedDialog {
    Q_OBJECT
public:
    ChannelDialog(const DialogContext& context, QWidget* owner);

    // The one-second refresh (also run when the dialog opens).
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int acceptFields();
    void listNotified();
    void selectChannel(int row);
    void showGridStates();
    void showGridTimes();
    void showReplyText();
    void loadFile();
    void connectNow();

    QLineEdit* destination_;
    QLineEdit* mycall_;
    QListWidget* channels_;
    QLabel* headers_[4];
    QLabel* lastCall_[4];
    QLabel* beforeLast_[4];
    QLabel* dates_[4];
    QPlainTextEdit* reply_;
    QTimer dialogTick_;
};
