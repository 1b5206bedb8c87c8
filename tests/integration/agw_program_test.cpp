// The program on the air through Direwolf's own layer 2 (AGW on TNC A):
// the report recorded byte for byte, then the failure; a caller answered.
#include <gtest/gtest.h>

#include "integration/on_air_run.h"

namespace {

TEST(AgwProgram, RecordsTheReportThenTheFailureAndAnswersACallerOnAir) {
    if (!DirewolfPair::Installed())
        GTEST_SKIP() << "direwolf is not installed; install it to run the on-air test";
    DirewolfPair pair;
    ASSERT_TRUE(pair.Start(HOPWATCH_AUDIO_FORWARD)) << pair.Logs();
    // A minute every 3 s: the reading limit (9 s) leaves room for the XID
    // exchange Direwolf's layer 2 makes before the report comes, even on a
    // busy machine (at 6 s the report came within a second of it).
    ExpectRecordsAndAnswer(pair, "agw://127.0.0.1:" + std::to_string(pair.A.AgwPort), 20);
}

}  // namespace
