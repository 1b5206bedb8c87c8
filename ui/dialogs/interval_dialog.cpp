#include "ui/dialogs/interval_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>

#include "core/app_state.h"
#include "core/platform_port.h"
#include "settings/interval_edit.h"

IntervalDialog::IntervalDialog(const DialogContext& context, QWidget* owner)
    : FixedDialog(context, owner, 60, 20, 160, 80, 1) {
    setWindowTitle(QStringLiteral("Connect Intervals"));
    place(new QGroupBox(QStringLiteral("Interval for collecting data"), this), 4, 6, 3, 148, 43);
    label_ = place(new QLabel(this), 18, 7, 30, 140, 8);
    label_->setAlignment(Qt::AlignCenter);
    place(new QGroupBox(QStringLiteral("Select Channel"), this), 20, 6, 50, 80, 24);
    channels_ = place(new QListWidget(this), 19, 12, 60, 42, 11);
    channels_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPushButton* ok = place(new QPushButton(QStringLiteral("OK"), this), 1, 108, 58, 46, 12);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    // The slider's place is given in pixels, not dialog units.
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("intervalTrackbar"));
    slider_->setGeometry(16, 23, 280, 30);
    slider_->setTickPosition(QSlider::NoTicks);
    slider_->setRange(kIntervalMin, kIntervalMax);
    slider_->setPageStep(1);
    slider_->setSingleStep(1);
    slider_->setValue(kIntervalMin);
    slider_->setFocus();
    // Every action of the slider (a drag, a click, a key) and the end of a
    // drag store the position, so the stored interval never lags behind what
    // the slider shows.
    connect(slider_, &QSlider::actionTriggered, this, [this] { sliderMoved(slider_->sliderPosition()); });
    connect(slider_, &QSlider::sliderReleased, this, [this] { sliderMoved(slider_->value()); });

    const AppState& state = *context_.State;
    // One line visible at a time: each entry as high as the list's inside.
    const int lineHeight = channels_->contentsRect().height();
    for (const ChannelRecord& c : state.ChannelTable) {
        auto* item = new QListWidgetItem(QString::fromLatin1(c.ChannelName), channels_);
        item->setSizeHint(QSize(0, lineHeight));
    }
    channels_->setCurrentRow(state.CurrentChannel);
    showChannel();
    connect(channels_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || row >= kChannelCount) return;
        context_.State->CurrentChannel = row;
        showChannel();
        context_.Port->repaint(true);
    });
}

void IntervalDialog::showChannel() {
    const AppState& state = *context_.State;
    const int minutes = state.ChannelTable[state.CurrentChannel].MinutenIntervall;
    slider_->setValue(IntervalSliderPosition(minutes));
    char text[kIntervalLabelSize];
    IntervalLabelText(state.CurrentChannel, minutes, text, sizeof text);
    label_->setText(QString::fromLatin1(text));
}

void IntervalDialog::sliderMoved(int position) {
    AppState& state = *context_.State;
    StoreChannelInterval(state, state.CurrentChannel, position);
    char text[kIntervalLabelSize];
    IntervalLabelText(state.CurrentChannel, state.ChannelTable[state.CurrentChannel].MinutenIntervall, text,
                      sizeof text);
    label_->setText(QString::fromLatin1(text));
}
