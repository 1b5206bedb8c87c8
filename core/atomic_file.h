// Replacing a whole file so that a crash or a power loss leaves either the
// old bytes or the new ones under its name, never a mix: the bytes go to a
// temporary beside it (NAME.PID.N.tmp, created exclusively), are flushed to
// disk, the temporary is renamed over the name, and the directory is flushed
// so that the rename itself survives. The settings file and the answer text
// are written this way; a new history file takes its own temporary name (one
// the start-up scan knows) and never replaces a file, and shares only the
// directory flush.
//
// Threading: any thread; each call works on its own temporary.
#pragma once

#include <cstddef>

// Flushes the directory that holds `path` (its rename or new name).
void SyncDirectoryOf(const char* path);

// Replaces `path` with `data`. The new file gets `mode` as a new file does
// (the umask applies), or exactly `mode` when `exact` (an old file's
// permissions kept). 1 when done; 0 with the system's reason in `*error`
// (when not null), `path` then as it was and no temporary left.
int ReplaceFileAtomically(const char* path, const char* data, std::size_t size, unsigned mode, int exact,
                          int* error);
