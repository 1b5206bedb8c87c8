// The connect cycle. The minute tick decides when a channel calls; the
// second tick moves each channel's call one step through this table:
//
//   state                step                                   next
//   1  CallRequested     l2_connect(Mycall, CallPath)           2
//   2  Connecting        link state                             5 -> 3, 1 -> 0, 0 -> 7, 7 after
//                                                               300 ticks, else 2
//   3  SendCommand       14, ialloc 256, "p\n\n" if granted, 7   4 if granted, 7 when the link is
//                                                               down or after 180 ticks, else 3
//   4  AwaitPrompt       read frames, discard up to the prompt  5 at the prompt, 7 after 180 ticks
//   5  CollectReply      read frames, store each as a line      6 at the prompt, 8 at 19 lines, 7 after 180
//   6  ReplyComplete     nothing                                9
//   7  CallFailed        record the last good reply again       11 if the link never came up, else 10
//   8  ReplyOverflow     as 7, in the same tick                 as 7
//   9  StoreReply        record the reply, then as 10           11
//   10 Disconnect        command 4                              11
//   11 AwaitDisconnect   link state                             below 2 -> 0, else 11
//
// A reply is the digipeater's text after its first "=>" prompt, one frame
// per line, up to and including the next prompt. Each line is cut into its
// link table row as it arrives, so the table is complete when the prompt
// comes. A call that fails repeats the last reply completed in this run,
// stamped with the failed call's own start time.
#include "acquisition/connect_cycle.h"

#include <cstring>

#include "acquisition/link_report.h"
#include "core/platform_port.h"
#include "history/history_format.h"
#include "history/history_writer.h"
#include "radio/layer2.h"

namespace {

constexpr int kCutPosition = kReplySlotSize - 2;   // LF of a line cut after 98 characters
constexpr int kMaxFrameCopy = kReplySlotSize - 1;  // text bytes copied from one frame

std::uint8_t LinkStateOf(Layer2& l2, std::uint16_t handle) {
    return static_cast<std::uint8_t>(l2.l2_stat(0, handle) & kL2StateMask);
}

// Stores one connect in memory and in the history file (AddHistoryRecord,
// NextRecordIndex, AppendHistoryRecord; after a rotation the writer makes
// this connect the first record of the new file and series), then has the
// diagram redrawn. The channel's CycleState says whether the call failed
// (CallFailed) or completed (Disconnect).
void RecordCall(AppState& state, PlatformPort& port, int channel) {
    const int failed = state.ChannelTable[channel].CycleState == CycleState::CallFailed;
    int error = 0;
    const int saved = RecordConnect(state, port, channel, failed, &error);
    // A failing file is said once per episode, not once per call.
    if (NoteSaveResult(state, port, channel, saved, error)) {
        char text[kHistoryPathSize + 160];
        SaveFailedText(state, channel, error, text, sizeof text);
        port.tell(text, kMainCaption, BoxIcon::Warning);
    }
    port.repaint(true);
}

// One received frame of a collecting call becomes reply line
// ReplyLineCount and row ReplyLineCount of the link table. The frame is
// outside input: its count is trusted only up to one slot.
void StoreReplyLine(ChannelRecord& c, const unsigned char* frame, int count) {
    if (c.ReplyLineCount < 0 || c.ReplyLineCount >= kMaxReplyLines) {
        // Only reachable when something outside the cycle changed the count
        // under a running call; never write past the slots.
        c.CycleState = CycleState::ReplyOverflow;
        return;
    }
    const int n = count > kMaxFrameCopy ? kMaxFrameCopy : count;
    char* slot = c.ReplyLines[c.ReplyLineCount];
    // The slot is not cleared first: bytes behind a short line keep what an
    // earlier call left there, which matters when the line has no CR.
    std::memcpy(slot, frame + kL2FrameHead, static_cast<std::size_t>(n));
    TerminateReplyLine(slot);
    ClearLinkRow(c);
    ParseLinkRow(c, c.ReplyLineCount);
    ++c.ReplyLineCount;
}

// A frame of fewer than two text bytes holds no prompt: the bytes behind its
// count are not the stack's to hand out.
int IsPrompt(const unsigned char* frame, int count) {
    return count >= 2 && frame[kL2FrameHead] == '=' && frame[kL2FrameHead + 1] == '>';
}

// --- the steps, one per state -------------------------------------------

void StepCallRequested(AppState& state, Layer2& l2, ChannelRecord& c, int channel) {
    c.L2Channel = l2.l2_connect(state.Mycall, c.CallPath);
    state.WaitTicks[channel] = 0;
    c.CycleState = CycleState::Connecting;
    ++state.CallsMade[channel];
}

// A stack that never reports on a connect would hold the channel for good.
// The limit counts ticks, so that a faster clock shortens it as it does the
// reading limit; the withdrawn connect is ended like any failed call.
void StepConnecting(AppState& state, Layer2& l2, ChannelRecord& c, int channel) {
    c.L2State = LinkStateOf(l2, c.L2Channel);
    if (c.L2State == kL2Connected) {
        state.WaitTicks[channel] = 0;
        c.CycleState = CycleState::SendCommand;
    } else if (c.L2State == kL2GivenUp) {
        c.CycleState = CycleState::Idle;  // given up: nothing is recorded
    } else if (c.L2State == kL2Down || ++state.WaitTicks[channel] > kConnectTickLimit) {
        c.CycleState = CycleState::CallFailed;
    }
}

// The link may drop, or the stack never grant space on it, after the
// connect report: the wait for the grant is bounded like the reply, and a
// link no longer connected fails the call at once, so that no channel stays
// here for good.
void StepSendCommand(AppState& state, Layer2& l2, ChannelRecord& c, int channel) {
    int& waited = state.WaitTicks[channel];
    c.L2State = LinkStateOf(l2, c.L2Channel);
    if (c.L2State < kL2Connected || waited >= kReadingTickLimit) {
        c.CycleState = CycleState::CallFailed;
        return;
    }
    ++waited;
    l2.l2_bef(kL2BeforeSend, c.L2Channel);
    const int granted = l2.l2_ialloc(c.L2Channel, kCommandSpace) != 0;
    if (granted) l2.l2_puts(c.L2Channel, kCommandText);
    l2.l2_bef(kL2AfterSend, c.L2Channel);
    c.ReplyLineCount = 0;
    if (granted) {
        waited = 0;  // the reply has its own full limit
        c.CycleState = CycleState::AwaitPrompt;
    }
}

void StepReadReply(AppState& state, Layer2& l2, ChannelRecord& c, int channel) {
    int& waited = state.WaitTicks[channel];
    if (waited >= kReadingTickLimit) {
        c.CycleState = CycleState::CallFailed;
        return;
    }
    ++waited;
    // A stack that keeps reporting data without handing out frames, or that
    // floods the channel, must not hold the whole program in one tick.
    int frames = 0;
    int nullFrames = 0;
    while (frames < kFramesPerTick && nullFrames < kNullFramesPerTick &&
           (l2.l2_stat(0, c.L2Channel) & kL2DataWaiting)) {
        const unsigned char* frame = l2.l2_get_i(c.L2Channel);
        if (!frame) {
            ++nullFrames;
            continue;
        }
        ++frames;
        const int count = L2FrameCount(frame);
        if (c.CycleState == CycleState::CollectReply) StoreReplyLine(c, frame, count);
        if (IsPrompt(frame, count)) {
            if (c.CycleState == CycleState::AwaitPrompt) {
                c.CycleState = CycleState::CollectReply;
            } else if (c.CycleState == CycleState::CollectReply) {
                c.CycleState = CycleState::ReplyComplete;
            }
        }
        if (c.CycleState == CycleState::CollectReply && c.ReplyLineCount >= kMaxReplyLines) {
            c.CycleState = CycleState::ReplyOverflow;
        }
        l2.l2_bef(kL2FrameDone, c.L2Channel);
    }
}

void StepDisconnect(Layer2& l2, ChannelRecord& c) {
    l2.l2_bef(kL2Disconnect, c.L2Channel);
    c.CycleState = CycleState::AwaitDisconnect;
}

// A notice shown while recording may run further ticks (a nested loop);
// CycleTick skips this channel meanwhile. Should the channel still have been
// moved on by the time the notice returns, the rest of the step is left out
// rather than applied to another call.
int StillOurCall(const ChannelRecord& c, CycleState expected, std::uint16_t handle) {
    return c.CycleState == expected && c.L2Channel == handle;
}

void StepCallFailed(AppState& state, PlatformPort& port, ChannelRecord& c, int channel) {
    const std::uint16_t handle = c.L2Channel;
    ++state.CallsFailed[channel];
    c.ReplyLineCount = c.RestoreLineCount;
    if (c.RepeatLineCount != 0) {
        // The stored lines are parsed again as they stand now; a reply cut
        // short in this call has overwritten its first slots.
        ParseLinkRows(c, c.RepeatLineCount);
        RecordCall(state, port, channel);
        if (!StillOurCall(c, CycleState::CallFailed, handle)) return;
    }
    c.CycleState = c.L2State == kL2Down ? CycleState::AwaitDisconnect : CycleState::Disconnect;
}

void StepStoreReply(AppState& state, PlatformPort& port, ChannelRecord& c, int channel) {
    const std::uint16_t handle = c.L2Channel;
    c.CycleState = CycleState::Disconnect;
    c.RestoreLineCount = c.ReplyLineCount;
    c.RepeatLineCount = c.ReplyLineCount;
    std::tm now = port.localTime();
    state.LastCallDone[channel] = static_cast<long long>(std::mktime(&now));
    RecordCall(state, port, channel);
    if (!StillOurCall(c, CycleState::Disconnect, handle)) return;
    StepDisconnect(port.l2(), c);
}

}  // namespace

void TerminateReplyLine(char* slot) {
    int cr = -1;
    for (int i = 0; i < kCutPosition; ++i) {
        if (slot[i] == '\r') {
            cr = i;
            break;
        }
    }
    const int lf = cr < 0 ? kCutPosition : cr + 1;
    slot[lf] = '\n';
    slot[lf + 1] = '\0';
}

int ScheduleCall(const AppState& state, ChannelRecord& channel, const std::tm& now) {
    if (!channel.RufAktiv || channel.CycleState != CycleState::Idle || state.Mycall[0] == '\0') return 0;
    channel.PrevMin = channel.LastMin;
    channel.PrevHour = channel.LastHour;
    channel.LastMin = now.tm_min;
    channel.LastHour = now.tm_hour;
    channel.LastConDay = now.tm_mday;
    channel.LastConMonth = now.tm_mon + 1;
    channel.LastConYear = now.tm_year % 100;
    channel.CycleState = CycleState::CallRequested;
    return 1;
}

void MinuteTick(AppState& state, PlatformPort& port, int immediate) {
    const std::tm now = port.localTime();
    if (immediate) {
        if (state.CurrentChannel < 0 || state.CurrentChannel >= kChannelCount) return;
        ChannelRecord& c = state.ChannelTable[state.CurrentChannel];
        c.MinuteCount = 0;
        ScheduleCall(state, c, now);
        return;
    }
    for (ChannelRecord& c : state.ChannelTable) {
        if (c.MinutenIntervall == 0) c.MinutenIntervall = 1;
        ++c.MinuteCount;
        // Equality is all that can happen (every interval change restarts
        // the count); >= keeps a channel from falling silent should a
        // change ever slip past that rule.
        if (c.MinuteCount >= c.MinutenIntervall) {
            ScheduleCall(state, c, now);
            c.MinuteCount = 0;
        }
    }
}

void CycleStep(AppState& state, PlatformPort& port, int channel) {
    ChannelRecord& c = state.ChannelTable[channel];
    Layer2& l2 = port.l2();
    switch (c.CycleState) {
        case CycleState::Idle:
            break;
        case CycleState::CallRequested:
            StepCallRequested(state, l2, c, channel);
            break;
        case CycleState::Connecting:
            StepConnecting(state, l2, c, channel);
            break;
        case CycleState::SendCommand:
            StepSendCommand(state, l2, c, channel);
            break;
        case CycleState::AwaitPrompt:
        case CycleState::CollectReply:
            StepReadReply(state, l2, c, channel);
            break;
        case CycleState::ReplyComplete:
            c.CycleState = CycleState::StoreReply;
            break;
        case CycleState::CallFailed:
            StepCallFailed(state, port, c, channel);
            break;
        case CycleState::ReplyOverflow:
            c.CycleState = CycleState::CallFailed;
            StepCallFailed(state, port, c, channel);
            break;
        case CycleState::StoreReply:
            StepStoreReply(state, port, c, channel);
            break;
        case CycleState::Disconnect:
            StepDisconnect(l2, c);
            break;
        case CycleState::AwaitDisconnect:
            c.L2State = LinkStateOf(l2, c.L2Channel);
            if (c.L2State < kL2SettingUp) c.CycleState = CycleState::Idle;
            break;
    }
}

void CycleTick(AppState& state, PlatformPort& port) {
    for (int channel = 0; channel < kChannelCount; ++channel) {
        // A channel whose step is still running further up the stack (a
        // notice raised while recording runs a nested loop) is left alone:
        // its call must neither be stored twice nor moved on under it.
        if (state.CycleBusy[channel]) continue;
        state.CycleBusy[channel] = 1;
        CycleStep(state, port, channel);
        state.CycleBusy[channel] = 0;
    }
}
