// The answer text as the operator edits it: the greeting line shown above
// it, the text loaded byte for byte, the line rules checked on Accept, and
// the save, which replaces the file atomically so that a failed save never
// leaves a half-written answer for the next caller.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr int kAnswerLoadBytes = 999;  // the editor shows at most this much of the file
constexpr int kAnswerSaveChars = 998;  // Accept takes at most this much of the editor
constexpr int kAnswerLineChars = 80;   // longest line, line end not counted
constexpr int kAnswerTextSize = 1024;  // 999 bytes + NUL, or 998 + CR LF + NUL
constexpr const char* kAnswerLineFormat = "Lines must not have more than %d characters!";

// The greeting as callers receive it, without its final LF.
void AnswerGreetingLine(char* out, int size);
// The first 999 bytes of the answer file, NUL-terminated, no line-end
// translation; "" when the file cannot be opened. Returns the byte count.
int LoadAnswerText(const AppState& state, char* text, int size);

// Accept: the first 998 characters of `edited`, CR LF
// appended unless the text's second-to-last character is CR or its last is
// LF (an empty text becomes CR LF), then the line check: every line at most
// 80 characters and at least one CR. Returns 1 with the text to save in
// `text`, or 0 when the lines fail.
int PrepareAnswerText(const char* edited, char* text, int size);
// Replaces the answer file with `text` (WriteFileAtomically). 0 when it
// failed; the old file is then as it was and the reason has been logged.
int SaveAnswerText(const AppState& state, PlatformPort& port, const char* text);
