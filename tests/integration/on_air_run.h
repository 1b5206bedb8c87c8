// The program on the air between two Direwolf TNCs (direwolf_pair.h): the
// program headless, time sped up, on TNC A through the backend under test,
// calling a digipeater stand-in that TNC B's own layer 2 carries (through
// its AGW port), and a station on TNC B calling the program.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "integration/direwolf_pair.h"
#include "radio/agw_client.h"
#include "support/program_run.h"

// The stand-in's link report, its fields at the columns the program cuts
// them from (number 9, Tkby 27, Rkby 32, Qty 37, name 54, second call 61,
// time 66).
constexpr const char* kStandInReport =
    "Link    Port  Tkby  Rkby  Qty  Name   Time\n"
    "L        7                 120  340  12               Q4AAA  p1   3/5\n"
    "L        2                 15   22   0                Q4BBB  p2   (40/60)\n=>";

// All text waiting on a handle.
inline std::string TakeText(Layer2& l2, std::uint16_t h) {
    std::string text;
    for (; l2.l2_stat(0, h) & kL2DataWaiting; l2.l2_bef(kL2FrameDone, h)) {
        const unsigned char* f = l2.l2_get_i(h);
        if (f != nullptr) text.append(reinterpret_cast<const char*>(f + 3), f[0] | (f[1] << 8));
    }
    return text;
}

// The digipeater Q2DIG on TNC B: greets each connect with a banner and a
// prompt and answers "p" with the report while Answering; connects are
// still taken, but left unanswered, once it is not.
struct DigipeaterStandIn {
    AgwClient Tnc;
    int Answering = 1, Reports = 0;
    std::uint16_t Digi = 0;
    std::string Input;

    explicit DigipeaterStandIn(int agwPort) : Tnc(AgwOptions{"127.0.0.1", agwPort}) {}

    // One round of service: takes a connect, answers what came.
    void Serve() {
        if (Digi == 0 && (Digi = Tnc.l2_get_sabm("Q2DIG")) != 0 && Answering) {
            Tnc.l2_puts(Digi, "Q2DIG FlexNet digipeater stand-in\n=>");
        }
        Input += Digi != 0 ? TakeText(Tnc, Digi) : "";
        for (std::size_t cr; (cr = Input.find('\r')) != std::string::npos; Input.erase(0, cr + 1)) {
            if (Input.rfind("p\r", 0) != 0 || !Answering) continue;
            Tnc.l2_puts(Digi, kStandInReport);
            ++Reports;
        }
        if (Digi != 0 && (Tnc.l2_stat(0, Digi) & kL2StateMask) < kL2Connected) {
            Digi = 0;
            Input.clear();
        }
    }
    // Serves until pred holds (true) or `seconds` have passed (false).
    bool Until(const std::function<bool()>& pred, int seconds) {
        return WaitFor([&] { return Serve(), pred(); }, seconds * 1000, [] { usleep(5000); });
    }
};

// The program on its own files in a scratch directory, stopped at the end.
struct ProgramRun : ProgramDirs {
    Processes Running;
    // Starts it on the backend `l2`, calling Q2DIG on channel 1 every
    // minute as Q1MON, a minute lasting 60 / timeScale seconds.
    void Start(const std::string& l2, int timeScale) {
        WriteAll(Config,
                 "[Mycall]\r\nDestination Call=Q1MON\r\n[Channel1]\r\nCallPath=Q2DIG\r\nRufAktiv=1\r\n"
                 "MinutenIntervall=1\r\n");
        WriteAll(Data + "/hopwansw.txt", "Link monitor of Q1MON\r\nReports hourly\r\n");
        Running.Pids.push_back(StartProgram(Service(*this, l2, std::to_string(timeScale)), Runtime, Errors));
    }
};

// The program on `l2` calls the stand-in: one call answered, then silence,
// so that a call runs into the reading limit (180 ticks) and repeats the
// report with code 6; the history file holds both byte for byte. Then a
// station on TNC B calls Q1MON and is answered with the greeting and the
// answer text.
inline void ExpectRecordsAndAnswer(DirewolfPair& pair, const std::string& l2, int timeScale) {
    DigipeaterStandIn digi(pair.B.AgwPort);
    ASSERT_EQ(1, digi.Tnc.ax_init());
    ProgramRun run;
    digi.Until([] { return false; }, 1);  // the stand-in's call registered before the first call comes
    const std::time_t started = std::time(nullptr);
    run.Start(l2, timeScale);

    ASSERT_TRUE(digi.Until([&] { return digi.Reports == 1; }, 90)) << ReadAll(run.Errors) << pair.Logs();
    digi.Answering = 0;
    const std::string file = run.Data + "/Q2DIG.hpw";
    // Each record begins with CR LF and its start time, 17 bytes in all.
    auto stampsIn = [](const std::string& text) {
        std::vector<std::string> found;
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos && at + 17 <= text.size();)
            found.push_back(text.substr(at++, 17));
        return found;
    };
    ASSERT_TRUE(digi.Until([&] { return stampsIn(ReadAll(file)).size() >= 2; }, 60 + 180 * 2 / timeScale))
        << ReadAll(file) << ReadAll(run.Errors) << pair.Logs();
    const std::time_t ended = std::time(nullptr);
    const std::string text = ReadAll(file);
    std::string expected = "2  Q4AAA p1      Q4BBB p2      ";
    const char* groups = "7 120 340 12 3 5 1 2 15 22 0 40 60 2 ";
    for (const std::string& stamp : stampsIn(text)) {
        // Each start time is a minute of the run (UTC, the program's zone here).
        char minute[32] = "";
        for (std::time_t at = started - started % 60; at <= ended && stamp != minute; at += 60) {
            std::strftime(minute, sizeof minute, "\r\n%d.%m.%y %H:%M ", std::gmtime(&at));
        }
        EXPECT_EQ(stamp, minute);
        expected += stamp + groups;
        groups = "7 120 340 12 3 5 6 2 15 22 0 40 60 6 ";
    }
    EXPECT_EQ(expected, text);

    // A station calls the own call through TNC B and is answered.
    const std::uint16_t call = digi.Tnc.l2_connect("Q3CAL", "Q1MON");
    std::string heard;
    EXPECT_TRUE(digi.Until(
        [&] { return (heard += TakeText(digi.Tnc, call), digi.Tnc.l2_stat(0, call) == 0 && !heard.empty()); },
        120))
        << heard << ReadAll(run.Errors) << pair.Logs();
    EXPECT_EQ("Hopwatch V 2.34 link data acquisition!\rLink monitor of Q1MON\rReports hourly\r", heard);
}
