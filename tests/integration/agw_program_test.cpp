// The program headless, time sped up, over AGW on Direwolf TNC A, calling a
// digipeater stand-in on TNC B that answers "p" with a report once, then
// falls silent: the history file holds the report byte for byte, then again
// with the failure code; a station calling the own call gets the answer.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "radio/agw_client.h"
#include "support/program_run.h"

namespace {

// A TCP or UDP port that nothing uses right now. Direwolf takes ports up to
// 49151 only, below the kernel's ephemeral range, so the kernel cannot pick
// one: try from a start that differs between test processes.
int FreePort(int type) {
    static unsigned next = static_cast<unsigned>(getpid()) * 7919u;
    for (int attempt = 0; attempt < 200; ++attempt) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<unsigned short>(20000 + next++ % 12000u));
        const int fd = socket(AF_INET, type, 0);
        const int ok = bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        if (ok) return ntohs(a.sin_port);
    }
    return 0;
}

// Two Direwolf software TNCs wired to each other through audio over UDP on
// loopback, with no sound card: each receives audio on its own UDP port and
// transmits into an ALSA "file" PCM (defined in its own ~/.asoundrc) whose
// file is a pipe into the audio forwarder, which streams it on to the other
// one's port. Each runs in its own process group (its forwarder with it),
// stopped by its process id when the pair goes, also when a test fails.
struct DirewolfPair {
    struct Tnc {
        std::string Dir;
        int AgwPort = 0, AudioPort = 0;
        pid_t Pid = -1;
    };
    ScratchDir Root;
    Tnc A, B;

    static int Installed() { return std::system("command -v direwolf > /dev/null 2>&1") == 0; }

    // Starts both; 0 when either's AGW port does not answer within 15 s.
    int Start(const std::string& forwarder) {
        A = {Root.File("a"), FreePort(SOCK_STREAM), FreePort(SOCK_DGRAM)};
        B = {Root.File("b"), FreePort(SOCK_STREAM), FreePort(SOCK_DGRAM)};
        Launch(A, "Q1TNA", forwarder, B.AudioPort);
        Launch(B, "Q1TNB", forwarder, A.AudioPort);
        for (int i = 0; i < 150; ++i) {
            if (Answers(A) && Answers(B)) return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return 0;
    }
    ~DirewolfPair() {
        for (Tnc* t : {&A, &B}) {
            if (t->Pid <= 0) continue;
            kill(-t->Pid, SIGTERM);
            for (int i = 0; i < 40 && waitpid(t->Pid, nullptr, WNOHANG) != t->Pid; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            kill(-t->Pid, SIGKILL);  // the forwarder, or a TNC that would not end
            waitpid(t->Pid, nullptr, 0);
        }
    }
    std::string Logs() const { return ReadAll(A.Dir + "/direwolf.log") + ReadAll(B.Dir + "/direwolf.log"); }

private:
    static int Answers(const Tnc& t) { return AgwClient(AgwOptions{"127.0.0.1", t.AgwPort}).ax_init(); }
    static void Launch(Tnc& t, const std::string& call, const std::string& forwarder, int sendTo) {
        mkdir(t.Dir.c_str(), 0700);
        WriteAll(t.Dir + "/.asoundrc", "pcm.hopwatch_tx {\n type file\n slave.pcm \"null\"\n file \"|" +
                                           forwarder + " " + std::to_string(sendTo) +
                                           "\"\n format \"raw\"\n}\n");
        WriteAll(t.Dir + "/direwolf.conf", "ADEVICE UDP:" + std::to_string(t.AudioPort) +
                                               " hopwatch_tx\nARATE 48000\nACHANNELS 1\nCHANNEL 0\nMYCALL " +
                                               call + "\nMODEM 1200\nAGWPORT " + std::to_string(t.AgwPort) +
                                               "\nKISSPORT 0\n");
        t.Pid = fork();
        if (t.Pid != 0) return;
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // should the test die, the TNC goes too
        if (chdir(t.Dir.c_str()) != 0 || !freopen("direwolf.log", "w", stdout) || dup2(1, 2) < 0 ||
            !freopen("/dev/null", "r", stdin)) {
            _exit(127);
        }
        setenv("HOME", t.Dir.c_str(), 1);
        execlp("direwolf", "direwolf", "-c", "direwolf.conf", "-t", "0", "-q", "h",
               static_cast<char*>(nullptr));
        _exit(127);
    }
};

// The stand-in's link report, its fields at the columns the program cuts
// them from (number 9, Tkby 27, Rkby 32, Qty 37, name 54, second call 61,
// time 66).
constexpr const char* kReport =
    "Link    Port  Tkby  Rkby  Qty  Name   Time\n"
    "L        7                 120  340  12               Q4AAA  p1   3/5\n"
    "L        2                 15   22   0                Q4BBB  p2   (40/60)\n=>";

// All text waiting on a handle.
std::string TakeText(Layer2& l2, std::uint16_t h) {
    std::string text;
    for (; l2.l2_stat(0, h) & kL2DataWaiting; l2.l2_bef(kL2FrameDone, h)) {
        const unsigned char* f = l2.l2_get_i(h);
        if (f != nullptr) text.append(reinterpret_cast<const char*>(f + 3), f[0] | (f[1] << 8));
    }
    return text;
}

// The program on its own files in a scratch directory, stopped at the end.
struct ProgramRun : ProgramDirs {
    pid_t Pid = -1;
    ~ProgramRun() {
        if (Pid > 0 && kill(Pid, SIGTERM) == 0) WaitProgram(Pid, 10);
    }
};

TEST(AgwProgram, RecordsTheReportThenTheFailureAndAnswersACallerOnAir) {
    if (!DirewolfPair::Installed())
        GTEST_SKIP() << "direwolf is not installed; install it to run the on-air test";
    DirewolfPair pair;
    ProgramRun run;
    ASSERT_TRUE(pair.Start(HOPWATCH_AUDIO_FORWARD)) << pair.Logs();
    AgwClient tncB(AgwOptions{"127.0.0.1", pair.B.AgwPort});
    ASSERT_EQ(1, tncB.ax_init());
    // Serves the digipeater stand-in on TNC B until pred holds.
    int answering = 1, reports = 0;
    std::uint16_t digi = 0;
    std::string input;
    auto until = [&](const std::function<bool()>& pred, int seconds) {
        for (const std::time_t end = std::time(nullptr) + seconds; std::time(nullptr) < end; usleep(5000)) {
            if (digi == 0 && (digi = tncB.l2_get_sabm("Q2DIG")) != 0 && answering) {
                tncB.l2_puts(digi, "Q2DIG FlexNet digipeater stand-in\n=>");
            }
            input += digi != 0 ? TakeText(tncB, digi) : "";
            for (std::size_t cr; (cr = input.find('\r')) != std::string::npos; input.erase(0, cr + 1)) {
                if (input.rfind("p\r", 0) != 0 || !answering) continue;
                tncB.l2_puts(digi, kReport);
                ++reports;
            }
            if (digi != 0 && (tncB.l2_stat(0, digi) & kL2StateMask) < kL2Connected) {
                digi = 0;
                input.clear();
            }
            if (pred()) return true;
        }
        return false;
    };
    until([] { return false; }, 1);  // the stand-in's call registered before the first call comes
    WriteAll(run.Config,
             "[Mycall]\r\nDestination Call=Q1MON\r\n[Channel1]\r\nCallPath=Q2DIG\r\nRufAktiv=1\r\n"
             "MinutenIntervall=1\r\n");
    WriteAll(run.Data + "/hopwansw.txt", "Link monitor of Q1MON\r\nReports hourly\r\n");
    const std::time_t started = std::time(nullptr);
    // A minute every 2 s: the reading limit of 180 ticks is reached in 6 s.
    run.Pid = StartProgram({"--headless", "--l2", "agw://127.0.0.1:" + std::to_string(pair.A.AgwPort),
                            "--config", run.Config, "--data-dir", run.Data, "--time-scale", "30"},
                           run.Runtime, run.Errors);

    // One answered call, then silence: a call runs into the reading limit
    // and repeats the report with code 6.
    ASSERT_TRUE(until([&] { return reports == 1; }, 90)) << ReadAll(run.Errors) << pair.Logs();
    answering = 0;
    const std::string file = run.Data + "/Q2DIG.hpw";
    // Each record begins with CR LF and its start time, 17 bytes in all.
    auto stampsIn = [](const std::string& text) {
        std::vector<std::string> found;
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos && at + 17 <= text.size();)
            found.push_back(text.substr(at++, 17));
        return found;
    };
    ASSERT_TRUE(until([&] { return stampsIn(ReadAll(file)).size() >= 2; }, 180)) << ReadAll(file);
    const std::time_t ended = std::time(nullptr);
    const std::string text = ReadAll(file);
    std::string expected = "2  Q4AAA p1      Q4BBB p2      ";
    const char* groups = "7 120 340 12 3 5 1 2 15 22 0 40 60 2 ";
    for (const std::string& stamp : stampsIn(text)) {
        // Each start time is a minute of the run (UTC, the program's zone here).
        char minute[32] = "";
        for (std::time_t at = started - started % 60; at <= ended && stamp != minute; at += 60) {
            std::strftime(minute, sizeof minute, "\r\n%d.%m.%y %H:%M ", std::gmtime(&at));
        }
        EXPECT_EQ(stamp, minute);
        expected += stamp + groups;
        groups = "7 120 340 12 3 5 6 2 15 22 0 40 60 6 ";
    }
    EXPECT_EQ(expected, text);

    // A station calls the own call through TNC B and is answered.
    const std::uint16_t call = tncB.l2_connect("Q3CAL", "Q1MON");
    std::string heard;
    EXPECT_TRUE(until(
        [&] { return (heard += TakeText(tncB, call), tncB.l2_stat(0, call) == 0 && !heard.empty()); }, 120))
        << heard;
    EXPECT_EQ("Hopwatch V 2.34 link data acquisition!\rLink monitor of Q1MON\rReports hourly\r", heard);
}

}  // namespace
