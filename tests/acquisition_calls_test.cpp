// Link acquisition: the connect cycle and the answering service over a
// scripted stack, the simulated network, the link report parser on
// hand-made lines, and the AGWPE frame codec on bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/answer_service.h"
#include "acquisition/connect_cycle.h"
#include "acquisition/link_report.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "radio/agw_frame.h"
#include "radio/layer2_backend.h"
#include "radio/sim_network.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "support/script_network.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kHeading = " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r";
const std::vector<int> kDisconnected = {kL2BeforeSend, kL2AfterSend, kL2Disconnect};
const std::string kGreeting = "Hopwatch V 2.34 link data acquisition!\n";

// Banner, prompt, heading, `links` link lines and the closing prompt. Link
// i has port i, TKBY 100+base+i, RKBY 200+base+i, QTY 10+i, name QX<i%10>L<i>
// and identifier 0-15, at text columns 9, 27, 32, 37, 54 and 61, and the
// router times 3/5 at 66.
Lines Report(int links, int base = 0) {
    Lines lines = {"QX0TST-2 FlexNet digipeater\r", "=>\r", kHeading};
    for (int i = 0; i < links; ++i) {
        char line[100];
        std::snprintf(line, sizeof line, "  1      %-18d%-5d%-5d%-17dQX%dL%02d 0-15 3/5\r", i, 100 + base + i,
                      200 + base + i, 10 + i, i % 10, i);
        lines.push_back(line);
    }
    lines.push_back("=>\r");
    return lines;
}

// How the digipeater answers a call: the state every pending link reaches
// before tick 3, the frames waiting for channel 0 at the first reading
// tick (5), and its first transmit space answers.
struct Plan {
    int linkState = kL2Connected;
    Lines frames{};
    std::deque<int> grants{};
};

struct World {
    ScratchDir dir;
    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& state = *owned;
    FakePort port;
    ScriptNetwork net;

    World() {
        InitScriptState(state, dir.Path);
        EXPECT_TRUE(ReserveHistoryMemory(state));
        Calling(0, "QX0TST-2 QX0VIA");
        port.Net = &net;
        port.SetTime(2026, 12, 6, 14, 30);
    }
    ~World() {
        StopAnswerService(state);
        ReleaseHistoryMemory(state);
    }
    ChannelRecord& C(int i = 0) { return state.ChannelTable[i]; }
    ScriptLink& L(int h = 0) { return net.Links[static_cast<std::uint16_t>(h ? h : C().L2Channel)]; }
    std::string File() { return ReadAll(dir.File("QX0TST2.hpw")); }
    void Calling(int i, const char* path) {
        std::strcpy(C(i).CallPath, path);
        C(i).RufAktiv = 1;
        C(i).MinutenIntervall = 1;
    }

    // The minute tick, then `ticks` second ticks, each after `script(tick)`;
    // returns channel 0's state after the minute tick ([0]) and each tick.
    std::vector<int> Run(int ticks, const std::function<void(int)>& script) {
        MinuteTick(state, port, 0);
        std::vector<int> states = {static_cast<int>(C().CycleState)};
        for (int t = 1; t <= ticks; ++t) {
            script(t);
            CycleTick(state, port);
            states.push_back(static_cast<int>(C().CycleState));
        }
        return states;
    }
    std::vector<int> Call(const Plan& plan, int ticks = 200) {
        return Run(ticks, [&](int t) {
            if (t == 2) L().Grants = plan.grants;
            for (auto& link : net.Links)
                if (t == 3 && link.second.State == 2) link.second.State = plan.linkState;
            for (const std::string& text : plan.frames)
                if (t == 5) net.QueueText(C().L2Channel, text);
        });
    }
};

// A reply ends at its closing prompt; prompts after that change nothing.
TEST(ConnectCycle, GoodCallStoresAllNineteenLinesAndDisconnects) {
    World w;
    Lines frames = Report(17);
    frames.insert(frames.end(), {"=>\r", "=> more\r", "text after\r"});
    EXPECT_EQ(w.Call({5, frames}).back(), 0);
    EXPECT_EQ(w.L().Released, 24) << "every frame is taken and released";
    const ChannelRecord& c = w.C();
    EXPECT_EQ((std::vector<int>{c.ReplyLineCount, c.RestoreLineCount, c.RepeatLineCount}),
              (std::vector<int>{19, 19, 19}));
    EXPECT_EQ(std::string(c.ReplyLines[0]) + c.ReplyLines[18], kHeading + "\n=>\r\n")
        << "banner and first prompt are gone";
    EXPECT_EQ(std::string(c.LinkTable[kColName][1]) + " " + c.LinkTable[kColTkby][17], "QX0L00 116");
    EXPECT_EQ(ReadLinkSample(w.state, 0, 0, 16).Rkby, 216);
    EXPECT_TRUE(w.port.Repaints == std::vector<bool>{true} && w.port.Boxes.empty());
}

// Every way a call fails, first before any reply has completed (nothing is
// stored), then after one: each but a given-up call repeats the last good
// reply with its own start time and code 6.
TEST(ConnectCycle, FailedCallsRepeatTheLastGoodReplyWithCodeSix) {
    const Lines command = {"p\n\n"};
    const struct {
        const char* name;
        Plan plan;
        Lines sent;
        std::vector<int> commands;
        int repeats, base;  // base: of the values the slots hold after this call
    } cases[] = {
        {"connect failed", {0}, {}, {}, 1, 10},
        {"connect given up", {1}, {}, {}, 0, 10},
        {"no prompt within 180 reading ticks", {5}, command, kDisconnected, 1, 10},
        // The repeat parses the slots as this reply left them, its own lines included.
        {"reply too long", {5, Report(18, 30)}, command, kDisconnected, 1, 30},
        {"transmit space refused twice", {5, {}, {0, 0}}, command, {14, 7, 14, 7, 14, 7, 4}, 1, 30},
    };
    World w;
    std::string file = "3  QX0L00 0-15      QX1L01 0-15      QX2L02 0-15      ";
    std::vector<std::vector<int>> records;  // minute, base, code
    int minute = 0;
    auto call = [&](const Plan& plan, int base, int code) {
        w.port.SetTime(2026, 12, 6, 15, ++minute);
        EXPECT_EQ(w.Call(plan).back(), 0);
        if (code == 0) return;
        char line[200];
        std::snprintf(
            line, sizeof line, "\r\n06.12.26 15:%02d 0 %d %d 10 3 5 %d 1 %d %d 11 3 5 %d 2 %d %d 12 3 5 %d ",
            minute, 100 + base, 200 + base, code, 101 + base, 201 + base, code, 102 + base, 202 + base, code);
        file += line;
        records.push_back({minute, base, code});
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        call(k.plan, 0, 0);
        EXPECT_EQ(w.L().Sent, k.sent);
        EXPECT_EQ(w.L().Commands, k.commands);
    }
    EXPECT_TRUE(w.File().empty() && w.C().RecordCount == 0 && w.port.Repaints.empty()) << "nothing stored";
    call({5, Report(3, 10)}, 10, 1);
    for (const auto& k : cases) call(k.plan, k.base, k.repeats ? 6 : 0);
    call({5, Report(3, 20)}, 20, 1);
    call(cases[0].plan, 20, 6);
    EXPECT_EQ(w.File(), file);
    ASSERT_EQ(w.C().RecordCount, static_cast<int>(records.size()));
    EXPECT_EQ(w.state.NextRecordIndex[0], w.C().RecordCount);
    EXPECT_EQ(w.port.Repaints, std::vector<bool>(records.size(), true));
    for (std::size_t i = 0; i < records.size(); ++i) {
        const int slot = static_cast<int>(i);
        RecordStamp stamp;
        ReadRecordStamp(w.state, 0, slot, stamp);
        EXPECT_EQ((std::vector<int>{stamp.Minute, ReadLinkSample(w.state, 0, slot, 1).Tkby - 101,
                                    ReadLinkSample(w.state, 0, slot, 2).LinkState}),
                  records[i])
            << i;
    }
    EXPECT_STREQ(SeriesLinkName(w.state, 0, 1), "QX1L01");
}

TEST(ConnectCycle, The180thReadingTickReadsAndThe181stFails) {
    World w;
    const std::vector<int> states = w.Run(185, [&](int t) {
        if (t == 3) w.L().State = 5;
        if (t == 184) w.L().Frames = {MakeFrame("=>\r"), MakeFrame(kHeading)};  // reading ticks are 5..184
        if (t == 185) w.L().Frames = {MakeFrame("=>\r"), MakeFrame("late\r")};
    });
    EXPECT_EQ((std::vector<int>{states[183], states[184], states[185]}), (std::vector<int>{4, 5, 7}));
    EXPECT_EQ(w.C().ReplyLineCount, 1);
    EXPECT_EQ(w.L().Frames.size(), 2u) << "the 181st tick reads nothing";
}

// Frames a stack should not send, read in one tick: a bounded number, null
// frames not released, frames too short for "=>" no prompt, long frames cut
// to their slot. A slot is not cleared before a frame is copied in: its old
// line (here "ooo…" with CR LF at 50) shows through behind a short frame
// without CR.
TEST(ConnectCycle, OddFramesAreReadWithinBounds) {
    const auto prompt = MakeFrame("=>\r");
    auto crAt = [&](std::size_t at) { return MakeFrame(std::string(120, 'x').replace(at, 1, "\r")); };
    const std::string behind = std::string(48, 'o') + "\r\n";
    const struct {
        const char* name;
        std::deque<std::vector<unsigned char>> frames;
        int nullFrames;
        std::vector<int> want;  // state, reads, releases, reply lines
        std::string slot;       // the first reply line, if looked at
    } cases[] = {
        {"flood", std::deque(200, MakeFrame("noise\r")), 0, {4, 64, 64, 0}, ""},
        {"null frames first", {prompt}, 3, {5, 4, 1, 0}, ""},
        {"too short for a prompt", {MakeFrame("=>", 1), MakeFrame("", 0)}, 0, {4, 2, 2, 0}, ""},
        {"the last CR kept", {prompt, crAt(97), prompt}, 0, {6, 3, 3, 2}, std::string(97, 'x') + "\r\n"},
        {"a CR beyond the cut", {prompt, crAt(98), prompt}, 0, {6, 3, 3, 2}, std::string(98, 'x') + "\n"},
        {"a short line", {prompt, MakeFrame("AB"), prompt}, 0, {6, 3, 3, 2}, "AB" + behind},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        std::memset(w.C().ReplyLines[0], 'o', kReplySlotSize);
        std::memcpy(w.C().ReplyLines[0] + 50, "\r\n", 3);
        w.Call({5, {}}, 4);
        w.L().Frames = k.frames;
        w.L().NullFrames = k.nullFrames;
        CycleTick(w.state, w.port);
        EXPECT_EQ((std::vector<int>{static_cast<int>(w.C().CycleState), w.L().Reads, w.L().Released,
                                    w.C().ReplyLineCount}),
                  k.want);
        EXPECT_TRUE(k.slot.empty() || k.slot == w.C().ReplyLines[0]) << w.C().ReplyLines[0];
    }
}

// A failed save warns and the call goes on. A real modal box runs a nested
// loop in which further ticks arrive; the fake runs them inside the box.
// Neither the reply nor its repeat is stored twice, and no call starts on a
// channel whose record is being stored.
TEST(ConnectCycle, TicksInsideTheSaveWarningNeitherStoreTwiceNorTouchTheCall) {
    World w;
    std::snprintf(w.state.DataDir, sizeof w.state.DataDir, "%s/missing", w.dir.Path.c_str());
    w.Calling(1, "QX0ABC");
    int nested = 0;
    w.port.WhileBoxOpen = [&] {
        ++nested;
        for (int i = 0; i < 3; ++i) CycleTick(w.state, w.port);
        MinuteTick(w.state, w.port, 0);
        MinuteTick(w.state, w.port, 1);  // an immediate request for channel 0, too
        for (int i = 0; i < 3; ++i) CycleTick(w.state, w.port);
    };
    EXPECT_EQ(w.Call({5, Report(2)}, 12).back(), 0);
    EXPECT_EQ(nested, 1);
    ASSERT_EQ(w.port.Boxes.size(), 1u);
    EXPECT_EQ(w.port.Boxes[0].Icon, BoxIcon::Warning);
    EXPECT_EQ(w.port.Boxes[0].Line(),
              "hopwin tells: Impossible to save data to QX0TST2.hpw: No such file or directory");
    EXPECT_EQ(w.port.Repaints, std::vector<bool>{true});
    EXPECT_EQ(w.C().RecordCount, 1) << "the in-memory record stays";
    EXPECT_EQ(w.L().Commands, kDisconnected);
    EXPECT_EQ(w.state.WaitTicks[1], 14) << "channel 1 read 8 ticks outside the box and 6 inside";
    EXPECT_EQ(w.Call({0, {}}, 12).back(), 0);  // fails: the same failing file warns once
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(w.C().RecordCount, 2);
    EXPECT_EQ(w.net.Calls, (Lines{"connect QX0OWN|QX0TST-2 QX0VIA", "connect QX0OWN|QX0ABC",
                                  "connect QX0OWN|QX0TST-2 QX0VIA"}));
}

// Each minute counts towards the interval; a slot that finds the channel
// busy, inactive or without Mycall passes unused. The immediate request
// restarts the count and calls at once unless the channel is busy.
TEST(ConnectCycle, MinuteCountingAndSkippedSlots) {
    const struct {
        const char* name;
        int interval, rufAktiv, mycall, busyState, immediate, minutes;
        std::vector<int> want;  // CycleState, MinuteCount, MinutenIntervall
    } cases[] = {
        {"interval 0 becomes 1 and calls", 0, 1, 1, 0, 0, 1, {1, 0, 1}},
        {"interval 3, two minutes", 3, 1, 1, 0, 0, 2, {0, 2, 3}},
        {"interval 3, third minute calls", 3, 1, 1, 0, 0, 3, {1, 0, 3}},
        {"busy channel skips the slot", 2, 1, 1, 5, 0, 2, {5, 0, 2}},
        {"inactive channel skips the slot", 2, 0, 1, 0, 0, 2, {0, 0, 2}},
        {"empty Mycall skips the slot", 2, 1, 0, 0, 0, 2, {0, 0, 2}},
        {"immediate request after a minute", 5, 1, 1, 0, 1, 2, {1, 0, 5}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        ChannelRecord& c = w.C();
        c.MinutenIntervall = k.interval;
        c.RufAktiv = static_cast<std::uint8_t>(k.rufAktiv);
        if (!k.mycall) w.state.Mycall[0] = '\0';
        c.CycleState = static_cast<CycleState>(k.busyState);
        for (int m = 0; m < k.minutes; ++m) MinuteTick(w.state, w.port, k.immediate && m > 0);
        EXPECT_EQ((std::vector<int>{static_cast<int>(c.CycleState), c.MinuteCount, c.MinutenIntervall}),
                  k.want);
    }
}

// Each shape of answer text, sent and the connection ended. A caller whose
// link drops below 5 mid-text has gone, and the service stopping closes the
// file: neither says another word to the stack; 6 is still up.
TEST(AnswerService, SendsEachShapeOfAnswerTextAndEndsTheConnection) {
    const std::string& g = kGreeting;
    const std::string l150(150, 'x'), l97(97, 'y'), l98(98, 'z');
    const std::string f150 = l150 + "\r\n", f97 = l97 + "\r\n", f98 = l98 + "\r\n";
    const struct {
        const char* name;
        const char* file;  // nullptr: there is no answer file
        std::deque<int> grants;
        Lines sent;
        int leave = 0;  // the link's state from the second tick on; -1: the service stops then
        std::vector<int> commands = {kL2NewIncoming, kL2AfterSend, kL2Disconnect};
    } cases[] = {
        {"no file", nullptr, {}, {g}},
        {"dialog-written lines", "first\r\nsecond\r\n", {}, {g, "first\n", "second\n"}},
        {"no final line end", "first\r\nlast", {}, {g, "first\n", "last"}},
        {"150 characters in pieces", f150.c_str(), {}, {g, l150.substr(0, 98), l150.substr(98) + "\n"}},
        {"97 characters and the line end fill one piece", f97.c_str(), {}, {g, l97 + "\n"}},
        {"98 characters leave the line end alone", f98.c_str(), {}, {g, l98, "\n"}},
        {"a lone CR stays", "a\rb\r\n", {}, {g, "a\rb\n"}},
        {"a bare LF line end", "a\nb\n", {}, {g, "a\n", "b\n"}},
        {"greeting refused", "hello\r\n", {0}, {}},
        {"line space refused for two ticks", "one\r\ntwo\r\n", {1, 1, 0, 0, 1}, {g, "one\n", "two\n"}},
        {"caller gone", "one\r\ntwo\r\n", {1, 1, 0}, {g, "one\n"}, 4, {kL2NewIncoming}},
        {"service stopped", "one\r\ntwo\r\n", {1, 1, 0}, {g, "one\n"}, -1, {kL2NewIncoming}},
        {"link state 6", "one\r\ntwo\r\n", {1, 1, 0}, {g, "one\n", "two\n"}, 6},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        World w;
        if (k.file) WriteAll(w.dir.File("hopwansw.txt"), k.file);
        ScriptLink& link = w.net.Links[w.net.AddIncoming()];
        link.Grants = k.grants;
        for (int tick = 0; tick < 3; ++tick) {
            if (tick == 1 && k.leave) link.State = k.leave;
            tick == 1 && k.leave < 0 ? StopAnswerService(w.state) : AnswerTick(w.state, w.port);
        }
        EXPECT_EQ(link.Sent, k.sent);
        EXPECT_EQ(link.Commands, k.commands);
        EXPECT_TRUE(w.state.Answer.AnswerActive == 0 && w.state.Answer.AnswerFile == nullptr);
        // A caller holds the service while served; then every tick looks for the next.
        EXPECT_TRUE(k.leave || w.net.Calls.size() == (k.grants.size() > 1 ? 1u : 3u)) << w.net.Calls.size();
    }
}

// 300 minutes of calls by the connect cycle, the answering service beside
// it, on a troubled network with frequent callers: the history file, and how
// many records hold a good reply and how many repeat one (code 6).
std::string TroubledRun(std::uint32_t seed, int (&records)[2]) {
    char error[200] = "";
    const auto sim =
        CreateLayer2Backend(("sim:faults=60,callers=5,seed=" + std::to_string(seed)).c_str(), error,
                            sizeof error);  // the way the program builds it
    World w;
    w.port.Net = sim.get();
    for (int minute = 0; minute < 300; ++minute) w.Run(60, [&](int) { AnswerTick(w.state, w.port); });
    for (int slot = 0; slot < w.C().RecordCount; ++slot)
        ++records[ReadLinkSample(w.state, 0, slot, 0).LinkState == 6];
    EXPECT_EQ(w.File().find("???"), std::string::npos) << "every link name is found at its column";
    return w.File();
}

TEST(SimNetwork, SameSeedGivesTheSameHistoryAndCallsFail) {
    int records[2] = {}, again[2] = {}, other[2] = {};
    const std::string run = TroubledRun(11, records);
    EXPECT_EQ(run, TroubledRun(11, again));
    EXPECT_NE(run, TroubledRun(12, other));
    EXPECT_GT(records[0], 30) << "good replies";
    EXPECT_GT(records[1], 30) << "repeats of the last good reply";
}

// Refused with a reason, the last after an option that is understood.
TEST(SimNetwork, BadUrisAreRefusedWithAReason) {
    for (const char* uri : {"sim:seed=99999999999", "sim:faults=101", "simulator", "sim:fail,x"}) {
        SimOptions o;
        char error[200] = "";
        EXPECT_EQ(ParseSimUri(uri, o, error, sizeof error), 0) << uri;
        EXPECT_NE(error[0], '\0') << uri;
    }
}

// `text` at `column`, blanks before it and up to `length`.
std::string At(std::size_t column, const std::string& text, std::size_t length = 0) {
    std::string line = std::string(column, ' ') + text;
    if (length > line.size()) line.resize(length, ' ');
    return line;
}

TEST(LinkReport, ColumnRulesOnHandMadeLines) {
    const std::string blank12(12, ' '), early = "         5                 44 \r\n";
    std::string cut(98, 'x');  // cut by the connect cycle: LF at 98, no CR
    cut[66] = '7';
    cut += "\n";
    const struct {
        const char* what;
        std::string line;
        int column;
        std::string cell;
    } cases[] = {
        {"line ends before the column", early, kColRkby, "0"},
        {"line ends before the name", early, kColName, "???"},
        {"line ends before the time", early, kColTime, blank12},
        {"the fields before the end stand", early, kColTkby, "44"},
        {"CR exactly at the column", At(37, "\r\n"), kColQty, "0"},
        {"CR exactly at the time column", At(66, "\r\n"), kColTime, blank12},
        {"the time cell keeps CR LF", At(66, "(40/60)\r\n"), kColTime, "(40/60)\r\n"},
        {"the time cell is twelve bytes", At(66, "  1234567890ABCDEF\r\n"), kColTime, "1234567890AB"},
        {"a cut line is read to its slot end", cut, kColTime, "7xxxxxxxxxxx"},
        {"a cut line's fields are cut to 15", cut, kColQty, std::string(15, 'x')},
        {"LF is a field character", At(54, "QX\nA\r\n"), kColName, "QX\nA"},
        // A field is taken when it begins 0 to 4 blanks after its column.
        {"a number 4 blanks in", At(41, "12", 80) + "\r\n", kColQty, "12"},
        {"a number 5 blanks in", At(42, "12", 80) + "\r\n", kColQty, "0"},
    };
    for (const auto& k : cases) {
        // Row 1, parsed the way a failed call parses its stored lines again.
        const auto c = std::make_unique<ChannelRecord>();
        std::memcpy(c->ReplyLines[1], k.line.data(),
                    std::min<std::size_t>(k.line.size(), kReplySlotSize - 1));
        ParseLinkRows(*c, 2);
        EXPECT_EQ(std::string(c->LinkTable[k.column][1]), k.cell) << k.what;
        EXPECT_EQ(std::string(c->LinkTable[k.column][2]), "")
            << k.what << ": nothing spills into the next row";
    }
}

using Bytes = std::vector<unsigned char>;

// The header byte for byte, read back only when complete: long calls are
// cut so that the field keeps a NUL; a full field or one that is not text is
// read as far as it goes and marked.
TEST(AgwFrame, EncodesByteForByteAndDecodesOnlyWhatIsComplete) {
    Bytes out;
    EncodeAgwFrame(1, 'D', 0xF0, "Q1OWN", "Q1DIG-2", reinterpret_cast<const unsigned char*>("p\r\r"), 3,
                   &out);
    EncodeAgwFrame(0, 'X', 0, "ABCDEFGHIJKL", nullptr, nullptr, 0, &out);
    const Bytes expected = {1,   0,   0,   0,   'D', 0,   0xF0, 0,                   // radio port, kind, PID
                            'Q', '1', 'O', 'W', 'N', 0,   0,    0, 0,   0,           // CallFrom
                            'Q', '1', 'D', 'I', 'G', '-', '2',  0, 0,   0,           // CallTo
                            3,   0,   0,   0,   0,   0,   0,    0, 'p', '\r', '\r',  // DataLength, user, data
                            0,   0,   0,   0,   'X', 0,   0,    0, 'A', 'B',  'C',
                            'D', 'E', 'F', 'G', 'H', 'I', 0,  // cut so that the field keeps a NUL
                            0,   0,   0,   0,   0,   0,   0,    0, 0,   0,    0,
                            0,   0,   0,   0,   0,   0,   0};
    EXPECT_EQ(expected, out);

    out[39 + 17] = 'J', out[39 + 18] = 0xE4;  // a full field, and a call that is not text
    AgwFrame f{};
    std::size_t used = 0;
    for (std::size_t n = 0; n < static_cast<std::size_t>(kAgwHeaderBytes) + 3; ++n) {
        EXPECT_EQ(kAgwNeedMore, DecodeAgwFrame(out.data(), n, &f, &used)) << n;  // every truncation
    }
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(out.data(), out.size(), &f, &used));
    EXPECT_EQ((std::vector<std::string>{"1", "D", "240", "Q1OWN", "Q1DIG-2", "p\r\r", "1"}),
              (std::vector<std::string>{std::to_string(f.Port), std::string(1, f.Kind), std::to_string(f.Pid),
                                        f.CallFrom, f.CallTo, std::string(f.Data, f.Data + f.DataLength),
                                        std::to_string(f.CallsClean)}));
    ASSERT_EQ(kAgwFrameReady, DecodeAgwFrame(out.data() + used, out.size() - used, &f, &used));
    EXPECT_EQ((std::vector<std::string>{"X", "ABCDEFGHIJ", "0"}),
              (std::vector<std::string>{std::string(1, f.Kind), f.CallFrom, std::to_string(f.CallsClean)}));
}

}  // namespace
