// Loading a channel's history file into its in-memory series, and the
// Load File button of the channel dialog.
//
// Threading: GUI thread only; a connect may be stored while a box of the
// loader is open (nested loop), and lands behind the loaded records.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr const char* kLinkTablePlaceholderTime = "08/15";  // time cell after a load

// Reads the channel's history file into slots 0.. (the newest 24000 records
// of a longer file), sets ReplyLineCount, RestoreLineCount, the LinkTable
// and the last-connect fields from it, and NextRecordIndex = RecordCount
// before any box is shown. A damaged file loads up to its last complete
// record and the user is told where reading stopped. Then the size prompt.
// The file is read in pieces: memory holds the newest 24000 records, not
// the file. 0 when the file does not exist (the user is told; nothing
// changes); a name that holds no regular file is said and empties the series.
int LoadHistory(AppState& state, PlatformPort& port, int channel);
// What the channel dialog's Load File button runs.
void LoadFileSequence(AppState& state, PlatformPort& port, int channel);
