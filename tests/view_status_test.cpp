// The status-bar texts and the channel dialog's grid headers: the cycle
// states, the second tick and a zoom factor. The field widths and layout are
// checked through the real status bar.
#include <gtest/gtest.h>

#include <string>

#include "app/tick_dispatch.h"
#include "core/app_state.h"
#include "support/fake_port.h"
#include "view/channel_dialog_texts.h"
#include "view/status_texts.h"

namespace {

TEST(StatusTexts, EachCycleStateTheSecondTickAndAFactorOtherThanTen) {
    AppState state;
    InitAppState(state);
    FakePort port;
    std::string shown, headers;
    for (int s = 0; s < 12; ++s) {
        port.Status[0] = "-";
        char header[kGridTextSize] = "-";
        state.ChannelTable[2].CycleState = static_cast<std::uint8_t>(s);
        ShowCycleStatus(state, port, 2);
        GridHeaderText(2, s, header, sizeof header);
        shown += port.Status[0] + "|";
        headers += std::string(header) + "|";
    }
    // States without a text of their own keep whatever is shown.
    EXPECT_EQ(shown,
              "Ready|Call Digipeater...|Call Digipeater...|Connected...|Connected...|Get Data...|-|Timeout|"
              "General Error|-|-|-|");
    EXPECT_EQ(headers, "Ch3 disc.|Ch3 Call|Ch3 Call|Ch3 con.|Ch3 con.|Ch3 Data|-|Ch3 Tout|Ch3 Err.|-|-|-|");
    EXPECT_EQ(port.Status.size(), 1u);  // field 0 only
    // The second tick shows the current channel's state.
    state.CurrentChannel = 2;
    state.ChannelTable[2].CycleState = 5;
    OnSecondTimer(state, port);
    EXPECT_EQ(port.Status[0], "Get Data...");

    // Only a factor of exactly 10 reads as a fraction; the usual zoom texts
    // are read at the session start and in the diagram tests.
    ShowYZoom(port, 3, 0);
    EXPECT_EQ(port.Status[3], "YZoom: 3");
}

}  // namespace
