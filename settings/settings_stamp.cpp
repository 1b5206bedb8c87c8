// The stamp of the settings file and the copy that keeps a hand-edited one.
#include "settings/settings_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "core/atomic_file.h"
#include "settings/profile_file.h"

namespace {

// FNV-1a over the file's bytes, read without blocking; the read stops at
// the size a settings file may have.
std::uint64_t HashFile(int fd) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    char chunk[8192];
    std::size_t total = 0;
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t i = 0; i < n; ++i)
            hash = (hash ^ static_cast<unsigned char>(chunk[i])) * 0x100000001b3ull;
        total += static_cast<std::size_t>(n);
        if (total > kProfileMaxBytes) break;
    }
    return hash;
}

// Copies the bytes of `from` into the new file `to` (made, never replaced).
// 0 copied, else the system's reason.
int CopyNew(const char* from, const char* to) {
    const int in = open(from, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return errno;
    const int out = open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    int error = out < 0 ? errno : 0;
    char chunk[8192];
    while (error == 0) {
        const ssize_t n = read(in, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        error = WriteAll(out, chunk, static_cast<std::size_t>(n));
    }
    close(in);
    if (out >= 0 && close(out) != 0 && error == 0) error = errno;
    if (error != 0 && out >= 0) unlink(to);
    return error;
}

}  // namespace

void TakeSettingsStamp(const char* path, SettingsStamp& stamp) {
    stamp = SettingsStamp{};
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0) {
        if (fd >= 0) close(fd);
        return;
    }
    stamp.Exists = 1;
    stamp.Size = static_cast<long long>(st.st_size);
    stamp.ModifiedNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode)) stamp.Hash = HashFile(fd);
    close(fd);
}

int SettingsChanged(const SettingsStamp& was, const SettingsStamp& now) {
    return was.Exists != now.Exists || was.Size != now.Size || was.ModifiedNs != now.ModifiedNs ||
           was.Hash != now.Hash;
}

int KeepEditedSettings(const char* path, const std::tm& when, char* kept, int keptSize, int* error) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &when);
    const int n = std::snprintf(kept, static_cast<std::size_t>(keptSize), "%s.edited-%s", path, stamp);
    // A second name for the same file costs nothing and cannot tear; where
    // the file system has no links, a copy.
    int failure = 0;
    if (n < 0 || n >= keptSize) {
        failure = ENAMETOOLONG;
    } else if (link(path, kept) != 0) {
        failure = errno == EEXIST ? EEXIST : CopyNew(path, kept);
    }
    if (failure != 0 && error) *error = failure;
    return failure == 0;
}
