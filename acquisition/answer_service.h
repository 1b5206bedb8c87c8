// The answering service: greets stations that connect to the operator's own
// call and sends them the answer text, one caller at a time.
//
// Threading: GUI thread only, inside the second tick.
#pragma once

#include "core/app_state.h"
#include "core/program_names.h"

struct PlatformPort;

constexpr const char* kGreetingFormat = "Hopwatch V %s link data acquisition!\n";
constexpr const char* kAnswerFileName = "hopwansw.txt";

constexpr int kAnswerGreetingSpace = 256;  // transmit space asked for the greeting
constexpr int kAnswerLineSpace = 100;      // transmit space asked per answer line
constexpr int kAnswerPieceChars = 98;      // longest piece of a line sent at once

// Where the answer text lives: DataDir/hopwansw.txt, or the bare name in the
// working directory when DataDir is empty. kAnswerPathSize holds any DataDir
// with the name.
constexpr int kAnswerPathSize = 4200;
void AnswerFilePath(const AppState& state, char* path, int pathSize);

// One step of the service, run first in every second tick.
void AnswerTick(AppState& state, PlatformPort& port);
// Closes a file still open at exit.
void StopAnswerService(AppState& state);
