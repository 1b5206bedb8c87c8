// The exposition text: label escaping, which series a channel gets, and the
// family names and types that dashboards and alert rules depend on.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <sstream>
#include <string>

#include "app/options.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "settings/settings_file.h"
#include "view/metrics_text.h"

namespace {

TEST(MetricsLabels, EscapesWhatTheFormatAsksAndKeepsEveryByte) {
    const struct {
        const char* In;
        const char* Out;
    } cases[] = {
        {"DB0ABC", "DB0ABC"},
        {"a\"b", "a\\\"b"},
        {"c:\\x", "c:\\\\x"},
        {"two\nlines", "two\\nlines"},
        {"M\xC3\xBCnchen", "M\xC3\xBCnchen"},       // UTF-8 stays as it is
        {"M\xFCnchen", "M\\\\xFCnchen"},            // a Latin-1 byte is spelt out
        {"end\xC3", "end\\\\xC3"},                  // a sequence cut short
        {"\xE0\x80\x80", "\\\\xE0\\\\x80\\\\x80"},  // an overlong form
    };
    for (const auto& c : cases) {
        std::string out;
        AppendLabelValue(out, c.In, std::strlen(c.In));
        EXPECT_EQ(out, c.Out) << c.In;
    }
}

struct MetricsState : testing::Test {
    AppState State;
    std::string Text;
    void SetUp() override {
        InitAppState(State);
        ASSERT_EQ(ReserveHistoryMemory(State), 1);
    }
    void TearDown() override { ReleaseHistoryMemory(State); }
    std::string Build(long long now) {
        BuildMetricsText(State, MetricsInputs{now, 1700000000, Layer2Health{1, 3}}, Text);
        return Text;
    }
};

TEST_F(MetricsState, NewestRecordPerLinkAndChannelTotalsWithoutRecords) {
    ChannelRecord& c = State.ChannelTable[0];
    std::strcpy(c.CallPath, "QX0TST-2 QX0VIA");
    std::strcpy(State.ChannelTable[1].CallPath, "QX0ABC");  // configured, nothing recorded yet
    std::strcpy(c.LinkTable[kColName][1], "DB0\"X\xFC");
    std::strcpy(c.LinkTable[kColIdent][1], "Berg\\1");
    std::strcpy(c.LinkTable[kColQty][1], "42");
    std::strcpy(c.LinkTable[kColTime][1], "  12/  34   ");
    c.ReplyLineCount = c.RestoreLineCount = 3;
    c.LastHour = 10, c.LastMin = 5, c.LastConDay = 7, c.LastConMonth = 12, c.LastConYear = 26;
    AddHistoryRecord(State, 0, 0, 0);
    State.CallsMade[0] = 5, State.CallsFailed[0] = 2, State.CallersServed = 4;
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 7, t.tm_hour = 10, t.tm_min = 5, t.tm_isdst = -1;
    const std::string text = Build(static_cast<long long>(std::mktime(&t)) + 90);

    const std::string link = R"({channel="1",digipeater="QX0TST-2",link="DB0\"X\\xFC",ident="Berg\\1"})";
    for (const char* line : {"hopwatch_link_qty", "hopwatch_link_txtim", "hopwatch_link_rxtim",
                             "hopwatch_link_record_age_seconds"}) {
        EXPECT_NE(text.find(line + link + " "), std::string::npos) << line << "\n" << text;
    }
    EXPECT_NE(text.find("hopwatch_link_qty" + link + " 42\n"), std::string::npos);
    EXPECT_NE(text.find("hopwatch_link_txtim" + link + " 12\n"), std::string::npos);
    EXPECT_NE(text.find("hopwatch_link_record_age_seconds" + link + " 90\n"), std::string::npos);
    for (const char* line :
         {"hopwatch_calls_made_total{channel=\"1\",digipeater=\"QX0TST-2\"} 5\n",
          "hopwatch_calls_failed_total{channel=\"1\",digipeater=\"QX0TST-2\"} 2\n",
          "hopwatch_records_in_memory{channel=\"2\",digipeater=\"QX0ABC\"} 0\n",
          "hopwatch_answer_callers_served_total 4\n", "hopwatch_layer2_reconnects_total 3\n",
          "hopwatch_build_info{version=\"2.34\"} 1\n", "hopwatch_start_time_seconds 1700000000\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(text.find("hopwatch_link_qty{channel=\"2\""), std::string::npos) << "no records, no links";
    EXPECT_EQ(text.find("channel=\"3\""), std::string::npos) << "no connect path, no series";
}

TEST_F(MetricsState, FamilyNamesAndTypesStayPut) {
    std::istringstream lines(Build(0));
    std::string line, types;
    while (std::getline(lines, line)) {
        if (line.rfind("# TYPE ", 0) == 0) types += line.substr(7) + "\n";
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
    const struct {
        const char* Text;
        const char* Address;  // null: refused
        int Port;
    } cases[] = {{"9473", "127.0.0.1", 9473}, {"0.0.0.0:80", "0.0.0.0", 80}, {"[::1]:9473", "::1", 9473},
                 {"::1:9473", nullptr, 0},    {":9473", nullptr, 0},         {"host:0", nullptr, 0},
                 {"host:65536", nullptr, 0},  {"host:9x", nullptr, 0}};
    for (const auto& c : cases) {
        char address[kMetricsListenMax] = "";
        int port = 0;
        EXPECT_EQ(ParseMetricsListen(c.Text, address, sizeof address, &port), c.Address ? 1 : 0) << c.Text;
        if (c.Address) {
            EXPECT_STREQ(address, c.Address);
            EXPECT_EQ(port, c.Port);
        }
    }
    ProfileFile profile;
    const std::string text = "[L2]\r\nBackend=sim\r\n";
    ParseProfileText(profile, text.data(), text.size());
    SaveMetricsSetting(profile, "");  // never turned on: the file stays as it was
    EXPECT_EQ(ProfileText(profile), text);
    SaveMetricsSetting(profile, "9473");
    SaveMetricsSetting(profile, "");  // turned off again: kept, empty
    EXPECT_EQ(ProfileText(profile), "[L2]\r\nBackend=sim\r\n[Metrics]\r\nListen=\r\n");
}

}  // namespace
