// The in-memory series of one channel: up to 24000 records, oldest first, in
// a reserved area whose memory is committed as records arrive and given back
// when the series is discarded. The diagrams draw from here, never from the
// file; history_loader.h fills it from the file.
//
// A series holds the records of one link list (a changed list rotates the
// file and empties the series), so the names of its links are kept once, as
// the newest record brought them, and a record holds only its time and the
// six numbers of each link, packed (history_series.cpp describes the
// layout). Records are read back by value.
//
// Threading: GUI thread only; re-entered from nested loops (a record may be
// stored while a box of the loader is open).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/app_state.h"

// The six numbers of one link in one record.
struct LinkSample {
    std::int32_t Qty;
    std::int32_t Tkby;
    std::int32_t Rkby;
    std::int32_t TxTim;
    std::int32_t RxTim;
    std::int32_t LinkState;
};

// The minute of a connect, as the file writes it (the year in two digits).
struct RecordStamp {
    std::int32_t Hour;
    std::int32_t Minute;
    std::int32_t Day;
    std::int32_t Month;
    std::int32_t Year;
};

constexpr int kSeriesLinks = 18;  // links a record holds (a history file's most)
// Room for the names and a full series in its widest layout.
extern const std::size_t kHistoryAreaBytes;
constexpr int kScrollStepDefault = 24;     // records per shift step for short series
constexpr int kScrollStepThreshold = 500;  // above this a step is a twentieth

// The four history areas, reserved once at window creation in channel order;
// 0 at the first failure (what is reserved stays reserved until
// ReleaseHistoryMemory).
int ReserveHistoryMemory(AppState& state);
void ReleaseHistoryMemory(AppState& state);

// Is record i present (its memory committed and i < RecordCount)?
int IsRecordPresent(const AppState& state, int channel, int slot);

// The time of the record in `slot` (i < kHistoryCapacity, its memory
// committed); 0 and a zero stamp otherwise.
int ReadRecordStamp(const AppState& state, int channel, int slot, RecordStamp& stamp);
// The numbers of link `link` (0 = the first) in the record in `slot`; zeros
// when the slot is not committed or the link is not one a record holds.
LinkSample ReadLinkSample(const AppState& state, int channel, int slot, int link);
// Link `link` of records first, first + 1, ... into out[0..count): stops at
// the first record that is not present; returns how many were read.
int ReadLinkSamples(const AppState& state, int channel, int first, int count, int link, LinkSample* out);
// The link's name and second name as the newest record brought them; "" when
// there is none.
const char* SeriesLinkName(const AppState& state, int channel, int link);
const char* SeriesLinkIdent(const AppState& state, int channel, int link);

// Stores `links` samples and the stamp as the record in `slot`, committing
// memory up to it; the samples of links past `links` keep what the slot held.
// RecordCount is left alone. 0 when the area is not reserved or the memory
// cannot be committed (nothing is stored then).
int StoreHistoryRecord(AppState& state, int channel, int slot, const RecordStamp& stamp,
                       const LinkSample* samples, int links);
// Names the series' links 0..links-1 (cells of kCellSize bytes); the names of
// later links become "".
void SetSeriesLinks(AppState& state, int channel, int links, const char (*names)[kCellSize],
                    const char (*idents)[kCellSize]);
// A full ring of records whose oldest sits in slot `oldest` is turned into
// oldest-first order.
void TurnHistoryRing(AppState& state, int channel, int oldest);

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
