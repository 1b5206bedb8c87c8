// The command line of hopwatch. The program needs no arguments; the options
// serve Linux users, demonstrations and tests, and none of them changes a
// text or a file format.
//
// Threading: any (pure parsing).
#pragma once

constexpr int kPathSize = 4096;
constexpr int kBackendUriMax = 256;  // as the settings file keeps it
constexpr int kMaxTimeScale = 10000;

struct ShellOptions {
    char ConfigPath[kPathSize];    // "" = the default location
    char DataDir[kPathSize];       // "" = the working directory
    char Backend[kBackendUriMax];  // "" = from the settings file, else the default
    char Screenshot[kPathSize];    // hidden: grab the window into this PNG, then exit
    int Headless;
    int TimeScale;  // 1 = real time
};

enum class OptionsAction { Run, Help, Version, Error };

// Accepts "--name value" and "--name=value". On Error, `error` holds a
// one-line reason.
OptionsAction ParseShellOptions(int argc, const char* const* argv, ShellOptions& options, char* error,
                                int errorSize);

// The --help text.
const char* ShellUsageText();
