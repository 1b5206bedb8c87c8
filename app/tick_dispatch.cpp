// Timer dispatch. The connect cycle and the answering service are separate
// modules; the calls into them are kept here so that the order is in one
// place.
#include "app/tick_dispatch.h"

#include "acquisition/answer_service.h"
#include "acquisition/connect_cycle.h"
#include "view/status_texts.h"

int ScaledTimerPeriod(int periodMs, int timeScale) {
    if (timeScale < 1) {
        timeScale = 1;
    }
    const int period = periodMs / timeScale;
    return period < 1 ? 1 : period;
}

void OnMinuteTimer(AppState& state, PlatformPort& port, int immediate) {
    MinuteTick(state, port, immediate);
}

void OnSecondTimer(AppState& state, PlatformPort& port) {
    AnswerTick(state, port);
    CycleTick(state, port);
    ShowCycleStatus(state, port, state.CurrentChannel);
}
