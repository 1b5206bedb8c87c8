// The connect cycle: when each channel calls its digipeater, and the
// per-channel state machine that carries one call through connect, command,
// reply collection, recording and disconnect.
//
// Threading: GUI thread only; re-entered from nested loops (a notice shown
// inside a step may dispatch further ticks).
#pragma once

#include <ctime>

#include "core/app_state.h"
#include "core/cycle_state.h"
#include "core/program_names.h"

struct PlatformPort;

constexpr int kConnectTickLimit = 300;  // ticks a connect may stay unreported (state 2)
constexpr int kReadingTickLimit = 180;  // reading ticks of one call (states 4 and 5)
constexpr int kMaxReplyLines = 19;      // heading, 17 links, prompt
constexpr int kFramesPerTick = 64;      // frames one tick takes from a channel
constexpr int kNullFramesPerTick = 64;  // empty answers one tick puts up with
constexpr const char* kCommandText = "p\n\n";
constexpr int kCommandSpace = 256;  // transmit space asked for the command

// The minute tick: counts each channel's interval and starts its call when
// due; `immediate` nonzero calls the current channel at once instead (the
// channel dialog's call request).
void MinuteTick(AppState& state, PlatformPort& port, int immediate);
// Starts a call on one channel if allowed; returns 1 when it did.
int ScheduleCall(const AppState& state, ChannelRecord& channel, const std::tm& now);
// The second tick: one step of each channel, 0..3.
void CycleTick(AppState& state, PlatformPort& port);
// One step of one channel (what CycleTick runs for each).
void CycleStep(AppState& state, PlatformPort& port, int channel);

// Ends a stored reply line: LF and NUL behind its first CR among positions
// 0..97, or LF at 98 and NUL at 99 when there is none (the line is cut).
void TerminateReplyLine(char* slot);
