#include "view/diagram_geometry.h"

#include <cstdio>
#include <limits>

namespace {

constexpr int kMarginLeft = 30;
constexpr int kMarginTop = 60;
constexpr int kMarginRight = 23;
constexpr int kMarginBottom = 40;
constexpr int kOriginX = 31;
constexpr int kOriginFromBottom = 42;
constexpr int kMajorTickHalf = 8;
constexpr int kMinorTickHalf = 4;
constexpr int kLabelRaise = 5;

int Saturate(std::int64_t v) {
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

}  // namespace

PlotRect PlotRectFor(int clientWidth, int clientHeight) {
    return PlotRect{kMarginLeft, kMarginTop, clientWidth - kMarginRight, clientHeight - kMarginBottom};
}

int MulDivRound(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    // Operands stay far below 2^62 here (coordinates and extents of 32 bits
    // at most), so the product fits.
    std::int64_t n = a * b;
    if (c < 0) {
        n = -n;
        c = -c;
    }
    const std::int64_t half = c / 2;
    const std::int64_t q = n >= 0 ? (n + half) / c : -((-n + half) / c);
    return Saturate(q);
}

int DiagramMapping::ToDeviceX(std::int64_t logicalX) const {
    return Saturate(OriginX + MulDivRound(logicalX, ViewportExtX, WindowExtX));
}

int DiagramMapping::ToDeviceY(std::int64_t logicalY) const {
    return Saturate(OriginY + MulDivRound(logicalY, ViewportExtY, WindowExtY));
}

int DiagramMapping::ToLogicalX(std::int64_t deviceX) const {
    return MulDivRound(deviceX - OriginX, WindowExtX, ViewportExtX);
}

int DiagramMapping::ToLogicalY(std::int64_t deviceY) const {
    return MulDivRound(deviceY - OriginY, WindowExtY, ViewportExtY);
}

DiagramMapping SetupDiagramMapping(int clientWidth, int clientHeight, int baseUnitX, int baseUnitY) {
    DiagramMapping m{};
    m.WindowExtX = static_cast<std::int64_t>(kFirstWindowUnitsX) * baseUnitX;
    m.WindowExtY = static_cast<std::int64_t>(kFirstWindowUnitsY) * baseUnitY;
    m.ViewportExtX = clientWidth / 2;
    m.ViewportExtY = -(clientHeight / 2);
    m.OriginX = kOriginX;
    m.OriginY = static_cast<std::int64_t>(clientHeight) - kOriginFromBottom;
    return m;
}

int LogicalRightEdge(const DiagramMapping& mapping, const PlotRect& plot) {
    return mapping.ToLogicalX(static_cast<std::int64_t>(plot.right) - 1);
}

int LogicalTop(const DiagramMapping& mapping, const PlotRect& plot) {
    return mapping.ToLogicalY(plot.top);
}

int IsInPlot(int clientWidth, int clientHeight, int x, int y) {
    return x > kMarginLeft && x < clientWidth - kMarginRight && y > kMarginTop &&
           y < clientHeight - kMarginBottom;
}

int ChooseCursor(int clientWidth, int x) {
    return x > clientWidth / 2 ? kCursorScrollNewer : kCursorScrollOlder;
}

int CursorAt(int clientWidth, int clientHeight, int x, int y) {
    return IsInPlot(clientWidth, clientHeight, x, y) ? ChooseCursor(clientWidth, x) : kCursorArrow;
}

void YAxisLabelText(int index, int yScale, char* text, int size) {
    const int wide = yScale == 10;
    std::snprintf(text, static_cast<std::size_t>(size), wide ? "%4d" : "%3d", 10 * index * (wide ? 10 : 1));
}

YLabelRoom YAxisLabelRoom(const DiagramMapping& mapping, int yZoomStep) {
    const std::int64_t apart = 10LL * yZoomStep * (yZoomStep <= 1 ? 2 : 1);  // logical units
    const std::int64_t height = mapping.ViewportExtY < 0 ? -mapping.ViewportExtY : mapping.ViewportExtY;
    const std::int64_t pitch = mapping.WindowExtY > 0 ? apart * height / mapping.WindowExtY : 0;
    return YLabelRoom{mapping.ToDeviceX(-kMajorTickHalf) - 2, Saturate(pitch)};
}

void BuildYAxisRows(const DiagramMapping& mapping, const PlotRect& plot, int baseUnitX, int yZoomStep,
                    int yScale, int gridOn, YAxisRows& out, int labelWidth) {
    out.Count = 0;
    const int top = LogicalTop(mapping, plot);
    const int right = LogicalRightEdge(mapping, plot);
    const int wide = yScale == 10;
    // The offset keeps the labels clear of the frame: wider labels, wider gap.
    const int d = (wide ? 4 : 0) + (baseUnitX * 5) / 2;
    const int labelLogicalX = mapping.ToLogicalX(static_cast<std::int64_t>(plot.left) - d);
    int labelX = mapping.ToDeviceX(labelLogicalX);
    const int lastInk = YAxisLabelRoom(mapping, yZoomStep).Right;
    if (labelWidth > 0 && static_cast<std::int64_t>(labelX) + labelWidth - 1 > lastInk) {
        labelX = lastInk - labelWidth + 1;
        if (labelX < 0) labelX = 0;
    }
    const int spacing = yZoomStep <= 1 ? 2 : 1;
    for (int i = 0; i < kYTickCount; ++i) {
        const std::int64_t y = 10LL * yZoomStep * i;
        if (y > top) break;
        YAxisRow& row = out.Rows[out.Count++];
        row.Index = i;
        row.Y = mapping.ToDeviceY(y);
        const int half = i % 10 == 0 ? kMajorTickHalf : kMinorTickHalf;
        row.TickLeft = mapping.ToDeviceX(-half);
        row.TickRight = mapping.ToDeviceX(half);
        row.Labelled = i % spacing == 0;
        row.HasGrid = gridOn && row.Labelled && i != 0;
        row.GridLeft = mapping.ToDeviceX(0);
        row.GridRight = mapping.ToDeviceX(right);
        row.LabelX = labelX;
        row.LabelY = mapping.ToDeviceY(y + kLabelRaise);
        YAxisLabelText(i, yScale, row.Label, sizeof row.Label);
    }
}
