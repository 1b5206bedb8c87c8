// A layer-2 stack that tests script tick by tick: each link's state, the
// frames it holds, the transmit space it grants and the incoming connects
// waiting for Mycall. Every call made on it is recorded in order, so a test
// can compare the exact command codes and texts a cycle or the answering
// service produced.
//
// Threading: test thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "acquisition/layer2.h"
#include "core/app_state.h"

// A fresh program state with Mycall "QX0OWN" and a new scratch folder as its
// data directory; returns the folder, empty when it could not be made.
inline std::string InitScratchState(AppState& state) {
    InitAppState(state);
    std::strcpy(state.Mycall, "QX0OWN");
    char tmpl[] = "/tmp/hopwatch-test-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return "";
    std::snprintf(state.DataDir, sizeof state.DataDir, "%s", tmpl);
    return tmpl;
}

// One received frame in the stack's layout: 16-bit little-endian text count,
// one unused byte, then the text. `count` may differ from the text length to
// imitate a lying stack (-1 = the text length).
inline std::vector<unsigned char> MakeFrame(const std::string& text, int count = -1) {
    const int n = count < 0 ? static_cast<int>(text.size()) : count;
    std::vector<unsigned char> f;
    f.push_back(static_cast<unsigned char>(n & 0xFF));
    f.push_back(static_cast<unsigned char>((n >> 8) & 0xFF));
    f.push_back(0xA5);  // the unused byte; never read
    f.insert(f.end(), text.begin(), text.end());
    return f;
}

struct ScriptCall {
    std::string Fn;      // "connect", "sabm", "stat", "get_i", "ialloc", "puts", "bef"
    std::uint16_t Handle;
    int Arg;             // ialloc byte count, bef command code
    std::string Text;    // puts text, connect "mycall|path", sabm call
};

struct ScriptLink {
    int State = 2;                                   // low 3 bits of l2_stat
    std::deque<std::vector<unsigned char>> Frames;   // waiting frames
    int NullFrames = 0;          // l2_get_i answers null this often first
    int StuckDataBit = 0;        // data bit set for ever, no frame comes
    std::deque<int> Grants;      // l2_ialloc answers, in order ...
    int DefaultGrant = 1;        // ... then this one
    std::vector<unsigned char> Current;  // the frame handed out last
    std::string CallPath;
};

struct ScriptNetwork final : Layer2 {
    int ax_init() override { return Active; }

    std::uint16_t l2_connect(const char* mycall, const char* callPath) override {
        const std::uint16_t h = NextHandle++;
        Calls.push_back({"connect", h, 0, std::string(mycall) + "|" + callPath});
        ScriptLink& link = Links[h];
        link.State = ConnectState;
        link.CallPath = callPath;
        return h;
    }
    std::uint16_t l2_get_sabm(const char* mycall) override {
        std::uint16_t h = 0;
        if (!Incoming.empty()) {
            h = Incoming.front();
            Incoming.pop_front();
        }
        Calls.push_back({"sabm", h, 0, mycall});
        return h;
    }
    int l2_stat(int zero, std::uint16_t handle) override {
        Calls.push_back({"stat", handle, zero, ""});
        auto it = Links.find(handle);
        if (it == Links.end()) return 0;
        const ScriptLink& l = it->second;
        const int data = (!l.Frames.empty() || l.NullFrames > 0 || l.StuckDataBit) ? kL2DataWaiting : 0;
        return (l.State & kL2StateMask) | data | StatHighBits;
    }
    const unsigned char* l2_get_i(std::uint16_t handle) override {
        Calls.push_back({"get_i", handle, 0, ""});
        auto it = Links.find(handle);
        if (it == Links.end()) return nullptr;
        ScriptLink& l = it->second;
        if (l.NullFrames > 0) {
            --l.NullFrames;
            return nullptr;
        }
        if (l.Frames.empty()) return nullptr;
        l.Current = l.Frames.front();
        l.Frames.pop_front();
        return l.Current.data();
    }
    int l2_ialloc(std::uint16_t handle, int bytes) override {
        Calls.push_back({"ialloc", handle, bytes, ""});
        auto it = Links.find(handle);
        if (it == Links.end()) return 0;
        ScriptLink& l = it->second;
        if (!l.Grants.empty()) {
            const int g = l.Grants.front();
            l.Grants.pop_front();
            return g;
        }
        return l.DefaultGrant;
    }
    void l2_puts(std::uint16_t handle, const char* text) override {
        Calls.push_back({"puts", handle, 0, text});
    }
    void l2_bef(int command, std::uint16_t handle) override {
        Calls.push_back({"bef", handle, command, ""});
        auto it = Links.find(handle);
        if (it == Links.end()) return;
        if (command == kL2FrameDone) it->second.Current.clear();
        if (command == kL2Disconnect && DisconnectDrops) it->second.State = 0;
    }

    // Test helpers.
    void QueueText(std::uint16_t h, const std::string& text) { Links[h].Frames.push_back(MakeFrame(text)); }
    std::uint16_t AddIncoming(int state = kL2Connected) {
        const std::uint16_t h = NextHandle++;
        Links[h].State = state;
        Incoming.push_back(h);
        return h;
    }
    std::vector<int> BefCodes(std::uint16_t h) const {
        std::vector<int> out;
        for (const ScriptCall& c : Calls)
            if (c.Fn == "bef" && c.Handle == h) out.push_back(c.Arg);
        return out;
    }
    std::vector<std::string> Puts(std::uint16_t h) const {
        std::vector<std::string> out;
        for (const ScriptCall& c : Calls)
            if (c.Fn == "puts" && c.Handle == h) out.push_back(c.Text);
        return out;
    }
    int Count(const std::string& fn) const {
        int n = 0;
        for (const ScriptCall& c : Calls) n += c.Fn == fn;
        return n;
    }
    // The calls of one kind and handle, as "fn:arg" strings, for compact
    // comparisons of a whole exchange.
    std::vector<std::string> Trace(std::uint16_t h) const {
        std::vector<std::string> out;
        for (const ScriptCall& c : Calls) {
            if (c.Handle != h) continue;
            if (c.Fn == "bef" || c.Fn == "ialloc")
                out.push_back(c.Fn + ":" + std::to_string(c.Arg));
            else if (c.Fn == "puts")
                out.push_back("puts:" + c.Text);
            else
                out.push_back(c.Fn);
        }
        return out;
    }

    int Active = 1;
    int ConnectState = 2;         // state of a new outgoing link
    int DisconnectDrops = 0;      // l2_bef(4) puts the link to state 0 at once
    int StatHighBits = 0;         // extra bits above the low byte's meaning
    std::uint16_t NextHandle = 1;
    std::map<std::uint16_t, ScriptLink> Links;
    std::deque<std::uint16_t> Incoming;
    std::vector<ScriptCall> Calls;
};
