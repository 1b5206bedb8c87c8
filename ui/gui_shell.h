// The desktop program: the platform port and shell host on top of the main
// window. Boxes that wait for an answer run QMessageBox::exec() (timers keep
// firing in its loop); notices open modal without blocking the caller.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "app/session.h"
#include "core/log_sink.h"
#include "core/platform_port.h"
#include "ui/base_units.h"
#include "ui/tick_timers.h"

class MainWindow;

class GuiShell final : public PlatformPort, public ShellHost {
public:
    GuiShell(ShellSession& session, AppState& state, BaseUnits units);
    ~GuiShell() override;

    MainWindow* window() const { return window_.get(); }
    TickTimers& timers() { return timers_; }

    // PlatformPort
    BoxAnswer ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) override;
    void tell(const char* text, const char* caption, BoxIcon icon) override;
    void log(const char* line) override;
    void repaint(bool erase) override;
    void setStatusText(int field, const char* text) override;
    int isButtonChecked(int commandId) override;
    int isButtonEnabled(int commandId) override;
    void enableButton(int commandId, int enable) override;
    std::tm localTime() override;
    Layer2& l2() override;

    // ShellHost
    void createWindow() override;
    void createToolbar() override;
    void createStatusBar(const int* widths, int count) override;
    void showWindow() override;
    int startTimer(int id, int periodMs) override;
    void stopTimer(int id) override;
    void postQuit(int code) override;

private:
    ShellSession& session_;
    AppState& state_;
    BaseUnits units_;
    TickTimers timers_;
    std::unique_ptr<MainWindow> window_;
};

// Local broken-down time for the ports.
std::tm CurrentLocalTime();
// The ports' log: each line on standard error.
LogSink StandardErrorLog();
