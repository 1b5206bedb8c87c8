// Putting a whole file in place so that a crash or a power loss leaves
// either the old bytes or the new ones under its name, never a mix: the
// bytes go to a temporary beside it, are flushed to disk, the temporary is
// renamed to the name, and the directory is flushed so that the rename
// itself survives. The settings file, the answer text and a new history
// file are written this way.
//
// Threading: any thread; each call works on its own temporary.
#pragma once

#include <cstddef>

// Writes all `size` bytes to fd, going on after interrupted and short
// writes. 0 when all were written, else the system's reason (ENOSPC for a
// write that took nothing); `*done` (when not null) counts what was written.
int WriteAll(int fd, const char* data, std::size_t size, std::size_t* done = nullptr);

// Flushes the directory that holds `path` (its rename or new name).
void SyncDirectoryOf(const char* path);

// rename() that never replaces an existing target (a hard link and an
// unlink where the file system cannot do that). 0 when moved, else the
// system's reason (EEXIST when the target exists).
int MoveNoReplace(const char* from, const char* to);

struct AtomicWrite {
    unsigned Mode = 0666;  // as a new file gets it (the umask applies) ...
    int ExactMode = 0;     // ... or exactly this (an old file's permissions kept)
    int KeepExisting = 0;  // fail with EEXIST rather than replace a file under the name
    // The temporary's name, for a caller whose start-up removes what a crash
    // left; null: a fresh NAME.PID.N.tmp, created exclusively.
    const char* TempName = nullptr;
};

// Puts `data` in place as `path`. 1 when done; 0 with the system's reason
// in `*error` (when not null), `path` then as it was and no temporary left.
int WriteFileAtomically(const char* path, const char* data, std::size_t size, const AtomicWrite& how,
                        int* error);
