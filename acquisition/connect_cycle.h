// The connect cycle: when each channel calls its digipeater, and the
// per-channel state machine that carries one call through connect, command,
// reply collection, recording and disconnect.
//
// Threading: GUI thread only; re-entered from nested loops (a notice shown
// inside a step may dispatch further ticks).
#pragma once

#include <ctime>

#include "shell/channel_table.h"

struct PlatformPort;

enum class CycleState : unsigned char {
    Idle = 0,
    CallRequested = 1,
    Connecting = 2,
    SendCommand = 3,
    AwaitPrompt = 4,
    CollectReply = 5,
    ReplyComplete = 6,
    CallFailed = 7,
    ReplyOverflow = 8,
    StoreReply = 9,
    Disconnect = 10,
    AwaitDisconnect = 11,
};

constexpr int kReadingTickLimit = 180;

// Timer 1: `immediate` nonzero for the channel dialog's call request.
void MinuteTick(AppState& state, PlatformPort& port, int immediate);
// Starts a call on one channel if allowed; returns 1 when it did.
int ScheduleCall(const AppState& state, ChannelRecord& channel, const std::tm& now);
// Timer 2: one step of each channel, 0..3.
void CycleTick(AppState& state, PlatformPort& port);
