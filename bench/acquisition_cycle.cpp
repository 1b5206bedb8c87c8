// What one second tick costs: four idle channels, four channels each taking
// a complete 19-line reply in one tick, and whole simulated minutes of four
// channels calling every minute (connect, reply, record with a file append,
// disconnect). The figures are compared with each other, not with a goal.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "acquisition/answer_service.h"
#include "acquisition/connect_cycle.h"
#include "history/history_series.h"
#include "radio/sim_network.h"
#include "support/fake_port.h"
#include "support/script_network.h"

namespace {

struct World {
    World() {
        InitAppState(state);
        ReserveHistoryMemory(state);
        std::strcpy(state.Mycall, "QX0OWN");
        char tmpl[] = "/tmp/hopwatch-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        std::snprintf(state.DataDir, sizeof state.DataDir, "%s", dir.c_str());
        for (int i = 0; i < kChannelCount; ++i) {
            ChannelRecord& c = state.ChannelTable[i];
            ResetChannelCounters(c);
            std::snprintf(c.CallPath, sizeof c.CallPath, "QX0BN%d", i);
            c.RufAktiv = 1;
            c.MinutenIntervall = 1;
        }
    }
    ~World() {
        ReleaseHistoryMemory(state);
        const std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    AppState state;
    FakePort port;
    std::string dir;
};

void BM_TickIdle(benchmark::State& st) {
    World w;
    ScriptNetwork net;
    w.port.Net = &net;
    for (auto _ : st) CycleTick(w.state, w.port);
}
BENCHMARK(BM_TickIdle);

void BM_TickReadingFullReplies(benchmark::State& st) {
    World w;
    ScriptNetwork net;
    w.port.Net = &net;
    std::string link(66, ' ');
    link += "12/34\r";
    for (int i = 0; i < kChannelCount; ++i) {
        w.state.ChannelTable[i].L2Channel = static_cast<std::uint16_t>(i + 1);
        net.Links[static_cast<std::uint16_t>(i + 1)].State = 5;
    }
    for (auto _ : st) {
        st.PauseTiming();
        for (int i = 0; i < kChannelCount; ++i) {
            ChannelRecord& c = w.state.ChannelTable[i];
            c.CycleState = CycleState::AwaitPrompt;
            w.state.WaitTicks[i] = 0;
            const std::uint16_t h = static_cast<std::uint16_t>(i + 1);
            net.QueueText(h, "=>\r");
            for (int l = 0; l < 18; ++l) net.QueueText(h, l == 0 ? "heading\r" : link);
            net.QueueText(h, "=>\r");
        }
        net.Calls.clear();
        st.ResumeTiming();
        CycleTick(w.state, w.port);
    }
}
BENCHMARK(BM_TickReadingFullReplies);

void BM_SimulatedMinute(benchmark::State& st) {
    World w;
    SimOptions o = DefaultSimOptions();
    auto net = CreateSimNetwork(o);
    w.port.Net = net.get();
    int minute = 0;
    for (auto _ : st) {
        w.port.SetTime(2026, 12, 6, (minute / 60) % 24, minute % 60);
        ++minute;
        MinuteTick(w.state, w.port, 0);
        for (int s = 0; s < 60; ++s) {
            AnswerTick(w.state, w.port);
            CycleTick(w.state, w.port);
        }
    }
    st.counters["records"] = static_cast<double>(w.state.ChannelTable[0].RecordCount);
}
BENCHMARK(BM_SimulatedMinute)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
