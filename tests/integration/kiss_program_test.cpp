// The program on the air through its own layer 2 on Direwolf TNC A's KISS
// port, against TNC B's own layer 2: the report recorded byte for byte,
// then the failure; a caller that tries version 2.2 first answered. Over
// TCP with about one transmission in seven spoiled on the audio path, and
// over the pseudo-terminal as a serial device with none.
#include <gtest/gtest.h>

#include <algorithm>

#include "integration/on_air_run.h"

namespace {

class KissProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DirewolfPair::Installed())
            GTEST_SKIP() << "direwolf is not installed; install it to run the on-air test";
    }
    DirewolfSetup setup;
    DirewolfPair pair;
};

TEST_F(KissProgram, RecordsTheReportThenTheFailureAndAnswersACallerWithFramesLost) {
    setup.DumpFrames = 1;
    setup.SpoilOneIn = 7;
    ASSERT_TRUE(pair.Start(HOPWATCH_AUDIO_FORWARD, setup)) << pair.Logs();
    // A minute every 6 s: the reading limit (18 s) leaves room for retries.
    ExpectRecordsAndAnswer(pair, "kiss://127.0.0.1:" + std::to_string(pair.A.KissPort), 10);
    const std::string spoiled = pair.A.Transmissions() + pair.B.Transmissions();
    EXPECT_NE(std::string::npos, spoiled.find(" 1\n")) << spoiled;
    // The caller tried version 2.2 first and fell back to 2.0 on our answer.
    std::vector<std::string> caller;
    for (const SentFrame& f : FramesSent(pair.B.Log())) {
        if (f.Text.rfind("Q3CAL>Q1MON", 0) == 0) caller.push_back(f.Text);
    }
    ASSERT_FALSE(caller.empty()) << pair.B.Log();
    EXPECT_NE(std::string::npos, caller.front().find("SABME")) << caller.front();
    EXPECT_NE(caller.end(),
              std::find_if(caller.begin(), caller.end(),
                           [](const std::string& f) { return f.find("(SABM ") != std::string::npos; }))
        << pair.Logs();
}

TEST_F(KissProgram, RecordsTheReportThenTheFailureAndAnswersACallerOverASerialLine) {
    setup.PtyA = 1;
    ASSERT_TRUE(pair.Start(HOPWATCH_AUDIO_FORWARD, setup)) << pair.Logs();
    ExpectRecordsAndAnswer(pair, "kiss:" + pair.PtyA, 20);
}

}  // namespace
