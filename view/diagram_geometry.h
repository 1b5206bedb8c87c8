// Where the diagram sits in the client area and its logical coordinate
// system: the plot rectangle, the one mapping between logical units and
// device pixels that painting and mouse hit-testing share, the plot's
// logical limits, the Y-axis rows and the cursor choice.
//
// The mapping rounds the same way in both directions (multiply, then divide
// rounding to nearest, wide intermediates), so that a click on a drawn record
// lands on that record.
//
// Threading: GUI thread only (plain values, no state).
#pragma once

#include <cstdint>

// Device pixels, client coordinates, y downwards; right and bottom exclusive.
struct PlotRect {
    int left;
    int top;
    int right;
    int bottom;
};

// The main window's first size in base units; the diagram's logical extent
// is that size, so one logical unit is about half a pixel at first.
constexpr int kFirstWindowUnitsX = 81;
constexpr int kFirstWindowUnitsY = 32;

// The client rectangle inset by the plot margins (30, 60, 23, 40).
PlotRect PlotRectFor(int clientWidth, int clientHeight);

// Logical (x, y), y upwards, origin just inside the plot's bottom-left
// corner; the scale follows the client size.
struct DiagramMapping {
    std::int64_t WindowExtX;    // 81 x BaseUnitX
    std::int64_t WindowExtY;    // 32 x BaseUnitY
    std::int64_t ViewportExtX;  // ClientWidth / 2
    std::int64_t ViewportExtY;  // -(ClientHeight / 2)
    std::int64_t OriginX;       // 31
    std::int64_t OriginY;       // ClientHeight - 42

    int ToDeviceX(std::int64_t logicalX) const;
    int ToDeviceY(std::int64_t logicalY) const;
    int ToLogicalX(std::int64_t deviceX) const;
    int ToLogicalY(std::int64_t deviceY) const;
};

DiagramMapping SetupDiagramMapping(int clientWidth, int clientHeight, int baseUnitX, int baseUnitY);

// a x b / c rounded to nearest, halves away from zero; 0 when c is 0; the
// result saturates at the 32-bit range.
int MulDivRound(std::int64_t a, std::int64_t b, std::int64_t c);

// The logical x of device x plot.right - 1, and the logical y of device y
// plot.top.
int LogicalRightEdge(const DiagramMapping& mapping, const PlotRect& plot);
int LogicalTop(const DiagramMapping& mapping, const PlotRect& plot);

// Strictly inside the plot margins: x > 30, x < width - 23, y > 60,
// y < height - 40.
int IsInPlot(int clientWidth, int clientHeight, int x, int y);

constexpr int kCursorScrollNewer = 104;  // right half: scrolling shows newer records
constexpr int kCursorScrollOlder = 105;  // left half (x at most width / 2)
constexpr int kCursorArrow = 0;          // outside the plot
int ChooseCursor(int clientWidth, int x);
// The cursor a mouse move sets: 104/105 inside the plot, else the arrow.
int CursorAt(int clientWidth, int clientHeight, int x, int y);

// One row of the Y axis in device pixels: tick from (TickLeft, Y) to
// (TickRight, Y); label (when Labelled) left/top aligned at (LabelX, LabelY);
// a dotted grid line from GridLeft to GridRight when the grid is on and the
// row is labelled and not the zero line.
constexpr int kYTickCount = 99;
constexpr int kYLabelSize = 8;
struct YAxisRow {
    int Index;  // tick i stands for 10 x i x YScale
    int Y;
    int TickLeft, TickRight;
    int Labelled;
    int HasGrid;
    int GridLeft, GridRight;
    int LabelX, LabelY;
    char Label[kYLabelSize];  // "  0", " 20" ... or "   0", " 100" ...
};
struct YAxisRows {
    YAxisRow Rows[kYTickCount];
    int Count;
};

// The label of tick `index`: 10 x index x yScale right-aligned in 3
// characters, or 4 when yScale is 10.
void YAxisLabelText(int index, int yScale, char* text, int size);

// Tick rows up to the logical top (at most 99). `gridOn` is the grid
// button's check state. `labelWidth` is what the painter measured of the
// widest label of the table: the columns from a label's left end to its last
// inked column. The labels stand at a fixed offset left of the frame unless
// that would run them into the ticks; then the column of labels moves left
// just far enough (not past the client's left edge). 0: not measured, the
// fixed offset.
void BuildYAxisRows(const DiagramMapping& mapping, const PlotRect& plot, int baseUnitX, int yZoomStep,
                    int yScale, int gridOn, YAxisRows& out, int labelWidth = 0);

// The room of the Y labels in device pixels: Right, the last column a
// label may ink, one blank column left of the longest tick; Pitch, the least
// distance between two labelled rows at the Y zoom step. A painter picks a
// label font whose widest label fits in Right + 1 columns and whose digits
// are less than Pitch rows high, so that labels touch neither the ticks nor
// each other.
struct YLabelRoom {
    int Right;
    int Pitch;
};
YLabelRoom YAxisLabelRoom(const DiagramMapping& mapping, int yZoomStep);
