// The toolbar table, its tooltips and the enabling rules, checked through the
// fake platform port.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "view/toolbar_rules.h"
#include "support/fake_port.h"

namespace {

TEST(ToolbarTable, EntriesAsTabled) {
    // Left to right as operators know the toolbar: "|" a separator, then
    // command/image, "c" for a check button.
    std::string shown;
    for (const ToolbarButton& b : ToolbarButtons) {
        EXPECT_EQ(b.State, kButtonStateEnabled);
        EXPECT_EQ(b.Data + b.StringIndex, 0);
        if (!shown.empty()) shown += ' ';
        if (b.Style == kButtonStyleSeparator) {
            shown += '|';
            continue;
        }
        shown += std::to_string(b.CommandId) + "/" + std::to_string(b.Image);
        if (b.Style == kButtonStyleCheck) shown += 'c';
    }
    EXPECT_EQ(shown,
              "| | 40001/0 40003/1 | 40006/2 40007/3 | 40008/4 40009/5 | 40010/6 40011/7 | 40012/8 40013/9 | "
              "40015/10c | 40016/11c | 40020/12c | 40018/13 40019/14");
}

TEST(ToolbarTooltip, TextsByIdCheckStateAndBufferSize) {
    FakePort port;
    auto tooltip = [&](int id, int size = kTooltipTextSize) {
        char text[kTooltipTextSize];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(ToolbarTooltipText(port, id, text, size), 0);
        return std::string(text);
    };
    const std::pair<int, const char*> cases[] = {
        {40001, "Previous Link"},       {40003, "Next Link"},
        {40006, "Expand Y-Axis"},       {40007, "Shrink Y-Axis"},
        {40008, "Shift Marker Left"},   {40009, "Shift Marker Right"},
        {40010, "Shrink X-Axis"},       {40011, "Expand X-Axis"},
        {40012, "Shift Diagram Left"},  {40013, "Shift Diagram Right"},
        {40016, "Grid ON/OFF"},         {40018, "Previous Digipeater"},
        {40019, "Next Digipeater"},     {40020, "Slow/Fast Scroll with Right Mouse Button"},
        {40015, "Hold Marker on Screen Position"},
    };
    for (const auto& [id, text] : cases) EXPECT_EQ(tooltip(id), text) << id;
    // Gaps in the range and ids outside it.
    for (int id : {40002, 40004, 40005, 40014, 40017, 40000, 40021, 0, -1}) EXPECT_EQ(tooltip(id), "Unknown") << id;

    port.Checked[40015] = 1;
    EXPECT_EQ(tooltip(40015), "Hold Marker on Graphic Position");
    EXPECT_EQ(tooltip(40020, 10), "Slow/Fast");
}

// One row sets the whole view (fields left out keep a fresh channel's
// defaults) and gives every rule button's state, in pairs: digipeater
// next/previous, link next/previous, Y expand/shrink, marker left/right,
// X expand/shrink, diagram left/right.
struct EnablingCase {
    int Channel = 0, XZoom = 10;
    int Lines = 0, Link = 1;  // reply lines, link shown
    int YStep = 3, YScale = 1;
    int Records = 0, Scroll = 0, Step = 24, Marker = 0;
    const char* Want = "";
};

TEST(ToolbarEnabling, EveryRuleAtItsEdges) {
    const int kMax = 2147483647;
    const EnablingCase cases[] = {
        // Digipeaters: the first and last channel are the edges.
        {.Channel = 0, .Want = "10 00 11 00 11 00"}, {.Channel = 1, .Want = "11 00 11 00 11 00"},
        {.Channel = 2, .Want = "11 00 11 00 11 00"}, {.Channel = 3, .Want = "01 00 11 00 11 00"},
        // Links: none without a reply, one link has nowhere to go.
        {.Lines = 0, .Link = 5, .Want = "10 00 11 00 11 00"},
        {.Lines = 3, .Link = 1, .Want = "10 00 11 00 11 00"}, {.Lines = 4, .Link = 1, .Want = "10 10 11 00 11 00"},
        {.Lines = 4, .Link = 2, .Want = "10 01 11 00 11 00"}, {.Lines = 19, .Link = 16, .Want = "10 11 11 00 11 00"},
        {.Lines = 19, .Link = 17, .Want = "10 01 11 00 11 00"},
        // Y zoom: 6 is the widest whole step, 0,1 the narrowest fraction.
        {.YStep = 6, .YScale = 1, .Want = "10 00 01 00 11 00"},
        {.YStep = 5, .YScale = 1, .Want = "10 00 11 00 11 00"},
        {.YStep = 1, .YScale = 1, .Want = "10 00 11 00 11 00"},
        {.YStep = 1, .YScale = 10, .Want = "10 00 10 00 11 00"},
        {.YStep = 2, .YScale = 10, .Want = "10 00 11 00 11 00"},
        {.YStep = 6, .YScale = 10, .Want = "10 00 11 00 11 00"},
        // Marker: needs a record on either side within the shown part.
        {.Records = 1, .Want = "10 00 11 00 11 00"},
        {.Records = 2, .Marker = 0, .Want = "10 00 11 10 11 00"},
        {.Records = 2, .Marker = 1, .Want = "10 00 11 01 11 00"},
        {.Records = 100, .Scroll = 90, .Marker = 8, .Want = "10 00 11 11 11 01"},
        {.Records = 100, .Scroll = 90, .Marker = 9, .Want = "10 00 11 01 11 01"},
        {.Records = 100, .Scroll = 100, .Marker = 0, .Want = "10 00 11 00 11 01"},
        // X zoom: 1 to 20.
        {.XZoom = 20, .Want = "10 00 11 00 01 00"}, {.XZoom = 19, .Want = "10 00 11 00 11 00"},
        {.XZoom = 2, .Want = "10 00 11 00 11 00"}, {.XZoom = 1, .Want = "10 00 11 00 10 00"},
        // Diagram: a whole step of records on the side it moves to.
        {.Records = 100, .Scroll = 0, .Want = "10 00 11 10 11 10"},
        {.Records = 100, .Scroll = 23, .Want = "10 00 11 10 11 10"},
        {.Records = 100, .Scroll = 24, .Want = "10 00 11 10 11 11"},
        {.Records = 100, .Scroll = 74, .Want = "10 00 11 10 11 11"},
        {.Records = 100, .Scroll = 75, .Want = "10 00 11 10 11 01"},
        {.Records = 2, .Scroll = 0, .Step = 1, .Want = "10 00 11 10 11 00"},
        // Extreme counters do not overflow.
        {.Lines = 19, .Link = kMax, .Records = kMax, .Scroll = -kMax - 1, .Step = kMax, .Marker = kMax,
         .Want = "10 01 11 11 11 10"},
    };
    for (const EnablingCase& c : cases) {
        AppState state;
        InitAppState(state);
        for (ChannelRecord& ch : state.ChannelTable) SetChannelViewDefaults(ch);
        state.CurrentChannel = c.Channel;
        state.XZoom = c.XZoom;
        ChannelRecord& ch = state.ChannelTable[c.Channel];
        ch.ReplyLineCount = c.Lines;
        ch.LinkIndex = c.Link;
        ch.YZoomStep = c.YStep;
        ch.YScale = c.YScale;
        ch.RecordCount = c.Records;
        ch.ScrollOffset = c.Scroll;
        ch.ScrollStep = c.Step;
        ch.MarkerOffset = c.Marker;
        FakePort port;
        UpdateToolbarButtons(state, port);
        std::string shown;
        for (int id : {40019, 40018, 40003, 40001, 40006, 40007, 40008, 40009, 40011, 40010, 40012, 40013}) {
            if (shown.size() % 3 == 2) shown += ' ';
            shown += static_cast<char>('0' + port.isButtonEnabled(id));
        }
        EXPECT_EQ(shown, c.Want) << "channel " << c.Channel << ", links " << c.Lines << "/" << c.Link << ", y "
                                 << c.YStep << "/" << c.YScale << ", x " << c.XZoom << ", records " << c.Records
                                 << "/" << c.Scroll << "/" << c.Step << "/" << c.Marker;
    }
}

TEST(ToolbarEnabling, ChangesOnlyWhatDiffersInTableOrderAndNeverCheckButtons) {
    AppState state;
    InitAppState(state);
    for (ChannelRecord& c : state.ChannelTable) SetChannelViewDefaults(c);
    FakePort port;
    // Channel 2 with defaults: every rule holds except the two that need
    // records or links, so only those are written; a second repaint re-sends
    // the disables (allowed), never an enable to an enabled button.
    state.CurrentChannel = 1;
    std::vector<std::pair<int, int>> expected = {
        {40003, 0}, {40001, 0}, {40008, 0}, {40009, 0}, {40012, 0}, {40013, 0}};
    for (int pass = 0; pass < 2; ++pass) {
        port.EnableCalls.clear();
        UpdateToolbarButtons(state, port);
        EXPECT_EQ(port.EnableCalls, expected) << "pass " << pass;
    }
    // Disabled buttons whose rule now holds are enabled, once.
    state.ChannelTable[1].RecordCount = 50;
    port.EnableCalls.clear();
    UpdateToolbarButtons(state, port);
    expected = {{40003, 0}, {40001, 0}, {40008, 1}, {40009, 0}, {40012, 1}, {40013, 0}};
    EXPECT_EQ(port.EnableCalls, expected);

    // With every rule button disabled, each is written, in table order.
    for (int id : {40019, 40018, 40003, 40001, 40006, 40007, 40008, 40009, 40011, 40010, 40012, 40013}) {
        port.Enabled[id] = 0;
    }
    port.EnableCalls.clear();
    UpdateToolbarButtons(state, port);
    std::vector<int> order;
    for (const auto& call : port.EnableCalls) order.push_back(call.first);
    EXPECT_EQ(order, (std::vector<int>{40019, 40018, 40003, 40001, 40006, 40007, 40008, 40009, 40011, 40010,
                                       40012, 40013}));
    EXPECT_EQ(port.Enabled.count(40015) + port.Enabled.count(40016) + port.Enabled.count(40020), 0u);
}

}  // namespace
