// Settings files of sections and keys ("[section]" lines, then "key=value"
// lines): section and key names compared without case; when a section or key
// occurs twice the first one counts; a new section appended at the end of the
// file, a new key after the last entry of its section; blanks around names and
// values ignored on reading, and one pair of matching quotes around a value
// dropped; integers read from their leading sign and decimal digits (see
// GetProfileInt); text cut at the caller's buffer size.
// The whole file is held in memory as its lines, so comments, unknown
// sections and keys, and their order survive a rewrite; saving writes a
// temporary file beside the old one and renames it over it, so a crash or a
// full disk leaves either the old file or the new one, never a mixture.
//
// Text is 8-bit and never converted. Lines may end in CR LF, LF or CR on
// reading; every line is written with CR LF.
//
// Threading: GUI thread only; a ProfileFile has no shared state.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A larger file is not a settings file of ours; it is refused as unreadable
// rather than taken into memory.
constexpr std::size_t kProfileMaxBytes = 1024 * 1024;

// Results of ReadProfileFile.
constexpr int kProfileRead = 1;
constexpr int kProfileMissing = 0;
constexpr int kProfileUnreadable = -1;

struct ProfileFile {
    std::vector<std::string> Lines;  // without line ends
};

// Reads `path` into `profile`. A missing file gives an empty profile and
// returns kProfileMissing; a file that exists but cannot be read (no access,
// not a regular file, larger than kProfileMaxBytes) gives an empty profile
// and returns kProfileUnreadable, and must then not be saved over.
// `*why` (when not null) then says why (EFBIG for a file over the size
// limit, EISDIR for a directory, ENODEV for another kind of file that is not
// a regular one).
int ReadProfileFile(ProfileFile& profile, const char* path, int* why = nullptr);
// Why ReadProfileFile found the file unreadable (its error), as the user is
// told.
const char* ProfileReadFailureText(int error);
// Replaces the profile's lines with those of `text`.
void ParseProfileText(ProfileFile& profile, const char* text, std::size_t size);
// The file's bytes as SaveProfileFile writes them.
std::string ProfileText(const ProfileFile& profile);

// Copies at most size-1 characters of the value (or of `fallback` without its
// trailing blanks when the section or key is missing) into `out`,
// NUL-terminated; returns the number copied. Nothing is written when size < 1.
int GetProfileString(const ProfileFile& profile, const char* section, const char* key, const char* fallback,
                     char* out, int size);
// Optional blanks, optional sign, then the leading decimal digits: "12abc" is
// 12, "abc" and "0x10" are 0, a missing key or an empty value gives
// `fallback`. Values beyond the 32-bit range saturate instead of wrapping.
int GetProfileInt(const ProfileFile& profile, const char* section, const char* key, int fallback);
// Sets the first `key` of the first `section`, keeping the spelling already in
// the file; creates what is missing. CR and LF in `value` become blanks, so a
// value can never start a line of its own.
void WriteProfileString(ProfileFile& profile, const char* section, const char* key, const char* value);
void WriteProfileInt(ProfileFile& profile, const char* section, const char* key, int value);

// Atomically replaces `path` (following a symbolic link to the real file):
// creates missing directories, writes a temporary file beside it, flushes it
// to disk and renames it over the old one, keeping the old file's
// permissions; a file we may not write is left alone. Returns 0 on any
// failure, leaving the old file untouched and no temporary file behind.
int SaveProfileFile(const ProfileFile& profile, const char* path);
