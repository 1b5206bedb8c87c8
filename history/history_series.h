// The in-memory series of one channel: up to 24000 records, oldest first, in
// a reserved area whose memory is committed as records arrive and given back
// when the series is discarded. The diagrams draw from here, never from the
// file; history_loader.h fills it from the file.
//
// Threading: GUI thread only; re-entered from nested loops (a record may be
// stored while a box of the loader is open).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/app_state.h"

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
constexpr int kScrollStepDefault = 24;     // records per shift step for short series
constexpr int kScrollStepThreshold = 500;  // above this a step is a twentieth

// The four history areas, reserved once at window creation in channel order;
// 0 at the first failure (what is reserved stays reserved until
// ReleaseHistoryMemory).
int ReserveHistoryMemory(AppState& state);
void ReleaseHistoryMemory(AppState& state);

// Slot i of the channel's area (i < kHistoryCapacity); null when the area is
// not reserved.
HistoryRecord* HistorySlot(AppState& state, int channel, int slot);
// The same slot with its memory committed (and every slot before it); null
// when the area is not reserved or the commit fails.
HistoryRecord* CommitHistorySlot(AppState& state, int channel, int slot);
// Is record i present (its memory committed and i < RecordCount)?
int IsRecordPresent(const AppState& state, int channel, int slot);

// Stores the channel's LinkTable rows 1..N and the start of its connect as
// record `slot` (24000 or more stores into 23999); RecordCount = slot + 1.
// LinkState is 6 when `failed` is nonzero.
void AddHistoryRecord(AppState& state, int channel, int slot, int failed);
// Empties the series and gives its memory back; RecordCount, ReplyLineCount, MarkerOffset, ScrollOffset and
// NextRecordIndex become 0.
void ResetHistory(AppState& state, int channel);
// Splits text at every non-digit; the first `count` fields (empty = 0,
// saturating at the 32-bit range) go to values.
void SplitNumbers(const char* text, int* values, int count);
// Records one scroll step moves the diagram (ScrollStep, set after every add and load).
int ScrollStepFor(int recordCount);
