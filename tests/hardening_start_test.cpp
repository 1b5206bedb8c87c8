// Starts that cannot come up end with a non-zero status, and an unreadable
// settings file is said at start with its path and the reason, and never
// replaced: a service ends there, the window runs on without it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/program_run.h"

namespace {

TEST(HardenedStart, UnreadableSettingsAreSaidAtStartAndNeverReplaced) {
    const ProgramDirs dirs;
    const std::string big(2 * 1024 * 1024, '#');
    const struct {
        const char* Name;
        const char* Reason;
    } cases[] = {{"directory", "it is a directory"},
                 {"too big", "it is larger than 1 MiB"},
                 {"no permission", "Permission denied"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::remove(dirs.Config.c_str());
        rmdir(dirs.Config.c_str());
        if (c.Name[0] == 'd') {
            ASSERT_EQ(mkdir(dirs.Config.c_str(), 0700), 0);
        } else {
            WriteAll(dirs.Config, big);
        }
        if (c.Name[0] == 'n') {
            if (geteuid() == 0) {
                std::printf("skipped: a file without read permission is readable to root\n");
                continue;
            }
            ASSERT_EQ(chmod(dirs.Config.c_str(), 0200), 0);
        }
        const std::string line =
            "hopwatch: the settings file " + dirs.Config + " cannot be read (" + c.Reason + ")";
        const std::vector<std::string> args = {"--l2",      "sim",        "--config",
                                               dirs.Config, "--data-dir", dirs.Data};
        std::vector<std::string> headless = args;
        headless.insert(headless.begin(), "--headless");
        EXPECT_EQ(WaitProgram(StartProgram(headless, dirs.Runtime, dirs.Errors)), 1);
        EXPECT_EQ(ReadAll(dirs.Errors), line + "\n");
        const pid_t window = StartProgram(args, dirs.Runtime, dirs.Errors);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ASSERT_EQ(kill(window, SIGTERM), 0);
        EXPECT_EQ(WaitProgram(window), 0);
        EXPECT_EQ(ReadAll(dirs.Errors).substr(0, line.size() + 26), line + "; it will not be replaced\n");
        chmod(dirs.Config.c_str(), 0600);
        EXPECT_EQ(c.Name[0] == 'd' ? big : ReadAll(dirs.Config), big);
    }
}

}  // namespace
