#include "view/navigation_commands.h"

#include "core/platform_port.h"
#include "view/diagram_navigation.h"
#include "view/status_texts.h"
#include "view/toolbar_rules.h"

namespace {

// The vertical zoom: steps 1..kMaxYZoomStep within a scale of 1 or 10.
constexpr int kMaxYZoomStep = 6;
constexpr int kMinYScale = 1;
constexpr int kMaxYScale = 10;

constexpr bool kErase = true;
constexpr bool kNoErase = false;

template <class State>
auto& Shown(State& state) {
    return state.ChannelTable[state.CurrentChannel];
}

// A command that moves one step when its condition holds.
template <int (*Can)(const AppState&), void (*Step)(AppState&, PlatformPort&, int), int By>
void Guarded(AppState& state, PlatformPort& port) {
    if (Can(state)) Step(state, port, By);
}

int CanNextDigipeater(const AppState& state) {
    return state.CurrentChannel < kChannelCount - 1;
}
int CanPreviousDigipeater(const AppState& state) {
    return state.CurrentChannel > 0;
}
void StepChannel(AppState& state, PlatformPort& port, int by) {
    state.CurrentChannel += by;
    const ChannelRecord& c = Shown(state);
    ShowYZoom(port, c.YZoomStep, c.YScale);
    port.repaint(kErase);
}

// The links of the records on show, not the lines of a reply still being
// collected: a call in progress leaves the link buttons alone, and an
// enabled button works meanwhile.
int CanNextLink(const AppState& state) {
    const ChannelRecord& c = Shown(state);
    return c.RestoreLineCount > 0 && static_cast<long long>(c.LinkIndex) + 2 < c.RestoreLineCount;
}
int HasEarlierLink(const AppState& state) {
    return Shown(state).LinkIndex > 1;
}
void StepLink(AppState& state, PlatformPort& port, int by) {
    Shown(state).LinkIndex += by;
    port.repaint(kErase);
}

int CanExpandYAxis(const AppState& state) {
    return !(Shown(state).YZoomStep >= kMaxYZoomStep && Shown(state).YScale <= kMinYScale);
}
int CanShrinkYAxis(const AppState& state) {
    return !(Shown(state).YZoomStep <= 1 && Shown(state).YScale >= kMaxYScale);
}
void YZoomFollowUp(AppState& state, PlatformPort& port) {
    const ChannelRecord& c = Shown(state);
    if (state.one_yzoom == 1) ApplyYZoomToAll(state, c.YZoomStep, c.YScale);
    ShowYZoom(port, c.YZoomStep, c.YScale);
    port.repaint(kErase);
}
void ExpandYAxis(AppState& state, PlatformPort& port) {
    ChannelRecord& c = Shown(state);
    if (c.YZoomStep < kMaxYZoomStep) {
        ++c.YZoomStep;
    } else {
        c.YZoomStep = 1;
        c.YScale = c.YScale / 10 < kMinYScale ? kMinYScale : c.YScale / 10;
    }
    YZoomFollowUp(state, port);
}
void ShrinkYAxis(AppState& state, PlatformPort& port) {
    ChannelRecord& c = Shown(state);
    if (c.YZoomStep > 1) {
        --c.YZoomStep;
    } else {
        c.YZoomStep = kMaxYZoomStep;
        c.YScale = c.YScale * 10 > kMaxYScale ? kMaxYScale : c.YScale * 10;
    }
    YZoomFollowUp(state, port);
}

// Computed wide so that no counter combination can overflow.
int CanShiftMarkerLeft(const AppState& state) {
    const ChannelRecord& c = Shown(state);
    const long long visible = static_cast<long long>(c.RecordCount) - c.ScrollOffset;
    return visible > 0 && c.MarkerOffset < visible - 1;
}
int HasNewerMarkerPlace(const AppState& state) {
    return Shown(state).MarkerOffset > 0;
}
void StepMarker(AppState& state, PlatformPort& port, int by) {
    Shown(state).MarkerOffset += by;
    port.repaint(kNoErase);
}

int CanExpandXAxis(const AppState& state) {
    return state.XZoom < kMaxXZoom;
}
int CanShrinkXAxis(const AppState& state) {
    return state.XZoom > 1;
}
void StepXZoom(AppState& state, PlatformPort& port, int by) {
    state.XZoom += by;
    ShowXZoom(port, state.XZoom);
    port.repaint(kNoErase);
}

}  // namespace

const NavigationCommand NavigationCommands[kNavigationCommandCount] = {
    {kCmdNextDigipeater, CanNextDigipeater, Guarded<CanNextDigipeater, StepChannel, 1>},
    {kCmdPreviousDigipeater, CanPreviousDigipeater, Guarded<CanPreviousDigipeater, StepChannel, -1>},
    {kCmdNextLink, CanNextLink, Guarded<CanNextLink, StepLink, 1>},
    {kCmdPreviousLink,
     [](const AppState& s) -> int { return Shown(s).RestoreLineCount > 0 && HasEarlierLink(s); },
     Guarded<HasEarlierLink, StepLink, -1>},
    {kCmdExpandYAxis, CanExpandYAxis, ExpandYAxis},
    {kCmdShrinkYAxis, CanShrinkYAxis, ShrinkYAxis},
    {kCmdShiftMarkerLeft, CanShiftMarkerLeft, Guarded<CanShiftMarkerLeft, StepMarker, 1>},
    {kCmdShiftMarkerRight,
     [](const AppState& s) -> int { return Shown(s).RecordCount > 0 && HasNewerMarkerPlace(s); },
     Guarded<HasNewerMarkerPlace, StepMarker, -1>},
    {kCmdExpandXAxis, CanExpandXAxis, Guarded<CanExpandXAxis, StepXZoom, 1>},
    {kCmdShrinkXAxis, CanShrinkXAxis, Guarded<CanShrinkXAxis, StepXZoom, -1>},
    {kCmdShiftDiagramLeft,
     [](const AppState& s) -> int { return Shown(s).RecordCount > 0 && CanShiftDiagramLeft(Shown(s)); },
     [](AppState& s, PlatformPort& p) { ShiftDiagramLeft(s, p, s.CurrentChannel); }},
    {kCmdShiftDiagramRight,
     [](const AppState& s) -> int { return Shown(s).RecordCount > 0 && CanShiftDiagramRight(Shown(s)); },
     [](AppState& s, PlatformPort& p) { ShiftDiagramRight(s, p, s.CurrentChannel); }},
    {kCmdGrid, nullptr, [](AppState&, PlatformPort& p) { p.repaint(kNoErase); }},
};

int RunNavigationCommand(AppState& state, PlatformPort& port, int commandId) {
    for (const NavigationCommand& command : NavigationCommands) {
        if (command.Id != commandId) continue;
        command.Run(state, port);
        return 1;
    }
    return 0;
}
