// Files under outside faults: a full disk leaves no empty or stray file and
// is said once per episode; an empty or header-only file is completed, not
// moved away; a huge damaged file is rejected without being read whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "history/history_reader.h"
#include "history/history_rotation.h"
#include "history/history_writer.h"
#include "history_support.h"

namespace history_test {
namespace {

using HardenedFiles = HistoryTest;

// Standard error into a pipe: a file would itself meet the size limit.
struct StderrPipe {
    int Fds[2] = {-1, -1}, Saved = dup(2);
    StderrPipe() { EXPECT_TRUE(pipe(Fds) == 0 && dup2(Fds[1], 2) == 2); }
    std::string Take() {
        std::fflush(stderr);
        dup2(Saved, 2);
        close(Fds[1]);
        char text[4096];
        const ssize_t n = read(Fds[0], text, sizeof text);
        close(Fds[0]);
        return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    }
};

// What the connect cycle does with each recorded call: the box is due only
// when NoteSaveResult says an episode starts.
int Boxes(HistoryTest& t, int calls, int& saved) {
    int boxes = 0;
    for (int i = 0; i < calls; ++i) {
        saved = t.Connect(14, 30);
        boxes += NoteSaveResult(t.State, 0, saved, saved ? 0 : errno);
    }
    return boxes;
}

TEST_F(HardenedFiles, AFullDiskLeavesNoFileAndIsSaidOncePerEpisode) {
    SetReport(Channel, ExampleLinks());
    const std::string dir = State.DataDir;
    int saved = 1;
    StderrPipe err;
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
    EXPECT_EQ(err.Take(), "hopwatch: cannot save to the history file " + file + ": File too large\n" +
                              "hopwatch: cannot save to the history file " + dir + "/gone/" + kFile +
                              ": No such file or directory (51 calls not saved so far)\n" +
                              "hopwatch: the history file " + file +
                              " is written again; 55 calls were not saved\n");
    EXPECT_EQ(Read(), kHeader + kRecord1);
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

TEST_F(HardenedFiles, AHugeTokenIsRejectedWithoutReadingTheWholeFile) {
    const std::string digits(50 << 20, '7');
    for (const std::string& front : {std::string(), kHeader + kRecord1 + "\r\n"}) {
        Write(front + digits);
        HistoryBytes bytes;
        ASSERT_EQ(ReadHistoryBytes(File().c_str(), bytes), HistoryOpen::Read);
        EXPECT_EQ(bytes.Size, front.size() + 16);
        HistoryReader reader;
        StartHistoryReader(reader, bytes.Data, bytes.Size);
        EXPECT_EQ(CountHistoryRecords(reader), front.empty() ? 0 : 1);
        EXPECT_EQ(reader.Fault, front.empty() ? HistoryFault::BadCount : HistoryFault::BadTimestamp);
        EXPECT_EQ(reader.FaultOffset, front.size());
    }
}

}  // namespace
}  // namespace history_test
