// The link report parser. A digipeater's link report is a fixed-column text:
// each of the seven cells of a link table row is cut from its own text column
// of the reply line, independently of the others, so a long field that runs
// into the next column's area is seen again, in part, by that column.
//
// A reply line lives in a 100-byte slot: its text, then CR LF NUL, or LF NUL
// at positions 98 and 99 when the line was cut. The slot is outside input and
// is never trusted to be terminated: every scan stops at the slot's end.
#include "acquisition/link_report.h"

#include <cstring>

namespace {

constexpr int kMaxSkippedBlanks = 6;  // SkipBlanks never goes further
constexpr int kMaxLeadingBlanks = 4;  // a field must begin within c..c+4
constexpr int kTimeColumn = 66;
constexpr int kTimeCellLength = 12;  // bytes copied into the time cell
constexpr int kCellText = kCellSize - 1;

// Text columns of the seven link table columns, in column order.
constexpr int kTextColumn[kLinkColumns] = {37, 66, 54, 27, 9, 61, 32};

// Position of the line's CR within its slot, or -1 when it has none.
int CrPosition(const char* line) {
    const void* cr = std::memchr(line, '\r', kReplySlotSize);
    return cr == nullptr ? -1 : static_cast<int>(static_cast<const char*>(cr) - line);
}

// Shared by NumberField and NameField: copies the field that begins within
// text columns c..c+4 into the cell (cut to 15 characters) and returns 1, or
// returns 0 when the field is missing.
int TakeField(const char* line, int column, char* cell) {
    if (column < 0 || column >= kReplySlotSize) {
        return 0;
    }
    const int cr = CrPosition(line);
    if (cr >= 0 && cr <= column) {
        return 0;
    }
    const char* end = line + kReplySlotSize;
    const char* start = line + column;
    const char* s = SkipBlanks(start, end);
    int n = FieldLength(s, end);
    if (n == 0 || s - start > kMaxLeadingBlanks) {
        return 0;
    }
    // A field longer than a cell is cut: the first 15 characters still say
    // more than a default would.
    if (n > kCellText) {
        n = kCellText;
    }
    std::memcpy(cell, s, static_cast<std::size_t>(n));
    cell[n] = '\0';
    return 1;
}

}  // namespace

const char* SkipBlanks(const char* p, const char* end) {
    for (int i = 0; i < kMaxSkippedBlanks && p < end && *p == ' '; ++i) {
        ++p;
    }
    return p;
}

int FieldLength(const char* s, const char* end) {
    const char* p = s;
    while (p < end && *p != ' ' && *p != '\r' && *p != '\0') {
        ++p;
    }
    return static_cast<int>(p - s);
}

void NumberField(const char* line, int column, char* cell) {
    if (!TakeField(line, column, cell)) {
        std::memcpy(cell, "0", 2);
    }
}

void NameField(const char* line, int column, char* cell) {
    if (!TakeField(line, column, cell)) {
        std::memcpy(cell, "???", 4);
    }
}

void FixedField(const char* line, char* cell) {
    const int cr = CrPosition(line);
    if (cr >= 0 && cr <= kTimeColumn) {
        std::memset(cell, ' ', kTimeCellLength);
        cell[kTimeCellLength] = '\0';
        return;
    }
    // Exactly 12 bytes, whatever they are (the line's CR, LF and NUL and the
    // stale bytes behind them included); the cell's text ends at its first
    // NUL. 66 + 6 blanks + 12 stays well inside the slot.
    const char* s = SkipBlanks(line + kTimeColumn, line + kReplySlotSize);
    std::memcpy(cell, s, kTimeCellLength);
    cell[kTimeCellLength] = '\0';
}

void ParseLinkRow(ChannelRecord& channel, int row) {
    if (row < 0 || row >= kLinkRows) {
        return;
    }
    const char* line = channel.ReplyLines[row];
    NumberField(line, kTextColumn[kColQty], channel.LinkTable[kColQty][row]);
    FixedField(line, channel.LinkTable[kColTime][row]);
    NameField(line, kTextColumn[kColName], channel.LinkTable[kColName][row]);
    NumberField(line, kTextColumn[kColTkby], channel.LinkTable[kColTkby][row]);
    NumberField(line, kTextColumn[kColPort], channel.LinkTable[kColPort][row]);
    NameField(line, kTextColumn[kColIdent], channel.LinkTable[kColIdent][row]);
    NumberField(line, kTextColumn[kColRkby], channel.LinkTable[kColRkby][row]);
}

void ParseLinkRows(ChannelRecord& channel, int count) {
    if (count > kLinkRows) {
        count = kLinkRows;
    }
    for (int row = 0; row < count; ++row) {
        ParseLinkRow(channel, row);
    }
}

void ClearLinkRow(ChannelRecord& channel) {
    const int row = channel.ReplyLineCount;
    if (row < 0 || row >= kLinkRows) {
        return;
    }
    for (int column = 0; column < kLinkColumns; ++column) {
        std::memset(channel.LinkTable[column][row], 0, kCellSize);
    }
}
