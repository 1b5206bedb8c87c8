// Fuzzes the history reader twice over: on the bytes in memory (the scan),
// and through LoadHistory from a file into a reserved series. Checks that
// both agree on the record count and that nothing lands outside the tables.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/fake_port.h"
#include "history/history_file.h"
#include "history/history_series.h"

namespace {

char gCleanupDir[64];
char gCleanupPath[128];

void Cleanup() {
    std::remove(gCleanupPath);
    rmdir(gCleanupDir);
}

struct Fixture {
    AppState State;
    FakePort Port;
    char Dir[64] = "/tmp/hopwatch-fuzz-XXXXXX";
    char Path[128];

    Fixture() {
        InitAppState(State);
        if (mkdtemp(Dir) == nullptr || !ReserveHistoryMemory(State)) std::abort();
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", Dir);
        std::snprintf(State.ChannelTable[0].CallPath, kCallPathSize, "QX0TST-2");
        State.ChannelTable[0].RufAktiv = 1;
        std::snprintf(Path, sizeof Path, "%s/QX0TST2.hpw", Dir);
        std::snprintf(gCleanupDir, sizeof gCleanupDir, "%s", Dir);
        std::snprintf(gCleanupPath, sizeof gCleanupPath, "%s", Path);
        std::atexit(Cleanup);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture* fixture = new Fixture;
    Fixture& f = *fixture;

    HistoryReader reader;
    StartHistoryReader(reader, reinterpret_cast<const char*>(data), size);
    const long long counted = CountHistoryRecords(reader);
    if (reader.FaultOffset > size || reader.Pos < reader.Begin || reader.Pos > reader.End) std::abort();

    // The loader's reading (tokens converted on the way) must see the same
    // records and tokens as the scan's, with HistoryNumber's values.
    HistoryReader values;
    StartHistoryReader(values, reinterpret_cast<const char*>(data), size);
    HistoryHeader header;
    if (ReadHistoryHeader(values, header)) {
        static HistoryRecordText record;
        while (ReadHistoryRecordValues(values, header.LinkCount, record)) {
            for (int r = 0; r < header.LinkCount; ++r) {
                for (int k = 0; k < kGroupTokens; ++k) {
                    const HistoryToken& t = record.Groups[r][k];
                    if (t.Length < 1 || t.Length > kMaxTokenLength) std::abort();
                    if (record.Values[r][k] != HistoryNumber(t.Text, static_cast<std::size_t>(t.Length)))
                        std::abort();
                }
            }
        }
    }
    if (values.Records != counted || values.Fault != reader.Fault ||
        values.FaultOffset != reader.FaultOffset)
        std::abort();

    std::FILE* file = std::fopen(f.Path, "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    f.Port.Boxes.clear();
    LoadFileSequence(f.State, f.Port, 0);
    const ChannelRecord& c = f.State.ChannelTable[0];
    if (c.RecordCount < 0 || c.RecordCount > kHistoryCapacity) std::abort();
    if (c.RecordCount != (counted < kHistoryCapacity ? counted : kHistoryCapacity)) std::abort();
    if (c.ReplyLineCount > kLinkRows) std::abort();
    if (c.RecordCount > 0 && !IsRecordPresent(f.State, 0, c.RecordCount - 1)) std::abort();
    if ((reader.Fault == HistoryFault::None) != f.Port.Boxes.empty() && counted <= 1000) std::abort();
    return 0;
}
