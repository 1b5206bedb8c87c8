// The program as a scrape target: a real Prometheus scrapes it while it
// calls on the simulated network and must agree with the history file.
// (How it stands a flood of requests is measured by bench/metrics_flood.)
#include <gtest/gtest.h>

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

// Started processes, stopped and reaped however the test ends.
struct Processes {
    std::vector<pid_t> Pids;
    ~Processes() {
        for (pid_t pid : Pids) kill(pid, SIGTERM);
        for (pid_t pid : Pids) WaitProgram(pid, 10);
    }
};

pid_t StartCollector(ProgramDirs& dirs, int port) {
    WriteAll(dirs.Config,
             "[Mycall]\r\nDestination Call=QX0OWN\r\n[Channel1]\r\nCallPath=QX1TST\r\nRufAktiv=1\r\n"
             "MinutenIntervall=1\r\n");
    return StartProgram(
        {"--headless", "--l2", "sim:seed=2,faults=40,callers=0", "--time-scale", "600", "--config",
         dirs.Config, "--data-dir", dirs.Data, "--metrics", "127.0.0.1:" + std::to_string(port)},
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
    running.Pids.push_back(StartCollector(dirs, metricsPort));
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
    EXPECT_EQ(HttpRequest(-1, metricsPort, "/metrics/../"), "") << "only /metrics is served";

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

}  // namespace
