// The built program as operators run it as a service: started headless on
// the simulated network, stopped with a signal, it writes its settings file;
// a second copy and the early exits write nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings_golden.h"
#include "support/program_run.h"

namespace {

std::vector<std::string> Service(const ProgramDirs& dirs, const char* backend) {
    return {"--headless", "--l2",    backend,        "--config", dirs.Config,
            "--data-dir", dirs.Data, "--time-scale", "60"};
}

TEST(ProgramRun, SecondCopyRefusedThenASignalShutsDownAndWritesTheSettings) {
    const ProgramDirs dirs;
    const std::string secondErrors = dirs.Scratch.File("second.txt");
    for (int sig : {SIGTERM, SIGINT}) {
        std::remove(dirs.Config.c_str());
        const pid_t first = StartProgram(Service(dirs, "sim"), dirs.Runtime, dirs.Errors);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        EXPECT_EQ(WaitProgram(StartProgram(Service(dirs, "sim"), dirs.Runtime, secondErrors)), 1);
        EXPECT_EQ(ReadAll(secondErrors), "hopwin: Hopwatch may run only once at the same time!\n");
        EXPECT_FALSE(FileExists(dirs.Config));  // the first copy has not written yet
        ASSERT_EQ(kill(first, sig), 0);
        EXPECT_EQ(WaitProgram(first), 0) << ReadAll(dirs.Errors);
        EXPECT_EQ(ReadAll(dirs.Config), FirstExitSettings("sim"))
            << "signal " << sig << ": " << ReadAll(dirs.Errors);
    }
}

TEST(ProgramRun, EarlyExitsWriteNothing) {
    const ProgramDirs dirs;
    const std::string stored = "[Mycall]\r\nDestination Call=DL1ABC\r\n";
    WriteAll(dirs.Config, stored);
    const struct {
        std::vector<std::string> Args;
        int Code;
        const char* Says;
    } cases[] = {
        {Service(dirs, "sim:fail"), 1, "hopwin: FlexNet not active!\n"},
        {{"--no-such-option"}, 2, "hopwatch: unknown option \"--no-such-option\" (try --help)\n"},
        {{"--l2", "nonsense"},
         2,
         "hopwatch: unknown layer-2 backend \"nonsense\" (use sim, sim:seed=N or "
         "agw://HOST:PORT[/RADIOPORT])\n"},
        {{"--version"}, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WaitProgram(StartProgram(c.Args, dirs.Runtime, dirs.Errors)), c.Code) << c.Args[0];
        EXPECT_EQ(ReadAll(dirs.Errors), c.Says);
    }
    EXPECT_EQ(ReadAll(dirs.Config), stored);
}

}  // namespace
