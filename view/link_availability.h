// How often a link was usable: the share of calls in each class of the
// link-usage strip (a figure, a figure in brackets, no figure, link down,
// call failed) over a time range, and the link's outages. An outage is a
// run of consecutive calls without a figure (no figure, down or failed); it
// starts at its first call and ends at the call that brought a figure back,
// or is still going on at the newest call.
//
// Only the calls inside the range count: an outage that crosses a boundary
// of the range is cut there. Times are the records' local wall-clock
// minutes (two-digit years below 70 read as 20yy, else 19yy), counted from
// 1970-01-01 00:00 as if that clock had no daylight saving.
//
// Threading: GUI thread only for the in-memory series; the file report has
// none of its own.
#pragma once

#include <cstdio>
#include <ctime>

#include "core/app_state.h"
#include "view/paint_plan.h"

// "figure", "in brackets", ... by CallClass.
extern const char* const kCallClassNames[kCallClassCount];
// "brackets", "figure", "no_figure", "down", "failed": the JSON keys.
extern const char* const kCallClassKeys[kCallClassCount];
// A class without a figure starts or continues an outage.
int IsOutageClass(int callClass);

constexpr long long kNoLimit = -1;  // an open end of a range
constexpr int kOutagesKept = 500;   // the newest outages listed
constexpr int kMinutesPerDay = 24 * 60;
constexpr int kWallTimeTextSize = 17;  // "2026-12-06 14:30" and NUL

struct Outage {
    long long Start;  // wall minute of its first call
    long long End;    // wall minute of the call that ended it, or of its last call while ongoing
    long long Calls;
    int Ongoing;
};

// The newest outages, newest first once finished.
struct OutageList {
    Outage Items[kOutagesKept];
    int Kept;
};

struct LinkAvailability {
    long long From, To;  // the range [From, To) in wall minutes; kNoLimit = open
    long long Calls[kCallClassCount];
    long long Total;
    long long FirstCall, LastCall;  // wall minutes of the first and last call counted
    long long OutageCount;
    long long LongestOutage;  // minutes
    Outage Open;              // the run under way while adding
    int InOutage;
    OutageList* List;  // where the newest outages are kept; null = counted only
};

// Wall minutes of a record's time fields.
long long WallMinute(int day, int month, int year, int hour, int minute);
// Wall minutes of a moment (its local time).
long long WallMinuteOf(std::time_t when);
// "2026-12-06 14:30".
void FormatWallMinute(long long minute, char* text, int size);

// Empties `a` for the range [from, to); the newest outages go to `list`
// unless it is null.
void StartAvailability(LinkAvailability& a, long long from, long long to, OutageList* list);
// One call, oldest first; calls outside the range are left out.
void AddCall(LinkAvailability& a, long long minute, int linkState);
// Closes the run under way (as ongoing) and puts the listed outages newest first.
void FinishAvailability(LinkAvailability& a);
// Calls with a figure (in brackets or not) per hundred calls; -1 without calls.
double AvailabilityPercent(const LinkAvailability& a);

// The same over link `link` (1 = first) of the channel's in-memory series.
void ChannelAvailability(AppState& state, int channel, int link, long long from, long long to,
                         LinkAvailability& a, OutageList* list);

// Every link 1..links of the channel over the 24 hours and the 7 days up to
// `nowMinute` and over everything held, in one pass over the records;
// outages counted, not listed.
constexpr int kSummaryRanges = 3;
void ChannelSummaries(AppState& state, int channel, int links, long long nowMinute,
                      LinkAvailability (*out)[kSummaryRanges]);

// The --availability run: reads the history file at `path` and prints, per
// link (or link `link` alone when not 0), the calls, the share of each class
// and the outages; with `link` also the list of its outages. Returns the exit
// status as --export-csv does: 0, 1 for a damaged file (the records before
// the damage counted), 2 when nothing could be read.
int PrintAvailabilityFile(const char* path, int link, std::FILE* out, std::FILE* err);
