// Which field goes under which key, in which order, with which default. The
// orders matter beyond reading: a new key lands at the end of its section and
// a new section at the end of the file, so the order of the writes is the
// layout of a freshly created file.
#include "settings/settings_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <pwd.h>
#include <unistd.h>

namespace {

constexpr const char* kDisplaySection = "Curvset";
constexpr const char* kMycallSection = "Mycall";
constexpr const char* kMycallKey = "Destination Call";
constexpr const char* kLanguageSection = "language";
constexpr const char* kLanguageKey = "german";
constexpr const char* kBackendSection = "L2";
constexpr const char* kBackendKey = "Backend";
constexpr const char* kMetricsSection = "Metrics";
constexpr const char* kMetricsKey = "Listen";

struct SwitchKey {
    const char* Key;
    int AppState::*Field;
};

constexpr SwitchKey kDisplayKeys[] = {
    {"Balken", &AppState::Balken},       {"qty", &AppState::qty},
    {"time", &AppState::time},           {"bytes", &AppState::bytes},
    {"showqty", &AppState::showqty},     {"showtxtim", &AppState::showtxtim},
    {"showrxtim", &AppState::showrxtim}, {"showtkby", &AppState::showtkby},
    {"showrkby", &AppState::showrkby},   {"one_yzoom", &AppState::one_yzoom},
};

// The integer keys between "CallPath" and "RufAktiv", with their defaults.
struct TimeKey {
    const char* Key;
    int ChannelRecord::*Field;
    int Default;
};

constexpr TimeKey kTimeKeys[] = {
    {"LastHour", &ChannelRecord::LastHour, 0},        {"LastMin", &ChannelRecord::LastMin, 0},
    {"PrevHour", &ChannelRecord::PrevHour, 0},        {"PrevMin", &ChannelRecord::PrevMin, 0},
    {"LastConDay", &ChannelRecord::LastConDay, 0},    {"LastConMonth", &ChannelRecord::LastConMonth, 0},
    {"LastConYear", &ChannelRecord::LastConYear, 97},
};

// A fixed text field as a string, even should it have lost its terminator.
std::string FieldText(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

}  // namespace

void LoadDisplaySettings(const ProfileFile& profile, AppState& state) {
    for (const SwitchKey& k : kDisplayKeys) {
        state.*k.Field = GetProfileInt(profile, kDisplaySection, k.Key, state.*k.Field);
    }
}

void SaveDisplaySettings(ProfileFile& profile, const AppState& state) {
    for (const SwitchKey& k : kDisplayKeys) WriteProfileInt(profile, kDisplaySection, k.Key, state.*k.Field);
}

void LoadMycall(const ProfileFile& profile, AppState& state) {
    GetProfileString(profile, kMycallSection, kMycallKey, "", state.Mycall, kMycallReadSize);
}

void SaveMycall(ProfileFile& profile, const AppState& state) {
    WriteProfileString(profile, kMycallSection, kMycallKey,
                       FieldText(state.Mycall, sizeof state.Mycall).c_str());
}

void LoadChannelSettings(const ProfileFile& profile, const char* section, ChannelRecord& channel,
                         int& german) {
    GetProfileString(profile, section, "CallPath", "", channel.CallPath, kCallPathReadSize);
    for (const TimeKey& k : kTimeKeys) channel.*k.Field = GetProfileInt(profile, section, k.Key, k.Default);
    german = GetProfileInt(profile, kLanguageSection, kLanguageKey, german);
    channel.RufAktiv = static_cast<std::uint8_t>(GetProfileInt(profile, section, "RufAktiv", 0) & 0xFF);
    channel.MinutenIntervall = GetProfileInt(profile, section, "MinutenIntervall", 10);
    if (channel.MinutenIntervall == 0) channel.MinutenIntervall = 1;
}

void SaveChannelSettings(ProfileFile& profile, const char* section, const ChannelRecord& channel,
                         int german) {
    WriteProfileString(profile, section, "CallPath",
                       FieldText(channel.CallPath, sizeof channel.CallPath).c_str());
    for (const TimeKey& k : kTimeKeys) WriteProfileInt(profile, section, k.Key, channel.*k.Field);
    WriteProfileInt(profile, section, "RufAktiv", channel.RufAktiv);
    WriteProfileInt(profile, section, "MinutenIntervall", channel.MinutenIntervall);
    WriteProfileInt(profile, kLanguageSection, kLanguageKey, german);
}

void LoadBackendSetting(const ProfileFile& profile, char* uri, int size) {
    GetProfileString(profile, kBackendSection, kBackendKey, "", uri, size);
}

void SaveBackendSetting(ProfileFile& profile, const char* uri) {
    WriteProfileString(profile, kBackendSection, kBackendKey, uri ? uri : "");
}

void LoadMetricsSetting(const ProfileFile& profile, char* listen, int size) {
    GetProfileString(profile, kMetricsSection, kMetricsKey, "", listen, size);
}

void SaveMetricsSetting(ProfileFile& profile, const char* listen) {
    if (listen == nullptr) return;
    char missing[2] = "";
    const int hasKey =
        GetProfileString(profile, kMetricsSection, kMetricsKey, "?", missing, sizeof missing) != 1 ||
        missing[0] != '?';
    if (listen[0] != '\0' || hasKey) WriteProfileString(profile, kMetricsSection, kMetricsKey, listen);
}

void SaveAllSettings(ProfileFile& profile, const AppState& state, const char* backendUri) {
    SaveDisplaySettings(profile, state);
    SaveMycall(profile, state);
    for (int i = 0; i < kChannelCount; ++i) {
        SaveChannelSettings(profile, ChannelSectionName(i), state.ChannelTable[i], state.german);
    }
    SaveBackendSetting(profile, backendUri);
}

int WriteSettingsFile(const char* path, const AppState& state, const char* backendUri,
                      const char* metricsListen) {
    ProfileFile profile;
    if (ReadProfileFile(profile, path) == kProfileUnreadable) return 0;
    SaveAllSettings(profile, state, backendUri);
    SaveMetricsSetting(profile, metricsListen);
    return SaveProfileFile(profile, path);
}

int DefaultSettingsPath(char* path, int size) {
    if (size < 1) return 0;
    path[0] = '\0';
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* entry = getpwuid(getuid());
            home = entry ? entry->pw_dir : nullptr;
        }
        if (!home || !*home) return 0;
        base = std::string(home) + "/.config";
    }
    const std::string full = base + "/hopwatch/" + kSettingsFileName;
    if (full.size() >= static_cast<std::size_t>(size)) return 0;
    std::memcpy(path, full.c_str(), full.size() + 1);
    return 1;
}
