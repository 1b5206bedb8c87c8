// The writer: appending, rotation when the
// link list changes (the revealing connect kept), numbered names, renames
// that fail, and the size prompt.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "history_support.h"

namespace {

using namespace history_test;

using HistoryWriter = HistoryTest;

// Every case of a changed link list moves the file away; the connect that
// revealed it is the first record of the new file and the only record in
// memory.
TEST_F(HistoryWriter, ChangedLinkListRotatesAndKeepsTheRevealingConnect) {
    struct Case {
        const char* what;
        std::vector<Link> links;
        bool rotates;
    };
    std::vector<Link> oneMore = ExampleLinks();
    oneMore.push_back({"3", "1", "2", "5", "QX0CCC", "p3", "1/1"});
    std::vector<Link> renamed = ExampleLinks();
    renamed[1].Name = "QX0BBC";
    std::vector<Link> identOnly = ExampleLinks();
    identOnly[0].Ident = "p9";
    const Case cases[] = {
        {"one link more", oneMore, true},
        {"one link less", {ExampleLinks()[0]}, true},
        {"a changed name", renamed, true},
        {"only the second identifier", identOnly, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TempDir dir;
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", dir.Path.c_str());
        dir.Write("QX0TST2.hpw", kHeader + kRecord1);
        LoadFileSequence(State, Port, 0);
        ASSERT_EQ(Channel().RecordCount, 1);
        Port.Boxes.clear();

        SetReport(Channel(), k.links);
        ASSERT_EQ(Connect(6, 12, 26, 14, 50), 1);
        const char* groups[] = {"7 120 340 12 3 5 1 ", "2 15 22 0 40 60 2 ", "3 1 2 5 1 1 1 "};
        std::string record = "\r\n06.12.26 14:50 ";
        for (std::size_t i = 0; i < k.links.size(); ++i) record += groups[i];
        if (k.rotates) {
            char header[kHistoryChunkMax];
            const int headerLength = FormatHistoryHeader(Channel(), header, sizeof header);
            EXPECT_EQ(dir.Read("QX0TST2.hp0"), kHeader + kRecord1);
            EXPECT_EQ(dir.Read("QX0TST2.hpw"), std::string(header, headerLength) + record);
            ASSERT_EQ(Port.Boxes.size(), 1u);
            EXPECT_EQ(Port.Boxes[0].Text,
                      "The number or the name of links of the digipeater has changed.\nThe file " +
                          dir.File("QX0TST2.hpw") + " has been renamed by Hopwatch to " +
                          dir.File("QX0TST2.hp0") + " .\nHopwatch will then open a new file!");
            EXPECT_EQ(Port.Boxes[0].Caption, kCaption);
            EXPECT_FALSE(Port.Boxes[0].Asked);
            EXPECT_EQ(HistorySlot(State, 0, 0)->Minute, 50);
            EXPECT_EQ(std::string(HistorySlot(State, 0, 0)->Links[0].Name), k.links[0].Name);
        } else {
            // The header keeps the old identifier.
            EXPECT_FALSE(dir.Exists("QX0TST2.hp0"));
            EXPECT_EQ(dir.Read("QX0TST2.hpw"), kHeader + kRecord1 + record);
            EXPECT_TRUE(Port.Boxes.empty());
        }
        EXPECT_EQ(Channel().RecordCount, k.rotates ? 1 : 2);
        EXPECT_EQ(State.NextRecordIndex[0], k.rotates ? 1 : 2);
        // The next connect appends to whatever file is current.
        ASSERT_EQ(Connect(6, 12, 26, 15, 0), 1);
        EXPECT_EQ(Channel().RecordCount, k.rotates ? 2 : 3);
    }
}

// The header holds a name as written ('?' for a tab); comparing it with
// the raw cell would rotate the file at every connect.
TEST_F(HistoryWriter, NameWrittenWithAReplacementStillMatches) {
    std::vector<Link> links = ExampleLinks();
    links[0].Name = "\tQX0AA";  // six characters: column 61 stays apart
    SetReport(Channel(), links);
    ASSERT_EQ(Connect(6, 12, 26, 14, 30), 1);
    ASSERT_EQ(Connect(6, 12, 26, 14, 40), 1);
    EXPECT_FALSE(Dir.Exists("QX0TST2.hp0"));
    EXPECT_EQ(Dir.Read("QX0TST2.hpw").substr(0, 12), "2  ?QX0AA p1");
    EXPECT_EQ(Channel().RecordCount, 2);
}

// A file whose header cannot be read is treated as a changed link list; a
// record torn by a crash would hide every later record from the reader.
// Either way the file is kept aside untouched and the connect starts anew.
TEST_F(HistoryWriter, DamagedFileIsMovedAwayAtTheNextConnect) {
    const std::string torn = kHeader + kRecord1 + "\r\n06.12.26 14:40 7 120";
    for (const std::string& content :
         {std::string(), std::string("   \r\n"), std::string("x2  QX0AAA p1"), std::string("99  QX0AAA"),
          std::string("-1  "), std::string("2  QX0AAA"), torn}) {
        SCOPED_TRACE(content);
        TempDir dir;
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", dir.Path.c_str());
        dir.Write("QX0TST2.hpw", content);
        SetReport(Channel(), ExampleLinks());
        Port.Boxes.clear();
        ASSERT_EQ(Connect(6, 12, 26, 14, 30), 1);
        EXPECT_EQ(dir.Read("QX0TST2.hp0"), content);
        EXPECT_EQ(dir.Read("QX0TST2.hpw"), kHeader + kRecord1);
        EXPECT_EQ(Channel().RecordCount, 1);
        if (content == torn) {
            ASSERT_EQ(Port.Boxes.size(), 1u);
            EXPECT_EQ(Port.Boxes[0].Text, "The file " + dir.File("QX0TST2.hpw") +
                                              " cannot be read to its end (the last record is cut short).\n"
                                              "It has been renamed by Hopwatch to " + dir.File("QX0TST2.hp0") +
                                              " .\nHopwatch will then open a new file!");
        }
    }
}

// Line ends mean nothing to the reader: a whole record spread over two
// lines is no damage.
TEST_F(HistoryWriter, RecordSpreadOverTwoLinesIsNoDamage) {
    const std::string split = kHeader + "\r\n06.12.26 14:30 7 120 340 12 3 5 1\r\n2 15 22 0 40 60 2 \r\n";
    Dir.Write("QX0TST2.hpw", split);
    SetReport(Channel(), ExampleLinks());
    ASSERT_EQ(Connect(6, 12, 26, 15, 0), 1);
    EXPECT_TRUE(Port.Boxes.empty());
    EXPECT_EQ(Dir.Read("QX0TST2.hpw"), split + "\r\n06.12.26 15:00 7 120 340 12 3 5 1 2 15 22 0 40 60 2 ");
}

// A write cut short (here by a file size limit, as by a full disk) is taken
// back: the file keeps only whole records, and the caller is told.
TEST_F(HistoryWriter, WriteCutShortLeavesTheFileAsItWas) {
    SetReport(Channel(), ExampleLinks());
    ASSERT_EQ(Connect(6, 12, 26, 14, 30), 1);
    const std::string before = Dir.Read("QX0TST2.hpw");

    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = before.size() + 10;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const int appended = Connect(6, 12, 26, 14, 40);
    std::snprintf(Channel().CallPath, kCallPathSize, "QX0NEW");
    limit.rlim_cur = 10;
    setrlimit(RLIMIT_FSIZE, &limit);
    const int created = Connect(6, 12, 26, 14, 50);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(appended, 0);
    EXPECT_EQ(Dir.Read("QX0TST2.hpw"), before);
    EXPECT_EQ(created, 0);
    EXPECT_FALSE(Dir.Exists("QX0NEW.hpw"));
    // The in-memory records stay; a failed write is no box of its own.
    EXPECT_EQ(Channel().RecordCount, 3);
    EXPECT_TRUE(Port.Boxes.empty());
}

// "QX0TST2.hp0" already there: the next free number is taken, past one
// digit too; with all 1000 taken the rotation gives up and says so.
TEST_F(HistoryWriter, NumberedNameSkipsTakenNamesAndIsBounded) {
    Dir.Write("QX0TST2.hpw", "1  QX0AAA p1      ");
    Dir.Write("QX0TST2.hp0", "older");
    SetReport(Channel(), ExampleLinks());
    ASSERT_EQ(Connect(6, 12, 26, 14, 30), 1);
    EXPECT_EQ(Dir.Read("QX0TST2.hp0"), "older");
    EXPECT_EQ(Dir.Read("QX0TST2.hp1"), "1  QX0AAA p1      ");

    for (int k = 2; k <= 10; ++k) Dir.Write("QX0TST2.hp" + std::to_string(k), "x");
    char newPath[kHistoryPathSize];
    ASSERT_EQ(RotateHistoryFile(Dir.File("QX0TST2.hpw").c_str(), newPath, sizeof newPath), 1);
    EXPECT_EQ(std::string(newPath), Dir.File("QX0TST2.hp11"));

    for (int k = 12; k < 1000; ++k) Dir.Write("QX0TST2.hp" + std::to_string(k), "");
    Dir.Write("QX0TST2.hpw", "1  QX0AAA p1      ");
    Port.Boxes.clear();
    ASSERT_EQ(Connect(6, 12, 26, 14, 40), 1);
    EXPECT_FALSE(Dir.Exists("QX0TST2.hp1000"));
    EXPECT_EQ(Dir.Read("QX0TST2.hpw"), "1  QX0AAA p1      ");  // never written to
    ASSERT_EQ(Port.Boxes.size(), 1u);
    EXPECT_NE(Port.Boxes[0].Text.find("could not be renamed: all numbered names from 0 to 999 are taken"),
              std::string::npos);
    EXPECT_EQ(Port.Boxes[0].Caption, kCaption);
    errno = 0;
    EXPECT_EQ(RotateHistoryFile(Dir.File("QX0TST2.hpw").c_str(), newPath, sizeof newPath), 0);
    EXPECT_EQ(errno, EEXIST);
}

// A rename that fails for a reason other than a taken name stops at once.
TEST_F(HistoryWriter, RenameFailingForAnotherReasonIsReported) {
    // A 255-character name whose ten one-digit candidates are taken: the
    // eleventh candidate is one character too long for the file system.
    const std::string stem(251, 'L');
    Dir.Write(stem + ".hpw", "big");
    for (int k = 0; k < 10; ++k) Dir.Write(stem + ".hp" + std::to_string(k), "");
    const std::string path = Dir.File(stem + ".hpw");
    char newPath[kHistoryPathSize];
    errno = 0;
    EXPECT_EQ(RotateHistoryFile(path.c_str(), newPath, sizeof newPath), 0);
    EXPECT_EQ(errno, ENAMETOOLONG);

    Port.Answers = {BoxAnswer::Ok};
    EXPECT_EQ(OfferFileRotation(State, Port, path.c_str(), 1001, 0), 0);
    ASSERT_EQ(Port.Boxes.size(), 2u);
    EXPECT_EQ(Port.Boxes[1].Text, "The file " + path + " could not be renamed: File name too long.");
    EXPECT_EQ(Dir.Read(stem + ".hpw"), "big");
}

// The same for the link-change path, with a directory that refuses renames
// (immutable; or read-only when not running as root).
TEST_F(HistoryWriter, RenameRefusedByTheDirectoryIsReportedAndNothingIsWritten) {
    Dir.Write("QX0TST2.hpw", "1  QX0AAA p1      ");
    const int fd = open(Dir.Path.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    bool immutable = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                     (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    bool readOnly = false;
    if (!immutable && geteuid() != 0) readOnly = chmod(Dir.Path.c_str(), 0555) == 0;
    if (!immutable && !readOnly) {
        close(fd);
        GTEST_SKIP() << "cannot make a directory refuse renames here";
    }
    SetReport(Channel(), ExampleLinks());
    const int result = Connect(6, 12, 26, 14, 30);
    if (immutable) {
        flags &= ~FS_IMMUTABLE_FL;
        ioctl(fd, FS_IOC_SETFLAGS, &flags);
    } else {
        chmod(Dir.Path.c_str(), 0755);
    }
    close(fd);
    EXPECT_EQ(result, 1);
    ASSERT_EQ(Port.Boxes.size(), 1u);
    EXPECT_NE(Port.Boxes[0].Text.find("could not be renamed: "), std::string::npos);
    EXPECT_NE(Port.Boxes[0].Text.find("This connect has not been saved"), std::string::npos);
    EXPECT_EQ(Dir.Read("QX0TST2.hpw"), "1  QX0AAA p1      ");
    EXPECT_FALSE(Dir.Exists("QX0TST2.hp0"));
}

TEST_F(HistoryWriter, SizePromptAboveAThousandRecords) {
    const std::string path = Dir.File("QX0TST2.hpw");
    Dir.Write("QX0TST2.hpw", ManyRecords(1001));

    EXPECT_EQ(OfferFileRotation(State, Port, path.c_str(), 1000, 2), 0);
    EXPECT_TRUE(Port.Boxes.empty());

    // Cancel changes nothing.
    Port.Answers = {BoxAnswer::Cancel};
    EXPECT_EQ(OfferFileRotation(State, Port, path.c_str(), 1001, 2), 0);
    ASSERT_EQ(Port.Boxes.size(), 1u);
    EXPECT_EQ(Port.Boxes[0].Text, SizePrompt(3, path));
    EXPECT_EQ(Port.Boxes[0].Caption, kCaption);
    EXPECT_EQ(Port.Boxes[0].Buttons, BoxButtons::OkCancel);
    EXPECT_EQ(Port.Boxes[0].Icon, BoxIcon::Warning);
    EXPECT_TRUE(Port.Boxes[0].Asked);
    EXPECT_TRUE(Dir.Exists("QX0TST2.hpw"));
    EXPECT_FALSE(Dir.Exists("QX0TST2.hp0"));

    // OK renames and says so.
    Port.Boxes.clear();
    Port.Answers = {BoxAnswer::Ok};
    EXPECT_EQ(OfferFileRotation(State, Port, path.c_str(), 1001, 2), 1);
    ASSERT_EQ(Port.Boxes.size(), 2u);
    EXPECT_EQ(Port.Boxes[1].Text, "The file has been renamed to " + Dir.File("QX0TST2.hp0") + " !");
    EXPECT_FALSE(Port.Boxes[1].Asked);
    EXPECT_FALSE(Dir.Exists("QX0TST2.hpw"));
    EXPECT_TRUE(Dir.Exists("QX0TST2.hp0"));
}

// A connect stored while a notice is open (nested loop) lands in order.
TEST_F(HistoryWriter, RotationNoticeWithANestedConnect) {
    Dir.Write("QX0TST2.hpw", "1  QX0AAA p1      ");
    SetReport(Channel(), ExampleLinks());
    bool nested = false;
    Port.WhileBoxOpen = [&] {
        if (nested) return;
        nested = true;
        Connect(6, 12, 26, 14, 31);
    };
    ASSERT_EQ(Connect(6, 12, 26, 14, 30), 1);
    EXPECT_EQ(Channel().RecordCount, 2);
    EXPECT_EQ(State.NextRecordIndex[0], 2);
    EXPECT_EQ(Dir.Read("QX0TST2.hpw"),
              kHeader + kRecord1 + "\r\n06.12.26 14:31 7 120 340 12 3 5 1 2 15 22 0 40 60 2 ");
}

}  // namespace
