// Fuzzes the history reader three times over: on the bytes in memory (the
// scan's counting, and the loader's reading with numbers converted on the
// way, which must agree with ScanDecimal), from the file in pieces of a few
// bytes (so that its window moves on inside every kind of token), and
// through the Load File sequence from a file into a reserved series. All
// must agree on the records and on where reading stopped, and nothing may
// land outside the tables.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/text_scan.h"
#include "history/history_loader.h"
#include "history/history_reader.h"
#include "history/history_series.h"
#include "support/fake_port.h"
#include "support/scratch.h"

// The state of every run: a reserved series whose data directory is a
// scratch folder, removed at exit.
struct Fixture {
    AppState State;
    FakePort Port;
    ScratchDir Dir;

    Fixture() {
        InitAppState(State);
        if (Dir.Path.empty() || !ReserveHistoryMemory(State)) std::abort();
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", Dir.Path.c_str());
        std::snprintf(State.ChannelTable[0].CallPath, kCallPathSize, "QX0TST-2");
        State.ChannelTable[0].RufAktiv = 1;
    }
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture f;
    const char* bytes = reinterpret_cast<const char*>(data);

    HistoryReader counting, values;
    StartHistoryReader(counting, bytes, size);
    const long long counted = CountHistoryRecords(counting);
    if (counting.FaultOffset > size || counting.Pos < counting.Begin || counting.Pos > counting.End)
        std::abort();
    StartHistoryReader(values, bytes, size);
    HistoryHeader header;
    static HistoryRecordText record;
    if (ReadHistoryHeader(values, header)) {
        while (ReadHistoryRecordValues(values, header.LinkCount, record)) {
            for (int r = 0; r < header.LinkCount; ++r) {
                for (int k = 0; k < kGroupTokens; ++k) {
                    const HistoryToken& t = record.Groups[r][k];
                    if (t.Length < 1 || t.Length > kMaxTokenLength ||
                        record.Values[r][k] != ScanDecimal(t.Text, static_cast<std::size_t>(t.Length)))
                        std::abort();
                }
            }
        }
    }
    if (values.Records != counted || values.Fault != counting.Fault ||
        values.FaultOffset != counting.FaultOffset)
        std::abort();

    const std::string path = f.Dir.File("QX0TST2.hpw");
    WriteAll(path, std::string(bytes, size));
    HistorySource source;
    if (OpenHistorySource(path.c_str(), source) != HistoryOpen::Read) std::abort();
    source.Step = 1 + (size > 0 ? data[size - 1] % 13 : 0);
    HistoryReader pieces;
    StartHistoryReader(pieces, source);
    if (CountHistoryRecords(pieces) != counted || pieces.Fault != counting.Fault ||
        pieces.FaultOffset != counting.FaultOffset)
        std::abort();

    f.Port.Boxes.clear();
    LoadFileSequence(f.State, f.Port, 0);
    const ChannelRecord& c = f.State.ChannelTable[0];
    if (c.RecordCount != (counted < kHistoryCapacity ? counted : kHistoryCapacity)) std::abort();
    if (c.ReplyLineCount > kLinkRows) std::abort();
    if (c.RecordCount > 0 && !IsRecordPresent(f.State, 0, c.RecordCount - 1)) std::abort();
    if ((counting.Fault == HistoryFault::None) != f.Port.Boxes.empty() && counted <= 1000) std::abort();
    return 0;
}
