// Where the program's one-line messages for the operator go (a file that
// cannot be saved, a TNC lost and found again): the platform port's log,
// which the window and the service write to standard error, or whatever a
// test collects them in. The radio stack, which knows no port, is handed a
// sink of its own.
//
// Threading: the caller's; a sink is called on the thread that logs.
#pragma once

struct PlatformPort;

struct LogSink {
    // One line without its line end; a null Write drops it.
    void (*Write)(void* context, const char* line) = nullptr;
    void* Context = nullptr;
};

// The port's log as a sink.
LogSink PortLog(PlatformPort& port);

// Formats one line (printf rules) and hands it to the sink.
void LogLine(const LogSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));
