#include "settings/interval_edit.h"

#include <cstdio>

int IntervalSliderPosition(int minutes) {
    if (minutes < kIntervalMin) return kIntervalMin;
    if (minutes > kIntervalMax) return kIntervalMax;
    return minutes;
}

void IntervalLabelText(int channel, int minutes, char* out, int size) {
    std::snprintf(out, static_cast<std::size_t>(size), "Channel %d:  %d minutes", channel + 1, minutes);
}

void StoreChannelInterval(AppState& state, int channel, int minutes) {
    ChannelRecord& c = state.ChannelTable[channel];
    c.MinutenIntervall = IntervalSliderPosition(minutes);
    c.MinuteCount = 0;
}
