// "Connect Intervals": a slider of 7 to 60 minutes for the selected channel
// and the channel list. Every movement is stored at once (there is no
// cancel) and restarts the channel's minute count.
//
// Threading: GUI thread only.
#pragma once

#include "ui/dialogs/fixed_dialog.h"

class QLabel;
class QListWidget;
class QSlider;

class IntervalDialog : public FixedDialog {
    Q_OBJECT
public:
    IntervalDialog(const DialogContext& context, QWidget* owner);

    QSlider* slider() const { return slider_; }

private:
    void showChannel();
    void sliderMoved(int position);

    QSlider* slider_;
    QLabel* label_;
    QListWidget* channels_;
};
