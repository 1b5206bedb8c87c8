// The profile-file semantics the settings rely on: how names match, where new
// lines go, how values read, and how a save replaces the file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "settings/profile_file.h"
#include "support/scratch.h"

namespace {

ProfileFile Parse(const std::string& text) {
    ProfileFile profile;
    ParseProfileText(profile, text.data(), text.size());
    return profile;
}

int EntriesIn(const std::string& dir) {
    int count = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) count += e->d_name[0] != '.';
        closedir(d);
    }
    return count;
}

TEST(SettingsProfile, WritesLandInPlaceAndEverythingElseStaysAsItWas) {
    const struct {
        const char* Text;
        std::vector<std::array<const char*, 3>> Writes;
        const char* Saved;
    } cases[] = {
        // Names match without case or blanks; the existing spelling stays and
        // only the rewritten line loses its blanks.
        {"  [ cURVset ]  \n  BALKEN =  0  \nqty\t=\t' x y '\n",
         {{"CURVSET", "balken", "1"}},
         "  [ cURVset ]  \r\nBALKEN=1\r\nqty\t=\t' x y '\r\n"},
        // The first of a duplicate section or key is the one written.
        {"[S]\nk=first\nk=second\n[s]\nk=third\nonly=in second\n",
         {{"S", "k", "new"}, {"S", "only", "x"}},
         "[S]\r\nk=new\r\nk=second\r\nonly=x\r\n[s]\r\nk=third\r\nonly=in second\r\n"},
        // Any line end reads, every line is saved with CR LF, and a value
        // cannot start a line of its own.
        {"[S]\nk=1\r\nj=2\rl=3", {}, "[S]\r\nk=1\r\nj=2\r\nl=3\r\n"},
        {"\n\n", {}, "\r\n\r\n"},
        {"", {{"S", "k", "a\r\n[Evil]\nx=1"}}, "[S]\r\nk=a  [Evil] x=1\r\n"},
    };
    for (const auto& c : cases) {
        ProfileFile p = Parse(c.Text);
        for (const auto& [section, key, value] : c.Writes) WriteProfileString(p, section, key, value);
        EXPECT_EQ(ProfileText(p), c.Saved) << c.Text;
    }
}

TEST(SettingsProfile, ValuesReadWithoutCaseBlanksOrOuterQuotesCutAtTheBuffer) {
    const std::string c79(79, 'C');
    const ProfileFile p = Parse("  [ cURVset ]  \nqty\t=\t' x y '\n[S]\n;k=comment\nk\nk = " + c79 +
                                "CCCCC\nk=second\nq=\"a'\nempty=\n[s]\nonly=in second\n");
    // "[text] characters copied"; comments and lines without "=" are no
    // entries, quotes that do not match stay, only the first section counts.
    const struct {
        const char *Section, *Key, *Fallback;
        int Size;
        std::string Read;
    } cases[] = {
        {"curvset", "QTY", "-", 200, "[ x y ] 5"}, {"S", ";k", "-", 200, "[-] 1"},
        {"S", "k", "-", 80, "[" + c79 + "] 79"},   {"S", "k", "-", 1, "[] 0"},
        {"S", "k", "-", 0, "[untouched] 0"},       {"S", "q", "-", 200, "[\"a'] 3"},
        {"S", "empty", "-", 200, "[] 0"},          {"S", "only", "-", 200, "[-] 1"},
        {"S", "none", "ab  ", 8, "[ab] 2"},        {"S", "none", "fallback text", 4, "[fal] 3"},
    };
    for (const auto& c : cases) {
        char out[200] = "untouched";
        const int copied = GetProfileString(p, c.Section, c.Key, c.Fallback, out, c.Size);
        EXPECT_EQ("[" + std::string(out) + "] " + std::to_string(copied), c.Read) << c.Key << " " << c.Size;
    }
}

TEST(SettingsProfileOnDisk, SaveReplacesTheFileWholeOrNotAtAll) {
    ScratchDir dir;
    const std::string path = dir.File("a/b/hopw.ini"), link = dir.File("link.ini");
    ASSERT_EQ(SaveProfileFile(Parse("[S]\nk=v"), path.c_str()), 1);  // directories made as needed
    EXPECT_EQ(ReadAll(path), "[S]\r\nk=v\r\n");
    // Through a link the file it points to is replaced, keeping its mode.
    chmod(path.c_str(), 0640);
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_EQ(SaveProfileFile(Parse("[old]\r\nk=1"), link.c_str()), 1);
    struct stat st {};
    EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_TRUE(stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
    // A save that fails leaves the old file and no temporary file.
    ProfileFile big;
    big.Lines.assign(1000, std::string(60, 'n'));
    EXPECT_EQ(WithFileSizeLimit(4096, [&] { return SaveProfileFile(big, path.c_str()); }), 0);
    EXPECT_EQ(SaveProfileFile(big, dir.File("link.ini/hopw.ini").c_str()),
              0);          // no such directory can be made
    if (geteuid() != 0) {  // root may write whatever is read-only
        chmod(dir.File("a/b").c_str(), 0500);
        EXPECT_EQ(SaveProfileFile(big, path.c_str()), 0);
        chmod(dir.File("a/b").c_str(), 0700);
        chmod(path.c_str(), 0444);
        EXPECT_EQ(SaveProfileFile(big, path.c_str()), 0);
    }
    EXPECT_EQ(ReadAll(path), "[old]\r\nk=1\r\n");
    EXPECT_EQ(EntriesIn(dir.File("a/b")), 1);
}

}  // namespace
