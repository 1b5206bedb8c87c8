// The program as a scrape target: a real Prometheus scrapes it while it
// calls on the simulated network and must agree with the history file; a
// flood of requests must leave its calls and its memory alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "history/history_reader.h"
#include "support/loopback_http.h"
#include "support/program_run.h"

namespace {

constexpr const char* kPrometheus = "/usr/bin/prometheus";
using Clock = std::chrono::steady_clock;
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

// Started processes, stopped and reaped however the test ends.
struct Processes {
    std::vector<pid_t> Pids;
    ~Processes() {
        for (pid_t pid : Pids) kill(pid, SIGTERM);
        for (pid_t pid : Pids) WaitProgram(pid, 10);
    }
};

pid_t StartCollector(ProgramDirs& dirs, int port, int channels, const char* sim, const char* timeScale) {
    std::string config = "[Mycall]\r\nDestination Call=QX0OWN\r\n";
    for (int ch = 1; ch <= channels; ++ch) {
        config += "[Channel" + std::to_string(ch) + "]\r\nCallPath=QX" + std::to_string(ch) +
                  "TST\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n";
    }
    WriteAll(dirs.Config, config);
    return StartProgram({"--headless", "--l2", sim, "--time-scale", timeScale, "--config", dirs.Config,
                         "--data-dir", dirs.Data, "--metrics", "127.0.0.1:" + std::to_string(port)},
                        dirs.Runtime, dirs.Errors);
}

// The first sample of an instant query at `at` (and its link label); -1
// when there is none.
double Query(int port, const std::string& expr, double at, std::string* link = nullptr) {
    const std::string body =
        HttpRequest(-1, port, "/api/v1/query?query=" + expr + "&time=" + std::to_string(at));
    const std::size_t value = body.find("\"value\":["), label = body.find("\"link\":\"");
    if (value == std::string::npos) return -1;
    if (link && label != std::string::npos)
        link->assign(body, label + 8, body.find('"', label + 8) - label - 8);
    return std::stod(body.substr(body.find('"', value + 9) + 1));
}

TEST(MetricsScrapedByPrometheus, AgreesWithTheHistoryFile) {
    if (!FileExists(kPrometheus)) GTEST_SKIP() << "prometheus is not installed (apt-get install prometheus)";
    ProgramDirs dirs;
    Processes running;
    const int metricsPort = FreeLoopbackPort(), webPort = FreeLoopbackPort();
    running.Pids.push_back(StartCollector(dirs, metricsPort, 1, "sim:seed=2,faults=40,callers=0", "600"));
    WriteAll(dirs.Scratch.File("prometheus.yml"),
             "global: {scrape_interval: 1s}\nscrape_configs: [{job_name: h, "
             "static_configs: [{targets: ['127.0.0.1:" +
                 std::to_string(metricsPort) + "']}]}]\n");
    const std::string flags[] = {"--config.file=" + dirs.Scratch.File("prometheus.yml"),
                                 "--storage.tsdb.path=" + dirs.Scratch.File("tsdb"),
                                 "--web.listen-address=127.0.0.1:" + std::to_string(webPort)};
    const pid_t prometheus = fork();
    if (prometheus == 0) {
        dup2(open(dirs.Errors.c_str(), O_WRONLY | O_APPEND), 2);
        execl(kPrometheus, kPrometheus, flags[0].c_str(), flags[1].c_str(), flags[2].c_str(), nullptr);
        _exit(127);
    }
    running.Pids.push_back(prometheus);

    // The samples of one scrape share a time stamp: asking for one moment a
    // little in the past gives one consistent picture of the first `records`.
    double records = -1, qty = -1, failed = -1;
    std::string link;
    for (auto deadline = Clock::now() + std::chrono::seconds(45); Clock::now() < deadline && records < 8;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double at = static_cast<double>(std::time(nullptr)) - 2;
        records = Query(webPort, "hopwatch_records_in_memory", at);
        qty = Query(webPort, "topk(1,hopwatch_link_qty)", at, &link);
        failed = Query(webPort, "hopwatch_calls_failed_total", at);
    }
    ASSERT_GE(records, 8) << ReadAll(dirs.Errors).substr(0, 2000);

    const std::string file = ReadAll(dirs.Data + "/QX1TST.hpw");
    HistoryReader reader;
    HistoryHeader header;
    HistoryRecordText record;
    StartHistoryReader(reader, file.data(), file.size());
    ASSERT_EQ(ReadHistoryHeader(reader, header), 1);
    int column = 0;
    while (column < header.LinkCount &&
           std::string(header.Names[column].Text, header.Names[column].Length) != link) {
        ++column;
    }
    ASSERT_LT(column, header.LinkCount) << link;
    int failedRecords = 0;
    for (int i = 0; i < records; ++i) {
        ASSERT_EQ(ReadHistoryRecordValues(reader, header.LinkCount, record), 1) << "record " << i;
        failedRecords += record.Values[0][6] == 6;
    }
    EXPECT_EQ(qty, record.Values[column][3]) << "QTY of " << link << " in record " << records;
    EXPECT_EQ(failed, failedRecords);
    EXPECT_GT(failedRecords, 0) << "the run should have seen failed calls";
}

long long AnonymousKb(pid_t pid) {
    const std::string status = ReadAll("/proc/" + std::to_string(pid) + "/status");
    return std::stoll(status.substr(status.find("RssAnon:") + 9));
}

std::vector<long long> CallsMade(int port) {
    const std::string text = HttpRequest(-1, port, "/metrics");
    std::vector<long long> made;
    for (std::size_t at = 0; (at = text.find("hopwatch_calls_made_total{", at)) != std::string::npos;) {
        made.push_back(std::stoll(text.substr(at = text.find("} ", at) + 2)));
    }
    return made;
}

// 1,000 requests over 10 keep-alive connections while 100 more hold half a
// request; the slowest answer in milliseconds, negative on a failure.
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
            for (int i = 0; i < 100; ++i) {
                const auto start = Clock::now();
                const bool ok =
                    HttpRequest(fd, port, "/metrics").find("hopwatch_build_info") != std::string::npos;
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

// Four channels called every half second (time scale 120): a flood must not
// hold back a minute tick, and a second flood must not grow the program.
TEST(MetricsUnderFlood, CallsStayOnTimeAndMemoryFlat) {
    ProgramDirs dirs;
    Processes running;
    const int port = FreeLoopbackPort();
    const pid_t pid = StartCollector(dirs, port, 4, "sim:faults=0,callers=0", "120");
    running.Pids.push_back(pid);
    // Each channel's first record commits its history memory: measure from
    // the second call on.
    for (int i = 0; i < 100; ++i) {
        const std::vector<long long> made = CallsMade(port);
        if (made.size() == 4 && *std::min_element(made.begin(), made.end()) >= 2) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GE(Flood(port), 0) << "warm-up flood";
    EXPECT_EQ(HttpRequest(-1, port, "/metrics/../"), "") << "only /metrics is served";
    const long long before = AnonymousKb(pid);
    const std::vector<long long> start = CallsMade(port);
    const auto t0 = Clock::now();
    const double slowest = Flood(port);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::vector<long long> end = CallsMade(port);
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const long long after = AnonymousKb(pid);
    ASSERT_EQ(end.size(), 4u);
    std::printf("flood: slowest answer %.1f ms; %.1f s: calls", slowest, seconds);
    for (int ch = 0; ch < 4; ++ch) {
        std::printf(" %lld", end[ch] - start[ch]);
        EXPECT_GE(end[ch] - start[ch], static_cast<long long>(seconds * 2) - 1) << "channel " << ch + 1;
    }
    std::printf("; anonymous memory %lld kB before, %lld kB after\n", before, after);
    EXPECT_GE(slowest, 0);
    // The address sanitizer keeps freed memory in quarantine: there only
    // the figures are shown.
    if (!kSanitized) {
        EXPECT_LT(after - before, 2048) << "kB grown by the second flood";
    }
}

}  // namespace
