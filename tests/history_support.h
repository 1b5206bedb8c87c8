// Helpers shared by the history and parser tests: a private temporary data
// directory, a state with its memory reserved, the worked example, and
// replies built from links with the fields at the parser's text columns.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/link_report.h"
#include "history/history_file.h"
#include "history/history_series.h"
#include "history/history_writer.h"
#include "core/app_state.h"
#include "support/fake_port.h"

namespace history_test {

struct TempDir {
    std::string Path;
    TempDir() {
        char name[] = "/tmp/hopwatch-history-XXXXXX";
        Path = mkdtemp(name) ? name : "";
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    std::string File(const std::string& name) const { return Path + "/" + name; }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }
};

// One link of a report: port at text column 9, Tkby 27, Rkby 32, Qty 37,
// name 54, identifier 61, time 66.
struct Link {
    std::string Port, Tkby, Rkby, Qty, Name, Ident, Time;
};

// A reply line with each field placed at its text column, ended by CR LF.
inline std::string ReportLine(const Link& l) {
    std::string line(66, ' ');
    const std::pair<std::size_t, const std::string*> fields[] = {
        {9, &l.Port}, {27, &l.Tkby}, {32, &l.Rkby}, {37, &l.Qty}, {54, &l.Name}, {61, &l.Ident}};
    line.replace(0, 4, "  L1");
    for (const auto& [column, text] : fields) line.replace(column, text->size(), *text);
    return line + l.Time + "\r\n";
}

inline void StoreLine(ChannelRecord& c, int row, const std::string& text) {
    std::memset(c.ReplyLines[row], 0, kReplySlotSize);
    std::memcpy(c.ReplyLines[row], text.data(), std::min<std::size_t>(text.size(), kReplySlotSize - 1));
}

// A complete reply (heading, links, prompt) stored and parsed as the connect
// cycle does it.
inline void SetReport(ChannelRecord& c, const std::vector<Link>& links) {
    std::vector<std::string> lines{"Link report of the test digipeater\r\n"};
    for (const Link& l : links) lines.push_back(ReportLine(l));
    lines.push_back("=>\r\n");
    for (c.ReplyLineCount = 0; c.ReplyLineCount < static_cast<int>(lines.size()); ++c.ReplyLineCount) {
        StoreLine(c, c.ReplyLineCount, lines[static_cast<std::size_t>(c.ReplyLineCount)]);
        ClearLinkRow(c);
        ParseLinkRow(c, c.ReplyLineCount);
    }
}

inline void SetStart(ChannelRecord& c, int day, int month, int year, int hour, int minute) {
    c.LastConDay = day;
    c.LastConMonth = month;
    c.LastConYear = year;
    c.LastHour = hour;
    c.LastMin = minute;
}

inline std::string Cell(const ChannelRecord& c, int column, int row) {
    return std::string(c.LinkTable[column][row]);
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
// private temporary folder; channel 0 calls QX0TST-2 via QX0VIA.
struct HistoryTest : ::testing::Test {
    std::unique_ptr<AppState> Owned = std::make_unique<AppState>();
    AppState& State = *Owned;
    FakePort Port;
    TempDir Dir;

    void SetUp() override {
        setenv("TZ", "UTC", 1);
        setenv("LC_ALL", "C", 1);
        std::setlocale(LC_ALL, "C");
        ASSERT_FALSE(Dir.Path.empty());
        InitAppState(State);
        ASSERT_EQ(ReserveHistoryMemory(State), 1);
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", Dir.Path.c_str());
        std::snprintf(Channel().CallPath, kCallPathSize, "QX0TST-2 QX0VIA");
        Channel().RufAktiv = 1;
    }
    void TearDown() override { ReleaseHistoryMemory(State); }

    ChannelRecord& Channel(int i = 0) { return State.ChannelTable[i]; }

    // One recorded connect, as the connect cycle stores it.
    int Connect(int day, int month, int year, int hour, int minute, int cycleState = 10) {
        SetStart(Channel(), day, month, year, hour, minute);
        Channel().CycleState = static_cast<std::uint8_t>(cycleState);
        return RecordConnect(State, Port, 0);
    }

    // A file of `records` records with the example's two links; record i
    // carries i as its first token.
    std::string ManyRecords(long records) const {
        std::string text = kHeader;
        char record[128];
        for (long i = 0; i < records; ++i) {
            std::snprintf(record, sizeof record,
                          "\r\n%02ld.12.26 14:%02ld %ld 120 340 12 3 5 1 2 15 22 0 40 60 2 ",
                          i % 28 + 1, i % 60, i);
            text += record;
        }
        return text;
    }
};

}  // namespace history_test
