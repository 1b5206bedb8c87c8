// Any bytes as the settings file: a value written is the value read,
// whatever surrounds it. On disk: every text read stays inside its buffer,
// the interval is never 0, and saving then loading again gives the values
// loaded. The format cannot carry a text that begins or ends with a blank or
// sits in a pair of quotes (reading drops them), so such texts (only a cut or
// a NUL can make them) are left out of the comparison.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text_scan.h"
#include "settings/settings_file.h"
#include "support/scratch.h"

namespace {
struct Loaded {
    AppState State;
    char Backend[kBackendUriSize];
    char Listen[kMetricsListenSize];
};
void Load(const char* path, Loaded& l) {
    ProfileFile profile;
    if (ReadProfileFile(profile, path) != kProfileRead) std::abort();
    InitAppState(l.State);
    LoadDisplaySettings(profile, l.State);
    LoadMycall(profile, l.State);
    for (int i = 0; i < kChannelCount; ++i)
        LoadChannelSettings(profile, ChannelSectionName(i), l.State.ChannelTable[i], l.State.german);
    LoadBackendSetting(profile, l.Backend, sizeof l.Backend);
    LoadMetricsSetting(profile, l.Listen, sizeof l.Listen);
}
// 1 when a (fits its buffer and) equals b, or the format cannot carry a.
bool Same(const char* a, const char* b, std::size_t size) {
    const std::size_t n = strnlen(a, size);
    if (n >= size) std::abort();
    const bool quoted = n >= 2 && (a[0] == '"' || a[0] == '\'') && a[n - 1] == a[0];
    return n == 0 ? b[0] == '\0' : IsTextSpace(a[0]) || IsTextSpace(a[n - 1]) || quoted || !std::strcmp(a, b);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Saving syncs to disk: in memory when the system has such a folder.
    [[maybe_unused]] static const int inMemory =
        access("/dev/shm", W_OK) == 0 && setenv("TMPDIR", "/dev/shm", 0) == 0;
    static ScratchDir dir;
    static const std::string path = dir.File(kSettingsFileName);
    static Loaded& first = *new Loaded;
    static Loaded& again = *new Loaded;
    ProfileFile profile;
    ParseProfileText(profile, reinterpret_cast<const char*>(data), size);
    WriteProfileString(profile, "Channel1", "CallPath", "DB0ABC");
    WriteProfileInt(profile, "Curvset", "qty", -7);
    char out[kCallPathReadSize];
    GetProfileString(profile, "Channel1", "CallPath", "", out, sizeof out);
    if (std::strcmp(out, "DB0ABC") != 0 || GetProfileInt(profile, "Curvset", "qty", 0) != -7) std::abort();

    WriteAll(path, std::string(reinterpret_cast<const char*>(data), size));
    Load(path.c_str(), first);
    if (!WriteSettingsFile(path.c_str(), first.State, first.Backend, first.Listen)) std::abort();
    Load(path.c_str(), again);

    const AppState &a = first.State, &b = again.State;
    const std::size_t switches = offsetof(AppState, german) + sizeof(int) - offsetof(AppState, Balken);
    if (std::memcmp(&a.Balken, &b.Balken, switches) != 0 || !Same(a.Mycall, b.Mycall, kMycallReadSize) ||
        !Same(first.Backend, again.Backend, kBackendUriSize) ||
        !Same(first.Listen, again.Listen, kMetricsListenSize))
        std::abort();
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelRecord &x = a.ChannelTable[i], &y = b.ChannelTable[i];
        const std::size_t times =
            offsetof(ChannelRecord, LastConYear) + sizeof(int) - offsetof(ChannelRecord, LastMin);
        if (x.MinutenIntervall == 0 || x.MinutenIntervall != y.MinutenIntervall || x.RufAktiv != y.RufAktiv ||
            std::memcmp(&x.LastMin, &y.LastMin, times) != 0 ||
            !Same(x.CallPath, y.CallPath, kCallPathReadSize))
            std::abort();
    }
    return 0;
}
