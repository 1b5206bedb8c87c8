// A link that drops after the connect report, a stack that never grants
// transmit space, or one that never reports on the connect, fails the call
// within a limit counted in ticks: the last good reply is repeated with code
// 6 and the channel is free for the next call.
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

const char* const kHeading = " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r";

TEST(HardenedCycle, NoGrantADroppedLinkOrNoConnectReportFailsTheCallWithinTheLimit) {
    enum Case { Dropped, NoGrant, Unreported };
    for (const Case how : {Dropped, NoGrant, Unreported}) {
        ScratchDir dir;
        const auto owned = std::make_unique<AppState>();
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
        int ticks = 0;
        for (int call = 0; call < 2; ++call) {
            ticks = 0;
            MinuteTick(state, port, 0);
            CycleTick(state, port);
            ScriptLink& link = net.Links[c.L2Channel];
            if (call == 0 || how != Unreported) link.State = kL2Connected;
            CycleTick(state, port);  // the connect report
            for (const char* line :
                 {"=>\r", kHeading, "  1      0                 100  200  10               QX0L00 0-15 3/5\r",
                  "=>\r"})
                if (call == 0) net.QueueText(c.L2Channel, line);  // the good call
            if (call == 1 && how == Dropped) link.State = 0;
            if (call == 1 && how == NoGrant) link.Grants.assign(1000, 0);
            for (; c.CycleState != 0 && ticks < 1000; ++ticks) CycleTick(state, port);
        }
        const ScriptLink& link = net.Links[c.L2Channel];
        EXPECT_LE(ticks, (how == Unreported ? kConnectTickLimit : kReadingTickLimit) + 4) << how;
        EXPECT_GE(ticks, how == Unreported ? kConnectTickLimit : 2) << how;
        EXPECT_TRUE(link.Sent.empty()) << how;
        EXPECT_EQ(c.RecordCount, 2) << how;
        EXPECT_EQ(ReadAll(dir.File("QX0TST2.hpw")).substr(20),
                  "\r\n06.12.26 14:30 0 100 200 10 3 5 1 \r\n06.12.26 14:30 0 100 200 10 3 5 6 ");
        // A dropped link needs no disconnect; the others are ended.
        EXPECT_EQ(link.Commands.empty() ? 0 : link.Commands.back(), how == Dropped ? 0 : kL2Disconnect)
            << how;
        ReleaseHistoryMemory(state);
    }
}

}  // namespace
