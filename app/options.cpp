// Command-line parsing without getopt, so that the same rules hold for every
// caller and a test can feed any argument vector.
#include "app/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A whole number from low to high, the whole text; 0 when it is not.
int WholeNumberIn(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || n < low || n > high) return 0;
    out = static_cast<int>(n);
    return 1;
}

// Copies `value` into a fixed field; 0 when it does not fit.
int CopyValue(char* field, int size, const char* value) {
    const std::size_t length = std::strlen(value);
    if (length >= static_cast<std::size_t>(size)) {
        return 0;
    }
    std::memcpy(field, value, length + 1);
    return 1;
}

// A check of an option's value once it is copied; 0 with the reason in
// `error`. Null: any value that fits.
using ValueCheck = int (*)(const char* value, ShellOptions& options, char* error, std::size_t errSize);

int CheckMetrics(const char* value, ShellOptions&, char* error, std::size_t errSize) {
    char address[kMetricsListenSize];
    int port = 0;
    if (std::strcmp(value, kMetricsOff) != 0 && !ParseMetricsListen(value, address, sizeof address, &port)) {
        std::snprintf(error, errSize, "--metrics takes [ADDRESS:]PORT or off, not \"%s\"", value);
        return 0;
    }
    return 1;
}

int CheckTimeScale(const char* value, ShellOptions& options, char* error, std::size_t errSize) {
    if (!WholeNumberIn(value, 1, kMaxTimeScale, options.TimeScale)) {
        std::snprintf(error, errSize, "--time-scale takes a whole number from 1 to %d, not \"%s\"",
                      kMaxTimeScale, value);
        return 0;
    }
    options.TimeScaleGiven = 1;
    return 1;
}

int CheckLink(const char* value, ShellOptions& options, char* error, std::size_t errSize) {
    if (!WholeNumberIn(value, 1, kMaxExportLink, options.Link)) {
        std::snprintf(error, errSize, "--link takes a link number from 1 to %d, not \"%s\"", kMaxExportLink,
                      value);
        return 0;
    }
    return 1;
}

}  // namespace

int ParseMetricsListen(const char* text, char* address, int addressSize, int* port) {
    const char* colon = std::strrchr(text, ':');
    const char* digits = colon ? colon + 1 : text;
    std::string host = colon ? std::string(text, static_cast<std::size_t>(colon - text)) : "";
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of("[]:") != std::string::npos) {
        return 0;  // a bare IPv6 address needs its brackets
    }
    if (colon != nullptr && host.empty()) return 0;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(digits, &end, 10);
    if (digits[0] < '0' || digits[0] > '9' || errno != 0 || *end != '\0' || value < 1 || value > 65535) {
        return 0;
    }
    if (host.empty()) host = kMetricsDefaultAddress;
    if (host.size() >= static_cast<std::size_t>(addressSize)) return 0;
    std::memcpy(address, host.c_str(), host.size() + 1);
    *port = static_cast<int>(value);
    return 1;
}

const char* ShellUsageText() {
    return "Usage: hopwatch [options]\n"
           "Watches the links of up to four packet-radio digipeaters.\n"
           "\n"
           "  --config FILE     settings file (default ~/.config/hopwatch/hopw.ini)\n"
           "  --data-dir DIR    where history files and hopwansw.txt live\n"
           "                    (default: the working directory)\n"
           "  --l2 URI          layer-2 backend: sim, sim:seed=N, sim:fail,\n"
           "                    agw://HOST:PORT[/RADIOPORT], kiss://HOST:PORT[/N] or\n"
           "                    kiss:/dev/DEVICE[?baud=B]; saved in the settings file\n"
           "  --headless        no window: run as a service, messages on standard error,\n"
           "                    SIGTERM or SIGINT shut down in order\n"
           "  --time-scale N    timers run N times faster\n"
           "  --demo            a ready demonstration: simulated network, six days of\n"
           "                    history, private settings and data under\n"
           "                    $XDG_CACHE_HOME/hopwatch/demo, --time-scale 10\n"
           "  --export-csv FILE.hpw [--link N]\n"
           "                    write the history file as CSV to standard output\n"
           "                    (one row per record and link, or link N only)\n"
           "  --availability FILE.hpw [--link N]\n"
           "                    print each link's share of calls per class and its\n"
           "                    outages (link N only: with the list of its outages)\n"
           "  --metrics [ADDRESS:]PORT  serve the web pages on http://ADDRESS:PORT/ and\n"
           "                    Prometheus metrics at /metrics (ADDRESS 127.0.0.1 unless\n"
           "                    named; \"off\" turns it off); saved\n"
           "  --help            this text\n"
           "  --version         the version\n";
}

OptionsAction ParseShellOptions(int argc, const char* const* argv, ShellOptions& options, char* error,
                                int errorSize) {
    options = ShellOptions{};
    options.TimeScale = 1;
    const std::size_t errSize = static_cast<std::size_t>(errorSize);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            return OptionsAction::Help;
        }
        if (std::strcmp(arg, "--version") == 0) {
            return OptionsAction::Version;
        }
        if (std::strcmp(arg, "--headless") == 0) {
            options.Headless = 1;
            continue;
        }
        if (std::strcmp(arg, "--demo") == 0) {
            options.Demo = 1;
            continue;
        }

        // Options with a value, as "--name value" or "--name=value". The
        // numbers are copied first, so that an overlong one is refused as
        // too long like any other value.
        struct Valued {
            const char* Name;
            char* Field;
            int Size;
            ValueCheck Check;
        };
        char timeScale[32] = "";
        char link[32] = "";
        const Valued valued[] = {
            {"--config", options.ConfigPath, kPathSize, nullptr},
            {"--data-dir", options.DataDir, kPathSize, nullptr},
            {"--l2", options.Backend, kBackendUriSize, nullptr},
            {"--screenshot", options.Screenshot, kPathSize, nullptr},
            {"--time-scale", timeScale, static_cast<int>(sizeof timeScale), CheckTimeScale},
            {"--export-csv", options.ExportCsv, kPathSize, nullptr},
            {"--availability", options.Availability, kPathSize, nullptr},
            {"--link", link, static_cast<int>(sizeof link), CheckLink},
            {"--metrics", options.Metrics, kMetricsListenSize, CheckMetrics},
        };
        const Valued* match = nullptr;
        const char* value = nullptr;
        for (const Valued& v : valued) {
            const std::size_t n = std::strlen(v.Name);
            if (std::strcmp(arg, v.Name) == 0) {
                match = &v;
                if (i + 1 >= argc) {
                    std::snprintf(error, errSize, "option %s needs a value", v.Name);
                    return OptionsAction::Error;
                }
                value = argv[++i];
                break;
            }
            if (std::strncmp(arg, v.Name, n) == 0 && arg[n] == '=') {
                match = &v;
                value = arg + n + 1;
                break;
            }
        }
        if (match == nullptr) {
            std::snprintf(error, errSize, "unknown option \"%s\" (try --help)", arg);
            return OptionsAction::Error;
        }
        if (value[0] == '\0') {
            std::snprintf(error, errSize, "option %s needs a value", match->Name);
            return OptionsAction::Error;
        }
        if (!CopyValue(match->Field, match->Size, value)) {
            std::snprintf(error, errSize, "the value of %s is too long", match->Name);
            return OptionsAction::Error;
        }
        if (match->Check != nullptr && !match->Check(value, options, error, errSize)) {
            return OptionsAction::Error;
        }
    }
    if (options.Link != 0 && options.ExportCsv[0] == '\0' && options.Availability[0] == '\0') {
        std::snprintf(error, errSize, "--link goes with --export-csv or --availability");
        return OptionsAction::Error;
    }
    return OptionsAction::Run;
}
