// The program under faults from outside, each bounded in time: a link or
// stack that stops answering fails the call within a limit counted in ticks;
// a full disk (a file-size limit, and a real one) is said once per episode
// and leaves no torn or stray file; kills at any moment leave files that
// load whole and grow only by whole records; a FIFO, forged TNC replies or a
// huge damaged file freeze nothing and fill neither the memory nor the log.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "acquisition/connect_cycle.h"
#include "agw_fake_server.h"
#include "core/escaped_text.h"
#include "core/link_column.h"
#include "history/history_loader.h"
#include "history/history_reader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"
#include "history/history_writer.h"
#include "history_support.h"
#include "radio/agw_client.h"
#include "support/fake_port.h"
#include "support/program_run.h"
#include "support/scratch.h"
#include "support/script_network.h"
#include "view/paint_plan.h"
#include "view/toolbar_rules.h"

namespace history_test {
namespace {

using HardenedFiles = HistoryTest;

const char* const kHeading = " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r";

TEST(HardenedCycle, NoGrantADroppedLinkOrNoConnectReportFailsTheCallWithinTheLimit) {
    enum Case { Dropped, NoGrant, Unreported };
    for (const Case how : {Dropped, NoGrant, Unreported}) {
        ScratchDir dir;
        const auto owned = std::make_unique<AppState>();
        AppState& state = *owned;
        InitScriptState(state, dir.Path);
        ASSERT_TRUE(ReserveHistoryMemory(state));
        ChannelRecord& c = state.ChannelTable[0];
        std::strcpy(c.CallPath, "QX0TST-2");
        c.RufAktiv = 1;
        c.MinutenIntervall = 1;
        FakePort port;
        ScriptNetwork net;
        port.Net = &net;
        port.SetTime(2026, 12, 6, 14, 30);
        int ticks = 0;
        for (int call = 0; call < 2; ++call) {
            ticks = 0;
            MinuteTick(state, port, 0);
            CycleTick(state, port);
            ScriptLink& link = net.Links[c.L2Channel];
            if (call == 0 || how != Unreported) link.State = kL2Connected;
            CycleTick(state, port);  // the connect report
            for (const char* line :
                 {"=>\r", kHeading, "  1      0                 100  200  10               QX0L00 0-15 3/5\r",
                  "=>\r"})
                if (call == 0) net.QueueText(c.L2Channel, line);  // the good call
            if (call == 1 && how == Dropped) link.State = 0;
            if (call == 1 && how == NoGrant) link.Grants.assign(1000, 0);
            for (; c.CycleState != CycleState::Idle && ticks < 1000; ++ticks) CycleTick(state, port);
        }
        const ScriptLink& link = net.Links[c.L2Channel];
        EXPECT_LE(ticks, (how == Unreported ? kConnectTickLimit : kReadingTickLimit) + 4) << how;
        EXPECT_GE(ticks, how == Unreported ? kConnectTickLimit : 2) << how;
        EXPECT_TRUE(link.Sent.empty()) << how;
        EXPECT_EQ(c.RecordCount, 2) << how;
        EXPECT_EQ(ReadAll(dir.File("QX0TST2.hpw")).substr(20),
                  "\r\n06.12.26 14:30 0 100 200 10 3 5 1 \r\n06.12.26 14:30 0 100 200 10 3 5 6 ");
        // A dropped link needs no disconnect; the others are ended.
        EXPECT_EQ(link.Commands.empty() ? 0 : link.Commands.back(), how == Dropped ? 0 : kL2Disconnect)
            << how;
        ReleaseHistoryMemory(state);
    }
}

// What the connect cycle does with each recorded call: the box is due only
// when NoteSaveResult says an episode starts.
int Boxes(HistoryTest& t, int calls, int& saved) {
    int boxes = 0;
    for (int i = 0; i < calls; ++i) {
        saved = t.Connect(14, 30);
        boxes += NoteSaveResult(t.State, t.Port, 0, saved, saved ? 0 : t.SaveError);
    }
    return boxes;
}

TEST_F(HardenedFiles, AFullDiskLeavesNoFileAndIsSaidOncePerEpisode) {
    SetReport(Channel, ExampleLinks());
    const std::string dir = State.DataDir;
    int saved = 1;
    EXPECT_EQ(WithFileSizeLimit(0, [&] { return Boxes(*this, 50, saved); }), 1);
    EXPECT_EQ(saved, 0);
    std::snprintf(State.DataDir, sizeof State.DataDir, "%s/gone", dir.c_str());
    EXPECT_EQ(Boxes(*this, 5, saved), 0);  // another reason: said, no further box
    std::snprintf(State.DataDir, sizeof State.DataDir, "%s", dir.c_str());
    EXPECT_TRUE(rmdir(dir.c_str()) == 0) << "a file was left behind";
    mkdir(dir.c_str(), 0700);
    EXPECT_EQ(Boxes(*this, 1, saved), 0);
    EXPECT_EQ(saved, 1);
    const std::string file = File();
    EXPECT_EQ(Port.Log, "hopwatch: cannot save to the history file " + file + ": File too large\n" +
                            "hopwatch: cannot save to the history file " + dir + "/gone/" + kFile +
                            ": No such file or directory (51 calls not saved so far)\n" +
                            "hopwatch: the history file " + file +
                            " is written again; 55 calls were not saved\n");
    EXPECT_EQ(Read(), kHeader + kRecord1);
    // The box says the real reason, and keeps its old text for a file in use.
    char text[kHistoryPathSize + 160];
    SaveFailedText(State, 0, ENOSPC, text, sizeof text);
    EXPECT_STREQ(text, "Impossible to save data to QX0TST2.hpw: No space left on device");
    SaveFailedText(State, 0, ETXTBSY, text, sizeof text);
    EXPECT_STREQ(text,
                 "Impossible to save data,\nbecause the File is already opened by another application!");
}

TEST_F(HardenedFiles, ThreeRecordsBetweenTwoPaintsLeaveTheHeldMarkerOnItsRecord) {
    SetReport(Channel, ExampleLinks());
    Port.Checked[kCmdHoldMarker] = 1;
    ChannelRecord& c = State.ChannelTable[0];
    for (int i = 0; i < 5; ++i) Connect(14, i);
    c.MarkerOffset = 2;  // on record 2 of 0..4
    PrepareDiagramPaint(State, Port);
    for (int i = 0; i < 3; ++i) Connect(15, i);
    PrepareDiagramPaint(State, Port);
    EXPECT_EQ(c.RecordCount - 1 - c.MarkerOffset, 2);
}

// A file bigger than the reader's window, with a stretch of blanks wider
// than a piece behind its last record: read in pieces, it loads as it would
// whole, up to the same fault at the same place, with the last record's
// cells in the link table although the window has moved on since.
TEST_F(HardenedFiles, ABigFileLoadsInPiecesAsIfItWereWhole) {
    const std::string records = ManyRecords(30000) + std::string(1500000, ' ');
    for (const std::string& tail : {std::string(), std::string("\r\n07.12.26 14:"), std::string(" x")}) {
        SCOPED_TRACE(tail);
        Write(records + tail);
        Port.Boxes.clear();
        ResetHistory(State, 0);
        ASSERT_EQ(LoadHistory(State, Port, 0), 1);
        EXPECT_EQ(Channel.RecordCount, kHistoryCapacity);
        EXPECT_STREQ(Channel.LinkTable[kColPort][1], "29999");
        EXPECT_EQ(State.ChannelTable[0].ReplyLineCount, 4);
        std::string boxes;
        for (const auto& box : Port.Boxes) boxes += box.Text + "\n";
        const std::size_t at = records.size() + tail.size() - (tail.empty() ? 0 : tail[1] == 'x' ? 1 : 3);
        EXPECT_EQ(boxes.find("record 30001 (byte offset " + std::to_string(at) + ")") != std::string::npos,
                  !tail.empty())
            << boxes;
    }
}

TEST_F(HardenedFiles, EmptyAndHeaderOnlyFilesAreCompletedNotMovedAway) {
    for (const std::string& blank :
         {std::string(), std::string("  \r\n"), std::string("1  QX0ZZZ p9      "), kHeader}) {
        SCOPED_TRACE(blank);
        NewDir();
        Write(blank);
        Write("2  QX0AAA p1", std::string(kFile) + ".new");  // left by a crash
        ASSERT_EQ(ScanHistoryFile(State, Port, 0), 1);
        EXPECT_FALSE(Exists(std::string(kFile) + ".new"));
        SetReport(Channel, ExampleLinks());
        Port.Boxes.clear();
        EXPECT_EQ(Connect(14, 30), 1);
        EXPECT_EQ(Read(), kHeader + kRecord1);
        EXPECT_FALSE(Exists("QX0TST2.hp0"));
        EXPECT_EQ(Port.Boxes.size(), 0u);
    }
}

// The files in dir but the program's lock on it.
std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().filename() != ".hopwatch.lock") names.insert(entry.path().filename());
    return names;
}

// The size of each history file in dir.
std::map<std::string, std::uintmax_t> Sizes(const std::string& dir) {
    std::map<std::string, std::uintmax_t> sizes;
    std::error_code gone;
    for (const std::string& name : Names(dir))
        if (std::filesystem::path(name).extension() == ".hpw")
            sizes[name] = std::filesystem::file_size(dir + "/" + name, gone);
    return sizes;
}

// The file's bytes, checked to read whole and to be `old` with whole
// records (each starts with its line end) behind it.
std::string GrownFrom(const std::string& path, const std::string& old) {
    const std::string bytes = ReadAll(path);
    EXPECT_GT(HistoryRecords(path), 0) << path;
    EXPECT_EQ(bytes.compare(0, old.size(), old), 0) << path << " was changed, not appended to";
    EXPECT_TRUE(old.empty() || bytes.size() == old.size() || bytes.compare(old.size(), 2, "\r\n") == 0)
        << path << " grew by part of a record";
    return bytes;
}

TEST(KilledProgram, EveryKillLeavesWholeRecordsBehindTheBytesBefore) {
    const ProgramDirs dirs;
    const std::vector<std::string> args = Calling(dirs, 4, "10000");
    std::mt19937 rng(20261207);  // the same kill moments on every run
    std::map<std::string, std::string> before;
    int grownRuns = 0;
    for (int k = 0; k < 200; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        if (!before.empty()) WriteAll(before.begin()->first + ".new", "1  QX0ZZZ p9");  // a crash's leftover
        const auto sizes = Sizes(dirs.Data);
        const pid_t pid = StartProgram(args, dirs.Runtime, dirs.Errors);
        // Every other kill lands while it writes, however slow its start (a
        // sanitizer build on a busy machine); the others at any moment.
        if (k % 2) WaitFor([&] { return Sizes(dirs.Data) != sizes; }, 5000, [] { usleep(1000); });
        usleep(static_cast<useconds_t>(1000 * (30 + rng() % 150)));
        ASSERT_EQ(EndProgram(pid, SIGKILL), 128 + SIGKILL);
        std::map<std::string, std::string> now;
        std::set<std::string> temps;
        for (const std::string& name : Names(dirs.Data)) {
            const std::string path = dirs.Data + "/" + name, type = std::filesystem::path(name).extension();
            if (type == ".new") {
                temps.insert(path.substr(0, path.size() - 4));
                continue;
            }
            ASSERT_EQ(type, ".hpw") << name << " appeared: a file was found damaged";
            const auto known = before.find(path);
            now[path] = GrownFrom(path, known == before.end() ? "" : known->second);
        }
        EXPECT_GE(now.size(), before.size()) << "a file vanished";
        // A run that wrote has scanned first: a temporary of a file that was
        // there before it is one the scan should have removed.
        const bool grew = now != before;
        for (const std::string& file : temps)
            EXPECT_FALSE(grew && before.count(file)) << file << ".new stayed";
        grownRuns += grew;
        before = now;
        if (HasFailure()) return;
    }
    EXPECT_EQ(before.size(), 4u);
    EXPECT_GT(grownRuns, 100) << "too many kills landed before the first call";
}

// A 64 KiB tmpfs over the data directory while the test runs; the program
// is ended and the disk taken away even when an assertion ends the test.
struct SmallDisk {
    const std::string Dir;
    const bool Mounted;
    pid_t Program = -1;
    explicit SmallDisk(const std::string& dir)
        : Dir(dir), Mounted(geteuid() == 0 && mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0) {}
    ~SmallDisk() {
        if (Program > 0 && kill(Program, SIGKILL) == 0) waitpid(Program, nullptr, 0);
        if (Mounted) umount2(Dir.c_str(), MNT_DETACH);
    }
};

TEST(FullDisk, SaidOnceNoStrayFileNoTornRecordAndSavedAgainWhenThereIsRoom) {
    const ProgramDirs dirs;
    SmallDisk disk(dirs.Data);
    if (!disk.Mounted) GTEST_SKIP() << "needs root to mount a small tmpfs";
    const std::string file = dirs.Data + "/QX0DB.hpw", filler = dirs.Data + "/filler";
    const pid_t pid = disk.Program = StartProgram(Calling(dirs, 1, "2000"), dirs.Runtime, dirs.Errors);
    // The disk is filled, with the program stopped, once the file's last
    // page has no room for a record: from then on every append fails.
    std::string full;
    const bool nearPageEnd = WaitFor(
        [&] {
            kill(pid, SIGSTOP);
            waitpid(pid, nullptr, WUNTRACED);
            full = ReadAll(file);
            const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
            const std::size_t record = full.size() - full.rfind("\r\n");  // records differ by a few bytes
            if (HistoryRecords(file) >= 3 && page - full.size() % page + 48 < record) return true;
            kill(pid, SIGCONT);
            return false;
        },
        60000, [] { usleep(2000); });
    ASSERT_TRUE(nearPageEnd) << "the file never came near a page end";
    WriteAll(filler, std::string(64 * 1024, 'x'));  // as much as fits
    kill(pid, SIGCONT);
    // A bound, not a verdict on speed: for 3 s another program looking at
    // the file never sees it change, as no failed append shows a torn record.
    int changed = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
         std::chrono::steady_clock::now() < end;) {
        struct stat st {};
        changed += stat(file.c_str(), &st) != 0 || static_cast<std::size_t>(st.st_size) != full.size();
    }
    EXPECT_EQ(changed, 0) << "looks at the file that found it changed";
    EXPECT_EQ(Names(dirs.Data), (std::set<std::string>{"QX0DB.hpw", "filler"}));
    std::remove(filler.c_str());
    const std::string again = "hopwatch: the history file " + file + " is written again; ";
    EXPECT_TRUE(WaitFor([&] { return ReadAll(dirs.Errors).find(again) != std::string::npos; }, 60000));
    EXPECT_EQ(EndProgram(pid), 0);
    disk.Program = -1;

    EXPECT_EQ(Names(dirs.Data), std::set<std::string>{"QX0DB.hpw"});
    EXPECT_GT(GrownFrom(file, full).size(), full.size()) << "nothing saved once there was room";
    const std::string errors = ReadAll(dirs.Errors);
    const std::size_t said = errors.find(again);
    ASSERT_NE(said, std::string::npos) << errors;
    const int unsaved = std::atoi(errors.c_str() + said + again.size());
    EXPECT_GE(unsaved, 50);
    EXPECT_EQ(errors, "hopwatch: cannot save to the history file " + file + ": No space left on device\n" +
                          "hopwin: Impossible to save data to QX0DB.hpw: No space left on device\n" + again +
                          std::to_string(unsaved) + " calls were not saved\n");
}

// The TNC, or anyone on its port, sends register replies the program never
// asked for, with line breaks and escape sequences in the calls, and
// refuses the call it did register over and over: a few lines, escaped.
TEST(ForgedTnc, RegisterRepliesGiveAFewEscapedLines) {
    FakeAgwClock clock;
    FakeAgwServer server;
    AgwOptions options;
    options.Host = "127.0.0.1";
    options.TcpPort = server.Port;
    options.ProbeIdleMs = 0;
    std::string text;
    options.Log = CollectLog(text);
    AgwClient client(options, clock);
    clock.Tnc = &server;
    ASSERT_EQ(client.ax_init(), 1);
    clock.Tnc = nullptr;
    EXPECT_EQ(client.l2_get_sabm("Q1OWN"), 0);  // registers the call
    const char* const calls[] = {"Q1\nOWN", "\x1b[2J\x1b[31m", "Q9\rX\x07", "Q1OWN"};
    for (int i = 0; i < 200; ++i) server.Send('X', calls[i % 4], "", std::string(1, '\0'));
    for (int i = 0; i < 200; ++i, usleep(500)) server.Pump(), client.Poll();
    int lines = 0;
    for (const char c : text) {
        lines += c == '\n';
        EXPECT_TRUE(c == '\n' || !std::iscntrl(static_cast<unsigned char>(c))) << static_cast<int>(c);
    }
    EXPECT_LE(lines, 3) << text;
    EXPECT_NE(text.find("refused to register the call Q1OWN\n"), std::string::npos) << text;
    // Quoted: printable ASCII as it is, the rest as \xNN, an escape that does not fit left out.
    char quoted[16];
    EXPECT_STREQ(EscapeText("Q1\n\x1b[\xff", quoted, sizeof quoted), "Q1\\x0a\\x1b[\\xff");
    EXPECT_STREQ(EscapeText("Q1\x7f", quoted, 6), "Q1");
}

// A FIFO where a channel's history file should be: said once with its path
// and kind, the other channel goes on calling, SIGTERM ends the program in
// order. At start, and when it appears during the run.
TEST(FifoHistoryFile, AtStartAndDuringARunNeitherFreezesNorFloods) {
    for (const bool atStart : {true, false}) {
        SCOPED_TRACE(atStart ? "at start" : "during the run");
        const ProgramDirs dirs;
        const std::string fifo = dirs.Data + "/QX0DB.hpw", other = dirs.Data + "/QX0DC.hpw";
        if (atStart) {
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        }
        const pid_t pid = StartProgram(Calling(dirs, 2, "2000"), dirs.Runtime, dirs.Errors);
        if (!atStart) {
            ASSERT_TRUE(WaitFor([&] { return HistoryRecords(fifo) >= 1; }, 30000));
            ASSERT_EQ(std::rename(fifo.c_str(), (fifo + ".away").c_str()), 0);
            ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        }
        const std::string reason = ": it is a FIFO, not a regular file\n";
        const std::string said = "hopwatch: cannot save to the history file " + fifo + reason +
                                 "hopwin: Impossible to save data to QX0DB.hpw" + reason;
        ASSERT_TRUE(WaitFor([&] { return ReadAll(dirs.Errors) == said; }, 30000)) << ReadAll(dirs.Errors);
        const long long before = HistoryRecords(other);
        EXPECT_TRUE(WaitFor([&] { return HistoryRecords(other) >= before + 5; }, 30000))
            << "the other channel stopped calling";
        EXPECT_EQ(EndProgram(pid, SIGTERM, 5), 0);
        EXPECT_EQ(ReadAll(dirs.Errors), said);
    }
}

// Peak memory of a program run, in KiB: started, ended by SIGTERM once it
// has appended to a file of its own (which it reads whole first), waited for.
long PeakKib(const ProgramDirs& dirs, const std::vector<std::string>& args) {
    const pid_t pid = StartProgram(args, dirs.Runtime, dirs.Errors);
    EXPECT_TRUE(WaitFor([&] { return HistoryRecords(dirs.Data + "/QX0DB.hpw") >= 2; }, 30000));
    kill(pid, SIGTERM);
    rusage usage{};
    int status = 0;
    if (WaitFor([&] { return wait4(pid, &status, WNOHANG, &usage) == pid; }, 30000)) return usage.ru_maxrss;
    kill(pid, SIGKILL);
    wait4(pid, &status, 0, &usage);
    return -1;
}

// A 200 MB file of short tokens, damaged at its first byte: the start-up
// scan and the first append read it in pieces and stop at the fault, so
// the program's peak memory stays near that of a start without it.
TEST(BigDamagedFile, TheProgramHoldsLittleOfIt) {
    const ProgramDirs dirs;
    const std::vector<std::string> args = Calling(dirs, 1, "200");
    const long empty = PeakKib(dirs, args);
    for (const auto& entry : std::filesystem::directory_iterator(dirs.Data)) std::filesystem::remove(entry);
    {
        std::ofstream big(dirs.Data + "/QX0DB.hpw", std::ios::binary);
        std::string piece;
        for (int i = 0; i < (1 << 19); ++i) piece += " 1";
        big << 'x';
        for (int i = 0; i < 200; ++i) big << piece;
    }
    const long damaged = PeakKib(dirs, args);
    ASSERT_GT(empty, 0);
    EXPECT_LE(damaged - empty, 40 * 1024) << empty << " KiB without the file";
    EXPECT_TRUE(FileExists(dirs.Data + "/QX0DB.hp0")) << "the damaged file was not moved aside";
}

}  // namespace
}  // namespace history_test
