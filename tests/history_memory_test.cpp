// Resident memory follows the records stored, not the 24000 reserved per
// channel, and drops back when the series is discarded. Its own program:
// resident memory is measured for the whole process.
#include <unistd.h>

#include <cstdio>

#include "history_support.h"

namespace {

using namespace history_test;

long ResidentBytes() {
    long size = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    const int read = f ? std::fscanf(f, "%ld %ld", &size, &resident) : 0;
    if (f) std::fclose(f);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

using HistoryMemory = HistoryTest;

TEST_F(HistoryMemory, ResidentMemoryFollowsTheRecordsStored) {
    SetReport(Channel, ExampleLinks());
    const long start = ResidentBytes();
    ASSERT_GT(start, 0);
    constexpr int kRecords = 6000;
    for (int slot = 0; slot < kRecords; ++slot) AddHistoryRecord(State, 0, slot, 0);
    const long stored = ResidentBytes();
    // A record of the narrow layout: time, and 18 links of 16 bytes.
    const long expected = kRecords * 296L;
    EXPECT_GT(stored - start, expected * 8 / 10);
    EXPECT_LT(stored - start, expected * 3 / 2 + (1 << 20));
    EXPECT_LT(stored - start, static_cast<long>(kHistoryAreaBytes / 2));
    EXPECT_TRUE(IsRecordPresent(State, 0, kRecords - 1));

    ResetHistory(State, 0);
    EXPECT_GT(stored - ResidentBytes(), expected * 8 / 10);
    EXPECT_FALSE(IsRecordPresent(State, 0, 0));
    EXPECT_NE(State.HistoryArea[0].Base, nullptr);  // the range stays reserved
    // The area is usable again after the reset; fresh memory reads as zero.
    AddHistoryRecord(State, 0, 0, 0);
    EXPECT_EQ(Channel.RecordCount, 1);
    EXPECT_EQ(Sample(0, 5).Qty, 0);
}

}  // namespace
