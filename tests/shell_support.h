// Scratch directories, whole-file reads and a recording shell host for the
// shell tests.
#pragma once

#include <ftw.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "history/reserved_area.h"
#include "shell/shell_session.h"
#include "support/fake_port.h"

// A fresh private directory, removed with its contents.
struct ShellScratch {
    std::string Path;
    ShellScratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/hopwatch-shell-XXXXXX";
        if (mkdtemp(pattern.data())) Path = pattern;
        EXPECT_FALSE(Path.empty());
    }
    ~ShellScratch() {
        if (Path.empty()) return;
        nftw(Path.c_str(), [](const char* name, const struct stat*, int, FTW*) { return std::remove(name); },
             16, FTW_DEPTH | FTW_PHYS);
    }
    std::string File(const std::string& name) const { return Path + "/" + name; }
};

inline bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Port and host write into one log, so that tests can check the order of
// everything the sequences do.
struct LoggingPort : FakePort {
    std::vector<std::string>* Log = nullptr;
    BoxAnswer ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) override {
        Log->push_back(std::string("ask ") + caption + ": " + text);
        return FakePort::ask(text, caption, icon, buttons);
    }
    void tell(const char* text, const char* caption, BoxIcon icon) override {
        Log->push_back(std::string("tell ") + caption);
        FakePort::tell(text, caption, icon);
    }
    void setStatusText(int field, const char* text) override {
        Log->push_back("status " + std::to_string(field) + " " + text);
        FakePort::setStatusText(field, text);
    }
};

struct FakeHost : ShellHost {
    std::vector<std::string>* Log = nullptr;
    int FailReserveAt = -1;      // index of the reservation that fails
    int FailMinuteTimer = 0;
    int SecondTimerFailures = 0; // this many starts of timer 2 fail first
    std::vector<std::size_t> ReserveSizes;
    std::vector<int> StatusWidths;
    int Running[3] = {0, 0, 0};

    void createWindow() override { Log->push_back("window"); }
    void createToolbar() override { Log->push_back("toolbar"); }
    void createStatusBar(const int* widths, int count) override {
        StatusWidths.assign(widths, widths + count);
        Log->push_back("statusbar");
    }
    void showWindow() override { Log->push_back("show"); }
    int startTimer(int id, int periodMs) override {
        Log->push_back("start " + std::to_string(id) + " " + std::to_string(periodMs));
        if (id == 1 && FailMinuteTimer) return 0;
        if (id == 2 && SecondTimerFailures > 0) {
            --SecondTimerFailures;
            return 0;
        }
        Running[id] = 1;
        return 1;
    }
    void stopTimer(int id) override {
        Log->push_back("stop " + std::to_string(id));
        Running[id] = 0;
    }
    void postQuit(int code) override { Log->push_back("quit " + std::to_string(code)); }
    int reserveArea(ReservedArea& area, std::size_t bytes) override {
        const int index = static_cast<int>(ReserveSizes.size());
        ReserveSizes.push_back(bytes);
        Log->push_back("reserve");
        if (index == FailReserveAt) return 0;
        return ShellHost::reserveArea(area, bytes);
    }
};
