// The settings file byte for byte: what a first exit writes, what stored
// values become in memory, what an exit does to a file edited by hand.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "settings/settings_file.h"
#include "settings_support.h"

namespace {

// The first exit from a run without a file.
const char* const kFirstExit =
    "[Curvset]\r\n"
    "Balken=1\r\n"
    "qty=1\r\n"
    "time=1\r\n"
    "bytes=1\r\n"
    "showqty=1\r\n"
    "showtxtim=1\r\n"
    "showrxtim=1\r\n"
    "showtkby=1\r\n"
    "showrkby=1\r\n"
    "one_yzoom=0\r\n"
    "[Mycall]\r\n"
    "Destination Call=\r\n"
    "[Channel1]\r\n"
    "CallPath=\r\n"
    "LastHour=0\r\n"
    "LastMin=0\r\n"
    "PrevHour=0\r\n"
    "PrevMin=0\r\n"
    "LastConDay=0\r\n"
    "LastConMonth=0\r\n"
    "LastConYear=97\r\n"
    "RufAktiv=0\r\n"
    "MinutenIntervall=10\r\n"
    "[language]\r\n"
    "german=0\r\n"
    "[Channel2]\r\n"
    "CallPath=\r\n"
    "LastHour=0\r\n"
    "LastMin=0\r\n"
    "PrevHour=0\r\n"
    "PrevMin=0\r\n"
    "LastConDay=0\r\n"
    "LastConMonth=0\r\n"
    "LastConYear=97\r\n"
    "RufAktiv=0\r\n"
    "MinutenIntervall=10\r\n"
    "[Channel3]\r\n"
    "CallPath=\r\n"
    "LastHour=0\r\n"
    "LastMin=0\r\n"
    "PrevHour=0\r\n"
    "PrevMin=0\r\n"
    "LastConDay=0\r\n"
    "LastConMonth=0\r\n"
    "LastConYear=97\r\n"
    "RufAktiv=0\r\n"
    "MinutenIntervall=10\r\n"
    "[Channel4]\r\n"
    "CallPath=\r\n"
    "LastHour=0\r\n"
    "LastMin=0\r\n"
    "PrevHour=0\r\n"
    "PrevMin=0\r\n"
    "LastConDay=0\r\n"
    "LastConMonth=0\r\n"
    "LastConYear=97\r\n"
    "RufAktiv=0\r\n"
    "MinutenIntervall=10\r\n"
    "[L2]\r\n"
    "Backend=agw://localhost:8000\r\n";

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

TEST_F(SettingsFile, FirstExitWithoutAFile) {
    LoadAll(Path, State);
    for (const ChannelRecord& c : State.ChannelTable) {
        EXPECT_STREQ(c.CallPath, "");
        EXPECT_EQ(c.RufAktiv, 0);
        EXPECT_EQ(c.MinutenIntervall, 10);
        EXPECT_EQ(c.LastHour + c.LastMin + c.PrevHour + c.PrevMin, 0);
        EXPECT_EQ(c.LastConDay, 0);  // the load's defaults replace 25.2.
        EXPECT_EQ(c.LastConMonth, 0);
        EXPECT_EQ(c.LastConYear, 97);
    }
    EXPECT_EQ(State.Balken + State.qty + State.time + State.bytes + State.showqty + State.showtxtim +
                  State.showrxtim + State.showtkby + State.showrkby,
              9);
    EXPECT_EQ(State.one_yzoom, 0);
    EXPECT_EQ(State.german, 0);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "agw://localhost:8000"), 1);
    EXPECT_EQ(ReadBytes(Path), kFirstExit);

    // An unchanged run writes the same bytes again.
    AppState again;
    InitAppState(again);
    LoadAll(Path, again);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), again, "agw://localhost:8000"), 1);
    EXPECT_EQ(ReadBytes(Path), kFirstExit);
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
    WriteBytes(Dir.File("hopw.ini"), file);
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
    EXPECT_EQ(ReadBytes(Path), expected);
}

TEST_F(SettingsFile, HandEditsAreOverwrittenUnknownKeysKept) {
    LoadAll(Path, State);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 1);
    const std::string written = ReadBytes(Path);

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
    WriteBytes(Path, lf);

    std::strcpy(State.ChannelTable[0].CallPath, "DB0ABC");
    State.ChannelTable[0].RufAktiv = 1;
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "sim"), 1);
    std::string expected = written;
    expected = Replace(expected, "one_yzoom=0", "One_YZoom=0");
    expected = Replace(expected, "[Channel1]\r\nCallPath=", "[Channel1]\r\nCallPath=DB0ABC");
    expected = Replace(expected, "RufAktiv=0", "RufAktiv=1");
    expected = Replace(expected, "[Channel2]\r\nCallPath=", "[Channel2]\r\nCallPath=\r\nNote=keep me");
    expected = Replace(expected, "Backend=sim\r\n", "Backend=sim\r\n; mine\r\n[Extra]\r\nfoo=bar\r\n");
    EXPECT_EQ(ReadBytes(Path), expected);
}

TEST_F(SettingsFile, MissingSectionsAppendedInSaveOrder) {
    // A hand-made file with only a language section and a channel.
    WriteBytes(Dir.File("hopw.ini"), "[language]\ngerman=1\n[Channel3]\nCallPath=DB0XYZ\n");
    Path = Dir.File("hopw.ini");
    LoadAll(Path, State);
    EXPECT_EQ(State.german, 1);
    ProfileFile profile;
    ASSERT_EQ(ReadProfileFile(profile, Path.c_str()), kProfileRead);
    SaveChannelSettings(profile, "Channel3", State.ChannelTable[2], State.german);
    SaveMycall(profile, State);
    EXPECT_EQ(ProfileText(profile),
              "[language]\r\ngerman=1\r\n[Channel3]\r\nCallPath=DB0XYZ\r\nLastHour=0\r\nLastMin=0\r\n"
              "PrevHour=0\r\nPrevMin=0\r\nLastConDay=0\r\nLastConMonth=0\r\nLastConYear=97\r\n"
              "RufAktiv=0\r\nMinutenIntervall=10\r\n[Mycall]\r\nDestination Call=\r\n");
}

TEST_F(SettingsFile, ChannelNumbersAsTheClassicReaderSeesThem) {
    const struct {
        const char* RufAktiv;
        const char* Interval;
        int Active;
        int Minutes;
    } cases[] = {
        {"256", "0", 0, 1},   {"257", "90", 1, 90}, {"-1", "-5", 255, -5},
        {"511", "abc", 255, 1}, {"1x", "", 1, 10},  {"", "  7 min", 0, 7},
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

TEST_F(SettingsFile, UnreadableFileIsNotReplaced) {
    const std::string big = "[Curvset]\r\n" + std::string(kProfileMaxBytes, ';');
    WriteBytes(Dir.File("hopw.ini"), big);
    EXPECT_EQ(WriteSettingsFile(Dir.File("hopw.ini").c_str(), State, "sim"), 0);
    EXPECT_EQ(ReadBytes(Dir.File("hopw.ini")), big);
}

TEST_F(SettingsFile, FailedWriteKeepsTheOldFile) {
    LoadAll(Path, State);
    ASSERT_EQ(WriteSettingsFile(Path.c_str(), State, "agw://localhost:8000"), 1);
    std::strcpy(State.Mycall, "DL1ABC");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = WriteSettingsFile(Path.c_str(), State, "agw://localhost:8000");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(Path), kFirstExit);
}

TEST(SettingsPath, FollowsXdgThenHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string xdg = oldXdg ? oldXdg : "";
    const std::string home = oldHome ? oldHome : "";
    char path[kSettingsPathSize];

    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    setenv("HOME", "/home/op", 1);
    EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/cfg/hopwatch/hopw.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/home/op/.config/hopwatch/hopw.ini");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(DefaultSettingsPath(path, sizeof path), 1);
    EXPECT_STREQ(path, "/home/op/.config/hopwatch/hopw.ini");
    EXPECT_EQ(DefaultSettingsPath(path, 20), 0);
    EXPECT_STREQ(path, "");

    if (oldXdg) setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    if (oldHome) setenv("HOME", home.c_str(), 1);
}

}  // namespace
