// The history file of one channel: its name, the conversion of a report's
// time cell, and the bytes of its header and records. The layout is
// described byte by byte at the top of history_format.cpp, which produces
// every byte written; history_reader.h reads it back.
//
// Threading: none of its own; pure functions on the caller's data.
#pragma once

#include "core/app_state.h"

constexpr int kMaxStoredLinks = 18;             // links a record can hold (rows 1..18)
constexpr int kGroupTokens = 7;                 // tokens per link in a record
constexpr int kMaxTokenLength = kCellSize - 1;  // 15: a token must fit a cell
constexpr int kBaseNameChars = 8;               // characters of CallPath examined
constexpr int kHistoryPathSize = sizeof(AppState::DataDir) + 32;
constexpr int kTimeCellTextSize = 32;  // ConvertTimeCell output with NUL
// The link-state code a record keeps for a link: what the report's time cell
// showed, or that the connect failed. Written and read as its number.
enum class LinkState : int {
    NoFigure = 0,          // an empty or unreadable cell
    Pair = 1,              // "a/b"
    PairInBrackets = 2,    // "(a/b)"
    Single = 3,            // "a"
    SingleInBrackets = 4,  // "(a)"
    Down = 5,              // "-"
    Failed = 6,            // the connect failed, whatever the cell holds
};

// The tokens of one link in a record, by their place in the group.
enum RecordToken : int {
    kTokenPort = 0,
    kTokenTkby = 1,
    kTokenRkby = 2,
    kTokenQty = 3,
    kTokenTxTim = 4,
    kTokenRxTim = 5,
    kTokenLinkState = 6,
};
static_assert(kTokenLinkState + 1 == kGroupTokens, "a group is the seven tokens above");

// Largest header or record the writer can produce: 18 links of 5 tokens of at
// most 15 (time cell text 3 × 15) characters, with blanks; rounded up.
constexpr int kHistoryChunkMax = 4096;
constexpr const char* kHistoryCaption = "Hopwatch, t h e Monitor Program";
constexpr const char* kHistoryExtension = ".hpw";

// Number of links the channel's report holds, N = ReplyLineCount - 2, kept
// in 0..18 so that a short reply never yields a negative count.
int StoredLinkCount(const ChannelRecord& channel);

// "QX0TST-2 QX0VIA" → "QX0TST2.hpw". Of the first 8 characters (up to the
// first blank) only ASCII letters and digits are kept, so the name can never
// leave the data directory.
void HistoryBaseName(const char* callPath, char* out, int outSize);
// The base name joined with AppState::DataDir ("" = working directory).
// Returns 0 when the path does not fit `outSize`.
int HistoryFileName(const AppState& state, int channel, char* out, int outSize);

// The report's time cell (a/b, (a/b), a, (a), '-') as three blank-separated
// numbers "TxTim RxTim LinkState"; LinkState is LinkState::Failed whatever
// the cell holds when `failed` is nonzero.
void ConvertTimeCell(const char* cell, int failed, char* out, int outSize);

// A cell as the writer puts it into the file: whitespace inside becomes
// '?' and an empty cell is written as "?", so that no token can split or
// vanish and shift every later token of the file. `out` has kCellSize bytes.
void CellToken(const char* cell, char* out);

// The header (only when the file is created) and one record, formatted into
// `out`; each returns the byte count, or 0 when `outSize` is too small.
int FormatHistoryHeader(const ChannelRecord& channel, char* out, int outSize);
int FormatHistoryRecord(const ChannelRecord& channel, int failed, char* out, int outSize);
