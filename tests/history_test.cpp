// The history store: file names and cell conversions, the bytes the writer
// appends or starts a new file with and when it moves a file away, the
// series the loader builds, damaged files (each named for what it breaks:
// the records before the fault load and the user is told where reading
// stopped), the CSV export, and the memory the series takes.
#include <cerrno>
#include <cstdio>
#include <string>

#include "core/atomic_file.h"
#include "core/text_scan.h"
#include "history/history_csv.h"
#include "history_support.h"

namespace {

using namespace history_test;

using HistoryWriter = HistoryTest;

TEST_F(HistoryWriter, FileNameKeepsLettersAndDigitsOfTheFirstEight) {
    const char* cases[][2] = {
        {"QX0ABCDEF", "QX0ABCDE.hpw"},  // 9 characters: 8 kept
        {"QX0-1-2X", "QX012X.hpw"},     // a left-out '-' still counts
        {"../../etc/passwd", "et.hpw"},
        {"Q\xC4X0 Z", "QX0.hpw"},  // 8-bit bytes are left out too
    };
    char name[kHistoryPathSize];
    for (const auto& k : cases) {
        HistoryBaseName(k[0], name, 32);
        EXPECT_STREQ(name, k[1]) << k[0];
    }
    for (const char* dir : {"", "/var/data", "/var/data/"}) {
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", dir);
        ASSERT_TRUE(HistoryFileName(State, 0, name, sizeof name));
        EXPECT_STREQ(name, *dir ? "/var/data/QX0TST2.hpw" : "QX0TST2.hpw");
    }
    EXPECT_FALSE(HistoryFileName(State, 0, name, 12));
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

// Header and record of a parsed reply, or the refusal of a short buffer.
TEST_F(HistoryWriter, HeaderAndRecordBytes) {
    // Whitespace inside a cell never splits a token; an empty cell is '?'.
    SetReport(Channel, {{"7", "1\t2", "340", "12", "\tQX0", "p1", "3/5"}});
    std::memset(Channel.LinkTable[kColIdent][1], 0, kCellSize);
    Channel.LastConDay = 6, Channel.LastConMonth = 1, Channel.LastConYear = 7;
    Channel.LastHour = 9, Channel.LastMin = 5;
    char out[kHistoryChunkMax];
    const auto text = [&](int n) {
        return n > 0 ? std::string(out, static_cast<std::size_t>(n)) : "refused";
    };
    EXPECT_EQ(text(FormatHistoryHeader(Channel, out, sizeof out)), "1  ?QX0 ?      ");
    EXPECT_EQ(text(FormatHistoryRecord(Channel, 0, out, sizeof out)),
              "\r\n06.01.07 09:05 7 1?2 340 12 3 5 1 ");
    EXPECT_EQ(text(FormatHistoryRecord(Channel, 0, out, 16)), "refused");
    Channel.ReplyLineCount = 1;  // the prompt alone must not give a count of -1
    EXPECT_EQ(text(FormatHistoryHeader(Channel, out, sizeof out)), "0  ");
    EXPECT_EQ(text(FormatHistoryRecord(Channel, 0, out, sizeof out)), "\r\n06.01.07 09:05 ");
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
// crash or damage anywhere (read whole once after loading); the connect
// that revealed it starts the new file and is the only record in memory. A name written with '?' for a tab, a record spread over
// two lines or a header reaching past the first 4096 bytes is appended to.
TEST_F(HistoryWriter, FileMovedAwayUnlessItReadsToItsEndWithTheSameLinks) {
    std::vector<Link> oneMore = ExampleLinks(), renamed = ExampleLinks(), identOnly = ExampleLinks();
    oneMore.push_back({"3", "1", "2", "5", "QX0CCC", "p3", "1/1"});
    renamed[1].Name = "QX0BBC";
    identOnly[0].Ident = "p9";
    std::vector<Link> tab = ExampleLinks();
    tab[0].Name = "\tQX0AA";  // six characters: column 61 stays apart
    const std::string torn = kHeader + kRecord1 + "\r\n06.12.26 14:40 7 120";
    const std::string midway =
        kHeader + "\r\n06.12.26 14:3O 7 120 340 12 3 5 1 2 15 22 0 40 60 2 " + kRecord1;
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
        {"2  QX0AAA", ExampleLinks(), kHeader + kRecord1},
        {torn, ExampleLinks(), kHeader + kRecord1},
        {midway, ExampleLinks(), kHeader + kRecord1},  // damage before a whole last record
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
        EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0]}),
                  std::vector<int>(2, moved ? 1 : 2));
        EXPECT_EQ(Stamp(moved ? 0 : 1).Minute, 30);
        ASSERT_EQ(Port.Boxes.size(), moved ? 1u : 0u);
        if (moved) {
            EXPECT_EQ(Port.Boxes[0].Line(),
                      kCaption + std::string(" tells: ") +
                          MovedText(File(), File("QX0TST2.hp0"),
                                    k.content == torn     ? "the last record is cut short"
                                    : k.content == midway ? "a time stamp is not of the form dd.mm.yy hh:mm"
                                                          : nullptr));
        }
    }
}

// An append cut short (here by a file size limit, as by a full disk) is
// taken back: the file keeps only whole records, and the caller is told; the
// records in memory stay. (A new file cut short: HardenedFiles.)
TEST_F(HistoryWriter, WriteCutShortLeavesTheFileAsItWas) {
    SetReport(Channel, ExampleLinks());
    ASSERT_EQ(Connect(14, 30), 1);
    const std::string before = Read();
    EXPECT_EQ(WithFileSizeLimit(before.size() + 10, [&] { return Connect(14, 40); }), 0);
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(Channel.RecordCount, 2);
    EXPECT_TRUE(Port.Boxes.empty());
}

// A new file is moved into place only where no file appeared meanwhile; its
// temporary goes either way.
TEST_F(HistoryWriter, ANewFileNeverReplacesOneThatAppeared) {
    Write("theirs");
    const std::string temp = File() + ".new";
    AtomicWrite how;
    how.KeepExisting = 1;
    how.TempName = temp.c_str();
    int error = 0;
    EXPECT_EQ(WriteFileAtomically(File().c_str(), "ours", 4, how, &error), 0);
    EXPECT_EQ(error, EEXIST);
    EXPECT_EQ(Read(), "theirs");
    EXPECT_FALSE(FileExists(temp));
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
    int error = 0;
    ASSERT_EQ(RotateHistoryFile(File().c_str(), newPath, sizeof newPath, &error), 1);
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
    EXPECT_EQ(RotateHistoryFile(File().c_str(), newPath, 8, &error), 0);  // no room for the new name
    EXPECT_EQ(error, ENAMETOOLONG);
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

using HistorySeries = HistoryTest;

// Record `slot` of channel 0 as "dd.mm.yy hh:mm" and, per link, the
// series' name and the record's values.
std::string Text(const AppState& state, int slot, int links) {
    RecordStamp r;
    ReadRecordStamp(state, 0, slot, r);
    char text[160];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d", r.Day, r.Month, r.Year, r.Hour, r.Minute);
    std::string all = text;
    for (int l = 0; l < links; ++l) {
        const LinkSample s = ReadLinkSample(state, 0, slot, l);
        std::snprintf(text, sizeof text, " %s %d %d %d %d %d %d", SeriesLinkName(state, 0, l), s.Qty, s.Tkby,
                      s.Rkby, s.TxTim, s.RxTim, s.LinkState);
        all += text;
    }
    return all;
}

TEST_F(HistorySeries, WorkedExampleWrittenByteForByteAndReadBack) {
    SetReport(Channel, ExampleLinks());
    EXPECT_EQ(Connect(14, 30), 1);
    EXPECT_EQ(Read(),
              "2  QX0AAA p1      QX0BBB p2      \r\n06.12.26 14:30 7 120 340 12 3 5 1 2 15 22 0 40 60 2 ");
    EXPECT_EQ(Connect(14, 40, 1), 1);  // failed: recorded again with code 6, no header
    EXPECT_EQ(Read(), kExampleFile);

    ResetHistory(State, 0);
    Channel.MarkerOffset = 7;  // beyond the new series: put back to 0
    LoadFileSequence(State, Port, 0);
    const ChannelRecord& c = Channel;
    EXPECT_TRUE(Port.Boxes.empty());
    EXPECT_EQ(Port.Repaints.size(), 1u);
    EXPECT_EQ(std::vector<int>({c.RecordCount, State.NextRecordIndex[0], c.ReplyLineCount, c.RestoreLineCount,
                                c.MarkerOffset, c.ScrollStep}),
              std::vector<int>({2, 2, 4, 4, 0, 24}));
    EXPECT_EQ(Text(State, 0, 2), "06.12.26 14:30 QX0AAA 12 120 340 3 5 1 QX0BBB 0 15 22 40 60 2");
    EXPECT_EQ(Text(State, 1, 2), "06.12.26 14:40 QX0AAA 12 120 340 3 5 6 QX0BBB 0 15 22 40 60 6");
    // The last connect and the link table are the file's last record, with
    // the placeholder in the time column: the next connect continues the
    // series and the file from them ("08/15" converts as a/b; a name read
    // wrong would move the file away).
    EXPECT_EQ(std::vector<int>({c.LastConDay, c.LastConMonth, c.LastConYear, c.LastHour, c.LastMin}),
              std::vector<int>({6, 12, 26, 14, 40}));
    EXPECT_EQ(Cell(c, kColIdent, 1) + Cell(c, kColIdent, 2), "p1p2");
    EXPECT_EQ(Connect(14, 50), 1);
    EXPECT_EQ(c.RecordCount, 3);
    EXPECT_EQ(Text(State, 2, 2), "06.12.26 14:50 QX0AAA 12 120 340 8 15 1 QX0BBB 0 15 22 8 15 1");
    EXPECT_EQ(Read(), kExampleFile + "\r\n06.12.26 14:50 7 120 340 12 08 15 1 2 15 22 0 08 15 1 ");
}

// Records are packed in memory, but every number reads back as the file or
// the reply had it: values past the packed sizes (negative, over 65535, a
// state over 255; one past 32 bits is held at the largest) turn the series into full-width records without changing
// what earlier records read, in a loaded series, its ring and after a connect.
TEST_F(HistorySeries, EveryNumberReadsBackWhateverItsSize) {
    const std::string big =
        "\r\n06.12.26 14:35 7 -120 2147483647 70000 65535 -1 255 2 99999999999 22 65536 40 60 256 ";
    const std::string bigText =
        "06.12.26 14:35 QX0AAA 70000 -120 2147483647 65535 -1 255 QX0BBB 65536 2147483647 22 40 60 256";
    Write(kHeader + kRecord1 + big + kRecord2);
    LoadHistory(State, Port, 0);
    ASSERT_EQ(Channel.RecordCount, 3);
    EXPECT_EQ(Text(State, 0, 2), "06.12.26 14:30 QX0AAA 12 120 340 3 5 1 QX0BBB 0 15 22 40 60 2");
    EXPECT_EQ(Text(State, 1, 2), bigText);
    EXPECT_EQ(Text(State, 2, 2), "06.12.26 14:40 QX0AAA 12 120 340 3 5 6 QX0BBB 0 15 22 40 60 6");
    SetReport(Channel, ExampleLinks());
    Connect(14, 50);
    EXPECT_EQ(Text(State, 3, 2), "06.12.26 14:50 QX0AAA 12 120 340 3 5 1 QX0BBB 0 15 22 40 60 2");
    EXPECT_EQ(Text(State, 1, 2), bigText);

    // The wide record arrives last, into the ring's first slot.
    ResetHistory(State, 0);
    Write(ManyRecords(24000) + big);
    LoadHistory(State, Port, 0);  // Cancel
    EXPECT_EQ(Text(State, 23999, 2), bigText);
    EXPECT_EQ(Text(State, 0, 1), "02.12.26 14:01 QX0AAA 12 120 340 3 5 1");
    EXPECT_EQ(Text(State, 23998, 1), "04.12.26 14:59 QX0AAA 12 120 340 3 5 1");
    // A further record too big for the packed layout (the link table holds
    // the loaded one) leaves the records already widened as they were.
    AddHistoryRecord(State, 0, 24000, 0);
    EXPECT_EQ(Text(State, 1, 1), "03.12.26 14:02 QX0AAA 12 120 340 3 5 1");
    EXPECT_EQ(Text(State, 23998, 1), "04.12.26 14:59 QX0AAA 12 120 340 3 5 1");
}

// The newest 24000 of a longer file load (the order: above); a further
// connect replaces the newest record only.
TEST_F(HistorySeries, AFullSeriesReplacesItsNewestRecord) {
    Write(ManyRecords(30000));
    LoadHistory(State, Port, 0);  // Cancel
    const int minute = Stamp(23998).Minute;
    Connect(9, 59);
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0]}), std::vector<int>(2, 24000));
    EXPECT_EQ(Stamp(23998).Minute, minute);
    EXPECT_EQ(Stamp(23999).Hour, 9);
    RecordStamp none;
    EXPECT_EQ(ReadRecordStamp(State, 0, 24000, none), 0);
}

// A missing file: the start-up scan says nothing, the loader tells and
// changes nothing. Load File for a channel without a destination empties
// the series.
TEST_F(HistorySeries, MissingFileOrNoDestination) {
    SetReport(Channel, ExampleLinks());
    Connect(14, 30);
    std::remove(File().c_str());
    EXPECT_EQ(ScanHistoryFile(State, Port, 0), 0);
    EXPECT_TRUE(Port.Boxes.empty());
    EXPECT_EQ(LoadHistory(State, Port, 0), 0);
    ASSERT_EQ(Port.Boxes.size(), 1u);
    EXPECT_EQ(Port.Boxes[0].Line(),
              "hopwin tells: A data file for the DESTINATION CALL of\nthis channel does not exist! Please "
              "start connect.");
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, Channel.ReplyLineCount}), std::vector<int>({1, 4}));

    Channel.RufAktiv = 0;
    Channel.ScrollOffset = 1;
    LoadFileSequence(State, Port, 0);
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, Channel.ReplyLineCount, Channel.ScrollOffset,
                                State.NextRecordIndex[0], IsRecordPresent(State, 0, 0)}),
              std::vector<int>({0, 0, 0, 0, 0}));
    EXPECT_EQ(Port.Repaints.size(), 1u);
}

// None for 1000 records. For 1001, Cancel keeps the loaded series, and a
// connect stored while the prompt is open goes behind the loaded records;
// the start-up scan asks the same and leaves the series alone; OK moves the
// file away, says so and discards the series.
TEST_F(HistorySeries, SizePromptAfterLoading) {
    Write(ManyRecords(1000));
    LoadFileSequence(State, Port, 0);
    EXPECT_TRUE(Port.Boxes.empty());
    Write(ManyRecords(1001));
    Port.WhileBoxOpen = [&] {
        Port.WhileBoxOpen = nullptr;
        Connect(9, 0);
    };
    LoadFileSequence(State, Port, 0);  // Cancel
    EXPECT_EQ(ScanHistoryFile(State, Port, 0), 1);
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0], Channel.ScrollStep}),
              std::vector<int>({1002, 1002, 50}));
    EXPECT_EQ(Stamp(1001).Hour, 9);
    Port.Answers = {BoxAnswer::Ok};
    LoadFileSequence(State, Port, 0);
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0], Exists(kFile)}),
              std::vector<int>({0, 0, 0}));
    EXPECT_EQ(Read("QX0TST2.hp0").substr(0, ManyRecords(1001).size()), ManyRecords(1001));
    ASSERT_EQ(Port.Boxes.size(), 4u);
    for (int i : {0, 1, 2}) {
        EXPECT_EQ(Port.Boxes[i].Line(), kCaption + std::string(" asks: ") + SizePrompt(1, File()));
        EXPECT_TRUE(Port.Boxes[i].Buttons == BoxButtons::OkCancel && Port.Boxes[i].Icon == BoxIcon::Warning);
    }
    EXPECT_EQ(Port.Boxes[3].Line(),
              kCaption + std::string(" tells: The file has been renamed to ") + File("QX0TST2.hp0") + " !");
}

struct HistoryMalformed : HistoryTest {
    // Loads `bytes`: `records` complete records stand. `fault` is empty for a
    // sound file, else the fault as the notice says it, found in record
    // `atRecord` (at byte `atByte` unless -1).
    void Expect(const std::string& bytes, int records, const std::string& fault, int atRecord = 0,
                long long atByte = -1) {
        Write(bytes);
        Port.Boxes.clear();
        ASSERT_EQ(LoadHistory(State, Port, 0), 1);
        EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0]}),
                  std::vector<int>(2, records));
        ASSERT_EQ(Port.Boxes.size(), fault.empty() ? 0u : 1u);
        if (!fault.empty()) {
            std::string notice = std::string(kCaption) + " tells: The history file " + File() +
                                 " is damaged: " + fault + ".\nReading stopped at record " +
                                 std::to_string(atRecord) + " (";
            if (atByte >= 0)
                notice += "byte offset " + std::to_string(atByte) + ");\nthe " + std::to_string(records) +
                          " complete records before it are used.";
            const std::string said = Port.Boxes[0].Line();
            EXPECT_EQ(atByte >= 0 ? said : said.substr(0, notice.size()), notice);
        }
        Port.Boxes.clear();
        EXPECT_EQ(ScanHistoryFile(State, Port, 0), 1);
        EXPECT_EQ(Port.Boxes.size(), fault.empty() ? 0u : 1u);
        EXPECT_EQ(Channel.RecordCount, records);  // the scan leaves the series alone
    }
};

TEST_F(HistoryMalformed, history_empty_file) {
    Expect("", 0, "the file is empty", 1, 0);
    Expect(" \r\n\t ", 0, "the file is empty", 1, 5);
    EXPECT_EQ(Channel.ReplyLineCount, 0);
}

TEST_F(HistoryMalformed, history_header_only) {
    Expect("0  ", 0, "");
    Expect(kHeader + "\r\n", 0, "");
    EXPECT_EQ(Channel.ReplyLineCount, 4);
    EXPECT_EQ(Cell(Channel, kColName, 2), "QX0BBB");
}

TEST_F(HistoryMalformed, history_bad_count) {
    for (const char* count : {"99", "-1", "19", "x2", "2x", "", "+", "99999999999999"}) {
        Expect(count + std::string("  QX0AAA p1") + kRecord1, 0,
               "the link count is not a number from 0 to 18", 1, *count ? 0 : 2);
    }
    // A count of 18 (one more than a reply can hold) is still accepted.
    std::string header = "18  ", record = "\r\n01.01.01 01:01 ";
    for (int i = 0; i < 18; ++i) {
        header += "N" + std::to_string(i) + " I      ";
        record += "1 2 3 4 5 6 1 ";
    }
    Expect(header + record, 1, "");
    EXPECT_EQ(Channel.ReplyLineCount, 20);
    EXPECT_STREQ(SeriesLinkName(State, 0, 17), "N17");
}

TEST_F(HistoryMalformed, history_long_token) {
    // In a record the record before it stands; in the header nothing can be
    // placed. Exactly 15 characters is fine and reaches the name intact.
    const std::string forty(40, 'T'), fault = "a value is longer than 15 characters";
    Expect(kHeader + kRecord1 + "\r\n06.12.26 14:40 7 " + forty + " 340 12 3 5 6 2 15 22 0 40 60 6 ", 1,
           fault, 2, static_cast<long long>(kHeader.size() + kRecord1.size() + 19));
    Expect("1  " + forty + " p1" + kRecord1, 0, fault, 1, 3);
    Expect("1  " + std::string(15, 'N') + " p1\r\n06.12.26 14:30 7 120 340 12 3 5 1 ", 1, "");
    EXPECT_EQ(SeriesLinkName(State, 0, 0), std::string(15, 'N'));
}

TEST_F(HistoryMalformed, history_truncated_record) {
    const std::size_t cut = kExampleFile.size() - 4;
    Expect(kExampleFile.substr(0, cut), 1, "the last record is cut short", 2, static_cast<long long>(cut));
    EXPECT_EQ(Channel.LastMin, 30);  // the last complete record's time
    Expect("2  QX0AAA p1      QX0BBB", 0, "the list of links is cut short", 1);
    Expect(kExampleFile.substr(0, cut + 3), 2, "");  // no trailing blank: still complete
}

TEST_F(HistoryMalformed, history_bad_timestamp) {
    for (const char* stamp :
         {"06.12.2026 14:30", "06-12-26 14:30", "06.12.26 14.30", "06.12 14:30", "06.12.26 1430",
          "x6.12.26 14:30", "06.12.26. 14:30", "06.12.26 14:30:00", "+6.12.26 14:30"}) {
        Expect(kHeader + kRecord1 + "\r\n" + stamp + " 7 120 340 12 3 5 6 2 15 22 0 40 60 6 ", 1,
               "a time stamp is not of the form dd.mm.yy hh:mm", 2);
    }
    Expect(kHeader + kRecord1 + "\r\n6.12.26 14:30 7 120 340 12 3 5 6 2 15 22 0 40 60 6 ", 2, "");
    // A shifted token stream (one token too many in a group) is caught at
    // the next time stamp.
    Expect(kHeader + "\r\n06.12.26 14:30 7 120 340 12 3 5 1 9 2 15 22 0 40 60 2 " + kRecord2, 1,
           "a time stamp is not of the form dd.mm.yy hh:mm", 2);
}

// Exports `bytes` as a file (or the file at `path` when given): the status,
// what standard output and standard error got, and the file's path.
struct Exported {
    int Status;
    std::string Out, Err, Path;
};

Exported Export(const std::string& bytes, int link = kCsvAllLinks, std::string path = "") {
    ScratchDir dir;
    if (path.empty()) WriteAll(path = dir.File("X.hpw"), bytes);
    std::FILE *out = std::fopen(dir.File("out").c_str(), "w"),
              *err = std::fopen(dir.File("err").c_str(), "w");
    const int status = ExportHistoryFileCsv(path.c_str(), link, out, err);
    std::fclose(out);
    std::fclose(err);
    return {status, ReadAll(dir.File("out")), ReadAll(dir.File("err")), path};
}

const std::string kExample = ReadAll(HOPWATCH_TEST_DATA "/worked_example.hpw");

TEST(CsvExport, OneLinkQuotingAndWhatCannotBeExported) {
    const struct {
        const char* Name;
        std::string File;
        int Link, Status;
        std::string Rows;  // after the header row; not looked at for status 2
        const char* Err;   // part of what standard error says, "" for nothing
    } cases[] = {
        {"second link only", kExample, 2, 0,
         "2026-12-06T14:30,QX0BBB,p2,0,40,60,15,22,2,2\r\n2026-12-06T14:40,QX0BBB,p2,0,40,60,15,22,6,2\r\n",
         ""},
        {"comma and quote in names, quote in a value",
         "1  QX0,A \"p\"1      \r\n1.2.99 3:4 7 1\"2 3 4 5 6 1 ", 0, 0,
         "1999-02-01T03:04,\"QX0,A\",\"\"\"p\"\"1\",4,5,6,\"1\"\"2\",3,1,7\r\n", ""},
        {"no link count", "x  A b      ", 0, 1, "", "is damaged"},
        {"no such link", kExample, 3, 2, "", "has no link 3"},
    };
    for (const auto& c : cases) {
        const Exported run = Export(c.File, c.Link);
        EXPECT_EQ(c.Status, run.Status) << c.Name;
        EXPECT_EQ(c.Status < 2 ? kCsvHeaderRow + c.Rows : run.Out, run.Out) << c.Name;
        EXPECT_TRUE(*c.Err ? run.Err.find(c.Err) != std::string::npos : run.Err.empty()) << c.Name << run.Err;
    }
    EXPECT_EQ(2, Export("", kCsvAllLinks, "/nonexistent/X.hpw").Status);
}

TEST(CsvExport, DamagedFileExportsWhatReadsAndSaysWhereItStopped) {
    // The third record is cut off inside its second link.
    const std::string torn = kExample + "\r\n06.12.26 14:50 7 120 340 12 3 5 1 2 15";
    const Exported run = Export(torn);
    EXPECT_EQ(1, run.Status);
    EXPECT_EQ(ReadAll(HOPWATCH_TEST_DATA "/worked_example.csv"), run.Out);
    EXPECT_EQ("hopwatch: " + run.Path +
                  " is damaged (the last record is cut short): reading stopped at record 3, byte offset " +
                  std::to_string(torn.size()) + "; the 2 complete records before it were exported\n",
              run.Err);
}

}  // namespace
