// Fuzzes the connect cycle with a hostile stack: link states, frames of any
// content and length, null frames, refused transmit space and minute ticks
// in any order. Reply frames are outside input; whatever arrives, the cycle
// must stay inside its slots and table and keep its state in range.
//
// Input: a sequence of operations, one byte each plus operands:
//   0 s      link state of the current call = s & 7
//   1 n ...  queue a frame of n text bytes
//   2        second tick
//   3 g      next transmit space answer = g & 1
//   4        minute tick
//   5 k      k null frames before the next frame
//   6        immediate call request
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acquisition/connect_cycle.h"
#include "history/history_series.h"
#include "support/fake_port.h"
#include "support/script_network.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Appending fails at once: no files are written while fuzzing.
    static AppState* const kState = [] {
        auto* s = new AppState;
        InitScriptState(*s, "/nonexistent/hopwatch-fuzz");
        ReserveHistoryMemory(*s);
        return s;
    }();
    AppState& state = *kState;
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelRecord& c = state.ChannelTable[i];
        ResetHistory(state, i);
        ResetChannelCounters(c);
        c.CycleState = CycleState::Idle;
        c.RufAktiv = i == 0;
        c.MinutenIntervall = 1;
        std::strcpy(c.CallPath, "QX0FZZ");
    }
    ScriptNetwork net;
    FakePort port;
    port.Net = &net;

    std::size_t p = 0;
    auto next = [&]() -> int { return p < size ? data[p++] : 0; };
    while (p < size) {
        const std::uint16_t h = state.ChannelTable[0].L2Channel;
        switch (next() % 7) {
            case 0:
                net.Links[h].State = next() & 7;
                break;
            case 1: {
                const std::size_t n = static_cast<std::size_t>(next());  // read before size - p
                const std::size_t take = std::min(n, size - p);
                net.Links[h].Frames.push_back(
                    MakeFrame(std::string(reinterpret_cast<const char*>(data + p), take)));
                p += take;
                break;
            }
            case 2:
                CycleTick(state, port);
                break;
            case 3:
                net.Links[h].Grants.push_back(next() & 1);
                break;
            case 4:
                MinuteTick(state, port, 0);
                break;
            case 5:
                net.Links[h].NullFrames = next();
                break;
            case 6:
                MinuteTick(state, port, 1);
                break;
        }
        const ChannelRecord& c = state.ChannelTable[0];
        if (c.CycleState > CycleState::AwaitDisconnect || c.ReplyLineCount < 0 ||
            c.ReplyLineCount > kMaxReplyLines)
            std::abort();
    }
    return 0;
}
