// The history file format. Every byte of a history file is produced here.
//
// Name: up to the first 8 characters of CallPath (stopping at a blank), of
// which only ASCII letters and digits are kept, then ".hpw":
// "QX0TST-2 QX0VIA" → "QX0TST2.hpw", "" → ".hpw". The file lives in the
// data directory (the working directory by default).
//
// Bytes (8-bit text, no conversion; · = one blank 0x20, CR LF = 0x0D 0x0A,
// written as such, never through a text-mode stream):
//
//   header  N "··" { NAME "·" IDENT "······" } × N
//           N = number of links 0..17 (18 accepted) in decimal; NAME, IDENT
//           are link table columns 2 and 5 of rows 1..N. No line end: the
//           first record closes the header line.
//   record  CR LF  DD "." MM "." YY "·" hh ":" mm "·"
//           { PORT "·" TKBY "·" RKBY "·" QTY "·" TX "·" RX "·" STATE "·" } × N
//           DD MM YY hh mm = start of the connect, "%02d" each; PORT, TKBY,
//           RKBY, QTY = link table columns 4, 3, 6, 0 as text; TX RX STATE =
//           the time cell (column 1) converted by ConvertTimeCell.
//
// The line end comes before each record, so the last line of a file has none
// and an append never needs to look at the end of the file. There is no
// count, checksum or version mark: records are found by reading to the end.
// Example, two links, the second connect failed (code 6):
//
//   2··QX0AAA·p1······QX0BBB·p2······CR LF
//   06.12.26·14:30·7·120·340·12·3·5·1·2·15·22·0·40·60·2·CR LF
//   06.12.26·14:40·7·120·340·12·3·5·6·2·15·22·0·40·60·6·
//
// Every token is free of whitespace and at most 15 characters long, so the
// file reads back as a stream of whitespace-separated tokens. The parser
// fills each cell with one blank-free token; a tab or line feed that a
// report might still carry inside a field would split the token and shift
// every later token of the file, so the writer puts '?' in its place (and
// writes '?' for an empty cell).
#include "history/history_file.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "core/link_column.h"

namespace {

constexpr char kReplacement = '?';
constexpr std::int64_t kInt32Max = 2147483647;
constexpr std::int64_t kInt32Min = -kInt32Max - 1;

// Whitespace as the reader sees it: blank, tab, LF, VT, FF, CR.
struct SpaceTable {
    bool Is[256];
    constexpr SpaceTable() : Is{} {
        Is[static_cast<unsigned char>(' ')] = true;
        Is[static_cast<unsigned char>('\t')] = true;
        Is[static_cast<unsigned char>('\n')] = true;
        Is[static_cast<unsigned char>('\v')] = true;
        Is[static_cast<unsigned char>('\f')] = true;
        Is[static_cast<unsigned char>('\r')] = true;
    }
};
constexpr SpaceTable kSpace;

inline bool IsSpace(char c) {
    return kSpace.Is[static_cast<unsigned char>(c)];
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsAsciiAlnum(char c) {
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A small bounded appender: every write checks the room left, and the first
// one that does not fit marks the buffer as overflowed.
struct Out {
    char* Buf;
    int Size;
    int Len;
    bool Overflow;

    void Put(const char* text, std::size_t n) {
        if (Overflow || n > static_cast<std::size_t>(Size - Len)) {
            Overflow = true;
            return;
        }
        std::memcpy(Buf + Len, text, n);
        Len += static_cast<int>(n);
    }
    void Put(const char* text) { Put(text, std::strlen(text)); }
    void PutChar(char c) { Put(&c, 1); }
    void PutToken(const char* cell) {
        char token[kCellSize];
        CellToken(cell, token);
        Put(token);
    }
    // A time field as "%02d". The values always come from a local time or
    // from a file the reader accepted; should one ever be out of range it is
    // kept to two digits all the same, since a three-digit field would make
    // every later record of the file unreadable.
    void PutTwoDigits(int value) {
        value = value < 0 ? 0 : value % 100;
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%02d", value);
        Put(text, static_cast<std::size_t>(n));
    }
};

inline const char* SkipSpace(const char* p, const char* end) {
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    return p;
}

// Eight bytes at p as one little-endian word (p + 8 <= end is the caller's
// business).
inline std::uint64_t Load8(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Index 0..7 of the first byte of `word` that is below 0x21 (blanks and
// control characters), or 8 when there is none.
inline int FirstLowByte(std::uint64_t word) {
    const std::uint64_t low = (word - 0x21 * kOnes) & ~word & kHighBits;
    return low == 0 ? 8 : std::countr_zero(low) / 8;
}

// Index 0..7 of the first byte of `word` that is not a decimal digit, or 8.
inline int FirstNonDigit(std::uint64_t word) {
    const std::uint64_t high = (word & 0xF0 * kOnes) ^ (0x30 * kOnes);
    const std::uint64_t low = ((word & 0x0F * kOnes) + 0x06 * kOnes) & 0xF0 * kOnes;
    const std::uint64_t other = high | low;  // nonzero bytes: not a digit
    const std::uint64_t mark = (((other & 0x7F * kOnes) + 0x7F * kOnes) | other) & kHighBits;
    return mark == 0 ? 8 : std::countr_zero(mark) / 8;
}

// The value of the first n (1..7) bytes of `word`, all digits.
inline std::uint32_t DigitsValue(std::uint64_t word, int n) {
    std::uint64_t v = (word & 0x0F * kOnes) << (64 - 8 * n);  // leading zeros
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFull;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFull;
    v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFull;
    return static_cast<std::uint32_t>(v);
}

// Is byte n (0..7) of `word` whitespace? Taken from the word itself, so
// the test does not wait for another load.
inline bool SpaceAt(std::uint64_t word, int n) {
    const unsigned c = static_cast<unsigned>(word >> (8 * n)) & 0xFFu;
    return c == ' ' || c - '\t' <= '\r' - '\t';
}

// Ends the token at `stop` and moves the reader behind it.
inline int TakeToken(HistoryReader& reader, HistoryToken& token, const char* start, const char* stop) {
    const std::ptrdiff_t length = stop - start;
    token.Text = start;
    token.Length = static_cast<int>(length < 0x7fffffff ? length : 0x7fffffff);
    reader.Pos = stop;
    return 1;
}

// The long way: byte by byte to the next whitespace.
inline const char* TokenEnd(const char* p, const char* end) {
    while (p < end && !IsSpace(*p)) {
        ++p;
    }
    return p;
}

// Next token, or 0 at the end of the bytes. Tokens of up to seven bytes
// (nearly all of them) are measured a word at a time, which spares the
// branch per byte that makes a plain split slow.
inline int NextToken(HistoryReader& reader, HistoryToken& token) {
    const char* p = SkipSpace(reader.Pos, reader.End);
    const char* end = reader.End;
    if (p == end) {
        reader.Pos = p;
        return 0;
    }
    if (kLittleEndian && end - p >= 8) {
        const std::uint64_t word = Load8(p);
        const int n = FirstLowByte(word);
        if (n < 8 && SpaceAt(word, n)) {
            return TakeToken(reader, token, p, p + n);
        }
    }
    return TakeToken(reader, token, p, TokenEnd(p, end));
}

// The same, converting the token as a number on the way (HistoryNumber's
// rules). A token of one to seven digits is measured and converted a word at
// a time; anything else goes the long way. A token too long for a cell gets
// no useful value, but the caller rejects it anyway.
inline int NextNumberToken(HistoryReader& reader, HistoryToken& token, std::int32_t& value) {
    const char* p = SkipSpace(reader.Pos, reader.End);
    const char* end = reader.End;
    if (p == end) {
        reader.Pos = p;
        return 0;
    }
    if (kLittleEndian && end - p >= 8) {
        const std::uint64_t word = Load8(p);
        const int n = FirstNonDigit(word);
        if (n > 0 && n < 8 && SpaceAt(word, n)) {
            value = static_cast<std::int32_t>(DigitsValue(word, n));
            return TakeToken(reader, token, p, p + n);
        }
    }
    TakeToken(reader, token, p, TokenEnd(p, end));
    value = HistoryNumber(p, static_cast<std::size_t>(token.Length));
    return 1;
}

int Fail(HistoryReader& reader, HistoryFault fault, const char* at) {
    reader.Fault = fault;
    reader.FaultOffset = static_cast<std::size_t>(at - reader.Begin);
    return 0;
}

// Reads one to two digits at p; returns the position after them, or null.
const char* TwoDigits(const char* p, const char* end, int& value) {
    if (p >= end || !IsDigit(*p)) {
        return nullptr;
    }
    value = *p++ - '0';
    if (p < end && IsDigit(*p)) {
        value = value * 10 + (*p++ - '0');
    }
    return p;
}

// "d.m.y" or "h:m" (separator `sep`, `fields` numbers of one or two digits)
// filling values[0..fields-1]; 1 when the whole token matches.
int TimeToken(const HistoryToken& token, char sep, int fields, int* values) {
    const char* p = token.Text;
    const char* end = token.Text + token.Length;
    for (int i = 0; i < fields; ++i) {
        if (i > 0) {
            if (p >= end || *p != sep) {
                return 0;
            }
            ++p;
        }
        p = TwoDigits(p, end, values[i]);
        if (p == nullptr) {
            return 0;
        }
    }
    return p == end;
}

// The link count token: optional sign, digits only, value 0..18.
int LinkCountToken(const HistoryToken& token, int& count) {
    const char* p = token.Text;
    const char* end = token.Text + token.Length;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end) {
        return 0;
    }
    long value = 0;
    for (; p < end; ++p) {
        if (!IsDigit(*p)) {
            return 0;
        }
        value = value * 10 + (*p - '0');
        if (value > kMaxStoredLinks) {
            return 0;
        }
    }
    if (negative && value != 0) {
        return 0;
    }
    count = static_cast<int>(value);
    return 1;
}

}  // namespace

void CellToken(const char* cell, char* out) {
    const std::size_t n = strnlen(cell, kMaxTokenLength);
    if (n == 0) {
        out[0] = kReplacement;
        out[1] = '\0';
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = IsSpace(cell[i]) ? kReplacement : cell[i];
    }
    out[n] = '\0';
}

int StoredLinkCount(const ChannelRecord& channel) {
    const int n = channel.ReplyLineCount - 2;
    if (n < 0) {
        return 0;
    }
    return n > kMaxStoredLinks ? kMaxStoredLinks : n;
}

void HistoryBaseName(const char* callPath, char* out, int outSize) {
    char name[kBaseNameChars + 8];
    int len = 0;
    for (int i = 0; i < kBaseNameChars && callPath[i] != '\0' && callPath[i] != ' '; ++i) {
        if (IsAsciiAlnum(callPath[i])) {
            name[len++] = callPath[i];
        }
    }
    name[len] = '\0';
    std::snprintf(out, static_cast<std::size_t>(outSize), "%s%s", name, kHistoryExtension);
}

int HistoryFileName(const AppState& state, int channel, char* out, int outSize) {
    char base[kBaseNameChars + 8];
    HistoryBaseName(state.ChannelTable[channel].CallPath, base, sizeof base);
    return DataFilePath(state, base, out, outSize);
}

void ConvertTimeCell(const char* cell, int failed, char* out, int outSize) {
    const int length = static_cast<int>(strnlen(cell, kCellSize));
    int s = 0;
    int p = 0;
    int start = 0;
    int slash = -1;
    int stop = length;
    for (int i = 0; i < length; ++i) {
        const char c = cell[i];
        if (c == '(') {
            p = 1;
        } else if (c == '-') {
            s = 5;
            stop = i;
            break;
        } else if (IsDigit(c)) {
            if (s == 0) {
                s = 3;
                start = i;
            }
        } else if (c == '/' && s == 3) {
            s = 1;
            slash = i;
        } else if (s == 3 || s == 1) {
            s += p;
            stop = i;
            break;
        }
    }
    const int code = failed ? kFailedLinkState : s;
    const std::size_t size = static_cast<std::size_t>(outSize);
    if (s == 1 || s == 2) {
        const int secondLength = stop - slash - 1;
        if (secondLength > 0) {
            std::snprintf(out, size, "%.*s %.*s %d", slash - start, cell + start, secondLength,
                          cell + slash + 1, code);
        } else {
            // "12/" : an empty second number is written as 0.
            std::snprintf(out, size, "%.*s 0 %d", slash - start, cell + start, code);
        }
    } else if (s == 3 || s == 4) {
        std::snprintf(out, size, "%.*s 0 %d", stop - start, cell + start, code);
    } else {
        std::snprintf(out, size, "0 0 %d", code);
    }
}

std::int32_t HistoryNumber(const char* text, std::size_t length) {
    const char* p = text;
    const char* end = text + length;
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    std::int64_t value = 0;
    for (; p < end && IsDigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > kInt32Max + 1) {
            value = kInt32Max + 1;  // saturated; keep consuming digits
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > kInt32Max) {
        value = kInt32Max;
    }
    if (value < kInt32Min) {
        value = kInt32Min;
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t CellNumber(const char* cell) {
    return HistoryNumber(cell, strnlen(cell, kCellSize));
}

int FormatHistoryHeader(const ChannelRecord& channel, char* out, int outSize) {
    const int n = StoredLinkCount(channel);
    Out o{out, outSize, 0, false};
    char count[16];
    std::snprintf(count, sizeof count, "%d  ", n);
    o.Put(count);
    for (int r = 1; r <= n; ++r) {
        o.PutToken(channel.LinkTable[kColName][r]);
        o.PutChar(' ');
        o.PutToken(channel.LinkTable[kColIdent][r]);
        o.Put("      ");
    }
    return o.Overflow ? 0 : o.Len;
}

int FormatHistoryRecord(const ChannelRecord& channel, int failed, char* out, int outSize) {
    const int n = StoredLinkCount(channel);
    Out o{out, outSize, 0, false};
    o.Put("\r\n");
    o.PutTwoDigits(channel.LastConDay);
    o.PutChar('.');
    o.PutTwoDigits(channel.LastConMonth);
    o.PutChar('.');
    o.PutTwoDigits(channel.LastConYear);
    o.PutChar(' ');
    o.PutTwoDigits(channel.LastHour);
    o.PutChar(':');
    o.PutTwoDigits(channel.LastMin);
    o.PutChar(' ');
    for (int r = 1; r <= n; ++r) {
        o.PutToken(channel.LinkTable[kColPort][r]);
        o.PutChar(' ');
        o.PutToken(channel.LinkTable[kColTkby][r]);
        o.PutChar(' ');
        o.PutToken(channel.LinkTable[kColRkby][r]);
        o.PutChar(' ');
        o.PutToken(channel.LinkTable[kColQty][r]);
        o.PutChar(' ');
        // Three numbers separated by single blanks, each at most 15 digits.
        char time[kTimeCellTextSize];
        ConvertTimeCell(channel.LinkTable[kColTime][r], failed, time, sizeof time);
        o.Put(time);
        o.PutChar(' ');
    }
    return o.Overflow ? 0 : o.Len;
}

namespace {

// A fresh buffer of at least `bytes`, committed; 0 on failure.
int MakeBuffer(ReservedArea& area, std::size_t bytes) {
    return ReserveArea(area, bytes) && CommitArea(area, bytes);
}

}  // namespace

HistoryOpen ReadHistoryBytes(const char* path, HistoryBytes& bytes) {
    ReleaseArea(bytes.Area);
    bytes.Data = nullptr;
    bytes.Size = 0;
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        return HistoryOpen::Missing;
    }
    // The size is only a first guess: the file may grow while it is read
    // (another program appending), so read until fread says end of file.
    std::size_t capacity = 0;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long end = std::ftell(f);
        if (end > 0) {
            capacity = static_cast<std::size_t>(end);
        }
        std::rewind(f);
    }
    capacity += 4096;
    ReservedArea area{};
    bool ok = MakeBuffer(area, capacity) != 0;
    std::size_t size = 0;
    while (ok) {
        if (size == capacity) {
            ReservedArea bigger{};
            if (!MakeBuffer(bigger, capacity * 2)) {
                ReleaseArea(bigger);
                ok = false;
                break;
            }
            std::memcpy(bigger.Base, area.Base, size);
            ReleaseArea(area);
            area = bigger;
            capacity *= 2;
        }
        const std::size_t got =
            std::fread(reinterpret_cast<char*>(area.Base) + size, 1, capacity - size, f);
        size += got;
        if (got == 0) {
            ok = std::ferror(f) == 0;
            break;
        }
    }
    std::fclose(f);
    if (!ok) {
        ReleaseArea(area);
        return HistoryOpen::Unreadable;
    }
    bytes.Area = area;
    bytes.Data = reinterpret_cast<char*>(area.Base);
    bytes.Size = size;
    return HistoryOpen::Read;
}

void StartHistoryReader(HistoryReader& reader, const char* data, std::size_t size) {
    reader.Begin = data;
    reader.Pos = data;
    reader.End = data + size;
    reader.Records = 0;
    reader.Fault = HistoryFault::None;
    reader.FaultOffset = 0;
}

int ReadHistoryHeader(HistoryReader& reader, HistoryHeader& header) {
    HistoryToken token;
    if (!NextToken(reader, token)) {
        return Fail(reader, HistoryFault::Empty, reader.Pos);
    }
    if (!LinkCountToken(token, header.LinkCount)) {
        return Fail(reader, HistoryFault::BadCount, token.Text);
    }
    for (int r = 0; r < header.LinkCount; ++r) {
        for (HistoryToken* t : {&header.Names[r], &header.Idents[r]}) {
            if (!NextToken(reader, *t)) {
                return Fail(reader, HistoryFault::TruncatedHeader, reader.Pos);
            }
            if (t->Length > kMaxTokenLength) {
                return Fail(reader, HistoryFault::LongToken, t->Text);
            }
        }
    }
    return 1;
}

namespace {

// One record; with kValues the group tokens are also converted to numbers.
template <bool kValues>
int ReadRecord(HistoryReader& reader, int linkCount, HistoryRecordText& record) {
    HistoryToken date;
    if (!NextToken(reader, date)) {
        return 0;  // the end of the file at a record boundary
    }
    int dmy[3];
    if (!TimeToken(date, '.', 3, dmy)) {
        return Fail(reader, HistoryFault::BadTimestamp, date.Text);
    }
    HistoryToken clock;
    if (!NextToken(reader, clock)) {
        return Fail(reader, HistoryFault::TruncatedRecord, reader.Pos);
    }
    int hm[2];
    if (!TimeToken(clock, ':', 2, hm)) {
        return Fail(reader, HistoryFault::BadTimestamp, clock.Text);
    }
    record.Day = dmy[0];
    record.Month = dmy[1];
    record.Year = dmy[2];
    record.Hour = hm[0];
    record.Minute = hm[1];
    for (int r = 0; r < linkCount; ++r) {
        HistoryToken* group = record.Groups[r];
        for (int k = 0; k < kGroupTokens; ++k) {
            int got;
            if constexpr (kValues) {
                got = NextNumberToken(reader, group[k], record.Values[r][k]);
            } else {
                got = NextToken(reader, group[k]);
            }
            if (!got) {
                return Fail(reader, HistoryFault::TruncatedRecord, reader.Pos);
            }
            if (group[k].Length > kMaxTokenLength) {
                return Fail(reader, HistoryFault::LongToken, group[k].Text);
            }
        }
    }
    ++reader.Records;
    return 1;
}

}  // namespace

int ReadHistoryRecord(HistoryReader& reader, int linkCount, HistoryRecordText& record) {
    return ReadRecord<false>(reader, linkCount, record);
}

int ReadHistoryRecordValues(HistoryReader& reader, int linkCount, HistoryRecordText& record) {
    return ReadRecord<true>(reader, linkCount, record);
}

long long CountHistoryRecords(HistoryReader& reader) {
    HistoryHeader header;
    if (!ReadHistoryHeader(reader, header)) {
        return 0;
    }
    // Counting needs no values: check the record's shape token by token.
    HistoryRecordText scratch;
    while (ReadHistoryRecord(reader, header.LinkCount, scratch)) {
    }
    return reader.Records;
}

const char* HistoryFaultText(HistoryFault fault) {
    switch (fault) {
    case HistoryFault::None: return "no fault";
    case HistoryFault::Unreadable: return "the file cannot be read";
    case HistoryFault::Empty: return "the file is empty";
    case HistoryFault::BadCount: return "the link count is not a number from 0 to 18";
    case HistoryFault::LongToken: return "a value is longer than 15 characters";
    case HistoryFault::TruncatedHeader: return "the list of links is cut short";
    case HistoryFault::TruncatedRecord: return "the last record is cut short";
    case HistoryFault::BadTimestamp: return "a time stamp is not of the form dd.mm.yy hh:mm";
    }
    return "unknown fault";
}

void FormatHistoryFaultNotice(const char* path, const HistoryReader& reader, char* out,
                              int outSize) {
    std::snprintf(out, static_cast<std::size_t>(outSize),
                  "The history file %s is damaged: %s.\n"
                  "Reading stopped at record %lld (byte offset %zu);\n"
                  "the %lld complete records before it are used.",
                  path, HistoryFaultText(reader.Fault), reader.Records + 1, reader.FaultOffset,
                  reader.Records);
}
