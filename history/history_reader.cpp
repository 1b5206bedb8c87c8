// The history reader. Whitespace separates tokens; the reader measures most
// tokens a word at a time (see NextToken) and checks each against the
// validity rule in history_reader.h.
#include "history/history_reader.h"

#include <bit>
#include <cstdio>
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

// The same, converting the token as a number on the way (ScanDecimal's
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
    value = ScanDecimal(p, static_cast<std::size_t>(token.Length));
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

// Where reading may stop: the end of the 16th byte of the first run of more
// than kMaxTokenLength non-whitespace bytes in data[runStart..end), or 0
// when there is none yet. `runStart` is where the current run may begin
// (data[runStart - 1] is whitespace, or runStart is 0) and is carried from
// one piece to the next. Every such token is a fault at its start, so
// nothing behind it is ever used.
//
// Any run of 16 bytes holds a whole aligned word of 8, so a stretch of
// aligned words that each hold whitespace holds no long token, and such a
// word needs only one byte confirmed: that skips most of a valid file.
// Where a word has none, the exact look takes over: a window of 16 bytes
// from the run's start, a word at a time from its end, for the last
// whitespace; the window then moves on by most of its length; a window
// without whitespace is the long token.
//
// The index + 1 of the last whitespace byte among the 8 at p, or 0.
inline int LastSpaceInWord(const char* p) {
    if constexpr (kLittleEndian) {
        // Bytes below 0x21 are candidates (the test may also mark a byte
        // above a true one); each is confirmed before it counts.
        const std::uint64_t word = Load8(p);
        for (std::uint64_t low = (word - 0x21 * kOnes) & ~word & kHighBits; low != 0;) {
            const int top = 63 - std::countl_zero(low);
            if (IsTextSpace(p[top / 8])) return top / 8 + 1;
            low &= ~(std::uint64_t{1} << top);
        }
        return 0;
    }
    for (int k = 8; k > 0; --k) {
        if (IsTextSpace(p[k - 1])) return k;
    }
    return 0;
}

// 1 when one of the 8 bytes at p is whitespace.
inline int WordHasSpace(const char* p) {
    if constexpr (kLittleEndian) {
        // The lowest candidate below 0x21 is always a true one.
        const std::uint64_t word = Load8(p);
        const std::uint64_t low = (word - 0x21 * kOnes) & ~word & kHighBits;
        if (low == 0) return 0;
        if (IsTextSpace(p[std::countr_zero(low) / 8])) return 1;
    }
    return LastSpaceInWord(p) != 0;
}

std::size_t LongTokenEnd(const char* data, std::size_t& runStart, std::size_t end) {
    constexpr std::size_t kWindow = kMaxTokenLength + 1;
    static_assert(kWindow == 16, "the window is two words");
    while (end - runStart >= kWindow) {
        const std::size_t first = (runStart + 7) & ~std::size_t{7};
        std::size_t word = first;
        while (word + 8 <= end && WordHasSpace(data + word)) word += 8;
        if (word != first) {
            runStart = word - 8 + static_cast<std::size_t>(LastSpaceInWord(data + word - 8));
        } else if (const int k = LastSpaceInWord(data + runStart + 8); k != 0) {
            runStart += 8 + static_cast<std::size_t>(k);
        } else if (const int j = LastSpaceInWord(data + runStart); j != 0) {
            runStart += static_cast<std::size_t>(j);
        } else {
            return runStart + kWindow;
        }
    }
    return 0;
}

constexpr std::size_t kReadPiece = 1 << 20;  // bytes read and checked at once

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
    std::size_t runStart = 0;
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
        char* piece = reinterpret_cast<char*>(area.Base) + size;
        const std::size_t room = capacity - size;
        const std::size_t got = std::fread(piece, 1, room < kReadPiece ? room : kReadPiece, f);
        size += got;
        const std::size_t longEnd = LongTokenEnd(reinterpret_cast<const char*>(area.Base), runStart, size);
        if (longEnd != 0) {
            size = longEnd;  // enough of the token for the reader to reject it
            break;
        }
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
    while (ReadHistoryRecord(reader, header.LinkCount, scratch)) {}
    return reader.Records;
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
