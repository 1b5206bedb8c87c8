// Any bytes as a channel's existing history file, on disk: the start-up
// scan leaves them alone, and the next recorded connect either appends a
// whole record behind them, replaces a file without records, or moves them
// away unchanged and starts a new file that reads to its end.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "history_support.h"

using namespace history_test;

namespace {
struct Fixture {
    AppState State;
    FakePort Port;
    ScratchDir Dir;
    Fixture() {
        InitAppState(State);
        if (Dir.Path.empty() || !ReserveHistoryMemory(State)) std::abort();
        std::snprintf(State.DataDir, sizeof State.DataDir, "%s", Dir.Path.c_str());
        std::snprintf(State.ChannelTable[0].CallPath, kCallPathSize, "QX0TST-2 QX0VIA");
        State.ChannelTable[0].RufAktiv = 1;
    }
};
long long Records(const std::string& bytes, HistoryFault* fault) {
    HistoryReader reader;
    StartHistoryReader(reader, bytes.data(), bytes.size());
    const long long n = CountHistoryRecords(reader);
    *fault = reader.Fault;
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture f;
    const std::string old(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"QX0TST2.hpw", "QX0TST2.hp0", "QX0TST2.hp1", "QX0TST2.hpw.new"})
        unlink(f.Dir.File(name).c_str());
    WriteAll(f.Dir.File(kFile), old);
    ChannelRecord& c = f.State.ChannelTable[0];
    ResetHistory(f.State, 0);
    if (ScanHistoryFile(f.State, f.Port, 0) != 1 || ReadAll(f.Dir.File(kFile)) != old) std::abort();

    SetReport(c, ExampleLinks());
    c.LastConDay = 6, c.LastConMonth = 12, c.LastConYear = 26, c.LastHour = 14, c.LastMin = 30;
    if (RecordConnect(f.State, f.Port, 0, 0) != 1) std::abort();
    f.Port.Boxes.clear();

    HistoryFault oldFault, newFault;
    const long long before = Records(old, &oldFault);
    const std::string now = ReadAll(f.Dir.File(kFile));
    const long long after = Records(now, &newFault);
    if (FileExists(f.Dir.File("QX0TST2.hp0"))) {
        if (ReadAll(f.Dir.File("QX0TST2.hp0")) != old || newFault != HistoryFault::None || after != 1)
            std::abort();
    } else if (now.compare(0, old.size(), old) == 0 && now.size() > old.size()) {
        // The writer reads back only the last line: damage before it, which
        // the scan has reported, may hide the new record but loses none.
        if (oldFault == HistoryFault::None ? newFault != HistoryFault::None || after != before + 1
                                           : after < before)
            std::abort();
    } else if (before != 0 || newFault != HistoryFault::None || after != 1) {
        std::abort();  // only a file without records may be replaced
    }
    return 0;
}
