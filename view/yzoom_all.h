// The shared Y zoom: with "Same YZoom for each channel" on, a zoom change of
// the channel on screen is given to all four channels.
//
// Threading: GUI thread only.
#pragma once

#include "core/app_state.h"

// Sets YZoomStep and YScale of all four channels to the given pair.
void ApplyYZoomToAll(AppState& state, int yZoomStep, int yScale);
