#include "ui/shell_port.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <ctime>

namespace {

void WriteLine(void*, const char* line) {
    std::fprintf(stderr, "%s\n", line);
}

}  // namespace

LogSink StandardErrorLog() {
    return {WriteLine, nullptr};
}

ShellPort::ShellPort(ShellSession& session, AppState& state)
    : session_(session), state_(state), timers_(state, *this) {}

void ShellPort::log(const char* line) {
    WriteLine(nullptr, line);
}

std::tm ShellPort::localTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

Layer2& ShellPort::l2() {
    return ActiveLayer2(session_);
}

int ShellPort::startTimer(int id, int periodMs) {
    return timers_.start(id, periodMs);
}

void ShellPort::stopTimer(int id) {
    timers_.stop(id);
}

void ShellPort::postQuit(int code) {
    // Queued, so that the loop ends after the handler that asked for it.
    QTimer::singleShot(0, QCoreApplication::instance(), [code] { QCoreApplication::exit(code); });
}
