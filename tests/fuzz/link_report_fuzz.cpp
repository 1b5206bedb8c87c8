// Fuzzes the link report parser with arbitrary reply slots (each 100 bytes
// of input is one slot, rows 1..18) and checks that whatever the parser
// makes of them the writer turns into a record the reader accepts whole.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "acquisition/link_report.h"
#include "history/history_format.h"
#include "history/history_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ChannelRecord* channel = new ChannelRecord;
    ChannelRecord& c = *channel;
    std::memset(&c, 0, sizeof c);
    int rows = 0;
    while (rows < kMaxStoredLinks && size > 0) {
        const std::size_t n = size < kReplySlotSize ? size : kReplySlotSize;
        std::memcpy(c.ReplyLines[rows + 1], data, n);  // no terminator added
        data += n;
        size -= n;
        ++rows;
    }
    c.ReplyLineCount = rows + 2;
    ParseLinkRows(c, c.ReplyLineCount);
    for (int column = 0; column < kLinkColumns; ++column) {
        for (int row = 0; row < c.ReplyLineCount; ++row) {
            if (memchr(c.LinkTable[column][row], 0, kCellSize) == nullptr) std::abort();
        }
    }
    c.LastConDay = 6;
    c.LastConMonth = 12;
    c.LastConYear = 26;
    c.LastHour = 14;
    c.LastMin = 30;

    char file[2 * kHistoryChunkMax];
    const int header = FormatHistoryHeader(c, file, kHistoryChunkMax);
    const int record = FormatHistoryRecord(c, 0, file + header, kHistoryChunkMax);
    if (header == 0 || record == 0) std::abort();
    HistoryReader reader;
    StartHistoryReader(reader, file, static_cast<std::size_t>(header + record));
    if (CountHistoryRecords(reader) != 1 || reader.Fault != HistoryFault::None) std::abort();

    ClearLinkRow(c);
    return 0;
}
