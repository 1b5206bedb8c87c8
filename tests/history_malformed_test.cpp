// Damaged history files, each named for what it breaks. Every one loads the
// complete records before the fault, tells the user the file and where
// reading stopped, and neither writes outside the tables nor hangs; the
// start-up scan reaches the same verdict.
#include <string>

#include "history_support.h"

namespace {

using namespace history_test;

struct HistoryMalformed : HistoryTest {
    // Loads `bytes`: `records` complete records stand. `fault` is empty for a
    // sound file, "*" for any fault, else the fault as the notice says it,
    // found in record `atRecord` (at byte `atByte` unless -1).
    void Expect(const std::string& bytes, int records, const std::string& fault, int atRecord = 0,
                long long atByte = -1) {
        Write(bytes);
        Port.Boxes.clear();
        ASSERT_EQ(LoadHistory(State, Port, 0), 1);
        EXPECT_EQ(Channel.RecordCount, records);
        EXPECT_EQ(State.NextRecordIndex[0], records);
        ASSERT_EQ(Port.Boxes.size(), fault.empty() ? 0u : 1u);
        if (!fault.empty()) {
            std::string notice =
                std::string(kCaption) + " tells: The history file " + File() + " is damaged: ";
            if (fault != "*")
                notice += fault + ".\nReading stopped at record " + std::to_string(atRecord) + " (";
            if (atByte >= 0)
                notice += "byte offset " + std::to_string(atByte) + ");\nthe " + std::to_string(records);
            if (atByte >= 0) notice += " complete records before it are used.";
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
    EXPECT_STREQ(HistorySlot(State, 0, 0)->Links[17].Name, "N17");
}

TEST_F(HistoryMalformed, history_long_token) {
    // In a record the record before it stands; in the header nothing can be
    // placed. Exactly 15 characters is fine and reaches the name intact.
    const std::string forty(40, 'T'), fault = "a value is longer than 15 characters";
    Expect(kHeader + kRecord1 + "\r\n06.12.26 14:40 7 " + forty + " 340 12 3 5 6 2 15 22 0 40 60 6 ", 1,
           fault, 2, static_cast<long long>(kHeader.size() + kRecord1.size() + 19));
    Expect("1  " + forty + " p1" + kRecord1, 0, fault, 1, 3);
    Expect("1  " + std::string(15, 'N') + " p1\r\n06.12.26 14:30 7 120 340 12 3 5 1 ", 1, "");
    EXPECT_EQ(HistorySlot(State, 0, 0)->Links[0].Name, std::string(15, 'N'));
}

TEST_F(HistoryMalformed, history_truncated_record) {
    // Cut anywhere inside the second record's tokens: one record stands.
    for (std::size_t cut = kHeader.size() + kRecord1.size() + 3; cut < kExampleFile.size() - 2; cut += 5) {
        Expect(kExampleFile.substr(0, cut), 1, "*");
        EXPECT_EQ(Channel.LastMin, 30);  // the last complete record's time
    }
    const std::size_t cut = kExampleFile.size() - 4;
    Expect(kExampleFile.substr(0, cut), 1, "the last record is cut short", 2, static_cast<long long>(cut));
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

TEST_F(HistoryMalformed, history_binary_garbage) {
    std::string garbage;
    unsigned seed = 12345;
    for (int i = 0; i < 100000; ++i)
        garbage.push_back(static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16));
    // Alone, or after good records: the good ones stand, and the user is told.
    Expect(garbage, 0, "*");
    Expect(kHeader + kRecord1 + "\r\n" + garbage, 1, "*");
    // NUL bytes inside tokens are just token bytes.
    Expect(std::string("2  QX") + '\0' + "AA p1      QX0BBB p2      " + kRecord1, 1, "");
}

TEST_F(HistoryMalformed, history_30000_records) {
    // Valid but long: the newest 24000 load in order (file record i carries
    // i as its first token; the time stamp cycles), the scan counts all.
    Write(ManyRecords(30000));
    LoadHistory(State, Port, 0);  // Cancel
    EXPECT_EQ(Channel.RecordCount, 24000);
    EXPECT_EQ(State.NextRecordIndex[0], 24000);
    for (int slot : {0, 1, 12345, 23999}) {
        EXPECT_EQ(HistorySlot(State, 0, slot)->Minute, (6000 + slot) % 60) << slot;
        EXPECT_EQ(HistorySlot(State, 0, slot)->Day, (6000 + slot) % 28 + 1) << slot;
    }
    EXPECT_EQ(Cell(Channel, kColPort, 1), "29999");
    // A further connect replaces the newest record only.
    const int minute = HistorySlot(State, 0, 23998)->Minute;
    Connect(9, 59);
    EXPECT_EQ(Channel.RecordCount, 24000);
    EXPECT_EQ(State.NextRecordIndex[0], 24000);
    EXPECT_EQ(HistorySlot(State, 0, 23998)->Minute, minute);
    EXPECT_EQ(HistorySlot(State, 0, 23999)->Hour, 9);
    EXPECT_EQ(HistorySlot(State, 0, 24000), nullptr);
    // The load and the start-up scan offer the same prompt.
    EXPECT_EQ(ScanHistoryFile(State, Port, 0), 1);
    ASSERT_EQ(Port.Boxes.size(), 2u);
    for (const FakeBox& box : Port.Boxes) EXPECT_EQ(box.Text, SizePrompt(1, File()));
    EXPECT_EQ(Channel.RecordCount, 24000);
}

}  // namespace
