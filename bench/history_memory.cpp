// How much memory the in-memory history takes. Four channels are filled to
// the 24,000-record cap with records of 17 links through the real store
// (AddHistoryRecord from a link table as a reply leaves it, values drifting
// as a digipeater's do), and the resident memory this adds is measured; then
// the same records are written in the layout the series used before (every
// record with all 20 links and each link's name, kept here only for this
// comparison) into areas reserved and committed the same way, and measured
// the same way. The last line gives the new layout's bytes per record and
// how many times smaller it is than the old.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/app_state.h"
#include "core/link_column.h"
#include "core/reserved_area.h"
#include "history/history_series.h"

namespace {

constexpr int kLinks = 17;
constexpr int kRecords = kHistoryCapacity;

// The record of the old layout.
struct OldLinkSample {
    char Name[64];
    std::int32_t Qty;
    std::int32_t Tkby;
    std::int32_t Rkby;
    std::int32_t TxTim;
    std::int32_t RxTim;
    std::int32_t LinkState;
};
struct OldHistoryRecord {
    OldLinkSample Links[20];
    std::int32_t Hour;
    std::int32_t Minute;
    std::int32_t Day;
    std::int32_t Month;
    std::int32_t Year;
};

long ResidentBytes() {
    long size = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    const int read = f ? std::fscanf(f, "%ld %ld", &size, &resident) : 0;
    if (f) std::fclose(f);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
}

unsigned g_seed = 1;
int Next(int range) {
    g_seed = g_seed * 1103515245u + 12345u;
    return static_cast<int>((g_seed >> 8) % static_cast<unsigned>(range));
}

// The link table of one reply: values drift from call to call; now and
// then a link is down (a dash) or in brackets.
void NextReply(ChannelRecord& c, int (&values)[kLinks][5]) {
    for (int r = 1; r <= kLinks; ++r) {
        int* v = values[r - 1];
        v[0] = (v[0] + Next(9) + 252) % 256;  // QTY
        v[1] = (v[1] + Next(60)) % 1000000;   // TKBY
        v[2] = (v[2] + Next(60)) % 1000000;   // RKBY
        v[3] = Next(3000);                    // TxTIM
        v[4] = Next(3000);                    // RxTIM
        std::snprintf(c.LinkTable[kColQty][r], kCellSize, "%d", v[0]);
        std::snprintf(c.LinkTable[kColTkby][r], kCellSize, "%d", v[1]);
        std::snprintf(c.LinkTable[kColRkby][r], kCellSize, "%d", v[2]);
        const int form = Next(20);
        if (form == 0) {
            std::snprintf(c.LinkTable[kColTime][r], kCellSize, "     -      ");
        } else if (form == 1) {
            std::snprintf(c.LinkTable[kColTime][r], kCellSize, "(%d/%d)", v[3], v[4]);
        } else {
            std::snprintf(c.LinkTable[kColTime][r], kCellSize, "%d/%d", v[3], v[4]);
        }
    }
}

}  // namespace

int main() {
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    if (!ReserveHistoryMemory(*state)) {
        std::fprintf(stderr, "cannot reserve the history areas\n");
        return 1;
    }
    ReservedArea old[kChannelCount] = {};
    for (ReservedArea& area : old) {
        if (!ReserveArea(area, sizeof(OldHistoryRecord) * kHistoryCapacity)) {
            std::fprintf(stderr, "cannot reserve the old layout's areas\n");
            return 1;
        }
    }
    for (int ch = 0; ch < kChannelCount; ++ch) {
        ChannelRecord& c = state->ChannelTable[ch];
        c.ReplyLineCount = c.RestoreLineCount = kLinks + 2;
        for (int r = 1; r <= kLinks; ++r) {
            std::snprintf(c.LinkTable[kColName][r], kCellSize, "QX%dL%02d-%d", ch, r, r % 16);
            std::snprintf(c.LinkTable[kColIdent][r], kCellSize, "Hill%d", r);
        }
    }

    // The new layout, through the store, one call after another.
    int values[kChannelCount][kLinks][5] = {};
    const long start = ResidentBytes();
    for (int i = 0; i < kRecords; ++i) {
        for (int ch = 0; ch < kChannelCount; ++ch) {
            ChannelRecord& c = state->ChannelTable[ch];
            NextReply(c, values[ch]);
            c.LastHour = i / 60 % 24, c.LastMin = i % 60;
            c.LastConDay = i / 1440 % 28 + 1, c.LastConMonth = 12, c.LastConYear = 26;
            AddHistoryRecord(*state, ch, i, 0);
        }
    }
    const long added = ResidentBytes() - start;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (state->ChannelTable[ch].RecordCount != kRecords) {
            std::fprintf(stderr, "channel %d holds %d records\n", ch + 1,
                         state->ChannelTable[ch].RecordCount);
            return 1;
        }
    }

    // The same records in the old layout, committed record by record as the
    // old store did.
    const long oldStart = ResidentBytes();
    for (int i = 0; i < kRecords; ++i) {
        for (int ch = 0; ch < kChannelCount; ++ch) {
            if (!CommitArea(old[ch], (static_cast<std::size_t>(i) + 1) * sizeof(OldHistoryRecord))) {
                std::fprintf(stderr, "cannot commit the old layout\n");
                return 1;
            }
            OldHistoryRecord& r = reinterpret_cast<OldHistoryRecord*>(old[ch].Base)[i];
            RecordStamp stamp;
            ReadRecordStamp(*state, ch, i, stamp);
            r.Hour = stamp.Hour, r.Minute = stamp.Minute, r.Day = stamp.Day, r.Month = stamp.Month;
            r.Year = stamp.Year;
            for (int l = 0; l < kLinks; ++l) {
                const LinkSample s = ReadLinkSample(*state, ch, i, l);
                OldLinkSample& o = r.Links[l];
                std::memcpy(o.Name, SeriesLinkName(*state, ch, l), kCellSize);
                o.Qty = s.Qty, o.Tkby = s.Tkby, o.Rkby = s.Rkby, o.TxTim = s.TxTim, o.RxTim = s.RxTim;
                o.LinkState = s.LinkState;
            }
        }
    }
    const long oldAdded = ResidentBytes() - oldStart;
    benchmark::DoNotOptimize(old[0].Base);

    const double records = static_cast<double>(kChannelCount) * kRecords;
    const double perRecord = static_cast<double>(added) / records;
    const double oldPerRecord = static_cast<double>(oldAdded) / records;
    std::printf("%d channels x %d records of %d links\n", kChannelCount, kRecords, kLinks);
    std::printf("new layout: %7.1f MB resident in all, %6.1f bytes/record\n",
                static_cast<double>(added) / 1e6, perRecord);
    std::printf("old layout: %7.1f MB resident in all, %6.1f bytes/record (%zu bytes a record)\n",
                static_cast<double>(oldAdded) / 1e6, oldPerRecord, sizeof(OldHistoryRecord));
    for (ReservedArea& area : old) ReleaseArea(area);
    ReleaseHistoryMemory(*state);
    std::printf("bytes/record=%.0f old/new=%.2f\n", perRecord, oldPerRecord / perRecord);
    return 0;
}
