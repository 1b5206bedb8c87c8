// Program entry, start-up and shut-down: their order, and every failure row,
// through the fake port and a recording host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "history/history_series.h"
#include "core/reserved_area.h"
#include "settings_golden.h"
#include "core/app_state.h"
#include "app/session.h"
#include "app/single_instance.h"
#include "app/tick_dispatch.h"
#include "support/fake_port.h"
#include "support/scratch.h"

namespace {

using Log = std::vector<std::string>;

// Writes into the port's log, so that tests can check the order of
// everything the sequences do.
struct FakeHost : ShellHost {
    Log* Entries = nullptr;
    int FailReserveAt = -1;       // index of the reservation that fails
    int FailMinuteTimer = 0;
    int SecondTimerFailures = 0;  // this many starts of timer 2 fail first
    std::vector<std::size_t> ReserveSizes;
    std::vector<int> StatusWidths;

    void createWindow() override { Entries->push_back("window"); }
    void createToolbar() override { Entries->push_back("toolbar"); }
    void createStatusBar(const int* widths, int count) override {
        StatusWidths.assign(widths, widths + count);
        Entries->push_back("statusbar");
    }
    void showWindow() override { Entries->push_back("show"); }
    int startTimer(int id, int periodMs) override {
        Entries->push_back("start " + std::to_string(id) + " " + std::to_string(periodMs));
        if (id == 1 && FailMinuteTimer) return 0;
        if (id == 2 && SecondTimerFailures > 0) {
            --SecondTimerFailures;
            return 0;
        }
        return 1;
    }
    void stopTimer(int id) override { Entries->push_back("stop " + std::to_string(id)); }
    void postQuit(int code) override { Entries->push_back("quit " + std::to_string(code)); }
    int reserveArea(ReservedArea& area, std::size_t bytes) override {
        const int index = static_cast<int>(ReserveSizes.size());
        ReserveSizes.push_back(bytes);
        Entries->push_back("reserve");
        if (index == FailReserveAt) return 0;
        return ShellHost::reserveArea(area, bytes);
    }
};

const char* const kStoredSettings =
    "[Curvset]\r\nqty=0\r\n"
    "[Mycall]\r\nDestination Call=DL1ABC\r\n"
    "[Channel1]\r\nCallPath=DB0XYZ\r\nMinutenIntervall=0\r\nRufAktiv=257\r\n"
    "[language]\r\ngerman=1\r\n"
    "[Channel3]\r\nCallPath=DB0ABC DB0DEF\r\nMinutenIntervall=90\r\n"
    "[L2]\r\nBackend=sim:seed=7\r\n";

class ShellRun : public ::testing::Test {
protected:
    void SetUp() override { Start(Config()); }
    void TearDown() override { ReleaseSession(session, state); }

    // A fresh session on the settings file `config`, on the simulated
    // network unless `sim` is 0.
    void Start(const std::string& config, int sim = 1) {
        InitAppState(state);
        port.Log = &log;
        host.Entries = &log;
        ShellOptions options{};
        options.TimeScale = 1;
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", config.c_str());
        std::snprintf(options.DataDir, sizeof options.DataDir, "%s", scratch.Path.c_str());
        InitShellSession(session, state, options);
        std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
        if (sim) std::snprintf(session.BackendUri, sizeof session.BackendUri, "sim");
    }
    // Ends this session and starts another with a clean log and host.
    void Restart() {
        ReleaseSession(session, state);
        session = ShellSession{};
        log.clear();
        port.Boxes.clear();
        port.Answers.clear();
        host = FakeHost{};
        Start(Config());
    }
    // The file as stored, or removed when `stored` is null.
    void Store(const char* stored) {
        if (stored) WriteAll(Config(), stored);
        else std::remove(Config().c_str());
    }
    void ExpectStored(const char* stored) {
        if (stored) EXPECT_EQ(ReadAll(Config()), stored);
        else EXPECT_FALSE(FileExists(Config()));
    }

    std::string Config() const { return scratch.File("hopw.ini"); }
    int Entry() { return ProgramEntry(session, state, port, host); }
    void Shutdown() { ShutdownSequence(session, state, port, host); }
    // Log entries from the first one equal to `from`.
    Log From(const std::string& from) const {
        const auto at = std::find(log.begin(), log.end(), from);
        return Log(at, log.end());
    }
    bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
    int AreasReserved() const {
        int n = 0;
        for (const ReservedArea& a : state.HistoryArea) n += a.Base != nullptr;
        for (const ReservedArea& a : state.CurvePoints) n += a.Base != nullptr;
        return n;
    }

    ScratchDir scratch;
    AppState state;
    ShellSession session{};
    Log log;
    FakePort port;
    FakeHost host;
};

TEST_F(ShellRun, StartUpRunsInOrderAndReadsTheSettings) {
    Store(kStoredSettings);
    state.ChannelTable[1].ReplyLineCount = 7;  // stale counters are reset
    state.ChannelTable[1].MinuteCount = 3;
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    const Log expected = {
        "window", "toolbar", "statusbar", "status 0 Ready", "status 2 XZoom: 10",
        "reserve", "reserve", "reserve", "reserve",                         // history areas
        "reserve", "reserve", "reserve", "reserve", "reserve", "reserve",   // point buffers
        "start 1 60000", "status 3 YZoom: 3", "start 2 1000", "show"};
    EXPECT_EQ(log, expected);
    std::vector<std::size_t> sizes(4, kHistoryAreaBytes);
    sizes.insert(sizes.end(), 6, static_cast<std::size_t>(kPointBufferBytes));
    EXPECT_EQ(host.ReserveSizes, sizes);
    EXPECT_EQ(AreasReserved(), 10);
    EXPECT_EQ(host.StatusWidths, (std::vector<int>{65 * 8, 50 * 8, 41 * 8, 32 * 8, 19 * 8, 13 * 8, 0}));
    EXPECT_TRUE(port.Boxes.empty());
    EXPECT_EQ(session.Layer2Active, 1);
    EXPECT_EQ(&ActiveLayer2(session), session.Backend.get());

    EXPECT_STREQ(state.Mycall, "DL1ABC");
    EXPECT_EQ(state.german, 1);
    EXPECT_STREQ(state.ChannelTable[2].CallPath, "DB0ABC DB0DEF");
    EXPECT_EQ(state.ChannelTable[1].MinuteCount + state.ChannelTable[1].ReplyLineCount, 0);
    EXPECT_STREQ(session.BackendUri, "sim:seed=7");  // no --l2: the stored backend
}

TEST_F(ShellRun, StartUpScansEachChannelsHistoryFileAfterItsSettings) {
    Store(kStoredSettings);
    WriteAll(scratch.File("DB0XYZ.hpw"), "this is not a history file\r\n");
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    // The scan of channel 1's file tells about the damage between the
    // minute timer and the Y-zoom text; no other channel has a file.
    ASSERT_EQ(port.Boxes.size(), 1u);
    EXPECT_NE(port.Boxes[0].Text.find("DB0XYZ.hpw"), std::string::npos) << port.Boxes[0].Text;
    EXPECT_FALSE(port.Boxes[0].Asked);
    EXPECT_EQ(From("start 1 60000"), (Log{"start 1 60000", "tell Hopwatch, t h e Monitor Program",
                                          "status 3 YZoom: 3", "start 2 1000", "show"}));
}

TEST_F(ShellRun, TimeScaleShortensBothTimers) {
    session.TimeScale = 60;
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_TRUE(Logged("start 1 1000"));
    EXPECT_TRUE(Logged("start 2 16"));
    EXPECT_EQ(ScaledTimerPeriod(1000, 5000), 1);
    EXPECT_EQ(ScaledTimerPeriod(60000, 0), 60000);
}

TEST_F(ShellRun, ShutDownReleasesWritesThenStopsTimersOnce) {
    Store((std::string(kStoredSettings) + "[Mine]\r\nKeep=me\r\n").c_str());
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    // Changes in memory and a hand edit meanwhile: memory wins at exit,
    // a section this program does not know survives.
    std::snprintf(state.Mycall, sizeof state.Mycall, "DK9ZZ");
    state.german = 0;
    Store((std::string(kStoredSettings) + "[Mine]\r\nKeep=me\r\n[Curvset]\r\nBalken=0\r\n").c_str());
    log.clear();
    Shutdown();
    EXPECT_EQ(log, (Log{"stop 2", "stop 1", "quit 0"}));
    EXPECT_EQ(AreasReserved(), 0);
    const std::string written = ReadAll(Config());
    EXPECT_NE(written.find("Destination Call=DK9ZZ\r\n"), std::string::npos);
    EXPECT_NE(written.find("german=0\r\n"), std::string::npos);
    EXPECT_EQ(written.find("german=1"), std::string::npos);
    EXPECT_NE(written.find("[Mine]\r\nKeep=me\r\n"), std::string::npos);
    EXPECT_NE(written.find("Backend=sim:seed=7\r\n"), std::string::npos);

    // A second close (menu after frame, a signal during exit) does nothing.
    Store("changed");
    log.clear();
    Shutdown();
    EXPECT_TRUE(log.empty());
    ExpectStored("changed");
}

TEST_F(ShellRun, FirstExitWithoutAFileWritesEveryKeyAndTheDefaultBackend) {
    ReleaseSession(session, state);
    const std::string config = scratch.File("sub/dir/hopw.ini");
    Start(config, 0);
    StartupSequence(session, state, port, host);
    Shutdown();
    EXPECT_EQ(ReadAll(config), FirstExitSettings("agw://localhost:8000"));
}

TEST_F(ShellRun, CommandLineBackendOverridesAndIsSaved) {
    Store(kStoredSettings);
    session.BackendGiven = 1;
    std::snprintf(session.BackendUri, sizeof session.BackendUri, "sim:seed=3");
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_STREQ(session.BackendUri, "sim:seed=3");
    Shutdown();
    EXPECT_NE(ReadAll(Config()).find("Backend=sim:seed=3\r\n"), std::string::npos);
}

TEST_F(ShellRun, SecondInstanceIsRefusedWithoutTouchingTheFile) {
    for (const char* stored : {kStoredSettings, static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(stored ? "with a file" : "without a file");
        Restart();
        Store(stored);
        int first = -1;
        ASSERT_EQ(AcquireInstanceLock(scratch.Path.c_str(), first), 1);
        EXPECT_EQ(Entry(), 0);
        ReleaseInstanceLock(first);
        EXPECT_EQ(log, (Log{"ask hopwin: Hopwatch may run only once at the same time!"}));
        ASSERT_EQ(port.Boxes.size(), 1u);
        EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Error);
        ExpectStored(stored);
        EXPECT_EQ(state.Mycall[0], '\0');  // nothing read either
    }
}

TEST_F(ShellRun, InactiveStackEndsWithoutWritingSettings) {
    const struct {
        const char* Stored;   // null = no file
        const char* Backend;
        int Given;            // on the command line
        const char* Says[2];  // on standard error
        const char* Mycall;   // as read before the stack was tried
    } cases[] = {
        {kStoredSettings, "sim:fail", 1, {"", ""}, "DL1ABC"},
        // Any port nobody listens on stands for a TNC that is not running.
        {nullptr, "agw://127.0.0.1:1", 0, {"--l2 sim", "agw://127.0.0.1:1"}, ""},
        {"[L2]\r\nBackend=carrier-pigeon\r\n", "sim", 0, {"carrier-pigeon", ""}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Backend);
        Restart();
        Store(c.Stored);
        session.BackendGiven = c.Given;
        std::snprintf(session.BackendUri, sizeof session.BackendUri, "%s", c.Backend);
        testing::internal::CaptureStderr();
        EXPECT_EQ(Entry(), 0);
        const std::string err = testing::internal::GetCapturedStderr();
        for (const char* says : c.Says) EXPECT_NE(err.find(says), std::string::npos) << err;
        EXPECT_STREQ(state.Mycall, c.Mycall);
        // Read and scanned before the stack was tried, as always; the timers
        // stop before the box so that no tick runs against a missing stack.
        EXPECT_EQ(From("start 2 1000"), (Log{"start 2 1000", "stop 2", "stop 1", "ask hopwin: FlexNet not active!"}));
        EXPECT_EQ(port.Boxes.back().Icon, BoxIcon::Error);
        ExpectStored(c.Stored);
        EXPECT_EQ(AreasReserved(), 0);
        EXPECT_EQ(session.Layer2Active, 0);
        EXPECT_EQ(ActiveLayer2(session).l2_connect("DL1ABC", "DB0XYZ"), 0);
    }
}

TEST_F(ShellRun, MemoryFailureAtEachReservation) {
    for (int failing = 0; failing < 10; ++failing) {
        SCOPED_TRACE(failing);
        Restart();
        host.FailReserveAt = failing;
        Store(kStoredSettings);
        EXPECT_EQ(Entry(), 0);
        // Reservations stop at the first failure; no timer runs, nothing is
        // read or written, the window is never shown.
        EXPECT_EQ(static_cast<int>(host.ReserveSizes.size()), failing + 1);
        EXPECT_EQ(From("ask hopwin: Not enough memory free to run Hopwatch!"),
                  (Log{"ask hopwin: Not enough memory free to run Hopwatch!", "stop 2", "stop 1", "quit 0"}));
        EXPECT_EQ(port.Boxes.back().Icon, BoxIcon::Warning);
        EXPECT_EQ(AreasReserved(), 0);
        EXPECT_EQ(state.Mycall[0], '\0');
        ExpectStored(kStoredSettings);
        EXPECT_FALSE(Logged("show"));
    }
}

TEST_F(ShellRun, MinuteTimerFailureKeepsRunningButNeverWritesSettings) {
    for (const char* stored : {kStoredSettings, static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(stored ? "with a file" : "without a file");
        Restart();
        Store(stored);
        host.FailMinuteTimer = 1;
        ASSERT_EQ(Entry(), kEnterMessageLoop);
        EXPECT_EQ(From("start 1 60000"),
                  (Log{"start 1 60000", "ask hopwin: Too many timers!", "status 3 YZoom: 3", "start 2 1000", "show"}));
        EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Warning);
        EXPECT_EQ(state.Mycall[0], '\0');  // settings not read
        EXPECT_EQ(state.ChannelTable[0].CallPath[0], '\0');
        EXPECT_EQ(state.ChannelTable[3].YZoomStep, 3);  // but the view is usable
        EXPECT_EQ(state.ChannelTable[3].ScrollStep, 24);
        Shutdown();
        ExpectStored(stored);
    }
}

TEST_F(ShellRun, SecondTimerRetriesUntilItRunsOrCancelEndsWithoutWriting) {
    const char* const kTooMany = "ask hopwin: Too many timers!";
    const struct {
        std::vector<BoxAnswer> Answers;
        int Result;
        Log Tail;  // from the first failure on
    } cases[] = {
        {{BoxAnswer::Retry, BoxAnswer::Retry}, kEnterMessageLoop,
         {kTooMany, "start 2 1000", kTooMany, "start 2 1000", "show"}},
        {{BoxAnswer::Retry, BoxAnswer::Cancel}, 0, {kTooMany, "start 2 1000", kTooMany, "stop 1"}},
    };
    for (const auto& c : cases) {
        Restart();
        Store(kStoredSettings);
        host.SecondTimerFailures = 2;
        port.Answers.assign(c.Answers.begin(), c.Answers.end());
        EXPECT_EQ(Entry(), c.Result);
        EXPECT_EQ(From(kTooMany), c.Tail);
        EXPECT_EQ(port.Boxes[0].Buttons, BoxButtons::RetryCancel);
        EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Warning);
        EXPECT_EQ(session.Layer2Active, c.Result == kEnterMessageLoop);
        if (c.Result != kEnterMessageLoop) ExpectStored(kStoredSettings);
    }
}

TEST(SingleInstance, OneHolderAtATimeAndNoLockNoObstacle) {
    ScratchDir scratch;
    int a = -1, b = -1;
    EXPECT_EQ(AcquireInstanceLock(scratch.Path.c_str(), a), 1);
    EXPECT_EQ(AcquireInstanceLock(scratch.Path.c_str(), b), 0);
    ReleaseInstanceLock(a);
    // A directory where no lock file can be made does not stop the program.
    EXPECT_EQ(AcquireInstanceLock("/proc/no/such/dir", b), 1);
    EXPECT_EQ(b, -1);
}

}  // namespace
