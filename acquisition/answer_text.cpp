// The answer text's edit rules. The line-end test looks only at the last two
// characters: a CR second to last or an LF last counts as a line end
// already, and such a text is saved as the user typed it.
#include "acquisition/answer_text.h"

#include <cstdio>
#include <cstring>

#include "acquisition/answer_service.h"
#include "core/atomic_file.h"
#include "core/log_sink.h"
#include "core/program_names.h"

void AnswerGreetingLine(char* out, int size) {
    if (size < 1) return;
    std::snprintf(out, static_cast<std::size_t>(size), kGreetingFormat, kProgramVersion);
    const std::size_t n = std::strlen(out);
    if (n > 0 && out[n - 1] == '\n') out[n - 1] = '\0';
}

int LoadAnswerText(const AppState& state, char* text, int size) {
    if (size < 1) return 0;
    text[0] = '\0';
    char path[kAnswerPathSize];
    AnswerFilePath(state, path, sizeof path);
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return 0;
    const int limit = size - 1 < kAnswerLoadBytes ? size - 1 : kAnswerLoadBytes;
    const std::size_t n = std::fread(text, 1, static_cast<std::size_t>(limit), file);
    std::fclose(file);
    text[n] = '\0';
    return static_cast<int>(n);
}

int PrepareAnswerText(const char* edited, char* text, int size) {
    int n = 0;
    while (n < kAnswerSaveChars && n + 3 < size && edited[n] != '\0') {
        text[n] = edited[n];
        ++n;
    }
    const int endsWithBreak = (n >= 2 && text[n - 2] == '\r') || (n >= 1 && text[n - 1] == '\n');
    if (!endsWithBreak) {
        text[n++] = '\r';
        text[n++] = '\n';
    }
    text[n] = '\0';

    if (std::strchr(text, '\r') == nullptr) return 0;
    int lineChars = 0;
    for (int i = 0; i < n; ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lineChars = 0;
            continue;
        }
        if (++lineChars > kAnswerLineChars) return 0;
    }
    return 1;
}

int SaveAnswerText(const AppState& state, PlatformPort& port, const char* text) {
    char path[kAnswerPathSize];
    AnswerFilePath(state, path, sizeof path);
    int failure = 0;
    AtomicWrite how;
    how.Mode = 0644;
    const int ok = WriteFileAtomically(path, text, std::strlen(text), how, &failure);
    if (!ok) {
        LogLine(PortLog(port), "hopwatch: the answer text %s was not saved: %s", path,
                std::strerror(failure));
    }
    return ok;
}
