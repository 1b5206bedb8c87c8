// The toolbar table, its tooltips and the enabling rules, checked through the
// fake platform port.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "shell/channel_table.h"
#include "shell/toolbar.h"
#include "support/fake_port.h"

namespace {

struct Expected {
    int Style;
    int Image;
    int Id;
};

// Left to right, as operators know the toolbar.
constexpr Expected kExpected[kToolbarEntryCount] = {
    {1, 0, 0},      {1, 0, 0},      {0, 0, 40001},  {0, 1, 40003},  {1, 0, 0},
    {0, 2, 40006},  {0, 3, 40007},  {1, 0, 0},      {0, 4, 40008},  {0, 5, 40009},
    {1, 0, 0},      {0, 6, 40010},  {0, 7, 40011},  {1, 0, 0},      {0, 8, 40012},
    {0, 9, 40013},  {1, 0, 0},      {2, 10, 40015}, {1, 0, 0},      {2, 11, 40016},
    {1, 0, 0},      {2, 12, 40020}, {1, 0, 0},      {0, 13, 40018}, {0, 14, 40019},
};

TEST(ToolbarTable, EntriesAsTabled) {
    for (int i = 0; i < kToolbarEntryCount; ++i) {
        SCOPED_TRACE(i);
        const ToolbarButton& b = ToolbarButtons[i];
        EXPECT_EQ(b.Style, kExpected[i].Style);
        EXPECT_EQ(b.Image, kExpected[i].Image);
        EXPECT_EQ(b.CommandId, kExpected[i].Id);
        EXPECT_EQ(b.State, kButtonStateEnabled);
        EXPECT_EQ(b.Data, 0);
        EXPECT_EQ(b.StringIndex, 0);
    }
}

TEST(ToolbarTable, RecordLayoutIsTheClassicTwentyBytes) {
    EXPECT_EQ(sizeof(ToolbarButton), 20u);
    EXPECT_EQ(offsetof(ToolbarButton, CommandId), 4u);
    EXPECT_EQ(offsetof(ToolbarButton, State), 8u);
    EXPECT_EQ(offsetof(ToolbarButton, Style), 9u);
    EXPECT_EQ(offsetof(ToolbarButton, Data), 12u);
    EXPECT_EQ(offsetof(ToolbarButton, StringIndex), 16u);
}

TEST(ToolbarTable, EveryImageUsedOnceInStripOrder) {
    int next = 0;
    for (const ToolbarButton& b : ToolbarButtons) {
        if (b.Style == kButtonStyleSeparator) continue;
        EXPECT_EQ(b.Image, next++);
    }
    EXPECT_EQ(next, kToolbarImageCount);
}

std::string Tooltip(FakePort& port, int id, int size = kTooltipTextSize) {
    char text[kTooltipTextSize];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(ToolbarTooltipText(port, id, text, size), 0);
    return text;
}

TEST(ToolbarTooltip, TextsByIdAcrossTheWholeRange) {
    FakePort port;
    const std::pair<int, const char*> cases[] = {
        {40001, "Previous Link"},       {40002, "Unknown"},
        {40003, "Next Link"},           {40004, "Unknown"},
        {40005, "Unknown"},             {40006, "Expand Y-Axis"},
        {40007, "Shrink Y-Axis"},       {40008, "Shift Marker Left"},
        {40009, "Shift Marker Right"},  {40010, "Shrink X-Axis"},
        {40011, "Expand X-Axis"},       {40012, "Shift Diagram Left"},
        {40013, "Shift Diagram Right"}, {40014, "Unknown"},
        {40016, "Grid ON/OFF"},         {40017, "Unknown"},
        {40018, "Previous Digipeater"}, {40019, "Next Digipeater"},
        {40020, "Slow/Fast Scroll with Right Mouse Button"},
        {40000, "Unknown"},             {40021, "Unknown"},
        {0, "Unknown"},                 {-1, "Unknown"},
    };
    for (const auto& [id, text] : cases) {
        EXPECT_EQ(Tooltip(port, id), text) << id;
    }
}

TEST(ToolbarTooltip, HoldMarkerFollowsItsCheckState) {
    FakePort port;
    EXPECT_EQ(Tooltip(port, 40015), "Hold Marker on Screen Position");
    port.Checked[40015] = 1;
    EXPECT_EQ(Tooltip(port, 40015), "Hold Marker on Graphic Position");
    port.Checked[40015] = 0;
    EXPECT_EQ(Tooltip(port, 40015), "Hold Marker on Screen Position");
}

TEST(ToolbarTooltip, CutToTheRequestBuffer) {
    FakePort port;
    EXPECT_EQ(Tooltip(port, 40020, 10), "Slow/Fast");
}

class ToolbarEnabling : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        for (ChannelRecord& c : state.ChannelTable) SetChannelViewDefaults(c);
    }
    ChannelRecord& Current() { return state.ChannelTable[state.CurrentChannel]; }
    int Enabled(int id) {
        port.Enabled.clear();
        port.EnableCalls.clear();
        UpdateToolbarButtons(state, port);
        return port.isButtonEnabled(id);
    }
    AppState state;
    FakePort port;
};

TEST_F(ToolbarEnabling, DigipeaterButtonsAtTheChannelEdges) {
    const struct { int Channel, Next, Previous; } cases[] = {{0, 1, 0}, {1, 1, 1}, {2, 1, 1}, {3, 0, 1}};
    for (const auto& c : cases) {
        state.CurrentChannel = c.Channel;
        EXPECT_EQ(Enabled(40019), c.Next) << c.Channel;
        EXPECT_EQ(Enabled(40018), c.Previous) << c.Channel;
    }
}

TEST_F(ToolbarEnabling, LinkButtonsFollowTheReply) {
    const struct { int Lines, Link, Next, Previous; } cases[] = {
        {0, 1, 0, 0},  {0, 5, 0, 0},   // no reply: neither way
        {3, 1, 0, 0},  {4, 1, 1, 0},   // one link / two links
        {4, 2, 0, 1},  {19, 16, 1, 1}, {19, 17, 0, 1},
    };
    for (const auto& c : cases) {
        Current().ReplyLineCount = c.Lines;
        Current().LinkIndex = c.Link;
        EXPECT_EQ(Enabled(40003), c.Next) << c.Lines << "/" << c.Link;
        EXPECT_EQ(Enabled(40001), c.Previous) << c.Lines << "/" << c.Link;
    }
}

TEST_F(ToolbarEnabling, YZoomAtItsLimits) {
    const struct { int Step, Scale, Expand, Shrink; } cases[] = {
        {6, 1, 0, 1}, {5, 1, 1, 1}, {1, 10, 1, 0}, {2, 10, 1, 1}, {6, 10, 1, 1}, {3, 1, 1, 1},
        {1, 1, 1, 1},
    };
    for (const auto& c : cases) {
        Current().YZoomStep = c.Step;
        Current().YScale = c.Scale;
        EXPECT_EQ(Enabled(40006), c.Expand) << c.Step << "/" << c.Scale;
        EXPECT_EQ(Enabled(40007), c.Shrink) << c.Step << "/" << c.Scale;
    }
}

TEST_F(ToolbarEnabling, MarkerButtons) {
    const struct { int Records, Scroll, Marker, Left, Right; } cases[] = {
        {0, 0, 0, 0, 0},     // no history: both off
        {1, 0, 0, 0, 0},     // one record, marker on it
        {2, 0, 0, 1, 0},     {2, 0, 1, 0, 1},
        {100, 90, 8, 1, 1},  {100, 90, 9, 0, 1},  {100, 100, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Current().RecordCount = c.Records;
        Current().ScrollOffset = c.Scroll;
        Current().MarkerOffset = c.Marker;
        EXPECT_EQ(Enabled(40008), c.Left) << c.Records << "/" << c.Scroll << "/" << c.Marker;
        EXPECT_EQ(Enabled(40009), c.Right) << c.Records << "/" << c.Scroll << "/" << c.Marker;
    }
}

TEST_F(ToolbarEnabling, XZoomAtItsLimits) {
    const struct { int Zoom, Expand, Shrink; } cases[] = {{20, 0, 1}, {19, 1, 1}, {10, 1, 1}, {2, 1, 1}, {1, 1, 0}};
    for (const auto& c : cases) {
        state.XZoom = c.Zoom;
        EXPECT_EQ(Enabled(40011), c.Expand) << c.Zoom;
        EXPECT_EQ(Enabled(40010), c.Shrink) << c.Zoom;
    }
}

TEST_F(ToolbarEnabling, DiagramShiftButtons) {
    const struct { int Records, Scroll, Step, Left, Right; } cases[] = {
        {0, 0, 24, 0, 0},
        {100, 0, 24, 1, 0},    {100, 24, 24, 1, 1},   {100, 74, 24, 1, 1},
        {100, 75, 24, 0, 1},   {100, 23, 24, 1, 0},   {2, 0, 1, 0, 0},
    };
    for (const auto& c : cases) {
        Current().RecordCount = c.Records;
        Current().ScrollOffset = c.Scroll;
        Current().ScrollStep = c.Step;
        EXPECT_EQ(Enabled(40012), c.Left) << c.Records << "/" << c.Scroll;
        EXPECT_EQ(Enabled(40013), c.Right) << c.Records << "/" << c.Scroll;
    }
}

TEST_F(ToolbarEnabling, ExtremeCountersDoNotOverflow) {
    Current().RecordCount = 2147483647;
    Current().ScrollOffset = -2147483647 - 1;
    Current().ScrollStep = 2147483647;
    Current().MarkerOffset = 2147483647;
    Current().LinkIndex = 2147483647;
    Current().ReplyLineCount = 19;
    EXPECT_EQ(Enabled(40003), 0);
    EXPECT_EQ(Enabled(40008), 1);
    EXPECT_EQ(Enabled(40012), 1);
    EXPECT_EQ(Enabled(40013), 0);
}

TEST_F(ToolbarEnabling, AsksBeforeChangingAndLeavesEnabledButtonsAlone) {
    // Channel 1 with defaults: every rule holds except the two that need
    // records or links, so only those are written.
    state.CurrentChannel = 1;
    UpdateToolbarButtons(state, port);
    std::vector<std::pair<int, int>> expected = {
        {40003, 0}, {40001, 0}, {40008, 0}, {40009, 0}, {40012, 0}, {40013, 0}};
    EXPECT_EQ(port.EnableCalls, expected);

    // A second repaint re-sends only the disables (allowed), never an
    // enable to an already enabled button.
    port.EnableCalls.clear();
    UpdateToolbarButtons(state, port);
    EXPECT_EQ(port.EnableCalls, expected);

    // Disabled buttons whose rule now holds are enabled, once.
    Current().RecordCount = 50;
    port.EnableCalls.clear();
    UpdateToolbarButtons(state, port);
    expected = {{40003, 0}, {40001, 0}, {40008, 1}, {40009, 0}, {40012, 1}, {40013, 0}};
    EXPECT_EQ(port.EnableCalls, expected);
    port.EnableCalls.clear();
    UpdateToolbarButtons(state, port);
    expected = {{40003, 0}, {40001, 0}, {40009, 0}, {40013, 0}};
    EXPECT_EQ(port.EnableCalls, expected);
}

TEST_F(ToolbarEnabling, RulesRunInTableOrderAndNeverTouchCheckButtons) {
    for (int id : {40019, 40018, 40003, 40001, 40006, 40007, 40008, 40009, 40011, 40010, 40012, 40013}) {
        port.Enabled[id] = 0;
    }
    state.XZoom = 20;
    Current().ReplyLineCount = 5;
    Current().LinkIndex = 2;
    Current().RecordCount = 100;
    Current().ScrollOffset = 30;
    Current().MarkerOffset = 3;
    UpdateToolbarButtons(state, port);
    std::vector<int> order;
    for (const auto& call : port.EnableCalls) order.push_back(call.first);
    const std::vector<int> expected = {40019, 40018, 40003, 40001, 40006, 40007,
                                       40008, 40009, 40011, 40010, 40012, 40013};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(port.Enabled[40018], 0);
    EXPECT_EQ(port.Enabled[40011], 0);
    EXPECT_EQ(port.Enabled.count(40015) + port.Enabled.count(40016) + port.Enabled.count(40020), 0u);
}

}  // namespace
