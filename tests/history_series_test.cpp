// The in-memory series and the loader: the worked example written byte for
// byte and read back, the Load File sequence, the size prompt after a load,
// and the scroll step.
#include <string>

#include "history_support.h"

namespace {

using namespace history_test;

using HistorySeries = HistoryTest;

// A record as "dd.mm.yy hh:mm" and, per link, name and values.
std::string Text(const HistoryRecord& r, int links) {
    char text[160];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d %02d:%02d", r.Day, r.Month, r.Year, r.Hour, r.Minute);
    std::string all = text;
    for (int l = 0; l < links; ++l) {
        const LinkSample& s = r.Links[l];
        std::snprintf(text, sizeof text, " %s %d %d %d %d %d %d", s.Name, s.Qty, s.Tkby, s.Rkby, s.TxTim,
                      s.RxTim, s.LinkState);
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
    EXPECT_EQ(Text(*HistorySlot(State, 0, 0), 2),
              "06.12.26 14:30 QX0AAA 12 120 340 3 5 1 QX0BBB 0 15 22 40 60 2");
    EXPECT_EQ(Text(*HistorySlot(State, 0, 1), 2),
              "06.12.26 14:40 QX0AAA 12 120 340 3 5 6 QX0BBB 0 15 22 40 60 6");
    // The last connect and the link table are the file's last record, with
    // the placeholder in the time column.
    EXPECT_EQ(std::vector<int>({c.LastConDay, c.LastConMonth, c.LastConYear, c.LastHour, c.LastMin}),
              std::vector<int>({6, 12, 26, 14, 40}));
    const char* rows[2][7] = {{"12", "08/15", "QX0AAA", "120", "7", "p1", "340"},
                              {"0", "08/15", "QX0BBB", "15", "2", "p2", "22"}};
    for (int r = 1; r <= 2; ++r) {
        for (int column = 0; column < kLinkColumns; ++column)
            EXPECT_EQ(Cell(c, column, r), rows[r - 1][column]);
    }

    // The next connect continues the series and the file from the loaded
    // link table ("08/15" converts as a/b).
    EXPECT_EQ(Connect(14, 50), 1);
    EXPECT_EQ(c.RecordCount, 3);
    EXPECT_EQ(Text(*HistorySlot(State, 0, 2), 2),
              "06.12.26 14:50 QX0AAA 12 120 340 8 15 1 QX0BBB 0 15 22 8 15 1");
    EXPECT_EQ(Read(), kExampleFile + "\r\n06.12.26 14:50 7 120 340 12 08 15 1 2 15 22 0 08 15 1 ");
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
    EXPECT_EQ(Port.Boxes[0].Icon, BoxIcon::Warning);
    EXPECT_EQ(Channel.RecordCount, 1);
    EXPECT_EQ(Channel.ReplyLineCount, 4);

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
// OK moves the file away, says so and discards the series.
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
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0], Channel.ScrollStep}),
              std::vector<int>({1002, 1002, 50}));
    EXPECT_EQ(HistorySlot(State, 0, 1000)->Links[0].TxTim, 3);
    EXPECT_EQ(HistorySlot(State, 0, 1001)->Hour, 9);
    Port.Answers = {BoxAnswer::Ok};
    LoadFileSequence(State, Port, 0);
    EXPECT_EQ(std::vector<int>({Channel.RecordCount, State.NextRecordIndex[0], Exists(kFile)}),
              std::vector<int>({0, 0, 0}));
    EXPECT_EQ(Read("QX0TST2.hp0").substr(0, ManyRecords(1001).size()), ManyRecords(1001));
    ASSERT_EQ(Port.Boxes.size(), 3u);
    for (int i : {0, 1}) {
        EXPECT_EQ(Port.Boxes[i].Line(), kCaption + std::string(" asks: ") + SizePrompt(1, File()));
        EXPECT_TRUE(Port.Boxes[i].Buttons == BoxButtons::OkCancel && Port.Boxes[i].Icon == BoxIcon::Warning);
    }
    EXPECT_EQ(Port.Boxes[2].Line(),
              kCaption + std::string(" tells: The file has been renamed to ") + File("QX0TST2.hp0") + " !");
}

TEST(ScrollStep, FollowsTheRecordCount) {
    const int cases[][2] = {{0, 24}, {1, 24}, {500, 24}, {501, 25}, {1000, 50}, {24000, 1200}};
    for (const auto& k : cases) EXPECT_EQ(ScrollStepFor(k[0]), k[1]) << k[0];
}

}  // namespace
