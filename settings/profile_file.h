// Settings files of sections and keys with the semantics operators know from
// the classic private-profile services: section and key names compared
// without case, a new section appended at the end of the file, a new key at
// the end of its section, integers read as the platform's integer reader
// reads them, text cut at the caller's buffer size. The whole file is held
// in memory; saving writes a temporary file and renames it over the old one.
//
// Threading: GUI thread only.
#pragma once

#include <string>
#include <vector>

struct ProfileFile {
    std::vector<std::string> Lines;  // without line ends
};

// Reads `path`; a missing file gives an empty profile and returns 0.
int ReadProfileFile(ProfileFile& profile, const char* path);
// Copies at most size-1 characters of the value (or `fallback`) into `out`,
// NUL-terminated; returns the number copied.
int GetProfileString(const ProfileFile& profile, const char* section, const char* key,
                     const char* fallback, char* out, int size);
int GetProfileInt(const ProfileFile& profile, const char* section, const char* key, int fallback);
void WriteProfileString(ProfileFile& profile, const char* section, const char* key, const char* value);
void WriteProfileInt(ProfileFile& profile, const char* section, const char* key, int value);
// Atomically replaces `path` (CR LF line ends); 0 on failure.
int SaveProfileFile(const ProfileFile& profile, const char* path);
