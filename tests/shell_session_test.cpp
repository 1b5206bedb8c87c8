// Program entry, start-up and shut-down: their order, and every failure row,
// through the fake port and a recording host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "history/history_series.h"
#include "shell/channel_table.h"
#include "shell/shell_session.h"
#include "shell/single_instance.h"
#include "shell/tick_dispatch.h"
#include "shell_support.h"

namespace {

using Log = std::vector<std::string>;

const char* const kStoredSettings =
    "[Curvset]\r\nqty=0\r\n"
    "[Mycall]\r\nDestination Call=DL1ABC\r\n"
    "[Channel1]\r\nCallPath=DB0XYZ\r\nMinutenIntervall=0\r\nRufAktiv=257\r\n"
    "[language]\r\ngerman=1\r\n"
    "[Channel3]\r\nCallPath=DB0ABC DB0DEF\r\nMinutenIntervall=90\r\n"
    "[L2]\r\nBackend=sim:seed=7\r\n";

class ShellRun : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        port.Log = &log;
        host.Log = &log;
        ShellOptions options{};
        options.TimeScale = 1;
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", Config().c_str());
        std::snprintf(options.DataDir, sizeof options.DataDir, "%s", scratch.Path.c_str());
        InitShellSession(session, state, options);
        std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
        std::snprintf(session.BackendUri, sizeof session.BackendUri, "sim");
    }
    void TearDown() override { ReleaseSession(session, state); }

    std::string Config() const { return scratch.File("hopw.ini"); }
    int Entry() { return ProgramEntry(session, state, port, host); }
    void Shutdown() { ShutdownSequence(session, state, port, host); }
    // Log entries from the first one equal to `from`.
    Log From(const std::string& from) const {
        for (std::size_t i = 0; i < log.size(); ++i) {
            if (log[i] == from) return Log(log.begin() + static_cast<long>(i), log.end());
        }
        return {};
    }
    int AreasReserved() const {
        int n = 0;
        for (const ReservedArea& a : state.HistoryArea) n += a.Base != nullptr;
        for (const ReservedArea& a : state.CurvePoints) n += a.Base != nullptr;
        return n;
    }

    ShellScratch scratch;
    AppState state;
    ShellSession session{};
    Log log;
    LoggingPort port;
    FakeHost host;
};

TEST_F(ShellRun, EntryAndStartUpRunInOrder) {
    WriteAll(Config(), kStoredSettings);
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
    EXPECT_TRUE(port.Boxes.empty());
    EXPECT_EQ(session.Layer2Active, 1);
    EXPECT_EQ(&ActiveLayer2(session), session.Backend.get());
}

TEST_F(ShellRun, StatusFieldsSizedFromTheBaseUnit) {
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    const std::vector<int> widths = {65 * 8, 50 * 8, 41 * 8, 32 * 8, 19 * 8, 13 * 8, 0};
    EXPECT_EQ(host.StatusWidths, widths);
}

TEST_F(ShellRun, StartUpReadsTheSettingsIntoEveryChannel) {
    WriteAll(Config(), kStoredSettings);
    state.ChannelTable[1].ReplyLineCount = 7;  // stale counters are reset
    state.ChannelTable[1].MinuteCount = 3;
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_STREQ(state.Mycall, "DL1ABC");
    EXPECT_EQ(state.qty, 0);
    EXPECT_EQ(state.german, 1);
    EXPECT_STREQ(state.ChannelTable[0].CallPath, "DB0XYZ");
    EXPECT_EQ(state.ChannelTable[0].MinutenIntervall, 1);
    EXPECT_EQ(state.ChannelTable[0].RufAktiv, 1);
    EXPECT_STREQ(state.ChannelTable[2].CallPath, "DB0ABC DB0DEF");
    EXPECT_EQ(state.ChannelTable[2].MinutenIntervall, 90);
    for (const ChannelRecord& c : state.ChannelTable) {
        EXPECT_EQ(c.LastConDay, 0);  // the load's defaults replace 25.2.97
        EXPECT_EQ(c.LastConMonth, 0);
        EXPECT_EQ(c.LastConYear, 97);
        EXPECT_EQ(c.MinuteCount, 0);
        EXPECT_EQ(c.ReplyLineCount, 0);
        EXPECT_EQ(c.LinkIndex, 1);
        EXPECT_EQ(c.ScrollStep, 24);
        EXPECT_EQ(c.YZoomStep, 3);
        EXPECT_EQ(c.YScale, 1);
    }
    EXPECT_STREQ(session.BackendUri, "sim:seed=7");  // no --l2: the stored backend
    EXPECT_EQ(session.SettingsLoaded, 1);
}

TEST_F(ShellRun, StartUpScansEachChannelsHistoryFileAfterItsSettings) {
    WriteAll(Config(), kStoredSettings);
    WriteAll(scratch.File("DB0XYZ.hpw"), "this is not a history file\r\n");
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    // The scan of channel 1's file tells about the damage between the
    // minute timer and the Y-zoom text; no other channel has a file.
    ASSERT_EQ(port.Boxes.size(), 1u);
    EXPECT_EQ(port.Boxes[0].Caption, "Hopwatch, t h e Monitor Program");
    EXPECT_NE(port.Boxes[0].Text.find("DB0XYZ.hpw"), std::string::npos) << port.Boxes[0].Text;
    EXPECT_FALSE(port.Boxes[0].Asked);
    EXPECT_EQ(From("start 1 60000"), (Log{"start 1 60000", "tell Hopwatch, t h e Monitor Program",
                                          "status 3 YZoom: 3", "start 2 1000", "show"}));
}

TEST_F(ShellRun, TimeScaleShortensBothTimers) {
    session.TimeScale = 60;
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_NE(std::find(log.begin(), log.end(), "start 1 1000"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "start 2 16"), log.end());
    EXPECT_EQ(ScaledTimerPeriod(1000, 5000), 1);
    EXPECT_EQ(ScaledTimerPeriod(60000, 0), 60000);
}

TEST_F(ShellRun, ShutDownReleasesWritesThenStopsTimersOnce) {
    WriteAll(Config(), std::string(kStoredSettings) + "[Mine]\r\nKeep=me\r\n");
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    // Changes in memory and a hand edit meanwhile: memory wins at exit,
    // a section this program does not know survives.
    std::snprintf(state.Mycall, sizeof state.Mycall, "DK9ZZ");
    state.german = 0;
    WriteAll(Config(), std::string(kStoredSettings) + "[Mine]\r\nKeep=me\r\n[Curvset]\r\nBalken=0\r\n");
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
    WriteAll(Config(), "changed");
    log.clear();
    Shutdown();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(ReadAll(Config()), "changed");
}

TEST_F(ShellRun, FirstExitWithoutAFileWritesEveryKeyAndTheDefaultBackend) {
    ShellOptions options{};
    options.TimeScale = 1;
    std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", scratch.File("sub/dir/hopw.ini").c_str());
    InitShellSession(session, state, options);
    std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
    EXPECT_STREQ(session.BackendUri, "agw://localhost:8000");
    StartupSequence(session, state, port, host);
    Shutdown();
    const std::string written = ReadAll(scratch.File("sub/dir/hopw.ini"));
    const char* sections[] = {"[Curvset]", "[Mycall]", "[Channel1]", "[language]",
                              "[Channel2]", "[Channel3]", "[Channel4]", "[L2]"};
    std::size_t at = 0;
    for (const char* s : sections) {
        const std::size_t found = written.find(s);
        ASSERT_NE(found, std::string::npos) << s;
        EXPECT_GT(found + 1, at) << s;
        at = found;
    }
    EXPECT_NE(written.find("Backend=agw://localhost:8000\r\n"), std::string::npos);
}

TEST_F(ShellRun, CommandLineBackendOverridesAndIsSaved) {
    WriteAll(Config(), kStoredSettings);
    session.BackendGiven = 1;
    std::snprintf(session.BackendUri, sizeof session.BackendUri, "sim:seed=3");
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_STREQ(session.BackendUri, "sim:seed=3");
    Shutdown();
    EXPECT_NE(ReadAll(Config()).find("Backend=sim:seed=3\r\n"), std::string::npos);
}

TEST_F(ShellRun, SecondInstanceIsRefusedWithoutTouchingTheFile) {
    WriteAll(Config(), kStoredSettings);
    int first = -1;
    ASSERT_EQ(AcquireInstanceLock(scratch.Path.c_str(), first), 1);
    EXPECT_EQ(Entry(), 0);
    ReleaseInstanceLock(first);
    EXPECT_EQ(log, (Log{"ask hopwin: Hopwatch may run only once at the same time!"}));
    ASSERT_EQ(port.Boxes.size(), 1u);
    EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Error);
    EXPECT_EQ(ReadAll(Config()), kStoredSettings);
    EXPECT_EQ(state.Mycall[0], '\0');  // nothing read either
}

TEST_F(ShellRun, SecondInstanceWithoutAFileCreatesNone) {
    int first = -1;
    ASSERT_EQ(AcquireInstanceLock(scratch.Path.c_str(), first), 1);
    EXPECT_EQ(Entry(), 0);
    ReleaseInstanceLock(first);
    EXPECT_FALSE(FileExists(Config()));
}

TEST_F(ShellRun, FlexNetNotActiveEndsWithoutWritingSettings) {
    WriteAll(Config(), kStoredSettings);
    session.BackendGiven = 1;
    std::snprintf(session.BackendUri, sizeof session.BackendUri, "sim:fail");
    EXPECT_EQ(Entry(), 0);
    // Read and scanned before the stack was tried, as always; the timers
    // stop before the box so that no tick runs against a missing stack.
    EXPECT_STREQ(state.Mycall, "DL1ABC");
    EXPECT_EQ(From("start 2 1000"), (Log{"start 2 1000", "stop 2", "stop 1", "ask hopwin: FlexNet not active!"}));
    EXPECT_EQ(port.Boxes.back().Icon, BoxIcon::Error);
    EXPECT_EQ(ReadAll(Config()), kStoredSettings);
    EXPECT_EQ(AreasReserved(), 0);
    EXPECT_EQ(session.Layer2Active, 0);
}

TEST_F(ShellRun, DefaultTncBackendUnreachableGivesAHint) {
    ShellOptions options{};
    options.TimeScale = 1;
    std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", Config().c_str());
    InitShellSession(session, state, options);
    std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
    // Any port nobody listens on stands for a TNC that is not running.
    std::snprintf(session.BackendUri, sizeof session.BackendUri, "agw://127.0.0.1:1");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Entry(), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("--l2 sim"), std::string::npos) << err;
    EXPECT_NE(err.find("agw://127.0.0.1:1"), std::string::npos) << err;
    EXPECT_EQ(port.Boxes.back().Text, "FlexNet not active!");
    EXPECT_FALSE(FileExists(Config()));
}

TEST_F(ShellRun, StoredBackendThatIsNotUnderstoodIsTreatedAsInactive) {
    WriteAll(Config(), "[L2]\r\nBackend=carrier-pigeon\r\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Entry(), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("carrier-pigeon"), std::string::npos) << err;
    EXPECT_EQ(port.Boxes.back().Text, "FlexNet not active!");
    EXPECT_EQ(ReadAll(Config()), "[L2]\r\nBackend=carrier-pigeon\r\n");
}

TEST_F(ShellRun, MemoryFailureAtEachReservation) {
    for (int failing = 0; failing < 10; ++failing) {
        SCOPED_TRACE(failing);
        SetUp();
        log.clear();
        port.Boxes.clear();
        host.ReserveSizes.clear();
        host.FailReserveAt = failing;
        WriteAll(Config(), kStoredSettings);
        EXPECT_EQ(Entry(), 0);
        // Reservations stop at the first failure; no timer runs, nothing is
        // read or written, the window is never shown.
        EXPECT_EQ(static_cast<int>(host.ReserveSizes.size()), failing + 1);
        EXPECT_EQ(From("ask hopwin: Not enough memory free to run Hopwatch!"),
                  (Log{"ask hopwin: Not enough memory free to run Hopwatch!", "stop 2", "stop 1", "quit 0"}));
        EXPECT_EQ(port.Boxes.back().Icon, BoxIcon::Warning);
        EXPECT_EQ(AreasReserved(), 0);
        EXPECT_EQ(state.Mycall[0], '\0');
        EXPECT_EQ(ReadAll(Config()), kStoredSettings);
        EXPECT_EQ(std::find(log.begin(), log.end(), "show"), log.end());
        ReleaseSession(session, state);
    }
}

TEST_F(ShellRun, MinuteTimerFailureKeepsRunningButNeverWritesSettings) {
    WriteAll(Config(), kStoredSettings);
    host.FailMinuteTimer = 1;
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_EQ(From("start 1 60000"),
              (Log{"start 1 60000", "ask hopwin: Too many timers!", "status 3 YZoom: 3", "start 2 1000", "show"}));
    EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Warning);
    EXPECT_EQ(state.Mycall[0], '\0');                // settings not read
    EXPECT_EQ(state.ChannelTable[0].CallPath[0], '\0');
    EXPECT_EQ(state.ChannelTable[0].YZoomStep, 3);   // but the view is usable
    EXPECT_EQ(state.ChannelTable[0].YScale, 1);
    EXPECT_EQ(state.ChannelTable[3].ScrollStep, 24);
    Shutdown();
    EXPECT_EQ(ReadAll(Config()), kStoredSettings);
}

TEST_F(ShellRun, MinuteTimerFailureWithoutAFileCreatesNone) {
    host.FailMinuteTimer = 1;
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    Shutdown();
    EXPECT_FALSE(FileExists(Config()));
}

TEST_F(ShellRun, SecondTimerRetryThenRuns) {
    host.SecondTimerFailures = 2;
    port.Answers = {BoxAnswer::Retry, BoxAnswer::Retry};
    ASSERT_EQ(Entry(), kEnterMessageLoop);
    EXPECT_EQ(From("start 2 1000"),
              (Log{"start 2 1000", "ask hopwin: Too many timers!", "start 2 1000",
                   "ask hopwin: Too many timers!", "start 2 1000", "show"}));
    EXPECT_EQ(port.Boxes[0].Buttons, BoxButtons::RetryCancel);
    EXPECT_EQ(port.Boxes[0].Icon, BoxIcon::Warning);
}

TEST_F(ShellRun, SecondTimerCancelEndsWithoutWritingSettings) {
    WriteAll(Config(), kStoredSettings);
    host.SecondTimerFailures = 5;
    port.Answers = {BoxAnswer::Retry, BoxAnswer::Cancel};
    EXPECT_EQ(Entry(), 0);
    EXPECT_EQ(From("ask hopwin: Too many timers!"),
              (Log{"ask hopwin: Too many timers!", "start 2 1000", "ask hopwin: Too many timers!", "stop 1"}));
    EXPECT_EQ(host.Running[1], 0);
    EXPECT_EQ(ReadAll(Config()), kStoredSettings);
    EXPECT_EQ(session.Layer2Active, 0);
}

TEST_F(ShellRun, NoStackIsReachedBeforeAxInit) {
    Layer2& before = ActiveLayer2(session);
    EXPECT_EQ(before.l2_connect("DL1ABC", "DB0XYZ"), 0);
    EXPECT_EQ(before.l2_get_sabm("DL1ABC"), 0);
    EXPECT_EQ(before.l2_stat(0, 1), 0);
    EXPECT_EQ(before.l2_get_i(1), nullptr);
}

TEST(TickDispatch, SecondTickShowsTheCurrentChannelsCycleState) {
    AppState state;
    InitAppState(state);
    FakePort port;
    state.CurrentChannel = 2;
    state.ChannelTable[2].CycleState = 5;
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Get Data...");
    state.ChannelTable[2].CycleState = 10;  // keeps the text
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Get Data...");
    state.CurrentChannel = 0;
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Ready");
}

TEST(SingleInstance, OneHolderAtATime) {
    ShellScratch scratch;
    int a = -1, b = -1;
    EXPECT_EQ(AcquireInstanceLock(scratch.Path.c_str(), a), 1);
    EXPECT_GE(a, 0);
    EXPECT_EQ(AcquireInstanceLock(scratch.Path.c_str(), b), 0);
    EXPECT_EQ(b, -1);
    ReleaseInstanceLock(a);
    EXPECT_EQ(AcquireInstanceLock(scratch.Path.c_str(), b), 1);
    ReleaseInstanceLock(b);
    // A directory where no lock file can be made does not stop the program.
    EXPECT_EQ(AcquireInstanceLock("/proc/no/such/dir", b), 1);
    EXPECT_EQ(b, -1);
}

}  // namespace
