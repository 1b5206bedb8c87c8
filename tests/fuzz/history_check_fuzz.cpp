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
struct Run final : HistoryTest {
    Run() { SetUp(); }
    void TestBody() override {}
};
long long Records(const std::string& bytes, HistoryFault& fault) {
    HistoryReader reader;
    StartHistoryReader(reader, bytes.data(), bytes.size());
    const long long n = CountHistoryRecords(reader);
    fault = reader.Fault;
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Run t;
    const std::string old(reinterpret_cast<const char*>(data), size);
    for (const char* name : {kFile, "QX0TST2.hp0", "QX0TST2.hp1", "QX0TST2.hpw.new"})
        unlink(t.File(name).c_str());
    t.Write(old);
    ResetHistory(t.State, 0);
    if (ScanHistoryFile(t.State, t.Port, 0) != 1 || t.Read() != old) std::abort();
    SetReport(t.Channel, ExampleLinks());
    if (t.Connect(14, 30) != 1) std::abort();
    t.Port.Boxes.clear();

    HistoryFault oldFault, newFault;
    const std::string now = t.Read();
    const long long before = Records(old, oldFault), after = Records(now, newFault);
    if (t.Exists("QX0TST2.hp0")) {
        if (t.Read("QX0TST2.hp0") != old || newFault != HistoryFault::None || after != 1) std::abort();
    } else if (!old.empty() && now.compare(0, old.size(), old) == 0 && now.size() > old.size()) {
        if (oldFault != HistoryFault::None || newFault != HistoryFault::None || after != before + 1)
            std::abort();
    } else if (before != 0 || newFault != HistoryFault::None || after != 1) {
        std::abort();  // only a file without records may be replaced
    }
    return 0;
}
