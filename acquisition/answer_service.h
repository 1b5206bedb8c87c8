// The answering service: greets stations that connect to the operator's own
// call and sends them the answer text, one caller at a time.
//
// Threading: GUI thread only, inside the second tick.
#pragma once

#include "shell/channel_table.h"

struct PlatformPort;

constexpr const char* kProgramVersion = "2.34";
constexpr const char* kGreetingFormat = "Hopwatch V %s link data acquisition!\n";
constexpr const char* kAnswerFileName = "hopwansw.txt";

void AnswerTick(AppState& state, PlatformPort& port);
// Closes a file still open at exit.
void StopAnswerService(AppState& state);
