// What the headless collector costs between calls. The program runs as a
// service on the simulated network with four channels called once an hour
// (real time), so that after its first calls nothing is due for the whole
// measurement. Over the measured span (60 s, or the seconds given as the
// first argument) it counts the program's wake-ups (voluntary and
// involuntary context switches of all its threads, /proc/PID/task/*/status)
// and its processor time (utime + stime, /proc/PID/stat). The last line
// gives wake-ups per second and the processor share in percent.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "support/program_run.h"

namespace {

constexpr int kChannels = 4;
constexpr int kWarmUpSeconds = 10;  // start-up and the first calls

// Context switches of every thread of `pid`.
long long Switches(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) return -1;
    long long total = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::istringstream status(ReadAll(tasks + "/" + entry->d_name + "/status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
                total += std::stoll(line.substr(line.find(':') + 1));
            }
        }
    }
    closedir(dir);
    return total;
}

// utime + stime of `pid` in clock ticks.
long long Ticks(pid_t pid) {
    const std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stoll(field);
    }
    return ticks;
}

int Threads(pid_t pid) {
    const std::string status = ReadAll("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("Threads:");
    return at == std::string::npos ? -1 : std::atoi(status.c_str() + at + 8);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    ProgramDirs dirs;
    std::string config = "[Mycall]\r\nDestination Call=QX0OWN\r\n";
    for (int ch = 1; ch <= kChannels; ++ch) {
        config += "[Channel" + std::to_string(ch) + "]\r\nCallPath=QX" + std::to_string(ch) +
                  "TST\r\nRufAktiv=1\r\nMinutenIntervall=60\r\n";
    }
    WriteAll(dirs.Config, config);
    const pid_t pid = StartProgram({"--headless", "--l2", "sim:faults=0,callers=0", "--config", dirs.Config,
                                    "--data-dir", dirs.Data, "--metrics", "off"},
                                   dirs.Runtime, dirs.Errors);
    std::this_thread::sleep_for(std::chrono::seconds(kWarmUpSeconds));
    const long long switches = Switches(pid);
    const long long ticks = Ticks(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long switchesAfter = Switches(pid);
    const long long ticksAfter = Ticks(pid);
    const double span = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int threads = Threads(pid);
    kill(pid, SIGTERM);
    const int code = WaitProgram(pid);
    if (switches < 0 || switchesAfter < 0 || code != 0) {
        std::fprintf(stderr, "the collector did not run through (exit %d): %s\n", code,
                     ReadAll(dirs.Errors).c_str());
        return 1;
    }
    const double wakeups = static_cast<double>(switchesAfter - switches) / span;
    const double cpu =
        static_cast<double>(ticksAfter - ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / span;
    std::printf("headless collector, %d channels called hourly, %d threads, over %.0f s:\n", kChannels,
                threads, span);
    std::printf("  %lld context switches, %lld clock ticks of processor time\n", switchesAfter - switches,
                ticksAfter - ticks);
    std::printf("wakeups/s=%.2f cpu=%.3f%%\n", wakeups, cpu * 100);
    return 0;
}
