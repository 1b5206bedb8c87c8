// The answering service over a scripted stack: what a caller receives for
// each shape of answer text, and every way a connection ends.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "acquisition/answer_service.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "support/script_network.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kGreeting = "Hopwatch V 2.34 link data acquisition!\n";
const std::vector<int> kEnded = {kL2NewIncoming, kL2AfterSend, kL2Disconnect};

struct AnswerWorld {
    ScratchDir dir;
    AppState state;
    FakePort port;
    ScriptNetwork net;
    AnswerWorld(const char* text) {
        InitScriptState(state, dir.Path);
        port.Net = &net;
        if (text) WriteAll(dir.File("hopwansw.txt"), text);
    }
    ~AnswerWorld() { StopAnswerService(state); }
};

TEST(AnswerService, SendsEachShapeOfAnswerTextAndEndsTheConnection) {
    const std::string& g = kGreeting;
    const std::string l150(150, 'x'), l97(97, 'y'), l98(98, 'z');
    const std::string f150 = l150 + "\r\n", f97 = l97 + "\r\n", f98 = l98 + "\r\n";
    const struct {
        const char* name;
        const char* file;  // nullptr: there is no answer file
        std::deque<int> grants;
        Lines sent;
    } cases[] = {
        {"no file", nullptr, {}, {g}},
        {"empty file", "", {}, {g}},
        {"dialog-written lines", "first\r\nsecond\r\n", {}, {g, "first\n", "second\n"}},
        {"no final line end", "first\r\nlast", {}, {g, "first\n", "last"}},
        {"150 characters in pieces", f150.c_str(), {}, {g, l150.substr(0, 98), l150.substr(98) + "\n"}},
        {"97 characters and the line end fill one piece", f97.c_str(), {}, {g, l97 + "\n"}},
        {"98 characters leave the line end alone", f98.c_str(), {}, {g, l98, "\n"}},
        {"a lone CR stays", "a\rb\r\n", {}, {g, "a\rb\n"}},
        {"a bare LF line end", "a\nb\n", {}, {g, "a\n", "b\n"}},
        {"greeting refused", "hello\r\n", {0}, {}},
        {"line space refused for two ticks", "one\r\ntwo\r\n", {1, 1, 0, 0, 1}, {g, "one\n", "two\n"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        AnswerWorld w(k.file);
        const std::uint16_t h = w.net.AddIncoming();
        w.net.Links[h].Grants = k.grants;
        for (int tick = 0; tick < 3; ++tick) AnswerTick(w.state, w.port);
        EXPECT_EQ(w.net.Links[h].Sent, k.sent);
        EXPECT_EQ(w.net.Links[h].Commands, kEnded);
        EXPECT_EQ(w.state.Answer.AnswerActive, 0);
        EXPECT_EQ(w.state.Answer.AnswerFile, nullptr);
        // A caller holds the service while served; then every tick looks for the next.
        EXPECT_EQ(w.net.Calls.size(), k.grants.size() > 1 ? 1u : 3u);
    }
}

// States below 5 mean the caller has gone: nothing more is said to the
// stack; 6 and 7 are still up. Stopping the service closes the file without
// a word to the stack either.
TEST(AnswerService, CallerLeavingOrServiceStoppingMidText) {
    for (const int linkState : {4, 6, 7, -1}) {  // -1: the service stops
        SCOPED_TRACE(linkState);
        AnswerWorld w("one\r\ntwo\r\n");
        const std::uint16_t h = w.net.AddIncoming();
        w.net.Links[h].Grants = {1, 1, 0};
        AnswerTick(w.state, w.port);
        ASSERT_EQ(w.state.Answer.AnswerActive, 1);
        ASSERT_NE(w.state.Answer.AnswerFile, nullptr);
        w.net.Links[h].State = linkState;
        linkState < 0 ? StopAnswerService(w.state) : AnswerTick(w.state, w.port);
        if (linkState >= 5) {
            EXPECT_EQ(w.net.Links[h].Sent, (Lines{kGreeting, "one\n", "two\n"}));
            continue;
        }
        EXPECT_EQ(w.state.Answer.AnswerActive, 0);
        EXPECT_EQ(w.state.Answer.AnswerFile, nullptr);
        EXPECT_EQ(w.net.Links[h].Commands, std::vector<int>{kL2NewIncoming});
        EXPECT_EQ(w.net.Links[h].Sent, (Lines{kGreeting, "one\n"}));
    }
}

}  // namespace
