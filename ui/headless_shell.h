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

#include "ui/shell_port.h"

class HeadlessShell final : public ShellPort {
public:
    HeadlessShell(ShellSession& session, AppState& state);

    // PlatformPort
    BoxAnswer ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) override;
    void tell(const char* text, const char* caption, BoxIcon icon) override;
    void repaint(bool) override {}
    void setStatusText(int field, const char* text) override;
    int isButtonChecked(int) override { return 0; }
    int isButtonEnabled(int commandId) override;
    void enableButton(int commandId, int enable) override;

    // ShellHost
    void createWindow() override {}
    void createToolbar() override {}
    void createStatusBar(const int*, int) override {}
    void showWindow() override {}

    const std::string& statusText(int field) const { return status_[field]; }

private:
    std::string status_[kStatusFieldCount];
    std::map<int, int> enabled_;
};

// One line for a box: "caption: text", line breaks as " / ".
std::string HeadlessBoxLine(const char* caption, const char* text);
