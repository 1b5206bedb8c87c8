// What one paint of the diagram draws, decided without a window: the title,
// the marker with its curve labels and the four readout texts, the line at
// the newest record, the Y axis, the link-usage strip and the five curves,
// as plain items in device pixels that a painter executes in order (later
// items over earlier ones). The state changes a paint needs (the LinkIndex
// clamp, the hold-marker rule) run before the plan is built.
//
// The curves live in the six point buffers (view/curve_memory.h), committed
// while the plan is built and drawn; FinishDiagramPaint gives them back.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>

#include "core/app_state.h"
#include "view/curve_memory.h"
#include "view/diagram_geometry.h"
#include "view/status_texts.h"

struct PlatformPort;

struct PlanColour {
    std::uint8_t R, G, B;
};

enum class PlanOp : int {
    FillRect,    // X0,Y0 .. X1,Y1 exclusive
    FrameRect,   // one-pixel frame on the inner edge of X0,Y0 .. X1,Y1
    Line,        // solid one-pixel line X0,Y0 to X1,Y1
    DottedLine,  // dotted one-pixel line X0,Y0 to X1,Y1
    Polyline,    // Count device points of curve Series
    Text,        // Text at X0,Y0 with Align
    UsageBar,    // the bar segments of the plan
};

enum PlanAlign : int {
    kAlignLeftTop = 0,
    kAlignLeftBaseline = 1,
    kAlignRightTop = 2,
};

enum PlanFont : int {
    kPlanFontWindow = 0,
    kPlanFontYLabel = 1,
};

constexpr int kPlanTextSize = 64;
constexpr int kMaxPlanItems = 512;

struct PlanItem {
    PlanOp Op;
    PlanColour Colour;
    int X0, Y0, X1, Y1;
    int Align;
    int Series;
    int Count;
    int Font;  // of a Text: kPlanFontWindow, or kPlanFontYLabel (the painter's fitted label font)
    char Text[kPlanTextSize];
};

struct BarSegment {
    int Left, Top, Right, Bottom;  // device pixels, right and bottom exclusive
    PlanColour Colour;
};

// The view of the window a paint needs besides the state.
struct DiagramView {
    int ClientWidth;
    int ClientHeight;
    int BaseUnitX;
    int BaseUnitY;
    int GridOn;           // check state of the grid button
    int ReduceColumns;    // draw only the first, last, lowest and highest point per pixel column
    int YLabelWidth = 0;  // measured width of the widest Y label in the label font, 0 = not measured
};

constexpr int kReadoutCount = 4;
extern const int kReadoutFields[kReadoutCount];  // status fields 1, 4, 5, 6

struct PaintPlan {
    PlotRect Plot;
    DiagramMapping Mapping;
    PlanItem Items[kMaxPlanItems];
    int ItemCount;
    BarSegment Bars[kHistoryCapacity];
    int BarCount;
    CurvePoint* Series[kPointBufferCount];  // device points of the drawn curves
    char Readouts[kReadoutCount][kStatusTextSize];
};

// Colours of the diagram.
extern const PlanColour kMarkerColour;
extern const PlanColour kNewestColour;
extern const PlanColour kGridColour;
extern const PlanColour kCurveColours[5];  // by CurveSeries
// The classes of a call in the usage bar, numbered as its colours are.
enum CallClass : int {
    kClassBrackets = 0,
    kClassFigure = 1,
    kClassNoFigure = 2,
    kClassDown = 3,
    kClassFailed = 4,
    kCallClassCount = 5,
};
extern const PlanColour kUsageColours[kCallClassCount];

// A record's link-state code (a LinkState, or whatever number the file
// held) → its class.
CallClass UsageClass(int linkState);

// Keeps LinkIndex inside the links of the records on show (before a paint).
void ClampLinkIndex(AppState& state);
// The clamp, then the toolbar's enabled buttons: what runs before every
// paint. A paint moves no marker: the held one is kept where records are
// added.
void PrepareDiagramPaint(AppState& state, PlatformPort& port);

// "Channel %d: " or "Channel %d: Digipeater %s, Link to %s".
void BuildTitle(const AppState& state, int channel, char* text, int size);

// Logical points of the six series from ScrollOffset on, piled at the right
// edge and held at the top; the number of points written.
int BuildCurvePoints(AppState& state, int channel, const DiagramMapping& mapping, const PlotRect& plot);

// Logical points to device points in place; with `reduce`, keeps only the
// first, last, lowest and highest point of each run in one pixel column:
// drawn segment by segment, one-pixel lines through these cover exactly the
// pixels that lines through all of them do. The new count.
int ToDevicePolyline(const DiagramMapping& mapping, CurvePoint* points, int count, int reduce);

// The whole plan of the current channel. Commits the point buffers.
void BuildPaintPlan(AppState& state, const DiagramView& view, PaintPlan& plan);
// After drawing: the point buffers give their memory back.
void FinishDiagramPaint(AppState& state);
// Sends the four readout texts of a plan to the status bar.
void SendReadouts(const PaintPlan& plan, PlatformPort& port);
