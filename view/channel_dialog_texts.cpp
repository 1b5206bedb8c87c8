#include "view/channel_dialog_texts.h"

#include <cstdio>
#include <cstring>

#include "core/cycle_state.h"

namespace {

// Appends the lines [first, last) of the channel's reply to `text` (which
// holds `used` characters), taking at most kReplyGroupChars of them.
int AppendReplyGroup(const ChannelRecord& channel, int first, int last, char* text, int used, int size) {
    int taken = 0;
    for (int i = first; i < last; ++i) {
        const char* line = channel.ReplyLines[i];
        for (int k = 0; k < kReplySlotSize && line[k] != '\0'; ++k) {
            if (taken == kReplyGroupChars || used + 1 >= size) return used;
            text[used++] = line[k];
            ++taken;
        }
    }
    return used;
}

}  // namespace

int GridHeaderText(int channel, CycleState cycleState, char* out, int size) {
    const char* format = nullptr;
    switch (cycleState) {
        case CycleState::Idle:
            format = "Ch%d disc.";
            break;
        case CycleState::CallRequested:
        case CycleState::Connecting:
            format = "Ch%d Call";
            break;
        case CycleState::SendCommand:
        case CycleState::AwaitPrompt:
            format = "Ch%d con.";
            break;
        case CycleState::CollectReply:
            format = "Ch%d Data";
            break;
        case CycleState::CallFailed:
            format = "Ch%d Tout";
            break;
        case CycleState::ReplyOverflow:
            format = "Ch%d Err.";
            break;
        default:
            return 0;
    }
    std::snprintf(out, static_cast<std::size_t>(size), format, channel + 1);
    return 1;
}

void MakeGridTimes(const ChannelRecord& channel, GridTimes& times) {
    std::snprintf(times.BeforeLast, sizeof times.BeforeLast, "%2.2d:%2.2d", channel.PrevHour,
                  channel.PrevMin);
    std::snprintf(times.LastCall, sizeof times.LastCall, "%2.2d:%2.2d", channel.LastHour, channel.LastMin);
    std::snprintf(times.Date, sizeof times.Date, "%2.2d.%2.2d.%2.2d", channel.LastConDay,
                  channel.LastConMonth, channel.LastConYear);
}

void ShowReplyText(ChannelRecord& channel, char* text, int size) {
    int prompt = 0;
    while (prompt < kReplySlots && channel.ReplyLines[prompt][0] != '=') ++prompt;
    for (int i = prompt; i < kReplySlots; ++i) channel.ReplyLines[i][0] = '\0';
    if (size < 1) return;
    int used = AppendReplyGroup(channel, 0, kReplyFirstGroupLines, text, 0, size);
    used = AppendReplyGroup(channel, kReplyFirstGroupLines, kReplySlots, text, used, size);
    text[used] = '\0';
}
