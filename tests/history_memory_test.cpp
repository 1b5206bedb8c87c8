// Resident memory follows the records stored, not the 24000 reserved per
// channel, and drops back when the series is discarded.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "history_support.h"

namespace {

using namespace history_test;

long ResidentBytes() {
    long size = 0;
    long resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    const int read = std::fscanf(f, "%ld %ld", &size, &resident);
    std::fclose(f);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

using HistoryMemory = HistoryTest;

TEST_F(HistoryMemory, ResidentMemoryFollowsTheRecordsStored) {
    const long reserved = static_cast<long>(kHistoryCapacity * sizeof(HistoryRecord));
    SetReport(Channel(), ExampleLinks());
    const long start = ResidentBytes();
    ASSERT_GT(start, 0);

    constexpr int kRecords = 6000;
    for (int slot = 0; slot < kRecords; ++slot) AddHistoryRecord(State, 0, slot);
    const long stored = ResidentBytes();
    const long expected = kRecords * static_cast<long>(sizeof(HistoryRecord));
    const long grown = stored - start;
    EXPECT_GT(grown, expected * 8 / 10) << "grew " << grown << " for " << expected;
    EXPECT_LT(grown, expected * 3 / 2 + (1 << 20)) << "grew " << grown << " for " << expected;
    EXPECT_LT(grown, reserved / 2);
    EXPECT_TRUE(IsRecordPresent(State, 0, kRecords - 1));

    ResetHistory(State, 0);
    const long after = ResidentBytes();
    EXPECT_GT(stored - after, expected * 8 / 10) << "dropped " << stored - after;
    EXPECT_FALSE(IsRecordPresent(State, 0, 0));
    EXPECT_EQ(HistorySlot(State, 0, 0) != nullptr, true);  // the range stays reserved

    // The area is usable again after the reset; fresh memory reads as zero.
    AddHistoryRecord(State, 0, 0);
    EXPECT_EQ(Channel().RecordCount, 1);
    EXPECT_EQ(HistorySlot(State, 0, 0)->Links[5].Qty, 0);
}

TEST_F(HistoryMemory, ResetAlsoGivesBackThePointBuffers) {
    ReservedArea& points = State.CurvePoints[3];
    ASSERT_EQ(CommitArea(points, kPointBufferBytes), 1);
    points.Base[kPointBufferBytes - 1] = 1;
    ResetHistory(State, 2);
    EXPECT_FALSE(IsCommitted(points, 0));
    ASSERT_EQ(CommitArea(points, kPointBufferBytes), 1);
    EXPECT_EQ(points.Base[kPointBufferBytes - 1], 0);
}

}  // namespace
