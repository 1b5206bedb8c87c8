// The ready demonstration (--demo): a private settings file and data
// directory, made anew at each start, with four channels calling four
// simulated digipeaters every minute and six days of history already
// recorded, so that the first window shows curves and new calls keep
// arriving. The history is made by the real connect cycle on the simulated
// network that the run then carries on with (its failed calls and changing
// time cells included), written by the real writer and loaded by the real
// loader; nothing of the user's own settings or data is read or touched.
//
// Threading: GUI thread only, before the window opens.
#pragma once

#include <ctime>

#include "app/options.h"
#include "core/log_sink.h"

struct Layer2;

constexpr int kDemoRecords = 860;        // about, per channel: below the size prompt's 1000
constexpr int kDemoSpacingMinutes = 10;  // between two recorded calls
constexpr int kDemoTimeScale = 10;       // unless --time-scale says otherwise
constexpr const char* kDemoMycall = "QX0DEM";
constexpr const char* kDemoBackend = "sim";
extern const char* const kDemoDigipeaters[4];

// $XDG_CACHE_HOME/hopwatch/demo (an absolute XDG_CACHE_HOME), else
// $HOME/.cache/hopwatch/demo; 0 when no home is known or it does not fit.
int DemoDirectory(char* out, int size);

// Points the options at the demo: its settings file and data directory in
// `dir`, the simulated network, the demo's time scale unless one was given.
void ApplyDemoOptions(const char* dir, ShellOptions& options);

// Empties (or makes) `dir`, then records the history of the four channels
// through `l2` (calls until `now`, one every kDemoSpacingMinutes) and
// writes the settings file; what the calls log goes to `log`. 0 with a
// one-line reason in `error` when the directory or a file cannot be
// written.
int PrepareDemo(const char* dir, Layer2& l2, std::time_t now, const LogSink& log, char* error, int errorSize);
