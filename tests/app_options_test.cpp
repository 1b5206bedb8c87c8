// The command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/options.h"

namespace {

// What the command line asks for, in one line; an error with its reason.
std::string Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "hopwatch");
    ShellOptions o{};
    char error[256] = "";
    const OptionsAction action =
        ParseShellOptions(static_cast<int>(args.size()), args.data(), o, error, sizeof error);
    if (action == OptionsAction::Error) return std::string("error: ") + error;
    if (action != OptionsAction::Run) return action == OptionsAction::Help ? "help" : "version";
    return std::string("run config=") + o.ConfigPath + " data=" + o.DataDir + " l2=" + o.Backend +
           " headless=" + std::to_string(o.Headless) + " scale=" + std::to_string(o.TimeScale) +
           (o.Demo ? " demo" : "") + (o.ExportCsv[0] ? std::string(" export=") + o.ExportCsv : "") +
           " link=" + std::to_string(o.Link);
}

TEST(ShellOptions, CommandLines) {
    const std::string longUri(kBackendUriMax, 'x');  // refused, not cut
    const struct {
        std::vector<const char*> Args;
        const char* Says;
    } cases[] = {
        {{}, "run config= data= l2= headless=0 scale=1"},
        {{"--config", "/a/b.ini", "--data-dir", "/d", "--l2", "sim:seed=4", "--headless", "--time-scale",
          "60"},
         "run config=/a/b.ini data=/d l2=sim:seed=4 headless=1 scale=60"},
        {{"--config=/a/b.ini", "--data-dir=/d", "--l2=sim:seed=4", "--headless", "--time-scale=60"},
         "run config=/a/b.ini data=/d l2=sim:seed=4 headless=1 scale=60"},
        {{"--help"}, "help"},
        {{"--headless", "--version"}, "version"},
        {{"--demo", "--time-scale", "3"}, "headless=0 scale=3 demo link=0"},
        {{"--export-csv", "a.hpw", "--link=18"}, "scale=1 export=a.hpw link=18"},
        {{"--link", "2"}, "error: --link goes with --export-csv"},
        {{"--export-csv", "a.hpw", "--link", "19"},
         "error: --link takes a link number from 1 to 18, not \"19\""},
        {{"--export-csv", "a.hpw", "--link", "0"}, "error: --link takes"},
        {{"--demos"}, "error: unknown option \"--demos\""},
        {{"--configfile"}, "error: unknown option"},
        {{"--config"}, "error: option --config needs a value"},
        {{"--l2="}, "error: option --l2 needs a value"},
        {{"--l2", longUri.c_str()}, "too long"},
        {{"--time-scale", "0"}, "error: --time-scale takes a whole number from 1 to 10000, not \"0\""},
        {{"--time-scale", "2x"}, "error: --time-scale"},
        {{"--time-scale", "10001"}, "error: --time-scale"},
    };
    for (const auto& c : cases) {
        const std::string parsed = Parse(c.Args);
        EXPECT_NE(parsed.find(c.Says), std::string::npos) << parsed;
    }
}

}  // namespace
