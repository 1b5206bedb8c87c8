// What the settings file looked like when the program read it, so that a
// file edited by hand while the program ran is not silently replaced at
// exit: the edited file is kept beside it under a dated name first.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <ctime>

// Size, modification time and a hash of the bytes; Exists 0 for no file.
struct SettingsStamp {
    int Exists;
    long long Size;
    long long ModifiedNs;
    std::uint64_t Hash;
};

void TakeSettingsStamp(const char* path, SettingsStamp& stamp);
// 1 when the file now differs from the one stamped (size, time or content,
// or it appeared or went away).
int SettingsChanged(const SettingsStamp& was, const SettingsStamp& now);
// Keeps the file at `path` as "PATH.edited-YYYYMMDD-HHMMSS" (the local time
// `when`) beside it, never over an existing file; the name goes into
// `kept`. 1 kept, 0 failed (`*error`, when not null, says why).
int KeepEditedSettings(const char* path, const std::tm& when, char* kept, int keptSize, int* error);
