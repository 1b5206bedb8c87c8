// --demo as a service: with private XDG folders it makes its own settings
// and four history files of about 860 records, asks nothing, keeps
// recording, and leaves the user's settings file alone.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/demo.h"
#include "support/program_run.h"

namespace {

TEST(DemoProcess, RecordsItsOwnHistoryAndKeepsCalling) {
    ProgramDirs dirs;
    const std::string cache = dirs.Scratch.File("cache"), config = dirs.Scratch.File("config");
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string demo = cache + "/hopwatch/demo";
    const pid_t pid = StartProgram({"--demo", "--headless", "--time-scale", "60"}, dirs.Runtime, dirs.Errors);

    // The settings file is the last thing the preparation writes.
    for (int i = 0; i < 200 && !FileExists(demo + "/hopw.ini"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    long long before[4];
    for (int i = 0; i < 4; ++i) {
        before[i] = HistoryRecords(demo + "/" + kDemoDigipeaters[i] + ".hpw");
        EXPECT_GE(before[i], kDemoRecords - 20) << kDemoDigipeaters[i];
        EXPECT_LE(before[i], kDemoRecords + 20) << kDemoDigipeaters[i];
    }
    // A minute passes every second: each channel calls a few times.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(pid, SIGTERM);
    EXPECT_EQ(0, WaitProgram(pid));

    int grown = 0;
    for (int i = 0; i < 4; ++i)
        grown += HistoryRecords(demo + "/" + kDemoDigipeaters[i] + ".hpw") > before[i];
    EXPECT_GE(grown, 3);
    const std::string errors = ReadAll(dirs.Errors);
    EXPECT_EQ(std::string::npos, errors.find("Congratulations")) << errors;  // no size prompt
    EXPECT_NE(std::string::npos, ReadAll(demo + "/hopw.ini").find("CallPath=QX0HOF"));
    EXPECT_FALSE(FileExists(config + "/hopwatch/hopw.ini"));
    EXPECT_FALSE(FileExists(config));
}

}  // namespace
