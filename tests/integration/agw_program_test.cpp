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
    ExpectRecordsAndAnswer(pair, "agw://127.0.0.1:" + std::to_string(pair.A.AgwPort), 30);
}

}  // namespace
