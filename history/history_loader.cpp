// The loader: one pass over a history file into the channel's series and
// its link table.
#include "history/history_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/link_column.h"
#include "core/platform_port.h"
#include "core/program_names.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_rotation.h"
#include "history/history_series.h"

namespace {

constexpr const char* kMissingFileText =
    "A data file for the DESTINATION CALL of\nthis channel does not exist! Please start connect.";
constexpr int kNoticeSize = kHistoryPathSize + 512;
constexpr const char* kNotRegularText = "The history file %s cannot be read: %s.";

// A token into a 16-byte cell (tokens are at most 15 characters: the reader
// guarantees it).
void TokenToCell(const HistoryToken& token, char* cell) {
    const int n = token.Length < kMaxTokenLength ? token.Length : kMaxTokenLength;
    std::memcpy(cell, token.Text, static_cast<std::size_t>(n));
    cell[n] = '\0';
}

// A record's time and numbers as the series stores them.
RecordStamp StampOf(const HistoryRecordText& text) {
    return RecordStamp{text.Hour, text.Minute, text.Day, text.Month, text.Year};
}

void SamplesOf(const HistoryRecordText& text, int linkCount, LinkSample* samples) {
    for (int r = 0; r < linkCount; ++r) {
        const std::int32_t* v = text.Values[r];
        samples[r] = LinkSample{v[kTokenQty],   v[kTokenTkby],  v[kTokenRkby],
                                v[kTokenTxTim], v[kTokenRxTim], v[kTokenLinkState]};
    }
}

// After a load the link table and the last-connect fields hold the file's
// last complete record, with the placeholder in the time column.
void TakeLastRecord(ChannelRecord& c, const HistoryRecordText& text, int linkCount) {
    c.LastConDay = text.Day;
    c.LastConMonth = text.Month;
    c.LastConYear = text.Year;
    c.LastHour = text.Hour;
    c.LastMin = text.Minute;
    for (int r = 1; r <= linkCount; ++r) {
        const HistoryToken* g = text.Groups[r - 1];
        TokenToCell(g[kTokenPort], c.LinkTable[kColPort][r]);
        TokenToCell(g[kTokenTkby], c.LinkTable[kColTkby][r]);
        TokenToCell(g[kTokenRkby], c.LinkTable[kColRkby][r]);
        TokenToCell(g[kTokenQty], c.LinkTable[kColQty][r]);
        std::snprintf(c.LinkTable[kColTime][r], kCellSize, "%s", kLinkTablePlaceholderTime);
    }
}

// What the loader keeps of the last complete record while the reader's
// window moves on: its link table cells, taken just before the move.
struct LastRecord {
    ChannelRecord* Channel;
    const HistoryRecordText* Texts;
    int Links;
    long long Total;  // complete records read so far
    long long Taken;  // the record whose cells are in the link table
};

void TakeBeforeMove(void* context) {
    LastRecord& last = *static_cast<LastRecord*>(context);
    if (last.Total > 0 && last.Taken != last.Total - 1) {
        TakeLastRecord(*last.Channel, last.Texts[(last.Total - 1) & 1], last.Links);
        last.Taken = last.Total - 1;
    }
}

void TellFault(PlatformPort& port, const char* path, const HistoryReader& reader) {
    char notice[kNoticeSize];
    FormatHistoryFaultNotice(path, reader, notice, sizeof notice);
    port.tell(notice, kHistoryCaption, BoxIcon::Warning);
}

// The header's link names into the link table, and the reply line counts
// that make them the table's links.
void TakeHeader(ChannelRecord& c, const HistoryHeader& header) {
    const int links = header.LinkCount;
    c.ReplyLineCount = links + 2;
    c.RestoreLineCount = links + 2;
    for (int r = 1; r <= links; ++r) {
        TokenToCell(header.Names[r - 1], c.LinkTable[kColName][r]);
        TokenToCell(header.Idents[r - 1], c.LinkTable[kColIdent][r]);
    }
}

// One pass over the records into the channel's series (when its area is
// reserved) and the last complete one into the link table. Records go into
// the area as a ring, so a file of more than 24000 records keeps its newest
// 24000; the ring is turned into oldest-first order at the end. Two text
// buffers alternate so that the last complete record survives a fault in
// the one after it. Returns the number of complete records read.
long long ReadRecords(AppState& state, int channel, HistoryReader& reader, int links) {
    ChannelRecord& c = state.ChannelTable[channel];
    HistoryRecordText text[2];
    long long total = 0;
    LastRecord last{&c, text, links, 0, -1};
    reader.BeforeMove = TakeBeforeMove;
    reader.MoveContext = &last;
    const bool reserved = state.HistoryArea[channel].Base != nullptr;
    LinkSample samples[kSeriesLinks];
    while (ReadHistoryRecordValues(reader, links, text[total & 1])) {
        if (reserved) {
            const int slot = static_cast<int>(total % kHistoryCapacity);
            SamplesOf(text[total & 1], links, samples);
            StoreHistoryRecord(state, channel, slot, StampOf(text[total & 1]), samples, links);
        }
        last.Total = ++total;
    }
    reader.BeforeMove = nullptr;  // `last` ends here; the reader reads no more
    reader.MoveContext = nullptr;
    if (reserved && total > 0) {
        SetSeriesLinks(state, channel, links, &c.LinkTable[kColName][1], &c.LinkTable[kColIdent][1]);
    }
    if (reserved && total > kHistoryCapacity) {
        TurnHistoryRing(state, channel, static_cast<int>(total % kHistoryCapacity));
    }
    const long long stored = reserved ? std::min<long long>(total, kHistoryCapacity) : 0;
    c.RecordCount = static_cast<int>(stored);
    c.ScrollStep = ScrollStepFor(c.RecordCount);
    if (total > 0 && last.Taken != total - 1) {
        TakeLastRecord(c, text[(total - 1) & 1], links);
    }
    return total;
}

}  // namespace

int LoadHistory(AppState& state, PlatformPort& port, int channel) {
    ChannelRecord& c = state.ChannelTable[channel];
    char path[kHistoryPathSize];
    HistorySource source;
    HistoryOpen opened = HistoryOpen::Missing;
    if (HistoryFileName(state, channel, path, sizeof path)) {
        opened = OpenHistorySource(path, source);
    }
    if (opened == HistoryOpen::Missing) {
        port.tell(kMissingFileText, kMainCaption, BoxIcon::Warning);
        return 0;
    }
    if (opened == HistoryOpen::NotRegular) {
        char notice[kNoticeSize];
        std::snprintf(notice, sizeof notice, kNotRegularText, path, HistoryErrorText(source.Error));
        ResetHistory(state, channel);
        port.tell(notice, kHistoryCaption, BoxIcon::Warning);
        return 1;
    }

    HistoryReader reader;
    StartHistoryReader(reader, source);
    HistoryHeader header;
    if (opened == HistoryOpen::Unreadable) {
        reader.Fault = HistoryFault::Unreadable;
    }
    if (reader.Fault != HistoryFault::None || !ReadHistoryHeader(reader, header)) {
        // Without a link count nothing of the file can be placed: the
        // series is empty, as for a file without records.
        ResetHistory(state, channel);
        TellFault(port, path, reader);
        return 1;
    }

    TakeHeader(c, header);
    const long long total = ReadRecords(state, channel, reader, header.LinkCount);
    // Set here, before any box: a connect stored while a box is open must
    // land behind the loaded records, not on top of them.
    state.NextRecordIndex[channel] = c.RecordCount;
    // Read to its end without a fault: the writer need not read it again
    // before its first append.
    state.FileCheckedWhole[channel] = reader.Fault == HistoryFault::None;

    if (reader.Fault != HistoryFault::None) {
        TellFault(port, path, reader);
    }
    const int count = static_cast<int>(std::min<long long>(total, 0x7fffffff));
    if (OfferFileRotation(state, port, path, count, channel)) {
        ResetHistory(state, channel);
    }
    return 1;
}

void LoadFileSequence(AppState& state, PlatformPort& port, int channel) {
    ChannelRecord& c = state.ChannelTable[channel];
    if (c.RufAktiv) {
        c.ScrollOffset = 0;
        LoadHistory(state, port, channel);
        state.NextRecordIndex[channel] = c.RecordCount;
        if (c.MarkerOffset > c.RecordCount - 1 || c.MarkerOffset < 0) {
            c.MarkerOffset = 0;
        }
    } else {
        ResetHistory(state, channel);
    }
    port.repaint(true);
}
