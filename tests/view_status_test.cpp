// Status bar widths, layout and texts, with the base unit fixed at 8 pixels.
#include <gtest/gtest.h>

#include <string>

#include "core/app_state.h"
#include "view/status_texts.h"
#include "app/tick_dispatch.h"
#include "support/fake_port.h"

namespace {

constexpr int kUnitX = 8;

TEST(StatusFields, WidthsInBaseUnitsAndOnlyFieldZeroResizes) {
    int widths[kStatusFieldCount];
    ComputeStatusFieldWidths(kStatusFieldCount, StatusFieldLabels, kUnitX, widths);
    const int units[kStatusFieldCount] = {65, 50, 41, 32, 19, 13, 0};
    for (int k = 0; k < kStatusFieldCount; ++k) EXPECT_EQ(widths[k], units[k] * kUnitX) << k;

    // Fields 1..6 keep their widths at every client width; field 0's edge
    // may go below zero.
    const int fixed[kStatusFieldCount] = {0, 15, 9, 9, 13, 6, 13};
    for (int right : {648, 1000, 100, 0}) {
        int edges[kStatusFieldCount];
        LayoutStatusFields(right, kStatusFieldCount, widths, edges);
        EXPECT_EQ(edges[0], right - 65 * kUnitX) << right;
        EXPECT_EQ(edges[6], right);
        for (int k = 1; k < kStatusFieldCount; ++k) {
            EXPECT_EQ(edges[k] - edges[k - 1], fixed[k] * kUnitX) << right << " field " << k;
        }
    }
}

TEST(StatusTexts, EachCycleStateAndTheSecondTick) {
    AppState state;
    InitAppState(state);
    FakePort port;
    // States without a text of their own keep whatever field 0 shows.
    const char* expected[12] = {"Ready", "Call Digipeater...", "Call Digipeater...", "Connected...",
                                "Connected...", "Get Data...", nullptr, "Timeout",
                                "General Error", nullptr, nullptr, nullptr};
    for (int s = 0; s < 12; ++s) {
        port.Status[0] = "previous";
        state.ChannelTable[2].CycleState = static_cast<std::uint8_t>(s);
        ShowCycleStatus(state, port, 2);
        EXPECT_EQ(port.Status[0], expected[s] ? expected[s] : "previous") << s;
    }
    EXPECT_EQ(port.Status.size(), 1u);  // field 0 only

    // The second tick shows the current channel's state.
    state.CurrentChannel = 2;
    state.ChannelTable[2].CycleState = 5;
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Get Data...");
    state.CurrentChannel = 0;
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Ready");
}

TEST(StatusTexts, ZoomTexts) {
    FakePort port;
    ShowXZoom(port, 10);
    EXPECT_EQ(port.Status[2], "XZoom: 10");
    ShowXZoom(port, 1);
    EXPECT_EQ(port.Status[2], "XZoom: 1");
    const struct { int Step, Scale; const char* Text; } cases[] = {
        {6, 1, "YZoom: 6"}, {1, 10, "YZoom: 0,1"}, {6, 10, "YZoom: 0,6"}, {3, 1, "YZoom: 3"},
        {3, 0, "YZoom: 3"},  // only a factor of exactly 10 reads as a fraction
    };
    for (const auto& c : cases) {
        ShowYZoom(port, c.Step, c.Scale);
        EXPECT_EQ(port.Status[3], c.Text);
    }
}

}  // namespace
