// Timer dispatch. The connect cycle and the answering service are separate
// modules; the calls into them are kept here so that the order is in one
// place.
#include "shell/tick_dispatch.h"

#include "shell/status_bar.h"

int ScaledTimerPeriod(int periodMs, int timeScale) {
    if (timeScale < 1) {
        timeScale = 1;
    }
    const int period = periodMs / timeScale;
    return period < 1 ? 1 : period;
}

void OnMinuteTimer(AppState& state, PlatformPort& port, int immediate) {
    (void)state;
    (void)port;
    (void)immediate;
    // LEAD-MERGE: MinuteTick(state, port, immediate);  (acquisition/connect_cycle.h)
}

void OnSecondTimer(AppState& state, PlatformPort& port) {
    // LEAD-MERGE: AnswerTick(state, port);  (acquisition/answer_service.h)
    // LEAD-MERGE: CycleTick(state, port);   (acquisition/connect_cycle.h)
    ShowCycleStatus(state, port, state.CurrentChannel);
}
