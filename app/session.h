// The life of one run: the program entry up to the message loop, the
// start-up sequence of the main window and the shut-down sequence, in their
// fixed orders. The Qt window, the headless service and the tests drive the
// same functions through a PlatformPort (boxes, status texts, toolbar) and a
// ShellHost (controls, timers, quitting, memory), so every failure can be
// provoked without a window.
//
// Start-up, in this order:
//   - the toolbar, then the status bar with its fields laid out;
//   - the current channel's cycle state ("Ready") and the X zoom shown;
//   - the four history areas, then the six point buffers reserved; the first
//     failure shows "Not enough memory free to run Hopwatch!" and ends the
//     run before any timer starts;
//   - the minute timer (timer 1) started; when it cannot be, "Too many
//     timers!" is shown and the settings stay unread;
//   - the settings read, then per channel its section, counters, history
//     file scan and view defaults; then the Y zoom shown;
//   - for the demo (LoadHistories) each channel's history file loaded, so
//     the first paint already has curves.
// The program entry wraps it: the single-instance check and the window
// before it; after it timer 2 (Retry/Cancel until it runs), the layer-2
// stack ("FlexNet not active!" when it does not start) and showing the
// window.
//
// Rules that go with it:
//   - settings are written at exit only when they were read at start-up: not
//     after the minute timer failed, nor after an early exit ("FlexNet not
//     active!", a refused second copy, a memory failure, Cancel on timer 2);
//   - after the minute timer failed the channels still get their view
//     defaults, so the diagram never works with a zero zoom;
//   - saving re-reads the file first, so keys this program does not know
//     survive, and the file is replaced atomically; a file edited by hand
//     since start-up is first kept beside it under a dated name, and said;
//   - one program per data directory: the second is refused before it
//     touches anything.
//
// Threading: GUI thread only.
#pragma once

#include <cstddef>
#include <memory>

#include "app/options.h"
#include "core/app_state.h"
#include "core/program_names.h"
#include "radio/layer2.h"
#include "settings/settings_stamp.h"
#include "view/status_texts.h"

struct PlatformPort;
struct ReservedArea;

constexpr const char* kTooManyTimersText = "Too many timers!";
constexpr const char* kFlexNetNotActiveText = "FlexNet not active!";
constexpr const char* kNoMemoryText = "Not enough memory free to run Hopwatch!";
constexpr const char* kDataDirInUseText = "Another Hopwatch uses the data directory %s !";
constexpr int kEnterMessageLoop = -1;  // ProgramEntry: go on into the loop
constexpr int kFailedStartExit = 1;    // a start that did not come up: not an orderly stop
constexpr int kNominalBaseUnitX = 8;   // character width without a font (headless)
constexpr int kNominalBaseUnitY = 16;  // line height without a font

// What the shell offers the sequences besides the platform port.
struct ShellHost {
    virtual ~ShellHost() = default;
    // Makes the main window (not shown yet), without its two controls.
    virtual void createWindow() = 0;
    virtual void createToolbar() = 0;
    // The status bar with "Bereit" and its seven fields laid out.
    virtual void createStatusBar(const int* widths, int count) = 0;
    virtual void showWindow() = 0;
    // 0 when the timer cannot be made.
    virtual int startTimer(int id, int periodMs) = 0;
    virtual void stopTimer(int id) = 0;
    // Ends the message loop with `code` once it runs.
    virtual void postQuit(int code) = 0;
    virtual int reserveArea(ReservedArea& area, std::size_t bytes);
};

struct ShellSession {
    char SettingsPath[kPathSize];
    char LockDir[kPathSize];
    char BackendUri[kBackendUriSize];
    int BackendGiven;                        // --l2 on the command line: the settings' value is ignored
    char MetricsListen[kMetricsListenSize];  // [ADDRESS:]PORT of the metrics endpoint, "" = off
    int MetricsGiven;                        // --metrics on the command line
    long long StartTime;                     // seconds since 1970 when the run began
    int TimeScale;
    int BaseUnitX, BaseUnitY;
    int StatusFieldWidths[kStatusFieldCount];
    int LockFd;
    int SettingsLoaded;  // start-up read the settings: exit may write them
    int QuitPosted;
    int ExitCode;
    int ShutDownDone;
    int Layer2Active;            // ax_init succeeded
    int LoadHistories;           // start-up loads every channel's history file (the demo)
    int Headless;                // no window: an unreadable settings file ends the start
    int DataLockFd;              // the lock on the data directory, held for the run
    SettingsStamp SettingsRead;  // the settings file as start-up read it
    std::unique_ptr<Layer2> Backend;
};

// Fills the session from the options (config path, data directory into
// `state`, backend, time scale) with the default settings file and lock
// directory where none is given.
void InitShellSession(ShellSession& session, AppState& state, const ShellOptions& options);

// The stack every caller sees: the backend once ax_init succeeded, before
// that a stand-in that reports nothing connected.
Layer2& ActiveLayer2(ShellSession& session);

// Program entry up to the loop: the single-instance check, the window with
// its start-up sequence, timer 2, ax_init and showing the window. Returns
// kEnterMessageLoop to run the loop, or the exit code of an early exit
// (after which nothing has been written): kFailedStartExit, so that a
// supervisor can tell a failed start from an orderly stop.
int ProgramEntry(ShellSession& session, AppState& state, PlatformPort& port, ShellHost& host);

// Window creation: the start-up order above.
void StartupSequence(ShellSession& session, AppState& state, PlatformPort& port, ShellHost& host);

// Window destruction: memory released, settings written (when they were
// read), timers stopped, quit posted. Runs once however often it is called.
void ShutdownSequence(ShellSession& session, AppState& state, PlatformPort& port, ShellHost& host);

// Releases what an early exit leaves behind (memory, the instance lock).
void ReleaseSession(ShellSession& session, AppState& state);
