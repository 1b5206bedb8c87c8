// The command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

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

TEST(ShellOptions, GoodCommandLines) {
    const struct {
        std::vector<const char*> Args;
        OptionsAction Action;
        const char *Config, *DataDir, *Backend;
        int Headless, TimeScale;
    } cases[] = {
        {{}, OptionsAction::Run, "", "", "", 0, 1},
        {{"--config", "/a/b.ini", "--data-dir", "/d", "--l2", "sim:seed=4", "--headless", "--time-scale", "60"},
         OptionsAction::Run, "/a/b.ini", "/d", "sim:seed=4", 1, 60},
        {{"--config=/a/b.ini", "--data-dir=/d", "--l2=sim:seed=4", "--headless", "--time-scale=60"},
         OptionsAction::Run, "/a/b.ini", "/d", "sim:seed=4", 1, 60},
        {{"--help"}, OptionsAction::Help, "", "", "", 0, 1},
        {{"--headless", "--version"}, OptionsAction::Version, "", "", "", 1, 1},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.Args);
        SCOPED_TRACE(c.Args.empty() ? "(none)" : c.Args[0]);
        EXPECT_EQ(p.Action, c.Action) << p.Error;
        if (c.Action != OptionsAction::Run) continue;
        EXPECT_STREQ(p.Options.ConfigPath, c.Config);
        EXPECT_STREQ(p.Options.DataDir, c.DataDir);
        EXPECT_STREQ(p.Options.Backend, c.Backend);
        EXPECT_EQ(p.Options.Headless, c.Headless);
        EXPECT_EQ(p.Options.TimeScale, c.TimeScale);
    }
}

TEST(ShellOptions, BadCommandLinesSayWhy) {
    const std::string longUri(kBackendUriMax, 'x');  // refused, not cut
    const struct { std::vector<const char*> Args; const char* Says; } cases[] = {
        {{"--demo"}, "unknown option \"--demo\""},
        {{"extra"}, "unknown option \"extra\""},
        {{"--configfile"}, "unknown option"},
        {{"--config"}, "--config needs a value"},
        {{"--l2="}, "--l2 needs a value"},
        {{"--l2", longUri.c_str()}, "too long"},
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

}  // namespace
