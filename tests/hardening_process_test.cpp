// The built program as a service under faults from outside: killed at any
// moment, its files load whole and only ever grow by whole records; on a full
// disk it says so once, leaves no torn or stray file, and saves again later.
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
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

// `channels` digipeaters called every minute; every call succeeds and no
// station calls in, so the link lists never change and nothing rotates.
std::vector<std::string> Service(const ProgramDirs& dirs, int channels, const char* timeScale) {
    std::string ini = "[Mycall]\r\nDestination Call=QX0ME\r\n";
    for (int i = 1; i <= channels; ++i) {
        ini += "[Channel" + std::to_string(i) + "]\r\nCallPath=QX0D" + std::string(1, char('A' + i)) +
               "\r\nRufAktiv=1\r\nMinutenIntervall=1\r\n";
    }
    WriteAll(dirs.Config, ini);
    return {"--headless", "--l2",    "sim:faults=0,callers=0", "--config", dirs.Config,
            "--data-dir", dirs.Data, "--time-scale",           timeScale};
}

TEST(KilledProgram, EveryKillLeavesWholeRecordsBehindTheBytesBefore) {
    const ProgramDirs dirs;
    const std::vector<std::string> args = Service(dirs, 4, "10000");
    std::mt19937 rng(20261207);  // the same kill moments on every run
    std::map<std::string, std::string> before;
    int grownRuns = 0;
    for (int k = 0; k < 200; ++k) {
        SCOPED_TRACE("kill " + std::to_string(k));
        if (!before.empty()) WriteAll(before.begin()->first + ".new", "1  QX0ZZZ p9");  // a crash's leftover
        const pid_t pid = StartProgram(args, dirs.Runtime, dirs.Errors);
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + rng() % 150));
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        ASSERT_EQ(WaitProgram(pid), 128 + SIGKILL);
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
    EXPECT_GT(grownRuns, 150) << "too many kills landed before the first call";
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
    const pid_t pid = disk.Program = StartProgram(Service(dirs, 1, "2000"), dirs.Runtime, dirs.Errors);
    // The disk is filled, with the program stopped, once the file's last
    // page has no room for a record: from then on every append fails.
    std::string full;
    int i = 0;
    for (; i < 3000; ++i, kill(pid, SIGCONT), std::this_thread::sleep_for(std::chrono::milliseconds(2))) {
        kill(pid, SIGSTOP);
        waitpid(pid, nullptr, WUNTRACED);
        full = ReadAll(file);
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t record = full.size() - full.rfind("\r\n");  // the records differ by a few bytes
        if (HistoryRecords(file) >= 3 && page - full.size() % page + 48 < record) break;
    }
    ASSERT_LT(i, 3000) << "the file never came near a page end";
    WriteAll(filler, std::string(64 * 1024, 'x'));  // as much as fits
    kill(pid, SIGCONT);
    // Another program looking at the file meanwhile never sees it change:
    // no failed append shows a torn record, not even for a moment.
    int changed = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
         std::chrono::steady_clock::now() < end;) {
        struct stat st {};
        changed += stat(file.c_str(), &st) != 0 || static_cast<std::size_t>(st.st_size) != full.size();
    }
    EXPECT_EQ(changed, 0) << "looks at the file that found it changed";
    EXPECT_EQ(Names(dirs.Data), (std::set<std::string>{"QX0DB.hpw", "filler"}));
    std::remove(filler.c_str());
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitProgram(pid), 0);
    disk.Program = -1;

    EXPECT_EQ(Names(dirs.Data), std::set<std::string>{"QX0DB.hpw"});
    EXPECT_GT(GrownFrom(file, full).size(), full.size()) << "nothing saved once there was room";
    const std::string errors = ReadAll(dirs.Errors);
    const std::string again = "hopwatch: the history file " + file + " is written again; ";
    const std::size_t said = errors.find(again);
    ASSERT_NE(said, std::string::npos) << errors;
    const int unsaved = std::atoi(errors.c_str() + said + again.size());
    EXPECT_GE(unsaved, 50);
    EXPECT_EQ(errors, "hopwatch: cannot save to the history file " + file + ": No space left on device\n" +
                          "hopwin: Impossible to save data, / because the File is already opened by another "
                          "application!\n" +
                          again + std::to_string(unsaved) + " calls were not saved\n");
}

}  // namespace
