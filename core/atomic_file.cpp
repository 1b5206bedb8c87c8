#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// All `size` bytes, going on after interrupted writes. 1 when all were
// written.
int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 1;
}

}  // namespace

void SyncDirectoryOf(const char* path) {
    const std::string p = path;
    const std::size_t slash = p.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

int ReplaceFileAtomically(const char* path, const char* data, std::size_t size, unsigned mode, int exact,
                          int* error) {
    static std::atomic<unsigned> serial{0};
    std::string temp;
    int fd = -1;
    int failure = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = std::string(path) + "." + std::to_string(getpid()) + "." + std::to_string(++serial) + ".tmp";
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        if (error) *error = errno;
        return 0;
    }
    int ok = WriteAll(fd, data, size);
    if (ok && exact) ok = fchmod(fd, static_cast<mode_t>(mode)) == 0;
    if (ok) ok = fsync(fd) == 0;
    if (!ok) failure = errno;
    if (close(fd) != 0 && ok) {
        ok = 0;
        failure = errno;
    }
    if (ok && rename(temp.c_str(), path) != 0) {
        ok = 0;
        failure = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        if (error) *error = failure;
        return 0;
    }
    SyncDirectoryOf(path);
    return 1;
}
