// The built program as a service on the simulated network: two channels
// called every (sped-up) minute must leave history files that the reader
// takes whole, and say nothing on standard error.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "history/history_reader.h"
#include "support/program_run.h"

namespace {

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

}  // namespace
