// The view without a window: the diagram's mapping, axis, paint plan and
// navigation; the toolbar's tooltips and enabling rules; the status-bar and
// grid texts; and the metrics text that dashboards and alert rules read.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/tick_dispatch.h"
#include "core/app_state.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "view/channel_dialog_texts.h"
#include "view/diagram_geometry.h"
#include "view/diagram_navigation.h"
#include "view/metrics_text.h"
#include "view/navigation_commands.h"
#include "view/paint_plan.h"
#include "view/status_texts.h"
#include "view/toolbar_rules.h"

namespace {

TEST(DiagramMapping, ScaleOriginAndLimits) {
    struct Row {
        int w, h, ux, uy, lx, dx, ly, dy, right, top;
    };
    const Row rows[] = {
        // At the window's first size one logical unit is half a pixel.
        {648, 480, 8, 16, 1, 32, 2, 437, 1186, 806},
        {101, 103, 8, 16, 0, 31, 0, 61, 596, 10},
    };
    for (const Row& r : rows) {
        const DiagramMapping m = SetupDiagramMapping(r.w, r.h, r.ux, r.uy);
        const PlotRect plot = PlotRectFor(r.w, r.h);
        EXPECT_EQ(m.ToDeviceX(r.lx), r.dx) << r.w;
        EXPECT_EQ(m.ToDeviceY(r.ly), r.dy) << r.h;
        EXPECT_EQ(LogicalRightEdge(m, plot), r.right) << r.w;
        EXPECT_EQ(LogicalTop(m, plot), r.top) << r.h;
        // The plot's left column and bottom row are logical 0 within a pixel.
        EXPECT_LE(std::abs(m.ToDeviceX(0) - (plot.left + 1)), 1);
        EXPECT_LE(std::abs(m.ToDeviceY(0) - (plot.bottom - 2)), 1);
    }
    // Wide operands neither overflow nor wrap.
    const DiagramMapping m = SetupDiagramMapping(648, 480, 8, 16);
    EXPECT_LT(m.ToDeviceY(0x7fffffffLL * 6), -2000000000);
    EXPECT_EQ(MulDivRound(5, 1, 0), 0);
}

TEST(DiagramGeometry, PlotEdgesAndCursors) {
    // Frame's left column and top row are outside; right column and bottom row inside.
    struct Row {
        int x, y, in;
    };
    const Row rows[] = {{30, 100, 0}, {31, 100, 1}, {624, 100, 1}, {625, 100, 0},
                        {300, 60, 0}, {300, 61, 1}, {300, 439, 1}, {300, 440, 0}};
    for (const Row& r : rows) EXPECT_EQ(IsInPlot(648, 480, r.x, r.y), r.in) << r.x << "," << r.y;
    EXPECT_EQ((std::vector<int>{CursorAt(648, 480, 324, 100), CursorAt(648, 480, 325, 100),
                                CursorAt(648, 480, 325, 20)}),
              (std::vector<int>{kCursorScrollOlder, kCursorScrollNewer, kCursorArrow}));
}

TEST(DiagramGeometry, YAxisRows) {
    struct Row {
        int h, uy, zoom, scale, grid, count, labelled, grids;
        const char* first;
        const char* last;
    };
    const Row rows[] = {
        {480, 16, 1, 1, 1, 81, 41, 40, "  0", "800"},  // every second tick labelled
        {480, 16, 2, 1, 1, 41, 41, 40, "  0", "400"},
        {480, 16, 6, 10, 0, 14, 14, 0, "   0", "1300"},
        // A tall window and a large line height: the table ends at tick 98.
        {3000, 20, 1, 1, 1, 99, 50, 49, "  0", "980"},
    };
    for (const Row& r : rows) {
        YAxisRows axis;
        BuildYAxisRows(SetupDiagramMapping(648, r.h, 8, r.uy), PlotRectFor(648, r.h), 8, r.zoom, r.scale,
                       r.grid, axis);
        ASSERT_EQ(axis.Count, r.count) << r.zoom << "/" << r.scale;
        int labelled = 0, grids = 0;
        std::string last;
        for (int i = 0; i < axis.Count; ++i) {
            labelled += axis.Rows[i].Labelled;
            grids += axis.Rows[i].HasGrid && axis.Rows[i].Labelled;
            if (axis.Rows[i].Labelled) last = axis.Rows[i].Label;
        }
        EXPECT_EQ(axis.Rows[0].Label + ("|" + last), std::string(r.first) + "|" + r.last);
        EXPECT_EQ(labelled * 100 + grids, r.labelled * 100 + r.grids);
    }
    // A measured label that would run into the ticks (from x 27) moves left
    // until a blank column remains, never past the left edge; one that fits
    // stays at its usual place, its offset from the frame.
    std::vector<int> placed;
    for (int width : {0, 15, 16, 22, 40}) {
        YAxisRows axis;
        BuildYAxisRows(SetupDiagramMapping(648, 480, 8, 16), PlotRectFor(648, 480), 8, 1, 1, 0, axis, width);
        placed.push_back(axis.Rows[0].LabelX);
    }
    EXPECT_EQ(placed, (std::vector<int>{10, 10, 10, 4, 0}));
}

class DiagramPlan : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        ASSERT_EQ(ReserveDiagramMemory(state), 1);
        std::snprintf(state.ChannelTable[0].CallPath, kCallPathSize, "qx0tst-2 QX0VIA");
        for (ChannelRecord& ch : state.ChannelTable) {
            SetChannelViewDefaults(ch);
            ch.YZoomStep = 1;
        }
    }
    void TearDown() override { ReleaseDiagramMemory(state); }
    ChannelRecord& C() { return state.ChannelTable[0]; }
    void Fill(int count) {
        FillHistory(state, 0, count, 3, [](int i, FilledRecord& r) {
            for (FilledSample& s : r.Links) s = FilledSample{"", 5, 100 + i, 200, 30, 40, i % 7};
            std::snprintf(r.Links[1].Name, sizeof r.Links[1].Name, "QX0DEF");
        });
    }
    const PaintPlan& Plan(int w = 648, int h = 480) {
        PrepareDiagramPaint(state, port);
        BuildPaintPlan(state, DiagramView{w, h, 8, 16, 0, 1}, *plan);
        return *plan;
    }
    std::string Texts(const PaintPlan& p) {
        std::string all;
        for (int i = 0; i < p.ItemCount; ++i) {
            if (p.Items[i].Op == PlanOp::Text && p.Items[i].Text[0] != ' ')
                all += std::string(p.Items[i].Text) + "|";
        }
        return all;
    }
    std::string Readouts(const PaintPlan& p) {
        std::string all;
        for (const char* text : p.Readouts) all += std::string(text) + "|";
        return all;
    }
    int Count(const PaintPlan& p, PlanOp op) {
        int n = 0;
        for (int i = 0; i < p.ItemCount; ++i) n += p.Items[i].Op == op;
        return n;
    }

    AppState state;
    FakePort port;
    std::unique_ptr<PaintPlan> plan = std::make_unique<PaintPlan>();
};

// A click on the pixel where record k is drawn selects k, or, where several
// records share a pixel column, a record drawn in that same column.
TEST_F(DiagramPlan, ClickSelectsTheDrawnRecordAtEverySize) {
    ChannelRecord& c = C();
    c.RecordCount = 20000;
    for (int w = 120; w <= 2000; w += 37) {
        for (int h : {160, 481, 1000}) {
            for (int ux : {6, 8, 11}) {
                const DiagramMapping m = SetupDiagramMapping(w, h, ux, 16);
                const int right = LogicalRightEdge(m, PlotRectFor(w, h));
                for (int zoom = 1; zoom <= 20; zoom += 3) {
                    state.XZoom = zoom;
                    c.ScrollOffset = zoom * 7;
                    for (int k = 0; zoom * k < right; k += 1 + k / 50) {
                        const int dx = m.ToDeviceX(zoom * k);
                        ASSERT_EQ(PutMarkerAtClick(state, port, w, h, ux, 16, dx, h / 2), 1);
                        const int chosen = c.RecordCount - 1 - c.MarkerOffset - c.ScrollOffset;
                        ASSERT_EQ(m.ToDeviceX(zoom * chosen), dx)
                            << w << "x" << h << " u" << ux << " z" << zoom;
                        if (m.ToDeviceX(zoom) - m.ToDeviceX(0) >= 1 && m.ToDeviceX(zoom * (k + 1)) != dx &&
                            (k == 0 || m.ToDeviceX(zoom * (k - 1)) != dx)) {
                            ASSERT_EQ(chosen, k) << w << "x" << h << " u" << ux << " z" << zoom;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(DiagramPlan, TitleTextsAndAnEmptyHistory) {
    const PaintPlan& p = Plan();
    EXPECT_EQ(Texts(p).substr(0, 12), "Channel 1: |");
    EXPECT_EQ(Count(p, PlanOp::Line), 81);  // ticks only: no marker, no newest line
    EXPECT_EQ(Readouts(p), "||||");
    char title[kPlanTextSize];
    Fill(3);
    C().LinkIndex = 2;
    BuildTitle(state, 0, title, sizeof title);
    EXPECT_STREQ(title, "Channel 1: Digipeater QX0TST-2, Link to QX0DEF");
    std::snprintf(C().CallPath, kCallPathSize, "abcdefghijklmnopqrstuvwxyz0123456789");
    BuildTitle(state, 0, title, sizeof title);
    EXPECT_STREQ(title, "Channel 1: Digipeater ABCDEFGHIJK, Link to QX0DEF");
}

TEST_F(DiagramPlan, ReadoutsAndLabelsAtTheMarker) {
    FillHistory(state, 0, 30, 3, [](int i, FilledRecord& r) {
        r.Links[0] = FilledSample{"A", 255, 1234, 56, 9999, 9999, 1};
        r.Hour = 23, r.Minute = 59, r.Day = 31, r.Month = 12, r.Year = i;
    });
    C().MarkerOffset = 21;
    const PaintPlan& p = Plan();
    EXPECT_EQ(Readouts(p), "X-Pos: 23:59/31.12.08|T/Rkby: 1234/56 |Qty: 255|Time: 9999/9999|");
    // Values above the top (1234, 9999): their labels are left out.
    EXPECT_NE(Texts(p).find("Link to A|QTY|RKBY|<-Link Usage|"), std::string::npos) << Texts(p);
    state.qty = state.time = state.bytes = 0;
    const PaintPlan& off = Plan();
    EXPECT_EQ(Readouts(off), "X-Pos: 23:59/31.12.08|T/Rkby:      |Qty:  |Time:        |");
    EXPECT_EQ(Texts(off).find("QTY"), std::string::npos);
    EXPECT_EQ(Count(off, PlanOp::Polyline), 0);
}

TEST_F(DiagramPlan, CurvePointsPileAtTheRightEdgeAndStopAtTheTop) {
    FillHistory(state, 0, 200, 3, [](int i, FilledRecord& r) {
        r.Links[0].Qty = i == 5 ? 0x7fffffff : i;
        r.Links[0].LinkState = 6;
    });
    C().YZoomStep = 6;
    state.XZoom = 20;
    const DiagramMapping m = SetupDiagramMapping(648, 480, 8, 16);
    const PlotRect plot = PlotRectFor(648, 480);
    ASSERT_EQ(BuildCurvePoints(state, 0, m, plot), 200);
    const CurvePoint* qty = CurveSeriesPoints(state, kSeriesQty);
    EXPECT_EQ((std::vector<int>{qty[3].X, qty[3].Y, qty[5].Y, qty[199].X,
                                CurveSeriesPoints(state, kSeriesState)[7].Y}),
              (std::vector<int>{60, 18, 806, 1186, 6}));
    C().ScrollOffset = 190;
    EXPECT_EQ(BuildCurvePoints(state, 0, m, plot), 10);
}

TEST_F(DiagramPlan, UsageStripAndLinkUsageLabel) {
    Fill(8);
    state.XZoom = 20;
    const PaintPlan& p = Plan();
    // States 0..6, 0: every class differs from the one before, so seven runs;
    // the last point's own class is never shown.
    ASSERT_EQ(p.BarCount, 7);
    EXPECT_EQ(p.Bars[0].Left, p.Mapping.ToDeviceX(0));
    EXPECT_EQ(p.Bars[0].Bottom - p.Bars[0].Top, 5);  // 12 logical units
    // Near the right edge the label ends at the line, below the strip.
    Fill(400);
    const PaintPlan& q = Plan();
    for (int i = 0; i < q.ItemCount; ++i) {
        if (std::string(q.Items[i].Text) != "<-Link Usage") continue;
        EXPECT_EQ(q.Items[i].Align, kAlignRightTop);
        EXPECT_EQ(q.Items[i].X0, q.Plot.right - 1);
        EXPECT_EQ(q.Items[i].Y0, q.Mapping.ToDeviceY(806 - 10));
    }
}

TEST_F(DiagramPlan, TheClampRunsBeforeThePaintWhichMovesNoMarker) {
    Fill(10);
    C().RestoreLineCount = 4;
    C().LinkIndex = 3;
    C().MarkerOffset = 2;
    port.Checked[kCmdHoldMarker] = 1;
    Plan();
    EXPECT_EQ(C().LinkIndex, 2);
    // A call in progress (5 of 17 lines received) does not move the link.
    C().RestoreLineCount = 17;
    C().LinkIndex = 12;
    Plan();
    C().ReplyLineCount = 5;
    Plan();
    EXPECT_EQ(C().LinkIndex, 12);
    // Records that arrived meanwhile: the held marker is kept where they are
    // added, not by the paint.
    Fill(12);
    C().RestoreLineCount = 4;
    Plan();
    EXPECT_EQ(C().MarkerOffset, 2);
}

// The demonstration's first picture: the longest history whole at the
// largest X zoom that shows all of it, each channel up to its newest record
// with the marker there.
TEST_F(DiagramPlan, HistoriesShownUpToNow) {
    struct Row {
        int records[4];
        const char* after;  // XZoom, then scroll offset per channel
    };
    const Row rows[] = {
        {{30, 2, 1, 0}, "20: 0 0 0 0"},
        {{2000, 860, 0, 0}, "1: 894 0 0 0"},
        {{553, 0, 0, 0}, "2: 0 0 0 0"},  // 2 x 552 fills 1105 exactly
        {{700, 0, 0, 0}, "1: 0 0 0 0"},  // 2 x 699 would overrun 1105
    };
    for (const Row& r : rows) {
        for (int ch = 0; ch < kChannelCount; ++ch) {
            state.ChannelTable[ch].RecordCount = r.records[ch];
            state.ChannelTable[ch].ScrollOffset = 5;
            state.ChannelTable[ch].MarkerOffset = 1;
        }
        ShowHistoriesUpToNow(state, 8, 16);
        std::string after = std::to_string(state.XZoom) + ":";
        for (const ChannelRecord& ch : state.ChannelTable) {
            after += " " + std::to_string(ch.ScrollOffset);
            EXPECT_EQ(ch.MarkerOffset, 0);
        }
        EXPECT_EQ(after, r.after);
    }
    // The newest record leaves room for the curve labels at the marker.
    Fill(2000);
    state.showtxtim = state.time = 1;
    ShowHistoriesUpToNow(state, 8, 16);
    EXPECT_NE(Texts(Plan(81 * 8, 32 * 16)).find("|TxTIM|"), std::string::npos);
}

TEST_F(DiagramPlan, YZoomForAllChannelsOnlyWithOneYZoom) {
    state.one_yzoom = 1;
    RunNavigationCommand(state, port, kCmdShrinkYAxis);
    for (const ChannelRecord& ch : state.ChannelTable) EXPECT_EQ(ch.YZoomStep * 100 + ch.YScale, 610);
    EXPECT_EQ(port.Status[kFieldYZoom], "YZoom: 0,6");
    state.ChannelTable[1].YZoomStep = 3;
    RunNavigationCommand(state, port, kCmdNextDigipeater);
    EXPECT_EQ(state.ChannelTable[0].YZoomStep, 6);
    EXPECT_EQ(port.Status[kFieldYZoom], "YZoom: 0,3");
}

TEST_F(DiagramPlan, ClickAndRightHold) {
    EXPECT_EQ(PutMarkerAtClick(state, port, 648, 480, 8, 16, 300, 200), 0);  // empty history
    Fill(30);
    C().ScrollOffset = 4;
    EXPECT_EQ(PutMarkerAtClick(state, port, 648, 480, 8, 16, 620, 200), 1);
    EXPECT_EQ(C().MarkerOffset, 0);  // right of the newest
    EXPECT_EQ(PutMarkerAtClick(state, port, 648, 480, 8, 16, 20, 200), 0);

    // Right-button scrolling: never from outside the plot; with fast
    // scrolling 40 records a step, all or nothing (28 - 40 < 0: refused).
    C().ScrollOffset = 28;
    RightHold hold;
    EXPECT_EQ(BeginRightHold(state, port, 648, 480, 10, 200, hold), 0);
    port.Checked[kCmdFastScroll] = 1;
    EXPECT_EQ(RunNavigationCommand(state, port, kCmdFastScroll), 0);  // only the check state changes
    ASSERT_EQ(BeginRightHold(state, port, 648, 480, 324, 200, hold), 1);
    EXPECT_EQ(C().ScrollStep, 40);
    EXPECT_EQ(RightHoldStep(state, port, hold), 0);
    EndRightHold(state, hold);
}

// Each toolbar command run from a view ("name=value ..." over the view
// defaults, 30 records, 5 reply lines and Y zoom 1/1, the same on every
// channel), the toolbar then brought up to date. After, as one line: "scroll
// marker link XZoom step/scale channel repaint" (- none, n without erase, e
// with erase), then the rule buttons in pairs: digipeater, link, Y zoom,
// marker, X zoom, diagram, each next/expand/left first. A command refused at
// its edge changes nothing. Enabled buttons are never enabled again (that
// would redraw the toolbar each time); from disabled ones the result is the
// same.
TEST(NavigationCommands, EachRuleAtItsEdgesAndTheButtonsAfter) {
    const struct {
        int Command;
        const char *View, *After;
    } rows[] = {
        // Digipeaters: the first and last channel are the edges.
        {kCmdNextDigipeater, "", "0 0 1 10 1/1 1 e 11 10 11 10 11 10"},
        {kCmdNextDigipeater, "channel=3", "0 0 1 10 1/1 3 - 01 10 11 10 11 10"},
        {kCmdPreviousDigipeater, "channel=3", "0 0 1 10 1/1 2 e 11 10 11 10 11 10"},
        {kCmdPreviousDigipeater, "", "0 0 1 10 1/1 0 - 10 10 11 10 11 10"},
        // Links: the last of 5 reply lines is link 3.
        {kCmdNextLink, "link=2", "0 0 3 10 1/1 0 e 10 01 11 10 11 10"},
        {kCmdNextLink, "link=3", "0 0 3 10 1/1 0 - 10 01 11 10 11 10"},
        {kCmdPreviousLink, "link=3", "0 0 2 10 1/1 0 e 10 11 11 10 11 10"},
        {kCmdPreviousLink, "", "0 0 1 10 1/1 0 - 10 10 11 10 11 10"},
        // A reply being collected counts for nothing until it is complete;
        // an enabled link button works meanwhile.
        {kCmdGrid, "lines=0 reply=5 link=5", "0 0 5 10 1/1 0 n 10 00 11 10 11 10"},
        {kCmdNextLink, "lines=17 reply=5 link=12", "0 0 13 10 1/1 0 e 10 11 11 10 11 10"},
        // Y zoom: 6 is the widest whole step, 0,1 the narrowest fraction.
        {kCmdExpandYAxis, "y=5", "0 0 1 10 6/1 0 e 10 10 01 10 11 10"},
        {kCmdExpandYAxis, "y=6 scale=10", "0 0 1 10 1/1 0 e 10 10 11 10 11 10"},
        {kCmdShrinkYAxis, "", "0 0 1 10 6/10 0 e 10 10 11 10 11 10"},
        {kCmdShrinkYAxis, "y=2 scale=10", "0 0 1 10 1/10 0 e 10 10 10 10 11 10"},
        // Marker: needs a record on either side within the shown part.
        {kCmdShiftMarkerLeft, "scroll=24 marker=4", "24 5 1 10 1/1 0 n 10 10 11 01 11 01"},
        {kCmdShiftMarkerLeft, "scroll=24 marker=5", "24 5 1 10 1/1 0 - 10 10 11 01 11 01"},
        {kCmdShiftMarkerRight, "scroll=24 marker=5", "24 4 1 10 1/1 0 n 10 10 11 11 11 01"},
        {kCmdShiftMarkerRight, "", "0 0 1 10 1/1 0 - 10 10 11 10 11 10"},
        // X zoom: 1 to 20.
        {kCmdExpandXAxis, "x=19", "0 0 1 20 1/1 0 n 10 10 11 10 01 10"},
        {kCmdExpandXAxis, "x=20", "0 0 1 20 1/1 0 - 10 10 11 10 01 10"},
        {kCmdShrinkXAxis, "x=2", "0 0 1 1 1/1 0 n 10 10 11 10 10 10"},
        {kCmdShrinkXAxis, "x=1", "0 0 1 1 1/1 0 - 10 10 11 10 10 10"},
        // Diagram: a whole step (24) of records on the side it moves to, the
        // marker pushed along or, with the hold-marker button, held on screen.
        {kCmdShiftDiagramLeft, "", "24 0 1 10 1/1 0 n 10 10 11 10 11 01"},
        {kCmdShiftDiagramLeft, "scroll=5", "5 0 1 10 1/1 0 - 10 10 11 10 11 00"},
        {kCmdShiftDiagramLeft, "marker=20", "24 5 1 10 1/1 0 n 10 10 11 01 11 01"},
        {kCmdShiftDiagramLeft, "marker=27 hold=1", "24 3 1 10 1/1 0 n 10 10 11 11 11 01"},
        {kCmdShiftDiagramRight, "scroll=28", "4 0 1 10 1/1 0 n 10 10 11 10 11 10"},
        {kCmdShiftDiagramRight, "scroll=23", "23 0 1 10 1/1 0 - 10 10 11 10 11 00"},
        {kCmdShiftDiagramRight, "scroll=24 marker=1 hold=1", "0 25 1 10 1/1 0 n 10 10 11 11 11 10"},
    };
    for (const auto& r : rows) {
        AppState state;
        InitAppState(state);
        FakePort port;
        for (ChannelRecord& ch : state.ChannelTable) {
            SetChannelViewDefaults(ch);
            const std::map<std::string, int*> fields = {{"channel", &state.CurrentChannel},
                                                        {"x", &state.XZoom},
                                                        {"hold", &port.Checked[kCmdHoldMarker]},
                                                        {"lines", &ch.RestoreLineCount},
                                                        {"reply", &ch.ReplyLineCount},
                                                        {"link", &ch.LinkIndex},
                                                        {"y", &ch.YZoomStep},
                                                        {"scale", &ch.YScale},
                                                        {"records", &ch.RecordCount},
                                                        {"scroll", &ch.ScrollOffset},
                                                        {"marker", &ch.MarkerOffset}};
            std::istringstream in(std::string("records=30 lines=5 y=1 ") + r.View);
            std::string name;
            for (int value = 0; std::getline(in >> std::ws, name, '=') && in >> value;)
                *fields.at(name) = value;
        }
        EXPECT_EQ(RunNavigationCommand(state, port, r.Command), 1);
        const ChannelRecord& c = state.ChannelTable[state.CurrentChannel];
        char after[64];
        std::snprintf(after, sizeof after, "%d %d %d %d %d/%d %d %s", c.ScrollOffset, c.MarkerOffset,
                      c.LinkIndex, state.XZoom, c.YZoomStep, c.YScale, state.CurrentChannel,
                      port.Repaints.empty()      ? "-"
                      : port.Repaints.size() > 1 ? "twice"
                      : port.Repaints[0]         ? "e"
                                                 : "n");
        std::string shown[2] = {after, after};
        for (std::string& pass : shown) {
            port.EnableCalls.clear();
            UpdateToolbarButtons(state, port);
            for (const auto& [id, enable] : port.EnableCalls) {
                EXPECT_TRUE(id != kCmdHoldMarker && id != kCmdGrid && id != kCmdFastScroll) << id;
                EXPECT_FALSE(enable && &pass == &shown[0]) << id << " after " << r.View;
            }
            for (int k = 0; int id : {40019, 40018, 40003, 40001, 40006, 40007, 40008, 40009, 40011, 40010,
                                      40012, 40013}) {
                if (k++ % 2 == 0) pass += ' ';
                pass += "01"[port.isButtonEnabled(id)];
                port.Enabled[id] = 0;
            }
        }
        EXPECT_EQ(shown[0], r.After) << r.Command << " from " << r.View;
        EXPECT_EQ(shown[1], shown[0]) << r.View;
    }
}

TEST(StatusTexts, EachCycleStateTheSecondTickAndAFieldThatNeedsMore) {
    AppState state;
    InitAppState(state);
    FakePort port;
    std::string shown, headers;
    for (int s = 0; s < 12; ++s) {
        port.Status[0] = "-";
        char header[kGridTextSize] = "-";
        state.ChannelTable[2].CycleState = static_cast<CycleState>(s);
        ShowCycleStatus(state, port, 2);
        GridHeaderText(2, static_cast<CycleState>(s), header, sizeof header);
        shown += port.Status[0] + "|";
        headers += std::string(header) + "|";
    }
    // States without a text of their own keep whatever is shown.
    EXPECT_EQ(shown,
              "Ready|Call Digipeater...|Call Digipeater...|Connected...|Connected...|Get Data...|-|Timeout|"
              "General Error|-|-|-|");
    EXPECT_EQ(headers, "Ch3 disc.|Ch3 Call|Ch3 Call|Ch3 con.|Ch3 con.|Ch3 Data|-|Ch3 Tout|Ch3 Err.|-|-|-|");
    // The second tick shows the current channel's state.
    state.CurrentChannel = 2;
    state.ChannelTable[2].CycleState = CycleState::CollectReply;
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Get Data...");

    // A field that needs more takes it from field 0, never more than field 0 has.
    const int needed[3] = {0, 80, 60};
    int narrow[3] = {10, 150, 200};
    FitStatusFields(3, needed, narrow);
    EXPECT_EQ((std::vector<int>{narrow[0], narrow[1], narrow[2]}), (std::vector<int>{0, 140, 200}));
}

TEST(MetricsLabels, EscapesWhatTheFormatAsksAndKeepsEveryByte) {
    const char* cases[][2] = {
        {"two\nlines", "two\\nlines"},         // quotes, backslashes and Latin-1: in the metrics text below
        {"M\xC3\xBCnchen", "M\xC3\xBCnchen"},  // UTF-8 stays as it is
        {"end\xC3", "end\\\\xC3"},             // a sequence cut short
        {"\xE0\x80\x80", "\\\\xE0\\\\x80\\\\x80"},  // an overlong form
    };
    for (const auto& c : cases) {
        std::string out;
        AppendLabelValue(out, c[0], std::strlen(c[0]));
        EXPECT_EQ(out, c[1]) << c[0];
    }
}

TEST(MetricsText, NewestRecordPerLinkChannelTotalsAndStableFamilies) {
    static AppState state;
    InitAppState(state);
    ASSERT_EQ(ReserveHistoryMemory(state), 1);
    ChannelRecord& c = state.ChannelTable[0];
    std::strcpy(c.CallPath, "QX0TST-2 QX0VIA");
    std::strcpy(state.ChannelTable[1].CallPath, "QX0ABC");  // configured, nothing recorded yet
    std::strcpy(c.LinkTable[kColName][1], "DB0\"X\xFC");
    std::strcpy(c.LinkTable[kColIdent][1], "Berg\\1");
    std::strcpy(c.LinkTable[kColTime][1], "  12/  34   ");
    std::strcpy(c.LinkTable[kColQty][1], " 7");  // right-aligned in its column
    c.ReplyLineCount = c.RestoreLineCount = 3;
    c.LastHour = 10, c.LastMin = 5, c.LastConDay = 7, c.LastConMonth = 12, c.LastConYear = 26;
    AddHistoryRecord(state, 0, 0, 0);
    state.CallsMade[0] = 5, state.CallersServed = 4;
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 7, t.tm_hour = 10, t.tm_min = 5, t.tm_isdst = -1;
    std::string text;
    BuildMetricsText(state, MetricsInputs{std::mktime(&t) + 90, 1700000000, Layer2Health{1, 3}}, text);
    ReleaseHistoryMemory(state);

    const std::string link = R"({channel="1",digipeater="QX0TST-2",link="DB0\"X\\xFC",ident="Berg\\1"} )";
    const std::string ch1 = "{channel=\"1\",digipeater=\"QX0TST-2\"} ";
    for (const std::string& line :
         {"hopwatch_link_qty" + link + "7", "hopwatch_link_txtim" + link + "12",
          "hopwatch_link_record_age_seconds" + link + "90", "hopwatch_calls_made_total" + ch1 + "5",
          std::string("hopwatch_records_in_memory{channel=\"2\",digipeater=\"QX0ABC\"} 0"),
          std::string("hopwatch_answer_callers_served_total 4"),
          std::string("hopwatch_layer2_reconnects_total 3"),
          std::string("hopwatch_build_info{version=\"2.34\"} 1"),
          std::string("hopwatch_start_time_seconds 1700000000")}) {
        EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line << "\n" << text;
    }
    EXPECT_EQ(text.find("_qty{channel=\"2\""), std::string::npos) << "no records, no links";
    EXPECT_EQ(text.find("channel=\"3\""), std::string::npos) << "no connect path, no series";

    std::string types;
    for (std::size_t at = 0; (at = text.find("# TYPE ", at)) != std::string::npos; at += 7) {
        types += text.substr(at + 7, text.find('\n', at) - at - 6);
    }
    EXPECT_EQ(types,
              "hopwatch_link_qty gauge\nhopwatch_link_txtim gauge\nhopwatch_link_rxtim gauge\n"
              "hopwatch_link_tkby gauge\nhopwatch_link_rkby gauge\nhopwatch_link_state gauge\n"
              "hopwatch_link_record_age_seconds gauge\nhopwatch_calls_made_total counter\n"
              "hopwatch_calls_failed_total counter\nhopwatch_cycle_state gauge\n"
              "hopwatch_records_in_memory gauge\nhopwatch_last_call_completed_timestamp_seconds gauge\n"
              "hopwatch_answer_callers_served_total counter\nhopwatch_layer2_connected gauge\n"
              "hopwatch_layer2_reconnects_total counter\nhopwatch_build_info gauge\n"
              "hopwatch_start_time_seconds gauge\n");
}

TEST(MetricsListen, AddressDefaultsToLoopbackAndABareIpv6AddressIsRefused) {
    const char* cases[][2] = {{"9473", "127.0.0.1:9473"},
                              {"0.0.0.0:80", "0.0.0.0:80"},
                              {"[::1]:9473", "::1:9473"},
                              {"::1:9473", ""},
                              {"host:9x", ""}};
    for (const auto& c : cases) {
        char address[kMetricsListenSize] = "";
        int port = 0;
        const int ok = ParseMetricsListen(c[0], address, sizeof address, &port);
        EXPECT_EQ(ok ? std::string(address) + ":" + std::to_string(port) : "", c[1]) << c[0];
    }
}

}  // namespace
