// The built program as a service on the simulated network: two channels
// called every (sped-up) minute must leave history files whose every byte
// follows the file format, and say nothing on standard error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/program_run.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Checks a whole history file against its format byte by byte; returns
// the number of records, or -1 with the place in `why`.
int CheckHistoryFile(const std::string& f, std::string& why) {
    std::size_t p = 0;
    auto fail = [&](const char* what) {
        why = std::string(what) + " at byte " + std::to_string(p);
        return -1;
    };
    auto digits = [&](std::size_t min, std::size_t max) {
        const std::size_t start = p;
        while (p < f.size() && f[p] >= '0' && f[p] <= '9') ++p;
        return p - start >= min && p - start <= max;
    };
    auto literal = [&](const char* text) {
        const std::string t = text;
        if (f.compare(p, t.size(), t) != 0) return false;
        p += t.size();
        return true;
    };
    auto token = [&] {
        const std::size_t start = p;
        while (p < f.size() && f[p] != ' ' && f[p] != '\r' && f[p] != '\n') ++p;
        return p > start && p - start <= 15;
    };
    const std::size_t countStart = p;
    if (!digits(1, 2)) return fail("link count");
    const int links = std::stoi(f.substr(countStart, p - countStart));
    if (links < 1 || links > 17 || !literal("  ")) return fail("link count");
    for (int i = 0; i < links; ++i)
        if (!token() || !literal(" ") || !token() || !literal("      ")) return fail("header pair");
    int records = 0;
    while (p < f.size()) {
        if (!literal("\r\n") || !digits(2, 2) || !literal(".") || !digits(2, 2) || !literal(".") || !digits(2, 2) ||
            !literal(" ") || !digits(2, 2) || !literal(":") || !digits(2, 2) || !literal(" "))
            return fail("time stamp");
        for (int i = 0; i < links; ++i) {
            for (int t = 0; t < 6; ++t)
                if (!digits(1, 10) || !literal(" ")) return fail("number");
            if (p >= f.size() || f[p] < '0' || f[p] > '6') return fail("link state");
            ++p;
            if (!literal(" ")) return fail("link state");
        }
        ++records;
    }
    return records;
}

TEST(HistoryFileCheck, AcceptsTheFormatAndNothingElse) {
    const std::string good =
        "2  QX0AAA p1      QX0BBB p2      \r\n"
        "06.12.26 14:30 7 120 340 12 3 5 1 2 15 22 0 40 60 2 \r\n"
        "06.12.26 14:40 7 120 340 12 3 5 6 2 15 22 0 40 60 6 ";
    std::string why;
    EXPECT_EQ(CheckHistoryFile(good, why), 2) << why;
    for (const std::string& bad : {good.substr(0, good.size() - 1), good + "\r\n", good.substr(1),
                                   std::string(good).replace(good.find("14:40"), 5, "14:4x")}) {
        EXPECT_EQ(CheckHistoryFile(bad, why), -1) << bad;
    }
}

TEST(ProgramOnSimulatedNetwork, RecordsCallsEndToEnd) {
    char tmpl[] = "/tmp/hopwatch-process-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string runtime = dir + "/run", data = dir + "/data", config = dir + "/hopw.ini",
                      errors = dir + "/stderr.txt";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
    std::ofstream(config, std::ios::binary) << "[Mycall]\r\nDestination Call=QX0OWN\r\n"
                                               "[Channel1]\r\nCallPath=QX0TST-2 QX0VIA\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n"
                                               "[Channel2]\r\nCallPath=QX0ABC\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n";
    std::ofstream(data + "/hopwansw.txt", std::ios::binary) << "Back soon.\r\n";

    // A minute every 100 ms: about forty calls per channel in four seconds.
    const pid_t pid = StartProgram({"--headless", "--l2", "sim:seed=4,callers=3", "--time-scale", "600", "--config",
                                    config, "--data-dir", data},
                                   runtime, errors);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitProgram(pid), 0);
    EXPECT_EQ(ReadFile(errors), "");

    for (const char* name : {"QX0TST2.hpw", "QX0ABC.hpw"}) {
        SCOPED_TRACE(name);
        const std::string file = ReadFile(data + "/" + name);
        std::string why;
        const int records = CheckHistoryFile(file, why);
        EXPECT_GE(records, 5) << why << "\n" << file.substr(0, 400);
    }
    EXPECT_NE(ReadFile(config).find("Backend=sim:seed=4,callers=3\r\n"), std::string::npos);
    const std::string cmd = "rm -rf '" + dir + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
}

}  // namespace
