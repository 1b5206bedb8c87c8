// The built program as operators run it as a service: started headless on
// the simulated network, stopped with a signal, it writes its settings file;
// a second copy and the early exits write nothing.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "settings_golden.h"
#include "support/program_run.h"
#include "support/scratch.h"

namespace {

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
        ASSERT_EQ(mkdir(data.c_str(), 0700), 0);
    }
    std::vector<std::string> Service(const char* backend) const {
        return {"--headless", "--l2", backend, "--config", config, "--data-dir", data, "--time-scale", "60"};
    }
    ScratchDir scratch;
    const std::string runtime = scratch.File("run"), data = scratch.File("data"), config = scratch.File("hopw.ini"),
                      errors = scratch.File("stderr.txt");
};

TEST_F(ProgramRun, SecondCopyRefusedThenASignalShutsDownAndWritesTheSettings) {
    for (int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        std::remove(config.c_str());
        const pid_t first = StartProgram(Service("sim"), runtime, errors);
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        const std::string secondErrors = scratch.File("second.txt");
        EXPECT_EQ(WaitProgram(StartProgram(Service("sim"), runtime, secondErrors)), 0);
        EXPECT_EQ(ReadAll(secondErrors), "hopwin: Hopwatch may run only once at the same time!\n");
        EXPECT_FALSE(FileExists(config));  // the first copy has not written yet

        ASSERT_EQ(kill(first, sig), 0);
        EXPECT_EQ(WaitProgram(first), 0) << ReadAll(errors);
        EXPECT_EQ(ReadAll(config), FirstExitSettings("sim")) << ReadAll(errors);
    }
}

TEST_F(ProgramRun, EarlyExitsWriteNothing) {
    const std::string stored = "[Mycall]\r\nDestination Call=DL1ABC\r\n";
    WriteAll(config, stored);
    const struct {
        std::vector<std::string> Args;
        int Code;
        const char* Says;  // null = not checked
    } cases[] = {
        {Service("sim:fail"), 0, "hopwin: FlexNet not active!\n"},
        {{"--no-such-option"}, 2, nullptr},
        {{"--l2", "nonsense"}, 2, nullptr},
        {{"--time-scale", "fast"}, 2, nullptr},
        {{"--version"}, 0, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WaitProgram(StartProgram(c.Args, runtime, errors)), c.Code) << c.Args[0];
        if (c.Says) {
            EXPECT_EQ(ReadAll(errors), c.Says);
        }
    }
    EXPECT_EQ(ReadAll(config), stored);
}

}  // namespace
