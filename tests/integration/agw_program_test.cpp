// The program itself on a real radio link: hopwatch runs headless with time
// sped up, attached over AGW to Direwolf TNC A with its own call and one
// channel whose path is a digipeater reached through TNC B. A stand-in for
// the digipeater on TNC B answers "p" with a link report once and then falls
// silent. The history file must hold the report byte for byte, then the
// same report again with the failure code once a call has run into the
// reading limit; and a station calling the own call through TNC B must get
// the greeting and the answer text.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/agw_client.h"
#include "integration/digi_standin.h"
#include "integration/direwolf_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kMycall = "Q1MON";
constexpr const char* kDigi = "Q2DIG";
constexpr const char* kCaller = "Q3CAL";
constexpr int kTimeScale = 30;  // a minute every 2 s; the reading limit of 180 ticks in 6 s

// The program in its own process group, stopped by its pid.
struct Program {
    pid_t Pid = -1;

    void Start(const std::vector<std::string>& args, const std::string& runtimeDir, const std::string& errPath) {
        Pid = fork();
        if (Pid != 0) return;
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (err >= 0) dup2(err, 2);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
        }
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("TZ", "UTC", 1);
        setenv("LC_ALL", "C", 1);
        std::vector<std::string> copy = args;
        std::string program = HOPWATCH_PROGRAM;
        std::vector<char*> argv{program.data()};
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    // Exit code, 128 + signal, or -1 while still running after `seconds`.
    int Wait(int seconds) {
        for (int i = 0; i < seconds * 20 && Pid > 0; ++i) {
            int status = 0;
            if (waitpid(Pid, &status, WNOHANG) == Pid) {
                Pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }
    void Stop() {
        if (Pid <= 0) return;
        kill(Pid, SIGTERM);
        if (Wait(10) == -1 && Pid > 0) {
            kill(-Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        Pid = -1;
    }
    ~Program() { Stop(); }
};

struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/hopwatch-e2e-XXXXXX";
        Root = mkdtemp(pattern);
        Runtime = Root + "/run";
        Data = Root + "/data";
        mkdir(Runtime.c_str(), 0700);
        mkdir(Data.c_str(), 0700);
        Config = Root + "/hopw.ini";
        Errors = Root + "/stderr.txt";
    }
    ~Scratch() {
        std::system(("rm -rf '" + Root + "'").c_str());
    }
    std::string Root, Runtime, Data, Config, Errors;
};

// Bytes of one record's link groups, as the history file holds them.
std::string Groups(const char* firstCode, const char* secondCode) {
    return std::string("7 120 340 12 3 5 ") + firstCode + " 2 15 22 0 40 60 " + secondCode + " ";
}

const std::vector<StandInLink> kLinks = {
    {"12", "3/5", "Q4AAA", "120", "7", "p1", "340"},
    {"0", "(40/60)", "Q4BBB", "15", "2", "p2", "22"},
};

TEST(AgwProgram, UnreachableTncEndsTheProgramAndLeavesTheSettingsAlone) {
    Scratch s;
    const std::string settings = "[Mycall]\r\nDestination Call=Q1MON\r\n[L2]\r\nBackend=sim\r\n";
    WriteFile(s.Config, settings);
    const int unused = FreePort(SOCK_STREAM);
    Program p;
    p.Start({"--headless", "--l2", "agw://127.0.0.1:" + std::to_string(unused), "--config", s.Config, "--data-dir",
             s.Data},
            s.Runtime, s.Errors);
    const int code = p.Wait(30);
    EXPECT_NE(-1, code);
    const std::string err = ReadFile(s.Errors);
    EXPECT_NE(std::string::npos, err.find("FlexNet not active!")) << err;
    EXPECT_NE(std::string::npos, err.find("direwolf")) << err;
    EXPECT_EQ(settings, ReadFile(s.Config));
}

class AgwProgramOnAir : public ::testing::Test {
protected:
    void SetUp() override {
        if (DirewolfPair::FindDirewolf().empty()) {
            GTEST_SKIP() << "direwolf is not installed; install the direwolf package to run the on-air test";
        }
        std::string error;
        ASSERT_TRUE(pair.Start(HOPWATCH_AUDIO_FORWARD, &error)) << error;
        AgwOptions b;
        b.Host = "127.0.0.1";
        b.TcpPort = pair.B.AgwPort;
        tncB = std::make_unique<AgwClient>(b);
        ASSERT_EQ(1, tncB->ax_init());
        digi = std::make_unique<DigiStandIn>(*tncB, kDigi, kLinks);
    }
    void TearDown() override {
        program.Stop();
        if (HasFailure()) {
            std::fprintf(stderr, "---- program stderr\n%s\n%s\n", ReadFile(scratch.Errors).c_str(), pair.Logs().c_str());
        }
    }
    // Serves the digipeater stand-in until pred holds; false on timeout.
    bool Until(const std::function<bool()>& pred, int seconds) {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            tncB->Poll();
            digi->Poll();
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    Scratch scratch;
    DirewolfPair pair;
    std::unique_ptr<AgwClient> tncB;
    std::unique_ptr<DigiStandIn> digi;
    Program program;
};

TEST_F(AgwProgramOnAir, RecordsTheReportThenTheFailureAndAnswersACaller) {
    WriteFile(scratch.Config,
             "[Mycall]\r\nDestination Call=Q1MON\r\n[Channel1]\r\nCallPath=Q2DIG\r\nRufAktiv=1\r\n"
             "MinutenIntervall=1\r\n");
    WriteFile(scratch.Data + "/hopwansw.txt", "Link monitor of Q1MON\r\nReports hourly\r\n");
    // The stand-in's call is registered before the first call comes.
    Until([] { return false; }, 1);
    const std::time_t started = std::time(nullptr);
    program.Start({"--headless", "--l2", "agw://127.0.0.1:" + std::to_string(pair.A.AgwPort), "--config",
                   scratch.Config, "--data-dir", scratch.Data, "--time-scale", std::to_string(kTimeScale)},
                  scratch.Runtime, scratch.Errors);

    // One answered call, then silence.
    ASSERT_TRUE(Until([&] { return digi->Reports == 1; }, 90));
    digi->Answering = 0;
    const std::string file = scratch.Data + "/Q2DIG.hpw";
    const std::string header = "2  Q4AAA p1      Q4BBB p2      ";
    ASSERT_TRUE(Until([&] { return ReadFile(file).size() > header.size() + 20; }, 60));

    // A call that runs into the reading limit repeats the report with code 6.
    const std::regex stamp("\r\n\\d\\d\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d ");
    auto stampsIn = [&](const std::string& text) {
        std::vector<std::string> found;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), stamp); it != std::sregex_iterator(); ++it)
            found.push_back(it->str());
        return found;
    };
    ASSERT_TRUE(Until([&] { return stampsIn(ReadFile(file)).size() >= 2; }, 120)) << ReadFile(file);
    const std::time_t ended = std::time(nullptr);

    // Each start time lies within the run (UTC, the program's zone here).
    std::set<std::string> during;
    for (std::time_t at = started - started % 60; at <= ended; at += 60) {
        char text[32];
        std::strftime(text, sizeof text, "\r\n%d.%m.%y %H:%M ", std::gmtime(&at));
        during.insert(text);
    }
    const std::string text = ReadFile(file);
    const std::vector<std::string> stamps = stampsIn(text);
    for (const std::string& s : stamps) EXPECT_EQ(1u, during.count(s)) << s;
    ASSERT_GE(stamps.size(), 2u);
    std::string expected = header + stamps[0] + Groups("1", "2");
    for (std::size_t i = 1; i < stamps.size(); ++i) expected += stamps[i] + Groups("6", "6");
    EXPECT_EQ(expected, text);

    // A station calls the own call through TNC B and is answered.
    const std::uint16_t call = tncB->l2_connect(kCaller, kMycall);
    std::string heard;
    EXPECT_TRUE(Until(
        [&] {
            while (tncB->l2_stat(0, call) & kL2DataWaiting) {
                const unsigned char* f = tncB->l2_get_i(call);
                if (f != nullptr) heard.append(reinterpret_cast<const char*>(f + 3), f[0] | (f[1] << 8));
                tncB->l2_bef(kL2FrameDone, call);
            }
            return tncB->l2_stat(0, call) == 0 && !heard.empty();
        },
        120))
        << heard;
    EXPECT_EQ("Hopwatch V 2.34 link data acquisition!\rLink monitor of Q1MON\rReports hourly\r", heard);
}

}  // namespace
