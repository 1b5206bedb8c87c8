// A channel never stays waiting for transmit space: a link that drops after
// the connect report, or a stack that never grants, fails the call within
// the reading limit, repeats the last good reply with code 6 and ends the
// link, and the next minute calls again.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "acquisition/connect_cycle.h"
#include "history/history_series.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "support/script_network.h"

namespace {

const char* const kReport[] = {"=>\r", " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r",
                               "  1      0                 100  200  10               QX0L00 0-15 3/5\r",
                               "=>\r"};

TEST(HardenedCycle, NoGrantOrADroppedLinkFailsTheCallWithinTheLimit) {
    enum Fault { Dropped, NeverGranted };
    for (const Fault fault : {Dropped, NeverGranted}) {
        ScratchDir dir;
        const std::unique_ptr<AppState> owned = std::make_unique<AppState>();
        AppState& state = *owned;
        InitScriptState(state, dir.Path);
        ASSERT_TRUE(ReserveHistoryMemory(state));
        ChannelRecord& c = state.ChannelTable[0];
        std::strcpy(c.CallPath, "QX0TST-2");
        c.RufAktiv = 1;
        c.MinutenIntervall = 1;
        FakePort port;
        ScriptNetwork net;
        port.Net = &net;
        port.SetTime(2026, 12, 6, 14, 30);
        // A good call first, so that the failed one has a reply to repeat.
        MinuteTick(state, port, 0);
        for (int t = 1; t <= 20 && (t < 3 || c.CycleState != 0); ++t) {
            if (t == 2) net.Links[c.L2Channel].State = kL2Connected;
            if (t == 3)
                for (const char* line : kReport) net.QueueText(c.L2Channel, line);
            CycleTick(state, port);
        }
        ASSERT_EQ(c.CycleState, 0);
        MinuteTick(state, port, 0);
        CycleTick(state, port);
        ScriptLink& link = net.Links[c.L2Channel];
        link.State = kL2Connected;
        CycleTick(state, port);  // the connect report: on to SendCommand
        if (fault == Dropped) link.State = 0;
        if (fault == NeverGranted) link.Grants.assign(1000, 0);
        int ticks = 0;
        while (c.CycleState != 0 && ticks < 1000) {
            CycleTick(state, port);
            ++ticks;
        }
        EXPECT_LE(ticks, kReadingTickLimit + 4) << fault;
        EXPECT_TRUE(link.Sent.empty()) << fault;
        EXPECT_EQ(c.RecordCount, 2) << fault;
        EXPECT_EQ(HistorySlot(state, 0, 1)->Links[0].LinkState, 6) << fault;
        const std::string file = ReadAll(dir.File("QX0TST2.hpw"));
        EXPECT_EQ(file.substr(file.size() - 36), "\r\n06.12.26 14:30 0 100 200 10 3 5 6 ") << file;
        // A dropped link needs no disconnect; one that never granted is ended.
        EXPECT_EQ(link.Commands.empty() ? 0 : link.Commands.back(), fault == Dropped ? 0 : kL2Disconnect)
            << fault;
        ReleaseHistoryMemory(state);
    }
}

}  // namespace
