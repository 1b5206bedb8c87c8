// The two field checks and the accept step. The checks work in place on the
// text as the field handed it over, because the tidied text is what is
// stored; the accept step checks a copy so that memory is only ever written
// with a text that passed.
#include "settings/channel_edit.h"

#include <cstdio>
#include <cstring>

namespace {

int IsAsciiLetterOrDigit(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

int TextLength(const char* text, int limit) {
    int n = 0;
    while (n < limit && text[n] != '\0') ++n;
    return n;
}

void DropTrailingBlanks(char* text, int& length) {
    while (length > 0 && text[length - 1] == ' ') --length;
    text[length] = '\0';
}

}  // namespace

int CheckMycall(char* text, int length) {
    if (length <= 0) return 1;
    DropTrailingBlanks(text, length);
    for (int i = 0; i < length; ++i) {
        if (!IsAsciiLetterOrDigit(text[i]) && text[i] != '-') return 0;
    }
    return 1;
}

void NormaliseCallPath(char* text, int length) {
    DropTrailingBlanks(text, length);
    int out = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] == ' ' && out > 0 && text[out - 1] == ' ') continue;
        text[out++] = text[i];
    }
    text[out] = '\0';
    if (text[0] == ' ') std::memmove(text, text + 1, static_cast<std::size_t>(out));
}

int CheckDestinationCall(char* text, int length) {
    if (length <= 0) return 1;
    NormaliseCallPath(text, length);
    for (int i = 0; text[i] != '\0'; ++i) {
        const char c = text[i];
        const char next = text[i + 1];
        if (IsAsciiLetterOrDigit(c)) continue;
        if (c == ' ' && IsAsciiLetterOrDigit(next)) continue;
        if (c == '-' && next >= '1' && next <= '9') continue;
        return 0;
    }
    return 1;
}

int AcceptChannelFields(AppState& state, int channel, const ChannelEdit& edit, const char** why) {
    *why = nullptr;
    char mycall[kMycallEditChars + 1];
    std::snprintf(mycall, sizeof mycall, "%s", edit.Mycall);
    if (!CheckMycall(mycall, TextLength(mycall, kMycallEditChars))) {
        *why = kInvalidMycallText;
        return 0;
    }
    std::snprintf(state.Mycall, sizeof state.Mycall, "%s", mycall);

    char path[kCallPathEditChars + 1];
    std::snprintf(path, sizeof path, "%s", edit.CallPath);
    if (!CheckDestinationCall(path, TextLength(path, kCallPathEditChars))) {
        *why = kInvalidDestinationText;
        return 0;
    }
    ChannelRecord& c = state.ChannelTable[channel];
    std::snprintf(c.CallPath, sizeof c.CallPath, "%s", path);
    c.RufAktiv = c.CallPath[0] != '\0' ? 1 : 0;
    return 1;
}

const char* ConnectRefusal(const AppState& state, int channel) {
    if (!state.ChannelTable[channel].RufAktiv) return kNoDestinationText;
    if (state.Mycall[0] == '\0') return kNoMycallText;
    return nullptr;
}
