// Status bar widths, layout and texts, with the base unit fixed at 8 pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tick_dispatch.h"
#include "core/app_state.h"
#include "support/fake_port.h"
#include "view/status_texts.h"

namespace {

TEST(StatusFields, WidthsInBaseUnitsAndOnlyFieldZeroResizes) {
    int widths[kStatusFieldCount], edges[kStatusFieldCount];
    ComputeStatusFieldWidths(kStatusFieldCount, StatusFieldLabels, 8, widths);
    EXPECT_EQ(std::vector<int>(widths, widths + 7), (std::vector<int>{520, 400, 328, 256, 152, 104, 0}));
    // Field 0's edge may go below zero.
    for (int right : {648, 100, 0}) {
        LayoutStatusFields(right, kStatusFieldCount, widths, edges);
        for (int k = 0; k < kStatusFieldCount; ++k) EXPECT_EQ(edges[k], right - widths[k]) << right << " " << k;
    }
}

TEST(StatusTexts, EachCycleStateAndTheSecondTick) {
    AppState state;
    InitAppState(state);
    FakePort port;
    // States without a text of their own keep whatever field 0 shows.
    const char* expected[12] = {"Ready", "Call Digipeater...", "Call Digipeater...", "Connected...", "Connected...",
                                "Get Data...", nullptr, "Timeout", "General Error", nullptr, nullptr, nullptr};
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
}

TEST(StatusTexts, ZoomTexts) {
    FakePort port;
    ShowXZoom(port, 10);
    EXPECT_EQ(port.Status[2], "XZoom: 10");
    // Only a factor of exactly 10 reads as a fraction.
    const struct { int Step, Scale; const char* Text; } cases[] = {
        {6, 1, "YZoom: 6"}, {1, 10, "YZoom: 0,1"}, {6, 10, "YZoom: 0,6"}, {3, 0, "YZoom: 3"}};
    for (const auto& c : cases) {
        ShowYZoom(port, c.Step, c.Scale);
        EXPECT_EQ(port.Status[3], c.Text);
    }
}

}  // namespace
