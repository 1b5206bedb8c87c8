// The simulated network: deterministic from its seed, reports at the
// parser's columns, every kind of trouble it promises, and its URI options.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/layer2_backend.h"
#include "acquisition/sim_network.h"

namespace {

using Lines = std::vector<std::string>;

// What one call of a poller like the connect cycle sees.
struct CallTranscript {
    int ConnectState = -1;  // link state that ended connecting
    int Refusals = 0;       // transmit space refused
    Lines Frames;
    Lines Report;  // the frames after the first prompt, up to the next
};

// A simulated network built from its URI, the way the program builds it.
std::unique_ptr<Layer2> Sim(const std::string& uri) {
    char error[200] = "";
    return CreateLayer2Backend(uri.c_str(), error, sizeof error);
}

// Connects, sends the command, reads for 12 ticks, disconnects and waits
// until the link is down, one l2_stat per tick as the cycle does.
CallTranscript RunCall(Layer2& l2, const char* path) {
    CallTranscript t;
    const std::uint16_t h = l2.l2_connect("QX0OWN", path);
    for (int tick = 0; tick < 20 && t.ConnectState < 0; ++tick) {
        const int s = l2.l2_stat(0, h) & kL2StateMask;
        if (s == kL2Connected || s < 2) t.ConnectState = s;
    }
    if (t.ConnectState != kL2Connected) return t;
    for (int granted = 0; !granted; t.Refusals += !granted) {
        l2.l2_bef(kL2BeforeSend, h);
        if ((granted = l2.l2_ialloc(h, 256)) != 0) l2.l2_puts(h, "p\n\n");
        l2.l2_bef(kL2AfterSend, h);
    }
    int prompts = 0;
    for (int tick = 0; tick < 12; ++tick) {
        while (l2.l2_stat(0, h) & kL2DataWaiting) {
            const unsigned char* f = l2.l2_get_i(h);
            if (!f) continue;
            t.Frames.emplace_back(reinterpret_cast<const char*>(f + 3),
                                  static_cast<std::size_t>(f[0] | (f[1] << 8)));
            if (prompts == 1) t.Report.push_back(t.Frames.back());
            prompts += prompts < 2 && t.Frames.back().rfind("=>", 0) == 0;
            l2.l2_bef(kL2FrameDone, h);
        }
    }
    l2.l2_bef(kL2Disconnect, h);
    for (int tick = 0; tick < 10 && (l2.l2_stat(0, h) & kL2StateMask) >= 2; ++tick) {}
    return t;
}

// The token that begins within columns c..c+4 of the line, "" if none.
std::string TokenAt(const std::string& line, std::size_t c) {
    const std::size_t s = line.find_first_not_of(' ', c);
    if (s == std::string::npos || s > c + 4) return "";
    return line.substr(s, line.find_first_of(" \r", s) - s);
}

// A good reply: banner text before the first prompt, then the link lines
// carry numbers at the parser's columns 9, 27, 32 and 37 (QTY at most 255),
// names at 54 and 61 and the router times at 66.
void ExpectParserColumns(const CallTranscript& t) {
    EXPECT_NE(t.Frames.at(0).rfind("=>", 0), 0u) << "banner text comes before the first prompt";
    ASSERT_GE(t.Report.size(), 3u);
    for (std::size_t i = 1; i + 1 < t.Report.size(); ++i) {
        const std::string& line = t.Report[i];
        ASSERT_EQ(line.back(), '\r');
        EXPECT_LT(line.size(), 99u);
        for (std::size_t column : {9, 27, 32, 37}) {
            const std::string field = TokenAt(line, column);
            EXPECT_TRUE(!field.empty() && field.find_first_not_of("0123456789") == std::string::npos) << line;
        }
        EXPECT_LE(std::stoi(TokenAt(line, 37)), 255);
        for (std::size_t column : {54, 61, 66}) EXPECT_FALSE(TokenAt(line, column).empty()) << line;
    }
}

// 300 calls on a troubled network with frequent callers: everything seen,
// and how often each kind of call and caller happened.
std::string TroubledRun(std::uint32_t seed, std::map<std::string, int>& kinds) {
    auto l2 = Sim("sim:faults=60,callers=5,seed=" + std::to_string(seed));
    std::string all;
    const char* paths[] = {"QX0TST-2 QX0VIA", "QX0ABC", "qx0low"};
    for (int i = 0; i < 300; ++i) {
        const CallTranscript t = RunCall(*l2, paths[i % 3]);
        all += "#" + std::to_string(t.ConnectState) + "/" + std::to_string(t.Refusals) + "\n";
        for (const std::string& f : t.Frames) all += f + "\n";
        const bool reply = !t.Report.empty(), complete = reply && t.Report.back() == "=>\r";
        const char* kind = t.ConnectState == 0    ? "refused"
                           : t.ConnectState == 1  ? "given up"
                           : !reply               ? "silent"
                           : !complete            ? "link lost"
                           : t.Report.size() > 19 ? "overlong"
                                                  : "good";
        ++kinds[kind];
        if (std::strcmp(kind, "good") == 0) ExpectParserColumns(t);
        kinds["transmit space refused"] += t.Refusals > 0;
        // A station connecting to Mycall stays a few seconds.
        if (const std::uint16_t in = l2->l2_get_sabm("QX0OWN")) {
            int up = 0;
            while ((l2->l2_stat(0, in) & kL2StateMask) >= 5 && up < 100) ++up;
            ++kinds[up >= 3 && up <= 9 ? "caller" : "caller staying too long or short"];
            all += "caller " + std::to_string(up) + "\n";
        }
    }
    return all;
}

TEST(SimNetwork, SameSeedGivesTheSameFramesAndEveryKindOfTroubleHappens) {
    std::map<std::string, int> kinds, again, other;
    const std::string run = TroubledRun(11, kinds);
    EXPECT_EQ(run, TroubledRun(11, again));
    EXPECT_NE(run, TroubledRun(12, other));
    for (const char* kind : {"refused", "given up", "silent", "link lost", "overlong", "good",
                             "transmit space refused", "caller"})
        EXPECT_GT(kinds[kind], 0) << kind;
    EXPECT_EQ(kinds["caller staying too long or short"], 0);
}

TEST(SimNetwork, UriOptions) {
    const int f = kSimDefaultFaultPercent, c = kSimDefaultCallerSeconds;
    const std::pair<const char*, std::vector<int>> cases[] = {
        // seed, fail, faults, callers; {} refused
        {"sim", {1, 0, f, c}},
        {"sim:seed=5,faults=0,callers=60", {5, 0, 0, 60}},
        {"sim:faults=100,fail", {1, 1, 100, c}},
        {"sim:seed=", {}},
        {"sim:seed=99999999999", {}},
        {"sim:faults=101", {}},
        {"simulator", {}},
    };
    for (const auto& [uri, want] : cases) {
        SCOPED_TRACE(uri);
        SimOptions o;
        char error[200] = "";
        const int ok = ParseSimUri(uri, o, error, sizeof error);
        const std::vector<int> got = {static_cast<int>(o.Seed), o.FailInit, o.FaultPercent, o.CallerSeconds};
        EXPECT_EQ(ok ? got : std::vector<int>{}, want);
        EXPECT_EQ(error[0] != '\0', !ok);
    }
}

}  // namespace
