// The settings file: what carries each channel's configuration and last
// connect, the operator's call, the display switches, the help language and
// the layer-2 backend from one run to the next. Read once at window creation,
// written once at window destruction; the dialogs change only the values in
// memory.
//
// Layout (sections and keys in the order a first save creates them):
//   [Curvset]   Balken qty time bytes showqty showtxtim showrxtim showtkby
//               showrkby one_yzoom
//   [Mycall]    Destination Call
//   [Channel1]  CallPath LastHour LastMin PrevHour PrevMin LastConDay
//               LastConMonth LastConYear RufAktiv MinutenIntervall
//   [language]  german
//   [Channel2] [Channel3] [Channel4]  as Channel1
//   [L2]        Backend
//   [Metrics]   Listen (only once the metrics endpoint has been turned on)
// The first exit from a run without a file therefore writes the sections
// "Curvset", "Mycall", "Channel1", "language", "Channel2", "Channel3",
// "Channel4", "L2" in that order, every line ending in CR LF.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"
#include "settings/profile_file.h"

constexpr const char* kSettingsFileName = "hopw.ini";
constexpr int kCallPathReadSize = 80;   // buffer for "CallPath": 79 characters kept
constexpr int kMycallReadSize = 32;     // buffer for "Destination Call": 31 kept
constexpr int kBackendUriSize = 256;    // buffer for [L2] "Backend"
constexpr int kMetricsListenSize = 64;  // buffer for [Metrics] "Listen"

// The ten "Curvset" switches; a missing key keeps the current value.
void LoadDisplaySettings(const ProfileFile& profile, AppState& state);
void SaveDisplaySettings(ProfileFile& profile, const AppState& state);
// "Destination Call" of section "Mycall" (default empty).
void LoadMycall(const ProfileFile& profile, AppState& state);
void SaveMycall(ProfileFile& profile, const AppState& state);
// One channel section, and "german" of section "language" (read after
// "LastConYear", default the current value; written after the channel keys).
// RufAktiv keeps the low 8 bits of the stored number; a stored interval of 0
// is taken as 1.
void LoadChannelSettings(const ProfileFile& profile, const char* section, ChannelRecord& channel,
                         int& german);
void SaveChannelSettings(ProfileFile& profile, const char* section, const ChannelRecord& channel, int german);
// The layer-2 backend URI kept in section [L2], key Backend ("" when none).
void LoadBackendSetting(const ProfileFile& profile, char* uri, int size);
void SaveBackendSetting(ProfileFile& profile, const char* uri);
// Where the metrics endpoint listens, section [Metrics], key Listen ("" =
// off). Saving an empty value to a file without the key writes nothing, so
// that a run that never used the endpoint leaves the file as it was.
void LoadMetricsSetting(const ProfileFile& profile, char* listen, int size);
void SaveMetricsSetting(ProfileFile& profile, const char* listen);

// The whole save sequence: display switches, Mycall, channels 0..3 (each
// followed by "german"), then the backend (null is written as empty).
void SaveAllSettings(ProfileFile& profile, const AppState& state, const char* backendUri);
// What the shell runs at exit: reads the file as it is on disk now (so hand
// edits made meanwhile to our keys are overwritten while unknown sections and
// keys survive), applies SaveAllSettings and saves atomically. Returns 0 when
// nothing was written: the file could not be read (it is then left alone
// rather than replaced) or the save failed.
// `metricsListen` null leaves [Metrics] as it is.
int WriteSettingsFile(const char* path, const AppState& state, const char* backendUri,
                      const char* metricsListen = nullptr);

// $XDG_CONFIG_HOME/hopwatch/hopw.ini (when that variable holds an absolute
// path), else $HOME/.config/hopwatch/hopw.ini (home from the password
// database when HOME is unset). Returns 0 with "" in `path` when no home is
// known or the result does not fit.
int DefaultSettingsPath(char* path, int size);
