#include "core/log_sink.h"

#include <cstdarg>
#include <cstdio>

#include "core/platform_port.h"

LogSink PortLog(PlatformPort& port) {
    return {[](void* context, const char* line) { static_cast<PlatformPort*>(context)->log(line); }, &port};
}

void LogLine(const LogSink& sink, const char* format, ...) {
    if (sink.Write == nullptr) return;
    // Room for two paths and their reasons, so no line is cut short.
    char line[3 * 4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    sink.Write(sink.Context, line);
}
