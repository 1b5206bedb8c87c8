// The ten display switches as the graphics dialog edits them: working copies
// taken when it opens and applied all at once by its Ok.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

enum DisplaySwitch : int {
    kSwitchQty,
    kSwitchTime,
    kSwitchBytes,
    kSwitchBalken,
    kSwitchOneYZoom,
    kSwitchShowQty,
    kSwitchShowTxTim,
    kSwitchShowRxTim,
    kSwitchShowTkby,
    kSwitchShowRkby,
    kDisplaySwitchCount
};

struct DisplaySwitchCopies {
    int Values[kDisplaySwitchCount];  // as stored; a check box shows 1 as checked
};

void CopyDisplaySwitches(const AppState& state, DisplaySwitchCopies& copies);
// Ok: the copies become the switches; with the shared Y zoom on, the zoom of
// the channel on screen goes to all four channels and the status bar says
// so; then the diagram is redrawn (without erase).
void ApplyDisplaySwitches(AppState& state, PlatformPort& port, const DisplaySwitchCopies& copies);
