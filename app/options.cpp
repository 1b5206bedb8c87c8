// Command-line parsing without getopt, so that the same rules hold for every
// caller and a test can feed any argument vector.
#include "app/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Copies `value` into a fixed field; 0 when it does not fit.
int CopyValue(char* field, int size, const char* value) {
    const std::size_t length = std::strlen(value);
    if (length >= static_cast<std::size_t>(size)) {
        return 0;
    }
    std::memcpy(field, value, length + 1);
    return 1;
}

}  // namespace

const char* ShellUsageText() {
    return "Usage: hopwatch [options]\n"
           "Watches the links of up to four packet-radio digipeaters.\n"
           "\n"
           "  --config FILE     settings file (default ~/.config/hopwatch/hopw.ini)\n"
           "  --data-dir DIR    where history files and hopwansw.txt live\n"
           "                    (default: the working directory)\n"
           "  --l2 URI          layer-2 backend: sim, sim:seed=N, sim:fail or\n"
           "                    agw://HOST:PORT[/RADIOPORT]; saved in the settings file\n"
           "  --headless        no window: run as a service, messages on standard error,\n"
           "                    SIGTERM or SIGINT shut down in order\n"
           "  --time-scale N    timers run N times faster\n"
           "  --demo            a ready demonstration: simulated network, six days of\n"
           "                    history, private settings and data under\n"
           "                    $XDG_CACHE_HOME/hopwatch/demo, --time-scale 10\n"
           "  --export-csv FILE.hpw [--link N]\n"
           "                    write the history file as CSV to standard output\n"
           "                    (one row per record and link, or link N only)\n"
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

        // Options with a value, as "--name value" or "--name=value".
        struct Valued {
            const char* Name;
            char* Field;
            int Size;
        };
        char timeScale[32] = "";
        char link[32] = "";
        const Valued valued[] = {
            {"--config", options.ConfigPath, kPathSize},
            {"--data-dir", options.DataDir, kPathSize},
            {"--l2", options.Backend, kBackendUriMax},
            {"--screenshot", options.Screenshot, kPathSize},
            {"--time-scale", timeScale, static_cast<int>(sizeof timeScale)},
            {"--export-csv", options.ExportCsv, kPathSize},
            {"--link", link, static_cast<int>(sizeof link)},
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
        if (match->Field == timeScale) {
            char* end = nullptr;
            errno = 0;
            const long scale = std::strtol(timeScale, &end, 10);
            if (errno != 0 || *end != '\0' || scale < 1 || scale > kMaxTimeScale) {
                std::snprintf(error, errSize, "--time-scale takes a whole number from 1 to %d, not \"%s\"",
                              kMaxTimeScale, timeScale);
                return OptionsAction::Error;
            }
            options.TimeScale = static_cast<int>(scale);
            options.TimeScaleGiven = 1;
        }
        if (match->Field == link) {
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(link, &end, 10);
            if (errno != 0 || *end != '\0' || n < 1 || n > kMaxExportLink) {
                std::snprintf(error, errSize, "--link takes a link number from 1 to %d, not \"%s\"",
                              kMaxExportLink, link);
                return OptionsAction::Error;
            }
            options.Link = static_cast<int>(n);
        }
    }
    if (options.Link != 0 && options.ExportCsv[0] == '\0') {
        std::snprintf(error, errSize, "--link goes with --export-csv");
        return OptionsAction::Error;
    }
    return OptionsAction::Run;
}
