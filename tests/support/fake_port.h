// A scriptable platform port for core tests: records every box and logged
// line, answers questions from a queue (Cancel when empty), keeps status
// texts and toolbar states, gives a fixed local time, and can run a hook
// while a box is "open" to imitate the nested loop of a real modal box.
#pragma once

#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/log_sink.h"
#include "core/platform_port.h"
#include "radio/null_layer2.h"

struct FakeBox {
    std::string Text;
    std::string Caption;
    BoxIcon Icon;
    BoxButtons Buttons;
    bool Asked;  // true for ask(), false for tell()
    std::string Line() const { return Caption + (Asked ? " asks: " : " tells: ") + Text; }
};

struct FakePort : PlatformPort {
    BoxAnswer ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) override {
        Boxes.push_back({text, caption, icon, buttons, true});
        if (WhileBoxOpen) WhileBoxOpen();
        if (Answers.empty()) return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
        const BoxAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void tell(const char* text, const char* caption, BoxIcon icon) override {
        Boxes.push_back({text, caption, icon, BoxButtons::Ok, false});
        if (WhileBoxOpen) WhileBoxOpen();
    }
    void log(const char* line) override { (Log += line) += '\n'; }
    void repaint(bool erase) override { Repaints.push_back(erase); }
    void setStatusText(int field, const char* text) override { Status[field] = text; }
    int isButtonChecked(int id) override { return Checked[id]; }
    int isButtonEnabled(int id) override { return Enabled.count(id) ? Enabled[id] : 1; }
    void enableButton(int id, int enable) override {
        EnableCalls.push_back({id, enable});
        Enabled[id] = enable ? 1 : 0;
    }
    std::tm localTime() override { return Now; }
    Layer2& l2() override { return Net != nullptr ? *Net : DefaultNet; }

    // Sets the local time returned from now on (month 1..12, full year).
    void SetTime(int year, int month, int day, int hour, int minute) {
        Now = std::tm{};
        Now.tm_year = year - 1900;
        Now.tm_mon = month - 1;
        Now.tm_mday = day;
        Now.tm_hour = hour;
        Now.tm_min = minute;
    }

    std::vector<FakeBox> Boxes;
    std::string Log;  // every logged line with its line end, as standard error would have it
    std::deque<BoxAnswer> Answers;
    std::function<void()> WhileBoxOpen;
    std::vector<bool> Repaints;
    std::map<int, std::string> Status;
    std::map<int, int> Checked;
    std::map<int, int> Enabled;
    std::vector<std::pair<int, int>> EnableCalls;
    std::tm Now{};
    NullLayer2 DefaultNet;
    // The stack l2() hands out; null = DefaultNet (so a copied port never
    // points into the port it was copied from).
    Layer2* Net = nullptr;
};

// A sink for the radio stack that collects its lines as FakePort::Log does.
inline LogSink CollectLog(std::string& into) {
    return {[](void* to, const char* line) { (*static_cast<std::string*>(to) += line) += '\n'; }, &into};
}
