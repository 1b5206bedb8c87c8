// The application: the command line; start-up and shut-down through the
// fake port and a host that keeps what they leave behind; then the built
// program as operators run it (as a headless service, with --demo, and
// serving its web pages).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/demo.h"
#include "app/options.h"
#include "app/session.h"
#include "app/tick_dispatch.h"
#include "core/reserved_area.h"
#include "settings_golden.h"
#include "support/fake_port.h"
#include "support/loopback_http.h"
#include "support/program_run.h"
#include "support/scratch.h"

namespace {

// What the command line asks for, in one line; an error with its reason.
std::string Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "hopwatch");
    ShellOptions o{};
    char error[256] = "";
    const OptionsAction action =
        ParseShellOptions(static_cast<int>(args.size()), args.data(), o, error, sizeof error);
    if (action == OptionsAction::Error) return std::string("error: ") + error;
    if (action != OptionsAction::Run) return action == OptionsAction::Help ? "help" : "version";
    return std::string("run config=") + o.ConfigPath + " data=" + o.DataDir + " l2=" + o.Backend +
           " headless=" + std::to_string(o.Headless) + " scale=" + std::to_string(o.TimeScale) +
           (o.Demo ? " demo" : "") + (o.ExportCsv[0] ? std::string(" export=") + o.ExportCsv : "") +
           " link=" + std::to_string(o.Link);
}

TEST(ShellOptions, CommandLines) {
    const std::string longUri(kBackendUriSize, 'x');  // refused, not cut
    const struct {
        std::vector<const char*> Args;
        const char* Says;
    } cases[] = {
        {{}, "run config= data= l2= headless=0 scale=1"},
        {{"--config", "/a/b.ini", "--data-dir=/d", "--l2", "sim:seed=4", "--headless", "--time-scale=60"},
         "run config=/a/b.ini data=/d l2=sim:seed=4 headless=1 scale=60"},
        {{"--help"}, "help"},
        {{"--headless", "--version"}, "version"},
        {{"--demo", "--time-scale", "3"}, "headless=0 scale=3 demo link=0"},
        {{"--export-csv", "a.hpw", "--link=18"}, "scale=1 export=a.hpw link=18"},
        {{"--link", "2"}, "error: --link goes with --export-csv or --availability"},
        {{"--export-csv", "a.hpw", "--link", "19"},
         "error: --link takes a link number from 1 to 18, not \"19\""},
        {{"--configfile"}, "error: unknown option \"--configfile\""},
        {{"--config"}, "error: option --config needs a value"},
        {{"--l2="}, "error: option --l2 needs a value"},
        {{"--l2", longUri.c_str()}, "too long"},
        {{"--time-scale", "2x"}, "error: --time-scale takes a whole number from 1 to 10000, not \"2x\""},
    };
    for (const auto& c : cases) {
        const std::string parsed = Parse(c.Args);
        EXPECT_NE(parsed.find(c.Says), std::string::npos) << parsed;
    }
}

struct FakeHost : ShellHost {
    std::map<int, int> Timers;  // running: id -> period in ms
    int Shown = 0, Reservations = 0, FailReserveAt = -1, FailMinuteTimer = 0;
    int SecondTimerFailures = 0;  // this many starts of timer 2 fail first
    void createWindow() override {}
    void createToolbar() override {}
    void createStatusBar(const int*, int) override {}
    void showWindow() override { Shown = 1; }
    int startTimer(int id, int periodMs) override {
        if ((id == 1 && FailMinuteTimer) || (id == 2 && SecondTimerFailures-- > 0)) return 0;
        Timers[id] = periodMs;
        return 1;
    }
    void stopTimer(int id) override { Timers.erase(id); }
    void postQuit(int) override {}
    int reserveArea(ReservedArea& area, std::size_t bytes) override {
        return Reservations++ == FailReserveAt ? 0 : ShellHost::reserveArea(area, bytes);
    }
};

const char* const kStoredSettings =
    "[Curvset]\r\nqty=0\r\n[Mycall]\r\nDestination Call=DL1ABC\r\n"
    "[Channel1]\r\nCallPath=DB0XYZ\r\nMinutenIntervall=0\r\nRufAktiv=257\r\n[language]\r\ngerman=1\r\n"
    "[Channel3]\r\nCallPath=DB0ABC DB0DEF\r\nMinutenIntervall=90\r\n[L2]\r\nBackend=sim:seed=7\r\n";

class ShellRun : public ::testing::Test {
protected:
    void TearDown() override { ReleaseSession(session, state); }

    // A fresh session on the settings file as stored (null: no file), with
    // the backend `uri` (null: the default), given on the command line or not.
    void Start(const char* stored, const char* uri = "sim", int given = 0) {
        ReleaseSession(session, state);
        session = ShellSession{};
        host = FakeHost{};
        port = FakePort{};
        port.WhileBoxOpen = [this] { timersAtBox.push_back(host.Timers.size()); };
        timersAtBox.clear();
        InitAppState(state);
        if (stored)
            WriteAll(config, stored);
        else
            std::remove(config.c_str());
        ShellOptions options{};
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", config.c_str());
        std::snprintf(options.DataDir, sizeof options.DataDir, "%s", scratch.Path.c_str());
        InitShellSession(session, state, options);
        std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
        if (uri) std::snprintf(session.BackendUri, sizeof session.BackendUri, "%s", uri);
        session.BackendGiven = given;
    }
    void Shutdown() { ShutdownSequence(session, state, port, host); }
    // What the program entry left: its result, each box as "text (icon[,
    // buttons][, told], timers running while it was open)", reservations
    // made, Mycall as read, and whether the window is shown.
    std::string Entry() {
        const int result = ProgramEntry(session, state, port, host);
        std::string s = result == kEnterMessageLoop ? "runs" : "exit " + std::to_string(result);
        for (std::size_t i = 0; i < port.Boxes.size(); ++i) {
            const FakeBox& b = port.Boxes[i];
            s += " | " + b.Text + (b.Icon == BoxIcon::Error ? " (error" : " (warning") +
                 (b.Buttons == BoxButtons::RetryCancel ? ", Retry/Cancel" : "") +
                 (b.Asked ? ", " : ", told, ") + std::to_string(timersAtBox.at(i)) + " running)";
        }
        return s + " | " + std::to_string(host.Reservations) + " reserved | Mycall \"" + state.Mycall + '"' +
               (host.Shown ? " | shown" : "");
    }
    int AreasReserved() const {
        int n = 0;
        for (const ReservedArea& a : state.HistoryArea) n += a.Base != nullptr;
        for (const ReservedArea& a : state.CurvePoints) n += a.Base != nullptr;
        return n;
    }

    ScratchDir scratch;
    std::string config = scratch.File("hopw.ini");
    AppState state;
    ShellSession session{};
    FakePort port;
    FakeHost host;
    std::vector<std::size_t> timersAtBox;  // timers running while each box was open
};

TEST_F(ShellRun, StartUpReadsTheSettingsScansTheHistoryAndShowsTheWindow) {
    Start(kStoredSettings);
    std::snprintf(session.LockDir, sizeof session.LockDir, "/proc/no/such/dir");  // no lock file: no obstacle
    session.TimeScale = 60;
    host.SecondTimerFailures = 2;  // Retry until it runs
    port.Answers = {BoxAnswer::Retry, BoxAnswer::Retry};
    WriteAll(scratch.File("DB0XYZ.hpw"), "this is not a history file\r\n");
    state.ChannelTable[1].ReplyLineCount = 7;  // stale counters are reset
    state.ChannelTable[1].MinuteCount = 3;
    const std::string outcome = Entry();
    // Only channel 1 has a history file; its damage is told while the minute
    // timer runs.
    ASSERT_FALSE(port.Boxes.empty());
    EXPECT_NE(port.Boxes[0].Text.find("DB0XYZ.hpw"), std::string::npos) << port.Boxes[0].Text;
    EXPECT_EQ(
        outcome,
        "runs | " + port.Boxes[0].Text +
            " (warning, told, 1 running) | Too many timers! (warning, "
            "Retry/Cancel, 1 running) | Too many timers! (warning, Retry/Cancel, 1 running) | 10 reserved | "
            "Mycall \"DL1ABC\" | shown");
    EXPECT_EQ(host.Timers, (std::map<int, int>{{1, 1000}, {2, 16}}));
    EXPECT_EQ(AreasReserved(), 10);
    EXPECT_EQ(port.Status, (std::map<int, std::string>{{0, "Ready"}, {2, "XZoom: 10"}, {3, "YZoom: 3"}}));
    EXPECT_EQ(state.ChannelTable[1].MinuteCount + state.ChannelTable[1].ReplyLineCount, 0);
    EXPECT_STREQ(session.BackendUri, "sim:seed=7");  // no --l2: the stored backend
}

TEST_F(ShellRun, FirstExitWritesEveryKeyAndTheDefaultBackendOnce) {
    config = scratch.File("sub/dir/hopw.ini");
    Start(nullptr, nullptr);
    StartupSequence(session, state, port, host);
    Shutdown();
    EXPECT_EQ(ReadAll(config), FirstExitSettings("agw://localhost:8000"));
    // A second close (menu after frame, a signal during exit) does nothing.
    WriteAll(config, "changed");
    Shutdown();
    EXPECT_EQ(ReadAll(config), "changed");
}

TEST_F(ShellRun, FailuresAtStartUpTellWhyAndWriteNothing) {
    const auto backend = [this](const char* uri, int given) {
        return [=, this] { Start(nullptr, uri, given); };
    };
    const auto memory = [this](int failing) { return [=, this] { host.FailReserveAt = failing; }; };
    const auto minuteTimer = [this] { host.FailMinuteTimer = 1; };
    const auto cancel = [this] {
        host.SecondTimerFailures = 2;
        port.Answers = {BoxAnswer::Retry, BoxAnswer::Cancel};
    };
    const std::string inactive = "exit 1 | FlexNet not active! (error, 0 running) | 10 reserved | Mycall ";
    const std::string noMemory = "exit 1 | Not enough memory free to run Hopwatch! (warning, 0 running) | ";
    const std::string retry = " | Too many timers! (warning, Retry/Cancel, 1 running)";
    const std::string minute =
        "runs | Too many timers! (warning, 0 running) | 10 reserved | Mycall \"\" | shown";
    const struct {
        const char* Stored;  // null: no file
        std::function<void()> Prepare;
        std::string Outcome;
        const char* Says;  // in the log
    } cases[] = {
        // The stack is tried once the settings are read; no timer runs while
        // the box is open. Nobody listens on port 1: a TNC not running.
        {kStoredSettings, backend("sim:fail", 1), inactive + "\"DL1ABC\"", ""},
        {nullptr, backend("agw://127.0.0.1:1", 0), inactive + "\"\"",
         "at agw://127.0.0.1:1; start a TNC such as direwolf"},
        {"[L2]\r\nBackend=carrier-pigeon\r\n", backend("sim", 0), inactive + "\"\"", "carrier-pigeon"},
        {kStoredSettings, cancel, "exit 1" + retry + retry + " | 10 reserved | Mycall \"DL1ABC\"", ""},
        // The minute timer: the program runs on, but reads and writes no
        // settings.
        {kStoredSettings, minuteTimer, minute, ""},
        // Memory: reservations stop at the first failure, before any timer.
        {kStoredSettings, memory(9), noMemory + "10 reserved | Mycall \"\"", ""},
    };
    for (const auto& c : cases) {
        Start(c.Stored);
        c.Prepare();
        if (c.Stored) WriteAll(config, c.Stored);
        port.Log.clear();
        EXPECT_EQ(Entry(), c.Outcome);
        const std::string& err = port.Log;
        EXPECT_NE(err.find(c.Says), std::string::npos) << err;
        for (const FakeBox& b : port.Boxes) EXPECT_EQ(b.Caption, "hopwin");
        EXPECT_EQ(session.Layer2Active, host.Shown);
        if (host.Shown) {
            EXPECT_EQ(port.Status[3], "YZoom: 3");  // the view is usable
            EXPECT_EQ(state.ChannelTable[3].ScrollStep, 24);
            Shutdown();
        } else {
            EXPECT_EQ(ActiveLayer2(session).l2_connect("DL1ABC", "DB0XYZ"), 0);
        }
        EXPECT_TRUE(host.Timers.empty());
        EXPECT_EQ(AreasReserved(), 0);
        EXPECT_EQ(FileExists(config) ? ReadAll(config) : "(none)", c.Stored ? c.Stored : "(none)")
            << c.Outcome;
    }
}

// Each file in `dir` with its size, a line each.
std::string Listing(const std::string& dir) {
    std::string list;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        list += entry.path().filename().string() + " " + std::to_string(entry.file_size()) + "\n";
    return list;
}

// The service as an operator runs it on the simulated network. A first run
// without a settings file, ended by SIGINT, writes every key once; a second
// copy meanwhile is refused before it touches the file. A second run records
// calls, refuses a program on its data directory from another runtime
// directory (which touches nothing there), keeps a settings file edited by
// hand beside the one it writes at SIGTERM, and says nothing else.
TEST(ProgramRun, OnTheSimulatedNetwork) {
    const ProgramDirs dirs, other;
    const pid_t first = StartProgram(Service(dirs, "sim"), dirs.Runtime, dirs.Errors);
    ASSERT_TRUE(WaitRunning(first)) << ReadAll(dirs.Errors);
    EXPECT_EQ(WaitProgram(StartProgram(Service(dirs, "sim"), dirs.Runtime, other.Errors)), 1);
    EXPECT_EQ(ReadAll(other.Errors), "hopwin: Hopwatch may run only once at the same time!\n");
    EXPECT_FALSE(FileExists(dirs.Config));  // the first copy has not written yet
    EXPECT_EQ(EndProgram(first, SIGINT), 0) << ReadAll(dirs.Errors);
    EXPECT_EQ(ReadAll(dirs.Config), FirstExitSettings("sim"));

    WriteAll(dirs.Config,
             "[Mycall]\r\nDestination Call=QX0OWN\r\n"
             "[Channel1]\r\nCallPath=QX0TST-2 QX0VIA\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n"
             "[Channel2]\r\nCallPath=QX0ABC\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n");
    WriteAll(dirs.Data + "/hopwansw.txt", "Back soon.\r\n");
    const std::string files[] = {dirs.Data + "/QX0TST2.hpw", dirs.Data + "/QX0ABC.hpw"};
    // A minute every 100 ms.
    const pid_t pid = StartProgram(Service(dirs, "sim:seed=4,callers=3", "600"), dirs.Runtime, dirs.Errors);
    EXPECT_TRUE(
        WaitFor([&] { return HistoryRecords(files[0]) >= 5 && HistoryRecords(files[1]) >= 5; }, 60000));
    ASSERT_TRUE(WaitRunning(pid));

    // Stopped meanwhile, the first program cannot change the directory.
    WriteAll(other.Config, "[Mycall]\r\nDestination Call=QX0TWO\r\n");
    std::vector<std::string> args = Service(other, "sim");
    args[6] = dirs.Data;
    kill(pid, SIGSTOP);
    const std::string before = Listing(dirs.Data);
    EXPECT_EQ(WaitProgram(StartProgram(args, other.Runtime, other.Errors)), 1);
    EXPECT_EQ(Listing(dirs.Data), before);
    kill(pid, SIGCONT);
    EXPECT_EQ(ReadAll(other.Errors),
              "hopwin: Another Hopwatch uses the data directory " + dirs.Data + " !\n");
    EXPECT_EQ(ReadAll(other.Config), "[Mycall]\r\nDestination Call=QX0TWO\r\n");

    const std::string edited = ReadAll(dirs.Config) + "[Mine]\r\nNote=by hand\r\n";
    WriteAll(dirs.Config, edited);
    EXPECT_EQ(EndProgram(pid), 0);
    std::vector<std::string> kept;
    for (const auto& entry : std::filesystem::directory_iterator(dirs.Scratch.Path))
        if (entry.path().filename().string().rfind("hopw.ini.edited-", 0) == 0) kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadAll(kept[0]), edited);
    EXPECT_EQ(ReadAll(dirs.Errors), "hopwatch: the settings file " + dirs.Config +
                                        " was changed while hopwatch ran; it is kept as " + kept[0] + "\n");
    const std::string settings = ReadAll(dirs.Config);
    EXPECT_NE(settings.find("Note=by hand"), std::string::npos);
    EXPECT_NE(settings.find("Backend=sim:seed=4,callers=3\r\n"), std::string::npos);
    for (const std::string& file : files) {
        EXPECT_GE(HistoryRecords(file), 5) << ReadAll(file).substr(0, 400);  // -1: a fault
        EXPECT_EQ(ReadAll(file).find("???"), std::string::npos) << "every link name is found at its column";
    }
}

// Starts that cannot come up say why and write nothing: a stack that is not
// there, a wrong command line, a settings file that cannot be read (which
// the window says too, runs on, and never replaces at exit).
TEST(ProgramRun, EarlyExitsSayWhyAndWriteNothing) {
    const ProgramDirs dirs;
    const std::string stored = "[Mycall]\r\nDestination Call=DL1ABC\r\n", big(2 << 20, '#');
    const std::string unreadable = "hopwatch: the settings file " + dirs.Config + " cannot be read (";
    const struct {
        std::vector<std::string> Args;
        std::string Settings;  // empty: a directory in its place
        int Code;
        std::string Says;
        mode_t Mode = 0600;
    } cases[] = {
        {Service(dirs, "sim:fail"), stored, 1, "hopwin: FlexNet not active!\n"},
        {{"--no-such-option"}, stored, 2, "hopwatch: unknown option \"--no-such-option\" (try --help)\n"},
        {{"--l2", "nonsense"},
         stored,
         2,
         "hopwatch: unknown layer-2 backend \"nonsense\" (use sim, sim:seed=N, agw://HOST:PORT[/RADIOPORT], "
         "kiss://HOST:PORT[/N] or kiss:/dev/DEVICE)\n"},
        {{"--l2", "kiss://tnc:8001?k=9"},
         stored,
         2,
         "hopwatch: bad KISS backend \"kiss://tnc:8001?k=9\": k must be 1..7\n"},
        {{"--version"}, stored, 0, ""},
        {Service(dirs, "sim"), "", 1, unreadable + "it is a directory)\n"},
        {Service(dirs, "sim"), stored, 1, unreadable + "Permission denied)\n", 0200},
        {Service(dirs, "sim"), big, 1, unreadable + "it is larger than 1 MiB)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Says);
        std::remove(dirs.Config.c_str());  // a file or an empty directory
        if (c.Settings.empty()) {
            ASSERT_EQ(mkdir(dirs.Config.c_str(), 0700), 0);
        } else {
            WriteAll(dirs.Config, c.Settings);
        }
        if (c.Mode == 0200 && geteuid() == 0) continue;  // root reads it anyway
        chmod(dirs.Config.c_str(), c.Mode);
        EXPECT_EQ(WaitProgram(StartProgram(c.Args, dirs.Runtime, dirs.Errors)), c.Code);
        EXPECT_EQ(ReadAll(dirs.Errors), c.Says);
        chmod(dirs.Config.c_str(), 0700);
        EXPECT_EQ(c.Settings.empty() ? "" : ReadAll(dirs.Config), c.Settings);
    }
    std::vector<std::string> window = Service(dirs, "sim");
    window.erase(window.begin());  // not --headless
    const pid_t pid = StartProgram(window, dirs.Runtime, dirs.Errors);
    ASSERT_TRUE(WaitRunning(pid));
    EXPECT_EQ(EndProgram(pid), 0);
    const std::string said = unreadable + "it is larger than 1 MiB); it will not be replaced\n";
    EXPECT_EQ(ReadAll(dirs.Errors).substr(0, said.size()), said);
    EXPECT_EQ(ReadAll(dirs.Config), big);
}

TEST(DemoProcess, RecordsItsOwnHistoryAndKeepsCalling) {
    ProgramDirs dirs;
    const std::string cache = dirs.Scratch.File("cache"), config = dirs.Scratch.File("config");
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string demo = cache + "/hopwatch/demo";
    const pid_t pid = StartProgram({"--demo", "--headless", "--time-scale", "60"}, dirs.Runtime, dirs.Errors);

    // The settings file is the last thing the preparation writes.
    ASSERT_TRUE(WaitFor([&] { return FileExists(demo + "/hopw.ini"); }, 30000)) << ReadAll(dirs.Errors);
    long long before[4];
    const auto records = [&](int i) { return HistoryRecords(demo + "/" + kDemoDigipeaters[i] + ".hpw"); };
    for (int i = 0; i < 4; ++i) {
        before[i] = records(i);
        EXPECT_GE(before[i], kDemoRecords - 20) << kDemoDigipeaters[i];
        EXPECT_LE(before[i], kDemoRecords + 20) << kDemoDigipeaters[i];
    }
    // A minute passes every second: the channels call.
    EXPECT_TRUE(WaitFor(
        [&] {
            int grown = 0;
            for (int i = 0; i < 4; ++i) grown += records(i) > before[i];
            return grown >= 3;
        },
        60000));
    EXPECT_EQ(EndProgram(pid), 0);
    const std::string errors = ReadAll(dirs.Errors);
    EXPECT_EQ(std::string::npos, errors.find("Congratulations")) << errors;  // no size prompt
    EXPECT_NE(std::string::npos, ReadAll(demo + "/hopw.ini").find("CallPath=QX0HOF"));
    EXPECT_FALSE(FileExists(config));
}

// Sends `request` on a fresh connection and reads until the program closes
// it or a second passes; `closed` tells which.
std::string RawExchange(int port, const std::string& request, bool& closed) {
    const int fd = ConnectLoopback(port);
    const timeval second{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string in;
    char buffer[65536];
    ssize_t n = 0;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) in.append(buffer, static_cast<std::size_t>(n));
    closed = n == 0;
    close(fd);
    return in;
}

// The listener of the web pages: what it answers and when it closes a
// connection. The collector holds a history file from before its start and
// calls once an hour, so nothing changes meanwhile.
TEST(WebListener, AnswersAndClosesAsAsked) {
    ProgramDirs dirs;
    Processes running;
    WriteAll(dirs.Data + "/QX0DB.hpw", ReadAll(HOPWATCH_TEST_DATA "/worked_example.hpw"));
    const int port = FreeLoopbackPort();
    std::vector<std::string> args = Calling(dirs, 1, "1", 60);
    args.insert(args.end(), {"--metrics", std::to_string(port)});
    running.Pids.push_back(StartProgram(args, dirs.Runtime, dirs.Errors));
    std::string overview;
    WaitFor([&] { return !(overview = HttpRequest(-1, port, "/")).empty(); }, 30000);
    ASSERT_NE(overview.find("Channel 1: QX0DB"), std::string::npos) << ReadAll(dirs.Errors);
    EXPECT_EQ(HttpRequest(-1, port, "/channel/1/history.csv"),
              ReadAll(HOPWATCH_TEST_DATA "/worked_example.csv"))
        << "the same bytes as --export-csv";
    // Prometheus's own tool reads the metrics as a scrape would, and lints them.
    if (FileExists("/usr/bin/promtool")) {
        const std::string metrics = dirs.Scratch.File("metrics.txt");
        WriteAll(metrics, HttpRequest(-1, port, "/metrics"));
        const std::string check = "/usr/bin/promtool check metrics < " + metrics + " >&2";
        EXPECT_EQ(std::system(check.c_str()), 0) << ReadAll(metrics);
    }

    struct Case {
        const char* Request;
        const char* Start;  // of the answer
        bool Closed;
    } cases[] = {
        {"GET / HTTP/1.0\r\n\r\n", "HTTP/1.1 200 OK", true},
        {"GET /metrics HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "HTTP/1.1 200 OK", false},
        {"GET /api/channels HTTP/1.1\r\nHost: x\r\nConnection: Close\r\n\r\n", "HTTP/1.1 200 OK", true},
        {"GET /channel/1 HTTP/1.1\r\nHost: x\r\n\r\n", "HTTP/1.1 200 OK", false},
        {"POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", "HTTP/1.1 405",
         true},
        {"GET /nothing HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "HTTP/1.1 404", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Request);
        bool closed = false;
        const std::string answer = RawExchange(port, c.Request, closed);
        EXPECT_EQ(answer.substr(0, std::strlen(c.Start)), c.Start);
        EXPECT_EQ(closed, c.Closed);
    }
    // HEAD: the headers of the page without its body, and the connection
    // goes on with the next request.
    const int fd = ConnectLoopback(port);
    const std::string head = "HEAD /channel/1 HTTP/1.1\r\nHost: x\r\n\r\n";
    send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    std::string headers;
    char c = 0;
    while (headers.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1) headers += c;
    EXPECT_NE(headers.find("Content-Length: "), std::string::npos) << headers;
    EXPECT_EQ(headers.find("Content-Length: 0\r\n"), std::string::npos) << "the page's length";
    const std::string body = HttpRequest(fd, port, "/channel/1");
    close(fd);
    EXPECT_EQ(body.substr(0, 15), "<!DOCTYPE html>") << "no body of the HEAD before it";
    EXPECT_NE(body.find("</html>"), std::string::npos);
}

}  // namespace
