// The built program as operators run it as a service: started headless on
// the simulated network, stopped with a signal, it writes its settings file;
// a second copy and the early exits write nothing. Two channels called every
// (sped-up) minute leave history files that the reader takes whole, with
// nothing said on standard error. --demo with private XDG folders makes its
// own settings and four history files of about 860 records, asks nothing,
// keeps recording, and leaves the user's settings file alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/demo.h"
#include "history/history_reader.h"
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

TEST(ProgramOnSimulatedNetwork, RecordsCallsEndToEnd) {
    const ProgramDirs dirs;
    const std::string &data = dirs.Data, &config = dirs.Config;
    WriteAll(config,
             "[Mycall]\r\nDestination Call=QX0OWN\r\n"
             "[Channel1]\r\nCallPath=QX0TST-2 QX0VIA\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n"
             "[Channel2]\r\nCallPath=QX0ABC\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n");
    WriteAll(data + "/hopwansw.txt", "Back soon.\r\n");

    // A minute every 100 ms: about forty calls per channel in four seconds.
    const pid_t pid = StartProgram({"--headless", "--l2", "sim:seed=4,callers=3", "--time-scale", "600",
                                    "--config", config, "--data-dir", data},
                                   dirs.Runtime, dirs.Errors);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitProgram(pid), 0);
    EXPECT_EQ(ReadAll(dirs.Errors), "");

    for (const char* name : {"QX0TST2.hpw", "QX0ABC.hpw"}) {
        SCOPED_TRACE(name);
        const std::string file = ReadAll(data + "/" + name);
        HistoryReader reader;
        StartHistoryReader(reader, file.data(), file.size());
        EXPECT_GE(CountHistoryRecords(reader), 5) << file.substr(0, 400);
        EXPECT_EQ(reader.Fault, HistoryFault::None) << "at byte " << reader.FaultOffset;
        EXPECT_EQ(file.find("???"), std::string::npos) << "every link name is found at its column";
    }
    EXPECT_NE(ReadAll(config).find("Backend=sim:seed=4,callers=3\r\n"), std::string::npos);
}

long long Records(const std::string& path) {
    HistoryBytes bytes;
    if (ReadHistoryBytes(path.c_str(), bytes) != HistoryOpen::Read) return -1;
    HistoryReader reader;
    StartHistoryReader(reader, bytes.Data, bytes.Size);
    const long long n = CountHistoryRecords(reader);
    return reader.Fault == HistoryFault::None ? n : -1;
}

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
        before[i] = Records(demo + "/" + kDemoDigipeaters[i] + ".hpw");
        EXPECT_GE(before[i], kDemoRecords - 20) << kDemoDigipeaters[i];
        EXPECT_LE(before[i], kDemoRecords + 20) << kDemoDigipeaters[i];
    }
    // A minute passes every second: each channel calls a few times.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kill(pid, SIGTERM);
    EXPECT_EQ(0, WaitProgram(pid));

    int grown = 0;
    for (int i = 0; i < 4; ++i) grown += Records(demo + "/" + kDemoDigipeaters[i] + ".hpw") > before[i];
    EXPECT_GE(grown, 3);
    const std::string errors = ReadAll(dirs.Errors);
    EXPECT_EQ(std::string::npos, errors.find("Congratulations")) << errors;  // no size prompt
    EXPECT_NE(std::string::npos, ReadAll(demo + "/hopw.ini").find("CallPath=QX0HOF"));
    EXPECT_FALSE(FileExists(config + "/hopwatch/hopw.ini"));
    EXPECT_FALSE(FileExists(config));
}

}  // namespace
