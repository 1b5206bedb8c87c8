// The CSV export. Rows are assembled in a large buffer and handed to the
// stream in big blocks: a 24,000-record file of 17 links makes about
// 400,000 rows, and a call to the stream per field would cost more than the
// reading.
#include "history/history_csv.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/two_digit_year.h"
#include "history/history_format.h"

namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr std::size_t kRowMax = 2048;  // ten fields of at most 15 bytes, quoted: far below

struct CsvOut {
    std::FILE* File;
    char* Buf;
    std::size_t Len;
    int Failed;

    void Flush() {
        if (Len > 0 && std::fwrite(Buf, 1, Len, File) != Len) Failed = 1;
        Len = 0;
    }
    void Room() {
        if (Len + kRowMax > kBlock) Flush();
    }
    void Put(const char* text, std::size_t n) {
        std::memcpy(Buf + Len, text, n);
        Len += n;
    }
    void PutChar(char c) { Buf[Len++] = c; }
    // One field, quoted when it must be.
    void Field(const char* text, std::size_t n) {
        int plain = 1;
        for (std::size_t i = 0; i < n; ++i) {
            const char c = text[i];
            if (c == ',' || c == '"' || c == '\r' || c == '\n') {
                plain = 0;
                break;
            }
        }
        if (plain) {
            Put(text, n);
            return;
        }
        PutChar('"');
        for (std::size_t i = 0; i < n; ++i) {
            if (text[i] == '"') PutChar('"');
            PutChar(text[i]);
        }
        PutChar('"');
    }
    void Field(const HistoryToken& token) { Field(token.Text, static_cast<std::size_t>(token.Length)); }
};

void PutTwo(char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10 % 10);
    p[1] = static_cast<char>('0' + v % 10);
}

// "2026-12-06T14:30"; the reader has checked one or two digits each.
int FormatTime(const HistoryRecordText& record, char* out) {
    const int year = FullYear(record.Year);
    PutTwo(out, year / 100);
    PutTwo(out + 2, year % 100);
    out[4] = '-';
    PutTwo(out + 5, record.Month);
    out[7] = '-';
    PutTwo(out + 8, record.Day);
    out[10] = 'T';
    PutTwo(out + 11, record.Hour);
    out[13] = ':';
    PutTwo(out + 14, record.Minute);
    return 16;
}

// The tokens of a link in the order of the CSV columns.
constexpr RecordToken kTokenOfColumn[] = {kTokenQty,  kTokenTxTim,     kTokenRxTim, kTokenTkby,
                                          kTokenRkby, kTokenLinkState, kTokenPort};

}  // namespace

CsvExport ExportHistoryCsv(HistoryReader& reader, int link, std::FILE* out, long long& rows) {
    rows = 0;
    const std::unique_ptr<char[]> buffer(new char[kBlock]);
    CsvOut o{out, buffer.get(), 0, 0};
    o.Put(kCsvHeaderRow, std::strlen(kCsvHeaderRow));
    HistoryHeader header;
    if (!ReadHistoryHeader(reader, header)) {
        o.Flush();
        return CsvExport::Damaged;
    }
    char cells[2][kMaxStoredLinks][kCellSize];
    KeepHeaderNames(header, cells);
    if (link < 0 || link > header.LinkCount) {
        o.Flush();
        return CsvExport::Failed;
    }
    const int first = link == kCsvAllLinks ? 0 : link - 1;
    const int last = link == kCsvAllLinks ? header.LinkCount : link;
    HistoryRecordText record;
    while (ReadHistoryRecord(reader, header.LinkCount, record)) {
        char time[16];
        const std::size_t timeLength = static_cast<std::size_t>(FormatTime(record, time));
        for (int l = first; l < last; ++l) {
            o.Room();
            o.Put(time, timeLength);
            o.PutChar(',');
            o.Field(header.Names[l]);
            o.PutChar(',');
            o.Field(header.Idents[l]);
            for (int column : kTokenOfColumn) {
                o.PutChar(',');
                o.Field(record.Groups[l][column]);
            }
            o.Put("\r\n", 2);
            ++rows;
        }
    }
    o.Flush();
    if (o.Failed) return CsvExport::Failed;
    return reader.Fault == HistoryFault::None ? CsvExport::Complete : CsvExport::Damaged;
}

int ExportHistoryFileCsv(const char* path, int link, std::FILE* out, std::FILE* err) {
    HistorySource source;
    if (!OpenHistorySourceOrSay(path, source, err)) return 2;
    HistoryReader reader;
    StartHistoryReader(reader, source);
    long long rows = 0;
    const CsvExport result = ExportHistoryCsv(reader, link, out, rows);
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "hopwatch: writing the export failed: %s\n", std::strerror(errno));
        return 2;
    }
    if (result == CsvExport::Failed) {
        std::fprintf(err, "hopwatch: %s has no link %d\n", path, link);
        return 2;
    }
    if (result == CsvExport::Damaged) {
        std::fprintf(err,
                     "hopwatch: %s is damaged (%s): reading stopped at record %lld, byte offset %zu; "
                     "the %lld complete records before it were exported\n",
                     path, HistoryFaultText(reader.Fault), reader.Records + 1, reader.FaultOffset,
                     reader.Records);
        return 1;
    }
    return 0;
}
