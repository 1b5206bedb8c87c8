// What the channel dialog's displays show: the header of each channel's
// column in the status grid (by its cycle state), the times and date of its
// last calls, and the last reply of the selected channel.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

constexpr int kGridTextSize = 16;
constexpr int kReplyTextSize = 2048;    // the reply box's text, NUL included
constexpr int kReplyGroupChars = 1023;  // each of the two groups of lines is cut here
constexpr int kReplyFirstGroupLines = 11;

// The header text of channel index `channel` in `cycleState`; 0 (and `out`
// untouched) for the states that leave the header as it was (6, 9, 10, 11).
int GridHeaderText(int channel, CycleState cycleState, char* out, int size);

struct GridTimes {
    char LastCall[kGridTextSize];    // "hh:mm"
    char BeforeLast[kGridTextSize];  // "hh:mm"
    char Date[kGridTextSize];        // "dd.mm.yy"
};
// Every number with at least two digits, zero-padded.
void MakeGridTimes(const ChannelRecord& channel, GridTimes& times);

// The reply box of the channel: the prompt line (the first stored line that
// starts with "=") and every line after it are blanked in the record, so
// they stay hidden on later refreshes too; then lines 1..11 and 12..20 are
// joined as stored, each group cut at 1023 characters.
void ShowReplyText(ChannelRecord& channel, char* text, int size);
