// The AGW client between two real Direwolf TNCs: an AX.25 connect over the
// air (well, over loopback audio), text both ways, disconnects from either
// side, and an incoming connect to the own call.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/agw_client.h"
#include "integration/direwolf_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kMycall = "Q1MON";
constexpr const char* kDigi = "Q2DIG";
constexpr int kAirSeconds = 30;  // one exchange over 1200 baud, generously

class AgwDirewolfTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (DirewolfPair::FindDirewolf().empty()) {
            GTEST_SKIP() << "direwolf is not installed; install the direwolf package to run the TNC pair test";
        }
        std::string error;
        ASSERT_TRUE(pair.Start(HOPWATCH_AUDIO_FORWARD, &error)) << error;
        AgwOptions a;
        a.Host = "127.0.0.1";
        a.TcpPort = pair.A.AgwPort;
        AgwOptions b = a;
        b.TcpPort = pair.B.AgwPort;
        monitor = std::make_unique<AgwClient>(a);
        digi = std::make_unique<AgwClient>(b);
        ASSERT_EQ(1, monitor->ax_init());
        ASSERT_EQ(1, digi->ax_init());
    }
    void TearDown() override {
        if (HasFailure()) std::fprintf(stderr, "%s\n", pair.Logs().c_str());
    }

    bool Until(const std::function<bool()>& pred, int seconds = kAirSeconds) {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            monitor->Poll();
            digi->Poll();
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Takes every line waiting on a handle.
    static void Drain(AgwClient& c, std::uint16_t h, std::vector<std::string>* lines) {
        while (c.l2_stat(0, h) & kL2DataWaiting) {
            const unsigned char* f = c.l2_get_i(h);
            if (f == nullptr) continue;
            lines->emplace_back(reinterpret_cast<const char*>(f + 3), static_cast<std::size_t>(f[0] | (f[1] << 8)));
            c.l2_bef(kL2FrameDone, h);
        }
    }
    // Collects lines on a handle until the last one starts with "=>".
    std::vector<std::string> ReadUntilPrompt(AgwClient& c, std::uint16_t h) {
        std::vector<std::string> lines;
        Until([&] {
            Drain(c, h, &lines);
            return !lines.empty() && lines.back().rfind("=>", 0) == 0;
        });
        return lines;
    }
    static std::string Joined(const std::vector<std::string>& lines) {
        std::string all;
        for (const auto& l : lines) all += l;
        return all;
    }

    DirewolfPair pair;
    std::unique_ptr<AgwClient> monitor;  // on TNC A, as the program is
    std::unique_ptr<AgwClient> digi;     // on TNC B, standing in for a digipeater
};

TEST_F(AgwDirewolfTest, ConnectTalkAndDisconnectOverTheAir) {
    // The digipeater's call must be registered before anyone can reach it.
    EXPECT_EQ(0, digi->l2_get_sabm(kDigi));
    Until([] { return false; }, 1);

    const std::uint16_t out = monitor->l2_connect(kMycall, kDigi);
    EXPECT_EQ(2, monitor->l2_stat(0, out) & kL2StateMask);
    std::uint16_t in = 0;
    ASSERT_TRUE(Until([&] {
        if (in == 0) in = digi->l2_get_sabm(kDigi);
        return in != 0 && (monitor->l2_stat(0, out) & kL2StateMask) == kL2Connected;
    }));

    // Digipeater: banner and prompt. Monitor: the command.
    ASSERT_EQ(1, digi->l2_ialloc(in, 256));
    digi->l2_puts(in, "Q2DIG digipeater\n=>");
    const auto banner = ReadUntilPrompt(*monitor, out);
    ASSERT_EQ((std::vector<std::string>{"Q2DIG digipeater\r", "=>"}), banner);
    ASSERT_EQ(1, monitor->l2_ialloc(out, 256));
    monitor->l2_puts(out, "p\n\n");
    std::vector<std::string> command;
    ASSERT_TRUE(Until([&] {
        Drain(*digi, in, &command);
        return Joined(command) == "p\r\r";
    })) << Joined(command);

    // A longer answer arrives line by line.
    std::string report;
    for (int i = 0; i < 6; ++i) report += "link " + std::to_string(i) + " 0123456789 0123456789 0123456789\n";
    ASSERT_TRUE(Until([&] { return digi->l2_ialloc(in, 256) == 1; }));
    digi->l2_puts(in, (report + "=>").c_str());
    const auto lines = ReadUntilPrompt(*monitor, out);
    ASSERT_EQ(7u, lines.size());
    EXPECT_EQ("link 0 0123456789 0123456789 0123456789\r", lines[0]);
    EXPECT_EQ("=>", lines[6]);

    // Ours to end: both ends see the link go down.
    monitor->l2_bef(kL2Disconnect, out);
    EXPECT_TRUE(Until([&] {
        return monitor->l2_stat(0, out) == 0 && (digi->l2_stat(0, in) & kL2StateMask) == 0;
    }));
}

TEST_F(AgwDirewolfTest, IncomingConnectToMycallAndTheCallerHangingUp) {
    EXPECT_EQ(0, monitor->l2_get_sabm(kMycall));
    Until([] { return false; }, 1);
    // The caller here is the stand-in on TNC B, calling from its own call.
    const std::uint16_t call = digi->l2_connect(kDigi, kMycall);
    std::uint16_t in = 0;
    ASSERT_TRUE(Until([&] {
        if (in == 0) in = monitor->l2_get_sabm(kMycall);
        return in != 0 && (digi->l2_stat(0, call) & kL2StateMask) == kL2Connected;
    }));
    EXPECT_EQ(kL2Connected, monitor->l2_stat(0, in) & kL2StateMask);
    ASSERT_EQ(1, monitor->l2_ialloc(in, 256));
    monitor->l2_puts(in, "Hopwatch V 2.34 link data acquisition!\n");
    std::vector<std::string> greeting;
    EXPECT_TRUE(Until([&] {
        Drain(*digi, call, &greeting);
        return Joined(greeting) == "Hopwatch V 2.34 link data acquisition!\r";
    })) << Joined(greeting);
    digi->l2_bef(kL2Disconnect, call);
    EXPECT_TRUE(Until([&] { return (monitor->l2_stat(0, in) & kL2StateMask) == 0; }));
}

}  // namespace
