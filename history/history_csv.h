// A history file as comma-separated values, for spreadsheets and scripts:
// one row per record and link, read with the same reader as the loader, so
// a file exports exactly what the program would load from it.
//
// Row: time, link name, second name, QTY, TxTIM, RxTIM, TKBY, RKBY, link
// state code, port (the number cut from text column 9 of the report). The
// time is the record's local time in ISO 8601 ("2026-12-06T14:30", a
// two-digit year below 70 taken as 20yy, else 19yy). A header row comes
// first; every row ends in CR LF; a field holding a comma, a quote, CR or LF
// is put in quotes with its quotes doubled (RFC 4180). Values are the
// file's tokens as they stand, never reformatted.
//
// Threading: none of its own.
#pragma once

#include <cstddef>
#include <cstdio>

#include "history/history_reader.h"

constexpr const char* kCsvHeaderRow = "time,link,second_name,QTY,TxTIM,RxTIM,TKBY,RKBY,state,port\r\n";
constexpr int kCsvAllLinks = 0;

enum class CsvExport : int {
    Complete = 0,  // every record exported
    Damaged = 1,   // reading stopped at a fault; the records before it exported
    Failed = 2,    // nothing to export: the file cannot be opened, or the link does not exist
};

// Exports what the started `reader` reads (bytes in memory, or a file in
// pieces) to `out`: every link, or only link `link` (1 = the first of the
// header) when it is not kCsvAllLinks. The reader is left where reading
// stopped. `rows` receives the rows written
// (header row not counted). Failed when `link` is beyond the file's links
// (nothing but the header row is written then).
CsvExport ExportHistoryCsv(HistoryReader& reader, int link, std::FILE* out, long long& rows);

// The whole --export-csv run: reads the file at `path`, exports it to
// `out` and tells `err` in one line what went wrong (a damaged
// file: where reading stopped). Returns the exit status: 0, 1 for a damaged
// file, 2 when nothing could be exported.
int ExportHistoryFileCsv(const char* path, int link, std::FILE* out, std::FILE* err);
