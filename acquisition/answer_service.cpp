// The answering service. Every second tick it either looks for a station
// that connected to Mycall (idle) or sends that station the next lines of
// the answer text as transmit space is granted (sending). A CR LF pair in
// the answer text is sent as one LF, so every line handed to the stack ends
// in LF like the greeting; a line is sent in pieces of at most 98
// characters.
#include "acquisition/answer_service.h"

#include <cstdio>
#include <cstring>

#include "core/platform_port.h"
#include "radio/layer2.h"

namespace {

std::FILE* AnswerFileOf(AppState& state) {
    return static_cast<std::FILE*>(state.Answer.AnswerFile);
}

void CloseAnswerFile(AppState& state) {
    if (state.Answer.AnswerFile) std::fclose(AnswerFileOf(state));
    state.Answer.AnswerFile = nullptr;
}

// The next piece of the answer text: at most kAnswerPieceChars characters, up to
// and including a line end. A CR directly followed by LF counts as one LF
// character; a lone CR stays as it is.
// Returns the number of characters, 0 at the end of the file.
int ReadAnswerPiece(std::FILE* file, char* buffer) {
    int n = 0;
    while (n < kAnswerPieceChars) {
        int c = std::fgetc(file);
        if (c == EOF) break;
        if (c == '\r') {
            const int next = std::fgetc(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        buffer[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[n] = '\0';
    return n;
}

// Ends the connection after the last line (or when there is nothing to
// send): after-send (7), then disconnect (4).
void EndAnswerConnection(AppState& state, Layer2& l2) {
    l2.l2_bef(kL2AfterSend, state.Answer.AnswerChannel);
    l2.l2_bef(kL2Disconnect, state.Answer.AnswerChannel);
}

void TakeConnectRequest(AppState& state, Layer2& l2) {
    state.Answer.AnswerChannel = l2.l2_get_sabm(state.Mycall);
    if (state.Answer.AnswerChannel == 0) return;
    ++state.CallersServed;
    l2.l2_bef(kL2NewIncoming, state.Answer.AnswerChannel);
    if (!l2.l2_ialloc(state.Answer.AnswerChannel, kAnswerGreetingSpace)) {
        // Left open, such a connection would hang until the caller gives
        // up: end it instead.
        EndAnswerConnection(state, l2);
        return;
    }
    char greeting[80];
    std::snprintf(greeting, sizeof greeting, kGreetingFormat, kProgramVersion);
    l2.l2_puts(state.Answer.AnswerChannel, greeting);

    char path[kAnswerPathSize];
    AnswerFilePath(state, path, sizeof path);
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        EndAnswerConnection(state, l2);
        return;
    }
    state.Answer.AnswerFile = file;
    state.Answer.AnswerActive = 1;
}

void SendAnswerLines(AppState& state, Layer2& l2) {
    if ((l2.l2_stat(0, state.Answer.AnswerChannel) & kL2StateMask) < kL2Connected) {
        // The caller has gone; nothing more to say to the stack.
        CloseAnswerFile(state);
        state.Answer.AnswerActive = 0;
        return;
    }
    for (;;) {
        if (!l2.l2_ialloc(state.Answer.AnswerChannel, kAnswerLineSpace)) return;
        char piece[kAnswerPieceChars + 1];
        if (ReadAnswerPiece(AnswerFileOf(state), piece) == 0) {
            CloseAnswerFile(state);
            EndAnswerConnection(state, l2);
            state.Answer.AnswerActive = 0;
            return;
        }
        l2.l2_puts(state.Answer.AnswerChannel, piece);
    }
}

}  // namespace

void AnswerFilePath(const AppState& state, char* path, int pathSize) {
    if (!DataFilePath(state, kAnswerFileName, path, pathSize)) path[0] = '\0';
}

void AnswerTick(AppState& state, PlatformPort& port) {
    Layer2& l2 = port.l2();
    if (!state.Answer.AnswerActive) {
        TakeConnectRequest(state, l2);
        if (!state.Answer.AnswerActive) return;
    }
    SendAnswerLines(state, l2);
}

void StopAnswerService(AppState& state) {
    CloseAnswerFile(state);
    state.Answer.AnswerActive = 0;
}
