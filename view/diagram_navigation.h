// Moving through the diagram: the all-or-nothing shifts, the Y zoom shared by
// all channels, the marker put on a clicked record, and the steps of
// right-button scrolling (the toolbar's commands are in navigation_commands).
// Every change ends with a repaint request through the port; a move whose
// condition fails changes nothing and requests nothing.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr int kFastScrollStep = 40;
constexpr int kSlowScrollStep = 4;
constexpr int kRightHoldStepMs = 21;  // more than 20 ms between steps
constexpr int kMaxXZoom = 20;

// The diagram moves left (newer records come into view) / right (older) by
// the channel's scroll step; 1 when it moved.
int CanShiftDiagramLeft(const ChannelRecord& c);
int CanShiftDiagramRight(const ChannelRecord& c);
int ShiftDiagramLeft(AppState& state, PlatformPort& port, int channel);
int ShiftDiagramRight(AppState& state, PlatformPort& port, int channel);

// Every channel gets the same vertical zoom.
void ApplyYZoomToAll(AppState& state, int yZoomStep, int yScale);

// Left click at client (x, y): the marker goes to the record drawn at or
// left of the click; 1 when it did.
int PutMarkerAtClick(AppState& state, PlatformPort& port, int clientWidth, int clientHeight, int baseUnitX,
                     int baseUnitY, int x, int y);

// Every channel shown up to its newest record with the marker on it, at
// the largest X zoom (1..20) at which the longest history fits whole in the
// plot of a window at its first size (81 x 32 base units), less room at the
// right for the curve labels at the marker. A history too long for zoom 1
// shows its newest part. For a demonstration, whose first picture should be
// all the recorded days up to now.
void ShowHistoriesUpToNow(AppState& state, int baseUnitX, int baseUnitY);

// Right-button scrolling: the direction is fixed by the press point, the
// channel's ScrollStep is 4 (40 with FastScroll) during the hold and is
// restored at release.
struct RightHold {
    int Active;
    int Newer;  // 1: right half, towards newer records
    int SavedStep;
    int Channel;
};
// 0 (and nothing changes) when the press is outside the plot.
int BeginRightHold(AppState& state, PlatformPort& port, int clientWidth, int clientHeight, int x, int y,
                   RightHold& hold);
// One step; 1 when the diagram moved.
int RightHoldStep(AppState& state, PlatformPort& port, const RightHold& hold);
void EndRightHold(AppState& state, RightHold& hold);
