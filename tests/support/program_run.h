// Runs the built program (HOPWATCH_PROGRAM) as a child process, the way an
// operator starts it as a service: offscreen, with its own runtime directory
// (the single-instance lock lives there), standard error into a file.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "history/history_reader.h"
#include "support/scratch.h"

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

// Exit code, or 128 + signal when it was killed; -1 (and killed) when it
// has not ended within `seconds`.
inline int WaitProgram(pid_t pid, int seconds = 30) {
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}
