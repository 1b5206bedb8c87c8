// Timers 1 and 2 as QTimers, calling the tick handlers; and the channel
// dialog's request for an immediate call, a queued call of the minute
// handler; and holding the ticks back while the diagram scrolls. Qt holds back a timer's own ticks while its handler runs a nested
// loop, so a handler is never re-entered by its own timer.
//
// Threading: GUI thread only.
#pragma once

#include <QObject>
#include <QTimer>

#include "ui/layer2_pump.h"

struct AppState;
struct PlatformPort;

class TickTimers : public QObject {
    Q_OBJECT
public:
    TickTimers(AppState& state, PlatformPort& port, QObject* parent = nullptr);

    int start(int id, int periodMs);
    void stop(int id);
    void requestImmediateCall();
    bool isActive(int id) const;
    // While held, ticks that fall due are noted instead of run; releasing
    // runs each noted tick once (minute first), as coalesced timer
    // messages would after the right-button scrolling loop.
    void hold(bool on);

private:
    AppState& state_;
    PlatformPort& port_;
    QTimer minute_;
    QTimer second_;
    Layer2Pump
        pump_;  // the backend between ticks; re-armed after every tick, whose calls may start its timers
    bool held_ = false;
    bool minuteDue_ = false;
    bool secondDue_ = false;
};
