// The names the program shows of itself: its version, as callers are greeted
// with it, the size prompt names it and --version prints it; the caption of
// its own boxes and the name of its main window.
#pragma once

constexpr const char* kProgramVersion = "2.34";
constexpr const char* kMainCaption = "hopwin";
