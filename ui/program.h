// The whole program run: options, then the desktop window or the headless
// service, each through the same program entry and shut-down sequence.
//
// Threading: the main thread.
#pragma once

// Exit code 0 after an orderly run (and after --help or --version), 1 for a
// start that did not come up (no display, another instance, no stack, a demo
// that could not be prepared; the user has been told why), 2 for a command
// line that cannot be used.
int RunProgram(int argc, char** argv);

// Registers the toolbar strip and the other resources of the shell library.
void InitShellResources();
