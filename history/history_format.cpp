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
#include "history/history_format.h"

#include <cstdio>
#include <cstring>

#include "core/link_column.h"
#include "core/text_scan.h"

namespace {

constexpr char kReplacement = '?';

bool IsDigit(char c) {
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

}  // namespace

void CellToken(const char* cell, char* out) {
    const std::size_t n = strnlen(cell, kMaxTokenLength);
    if (n == 0) {
        out[0] = kReplacement;
        out[1] = '\0';
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = IsTextSpace(cell[i]) ? kReplacement : cell[i];
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
    // The scan: no figure until a digit; a digit starts a single figure, a
    // slash after it makes a pair; the first other character after a figure
    // ends the cell, in brackets when an opening one came before.
    LinkState s = LinkState::NoFigure;
    int bracket = 0;
    int start = 0;
    int slash = -1;
    int stop = length;
    for (int i = 0; i < length; ++i) {
        const char c = cell[i];
        if (c == '(') {
            bracket = 1;
        } else if (c == '-') {
            s = LinkState::Down;
            stop = i;
            break;
        } else if (IsDigit(c)) {
            if (s == LinkState::NoFigure) {
                s = LinkState::Single;
                start = i;
            }
        } else if (c == '/' && s == LinkState::Single) {
            s = LinkState::Pair;
            slash = i;
        } else if (s == LinkState::Single || s == LinkState::Pair) {
            if (bracket) s = s == LinkState::Single ? LinkState::SingleInBrackets : LinkState::PairInBrackets;
            stop = i;
            break;
        }
    }
    const int code = static_cast<int>(failed ? LinkState::Failed : s);
    const std::size_t size = static_cast<std::size_t>(outSize);
    if (s == LinkState::Pair || s == LinkState::PairInBrackets) {
        const int secondLength = stop - slash - 1;
        if (secondLength > 0) {
            std::snprintf(out, size, "%.*s %.*s %d", slash - start, cell + start, secondLength,
                          cell + slash + 1, code);
        } else {
            // "12/" : an empty second number is written as 0.
            std::snprintf(out, size, "%.*s 0 %d", slash - start, cell + start, code);
        }
    } else if (s == LinkState::Single || s == LinkState::SingleInBrackets) {
        std::snprintf(out, size, "%.*s 0 %d", stop - start, cell + start, code);
    } else {
        std::snprintf(out, size, "0 0 %d", code);
    }
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
