#include "ui/headless_shell.h"

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

HeadlessShell::HeadlessShell(ShellSession& session, AppState& state) : ShellPort(session, state) {
    status_[kFieldCycle] = kInitialStatusText;
}

BoxAnswer HeadlessShell::ask(const char* text, const char* caption, BoxIcon, BoxButtons buttons) {
    log(HeadlessBoxLine(caption, text).c_str());
    return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}

void HeadlessShell::tell(const char* text, const char* caption, BoxIcon) {
    log(HeadlessBoxLine(caption, text).c_str());
}

void HeadlessShell::setStatusText(int field, const char* text) {
    if (field >= 0 && field < kStatusFieldCount) status_[field] = text;
}

int HeadlessShell::isButtonEnabled(int commandId) {
    const auto it = enabled_.find(commandId);
    return it == enabled_.end() ? 1 : it->second;
}

void HeadlessShell::enableButton(int commandId, int enable) {
    enabled_[commandId] = enable ? 1 : 0;
}
