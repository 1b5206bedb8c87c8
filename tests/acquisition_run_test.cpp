// Hours of operation against the simulated network, in-process: four
// channels, the answering service and the minute and second ticks as the
// shell drives them. What is recorded in memory and in the files must agree,
// every call must come back to Idle, and the same seed must give the same
// files byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "acquisition/answer_service.h"
#include "acquisition/connect_cycle.h"
#include "acquisition/sim_network.h"
#include "history/history_series.h"
#include "support/fake_port.h"

namespace {

const char* const kPaths[kChannelCount] = {"QX0TST-2 QX0VIA", "QX0ABC", "QX0DEF-9", "QX0GHI"};
const char* const kFiles[kChannelCount] = {"QX0TST2.hpw", "QX0ABC.hpw", "QX0DEF9.hpw", "QX0GHI.hpw"};

struct SimRun {
    explicit SimRun(std::uint32_t seed, int faults) {
        InitAppState(state);
        std::strcpy(state.Mycall, "QX0OWN");
        char tmpl[] = "/tmp/hopwatch-run-XXXXXX";
        dir = mkdtemp(tmpl);
        std::snprintf(state.DataDir, sizeof state.DataDir, "%s", dir.c_str());
        for (int i = 0; i < kChannelCount; ++i) {
            ChannelRecord& c = state.ChannelTable[i];
            ResetChannelCounters(c);
            SetChannelViewDefaults(c);
            std::strcpy(c.CallPath, kPaths[i]);
            c.RufAktiv = 1;
            c.MinutenIntervall = i + 1;
            ReserveArea(state.HistoryArea[i], kHistoryAreaBytes);
        }
        SimOptions o = DefaultSimOptions();
        o.Seed = seed;
        o.FaultPercent = faults;
        o.CallerSeconds = 120;
        net = CreateSimNetwork(o);
        port.Net = net.get();
        std::ofstream(dir + "/hopwansw.txt", std::ios::binary) << "Operator away.\r\nLinks: see the diagram.\r\n";
    }
    ~SimRun() {
        StopAnswerService(state);
        for (int i = 0; i < kChannelCount; ++i) ReleaseArea(state.HistoryArea[i]);
        const std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    void Minutes(int minutes) {
        for (int m = 0; m < minutes; ++m) {
            port.SetTime(2026, 12, 6, 10 + minute / 60, minute % 60);
            ++minute;
            MinuteTick(state, port, 0);
            for (int s = 0; s < 60; ++s) {
                AnswerTick(state, port);
                CycleTick(state, port);
            }
        }
    }
    std::string File(int channel) const {
        std::ifstream in(dir + "/" + kFiles[channel], std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    AppState state;
    FakePort port;
    std::unique_ptr<Layer2> net;
    std::string dir;
    int minute = 0;
};

int CountRecords(const std::string& file) {
    int n = 0;
    for (std::size_t p = file.find("\r\n"); p != std::string::npos; p = file.find("\r\n", p + 2)) ++n;
    return n;
}

TEST(SimRun, FilesAndSeriesAgreeAfterHoursOfCalls) {
    SimRun run(21, 25);
    run.Minutes(240);
    int repeated = 0;
    for (int i = 0; i < kChannelCount; ++i) {
        SCOPED_TRACE(kFiles[i]);
        const ChannelRecord& c = run.state.ChannelTable[i];
        const std::string file = run.File(i);
        ASSERT_FALSE(file.empty());
        EXPECT_EQ(CountRecords(file), c.RecordCount);
        EXPECT_EQ(run.state.NextRecordIndex[i], c.RecordCount);
        // One call per interval at most, and most of them recorded.
        EXPECT_LE(c.RecordCount, 240 / (i + 1));
        EXPECT_GE(c.RecordCount, 240 / (i + 1) / 2);
        const int links = std::atoi(file.c_str());
        EXPECT_GE(links, 1);
        EXPECT_LE(links, 17);
        int lastStamp = -1;
        for (int r = 0; r < c.RecordCount; ++r) {
            HistoryRecord* rec = HistorySlot(run.state, i, r);
            const int stamp = rec->Hour * 60 + rec->Minute;
            EXPECT_GT(stamp, lastStamp);
            lastStamp = stamp;
            repeated += rec->Links[0].LinkState == 6;
        }
    }
    EXPECT_GT(repeated, 0) << "some calls failed and were repeated";
    EXPECT_TRUE(run.port.Boxes.empty());
}

TEST(SimRun, SameSeedSameFiles) {
    SimRun a(5, 20);
    SimRun b(5, 20);
    a.Minutes(45);
    b.Minutes(45);
    for (int i = 0; i < kChannelCount; ++i) EXPECT_EQ(a.File(i), b.File(i));
}

TEST(SimRun, EveryCallComesBackToIdle) {
    SimRun run(9, 40);
    run.Minutes(30);
    // No more calls: within the reading limit and a few seconds every
    // channel is idle again.
    for (ChannelRecord& c : run.state.ChannelTable) c.RufAktiv = 0;
    for (int s = 0; s < kReadingTickLimit + 20; ++s) {
        AnswerTick(run.state, run.port);
        CycleTick(run.state, run.port);
    }
    for (const ChannelRecord& c : run.state.ChannelTable) EXPECT_EQ(c.CycleState, 0);
}

}  // namespace
