// The history file's name, the time cell conversion, number conversion and
// the bytes of headers and records.
#include <cstdint>
#include <string>

#include "core/text_scan.h"
#include "history_support.h"

namespace {

using namespace history_test;

TEST(HistoryFileName, KeepsLettersAndDigitsOfTheFirstEight) {
    const char* cases[][2] = {
        {"QX0TST-2 QX0VIA", "QX0TST2.hpw"},
        {"QX0ABCDEF", "QX0ABCDE.hpw"},  // 9 characters: 8 kept
        {"QX0-1-2X", "QX012X.hpw"},     // a left-out '-' still counts
        {"", ".hpw"},
        {"qx0tst", "qx0tst.hpw"},
        {"../../etc/passwd", "et.hpw"},
        {"Q\xC4X0 Z", "QX0.hpw"},  // 8-bit bytes are left out too
    };
    char name[kHistoryPathSize];
    for (const auto& k : cases) {
        HistoryBaseName(k[0], name, 32);
        EXPECT_STREQ(name, k[1]) << k[0];
    }
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    std::snprintf(state->ChannelTable[1].CallPath, kCallPathSize, "QX0TST-2");
    for (const char* dir : {"", "/var/data", "/var/data/"}) {
        std::snprintf(state->DataDir, sizeof state->DataDir, "%s", dir);
        ASSERT_TRUE(HistoryFileName(*state, 1, name, sizeof name));
        EXPECT_STREQ(name, *dir ? "/var/data/QX0TST2.hpw" : "QX0TST2.hpw");
    }
    EXPECT_FALSE(HistoryFileName(*state, 1, name, 12));
}

TEST(ConvertTimeCell, EveryFormOfTheCell) {
    // The cell and its text for a successful connect; a failed one gives
    // the same numbers with code 6.
    const char* cases[][2] = {
        {"3/5", "3 5 1"},        {"(40/60)", "40 60 2"}, {"(40/60", "40 60 1"},  // cut before the parenthesis
        {"17", "17 0 3"},        {"(17)", "17 0 4"},     {"-", "0 0 5"},
        {"12-5", "0 0 5"},       {"", "0 0 0"},          {"            ", "0 0 0"},
        {"abc", "0 0 0"},        {"08/15", "08 15 1"},                        // leading zeros stay
        {"12/", "12 0 1"},       {"12/\r\n", "12 0 1"},                       // empty second number
        {"3/5\r\n\0", "3 5 1"},                                               // as the parser leaves it
        {"(3/5)  7/8", "3 5 2"}, {"3/5/7", "3 5 1"},     {"x12 ", "12 0 3"},  // the first form counts
    };
    for (const auto& k : cases) {
        char out[kTimeCellTextSize];
        ConvertTimeCell(k[0], 0, out, sizeof out);
        EXPECT_STREQ(out, k[1]) << '"' << k[0] << '"';
        ConvertTimeCell(k[0], 1, out, sizeof out);
        EXPECT_EQ(out, std::string(k[1]).substr(0, std::strlen(k[1]) - 1) + "6");
    }
}

TEST(ScanDecimal, DecimalWithSignAndSaturation) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"120", 120},
        {"  -7x", -7},
        {"\t\r\n+15", 15},
        {"", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-999999999999999", INT32_MIN},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ScanDecimal(text, std::strlen(text)), value) << text;
}

// Header and record of a parsed reply, or the refusal of a short buffer.
using HistoryFormat = HistoryTest;
TEST_F(HistoryFormat, HeaderAndRecordBytes) {
    const struct {
        std::vector<Link> links;
        int replyLines;  // set after parsing when not -1
        const char* header;
        const char* record;
    } cases[] = {
        {{}, 1, "0  ", "\r\n06.01.07 09:05 "},  // the prompt alone must not give a count of -1
        // Whitespace inside a cell never splits a token; an empty cell is '?'.
        {{{"7", "1\t2", "340", "12", "\tQX0", "p1", "3/5"}},
         -1,
         "1  ?QX0 ?      ",
         "\r\n06.01.07 09:05 7 1?2 340 12 3 5 1 "},
    };
    for (const auto& k : cases) {
        SetReport(Channel, k.links);
        if (k.replyLines >= 0) Channel.ReplyLineCount = k.replyLines;
        if (k.links.size() == 1) std::memset(Channel.LinkTable[kColIdent][1], 0, kCellSize);  // an empty cell
        Channel.LastConDay = 6, Channel.LastConMonth = 1, Channel.LastConYear = 7;
        Channel.LastHour = 9, Channel.LastMin = 5;
        char out[kHistoryChunkMax];
        const int header = FormatHistoryHeader(Channel, out, sizeof out);
        ASSERT_GT(header, 0);
        EXPECT_EQ(std::string(out, header), k.header);
        const int record = FormatHistoryRecord(Channel, 0, out, sizeof out);
        ASSERT_GT(record, 0);
        EXPECT_EQ(std::string(out, record), k.record);
        EXPECT_EQ(FormatHistoryRecord(Channel, 0, out, 16), 0);  // too small: refused
    }
}

}  // namespace
