// The settings file byte for byte: what a first exit writes, what stored
// values become in memory, what an exit does to a file edited by hand.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

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

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct SettingsFile : testing::Test {
    ScratchDir Dir;
    std::string Path = Dir.File("config/hopwatch/hopw.ini");
    AppState State;
    void SetUp() override { InitAppState(State); }
};

TEST_F(SettingsFile, FirstExitWithoutAFileAndAnUnchangedRunAfterIt) {
    for (int run = 0; run < 2; ++run) {
        InitAppState(State);
        LoadAll(Path, State);
        ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "agw://localhost:8000"), 1);
        EXPECT_EQ(ReadAll(Path), kFirstExit) << "run " << run;
    }
}

TEST_F(SettingsFile, StoredValuesRoundTrip) {
    std::string callPath;
    while (callPath.size() < 100) callPath += "DB0ABC-1 ";
    callPath.resize(100);
    std::string file = kFirstExit;
    file = Replace(file, "MinutenIntervall=10", "MinutenIntervall=0");
    file = Replace(file, "RufAktiv=0", "RufAktiv=256");
    file = Replace(file, "RufAktiv=0\r\nMinutenIntervall=10", "RufAktiv=257\r\nMinutenIntervall=90");
    file = Replace(file, "[Channel3]\r\nCallPath=", "[Channel3]\r\nCallPath=" + callPath);
    file = Replace(file, "german=0", "german=1");
    file = Replace(file, "Destination Call=", "Destination Call=" + std::string(40, 'M'));
    file = Replace(file, "Backend=agw://localhost:8000", "Backend=sim");
    WriteAll(Dir.File("hopw.ini"), file);
    Path = Dir.File("hopw.ini");

    char backend[kBackendUriSize];
    LoadAll(Path, State, backend);
    EXPECT_EQ(State.ChannelTable[0].MinutenIntervall, 1);
    EXPECT_EQ(State.ChannelTable[0].RufAktiv, 0);
    EXPECT_EQ(State.ChannelTable[1].MinutenIntervall, 90);
    EXPECT_EQ(State.ChannelTable[1].RufAktiv, 1);
    EXPECT_EQ(State.ChannelTable[2].CallPath, callPath.substr(0, 79));
    EXPECT_EQ(State.Mycall, std::string(31, 'M'));
    EXPECT_EQ(State.german, 1);
    EXPECT_STREQ(backend, "sim");

    // The user switches to the English help during the run.
    State.german = 0;
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, backend), 1);
    std::string expected = kFirstExit;
    expected = Replace(expected, "RufAktiv=0\r\nMinutenIntervall=10", "RufAktiv=0\r\nMinutenIntervall=1");
    expected = Replace(expected, "RufAktiv=0\r\nMinutenIntervall=10\r\n[Channel3]",
                       "RufAktiv=1\r\nMinutenIntervall=90\r\n[Channel3]");
    expected = Replace(expected, "[Channel3]\r\nCallPath=", "[Channel3]\r\nCallPath=" + callPath.substr(0, 79));
    expected = Replace(expected, "Destination Call=", "Destination Call=" + std::string(31, 'M'));
    expected = Replace(expected, "Backend=agw://localhost:8000", "Backend=sim");
    EXPECT_EQ(ReadAll(Path), expected);
}

TEST_F(SettingsFile, HandEditsAreOverwrittenUnknownKeysKept) {
    LoadAll(Path, State);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 1);
    const std::string written = ReadAll(Path);

    // While the program runs, someone edits the file with an editor that
    // writes LF line ends, changes values, and adds keys and sections.
    std::string edited = written;
    edited = Replace(edited, "one_yzoom=0", "One_YZoom = 1");
    edited = Replace(edited, "german=0", "german=1");
    edited = Replace(edited, "[Channel2]\r\nCallPath=", "[Channel2]\r\nCallPath=HAND\r\nNote=keep me");
    edited = Replace(edited, "Backend=sim\r\n", "Backend=sim\r\n; mine\r\n[Extra]\r\nfoo=bar\r\n");
    std::string lf;
    for (char c : edited) {
        if (c != '\r') lf += c;
    }
    WriteAll(Path, lf);

    std::strcpy(State.ChannelTable[0].CallPath, "DB0ABC");
    State.ChannelTable[0].RufAktiv = 1;
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 1);
    std::string expected = written;
    expected = Replace(expected, "one_yzoom=0", "One_YZoom=0");
    expected = Replace(expected, "[Channel1]\r\nCallPath=", "[Channel1]\r\nCallPath=DB0ABC");
    expected = Replace(expected, "RufAktiv=0", "RufAktiv=1");
    expected = Replace(expected, "[Channel2]\r\nCallPath=", "[Channel2]\r\nCallPath=\r\nNote=keep me");
    expected = Replace(expected, "Backend=sim\r\n", "Backend=sim\r\n; mine\r\n[Extra]\r\nfoo=bar\r\n");
    EXPECT_EQ(ReadAll(Path), expected);
}

TEST_F(SettingsFile, MissingSectionsAppendedInSaveOrder) {
    // A hand-made file with only a language section and a channel.
    WriteAll(Path = Dir.File("hopw.ini"), "[language]\ngerman=1\n[Channel3]\nCallPath=DB0XYZ\n");
    LoadAll(Path, State);
    EXPECT_EQ(State.german, 1);
    ProfileFile profile;
    ASSERT_EQ(ReadProfileFile(profile, Path.c_str()), kProfileRead);
    SaveChannelSettings(profile, "Channel3", State.ChannelTable[2], State.german);
    SaveMycall(profile, State);
    EXPECT_EQ(ProfileText(profile), "[language]\r\ngerman=1\r\n" +
                                        Replace(FirstExitChannel(3), "CallPath=", "CallPath=DB0XYZ") +
                                        "[Mycall]\r\nDestination Call=\r\n");
}

TEST_F(SettingsFile, ChannelNumbersAsTheClassicReaderSeesThem) {
    const struct {
        const char* RufAktiv;
        const char* Interval;
        int Active;
        int Minutes;
    } cases[] = {
        {"-1", "-5", 255, -5}, {"511", "abc", 255, 1}, {"1x", "", 1, 10}, {"", "  7 min", 0, 7},
    };
    for (const auto& c : cases) {
        const std::string text = std::string("[Channel1]\nRufAktiv=") + c.RufAktiv + "\nMinutenIntervall=" + c.Interval;
        ProfileFile profile;
        ParseProfileText(profile, text.data(), text.size());
        ChannelRecord channel{};
        int german = 0;
        LoadChannelSettings(profile, "Channel1", channel, german);
        EXPECT_EQ(channel.RufAktiv, c.Active) << c.RufAktiv;
        EXPECT_EQ(channel.MinutenIntervall, c.Minutes) << c.Interval;
    }
}

TEST_F(SettingsFile, UnreadableOrUnwritableFileIsKept) {
    // Too big to read: replacing it would lose what the program cannot see.
    const std::string big = "[Curvset]\r\n" + std::string(kProfileMaxBytes, ';');
    WriteAll(Dir.File("big.ini"), big);
    EXPECT_EQ(WriteSettingsFile(Dir.File("big.ini").c_str(), State, "sim"), 0);
    EXPECT_EQ(ReadAll(Dir.File("big.ini")), big);

    // A write that fails part-way is reported and leaves the old file.
    LoadAll(Path, State);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "agw://localhost:8000"), 1);
    std::strcpy(State.Mycall, "DL1ABC");
    EXPECT_EQ(WithFileSizeLimit(100, [&] { return WriteSettingsFile(Path.c_str(), State, "agw://localhost:8000"); }),
              0);
    EXPECT_EQ(ReadAll(Path), kFirstExit);
}

TEST(SettingsPath, FollowsXdgThenHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string xdg = oldXdg ? oldXdg : "";
    const std::string home = oldHome ? oldHome : "";
    char path[kSettingsPathSize];

    setenv("HOME", "/home/op", 1);
    const struct {
        const char* Xdg;  // null = unset
        const char* Path;
    } cases[] = {
        {"/cfg", "/cfg/hopwatch/hopw.ini"},
        {"relative", "/home/op/.config/hopwatch/hopw.ini"},  // not absolute: ignored
        {nullptr, "/home/op/.config/hopwatch/hopw.ini"},
    };
    for (const auto& c : cases) {
        if (c.Xdg) setenv("XDG_CONFIG_HOME", c.Xdg, 1);
        else unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
        EXPECT_STREQ(path, c.Path);
    }
    EXPECT_EQ(DefaultSettingsPath(path, 20), 0);
    EXPECT_STREQ(path, "");

    if (oldXdg) setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    if (oldHome) setenv("HOME", home.c_str(), 1);
}

}  // namespace
