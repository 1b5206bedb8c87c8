// The 24,000-record, 17-link history file (about 13 MB) the benchmarks of
// the history share, the floor they are measured against (a plain split of
// the same bytes into whitespace-separated tokens), and a stopwatch.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace bench {

constexpr int kRecords = 24000;
constexpr int kLinks = 17;
inline std::string MakeFile() {
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
inline long long SplitTokens(const char* p, const char* end) {
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

}  // namespace bench
