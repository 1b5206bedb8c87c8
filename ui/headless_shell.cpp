#include "ui/headless_shell.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "ui/gui_shell.h"

std::string HeadlessBoxLine(const char* caption, const char* text) {
    std::string line = caption;
    line += ": ";
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\r') continue;
        if (*p == '\n') {
            if (p[1] != '\0') line += " / ";
            continue;
        }
        line += *p;
    }
    return line;
}

HeadlessShell::HeadlessShell(ShellSession& session, AppState& state)
    : session_(session), timers_(state, *this) {
    status_[kFieldCycle] = kInitialStatusText;
}

BoxAnswer HeadlessShell::ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) {
    (void)icon;
    std::fprintf(stderr, "%s\n", HeadlessBoxLine(caption, text).c_str());
    std::fflush(stderr);
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void HeadlessShell::tell(const char* text, const char* caption, BoxIcon icon) {
    (void)icon;
    std::fprintf(stderr, "%s\n", HeadlessBoxLine(caption, text).c_str());
    std::fflush(stderr);
}

void HeadlessShell::log(const char* line) {
    LogLine(StandardErrorLog(), "%s", line);
}

void HeadlessShell::repaint(bool erase) {
    (void)erase;
}

void HeadlessShell::setStatusText(int field, const char* text) {
    if (field >= 0 && field < kStatusFieldCount) status_[field] = text;
}

int HeadlessShell::isButtonChecked(int commandId) {
    (void)commandId;
    return 0;
}

int HeadlessShell::isButtonEnabled(int commandId) {
    const auto it = enabled_.find(commandId);
    return it == enabled_.end() ? 1 : it->second;
}

void HeadlessShell::enableButton(int commandId, int enable) {
    enabled_[commandId] = enable ? 1 : 0;
}

std::tm HeadlessShell::localTime() {
    return CurrentLocalTime();
}

Layer2& HeadlessShell::l2() {
    return ActiveLayer2(session_);
}

int HeadlessShell::startTimer(int id, int periodMs) {
    return timers_.start(id, periodMs);
}

void HeadlessShell::stopTimer(int id) {
    timers_.stop(id);
}

void HeadlessShell::postQuit(int code) {
    QTimer::singleShot(0, QCoreApplication::instance(), [code] { QCoreApplication::exit(code); });
}
