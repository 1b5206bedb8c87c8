// How fast a full history file loads. Generates a file of 24,000 records of
// 17 links (about 13 MB) in a temporary folder and times, side by side in
// one run, LoadHistory (into a freshly emptied series, so every page is
// committed again), ScanHistoryFile, and a floor pass that only splits the
// same bytes, already in memory, into whitespace-separated tokens. Rounds
// are interleaved and the best time of each is kept, so that a busy machine
// slows all three alike. The last line gives the ratios to the floor.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "bench/big_history.h"
#include "history/history_loader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"
#include "support/fake_port.h"

namespace {

using bench::kLinks;
using bench::kRecords;
using bench::MakeFile;
using bench::Seconds;
using bench::SplitTokens;
constexpr int kRounds = 25;

}  // namespace

int main() {
    setenv("TZ", "UTC", 1);
    char dir[] = "/tmp/hopwatch-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    if (!ReserveHistoryMemory(*state)) {
        std::fprintf(stderr, "cannot reserve the history areas\n");
        return 1;
    }
    std::snprintf(state->DataDir, sizeof state->DataDir, "%s", dir);
    std::snprintf(state->ChannelTable[0].CallPath, kCallPathSize, "QX0TST-2");
    state->ChannelTable[0].RufAktiv = 1;

    const std::string bytes = MakeFile();
    const std::string path = std::string(dir) + "/QX0TST2.hpw";
    std::ofstream(path, std::ios::binary) << bytes;
    std::printf("file: %d records, %d links, %.1f MB\n", kRecords, kLinks,
                static_cast<double>(bytes.size()) / 1e6);

    FakePort port;  // answers the size prompt with Cancel
    double load = 1e9, scan = 1e9, floor = 1e9;
    long long sink = 0;
    for (int round = 0; round < kRounds; ++round) {
        ResetHistory(*state, 0);
        load = std::min(load, Seconds([&] { LoadHistory(*state, port, 0); }));
        if (state->ChannelTable[0].RecordCount != kRecords) {
            std::fprintf(stderr, "loaded %d records\n", state->ChannelTable[0].RecordCount);
            return 1;
        }
        scan = std::min(scan, Seconds([&] { ScanHistoryFile(*state, port, 0); }));
        floor = std::min(floor, Seconds([&] {
                             sink += SplitTokens(bytes.data(), bytes.data() + bytes.size());
                             benchmark::DoNotOptimize(sink);
                         }));
        port.Boxes.clear();
    }
    // The same load over a series whose memory is still committed.
    double warm = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        warm = std::min(warm, Seconds([&] { LoadHistory(*state, port, 0); }));
        port.Boxes.clear();
    }

    std::printf("LoadHistory        %8.2f ms\n", load * 1e3);
    std::printf("LoadHistory (warm) %8.2f ms\n", warm * 1e3);
    std::printf("ScanHistoryFile    %8.2f ms\n", scan * 1e3);
    std::printf("floor (split)      %8.2f ms\n", floor * 1e3);
    std::printf("warm load/floor=%.2f\n", warm / floor);

    ReleaseHistoryMemory(*state);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::printf("load/floor=%.2f scan/floor=%.2f\n", load / floor, scan / floor);
    return 0;
}
