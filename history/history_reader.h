// Reading a history file back: its bytes, its tokens, the validity rule,
// the header and the records, and what the user is told about a damaged
// file. The one reader behind the start-up scan, the loader and the
// writer's look at an existing file.
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
#include "history/history_format.h"

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
// it opened but could not be read completely. The file is read in bounded
// pieces and reading stops behind the first token too long to be valid
// (its first 16 bytes kept), so a huge damaged file is not taken whole.
HistoryOpen ReadHistoryBytes(const char* path, HistoryBytes& bytes);

// One whitespace-free token, pointing into the file's bytes.
struct HistoryToken {
    const char* Text;
    int Length;
};

struct HistoryHeader {
    HistoryToken Count;  // the link count as written
    int LinkCount;
    HistoryToken Names[kMaxStoredLinks];
    HistoryToken Idents[kMaxStoredLinks];
};

struct HistoryRecordText {
    int Day, Month, Year, Hour, Minute;
    HistoryToken Groups[kMaxStoredLinks][kGroupTokens];
    // Each group token as a number (ScanDecimal); ReadHistoryRecordValues only.
    std::int32_t Values[kMaxStoredLinks][kGroupTokens];
};

enum class HistoryFault : int {
    None = 0,
    Unreadable,
    Empty,            // no token at all
    BadCount,         // first token not an integer 0..18
    LongToken,        // a token of more than 15 characters
    TruncatedHeader,  // fewer name pairs than the count says
    TruncatedRecord,  // the file ends inside a record
    BadTimestamp,     // not dd.mm.yy hh:mm (one or two digits each)
};

// The validity rule: whitespace (blank, tab, CR, LF, VT, FF) separates
// tokens; the first token is an integer N in 0..18; then N name pairs;
// then records of a time stamp "d.m.y h:m" (one or two digits each, two
// tokens) and 7N tokens; every token has at most 15 characters; the file
// ends at a record boundary. Reading stops at the first violation; the
// complete records before it stand.
struct HistoryReader {
    const char* Begin;
    const char* Pos;
    const char* End;
    long long Records;  // complete records read so far
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
void FormatHistoryFaultNotice(const char* path, const HistoryReader& reader, char* out, int outSize);
