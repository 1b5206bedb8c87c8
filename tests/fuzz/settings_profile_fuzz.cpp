// Any bytes as a settings file: reading never fails or overruns, a file
// rewritten once reads back line for line, and a value written is the value
// read, whatever surrounds it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProfileFile profile, again;
    ParseProfileText(profile, reinterpret_cast<const char*>(data), size);
    char out[80];
    GetProfileString(profile, "Channel1", "CallPath", "", out, sizeof out);
    GetProfileInt(profile, "Channel1", "MinutenIntervall", 10);
    const std::string text = ProfileText(profile);
    ParseProfileText(again, text.data(), text.size());
    if (std::strlen(out) > 79 || again.Lines != profile.Lines) std::abort();

    WriteProfileString(profile, "Channel1", "CallPath", "DB0ABC");
    WriteProfileInt(profile, "Curvset", "qty", -7);
    GetProfileString(profile, "Channel1", "CallPath", "", out, sizeof out);
    if (std::strcmp(out, "DB0ABC") != 0 || GetProfileInt(profile, "Curvset", "qty", 0) != -7) std::abort();
    return 0;
}
