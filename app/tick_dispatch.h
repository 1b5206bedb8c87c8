// What the two timers and the immediate call request run, in their order:
// the minute tick schedules calls; the second tick runs the answering
// service, then one connect-cycle step of every channel, then shows the
// current channel's cycle state.
//
// Threading: GUI thread only; the handlers may be re-entered from nested
// loops of boxes opened inside them (a timer's own handler is not).
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr int kMinuteTimerId = 1;
constexpr int kSecondTimerId = 2;
constexpr int kMinuteTimerMs = 60000;
constexpr int kSecondTimerMs = 1000;

// Period of a timer run `timeScale` times faster; never below 1 ms.
int ScaledTimerPeriod(int periodMs, int timeScale);

// Timer 1, or the channel dialog's request for an immediate call.
void OnMinuteTimer(AppState& state, PlatformPort& port, int immediate);
// Timer 2.
void OnSecondTimer(AppState& state, PlatformPort& port);
