// Two Direwolf software TNCs wired to each other through audio over UDP on
// loopback, with no sound card: each receives audio on its own UDP port and
// transmits into an ALSA "file" PCM (defined in its own ~/.asoundrc) whose
// file is a pipe into the audio forwarder (audio_forward.cpp), which streams
// it on to the other one's port. Each runs in its own process group (its
// forwarder with it), stopped by its process id when the pair goes, also
// when a test fails.
//
// TNC A serves AGW and KISS over TCP, and with PtyA a KISS pseudo-terminal;
// TNC B serves AGW. Each forwarder logs its TNC's transmissions (tx.log in
// the TNC's directory, see audio_forward.cpp), and with DumpFrames each
// TNC's log shows every frame sent ("[0L]" or "[0H]") and heard in hex with
// its length.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "radio/agw_client.h"
#include "support/scratch.h"

// A TCP or UDP port that nothing uses right now. Direwolf takes ports up to
// 49151 only, below the kernel's ephemeral range, so the kernel cannot pick
// one: try from a start that differs between test processes.
inline int FreePort(int type) {
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

// A frame a TNC's log shows it sent: "[0L HH:MM:SS] FROM>TO:(KIND cmd, ...)"
// or "[0H ...] ..." (the priority), followed with DumpFrames by a hex dump that
// gives its length (address field to information, without the check sum).
struct SentFrame {
    std::string Text;  // from "FROM>TO" on
    std::string Kind;  // I, RR, REJ, SABM, UA, DISC, ...; UI for frames with text only
    int Bytes = 0;
};

inline std::vector<SentFrame> FramesSent(const std::string& log) {
    std::vector<SentFrame> sent;
    std::istringstream lines(log);
    int dumping = 0;  // the dump that follows belongs to the last frame sent
    for (std::string line; std::getline(lines, line);) {
        const std::size_t close = line.find("] ");
        if ((line.rfind("[0L", 0) == 0 || line.rfind("[0H", 0) == 0) && close != std::string::npos) {
            SentFrame f{line.substr(close + 2), "UI", 0};
            const std::size_t open = f.Text.find(":(");
            if (open != std::string::npos)
                f.Kind = f.Text.substr(open + 2, f.Text.find_first_of(" ,)", open) - open - 2);
            sent.push_back(f);
            dumping = 1;
        } else if (line.rfind("[", 0) == 0) {
            dumping = 0;
        } else if (const std::size_t at = line.find("length = "); dumping && at != std::string::npos) {
            sent.back().Bytes = std::atoi(line.c_str() + at + 9);
            dumping = 0;
        }
    }
    return sent;
}

struct DirewolfSetup {
    std::string ConfigA, ConfigB;  // further lines of each TNC's configuration
    int PtyA = 0;                  // TNC A makes a KISS pseudo-terminal (direwolf -p)
    int DumpFrames = 0;            // frames sent and heard in hex in the logs (-d p)
    int SpoilOneIn = 0;            // each forwarder spoils about one transmission in this many
    int Seed = 1;                  // of the spoiling: A's forwarder draws from Seed, B's from Seed + 1
};

struct DirewolfPair {
    struct Tnc {
        std::string Dir;
        int AgwPort = 0, AudioPort = 0, KissPort = 0;
        pid_t Pid = -1;
        std::string Log() const { return ReadAll(Dir + "/direwolf.log"); }
        std::string Transmissions() const { return ReadAll(Dir + "/tx.log"); }
    };
    ScratchDir Root;
    Tnc A, B;
    std::string PtyA;  // TNC A's KISS pseudo-terminal, from its log

    static int Installed() { return std::system("command -v direwolf > /dev/null 2>&1") == 0; }

    // Starts both; 0 when either's AGW port (or A's pseudo-terminal) is not
    // there within 15 s.
    int Start(const std::string& forwarder, const DirewolfSetup& setup = {}) {
        A = {Root.File("a"), FreePort(SOCK_STREAM), FreePort(SOCK_DGRAM), FreePort(SOCK_STREAM)};
        B = {Root.File("b"), FreePort(SOCK_STREAM), FreePort(SOCK_DGRAM), 0};
        Launch(A, "Q1TNA", setup.ConfigA, setup, forwarder + " " + std::to_string(B.AudioPort), setup.Seed);
        Launch(B, "Q1TNB", setup.ConfigB, setup, forwarder + " " + std::to_string(A.AudioPort),
               setup.Seed + 1);
        for (int i = 0; i < 150; ++i) {
            if (setup.PtyA && PtyA.empty()) PtyA = PtyIn(A.Log());
            if (Answers(A) && Answers(B) && (!setup.PtyA || !PtyA.empty())) return 1;
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
    std::string Logs() const { return A.Log() + B.Log(); }

private:
    static int Answers(const Tnc& t) { return AgwClient(AgwOptions{"127.0.0.1", t.AgwPort}).ax_init(); }
    // Direwolf also links its pseudo-terminal as /tmp/kisstnc, which every
    // Direwolf started with -p overwrites: the device named in the log is
    // this one's.
    static std::string PtyIn(const std::string& log) {
        const std::string said = "Virtual KISS TNC is available on ";
        const std::size_t at = log.find(said);
        const std::size_t end = at == std::string::npos ? at : log.find('\n', at);
        return end == std::string::npos ? "" : log.substr(at + said.size(), end - at - said.size());
    }
    static void Launch(Tnc& t, const std::string& call, const std::string& config, const DirewolfSetup& setup,
                       const std::string& forward, int seed) {
        mkdir(t.Dir.c_str(), 0700);
        const std::string pipe = forward + " --log " + t.Dir + "/tx.log --spoil " +
                                 std::to_string(setup.SpoilOneIn) + " --seed " + std::to_string(seed);
        WriteAll(t.Dir + "/.asoundrc", "pcm.hopwatch_tx {\n type file\n slave.pcm \"null\"\n file \"|" +
                                           pipe + "\"\n format \"raw\"\n}\n");
        // TXDELAY is set because the forwarder spoils a frame just after it.
        WriteAll(t.Dir + "/direwolf.conf", "ADEVICE UDP:" + std::to_string(t.AudioPort) +
                                               " hopwatch_tx\nARATE 48000\nACHANNELS 1\nCHANNEL 0\nMYCALL " +
                                               call + "\nMODEM 1200\nTXDELAY 30\nAGWPORT " +
                                               std::to_string(t.AgwPort) + "\nKISSPORT " +
                                               std::to_string(t.KissPort) + "\n" + config);
        t.Pid = fork();
        if (t.Pid != 0) return;
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // should the test die, the TNC goes too
        if (chdir(t.Dir.c_str()) != 0 || !freopen("direwolf.log", "w", stdout) || dup2(1, 2) < 0 ||
            !freopen("/dev/null", "r", stdin)) {
            _exit(127);
        }
        setenv("HOME", t.Dir.c_str(), 1);
        std::vector<const char*> argv = {"direwolf", "-c", "direwolf.conf", "-t", "0", "-q", "h", "-T", "%T"};
        if (setup.DumpFrames) argv.insert(argv.end(), {"-d", "p"});
        if (setup.PtyA && call == "Q1TNA") argv.push_back("-p");
        argv.push_back(nullptr);
        execvp("direwolf", const_cast<char* const*>(argv.data()));
        _exit(127);
    }
};
