// The settings: the profile-file semantics they rely on, the settings file
// byte for byte, and the channel dialog's edit rules and texts without a
// window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "settings/channel_edit.h"
#include "settings/profile_file.h"
#include "settings/settings_file.h"
#include "settings_golden.h"
#include "support/scratch.h"
#include "view/channel_dialog_texts.h"

namespace {

ProfileFile Parse(const std::string& text) {
    ProfileFile profile;
    ParseProfileText(profile, text.data(), text.size());
    return profile;
}

// Names match without case or blanks; comments and lines without "=" are no
// entries and only the first of a duplicate section or key counts. A write
// lands in place (the existing spelling stays, only the rewritten line loses
// its blanks), a new key after its section's last entry; every other line
// stays as it was.
TEST(SettingsProfile, ReadsAndWritesInPlaceAndEverythingElseStaysAsItWas) {
    const std::string c79(79, 'C');
    ProfileFile p =
        Parse("  [ cURVset ]  \n  BALKEN =  0  \nqty\t=\t' x y '\n[S]\n;k=comment\nk\nk = " + c79 +
              "CCCCC\nk=second\nq=\"a'\nempty=\n[s]\nk=third\nonly=in second\n");
    // "[text] characters copied": blanks and outer quotes dropped (quotes
    // that do not match stay), cut at the buffer.
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
    WriteProfileString(p, "CURVSET", "balken", "1");
    WriteProfileString(p, "S", "k", "new");
    WriteProfileString(p, "S", "only", "x");
    EXPECT_EQ(ProfileText(p),
              "  [ cURVset ]  \r\nBALKEN=1\r\nqty\t=\t' x y '\r\n[S]\r\n;k=comment\r\nk\r\nk=new\r\n"
              "k=second\r\nq=\"a'\r\nempty=\r\nonly=x\r\n[s]\r\nk=third\r\nonly=in second\r\n");
    // Any line end reads, every line is saved with CR LF, and a value cannot
    // start a line of its own.
    EXPECT_EQ(ProfileText(Parse("[S]\nk=1\r\nj=2\rl=3")), "[S]\r\nk=1\r\nj=2\r\nl=3\r\n");
    p = Parse("");
    WriteProfileString(p, "S", "k", "a\r\n[Evil]\nx=1");
    EXPECT_EQ(ProfileText(p), "[S]\r\nk=a  [Evil] x=1\r\n");
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
    if (geteuid() != 0) {  // root may write whatever is read-only
        chmod(dir.File("a/b").c_str(), 0500);
        EXPECT_EQ(SaveProfileFile(big, path.c_str()), 0);
        chmod(dir.File("a/b").c_str(), 0700);
        chmod(path.c_str(), 0444);
        EXPECT_EQ(SaveProfileFile(big, path.c_str()), 0);
    }
    EXPECT_EQ(ReadAll(path), "[old]\r\nk=1\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("a/b")), {}), 1);
}

// The start-up half: what the shell does between its history-file scans.
void LoadAll(const std::string& path, AppState& state, char* backend = nullptr) {
    ProfileFile profile;
    ReadProfileFile(profile, path.c_str());
    LoadDisplaySettings(profile, state);
    LoadMycall(profile, state);
    for (int i = 0; i < kChannelCount; ++i) {
        LoadChannelSettings(profile, ChannelSectionName(i), state.ChannelTable[i], state.german);
    }
    if (backend) LoadBackendSetting(profile, backend, kBackendUriSize);
}

// `text` with the first `from` of each pair, in turn, replaced by its `to`.
std::string Edit(std::string text, const std::vector<std::pair<std::string, std::string>>& edits) {
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

struct SettingsFile : testing::Test {
    ScratchDir Dir;
    std::string Path = Dir.File("hopw.ini");
    AppState State;
    void SetUp() override { InitAppState(State); }
};

TEST_F(SettingsFile, StoredValuesRoundTrip) {
    // Channel numbers as the integer reader sees them (quotes dropped, text
    // that is no number 0, an empty value the default); RufAktiv keeps its
    // low 8 bits, an interval of 0 is taken as 1.
    const struct {
        const char *RufAktiv, *Interval;
        int Active, Minutes;
    } channels[] = {{"256", "abc", 0, 1}, {"-1", "  7 min", 255, 7}, {"\"1\"", "", 1, 10}, {"", "-5", 0, -5}};
    const std::string call =
        "DB0ABC-1 DB0ABC-2 DB0ABC-3 DB0ABC-4 DB0ABC-5 DB0ABC-6 DB0ABC-7 DB0ABC-8 DB0ABC-9 X";
    std::string stored =
        Edit(FirstExitSettings("sim"), {{"[Channel3]\r\nCallPath=", "[Channel3]\r\nCallPath=" + call},
                                        {"german=0", "german=1"},
                                        {"Destination Call=", "Destination Call=" + std::string(40, 'M')}});
    // Texts are cut to their fields; the user switches to the English help.
    std::string expected = Edit(
        stored,
        {{call, call.substr(0, 79)}, {std::string(40, 'M'), std::string(31, 'M')}, {"german=1", "german=0"}});
    const std::string from = "RufAktiv=0\r\nMinutenIntervall=10\r\n";
    for (const auto& c : channels) {
        stored = Edit(stored, {{from, std::string("RufAktiv=") + c.RufAktiv +
                                          "\r\nMinutenIntervall=" + c.Interval + "\r\n"}});
        expected = Edit(expected, {{from, "RufAktiv=" + std::to_string(c.Active) +
                                              "\r\nMinutenIntervall=" + std::to_string(c.Minutes) + "\r\n"}});
    }
    WriteAll(Path, stored);
    char backend[kBackendUriSize];
    LoadAll(Path, State, backend);
    EXPECT_EQ(State.german, 1);
    State.german = 0;
    // Metrics never turned on: no section of their own.
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, backend, ""), 1);
    EXPECT_EQ(ReadAll(Path), expected);
}

TEST_F(SettingsFile, HandEditsAreOverwrittenUnknownKeysKeptMissingOnesAppended) {
    LoadAll(Path, State);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 1);
    const std::string written = ReadAll(Path);
    // While the program runs, someone edits the file with an editor that
    // writes LF line ends: changes values, adds keys, comments and sections,
    // drops a key and a section. A dropped key comes back after its
    // section's last entry, ahead of the comment that follows it.
    const std::string mycall = "[Mycall]\r\nDestination Call=\r\n", year = "LastConYear=97\r\n";
    const std::string extra = "Backend=sim\r\n; mine\r\n[Extra]\r\nfoo=bar\r\n";
    std::string lf =
        Edit(written, {{"one_yzoom=0", "One_YZoom = 1"},
                       {mycall, ""},
                       {year, ""},
                       {"MinutenIntervall=10\r\n", "MinutenIntervall=10\r\n; hand\r\n\r\n"},
                       {"german=0", "german=1"},
                       {"[Channel2]\r\nCallPath=", "[Channel2]\r\nCallPath=HAND\r\nNote=keep me"},
                       {"Backend=sim\r\n", extra}});
    std::erase(lf, '\r');
    WriteAll(Path, lf);
    std::strcpy(State.ChannelTable[0].CallPath, "DB0ABC");
    State.ChannelTable[0].RufAktiv = 1;
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 1);
    EXPECT_EQ(ReadAll(Path),
              Edit(written, {{"one_yzoom=0", "One_YZoom=0"},
                             {mycall, ""},
                             {"[Channel1]\r\nCallPath=", "[Channel1]\r\nCallPath=DB0ABC"},
                             {year, ""},
                             {"RufAktiv=0\r\nMinutenIntervall=10\r\n",
                              "RufAktiv=1\r\nMinutenIntervall=10\r\n" + year + "; hand\r\n\r\n"},
                             {"[Channel2]\r\nCallPath=", "[Channel2]\r\nCallPath=\r\nNote=keep me"},
                             {"Backend=sim\r\n", extra + mycall}}));
}

TEST(SettingsPath, FollowsXdgThenHome) {
    setenv("HOME", "/home/op", 1);  // left set: no other test here reads HOME or XDG_CONFIG_HOME
    char path[kPathSize];
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/cfg/hopwatch/hopw.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored
    EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/home/op/.config/hopwatch/hopw.ini");
}

// Each check over its edge cases: the verdict and the text it leaves (a
// blank inside Mycall, "-0" and blanks between calls: the dialog test).
TEST(ChannelEdit, DestinationAndMycallRules) {
    struct Row {
        int Mycall;  // 1: CheckMycall, 0: CheckDestinationCall
        const char* Typed;
        int Valid;
        const char* Stored;
    };
    const Row rows[] = {
        {0, "", 1, ""},
        {0, "db0abc-15", 1, "db0abc-15"},  // lower case kept, digits after 1..9
        {0, "DB0ABC-A", 0, "DB0ABC-A"},
        {0, "DB0ABC -1", 0, "DB0ABC -1"},  // a blank before "-"
        {0, "DB0\xE4", 0, "DB0\xE4"},
        {1, "  ", 1, ""},
        {1, "DL1ABC-7  ", 1, "DL1ABC-7"},
        {1, " DL1ABC", 0, " DL1ABC"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Typed);
        char text[kCallPathEditChars + 1];
        std::snprintf(text, sizeof text, "%s", row.Typed);
        const int length = static_cast<int>(std::strlen(text));
        EXPECT_EQ(row.Mycall ? CheckMycall(text, length) : CheckDestinationCall(text, length), row.Valid);
        EXPECT_STREQ(text, row.Stored);
    }
}

// An invalid entry never reaches memory: what was valid before stays, so it
// is what is called and saved.
TEST(ChannelEdit, AcceptKeepsTheLastValidValues) {
    AppState state;
    InitAppState(state);
    struct Row {
        const char *Mycall, *Path;
        int Accepted;
        const char *Why, *MycallAfter, *PathAfter;
        int RufAktivAfter;
    };
    const Row rows[] = {
        {"DL1ABC ", " DB0ABC  DB0XYZ ", 1, nullptr, "DL1ABC", "DB0ABC DB0XYZ", 1},
        {"DL1 X", "DB0NEW", 0, kInvalidMycallText, "DL1ABC", "DB0ABC DB0XYZ", 1},
        {"DL2XYZ", "DB0-0", 0, kInvalidDestinationText, "DL2XYZ", "DB0ABC DB0XYZ", 1},
        {"", "", 1, nullptr, "", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Mycall);
        ChannelEdit edit{};
        std::snprintf(edit.Mycall, sizeof edit.Mycall, "%s", row.Mycall);
        std::snprintf(edit.CallPath, sizeof edit.CallPath, "%s", row.Path);
        const char* why = "unset";
        EXPECT_EQ(AcceptChannelFields(state, 2, edit, &why), row.Accepted);
        EXPECT_STREQ(why, row.Why);  // the texts, not where the compiler put them
        EXPECT_STREQ(state.Mycall, row.MycallAfter);
        EXPECT_STREQ(state.ChannelTable[2].CallPath, row.PathAfter);
        EXPECT_EQ(state.ChannelTable[2].RufAktiv, row.RufAktivAfter);
    }
}

// The reply box: what follows the prompt is left from a longer reply before
// and stays hidden; each group of lines is cut to 1023 characters.
TEST(ChannelDialogTexts, ReplyBoxBlanksFromThePromptAndCutsEachGroup) {
    ChannelRecord c{};
    // Full lines of 98 characters and LF: 11 x 99 > 1023.
    for (int i = 0; i < kReplySlots; ++i) {
        std::memset(c.ReplyLines[i], 'a' + i, 98);
        c.ReplyLines[i][98] = '\n';
    }
    std::snprintf(c.ReplyLines[15], kReplySlotSize, "=>\r\n");
    char text[kReplyTextSize];
    ShowReplyText(c, text, sizeof text);
    const std::string shown = text;
    ASSERT_EQ(shown.size(), 1023u + 4 * 99u);
    EXPECT_EQ(shown.substr(1022, 3) + shown.back(), "kll\n");  // line 11 ('k') cut inside
    EXPECT_EQ(c.ReplyLines[16][0], '\0');                      // stays hidden on later refreshes
}

}  // namespace
