// The channel dialog's edit rules and displays, without a window: the field
// checks over their edge cases, the accept step that keeps invalid entries
// out of memory, the grid texts and the reply box.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "acquisition/answer_text.h"
#include "core/app_state.h"
#include "settings/channel_edit.h"
#include "view/channel_dialog_texts.h"

namespace {

// Each check over its edge cases: the verdict and the text it leaves.
TEST(ChannelEdit, DestinationAndMycallRules) {
    struct Row {
        int Mycall;  // 1: CheckMycall, 0: CheckDestinationCall
        const char* Typed;
        int Valid;
        const char* Stored;
    };
    const Row rows[] = {
        {0, "", 1, ""},
        {0, "  DB0ABC   DB0XYZ-2  ", 1, "DB0ABC DB0XYZ-2"},
        {0, "db0abc-15", 1, "db0abc-15"},  // lower case kept, digits after 1..9
        {0, "DB0ABC-0", 0, "DB0ABC-0"},
        {0, "DB0ABC-A", 0, "DB0ABC-A"},
        {0, "DB0ABC -1", 0, "DB0ABC -1"},  // a blank before "-"
        {0, "DB0\xE4", 0, "DB0\xE4"},
        {1, "  ", 1, ""},
        {1, "DL1ABC-7  ", 1, "DL1ABC-7"},
        {1, "DL1 ABC", 0, "DL1 ABC"},
        {1, " DL1ABC", 0, " DL1ABC"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Typed);
        char text[kCallPathEditChars + 1];
        std::snprintf(text, sizeof text, "%s", row.Typed);
        const int length = static_cast<int>(std::strlen(text));
        EXPECT_EQ(row.Mycall ? CheckMycall(text, length) : CheckDestinationCall(text, length), row.Valid);
        EXPECT_STREQ(text, row.Stored);
    }
}

// An invalid entry never reaches memory: what was valid before stays, so it
// is what is called and saved.
TEST(ChannelEdit, AcceptKeepsTheLastValidValues) {
    AppState state;
    InitAppState(state);
    struct Row {
        const char *Mycall, *Path;
        int Accepted;
        const char *Why, *MycallAfter, *PathAfter;
        int RufAktivAfter;
    };
    const Row rows[] = {
        {"DL1ABC ", " DB0ABC  DB0XYZ ", 1, nullptr, "DL1ABC", "DB0ABC DB0XYZ", 1},
        {"DL1 X", "DB0NEW", 0, kInvalidMycallText, "DL1ABC", "DB0ABC DB0XYZ", 1},
        {"DL2XYZ", "DB0-0", 0, kInvalidDestinationText, "DL2XYZ", "DB0ABC DB0XYZ", 1},
        {"", "", 1, nullptr, "", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Mycall);
        ChannelEdit edit{};
        std::snprintf(edit.Mycall, sizeof edit.Mycall, "%s", row.Mycall);
        std::snprintf(edit.CallPath, sizeof edit.CallPath, "%s", row.Path);
        const char* why = "unset";
        EXPECT_EQ(AcceptChannelFields(state, 2, edit, &why), row.Accepted);
        EXPECT_STREQ(why, row.Why);  // the texts, not where the compiler put them
        EXPECT_STREQ(state.Mycall, row.MycallAfter);
        EXPECT_STREQ(state.ChannelTable[2].CallPath, row.PathAfter);
        EXPECT_EQ(state.ChannelTable[2].RufAktiv, row.RufAktivAfter);
    }
}

// The grid headers are checked with the status texts of the same states.
TEST(ChannelDialogTexts, GridTimesArePadded) {
    ChannelRecord c{};
    c.LastHour = 7, c.LastMin = 5, c.PrevHour = 23, c.PrevMin = 0;
    c.LastConDay = 1, c.LastConMonth = 2, c.LastConYear = 3;
    GridTimes t;
    MakeGridTimes(c, t);
    EXPECT_EQ(std::string(t.LastCall) + " " + t.BeforeLast + " " + t.Date, "07:05 23:00 01.02.03");
}

TEST(ChannelDialogTexts, ReplyBoxBlanksFromThePromptAndCutsEachGroup) {
    ChannelRecord c{};
    std::snprintf(c.ReplyLines[0], kReplySlotSize, "=>\r\n");
    std::snprintf(c.ReplyLines[1], kReplySlotSize, "left from before\r\n");
    char text[kReplyTextSize];
    ShowReplyText(c, text, sizeof text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(c.ReplyLines[1][0], '\0');  // stays hidden on later refreshes

    // Twenty full lines of 98 characters and LF: 11 x 99 > 1023, 9 x 99 = 891.
    for (int i = 0; i < kReplySlots; ++i) {
        std::memset(c.ReplyLines[i], 'a' + i, 98);
        c.ReplyLines[i][98] = '\n';
        c.ReplyLines[i][99] = '\0';
    }
    ShowReplyText(c, text, sizeof text);
    const std::string shown = text;
    ASSERT_EQ(shown.size(), 1023u + 891u);
    EXPECT_EQ(shown[1022], 'a' + 10);  // line 11 cut inside
    EXPECT_EQ(shown.substr(1023, 2), "ll");
    EXPECT_EQ(shown.back(), '\n');
}

TEST(AnswerText, LineEndsLineLengthsAndTheCut) {
    std::string long20;  // 1240 characters: only the first 998 are taken
    for (int i = 0; i < 20; ++i) long20 += std::string(60, static_cast<char>('a' + i)) + "\r\n";
    const struct {
        std::string Edited;
        int Ok;
        std::string Saved;
    } rows[] = {
        {"", 1, "\r\n"},
        {long20, 1, long20.substr(0, 998) + "\r\n"},
        {"a\n", 0, ""},  // an LF last counts as a line end, but there is no CR at all
    };
    for (const auto& row : rows) {
        char text[kAnswerTextSize];
        ASSERT_EQ(PrepareAnswerText(row.Edited.c_str(), text, sizeof text), row.Ok) << row.Edited;
        EXPECT_EQ(row.Ok ? std::string(text) : "", row.Saved);
    }
}

}  // namespace
