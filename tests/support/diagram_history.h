// Histories for the diagram's tests and benchmark: records written straight
// into a channel's reserved area, with the view fields a loaded history
// would have.
#pragma once

#include <cstdio>
#include <cstring>
#include <functional>
#include <random>

#include "core/app_state.h"
#include "history/history_series.h"
#include "view/curve_memory.h"

// Reserves the history areas and the point buffers; 0 on failure.
inline int ReserveDiagramMemory(AppState& state) {
    return ReserveHistoryMemory(state) && ReserveCurveMemory(state);
}

// Gives back what ReserveDiagramMemory took.
inline void ReleaseDiagramMemory(AppState& state) {
    ReleaseCurveMemory(state);
    ReleaseHistoryMemory(state);
}

// A record as a test writes it: each link's name beside its numbers. The
// series keeps the names of the last record written.
struct FilledSample {
    char Name[kCellSize];
    std::int32_t Qty, Tkby, Rkby, TxTim, RxTim, LinkState;
};
struct FilledRecord {
    FilledSample Links[kSeriesLinks];
    std::int32_t Hour, Minute, Day, Month, Year;
};

// `count` records of `links` links on `channel`; `fill` sets record i.
inline void FillHistory(AppState& state, int channel, int count, int links,
                        const std::function<void(int, FilledRecord&)>& fill) {
    FilledRecord r{};
    for (int i = 0; i < count; ++i) {
        r = FilledRecord{{}, i / 60 % 24, i % 60, 6, 12, 26};  // 6.12.26, a record a minute
        for (int l = 0; l < links; ++l)
            std::snprintf(r.Links[l].Name, sizeof r.Links[l].Name, "QX0L%d", l + 1);
        fill(i, r);
        LinkSample samples[kSeriesLinks];
        for (int l = 0; l < kSeriesLinks; ++l) {
            const FilledSample& f = r.Links[l];
            samples[l] = LinkSample{f.Qty, f.Tkby, f.Rkby, f.TxTim, f.RxTim, f.LinkState};
        }
        StoreHistoryRecord(state, channel, i, RecordStamp{r.Hour, r.Minute, r.Day, r.Month, r.Year}, samples,
                           kSeriesLinks);
    }
    char names[kSeriesLinks][kCellSize];
    const char idents[kSeriesLinks][kCellSize] = {};
    for (int l = 0; l < kSeriesLinks; ++l) std::memcpy(names[l], r.Links[l].Name, kCellSize);
    if (count > 0) SetSeriesLinks(state, channel, kSeriesLinks, names, idents);
    ChannelRecord& c = state.ChannelTable[channel];
    c.RecordCount = count;
    c.ReplyLineCount = c.RestoreLineCount = links + 2;
    c.ScrollStep = ScrollStepFor(count);
    c.LinkIndex = 1;
    c.YZoomStep = c.YZoomStep == 0 ? 1 : c.YZoomStep;
    c.YScale = c.YScale == 0 ? 1 : c.YScale;
    state.NextRecordIndex[channel] = count;
}

// Values of every link drifting at random (the same seed, the same history),
// now and then every link state, a failed call included.
inline void FillRandomHistory(AppState& state, int channel, int count, int links, unsigned seed) {
    std::mt19937 rng(seed);
    FillHistory(state, channel, count, links, [&](int, FilledRecord& r) {
        for (int l = 0; l < links; ++l) {
            FilledSample& s = r.Links[l];
            s.Qty = static_cast<int>(rng() % 256);
            s.Tkby = static_cast<int>(rng() % 900);
            s.Rkby = static_cast<int>(rng() % 900);
            s.TxTim = static_cast<int>(rng() % 400);
            s.RxTim = static_cast<int>(rng() % 400);
            s.LinkState = static_cast<int>(rng() % 8);
        }
    });
}
