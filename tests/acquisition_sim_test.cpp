// The simulated network: deterministic from its seed, reports at the
// parser's columns, every kind of trouble it promises, and its URI options.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/layer2_backend.h"
#include "acquisition/sim_network.h"

namespace {

// What one call of a poller like the connect cycle sees.
struct CallTranscript {
    int ConnectState = -1;        // link state that ended connecting
    int Refusals = 0;             // transmit space refused
    std::vector<std::string> Frames;
};

std::string FrameText(const unsigned char* f) {
    const int n = f[0] | (f[1] << 8);
    return std::string(reinterpret_cast<const char*>(f + 3), static_cast<std::size_t>(n));
}

// Connects, sends the command, reads for `readTicks` ticks, disconnects and
// waits until the link is down, one l2_stat per tick as the cycle does.
CallTranscript RunCall(Layer2& l2, const char* path, int readTicks = 12) {
    CallTranscript t;
    const std::uint16_t h = l2.l2_connect("QX0OWN", path);
    for (int tick = 0; tick < 20; ++tick) {
        const int s = l2.l2_stat(0, h) & kL2StateMask;
        if (s == kL2Connected || s < 2) {
            t.ConnectState = s;
            break;
        }
    }
    if (t.ConnectState != kL2Connected) return t;
    for (;;) {
        l2.l2_bef(kL2BeforeSend, h);
        const int granted = l2.l2_ialloc(h, 256);
        if (granted) l2.l2_puts(h, "p\n\n");
        l2.l2_bef(kL2AfterSend, h);
        if (granted) break;
        ++t.Refusals;
    }
    for (int tick = 0; tick < readTicks; ++tick) {
        while (l2.l2_stat(0, h) & kL2DataWaiting) {
            const unsigned char* f = l2.l2_get_i(h);
            if (!f) continue;
            t.Frames.push_back(FrameText(f));
            l2.l2_bef(kL2FrameDone, h);
        }
    }
    l2.l2_bef(kL2Disconnect, h);
    for (int tick = 0; tick < 10; ++tick)
        if ((l2.l2_stat(0, h) & kL2StateMask) < 2) break;
    return t;
}

std::string Transcript(std::uint32_t seed, int calls) {
    SimOptions o = DefaultSimOptions();
    o.Seed = seed;
    o.CallerSeconds = 5;
    auto l2 = CreateSimNetwork(o);
    std::string all;
    const char* paths[] = {"QX0TST-2 QX0VIA", "QX0ABC", "qx0low"};
    for (int i = 0; i < calls; ++i) {
        const CallTranscript t = RunCall(*l2, paths[i % 3]);
        all += "#" + std::to_string(t.ConnectState) + "/" + std::to_string(t.Refusals) + "\n";
        for (const std::string& f : t.Frames) all += f + "\n";
        const std::uint16_t in = l2->l2_get_sabm("QX0OWN");
        all += in ? "incoming\n" : "";
    }
    return all;
}

TEST(SimNetwork, SameSeedGivesTheSameFrames) {
    EXPECT_EQ(Transcript(7, 60), Transcript(7, 60));
    EXPECT_NE(Transcript(7, 60), Transcript(8, 60));
}

// The report between the two prompts, one frame per line, fields at the
// columns the parser cuts.
std::vector<std::string> ReportOf(const CallTranscript& t) {
    std::vector<std::string> out;
    int prompts = 0;
    for (const std::string& f : t.Frames) {
        const bool prompt = f.rfind("=>", 0) == 0;
        if (prompts == 1) out.push_back(f);
        if (prompt && ++prompts == 2) break;
    }
    return out;
}

bool IsDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// The token that begins within columns c..c+4 of the line.
std::string TokenAt(const std::string& line, std::size_t c) {
    std::size_t s = c;
    while (s < line.size() && line[s] == ' ' && s < c + 5) ++s;
    std::size_t e = s;
    while (e < line.size() && line[e] != ' ' && line[e] != '\r') ++e;
    return line.substr(s, e - s);
}

TEST(SimNetwork, ReportsCarryTheirFieldsAtTheParserColumns) {
    SimOptions o = DefaultSimOptions();
    o.FaultPercent = 0;
    o.Seed = 3;
    auto l2 = CreateSimNetwork(o);
    std::map<std::string, std::vector<std::string>> namesByCall;
    std::map<std::string, std::vector<std::string>> lastReport;
    int changed = 0;
    std::map<char, int> timeForms;
    for (int call = 0; call < 40; ++call) {
        const char* path = call % 2 ? "QX0TST-2" : "QX0XYZ";
        const CallTranscript t = RunCall(*l2, path);
        ASSERT_EQ(t.ConnectState, kL2Connected);
        ASSERT_FALSE(t.Frames.empty());
        EXPECT_NE(t.Frames.front().rfind("=>", 0), 0u) << "banner text comes before the first prompt";
        const std::vector<std::string> report = ReportOf(t);
        ASSERT_GE(report.size(), 3u);
        ASSERT_LE(report.size(), 19u);
        EXPECT_EQ(report.back(), "=>\r");
        std::vector<std::string> names;
        for (std::size_t i = 1; i + 1 < report.size(); ++i) {
            const std::string& line = report[i];
            ASSERT_EQ(line.back(), '\r');
            EXPECT_LT(line.size(), 99u);
            EXPECT_TRUE(IsDigits(TokenAt(line, 9))) << line;
            EXPECT_TRUE(IsDigits(TokenAt(line, 27))) << line;
            EXPECT_TRUE(IsDigits(TokenAt(line, 32))) << line;
            EXPECT_TRUE(IsDigits(TokenAt(line, 37))) << line;
            const int qty = std::stoi(TokenAt(line, 37));
            EXPECT_LE(qty, 255);
            names.push_back(TokenAt(line, 54) + " " + TokenAt(line, 61));
            const std::string time = TokenAt(line, 66);
            ASSERT_FALSE(time.empty()) << line;
            const char form = time == "-" ? '-' : time[0] == '(' ? (time.find('/') != std::string::npos ? 'P' : 'p')
                                                               : (time.find('/') != std::string::npos ? 'S' : 's');
            ++timeForms[form];
        }
        auto& known = namesByCall[path];
        if (known.empty()) known = names;
        EXPECT_EQ(known, names) << "links of one digipeater stay the same";
        // Values drift; kilobyte counters only grow (and wrap at 10000 as
        // the node's do).
        std::vector<std::string>& last = lastReport[path];
        for (std::size_t i = 1; i + 1 < std::min(last.size(), report.size()); ++i) {
            changed += last[i] != report[i];
            const int grown = (std::stoi(TokenAt(report[i], 27)) - std::stoi(TokenAt(last[i], 27)) + 10000) % 10000;
            EXPECT_LT(grown, 60) << last[i] << "\n" << report[i];
        }
        last = report;
    }
    EXPECT_GT(changed, 0);
    EXPECT_NE(namesByCall["QX0TST-2"], namesByCall["QX0XYZ"]);
    for (char form : {'S', 'P', 's', 'p', '-'}) EXPECT_GT(timeForms[form], 0) << form;
}

TEST(SimNetwork, EveryKindOfTroubleHappens) {
    SimOptions o = DefaultSimOptions();
    o.FaultPercent = 60;
    o.Seed = 11;
    auto l2 = CreateSimNetwork(o);
    int refused = 0, givenUp = 0, silent = 0, overlong = 0, good = 0, spaceRefused = 0;
    for (int call = 0; call < 300; ++call) {
        const CallTranscript t = RunCall(*l2, "QX0TST-2");
        spaceRefused += t.Refusals > 0;
        if (t.ConnectState == 0) ++refused;
        if (t.ConnectState == 1) ++givenUp;
        if (t.ConnectState != kL2Connected) continue;
        const std::vector<std::string> report = ReportOf(t);
        if (report.empty()) ++silent;
        else if (report.size() > 19) ++overlong;
        else ++good;
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(givenUp, 0);
    EXPECT_GT(silent, 0);
    EXPECT_GT(overlong, 0);
    EXPECT_GT(good, 0);
    EXPECT_GT(spaceRefused, 0);
}

TEST(SimNetwork, StationConnectsToMycallAndLeavesAfterAFewSeconds) {
    SimOptions o = DefaultSimOptions();
    o.CallerSeconds = 3;
    auto l2 = CreateSimNetwork(o);
    std::uint16_t h = 0;
    for (int tick = 0; tick < 200 && !h; ++tick) h = l2->l2_get_sabm("QX0OWN");
    ASSERT_NE(h, 0);
    int up = 0;
    while ((l2->l2_stat(0, h) & kL2StateMask) >= 5 && up < 100) ++up;
    EXPECT_GE(up, 3);
    EXPECT_LE(up, 9);
    o.CallerSeconds = 0;
    auto quiet = CreateSimNetwork(o);
    for (int tick = 0; tick < 1000; ++tick) ASSERT_EQ(quiet->l2_get_sabm("QX0OWN"), 0);
}

TEST(SimNetwork, HandlesAreReusedAndUnknownOnesHarmless) {
    SimOptions o = DefaultSimOptions();
    o.FaultPercent = 30;
    auto l2 = CreateSimNetwork(o);
    EXPECT_EQ(l2->l2_stat(0, 4711), 0);
    EXPECT_EQ(l2->l2_get_i(4711), nullptr);
    EXPECT_EQ(l2->l2_ialloc(4711, 100), 0);
    l2->l2_puts(4711, "p\n\n");
    l2->l2_bef(4, 4711);
    // More calls than there are handles: the network stays small.
    for (int call = 0; call < 70000; ++call) {
        const std::uint16_t h = l2->l2_connect("QX0OWN", "QX0ABC");
        ASSERT_NE(h, 0);
        l2->l2_bef(4, h);
    }
}

struct UriCase {
    const char* uri;
    int ok;
    std::uint32_t seed;
    int fail;
    int faults;
    int callers;
};

TEST(SimNetwork, UriOptions) {
    const UriCase cases[] = {
        {"sim", 1, 1, 0, kSimDefaultFaultPercent, kSimDefaultCallerSeconds},
        {"sim:seed=42", 1, 42, 0, kSimDefaultFaultPercent, kSimDefaultCallerSeconds},
        {"sim:fail", 1, 1, 1, kSimDefaultFaultPercent, kSimDefaultCallerSeconds},
        {"sim:seed=5,faults=0,callers=60", 1, 5, 0, 0, 60},
        {"sim:faults=100,fail", 1, 1, 1, 100, kSimDefaultCallerSeconds},
        {"sim:seed=", 0, 0, 0, 0, 0},
        {"sim:seed=x", 0, 0, 0, 0, 0},
        {"sim:seed=99999999999", 0, 0, 0, 0, 0},
        {"sim:faults=101", 0, 0, 0, 0, 0},
        {"sim:failure", 0, 0, 0, 0, 0},
        {"sim:seed=3,", 1, 3, 0, kSimDefaultFaultPercent, kSimDefaultCallerSeconds},
        {"simulator", 0, 0, 0, 0, 0},
    };
    for (const UriCase& c : cases) {
        SCOPED_TRACE(c.uri);
        SimOptions o;
        char error[200] = "";
        ASSERT_EQ(ParseSimUri(c.uri, o, error, sizeof error), c.ok);
        if (!c.ok) {
            EXPECT_NE(error[0], '\0');
            continue;
        }
        EXPECT_EQ(o.Seed, c.seed);
        EXPECT_EQ(o.FailInit, c.fail);
        EXPECT_EQ(o.FaultPercent, c.faults);
        EXPECT_EQ(o.CallerSeconds, c.callers);
    }
    // The backend factory builds the simulated stack from the same options.
    char error[200] = "";
    auto ok = CreateLayer2Backend("sim:seed=2", error, sizeof error);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->ax_init(), 1);
    auto off = CreateLayer2Backend("sim:fail", error, sizeof error);
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->ax_init(), 0);
    EXPECT_EQ(CreateLayer2Backend("sim:bogus", error, sizeof error), nullptr);
    EXPECT_NE(std::strstr(error, "bogus"), nullptr);
}

}  // namespace
