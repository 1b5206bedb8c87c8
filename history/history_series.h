// The in-memory series of one channel: up to 24000 records, oldest first, in
// a reserved area whose memory is committed as records arrive.
//
// Threading: GUI thread only; re-entered from nested loops (a record may be
// stored while a box of the loader is open).
#pragma once

#include <cstdint>

#include "shell/channel_table.h"

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

// Slot i of the channel's area (i < kHistoryCapacity); null when the area is
// not reserved.
HistoryRecord* HistorySlot(AppState& state, int channel, int slot);
// Is record i present (its memory committed and i < RecordCount)?
int IsRecordPresent(const AppState& state, int channel, int slot);

void AddHistoryRecord(AppState& state, int channel, int slot);
int LoadHistory(AppState& state, PlatformPort& port, int channel);
void ResetHistory(AppState& state, int channel);
void SplitNumbers(const char* text, int* values, int count);
// ScrollStep after every add and load.
int ScrollStepFor(int recordCount);
// What the channel dialog's Load File button runs.
void LoadFileSequence(AppState& state, PlatformPort& port, int channel);
