// Rotation of a history file and the start-up scan. A file is only ever
// moved to a name that is free, so no older file is ever replaced.
#include "history/history_rotation.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "core/atomic_file.h"
#include "core/platform_port.h"
#include "core/program_names.h"
#include "history/history_reader.h"
#include "history/history_writer.h"

namespace {

constexpr const char* kSizePromptText =
    "Congratulations!\n\nWe have enjoyed your intensive use of Hopwatch V%s.\n"
    "Therefore the following data set becomes now very big:\n\nChannel %d,  File: %s\n\n"
    "Further use of that same file will reduce the performance of the system.\n\n"
    "Rename file now?  (RECOMMENDED STRONGLY)\n\nPlease confirm this with OK.\n\n"
    "Hopwatch will then open a new file during the next connect!";
constexpr const char* kRenamedText = "The file has been renamed to %s !";
constexpr const char* kNoRenameText = "The file %s could not be renamed: %s.";
constexpr int kNoticeSize = 3 * kHistoryPathSize + 1024;

}  // namespace

int HistoryTempName(const char* path, char* out, int size) {
    const int n = std::snprintf(out, static_cast<std::size_t>(size), "%s.new", path);
    return n > 0 && n < size;
}

const char* RotationFailureText(int error) {
    if (error == EEXIST) {
        return "all numbered names from 0 to 999 are taken";
    }
    return std::strerror(error);
}

int RotateHistoryFile(const char* path, char* newPath, int newPathSize, int* error) {
    const std::size_t length = std::strlen(path);
    int failure = length == 0 ? EINVAL : EEXIST;
    for (int k = 0; k < kRotationAttemptLimit && failure == EEXIST; ++k) {
        const int n = std::snprintf(newPath, static_cast<std::size_t>(newPathSize), "%.*s%d",
                                    static_cast<int>(length - 1), path, k);
        failure = n < 0 || n >= newPathSize ? ENAMETOOLONG : MoveNoReplace(path, newPath);
    }
    if (failure == 0) {
        return 1;
    }
    if (error) *error = failure;
    return 0;
}

int OfferFileRotation(AppState& state, PlatformPort& port, const char* path, int recordCount, int channel) {
    (void)state;
    if (recordCount <= kRotationPromptThreshold) {
        return 0;
    }
    char text[kNoticeSize];
    std::snprintf(text, sizeof text, kSizePromptText, kProgramVersion, channel + 1, path);
    if (port.ask(text, kHistoryCaption, BoxIcon::Warning, BoxButtons::OkCancel) != BoxAnswer::Ok) {
        return 0;
    }
    char newPath[kHistoryPathSize];
    int error = 0;
    if (!RotateHistoryFile(path, newPath, sizeof newPath, &error)) {
        std::snprintf(text, sizeof text, kNoRenameText, path, RotationFailureText(error));
        port.tell(text, kHistoryCaption, BoxIcon::Warning);
        return 0;
    }
    std::snprintf(text, sizeof text, kRenamedText, newPath);
    port.tell(text, kHistoryCaption, BoxIcon::Warning);
    return 1;
}

int ScanHistoryFile(AppState& state, PlatformPort& port, int channel) {
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, channel, path, sizeof path)) {
        return 0;
    }
    char temp[kHistoryPathSize + 8];
    if (HistoryTempName(path, temp, sizeof temp)) {
        unlink(temp);  // a new file's bytes left by a crash before it was moved into place
    }
    HistoryReader reader;
    long long count = 0;
    int error = 0;
    const HistoryOpen opened = CountHistoryFile(path, reader, count, &error);
    if (opened == HistoryOpen::Missing) {
        return 0;
    }
    if (opened == HistoryOpen::NotRegular) {
        // Said once here: the channel's appends fail the same way and
        // belong to the episode this starts.
        NoteSaveResult(state, port, channel, 0, error);
        state.UnsavedCalls[channel] = 0;
        char notice[kNoticeSize];
        SaveFailedText(state, channel, error, notice, sizeof notice);
        port.tell(notice, kMainCaption, BoxIcon::Warning);
        return 1;
    }
    if (reader.Fault != HistoryFault::None) {
        char notice[kNoticeSize];
        FormatHistoryFaultNotice(path, reader, notice, sizeof notice);
        port.tell(notice, kHistoryCaption, BoxIcon::Warning);
    }
    OfferFileRotation(state, port, path, static_cast<int>(count < INT_MAX ? count : INT_MAX), channel);
    return 1;
}
