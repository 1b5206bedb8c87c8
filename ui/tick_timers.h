// Timers 1 and 2 as QTimers, calling the tick handlers; and the channel
// dialog's request for an immediate call, a queued call of the minute
// handler. Qt holds back a timer's own ticks while its handler runs a nested
// loop, so a handler is never re-entered by its own timer.
//
// Threading: GUI thread only.
#pragma once

#include <QObject>
#include <QTimer>

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

private:
    AppState& state_;
    PlatformPort& port_;
    QTimer minute_;
    QTimer second_;
};
