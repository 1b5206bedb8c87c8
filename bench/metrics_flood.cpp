// The metrics endpoint and the web pages under a flood of requests. The
// program runs headless with --metrics on a free loopback port while four
// channels are called every half second (time scale 120). After a warm-up
// flood, a second flood (1,000 requests over 10 keep-alive connections,
// taking turns at /metrics, the overview, a diagram page and the JSON,
// while 100 more connections hold half a request) is timed: the slowest answer, the calls each channel made during
// it against the calls due, and the program's anonymous memory before and
// after. The last line gives the three figures.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_http.h"
#include "support/program_run.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kChannels = 4;

pid_t StartCollector(ProgramDirs& dirs, int port) {
    std::string config = "[Mycall]\r\nDestination Call=QX0OWN\r\n";
    for (int ch = 1; ch <= kChannels; ++ch) {
        config += "[Channel" + std::to_string(ch) + "]\r\nCallPath=QX" + std::to_string(ch) +
                  "TST\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n";
    }
    WriteAll(dirs.Config, config);
    return StartProgram(
        {"--headless", "--l2", "sim:faults=0,callers=0", "--time-scale", "120", "--config", dirs.Config,
         "--data-dir", dirs.Data, "--metrics", "127.0.0.1:" + std::to_string(port)},
        dirs.Runtime, dirs.Errors);
}

long long AnonymousKb(pid_t pid) {
    const std::string status = ReadAll("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("RssAnon:");
    return at == std::string::npos ? -1 : std::stoll(status.substr(at + 9));
}

std::vector<long long> CallsMade(int port) {
    const std::string text = HttpRequest(-1, port, "/metrics");
    std::vector<long long> made;
    for (std::size_t at = 0; (at = text.find("hopwatch_calls_made_total{", at)) != std::string::npos;) {
        made.push_back(std::stoll(text.substr(at = text.find("} ", at) + 2)));
    }
    return made;
}

// The slowest answer in milliseconds, negative on a failure.
double Flood(int port) {
    std::vector<int> silent;
    for (int i = 0; i < 100; ++i) {
        silent.push_back(ConnectLoopback(port));
        send(silent.back(), "GET /metrics HTTP/1.1\r\nHo", 25, MSG_NOSIGNAL);
    }
    std::vector<double> slowest(10, 0);
    std::vector<std::thread> clients;
    for (int c = 0; c < 10; ++c) {
        clients.emplace_back([&, c] {
            const int fd = ConnectLoopback(port);
            const char* const paths[] = {"/metrics", "/", "/channel/2?xzoom=1", "/api/channels"};
            const char* const marks[] = {"hopwatch_build_info", "</html>", "</svg>", "\"channels\""};
            for (int i = 0; i < 100; ++i) {
                const auto start = Clock::now();
                const int k = (c + i) % 4;
                const bool ok = HttpRequest(fd, port, paths[k]).find(marks[k]) != std::string::npos;
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                slowest[c] = ok ? std::max(slowest[c], ms) : -1e9;
            }
            close(fd);
        });
    }
    for (std::thread& t : clients) t.join();
    for (int fd : silent) close(fd);
    return *std::max_element(slowest.begin(), slowest.end());
}

int Run(ProgramDirs& dirs, pid_t pid, int port) {
    // Each channel's first record commits its history memory: measure from
    // the second call on.
    std::vector<long long> made;
    for (int i = 0; i < 100; ++i) {
        made = CallsMade(port);
        if (made.size() == kChannels && *std::min_element(made.begin(), made.end()) >= 2) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (made.size() != kChannels || Flood(port) < 0) {
        std::fprintf(stderr, "the program did not serve its metrics:\n%s\n", ReadAll(dirs.Errors).c_str());
        return 1;
    }
    const long long before = AnonymousKb(pid);
    const std::vector<long long> start = CallsMade(port);
    const auto t0 = Clock::now();
    const double slowest = Flood(port);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::vector<long long> end = CallsMade(port);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const long long after = AnonymousKb(pid);
    if (end.size() != kChannels) return 1;
    // Two calls a second per channel are due.
    const long long expected = static_cast<long long>(seconds * 2);
    long long fewest = end[0] - start[0];
    std::printf("flood of 1,000 requests (metrics and pages): %.1f s, slowest answer %.1f ms\n", seconds,
                slowest);
    for (int ch = 0; ch < kChannels; ++ch) {
        std::printf("channel %d: %lld calls, %lld due\n", ch + 1, end[ch] - start[ch], expected);
        fewest = std::min(fewest, end[ch] - start[ch]);
    }
    std::printf("anonymous memory: %lld kB before, %lld kB after\n", before, after);
    std::printf("flood: slowest=%.1f calls=%lld/%lld memory_growth_kb=%lld\n", slowest, fewest, expected,
                after - before);
    return slowest < 0;
}

}  // namespace

int main() {
    ProgramDirs dirs;
    const int port = FreeLoopbackPort();
    const pid_t pid = StartCollector(dirs, port);
    const int result = Run(dirs, pid, port);
    kill(pid, SIGTERM);
    WaitProgram(pid, 10);
    return result;
}
