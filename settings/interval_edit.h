// The connect-interval rules of the interval dialog: the slider's range, the
// label, and storing a new interval (which restarts the channel's count, so
// its next call is a whole new interval away).
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

constexpr int kIntervalMin = 7;
constexpr int kIntervalMax = 60;
constexpr int kIntervalLabelSize = 48;

// Where the slider's thumb stands for a stored interval: the value itself,
// or the nearest end of 7..60 for a value from the settings file outside it.
int IntervalSliderPosition(int minutes);
// "Channel %d:  %d minutes" for channel index `channel`.
void IntervalLabelText(int channel, int minutes, char* out, int size);
// The slider moved: MinutenIntervall of `channel` = minutes (kept within
// 7..60), MinuteCount = 0.
void StoreChannelInterval(AppState& state, int channel, int minutes);
