// The in-memory series: storing a connect, reading records back, discarding
// a series.
//
// Each channel's area starts with the series header, the names of its links
// and the layout of its records, followed by the records at slot index ×
// record size. Memory is committed up to the highest slot written and given
// back by ResetHistory; a fresh area reads as zeros, which is an empty header
// and the narrow layout.
//
// Records come in one of two layouts, the same for a whole series:
//
//   narrow (296 bytes): hour, minute, day, month, year as one byte each and
//     3 bytes of padding; then 18 samples of 16 bytes: TKBY and RKBY as
//     32-bit integers, QTY, TxTIM and RxTIM as 16-bit unsigned integers, the
//     link state as one byte, one byte of padding;
//   wide (452 bytes): the five time fields and 18 samples of the six numbers,
//     every one a 32-bit integer.
//
// A series starts narrow, which holds every value a digipeater or a history
// file normally brings. The first value that does not fit (a negative number,
// a time over 65535 or a state over 255) turns the whole series wide in
// place, so that every number reads back exactly as it was stored.
#include "history/history_series.h"

#include <algorithm>
#include <cstring>

#include "core/link_column.h"
#include "core/text_scan.h"
#include "history/history_format.h"

namespace {

struct SeriesHeader {
    std::int32_t Wide;  // 0: narrow records, 1: wide records
    std::int32_t Spare;
    char Names[kSeriesLinks][kCellSize];
    char Idents[kSeriesLinks][kCellSize];
};

struct NarrowSample {
    std::int32_t Tkby;
    std::int32_t Rkby;
    std::uint16_t Qty;
    std::uint16_t TxTim;
    std::uint16_t RxTim;
    std::uint8_t LinkState;
    std::uint8_t Spare;
};

struct NarrowRecord {
    std::uint8_t Hour, Minute, Day, Month, Year;
    std::uint8_t Spare[3];
    NarrowSample Links[kSeriesLinks];
};

struct WideRecord {
    RecordStamp Stamp;
    LinkSample Links[kSeriesLinks];
};

static_assert(kSeriesLinks == kMaxStoredLinks, "a record holds every link a file can name");
static_assert(sizeof(NarrowSample) == 16 && sizeof(NarrowRecord) == 296, "the narrow layout above");
static_assert(sizeof(WideRecord) == 452, "the wide layout above");

constexpr std::size_t kHeaderBytes = 1024;  // the header, rounded up
static_assert(sizeof(SeriesHeader) <= kHeaderBytes, "the header fits its room");

const LinkSample kNoSample{};
const char kNoName[1] = "";

std::size_t RecordBytes(int wide) {
    return wide ? sizeof(WideRecord) : sizeof(NarrowRecord);
}

// The header, or null while it is not committed (an empty series).
const SeriesHeader* Header(const ReservedArea& area) {
    if (!IsCommitted(area, kHeaderBytes - 1)) return nullptr;
    return reinterpret_cast<const SeriesHeader*>(area.Base);
}

SeriesHeader* Header(ReservedArea& area) {
    return const_cast<SeriesHeader*>(Header(static_cast<const ReservedArea&>(area)));
}

// Bytes from the area's start to the end of record `slot`.
std::size_t EndOf(int slot, int wide) {
    return kHeaderBytes + (static_cast<std::size_t>(slot) + 1) * RecordBytes(wide);
}

// The record in `slot` when its memory is committed, else null; `wide`
// tells its layout.
const unsigned char* RecordAt(const ReservedArea& area, int slot, int& wide) {
    const SeriesHeader* header = Header(area);
    if (header == nullptr || slot < 0 || slot >= kHistoryCapacity) return nullptr;
    wide = header->Wide;
    if (!IsCommitted(area, EndOf(slot, wide) - 1)) return nullptr;
    return area.Base + kHeaderBytes + static_cast<std::size_t>(slot) * RecordBytes(wide);
}

LinkSample Unpack(const NarrowSample& n) {
    return LinkSample{n.Qty, n.Tkby, n.Rkby, n.TxTim, n.RxTim, n.LinkState};
}

bool FitsNarrow(std::int32_t value, std::int32_t most) {
    return value >= 0 && value <= most;
}

bool FitsNarrow(const RecordStamp& s) {
    return FitsNarrow(s.Hour, 255) && FitsNarrow(s.Minute, 255) && FitsNarrow(s.Day, 255) &&
           FitsNarrow(s.Month, 255) && FitsNarrow(s.Year, 255);
}

bool FitsNarrow(const LinkSample& s) {
    return FitsNarrow(s.Qty, 65535) && FitsNarrow(s.TxTim, 65535) && FitsNarrow(s.RxTim, 65535) &&
           FitsNarrow(s.LinkState, 255);
}

void ToWide(const NarrowRecord& n, WideRecord& w) {
    w.Stamp = RecordStamp{n.Hour, n.Minute, n.Day, n.Month, n.Year};
    for (int l = 0; l < kSeriesLinks; ++l) w.Links[l] = Unpack(n.Links[l]);
}

// Turns every committed record of a narrow series wide, from the last slot
// down, so that no record is overwritten before it is read. 0 when the
// memory cannot be committed (the series stays narrow).
int Widen(ReservedArea& area) {
    const std::size_t records = (area.Committed - kHeaderBytes) / sizeof(NarrowRecord);
    const int slots = static_cast<int>(std::min<std::size_t>(records, kHistoryCapacity));
    if (slots > 0 && !CommitArea(area, EndOf(slots - 1, 1))) return 0;
    unsigned char* base = area.Base + kHeaderBytes;
    for (int i = slots - 1; i >= 0; --i) {
        NarrowRecord n;
        std::memcpy(&n, base + static_cast<std::size_t>(i) * sizeof n, sizeof n);
        WideRecord w;
        ToWide(n, w);
        std::memcpy(base + static_cast<std::size_t>(i) * sizeof w, &w, sizeof w);
    }
    Header(area)->Wide = 1;
    return 1;
}

// A link table cell as a number.
std::int32_t CellNumber(const char* cell) {
    return ScanDecimal(cell, strnlen(cell, kCellSize));
}

}  // namespace

const std::size_t kHistoryAreaBytes = kHeaderBytes + sizeof(WideRecord) * kHistoryCapacity;

int ReserveHistoryMemory(AppState& state) {
    for (ReservedArea& area : state.HistoryArea) {
        if (!ReserveArea(area, kHistoryAreaBytes)) {
            return 0;
        }
    }
    return 1;
}

void ReleaseHistoryMemory(AppState& state) {
    for (ReservedArea& area : state.HistoryArea) {
        ReleaseArea(area);
    }
}

int IsRecordPresent(const AppState& state, int channel, int slot) {
    if (slot < 0 || slot >= state.ChannelTable[channel].RecordCount) {
        return 0;
    }
    int wide = 0;
    return RecordAt(state.HistoryArea[channel], slot, wide) != nullptr;
}

int ReadRecordStamp(const AppState& state, int channel, int slot, RecordStamp& stamp) {
    int wide = 0;
    const unsigned char* record = RecordAt(state.HistoryArea[channel], slot, wide);
    if (record == nullptr) {
        stamp = RecordStamp{};
        return 0;
    }
    if (wide) {
        stamp = reinterpret_cast<const WideRecord*>(record)->Stamp;
    } else {
        const NarrowRecord& n = *reinterpret_cast<const NarrowRecord*>(record);
        stamp = RecordStamp{n.Hour, n.Minute, n.Day, n.Month, n.Year};
    }
    return 1;
}

LinkSample ReadLinkSample(const AppState& state, int channel, int slot, int link) {
    int wide = 0;
    const unsigned char* record = RecordAt(state.HistoryArea[channel], slot, wide);
    if (record == nullptr || link < 0 || link >= kSeriesLinks) return kNoSample;
    if (wide) return reinterpret_cast<const WideRecord*>(record)->Links[link];
    return Unpack(reinterpret_cast<const NarrowRecord*>(record)->Links[link]);
}

int ReadLinkSamples(const AppState& state, int channel, int first, int count, int link, LinkSample* out) {
    const ReservedArea& area = state.HistoryArea[channel];
    const SeriesHeader* header = Header(area);
    const int records = std::min(state.ChannelTable[channel].RecordCount, kHistoryCapacity);
    if (header == nullptr || first < 0 || count <= 0 || first >= records) return 0;
    const int wide = header->Wide;
    // Present: below RecordCount and committed, which holds for a prefix.
    const std::size_t room = (area.Committed - kHeaderBytes) / RecordBytes(wide);
    const int end = static_cast<int>(std::min<std::size_t>(
        {static_cast<std::size_t>(records), room, static_cast<std::size_t>(first) + count}));
    const int n = end > first ? end - first : 0;
    if (link < 0 || link >= kSeriesLinks) {
        std::fill(out, out + n, kNoSample);
        return n;
    }
    const unsigned char* base = area.Base + kHeaderBytes;
    if (wide) {
        const WideRecord* r = reinterpret_cast<const WideRecord*>(base) + first;
        for (int i = 0; i < n; ++i) out[i] = r[i].Links[link];
    } else {
        const NarrowRecord* r = reinterpret_cast<const NarrowRecord*>(base) + first;
        for (int i = 0; i < n; ++i) out[i] = Unpack(r[i].Links[link]);
    }
    return n;
}

const char* SeriesLinkName(const AppState& state, int channel, int link) {
    const SeriesHeader* header = Header(state.HistoryArea[channel]);
    if (header == nullptr || link < 0 || link >= kSeriesLinks) return kNoName;
    return header->Names[link];
}

const char* SeriesLinkIdent(const AppState& state, int channel, int link) {
    const SeriesHeader* header = Header(state.HistoryArea[channel]);
    if (header == nullptr || link < 0 || link >= kSeriesLinks) return kNoName;
    return header->Idents[link];
}

int StoreHistoryRecord(AppState& state, int channel, int slot, const RecordStamp& stamp,
                       const LinkSample* samples, int links) {
    ReservedArea& area = state.HistoryArea[channel];
    if (area.Base == nullptr || slot < 0 || slot >= kHistoryCapacity) return 0;
    if (!CommitArea(area, kHeaderBytes)) return 0;
    links = std::clamp(links, 0, kSeriesLinks);
    int wide = Header(area)->Wide;
    bool fits = FitsNarrow(stamp);
    for (int l = 0; fits && l < links; ++l) fits = FitsNarrow(samples[l]);
    if (!wide && !fits) {
        if (!Widen(area)) return 0;
        wide = 1;
    }
    if (!CommitArea(area, EndOf(slot, wide))) return 0;
    unsigned char* record = area.Base + kHeaderBytes + static_cast<std::size_t>(slot) * RecordBytes(wide);
    if (wide) {
        WideRecord& w = *reinterpret_cast<WideRecord*>(record);
        w.Stamp = stamp;
        std::copy(samples, samples + links, w.Links);
        return 1;
    }
    NarrowRecord& n = *reinterpret_cast<NarrowRecord*>(record);
    n.Hour = static_cast<std::uint8_t>(stamp.Hour);
    n.Minute = static_cast<std::uint8_t>(stamp.Minute);
    n.Day = static_cast<std::uint8_t>(stamp.Day);
    n.Month = static_cast<std::uint8_t>(stamp.Month);
    n.Year = static_cast<std::uint8_t>(stamp.Year);
    for (int l = 0; l < links; ++l) {
        const LinkSample& s = samples[l];
        n.Links[l] = NarrowSample{s.Tkby,
                                  s.Rkby,
                                  static_cast<std::uint16_t>(s.Qty),
                                  static_cast<std::uint16_t>(s.TxTim),
                                  static_cast<std::uint16_t>(s.RxTim),
                                  static_cast<std::uint8_t>(s.LinkState),
                                  0};
    }
    return 1;
}

void SetSeriesLinks(AppState& state, int channel, int links, const char (*names)[kCellSize],
                    const char (*idents)[kCellSize]) {
    ReservedArea& area = state.HistoryArea[channel];
    if (area.Base == nullptr || !CommitArea(area, kHeaderBytes)) return;
    SeriesHeader& header = *Header(area);
    for (int l = 0; l < kSeriesLinks; ++l) {
        if (l < links) {
            std::memcpy(header.Names[l], names[l], kCellSize - 1);
            std::memcpy(header.Idents[l], idents[l], kCellSize - 1);
        } else {
            std::memset(header.Names[l], 0, kCellSize);
            std::memset(header.Idents[l], 0, kCellSize);
        }
        header.Names[l][kCellSize - 1] = '\0';
        header.Idents[l][kCellSize - 1] = '\0';
    }
}

void TurnHistoryRing(AppState& state, int channel, int oldest) {
    ReservedArea& area = state.HistoryArea[channel];
    const SeriesHeader* header = Header(area);
    if (header == nullptr || oldest <= 0 || oldest >= kHistoryCapacity) return;
    const std::size_t size = RecordBytes(header->Wide);
    if (!IsCommitted(area, EndOf(kHistoryCapacity - 1, header->Wide) - 1)) return;
    unsigned char* base = area.Base + kHeaderBytes;
    std::rotate(base, base + static_cast<std::size_t>(oldest) * size, base + kHistoryCapacity * size);
}

int ScrollStepFor(int recordCount) {
    return recordCount > kScrollStepThreshold ? recordCount / 20 : kScrollStepDefault;
}

void SplitNumbers(const char* text, int* values, int count) {
    const char* p = text;
    int i = 0;
    for (; i < count; ++i) {
        long long value = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            value = std::min(value * 10 + (*p - '0'), 2147483647LL);
        }
        values[i] = static_cast<int>(value);
        if (*p == '\0') {
            ++i;
            break;
        }
        ++p;
    }
    for (; i < count; ++i) {
        values[i] = 0;
    }
}

void AddHistoryRecord(AppState& state, int channel, int slot, int failed) {
    if (slot >= kHistoryCapacity) {
        slot = kHistoryCapacity - 1;  // the area is full: replace the newest
    }
    if (slot < 0) {
        slot = 0;
    }
    ChannelRecord& c = state.ChannelTable[channel];
    const int links = StoredLinkCount(c);
    LinkSample samples[kSeriesLinks];
    for (int r = 1; r <= links; ++r) {
        LinkSample& sample = samples[r - 1];
        sample.Qty = CellNumber(c.LinkTable[kColQty][r]);
        sample.Tkby = CellNumber(c.LinkTable[kColTkby][r]);
        sample.Rkby = CellNumber(c.LinkTable[kColRkby][r]);
        char time[kTimeCellTextSize];
        ConvertTimeCell(c.LinkTable[kColTime][r], failed, time, sizeof time);
        int values[3];
        SplitNumbers(time, values, 3);
        sample.TxTim = values[0];
        sample.RxTim = values[1];
        sample.LinkState = values[2];
    }
    const RecordStamp stamp{c.LastHour, c.LastMin, c.LastConDay, c.LastConMonth, c.LastConYear};
    if (!StoreHistoryRecord(state, channel, slot, stamp, samples, links)) {
        return;
    }
    // The series' names are the newest record's.
    SetSeriesLinks(state, channel, links, &c.LinkTable[kColName][1], &c.LinkTable[kColIdent][1]);
    c.RecordCount = slot + 1;
    c.ScrollStep = ScrollStepFor(c.RecordCount);
}

void ResetHistory(AppState& state, int channel) {
    DecommitArea(state.HistoryArea[channel]);
    ChannelRecord& c = state.ChannelTable[channel];
    c.RecordCount = 0;
    c.ReplyLineCount = 0;
    c.MarkerOffset = 0;
    c.ScrollOffset = 0;
    state.NextRecordIndex[channel] = 0;
    state.FileCheckedWhole[channel] = 0;
}
