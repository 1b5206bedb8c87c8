// Texts the view hands out, through the fake platform port where it has one:
// the toolbar's tooltips and the rules that enable its push buttons; the
// status-bar texts and the channel dialog's grid headers for each cycle state,
// the second tick and a zoom factor (field widths and layout are checked on
// the real window); the metrics exposition text: label escaping, which series
// a channel gets, the family names and types that dashboards and alert rules
// depend on, and where the endpoint listens.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <map>
#include <sstream>
#include <string>

#include "app/options.h"
#include "app/tick_dispatch.h"
#include "core/app_state.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "settings/settings_file.h"
#include "support/fake_port.h"
#include "view/channel_dialog_texts.h"
#include "view/metrics_text.h"
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

TEST(MetricsLabels, EscapesWhatTheFormatAsksAndKeepsEveryByte) {
    const char* cases[][2] = {
        {"a\"b\\c", "a\\\"b\\\\c"},
        {"two\nlines", "two\\nlines"},
        {"M\xC3\xBCnchen", "M\xC3\xBCnchen"},       // UTF-8 stays as it is
        {"M\xFCnchen", "M\\\\xFCnchen"},            // a Latin-1 byte is spelt out
        {"end\xC3", "end\\\\xC3"},                  // a sequence cut short
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
    std::strcpy(c.LinkTable[kColQty][1], "42");
    std::strcpy(c.LinkTable[kColTime][1], "  12/  34   ");
    c.ReplyLineCount = c.RestoreLineCount = 3;
    c.LastHour = 10, c.LastMin = 5, c.LastConDay = 7, c.LastConMonth = 12, c.LastConYear = 26;
    AddHistoryRecord(state, 0, 0, 0);
    state.CallsMade[0] = 5, state.CallsFailed[0] = 2, state.CallersServed = 4;
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 7, t.tm_hour = 10, t.tm_min = 5, t.tm_isdst = -1;
    std::string text;
    BuildMetricsText(state, MetricsInputs{std::mktime(&t) + 90, 1700000000, Layer2Health{1, 3}}, text);
    ReleaseHistoryMemory(state);

    const std::string link = R"({channel="1",digipeater="QX0TST-2",link="DB0\"X\\xFC",ident="Berg\\1"} )";
    const std::string ch1 = "{channel=\"1\",digipeater=\"QX0TST-2\"} ";
    for (const std::string& line :
         {"hopwatch_link_qty" + link + "42", "hopwatch_link_txtim" + link + "12",
          "hopwatch_link_record_age_seconds" + link + "90", "hopwatch_calls_made_total" + ch1 + "5",
          "hopwatch_calls_failed_total" + ch1 + "2",
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

TEST(MetricsListen, AddressDefaultsToLoopbackAndOnlyAnOwnedKeyIsSaved) {
    const char* cases[][2] = {{"9473", "127.0.0.1:9473"},
                              {"0.0.0.0:80", "0.0.0.0:80"},
                              {"[::1]:9473", "::1:9473"},
                              {"::1:9473", ""},
                              {":9473", ""},
                              {"host:0", ""},
                              {"host:65536", ""},
                              {"host:9x", ""}};
    for (const auto& c : cases) {
        char address[kMetricsListenMax] = "";
        int port = 0;
        const int ok = ParseMetricsListen(c[0], address, sizeof address, &port);
        EXPECT_EQ(ok ? std::string(address) + ":" + std::to_string(port) : "", c[1]) << c[0];
    }
    ProfileFile profile;
    const std::string text = "[L2]\r\nBackend=sim\r\n";
    ParseProfileText(profile, text.data(), text.size());
    SaveMetricsSetting(profile, "");  // never turned on: the file stays as it was
    EXPECT_EQ(ProfileText(profile), text);
    SaveMetricsSetting(profile, "9473");
    SaveMetricsSetting(profile, "");  // turned off again: kept, empty
    EXPECT_EQ(ProfileText(profile), text + "[Metrics]\r\nListen=\r\n");
}

}  // namespace
