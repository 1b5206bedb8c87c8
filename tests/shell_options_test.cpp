// The command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/options.h"

namespace {

struct Parsed {
    OptionsAction Action;
    ShellOptions Options;
    std::string Error;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "hopwatch");
    Parsed p{};
    char error[256] = "";
    p.Action = ParseShellOptions(static_cast<int>(args.size()), args.data(), p.Options, error, sizeof error);
    p.Error = error;
    return p;
}

TEST(ShellOptions, NoArgumentsRunAsAlways) {
    const Parsed p = Parse({});
    EXPECT_EQ(p.Action, OptionsAction::Run);
    EXPECT_STREQ(p.Options.ConfigPath, "");
    EXPECT_STREQ(p.Options.DataDir, "");
    EXPECT_STREQ(p.Options.Backend, "");
    EXPECT_EQ(p.Options.Headless, 0);
    EXPECT_EQ(p.Options.TimeScale, 1);
}

TEST(ShellOptions, EveryOptionInBothSpellings) {
    for (const bool joined : {false, true}) {
        const Parsed p = joined ? Parse({"--config=/a/b.ini", "--data-dir=/d", "--l2=sim:seed=4", "--headless",
                                         "--time-scale=60"})
                                : Parse({"--config", "/a/b.ini", "--data-dir", "/d", "--l2", "sim:seed=4",
                                         "--headless", "--time-scale", "60"});
        EXPECT_EQ(p.Action, OptionsAction::Run) << p.Error;
        EXPECT_STREQ(p.Options.ConfigPath, "/a/b.ini");
        EXPECT_STREQ(p.Options.DataDir, "/d");
        EXPECT_STREQ(p.Options.Backend, "sim:seed=4");
        EXPECT_EQ(p.Options.Headless, 1);
        EXPECT_EQ(p.Options.TimeScale, 60);
    }
}

TEST(ShellOptions, HelpAndVersion) {
    EXPECT_EQ(Parse({"--help"}).Action, OptionsAction::Help);
    EXPECT_EQ(Parse({"--headless", "--version"}).Action, OptionsAction::Version);
}

TEST(ShellOptions, BadCommandLinesSayWhy) {
    const struct { std::vector<const char*> Args; const char* Says; } cases[] = {
        {{"--demo"}, "unknown option \"--demo\""},
        {{"extra"}, "unknown option \"extra\""},
        {{"--configfile"}, "unknown option"},
        {{"--config"}, "--config needs a value"},
        {{"--l2="}, "--l2 needs a value"},
        {{"--time-scale", "0"}, "--time-scale"},
        {{"--time-scale", "-3"}, "--time-scale"},
        {{"--time-scale", "2x"}, "--time-scale"},
        {{"--time-scale", "99999999999999999999"}, "--time-scale"},
        {{"--time-scale", "10001"}, "--time-scale"},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.Args);
        EXPECT_EQ(p.Action, OptionsAction::Error) << c.Args[0];
        EXPECT_NE(p.Error.find(c.Says), std::string::npos) << p.Error;
    }
}

TEST(ShellOptions, OverlongValuesAreRefusedNotCut) {
    const std::string longUri(kBackendUriMax, 'x');
    const Parsed p = Parse({"--l2", longUri.c_str()});
    EXPECT_EQ(p.Action, OptionsAction::Error);
    EXPECT_NE(p.Error.find("too long"), std::string::npos);
}

}  // namespace
