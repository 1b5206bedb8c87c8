// Any bytes as a channel's history file. The reader, three times over: on
// the bytes in memory (the scan's counting, and the loader's reading with
// numbers converted on the way, which must agree with ScanDecimal), from the
// file in pieces of a few bytes (so that its window moves on inside every
// kind of token), and through the Load File sequence into a reserved series.
// All must agree on the records and on where reading stopped, and nothing
// may land outside the tables. Then the writer: the start-up scan leaves the
// file alone, and the next recorded connect either appends a whole record
// behind it, replaces a file without records, or moves it away unchanged
// and starts a new file that reads to its end. Last, the same bytes as a
// reply (100 to a slot, rows 1..18, no terminator added): whatever the link
// report parser makes of them stays inside its cells, and the connect
// stores a file that reads whole.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text_scan.h"
#include "history_support.h"

using namespace history_test;

namespace {
struct Run final : HistoryTest {
    Run() {
        SetUp();
        std::snprintf(State.ChannelTable[1].CallPath, kCallPathSize, "QX0TST-3");
    }
    void TestBody() override {}
};
// The records of `bytes` when they read whole, else -1.
long long WholeRecords(const std::string& bytes) {
    HistoryReader reader;
    StartHistoryReader(reader, bytes.data(), bytes.size());
    const long long n = CountHistoryRecords(reader);
    return reader.Fault == HistoryFault::None ? n : -1;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Run t;
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string old(bytes, size);

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
                    const HistoryToken& token = record.Groups[r][k];
                    if (token.Length < 1 || token.Length > kMaxTokenLength ||
                        record.Values[r][k] !=
                            ScanDecimal(token.Text, static_cast<std::size_t>(token.Length)))
                        std::abort();
                }
            }
        }
    }
    if (values.Records != counted || values.Fault != counting.Fault ||
        values.FaultOffset != counting.FaultOffset)
        std::abort();

    for (const char* name : {kFile, "QX0TST2.hp0", "QX0TST2.hp1", "QX0TST2.hpw.new"})
        unlink(t.File(name).c_str());
    t.Write(old);
    HistorySource source;
    if (OpenHistorySource(t.File().c_str(), source) != HistoryOpen::Read) std::abort();
    source.Step = 1 + (size > 0 ? data[size - 1] % 13 : 0);
    HistoryReader pieces;
    StartHistoryReader(pieces, source);
    if (CountHistoryRecords(pieces) != counted || pieces.Fault != counting.Fault ||
        pieces.FaultOffset != counting.FaultOffset)
        std::abort();

    t.Port.Boxes.clear();
    LoadFileSequence(t.State, t.Port, 0);
    const ChannelRecord& c = t.Channel;
    if (c.RecordCount != (counted < kHistoryCapacity ? counted : kHistoryCapacity)) std::abort();
    if (c.ReplyLineCount > kLinkRows) std::abort();
    if (c.RecordCount > 0 && !IsRecordPresent(t.State, 0, c.RecordCount - 1)) std::abort();
    if ((counting.Fault == HistoryFault::None) != t.Port.Boxes.empty() && counted <= 1000) std::abort();

    ResetHistory(t.State, 0);
    if (ScanHistoryFile(t.State, t.Port, 0) != 1 || t.Read() != old) std::abort();
    SetReport(t.Channel, ExampleLinks());
    if (t.Connect(14, 30) != 1) std::abort();
    t.Port.Boxes.clear();
    const std::string now = t.Read();
    const long long after = WholeRecords(now);
    if (t.Exists("QX0TST2.hp0")) {
        if (t.Read("QX0TST2.hp0") != old || after != 1) std::abort();
    } else if (!old.empty() && now.compare(0, old.size(), old) == 0 && now.size() > old.size()) {
        if (counting.Fault != HistoryFault::None || after != counted + 1) std::abort();
    } else if (counted != 0 || after != 1) {
        std::abort();  // only a file without records may be replaced
    }

    ChannelRecord& reply = t.State.ChannelTable[1];
    ResetHistory(t.State, 1);
    std::memset(reply.ReplyLines, 0, sizeof reply.ReplyLines);
    std::memset(reply.LinkTable, 0, sizeof reply.LinkTable);
    int rows = 0;
    for (std::size_t at = 0; rows < kMaxStoredLinks && at < size; at += kReplySlotSize)
        std::memcpy(reply.ReplyLines[++rows], data + at, std::min<std::size_t>(size - at, kReplySlotSize));
    reply.ReplyLineCount = rows + 2;
    reply.LastConDay = 6, reply.LastConMonth = 12, reply.LastConYear = 26;
    ParseLinkRows(reply, reply.ReplyLineCount);
    for (int column = 0; column < kLinkColumns; ++column) {
        for (int row = 0; row < reply.ReplyLineCount; ++row)
            if (memchr(reply.LinkTable[column][row], 0, kCellSize) == nullptr) std::abort();
    }
    unlink(t.File("QX0TST3.hpw").c_str());
    int error = 0;
    if (RecordConnect(t.State, t.Port, 1, 0, &error) != 1 || WholeRecords(t.Read("QX0TST3.hpw")) != 1)
        std::abort();
    return 0;
}
