#include "view/display_switches.h"

#include "core/platform_port.h"
#include "view/diagram_navigation.h"
#include "view/status_texts.h"

namespace {

constexpr int AppState::*kSwitchFields[kDisplaySwitchCount] = {
    &AppState::qty,     &AppState::time,      &AppState::bytes,     &AppState::Balken,   &AppState::one_yzoom,
    &AppState::showqty, &AppState::showtxtim, &AppState::showrxtim, &AppState::showtkby, &AppState::showrkby,
};

}  // namespace

void CopyDisplaySwitches(const AppState& state, DisplaySwitchCopies& copies) {
    for (int i = 0; i < kDisplaySwitchCount; ++i) copies.Values[i] = state.*kSwitchFields[i];
}

void ApplyDisplaySwitches(AppState& state, PlatformPort& port, const DisplaySwitchCopies& copies) {
    for (int i = 0; i < kDisplaySwitchCount; ++i) state.*kSwitchFields[i] = copies.Values[i];
    if (state.one_yzoom) {
        const ChannelRecord& current = state.ChannelTable[state.CurrentChannel];
        ApplyYZoomToAll(state, current.YZoomStep, current.YScale);
        ShowYZoom(port, current.YZoomStep, current.YScale);
    }
    port.repaint(false);
}
