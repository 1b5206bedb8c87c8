#include "ui/tick_timers.h"

#include "app/tick_dispatch.h"

TickTimers::TickTimers(AppState& state, PlatformPort& port, QObject* parent)
    : QObject(parent), state_(state), port_(port), pump_(port) {
    minute_.setTimerType(Qt::PreciseTimer);
    second_.setTimerType(Qt::PreciseTimer);
    connect(&minute_, &QTimer::timeout, this, [this] {
        if (held_) {
            minuteDue_ = true;
            return;
        }
        OnMinuteTimer(state_, port_, 0);
        pump_.service();
    });
    connect(&second_, &QTimer::timeout, this, [this] {
        if (held_) {
            secondDue_ = true;
            return;
        }
        OnSecondTimer(state_, port_);
        pump_.service();
    });
}

int TickTimers::start(int id, int periodMs) {
    QTimer* timer = id == kMinuteTimerId ? &minute_ : id == kSecondTimerId ? &second_ : nullptr;
    if (timer == nullptr) return 0;
    timer->start(periodMs);
    return timer->isActive() ? 1 : 0;
}

void TickTimers::stop(int id) {
    if (id == kMinuteTimerId) minute_.stop();
    if (id == kSecondTimerId) second_.stop();
}

bool TickTimers::isActive(int id) const {
    return id == kMinuteTimerId ? minute_.isActive() : id == kSecondTimerId && second_.isActive();
}

void TickTimers::requestImmediateCall() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            OnMinuteTimer(state_, port_, 1);
            pump_.service();
        },
        Qt::QueuedConnection);
}

void TickTimers::hold(bool on) {
    held_ = on;
    if (on) return;
    const bool minute = minuteDue_;
    const bool second = secondDue_;
    minuteDue_ = false;
    secondDue_ = false;
    if (minute) OnMinuteTimer(state_, port_, 0);
    if (second) OnSecondTimer(state_, port_);
}
