// The program on the air through its own layer 2 on Direwolf TNC A's KISS
// port, against TNC B's own layer 2: the report recorded byte for byte,
// then the failure; a caller that tries version 2.2 first answered. Over
// TCP with about one transmission in seven spoiled on the audio path, and
// over the pseudo-terminal as a serial device with none.
#include <gtest/gtest.h>

#include <algorithm>

#include "integration/on_air_run.h"

namespace {

// What a TNC sent for the stations whose frames begin with `from`.
std::vector<std::string> SentBy(const std::string& log, const std::string& from) {
    std::vector<std::string> sent;
    for (const SentFrame& f : FramesSent(log)) {
        if (f.Text.rfind(from, 0) == 0) sent.push_back(f.Text);
    }
    return sent;
}

// Frames sent again: a poll after the acknowledgement timer ran out, a
// reject, or the same frame once more.
int Retries(const std::vector<std::string>& sent) {
    int retries = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const std::string& f = sent[i];
        const int poll = f.find(" cmd") != std::string::npos && f.find("p=1") != std::string::npos &&
                         f.find("SABM") == std::string::npos && f.find("DISC") == std::string::npos;
        retries += poll || f.find("REJ") != std::string::npos || (i > 0 && f == sent[i - 1]);
    }
    return retries;
}

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
    EXPECT_GT(Retries(SentBy(pair.A.Log(), "Q1MON>")) + Retries(SentBy(pair.B.Log(), "Q")), 0) << pair.Logs();
    // The caller tried version 2.2 first and fell back to 2.0 on our answer.
    const std::vector<std::string> caller = SentBy(pair.B.Log(), "Q3CAL>Q1MON");
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
