// What the window's port and the service's have in common: the session and
// its layer-2 stack, the two tick timers, the local time, the log on
// standard error, and quitting through the Qt event loop. GuiShell and
// HeadlessShell add the boxes, the repaint, the status bar and the toolbar.
//
// Threading: GUI thread only.
#pragma once

#include "app/session.h"
#include "core/log_sink.h"
#include "core/platform_port.h"
#include "ui/tick_timers.h"

class ShellPort : public PlatformPort, public ShellHost {
public:
    ShellPort(ShellSession& session, AppState& state);

    TickTimers& timers() { return timers_; }

    // PlatformPort
    void log(const char* line) override;
    std::tm localTime() override;
    Layer2& l2() override;

    // ShellHost
    int startTimer(int id, int periodMs) override;
    void stopTimer(int id) override;
    void postQuit(int code) override;

protected:
    ShellSession& session_;
    AppState& state_;
    TickTimers timers_;
};

// The ports' log as a sink, for what is made before a port exists (the
// command line's backend, the demo): each line on standard error.
LogSink StandardErrorLog();
