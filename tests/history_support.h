// Shared by the history tests: a state with its memory reserved and its data
// directory in a scratch folder, replies built from links with each field at
// the parser's text column, and the worked example.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/link_report.h"
#include "core/link_column.h"
#include "history/history_format.h"
#include "history/history_loader.h"
#include "history/history_reader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"
#include "history/history_writer.h"
#include "support/fake_port.h"
#include "support/scratch.h"

namespace history_test {

// One link of a report: port at text column 9, Tkby 27, Rkby 32, Qty 37,
// name 54, identifier 61, time 66.
struct Link {
    std::string Port, Tkby, Rkby, Qty, Name, Ident, Time;
};

inline std::string Cell(const ChannelRecord& c, int column, int row) {
    return c.LinkTable[column][row];
}

// A complete reply (heading, links with each field placed at its text
// column, prompt) stored and parsed as the connect cycle does it.
inline void SetReport(ChannelRecord& c, const std::vector<Link>& links) {
    std::vector<std::string> lines{"Link report of the test digipeater\r\n"};
    for (const Link& l : links) {
        std::string line = "  L1" + std::string(62, ' ');
        for (const auto& [column, text] : {std::pair{9, &l.Port},
                                           {27, &l.Tkby},
                                           {32, &l.Rkby},
                                           {37, &l.Qty},
                                           {54, &l.Name},
                                           {61, &l.Ident}})
            line.replace(static_cast<std::size_t>(column), text->size(), *text);
        lines.push_back(line + l.Time + "\r\n");
    }
    lines.push_back("=>\r\n");
    for (c.ReplyLineCount = 0; c.ReplyLineCount < static_cast<int>(lines.size()); ++c.ReplyLineCount) {
        std::snprintf(c.ReplyLines[c.ReplyLineCount], kReplySlotSize, "%s",
                      lines[static_cast<std::size_t>(c.ReplyLineCount)].c_str());
        ClearLinkRow(c);
        ParseLinkRow(c, c.ReplyLineCount);
    }
}

// The worked example: two links, and the file of a good connect followed
// by a failed one.
inline std::vector<Link> ExampleLinks() {
    return {{"7", "120", "340", "12", "QX0AAA", "p1", "3/5"},
            {"2", "15", "22", "0", "QX0BBB", "p2", "(40/60)"}};
}
inline const std::string kHeader = "2  QX0AAA p1      QX0BBB p2      ";
inline const std::string kRecord1 = "\r\n06.12.26 14:30 7 120 340 12 3 5 1 2 15 22 0 40 60 2 ";
inline const std::string kRecord2 = "\r\n06.12.26 14:40 7 120 340 12 3 5 6 2 15 22 0 40 60 6 ";
inline const std::string kExampleFile = kHeader + kRecord1 + kRecord2;
inline const char* kFile = "QX0TST2.hpw";
inline const char* kCaption = "Hopwatch, t h e Monitor Program";

inline std::string SizePrompt(int channel, const std::string& file) {
    return "Congratulations!\n\nWe have enjoyed your intensive use of Hopwatch V2.34.\n"
           "Therefore the following data set becomes now very big:\n\nChannel " +
           std::to_string(channel) + ",  File: " + file +
           "\n\nFurther use of that same file will reduce the performance of the system.\n\n"
           "Rename file now?  (RECOMMENDED STRONGLY)\n\nPlease confirm this with OK.\n\n"
           "Hopwatch will then open a new file during the next connect!";
}

// A fresh state with its memory reserved and its data directory in a
// scratch folder; channel 0 calls QX0TST-2 via QX0VIA.
struct HistoryTest : ::testing::Test {
    std::unique_ptr<AppState> Owned = std::make_unique<AppState>();
    AppState& State = *Owned;
    ChannelRecord& Channel = State.ChannelTable[0];
    FakePort Port;
    int SaveError = 0;
    std::unique_ptr<ScratchDir> Dir;

    void SetUp() override {
        InitAppState(State);
        ASSERT_EQ(ReserveHistoryMemory(State), 1);
        NewDir();
        std::snprintf(Channel.CallPath, kCallPathSize, "QX0TST-2 QX0VIA");
        Channel.RufAktiv = 1;
    }
    void TearDown() override { ReleaseHistoryMemory(State); }

    // An empty data directory, for each row of a table.
    void NewDir() {
        Dir = std::make_unique<ScratchDir>();
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", Dir->Path.c_str());
    }
    std::string File(const std::string& name = kFile) const { return Dir->File(name); }
    std::string Read(const std::string& name = kFile) const { return ReadAll(File(name)); }
    void Write(const std::string& bytes, const std::string& name = kFile) const {
        WriteAll(File(name), bytes);
    }
    bool Exists(const std::string& name) const { return FileExists(File(name)); }

    // One recorded connect at 6.12.26 hh:mm, as the connect cycle stores it;
    // SaveError says why it was not saved.
    int Connect(int hour, int minute, int failed = 0) {
        Channel.LastConDay = 6, Channel.LastConMonth = 12, Channel.LastConYear = 26;
        Channel.LastHour = hour, Channel.LastMin = minute;
        return RecordConnect(State, Port, 0, failed, &SaveError);
    }

    // Record `slot` of channel 0 read back: its time.
    RecordStamp Stamp(int slot) const {
        RecordStamp stamp;
        ReadRecordStamp(State, 0, slot, stamp);
        return stamp;
    }

    // A file of `records` records with the example's two links; record i
    // carries i as its first token.
    static std::string ManyRecords(long records) {
        std::string text = kHeader;
        char record[128];
        for (long i = 0; i < records; ++i) {
            std::snprintf(record, sizeof record,
                          "\r\n%02ld.12.26 14:%02ld %ld 120 340 12 3 5 1 2 15 22 0 40 60 2 ", i % 28 + 1,
                          i % 60, i);
            text += record;
        }
        return text;
    }
};

}  // namespace history_test
