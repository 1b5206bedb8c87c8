// The history file's name, the time cell and number conversions, the bytes
// of headers and records; the writer and the rotation: appending, moving the
// file away when the link list changes or the file is damaged (the revealing
// connect kept), numbered names, renames that fail, and writes cut short.
#include <cerrno>
#include <cstdint>
#include <string>

#include "core/text_scan.h"
#include "history_support.h"

namespace {

using namespace history_test;

using HistoryWriter = HistoryTest;

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
TEST_F(HistoryWriter, HeaderAndRecordBytes) {
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

std::string MovedText(const std::string& path, const std::string& moved, const char* fault = nullptr) {
    return (fault ? "The file " + path + " cannot be read to its end (" + fault + ").\nIt has"
                  : "The number or the name of links of the digipeater has changed.\nThe file " + path +
                        " has") +
           " been renamed by Hopwatch to " + moved + " .\nHopwatch will then open a new file!";
}

// What the writer finds in the file before it appends. A header that names
// other links (only the second identifier changing is no change), cannot
// be read or is cut short moves the file away, as does a record torn by a
// crash; the connect that revealed it starts the new file and is the only
// record in memory. A name written with '?' for a tab, a record spread over
// two lines or a header reaching past the first 4096 bytes is appended to.
TEST_F(HistoryWriter, FileMovedAwayUnlessItReadsToItsEndWithTheSameLinks) {
    std::vector<Link> oneMore = ExampleLinks(), renamed = ExampleLinks(), identOnly = ExampleLinks();
    oneMore.push_back({"3", "1", "2", "5", "QX0CCC", "p3", "1/1"});
    renamed[1].Name = "QX0BBC";
    identOnly[0].Ident = "p9";
    std::vector<Link> tab = ExampleLinks();
    tab[0].Name = "\tQX0AA";  // six characters: column 61 stays apart
    const std::string torn = kHeader + kRecord1 + "\r\n06.12.26 14:40 7 120";
    const std::string head = "2  QX0AAA p1      QX0BBB ";
    const std::string farIdent = head + std::string(4094 - head.size(), ' ') + "p2";  // ends at byte 4096
    const struct {
        std::string content;
        std::vector<Link> links;
        std::string newFile;  // empty: appended to
    } cases[] = {
        {kHeader + kRecord1, oneMore,
         "3  QX0AAA p1      QX0BBB p2      QX0CCC p3      " + kRecord1 + "3 1 2 5 1 1 1 "},
        {kHeader + kRecord1, renamed, "2  QX0AAA p1      QX0BBC p2      " + kRecord1},
        {kHeader + kRecord1, identOnly, ""},
        {"99  QX0AAA", ExampleLinks(), kHeader + kRecord1},
        {"2  QX0AAA", ExampleLinks(), kHeader + kRecord1},
        {torn, ExampleLinks(), kHeader + kRecord1},
        {farIdent + std::string(14, 'X') + "      ", ExampleLinks(), kHeader + kRecord1},  // 16 characters
        {farIdent + "      ", ExampleLinks(), ""},
        {head + std::string(5000, ' ') + "p2      ", ExampleLinks(), ""},
        {kHeader + "\r\n06.12.26 14:30 7 120 340 12 3 5 1\r\n2 15 22 0 40 60 2 \r\n", ExampleLinks(), ""},
        {"2  ?QX0AA p1      QX0BBB p2      ", tab, ""},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.content.substr(0, 40));
        NewDir();
        Write(k.content);
        ResetHistory(State, 0);
        AddHistoryRecord(State, 0, 0, 0);  // an older record in memory
        State.NextRecordIndex[0] = 1;
        SetReport(Channel, k.links);
        Port.Boxes.clear();
        ASSERT_EQ(Connect(14, 30), 1);
        const bool moved = !k.newFile.empty();
        EXPECT_EQ(Read("QX0TST2.hp0"), moved ? k.content : "");
        EXPECT_EQ(Read(), moved ? k.newFile : k.content + kRecord1);
        EXPECT_EQ(Channel.RecordCount, moved ? 1 : 2);
        EXPECT_EQ(State.NextRecordIndex[0], moved ? 1 : 2);
        EXPECT_EQ(HistorySlot(State, 0, moved ? 0 : 1)->Minute, 30);
        ASSERT_EQ(Port.Boxes.size(), moved ? 1u : 0u);
        if (moved) {
            EXPECT_EQ(Port.Boxes[0].Line(),
                      kCaption + std::string(" tells: ") +
                          MovedText(File(), File("QX0TST2.hp0"),
                                    k.content == torn ? "the last record is cut short" : nullptr));
        }
    }
}

// A write cut short (here by a file size limit, as by a full disk) is taken
// back: the file keeps only whole records, a new file is not left behind,
// and the caller is told; the records in memory stay.
TEST_F(HistoryWriter, WriteCutShortLeavesTheFileAsItWas) {
    SetReport(Channel, ExampleLinks());
    ASSERT_EQ(Connect(14, 30), 1);
    const std::string before = Read();
    EXPECT_EQ(WithFileSizeLimit(before.size() + 10, [&] { return Connect(14, 40); }), 0);
    EXPECT_EQ(Read(), before);
    std::snprintf(Channel.CallPath, kCallPathSize, "QX0NEW");
    EXPECT_EQ(WithFileSizeLimit(10, [&] { return Connect(14, 50); }), 0);
    EXPECT_FALSE(Exists("QX0NEW.hpw"));
    EXPECT_EQ(Channel.RecordCount, 3);
    EXPECT_TRUE(Port.Boxes.empty());
}

// "QX0TST2.hp0" already there: the next free number is taken, past one
// digit too; with all 1000 taken the rotation gives up and says so. A
// connect stored while the rotation notice is open (nested loop) lands in
// order behind the revealing one.
TEST_F(HistoryWriter, NumberedNameSkipsTakenNamesAndIsBounded) {
    const std::string old = "1  QX0AAA p1      \r\n06.12.26 14:00 1 2 3 4 5 6 1 ";
    Write(old);
    Write("older", "QX0TST2.hp0");
    SetReport(Channel, ExampleLinks());
    Port.WhileBoxOpen = [&] {
        Port.WhileBoxOpen = nullptr;
        Connect(14, 31);
    };
    ASSERT_EQ(Connect(14, 30), 1);
    EXPECT_EQ(Read("QX0TST2.hp0"), "older");
    EXPECT_EQ(Read("QX0TST2.hp1"), old);
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0]}), std::vector<int>({2, 2}));
    EXPECT_EQ(Read(), kHeader + kRecord1 + "\r\n06.12.26 14:31 7 120 340 12 3 5 1 2 15 22 0 40 60 2 ");

    for (int k = 2; k <= 10; ++k) Write("x", "QX0TST2.hp" + std::to_string(k));
    char newPath[kHistoryPathSize];
    ASSERT_EQ(RotateHistoryFile(File().c_str(), newPath, sizeof newPath), 1);
    EXPECT_EQ(newPath, File("QX0TST2.hp11"));

    for (int k = 12; k < 1000; ++k) Write("", "QX0TST2.hp" + std::to_string(k));
    Write(old);
    Port.Boxes.clear();
    ASSERT_EQ(Connect(14, 40), 1);
    EXPECT_EQ(Read(), old);  // never written to
    ASSERT_EQ(Port.Boxes.size(), 1u);
    EXPECT_EQ(Port.Boxes[0].Text,
              "The number or the name of links of the digipeater has changed,\nbut the file " + File() +
                  " could not be renamed: all numbered names from 0 to 999 are taken.\n"
                  "This connect has not been saved to the file.");
    EXPECT_EQ(RotateHistoryFile(File().c_str(), newPath, 8), 0);  // no room for the new name
    EXPECT_EQ(errno, ENAMETOOLONG);
}

// A rename that fails for another reason than a taken name stops at once:
// here the eleventh candidate of a 255-character name is too long for the
// file system.
TEST_F(HistoryWriter, RenameFailingForAnotherReasonIsReported) {
    const std::string stem(251, 'L');
    Write("big", stem + ".hpw");
    for (int k = 0; k < 10; ++k) Write("", stem + ".hp" + std::to_string(k));
    const std::string path = File(stem + ".hpw");
    Port.Answers = {BoxAnswer::Ok};
    EXPECT_EQ(OfferFileRotation(State, Port, path.c_str(), 1001, 0), 0);
    ASSERT_EQ(Port.Boxes.size(), 2u);
    EXPECT_EQ(Port.Boxes[1].Text, "The file " + path + " could not be renamed: File name too long.");
    EXPECT_EQ(Read(stem + ".hpw"), "big");
}

}  // namespace
