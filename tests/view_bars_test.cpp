// The bars around the diagram through the fake platform port: the toolbar's
// tooltips and the rules that enable its push buttons; the status-bar texts
// and the channel dialog's grid headers for each cycle state, the second tick
// and a zoom factor. Field widths and layout are checked on the real window.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "app/tick_dispatch.h"
#include "core/app_state.h"
#include "support/fake_port.h"
#include "view/channel_dialog_texts.h"
#include "view/status_texts.h"
#include "view/toolbar_rules.h"

namespace {

TEST(ToolbarTooltip, UnknownIdsTheHoldMarkerAndTheBufferSize) {
    FakePort port;
    auto tooltip = [&](int id, int size = kTooltipTextSize) {
        char text[kTooltipTextSize];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(ToolbarTooltipText(port, id, text, size), 0);
        return std::string(text);
    };
    EXPECT_EQ(tooltip(40020), "Slow/Fast Scroll with Right Mouse Button");
    EXPECT_EQ(tooltip(40020, 10), "Slow/Fast");
    for (int id : {40002, 40004, 40005, 40014, 40017, 40000, 40021, 0, -1})
        EXPECT_EQ(tooltip(id), "Unknown") << id;
    // The checked text is read through the real toolbar.
    EXPECT_EQ(tooltip(40015), "Hold Marker on Screen Position");
}

// The rule buttons after a repaint of `view` ("name=value ..." over view
// defaults), in pairs: digipeater, link, Y zoom, marker, X zoom, diagram, each
// next/expand/left first. Enabled buttons are never enabled again (that would
// redraw the toolbar each time); from disabled ones the result is the same.
std::string Enabled(const char* view) {
    AppState state;
    InitAppState(state);
    for (ChannelRecord& ch : state.ChannelTable) SetChannelViewDefaults(ch);
    std::istringstream in(view);
    std::string name;
    for (int value = 0; std::getline(in >> std::ws, name, '=') && in >> value;) {
        ChannelRecord& ch = state.ChannelTable[state.CurrentChannel];
        const std::map<std::string, int*> fields = {{"channel", &state.CurrentChannel},
                                                    {"x", &state.XZoom},
                                                    {"lines", &ch.ReplyLineCount},
                                                    {"link", &ch.LinkIndex},
                                                    {"y", &ch.YZoomStep},
                                                    {"scale", &ch.YScale},
                                                    {"records", &ch.RecordCount},
                                                    {"scroll", &ch.ScrollOffset},
                                                    {"step", &ch.ScrollStep},
                                                    {"marker", &ch.MarkerOffset}};
        *fields.at(name) = value;
    }
    FakePort port;
    std::string shown[2];
    for (std::string& pass : shown) {
        port.EnableCalls.clear();
        UpdateToolbarButtons(state, port);
        for (const auto& [id, enable] : port.EnableCalls) {
            EXPECT_TRUE(id != 40015 && id != 40016 && id != 40020) << id;
            EXPECT_FALSE(enable && &pass == &shown[0]) << id << " in " << view;
        }
        for (int id : {40019, 40018, 40003, 40001, 40006, 40007, 40008, 40009, 40011, 40010, 40012, 40013}) {
            if (pass.size() % 3 == 2) pass += ' ';
            pass += "01"[port.isButtonEnabled(id)];
            port.Enabled[id] = 0;
        }
    }
    EXPECT_EQ(shown[1], shown[0]) << view;
    return shown[0];
}

TEST(ToolbarEnabling, EveryRuleAtItsEdges) {
    const struct {
        const char *View, *Want;
    } cases[] = {
        // Digipeaters: the first and last channel are the edges.
        {"channel=0", "10 00 11 00 11 00"},
        {"channel=3", "01 00 11 00 11 00"},
        // Links: none without a reply, one link has nowhere to go.
        {"lines=0 link=5", "10 00 11 00 11 00"},
        {"lines=3 link=1", "10 00 11 00 11 00"},
        {"lines=4 link=1", "10 10 11 00 11 00"},
        {"lines=4 link=2", "10 01 11 00 11 00"},
        // Y zoom: 6 is the widest whole step, 0,1 the narrowest fraction.
        {"y=6 scale=1", "10 00 01 00 11 00"},
        {"y=5 scale=1", "10 00 11 00 11 00"},
        {"y=1 scale=10", "10 00 10 00 11 00"},
        {"y=2 scale=10", "10 00 11 00 11 00"},
        {"y=6 scale=10", "10 00 11 00 11 00"},
        // Marker: needs a record on either side within the shown part.
        {"records=1", "10 00 11 00 11 00"},
        {"records=2 marker=0", "10 00 11 10 11 00"},
        {"records=2 marker=1", "10 00 11 01 11 00"},
        {"records=100 scroll=90 marker=8", "10 00 11 11 11 01"},
        {"records=100 scroll=90 marker=9", "10 00 11 01 11 01"},
        {"records=100 scroll=100", "10 00 11 00 11 01"},
        // X zoom: 1 to 20.
        {"x=20", "10 00 11 00 01 00"},
        {"x=19", "10 00 11 00 11 00"},
        {"x=2", "10 00 11 00 11 00"},
        {"x=1", "10 00 11 00 10 00"},
        // Diagram: a whole step (24 by default) of records on the side it moves to.
        {"records=100 scroll=23", "10 00 11 10 11 10"},
        {"records=100 scroll=24", "10 00 11 10 11 11"},
        {"records=100 scroll=74", "10 00 11 10 11 11"},
        {"records=100 scroll=75", "10 00 11 10 11 01"},
        {"records=2 step=1", "10 00 11 10 11 00"},
    };
    for (const auto& c : cases) EXPECT_EQ(Enabled(c.View), c.Want) << c.View;
}

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
