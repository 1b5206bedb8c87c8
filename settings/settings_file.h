// The settings file: what carries each channel's configuration and last
// connect, the operator's call, the display switches and the help language
// from one run to the next. Read once at window creation, written once at
// window destruction; the dialogs change only the values in memory.
//
// Threading: GUI thread only.
#pragma once

#include "settings/profile_file.h"
#include "shell/channel_table.h"

constexpr const char* kSettingsFileName = "hopw.ini";

void LoadDisplaySettings(const ProfileFile& profile, AppState& state);
void SaveDisplaySettings(ProfileFile& profile, const AppState& state);
void LoadMycall(const ProfileFile& profile, AppState& state);
void SaveMycall(ProfileFile& profile, const AppState& state);
// Also reads the help language into `german`.
void LoadChannelSettings(const ProfileFile& profile, const char* section, ChannelRecord& channel, int& german);
void SaveChannelSettings(ProfileFile& profile, const char* section, const ChannelRecord& channel, int german);
// The layer-2 backend URI kept in section [L2], key Backend ("" when none).
void LoadBackendSetting(const ProfileFile& profile, char* uri, int size);
void SaveBackendSetting(ProfileFile& profile, const char* uri);
// $XDG_CONFIG_HOME/hopwatch/hopw.ini, or ~/.config/hopwatch/hopw.ini.
void DefaultSettingsPath(char* path, int size);
