// Appending records to a channel's history file, rotating it when the link
// list changes or it grows large, and the start-up scan. The bytes of the
// file are described in history_file.cpp.
//
// A recorded connect is stored in this order (RecordConnect does it all):
//   1. AddHistoryRecord(state, channel, NextRecordIndex)  (the in-memory record)
//   2. advance NextRecordIndex (while below 24000)
//   3. AppendHistoryRecord(state, port, channel, CycleState)
// and NextRecordIndex is not touched after step 3. When step 3 finds that the
// link list changed it moves the old file away, empties the series, stores
// this connect again as its only record (RecordCount 1, NextRecordIndex 1)
// and starts the new file with the header and this record, so the connect
// that revealed the change is kept in the file and in memory. A file that
// cannot be read to its end (a record torn by a crash, an unreadable count)
// is moved away and replaced the same way, since every record appended
// behind the damage would be out of the reader's reach.
//
// Threading: GUI thread only. The notices are told (they do not block the
// caller); the size prompt asks and runs a nested loop in which ticks go on.
#pragma once

#include <cstdio>

#include "core/app_state.h"

struct PlatformPort;

constexpr int kRotationPromptThreshold = 1000;  // more than this: prompt
constexpr int kRotationAttemptLimit = 1000;     // numbered names tried

// 1 = written (or the file rotated and the new one started), 0 = the file
// could not be opened for appending or the write failed; the caller then
// shows "Impossible to save data, ...". Each record reaches the file with
// one write, so a crash leaves at most this record incomplete.
int AppendHistoryRecord(AppState& state, PlatformPort& port, int channel, int cycleState);
// Steps 1 to 3 above with the channel's CycleState; AppendHistoryRecord's result.
int RecordConnect(AppState& state, PlatformPort& port, int channel);
// `file` is positioned after the link count: the number of rows 1..N
// (N from the channel's ReplyLineCount) whose stored name differs from
// LinkTable column 2; a missing or over-long name counts as changed.
int CountChangedLinkNames(std::FILE* file, const ChannelRecord& channel);
// Renames `path` to the first free numbered name (".hpw" → ".hp0", ".hp1",
// ...), never replacing an existing file; writes the new path into
// `newPath` and returns 1. Returns 0 after 1000 taken names or at the first
// error other than "exists"; errno then says why.
int RotateHistoryFile(const char* path, char* newPath, int newPathSize);
// The size prompt for a file of more than 1000 records; 1 when the user
// agreed and the file was moved.
int OfferFileRotation(AppState& state, PlatformPort& port, const char* path,
                      int recordCount, int channel);
// Start-up: counts the records of the channel's file and offers the size
// rotation; 0 when there is no file. A damaged file is reported.
int ScanHistoryFile(AppState& state, PlatformPort& port, int channel);
