// Appending records to a channel's history file, and moving it away when
// the link list changes. The bytes of the file are described in
// history_format.cpp.
//
// A recorded connect is stored in this order (RecordConnect does it all):
// the in-memory record (AddHistoryRecord at NextRecordIndex), then
// NextRecordIndex advanced (while below 24000), then the append
// (AppendHistoryRecord); NextRecordIndex is not touched after the append.
// When the append finds that the link list changed it moves the old file
// away, empties the series, stores this connect again as its only record
// (RecordCount 1, NextRecordIndex 1) and starts the new file with the header
// and this record, so the connect that revealed the change is kept in the
// file and in memory. A file that cannot be read to its end (a record torn
// by a crash, an unreadable count) is moved away and replaced the same way,
// since every record appended behind the damage would be out of the
// reader's reach. A new file appears only complete, with its header and
// first record; an empty file, or one with a header and no record, is
// completed in the same way rather than moved away.
//
// Threading: GUI thread only. The notices are told (they do not block the
// caller).
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr const char* kSaveFailedText =
    "Impossible to save data,\nbecause the File is already opened by another application!";

// 1 = written (or the file rotated and the new one started), 0 = the file
// could not be opened for appending, is no regular file, or the write failed
// (`*error`, when not null, says why, as HistoryErrorText words it); the
// caller then says so through NoteSaveResult. Each record reaches the file
// with one write, so a crash leaves at most this record incomplete.
// `failed` marks the record of a failed call (LinkState 6).
int AppendHistoryRecord(AppState& state, PlatformPort& port, int channel, int failed, int* error);
// The whole order above; AppendHistoryRecord's result. With the Hold Marker
// button checked the marker stays on its record: it moves back by the number
// of records the series grew by (at most to the oldest), so a window that was
// not painted for many records finds it where it was left.
int RecordConnect(AppState& state, PlatformPort& port, int channel, int failed, int* error);
// Logs a failing append once per episode: the file, the system's reason
// (`error`, RecordConnect's) and, when the reason changes or saving works
// again, how many calls went unsaved. Returns 1 when the episode starts,
// the one time the window's notice is due.
int NoteSaveResult(AppState& state, PlatformPort& port, int channel, int saved, int error);
// The window's notice for a failed save: a fixed text where the file
// is locked or in use (EBUSY, ETXTBSY, EAGAIN), otherwise "Impossible to save
// data to NAME: REASON" with the file's name and the system's reason.
void SaveFailedText(const AppState& state, int channel, int error, char* out, int size);
