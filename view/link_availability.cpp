#include "view/link_availability.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/two_digit_year.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_series.h"
#include "view/paint_plan.h"

const char* const kCallClassNames[kCallClassCount] = {"in brackets", "figure", "no figure", "down", "failed"};
const char* const kCallClassKeys[kCallClassCount] = {"brackets", "figure", "no_figure", "down", "failed"};

namespace {

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, long long& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

void KeepOutage(LinkAvailability& a, const Outage& o) {
    ++a.OutageCount;
    const long long minutes = o.End - o.Start;
    if (minutes > a.LongestOutage) a.LongestOutage = minutes;
    if (a.List == nullptr) return;
    // A ring of the newest: slot OutageCount - 1 modulo the room.
    a.List->Items[(a.OutageCount - 1) % kOutagesKept] = o;
    if (a.List->Kept < kOutagesKept) ++a.List->Kept;
}

// One call of class `cls` inside the range.
inline void CountCall(LinkAvailability& a, long long minute, int cls) {
    ++a.Calls[cls];
    ++a.Total;
    if (a.FirstCall == kNoLimit) a.FirstCall = minute;
    a.LastCall = minute;
    if (IsOutageClass(cls)) {
        if (!a.InOutage) {
            a.InOutage = 1;
            a.Open = Outage{minute, minute, 0, 1};
        }
        ++a.Open.Calls;
        a.Open.End = minute;
    } else if (a.InOutage) {
        a.InOutage = 0;
        a.Open.End = minute;
        a.Open.Ongoing = 0;
        KeepOutage(a, a.Open);
    }
}

// Link `link` (1 = the first) of the record in `slot`, an out-of-range
// link taken as the nearest one a record holds.
LinkSample SampleOf(const AppState& state, int channel, int slot, int link) {
    int i = link - 1;
    if (i < 0) i = 0;
    if (i >= kLinkRows) i = kLinkRows - 1;
    return ReadLinkSample(state, channel, slot, i);
}

long long StampMinute(const AppState& state, int channel, int slot) {
    RecordStamp t{};
    ReadRecordStamp(state, channel, slot, t);
    return WallMinute(t.Day, t.Month, t.Year, t.Hour, t.Minute);
}

void PrintPercent(std::FILE* out, long long part, long long total) {
    if (total <= 0) {
        std::fprintf(out, " %7s", "-");
    } else {
        std::fprintf(out, " %6.1f%%", 100.0 * static_cast<double>(part) / static_cast<double>(total));
    }
}

}  // namespace

int IsOutageClass(int callClass) {
    return callClass == kClassNoFigure || callClass == kClassDown || callClass == kClassFailed;
}

long long WallMinute(int day, int month, int year, int hour, int minute) {
    const long long fullYear = FullYear(year);
    if (month < 1) month = 1;
    if (month > 12) month = 12;
    return DaysFromCivil(fullYear, month, day) * kMinutesPerDay + hour * 60LL + minute;
}

long long WallMinuteOf(std::time_t when) {
    std::tm t{};
    localtime_r(&when, &t);
    return WallMinute(t.tm_mday, t.tm_mon + 1, t.tm_year + 1900, t.tm_hour, t.tm_min);
}

void FormatWallMinute(long long minute, char* text, int size) {
    long long days = minute / kMinutesPerDay;
    long long rest = minute % kMinutesPerDay;
    if (rest < 0) rest += kMinutesPerDay, --days;
    long long y = 0;
    int m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    std::snprintf(text, static_cast<std::size_t>(size), "%04lld-%02d-%02d %02lld:%02lld", y, m, d, rest / 60,
                  rest % 60);
}

void StartAvailability(LinkAvailability& a, long long from, long long to, OutageList* list) {
    std::memset(&a, 0, sizeof a);
    a.From = from;
    a.To = to;
    a.FirstCall = a.LastCall = kNoLimit;
    a.List = list;
    if (list != nullptr) list->Kept = 0;
}

void AddCall(LinkAvailability& a, long long minute, int linkState) {
    if ((a.From != kNoLimit && minute < a.From) || (a.To != kNoLimit && minute >= a.To)) return;
    CountCall(a, minute, UsageClass(linkState));
}

void FinishAvailability(LinkAvailability& a) {
    if (a.InOutage) {
        a.InOutage = 0;
        KeepOutage(a, a.Open);
    }
    if (a.List == nullptr) return;
    // The ring holds the newest Kept outages; the newest sits at slot
    // (OutageCount - 1) modulo the room. Put them newest first.
    OutageList& list = *a.List;
    Outage ordered[kOutagesKept];
    for (int i = 0; i < list.Kept; ++i) ordered[i] = list.Items[(a.OutageCount - 1 - i) % kOutagesKept];
    for (int i = 0; i < list.Kept; ++i) list.Items[i] = ordered[i];
}

double AvailabilityPercent(const LinkAvailability& a) {
    if (a.Total <= 0) return -1;
    return 100.0 * static_cast<double>(a.Calls[kClassFigure] + a.Calls[kClassBrackets]) /
           static_cast<double>(a.Total);
}

void ChannelAvailability(AppState& state, int channel, int link, long long from, long long to,
                         LinkAvailability& a, OutageList* list) {
    StartAvailability(a, from, to, list);
    const int count = state.ChannelTable[channel].RecordCount;
    for (int i = 0; i < count && IsRecordPresent(state, channel, i); ++i) {
        AddCall(a, StampMinute(state, channel, i), SampleOf(state, channel, i, link).LinkState);
    }
    FinishAvailability(a);
}

void ChannelSummaries(AppState& state, int channel, int links, long long nowMinute,
                      LinkAvailability (*out)[kSummaryRanges]) {
    const long long from[kSummaryRanges] = {nowMinute - kMinutesPerDay, nowMinute - 7LL * kMinutesPerDay,
                                            kNoLimit};
    for (int l = 0; l < links; ++l)
        for (int r = 0; r < kSummaryRanges; ++r) StartAvailability(out[l][r], from[r], kNoLimit, nullptr);
    const int count = state.ChannelTable[channel].RecordCount;
    // Record by record, every link at once, so each record is read once;
    // the ranges a record falls in are found once for all its links.
    for (int i = 0; i < count && IsRecordPresent(state, channel, i); ++i) {
        const long long minute = StampMinute(state, channel, i);
        int first = 0;
        while (first < kSummaryRanges && from[first] != kNoLimit && minute < from[first]) ++first;
        for (int l = 0; l < links; ++l) {
            const int cls = UsageClass(ReadLinkSample(state, channel, i, l).LinkState);
            for (int r = first; r < kSummaryRanges; ++r) CountCall(out[l][r], minute, cls);
        }
    }
    for (int l = 0; l < links; ++l)
        for (LinkAvailability& a : out[l]) FinishAvailability(a);
}

int PrintAvailabilityFile(const char* path, int link, std::FILE* out, std::FILE* err) {
    HistorySource source;
    if (!OpenHistorySourceOrSay(path, source, err)) return 2;
    HistoryReader reader;
    HistoryHeader header;
    StartHistoryReader(reader, source);
    if (!ReadHistoryHeader(reader, header)) {
        std::fprintf(err, "hopwatch: %s is damaged (%s) before its first record\n", path,
                     HistoryFaultText(reader.Fault));
        return 2;
    }
    char cells[2][kMaxStoredLinks][kCellSize];
    KeepHeaderNames(header, cells);
    if (link > header.LinkCount) {
        std::fprintf(err, "hopwatch: %s has no link %d\n", path, link);
        return 2;
    }
    const int first = link == 0 ? 1 : link;
    const int last = link == 0 ? header.LinkCount : link;
    // One scan fills every link's table; they are big, so they live on the heap.
    std::vector<LinkAvailability> tables(static_cast<std::size_t>(last - first + 1));
    OutageList list;  // the one link's outages, when only one is asked for
    for (int l = first; l <= last; ++l)
        StartAvailability(tables[l - first], kNoLimit, kNoLimit, link != 0 ? &list : nullptr);
    HistoryRecordText record;
    while (ReadHistoryRecordValues(reader, header.LinkCount, record)) {
        const long long minute =
            WallMinute(record.Day, record.Month, record.Year, record.Hour, record.Minute);
        for (int l = first; l <= last; ++l) AddCall(tables[l - first], minute, record.Values[l - 1][6]);
    }
    std::fprintf(out, "%-15s %-15s %7s %8s %8s %8s %8s %8s %8s %7s %9s\n", "link", "second_name", "calls",
                 "up", kCallClassNames[kClassFigure], "brackets", "none", kCallClassNames[kClassDown],
                 kCallClassNames[kClassFailed], "outages", "longest");
    for (int l = first; l <= last; ++l) {
        LinkAvailability& a = tables[l - first];
        FinishAvailability(a);
        const HistoryToken& name = header.Names[l - 1];
        const HistoryToken& ident = header.Idents[l - 1];
        std::fprintf(out, "%-15.*s %-15.*s %7lld", name.Length, name.Text, ident.Length, ident.Text, a.Total);
        PrintPercent(out, a.Calls[kClassFigure] + a.Calls[kClassBrackets], a.Total);
        for (int c : {kClassFigure, kClassBrackets, kClassNoFigure, kClassDown, kClassFailed})
            PrintPercent(out, a.Calls[c], a.Total);
        std::fprintf(out, " %7lld %6lld min\n", a.OutageCount, a.LongestOutage);
    }
    if (link != 0) {
        const LinkAvailability& a = tables[0];
        std::fprintf(out, "\noutages of link %d, newest first:\n%-16s  %-16s  %9s  %6s\n", link, "start",
                     "end", "minutes", "calls");
        for (int i = 0; i < list.Kept; ++i) {
            const Outage& o = list.Items[i];
            char start[kWallTimeTextSize], end[kWallTimeTextSize];
            FormatWallMinute(o.Start, start, sizeof start);
            FormatWallMinute(o.End, end, sizeof end);
            std::fprintf(out, "%-16s  %-16s  %9lld  %6lld%s\n", start, end, o.End - o.Start, o.Calls,
                         o.Ongoing ? "  ongoing" : "");
        }
        if (a.OutageCount > list.Kept)
            std::fprintf(out, "(%lld older outages not listed)\n", a.OutageCount - list.Kept);
    }
    if (reader.Fault != HistoryFault::None) {
        std::fprintf(err,
                     "hopwatch: %s is damaged (%s): reading stopped at record %lld, byte offset %zu; "
                     "the %lld complete records before it were counted\n",
                     path, HistoryFaultText(reader.Fault), reader.Records + 1, reader.FaultOffset,
                     reader.Records);
        return 1;
    }
    return std::ferror(out) ? 2 : 0;
}
