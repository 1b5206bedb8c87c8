#include "view/paint_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/platform_port.h"
#include "history/history_format.h"
#include "history/history_series.h"
#include "view/toolbar_rules.h"

const int kReadoutFields[kReadoutCount] = {kFieldMarkerTime, kFieldKbytes, kFieldQty, kFieldTime};

const PlanColour kMarkerColour{184, 211, 222};
const PlanColour kNewestColour{154, 89, 86};
const PlanColour kGridColour{135, 192, 197};
const PlanColour kCurveColours[5] = {
    {232, 23, 97},   // QTY
    {242, 129, 2},   // TKBY
    {1, 1, 1},       // RKBY
    {87, 87, 255},   // TxTIM
    {151, 134, 53},  // RxTIM
};
const PlanColour kUsageColours[kCallClassCount] = {
    {230, 1, 1}, {1, 230, 1}, {230, 230, 230}, {1, 1, 1}, {0, 0, 230},
};

namespace {

constexpr PlanColour kBlack{0, 0, 0};
constexpr PlanColour kWhite{255, 255, 255};
constexpr int kTitleAbovePlot = 14;
constexpr int kBarHeight = 13;
constexpr int kLinkUsageDrop = 10;
constexpr const char* kLinkUsageText = "<-Link Usage";
constexpr int kDigipeaterRoom = 11;  // characters of the first word of CallPath

const char* const kFixedKbytes = "T/Rkby:      ";
const char* const kFixedQty = "Qty:  ";
const char* const kFixedTime = "Time:        ";

PlanItem& AddItem(PaintPlan& plan, PlanOp op, PlanColour colour) {
    static PlanItem overflow;  // never drawn: a plan has room for every item a paint makes
    if (plan.ItemCount >= kMaxPlanItems) return overflow;
    PlanItem& item = plan.Items[plan.ItemCount++];
    item = PlanItem{};
    item.Op = op;
    item.Colour = colour;
    return item;
}

void AddLine(PaintPlan& plan, PlanOp op, PlanColour colour, int x0, int y0, int x1, int y1) {
    PlanItem& item = AddItem(plan, op, colour);
    item.X0 = x0;
    item.Y0 = y0;
    item.X1 = x1;
    item.Y1 = y1;
}

PlanItem& AddText(PaintPlan& plan, int x, int y, int align, const char* text) {
    PlanItem& item = AddItem(plan, PlanOp::Text, kBlack);
    item.X0 = x;
    item.Y0 = y;
    item.Align = align;
    std::snprintf(item.Text, sizeof item.Text, "%s", text);
    return item;
}

// The link LinkIndex shows (0 = the first), kept inside the link table's rows.
int SampleLink(int linkIndex) {
    int i = linkIndex - 1;
    if (i < 0) i = 0;
    if (i >= kLinkRows) i = kLinkRows - 1;
    return i;
}

// Records read per call when the curves are built.
constexpr int kSampleBatch = 256;

std::int64_t Scaled(std::int32_t value, const ChannelRecord& c) {
    const int scale = c.YScale == 0 ? 1 : c.YScale;
    return static_cast<std::int64_t>(value) * c.YZoomStep / scale;
}

// A curve label at the marker, left out when it would stick out above the
// plot or past its right edge.
void AddCurveLabel(PaintPlan& plan, const DiagramView& view, int x, std::int64_t y, const char* label) {
    const std::int64_t dx = plan.Mapping.ToDeviceX(x);
    const std::int64_t dy = plan.Mapping.ToDeviceY(y);
    const std::int64_t width = static_cast<std::int64_t>(std::strlen(label)) * view.BaseUnitX;
    if (dy - view.BaseUnitY >= plan.Plot.top && dx + width < plan.Plot.right) {
        AddText(plan, static_cast<int>(dx), static_cast<int>(dy), kAlignLeftBaseline, label);
    }
}

int ClampToEdge(std::int64_t x, int edge) {
    return x >= edge - 1 ? edge - 1 : static_cast<int>(x);
}

void PlanMarkerAndReadouts(AppState& state, const DiagramView& view, PaintPlan& plan) {
    const int channel = state.CurrentChannel;
    const ChannelRecord& c = state.ChannelTable[channel];
    for (char* text : plan.Readouts) text[0] = '\0';
    if (c.RecordCount <= 0) return;
    const int right = LogicalRightEdge(plan.Mapping, plan.Plot);
    const int top = LogicalTop(plan.Mapping, plan.Plot);
    int f = c.RecordCount - c.MarkerOffset - 1;
    if (f < 0) f = 0;
    const int x = ClampToEdge(static_cast<std::int64_t>(state.XZoom) * (f - c.ScrollOffset), right);
    AddLine(plan, PlanOp::Line, kMarkerColour, plan.Mapping.ToDeviceX(x), plan.Mapping.ToDeviceY(0),
            plan.Mapping.ToDeviceX(x), plan.Mapping.ToDeviceY(top));

    RecordStamp stamp;
    if (!ReadRecordStamp(state, channel, f, stamp)) return;
    std::snprintf(plan.Readouts[0], kStatusTextSize, "X-Pos: %2.2d:%2.2d/%2.2d.%2.2d.%2.2d", stamp.Hour,
                  stamp.Minute, stamp.Day, stamp.Month, stamp.Year);
    const LinkSample s = ReadLinkSample(state, channel, f, SampleLink(c.LinkIndex));
    if (state.qty) {
        std::snprintf(plan.Readouts[2], kStatusTextSize, "Qty: %d", s.Qty);
        if (state.showqty) AddCurveLabel(plan, view, x, Scaled(s.Qty, c), "QTY");
    } else {
        std::snprintf(plan.Readouts[2], kStatusTextSize, "%s", kFixedQty);
    }
    if (state.time) {
        std::snprintf(plan.Readouts[3], kStatusTextSize, "Time: %d/%d", s.TxTim, s.RxTim);
        if (state.showtxtim) AddCurveLabel(plan, view, x, Scaled(s.TxTim, c), "TxTIM");
        if (state.showrxtim) AddCurveLabel(plan, view, x, Scaled(s.RxTim, c), "RxTIM");
    } else {
        std::snprintf(plan.Readouts[3], kStatusTextSize, "%s", kFixedTime);
    }
    if (state.bytes) {
        std::snprintf(plan.Readouts[1], kStatusTextSize, "T/Rkby: %d/%d ", s.Tkby, s.Rkby);
        if (state.showtkby) AddCurveLabel(plan, view, x, Scaled(s.Tkby, c), "TKBY");
        if (state.showrkby) AddCurveLabel(plan, view, x, Scaled(s.Rkby, c), "RKBY");
    } else {
        std::snprintf(plan.Readouts[1], kStatusTextSize, "%s", kFixedKbytes);
    }
}

void PlanNewestLine(const AppState& state, const DiagramView& view, PaintPlan& plan) {
    const ChannelRecord& c = state.ChannelTable[state.CurrentChannel];
    if (c.RecordCount <= 0) return;
    const int right = LogicalRightEdge(plan.Mapping, plan.Plot);
    const int top = LogicalTop(plan.Mapping, plan.Plot);
    const int x =
        ClampToEdge(static_cast<std::int64_t>(c.RecordCount - c.ScrollOffset - 1) * state.XZoom, right);
    const int dx = plan.Mapping.ToDeviceX(x);
    const int dy = plan.Mapping.ToDeviceY(top);
    AddLine(plan, PlanOp::Line, kNewestColour, dx, plan.Mapping.ToDeviceY(0), dx, dy);
    if (!state.Balken) return;
    const std::int64_t width = static_cast<std::int64_t>(std::strlen(kLinkUsageText)) * view.BaseUnitX;
    if (dx + width < plan.Plot.right) {
        AddText(plan, dx, dy, kAlignLeftTop, kLinkUsageText);
    } else {
        AddText(plan, dx, plan.Mapping.ToDeviceY(static_cast<std::int64_t>(top) - kLinkUsageDrop),
                kAlignRightTop, kLinkUsageText);
    }
}

void PlanYAxis(const ChannelRecord& c, const DiagramView& view, PaintPlan& plan) {
    YAxisRows rows;
    BuildYAxisRows(plan.Mapping, plan.Plot, view.BaseUnitX, c.YZoomStep, c.YScale, view.GridOn, rows,
                   view.YLabelWidth);
    for (int r = 0; r < rows.Count; ++r) {
        const YAxisRow& row = rows.Rows[r];
        if (row.HasGrid)
            AddLine(plan, PlanOp::DottedLine, kGridColour, row.GridLeft, row.Y, row.GridRight, row.Y);
        AddLine(plan, PlanOp::Line, kBlack, row.TickLeft, row.Y, row.TickRight, row.Y);
        if (row.Labelled)
            AddText(plan, row.LabelX, row.LabelY, kAlignLeftTop, row.Label).Font = kPlanFontYLabel;
    }
}

// One rectangle per run of equal classes, coloured by the run's first point;
// the last point's own class is never shown.
void PlanUsageBar(AppState& state, int count, PaintPlan& plan) {
    plan.BarCount = 0;
    if (count <= 0) return;
    const CurvePoint* points = CurveSeriesPoints(state, kSeriesState);
    const int yt = plan.Mapping.ToLogicalY(plan.Plot.top);
    const int top = plan.Mapping.ToDeviceY(static_cast<std::int64_t>(yt) - 1);
    const int bottom = plan.Mapping.ToDeviceY(static_cast<std::int64_t>(yt) - kBarHeight);
    int left = points[0].X;
    int cls = UsageClass(points[0].Y);
    for (int i = 1; i < count; ++i) {
        const int next = UsageClass(points[i].Y);
        if (next == cls && i != count - 1) continue;
        const int dl = plan.Mapping.ToDeviceX(left);
        const int dr = plan.Mapping.ToDeviceX(points[i].X);
        if (dr > dl && plan.BarCount < kHistoryCapacity) {
            plan.Bars[plan.BarCount++] = BarSegment{dl, top < bottom ? top : bottom, dr,
                                                    top < bottom ? bottom : top, kUsageColours[cls]};
        }
        left = points[i].X;
        cls = next;
    }
    AddItem(plan, PlanOp::UsageBar, kBlack);
}

}  // namespace

CallClass UsageClass(int linkState) {
    switch (static_cast<LinkState>(linkState)) {
        case LinkState::NoFigure:
            return kClassNoFigure;
        case LinkState::PairInBrackets:
        case LinkState::SingleInBrackets:
            return kClassBrackets;
        case LinkState::Down:
            return kClassDown;
        case LinkState::Failed:
            return kClassFailed;
        case LinkState::Pair:
        case LinkState::Single:
        default:
            return kClassFigure;
    }
}

void ClampLinkIndex(AppState& state) {
    ChannelRecord& c = state.ChannelTable[state.CurrentChannel];
    // Against the links of the records on show: while a reply is being
    // collected ReplyLineCount counts only the lines received so far, and
    // the user's link must not jump to one of those.
    const int lines = c.RestoreLineCount;
    if (lines > 2 && c.LinkIndex + 2 > lines) c.LinkIndex = lines - 2;
}

static_assert(kCmdHoldMarker == kHoldMarkerButtonId, "one Hold Marker button");

// The held marker is kept where records are added (RecordConnect), however
// many arrive between two paints; nothing here moves it.
void PrepareDiagramPaint(AppState& state, PlatformPort& port) {
    ClampLinkIndex(state);
    UpdateToolbarButtons(state, port);
}

void BuildTitle(const AppState& state, int channel, char* text, int size) {
    const ChannelRecord& c = state.ChannelTable[channel];
    int complete = c.RecordCount > 0;
    for (int i = 0; complete && i < c.RecordCount; ++i) complete = IsRecordPresent(state, channel, i);
    if (!complete) {
        std::snprintf(text, static_cast<std::size_t>(size), "Channel %d: ", channel + 1);
        return;
    }
    char digipeater[kDigipeaterRoom + 1];
    int n = 0;
    for (; n < kDigipeaterRoom && n < kCallPathSize && c.CallPath[n] != '\0' && c.CallPath[n] != ' '; ++n) {
        const char ch = c.CallPath[n];
        digipeater[n] = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    }
    digipeater[n] = '\0';
    const char* name = SeriesLinkName(state, channel, SampleLink(c.LinkIndex));
    std::snprintf(text, static_cast<std::size_t>(size), "Channel %d: Digipeater %s, Link to %.*s",
                  channel + 1, digipeater, static_cast<int>(strnlen(name, kCellSize)), name);
}

int BuildCurvePoints(AppState& state, int channel, const DiagramMapping& mapping, const PlotRect& plot) {
    const ChannelRecord& c = state.ChannelTable[channel];
    const int right = LogicalRightEdge(mapping, plot);
    const std::int64_t top = LogicalTop(mapping, plot);
    const int first = c.ScrollOffset < 0 ? 0 : c.ScrollOffset;
    int wanted = c.RecordCount - first;
    if (wanted <= 0) return 0;
    if (wanted > kHistoryCapacity) wanted = kHistoryCapacity;
    if (!CommitCurvePoints(state, wanted)) return 0;
    CurvePoint* series[kPointBufferCount];
    for (int s = 0; s < kPointBufferCount; ++s) series[s] = CurveSeriesPoints(state, s);
    const int link = SampleLink(c.LinkIndex);
    const int scale = c.YScale == 0 ? 1 : c.YScale;
    LinkSample batch[kSampleBatch];
    int k = 0;
    while (k < wanted) {
        const int asked = std::min(wanted - k, kSampleBatch);
        const int n = ReadLinkSamples(state, channel, first + k, asked, link, batch);
        for (int b = 0; b < n; ++b, ++k) {
            const LinkSample& s = batch[b];
            std::int64_t x = static_cast<std::int64_t>(state.XZoom) * k;
            if (x >= right) x = right;
            const std::int32_t values[5] = {s.Qty, s.Tkby, s.Rkby, s.TxTim, s.RxTim};
            for (int v = 0; v < 5; ++v) {
                std::int64_t y = static_cast<std::int64_t>(values[v]) * c.YZoomStep / scale;
                if (y > top) y = top;
                series[v][k] = CurvePoint{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
            }
            series[kSeriesState][k] = CurvePoint{static_cast<std::int32_t>(x), s.LinkState};
        }
        if (n < asked) break;  // a record that is not present ends the curves
    }
    return k;
}

int ToDevicePolyline(const DiagramMapping& mapping, CurvePoint* points, int count, int reduce) {
    if (!reduce) {
        for (int i = 0; i < count; ++i) {
            points[i] = CurvePoint{mapping.ToDeviceX(points[i].X), mapping.ToDeviceY(points[i].Y)};
        }
        return count;
    }
    // A run of n points in one column leaves min(n, 4) behind, so writes
    // never overtake reads.
    int out = 0;
    int i = 0;
    while (i < count) {
        const int x = mapping.ToDeviceX(points[i].X);
        int j = i;
        int lowY = mapping.ToDeviceY(points[i].Y);
        int highY = lowY;
        // Curve points only move right, so a column is one run.
        for (; j < count && mapping.ToDeviceX(points[j].X) == x; ++j) {
            const int y = mapping.ToDeviceY(points[j].Y);
            if (y < lowY) lowY = y;
            if (y > highY) highY = y;
        }
        if (j - i <= 4) {
            for (int k = i; k < j; ++k) points[out++] = CurvePoint{x, mapping.ToDeviceY(points[k].Y)};
        } else {
            const int firstY = mapping.ToDeviceY(points[i].Y);
            const int lastY = mapping.ToDeviceY(points[j - 1].Y);
            points[out++] = CurvePoint{x, firstY};
            points[out++] = CurvePoint{x, lowY};
            points[out++] = CurvePoint{x, highY};
            points[out++] = CurvePoint{x, lastY};
        }
        i = j;
    }
    return out;
}

void BuildPaintPlan(AppState& state, const DiagramView& view, PaintPlan& plan) {
    const int channel = state.CurrentChannel;
    const ChannelRecord& c = state.ChannelTable[channel];
    plan.ItemCount = 0;
    plan.BarCount = 0;
    plan.Plot = PlotRectFor(view.ClientWidth, view.ClientHeight);
    plan.Mapping = SetupDiagramMapping(view.ClientWidth, view.ClientHeight, view.BaseUnitX, view.BaseUnitY);
    const PlotRect& p = plan.Plot;

    PlanItem& fill = AddItem(plan, PlanOp::FillRect, kWhite);
    fill.X0 = p.left, fill.Y0 = p.top, fill.X1 = p.right, fill.Y1 = p.bottom;
    PlanItem& frame = AddItem(plan, PlanOp::FrameRect, kBlack);
    frame.X0 = p.left, frame.Y0 = p.top, frame.X1 = p.right, frame.Y1 = p.bottom;
    char title[kPlanTextSize];
    BuildTitle(state, channel, title, sizeof title);
    AddText(plan, p.left, p.top - kTitleAbovePlot, kAlignLeftTop, title);

    PlanMarkerAndReadouts(state, view, plan);
    PlanNewestLine(state, view, plan);
    const int count = BuildCurvePoints(state, channel, plan.Mapping, plan.Plot);
    PlanYAxis(c, view, plan);
    if (state.Balken) PlanUsageBar(state, count, plan);

    for (int s = 0; s < kPointBufferCount; ++s) plan.Series[s] = CurveSeriesPoints(state, s);
    const int shown[5] = {state.qty, state.bytes, state.bytes, state.time, state.time};
    for (int s = 0; s < 5; ++s) {
        if (!shown[s] || count < 2) continue;
        PlanItem& curve = AddItem(plan, PlanOp::Polyline, kCurveColours[s]);
        curve.Series = s;
        curve.Count = ToDevicePolyline(plan.Mapping, plan.Series[s], count, view.ReduceColumns);
    }
}

void FinishDiagramPaint(AppState& state) {
    GiveBackCurvePoints(state);
}

void SendReadouts(const PaintPlan& plan, PlatformPort& port) {
    for (int r = 0; r < kReadoutCount; ++r) port.setStatusText(kReadoutFields[r], plan.Readouts[r]);
}
