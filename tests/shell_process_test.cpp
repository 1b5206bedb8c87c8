// The built program as operators run it as a service: started headless on
// the simulated network, stopped with SIGTERM, it writes its settings file;
// the early exits write nothing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "shell_support.h"

namespace {

struct Child {
    pid_t Pid = -1;
};

// Starts the program with `args`, standard error into `errPath`, and its own
// runtime directory (the single-instance lock lives there).
Child Start(const std::vector<std::string>& args, const std::string& runtimeDir, const std::string& errPath) {
    Child child;
    child.Pid = fork();
    if (child.Pid == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (err >= 0) dup2(err, 2);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 1);
        setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv;
        static std::string program = HOPWATCH_PROGRAM;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return child;
}

// Exit code, or 128 + signal when it was killed; -1 on timeout.
int Wait(const Child& child, int seconds = 30) {
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        const pid_t done = waitpid(child.Pid, &status, WNOHANG);
        if (done == child.Pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(child.Pid, SIGKILL);
    waitpid(child.Pid, nullptr, 0);
    return -1;
}

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = scratch.File("run");
        data = scratch.File("data");
        ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
        config = scratch.File("hopw.ini");
        errors = scratch.File("stderr.txt");
    }
    std::vector<std::string> Service(const char* backend) const {
        return {"--headless", "--l2", backend, "--config", config, "--data-dir", data, "--time-scale", "60"};
    }
    ShellScratch scratch;
    std::string runtime, data, config, errors;
};

TEST_F(ProgramRun, SigtermShutsDownInOrderAndWritesTheSettings) {
    const Child child = Start(Service("sim"), runtime, errors);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    ASSERT_EQ(kill(child.Pid, SIGTERM), 0);
    EXPECT_EQ(Wait(child), 0) << ReadAll(errors);
    const std::string written = ReadAll(config);
    ASSERT_FALSE(written.empty()) << ReadAll(errors);
    // Every line ends in CR LF; sections in the order a first exit makes them.
    for (std::size_t at = written.find('\n'); at != std::string::npos; at = written.find('\n', at + 1)) {
        ASSERT_GT(at, 0u);
        EXPECT_EQ(written[at - 1], '\r') << "line end at byte " << at;
    }
    std::vector<std::string> sections;
    for (std::size_t begin = 0, end; (end = written.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        const std::string line = written.substr(begin, end - begin);
        if (!line.empty() && line.front() == '[') sections.push_back(line.substr(1, line.size() - 2));
    }
    const std::vector<std::string> expected = {"Curvset", "Mycall",   "Channel1", "language",
                                               "Channel2", "Channel3", "Channel4", "L2"};
    EXPECT_EQ(sections, expected);
    EXPECT_NE(written.find("Backend=sim\r\n"), std::string::npos);
}

TEST_F(ProgramRun, SigintToo) {
    const Child child = Start(Service("sim"), runtime, errors);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    ASSERT_EQ(kill(child.Pid, SIGINT), 0);
    EXPECT_EQ(Wait(child), 0) << ReadAll(errors);
    EXPECT_TRUE(FileExists(config));
}

TEST_F(ProgramRun, SecondCopyIsRefusedAndTouchesNothing) {
    const Child first = Start(Service("sim"), runtime, errors);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    const std::string secondErrors = scratch.File("second.txt");
    const Child second = Start(Service("sim"), runtime, secondErrors);
    EXPECT_EQ(Wait(second), 0);
    EXPECT_EQ(ReadAll(secondErrors), "hopwin: Hopwatch may run only once at the same time!\n");
    EXPECT_FALSE(FileExists(config));  // the first copy has not written yet
    kill(first.Pid, SIGTERM);
    EXPECT_EQ(Wait(first), 0);
}

TEST_F(ProgramRun, InactiveStackEndsAtOnceWithoutWriting) {
    WriteAll(config, "[Mycall]\r\nDestination Call=DL1ABC\r\n");
    const Child child = Start(Service("sim:fail"), runtime, errors);
    EXPECT_EQ(Wait(child), 0);
    EXPECT_EQ(ReadAll(errors), "hopwin: FlexNet not active!\n");
    EXPECT_EQ(ReadAll(config), "[Mycall]\r\nDestination Call=DL1ABC\r\n");
}

TEST_F(ProgramRun, UnusableCommandLinesEndWithCodeTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--no-such-option"}, std::vector<std::string>{"--l2", "nonsense"},
          std::vector<std::string>{"--time-scale", "fast"}}) {
        const Child child = Start(args, runtime, errors);
        EXPECT_EQ(Wait(child), 2) << args[0];
    }
    EXPECT_FALSE(FileExists(config));
    const Child version = Start({"--version"}, runtime, errors);
    EXPECT_EQ(Wait(version), 0);
}

}  // namespace
