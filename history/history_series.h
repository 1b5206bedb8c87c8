// The in-memory series of one channel: up to 24000 records, oldest first, in
// a reserved area whose memory is committed as records arrive and given back
// when the series is discarded. The diagrams draw from here, never from the
// file.
//
// Threading: GUI thread only; re-entered from nested loops (a record may be
// stored while a box of the loader is open).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/app_state.h"

struct PlatformPort;

struct LinkSample {
    char Name[64];
    std::int32_t Qty;
    std::int32_t Tkby;
    std::int32_t Rkby;
    std::int32_t TxTim;
    std::int32_t RxTim;
    std::int32_t LinkState;
};

struct HistoryRecord {
    LinkSample Links[20];
    std::int32_t Hour;
    std::int32_t Minute;
    std::int32_t Day;
    std::int32_t Month;
    std::int32_t Year;
};

constexpr std::size_t kHistoryAreaBytes = sizeof(HistoryRecord) * kHistoryCapacity;
constexpr int kScrollStepDefault = 24;        // records per shift step for short series
constexpr int kScrollStepThreshold = 500;     // above this a step is a twentieth
constexpr const char* kLinkTablePlaceholderTime = "08/15";  // time cell after a load

// The four history areas and the six point buffers, reserved once at window
// creation in this order; 0 at the first failure (what is reserved stays
// reserved until ReleaseHistoryMemory).
int ReserveHistoryMemory(AppState& state);
void ReleaseHistoryMemory(AppState& state);

// Slot i of the channel's area (i < kHistoryCapacity); null when the area is
// not reserved.
HistoryRecord* HistorySlot(AppState& state, int channel, int slot);
// Is record i present (its memory committed and i < RecordCount)?
int IsRecordPresent(const AppState& state, int channel, int slot);

// Stores the channel's LinkTable rows 1..N and the start of its connect as
// record `slot` (24000 or more stores into 23999); RecordCount = slot + 1.
// LinkState is 6 when the channel's CycleState is 7 (a failed connect).
void AddHistoryRecord(AppState& state, int channel, int slot);
// Reads the channel's history file into slots 0.. (the newest 24000 records
// of a longer file), sets ReplyLineCount, RestoreLineCount, the LinkTable
// and the last-connect fields from it, and NextRecordIndex = RecordCount
// before any box is shown. A damaged file loads up to its last complete
// record and the user is told where reading stopped. Then the size prompt.
// 0 when the file does not exist (the user is told; nothing changes).
int LoadHistory(AppState& state, PlatformPort& port, int channel);
// Empties the series and gives its memory back, and the memory of the six
// point buffers; RecordCount, ReplyLineCount, MarkerOffset, ScrollOffset and
// NextRecordIndex become 0.
void ResetHistory(AppState& state, int channel);
// Splits text at every non-digit; the first `count` fields (empty = 0,
// saturating at the 32-bit range) go to values.
void SplitNumbers(const char* text, int* values, int count);
// ScrollStep after every add and load.
int ScrollStepFor(int recordCount);
// What the channel dialog's Load File button runs.
void LoadFileSequence(AppState& state, PlatformPort& port, int channel);
