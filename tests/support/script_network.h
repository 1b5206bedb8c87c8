// A layer-2 stack that tests script tick by tick (each link's state, the
// frames it holds, the transmit space it grants, the stations connecting to
// Mycall), keeping what went on air: the connects asked for, and the texts
// sent and commands given on each link. Threading: test thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "radio/layer2.h"

// A fresh program state with Mycall "QX0OWN" and `dataDir` as its data
// directory.
inline void InitScriptState(AppState& state, const std::string& dataDir) {
    InitAppState(state);
    std::strcpy(state.Mycall, "QX0OWN");
    std::snprintf(state.DataDir, sizeof state.DataDir, "%s", dataDir.c_str());
}

// One received frame in the stack's layout: 16-bit little-endian text count,
// one unused byte, then the text. `count` may differ from the text length to
// imitate a lying stack (-1 = the text length).
inline std::vector<unsigned char> MakeFrame(const std::string& text, int count = -1) {
    const int n = count < 0 ? static_cast<int>(text.size()) : count;
    std::vector<unsigned char> f(text.begin(), text.end());
    f.insert(f.begin(), {static_cast<unsigned char>(n & 0xFF), static_cast<unsigned char>((n >> 8) & 0xFF),
                         0xA5});  // the unused byte; never read
    return f;
}

struct ScriptLink {
    int State = 2;                                  // low 3 bits of l2_stat
    std::deque<std::vector<unsigned char>> Frames;  // waiting frames
    int NullFrames = 0;                             // l2_get_i answers null this often first
    std::deque<int> Grants;                         // l2_ialloc answers, in order, then 1
    std::vector<unsigned char> Current;             // the frame handed out last
    std::vector<std::string> Sent;                  // l2_puts texts
    std::vector<int> Commands;                      // l2_bef codes, frame releases (15) left out
    int Released = 0;                               // frames released with command 15
    int Reads = 0;                                  // l2_get_i calls
};

struct ScriptNetwork final : Layer2 {
    int ax_init() override { return 1; }
    std::uint16_t l2_connect(const char* mycall, const char* callPath) override {
        Calls.push_back("connect " + std::string(mycall) + "|" + callPath);
        return Add(2);
    }
    std::uint16_t l2_get_sabm(const char* mycall) override {
        Calls.push_back("sabm " + std::string(mycall));
        const std::uint16_t h = Incoming.empty() ? 0 : Incoming.front();
        if (h) Incoming.pop_front();
        return h;
    }
    int l2_stat(int, std::uint16_t handle) override {
        const auto it = Links.find(handle);
        if (it == Links.end()) return 0;
        const ScriptLink& l = it->second;
        const int data = !l.Frames.empty() || l.NullFrames > 0;
        return (l.State & kL2StateMask) | (data ? kL2DataWaiting : 0);
    }
    const unsigned char* l2_get_i(std::uint16_t handle) override {
        ScriptLink& l = Links[handle];
        ++l.Reads;
        if (l.NullFrames > 0) {
            --l.NullFrames;
            return nullptr;
        }
        if (l.Frames.empty()) return nullptr;
        l.Current = l.Frames.front();
        l.Frames.pop_front();
        return l.Current.data();
    }
    int l2_ialloc(std::uint16_t handle, int) override {
        ScriptLink& l = Links[handle];
        const int grant = l.Grants.empty() ? 1 : l.Grants.front();
        if (!l.Grants.empty()) l.Grants.pop_front();
        return grant;
    }
    void l2_puts(std::uint16_t handle, const char* text) override { Links[handle].Sent.push_back(text); }
    void l2_bef(int command, std::uint16_t handle) override {
        ScriptLink& l = Links[handle];
        if (command == kL2FrameDone) {
            ++l.Released;
            l.Current.clear();
        } else {
            l.Commands.push_back(command);
        }
        if (command == kL2Disconnect) l.State = 0;
    }

    std::uint16_t Add(int state) {
        Links[NextHandle].State = state;
        return NextHandle++;
    }
    // A station connected to Mycall, waiting to be taken.
    std::uint16_t AddIncoming() { return Incoming.emplace_back(Add(kL2Connected)); }
    void QueueText(std::uint16_t h, const std::string& text) { Links[h].Frames.push_back(MakeFrame(text)); }

    std::uint16_t NextHandle = 1;
    std::map<std::uint16_t, ScriptLink> Links;
    std::deque<std::uint16_t> Incoming;
    std::vector<std::string> Calls;  // "connect MYCALL|PATH", "sabm MYCALL", in order
};
