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

using history_test::Cell;
using history_test::StoreLine;

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

std::string At(std::size_t column, const std::string& text, std::size_t length = 0) {
    std::string line(column, ' ');
    line += text;
    if (length > line.size()) line.resize(length, ' ');
    return line;
}

TEST_F(ParserTest, ColumnRulesOnHandMadeLines) {
    const std::string blank12(12, ' ');
    // Cut by the connect cycle: LF at 98, NUL at 99, no CR.
    std::string cut(98, 'x');
    cut[66] = '7';
    struct Case {
        const char* what;
        std::string line;
        int column;
        std::string cell;
    } cases[] = {
        {"line ends before the column", "         5                 44 \r\n", kColRkby, "0"},
        {"line ends before the name", "         5                 44 \r\n", kColName, "???"},
        {"line ends before the identifier", "         5                 44 \r\n", kColIdent, "???"},
        {"line ends before the time", "         5                 44 \r\n", kColTime, blank12},
        {"the fields before the end stand", "         5                 44 \r\n", kColTkby, "44"},
        {"CR exactly at the column", At(37, "\r\n"), kColQty, "0"},
        {"CR exactly at the time column", At(66, "\r\n"), kColTime, blank12},
        {"a tab is a field character", At(37, "\t12", 70) + "\r\n", kColQty, "\t12"},
        {"a tab begins a name", At(54, "\tQX0", 70) + "\r\n", kColName, "\tQX0"},
        {"the time cell keeps CR LF", At(66, "(40/60)\r\n"), kColTime, "(40/60)\r\n"},
        {"the time cell is twelve bytes", At(66, "  1234567890ABCDEF\r\n"), kColTime, "1234567890AB"},
        {"a long name is cut to 15", At(54, std::string(30, 'N') + "\r\n"), kColName, std::string(15, 'N')},
        {"column 61 reads the same field", At(54, std::string(30, 'N') + "\r\n"), kColIdent,
         std::string(15, 'N')},
        {"a cut line is read to its slot end", cut + "\n", kColTime, "7xxxxxxxxxxx"},
        {"a cut line's fields are cut to 15", cut + "\n", kColQty, std::string(15, 'x')},
        {"LF is a field character", At(54, "QX\nA\r\n"), kColName, "QX\nA"},
    };
    for (const Case& k : cases) {
        Parse(k.line);
        EXPECT_EQ(Cell(C, k.column, 1), k.cell) << k.what;
        // Nothing spills into the neighbouring rows of the column.
        EXPECT_EQ(C.LinkTable[k.column][0][0], '\0') << k.what;
        EXPECT_EQ(C.LinkTable[k.column][2][0], '\0') << k.what;
    }
}

// A field is taken when it begins 0 to 4 blanks after its column.
TEST_F(ParserTest, LeadingBlanksUpToFourAreSkipped) {
    for (int blanks = 0; blanks <= 7; ++blanks) {
        std::string line(100, ' ');
        line.replace(37 + blanks, 2, "12");
        line.replace(54 + blanks, 6, "QX0AAA");
        line.resize(80);
        Parse(line + "\r\n");
        EXPECT_EQ(Cell(C, kColQty, 1), blanks <= 4 ? "12" : "0") << blanks << " blanks";
        EXPECT_EQ(Cell(C, kColName, 1), blanks <= 4 ? "QX0AAA" : "???") << blanks << " blanks";
    }
}

// ParseLinkRows fills the rows below the count; ClearLinkRow empties only
// the row at the count.
TEST_F(ParserTest, ExampleLineFillsEveryColumnOfItsRowOnly) {
    StoreLine(C, 0, history_test::ReportLine(history_test::ExampleLinks()[0]));
    ParseLinkRows(C, 0);
    EXPECT_EQ(Cell(C, kColName, 0), "");
    ParseLinkRows(C, 1);
    const char* row[kLinkColumns] = {"12", "3/5\r\n", "QX0AAA", "120", "7", "p1", "340"};
    for (int column = 0; column < kLinkColumns; ++column) {
        EXPECT_EQ(Cell(C, column, 0), row[column]) << column;
        EXPECT_EQ(Cell(C, column, 1), "") << column;
    }

    std::strcpy(C.LinkTable[kColName][1], "KEEP");
    C.ReplyLineCount = 0;
    ClearLinkRow(C);
    for (int column = 0; column < kLinkColumns; ++column) {
        for (int i = 0; i < kCellSize; ++i) EXPECT_EQ(C.LinkTable[column][0][i], '\0');
    }
    EXPECT_EQ(Cell(C, kColName, 1), "KEEP");
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
    NumberField(slot.get(), 96, cell);
    EXPECT_EQ(std::string(cell), "0");
}

}  // namespace
