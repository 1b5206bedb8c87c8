// The history file of one channel: its name, the bytes of its header and
// records, the conversion of a report's time cell, and the one reader that
// both the start-up scan and the loader use. The layout is described byte by
// byte at the top of history_file.cpp, which produces every byte written.
//
// A history file is outside input and is never trusted: the reader enforces
// one validity rule (see HistoryReader) and stops at the first violation,
// keeping what it read before.
//
// Threading: none of its own; pure functions on the caller's data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/reserved_area.h"
#include "core/app_state.h"

constexpr int kMaxStoredLinks = 18;       // links a record can hold (rows 1..18)
constexpr int kGroupTokens = 7;           // tokens per link in a record
constexpr int kMaxTokenLength = kCellSize - 1;  // 15: a token must fit a cell
constexpr int kBaseNameChars = 8;         // characters of CallPath examined
constexpr int kHistoryPathSize = sizeof(AppState::DataDir) + 32;
constexpr int kTimeCellTextSize = 32;     // ConvertTimeCell output with NUL
constexpr int kFailedLinkState = 6;       // code of a failed connect
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
// numbers "TxTim RxTim LinkState"; LinkState is 6 whatever the cell holds
// when `failed` is nonzero.
void ConvertTimeCell(const char* cell, int failed, char* out, int outSize);

// A decimal integer as the file and the report give it: optional leading
// whitespace and sign, then the leading digits; none gives 0. Saturates at
// the 32-bit range.
std::int32_t HistoryNumber(const char* text, std::size_t length);
std::int32_t CellNumber(const char* cell);

// A cell as the writer puts it into the file: whitespace inside becomes
// '?' and an empty cell is written as "?", so that no token can split or
// vanish and shift every later token of the file. `out` has kCellSize bytes.
void CellToken(const char* cell, char* out);

// The header (only when the file is created) and one record, formatted into
// `out`; each returns the byte count, or 0 when `outSize` is too small.
int FormatHistoryHeader(const ChannelRecord& channel, char* out, int outSize);
int FormatHistoryRecord(const ChannelRecord& channel, int failed, char* out, int outSize);

// ---- Reading --------------------------------------------------------------

// A whole file read into memory at once. The buffer is a reserved area of
// its own (huge pages for a large file), given back when this goes away.
struct HistoryBytes {
    char* Data = nullptr;
    std::size_t Size = 0;
    ReservedArea Area{};

    HistoryBytes() = default;
    HistoryBytes(const HistoryBytes&) = delete;
    HistoryBytes& operator=(const HistoryBytes&) = delete;
    ~HistoryBytes() { ReleaseArea(Area); }
};

enum class HistoryOpen : int { Missing = 0, Read = 1, Unreadable = -1 };
// Missing when the file cannot be opened (errno tells why); Unreadable when
// it opened but could not be read completely.
HistoryOpen ReadHistoryBytes(const char* path, HistoryBytes& bytes);

// One whitespace-free token, pointing into the file's bytes.
struct HistoryToken {
    const char* Text;
    int Length;
};

struct HistoryHeader {
    int LinkCount;
    HistoryToken Names[kMaxStoredLinks];
    HistoryToken Idents[kMaxStoredLinks];
};

struct HistoryRecordText {
    int Day, Month, Year, Hour, Minute;
    HistoryToken Groups[kMaxStoredLinks][kGroupTokens];
    // Each group token as a number (HistoryNumber); ReadHistoryRecordValues only.
    std::int32_t Values[kMaxStoredLinks][kGroupTokens];
};

enum class HistoryFault : int {
    None = 0,
    Unreadable,
    Empty,             // no token at all
    BadCount,          // first token not an integer 0..18
    LongToken,         // a token of more than 15 characters
    TruncatedHeader,   // fewer name pairs than the count says
    TruncatedRecord,   // the file ends inside a record
    BadTimestamp,      // not dd.mm.yy hh:mm (one or two digits each)
};

// The validity rule: whitespace (blank, tab, CR, LF, VT, FF) separates
// tokens; the first token is an integer N in 0..18; then N name pairs; then
// records of a time stamp "d.m.y h:m" (one or two digits each, two tokens)
// and 7N tokens; every token has at most 15 characters; the file ends at a
// record boundary. Reading stops at the first violation; the complete
// records before it stand.
struct HistoryReader {
    const char* Begin;
    const char* Pos;
    const char* End;
    long long Records;        // complete records read so far
    HistoryFault Fault;
    std::size_t FaultOffset;  // byte offset where the violation was found
};

void StartHistoryReader(HistoryReader& reader, const char* data, std::size_t size);
// 1 = header read; 0 = fault (reader.Fault).
int ReadHistoryHeader(HistoryReader& reader, HistoryHeader& header);
// 1 = one more complete record; 0 = clean end of file, or a fault.
int ReadHistoryRecord(HistoryReader& reader, int linkCount, HistoryRecordText& record);
// The same, with every group token also converted into record.Values.
int ReadHistoryRecordValues(HistoryReader& reader, int linkCount, HistoryRecordText& record);
// Header and every record, counting only (the start-up scan).
long long CountHistoryRecords(HistoryReader& reader);

// What went wrong, as the user is told.
const char* HistoryFaultText(HistoryFault fault);
// The whole notice for a damaged file: its name, the fault, and where
// reading stopped (record number and byte offset).
void FormatHistoryFaultNotice(const char* path, const HistoryReader& reader, char* out,
                              int outSize);
