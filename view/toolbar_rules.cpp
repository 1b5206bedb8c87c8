// The toolbar table, its tooltips and the enabling of its buttons by the
// rules of the navigation commands. The table is kept as button records so
// that a reader can check it entry by entry; the Qt shell turns it into
// actions.
#include "view/toolbar_rules.h"

#include <cstdio>

#include "core/platform_port.h"
#include "view/navigation_commands.h"

namespace {

constexpr ToolbarButton Separator() {
    return ToolbarButton{0, 0, kButtonStyleSeparator};
}
constexpr ToolbarButton Button(int image, int id) {
    return ToolbarButton{image, id, kButtonStyleButton};
}
constexpr ToolbarButton Check(int image, int id) {
    return ToolbarButton{image, id, kButtonStyleCheck};
}

struct TooltipEntry {
    int CommandId;
    const char* Text;
};

// Ids 40001..40020 that have a text; the rest of that range and every other
// id read "Unknown". 40015 is answered by its check state.
constexpr TooltipEntry kTooltips[] = {
    {kCmdPreviousLink, "Previous Link"},
    {kCmdNextLink, "Next Link"},
    {kCmdExpandYAxis, "Expand Y-Axis"},
    {kCmdShrinkYAxis, "Shrink Y-Axis"},
    {kCmdShiftMarkerLeft, "Shift Marker Left"},
    {kCmdShiftMarkerRight, "Shift Marker Right"},
    {kCmdShrinkXAxis, "Shrink X-Axis"},
    {kCmdExpandXAxis, "Expand X-Axis"},
    {kCmdShiftDiagramLeft, "Shift Diagram Left"},
    {kCmdShiftDiagramRight, "Shift Diagram Right"},
    {kCmdGrid, "Grid ON/OFF"},
    {kCmdPreviousDigipeater, "Previous Digipeater"},
    {kCmdNextDigipeater, "Next Digipeater"},
    {kCmdFastScroll, "Slow/Fast Scroll with Right Mouse Button"},
};

}  // namespace

const ToolbarButton ToolbarButtons[kToolbarEntryCount] = {
    Separator(),
    Separator(),
    Button(0, kCmdPreviousLink),  // blue triple-line arrow pointing left
    Button(1, kCmdNextLink),      // blue triple-line arrow pointing right
    Separator(),
    Button(2, kCmdExpandYAxis),  // magnifier, plus, over a vertical axis
    Button(3, kCmdShrinkYAxis),  // magnifier, minus, over a vertical axis
    Separator(),
    Button(4, kCmdShiftMarkerLeft),   // left arrow between a bar and a dashed frame
    Button(5, kCmdShiftMarkerRight),  // right arrow between a dashed frame and a bar
    Separator(),
    Button(6, kCmdShrinkXAxis),  // magnifier, minus, over a horizontal axis
    Button(7, kCmdExpandXAxis),  // magnifier, plus, over a horizontal axis
    Separator(),
    Button(8, kCmdShiftDiagramLeft),   // left arrow above a small curve diagram
    Button(9, kCmdShiftDiagramRight),  // right arrow above a small curve diagram
    Separator(),
    Check(10, kCmdHoldMarker),  // two arrows pointing at a dashed marker line
    Separator(),
    Check(11, kCmdGrid),  // horizontal grid lines in a frame
    Separator(),
    Check(12, kCmdFastScroll),  // mouse, left and right arrows, "fast"
    Separator(),
    Button(13, kCmdPreviousDigipeater),  // stacked windows with a left arrow
    Button(14, kCmdNextDigipeater),      // stacked windows with a right arrow
};

int ToolbarTooltipText(PlatformPort& port, int commandId, char* text, int size) {
    const char* chosen = "Unknown";
    if (commandId == kCmdHoldMarker) {
        chosen = port.isButtonChecked(kCmdHoldMarker) ? "Hold Marker on Graphic Position"
                                                      : "Hold Marker on Screen Position";
    } else {
        for (const TooltipEntry& entry : kTooltips) {
            if (entry.CommandId == commandId) {
                chosen = entry.Text;
                break;
            }
        }
    }
    if (size > 0) {
        std::snprintf(text, static_cast<std::size_t>(size), "%s", chosen);
    }
    return 0;
}

void UpdateToolbarButtons(const AppState& state, PlatformPort& port) {
    for (const NavigationCommand& command : NavigationCommands) {
        if (command.CanRun == nullptr) continue;
        const int enable = command.CanRun(state);
        if (port.isButtonEnabled(command.Id) && enable) continue;
        port.enableButton(command.Id, enable);
    }
}
