#include "ui/gui_shell.h"

#include <QMessageBox>

#include "app/tick_dispatch.h"
#include "ui/client_area.h"
#include "ui/main_window.h"
#include "ui/view/diagram_widget.h"

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::Information:
            return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::Ok:
            return QMessageBox::Ok;
        case BoxButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case BoxButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

GuiShell::GuiShell(ShellSession& session, AppState& state, BaseUnits units)
    : ShellPort(session, state), units_(units) {
    session_.BaseUnitX = units.X;
    session_.BaseUnitY = units.Y;
}

GuiShell::~GuiShell() = default;

BoxAnswer GuiShell::ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) {
    QMessageBox box(ToQtIcon(icon), QString::fromLatin1(caption), QString::fromLatin1(text),
                    ToQtButtons(buttons), window_ && window_->isVisible() ? window_.get() : nullptr);
    const int answer = box.exec();
    if (answer == QMessageBox::Retry) return BoxAnswer::Retry;
    if (answer == QMessageBox::Ok) return BoxAnswer::Ok;
    // Escape or the frame's close button.
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void GuiShell::tell(const char* text, const char* caption, BoxIcon icon) {
    auto* box = new QMessageBox(ToQtIcon(icon), QString::fromLatin1(caption), QString::fromLatin1(text),
                                QMessageBox::Ok, window_.get());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void GuiShell::repaint(bool erase) {
    (void)erase;  // the client area always paints its whole background
    if (window_) window_->clientArea()->diagram()->update();
}

void GuiShell::setStatusText(int field, const char* text) {
    if (window_) window_->setStatusText(field, text);
}

int GuiShell::isButtonChecked(int commandId) {
    return window_ ? window_->isButtonChecked(commandId) : 0;
}

int GuiShell::isButtonEnabled(int commandId) {
    return window_ ? window_->isButtonEnabled(commandId) : 0;
}

void GuiShell::enableButton(int commandId, int enable) {
    if (window_) window_->enableButton(commandId, enable);
}

void GuiShell::createWindow() {
    window_ = std::make_unique<MainWindow>(state_, *this, units_);
    window_->onShutdown = [this] { ShutdownSequence(session_, state_, *this, *this); };
    window_->requestImmediateCall = [this] {
        timers_.stop(kMinuteTimerId);
        if (!timers_.start(kMinuteTimerId, ScaledTimerPeriod(kMinuteTimerMs, session_.TimeScale))) return 0;
        timers_.requestImmediateCall();
        return 1;
    };
    window_->clientArea()->diagram()->holdTicks = [this](bool on) { timers_.hold(on); };
}

void GuiShell::createToolbar() {
    window_->createToolBar();
}

void GuiShell::createStatusBar(const int* widths, int count) {
    window_->createStatusBar(widths, count);
}

void GuiShell::showWindow() {
    window_->show();
}
