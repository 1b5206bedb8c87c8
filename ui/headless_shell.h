// The service without a window: the same timers and handlers on a
// QCoreApplication. A box becomes one line on standard error,
// "caption: text" with line breaks as " / "; a question takes its safe
// answer (Cancel), a plain notice Ok. The toolbar's states are kept in
// memory, as the core asks for them.
//
// Threading: GUI thread only.
#pragma once

#include <map>
#include <string>

#include "app/session.h"
#include "core/platform_port.h"
#include "ui/tick_timers.h"

class HeadlessShell final : public PlatformPort, public ShellHost {
public:
    HeadlessShell(ShellSession& session, AppState& state);

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
    void createWindow() override {}
    void createToolbar() override {}
    void createStatusBar(const int*, int) override {}
    void showWindow() override {}
    int startTimer(int id, int periodMs) override;
    void stopTimer(int id) override;
    void postQuit(int code) override;

    const std::string& statusText(int field) const { return status_[field]; }
    TickTimers& timers() { return timers_; }

private:
    ShellSession& session_;
    TickTimers timers_;
    std::string status_[kStatusFieldCount];
    std::map<int, int> enabled_;
};

// One line for a box: "caption: text", line breaks as " / ".
std::string HeadlessBoxLine(const char* caption, const char* text);
