#include "ui/dialogs/channel_dialog.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>

#include "app/session.h"
#include "core/app_state.h"
#include "core/cycle_state.h"
#include "core/platform_port.h"
#include "history/history_loader.h"
#include "history/history_series.h"
#include "settings/channel_edit.h"
#include "ui/dialogs/excel_box.h"
#include "view/channel_dialog_texts.h"

namespace {

constexpr int kDialogTickMs = 1000;
constexpr int kGridX[4] = {128, 163, 198, 233};

// The reply as the box shows it: each stored line ends in CR LF (or LF when
// it was cut), 8-bit text.
QString ReplyBoxText(const char* text) {
    QString shown = QString::fromLatin1(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

}  // namespace

ChannelDialog::ChannelDialog(const DialogContext& context, QWidget* owner)
    : FixedDialog(context, owner, 60, 20, 280, 264, 1) {
    setWindowTitle(QStringLiteral("Digipeater Connections"));

    auto group = [this](int id, const char* text, int x, int y, int w, int h) {
        return place(new QGroupBox(QString::fromLatin1(text), this), id, x, y, w, h);
    };
    auto cell = [this](int id, int x, int y) {
        QLabel* label = place(new QLabel(this), id, x, y, 34, 10);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setAlignment(Qt::AlignCenter);
        return label;
    };
    auto button = [this](int id, const char* text, int x, int y) {
        return place(new QPushButton(QString::fromLatin1(text), this), id, x, y, 53, 14);
    };

    QGroupBox* destinationGroup = group(15, "Destination Call:", 6, 3, 264, 26);
    destination_ = place(new QLineEdit(this), 14, 12, 13, 254, 11);
    group(45, "Mycall:", 6, 34, 85, 26);
    mycall_ = place(new QLineEdit(this), 46, 12, 44, 70, 11);
    group(16, "Select Channel", 6, 64, 60, 60);
    channels_ = place(new QListWidget(this), 17, 11, 76, 42, 42);
    channels_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    group(21, "Connect Status of Channels:", 71, 64, 199, 60);
    const char* rowNames[] = {" Last call", " Before last call", " Date"};
    for (int r = 0; r < 3; ++r) {
        place(new QLabel(QString::fromLatin1(rowNames[r]), this), 40 + r, 73, 86 + 12 * r, 60, 11);
    }
    for (int i = 0; i < kChannelCount; ++i) {
        headers_[i] = cell(23 + i, kGridX[i], 74);
        lastCall_[i] = cell(27 + i, kGridX[i], 86);
        beforeLast_[i] = cell(31 + i, kGridX[i], 98);
        dates_[i] = cell(35 + i, kGridX[i], 110);
    }
    QGroupBox* replyGroup = group(44, "Last Digipeater Data:", 6, 128, 264, 114);
    reply_ = place(new QPlainTextEdit(this), 43, 12, 137, 254, 100);
    reply_->setReadOnly(true);
    // Long lines wrap: the box has a vertical scroll bar only.
    reply_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    reply_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    reply_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    QPushButton* load = button(77, "Load &File", 100, 40);
    QPushButton* acceptButton = button(222, "&Accept", 158, 40);
    QPushButton* connectButton = button(22, "&Connect", 216, 40);
    QPushButton* ok = button(1, "&Ok", 158, 246);
    QPushButton* cancel = button(2, "Ca&ncel", 216, 246);
    QPushButton* excel = button(70, "E&XCEL Help", 6, 246);
    for (QPushButton* b : {load, acceptButton, connectButton, cancel, excel}) b->setAutoDefault(false);
    ok->setDefault(true);

    // Context help; the fields and the reply box share their frame's topic.
    const std::pair<QWidget*, int> topics[] = {
        {channels_, 101},     {replyGroup, 102},       {reply_, 102},
        {connectButton, 103}, {destinationGroup, 104}, {destination_, 104},
        {excel, 105},         {acceptButton, 106},     {load, 107},
    };
    for (const auto& [control, topic] : topics) setHelpTopic(control, topic);

    connect(acceptButton, &QPushButton::clicked, this, [this] { acceptFields(); });
    connect(load, &QPushButton::clicked, this, [this] { loadFile(); });
    connect(connectButton, &QPushButton::clicked, this, [this] { connectNow(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (acceptFields()) {
            dialogTick_.stop();
            accept();
        }
    });
    connect(cancel, &QPushButton::clicked, this, [this] { QDialog::reject(); });
    connect(excel, &QPushButton::clicked, this, [this] { (new ExcelBox(context_, this))->open(); });

    // Opening: the dialog's own second tick, the list with the current
    // channel selected and focused, the grid, Mycall.
    connect(&dialogTick_, &QTimer::timeout, this, [this] { refresh(); });
    dialogTick_.start(kDialogTickMs);
    AppState& state = *context_.State;
    for (const ChannelRecord& c : state.ChannelTable) channels_->addItem(QString::fromLatin1(c.ChannelName));
    channels_->setCurrentRow(state.CurrentChannel);
    connect(channels_, &QListWidget::currentRowChanged, this, [this](int row) { selectChannel(row); });
    channels_->setFocus();
    listNotified();
    showGridStates();
    showGridTimes();
    mycall_->setText(QString::fromLatin1(state.Mycall));
}

bool ChannelDialog::eventFilter(QObject* watched, QEvent* event) {
    // The list's focus notifications bring the destination field and the
    // reply box back to the selected channel.
    if (watched == channels_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        listNotified();
    }
    return FixedDialog::eventFilter(watched, event);
}

void ChannelDialog::refresh() {
    showGridStates();
    showGridTimes();
    const AppState& state = *context_.State;
    const CycleState cycle = state.ChannelTable[state.CurrentChannel].CycleState;
    if (cycle == CycleState::Disconnect || cycle == CycleState::AwaitDisconnect) showReplyText();
}

int ChannelDialog::acceptFields() {
    ChannelEdit edit{};
    std::snprintf(edit.Mycall, sizeof edit.Mycall, "%s", mycall_->text().toLatin1().constData());
    std::snprintf(edit.CallPath, sizeof edit.CallPath, "%s", destination_->text().toLatin1().constData());
    const char* why = nullptr;
    AppState& state = *context_.State;
    if (AcceptChannelFields(state, state.CurrentChannel, edit, &why)) return 1;
    showNotice(this, why, QMessageBox::Critical);
    return 0;
}

void ChannelDialog::listNotified() {
    const AppState& state = *context_.State;
    destination_->setText(QString::fromLatin1(state.ChannelTable[state.CurrentChannel].CallPath));
    showReplyText();
}

void ChannelDialog::selectChannel(int row) {
    if (row < 0 || row >= kChannelCount) return;
    context_.State->CurrentChannel = row;
    context_.Port->repaint(true);
    listNotified();
}

void ChannelDialog::showGridStates() {
    const AppState& state = *context_.State;
    for (int i = 0; i < kChannelCount; ++i) {
        char text[kGridTextSize];
        if (GridHeaderText(i, state.ChannelTable[i].CycleState, text, sizeof text)) {
            headers_[i]->setText(QString::fromLatin1(text));
        }
    }
}

void ChannelDialog::showGridTimes() {
    const AppState& state = *context_.State;
    for (int i = 0; i < kChannelCount; ++i) {
        GridTimes times;
        MakeGridTimes(state.ChannelTable[i], times);
        beforeLast_[i]->setText(QString::fromLatin1(times.BeforeLast));
        lastCall_[i]->setText(QString::fromLatin1(times.LastCall));
        dates_[i]->setText(QString::fromLatin1(times.Date));
    }
}

void ChannelDialog::showReplyText() {
    AppState& state = *context_.State;
    char text[kReplyTextSize];
    ShowReplyText(state.ChannelTable[state.CurrentChannel], text, sizeof text);
    reply_->setPlainText(ReplyBoxText(text));
}

void ChannelDialog::loadFile() {
    acceptFields();
    AppState& state = *context_.State;
    LoadFileSequence(state, *context_.Port, state.CurrentChannel);
}

void ChannelDialog::connectNow() {
    if (!acceptFields()) return;
    const AppState& state = *context_.State;
    if (const char* refusal = ConnectRefusal(state, state.CurrentChannel)) {
        showNotice(this, refusal, QMessageBox::Warning);
        return;
    }
    if (!context_.RequestImmediateCall || !context_.RequestImmediateCall()) {
        showNotice(context_.MainWindow, kTooManyTimersText, QMessageBox::Warning);
        return;
    }
    showGridStates();
    showGridTimes();
}
