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

#include "history/history_loader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"
#include "support/fake_port.h"

namespace {

constexpr int kRecords = 24000;
constexpr int kLinks = 17;
constexpr int kRounds = 25;

std::string MakeFile() {
    std::string text = std::to_string(kLinks) + "  ";
    for (int r = 0; r < kLinks; ++r) {
        text += "QX" + std::to_string(r) + "LNK p" + std::to_string(r % 4) + "      ";
    }
    unsigned seed = 1;
    auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % range;
    };
    char buffer[96];
    for (int i = 0; i < kRecords; ++i) {
        std::snprintf(buffer, sizeof buffer, "\r\n%02d.%02d.%02d %02d:%02d ", i % 28 + 1, i / 2000 % 12 + 1,
                      26, i / 6 % 24, i * 10 % 60);
        text += buffer;
        for (int r = 0; r < kLinks; ++r) {
            std::snprintf(buffer, sizeof buffer, "%u %u %u %u %u %u %u ", next(8), next(1000000),
                          next(1000000), next(256), next(3000), next(3000), next(6));
            text += buffer;
        }
    }
    return text;
}

// The floor keeps its own plain whitespace test (the same six bytes as
// IsTextSpace), so that its speed stays put whatever the reader does.
inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The floor: split the bytes into tokens and nothing else.
long long SplitTokens(const char* p, const char* end) {
    long long tokens = 0;
    long long length = 0;
    while (p < end) {
        while (p < end && IsSpace(*p)) ++p;
        if (p == end) break;
        const char* start = p;
        while (p < end && !IsSpace(*p)) ++p;
        ++tokens;
        length += p - start;
    }
    return tokens + length;
}

template <typename F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

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
