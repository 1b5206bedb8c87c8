// The profile-file semantics the settings rely on: how names match, where new
// lines go, how values and numbers read, and how a save replaces the file.
#include <climits>
#include <string>

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "settings/profile_file.h"
#include "support/scratch.h"

namespace {

ProfileFile Parse(const std::string& text) {
    ProfileFile profile;
    ParseProfileText(profile, text.data(), text.size());
    return profile;
}

std::string Get(const ProfileFile& profile, const char* section, const char* key, int size = 200) {
    char out[200] = "untouched";
    GetProfileString(profile, section, key, "-", out, size);
    return out;
}

int EntriesIn(const std::string& dir) {
    int count = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) count += e->d_name[0] != '.';
        closedir(d);
    }
    return count;
}

TEST(SettingsProfile, NamesMatchWithoutCaseAndBlanks) {
    ProfileFile p = Parse("  [ cURVset ]  \n  BALKEN =  0  \nqty\t=\t' x y '\n");
    EXPECT_EQ(GetProfileInt(p, "Curvset", "Balken", 1), 0);
    EXPECT_EQ(Get(p, "curvset", "QTY"), " x y ");
    WriteProfileInt(p, "CURVSET", "balken", 1);
    // The existing spelling stays; only the rewritten line loses its blanks.
    EXPECT_EQ(ProfileText(p), "  [ cURVset ]  \r\nBALKEN=1\r\nqty\t=\t' x y '\r\n");

    // Comments and lines without "=" are no entries.
    const ProfileFile c = Parse("[S]\n;k=comment\nk\nk = real\n");
    EXPECT_EQ(Get(c, "S", "k"), "real");
    EXPECT_EQ(Get(c, "S", ";k"), "-");
}

TEST(SettingsProfile, NewSectionsAtTheEndNewKeysAfterTheLastEntry) {
    ProfileFile p = Parse("[A]\r\none=1\r\n; about B\r\n\r\n[B]\r\ntwo=2\r\n");
    WriteProfileString(p, "A", "three", "3");
    WriteProfileString(p, "C", "four", "4");
    WriteProfileString(p, "B", "two", "22");
    WriteProfileString(p, "c", "five", "5");
    WriteProfileString(p, "Empty", "k", "");
    EXPECT_EQ(ProfileText(p),
              "[A]\r\none=1\r\nthree=3\r\n; about B\r\n\r\n[B]\r\ntwo=22\r\n"
              "[C]\r\nfour=4\r\nfive=5\r\n[Empty]\r\nk=\r\n");
}

TEST(SettingsProfile, DuplicatesFirstOneWins) {
    ProfileFile p = Parse("[S]\nk=first\nk=second\n[s]\nk=third\nonly=in second\n");
    EXPECT_EQ(Get(p, "S", "k"), "first");
    EXPECT_EQ(Get(p, "S", "only"), "-");
    WriteProfileString(p, "S", "k", "new");
    WriteProfileString(p, "S", "only", "x");
    EXPECT_EQ(ProfileText(p), "[S]\r\nk=new\r\nk=second\r\nonly=x\r\n[s]\r\nk=third\r\nonly=in second\r\n");
}

TEST(SettingsProfile, IntegerReader) {
    const struct {
        const char* Value;
        int Expected;
    } cases[] = {
        {"12abc", 12},       {" -5", -5},          {"+7", 7},           {"007", 7},
        {"0x10", 0},         {"abc", 0},           {"-", 0},            {"- 5", 0},
        {"\"42\"", 42},      {"' -3'", -3},        {"", 77},            {"   ", 77},
        {"\"\"", 77},        {"2147483647", INT_MAX}, {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN}, {"-2147483649", INT_MIN},
        // The classic reader wraps these to 1 and -1; a saturated value cannot
        // turn a huge interval into a tiny one.
        {"4294967297", INT_MAX},  {"-4294967297", INT_MIN},
        {"99999999999999999999999999", INT_MAX},
    };
    for (const auto& c : cases) {
        const ProfileFile p = Parse(std::string("[S]\nk=") + c.Value + "\n");
        EXPECT_EQ(GetProfileInt(p, "S", "k", 77), c.Expected) << "value \"" << c.Value << '"';
    }
    const ProfileFile p = Parse("[S]\nk=1\n");
    EXPECT_EQ(GetProfileInt(p, "S", "missing", 77), 77);
    EXPECT_EQ(GetProfileInt(p, "T", "k", -4), -4);
    EXPECT_EQ(GetProfileInt(ProfileFile{}, "S", "k", 5), 5);
    ProfileFile w;
    WriteProfileInt(w, "S", "k", INT_MIN);
    EXPECT_EQ(GetProfileInt(w, "S", "k", 0), INT_MIN);
}

TEST(SettingsProfile, TextIsCutAtTheBufferSize) {
    const std::string hundred(100, 'C');
    const ProfileFile p = Parse("[S]\nk=" + hundred + "\nq=\"a'\nempty=\n");
    EXPECT_EQ(Get(p, "S", "k", 80), hundred.substr(0, 79));
    EXPECT_EQ(Get(p, "S", "k", 32), hundred.substr(0, 31));
    EXPECT_EQ(Get(p, "S", "k", 1), "");
    EXPECT_EQ(Get(p, "S", "k", 0), "untouched");
    EXPECT_EQ(Get(p, "S", "q"), "\"a'");  // quotes that do not match stay
    EXPECT_EQ(Get(p, "S", "empty"), "");
    char out[8];
    EXPECT_EQ(GetProfileString(p, "S", "k", "x", out, 8), 7);
    EXPECT_EQ(GetProfileString(p, "S", "none", "ab  ", out, 8), 2);
    EXPECT_STREQ(out, "ab");
    EXPECT_EQ(GetProfileString(p, "S", "none", "fallback text", out, 4), 3);
    EXPECT_STREQ(out, "fal");
}

TEST(SettingsProfile, AnyLineEndReadsEveryLineEndsInCrLfAndValuesStayOnTheirLine) {
    const ProfileFile p = Parse("[S]\nk=1\r\nj=2\rl=3");
    EXPECT_EQ(p.Lines.size(), 4u);
    EXPECT_EQ(GetProfileInt(p, "S", "j", 0), 2);
    EXPECT_EQ(GetProfileInt(p, "S", "l", 0), 3);
    EXPECT_EQ(ProfileText(p), "[S]\r\nk=1\r\nj=2\r\nl=3\r\n");
    EXPECT_EQ(ProfileText(Parse("")), "");
    EXPECT_EQ(ProfileText(Parse("\n\n")), "\r\n\r\n");
    // A value cannot start a line of its own.
    ProfileFile w;
    WriteProfileString(w, "S", "k", "a\r\n[Evil]\nx=1");
    EXPECT_EQ(ProfileText(w), "[S]\r\nk=a  [Evil] x=1\r\n");
    EXPECT_EQ(Get(w, "Evil", "x"), "-");
}

TEST(SettingsProfileOnDisk, ReadReportsMissingAndUnreadable) {
    ScratchDir dir;
    ProfileFile p = Parse("[old]\n");
    EXPECT_EQ(ReadProfileFile(p, dir.File("none.ini").c_str()), kProfileMissing);
    EXPECT_TRUE(p.Lines.empty());
    EXPECT_EQ(ReadProfileFile(p, dir.Path.c_str()), kProfileUnreadable);
    WriteAll(dir.File("big.ini"), std::string(kProfileMaxBytes + 1, 'x'));
    EXPECT_EQ(ReadProfileFile(p, dir.File("big.ini").c_str()), kProfileUnreadable);
    EXPECT_TRUE(p.Lines.empty());
    WriteAll(dir.File("ok.ini"), "[S]\nk=v\n");
    EXPECT_EQ(ReadProfileFile(p, dir.File("ok.ini").c_str()), kProfileRead);
    EXPECT_EQ(Get(p, "S", "k"), "v");
}

TEST(SettingsProfileOnDisk, SaveCreatesDirectoriesKeepsPermissionsAndFollowsLinks) {
    ScratchDir dir;
    const std::string path = dir.File("a/b/hopw.ini");
    ASSERT_EQ(SaveProfileFile(Parse("[S]\nk=v"), path.c_str()), 1);
    EXPECT_EQ(ReadAll(path), "[S]\r\nk=v\r\n");
    EXPECT_EQ(EntriesIn(dir.File("a/b")), 1);

    const std::string link = dir.File("link.ini");
    chmod(path.c_str(), 0640);
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_EQ(SaveProfileFile(Parse("new"), link.c_str()), 1);
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(path), "new\r\n");
}

TEST(SettingsProfileOnDisk, FailedSaveLeavesTheOldFile) {
    ScratchDir dir;
    const std::string path = dir.File("hopw.ini");
    WriteAll(path, "[old]\r\nk=1\r\n");
    ProfileFile big;
    big.Lines.assign(1000, std::string(60, 'n'));

    EXPECT_EQ(WithFileSizeLimit(4096, [&] { return SaveProfileFile(big, path.c_str()); }), 0);
    EXPECT_EQ(ReadAll(path), "[old]\r\nk=1\r\n");
    EXPECT_EQ(EntriesIn(dir.Path), 1);  // no temporary file left behind

    // A directory that cannot be created.
    WriteAll(dir.File("plain"), "");
    EXPECT_EQ(SaveProfileFile(big, dir.File("plain/hopw.ini").c_str()), 0);
}

TEST(SettingsProfileOnDisk, ReadOnlyDirectoryOrFileKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write whatever is read-only";
    ScratchDir dir;
    const std::string path = dir.File("hopw.ini");
    WriteAll(path, "[old]\r\n");
    chmod(dir.Path.c_str(), 0500);
    EXPECT_EQ(SaveProfileFile(Parse("[new]"), path.c_str()), 0);
    chmod(dir.Path.c_str(), 0700);
    chmod(path.c_str(), 0444);
    EXPECT_EQ(SaveProfileFile(Parse("[new]"), path.c_str()), 0);
    EXPECT_EQ(ReadAll(path), "[old]\r\n");
    EXPECT_EQ(EntriesIn(dir.Path), 1);
}

}  // namespace
