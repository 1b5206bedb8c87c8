// The link report parser against hand-made lines: the column map, where a
// field may begin, lines that end early, and that nothing is read beyond a
// slot or written beyond a cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "acquisition/link_report.h"

namespace {

struct Record {
    std::unique_ptr<ChannelRecord> Owned = std::make_unique<ChannelRecord>();
    ChannelRecord& C = *Owned;
    Record() { std::memset(&C, 0, sizeof C); }
    void Store(int row, const std::string& line) {
        std::memcpy(C.ReplyLines[row], line.data(), std::min<std::size_t>(line.size(), kReplySlotSize - 1));
    }
    // Stores and parses `line` as row 1, the way the cycle does each line.
    void Parse(const std::string& line) {
        Store(1, line);
        C.ReplyLineCount = 1;
        ClearLinkRow(C);
        ParseLinkRow(C, 1);
    }
    std::string Cell(int column, int row = 1) const { return C.LinkTable[column][row]; }
};

// `text` at `column`, blanks before it and up to `length`.
std::string At(std::size_t column, const std::string& text, std::size_t length = 0) {
    std::string line = std::string(column, ' ') + text;
    if (length > line.size()) line.resize(length, ' ');
    return line;
}

TEST(LinkReport, ColumnRulesOnHandMadeLines) {
    const std::string blank12(12, ' '), early = "         5                 44 \r\n";
    std::string cut(98, 'x');  // cut by the connect cycle: LF at 98, no CR
    cut[66] = '7';
    cut += "\n";
    const struct {
        const char* what;
        std::string line;
        int column;
        std::string cell;
    } cases[] = {
        {"line ends before the column", early, kColRkby, "0"},
        {"line ends before the name", early, kColName, "???"},
        {"line ends before the time", early, kColTime, blank12},
        {"the fields before the end stand", early, kColTkby, "44"},
        {"CR exactly at the column", At(37, "\r\n"), kColQty, "0"},
        {"CR exactly at the time column", At(66, "\r\n"), kColTime, blank12},
        {"the time cell keeps CR LF", At(66, "(40/60)\r\n"), kColTime, "(40/60)\r\n"},
        {"the time cell is twelve bytes", At(66, "  1234567890ABCDEF\r\n"), kColTime, "1234567890AB"},
        {"a cut line is read to its slot end", cut, kColTime, "7xxxxxxxxxxx"},
        {"a cut line's fields are cut to 15", cut, kColQty, std::string(15, 'x')},
        {"LF is a field character", At(54, "QX\nA\r\n"), kColName, "QX\nA"},
        // A field is taken when it begins 0 to 4 blanks after its column.
        {"a number 4 blanks in", At(41, "12", 80) + "\r\n", kColQty, "12"},
        {"a number 5 blanks in", At(42, "12", 80) + "\r\n", kColQty, "0"},
    };
    for (const auto& k : cases) {
        Record r;
        r.Parse(k.line);
        EXPECT_EQ(r.Cell(k.column), k.cell) << k.what;
        EXPECT_EQ(r.Cell(k.column, 0) + r.Cell(k.column, 2), "")
            << k.what << ": nothing spills into other rows";
    }
}

// ParseLinkRows parses the rows below the count, the way a failed call
// parses its stored lines again.
TEST(LinkReport, RowsBelowTheCountAreParsed) {
    Record r;
    r.Store(0, "         7                 120  340  12               QX0AAA p1   3/5\r\n");
    ParseLinkRows(r.C, 0);
    EXPECT_EQ(r.Cell(kColName, 0), "");
    ParseLinkRows(r.C, 1);
    EXPECT_EQ(r.Cell(kColName, 0) + r.Cell(kColTime, 0), "QX0AAA3/5\r\n");
}

// The extractors on a slot with no CR and no NUL at all, placed at the very
// end of its allocation: the sanitizer sees any read beyond it.
TEST(LinkReport, ExtractorsNeverReadBeyondTheSlot) {
    std::unique_ptr<char[]> slot(new char[kReplySlotSize]);
    std::memset(slot.get(), 'z', kReplySlotSize);
    char cell[kCellSize + 4];
    std::memset(cell, '#', sizeof cell);
    NumberField(slot.get(), 90, cell);
    EXPECT_EQ(std::string(cell), std::string(10, 'z'));
    NameField(slot.get(), 99, cell);
    EXPECT_EQ(std::string(cell), "z");
    FixedField(slot.get(), cell);
    EXPECT_EQ(std::string(cell), std::string(12, 'z'));
    EXPECT_EQ(cell[kCellSize], '#');  // nothing written past the cell

    std::memset(slot.get(), ' ', kReplySlotSize);
    EXPECT_EQ(SkipBlanks(slot.get() + 97, slot.get() + kReplySlotSize), slot.get() + kReplySlotSize);
    NumberField(slot.get(), 96, cell);
    EXPECT_EQ(std::string(cell), "0");
}

}  // namespace
