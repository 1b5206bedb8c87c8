// The connect cycle over a scripted stack: the tick on which every state is
// entered on each path, what a reply leaves in the slots and the link
// table, the records a run of good and failed calls leaves in memory and in
// the history file, scheduling, and re-entry from a box's nested loop.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/connect_cycle.h"
#include "history/history_series.h"
#include "support/fake_port.h"
#include "support/script_network.h"

namespace {

// A link line with its fields at the report's columns.
std::string LinkLine(int port, int tkby, int rkby, int qty, const char* name, const char* ident, const char* time) {
    char line[100];
    std::memset(line, ' ', sizeof line);
    auto put = [&](int col, const std::string& text) { std::memcpy(line + col, text.data(), text.size()); };
    put(1, "1");
    put(9, std::to_string(port));
    put(27, std::to_string(tkby));
    put(32, std::to_string(rkby));
    put(37, std::to_string(qty));
    put(54, name);
    put(61, ident);
    put(66, time);
    return std::string(line, 66 + std::strlen(time)) + "\r";
}

const std::string kHeading = " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r";
const std::string kPrompt = "=>\r";

// Heading, `links` link lines and the closing prompt.
std::vector<std::string> Report(int links, int base = 0) {
    std::vector<std::string> lines = {kHeading};
    for (int i = 0; i < links; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "QX%dL%02d", i % 10, i);
        lines.push_back(LinkLine(i, 100 + base + i, 200 + base + i, 10 + i, name, "0-15", "3/5"));
    }
    lines.push_back(kPrompt);
    return lines;
}

struct Transition {
    int Tick;
    int State;
    bool operator==(const Transition& o) const { return Tick == o.Tick && State == o.State; }
};

std::ostream& operator<<(std::ostream& os, const Transition& t) {
    return os << "(" << t.Tick << "," << t.State << ")";
}

struct CycleFixture : ::testing::Test {
    void SetUp() override {
        port = FakePort();
        net = ScriptNetwork();
        dir = InitScratchState(state);
        ASSERT_FALSE(dir.empty());
        for (int i = 0; i < kChannelCount; ++i) {
            ResetChannelCounters(state.ChannelTable[i]);
            SetChannelViewDefaults(state.ChannelTable[i]);
            ASSERT_TRUE(ReserveArea(state.HistoryArea[i], kHistoryAreaBytes));
        }
        ChannelRecord& c = Channel();
        std::strcpy(c.CallPath, "QX0TST-2 QX0VIA");
        c.RufAktiv = 1;
        c.MinutenIntervall = 1;
        port.Net = &net;
        net.DisconnectDrops = 1;
        port.SetTime(2026, 12, 6, 14, 30);
    }
    void TearDown() override {
        for (int i = 0; i < kChannelCount; ++i) ReleaseArea(state.HistoryArea[i]);
        std::filesystem::remove_all(dir);
    }
    // A fresh world for the next case of a table.
    void Fresh() {
        TearDown();
        SetUp();
    }
    // History files can no longer be opened for appending.
    void BreakDataDir() { std::snprintf(state.DataDir, sizeof state.DataDir, "%s/missing", dir.c_str()); }

    ChannelRecord& Channel(int i = 0) { return state.ChannelTable[i]; }
    int StateOf(int i = 0) { return state.ChannelTable[i].CycleState; }

    void Queue(std::uint16_t h, const std::vector<std::string>& lines) {
        for (const std::string& l : lines) net.QueueText(h, l);
    }

    // Starts a call with the minute tick (tick 0) and runs second ticks
    // 1..ticks, calling `before(tick)` ahead of each; returns the tick on
    // which each new state of channel 0 was entered. The overflow step
    // passes through 7 within its tick; that passage is listed as well.
    std::vector<Transition> Run(int ticks, const std::function<void(int)>& before) {
        std::vector<Transition> out;
        int last = StateOf();
        MinuteTick(state, port, 0);
        if (StateOf() != last) out.push_back({0, last = StateOf()});
        for (int t = 1; t <= ticks; ++t) {
            before(t);
            const int was = StateOf();
            CycleTick(state, port);
            if (was == 8) out.push_back({t, 7});
            if (StateOf() != last) out.push_back({t, last = StateOf()});
        }
        return out;
    }

    // A digipeater that is up at tick 3 and sends `lines` for the first
    // reading tick (5).
    std::function<void(int)> Sends(std::uint16_t h, const std::vector<std::string>& lines) {
        return [this, h, lines](int t) {
            if (t == 3) net.Links[h].State = 5;
            if (t == 5) Queue(h, lines);
        };
    }
    // The normal digipeater: up at tick 3, banner at 5, reply at 6.
    std::function<void(int)> GoodCall(std::uint16_t h, int links = 2, int base = 0) {
        return [this, h, links, base](int t) {
            if (t == 3) net.Links[h].State = 5;
            if (t == 5) Queue(h, {"QX0TST-2 FlexNet digipeater\r", "=>\r"});
            if (t == 6) Queue(h, Report(links, base));
        };
    }

    std::string HistoryFile() {
        std::ifstream in(dir + "/QX0TST2.hpw", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    AppState state;
    FakePort port;
    ScriptNetwork net;
    std::string dir;
};

TEST_F(CycleFixture, GoodCallEntersEachStateOnItsTick) {
    net.StatHighBits = 0x18;  // status bits above data and link state mean nothing
    const std::vector<Transition> got = Run(12, GoodCall(1));
    const std::vector<Transition> want = {{0, 1}, {1, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 9}, {8, 11}, {9, 0}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(net.Trace(1), (std::vector<std::string>{
                                "connect", "stat", "stat",                        // ticks 1-3
                                "bef:14", "ialloc:256", "puts:p\n\n", "bef:7",   // tick 4
                                "stat", "get_i", "bef:15", "stat", "get_i", "bef:15",
                                "stat",  // tick 5: banner, prompt
                                "stat", "get_i", "bef:15", "stat", "get_i", "bef:15", "stat", "get_i", "bef:15",
                                "stat", "get_i", "bef:15",
                                "stat",          // tick 6: heading, two links, prompt
                                "bef:4",         // tick 8
                                "stat"}));      // tick 9
    EXPECT_EQ(net.Calls[0].Text, "QX0OWN|QX0TST-2 QX0VIA");
    const ChannelRecord& c = Channel();
    EXPECT_EQ(c.ReplyLineCount, 4);
    EXPECT_EQ(c.RestoreLineCount, 4);
    EXPECT_EQ(c.RepeatLineCount, 4);
    EXPECT_EQ(state.NextRecordIndex[0], 1);
    EXPECT_EQ(c.RecordCount, 1);
    EXPECT_EQ(port.Repaints, std::vector<bool>{true});
    EXPECT_TRUE(port.Boxes.empty());
    // Banner and first prompt are gone; line 0 is the heading.
    EXPECT_EQ(std::string(c.ReplyLines[0]), kHeading + "\n");
    EXPECT_EQ(std::string(c.ReplyLines[3]), "=>\r\n");
    EXPECT_STREQ(c.LinkTable[2][1], "QX0L00");
    EXPECT_STREQ(c.LinkTable[3][2], "101");
    EXPECT_STREQ(c.LinkTable[0][2], "11");
}

struct PathCase {
    const char* name;
    std::function<void(CycleFixture&, int)> script;
    std::vector<Transition> want;
    std::vector<int> befCodes;
};

TEST_F(CycleFixture, FailurePathsEnterEachStateOnItsTick) {
    auto up = [](CycleFixture& f, int t) {
        if (t == 2) f.net.Links[1].State = 5;
    };
    const std::vector<PathCase> cases = {
        {"connect failed", [](CycleFixture& f, int t) { if (t == 2) f.net.Links[1].State = 0; },
         {{0, 1}, {1, 2}, {2, 7}, {3, 11}, {4, 0}}, {}},
        {"connect given up", [](CycleFixture& f, int t) { if (t == 3) f.net.Links[1].State = 1; },
         {{0, 1}, {1, 2}, {3, 0}}, {}},
        {"no prompt within 180 reading ticks", up,
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {184, 7}, {185, 10}, {186, 11}, {187, 0}}, {14, 7, 4}},
        {"no closing prompt within 180 reading ticks",
         [up](CycleFixture& f, int t) {
             up(f, t);
             if (t == 10) f.Queue(1, {"=>\r", kHeading});
         },
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {10, 5}, {184, 7}, {185, 10}, {186, 11}, {187, 0}},
         {14, 7, 4}},
        {"reply too long",
         [up](CycleFixture& f, int t) {
             up(f, t);
             if (t == 4) f.Queue(1, {"=>\r"});
             if (t == 5) f.Queue(1, Report(18));
         },
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 8}, {6, 7}, {6, 10}, {7, 11}, {8, 0}}, {14, 7, 4}},
        {"transmit space refused twice",
         [up](CycleFixture& f, int t) {
             up(f, t);
             if (t == 2) f.net.Links[1].Grants = {0, 0};
         },
         {{0, 1}, {1, 2}, {2, 3}, {5, 4}, {186, 7}, {187, 10}, {188, 11}, {189, 0}}, {14, 7, 14, 7, 14, 7, 4}},
    };
    for (const PathCase& pc : cases) {
        SCOPED_TRACE(pc.name);
        Fresh();
        EXPECT_EQ(Run(200, [&](int t) { pc.script(*this, t); }), pc.want);
        std::vector<int> codes;  // frame releases left out
        for (int code : net.BefCodes(1))
            if (code != kL2FrameDone) codes.push_back(code);
        EXPECT_EQ(codes, pc.befCodes);
        EXPECT_EQ(Channel().RecordCount, 0) << "no reply has completed yet: nothing is recorded";
        EXPECT_TRUE(port.Repaints.empty());
        EXPECT_TRUE(HistoryFile().empty());
    }
}

TEST_F(CycleFixture, SeventeenLinksFitAndEighteenOverflow) {
    Run(12, GoodCall(1, 17));
    EXPECT_EQ(Channel().ReplyLineCount, 19);
    EXPECT_EQ(Channel().RestoreLineCount, 19);
    EXPECT_EQ(Channel().RepeatLineCount, 19);
    EXPECT_EQ(Channel().RecordCount, 1);
    EXPECT_EQ(std::string(Channel().ReplyLines[18]), "=>\r\n");

    // One link more: the 19th line is not the prompt.
    port.SetTime(2026, 12, 6, 14, 31);
    const std::vector<Transition> got = Run(12, GoodCall(2, 18));
    EXPECT_EQ(got[5], (Transition{6, 8}));
    EXPECT_EQ(Channel().ReplyLineCount, 19) << "restored from the last complete reply";
    EXPECT_EQ(Channel().RecordCount, 2) << "the overflow repeats the last good report";
    EXPECT_EQ(StateOf(), 0);
}

TEST_F(CycleFixture, LongFramesAreCutToTheirSlot) {
    struct FrameCase {
        const char* name;
        std::string text;
        std::string stored;  // the slot up to its NUL
    };
    const std::string x120(120, 'x');
    auto crAt = [&](std::size_t at) { return std::string(x120).replace(at, 1, "\r"); };
    const std::vector<FrameCase> cases = {
        {"120 bytes without CR", x120, std::string(98, 'x') + "\n"},
        {"CR at 60", crAt(60), std::string(60, 'x') + "\r\n"},
        {"CR at 97 is the last one kept", crAt(97), std::string(97, 'x') + "\r\n"},
        {"CR at 98 lies beyond the cut", crAt(98), std::string(98, 'x') + "\n"},
    };
    for (const FrameCase& fc : cases) {
        SCOPED_TRACE(fc.name);
        Fresh();
        Run(10, Sends(1, {"=>\r", fc.text, "=>\r"}));
        EXPECT_EQ(std::string(Channel().ReplyLines[0]), fc.stored);
        EXPECT_EQ(Channel().ReplyLineCount, 2);
    }
}

TEST_F(CycleFixture, StaleSlotBytesAreFoundWhenAShortLineHasNoCr) {
    Run(12, GoodCall(1, 2));
    ASSERT_EQ(std::string(Channel().ReplyLines[1]).substr(0, 10), LinkLine(0, 100, 200, 10, "QX0L00", "0-15", "3/5").substr(0, 10));
    // Next call: line 1 is a frame "AB" without CR; the slot keeps the old
    // line behind it, so its first CR is the old one.
    const std::string old = Channel().ReplyLines[1];
    Run(12, Sends(2, {"=>\r", kHeading, "AB", "=>\r"}));
    EXPECT_EQ(std::string(Channel().ReplyLines[1]), "AB" + old.substr(2));
}

TEST_F(CycleFixture, PromptsInStatesSixAndEightChangeNothing) {
    // Complete reply followed by more prompts in the same tick.
    std::vector<std::string> lines = Report(1);
    lines.insert(lines.begin(), "=>\r");
    lines.insert(lines.end(), {"=>\r", "=> more\r", "text after\r"});
    Run(5, Sends(1, lines));
    EXPECT_EQ(StateOf(), 6);
    EXPECT_EQ(Channel().ReplyLineCount, 3);
    EXPECT_EQ(net.Links[1].Frames.size(), 0u) << "taken and released";
    EXPECT_EQ(net.Count("bef") - 2, 7) << "every frame got command 15";

    // Overflow followed by a prompt in the same tick.
    Fresh();
    lines = Report(18);  // its closing prompt comes as the 20th line
    lines.insert(lines.begin(), "=>\r");
    Run(5, Sends(1, lines));
    EXPECT_EQ(StateOf(), 8);
    EXPECT_EQ(Channel().ReplyLineCount, 19);
}

TEST_F(CycleFixture, The180thReadingTickReadsAndThe181stFails) {
    const std::vector<Transition> got = Run(185, [&](int t) {
        if (t == 3) net.Links[1].State = 5;
        // Reading ticks are 5..184: the 180th is tick 184.
        if (t == 184) Queue(1, {"=>\r", kHeading});
        if (t == 185) Queue(1, {"=>\r", "late\r"});
    });
    EXPECT_EQ(got[4], (Transition{184, 5}));
    EXPECT_EQ(Channel().ReplyLineCount, 1);
    EXPECT_EQ(got[5], (Transition{185, 7}));
    EXPECT_EQ(net.Links[1].Frames.size(), 2u) << "the 181st tick reads nothing";
}

// Frames a stack should not send: each tick reads a bounded number, null
// frames get no command 15, and frames too short for "=>" are no prompt.
TEST_F(CycleFixture, OddFramesAreReadWithinBounds) {
    struct Case {
        const char* name;
        std::function<void(ScriptLink&)> atReading;  // before the first reading tick
        int state;
        int getI;
        std::vector<int> bef;
    };
    std::vector<int> floodBef = {14, 7};
    floodBef.insert(floodBef.end(), kFramesPerTick, 15);
    const std::vector<Case> cases = {
        {"flood", [](ScriptLink& l) { for (int i = 0; i < 200; ++i) l.Frames.push_back(MakeFrame("noise\r")); },
         4, kFramesPerTick, floodBef},
        {"data bit stuck, no frame", [](ScriptLink& l) { l.StuckDataBit = 1; }, 4, kNullFramesPerTick, {14, 7}},
        {"null frames before the prompt",
         [](ScriptLink& l) {
             l.NullFrames = 3;
             l.Frames.push_back(MakeFrame("=>\r"));
         },
         5, 4, {14, 7, 15}},
        {"counts too short for a prompt",
         [](ScriptLink& l) {
             l.Frames.push_back(MakeFrame("=>", 1));  // only '=' counts
             l.Frames.push_back(MakeFrame("", 0));
         },
         4, 2, {14, 7, 15, 15}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Fresh();
        Run(5, [&](int t) {
            if (t == 3) net.Links[1].State = 5;
            if (t == 5) k.atReading(net.Links[1]);
        });
        EXPECT_EQ(StateOf(), k.state);
        EXPECT_EQ(net.Count("get_i"), k.getI);
        EXPECT_EQ(net.BefCodes(1), k.bef);
    }
}

// --- recording ------------------------------------------------------------

TEST_F(CycleFixture, CutShortReplyIsRepeatedFromItsOverwrittenSlots) {
    Run(12, GoodCall(1, 2, 0));
    port.SetTime(2026, 12, 6, 14, 41);
    // The next reply brings the heading and one new link line, then the
    // link goes quiet: the repeat parses the slots as they stand.
    Run(200, Sends(2, {"=>\r", kHeading, LinkLine(0, 555, 666, 77, "QX0L00", "0-15", "(8/9)")}));
    ASSERT_EQ(Channel().RecordCount, 2);
    const HistoryRecord* r1 = HistorySlot(state, 0, 1);
    EXPECT_EQ(r1->Links[0].Tkby, 555);
    EXPECT_EQ(r1->Links[0].Qty, 77);
    EXPECT_EQ(r1->Links[0].LinkState, 6);
    EXPECT_EQ(r1->Links[1].Tkby, 101);
    EXPECT_EQ(Channel().ReplyLineCount, 4);
}

// Failed calls before any completed reply store nothing; after one they
// repeat its lines with their own start time and code 6.
TEST_F(CycleFixture, MixedRunLeavesFileAndSeriesInStep) {
    struct CallCase {
        int minute;
        std::function<void(CycleFixture&, std::uint16_t, int)> script;
        int recorded;  // 0 none, 1 fresh, 6 repeated
    };
    auto good = [](CycleFixture& f, std::uint16_t h, int t) { f.GoodCall(h, 3, 10 * h)(t); };
    auto refused = [](CycleFixture& f, std::uint16_t h, int t) { if (t == 2) f.net.Links[h].State = 0; };
    auto givenUp = [](CycleFixture& f, std::uint16_t h, int t) { if (t == 2) f.net.Links[h].State = 1; };
    auto silent = [](CycleFixture& f, std::uint16_t h, int t) { if (t == 3) f.net.Links[h].State = 5; };
    const std::vector<CallCase> calls = {
        {0, refused, 0}, {1, good, 1}, {2, silent, 6}, {3, givenUp, 0},
        {4, good, 1},    {5, refused, 6}, {6, good, 1},
    };
    std::uint16_t h = 1;
    std::string expected = "3  QX0L00 0-15      QX1L01 0-15      QX2L02 0-15      ";
    int records = 0;
    int lastGoodBase = 0;
    for (const CallCase& call : calls) {
        port.SetTime(2026, 12, 6, 15, call.minute);
        const std::uint16_t handle = h++;
        Run(200, [&](int t) { call.script(*this, handle, t); });
        ASSERT_EQ(StateOf(), 0) << "call at minute " << call.minute;
        if (call.recorded == 1) lastGoodBase = 10 * handle;
        if (call.recorded == 0) continue;
        ++records;
        char line[200];
        const int b = lastGoodBase;
        const int code = call.recorded;
        std::snprintf(line, sizeof line,
                      "\r\n06.12.26 15:%02d 0 %d %d 10 3 5 %d 1 %d %d 11 3 5 %d 2 %d %d 12 3 5 %d ", call.minute,
                      100 + b, 200 + b, code, 101 + b, 201 + b, code, 102 + b, 202 + b, code);
        expected += line;
    }
    EXPECT_EQ(HistoryFile(), expected);
    ASSERT_EQ(Channel().RecordCount, records);
    EXPECT_EQ(state.NextRecordIndex[0], records);
    EXPECT_EQ(port.Repaints, std::vector<bool>(static_cast<std::size_t>(records), true));
    const int minutes[] = {1, 2, 4, 5, 6};
    const int codes[] = {1, 6, 1, 6, 1};
    const int bases[] = {20, 20, 50, 50, 70};
    for (int i = 0; i < records; ++i) {
        const HistoryRecord* r = HistorySlot(state, 0, i);
        EXPECT_EQ((std::vector<int>{r->Year, r->Month, r->Day, r->Hour, r->Minute}),
                  (std::vector<int>{26, 12, 6, 15, minutes[i]}));
        EXPECT_EQ(r->Links[2].LinkState, codes[i]);
        EXPECT_EQ(r->Links[1].Tkby, 101 + bases[i]);
        EXPECT_STREQ(r->Links[1].Name, "QX1L01");
    }
}

TEST_F(CycleFixture, ChangedLinkListStartsANewFileWithThisCall) {
    Run(12, GoodCall(1, 2));
    port.SetTime(2026, 12, 6, 14, 31);
    Run(12, GoodCall(2, 3));
    ASSERT_EQ(port.Boxes.size(), 1u) << "the rotation is told";
    EXPECT_FALSE(port.Boxes[0].Asked);
    EXPECT_EQ(Channel().RecordCount, 1);
    EXPECT_EQ(state.NextRecordIndex[0], 1);
    EXPECT_EQ(Channel().ReplyLineCount, 5) << "the new reply stays readable";
    EXPECT_EQ(Channel().RepeatLineCount, 5);
    EXPECT_EQ(HistorySlot(state, 0, 0)->Minute, 31);
    EXPECT_EQ(HistoryFile(),
              "3  QX0L00 0-15      QX1L01 0-15      QX2L02 0-15      \r\n"
              "06.12.26 14:31 0 100 200 10 3 5 1 1 101 201 11 3 5 1 2 102 202 12 3 5 1 ");
    std::ifstream old(dir + "/QX0TST2.hp0", std::ios::binary);
    EXPECT_TRUE(old.good());
    // The next call goes on in the new file and series.
    port.SetTime(2026, 12, 6, 14, 32);
    Run(12, GoodCall(3, 3));
    EXPECT_EQ(Channel().RecordCount, 2);
    EXPECT_EQ(state.NextRecordIndex[0], 2);
    EXPECT_EQ(HistorySlot(state, 0, 1)->Minute, 32);
}

TEST_F(CycleFixture, NextRecordIndexNeverPassesTheCapacity) {
    struct Case {
        int before;
        int after;
        int slot;  // where the record went
    };
    for (const Case k : {Case{23998, 23999, 23998}, Case{23999, 24000, 23999}, Case{24000, 24000, 23999}}) {
        SCOPED_TRACE(k.before);
        Fresh();
        state.NextRecordIndex[0] = k.before;
        Channel().RecordCount = k.before;
        port.SetTime(2026, 12, 6, 14, 33);
        Run(12, GoodCall(1));
        EXPECT_EQ(state.NextRecordIndex[0], k.after);
        EXPECT_EQ(Channel().RecordCount, k.slot + 1);
        EXPECT_EQ(HistorySlot(state, 0, k.slot)->Minute, 33);
    }
}

// A failed save warns and the call goes on. A real modal box runs a nested
// loop in which further ticks arrive; the fake runs them inside the box:
// second ticks and minute ticks.
TEST_F(CycleFixture, TicksInsideTheSaveWarningNeitherStoreTwiceNorTouchTheCall) {
    BreakDataDir();
    ChannelRecord& other = Channel(1);
    std::strcpy(other.CallPath, "QX0ABC");
    other.RufAktiv = 1;
    other.MinutenIntervall = 1;
    int nested = 0;
    port.WhileBoxOpen = [&] {
        ++nested;
        for (int i = 0; i < 3; ++i) CycleTick(state, port);
        MinuteTick(state, port, 0);
        MinuteTick(state, port, 1);  // an immediate request for channel 0, too
        for (int i = 0; i < 3; ++i) CycleTick(state, port);
    };
    Run(12, [&](int t) {
        GoodCall(1)(t);
        if (t == 3) net.Links[2].State = 5;  // channel 1 connects meanwhile
    });
    EXPECT_EQ(nested, 1);
    ASSERT_EQ(port.Boxes.size(), 1u);
    EXPECT_EQ(port.Boxes[0].Text, "Impossible to save data,\nbecause the File is already opened by another application!");
    EXPECT_EQ(port.Boxes[0].Caption, "hopwin");
    EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Warning);
    EXPECT_FALSE(port.Boxes[0].Asked);
    EXPECT_EQ(port.Repaints, std::vector<bool>{true});
    EXPECT_EQ(Channel().RecordCount, 1) << "the in-memory record stays";
    EXPECT_EQ(state.NextRecordIndex[0], 1);
    EXPECT_EQ(net.BefCodes(1), (std::vector<int>{14, 7, 15, 15, 15, 15, 15, 15, 4}));
    EXPECT_EQ(StateOf(), 0);
    // Channel 1 went on inside the box: 8 reading ticks outside, 6 inside.
    EXPECT_EQ(state.WaitTicks[1], 14);
    EXPECT_EQ(Channel(1).CycleState, 4);
}

TEST_F(CycleFixture, RepeatInsideTheSaveWarningIsStoredOnce) {
    Run(12, GoodCall(1));
    BreakDataDir();
    port.WhileBoxOpen = [&] {
        for (int i = 0; i < 5; ++i) CycleTick(state, port);
        MinuteTick(state, port, 1);
    };
    Run(8, [&](int t) {
        if (t == 2) net.Links[2].State = 0;
    });
    EXPECT_EQ(port.Boxes.size(), 1u);
    EXPECT_EQ(Channel().RecordCount, 2);
    EXPECT_EQ(StateOf(), 0);
    EXPECT_EQ(net.Count("connect"), 2) << "no call started while the box was open";
}

// --- scheduling -------------------------------------------------------------

TEST_F(CycleFixture, MinuteCountingAndSkippedSlots) {
    struct Case {
        const char* name;
        int interval;
        int rufAktiv;
        const char* mycall;
        int busyState;  // CycleState when the slot comes
        int minutes;
        int wantState;
        int wantCount;
        int wantInterval;
    };
    const Case cases[] = {
        {"interval 0 becomes 1 and calls", 0, 1, "QX0OWN", 0, 1, 1, 0, 1},
        {"interval 3, two minutes", 3, 1, "QX0OWN", 0, 2, 0, 2, 3},
        {"interval 3, third minute calls", 3, 1, "QX0OWN", 0, 3, 1, 0, 3},
        {"busy channel skips the slot", 2, 1, "QX0OWN", 5, 2, 5, 0, 2},
        {"inactive channel skips the slot", 2, 0, "QX0OWN", 0, 2, 0, 0, 2},
        {"empty Mycall skips the slot", 2, 1, "", 0, 2, 0, 0, 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Fresh();
        ChannelRecord& c = Channel();
        c.MinutenIntervall = k.interval;
        c.RufAktiv = static_cast<std::uint8_t>(k.rufAktiv);
        std::strcpy(state.Mycall, k.mycall);
        c.CycleState = static_cast<std::uint8_t>(k.busyState);
        for (int m = 0; m < k.minutes; ++m) MinuteTick(state, port, 0);
        EXPECT_EQ(c.CycleState, k.wantState);
        EXPECT_EQ(c.MinuteCount, k.wantCount);
        EXPECT_EQ(c.MinutenIntervall, k.wantInterval);
    }
}

TEST_F(CycleFixture, ImmediateRequestCallsTheCurrentChannelOnly) {
    ChannelRecord& c = Channel(2);
    std::strcpy(c.CallPath, "QX0ABC");
    c.RufAktiv = 1;
    c.MinutenIntervall = 5;
    c.MinuteCount = 3;
    Channel(0).MinuteCount = 2;
    Channel(0).MinutenIntervall = 5;
    state.CurrentChannel = 2;
    c.LastMin = 17;
    c.LastHour = 9;
    port.SetTime(2031, 1, 2, 3, 4);
    MinuteTick(state, port, 1);
    EXPECT_EQ(c.CycleState, 1);
    EXPECT_EQ(c.MinuteCount, 0);
    // The start time is stamped, the one before kept.
    EXPECT_EQ(c.PrevMin, 17);
    EXPECT_EQ(c.PrevHour, 9);
    EXPECT_EQ(c.LastMin, 4);
    EXPECT_EQ(c.LastHour, 3);
    EXPECT_EQ(c.LastConDay, 2);
    EXPECT_EQ(c.LastConMonth, 1);
    EXPECT_EQ(c.LastConYear, 31);
    EXPECT_EQ(Channel(0).MinuteCount, 2) << "no other channel counts";
    EXPECT_EQ(Channel(0).CycleState, 0);

    // Busy: only the count restarts.
    c.CycleState = 4;
    c.MinuteCount = 2;
    const int lastMin = c.LastMin;
    port.SetTime(2026, 12, 6, 16, 0);
    MinuteTick(state, port, 1);
    EXPECT_EQ(c.CycleState, 4);
    EXPECT_EQ(c.MinuteCount, 0);
    EXPECT_EQ(c.LastMin, lastMin);
}

TEST_F(CycleFixture, ChannelsStepInOrderAndApart) {
    for (int i = 1; i < kChannelCount; ++i) {
        std::snprintf(Channel(i).CallPath, sizeof Channel(i).CallPath, "QX0CH%d", i);
        Channel(i).RufAktiv = 1;
        Channel(i).MinutenIntervall = 1;
    }
    MinuteTick(state, port, 0);
    CycleTick(state, port);
    ASSERT_EQ(net.Count("connect"), 4);
    for (int i = 0; i < kChannelCount; ++i) {
        EXPECT_EQ(net.Calls[static_cast<std::size_t>(i)].Text, "QX0OWN|" + std::string(Channel(i).CallPath));
        EXPECT_EQ(Channel(i).L2Channel, i + 1);
        EXPECT_EQ(Channel(i).CycleState, 2);
    }
}

}  // namespace
