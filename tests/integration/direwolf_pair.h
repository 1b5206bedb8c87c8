// Two Direwolf software TNCs wired to each other through audio over UDP on
// loopback, with no sound card: each receives 48 kHz 16-bit audio on its own
// UDP port and transmits into an ALSA "file" PCM (defined in its own
// ~/.asoundrc) whose file is a pipe into the audio forwarder, which streams
// it on to the other one's port.
//
// Each TNC runs in its own process group (its forwarder with it) and is
// stopped by its process id when the pair goes, also when a test fails.
//
// Threading: test thread only.
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "acquisition/agw_client.h"
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
    static int Answers(const Tnc& t) {
        AgwOptions o;
        o.Host = "127.0.0.1";
        o.TcpPort = t.AgwPort;
        return AgwClient(o).ax_init();
    }
    static void Launch(Tnc& t, const std::string& call, const std::string& forwarder, int sendTo) {
        mkdir(t.Dir.c_str(), 0700);
        WriteAll(t.Dir + "/.asoundrc", "pcm.hopwatch_tx {\n type file\n slave.pcm \"null\"\n file \"|" + forwarder +
                                           " " + std::to_string(sendTo) + "\"\n format \"raw\"\n}\n");
        WriteAll(t.Dir + "/direwolf.conf", "ADEVICE UDP:" + std::to_string(t.AudioPort) +
                                               " hopwatch_tx\nARATE 48000\nACHANNELS 1\nCHANNEL 0\nMYCALL " + call +
                                               "\nMODEM 1200\nAGWPORT " + std::to_string(t.AgwPort) +
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
        execlp("direwolf", "direwolf", "-c", "direwolf.conf", "-t", "0", "-q", "h", static_cast<char*>(nullptr));
        _exit(127);
    }
};
