// The whole program run: options, then the desktop window or the headless
// service, each through the same program entry and shut-down sequence.
//
// Threading: the main thread.
#pragma once

// Exit code 0 after an orderly run or an early exit the user was told about,
// 2 for a command line that cannot be used.
int RunProgram(int argc, char** argv);

// Registers the toolbar strip and the other resources of the shell library.
void InitShellResources();
