#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace {

// The temporary, created exclusively so that nothing already under its
// name (a link, a FIFO) is written through. A fixed name is cleared first.
int OpenTemporary(const char* path, const AtomicWrite& how, std::string& temp, int& error) {
    static std::atomic<unsigned> serial{0};
    const mode_t mode = static_cast<mode_t>(how.Mode);
    if (how.TempName != nullptr) {
        temp = how.TempName;
        if (unlink(temp.c_str()) != 0 && errno != ENOENT) {
            error = errno;
            return -1;
        }
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        error = fd < 0 ? errno : 0;
        return fd;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = std::string(path) + "." + std::to_string(getpid()) + "." + std::to_string(++serial) + ".tmp";
        const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) {
            error = fd < 0 ? errno : 0;
            return fd;
        }
    }
    error = EEXIST;
    return -1;
}

}  // namespace

int WriteAll(int fd, const char* data, std::size_t size, std::size_t* done) {
    std::size_t written = 0;
    int error = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (done) *done = written;
    return error;
}

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

int MoveNoReplace(const char* from, const char* to) {
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails as well when
    // the target exists.
    if (link(from, to) != 0) return errno;
    if (unlink(from) != 0) {
        const int error = errno;
        unlink(to);
        return error;
    }
    return 0;
}

int WriteFileAtomically(const char* path, const char* data, std::size_t size, const AtomicWrite& how,
                        int* error) {
    std::string temp;
    int failure = 0;
    const int fd = OpenTemporary(path, how, temp, failure);
    if (fd < 0) {
        if (error) *error = failure;
        return 0;
    }
    failure = WriteAll(fd, data, size);
    if (failure == 0 && how.ExactMode && fchmod(fd, static_cast<mode_t>(how.Mode)) != 0) failure = errno;
    if (failure == 0 && fsync(fd) != 0) failure = errno;
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0) {
        if (how.KeepExisting) {
            failure = MoveNoReplace(temp.c_str(), path);
        } else if (rename(temp.c_str(), path) != 0) {
            failure = errno;
        }
    }
    if (failure != 0) {
        unlink(temp.c_str());
        if (error) *error = failure;
        return 0;
    }
    SyncDirectoryOf(path);
    return 1;
}
