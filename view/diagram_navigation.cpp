#include "view/diagram_navigation.h"

#include <cstdint>

#include "core/platform_port.h"
#include "view/diagram_geometry.h"
#include "view/toolbar_rules.h"

namespace {

constexpr int kCurveLabelRoom = 5;  // characters of the longest curve label

constexpr bool kNoErase = false;

}  // namespace

// Computed wide so that no counter combination can overflow.
int CanShiftDiagramLeft(const ChannelRecord& c) {
    return static_cast<long long>(c.ScrollOffset) + c.ScrollStep < static_cast<long long>(c.RecordCount) - 1;
}

int CanShiftDiagramRight(const ChannelRecord& c) {
    return static_cast<long long>(c.ScrollOffset) - c.ScrollStep >= 0;
}

int ShiftDiagramLeft(AppState& state, PlatformPort& port, int channel) {
    ChannelRecord& c = state.ChannelTable[channel];
    if (!CanShiftDiagramLeft(c)) return 0;
    c.ScrollOffset += c.ScrollStep;
    if (port.isButtonChecked(kCmdHoldMarker) && c.MarkerOffset - c.ScrollStep >= 0)
        c.MarkerOffset -= c.ScrollStep;
    if (c.MarkerOffset > c.RecordCount - c.ScrollOffset - 1)
        c.MarkerOffset = c.RecordCount - c.ScrollOffset - 1;
    port.repaint(kNoErase);
    return 1;
}

int ShiftDiagramRight(AppState& state, PlatformPort& port, int channel) {
    ChannelRecord& c = state.ChannelTable[channel];
    if (!CanShiftDiagramRight(c)) return 0;
    c.ScrollOffset -= c.ScrollStep;
    if (port.isButtonChecked(kCmdHoldMarker)) c.MarkerOffset += c.ScrollStep;
    port.repaint(kNoErase);
    return 1;
}

void ApplyYZoomToAll(AppState& state, int yZoomStep, int yScale) {
    for (ChannelRecord& c : state.ChannelTable) {
        c.YZoomStep = yZoomStep;
        c.YScale = yScale;
    }
}

int PutMarkerAtClick(AppState& state, PlatformPort& port, int clientWidth, int clientHeight, int baseUnitX,
                     int baseUnitY, int x, int y) {
    ChannelRecord& c = state.ChannelTable[state.CurrentChannel];
    if (!IsInPlot(clientWidth, clientHeight, x, y) || c.RecordCount <= 0 || state.XZoom <= 0) return 0;
    const DiagramMapping mapping = SetupDiagramMapping(clientWidth, clientHeight, baseUnitX, baseUnitY);
    const long long xL = mapping.ToLogicalX(x);
    long long k = xL / state.XZoom;
    // Where records lie closer than a pixel, rounding can point one column
    // off: settle on the newest record drawn at or left of the click.
    if (k >= 0) {
        while (mapping.ToDeviceX((k + 1) * state.XZoom) <= x && k < c.RecordCount) ++k;
        while (k > 0 && mapping.ToDeviceX(k * state.XZoom) > x) --k;
    }
    long long offset = static_cast<long long>(c.RecordCount) - 1 - c.ScrollOffset - k;
    if (offset <= 0) offset = 0;
    if (offset >= static_cast<long long>(c.RecordCount) - c.ScrollOffset - 1) {
        offset = static_cast<long long>(c.RecordCount) - c.ScrollOffset - 1;
    }
    c.MarkerOffset = static_cast<int>(offset);
    port.repaint(kNoErase);
    return 1;
}

int BeginRightHold(AppState& state, PlatformPort& port, int clientWidth, int clientHeight, int x, int y,
                   RightHold& hold) {
    hold = RightHold{};
    if (!IsInPlot(clientWidth, clientHeight, x, y)) return 0;
    hold.Active = 1;
    hold.Newer = x > clientWidth / 2;
    hold.Channel = state.CurrentChannel;
    ChannelRecord& c = state.ChannelTable[hold.Channel];
    hold.SavedStep = c.ScrollStep;
    c.ScrollStep = port.isButtonChecked(kCmdFastScroll) ? kFastScrollStep : kSlowScrollStep;
    return 1;
}

int RightHoldStep(AppState& state, PlatformPort& port, const RightHold& hold) {
    if (!hold.Active) return 0;
    return hold.Newer ? ShiftDiagramLeft(state, port, state.CurrentChannel)
                      : ShiftDiagramRight(state, port, state.CurrentChannel);
}

void EndRightHold(AppState& state, RightHold& hold) {
    if (!hold.Active) return;
    state.ChannelTable[hold.Channel].ScrollStep = hold.SavedStep;
    hold.Active = 0;
}

void ShowHistoriesUpToNow(AppState& state, int baseUnitX, int baseUnitY) {
    const int width = kFirstWindowUnitsX * baseUnitX;
    const int height = kFirstWindowUnitsY * baseUnitY;
    // The newest record stands far enough left of the frame for the curve
    // labels at the marker ("TxTIM", five characters) to be drawn.
    const PlotRect plot = PlotRectFor(width, height);
    const int room =
        SetupDiagramMapping(width, height, baseUnitX, baseUnitY)
            .ToLogicalX(static_cast<std::int64_t>(plot.right) - 1 - kCurveLabelRoom * baseUnitX) -
        1;
    int longest = 0;
    for (const ChannelRecord& c : state.ChannelTable) {
        if (c.RecordCount > longest) longest = c.RecordCount;
    }
    // The largest zoom at which the whole of the longest history is in view:
    // every recorded day up to the newest call. A history longer than the
    // plot is wide shows its newest part at zoom 1.
    int zoom = longest > 1 ? room / (longest - 1) : kMaxXZoom;
    if (zoom > kMaxXZoom) zoom = kMaxXZoom;
    if (zoom < 1) zoom = 1;
    state.XZoom = zoom;
    for (ChannelRecord& c : state.ChannelTable) {
        const int first = c.RecordCount - 1 - room / zoom;
        c.ScrollOffset = first > 0 ? first : 0;
        c.MarkerOffset = 0;
    }
}
