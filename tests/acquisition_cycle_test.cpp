// The connect cycle over a scripted stack: what goes on air, what a reply
// leaves in the slots, the link table, the series and the history file,
// every way a call fails, scheduling, and ticks run inside a box.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/connect_cycle.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "support/script_network.h"

namespace {

using Lines = std::vector<std::string>;
using Script = std::function<void(int)>;

const std::string kHeading = " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r";
const std::vector<int> kDisconnected = {kL2BeforeSend, kL2AfterSend, kL2Disconnect};

// A link line with its fields at the report's columns.
std::string LinkLine(int port, int tkby, int rkby, int qty, const std::string& name, const char* time = "3/5") {
    std::string line(66, ' ');
    auto put = [&](std::size_t col, const std::string& text) { line.replace(col, text.size(), text); };
    put(1, "1"), put(9, std::to_string(port)), put(27, std::to_string(tkby)), put(32, std::to_string(rkby));
    put(37, std::to_string(qty)), put(54, name), put(61, "0-15");
    return line + time + "\r";
}

// Heading, `links` link lines (link i: port i, QTY 10+i, TKBY 100+base+i,
// RKBY 200+base+i, name QX<i%10>L<i>) and the closing prompt.
Lines Report(int links, int base = 0) {
    Lines lines = {kHeading};
    for (int i = 0; i < links; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "QX%dL%02d", i % 10, i);
        lines.push_back(LinkLine(i, 100 + base + i, 200 + base + i, 10 + i, name));
    }
    lines.push_back("=>\r");
    return lines;
}

struct World {
    ScratchDir dir;
    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& state = *owned;
    FakePort port;
    ScriptNetwork net;

    World() {
        InitScriptState(state, dir.Path);
        EXPECT_TRUE(ReserveHistoryMemory(state));
        std::strcpy(C().CallPath, "QX0TST-2 QX0VIA");
        C().RufAktiv = 1;
        C().MinutenIntervall = 1;
        port.Net = &net;
        port.SetTime(2026, 12, 6, 14, 30);
    }
    ~World() { ReleaseHistoryMemory(state); }
    ChannelRecord& C(int i = 0) { return state.ChannelTable[i]; }
    ScriptLink& L(int h) { return net.Links[static_cast<std::uint16_t>(h)]; }
    std::string File() { return ReadAll(dir.File("QX0TST2.hpw")); }

    // Starts a call with the minute tick and runs `ticks` second ticks, each
    // after `script(tick)`; returns channel 0's state after the minute tick
    // ([0]) and after each second tick.
    std::vector<int> Run(int ticks, const Script& script) {
        MinuteTick(state, port, 0);
        std::vector<int> states = {C().CycleState};
        for (int t = 1; t <= ticks; ++t) {
            script(t);
            CycleTick(state, port);
            states.push_back(C().CycleState);
        }
        return states;
    }
    void Queue(int h, const Lines& lines) {
        for (const std::string& l : lines) net.QueueText(static_cast<std::uint16_t>(h), l);
    }
    // Link `h` is up at tick 3; a prompt and `lines` come for the first
    // reading tick.
    Script Sends(int h, const Lines& lines) {
        return [this, h, lines](int t) {
            if (t == 3) L(h).State = 5;
            if (t == 5) Queue(h, {"=>\r"}), Queue(h, lines);
        };
    }
    // The normal digipeater: up at tick 3, banner and prompt at 5, report at 6.
    Script GoodCall(int h, int links = 2, int base = 0) {
        return [this, h, links, base](int t) {
            if (t == 3) L(h).State = 5;
            if (t == 5) Queue(h, {"QX0TST-2 FlexNet digipeater\r", "=>\r"});
            if (t == 6) Queue(h, Report(links, base));
        };
    }
};

TEST(ConnectCycle, GoodCallSendsTheCommandStoresTheReplyAndDisconnects) {
    World w;
    w.net.StatHighBits = 0x18;  // status bits above data and link state mean nothing
    w.Run(12, w.GoodCall(1));
    EXPECT_EQ(w.net.Calls, Lines{"connect QX0OWN|QX0TST-2 QX0VIA"});
    EXPECT_EQ(w.L(1).Sent, Lines{"p\n\n"});
    EXPECT_EQ(w.L(1).Commands, kDisconnected);
    EXPECT_EQ(w.L(1).Released, 6);
    const ChannelRecord& c = w.C();
    EXPECT_EQ(c.CycleState, 0);
    EXPECT_EQ((std::vector<int>{c.ReplyLineCount, c.RestoreLineCount, c.RepeatLineCount}), (std::vector<int>{4, 4, 4}));
    EXPECT_EQ(std::string(c.ReplyLines[0]), kHeading + "\n") << "banner and first prompt are gone";
    EXPECT_EQ(std::string(c.ReplyLines[3]), "=>\r\n");
    EXPECT_STREQ(c.LinkTable[kColName][1], "QX0L00");
    EXPECT_STREQ(c.LinkTable[kColTkby][2], "101");
    EXPECT_STREQ(c.LinkTable[kColQty][2], "11");
    EXPECT_EQ(w.File(), "2  QX0L00 0-15      QX1L01 0-15      \r\n"
                        "06.12.26 14:30 0 100 200 10 3 5 1 1 101 201 11 3 5 1 ");
    EXPECT_EQ(c.RecordCount, 1);
    EXPECT_EQ(w.state.NextRecordIndex[0], 1);
    EXPECT_EQ(HistorySlot(w.state, 0, 0)->Links[1].Rkby, 201);
    EXPECT_EQ(w.port.Repaints, std::vector<bool>{true});
    EXPECT_TRUE(w.port.Boxes.empty());
}

// Every way a call fails, first before any reply has completed (nothing is
// stored), then after one: each failed call but a given-up one repeats the
// last good reply with its own start time and code 6.
TEST(ConnectCycle, FailedCallsRepeatTheLastGoodReplyWithCodeSix) {
    using Call = std::function<void(World&, int, int)>;  // world, handle, tick
    auto up = [](World& w, int h, int t) { if (t == 2) w.L(h).State = 5; };
    const Lines command = {"p\n\n"};
    const struct {
        const char* name;
        Call script;
        Lines sent;
        std::vector<int> commands;
        int repeats;
    } cases[] = {
        {"connect failed", [](World& w, int h, int t) { if (t == 2) w.L(h).State = 0; }, {}, {}, 1},
        {"connect given up", [](World& w, int h, int t) { if (t == 3) w.L(h).State = 1; }, {}, {}, 0},
        {"no prompt within 180 reading ticks", up, command, kDisconnected, 1},
        {"no closing prompt within 180 reading ticks",
         [up](World& w, int h, int t) {
             up(w, h, t);
             if (t == 10) w.Queue(h, {"=>\r", kHeading});
         },
         command, kDisconnected, 1},
        // The repeat parses the slots as this reply left them: same values.
        {"reply too long", [](World& w, int h, int t) { w.Sends(h, Report(18, 10))(t); }, command, kDisconnected, 1},
        {"transmit space refused twice",
         [up](World& w, int h, int t) {
             up(w, h, t);
             if (t == 2) w.L(h).Grants = {0, 0};
         },
         command, {14, 7, 14, 7, 14, 7, 4}, 1},
    };
    World w;
    std::string file = "3  QX0L00 0-15      QX1L01 0-15      QX2L02 0-15      ";
    std::vector<std::vector<int>> records;  // minute, base, code
    int minute = 0;
    auto run = [&](const Call& script) {
        w.port.SetTime(2026, 12, 6, 15, ++minute);
        const int h = w.net.NextHandle;
        EXPECT_EQ(w.Run(200, [&](int t) { script(w, h, t); }).back(), 0);
        return h;
    };
    auto stored = [&](int base, int code) {
        char line[200];
        std::snprintf(line, sizeof line, "\r\n06.12.26 15:%02d 0 %d %d 10 3 5 %d 1 %d %d 11 3 5 %d 2 %d %d 12 3 5 %d ",
                      minute, 100 + base, 200 + base, code, 101 + base, 201 + base, code, 102 + base, 202 + base, code);
        file += line;
        records.push_back({minute, base, code});
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        const int h = run(k.script);
        EXPECT_EQ(w.L(h).Sent, k.sent);
        EXPECT_EQ(w.L(h).Commands, k.commands);
    }
    EXPECT_EQ(w.File(), "");
    EXPECT_EQ(w.C().RecordCount, 0);
    EXPECT_TRUE(w.port.Repaints.empty());
    auto good = [](int base) { return [base](World& world, int h, int t) { world.GoodCall(h, 3, base)(t); }; };
    run(good(10));
    stored(10, 1);
    for (const auto& k : cases) {
        run(k.script);
        if (k.repeats) stored(10, 6);
    }
    run(good(20));
    stored(20, 1);
    run(cases[0].script);
    stored(20, 6);
    EXPECT_EQ(w.File(), file);
    ASSERT_EQ(w.C().RecordCount, static_cast<int>(records.size()));
    EXPECT_EQ(w.state.NextRecordIndex[0], w.C().RecordCount);
    EXPECT_EQ(w.port.Repaints, std::vector<bool>(records.size(), true));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const HistoryRecord* r = HistorySlot(w.state, 0, static_cast<int>(i));
        EXPECT_EQ((std::vector<int>{r->Minute, r->Links[1].Tkby - 101, r->Links[2].LinkState}), records[i]) << i;
        EXPECT_STREQ(r->Links[1].Name, "QX1L01");
    }
}

TEST(ConnectCycle, SeventeenLinksFitAndEighteenRepeatTheLastReply) {
    World w;
    w.Run(12, w.GoodCall(1, 17));
    EXPECT_EQ(w.C().ReplyLineCount, 19);
    EXPECT_EQ(w.C().RepeatLineCount, 19);
    EXPECT_EQ(std::string(w.C().ReplyLines[18]), "=>\r\n");
    w.port.SetTime(2026, 12, 6, 14, 31);
    w.Run(12, w.GoodCall(2, 18));  // the 19th line is not the prompt
    EXPECT_EQ(w.C().ReplyLineCount, 19) << "restored from the last complete reply";
    EXPECT_EQ(w.L(2).Commands, kDisconnected);
    ASSERT_EQ(w.C().RecordCount, 2);
    EXPECT_EQ(HistorySlot(w.state, 0, 1)->Minute, 31);
    EXPECT_EQ(HistorySlot(w.state, 0, 1)->Links[16].LinkState, 6);
    EXPECT_EQ(HistorySlot(w.state, 0, 1)->Links[16].Tkby, 116);
}

// A slot is not cleared before a frame is copied in: its old line (here
// "ooo…" with CR LF at 50) shows through behind a short frame without CR.
TEST(ConnectCycle, LongFramesAreCutToTheirSlot) {
    const std::string x120(120, 'x');
    auto crAt = [&](std::size_t at) { return std::string(x120).replace(at, 1, "\r"); };
    const struct {
        const char* name;
        std::string text;
        std::string stored;
    } cases[] = {
        {"120 bytes without CR", x120, std::string(98, 'x') + "\n"},
        {"CR at 60", crAt(60), std::string(60, 'x') + "\r\n"},
        {"CR at 97 is the last one kept", crAt(97), std::string(97, 'x') + "\r\n"},
        {"CR at 98 lies beyond the cut", crAt(98), std::string(98, 'x') + "\n"},
        {"short line without CR", "AB", "AB" + std::string(48, 'o') + "\r\n"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        std::memset(w.C().ReplyLines[0], 'o', kReplySlotSize);
        std::memcpy(w.C().ReplyLines[0] + 50, "\r\n", 3);
        w.Run(10, w.Sends(1, {k.text, "=>\r"}));
        EXPECT_EQ(std::string(w.C().ReplyLines[0]), k.stored);
        EXPECT_EQ(w.C().ReplyLineCount, 2);
    }
}

TEST(ConnectCycle, PromptsAfterTheReplyEndsChangeNothing) {
    for (const int links : {1, 18}) {  // complete (state 6), overflowing (state 8)
        SCOPED_TRACE(links);
        World w;
        Lines lines = Report(links);
        lines.insert(lines.end(), {"=>\r", "=> more\r", "text after\r"});
        EXPECT_EQ(w.Run(5, w.Sends(1, lines)).back(), links == 1 ? 6 : 8);
        EXPECT_EQ(w.C().ReplyLineCount, links == 1 ? 3 : 19);
        if (links == 1) {
            EXPECT_EQ(w.L(1).Released, 7) << "every frame is taken and released";
        }
    }
}

TEST(ConnectCycle, The180thReadingTickReadsAndThe181stFails) {
    World w;
    const std::vector<int> states = w.Run(185, [&](int t) {
        if (t == 3) w.L(1).State = 5;
        if (t == 184) w.Queue(1, {"=>\r", kHeading});  // reading ticks are 5..184
        if (t == 185) w.Queue(1, {"=>\r", "late\r"});
    });
    EXPECT_EQ(states[183], 4);
    EXPECT_EQ(states[184], 5);
    EXPECT_EQ(w.C().ReplyLineCount, 1);
    EXPECT_EQ(states[185], 7);
    EXPECT_EQ(w.L(1).Frames.size(), 2u) << "the 181st tick reads nothing";
}

// Frames a stack should not send: each tick reads a bounded number, null
// frames are not released, and frames too short for "=>" are no prompt.
TEST(ConnectCycle, OddFramesAreReadWithinBounds) {
    const struct {
        const char* name;
        std::function<void(ScriptLink&)> atReading;
        int state, reads, released;
    } cases[] = {
        {"flood", [](ScriptLink& l) { l.Frames.assign(200, MakeFrame("noise\r")); }, 4, 64, 64},
        {"data bit stuck, no frame", [](ScriptLink& l) { l.StuckDataBit = 1; }, 4, 64, 0},
        {"null frames before the prompt",
         [](ScriptLink& l) {
             l.NullFrames = 3;
             l.Frames.push_back(MakeFrame("=>\r"));
         },
         5, 4, 1},
        {"counts too short for a prompt",
         [](ScriptLink& l) { l.Frames = {MakeFrame("=>", 1), MakeFrame("", 0)}; }, 4, 2, 2},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        w.Run(5, [&](int t) {
            if (t == 3) w.L(1).State = 5;
            if (t == 5) k.atReading(w.L(1));
        });
        EXPECT_EQ(w.C().CycleState, k.state);
        EXPECT_EQ(w.L(1).Reads, k.reads);
        EXPECT_EQ(w.L(1).Released, k.released);
    }
}

// --- recording ------------------------------------------------------------

TEST(ConnectCycle, CutShortReplyIsRepeatedFromItsOverwrittenSlots) {
    World w;
    w.Run(12, w.GoodCall(1));
    w.port.SetTime(2026, 12, 6, 14, 41);
    w.Run(200, w.Sends(2, {kHeading, LinkLine(0, 555, 666, 77, "QX0L00", "(8/9)")}));
    ASSERT_EQ(w.C().RecordCount, 2);
    const HistoryRecord* r = HistorySlot(w.state, 0, 1);
    EXPECT_EQ((std::vector<int>{r->Links[0].Tkby, r->Links[0].Qty, r->Links[0].LinkState, r->Links[1].Tkby}),
              (std::vector<int>{555, 77, 6, 101}));
    EXPECT_EQ(w.C().ReplyLineCount, 4);
}

TEST(ConnectCycle, ChangedLinkListStartsANewFileWithThisCall) {
    World w;
    w.Run(12, w.GoodCall(1, 2));
    w.port.SetTime(2026, 12, 6, 14, 31);
    w.Run(12, w.GoodCall(2, 3));
    ASSERT_EQ(w.port.Boxes.size(), 1u) << "the rotation is told";
    EXPECT_FALSE(w.port.Boxes[0].Asked);
    EXPECT_EQ(w.C().RecordCount, 1);
    EXPECT_EQ(w.state.NextRecordIndex[0], 1);
    EXPECT_EQ(w.C().RepeatLineCount, 5);
    EXPECT_EQ(w.File(), "3  QX0L00 0-15      QX1L01 0-15      QX2L02 0-15      \r\n"
                        "06.12.26 14:31 0 100 200 10 3 5 1 1 101 201 11 3 5 1 2 102 202 12 3 5 1 ");
    EXPECT_TRUE(FileExists(w.dir.File("QX0TST2.hp0")));
    w.port.SetTime(2026, 12, 6, 14, 32);
    w.Run(12, w.GoodCall(3, 3));
    EXPECT_EQ(w.state.NextRecordIndex[0], 2);
    EXPECT_EQ(HistorySlot(w.state, 0, 1)->Minute, 32);
}

TEST(ConnectCycle, NextRecordIndexNeverPassesTheCapacity) {
    for (const auto& k : {std::vector<int>{23998, 23999, 23998}, {23999, 24000, 23999}, {24000, 24000, 23999}}) {
        SCOPED_TRACE(k[0]);  // index before, after, slot written
        World w;
        w.state.NextRecordIndex[0] = w.C().RecordCount = k[0];
        w.port.SetTime(2026, 12, 6, 14, 33);
        w.Run(12, w.GoodCall(1));
        EXPECT_EQ(w.state.NextRecordIndex[0], k[1]);
        EXPECT_EQ(w.C().RecordCount, k[2] + 1);
        EXPECT_EQ(HistorySlot(w.state, 0, k[2])->Minute, 33);
    }
}

// A failed save warns and the call goes on. A real modal box runs a nested
// loop in which further ticks arrive; the fake runs them inside the box.
TEST(ConnectCycle, TicksInsideTheSaveWarningNeitherStoreTwiceNorTouchTheCall) {
    World w;
    std::snprintf(w.state.DataDir, sizeof w.state.DataDir, "%s/missing", w.dir.Path.c_str());
    std::strcpy(w.C(1).CallPath, "QX0ABC");
    w.C(1).RufAktiv = 1;
    w.C(1).MinutenIntervall = 1;
    int nested = 0;
    w.port.WhileBoxOpen = [&] {
        ++nested;
        for (int i = 0; i < 3; ++i) CycleTick(w.state, w.port);
        MinuteTick(w.state, w.port, 0);
        MinuteTick(w.state, w.port, 1);  // an immediate request for channel 0, too
        for (int i = 0; i < 3; ++i) CycleTick(w.state, w.port);
    };
    const Script good = w.GoodCall(1);
    const std::vector<int> states = w.Run(12, [&](int t) {
        good(t);
        if (t == 3) w.L(2).State = 5;  // channel 1 connects meanwhile
    });
    EXPECT_EQ(states.back(), 0);
    EXPECT_EQ(nested, 1);
    ASSERT_EQ(w.port.Boxes.size(), 1u);
    EXPECT_EQ(w.port.Boxes[0].Text,
              "Impossible to save data,\nbecause the File is already opened by another application!");
    EXPECT_EQ(w.port.Boxes[0].Caption, "hopwin");
    EXPECT_EQ(w.port.Boxes[0].Icon, BoxIcon::Warning);
    EXPECT_FALSE(w.port.Boxes[0].Asked);
    EXPECT_EQ(w.port.Repaints, std::vector<bool>{true});
    EXPECT_EQ(w.C().RecordCount, 1) << "the in-memory record stays";
    EXPECT_EQ(w.L(1).Commands, kDisconnected);
    EXPECT_EQ(w.net.Calls.size(), 2u) << "no new call on channel 0 while its record is stored";
    // Channel 1 went on inside the box: 8 reading ticks outside, 6 inside.
    EXPECT_EQ(w.state.WaitTicks[1], 14);
}

TEST(ConnectCycle, RepeatInsideTheSaveWarningIsStoredOnce) {
    World w;
    w.Run(12, w.GoodCall(1));
    std::snprintf(w.state.DataDir, sizeof w.state.DataDir, "%s/missing", w.dir.Path.c_str());
    w.port.WhileBoxOpen = [&] {
        for (int i = 0; i < 5; ++i) CycleTick(w.state, w.port);
        MinuteTick(w.state, w.port, 1);
    };
    EXPECT_EQ(w.Run(8, [&](int t) { if (t == 2) w.L(2).State = 0; }).back(), 0);
    EXPECT_EQ(w.port.Boxes.size(), 1u);
    EXPECT_EQ(w.C().RecordCount, 2);
    EXPECT_EQ(w.net.Calls.size(), 2u) << "no call started while the box was open";
}

// --- scheduling -------------------------------------------------------------

TEST(ConnectCycle, MinuteCountingAndSkippedSlots) {
    const struct {
        const char* name;
        int interval, rufAktiv;
        const char* mycall;
        int busyState, minutes;
        std::vector<int> want;  // CycleState, MinuteCount, MinutenIntervall
    } cases[] = {
        {"interval 0 becomes 1 and calls", 0, 1, "QX0OWN", 0, 1, {1, 0, 1}},
        {"interval 3, two minutes", 3, 1, "QX0OWN", 0, 2, {0, 2, 3}},
        {"interval 3, third minute calls", 3, 1, "QX0OWN", 0, 3, {1, 0, 3}},
        {"busy channel skips the slot", 2, 1, "QX0OWN", 5, 2, {5, 0, 2}},
        {"inactive channel skips the slot", 2, 0, "QX0OWN", 0, 2, {0, 0, 2}},
        {"empty Mycall skips the slot", 2, 1, "", 0, 2, {0, 0, 2}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        ChannelRecord& c = w.C();
        c.MinutenIntervall = k.interval;
        c.RufAktiv = static_cast<std::uint8_t>(k.rufAktiv);
        std::strcpy(w.state.Mycall, k.mycall);
        c.CycleState = static_cast<std::uint8_t>(k.busyState);
        for (int m = 0; m < k.minutes; ++m) MinuteTick(w.state, w.port, 0);
        EXPECT_EQ((std::vector<int>{c.CycleState, c.MinuteCount, c.MinutenIntervall}), k.want);
    }
}

TEST(ConnectCycle, ImmediateRequestCallsTheCurrentChannelOnly) {
    World w;
    ChannelRecord& c = w.C(2);
    std::strcpy(c.CallPath, "QX0ABC");
    c.RufAktiv = 1;
    c.MinutenIntervall = w.C(0).MinutenIntervall = 5;
    c.MinuteCount = 3;
    w.C(0).MinuteCount = 2;
    w.state.CurrentChannel = 2;
    c.LastMin = 17;
    c.LastHour = 9;
    w.port.SetTime(2031, 1, 2, 3, 4);
    MinuteTick(w.state, w.port, 1);
    // The start time is stamped, the one before kept; no other channel counts.
    EXPECT_EQ((std::vector<int>{c.CycleState, c.MinuteCount, c.PrevMin, c.PrevHour, c.LastMin, c.LastHour,
                                c.LastConDay, c.LastConMonth, c.LastConYear, w.C(0).MinuteCount, w.C(0).CycleState}),
              (std::vector<int>{1, 0, 17, 9, 4, 3, 2, 1, 31, 2, 0}));
    // On a busy channel only the count restarts.
    c.CycleState = 4;
    c.MinuteCount = 2;
    w.port.SetTime(2026, 12, 6, 16, 0);
    MinuteTick(w.state, w.port, 1);
    EXPECT_EQ((std::vector<int>{c.CycleState, c.MinuteCount, c.LastMin}), (std::vector<int>{4, 0, 4}));
}

TEST(ConnectCycle, ChannelsCallInOrderEachOnItsOwnLink) {
    World w;
    Lines want;
    for (int i = 0; i < kChannelCount; ++i) {
        std::snprintf(w.C(i).CallPath, sizeof w.C(i).CallPath, "QX0CH%d", i);
        w.C(i).RufAktiv = 1;
        w.C(i).MinutenIntervall = 1;
        want.push_back("connect QX0OWN|QX0CH" + std::to_string(i));
    }
    w.Run(1, [](int) {});
    EXPECT_EQ(w.net.Calls, want);
    for (int i = 0; i < kChannelCount; ++i) EXPECT_EQ(w.C(i).L2Channel, i + 1);
}

}  // namespace
