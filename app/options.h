// The command line of hopwatch. The program needs no arguments; the options
// serve Linux users, demonstrations and tests, and none of them changes a
// text or a file format.
//
// Threading: any (pure parsing).
#pragma once

// kPathSize, kBackendUriSize and kMetricsListenSize: the options hold what
// the program and its settings file can keep.
#include "settings/settings_file.h"

constexpr int kMaxTimeScale = 10000;
constexpr int kMaxExportLink = 18;
constexpr const char* kMetricsOff = "off";
constexpr const char* kMetricsDefaultAddress = "127.0.0.1";

struct ShellOptions {
    char ConfigPath[kPathSize];        // "" = the default location
    char DataDir[kPathSize];           // "" = the working directory
    char Backend[kBackendUriSize];     // "" = from the settings file, else the default
    char Screenshot[kPathSize];        // hidden: grab the window into this PNG, then exit
    char ExportCsv[kPathSize];         // "" = run; else export this history file and end
    char Availability[kPathSize];      // "" = run; else print this history file's availability and end
    char Metrics[kMetricsListenSize];  // "" = from the settings file, "off", or [ADDRESS:]PORT
    int Headless;
    int Demo;            // the ready demonstration (app/demo.h)
    int TimeScale;       // 1 = real time
    int TimeScaleGiven;  // --time-scale was on the command line
    int Link;            // --link: the one link to export or report (1..); 0 = all
};

enum class OptionsAction { Run, Help, Version, Error };

// Accepts "--name value" and "--name=value". On Error, `error` holds a
// one-line reason.
OptionsAction ParseShellOptions(int argc, const char* const* argv, ShellOptions& options, char* error,
                                int errorSize);

// Where the metrics endpoint listens: "PORT", "ADDRESS:PORT" or
// "[IPV6]:PORT"; ADDRESS is 127.0.0.1 when not named, PORT 1..65535. 0 when
// the text is none of these.
int ParseMetricsListen(const char* text, char* address, int addressSize, int* port);

// The --help text.
const char* ShellUsageText();
