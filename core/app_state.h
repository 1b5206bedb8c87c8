// The shared state of one run: the four channel records, the global settings
// and the per-channel counters kept beside the table.
//
// Threading: GUI thread only; the connect cycle, the dialogs and the diagram
// all read and write these fields directly, re-entered from nested loops.
// There is exactly one AppState per run, owned by the shell and passed by
// reference; tests build their own.
#pragma once

#include <cstdint>

#include "core/cycle_state.h"
#include "core/reserved_area.h"

constexpr int kChannelCount = 4;
constexpr int kReplySlots = 20;      // reply lines kept per channel
constexpr int kReplySlotSize = 100;  // bytes per reply line slot
constexpr int kLinkColumns = 7;      // columns of the link table
constexpr int kLinkRows = 20;        // rows of the link table
constexpr int kCellSize = 16;        // bytes per link table cell, NUL included
constexpr int kCallPathSize = 131;
constexpr int kMycallSize = 32;
constexpr int kHistoryCapacity = 24000;  // records per channel
constexpr int kPathSize = 4096;          // a path the program keeps, NUL included
constexpr int kPointBufferCount = 6;
constexpr int kPointBufferBytes = 192000;  // 24000 points of two int32

// One monitored connect path. Fields keep a fixed order and fixed widths, so
// that a reader can check them entry by entry against the record's layout.
struct ChannelRecord {
    char CallPath[kCallPathSize];
    char ChannelName[17];
    int MinutenIntervall;
    int MinuteCount;
    std::uint8_t RufAktiv;
    ::CycleState CycleState;  // one byte
    int LastMin, LastHour;
    int PrevMin, PrevHour;
    int LastConDay, LastConMonth, LastConYear;
    std::uint16_t L2Channel;
    std::uint8_t L2State;
    char ReplyLines[kReplySlots][kReplySlotSize];
    int ReplyLineCount;
    char LinkTable[kLinkColumns][kLinkRows][kCellSize];
    int RecordCount;
    int MarkerOffset;
    int ScrollOffset;
    int ScrollStep;
    int LinkIndex;
    int RestoreLineCount;
    int RepeatLineCount;
    int YZoomStep;
    int YScale;
};

// State of the answering service (one caller at a time). The open answer
// file is a FILE* kept as void* so that this header stays free of <cstdio>.
struct AnswerServiceState {
    int AnswerActive;
    std::uint16_t AnswerChannel;
    void* AnswerFile;
};

struct AppState {
    ChannelRecord ChannelTable[kChannelCount];

    // Global settings.
    int CurrentChannel;
    int XZoom;
    char Mycall[kMycallSize];
    int Balken;
    int qty;
    int time;
    int bytes;
    int showqty;
    int showrxtim;
    int showtxtim;
    int showtkby;
    int showrkby;
    int one_yzoom;
    int german;

    // Per-channel counters beside the table.
    int NextRecordIndex[kChannelCount];
    int WaitTicks[kChannelCount];

    // Re-entry guard of the connect cycle: nonzero while a channel's step is
    // running (a notice raised inside a step may run nested ticks).
    int CycleBusy[kChannelCount];

    // Nonzero once the channel's history file has been read whole without
    // a fault (by the loader or the writer) since its series was last reset;
    // until then the next append checks the whole file, not only its end.
    int FileCheckedWhole[kChannelCount];

    // A history file that cannot be written is said once per episode: the
    // episode's reason, an errno value (0 = saving works), and the calls it
    // left unsaved.
    int SaveError[kChannelCount];
    int UnsavedCalls[kChannelCount];

    AnswerServiceState Answer;

    // Running totals since start, read by the metrics endpoint only.
    long long CallsMade[kChannelCount];     // connects started
    long long CallsFailed[kChannelCount];   // calls that ended without a reply
    long long LastCallDone[kChannelCount];  // seconds since 1970 of the last reply stored, 0 = none
    long long CallersServed;                // stations greeted by the answering service

    // Memory reserved at window creation: the four history areas and the six
    // point buffers of the curves.
    ReservedArea HistoryArea[kChannelCount];
    ReservedArea CurvePoints[kPointBufferCount];

    // Where history files and the answer text live ("" = working directory).
    char DataDir[kPathSize];
};

// Puts every field to its initial value (before the settings are read).
void InitAppState(AppState& state);

// Channel index 0..3 → "Channel1".."Channel4".
const char* ChannelSectionName(int channel);

// `name` in the data directory (the working directory when DataDir is
// empty); 0 when the result does not fit `outSize`.
int DataFilePath(const AppState& state, const char* name, char* out, int outSize);

// Lifecycle step at start-up after a channel's settings are read: counters
// to 0 (before the history file scan).
void ResetChannelCounters(ChannelRecord& channel);
// Lifecycle step after the scan: view defaults.
void SetChannelViewDefaults(ChannelRecord& channel);
