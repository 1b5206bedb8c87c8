// The navigation toolbar of the main window: the constant table of its 25
// entries (fifteen buttons and ten separators) as 20-byte button records
// (image, command id, state, style, two reserved bytes, data, string index),
// the tooltip texts, and the enabling of each push button on every repaint
// by its command's rule. Images come from one strip of fifteen 24 x 23 pictures;
// entry k of the strip starts at x = 24 k.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>

#include "core/app_state.h"

struct PlatformPort;

constexpr int kToolbarEntryCount = 25;
constexpr int kToolbarImageCount = 15;
constexpr int kToolbarImageWidth = 24;
constexpr int kToolbarImageHeight = 23;
constexpr int kTooltipTextSize = 80;  // the tooltip request's buffer

// Button styles.
constexpr std::uint8_t kButtonStyleButton = 0;
constexpr std::uint8_t kButtonStyleSeparator = 1;
constexpr std::uint8_t kButtonStyleCheck = 2;

// Command ids of the toolbar.
enum ToolbarCommand : int {
    kCmdPreviousLink = 40001,
    kCmdNextLink = 40003,
    kCmdExpandYAxis = 40006,
    kCmdShrinkYAxis = 40007,
    kCmdShiftMarkerLeft = 40008,
    kCmdShiftMarkerRight = 40009,
    kCmdShrinkXAxis = 40010,
    kCmdExpandXAxis = 40011,
    kCmdShiftDiagramLeft = 40012,
    kCmdShiftDiagramRight = 40013,
    kCmdHoldMarker = 40015,
    kCmdGrid = 40016,
    kCmdPreviousDigipeater = 40018,
    kCmdNextDigipeater = 40019,
    kCmdFastScroll = 40020,
};

// One toolbar entry: a 20-byte button record.
struct ToolbarButton {
    std::int32_t Image;      // index into the strip; 0 for a separator
    std::int32_t CommandId;  // 0 for a separator
    std::uint8_t Style;      // kButtonStyleButton, ...Separator or ...Check
};

// Left to right.
extern const ToolbarButton ToolbarButtons[kToolbarEntryCount];

// Writes the tooltip of a button into `text` (at most size-1 characters,
// NUL-terminated): the table text, "Unknown" for ids without one; the hold
// marker button says which way it holds by its check state. Returns 0, as
// the tooltip request's handler does.
int ToolbarTooltipText(PlatformPort& port, int commandId, char* text, int size);

// Brings the enabled state of the twelve push buttons in line with their
// commands' rules (navigation_commands.h), asking each button first so that a button that is and
// stays enabled is not touched (no toolbar redraw on an ordinary repaint).
void UpdateToolbarButtons(const AppState& state, PlatformPort& port);
