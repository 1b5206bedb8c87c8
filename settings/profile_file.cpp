// Private-profile files held as lines. Every lookup classifies lines on the
// fly instead of keeping a parsed tree, so that what is not ours (comments,
// blank lines, unknown keys, lines without "=") is written back exactly as
// read. A settings file is outside input: nothing here trusts its size,
// its line ends or its numbers.
#include "settings/profile_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/atomic_file.h"
#include "core/text_scan.h"

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsTextSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsTextSpace(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

enum class LineKind { Blank, Comment, Section, Entry, Other };

struct Line {
    LineKind Kind;
    std::string_view Name;   // section or key name, trimmed
    std::string_view Value;  // entry value, trimmed
};

Line Classify(std::string_view text) {
    const std::string_view s = Trim(text);
    if (s.empty()) return {LineKind::Blank, {}, {}};
    if (s.front() == ';') return {LineKind::Comment, {}, {}};
    if (s.front() == '[') {
        // The name ends at the first ']' (or the line end when there is none).
        std::string_view name = s.substr(1);
        name = name.substr(0, name.find(']'));
        return {LineKind::Section, Trim(name), {}};
    }
    const std::size_t eq = s.find('=');
    if (eq == std::string_view::npos) return {LineKind::Other, {}, {}};
    return {LineKind::Entry, Trim(s.substr(0, eq)), Trim(s.substr(eq + 1))};
}

// Lines [Header, End) of the first section called `name`.
struct Span {
    std::size_t Header;
    std::size_t End;
};

bool FindSection(const ProfileFile& profile, const char* name, Span& span) {
    const std::size_t count = profile.Lines.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Line line = Classify(profile.Lines[i]);
        if (line.Kind != LineKind::Section || !SameName(line.Name, name)) continue;
        std::size_t end = i + 1;
        while (end < count && Classify(profile.Lines[end]).Kind != LineKind::Section) ++end;
        span = {i, end};
        return true;
    }
    return false;
}

// Index of the first entry `key` in the span, or the span's end.
std::size_t FindEntry(const ProfileFile& profile, const Span& span, const char* key) {
    for (std::size_t i = span.Header + 1; i < span.End; ++i) {
        const Line line = Classify(profile.Lines[i]);
        if (line.Kind == LineKind::Entry && SameName(line.Name, key)) return i;
    }
    return span.End;
}

// The value as the caller sees it: one pair of matching outer quotes dropped.
bool LookUp(const ProfileFile& profile, const char* section, const char* key, std::string_view& value) {
    Span span{};
    if (!FindSection(profile, section, span)) return false;
    const std::size_t at = FindEntry(profile, span, key);
    if (at == span.End) return false;
    value = Classify(profile.Lines[at]).Value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return true;
}

int CopyOut(std::string_view text, char* out, int size) {
    if (size < 1) return 0;
    const std::size_t n =
        text.size() < static_cast<std::size_t>(size - 1) ? text.size() : static_cast<std::size_t>(size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<int>(n);
}

// mkdir -p for the directory part of `path`.
int MakeParentDirectories(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return 1;
    std::string dir = path.substr(0, slash);
    for (std::size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/') continue;
        const std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return 0;
    }
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void ParseProfileText(ProfileFile& profile, const char* text, std::size_t size) {
    profile.Lines.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        profile.Lines.emplace_back(text + start, i - start);
        if (text[i] == '\r' && i + 1 < size && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < size) profile.Lines.emplace_back(text + start, size - start);
}

int ReadProfileFile(ProfileFile& profile, const char* path, int* why) {
    profile.Lines.clear();
    // Without blocking: a FIFO under the name must not stop the start.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (why) *why = errno;
        return errno == ENOENT ? kProfileMissing : kProfileUnreadable;
    }
    struct stat st {};
    std::string bytes;
    int result = kProfileUnreadable;
    int error = 0;
    if (fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
    } else {
        char chunk[8192];
        for (;;) {
            const ssize_t n = read(fd, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = errno;
                break;
            }
            if (bytes.size() + static_cast<std::size_t>(n) > kProfileMaxBytes) {
                error = EFBIG;
                break;
            }
            if (n == 0) {
                result = kProfileRead;
                break;
            }
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    if (result == kProfileRead) ParseProfileText(profile, bytes.data(), bytes.size());
    if (why && result != kProfileRead) *why = error;
    return result;
}

const char* ProfileReadFailureText(int error) {
    switch (error) {
        case EFBIG:
            return "it is larger than 1 MiB";
        case EISDIR:
            return "it is a directory";
        case ENODEV:
            return "it is not a regular file";
        default:
            return std::strerror(error);
    }
}

std::string ProfileText(const ProfileFile& profile) {
    std::string text;
    for (const std::string& line : profile.Lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

int GetProfileString(const ProfileFile& profile, const char* section, const char* key, const char* fallback,
                     char* out, int size) {
    std::string_view value;
    if (LookUp(profile, section, key, value)) return CopyOut(value, out, size);
    std::string_view text = fallback ? fallback : "";
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return CopyOut(text, out, size);
}

int GetProfileInt(const ProfileFile& profile, const char* section, const char* key, int fallback) {
    std::string_view value;
    if (!LookUp(profile, section, key, value) || value.empty()) return fallback;
    return ScanDecimal(value.data(), value.size());
}

void WriteProfileString(ProfileFile& profile, const char* section, const char* key, const char* value) {
    std::string text = value ? value : "";
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    Span span{};
    if (!FindSection(profile, section, span)) {
        profile.Lines.push_back("[" + std::string(section) + "]");
        profile.Lines.push_back(std::string(key) + "=" + text);
        return;
    }
    const std::size_t at = FindEntry(profile, span, key);
    if (at != span.End) {
        profile.Lines[at] = std::string(Classify(profile.Lines[at]).Name) + "=" + text;
        return;
    }
    // After the section's last entry (or its header), so that comments and
    // blank lines in front of the next section stay where they are.
    std::size_t last = span.Header;
    for (std::size_t i = span.Header + 1; i < span.End; ++i) {
        const LineKind kind = Classify(profile.Lines[i]).Kind;
        if (kind == LineKind::Entry || kind == LineKind::Other) last = i;
    }
    profile.Lines.insert(profile.Lines.begin() + static_cast<std::ptrdiff_t>(last + 1),
                         std::string(key) + "=" + text);
}

void WriteProfileInt(ProfileFile& profile, const char* section, const char* key, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    WriteProfileString(profile, section, key, text);
}

int SaveProfileFile(const ProfileFile& profile, const char* path) {
    if (!path || !*path) return 0;
    // Replace the file a symbolic link points to, not the link itself.
    std::string target = path;
    struct stat st {};
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path, nullptr)) {
            target = real;
            std::free(real);
        }
    }
    if (!MakeParentDirectories(target)) return 0;
    const bool exists = stat(target.c_str(), &st) == 0;
    // A file the user made read-only stays as it is, as it would with a write
    // in place.
    if (exists && access(target.c_str(), W_OK) != 0) return 0;

    const std::string text = ProfileText(profile);
    AtomicWrite how;
    how.Mode = exists ? st.st_mode & 07777 : 0666;
    how.ExactMode = exists;
    return WriteFileAtomically(target.c_str(), text.data(), text.size(), how, nullptr);
}
