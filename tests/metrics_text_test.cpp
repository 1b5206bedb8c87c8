// The exposition text: label escaping, which series a channel gets, the
// family names and types that dashboards and alert rules depend on, and
// where the endpoint listens.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

#include "app/options.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "settings/settings_file.h"
#include "view/metrics_text.h"

namespace {

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
