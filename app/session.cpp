// Start-up, program entry and shut-down in the order operators rely on: the
// window and its controls before anything else, memory before the minute
// timer, the minute timer before the settings are read, the second timer
// and the layer-2 stack only once the window is complete; at the end memory,
// then settings, then the timers.
#include "app/session.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "acquisition/answer_service.h"
#include "app/single_instance.h"
#include "app/tick_dispatch.h"
#include "core/log_sink.h"
#include "core/platform_port.h"
#include "core/reserved_area.h"
#include "history/history_loader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"
#include "radio/layer2_backend.h"
#include "radio/null_layer2.h"
#include "settings/profile_file.h"
#include "settings/settings_file.h"
#include "view/curve_memory.h"
#include "view/diagram_navigation.h"

namespace {

NullLayer2 gInactive;  // until ax_init succeeds nobody may reach a real stack

// A start that cannot go on: both timers stop, the memory is given back
// and the message loop ends with the failed-start status.
void EndFailedStart(ShellSession& session, AppState& state, ShellHost& host) {
    host.stopTimer(kSecondTimerId);
    host.stopTimer(kMinuteTimerId);
    ReleaseHistoryMemory(state);
    ReleaseCurveMemory(state);
    session.QuitPosted = 1;
    session.ExitCode = kFailedStartExit;
    host.postQuit(kFailedStartExit);
}

constexpr const char* kSettingsUnreadableText =
    "The settings file %s cannot be read (%s).\n"
    "Hopwatch starts without it and will not replace it.";

// An unreadable settings file is never replaced, so its channels would stay
// unused until somebody looks: it is said at once. A service has nobody to
// read the box, so there it is a failed start; the window runs on
// without the settings. Then per channel: its section, counters, history
// scan, view defaults. 0 when the start is to end here.
int LoadSettings(ShellSession& session, AppState& state, PlatformPort& port) {
    ProfileFile profile;
    TakeSettingsStamp(session.SettingsPath, session.SettingsRead);
    int error = 0;
    if (ReadProfileFile(profile, session.SettingsPath, &error) == kProfileUnreadable) {
        const char* reason = ProfileReadFailureText(error);
        if (session.Headless) {
            LogLine(PortLog(port), "hopwatch: the settings file %s cannot be read (%s)", session.SettingsPath,
                    reason);
            return 0;
        }
        LogLine(PortLog(port), "hopwatch: the settings file %s cannot be read (%s); it will not be replaced",
                session.SettingsPath, reason);
        char text[kPathSize + 256];
        std::snprintf(text, sizeof text, kSettingsUnreadableText, session.SettingsPath, reason);
        port.tell(text, kMainCaption, BoxIcon::Warning);
    }
    LoadDisplaySettings(profile, state);
    LoadMycall(profile, state);
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelRecord& channel = state.ChannelTable[i];
        LoadChannelSettings(profile, ChannelSectionName(i), channel, state.german);
        ResetChannelCounters(channel);
        ScanHistoryFile(state, port, i);
        SetChannelViewDefaults(channel);
    }
    if (!session.BackendGiven) {
        char uri[kBackendUriSize] = "";
        LoadBackendSetting(profile, uri, sizeof uri);
        if (uri[0] != '\0') {
            std::snprintf(session.BackendUri, sizeof session.BackendUri, "%s", uri);
        }
    }
    if (!session.MetricsGiven)
        LoadMetricsSetting(profile, session.MetricsListen, sizeof session.MetricsListen);
    session.SettingsLoaded = 1;
    return 1;
}

constexpr const char* kSettingsEditedText =
    "The settings file %s was changed while Hopwatch ran.\n"
    "The changed file is kept as %s .";

// A file edited by hand since start-up would lose the edits to the values in
// memory: it is kept beside the file first. 0 when it could not be kept, so
// that it is not replaced either.
int KeepEditedSettingsFile(const ShellSession& session, PlatformPort& port) {
    SettingsStamp now;
    TakeSettingsStamp(session.SettingsPath, now);
    if (!now.Exists || !SettingsChanged(session.SettingsRead, now)) return 1;
    char kept[kPathSize + 32];
    int error = 0;
    if (!KeepEditedSettings(session.SettingsPath, port.localTime(), kept, sizeof kept, &error)) {
        LogLine(PortLog(port),
                "hopwatch: the settings file %s was changed while hopwatch ran and cannot be kept (%s); "
                "it is not rewritten",
                session.SettingsPath, std::strerror(error));
        return 0;
    }
    LogLine(PortLog(port), "hopwatch: the settings file %s was changed while hopwatch ran; it is kept as %s",
            session.SettingsPath, kept);
    if (!session.Headless) {
        char text[2 * kPathSize + 128];
        std::snprintf(text, sizeof text, kSettingsEditedText, session.SettingsPath, kept);
        port.ask(text, kMainCaption, BoxIcon::Information, BoxButtons::Ok);
    }
    return 1;
}

void SaveSettings(const ShellSession& session, const AppState& state, PlatformPort& port) {
    if (!KeepEditedSettingsFile(session, port)) return;
    // The file is read again as it is now, so that keys and sections this
    // program does not know are kept while its own keys take the values in
    // memory; an unreadable file is left alone rather than replaced.
    if (!WriteSettingsFile(session.SettingsPath, state, session.BackendUri, session.MetricsListen)) {
        LogLine(PortLog(port), "hopwatch: the settings file %s was not written", session.SettingsPath);
    }
}

}  // namespace

int ShellHost::reserveArea(ReservedArea& area, std::size_t bytes) {
    return ReserveArea(area, bytes);
}

void InitShellSession(ShellSession& session, AppState& state, const ShellOptions& options) {
    session.SettingsPath[0] = '\0';
    if (options.ConfigPath[0] != '\0') {
        std::snprintf(session.SettingsPath, sizeof session.SettingsPath, "%s", options.ConfigPath);
    } else if (!DefaultSettingsPath(session.SettingsPath, sizeof session.SettingsPath)) {
        // No home directory: keep the file in the working directory.
        std::snprintf(session.SettingsPath, sizeof session.SettingsPath, "%s", kSettingsFileName);
    }
    DefaultLockDirectory(session.LockDir, sizeof session.LockDir);
    std::snprintf(state.DataDir, sizeof state.DataDir, "%s", options.DataDir);
    session.BackendGiven = options.Backend[0] != '\0';
    std::snprintf(session.BackendUri, sizeof session.BackendUri, "%s",
                  session.BackendGiven ? options.Backend : kDefaultBackend);
    session.TimeScale = options.TimeScale < 1 ? 1 : options.TimeScale;
    session.MetricsGiven = options.Metrics[0] != '\0';
    std::snprintf(session.MetricsListen, sizeof session.MetricsListen, "%s",
                  std::strcmp(options.Metrics, kMetricsOff) == 0 ? "" : options.Metrics);
    session.StartTime = static_cast<long long>(std::time(nullptr));
    // The nominal units; the window replaces them with its font's.
    session.BaseUnitX = kNominalBaseUnitX;
    session.BaseUnitY = kNominalBaseUnitY;
    session.LockFd = -1;
    session.DataLockFd = -1;
    session.SettingsRead = SettingsStamp{};
    session.SettingsLoaded = 0;
    session.QuitPosted = 0;
    session.ExitCode = 0;
    session.ShutDownDone = 0;
    session.Layer2Active = 0;
    session.LoadHistories = 0;
    session.Headless = options.Headless;
}

Layer2& ActiveLayer2(ShellSession& session) {
    if (session.Layer2Active && session.Backend) return *session.Backend;
    return gInactive;
}

void StartupSequence(ShellSession& session, AppState& state, PlatformPort& port, ShellHost& host) {
    // The controls.
    host.createToolbar();
    ComputeStatusFieldWidths(kStatusFieldCount, StatusFieldLabels, session.BaseUnitX,
                             session.StatusFieldWidths);
    host.createStatusBar(session.StatusFieldWidths, kStatusFieldCount);
    // The texts known before the settings.
    ShowCycleStatus(state, port, state.CurrentChannel);
    ShowXZoom(port, state.XZoom);

    // History areas in channel order, then the point buffers; the first
    // failure ends the reservations.
    int reserved = 1;
    for (int i = 0; i < kChannelCount && reserved; ++i) {
        reserved = host.reserveArea(state.HistoryArea[i], kHistoryAreaBytes);
    }
    for (int i = 0; i < kPointBufferCount && reserved; ++i) {
        reserved = host.reserveArea(state.CurvePoints[i], kPointBufferBytes);
    }
    if (!reserved) {
        port.ask(kNoMemoryText, kMainCaption, BoxIcon::Warning, BoxButtons::Ok);
        EndFailedStart(session, state, host);
        return;
    }
    if (!host.startTimer(kMinuteTimerId, ScaledTimerPeriod(kMinuteTimerMs, session.TimeScale))) {
        port.ask(kTooManyTimersText, kMainCaption, BoxIcon::Warning, BoxButtons::Ok);
        // The settings stay unread (and so are not written at exit) and no
        // history file is scanned; the channels still get usable view
        // defaults so that the window can draw.
        for (ChannelRecord& channel : state.ChannelTable) {
            ResetChannelCounters(channel);
            SetChannelViewDefaults(channel);
        }
        ShowYZoom(port, state.ChannelTable[state.CurrentChannel].YZoomStep,
                  state.ChannelTable[state.CurrentChannel].YScale);
        return;
    }
    if (!LoadSettings(session, state, port)) {
        EndFailedStart(session, state, host);
        return;
    }
    if (session.LoadHistories) {
        for (int i = 0; i < kChannelCount; ++i) {
            if (state.ChannelTable[i].CallPath[0] != '\0') LoadHistory(state, port, i);
        }
        // A loaded file opens at its oldest record; the demonstration opens
        // on the present, its whole recorded time in view.
        ShowHistoriesUpToNow(state, session.BaseUnitX, session.BaseUnitY);
        ShowXZoom(port, state.XZoom);
    }
    const ChannelRecord& current = state.ChannelTable[state.CurrentChannel];
    ShowYZoom(port, current.YZoomStep, current.YScale);
}

int ProgramEntry(ShellSession& session, AppState& state, PlatformPort& port, ShellHost& host) {
    if (!AcquireInstanceLock(session.LockDir, session.LockFd)) {
        port.ask(kOnlyOnceText, kMainCaption, BoxIcon::Error, BoxButtons::Ok);
        return kFailedStartExit;
    }
    // Two programs with different runtime directories (two users, or the
    // window beside the service) would write the same history files.
    if (!AcquireDataDirectoryLock(state.DataDir, session.DataLockFd)) {
        const char* dir = state.DataDir[0] != '\0' ? state.DataDir : ".";
        char text[kPathSize + 128];
        std::snprintf(text, sizeof text, kDataDirInUseText, dir);
        port.ask(text, kMainCaption, BoxIcon::Error, BoxButtons::Ok);
        ReleaseInstanceLock(session.LockFd);
        return kFailedStartExit;
    }

    host.createWindow();
    StartupSequence(session, state, port, host);
    if (session.QuitPosted) {
        // The memory failure (or a service's unreadable settings file) has
        // already been told; the loop would end at once, so nothing else
        // runs and nothing is written.
        ReleaseSession(session, state);
        return session.ExitCode;
    }

    while (!host.startTimer(kSecondTimerId, ScaledTimerPeriod(kSecondTimerMs, session.TimeScale))) {
        if (port.ask(kTooManyTimersText, kMainCaption, BoxIcon::Warning, BoxButtons::RetryCancel) !=
            BoxAnswer::Retry) {
            host.stopTimer(kMinuteTimerId);
            ReleaseSession(session, state);
            return kFailedStartExit;
        }
    }

    char reason[256] = "";
    if (!session.Backend) {
        session.Backend = CreateLayer2Backend(session.BackendUri, reason, sizeof reason, PortLog(port));
    }
    if (!session.Backend || !session.Backend->ax_init()) {
        // No tick may run against a stack that is not there while the box
        // is open, and the program ends anyway.
        host.stopTimer(kSecondTimerId);
        host.stopTimer(kMinuteTimerId);
        if (reason[0] != '\0') {
            LogLine(PortLog(port), "hopwatch: %s", reason);
        }
        if (std::strncmp(session.BackendUri, "agw://", 6) == 0 ||
            std::strncmp(session.BackendUri, "kiss:", 5) == 0) {
            port.log(BackendStartHint(session.BackendUri));
        }
        port.ask(kFlexNetNotActiveText, kMainCaption, BoxIcon::Error, BoxButtons::Ok);
        ReleaseSession(session, state);
        return kFailedStartExit;
    }
    session.Layer2Active = 1;

    host.showWindow();
    return kEnterMessageLoop;
}

void ShutdownSequence(ShellSession& session, AppState& state, PlatformPort& port, ShellHost& host) {
    if (session.ShutDownDone) return;
    session.ShutDownDone = 1;
    ReleaseHistoryMemory(state);
    ReleaseCurveMemory(state);
    StopAnswerService(state);
    if (session.SettingsLoaded) {
        SaveSettings(session, state, port);
    }
    host.stopTimer(kSecondTimerId);
    host.stopTimer(kMinuteTimerId);
    session.QuitPosted = 1;
    session.ExitCode = 0;
    host.postQuit(0);
}

void ReleaseSession(ShellSession& session, AppState& state) {
    ReleaseHistoryMemory(state);
    ReleaseCurveMemory(state);
    ReleaseInstanceLock(session.DataLockFd);
    ReleaseInstanceLock(session.LockFd);
}
