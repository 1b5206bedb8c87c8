// Runs the built program (HOPWATCH_PROGRAM) as a child process, the way an
// operator starts it as a service: offscreen, with its own runtime directory
// (the single-instance lock lives there), standard error into a file.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "history/history_reader.h"
#include "support/scratch.h"
#include "support/wait_for.h"

// A scratch directory laid out for program runs: the runtime directory, a
// data directory, the settings file and a file for standard error.
struct ProgramDirs {
    ScratchDir Scratch;
    std::string Runtime = Scratch.File("run"), Data = Scratch.File("data");
    std::string Config = Scratch.File("hopw.ini"), Errors = Scratch.File("stderr.txt");
    ProgramDirs() { EXPECT_EQ(mkdir(Runtime.c_str(), 0700) + mkdir(Data.c_str(), 0700), 0); }
};

// Records of a history file the program wrote, as its own reader takes
// them; -1 when the file cannot be read or reading stops at a fault.
inline long long HistoryRecords(const std::string& path) {
    HistoryReader reader;
    long long n = 0;
    if (CountHistoryFile(path.c_str(), reader, n) != HistoryOpen::Read) return -1;
    return reader.Fault == HistoryFault::None ? n : -1;
}

inline pid_t StartProgram(const std::vector<std::string>& args, const std::string& runtimeDir,
                          const std::string& errPath) {
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        dup2(open("/dev/null", O_WRONLY), 1);
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv = {const_cast<char*>(HOPWATCH_PROGRAM)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(HOPWATCH_PROGRAM, argv.data());
        _exit(127);
    }
    return pid;
}

// The command line of the headless service on `backend`, a minute lasting
// 60 / `scale` seconds.
inline std::vector<std::string> Service(const ProgramDirs& dirs, const std::string& backend,
                                        const std::string& scale = "60") {
    return {"--headless", "--l2",    backend,        "--config", dirs.Config,
            "--data-dir", dirs.Data, "--time-scale", scale};
}

// `channels` digipeaters called every `interval` minutes; every call
// succeeds and no station calls in, so the link lists never change and
// nothing rotates.
inline std::vector<std::string> Calling(const ProgramDirs& dirs, int channels, const char* timeScale,
                                        int interval = 1) {
    std::string ini = "[Mycall]\r\nDestination Call=QX0ME\r\n";
    for (int i = 1; i <= channels; ++i) {
        ini += "[Channel" + std::to_string(i) + "]\r\nCallPath=QX0D" + std::string(1, char('A' + i)) +
               "\r\nRufAktiv=1\r\nMinutenIntervall=" + std::to_string(interval) + "\r\n";
    }
    WriteAll(dirs.Config, ini);
    return Service(dirs, "sim:faults=0,callers=0", timeScale);
}

// Exit code, or 128 + signal when it was killed; -1 (and killed) when it
// has not ended within `seconds`.
inline int WaitProgram(pid_t pid, int seconds = 30) {
    int status = 0;
    if (WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds * 1000))
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Waits until `pid` catches SIGTERM and SIGINT. The program sets its
// handlers once it has started (its locks held, its settings read): from
// then on a stop signal ends it in order, and what it started with can be
// checked. No file it writes marks that moment, so /proc is read.
inline bool WaitRunning(pid_t pid) {
    const unsigned long long both = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1));
    return WaitFor(
        [&] {
            std::ifstream status("/proc/" + std::to_string(pid) + "/status");
            std::string line;
            while (std::getline(status, line) && line.rfind("SigCgt:", 0) != 0) {}
            return !line.empty() && (std::stoull(line.substr(7), nullptr, 16) & both) == both;
        },
        30000);
}

// Sends `signal` and waits as WaitProgram does.
inline int EndProgram(pid_t pid, int signal = SIGTERM, int seconds = 30) {
    kill(pid, signal);
    return WaitProgram(pid, seconds);
}

// Started programs, ended and reaped however the test ends.
struct Processes {
    std::vector<pid_t> Pids;
    ~Processes() {
        for (pid_t pid : Pids) kill(pid, SIGTERM);
        for (pid_t pid : Pids) WaitProgram(pid, 10);
    }
};
