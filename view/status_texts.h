// The seven-field status bar: field widths that follow from label texts in
// units of the average character width, the right edges laid out from the
// client width on every resize, and the texts of the cycle state and of the
// two zoom values.
//
// Field 0 (no border) takes what the six fixed fields leave: cycle status.
// Field 1 (raised) marker time; 2 XZoom; 3 YZoom; 4 T/Rkby; 5 Qty; 6 Time.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

struct PlatformPort;

constexpr int kStatusFieldCount = 7;
constexpr int kStatusTextSize = 64;
constexpr const char* kInitialStatusText = "Bereit";

enum StatusField : int {
    kFieldCycle = 0,
    kFieldMarkerTime = 1,
    kFieldXZoom = 2,
    kFieldYZoom = 3,
    kFieldKbytes = 4,
    kFieldQty = 5,
    kFieldTime = 6,
};

// The texts whose lengths size the fields, from the left-most sized text on.
extern const char* const StatusFieldLabels[kStatusFieldCount];

// Running sum of u x length(label i), stored as width n-1-i: widths[0] is the
// distance of field 0's right edge from the right end (65 u), widths[6] = 0.
void ComputeStatusFieldWidths(int count, const char* const* labels, int baseUnitX, int* widths);

// Right edge of field k = clientRight - widths[k]. Not clamped: a window
// narrower than field 0's distance gives field 0 an edge below zero.
void LayoutStatusFields(int clientRight, int count, const int* widths, int* edges);

// Widens each field k >= 1 whose text needs more than its width
// (needed[k], pixels) by moving the edges left of it, taking the room from
// field 0 and never more than field 0 has; a text that fits leaves every
// edge where it was.
void FitStatusFields(int count, const int* needed, int* edges);

// Writes the text of the channel's cycle state into field 0; states without
// a text of their own (6, 9, 10, 11) leave the field as it is.
void ShowCycleStatus(const AppState& state, PlatformPort& port, int channel);
// "XZoom: %d" into field 2.
void ShowXZoom(PlatformPort& port, int xZoom);
// "YZoom: 0,%d" when the decade factor is 10, else "YZoom: %d", into field 3.
void ShowYZoom(PlatformPort& port, int yZoomStep, int yScale);
