// Only one copy of the program runs at a time: two copies would write the
// same settings file and history files. The first copy holds an exclusive
// lock on a file in the user's runtime directory for as long as it runs; the
// lock dies with the process, so a crash never leaves a stale lock behind.
//
// Threading: any.
#pragma once

constexpr const char* kInstanceLockName = "hopwatch.lock";
constexpr const char* kOnlyOnceText = "Hopwatch may run only once at the same time!";

// $XDG_RUNTIME_DIR when set, else the directory of the default settings file.
void DefaultLockDirectory(char* dir, int size);

// 1 = this process is the only copy (the lock is held in `fd` until
// ReleaseInstanceLock); 0 = another copy holds it. A lock file that cannot
// be made at all does not stop the program (fd = -1, result 1).
int AcquireInstanceLock(const char* dir, int& fd);
void ReleaseInstanceLock(int& fd);

// One program per data directory, whatever its runtime directory: the same
// lock on a file in the data directory ("" = the working directory), held
// for the whole run and released like the other. 0 = another program holds
// it. A directory where the file cannot be made does not stop the program
// (nothing can be saved there either).
constexpr const char* kDataLockName = ".hopwatch.lock";
int AcquireDataDirectoryLock(const char* dataDir, int& fd);
