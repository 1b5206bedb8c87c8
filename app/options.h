// The command line of hopwatch. The program needs no arguments; the options
// serve Linux users, demonstrations and tests, and none of them changes a
// text or a file format.
//
// Threading: any (pure parsing).
#pragma once

constexpr int kPathSize = 4096;
constexpr int kBackendUriMax = 256;  // as the settings file keeps it
constexpr int kMaxTimeScale = 10000;
constexpr int kMaxExportLink = 18;

struct ShellOptions {
    char ConfigPath[kPathSize];    // "" = the default location
    char DataDir[kPathSize];       // "" = the working directory
    char Backend[kBackendUriMax];  // "" = from the settings file, else the default
    char Screenshot[kPathSize];    // hidden: grab the window into this PNG, then exit
    char ExportCsv[kPathSize];     // "" = run; else export this history file and end
    int Headless;
    int Demo;            // the ready demonstration (app/demo.h)
    int TimeScale;       // 1 = real time
    int TimeScaleGiven;  // --time-scale was on the command line
    int Link;            // --link: the one link to export (1..); 0 = all
};

enum class OptionsAction { Run, Help, Version, Error };

// Accepts "--name value" and "--name=value". On Error, `error` holds a
// one-line reason.
OptionsAction ParseShellOptions(int argc, const char* const* argv, ShellOptions& options, char* error,
                                int errorSize);

// The --help text.
const char* ShellUsageText();
