// Reading a history file back: its bytes, its tokens, the validity rule,
// the header and the records, and what the user is told about a damaged
// file. The one reader behind the start-up scan, the loader and the
// writer's look at an existing file.
//
// A history file is outside input and is never trusted: the reader enforces
// one validity rule (see HistoryReader) and stops at the first violation,
// keeping what it read before. Nothing a file holds may stop the program:
// files are opened without blocking, must be regular files, and are read in
// pieces so that memory stays bounded whatever their size.
//
// Threading: none of its own; functions on the caller's data and files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "history/history_format.h"

// Opens a history file without blocking: a FIFO or a device under the name
// would otherwise stop the program's one thread in open() or read(). Only a
// regular file is taken. Returns the descriptor (close-on-exec), or -1 with
// `*error` (when not null) set: kNotRegularFile plus the file's type bits for
// a name that holds something else (HistoryErrorText names it), the
// system's reason otherwise.
int OpenHistoryFile(const char* path, int flags, int* error);
constexpr int kNotRegularFile = 0x100000;  // above every errno
// The system's reason `error`, or the kind of a file that is not a
// regular file ("it is a FIFO, not a regular file").
const char* HistoryErrorText(int error);

// A history file read in pieces: the reader sees a window of the file in a
// buffer of kHistoryPiece bytes (more only while one record spreads over
// more, up to kHistoryWindowMax) that moves on as it reads, so memory stays
// bounded whatever the file's size, and reading stops at the first fault.
constexpr std::size_t kHistoryPiece = 1 << 20;
constexpr std::size_t kHistoryWindowMax = 16 << 20;
struct HistorySource {
    int Fd = -1;
    char* Buffer = nullptr;
    std::size_t Capacity = 0;
    std::size_t Offset = 0;  // the file offset of Buffer[0]
    std::size_t Step = 0;    // bytes the next move reads at most: a short look first
    int AtEnd = 0;           // read() found the end, or failed (Error)
    int Error = 0;           // why read() failed, or why the file could not be opened

    HistorySource() = default;
    HistorySource(const HistorySource&) = delete;
    HistorySource& operator=(const HistorySource&) = delete;
    ~HistorySource();
};

enum class HistoryOpen : int { Missing = 0, Read = 1, Unreadable = -1, NotRegular = -2 };
// Missing when the name holds nothing that can be opened, NotRegular when it
// holds something other than a regular file (source.Error says which, as
// above);
// Unreadable when no buffer could be had. Read: the file is open.
HistoryOpen OpenHistorySource(const char* path, HistorySource& source);
// For a command-line tool: opens the file, or says on err why it cannot
// ("hopwatch: cannot open the history file ...") and returns 0.
int OpenHistorySourceOrSay(const char* path, HistorySource& source, std::FILE* err);

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

// Tokens point into the reader's bytes. Reading a file through a
// HistorySource moves its window on: a token then stays valid until the
// next read (BeforeMove tells when it is about to go).
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
    SpreadRecord,     // one record spread over more than kHistoryWindowMax bytes
};

// The validity rule: whitespace (blank, tab, CR, LF, VT, FF) separates
// tokens; the first token is an integer N in 0..18; then N name pairs;
// then records of a time stamp "d.m.y h:m" (one or two digits each, two
// tokens) and 7N tokens; every token has at most 15 characters; the file
// ends at a record boundary; a record spreads over at most kHistoryWindowMax
// bytes. Reading stops at the first violation; the complete records before
// it stand.
struct HistoryReader {
    const char* Begin;
    const char* Pos;
    const char* End;
    long long Records;  // complete records read so far
    HistoryFault Fault;
    std::size_t FaultOffset;  // byte offset in the file where the violation was found
    HistorySource* Source;    // null: the bytes are all in memory
    std::size_t Base;         // the file offset of Begin
    int Short;                // the last token read reached End
    // Called before the window moves on, while the tokens of the record read
    // last are still valid; null for none.
    void (*BeforeMove)(void* context);
    void* MoveContext;
};

// Reads bytes already in memory.
void StartHistoryReader(HistoryReader& reader, const char* data, std::size_t size);
// Reads an open file from its start, in pieces.
void StartHistoryReader(HistoryReader& reader, HistorySource& source);
// 1 = header read; 0 = fault (reader.Fault).
int ReadHistoryHeader(HistoryReader& reader, HistoryHeader& header);
// Copies the header's names and second names into cells of the caller's
// and points the header at them, so that they outlive the reader's window.
void KeepHeaderNames(HistoryHeader& header, char (*cells)[kMaxStoredLinks][kCellSize]);
// 1 = one more complete record; 0 = clean end of file, or a fault.
int ReadHistoryRecord(HistoryReader& reader, int linkCount, HistoryRecordText& record);
// The same, with every group token also converted into record.Values.
int ReadHistoryRecordValues(HistoryReader& reader, int linkCount, HistoryRecordText& record);
// Header and every record, counting only (the start-up scan).
long long CountHistoryRecords(HistoryReader& reader);
// Opens `path` and counts its records in pieces; reader.Fault says how
// reading ended (Unreadable when it could not be opened, or a read failed),
// `*error` (when not null) why it could not be opened.
HistoryOpen CountHistoryFile(const char* path, HistoryReader& reader, long long& records,
                             int* error = nullptr);

// What went wrong, as the user is told.
const char* HistoryFaultText(HistoryFault fault);
// The whole notice for a damaged file: its name, the fault, and where
// reading stopped (record number and byte offset).
void FormatHistoryFaultNotice(const char* path, const HistoryReader& reader, char* out, int outSize);
