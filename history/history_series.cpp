// The in-memory series: storing a connect and discarding a series. Each
// channel's records live in its own reserved area at slot index ×
// sizeof(HistoryRecord); memory is committed up to the highest slot written
// and given back by ResetHistory.
#include "history/history_series.h"

#include <algorithm>
#include <cstring>

#include "core/link_column.h"
#include "core/text_scan.h"
#include "history/history_format.h"

namespace {

// A link table cell as a number.
std::int32_t CellNumber(const char* cell) {
    return ScanDecimal(cell, strnlen(cell, kCellSize));
}

}  // namespace

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

HistoryRecord* HistorySlot(AppState& state, int channel, int slot) {
    const ReservedArea& area = state.HistoryArea[channel];
    if (area.Base == nullptr || slot < 0 || slot >= kHistoryCapacity) {
        return nullptr;
    }
    return reinterpret_cast<HistoryRecord*>(area.Base) + slot;
}

HistoryRecord* CommitHistorySlot(AppState& state, int channel, int slot) {
    ReservedArea& area = state.HistoryArea[channel];
    if (area.Base == nullptr) {
        return nullptr;
    }
    const std::size_t bytes = (static_cast<std::size_t>(slot) + 1) * sizeof(HistoryRecord);
    if (!CommitArea(area, bytes)) {
        return nullptr;
    }
    return HistorySlot(state, channel, slot);
}

int IsRecordPresent(const AppState& state, int channel, int slot) {
    if (slot < 0 || slot >= state.ChannelTable[channel].RecordCount || slot >= kHistoryCapacity) {
        return 0;
    }
    const std::size_t last = (static_cast<std::size_t>(slot) + 1) * sizeof(HistoryRecord) - 1;
    return IsCommitted(state.HistoryArea[channel], last);
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
    HistoryRecord* record = CommitHistorySlot(state, channel, slot);
    if (record == nullptr) {
        return;
    }
    ChannelRecord& c = state.ChannelTable[channel];
    record->Hour = c.LastHour;
    record->Minute = c.LastMin;
    record->Day = c.LastConDay;
    record->Month = c.LastConMonth;
    record->Year = c.LastConYear;
    c.RecordCount = slot + 1;
    c.ScrollStep = ScrollStepFor(c.RecordCount);
    const int links = StoredLinkCount(c);
    for (int r = 1; r <= links; ++r) {
        LinkSample& sample = record->Links[r - 1];
        std::memcpy(sample.Name, c.LinkTable[kColName][r], kCellSize - 1);
        sample.Name[kCellSize - 1] = '\0';
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
