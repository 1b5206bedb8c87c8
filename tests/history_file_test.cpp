// The history file's name, the time cell conversion, number conversion and
// the bytes of headers and records.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "history_support.h"

namespace {

using namespace history_test;

TEST(HistoryFileName, KeepsLettersAndDigitsOfTheFirstEight) {
    struct Case {
        const char* callPath;
        const char* name;
    } cases[] = {
        {"QX0TST-2 QX0VIA", "QX0TST2.hpw"},
        {"QX0ABCDEF", "QX0ABCDE.hpw"},  // 9 characters: 8 kept
        {"QX0-1-2X", "QX012X.hpw"},     // a left-out '-' still counts
        {"", ".hpw"},
        {" QX0TST", ".hpw"},
        {"qx0tst", "qx0tst.hpw"},       // case as typed
        {"../../etc/passwd", "et.hpw"},
        {"QX0/../a", "QX0a.hpw"},
        {"Q\xC4X0 Z", "QX0.hpw"},       // 8-bit bytes are left out too
    };
    for (const Case& k : cases) {
        char name[32];
        HistoryBaseName(k.callPath, name, sizeof name);
        EXPECT_STREQ(name, k.name) << k.callPath;
    }
}

TEST(HistoryFileName, JoinsTheDataDirectory) {
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    std::snprintf(state->ChannelTable[1].CallPath, kCallPathSize, "QX0TST-2");
    char path[kHistoryPathSize];
    for (const char* dir : {"", "/var/data", "/var/data/"}) {
        std::snprintf(state->DataDir, sizeof state->DataDir, "%s", dir);
        ASSERT_TRUE(HistoryFileName(*state, 1, path, sizeof path));
        EXPECT_STREQ(path, *dir ? "/var/data/QX0TST2.hpw" : "QX0TST2.hpw");
    }
    EXPECT_FALSE(HistoryFileName(*state, 1, path, 12));
}

TEST(ConvertTimeCell, EveryFormOfTheCell) {
    struct Case {
        const char* cell;
        const char* ok;      // successful connect
        const char* failed;  // failed connect: code 6
    } cases[] = {
        {"3/5", "3 5 1", "3 5 6"},
        {"(40/60)", "40 60 2", "40 60 6"},
        {"(40/60", "40 60 1", "40 60 6"},   // cut before the parenthesis
        {"17", "17 0 3", "17 0 6"},
        {"(17)", "17 0 4", "17 0 6"},
        {"-", "0 0 5", "0 0 6"},
        {"12-5", "0 0 5", "0 0 6"},
        {"", "0 0 0", "0 0 6"},
        {"            ", "0 0 0", "0 0 6"},
        {"abc", "0 0 0", "0 0 6"},
        {"08/15", "08 15 1", "08 15 6"},  // leading zeros stay
        {"12/", "12 0 1", "12 0 6"},      // empty second number
        {"12/\r\n", "12 0 1", "12 0 6"},
        {"3/5\r\n\0", "3 5 1", "3 5 6"},  // as the parser leaves it
        {"(3/5)  7/8", "3 5 2", "3 5 6"}, // stops at the first form
        {"3/5/7", "3 5 1", "3 5 6"},      // a second slash stops
        {"x12 ", "12 0 3", "12 0 6"},
    };
    for (const Case& k : cases) {
        char out[kTimeCellTextSize];
        ConvertTimeCell(k.cell, 0, out, sizeof out);
        EXPECT_STREQ(out, k.ok) << '"' << k.cell << '"';
        ConvertTimeCell(k.cell, 1, out, sizeof out);
        EXPECT_STREQ(out, k.failed) << '"' << k.cell << '"';
    }
}

TEST(HistoryNumber, DecimalWithSignAndSaturation) {
    struct Case {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"120", 120},        {"  -7x", -7},          {"+15", 15},
        {"abc", 0},          {"", 0},                {"-", 0},
        {"2147483647", 2147483647},                  {"2147483648", 2147483647},
        {"999999999999999", 2147483647},             {"-2147483648", INT32_MIN},
        {"-999999999999999", INT32_MIN},             {"08", 8},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(HistoryNumber(k.text, std::strlen(k.text)), k.value) << k.text;
    }
}

// Header and record of a parsed reply, or the refusal of a short buffer.
TEST(HistoryFormat, HeaderAndRecordBytes) {
    const std::string big(15, '9');
    const Link longest{big, big, big, big, std::string(15, 'N'), std::string(15, 'I'), "999999/999999"};
    struct Case {
        const char* what;
        std::vector<Link> links;
        int replyLines;  // set after parsing when not -1
        bool emptyIdent;
        const char* header;
        const char* record;
    } cases[] = {
        {"no links", {}, -1, false, "0  ", "\r\n06.01.07 09:05 "},
        // A reply of the prompt alone must not give a count of -1.
        {"the prompt alone", {}, 1, false, "0  ", "\r\n06.01.07 09:05 "},
        // Whitespace inside a cell never splits a token; an empty cell is '?'.
        {"whitespace in cells", {{"7", "1\t2", "340", "12", "\tQX0", "p1", "3/5"}}, -1, true,
         "1  ?QX0 ?      ", "\r\n06.01.07 09:05 7 1?2 340 12 3 5 1 "},
        {"seventeen longest links", std::vector<Link>(17, longest), -1, false, nullptr, nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        auto c = std::make_unique<ChannelRecord>();
        std::memset(c.get(), 0, sizeof *c);
        SetReport(*c, k.links);
        if (k.replyLines >= 0) c->ReplyLineCount = k.replyLines;
        if (k.emptyIdent) std::memset(c->LinkTable[kColIdent][1], 0, kCellSize);
        SetStart(*c, 6, 1, 7, 9, 5);
        char out[kHistoryChunkMax];
        const int header = FormatHistoryHeader(*c, out, sizeof out);
        ASSERT_GT(header, 0);
        if (k.header) {
            EXPECT_EQ(std::string(out, header), k.header);
        }
        const int record = FormatHistoryRecord(*c, 0, out, sizeof out);
        ASSERT_GT(record, 0);
        if (k.record) {
            EXPECT_EQ(std::string(out, record), k.record);
        }
        EXPECT_EQ(FormatHistoryRecord(*c, 0, out, 16), 0);  // too small: refused
    }
}

// The reader measures and converts short tokens a word at a time and long
// or unusual ones byte by byte; both ways must agree with HistoryNumber,
// wherever the token lies relative to the end of the bytes.
TEST(HistoryReaderTokens, WordAndByteWaysAgree) {
    const char* tokens[] = {"0",        "7",        "42",       "999",      "1234",     "65535",
                            "123456",   "1234567",  "12345678", "987654321", "000000000000012",
                            "99999999999", "-5",    "+17",      "1a",       "a1",       ("12\x01" "3"),
                            "\x80\x81", "?",        "08",       "4294967296", "2147483648"};
    for (const char* token : tokens) {
        for (const char* separator : {" ", "\t", "\r\n", "\v", "\f", "   "}) {
            // Seven copies in one link group, then padding of 0..9 bytes so
            // that the last tokens fall near the end of the buffer.
            for (int pad = 0; pad < 10; ++pad) {
                std::string bytes = "1  N I\r\n01.02.03 04:05";
                for (int k = 0; k < 7; ++k) bytes += std::string(separator) + token;
                bytes += std::string(static_cast<std::size_t>(pad), ' ');
                HistoryReader reader;
                StartHistoryReader(reader, bytes.data(), bytes.size());
                HistoryHeader header;
                ASSERT_EQ(ReadHistoryHeader(reader, header), 1);
                HistoryRecordText record;
                ASSERT_EQ(ReadHistoryRecordValues(reader, 1, record), 1) << token;
                const std::size_t length = std::strlen(token);
                for (int k = 0; k < 7; ++k) {
                    EXPECT_EQ(std::string(record.Groups[0][k].Text, record.Groups[0][k].Length), token);
                    EXPECT_EQ(record.Values[0][k], HistoryNumber(token, length)) << token;
                }
                EXPECT_EQ(ReadHistoryRecordValues(reader, 1, record), 0);
                EXPECT_EQ(reader.Fault, HistoryFault::None);
            }
        }
    }
}

}  // namespace
