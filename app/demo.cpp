// The demo's history is recorded by running the connect cycle against the
// simulated network at a made-up clock: each channel's call is started
// every ten minutes from six days back up to the present and stepped until
// the channel is idle again, exactly as the second tick would step it.
#include "app/demo.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "acquisition/connect_cycle.h"
#include "core/app_state.h"
#include "core/cycle_state.h"
#include "core/log_sink.h"
#include "core/platform_port.h"
#include "history/history_rotation.h"
#include "history/history_series.h"
#include "radio/layer2.h"
#include "settings/settings_file.h"

const char* const kDemoDigipeaters[4] = {"QX0HOF", "QX0WDS", "QX0ZUG", "QX0ARB"};

namespace {

// Ticks one call may take: the reading limit twice over, and the rest.
constexpr int kStepsPerCall = 2 * kReadingTickLimit + 64;

// Nobody to ask while the demo is prepared: questions take their safe
// answer, the one notice that matters (a write that failed) is kept, and
// the log goes where the program's goes.
struct DemoPort final : PlatformPort {
    DemoPort(Layer2& net, const LogSink& log) : Net(net), Log(log) {}
    BoxAnswer ask(const char* text, const char*, BoxIcon, BoxButtons buttons) override {
        Keep(text);
        return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
    }
    void tell(const char* text, const char*, BoxIcon) override { Keep(text); }
    void log(const char* line) override { LogLine(Log, "%s", line); }
    void repaint(bool) override {}
    void setStatusText(int, const char*) override {}
    int isButtonChecked(int) override { return 0; }
    int isButtonEnabled(int) override { return 1; }
    void enableButton(int, int) override {}
    std::tm localTime() override { return Now; }
    Layer2& l2() override { return Net; }

    void Keep(const char* text) {
        if (Notice[0] == '\0') std::snprintf(Notice, sizeof Notice, "%s", text);
    }

    Layer2& Net;
    LogSink Log;
    std::tm Now{};
    char Notice[512] = "";
};

int IsIdle(const ChannelRecord& c) {
    return c.CycleState == CycleState::Idle;
}

}  // namespace

int DemoDirectory(char* out, int size) {
    std::string base;
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache && cache[0] == '/') {
        base = cache;
    } else if (home && home[0] != '\0') {
        base = std::string(home) + "/.cache";
    } else {
        return 0;
    }
    const std::string dir = base + "/hopwatch/demo";
    if (dir.size() >= static_cast<std::size_t>(size)) return 0;
    std::memcpy(out, dir.c_str(), dir.size() + 1);
    return 1;
}

void ApplyDemoOptions(const char* dir, ShellOptions& options) {
    std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s/%s", dir, kSettingsFileName);
    std::snprintf(options.DataDir, sizeof options.DataDir, "%s", dir);
    std::snprintf(options.Backend, sizeof options.Backend, "%s", kDemoBackend);
    if (!options.TimeScaleGiven) options.TimeScale = kDemoTimeScale;
}

int PrepareDemo(const char* dir, Layer2& l2, std::time_t now, const LogSink& log, char* error,
                int errorSize) {
    const std::size_t errSize = static_cast<std::size_t>(errorSize);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec)) {
        std::snprintf(error, errSize, "cannot make the demo directory %s", dir);
        return 0;
    }

    const auto state = std::make_unique<AppState>();
    InitAppState(*state);
    std::snprintf(state->DataDir, sizeof state->DataDir, "%s", dir);
    std::snprintf(state->Mycall, sizeof state->Mycall, "%s", kDemoMycall);
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelRecord& c = state->ChannelTable[i];
        std::snprintf(c.CallPath, sizeof c.CallPath, "%s", kDemoDigipeaters[i]);
        c.RufAktiv = 1;
        c.MinutenIntervall = 1;
        ResetChannelCounters(c);
    }
    if (!ReserveHistoryMemory(*state)) {
        ReleaseHistoryMemory(*state);
        std::snprintf(error, errSize, "not enough memory for the demo history");
        return 0;
    }

    DemoPort port(l2, log);
    const std::time_t spacing = kDemoSpacingMinutes * 60;
    // A slot in forty or so is a call the network gives up, so the calls
    // start that much earlier than the records would need; they run up to
    // the present, so the live calls carry on where the history ends.
    const std::time_t slots = kDemoRecords + kDemoRecords / 40;
    for (std::time_t t = now - slots * spacing; t < now && port.Notice[0] == '\0'; t += spacing) {
        localtime_r(&t, &port.Now);
        for (ChannelRecord& c : state->ChannelTable) {
            // Never up to the size prompt, whatever the network does.
            if (c.RecordCount < kRotationPromptThreshold) ScheduleCall(*state, c, port.Now);
        }
        for (int step = 0; step < kStepsPerCall; ++step) {
            CycleTick(*state, port);
            int idle = 1;
            for (const ChannelRecord& c : state->ChannelTable) idle = idle && IsIdle(c);
            if (idle) break;
        }
    }
    ReleaseHistoryMemory(*state);
    if (port.Notice[0] != '\0') {
        std::snprintf(error, errSize, "the demo history was not written: %s", port.Notice);
        return 0;
    }
    char settings[kPathSize + 16];
    std::snprintf(settings, sizeof settings, "%s/%s", dir, kSettingsFileName);
    if (!WriteSettingsFile(settings, *state, kDemoBackend)) {
        std::snprintf(error, errSize, "cannot write the demo settings file %s", settings);
        return 0;
    }
    return 1;
}
