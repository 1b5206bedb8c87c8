// Helpers shared by the history tests: a private temporary data directory,
// a state with its memory reserved, and link tables built from report lines
// with the fields at the parser's text columns.
#pragma once

#include <gtest/gtest.h>

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
#include "shell/channel_table.h"
#include "support/fake_port.h"

namespace history_test {

inline void PinEnvironment() {
    setenv("TZ", "UTC", 1);
    setenv("LC_ALL", "C", 1);
    std::setlocale(LC_ALL, "C");
}

struct TempDir {
    std::string Path;
    TempDir() {
        char name[] = "/tmp/hopwatch-history-XXXXXX";
        const char* made = mkdtemp(name);
        Path = made ? made : "";
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

// One link of a report as the digipeater prints it.
struct Link {
    std::string Port;   // text column 9
    std::string Tkby;   // 27
    std::string Rkby;   // 32
    std::string Qty;    // 37
    std::string Name;   // 54
    std::string Ident;  // 61
    std::string Time;   // 66
};

// A reply line with each field placed at its text column, ended by CR LF.
inline std::string ReportLine(const Link& l) {
    std::string line(66, ' ');
    auto put = [&line](std::size_t column, const std::string& text) {
        line.replace(column, text.size(), text);
    };
    put(0, "  L1");
    put(9, l.Port);
    put(27, l.Tkby);
    put(32, l.Rkby);
    put(37, l.Qty);
    put(54, l.Name);
    put(61, l.Ident);
    return line + l.Time + "\r\n";
}

inline void StoreLine(ChannelRecord& c, int row, const std::string& text) {
    std::memset(c.ReplyLines[row], 0, kReplySlotSize);
    std::memcpy(c.ReplyLines[row], text.data(), std::min<std::size_t>(text.size(), kReplySlotSize - 1));
}

// A complete reply (heading, links, prompt) stored and parsed as the connect
// cycle does it.
inline void SetReport(ChannelRecord& c, const std::vector<Link>& links) {
    std::vector<std::string> lines;
    lines.push_back("Link report of the test digipeater\r\n");
    for (const Link& l : links) lines.push_back(ReportLine(l));
    lines.push_back("=>\r\n");
    c.ReplyLineCount = 0;
    for (const std::string& line : lines) {
        StoreLine(c, c.ReplyLineCount, line);
        ClearLinkRow(c);
        ParseLinkRow(c, c.ReplyLineCount);
        ++c.ReplyLineCount;
    }
}

inline void SetStart(ChannelRecord& c, int day, int month, int year, int hour, int minute) {
    c.LastConDay = day;
    c.LastConMonth = month;
    c.LastConYear = year;
    c.LastHour = hour;
    c.LastMin = minute;
}

// The two links of the worked example.
inline std::vector<Link> ExampleLinks() {
    return {{"7", "120", "340", "12", "QX0AAA", "p1", "3/5"},
            {"2", "15", "22", "0", "QX0BBB", "p2", "(40/60)"}};
}

// The worked example's file: its header and its two records, the second
// one of a failed connect.
inline const std::string kHeader = "2  QX0AAA p1      QX0BBB p2      ";
inline const std::string kRecord1 = "\r\n06.12.26 14:30 7 120 340 12 3 5 1 2 15 22 0 40 60 2 ";
inline const std::string kRecord2 = "\r\n06.12.26 14:40 7 120 340 12 3 5 6 2 15 22 0 40 60 6 ";
inline const std::string kExampleFile = kHeader + kRecord1 + kRecord2;

inline std::string Cell(const ChannelRecord& c, int column, int row) {
    return std::string(c.LinkTable[column][row]);
}

// A fresh state with its memory reserved and its data directory in a
// private temporary folder; channel 0 calls QX0TST-2 via QX0VIA.
struct HistoryTest : ::testing::Test {
    std::unique_ptr<AppState> Owned = std::make_unique<AppState>();
    AppState& State = *Owned;
    FakePort Port;
    TempDir Dir;

    void SetUp() override {
        PinEnvironment();
        ASSERT_FALSE(Dir.Path.empty());
        InitAppState(State);
        ASSERT_EQ(ReserveHistoryMemory(State), 1);
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", Dir.Path.c_str());
        ChannelRecord& c = Channel();
        std::snprintf(c.CallPath, sizeof c.CallPath, "QX0TST-2 QX0VIA");
        c.RufAktiv = 1;
    }
    void TearDown() override { ReleaseHistoryMemory(State); }

    ChannelRecord& Channel(int i = 0) { return State.ChannelTable[i]; }

    // One recorded connect, as the connect cycle stores it.
    int Connect(int day, int month, int year, int hour, int minute, int cycleState = 10, int ch = 0) {
        ChannelRecord& c = Channel(ch);
        SetStart(c, day, month, year, hour, minute);
        c.CycleState = static_cast<std::uint8_t>(cycleState);
        return RecordConnect(State, Port, ch);
    }

    // A file of `records` records with the example's two links.
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
