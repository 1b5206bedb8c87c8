// The answering service over a scripted stack: what a caller receives for
// each shape of answer text, and every way a connection ends.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "acquisition/answer_service.h"
#include "support/fake_port.h"
#include "support/script_network.h"

namespace {

const std::string kGreeting = "Hopwatch V 2.34 link data acquisition!\n";

struct AnswerFixture : ::testing::Test {
    void SetUp() override {
        dir = InitScratchState(state);
        ASSERT_FALSE(dir.empty());
        port.Net = &net;
    }
    void TearDown() override {
        StopAnswerService(state);
        std::filesystem::remove_all(dir);
    }
    void WriteAnswer(const std::string& bytes) { std::ofstream(dir + "/hopwansw.txt", std::ios::binary) << bytes; }
    AppState state;
    FakePort port;
    ScriptNetwork net;
    std::string dir;
};

struct TextCase {
    const char* name;
    const char* file;                // nullptr: there is no answer file
    std::vector<std::string> lines;  // sent after the greeting
};

TEST_F(AnswerFixture, SendsEachShapeOfAnswerTextAndEndsTheConnection) {
    const std::string l150(150, 'x');
    const std::string l97(97, 'y');
    const std::string l98(98, 'z');
    const std::string f150 = l150 + "\r\n", f97 = l97 + "\r\n", f98 = l98 + "\r\n";
    const std::vector<TextCase> cases = {
        {"no file", nullptr, {}},
        {"empty file", "", {}},
        {"dialog-written lines", "first\r\nsecond\r\n", {"first\n", "second\n"}},
        {"no final line end", "first\r\nlast", {"first\n", "last"}},
        {"150 characters in pieces", f150.c_str(), {l150.substr(0, 98), l150.substr(98) + "\n"}},
        {"97 characters and the line end fill one piece", f97.c_str(), {l97 + "\n"}},
        {"98 characters leave the line end alone", f98.c_str(), {l98, "\n"}},
        {"a lone CR stays", "a\rb\r\n", {"a\rb\n"}},
        {"a bare LF line end", "a\nb\n", {"a\n", "b\n"}},
        {"CR at the end of the file", "a\r", {"a\r"}},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        net = ScriptNetwork();
        std::filesystem::remove(dir + "/hopwansw.txt");
        if (c.file != nullptr) WriteAnswer(c.file);
        const std::uint16_t h = net.AddIncoming();
        AnswerTick(state, port);
        std::vector<std::string> expectedPuts = {kGreeting};
        expectedPuts.insert(expectedPuts.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(net.Puts(h), expectedPuts);
        EXPECT_EQ(net.BefCodes(h), (std::vector<int>{2, 7, 4}));
        EXPECT_EQ(state.Answer.AnswerActive, 0);
        EXPECT_EQ(state.Answer.AnswerFile, nullptr);
    }
}

TEST_F(AnswerFixture, ExchangeOrderForOneCaller) {
    WriteAnswer("hello\r\n");
    const std::uint16_t h = net.AddIncoming();
    AnswerTick(state, port);
    EXPECT_EQ(net.Trace(h), (std::vector<std::string>{
                                "sabm", "bef:2", "ialloc:256", "puts:" + kGreeting, "stat", "ialloc:100",
                                "puts:hello\n", "ialloc:100", "bef:7", "bef:4"}));
}

TEST_F(AnswerFixture, RefusedGreetingEndsTheConnection) {
    WriteAnswer("hello\r\n");
    const std::uint16_t h = net.AddIncoming();
    net.Links[h].Grants = {0};
    AnswerTick(state, port);
    EXPECT_TRUE(net.Puts(h).empty());
    EXPECT_EQ(net.BefCodes(h), (std::vector<int>{2, 7, 4}));
    EXPECT_EQ(state.Answer.AnswerActive, 0);
    // The next tick looks for the next caller again.
    const int sabmBefore = net.Count("sabm");
    AnswerTick(state, port);
    EXPECT_EQ(net.Count("sabm"), sabmBefore + 1);
}

TEST_F(AnswerFixture, RefusedLineSpacePausesUntilGranted) {
    WriteAnswer("one\r\ntwo\r\n");
    const std::uint16_t h = net.AddIncoming();
    net.Links[h].Grants = {1, 1, 0, 0, 1};  // greeting, "one", refused twice, "two"
    AnswerTick(state, port);
    EXPECT_EQ(net.Puts(h), (std::vector<std::string>{kGreeting, "one\n"}));
    AnswerTick(state, port);
    EXPECT_EQ(net.Puts(h).size(), 2u);
    EXPECT_EQ(state.Answer.AnswerActive, 1);
    AnswerTick(state, port);
    EXPECT_EQ(net.Puts(h), (std::vector<std::string>{kGreeting, "one\n", "two\n"}));
    EXPECT_EQ(net.BefCodes(h), (std::vector<int>{2, 7, 4}));
    EXPECT_EQ(net.Count("sabm"), 1);  // nobody else is taken while one is served
}

// States below 5 mean the caller has gone; 6 and 7 are still up.
TEST_F(AnswerFixture, CallerLeavingMidTextClosesQuietly) {
    WriteAnswer("one\r\ntwo\r\n");
    for (const int linkState : {4, 6, 7}) {
        SCOPED_TRACE(linkState);
        net = ScriptNetwork();
        const std::uint16_t h = net.AddIncoming();
        net.Links[h].Grants = {1, 1, 0};
        AnswerTick(state, port);
        ASSERT_EQ(state.Answer.AnswerActive, 1);
        ASSERT_NE(state.Answer.AnswerFile, nullptr);
        net.Links[h].State = linkState;
        AnswerTick(state, port);
        if (linkState >= 5) {
            EXPECT_EQ(net.Puts(h), (std::vector<std::string>{kGreeting, "one\n", "two\n"}));
            continue;
        }
        EXPECT_EQ(state.Answer.AnswerActive, 0);
        EXPECT_EQ(state.Answer.AnswerFile, nullptr);
        EXPECT_EQ(net.BefCodes(h), std::vector<int>{2});  // no command for a gone caller
        EXPECT_EQ(net.Puts(h), (std::vector<std::string>{kGreeting, "one\n"}));
    }
}

TEST_F(AnswerFixture, EmptyMycallStillAsksForRequests) {
    state.Mycall[0] = '\0';
    AnswerTick(state, port);
    ASSERT_EQ(net.Count("sabm"), 1);
    EXPECT_EQ(net.Calls[0].Text, "");
}

TEST_F(AnswerFixture, StopClosesTheOpenFile) {
    WriteAnswer("one\r\ntwo\r\n");
    const std::uint16_t h = net.AddIncoming();
    net.Links[h].Grants = {1, 0};
    AnswerTick(state, port);
    ASSERT_NE(state.Answer.AnswerFile, nullptr);
    StopAnswerService(state);
    EXPECT_EQ(state.Answer.AnswerFile, nullptr);
    EXPECT_EQ(state.Answer.AnswerActive, 0);
    EXPECT_EQ(net.BefCodes(h), std::vector<int>{2});  // nothing said to the stack at exit
}

TEST(AnswerFilePath, DataDirOrWorkingDirectory) {
    AppState state;
    InitAppState(state);
    char path[64];
    AnswerFilePath(state, path, sizeof path);
    EXPECT_STREQ(path, "hopwansw.txt");
    std::strcpy(state.DataDir, "/srv/hop");
    AnswerFilePath(state, path, sizeof path);
    EXPECT_STREQ(path, "/srv/hop/hopwansw.txt");
}

}  // namespace
