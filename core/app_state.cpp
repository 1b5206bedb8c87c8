// Initial values of the shared state, before any settings are read.
#include "core/app_state.h"

#include <cstdio>
#include <cstring>

namespace {
const char* const kSectionNames[kChannelCount] = {"Channel1", "Channel2", "Channel3", "Channel4"};
}

const char* ChannelSectionName(int channel) {
    return kSectionNames[channel];
}

void InitAppState(AppState& state) {
    std::memset(&state, 0, sizeof state);
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelRecord& c = state.ChannelTable[i];
        std::snprintf(c.ChannelName, sizeof c.ChannelName, "Channel%d", i + 1);
        c.MinutenIntervall = 10;
        c.LastConDay = 25;
        c.LastConMonth = 2;
        c.LastConYear = 97;
    }
    state.CurrentChannel = 0;
    state.XZoom = 10;
    state.Balken = 1;
    state.qty = 1;
    state.time = 1;
    state.bytes = 1;
    state.showqty = 1;
    state.showrxtim = 1;
    state.showtxtim = 1;
    state.showtkby = 1;
    state.showrkby = 1;
    state.one_yzoom = 0;
    state.german = 0;
}

int DataFilePath(const AppState& state, const char* name, char* out, int outSize) {
    const std::size_t dirLen = strnlen(state.DataDir, sizeof state.DataDir);
    int n;
    if (dirLen == 0) {
        n = std::snprintf(out, static_cast<std::size_t>(outSize), "%s", name);
    } else {
        const char* sep = state.DataDir[dirLen - 1] == '/' ? "" : "/";
        n = std::snprintf(out, static_cast<std::size_t>(outSize), "%.*s%s%s", static_cast<int>(dirLen),
                          state.DataDir, sep, name);
    }
    return n >= 0 && n < outSize;
}

void ResetChannelCounters(ChannelRecord& channel) {
    channel.MinuteCount = 0;
    channel.ReplyLineCount = 0;
    channel.RestoreLineCount = 0;
    channel.RepeatLineCount = 0;
}

void SetChannelViewDefaults(ChannelRecord& channel) {
    channel.LinkIndex = 1;
    channel.ScrollStep = 24;
    channel.YZoomStep = 3;
    channel.YScale = 1;
}
