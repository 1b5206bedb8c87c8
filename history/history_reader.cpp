// The history reader. Whitespace separates tokens; the reader measures most
// tokens a word at a time (see NextToken) and checks each against the
// validity rule in history_reader.h.
#include "history/history_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/text_scan.h"

namespace {

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

inline const char* SkipSpace(const char* p, const char* end) {
    while (p < end && IsTextSpace(*p)) {
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

// The same for a token measured the long way, which may have been cut off
// by the end of the bytes in memory. A cut token of more than 15 characters
// is a fault however it goes on, so only a shorter one is Short.
inline int TakeLastToken(HistoryReader& reader, HistoryToken& token, const char* start, const char* stop) {
    if (stop == reader.End && stop - start <= kMaxTokenLength) reader.Short = 1;
    return TakeToken(reader, token, start, stop);
}

// The long way: byte by byte to the next whitespace.
inline const char* TokenEnd(const char* p, const char* end) {
    while (p < end && !IsTextSpace(*p)) {
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
        reader.Short = 1;
        return 0;
    }
    if (kLittleEndian && end - p >= 8) {
        const std::uint64_t word = Load8(p);
        const int n = FirstLowByte(word);
        if (n < 8 && SpaceAt(word, n)) {
            return TakeToken(reader, token, p, p + n);
        }
    }
    return TakeLastToken(reader, token, p, TokenEnd(p, end));
}

// The same, converting the token as a number on the way (ScanDecimal's
// rules). A token of one to seven digits is measured and converted a word at
// a time; anything else goes the long way. A token too long for a cell gets
// no useful value, but the caller rejects it anyway.
inline int NextNumberToken(HistoryReader& reader, HistoryToken& token, std::int32_t& value) {
    const char* p = SkipSpace(reader.Pos, reader.End);
    const char* end = reader.End;
    if (p == end) {
        reader.Pos = p;
        reader.Short = 1;
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
    TakeLastToken(reader, token, p, TokenEnd(p, end));
    value = ScanDecimal(p, static_cast<std::size_t>(token.Length));
    return 1;
}

int Fail(HistoryReader& reader, HistoryFault fault, const char* at) {
    reader.Fault = fault;
    reader.FaultOffset = reader.Base + static_cast<std::size_t>(at - reader.Begin);
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

constexpr std::size_t kHistoryFirstLook = 64 * 1024;

// Moves the window on: the bytes from `keep` go to the front of the buffer
// and the rest fills from the file. A window that holds nothing but the
// unit being read grows, up to kHistoryWindowMax. 0 when nothing more can
// come: a failed read (Fault Unreadable) or a record spread too wide (Fault
// SpreadRecord).
int MoveWindow(HistoryReader& reader, const char* keep) {
    HistorySource& source = *reader.Source;
    const std::size_t drop = static_cast<std::size_t>(keep - reader.Begin);
    const std::size_t held = static_cast<std::size_t>(reader.End - keep);
    if (drop == 0 && held == source.Capacity && source.Capacity >= kHistoryWindowMax) {
        return Fail(reader, HistoryFault::SpreadRecord, keep);
    }
    if (reader.BeforeMove != nullptr) reader.BeforeMove(reader.MoveContext);
    if (drop > 0) {
        std::memmove(source.Buffer, keep, held);
        source.Offset += drop;
    } else if (held == source.Capacity) {
        char* bigger = static_cast<char*>(std::realloc(source.Buffer, source.Capacity * 2));
        if (bigger == nullptr) {
            return Fail(reader, HistoryFault::SpreadRecord, keep);
        }
        source.Buffer = bigger;
        source.Capacity *= 2;
    }
    // A look at a header reads little; a file read on reads in ever bigger
    // pieces.
    const std::size_t room = source.Capacity - held;
    const std::size_t want = held + (source.Step < room ? source.Step : room);
    source.Step = source.Step < source.Capacity / 2 ? source.Step * 2 : source.Capacity;
    std::size_t size = held;
    while (size < want) {
        const ssize_t n = read(source.Fd, source.Buffer + size, want - size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            source.AtEnd = 1;
            source.Error = n < 0 ? errno : 0;
            break;
        }
        size += static_cast<std::size_t>(n);
    }
    reader.Begin = source.Buffer;
    reader.Base = source.Offset;
    reader.End = source.Buffer + size;
    reader.Pos = source.Buffer;
    if (source.Error != 0) {
        return Fail(reader, HistoryFault::Unreadable, reader.End);
    }
    return 1;
}

// Runs `read` (the header or one record) on bytes in memory once. On a
// file it runs again, with the window moved on, whenever it stopped at the
// end of the bytes in memory before the end of the file; so a unit is
// judged only on all its bytes, and nothing before it is held.
template <typename Read>
int ReadUnit(HistoryReader& reader, Read read) {
    if (reader.Source == nullptr) return read();
    for (;;) {
        const char* start = SkipSpace(reader.Pos, reader.End);
        reader.Pos = start;
        const long long records = reader.Records;
        reader.Short = 0;
        const int got = read();
        if (!reader.Short || reader.Source->AtEnd) return got;
        reader.Records = records;
        reader.Fault = HistoryFault::None;
        reader.FaultOffset = 0;
        if (!MoveWindow(reader, start)) return 0;
    }
}

}  // namespace

HistorySource::~HistorySource() {
    if (Fd >= 0) close(Fd);
    std::free(Buffer);
}

int OpenHistoryFile(const char* path, int flags, int* error) {
    int failure = 0;
    int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    struct stat st {};
    if (fd < 0) {
        failure = errno;
    } else if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const unsigned type = static_cast<unsigned>(st.st_mode & S_IFMT);
        failure = type != 0 ? kNotRegularFile + static_cast<int>(type >> 12) : errno;
        close(fd);
        fd = -1;
    }
    if (fd < 0 && error) *error = failure;
    return fd;
}

const char* HistoryErrorText(int error) {
    if (error < kNotRegularFile) return std::strerror(error);
    switch (static_cast<unsigned>(error - kNotRegularFile) << 12) {
        case S_IFIFO:
            return "it is a FIFO, not a regular file";
        case S_IFDIR:
            return "it is a directory, not a regular file";
        case S_IFCHR:
            return "it is a character device, not a regular file";
        case S_IFBLK:
            return "it is a block device, not a regular file";
        case S_IFSOCK:
            return "it is a socket, not a regular file";
        default:
            return "it is not a regular file";
    }
}

HistoryOpen OpenHistorySource(const char* path, HistorySource& source) {
    int error = 0;
    const int fd = OpenHistoryFile(path, O_RDONLY, &error);
    if (fd < 0) {
        source.Error = error;
        return error >= kNotRegularFile ? HistoryOpen::NotRegular : HistoryOpen::Missing;
    }
    if (source.Fd >= 0) close(source.Fd);
    source.Fd = fd;
    source.Offset = 0;
    source.Step = kHistoryFirstLook;
    source.AtEnd = 0;
    source.Error = 0;
    if (source.Buffer == nullptr) {
        source.Buffer = static_cast<char*>(std::malloc(kHistoryPiece));
        source.Capacity = kHistoryPiece;
    }
    return source.Buffer != nullptr ? HistoryOpen::Read : HistoryOpen::Unreadable;
}

void StartHistoryReader(HistoryReader& reader, const char* data, std::size_t size) {
    reader.Begin = data;
    reader.Pos = data;
    reader.End = data + size;
    reader.Records = 0;
    reader.Fault = HistoryFault::None;
    reader.FaultOffset = 0;
    reader.Source = nullptr;
    reader.Base = 0;
    reader.Short = 0;
    reader.BeforeMove = nullptr;
    reader.MoveContext = nullptr;
}

void StartHistoryReader(HistoryReader& reader, HistorySource& source) {
    StartHistoryReader(reader, source.Buffer, 0);
    reader.Source = &source;
    reader.Base = source.Offset;
}

namespace {

int ReadHeader(HistoryReader& reader, HistoryHeader& header) {
    HistoryToken& count = header.Count;
    if (!NextToken(reader, count)) {
        return Fail(reader, HistoryFault::Empty, reader.Pos);
    }
    if (count.Length > kMaxTokenLength || !LinkCountToken(count, header.LinkCount)) {
        return Fail(reader, HistoryFault::BadCount, count.Text);
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

int ReadHistoryHeader(HistoryReader& reader, HistoryHeader& header) {
    return ReadUnit(reader, [&] { return ReadHeader(reader, header); });
}

int ReadHistoryRecord(HistoryReader& reader, int linkCount, HistoryRecordText& record) {
    return ReadUnit(reader, [&] { return ReadRecord<false>(reader, linkCount, record); });
}

int ReadHistoryRecordValues(HistoryReader& reader, int linkCount, HistoryRecordText& record) {
    return ReadUnit(reader, [&] { return ReadRecord<true>(reader, linkCount, record); });
}

long long CountHistoryRecords(HistoryReader& reader) {
    HistoryHeader header;
    if (!ReadHistoryHeader(reader, header)) {
        return 0;
    }
    // Counting needs no values: check the record's shape token by token.
    HistoryRecordText scratch;
    while (ReadHistoryRecord(reader, header.LinkCount, scratch)) {}
    return reader.Records;
}

HistoryOpen CountHistoryFile(const char* path, HistoryReader& reader, long long& records, int* error) {
    HistoryOpen opened;
    {
        HistorySource source;
        opened = OpenHistorySource(path, source);
        if (opened != HistoryOpen::Read && error) *error = source.Error;
        StartHistoryReader(reader, source);
        records = 0;
        if (opened != HistoryOpen::Read) {
            reader.Fault = HistoryFault::Unreadable;
        } else {
            records = CountHistoryRecords(reader);
        }
    }
    // The window is gone: nothing may point into it.
    reader.Source = nullptr;
    reader.Begin = reader.Pos = reader.End = nullptr;
    return opened;
}

const char* HistoryFaultText(HistoryFault fault) {
    switch (fault) {
        case HistoryFault::None:
            return "no fault";
        case HistoryFault::Unreadable:
            return "the file cannot be read";
        case HistoryFault::Empty:
            return "the file is empty";
        case HistoryFault::BadCount:
            return "the link count is not a number from 0 to 18";
        case HistoryFault::LongToken:
            return "a value is longer than 15 characters";
        case HistoryFault::TruncatedHeader:
            return "the list of links is cut short";
        case HistoryFault::TruncatedRecord:
            return "the last record is cut short";
        case HistoryFault::BadTimestamp:
            return "a time stamp is not of the form dd.mm.yy hh:mm";
        case HistoryFault::SpreadRecord:
            return "a record is spread over more than 16 MiB";
    }
    return "unknown fault";
}

void FormatHistoryFaultNotice(const char* path, const HistoryReader& reader, char* out, int outSize) {
    std::snprintf(out, static_cast<std::size_t>(outSize),
                  "The history file %s is damaged: %s.\n"
                  "Reading stopped at record %lld (byte offset %zu);\n"
                  "the %lld complete records before it are used.",
                  path, HistoryFaultText(reader.Fault), reader.Records + 1, reader.FaultOffset,
                  reader.Records);
}

int OpenHistorySourceOrSay(const char* path, HistorySource& source, std::FILE* err) {
    const HistoryOpen opened = OpenHistorySource(path, source);
    if (opened == HistoryOpen::Missing || opened == HistoryOpen::NotRegular) {
        std::fprintf(err, "hopwatch: cannot open the history file %s: %s\n", path,
                     HistoryErrorText(source.Error));
        return 0;
    }
    if (opened == HistoryOpen::Unreadable) {
        std::fprintf(err, "hopwatch: the history file %s cannot be read\n", path);
        return 0;
    }
    return 1;
}

void KeepHeaderNames(HistoryHeader& header, char (*cells)[kMaxStoredLinks][kCellSize]) {
    for (int l = 0; l < header.LinkCount; ++l) {
        for (int k = 0; k < 2; ++k) {
            HistoryToken& token = k == 0 ? header.Names[l] : header.Idents[l];
            const std::size_t n =
                std::min<std::size_t>(static_cast<std::size_t>(token.Length), kCellSize - 1);
            std::memcpy(cells[k][l], token.Text, n);
            token.Text = cells[k][l];
            token.Length = static_cast<int>(n);
        }
    }
}
