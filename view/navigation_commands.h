// The toolbar's diagram commands in one table: each command's id, the rule
// by which the toolbar enables its button, and what it does. The toolbar
// asks the rules on every repaint; the main window and the web pages run
// the commands by id.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

struct NavigationCommand {
    int Id;
    // Whether the button is enabled; null for the grid's check button,
    // which the user alone switches.
    int (*CanRun)(const AppState& state);
    // Ends with a repaint request; a command that cannot move changes
    // nothing and requests nothing. The link, the marker and the diagram
    // also move without a report or records on show (a web page may ask for
    // any), and the Y zoom goes round from its last step to its first.
    void (*Run)(AppState& state, PlatformPort& port);
};

constexpr int kNavigationCommandCount = 13;

// In the order the toolbar updates its buttons.
extern const NavigationCommand NavigationCommands[kNavigationCommandCount];

// Runs the command with this id; 0 for an id that is not one (the check
// buttons 40015 and 40020 included).
int RunNavigationCommand(AppState& state, PlatformPort& port, int commandId);
