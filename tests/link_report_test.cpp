// The link report parser against hand-made lines: the column map, where a
// field may begin, lines that end early, and that nothing is read beyond a
// slot or written beyond a cell.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "acquisition/link_report.h"
#include "history_support.h"

namespace {

using history_test::StoreLine;

std::string Cell(const ChannelRecord& c, int column, int row) {
    return std::string(c.LinkTable[column][row]);
}

struct ParserTest : ::testing::Test {
    std::unique_ptr<ChannelRecord> Owned = std::make_unique<ChannelRecord>();
    ChannelRecord& C = *Owned;
    void SetUp() override { std::memset(&C, 0, sizeof C); }

    void Parse(const std::string& line, int row = 1) {
        StoreLine(C, row, line);
        C.ReplyLineCount = row;
        ClearLinkRow(C);
        ParseLinkRow(C, row);
    }
};

TEST_F(ParserTest, ExampleLineFillsEveryColumn) {
    Parse("  L1     7                 120  340  12               QX0AAA p1   3/5\r\n");
    EXPECT_EQ(Cell(C, kColQty, 1), "12");
    EXPECT_EQ(Cell(C, kColTime, 1), "3/5\r\n");
    EXPECT_EQ(Cell(C, kColName, 1), "QX0AAA");
    EXPECT_EQ(Cell(C, kColTkby, 1), "120");
    EXPECT_EQ(Cell(C, kColPort, 1), "7");
    EXPECT_EQ(Cell(C, kColIdent, 1), "p1");
    EXPECT_EQ(Cell(C, kColRkby, 1), "340");
}

// A field is taken when it begins 0 to 4 blanks after its column.
TEST_F(ParserTest, LeadingBlanksUpToFourAreSkipped) {
    struct Case {
        int blanks;
        const char* qty;
        const char* name;
    } cases[] = {{0, "12", "QX0AAA"}, {1, "12", "QX0AAA"}, {4, "12", "QX0AAA"},
                 {5, "0", "???"},     {6, "0", "???"},     {7, "0", "???"}};
    for (const Case& k : cases) {
        std::string line(100, ' ');
        line.replace(37 + k.blanks, 2, "12");
        line.replace(54 + k.blanks, 6, "QX0AAA");
        line.resize(80);
        Parse(line + "\r\n");
        EXPECT_EQ(Cell(C, kColQty, 1), k.qty) << k.blanks << " blanks";
        EXPECT_EQ(Cell(C, kColName, 1), k.name) << k.blanks << " blanks";
    }
}

TEST_F(ParserTest, LineEndingBeforeAColumnGivesItsDefault) {
    // CR at 30: columns 32, 37, 54, 61, 66 are missing; 9 and 27 are present.
    Parse("         5                 44 \r\n");
    EXPECT_EQ(Cell(C, kColPort, 1), "5");
    EXPECT_EQ(Cell(C, kColTkby, 1), "44");
    EXPECT_EQ(Cell(C, kColRkby, 1), "0");
    EXPECT_EQ(Cell(C, kColQty, 1), "0");
    EXPECT_EQ(Cell(C, kColName, 1), "???");
    EXPECT_EQ(Cell(C, kColIdent, 1), "???");
    EXPECT_EQ(Cell(C, kColTime, 1), std::string(12, ' '));

    // The CR exactly at a column counts as before it.
    Parse(std::string(37, ' ') + "\r\n");
    EXPECT_EQ(Cell(C, kColQty, 1), "0");
    Parse(std::string(66, ' ') + "\r\n");
    EXPECT_EQ(Cell(C, kColTime, 1), std::string(12, ' '));
}

TEST_F(ParserTest, TabIsAFieldCharacter) {
    std::string line(70, ' ');
    line.replace(37, 3, "\t12");
    line.replace(54, 4, "\tQX0");
    Parse(line + "\r\n");
    EXPECT_EQ(Cell(C, kColQty, 1), "\t12");
    EXPECT_EQ(Cell(C, kColName, 1), "\tQX0");
}

TEST_F(ParserTest, TimeCellKeepsTheLineEndAndTwelveBytes) {
    std::string line(66, ' ');
    Parse(line + "(40/60)\r\n");
    EXPECT_EQ(Cell(C, kColTime, 1), "(40/60)\r\n");
    // Twelve bytes exactly, whatever follows.
    Parse(line + "  1234567890ABCDEF\r\n");
    EXPECT_EQ(Cell(C, kColTime, 1), "1234567890AB");
}

TEST_F(ParserTest, LongFieldIsCutToFifteenWithinItsCell) {
    std::string line(54, ' ');
    line += std::string(30, 'N');
    Parse(line + "\r\n");
    EXPECT_EQ(Cell(C, kColName, 1), std::string(15, 'N'));
    // The neighbouring cells (rows 0 and 2 of the same column) stay empty.
    EXPECT_EQ(C.LinkTable[kColName][0][0], '\0');
    EXPECT_EQ(C.LinkTable[kColName][2][0], '\0');
    // Column 61 sees the same field again, from its own column.
    EXPECT_EQ(Cell(C, kColIdent, 1), std::string(15, 'N'));
}

TEST_F(ParserTest, CutLineWithoutCrIsReadToItsSlotEndOnly) {
    // A line of 98 characters cut by the connect cycle: LF at 98, NUL at 99.
    std::string line(98, 'x');
    line[66] = '7';
    StoreLine(C, 1, line + "\n");
    C.ReplyLineCount = 1;
    ParseLinkRow(C, 1);
    EXPECT_EQ(Cell(C, kColTime, 1), "7xxxxxxxxxxx");
    EXPECT_EQ(Cell(C, kColQty, 1), std::string(15, 'x'));
}

// The extractors on a slot with no CR and no NUL at all, placed at the very
// end of its allocation: the sanitizer sees any read beyond it.
TEST(LinkReportExtractors, NeverReadBeyondTheSlot) {
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
    EXPECT_EQ(SkipBlanks(slot.get(), slot.get() + kReplySlotSize), slot.get() + 6);
    NumberField(slot.get(), 96, cell);
    EXPECT_EQ(std::string(cell), "0");
}

TEST(LinkReportExtractors, FieldLengthStopsAtBlankCrNulOnly) {
    const char text[] = "ab\ncd\te f";
    EXPECT_EQ(FieldLength(text, text + sizeof text), 7);  // LF and tab count
    EXPECT_EQ(FieldLength(text, text + 2), 2);            // and the end bounds it
    const char cr[] = "\rx";
    EXPECT_EQ(FieldLength(cr, cr + 2), 0);
    const char blank[] = " x";
    EXPECT_EQ(FieldLength(blank, blank + 2), 0);
    const char nul[] = "\0x";
    EXPECT_EQ(FieldLength(nul, nul + 2), 0);
}

TEST_F(ParserTest, ParseRowsAndClearRowTouchOnlyTheirRows) {
    StoreLine(C, 0, "  L1     7                 120  340  12               QX0AAA p1   3/5\r\n");
    ParseLinkRows(C, 0);
    EXPECT_EQ(Cell(C, kColName, 0), "");
    ParseLinkRows(C, 1);
    EXPECT_EQ(Cell(C, kColName, 0), "QX0AAA");
    EXPECT_EQ(Cell(C, kColName, 1), "");

    std::strcpy(C.LinkTable[kColName][1], "KEEP");
    C.ReplyLineCount = 0;
    ClearLinkRow(C);
    for (int column = 0; column < kLinkColumns; ++column) {
        for (int i = 0; i < kCellSize; ++i) EXPECT_EQ(C.LinkTable[column][0][i], '\0');
    }
    EXPECT_EQ(Cell(C, kColName, 1), "KEEP");
}

}  // namespace
