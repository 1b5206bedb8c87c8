// Moving a channel's history file to a free numbered name, the size prompt
// that offers it for a file of more than 1000 records, and the start-up scan
// that counts a file's records and reports a damaged one.
//
// Threading: GUI thread only. The notices are told (they do not block the
// caller); the size prompt asks and runs a nested loop in which ticks go on.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr int kRotationPromptThreshold = 1000;  // more than this: prompt
constexpr int kRotationAttemptLimit = 1000;     // numbered names tried

// Renames `path` to the first free numbered name (".hpw" → ".hp0", ".hp1",
// ...), never replacing an existing file; writes the new path into
// `newPath` and returns 1. Returns 0 after 1000 taken names or at the first
// error other than "exists"; `*error` (when not null) then says why.
int RotateHistoryFile(const char* path, char* newPath, int newPathSize, int* error);
// The name a new history file is written under before it is moved into
// place ("<path>.new"; never a history file's name); 0 when it does not fit.
int HistoryTempName(const char* path, char* out, int size);
// Why RotateHistoryFile failed (its error), as the user is told.
const char* RotationFailureText(int error);
// The size prompt for a file of more than 1000 records; 1 when the user
// agreed and the file was moved.
int OfferFileRotation(AppState& state, PlatformPort& port, const char* path, int recordCount, int channel);
// Start-up: counts the records of the channel's file (in pieces, stopping
// at the first fault) and offers the size rotation; 0 when there is no
// file. A damaged file is reported. A name that holds something other than
// a regular file (a FIFO, a device) is said once with its kind, which starts
// the channel's failed-save episode: its calls stay in memory only. A new
// file's temporary left by a crash is removed.
int ScanHistoryFile(AppState& state, PlatformPort& port, int channel);
