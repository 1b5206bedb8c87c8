// The settings file byte for byte: what a first exit writes, what stored
// values become in memory, what an exit does to a file edited by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_file.h"
#include "settings_golden.h"
#include "support/scratch.h"

namespace {

const std::string kFirstExit = FirstExitSettings("agw://localhost:8000");

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

// What a first exit writes is compared through the shell; a file that reads
// back from it is in the round trip below.
TEST_F(SettingsFile, AFileTooBigToReadIsNotReplaced) {
    // Replacing it would lose what the program cannot see.
    const std::string big = "[Curvset]\r\n" + std::string(kProfileMaxBytes, ';');
    WriteAll(Path, big);
    EXPECT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 0);
    EXPECT_EQ(ReadAll(Path), big);
}

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
    std::string stored = Edit(kFirstExit, {{"[Channel3]\r\nCallPath=", "[Channel3]\r\nCallPath=" + call},
                                           {"german=0", "german=1"},
                                           {"Destination Call=", "Destination Call=" + std::string(40, 'M')},
                                           {"Backend=agw://localhost:8000", "Backend=sim"}});
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
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, backend), 1);
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
    const bool hadXdg = std::getenv("XDG_CONFIG_HOME"), hadHome = std::getenv("HOME");
    const std::string xdg = hadXdg ? std::getenv("XDG_CONFIG_HOME") : "",
                      home = hadHome ? std::getenv("HOME") : "";
    setenv("HOME", "/home/op", 1);
    // A relative XDG_CONFIG_HOME is ignored.
    const struct {
        const char *Xdg, *Path;
    } cases[] = {{"/cfg", "/cfg/hopwatch/hopw.ini"}, {"relative", "/home/op/.config/hopwatch/hopw.ini"}};
    char path[kSettingsPathSize];
    for (const auto& c : cases) {
        setenv("XDG_CONFIG_HOME", c.Xdg, 1);
        EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
        EXPECT_STREQ(path, c.Path);
    }
    hadXdg ? setenv("XDG_CONFIG_HOME", xdg.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    hadHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");
}

}  // namespace
