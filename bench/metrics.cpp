// How fast a scrape's text is built. Four channels of 17 links, each with a
// newest record, are turned into the whole exposition (BuildMetricsText)
// and, side by side in one run, the same numbers are formatted with
// snprintf alone into one buffer (the floor: what any exposition must at
// least do). Rounds are interleaved and the best of each is kept, so that a
// busy machine slows both alike. The last line gives the ratio.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/link_column.h"
#include "history/history_series.h"
#include "view/metrics_text.h"

namespace {

constexpr int kLinks = 17;
constexpr int kRounds = 25;
constexpr int kBuildsPerRound = 200;

void FillChannel(AppState& state, int ch) {
    ChannelRecord& c = state.ChannelTable[ch];
    std::snprintf(c.CallPath, kCallPathSize, "QX%dTST-%d QX0VIA", ch, ch + 1);
    for (int r = 1; r <= kLinks; ++r) {
        std::snprintf(c.LinkTable[kColName][r], kCellSize, "QX%dL%02d-%d", ch, r, r % 16);
        std::snprintf(c.LinkTable[kColIdent][r], kCellSize, "Hill%d", r);
        std::snprintf(c.LinkTable[kColQty][r], kCellSize, "%d", 100 + r * 7);
        std::snprintf(c.LinkTable[kColTkby][r], kCellSize, "%d", 123456 + r);
        std::snprintf(c.LinkTable[kColRkby][r], kCellSize, "%d", 654321 + r);
        std::snprintf(c.LinkTable[kColTime][r], kCellSize, " %4d/%4d  ", 10 * r, 20 * r);
    }
    c.ReplyLineCount = c.RestoreLineCount = kLinks + 2;
    c.LastHour = 12, c.LastMin = 30, c.LastConDay = 7, c.LastConMonth = 12, c.LastConYear = 26;
    AddHistoryRecord(state, ch, 0, 0);
    state.CallsMade[ch] = 1234, state.CallsFailed[ch] = 56, state.LastCallDone[ch] = 1796640000;
}

// The floor: every number the exposition holds, and nothing else.
std::size_t FormatNumbers(AppState& state, long long now, char* out, std::size_t size) {
    std::size_t at = 0;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        for (int l = 0; l < kLinks; ++l) {
            const LinkSample s = ReadLinkSample(state, ch, 0, l);
            const long long values[] = {s.Qty,  s.TxTim,     s.RxTim,         s.Tkby,
                                        s.Rkby, s.LinkState, now - 1796640000};
            for (long long v : values)
                at += static_cast<std::size_t>(std::snprintf(out + at, size - at, "%lld\n", v));
        }
        const long long values[] = {state.CallsMade[ch], state.CallsFailed[ch],
                                    static_cast<int>(state.ChannelTable[ch].CycleState),
                                    state.ChannelTable[ch].RecordCount, state.LastCallDone[ch]};
        for (long long v : values)
            at += static_cast<std::size_t>(std::snprintf(out + at, size - at, "%lld\n", v));
    }
    for (long long v : {0LL, 1LL, 0LL, 1LL, 1796630000LL}) {
        at += static_cast<std::size_t>(std::snprintf(out + at, size - at, "%lld\n", v));
    }
    return at;
}

template <typename F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kBuildsPerRound; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kBuildsPerRound;
}

}  // namespace

int main() {
    setenv("TZ", "UTC", 1);
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    if (!ReserveHistoryMemory(*state)) {
        std::fprintf(stderr, "cannot reserve the history areas\n");
        return 1;
    }
    for (int ch = 0; ch < kChannelCount; ++ch) FillChannel(*state, ch);
    const MetricsInputs inputs{1796640090, 1796630000, Layer2Health{1, 0}};
    std::string text;
    static char numbers[65536];
    double build = 1e9, floor = 1e9;
    std::size_t floorBytes = 0;
    for (int round = 0; round < kRounds; ++round) {
        build = std::min(build, Seconds([&] {
                             BuildMetricsText(*state, inputs, text);
                             benchmark::DoNotOptimize(text.data());
                         }));
        floor = std::min(floor, Seconds([&] {
                             floorBytes = FormatNumbers(*state, inputs.Now, numbers, sizeof numbers);
                             benchmark::DoNotOptimize(numbers);
                         }));
    }
    ReleaseHistoryMemory(*state);
    std::printf("exposition: %d channels x %d links, %zu bytes; floor %zu bytes\n", kChannelCount, kLinks,
                text.size(), floorBytes);
    std::printf("BuildMetricsText   %8.2f us\n", build * 1e6);
    std::printf("floor (snprintf)   %8.2f us\n", floor * 1e6);
    std::printf("metrics/floor=%.2f\n", build / floor);
    return 0;
}
