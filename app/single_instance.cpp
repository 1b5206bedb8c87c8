// The single-instance lock: flock on a file that stays in place; the lock,
// not the file's existence, says whether a copy runs.
#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/settings_file.h"

void DefaultLockDirectory(char* dir, int size) {
    const std::size_t n = static_cast<std::size_t>(size);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        std::snprintf(dir, n, "%s", runtime);
        return;
    }
    char* slash = nullptr;
    if (DefaultSettingsPath(dir, size)) {
        slash = std::strrchr(dir, '/');
    }
    if (slash != nullptr && slash != dir) {
        *slash = '\0';
    } else {
        std::snprintf(dir, n, ".");
    }
}

namespace {

// Takes the lock on dir/name; see AcquireInstanceLock.
int LockFileIn(const char* dir, const char* name, int& fd) {
    fd = -1;
    char path[4096];
    const int written = std::snprintf(path, sizeof path, "%s/%s", dir, name);
    if (written < 0 || written >= static_cast<int>(sizeof path)) {
        return 1;
    }
    const int handle = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if (handle < 0) {
        return 1;
    }
    if (flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(handle);
        return error == EWOULDBLOCK ? 0 : 1;
    }
    fd = handle;
    return 1;
}

}  // namespace

int AcquireInstanceLock(const char* dir, int& fd) {
    mkdir(dir, 0700);  // the config directory may not exist yet
    return LockFileIn(dir, kInstanceLockName, fd);
}

int AcquireDataDirectoryLock(const char* dataDir, int& fd) {
    return LockFileIn(dataDir[0] != '\0' ? dataDir : ".", kDataLockName, fd);
}

void ReleaseInstanceLock(int& fd) {
    if (fd >= 0) {
        close(fd);
    }
    fd = -1;
}
